// The tables and trees of a run on a tree of one's own: the vertex table with
// each vertex's name, clade size and branch length; the tree in Newick and in
// NEXUS with every vertex's values as comments; and iTOL datasets.

#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

#include "view/report_writers.h"
#include "view/run_tallies.h"
#include "view/tree_drawing.h"

namespace dorvu::view {

namespace {

// One vertex's text in a tree: its label, then what comes between the label
// and the branch length (a NEXUS comment, or nothing).
struct WrittenVertex {
  std::string label;
  std::string comment;
};

// The tree with every vertex written as `write` gives it and its length as
// kept. A stack instead of recursion: a caterpillar of 100,000 tips is as deep.
template <typename Write>
std::string TreeText(const OwnTree& own, Write write) {
  const dorvu::NewickTree& tree = own.tree;
  std::string out;
  std::vector<std::int32_t> next(tree.childBegin.begin(), tree.childBegin.end() - 1);  // next child to write
  std::vector<std::int32_t> path{0};
  while (!path.empty()) {
    const std::int32_t v = path.back();
    if (next[v] < tree.childBegin[v + 1]) {
      out += next[v] == tree.childBegin[v] ? '(' : ',';
      path.push_back(tree.childList[next[v]++]);
      continue;
    }
    if (!own.IsTip(v)) out += ')';
    const WrittenVertex written = write(v);
    out += written.label + written.comment;
    if (!tree.length[v].empty()) out += ':' + tree.length[v];
    path.pop_back();
  }
  return out + ";\n";
}

// A label for NEXUS readers, which take more characters as punctuation than
// Newick does. As in Newick, an underscore stays unquoted: readers such as R's
// keep the quotes of a quoted label as part of the name.
std::string NexusLabel(std::string_view name) { return NewickLabelText(name, " \t\r\n()[]{}/\\,;:=*'\"`+<>"); }

// A label inside a comment: the characters that would end the comment or the
// quoted value become '?'.
std::string CommentText(std::string_view text) { return WithReplaced(text, "\"[]", '?'); }

// A tip by its name, any other vertex by its name in the log.
std::string ShownVertexName(const OwnTree& own, std::int32_t v) {
  return own.IsTip(v) ? own.tree.label[v] : own.names[v];
}

// A node ID in a tab-separated iTOL dataset.
std::string ItolId(const OwnTree& own, std::int32_t v) { return TableText(ShownVertexName(own, v)); }

std::string Values(const VertexDistribution& row, std::string_view separator, bool withNames) {
  std::string out;
  for (std::size_t b = 0; b < kBases.size(); ++b) {
    if (b > 0) out += separator;
    if (withNames) out += std::string(1, kBases[b]) + "=";
    out += row.base[b].text;
  }
  return out;
}

bool Drawable(const VertexDistribution& row) {
  std::array<double, 4> values{};
  for (std::size_t b = 0; b < kBases.size(); ++b) values[b] = row.base[b].value;
  return drawing::HasDistribution(values);
}

std::string ItolHeader(std::string_view kind, std::string_view label) {
  return std::string(kind) + "\nSEPARATOR TAB\nDATASET_LABEL\t" + std::string(label) + "\n";
}

}  // namespace

std::vector<std::string> TipsNamedAsInternalVertices(const OwnTree& own) {
  std::vector<std::string> tips;
  for (std::int32_t v = 0; v < own.VertexCount(); ++v) {
    if (!own.IsTip(v)) continue;
    const auto named = FindVertex(own, own.tree.label[v]);
    if (named && !own.IsTip(*named)) tips.push_back(own.tree.label[v]);
  }
  return tips;
}

std::string OwnTsvTable(const RunReport& report) {
  const OwnTree& own = *report.tree;
  std::string out = "vertex\tparent\tdepth\tmarked\tA\tC\tG\tT\tname\ttips\tlength\n";
  for (std::size_t v = 0; v < report.vertices.size(); ++v) {
    const VertexDistribution& row = report.vertices[v];
    out += own.names[v] + '\t' + ParentName(report.tree, v) + '\t' + std::to_string(own.tree.depth[v]);
    out += IsMarked(report, row.vertex) ? "\t1\t" : "\t0\t";
    out += Values(row, "\t", false) + '\t' + TableText(own.tree.label[v]) + '\t' + std::to_string(own.tips[v]) + '\t' +
           own.tree.length[v] + '\n';
  }
  return out;
}

std::string OwnNewickTree(const OwnTree& own) {
  return TreeText(own, [&](std::int32_t v) { return WrittenVertex{NewickLabelText(ShownVertexName(own, v)), ""}; });
}

std::string NexusTree(const RunReport& report) {
  const OwnTree& own = *report.tree;
  const auto write = [&](std::int32_t v) {
    const VertexDistribution& row = report.vertices[v];
    std::string comment = "[&vertex=\"" + own.names[v] + "\",marked=" + (IsMarked(report, row.vertex) ? "1" : "0") +
                          "," + Values(row, ",", true);
    if (!own.IsTip(v) && !own.tree.label[v].empty()) comment += ",label=\"" + CommentText(own.tree.label[v]) + "\"";
    return WrittenVertex{NexusLabel(ShownVertexName(own, v)), comment + "]"};
  };
  return "#NEXUS\n\nBEGIN TREES;\n\tTREE dorvu = [&R] " + TreeText(own, write) + "END;\n";
}

std::string ItolBranches(const RunReport& report) {
  std::string out = "TREE_COLORS\nSEPARATOR TAB\nDATA\n";
  for (const VertexId v : report.marked)
    out += ItolId(*report.tree, *FindVertex(*report.tree, VertexName(v))) + "\tbranch\t" +
           std::string(drawing::kMarkColour) + "\tnormal\t3\n";
  return out;
}

std::string ItolBases(const RunReport& report) {
  std::string out = ItolHeader("DATASET_PIECHART", "A/C/G/T");
  std::string colours;
  for (const std::string_view colour : drawing::kBaseColours) colours += '\t' + std::string(colour);
  out += "COLOR\t" + std::string(drawing::kBaseColours[0]) + "\nFIELD_COLORS" + colours +
         "\nFIELD_LABELS\tA\tC\tG\tT\nLEGEND_TITLE\tA/C/G/T\nLEGEND_SHAPES\t1\t1\t1\t1\nLEGEND_COLORS" + colours +
         "\nLEGEND_LABELS\tA\tC\tG\tT\nDATA\n";
  // A vertex without a distribution (a value negative, INF or NAN) has no pie.
  for (std::size_t v = 0; v < report.vertices.size(); ++v)
    if (Drawable(report.vertices[v]))
      out += ItolId(*report.tree, static_cast<std::int32_t>(v)) + "\t1\t10\t" +
             Values(report.vertices[v], "\t", false) + '\n';
  return out;
}

std::string ItolSupport(const SupportTally& tally) {
  std::string out = ItolHeader("DATASET_TEXT", "support") + "COLOR\t" + std::string(drawing::kMarkColour) + "\nDATA\n";
  for (std::size_t v = 1; v < tally.vertices.size(); ++v) {
    const std::int64_t marked = tally.vertices[v].marked;
    if (marked == 0) continue;
    out += ItolId(*tally.tree, static_cast<std::int32_t>(v)) + '\t' +
           std::to_string(SupportPercent(marked, tally.runs)) + "%\t0.5\t" + std::string(drawing::kMarkColour) +
           "\tbold\t1\t0\n";
  }
  return out;
}

}  // namespace dorvu::view
