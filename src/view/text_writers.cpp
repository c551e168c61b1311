#include <string_view>

#include "tree/newick.h"
#include "view/report_writers.h"

namespace dorvu::view {

std::string TsvTable(const RunReport& report, const LeafNames& names) {
  std::string out = "vertex\tparent\tdepth\tmarked\tA\tC\tG\tT";
  out += names.empty() ? "\n" : "\tname\n";
  for (const VertexDistribution& row : report.vertices) {
    const VertexId v = row.vertex;
    out += VertexName(v);
    out += '\t';
    out += v == kRoot ? "NA" : VertexName(ParentOf(v));
    out += '\t' + std::to_string(v.depth);
    out += IsMarked(report, v) ? "\t1" : "\t0";
    for (const LogReal& value : row.base) out += '\t' + value.text;
    if (!names.empty()) out += '\t' + LeafName(names, v);
    out += '\n';
  }
  return out;
}

std::string SummaryHeader() { return "run\tcardinality\tnoise_level\tpenalty\tmarked\tinput_errors\tmemory_lines\n"; }

std::string SummaryRow(const RunReport& report, const std::string& run) {
  std::string marked;
  for (const VertexId v : report.marked) {
    if (!marked.empty()) marked += ' ';
    marked += VertexName(v);
  }
  return run + '\t' + report.cardinalityText + '\t' + report.noiseLevel.text + '\t' + report.penalty.text + '\t' +
         marked + '\t' + std::to_string(report.inputErrors) + '\t' + std::to_string(report.memoryMessages) + '\n';
}

std::string Counted(std::int64_t n, std::string_view what) {
  return std::to_string(n) + " " + std::string(what) + (n == 1 ? "" : "s");
}

// An unquoted underscore reads as a blank.
std::string NewickLabel(std::string_view name) { return NewickLabelText(name, " \t\r\n()[]':;,_"); }

namespace {

void AppendSubtree(VertexId v, const LeafNames& names, std::string& out) {
  if (!IsLeaf(v)) {
    out += '(';
    AppendSubtree(FirstChildOf(v), names, out);
    out += ',';
    AppendSubtree(SecondChildOf(v), names, out);
    out += ')';
  }
  const std::string name = LeafName(names, v);
  out += NewickLabel(name.empty() ? VertexName(v) : name);
}

}  // namespace

std::string NewickTree(const LeafNames& names) {
  std::string out;
  AppendSubtree(kRoot, names, out);
  return out + ";\n";
}

}  // namespace dorvu::view
