// A tree of one's own is laid out along two axes. Along the axis from the root
// to the tips, a vertex stands at the sum of the branch lengths above it when
// every branch has a length; otherwise the tree is a cladogram with every tip
// at the same distance from the root, each vertex one step closer to the root
// than the farthest step down to a tip below it. Across, the tips follow in
// written order one step apart, and every other vertex stands midway between
// its first and its last child.
//
// Small trees show these axes as x and y; large trees as radius and angle.

#include "view/own_tree_drawing.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <map>
#include <numbers>
#include <stdexcept>

#include "view/report_writers.h"
#include "view/run_report.h"

namespace dorvu::view::drawing {

namespace {

// ---- The two axes, for both layouts.

struct Axes {
  std::vector<double> along;   // from the root (0) towards the tips
  std::vector<double> across;  // tip k of the written order at k
  double longest = 0;          // the largest `along`
  bool byLength = false;       // false for a cladogram
};

// A branch length as written, or 0 when it is negative or cannot be read.
double LengthValue(std::string_view text) {
  if (text.starts_with('+')) text.remove_prefix(1);
  double value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc{} || end != text.data() + text.size() || !std::isfinite(value) || value < 0) return 0;
  return value;
}

bool EveryBranchHasLength(const dorvu::NewickTree& tree) {
  return std::all_of(tree.length.begin() + 1, tree.length.end(), [](const std::string& text) { return !text.empty(); });
}

std::vector<double> DistancesFromRoot(const dorvu::NewickTree& tree) {
  std::vector<double> distance(tree.parent.size(), 0);
  for (std::size_t v = 1; v < distance.size(); ++v)
    distance[v] = distance[tree.parent[v]] + LengthValue(tree.length[v]);
  return distance;
}

// Steps from the root in a cladogram: every tip as many as the longest path
// from the root to a tip has edges, every other vertex one step before the
// nearest of its children.
std::vector<double> CladogramSteps(const dorvu::NewickTree& tree) {
  std::vector<double> height(tree.parent.size(), 0);  // steps down to the farthest tip below
  for (std::size_t v = height.size() - 1; v > 0; --v)
    height[tree.parent[v]] = std::max(height[tree.parent[v]], height[v] + 1);
  const double longest = height[0];
  for (double& step : height) step = longest - step;
  return height;
}

// Children follow their parent, so one backward pass sets every parent after its children.
std::vector<double> AcrossPositions(const dorvu::NewickTree& tree) {
  const std::size_t count = tree.parent.size();
  std::vector<double> across(count, 0);
  double tip = 0;
  for (std::size_t v = 0; v < count; ++v)
    if (tree.childBegin[v] == tree.childBegin[v + 1]) across[v] = tip++;
  for (std::size_t v = count; v-- > 0;) {
    const std::int32_t first = tree.childBegin[v];
    const std::int32_t last = tree.childBegin[v + 1] - 1;
    if (first <= last) across[v] = (across[tree.childList[first]] + across[tree.childList[last]]) / 2;
  }
  return across;
}

// Lengths that are all 0 give no picture; the tree is then drawn as a cladogram.
Axes LayOut(const dorvu::NewickTree& tree) {
  Axes axes{{}, AcrossPositions(tree), 0, EveryBranchHasLength(tree)};
  if (axes.byLength) axes.along = DistancesFromRoot(tree);
  axes.longest = axes.byLength ? *std::max_element(axes.along.begin(), axes.along.end()) : 0;
  if (axes.longest <= 0) {
    axes.byLength = false;
    axes.along = CladogramSteps(tree);
    axes.longest = *std::max_element(axes.along.begin(), axes.along.end());
  }
  return axes;
}

// ---- Pieces of both legends.

constexpr double kLegendTop = kOwnTreeTop;
constexpr std::string_view kKeyText = "fill=\"#333333\"";

// d times 10^e written out, for the scale bar.
std::string PowerOfTenText(int digit, int exponent) {
  const std::string d = std::to_string(digit);
  std::string text;
  if (exponent >= 0 && exponent <= 6) return text.append(d).append(exponent, '0');
  if (exponent < 0 && exponent >= -6) return text.append("0.").append(-exponent - 1, '0').append(d);
  return text.append(d).append("e").append(std::to_string(exponent));
}

// A bar for a length of 1, 2 or 5 times a power of ten, 40 to 100 px long.
std::string ScaleKey(double x, double y, double pixelsPerLength) {
  const double wanted = 100 / pixelsPerLength;
  const int exponent = static_cast<int>(std::floor(std::log10(wanted)));
  const double mantissa = wanted / std::pow(10.0, exponent);
  const int digit = mantissa >= 5 ? 5 : mantissa >= 2 ? 2 : 1;
  const double pixels = digit * std::pow(10.0, exponent) * pixelsPerLength;
  return "<path d=\"M" + SvgNumber(x) + " " + SvgNumber(y + 3) + "v8M" + SvgNumber(x) + " " + SvgNumber(y + 7) + "h" +
         SvgNumber(pixels) + "M" + SvgNumber(x + pixels) + " " + SvgNumber(y + 3) +
         "v8\" stroke=\"#333333\" stroke-width=\"1.3\" fill=\"none\"/>" +
         TextLine(x + pixels + 8, y + 12, 12, kKeyText, "branch length " + PowerOfTenText(digit, exponent));
}

// The badge key and the cut key side by side, and the room they take.
std::string MarkKeys(double x, double y, const std::string& badgeCaption, const MarkLook& keyLook) {
  return BadgeKey(x, y, keyLook, badgeCaption) + CutKey(x + 32 + BoldTextWidth(badgeCaption, 12) + 10, y, keyLook);
}

double MarkKeysWidth(const std::string& badgeCaption) {
  return 32 + BoldTextWidth(badgeCaption, 12) + 10 + 46 + BoldTextWidth("cut branch", 12);
}

// ---- Up to kMaxNamedTips tips: left to right, one row per tip.

constexpr double kRowHeight = 18;
constexpr double kRowBarWidth = 36;
constexpr double kRowBarHeight = 10;
constexpr double kSmallNameSize = 9;
constexpr double kMinStep = 44;  // a cladogram's step: room for a bar and a short name
constexpr double kMaxStep = 120;
constexpr double kRowsTop = kLegendTop + 48 + 30;

struct Rows {
  std::vector<double> x;  // the vertex: the right end of its bar, where its children branch off
  std::vector<double> y;
  double pixelsPerLength = 0;
};

// Where the badge of a name left of a bar ending at `x` begins.
double BadgeLeft(double x, const std::string& label) { return x - kRowBarWidth - 10 - BoldTextWidth(label, 11); }

// Each tree gets 800 to 1400 px, more when a cladogram would crowd its bars,
// and moves right as far as the badges left of the bars need.
Rows PlaceRows(const OwnTree& own, const std::vector<DrawnVertex>& vertices, const Axes& axes) {
  const double steps = *std::max_element(own.tree.depth.begin(), own.tree.depth.end());
  double span = std::clamp(70 * steps, 800.0, 1400.0);
  if (!axes.byLength) span = std::clamp(span / axes.longest, kMinStep, kMaxStep) * axes.longest;
  Rows rows{{}, {}, span / axes.longest};
  double left = kMarginX;
  for (std::int32_t v = 0; v < own.VertexCount(); ++v) {
    rows.x.push_back(axes.along[v] * rows.pixelsPerLength);
    rows.y.push_back(kRowsTop + axes.across[v] * kRowHeight);
    if (!own.IsTip(v) && (v == 0 || vertices[v].mark)) left = std::min(left, BadgeLeft(rows.x[v], vertices[v].label));
  }
  for (double& x : rows.x) x += kMarginX - left;
  return rows;
}

// The shares left to right in the bases' order; the bar ends at `right`.
std::string RowBar(const DrawnVertex& drawn, double right, double y) {
  return StackedBar(drawn, {right - kRowBarWidth, y - kRowBarHeight / 2, kRowBarWidth, kRowBarHeight, true, 2});
}

std::string Translated(double x, double y, const std::string& content) {
  return "<g transform=\"translate(" + SvgNumber(x) + " " + SvgNumber(y) + ")\">" + content + "</g>";
}

// A halo keeps small text readable where it crosses a branch.
std::string HaloText(double x, double y, double size, std::string_view colour, const std::string& text) {
  return TextLine(x, y, size,
                  "text-anchor=\"end\" fill=\"" + std::string(colour) +
                      "\" stroke=\"white\" stroke-width=\"3\" stroke-linejoin=\"round\" paint-order=\"stroke\"",
                  text);
}

// A tip's name stands right of the tip. Another vertex's name stands on its
// branch left of the bar, where only the vertex's ancestors come closer than a
// row: it is shown when it fits between the parent's upright line and the
// bar, and always for a marked vertex and the root.
std::string RowLabel(const OwnTree& own, const DrawnVertex& drawn, const Rows& rows, std::int32_t v) {
  const double x = rows.x[v];
  const double y = rows.y[v];
  if (own.IsTip(v)) return Translated(x + 6, y + 4, LabelText(drawn.label, drawn.mark, "start"));
  if (v == 0 || drawn.mark) return Translated(x - kRowBarWidth - 7, y + 4, LabelText(drawn.label, drawn.mark, "end"));
  const double room = x - rows.x[own.tree.parent[v]] - kRowBarWidth - 8;
  if (BoldTextWidth(drawn.label, kSmallNameSize) > room) return {};
  return HaloText(x - kRowBarWidth - 4, y + 3, kSmallNameSize, "#666666", drawn.label);
}

// Centred above the bar, clear of the bars of the rows next to it.
std::string RowNote(const DrawnVertex& drawn, double x, double y) {
  if (drawn.note.empty()) return {};
  return "<text class=\"note\" x=\"" + SvgNumber(x - kRowBarWidth / 2) + "\" y=\"" + SvgNumber(y - 6.5) +
         "\" text-anchor=\"middle\" font-size=\"8\" fill=\"#222222\" stroke=\"white\" stroke-width=\"3\" "
         "stroke-linejoin=\"round\" paint-order=\"stroke\">" +
         Escaped(drawn.note) + "</text>";
}

std::string RowVertexGroup(const OwnTree& own, const DrawnVertex& drawn, const Rows& rows, std::int32_t v) {
  return "<g class=\"vertex" + std::string(drawn.mark ? " marked" : "") + "\" id=\"v-" + own.names[v] + "\"><title>" +
         Escaped(drawn.tooltip) + "</title>" + RowBar(drawn, rows.x[v], rows.y[v]) + RowLabel(own, drawn, rows, v) +
         RowNote(drawn, rows.x[v], rows.y[v]) + "</g>\n";
}

// Rectangular elbows: each parent's upright line spans its children's rows,
// each branch runs across to its vertex. The branches that are not cut form
// one path.
std::string RowBranches(const OwnTree& own, const std::vector<DrawnVertex>& vertices, const Rows& rows) {
  const dorvu::NewickTree& tree = own.tree;
  std::string path;
  std::string cuts;
  for (std::int32_t v = 0; v < own.VertexCount(); ++v) {
    const std::int32_t first = tree.childBegin[v];
    const std::int32_t last = tree.childBegin[v + 1] - 1;
    if (first < last)
      path.append("M")
          .append(SvgNumber(rows.x[v]))
          .append(" ")
          .append(SvgNumber(rows.y[tree.childList[first]]))
          .append("V")
          .append(SvgNumber(rows.y[tree.childList[last]]));
    if (v == 0) continue;
    const std::string from = SvgNumber(rows.x[tree.parent[v]]);
    const std::string to = SvgNumber(rows.x[v]);
    const std::string y = SvgNumber(rows.y[v]);
    const std::optional<MarkLook>& mark = vertices[v].mark;
    if (!mark) {
      path += "M" + from + " " + y + "H" + to;
      continue;
    }
    cuts += "<line class=\"edge cut\" id=\"e-" + own.names[v] + "\" x1=\"" + from + "\" y1=\"" + y + "\" x2=\"" + to +
            "\" y2=\"" + y + "\" stroke=\"" + std::string(kMarkColour) +
            "\" stroke-width=\"3\" stroke-dasharray=\"7 5\"" + OpacityAttribute("stroke", mark->opacity) + "/>\n";
  }
  return "<path class=\"edge\" d=\"" + path + "\" stroke=\"" + std::string(kEdgeColour) +
         "\" stroke-width=\"1.3\" fill=\"none\"/>\n" + cuts;
}

std::string RowLegend(const std::vector<DrawnVertex>& vertices, const Rows& rows, bool byLength,
                      const std::string& badgeCaption, const MarkLook& keyLook) {
  std::string out = "<g id=\"legend\">\n" + BaseKey(kMarginX, kLegendTop, "Bar, left to right:");
  out += MarkKeys(kMarginX + 290, kLegendTop, badgeCaption, keyLook);
  const std::string noDistribution = NoDistributionKey(vertices, kMarginX, kLegendTop + 24);
  if (byLength) out += ScaleKey(kMarginX + (noDistribution.empty() ? 0 : 520), kLegendTop + 24, rows.pixelsPerLength);
  return out + noDistribution + "</g>\n";
}

OwnTreePicture DrawRows(const OwnTree& own, const std::vector<DrawnVertex>& vertices, const std::string& badgeCaption,
                        const MarkLook& keyLook) {
  const Axes axes = LayOut(own.tree);
  const Rows rows = PlaceRows(own, vertices, axes);
  double width = 1100;
  for (std::int32_t v = 0; v < own.VertexCount(); ++v)
    if (own.IsTip(v)) width = std::max(width, rows.x[v] + 12 + BoldTextWidth(vertices[v].label, 11) + kMarginX);
  const double height = kRowsTop + (own.tree.tipCount - 1) * kRowHeight + 24;
  std::string body = RowLegend(vertices, rows, axes.byLength, badgeCaption, keyLook);
  body += "<g id=\"edges\">\n" + RowBranches(own, vertices, rows) + "</g>\n<g id=\"vertices\">\n";
  for (std::int32_t v = 0; v < own.VertexCount(); ++v) body += RowVertexGroup(own, vertices[v], rows, v);
  return {width, height, body + "</g>\n"};
}

// ---- Above kMaxNamedTips tips: a circle, the branches coloured by GC share.

// Dark violet through blue to green, rising steadily in lightness and told
// apart with the common colour-vision deficiencies; the palest colours, which
// vanish on white as thin lines, are left out.
constexpr std::array<std::string_view, 8> kGcColours{"#440154", "#482878", "#3E4A89", "#31688E",
                                                     "#26828E", "#1F9E89", "#35B779", "#6DCD59"};
constexpr std::string_view kNoGcColour = "#BBBBBB";
constexpr std::size_t kNoGcBin = kGcColours.size();
constexpr std::size_t kEvenGcBin = kGcColours.size() / 2;  // the one colour when all shares are equal
constexpr double kCircleGap = 2 * std::numbers::pi / 36;   // between the last tip and the first
constexpr double kCircleTop = kLegendTop + 72 + 24;

double GcShare(const std::array<double, 4>& values) {
  return (values[1] + values[2]) / (values[0] + values[1] + values[2] + values[3]);
}

struct GcScale {
  double low = 0;
  double high = 0;
  bool any = false;  // false when no vertex has a distribution
  bool anyWithout = false;
  std::vector<std::size_t> bin;  // of each vertex
};

GcScale GcBins(const std::vector<DrawnVertex>& vertices) {
  GcScale scale;
  for (const DrawnVertex& drawn : vertices) {
    if (!HasDistribution(drawn.values)) continue;
    const double share = GcShare(drawn.values);
    scale.low = scale.any ? std::min(scale.low, share) : share;
    scale.high = scale.any ? std::max(scale.high, share) : share;
    scale.any = true;
  }
  const double binWidth = (scale.high - scale.low) / kGcColours.size();
  for (const DrawnVertex& drawn : vertices) {
    std::size_t bin = kEvenGcBin;
    if (!HasDistribution(drawn.values))
      bin = kNoGcBin;
    else if (binWidth > 0)
      bin = std::min(kGcColours.size() - 1, static_cast<std::size_t>((GcShare(drawn.values) - scale.low) / binWidth));
    scale.anyWithout = scale.anyWithout || bin == kNoGcBin;
    scale.bin.push_back(bin);
  }
  return scale;
}

// A share in percent, with as many decimals (1 to 4) as tell the bins' bounds apart.
std::string PercentText(double share, double binWidth) {
  const double digits = binWidth > 0 ? std::ceil(-std::log10(binWidth * 100)) : 1;
  const int decimals = static_cast<int>(std::clamp(digits, 1.0, 4.0));
  std::array<char, 32> buffer{};
  const auto end =
      std::to_chars(buffer.data(), buffer.data() + buffer.size(), share * 100, std::chars_format::fixed, decimals).ptr;
  return std::string(buffer.data(), end);
}

// The swatches run left to right and wrap before the right edge of the narrowest picture.
std::string GcLegend(const GcScale& scale, double& y) {
  std::string out =
      TextLine(kMarginX, y + 12, 12, kKeyText, "Branch colour: the GC share (C+G)/(A+C+G+T) of the vertex below");
  std::vector<std::pair<std::string_view, std::string>> entries;
  const double binWidth = (scale.high - scale.low) / kGcColours.size();
  if (scale.any && binWidth <= 0) entries.emplace_back(kGcColours[kEvenGcBin], PercentText(scale.low, 0) + "%");
  for (std::size_t b = 0; scale.any && binWidth > 0 && b < kGcColours.size(); ++b)
    entries.emplace_back(kGcColours[b], PercentText(scale.low + b * binWidth, binWidth) + "\u2013" +
                                            PercentText(scale.low + (b + 1) * binWidth, binWidth) + "%");
  if (scale.anyWithout) entries.emplace_back(kNoGcColour, "no distribution");
  double x = kMarginX;
  y += 22;
  for (const auto& [colour, text] : entries) {
    const double entryWidth = 14 + 5 + BoldTextWidth(text, 11) + 14;
    if (x > kMarginX && x + entryWidth > 1100 - kMarginX) {
      x = kMarginX;
      y += 22;
    }
    out += Rect(x, y, 14, 14, "fill=\"" + std::string(colour) + "\"");
    out += TextLine(x + 19, y + 11.5, 11, "fill=\"#222222\"", text);
    x += entryWidth;
  }
  y += 26;
  return out;
}

struct Circle {
  double radius = 0;        // of the tips farthest out
  std::vector<double> r;    // of each vertex
  std::vector<double> cos;  // of each vertex's angle
  std::vector<double> sin;
};

// The tips run clockwise from the top; the gap sits at the top.
Circle PlaceOnCircle(const Axes& axes, std::int32_t tipCount) {
  Circle circle;
  circle.radius = std::clamp(12 * std::sqrt(static_cast<double>(tipCount)), 300.0, 900.0);
  const double step = (2 * std::numbers::pi - kCircleGap) / std::max(1, tipCount - 1);
  const std::size_t count = axes.along.size();
  circle.r.resize(count);
  circle.cos.resize(count);
  circle.sin.resize(count);
  for (std::size_t v = 0; v < count; ++v) {
    const double angle = -std::numbers::pi / 2 + kCircleGap / 2 + axes.across[v] * step;
    circle.r[v] = axes.along[v] / axes.longest * circle.radius;
    circle.cos[v] = std::cos(angle);
    circle.sin[v] = std::sin(angle);
  }
  return circle;
}

// One decimal at most: finer than a screen shows, and it keeps large files small.
void AppendNumber(std::string& out, double value) {
  std::array<char, 32> buffer{};
  const auto end = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value, std::chars_format::fixed, 1).ptr;
  std::string_view text(buffer.data(), end);
  if (text.ends_with(".0")) text.remove_suffix(2);
  out += text == "-0" ? "0" : text;
}

