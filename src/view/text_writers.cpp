#include <string_view>

#include "view/report_writers.hpp"

namespace dorvu::view {

std::string tsv_table(const RunReport& report) {
    std::string out = "vertex\tparent\tdepth\tmarked\tA\tC\tG\tT\n";
    for (const VertexDistribution& row : report.vertices) {
        const VertexId v = row.vertex;
        out += vertex_name(v);
        out += '\t';
        out += v == kRoot ? "NA" : vertex_name(parent_of(v));
        out += '\t' + std::to_string(v.depth);
        out += is_marked(report, v) ? "\t1" : "\t0";
        for (const LogReal& value : row.base) out += '\t' + value.text;
        out += '\n';
    }
    return out;
}

std::string newick_label(std::string_view name) {
    constexpr std::string_view kSpecial = " \t\r\n()[]':;,";
    if (!name.empty() && name.find_first_of(kSpecial) == std::string_view::npos) return std::string(name);
    std::string label = "'";
    for (const char c : name) label += c == '\'' ? std::string("''") : std::string(1, c);
    return label + "'";
}

namespace {

void append_subtree(VertexId v, std::string& out) {
    if (!is_leaf(v)) {
        out += '(';
        append_subtree(first_child_of(v), out);
        out += ',';
        append_subtree(second_child_of(v), out);
        out += ')';
    }
    out += newick_label(vertex_name(v));
}

}  // namespace

std::string newick_tree() {
    std::string out;
    append_subtree(kRoot, out);
    return out + ";\n";
}

}  // namespace dorvu::view
