// The fixed tree is laid out with its 64 leaves evenly spaced along the bottom
// and every internal vertex centred over its two children; each vertex shows
// its A/C/G/T shares as one stacked bar.

#include "view/tree_drawing.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "view/run_report.h"

namespace dorvu::view::drawing {

namespace {

constexpr double kLeafLabelRoom = 56;
constexpr std::size_t kMaxShownName = 30;  // characters of a leaf's name shown below it
constexpr double kLabelSize = 11;
constexpr std::string_view kFontFamily = "DejaVu Sans, Liberation Sans, Arial, Helvetica, sans-serif";

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

// The advance of one printable ASCII character in bold, in em: the classes'
// widths are at least those of DejaVu Sans Bold, the widest of the fonts named.
// Anything else, non-ASCII included, counts 1 em.
double BoldCharacterWidth(char c) {
  struct WidthClass {
    std::string_view characters;
    double em;
  };
  static constexpr std::array<WidthClass, 10> kClasses{{
      {" ',.:;|/\\ijlIJ", 0.40},
      {"!\"()*-[]_`frt", 0.55},
      {"?csz", 0.60},
      {"0123456789$aekovxyL", 0.70},
      {"bdghnpqu{}", 0.72},
      {"ABCEFKPRSTVXYZ", 0.78},
      {"DGHNOQU", 0.86},
      {"#&+<=>^~", 0.88},
      {"Mmw@%", 1.05},
      {"W", 1.11},
  }};
  for (const WidthClass& widthClass : kClasses)
    if (widthClass.characters.find(c) != std::string_view::npos) return widthClass.em;
  return 1.0;
}

// Room below the leaves for their labels, which run downwards.
double LeafLabelHeight(const LeafNames& names) {
  double room = kLeafLabelRoom;
  for (const std::string& name : names) room = std::max(room, BoldTextWidth(ShownName(name), kLabelSize) + 16);
  return room;
}

double CentreX(VertexId v) {
  const double span = LevelWidth(kTreeDepth - v.depth);
  return kMarginX + (v.index - 0.5) * span * kLeafSpacing;
}

double BarTop(VertexId v) { return kTreeTop + v.depth * kLevelGap; }

std::string Bar(const DrawnVertex& drawn) {
  return StackedBar(drawn,
                    {CentreX(drawn.vertex) - kBarWidth / 2, BarTop(drawn.vertex), kBarWidth, kBarHeight, false, 3});
}

// Leaf names run downwards below the bar; other names stand beside it.
std::string Label(const DrawnVertex& drawn) {
  const VertexId v = drawn.vertex;
  const double x = CentreX(v);
  if (IsLeaf(v))
    return "<g transform=\"translate(" + SvgNumber(x + 4) + " " + SvgNumber(BarTop(v) + kBarHeight + 8) +
           ") rotate(-90)\">" + LabelText(drawn.label, drawn.mark, "end") + "</g>";
  return "<g transform=\"translate(" + SvgNumber(x + kBarWidth / 2 + 5) + " " +
         SvgNumber(BarTop(v) + kBarHeight / 2 + 4) + ")\">" + LabelText(drawn.label, drawn.mark, "start") + "</g>";
}

// Centred above the bar, with a white halo where it crosses the branch.
std::string Note(const DrawnVertex& drawn) {
  if (drawn.note.empty()) return {};
  return "<text class=\"note\" x=\"" + SvgNumber(CentreX(drawn.vertex)) + "\" y=\"" +
         SvgNumber(BarTop(drawn.vertex) - 4) +
         "\" text-anchor=\"middle\" font-size=\"10\" fill=\"#222222\" stroke=\"white\" stroke-width=\"3\" "
         "stroke-linejoin=\"round\" paint-order=\"stroke\">" +
         Escaped(drawn.note) + "</text>";
}

std::string VertexGroup(const DrawnVertex& drawn) {
  return "<g class=\"vertex" + std::string(drawn.mark ? " marked" : "") + "\" id=\"v-" + VertexName(drawn.vertex) +
         "\"><title>" + Escaped(drawn.tooltip) + "</title>" + Bar(drawn) + Label(drawn) + Note(drawn) + "</g>\n";
}

std::string EdgeLine(const DrawnVertex& child) {
  const VertexId parent = ParentOf(child.vertex);
  const bool cut = child.mark.has_value();
  const std::string style = cut ? "stroke=\"" + std::string(kMarkColour) +
                                      "\" stroke-width=\"3\" stroke-dasharray=\"7 5\"" +
                                      OpacityAttribute("stroke", child.mark->opacity)
                                : "stroke=\"" + std::string(kEdgeColour) + "\" stroke-width=\"1.3\"";
  return "<line class=\"edge" + std::string(cut ? " cut" : "") + "\" id=\"e-" + VertexName(child.vertex) + "\" x1=\"" +
         SvgNumber(CentreX(parent)) + "\" y1=\"" + SvgNumber(BarTop(parent) + kBarHeight) + "\" x2=\"" +
         SvgNumber(CentreX(child.vertex)) + "\" y2=\"" + SvgNumber(BarTop(child.vertex)) + "\" " + style + "/>\n";
}

}  // namespace

std::string OpacityAttribute(std::string_view name, double opacity) {
  std::string attribute;
  if (opacity < 1) attribute.append(" ").append(name).append("-opacity=\"").append(SvgNumber(opacity)).append("\"");
  return attribute;
}

std::string NoDistributionSign(double left, double top, double width, double height) {
  return Rect(left, top, width, height, "fill=\"#DDDDDD\"") + "<path d=\"M" + SvgNumber(left) + " " + SvgNumber(top) +
         "l" + SvgNumber(width) + " " + SvgNumber(height) + "\" stroke=\"#333333\" stroke-width=\"1\"/>";
}

std::string LabelText(const std::string& name, const std::optional<MarkLook>& mark, std::string_view anchor) {
  std::string out;
  if (mark) {
    const double w = BoldTextWidth(name, kLabelSize) + 6;
    const double x = anchor == "end" ? -w + 3 : -3;
    out += Rect(x, -12, w, 16,
                "rx=\"3\" fill=\"" + std::string(kMarkColour) + "\"" + OpacityAttribute("fill", mark->opacity));
  }
  out += "<text text-anchor=\"" + std::string(anchor) + "\" font-size=\"11\"" +
         (mark ? " font-weight=\"bold\" fill=\"" + std::string(mark->textColour) + "\"" : " fill=\"#222222\"") + ">" +
         Escaped(name) + "</text>";
  return out;
}

std::string SvgNumber(double value) {
  std::array<char, 32> buffer{};
  const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value, std::chars_format::fixed, 2);
  std::string text(buffer.data(), result.ptr);
  while (text.back() == '0') text.pop_back();
  if (text.back() == '.') text.pop_back();
  return text == "-0" ? "0" : text;
}