void AppendPoint(std::string& out, char command, double x, double y) {
  out += command;
  AppendNumber(out, x);
  out += ' ';
  AppendNumber(out, y);
}

// From the parent's radius out to the vertex's, along the vertex's angle.
void AppendBranch(std::string& out, const Circle& circle, std::int32_t v, std::int32_t parent) {
  AppendPoint(out, 'M', circle.r[parent] * circle.cos[v], circle.r[parent] * circle.sin[v]);
  AppendPoint(out, 'L', circle.r[v] * circle.cos[v], circle.r[v] * circle.sin[v]);
}

// At the vertex's radius, clockwise from its first child's angle to its last's.
void AppendArc(std::string& out, const Circle& circle, std::int32_t v, std::int32_t first, std::int32_t last) {
  const double r = circle.r[v];
  AppendPoint(out, 'M', r * circle.cos[first], r * circle.sin[first]);
  AppendPoint(out, 'A', r, r);
  // Past half a turn the arc needs the large-arc flag: the cross product of the ends is then negative.
  const bool large = circle.cos[first] * circle.sin[last] - circle.sin[first] * circle.cos[last] < 0;
  out += large ? " 0 1 1 " : " 0 0 1 ";
  AppendNumber(out, r * circle.cos[last]);
  out += ' ';
  AppendNumber(out, r * circle.sin[last]);
}

