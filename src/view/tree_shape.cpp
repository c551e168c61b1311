#include "view/tree_shape.hpp"

#include <charconv>

namespace dorvu::view {

int level_width(int depth) { return 1 << depth; }

std::string vertex_name(VertexId v) {
    if (v == kRoot) return "0";
    return std::to_string(v.depth) + "." + std::to_string(v.index);
}

std::string log_vertex_name(VertexId v) {
    return v == kRoot ? std::string(" 0 ") : vertex_name(v);
}

namespace {

// Plain decimal digits only: no sign, no leading zero, no blanks.
std::optional<int> parse_small_number(std::string_view text) {
    if (text.empty() || text.size() > 3 || (text.size() > 1 && text[0] == '0')) return std::nullopt;
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc{} || end != text.data() + text.size()) return std::nullopt;
    return value;
}

void append_subtree(VertexId v, std::vector<VertexId>& order) {
    order.push_back(v);
    if (is_leaf(v)) return;
    append_subtree(first_child_of(v), order);
    append_subtree(second_child_of(v), order);
}

}  // namespace

std::optional<VertexId> parse_vertex_name(std::string_view text) {
    const auto dot = text.find('.');
    if (dot == std::string_view::npos) return std::nullopt;
    const auto depth = parse_small_number(text.substr(0, dot));
    const auto index = parse_small_number(text.substr(dot + 1));
    if (!depth || !index) return std::nullopt;
    if (*depth < 1 || *depth > kTreeDepth) return std::nullopt;
    if (*index < 1 || *index > level_width(*depth)) return std::nullopt;
    return VertexId{*depth, *index};
}

VertexId parent_of(VertexId v) { return {v.depth - 1, (v.index + 1) / 2}; }
VertexId first_child_of(VertexId v) { return {v.depth + 1, 2 * v.index - 1}; }
VertexId second_child_of(VertexId v) { return {v.depth + 1, 2 * v.index}; }
bool is_leaf(VertexId v) { return v.depth == kTreeDepth; }

int breadth_position(VertexId v) { return level_width(v.depth) - 1 + v.index - 1; }

const std::vector<VertexId>& depth_first_order() {
    static const std::vector<VertexId> order = [] {
        std::vector<VertexId> result;
        result.reserve(kVertexCount);
        append_subtree(kRoot, result);
        return result;
    }();
    return order;
}

}  // namespace dorvu::view
