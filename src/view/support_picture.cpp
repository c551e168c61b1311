// The picture of the replicates of one run: the tree as in the picture of one
// run, with the share of the runs that mark each vertex.

#include <string>
#include <vector>

#include "view/log_number.h"
#include "view/own_tree_drawing.h"
#include "view/report_writers.h"
#include "view/run_tallies.h"
#include "view/tree_drawing.h"

namespace dorvu::view {

namespace {

using namespace drawing;

// Dark text reads on the badge at every opacity.
constexpr std::string_view kBadgeText = "#111111";
constexpr std::string_view kBadgeCaption = "marked in half the runs or more";

std::string Percent(std::int64_t marked, std::int64_t runs) {
  return std::to_string(SupportPercent(marked, runs)) + "%";
}

std::string Tooltip(VertexId v, const VertexTally& counts, const std::array<double, 4>& means, std::int64_t runs,
                    const std::string& name) {
  std::string text = VertexName(v) + (name.empty() ? "" : " " + name) + ": marked in " + std::to_string(counts.marked) +
                     " of " + Counted(runs, "run") + " (" + Percent(counts.marked, runs) + "); mean";
  for (std::size_t b = 0; b < kBases.size(); ++b) text += std::string(" ") + kBases[b] + " " + FormatLogReal(means[b]);
  return text;
}

std::vector<DrawnVertex> DrawnVertices(const SupportTally& tally, const LeafNames& names) {
  std::vector<DrawnVertex> vertices;
  const std::vector<VertexId>& order = VertexOrder(tally.tree);
  for (std::size_t i = 0; i < order.size(); ++i) {
    const VertexTally& counts = tally.vertices[i];
    const std::string label = tally.tree ? OwnVertexLabel(*tally.tree, i) : ShownLabel(names, order[i]);
    const std::string name = tally.tree ? OwnVertexCaption(*tally.tree, i) : LeafName(names, order[i]);
    DrawnVertex drawn{order[i], {}, std::nullopt, "", label, ""};
    for (std::size_t b = 0; b < kBases.size(); ++b) drawn.values[b] = counts.sums[b] / static_cast<double>(tally.runs);
    if (MarkedInHalf(counts.marked, tally.runs))
      drawn.mark = MarkLook{static_cast<double>(counts.marked) / static_cast<double>(tally.runs), kBadgeText};
    if (counts.marked > 0) drawn.note = Percent(counts.marked, tally.runs);
    drawn.tooltip = Tooltip(order[i], counts, drawn.values, tally.runs, name);
    vertices.push_back(std::move(drawn));
  }
  return vertices;
}

std::string TitleText(const SupportTally& tally) {
  std::string cardinality = tally.cardinalityText;
  if (tally.cardinalityLimit) cardinality += " (limited to " + std::to_string(*tally.cardinalityLimit) + ")";
  return "Support over " + Counted(tally.runs, "run") + ": presupposed cardinality " + cardinality + ", noise level " +
         tally.noiseLevel;
}

std::string MajoritySummary(const SupportTally& tally) {
  std::string listed;
  const std::vector<VertexId>& order = VertexOrder(tally.tree);
  for (std::size_t i = 0; i < order.size(); ++i) {
    const std::int64_t marked = tally.vertices[i].marked;
    if (order[i] != kRoot && MarkedInHalf(marked, tally.runs))
      listed += (listed.empty() ? "" : ", ") + VertexName(order[i]) + " (" + Percent(marked, tally.runs) + ")";
  }
  const std::string logs = " First log: " + tally.firstLog;
  if (listed.empty()) return "No vertex besides the root is marked in half the runs or more." + logs;
  return "Marked in half the runs or more, besides the root: " + listed + "." + logs;
}

std::string Heading(const SupportTally& tally) {
  std::string out = TextLine(kMarginX, 34, 20, "font-weight=\"bold\" fill=\"#111111\"", TitleText(tally));
  out += TextLine(kMarginX, 60, 13, "fill=\"#333333\"",
                  "Percentages: the share of the runs whose best scenario marks the vertex. Badges and cut "
                  "branches: vertices marked in half the runs or more, darker the more often. Bars: the mean "
                  "A/C/G/T over the runs.");
  out += TextLine(kMarginX, 82, 13, "fill=\"#333333\"", MajoritySummary(tally));
  if (tally.runsWithInputErrors > 0)
    out += TextLine(kMarginX, 104, 13, "font-weight=\"bold\" fill=\"" + std::string(kMarkColour) + "\"",
                    std::to_string(tally.runsWithInputErrors) + " of the " + Counted(tally.runs, "run") +
                        " logged input errors; see their logs.");
  return out;
}

std::string Legend(const std::vector<DrawnVertex>& vertices) {
  const double x = kTreeWidth - kMarginX - 720;
  const double y = 100;
  std::string out = "<g id=\"legend\">\n" + BaseKey(x, y);
  const MarkLook full{1, kBadgeText};
  out += BadgeKey(x + 290, y, full, std::string(kBadgeCaption));
  out += CutKey(x + 290 + 32 + BoldTextWidth(kBadgeCaption, 12) + 10, y, full);
  out += NoDistributionKey(vertices, x, y + 24);
  return out + "</g>\n";
}

}  // namespace

std::string SupportPicture(const SupportTally& tally, const LeafNames& names) {
  const std::vector<DrawnVertex> vertices = DrawnVertices(tally, names);
  if (tally.tree) {
    const OwnTreePicture picture =
        DrawOwnTree(*tally.tree, vertices, std::string(kBadgeCaption), MarkLook{1, kBadgeText});
    return SvgStart(picture.width, picture.height, TitleText(tally)) + Heading(tally) + picture.body + "</svg>\n";
  }
  std::string out = SvgStart(kTreeWidth, TreeHeight(names), TitleText(tally));
  out += Heading(tally) + Legend(vertices) + TreeGroups(vertices);
  return out + "</svg>\n";
}

}  // namespace dorvu::view