std::string CircleBranches(const OwnTree& own, const Circle& circle, const GcScale& scale) {
  const dorvu::NewickTree& tree = own.tree;
  std::array<std::string, kGcColours.size() + 1> paths;
  for (std::int32_t v = 0; v < own.VertexCount(); ++v) {
    std::string& path = paths[scale.bin[v]];
    if (v > 0) AppendBranch(path, circle, v, tree.parent[v]);
    const std::int32_t first = tree.childBegin[v];
    const std::int32_t last = tree.childBegin[v + 1] - 1;
    if (first < last && circle.r[v] >= 0.05) AppendArc(path, circle, v, tree.childList[first], tree.childList[last]);
  }
  // About two thirds of the room each tip has on the circle, within limits.
  const double stroke = std::clamp(2 * std::numbers::pi * circle.radius / tree.tipCount * 0.6, 0.5, 1.5);
  std::string out;
  for (std::size_t b = 0; b < paths.size(); ++b) {
    if (paths[b].empty()) continue;
    out += "<path class=\"branches\" stroke=\"" + std::string(b == kNoGcBin ? kNoGcColour : kGcColours[b]) +
           "\" stroke-width=\"" + SvgNumber(stroke) + "\" fill=\"none\" d=\"" + paths[b] + "\"/>\n";
  }
  return out;
}

