// The picture of a run report. The fixed tree is laid out with its 64 leaves
// evenly spaced along the bottom and every internal vertex centred over its
// two children; each vertex shows its A/C/G/T shares as one stacked bar.

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <string>
#include <string_view>
#include <vector>

#include "view/report_writers.h"

namespace dorvu::view {

namespace {

constexpr double LeafSpacing = 26;
constexpr double MarginX = 40;
constexpr double TreeTop = 150;
constexpr double LevelGap = 92;
constexpr double BarWidth = 14;
constexpr double BarHeight = 42;
constexpr double LeafLabelRoom = 56;
constexpr double CharWidth = 7;           // a generous width of one character at font size 11
constexpr std::size_t MaxShownName = 30;  // characters of a leaf's name shown below it
constexpr double Width = 2 * MarginX + LeafCount * LeafSpacing;

// Okabe-Ito colours, told apart with the common colour-vision deficiencies.
constexpr std::array<std::string_view, 4> BaseColours{"#009E73", "#0072B2", "#E69F00", "#CC79A7"};
constexpr std::string_view MarkColour = "#D55E00";
constexpr std::string_view EdgeColour = "#666666";
constexpr std::string_view FontFamily = "DejaVu Sans, Liberation Sans, Arial, Helvetica, sans-serif";

// Coordinates with at most two decimals, independent of any locale.
std::string Num(double value) {
  std::array<char, 32> buffer{};
  const auto result =
      std::to_chars(buffer.data(), buffer.data() + buffer.size(), value, std::chars_format::fixed, 2);
  std::string text(buffer.data(), result.ptr);
  while (text.back() == '0') text.pop_back();
  if (text.back() == '.') text.pop_back();
  return text == "-0" ? "0" : text;
}

// Length of the well-formed UTF-8 sequence that starts at text[i], 0 if none.
std::size_t Utf8Length(std::string_view text, std::size_t i) {
  const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
  const unsigned char lead = byte(i);
  if (lead < 0x80) return 1;
  if (lead < 0xC2 || lead > 0xF4) return 0;
  const std::size_t length = lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
  // The second byte's range excludes overlong forms, surrogates and code points past U+10FFFF.
  const unsigned char low = lead == 0xE0 ? 0xA0 : lead == 0xF0 ? 0x90 : 0x80;
  const unsigned char high = lead == 0xED ? 0x9F : lead == 0xF4 ? 0x8F : 0xBF;
  if (i + length > text.size() || byte(i + 1) < low || byte(i + 1) > high) return 0;
  for (std::size_t k = 2; k < length; ++k)
    if (byte(i + k) < 0x80 || byte(i + k) > 0xBF) return 0;
  return length;
}

// Text for XML character data and attribute values. A log's path may hold
// bytes that are not UTF-8 or control characters: those become "?", since a
// browser refuses a whole picture for one such byte.
std::string Escaped(std::string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size();) {
    const char c = text[i];
    const std::size_t length = Utf8Length(text, i);
    if (c == '&')
      out += "&amp;";
    else if (c == '<')
      out += "&lt;";
    else if (c == '>')
      out += "&gt;";
    else if (c == '"')
      out += "&quot;";
    else if (length == 0 || static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
      out += '?';
    else
      out.append(text.substr(i, length));
    i += length == 0 ? 1 : length;
  }
  return out;
}

// A leaf's name as shown below it: long names are cut, whole characters only.
std::string ShownName(std::string_view name) {
  std::size_t characters = 0;
  for (std::size_t i = 0; i < name.size(); ++characters) {
    if (characters == MaxShownName) {
      const std::string_view kept = name.substr(0, i);
      return std::string(kept.substr(0, kept.find_last_not_of(' ') + 1)) + "\u2026";
    }
    const std::size_t length = Utf8Length(name, i);
    i += length == 0 ? 1 : length;
  }
  return std::string(name);
}

std::size_t CharacterCount(std::string_view text) {
  std::size_t characters = 0;
  for (std::size_t i = 0; i < text.size(); ++characters) {
    const std::size_t length = Utf8Length(text, i);
    i += length == 0 ? 1 : length;
  }
  return characters;
}

// The text below or beside a vertex's bar: the leaf's own name when it has one.
std::string ShownLabel(const LeafNames& names, VertexId v) {
  const std::string name = LeafName(names, v);
  return name.empty() ? VertexName(v) : ShownName(name);
}

// Room below the leaves for their labels, which run downwards.
double LeafLabelHeight(const LeafNames& names) {
  double room = LeafLabelRoom;
  for (const std::string& name : names)
    room = std::max(room, CharWidth * static_cast<double>(CharacterCount(ShownName(name))) + 16);
  return room;
}

double CentreX(VertexId v) {
  const double span = LevelWidth(TreeDepth - v.depth);
  return MarginX + (v.index - 0.5) * span * LeafSpacing;
}

double BarTop(VertexId v) { return TreeTop + v.depth * LevelGap; }

// Shares for the bar; empty when the four values are no distribution
// (a value that is negative, infinite or not a number, or all four zero).
std::vector<double> BarShares(const VertexDistribution& row) {
  double sum = 0;
  for (const LogReal& value : row.base) {
    if (!std::isfinite(value.value) || value.value < 0) return {};
    sum += value.value;
  }
  if (!(sum > 0) || !std::isfinite(sum)) return {};
  std::vector<double> shares;
  for (const LogReal& value : row.base) shares.push_back(value.value / sum);
  return shares;
}

std::string Tooltip(const VertexDistribution& row, bool marked, const std::string& name) {
  std::string text =
      VertexName(row.vertex) + (name.empty() ? "" : " " + name) + (marked ? " (marked):" : ":");
  for (std::size_t b = 0; b < Bases.size(); ++b)
    text += std::string(" ") + Bases[b] + " " + row.base[b].printed;
  return "<title>" + Escaped(text) + "</title>";
}

std::string Rect(double x, double y, double w, double h, std::string_view attributes) {
  return "<rect x=\"" + Num(x) + "\" y=\"" + Num(y) + "\" width=\"" + Num(w) + "\" height=\"" + Num(h) +
         "\" " + std::string(attributes) + "/>";
}

bool AnyWithoutDistribution(const RunReport& report) {
  for (const VertexDistribution& row : report.vertices)
    if (BarShares(row).empty()) return true;
  return false;
}

std::string NoDistributionSign(double left, double top, double width, double height) {
  return Rect(left, top, width, height, "fill=\"#DDDDDD\"") + "<path d=\"M" + Num(left) + " " + Num(top) +
         "l" + Num(width) + " " + Num(height) + "\" stroke=\"#333333\" stroke-width=\"1\"/>";
}

std::string Bar(const VertexDistribution& row, bool marked) {
  const double left = CentreX(row.vertex) - BarWidth / 2;
  const double top = BarTop(row.vertex);
  std::string out;
  const std::vector<double> shares = BarShares(row);
  if (shares.empty()) out += NoDistributionSign(left, top, BarWidth, BarHeight);
  double cumulative = 0;
  for (std::size_t b = 0; b < shares.size(); ++b) {
    const double y0 = top + BarHeight * cumulative;
    cumulative += shares[b];
    const double y1 = top + BarHeight * cumulative;
    if (y1 - y0 >= 0.005)
      out += Rect(left, y0, BarWidth, y1 - y0, "fill=\"" + std::string(BaseColours[b]) + "\"");
  }
  const std::string frame =
      marked ? "fill=\"none\" stroke=\"" + std::string(MarkColour) + "\" stroke-width=\"3\""
             : "fill=\"none\" stroke=\"#333333\" stroke-width=\"0.8\"";
  return out + Rect(left, top, BarWidth, BarHeight, frame);
}

// Marked names are set white on a vermillion badge, readable without colour too.
std::string LabelText(const std::string& name, bool marked, std::string_view anchor) {
  std::string out;
  if (marked) {
    const double w = CharWidth * static_cast<double>(CharacterCount(name)) + 6;
    const double x = anchor == "end" ? -w + 3 : -3;
    out += Rect(x, -12, w, 16, "rx=\"3\" fill=\"" + std::string(MarkColour) + "\"");
  }
  out += "<text text-anchor=\"" + std::string(anchor) + "\" font-size=\"11\"" +
         (marked ? " font-weight=\"bold\" fill=\"white\"" : " fill=\"#222222\"") + ">" + Escaped(name) +
         "</text>";
  return out;
}

// Leaf names run downwards below the bar; other names stand beside it.
std::string Label(VertexId v, bool marked, const std::string& text) {
  const double x = CentreX(v);
  if (IsLeaf(v))
    return "<g transform=\"translate(" + Num(x + 4) + " " + Num(BarTop(v) + BarHeight + 8) +
           ") rotate(-90)\">" + LabelText(text, marked, "end") + "</g>";
  return "<g transform=\"translate(" + Num(x + BarWidth / 2 + 5) + " " + Num(BarTop(v) + BarHeight / 2 + 4) +
         ")\">" + LabelText(text, marked, "start") + "</g>";
}

std::string VertexGroup(const RunReport& report, const VertexDistribution& row, const LeafNames& names) {
  const bool marked = IsMarked(report, row.vertex);
  return "<g class=\"vertex" + std::string(marked ? " marked" : "") + "\" id=\"v-" + VertexName(row.vertex) +
         "\">" + Tooltip(row, marked, LeafName(names, row.vertex)) + Bar(row, marked) +
         Label(row.vertex, marked, ShownLabel(names, row.vertex)) + "</g>\n";
}

std::string EdgeLine(const RunReport& report, VertexId child) {
  const VertexId parent = ParentOf(child);
  const bool cut = IsMarked(report, child);
  const std::string style =
      cut ? "stroke=\"" + std::string(MarkColour) + "\" stroke-width=\"3\" stroke-dasharray=\"7 5\""
          : "stroke=\"" + std::string(EdgeColour) + "\" stroke-width=\"1.3\"";
  return "<line class=\"edge" + std::string(cut ? " cut" : "") + "\" id=\"e-" + VertexName(child) +
         "\" x1=\"" + Num(CentreX(parent)) + "\" y1=\"" + Num(BarTop(parent) + BarHeight) + "\" x2=\"" +
         Num(CentreX(child)) + "\" y2=\"" + Num(BarTop(child)) + "\" " + style + "/>\n";
}

std::string TextLine(double x, double y, double size, std::string_view attributes, const std::string& text) {
  return "<text x=\"" + Num(x) + "\" y=\"" + Num(y) + "\" font-size=\"" + Num(size) + "\" " +
         std::string(attributes) + ">" + Escaped(text) + "</text>\n";
}

std::string TitleText(const RunReport& report) {
  std::string cardinality = report.cardinalityText;
  if (report.cardinalityLimit)
    cardinality += " (limited to " + std::to_string(*report.cardinalityLimit) + ")";
  return "Best scenario: penalty " + report.penalty.printed + ", presupposed cardinality " + cardinality +
         ", noise level " + report.noiseLevel.printed;
}

std::string MarkedSummary(const RunReport& report) {
  if (report.marked.empty())
    return "Only the root is marked: one composition for the whole tree. Log: " + report.logName;
  std::string names;
  for (const VertexId v : report.marked) names += (names.empty() ? "" : ", ") + VertexName(v);
  const std::size_t n = report.marked.size();
  return std::to_string(n) + (n == 1 ? " marked vertex" : " marked vertices") +
         " besides the root: " + names +
         (n == 1 ? "; the branch above it is cut." : "; the branch above each is cut.") +
         " Log: " + report.logName;
}

std::string WarningText(const RunReport& report) {
  std::string text;
  if (report.inputErrors > 0) text += "The run logged " + Counted(report.inputErrors, "input error");
  if (report.memoryMessages > 0)
    text += (text.empty() ? "The run logged " : " and ") +
            Counted(report.memoryMessages, "search memory message");
  return text.empty() ? text : text + "; see the log.";
}

std::string Heading(const RunReport& report) {
  std::string out = TextLine(MarginX, 34, 20, "font-weight=\"bold\" fill=\"#111111\"", TitleText(report));
  out += TextLine(MarginX, 60, 13, "fill=\"#333333\"", MarkedSummary(report));
  const std::string warning = WarningText(report);
  if (!warning.empty())
    out +=
        TextLine(MarginX, 82, 13, "font-weight=\"bold\" fill=\"" + std::string(MarkColour) + "\"", warning);
  return out;
}

std::string Legend(const RunReport& report) {
  const double x = Width - MarginX - 560;
  const double y = 100;
  std::string out = "<g id=\"legend\">\n";
  out += TextLine(x, y + 12, 12, "fill=\"#333333\"", "Bar, top to bottom:");
  for (std::size_t b = 0; b < Bases.size(); ++b) {
    const double bx = x + 122 + 38.0 * static_cast<double>(b);
    out += Rect(bx, y, 14, 14,
                "fill=\"" + std::string(BaseColours[b]) + "\" stroke=\"#333333\" stroke-width=\"0.8\"");
    out += TextLine(bx + 18, y + 12, 12, "fill=\"#222222\"", std::string(1, Bases[b]));
  }
  // The sample badge holds no real vertex name, which a reader could take for a result.
  const double mx = x + 290;
  out += "<g transform=\"translate(" + Num(mx + 3) + " " + Num(y + 12) + ")\">" +
         LabelText("d.i", true, "start") + "</g>";
  out += TextLine(mx + 32, y + 12, 12, "fill=\"#333333\"", "marked vertex");
  out += "<line x1=\"" + Num(mx + 130) + "\" y1=\"" + Num(y + 7) + "\" x2=\"" + Num(mx + 170) + "\" y2=\"" +
         Num(y + 7) + "\" stroke=\"" + std::string(MarkColour) +
         "\" stroke-width=\"3\" stroke-dasharray=\"7 5\"/>";
  out += TextLine(mx + 176, y + 12, 12, "fill=\"#333333\"", "cut branch");
  if (AnyWithoutDistribution(report)) {
    out += NoDistributionSign(x, y + 24, 14, 14);
    out += TextLine(x + 20, y + 36, 12, "fill=\"#333333\"",
                    "no distribution: a value is negative, INF or NAN, or all are 0");
  }
  return out + "</g>\n";
}

}  // namespace

std::string SvgPicture(const RunReport& report, const LeafNames& names) {
  const double height = TreeTop + TreeDepth * LevelGap + BarHeight + LeafLabelHeight(names);
  std::string out = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
  out += "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + Num(Width) + "\" height=\"" + Num(height) +
         "\" viewBox=\"0 0 " + Num(Width) + " " + Num(height) + "\" font-family=\"" +
         std::string(FontFamily) + "\">\n";
  out += "<title>" + Escaped(TitleText(report)) + "</title>\n";
  out += Rect(0, 0, Width, height, "fill=\"white\"") + "\n";
  out += Heading(report) + Legend(report);
  out += "<g id=\"edges\">\n";
  for (const VertexDistribution& row : report.vertices)
    if (row.vertex != Root) out += EdgeLine(report, row.vertex);
  out += "</g>\n<g id=\"vertices\">\n";
  for (const VertexDistribution& row : report.vertices) out += VertexGroup(report, row, names);
  return out + "</g>\n</svg>\n";
}

}  // namespace dorvu::view