// A log's path may hold bytes that are not UTF-8 or control characters, and a
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

std::string ShownName(std::string_view name) {
  std::size_t characters = 0;
  for (std::size_t i = 0; i < name.size(); ++characters) {
    if (characters == kMaxShownName) {
      const std::string_view kept = name.substr(0, i);
      return std::string(kept.substr(0, kept.find_last_not_of(' ') + 1)) + "\u2026";
    }
    const std::size_t length = Utf8Length(name, i);
    i += length == 0 ? 1 : length;
  }
  return std::string(name);
}

double BoldTextWidth(std::string_view text, double fontSize) {
  double em = 0;
  for (std::size_t i = 0; i < text.size();) {
    const std::size_t length = Utf8Length(text, i);
    em += length == 1 ? BoldCharacterWidth(text[i]) : 1.0;
    i += length == 0 ? 1 : length;
  }
  return em * fontSize;
}

std::string Rect(double x, double y, double w, double h, std::string_view attributes) {
  return "<rect x=\"" + SvgNumber(x) + "\" y=\"" + SvgNumber(y) + "\" width=\"" + SvgNumber(w) + "\" height=\"" +
         SvgNumber(h) + "\" " + std::string(attributes) + "/>";
}

std::string TextLine(double x, double y, double size, std::string_view attributes, const std::string& text) {
  return "<text x=\"" + SvgNumber(x) + "\" y=\"" + SvgNumber(y) + "\" font-size=\"" + SvgNumber(size) + "\" " +
         std::string(attributes) + ">" + Escaped(text) + "</text>\n";
}