// One path for all cut branches of one opacity, over the other branches.
std::string CircleCuts(const OwnTree& own, const std::vector<DrawnVertex>& vertices, const Circle& circle) {
  std::map<double, std::string> byOpacity;
  for (std::int32_t v = 1; v < own.VertexCount(); ++v)
    if (vertices[v].mark) AppendBranch(byOpacity[vertices[v].mark->opacity], circle, v, own.tree.parent[v]);
  std::string out;
  for (const auto& [opacity, path] : byOpacity)
    out += "<path class=\"edge cut\" stroke=\"" + std::string(kMarkColour) +
           "\" stroke-width=\"3\" stroke-dasharray=\"7 5\"" + OpacityAttribute("stroke", opacity) +
           " fill=\"none\" d=\"" + path + "\"/>\n";
  return out;
}

struct Box {
  double left = 0;
  double top = 0;
  double right = 0;
  double bottom = 0;
};

bool Overlap(const Box& a, const Box& b) {
  constexpr double kPad = 2;
  return a.left < b.right + kPad && b.left < a.right + kPad && a.top < b.bottom + kPad && b.top < a.bottom + kPad;
}

struct Badge {
  std::int32_t vertex = 0;
  std::string text;
  double width = 0;
  double x = 0;  // where the leader line ends
  double y = 0;
  Box box;
};

