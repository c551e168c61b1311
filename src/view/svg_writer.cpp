// The picture of one run: the tree with the run's best scenario.

#include <string>
#include <vector>

#include "view/own_tree_drawing.h"
#include "view/report_writers.h"
#include "view/tree_drawing.h"

namespace dorvu::view {

namespace {

using namespace drawing;

std::array<double, 4> Values(const VertexDistribution& row) {
  std::array<double, 4> values{};
  for (std::size_t b = 0; b < kBases.size(); ++b) values[b] = row.base[b].value;
  return values;
}

std::string Tooltip(const VertexDistribution& row, bool marked, const std::string& name) {
  std::string text = VertexName(row.vertex) + (name.empty() ? "" : " " + name) + (marked ? " (marked):" : ":");
  for (std::size_t b = 0; b < kBases.size(); ++b) text += std::string(" ") + kBases[b] + " " + row.base[b].printed;
  return text;
}

std::vector<DrawnVertex> DrawnVertices(const RunReport& report, const LeafNames& names) {
  std::vector<DrawnVertex> vertices;
  for (std::size_t v = 0; v < report.vertices.size(); ++v) {
    const VertexDistribution& row = report.vertices[v];
    const bool marked = IsMarked(report, row.vertex);
    const std::string name = report.tree ? OwnVertexCaption(*report.tree, v) : LeafName(names, row.vertex);
    const std::string label = report.tree ? OwnVertexLabel(*report.tree, v) : ShownLabel(names, row.vertex);
    vertices.push_back({row.vertex, Values(row), marked ? std::optional<MarkLook>(MarkLook{}) : std::nullopt,
                        Tooltip(row, marked, name), label, ""});
  }
  return vertices;
}

std::string TitleText(const RunReport& report) {
  std::string cardinality = report.cardinalityText;
  if (report.cardinalityLimit) cardinality += " (limited to " + std::to_string(*report.cardinalityLimit) + ")";
  return "Best scenario: penalty " + report.penalty.printed + ", presupposed cardinality " + cardinality +
         ", noise level " + report.noiseLevel.printed;
}

std::string MarkedSummary(const RunReport& report) {
  if (report.marked.empty())
    return "Only the root is marked: one composition for the whole tree. Log: " + report.logName;
  std::string names;
  for (const VertexId v : report.marked) {
    names += (names.empty() ? "" : ", ") + VertexName(v);
    if (report.tree) names += " (" + Counted(report.tree->tips[*FindVertex(*report.tree, VertexName(v))], "tip") + ")";
  }
  const std::size_t n = report.marked.size();
  return std::to_string(n) + (n == 1 ? " marked vertex" : " marked vertices") + " besides the root: " + names +
         (n == 1 ? "; the branch above it is cut." : "; the branch above each is cut.") + " Log: " + report.logName;
}

std::string WarningText(const RunReport& report) {
  std::string text;
  if (report.inputErrors > 0) text += "The run logged " + Counted(report.inputErrors, "input error");
  if (report.memoryMessages > 0)
    text += (text.empty() ? "The run logged " : " and ") + Counted(report.memoryMessages, "search memory message");
  return text.empty() ? text : text + "; see the log.";
}

std::string Heading(const RunReport& report) {
  std::string out = TextLine(kMarginX, 34, 20, "font-weight=\"bold\" fill=\"#111111\"", TitleText(report));
  out += TextLine(kMarginX, 60, 13, "fill=\"#333333\"", MarkedSummary(report));
  const std::string warning = WarningText(report);
  if (!warning.empty())
    out += TextLine(kMarginX, 82, 13, "font-weight=\"bold\" fill=\"" + std::string(kMarkColour) + "\"", warning);
  return out;
}

std::string Legend(const std::vector<DrawnVertex>& vertices) {
  const double x = kTreeWidth - kMarginX - 560;
  const double y = 100;
  std::string out = "<g id=\"legend\">\n" + BaseKey(x, y);
  out += BadgeKey(x + 290, y, MarkLook{}, "marked vertex");
  out += CutKey(x + 420, y, MarkLook{});
  out += NoDistributionKey(vertices, x, y + 24);
  return out + "</g>\n";
}

}  // namespace

std::string SvgPicture(const RunReport& report, const LeafNames& names) {
  const std::vector<DrawnVertex> vertices = DrawnVertices(report, names);
  if (report.tree) {
    const OwnTreePicture picture = DrawOwnTree(*report.tree, vertices, "marked vertex", MarkLook{});
    return SvgStart(picture.width, picture.height, TitleText(report)) + Heading(report) + picture.body + "</svg>\n";
  }
  std::string out = SvgStart(kTreeWidth, TreeHeight(names), TitleText(report));
  out += Heading(report) + Legend(vertices) + TreeGroups(vertices);
  return out + "</svg>\n";
}

}  // namespace dorvu::view