std::string StackedBar(const DrawnVertex& drawn, const BarBox& box) {
  std::string out;
  if (!HasDistribution(drawn.values)) {
    out += NoDistributionSign(box.left, box.top, box.width, box.height);
  } else {
    double sum = 0;
    for (const double value : drawn.values) sum += value;
    const double extent = box.leftToRight ? box.width : box.height;
    double cumulative = 0;
    for (std::size_t b = 0; b < drawn.values.size(); ++b) {
      const double from = extent * cumulative;
      cumulative += drawn.values[b] / sum;
      const double to = extent * cumulative;
      if (to - from < 0.005) continue;
      const std::string fill = "fill=\"" + std::string(kBaseColours[b]) + "\"";
      out += box.leftToRight ? Rect(box.left + from, box.top, to - from, box.height, fill)
                             : Rect(box.left, box.top + from, box.width, to - from, fill);
    }
  }
  const std::string frame = drawn.mark
                                ? "fill=\"none\" stroke=\"" + std::string(kMarkColour) + "\" stroke-width=\"" +
                                      SvgNumber(box.markWidth) + "\"" + OpacityAttribute("stroke", drawn.mark->opacity)
                                : "fill=\"none\" stroke=\"#333333\" stroke-width=\"0.8\"";
  return out + Rect(box.left, box.top, box.width, box.height, frame);
}

std::string ShownLabel(const LeafNames& names, VertexId v) {
  const std::string name = LeafName(names, v);
  return name.empty() ? VertexName(v) : ShownName(name);
}

bool HasDistribution(const std::array<double, 4>& values) {
  double sum = 0;
  for (const double value : values) {
    if (!std::isfinite(value) || value < 0) return false;
    sum += value;
  }
  return sum > 0 && std::isfinite(sum);
}

double TreeHeight(const LeafNames& names) {
  return kTreeTop + kTreeDepth * kLevelGap + kBarHeight + LeafLabelHeight(names);
}

std::string SvgStart(double width, double height, const std::string& title) {
  std::string out = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
  out += "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + SvgNumber(width) + "\" height=\"" + SvgNumber(height) +
         "\" viewBox=\"0 0 " + SvgNumber(width) + " " + SvgNumber(height) + "\" font-family=\"" +
         std::string(kFontFamily) + "\">\n";
  out += "<title>" + Escaped(title) + "</title>\n";
  return out + Rect(0, 0, width, height, "fill=\"white\"") + "\n";
}

std::string TreeGroups(const std::vector<DrawnVertex>& vertices) {
  std::string out = "<g id=\"edges\">\n";
  for (const DrawnVertex& drawn : vertices)
    if (drawn.vertex != kRoot) out += EdgeLine(drawn);
  out += "</g>\n<g id=\"vertices\">\n";
  for (const DrawnVertex& drawn : vertices) out += VertexGroup(drawn);
  return out + "</g>\n";
}

std::string BaseKey(double x, double y, std::string_view caption) {
  std::string out = TextLine(x, y + 12, 12, "fill=\"#333333\"", std::string(caption));
  for (std::size_t b = 0; b < kBases.size(); ++b) {
    const double bx = x + 122 + 38.0 * static_cast<double>(b);
    out += Rect(bx, y, 14, 14, "fill=\"" + std::string(kBaseColours[b]) + "\" stroke=\"#333333\" stroke-width=\"0.8\"");
    out += TextLine(bx + 18, y + 12, 12, "fill=\"#222222\"", std::string(1, kBases[b]));
  }
  return out;
}

std::string BadgeKey(double x, double y, const MarkLook& look, const std::string& caption) {
  return "<g transform=\"translate(" + SvgNumber(x + 3) + " " + SvgNumber(y + 12) + ")\">" +
         LabelText("d.i", look, "start") + "</g>" + TextLine(x + 32, y + 12, 12, "fill=\"#333333\"", caption);
}

std::string CutKey(double x, double y, const MarkLook& look) {
  return "<line x1=\"" + SvgNumber(x) + "\" y1=\"" + SvgNumber(y + 7) + "\" x2=\"" + SvgNumber(x + 40) + "\" y2=\"" +
         SvgNumber(y + 7) + "\" stroke=\"" + std::string(kMarkColour) +
         "\" stroke-width=\"3\" stroke-dasharray=\"7 5\"" + OpacityAttribute("stroke", look.opacity) + "/>" +
         TextLine(x + 46, y + 12, 12, "fill=\"#333333\"", "cut branch");
}

std::string NoDistributionKey(const std::vector<DrawnVertex>& vertices, double x, double y) {
  const bool any = std::any_of(vertices.begin(), vertices.end(),
                               [](const DrawnVertex& drawn) { return !HasDistribution(drawn.values); });
  if (!any) return "";
  return NoDistributionSign(x, y, 14, 14) + TextLine(x + 20, y + 12, 12, "fill=\"#333333\"",
                                                     "no distribution: a value is negative, INF or NAN, or all are 0");
}

}  // namespace dorvu::view::drawing