constexpr double kBadgeHeight = 16;
constexpr int kBadgeRings = 8;       // distances from the circle a badge may take
constexpr std::size_t kNearby = 24;  // badges checked for overlap at either end of those placed

std::string BadgeText(const OwnTree& own, const DrawnVertex& drawn, std::int32_t v) {
  const std::string dot = " \u00B7 ";
  std::string text = own.names[v] + dot;
  text += own.IsTip(v) ? "tip " + drawn.label : Counted(own.tips[v], "tip");
  return drawn.note.empty() ? text : text + dot + drawn.note;
}

// The badge's box at distance `ring` out along the vertex's angle: on the
// right half it starts at the leader's end, on the left half it ends there,
// and it slides across in between.
void PutOnRing(Badge& badge, const Circle& circle, int ring) {
  const double c = circle.cos[badge.vertex];
  const double s = circle.sin[badge.vertex];
  const double distance = circle.radius + 18 + ring * (kBadgeHeight + 4);
  badge.x = distance * c;
  badge.y = distance * s;
  const double left = badge.x - badge.width * (1 - c) / 2;
  const double top = badge.y - kBadgeHeight / 2 + s * kBadgeHeight / 2;
  badge.box = {left, top, left + badge.width, top + kBadgeHeight};
}

// Against the badges placed last, and the first ones, which the last may meet across the gap.
bool Clashes(const Badge& badge, const std::vector<Badge>& placed) {
  const std::size_t n = placed.size();
  for (std::size_t i = n > kNearby ? n - kNearby : 0; i < n; ++i)
    if (Overlap(badge.box, placed[i].box)) return true;
  for (std::size_t i = 0; i < std::min(n, kNearby); ++i)
    if (Overlap(badge.box, placed[i].box)) return true;
  return false;
}

