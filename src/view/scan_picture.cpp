// The picture of a cardinality scan: above, the penalty of every run against
// the cardinality, with a line through the medians; below, a grid with a row
// per vertex that any run marks and a column per cardinality, each cell shaded
// by the share of that cardinality's runs that mark the vertex. A real shift
// shows as a row that turns dark at its cardinality and stays dark.

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "view/log_number.h"
#include "view/report_writers.h"
#include "view/run_tallies.h"
#include "view/tree_drawing.h"

namespace dorvu::view {

namespace {

using namespace drawing;

constexpr double kMargin = 40;
constexpr double kColumnWidth = 56;
constexpr double kRowHeight = 22;
constexpr double kMinLabelWidth = 110;
constexpr double kMinWidth = 760;
constexpr double kPlotTop = 120;
constexpr double kPlotHeight = 220;
constexpr double kPlotBottom = kPlotTop + kPlotHeight;
constexpr double kGridTitle = kPlotBottom + 70;
constexpr double kGridTop = kGridTitle + 28;
constexpr std::string_view kDotColour = "#0072B2";
constexpr std::string_view kTextColour = "#111111";

// The columns of both panels, left to right, and where they start.
struct Layout {
  std::vector<int> cardinalities;
  double left = 0;  // the left edge of the first column
  double width = 0;

  double Centre(std::size_t column) const { return left + (static_cast<double>(column) + 0.5) * kColumnWidth; }
  double Right() const { return left + static_cast<double>(cardinalities.size()) * kColumnWidth; }
};

// The vertices besides the root that any run marks, in the vertex table's order,
// by their index in it.
std::vector<std::size_t> MarkedRows(const ScanTally& tally) {
  std::vector<std::size_t> rows;
  const std::size_t count = tally.cardinalities.empty() ? 0 : tally.cardinalities.begin()->second.marked.size();
  for (std::size_t i = 1; i < count; ++i) {
    for (const auto& entry : tally.cardinalities) {
      if (entry.second.marked[i] > 0) {
        rows.push_back(i);
        break;
      }
    }
  }
  return rows;
}

// The vertex at `place` in the vertex table: its name, then a leaf's name, or
// on a tree of one's own the tip's name or label and the clade size.
std::string RowLabel(const ScanTally& tally, std::size_t place, const LeafNames& names) {
  const VertexId v = VertexOrder(tally.tree)[place];
  if (tally.tree) {
    const OwnTree& own = *tally.tree;
    std::string text = VertexName(v);
    if (!own.tree.label[place].empty()) text.append(" ").append(ShownName(own.tree.label[place]));
    return text.append(" (").append(Counted(own.tips[place], "tip")).append(")");
  }
  const std::string name = LeafName(names, v);
  return name.empty() ? VertexName(v) : VertexName(v) + " " + ShownName(name);
}

std::string TitleText(const ScanTally& tally) {
  const std::size_t columns = tally.cardinalities.size();
  return "Cardinality scan: " + Counted(tally.runs, "run") + " at " + std::to_string(columns) +
         (columns == 1 ? " cardinality" : " cardinalities") + ", noise level " + tally.noiseLevel;
}

Layout MakeLayout(const ScanTally& tally, const std::vector<std::size_t>& rows, const LeafNames& names) {
  Layout layout;
  for (const auto& entry : tally.cardinalities) layout.cardinalities.push_back(entry.first);
  double labelWidth = kMinLabelWidth;
  for (const std::size_t i : rows) labelWidth = std::max(labelWidth, BoldTextWidth(RowLabel(tally, i, names), 11) + 14);
  layout.left = kMargin + labelWidth;
  layout.width = std::max({layout.Right() + kMargin, kMinWidth, 2 * kMargin + BoldTextWidth(TitleText(tally), 20)});
  return layout;
}

// The penalty axis: from `low` to `high` with ticks every `step` (none when 0).
struct Scale {
  double low = 0;
  double high = 0;
  double step = 0;

