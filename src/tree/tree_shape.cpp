#include "tree/tree_shape.h"

#include <charconv>

namespace dorvu {

int LevelWidth(int depth) { return 1 << depth; }

std::string VertexName(VertexId v) {
  if (v == kRoot) return "0";
  return std::to_string(v.depth) + "." + std::to_string(v.index);
}

std::string LogVertexName(VertexId v) { return v == kRoot ? std::string(" 0 ") : VertexName(v); }

namespace {

// Plain decimal digits only: no sign, no leading zero, no blanks.
std::optional<int> ParseSmallNumber(std::string_view text) {
  if (text.empty() || text.size() > 3 || (text.size() > 1 && text[0] == '0')) return std::nullopt;
  int value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc{} || end != text.data() + text.size()) return std::nullopt;
  return value;
}

void AppendSubtree(VertexId v, std::vector<VertexId>& order) {
  order.push_back(v);
  if (IsLeaf(v)) return;
  AppendSubtree(FirstChildOf(v), order);
  AppendSubtree(SecondChildOf(v), order);
}

}  // namespace

std::optional<VertexId> ParseVertexName(std::string_view text) {
  const auto dot = text.find('.');
  if (dot == std::string_view::npos) return std::nullopt;
  const auto depth = ParseSmallNumber(text.substr(0, dot));
  const auto index = ParseSmallNumber(text.substr(dot + 1));
  if (!depth || !index) return std::nullopt;
  if (*depth < 1 || *depth > kTreeDepth) return std::nullopt;
  if (*index < 1 || *index > LevelWidth(*depth)) return std::nullopt;
  return VertexId{*depth, *index};
}

VertexId ParentOf(VertexId v) { return {v.depth - 1, (v.index + 1) / 2}; }
VertexId FirstChildOf(VertexId v) { return {v.depth + 1, 2 * v.index - 1}; }
VertexId SecondChildOf(VertexId v) { return {v.depth + 1, 2 * v.index}; }
bool IsLeaf(VertexId v) { return v.depth == kTreeDepth; }

const std::vector<VertexId>& DepthFirstOrder() {
  static const std::vector<VertexId> order = [] {
    std::vector<VertexId> result;
    result.reserve(kVertexCount);
    AppendSubtree(kRoot, result);
    return result;
  }();
  return order;
}

}  // namespace dorvu