// In order of angle, each badge takes the nearest ring where it clears the
// badges already placed next to it (or the farthest ring when none is clear).
std::vector<Badge> PlaceBadges(const OwnTree& own, const std::vector<DrawnVertex>& vertices, const Circle& circle,
                               const Axes& axes) {
  std::vector<Badge> badges;
  for (std::int32_t v = 1; v < own.VertexCount(); ++v) {
    if (!vertices[v].mark) continue;
    std::string text = BadgeText(own, vertices[v], v);
    const double width = BoldTextWidth(text, 11) + 8;
    badges.push_back({v, std::move(text), width, 0, 0, {}});
  }
  std::stable_sort(badges.begin(), badges.end(),
                   [&](const Badge& a, const Badge& b) { return axes.across[a.vertex] < axes.across[b.vertex]; });
  std::vector<Badge> placed;
  placed.reserve(badges.size());
  for (Badge& badge : badges) {
    for (int ring = 0; ring < kBadgeRings; ++ring) {
      PutOnRing(badge, circle, ring);
      if (!Clashes(badge, placed)) break;
    }
    placed.push_back(std::move(badge));
  }
  return placed;
}

std::string BadgeGroup(const Badge& badge, const DrawnVertex& drawn, const std::string& name, const Circle& circle) {
  const std::int32_t v = badge.vertex;
  const double x = circle.r[v] * circle.cos[v];
  const double y = circle.r[v] * circle.sin[v];
  const std::string opacity = OpacityAttribute("fill", drawn.mark->opacity);
  return "<g class=\"vertex marked\" id=\"v-" + name + "\"><title>" + Escaped(drawn.tooltip) + "</title><line x1=\"" +
         SvgNumber(x) + "\" y1=\"" + SvgNumber(y) + "\" x2=\"" + SvgNumber(badge.x) + "\" y2=\"" + SvgNumber(badge.y) +
         "\" stroke=\"#333333\" stroke-width=\"0.8\"/><circle cx=\"" + SvgNumber(x) + "\" cy=\"" + SvgNumber(y) +
         "\" r=\"4.5\" fill=\"" + std::string(kMarkColour) + "\"" + opacity +
         " stroke=\"white\" stroke-width=\"1.5\"/>" +
         Rect(badge.box.left, badge.box.top, badge.width, kBadgeHeight,
              "rx=\"3\" fill=\"" + std::string(kMarkColour) + "\"" + opacity) +
         "<text x=\"" + SvgNumber(badge.box.left + 4) + "\" y=\"" + SvgNumber(badge.box.top + 12) +
         "\" font-size=\"11\" font-weight=\"bold\" fill=\"" + std::string(drawn.mark->textColour) + "\">" +
         Escaped(badge.text) + "</text></g>\n";
}