  double Y(double value) const {
    if (!(high > low)) return kPlotTop + kPlotHeight / 2;
    return kPlotBottom - (value - low) / (high - low) * kPlotHeight;
  }
};

// Round ticks (1, 2 or 5 times a power of ten) around the finite penalties.
Scale PenaltyScale(double low, double high) {
  if (!(high > low)) {
    const double pad = low == 0 ? 1 : std::fabs(low) / 10;
    low -= pad;
    high += pad;
  }
  const double rough = (high - low) / 5;
  const double unit = std::pow(10.0, std::floor(std::log10(rough)));
  double step = 10 * unit;
  for (const double multiple : {1.0, 2.0, 5.0}) {
    if (multiple * unit >= rough) {
      step = multiple * unit;
      break;
    }
  }
  if (!(step > 0) || !std::isfinite(step) || !std::isfinite(low / step) || !std::isfinite(high / step))
    return {low, high, 0};
  return {std::floor(low / step) * step, std::ceil(high / step) * step, step};
}

std::string AxisLine(double x1, double y1, double x2, double y2, std::string_view colour) {
  return "<line x1=\"" + SvgNumber(x1) + "\" y1=\"" + SvgNumber(y1) + "\" x2=\"" + SvgNumber(x2) + "\" y2=\"" +
         SvgNumber(y2) + "\" stroke=\"" + std::string(colour) + "\" stroke-width=\"1\"/>\n";
}

std::string CentredText(double x, double y, double size, std::string_view fill, const std::string& text) {
  return TextLine(x, y, size, "text-anchor=\"middle\" fill=\"" + std::string(fill) + "\"", text);
}

std::string RightAlignedText(double x, double y, double size, std::string_view fill, const std::string& text) {
  return TextLine(x, y, size, "text-anchor=\"end\" fill=\"" + std::string(fill) + "\"", text);
}

std::string YAxis(const Layout& layout, const Scale& scale) {
  std::string out;
  if (scale.step > 0) {
    const double first = std::floor(scale.low / scale.step + 0.5);
    for (int k = 0; k <= 20; ++k) {
      const double tick = (first + k) * scale.step;
      if (tick > scale.high + scale.step / 1000) break;
      const double y = scale.Y(tick);
      out += AxisLine(layout.left, y, layout.Right(), y, "#E4E4E4");
      out += RightAlignedText(layout.left - 6, y + 4, 11, "#333333", FormatLogReal(tick));
    }
  }
  out += AxisLine(layout.left, kPlotTop, layout.left, kPlotBottom, "#333333");
  const double middle = kPlotTop + kPlotHeight / 2;
  const double titleX = std::max(kMargin + 10, layout.left - 60);
  return out + "<text transform=\"translate(" + SvgNumber(titleX) + " " + SvgNumber(middle) +
         ") rotate(-90)\" text-anchor=\"middle\" font-size=\"12\" fill=\"#333333\">penalty</text>\n";
}

std::string XAxis(const Layout& layout) {
  std::string out = AxisLine(layout.left, kPlotBottom, layout.Right(), kPlotBottom, "#333333");
  for (std::size_t c = 0; c < layout.cardinalities.size(); ++c)
    out += CentredText(layout.Centre(c), kPlotBottom + 16, 11, "#333333", std::to_string(layout.cardinalities[c]));
  return out + CentredText((layout.left + layout.Right()) / 2, kPlotBottom + 34, 12, "#333333",
                           "cardinality (the most marks a run may place)");
}

std::string Dots(const ScanTally& tally, const Layout& layout, const Scale& scale) {
  std::string out = "<g id=\"runs\">\n";
  std::size_t column = 0;
  for (const auto& [cardinality, runs] : tally.cardinalities) {
    for (const LogReal& penalty : runs.penalties) {
      if (!std::isfinite(penalty.value)) continue;
      out += "<circle class=\"run\" cx=\"" + SvgNumber(layout.Centre(column)) + "\" cy=\"" +
             SvgNumber(scale.Y(penalty.value)) + "\" r=\"4\" fill=\"" + std::string(kDotColour) +
             "\" fill-opacity=\"0.5\"><title>cardinality " + std::to_string(cardinality) + ": penalty " +
             Escaped(penalty.text) + "</title></circle>\n";
    }
    ++column;
  }
  return out + "</g>\n";
}

std::string MedianLine(const ScanTally& tally, const Layout& layout, const Scale& scale) {
  std::string points;
  std::string ticks;
  std::size_t column = 0;
  for (const auto& entry : tally.cardinalities) {
    const LogReal median = Median(SortedByValue(entry.second.penalties));
    if (std::isfinite(median.value)) {
      const double x = layout.Centre(column);
      const double y = scale.Y(median.value);
      points.append(points.empty() ? "" : " ").append(SvgNumber(x)).append(",").append(SvgNumber(y));
      ticks += "<line x1=\"" + SvgNumber(x - 12) + "\" y1=\"" + SvgNumber(y) + "\" x2=\"" + SvgNumber(x + 12) +
               "\" y2=\"" + SvgNumber(y) + "\" stroke=\"" + std::string(kTextColour) +
               "\" stroke-width=\"2\"><title>cardinality " + std::to_string(entry.first) + ": median penalty " +
               Escaped(median.text) + "</title></line>\n";
    }
    ++column;
  }
  return "<g id=\"medians\">\n<polyline points=\"" + points + "\" fill=\"none\" stroke=\"" + std::string(kTextColour) +
         "\" stroke-width=\"1.5\"/>\n" + ticks + "</g>\n";
}

std::string PenaltyPanel(const ScanTally& tally, const Layout& layout) {
  double low = INFINITY;
  double high = -INFINITY;
  for (const auto& entry : tally.cardinalities) {
    for (const LogReal& penalty : entry.second.penalties) {
      if (!std::isfinite(penalty.value)) continue;
      low = std::min(low, penalty.value);
      high = std::max(high, penalty.value);
    }
  }
  std::string out = "<g id=\"penalties\">\n";
  if (!(low <= high)) {
    out += CentredText((layout.left + layout.Right()) / 2, kPlotTop + kPlotHeight / 2, 12, "#333333",
                       "no run has a finite penalty");
    return out + XAxis(layout) + "</g>\n";
  }
  const Scale scale = PenaltyScale(low, high);
  return out + YAxis(layout, scale) + XAxis(layout) + Dots(tally, layout, scale) + MedianLine(tally, layout, scale) +
         "</g>\n";
}

std::string Cell(VertexId v, int cardinality, std::int64_t marked, std::int64_t runs, double x, double y) {
  const double share = static_cast<double>(marked) / static_cast<double>(runs);
  const std::string percent = std::to_string(SupportPercent(marked, runs)) + "%";
  const std::string fill = marked > 0
                               ? "fill=\"" + std::string(kMarkColour) + "\" fill-opacity=\"" + SvgNumber(share) + "\""
                               : std::string("fill=\"white\"");
  return "<g class=\"cell\" id=\"cell-" + VertexName(v) + "-c" + std::to_string(cardinality) + "\"><title>" +
         Escaped(VertexName(v) + " at cardinality " + std::to_string(cardinality) + ": marked in " +
                 std::to_string(marked) + " of " + Counted(runs, "run") + " (" + percent + ")") +
         "</title>" + Rect(x + 1, y + 1, kColumnWidth - 2, kRowHeight - 2, fill + " stroke=\"#DDDDDD\"") +
         "<text x=\"" + SvgNumber(x + kColumnWidth / 2) + "\" y=\"" + SvgNumber(y + 15) +
         "\" text-anchor=\"middle\" font-size=\"11\" fill=\"" +
         std::string(marked > 0 ? kTextColour : std::string_view("#888888")) + "\">" + percent + "</text></g>\n";
}

std::string SupportGrid(const ScanTally& tally, const Layout& layout, const std::vector<std::size_t>& rows,
                        const LeafNames& names) {
  std::string out = "<g id=\"grid\">\n";
  out += TextLine(kMargin, kGridTitle, 13, "font-weight=\"bold\" fill=\"#111111\"",
                  "Share of the runs that mark each vertex, by cardinality");
  out += RightAlignedText(layout.left - 8, kGridTop - 6, 11, "#333333", "cardinality");
  for (std::size_t c = 0; c < layout.cardinalities.size(); ++c)
    out += CentredText(layout.Centre(c), kGridTop - 6, 11, "#333333", std::to_string(layout.cardinalities[c]));
  if (rows.empty())
    out += TextLine(kMargin, kGridTop + 15, 12, "fill=\"#333333\"", "No vertex besides the root is marked in any run.");
  for (std::size_t r = 0; r < rows.size(); ++r) {
    const VertexId v = VertexOrder(tally.tree)[rows[r]];
    const double y = kGridTop + static_cast<double>(r) * kRowHeight;
    out += "<g class=\"row\" id=\"row-" + VertexName(v) + "\">" +
           RightAlignedText(layout.left - 8, y + 15, 11, kTextColour, RowLabel(tally, rows[r], names));
    std::size_t column = 0;
    for (const auto& [cardinality, runs] : tally.cardinalities) {
      out += Cell(v, cardinality, runs.marked[rows[r]], static_cast<std::int64_t>(runs.penalties.size()),
                  layout.left + static_cast<double>(column) * kColumnWidth, y);
      ++column;
    }
    out += "</g>\n";
  }
  return out + "</g>\n";
}

std::int64_t NonFinitePenalties(const ScanTally& tally) {
  std::int64_t count = 0;
  for (const auto& entry : tally.cardinalities)
    for (const LogReal& penalty : entry.second.penalties) count += std::isfinite(penalty.value) ? 0 : 1;
  return count;
}

std::string Heading(const ScanTally& tally) {
  std::string out = TextLine(kMargin, 34, 20, "font-weight=\"bold\" fill=\"#111111\"", TitleText(tally));
  out += TextLine(kMargin, 58, 13, "fill=\"#333333\"",
                  "Above: the penalty of each run (dots) and the median at each cardinality (line).");
  out += TextLine(kMargin, 76, 13, "fill=\"#333333\"",
                  "Below: the share of each cardinality's runs whose best scenario marks the vertex.");
  std::string warning;
  if (const std::int64_t nonFinite = NonFinitePenalties(tally); nonFinite > 0)
    warning += "Not drawn: " + Counted(nonFinite, "run") + " whose penalty is not a finite number. ";
  if (tally.runsWithInputErrors > 0)
    warning += std::to_string(tally.runsWithInputErrors) + " of the " + Counted(tally.runs, "run") +
               " logged input errors; see their logs.";
  if (!warning.empty())
    out += TextLine(kMargin, 96, 13, "font-weight=\"bold\" fill=\"" + std::string(kMarkColour) + "\"", warning);
  return out;
}

}  // namespace

std::string ScanPicture(const ScanTally& tally, const LeafNames& names) {
  const std::vector<std::size_t> rows = MarkedRows(tally);
  const Layout layout = MakeLayout(tally, rows, names);
  const double height = kGridTop + static_cast<double>(std::max<std::size_t>(rows.size(), 1)) * kRowHeight + 30;
  std::string out = SvgStart(layout.width, height, TitleText(tally));
  out += Heading(tally) + PenaltyPanel(tally, layout) + SupportGrid(tally, layout, rows, names);
  return out + "</svg>\n";
}

}  // namespace dorvu::view
