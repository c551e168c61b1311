// The drawing of the fixed tree in SVG, shared by the picture of one run and
// the picture of the support over many runs: the layout, the stacked bars, the
// labels and their badges, the branches and the keys of the legend.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tree/tree_shape.h"
#include "view/leaf_names.h"

namespace dorvu::view::drawing {

inline constexpr double kLeafSpacing = 26;
inline constexpr double kMarginX = 40;
inline constexpr double kTreeTop = 150;
inline constexpr double kLevelGap = 92;
inline constexpr double kBarWidth = 14;
inline constexpr double kBarHeight = 42;
inline constexpr double kTreeWidth = 2 * kMarginX + kLeafCount * kLeafSpacing;

// Okabe-Ito colours, told apart with the common colour-vision deficiencies.
inline constexpr std::array<std::string_view, 4> kBaseColours{"#009E73", "#0072B2", "#E69F00", "#CC79A7"};
inline constexpr std::string_view kMarkColour = "#D55E00";
inline constexpr std::string_view kEdgeColour = "#666666";

// Coordinates with at most two decimals, independent of any locale.
std::string SvgNumber(double value);

// Text for XML character data and attribute values; bytes that are not UTF-8
// and control characters become "?".
std::string Escaped(std::string_view text);

// A leaf's name as shown in a picture: long names are cut, whole characters only.
std::string ShownName(std::string_view name);

// A generous estimate of the width of bold sans-serif text: wide enough for
// the widest of the fonts the pictures name.
double BoldTextWidth(std::string_view text, double fontSize);

std::string Rect(double x, double y, double w, double h, std::string_view attributes);
std::string TextLine(double x, double y, double size, std::string_view attributes, const std::string& text);

// How a mark is drawn: the vermillion badge behind the label, the frame of the
// bar and the cut branch above the vertex. Below full opacity for a vertex
// marked in only some of many runs.
struct MarkLook {
  double opacity = 1;
  std::string_view textColour = "white";
};

// " NAME-opacity=\"X\"" below full opacity, else nothing.
std::string OpacityAttribute(std::string_view name, double opacity);

// A grey box crossed by a diagonal, in place of a bar without a distribution.
std::string NoDistributionSign(double left, double top, double width, double height);

// A label at the origin, its baseline at y = 0, anchored at "start" or "end"
// (11 px). Marked names are set on a vermillion badge from y = -12 to 4,
// readable without colour too.
std::string LabelText(const std::string& name, const std::optional<MarkLook>& mark, std::string_view anchor);

// One vertex as a picture shows it.
struct DrawnVertex {
  VertexId vertex;
  std::array<double, 4> values{};  // A/C/G/T; the bar shows their shares
  std::optional<MarkLook> mark;    // none for a vertex that is not marked
  std::string tooltip;
  std::string label;  // beside the bar, or below it for a leaf
  std::string note;   // a short text above the bar, or empty
};

// Where a bar stands, which way its shares run, and how wide its frame is
// drawn for a marked vertex.
struct BarBox {
  double left = 0;
  double top = 0;
  double width = 0;
  double height = 0;
  bool leftToRight = false;  // else top to bottom
  double markWidth = 3;
};

// A vertex's A/C/G/T shares stacked in the box, in its frame; the sign of no
// distribution where it has none.
std::string StackedBar(const DrawnVertex& drawn, const BarBox& box);

// The text below or beside a vertex's bar: the leaf's own name when it has one.
std::string ShownLabel(const LeafNames& names, VertexId v);

// False when the four values are no distribution: a value is negative,
// infinite or not a number, or all four are zero.
bool HasDistribution(const std::array<double, 4>& values);

// The height of a tree picture: the tree and the room for the leaves' labels.
double TreeHeight(const LeafNames& names);

// The document up to and including its white background.
std::string SvgStart(double width, double height, const std::string& title);

// The branches, then the vertices, in the order given (the vertex table's).
std::string TreeGroups(const std::vector<DrawnVertex>& vertices);

// Keys of the legend, each starting at (x, y): the bar's colours, `caption`
// telling the order in which the bar stacks them; a sample badge (holding no
// real vertex name, which a reader could take for a result) and its caption;
// the cut branch; the sign of a vertex without a distribution, only where one
// of the vertices has none.
std::string BaseKey(double x, double y, std::string_view caption = "Bar, top to bottom:");
std::string BadgeKey(double x, double y, const MarkLook& look, const std::string& caption);
std::string CutKey(double x, double y, const MarkLook& look);
std::string NoDistributionKey(const std::vector<DrawnVertex>& vertices, double x, double y);

}  // namespace dorvu::view::drawing