// The circle and every badge.
Box Extent(const Circle& circle, const std::vector<Badge>& badges) {
  Box extent{-circle.radius, -circle.radius, circle.radius, circle.radius};
  for (const Badge& badge : badges)
    extent = {std::min(extent.left, badge.box.left), std::min(extent.top, badge.box.top),
              std::max(extent.right, badge.box.right), std::max(extent.bottom, badge.box.bottom)};
  return extent;
}

OwnTreePicture DrawCircle(const OwnTree& own, const std::vector<DrawnVertex>& vertices, const std::string& badgeCaption,
                          const MarkLook& keyLook) {
  const Axes axes = LayOut(own.tree);
  const Circle circle = PlaceOnCircle(axes, own.tree.tipCount);
  const GcScale scale = GcBins(vertices);
  const std::vector<Badge> badges = PlaceBadges(own, vertices, circle, axes);
  double y = kLegendTop;
  std::string body = "<g id=\"legend\">\n" + GcLegend(scale, y);
  body += MarkKeys(kMarginX, y, badgeCaption, keyLook);
  if (axes.byLength) body += ScaleKey(kMarginX + MarkKeysWidth(badgeCaption) + 40, y, circle.radius / axes.longest);
  body += "</g>\n";
  const Box extent = Extent(circle, badges);
  const double width = std::max(1100.0, extent.right - extent.left + 2 * kMarginX);
  const double top = std::max(kCircleTop, y + 40);
  const double centreX = (width - (extent.right - extent.left)) / 2 - extent.left;
  body += "<g id=\"tree\" transform=\"translate(" + SvgNumber(centreX) + " " + SvgNumber(top - extent.top) + ")\">\n";
  body += CircleBranches(own, circle, scale) + CircleCuts(own, vertices, circle);
  for (const Badge& badge : badges) body += BadgeGroup(badge, vertices[badge.vertex], own.names[badge.vertex], circle);
  return {width, top + extent.bottom - extent.top + kMarginX, body + "</g>\n"};
}

}  // namespace

OwnTreePicture DrawOwnTree(const OwnTree& tree, const std::vector<DrawnVertex>& vertices,
                           const std::string& badgeCaption, const MarkLook& keyLook) {
  if (static_cast<std::int32_t>(vertices.size()) != tree.VertexCount())
    throw std::invalid_argument("DrawOwnTree: one drawn vertex per vertex of the tree is needed");
  if (tree.tree.tipCount <= kMaxNamedTips) return DrawRows(tree, vertices, badgeCaption, keyLook);
  return DrawCircle(tree, vertices, badgeCaption, keyLook);
}

}  // namespace dorvu::view::drawing
