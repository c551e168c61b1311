// The drawing of a tree of one's own in SVG, shared by the picture of one run
// and the picture of the support over many runs. Up to kMaxNamedTips tips the
// tree is drawn left to right with its tip names and a stacked A/C/G/T bar
// at every vertex, with branch lengths when every branch has one and as a
// cladogram otherwise. Larger trees are drawn in a circle without tip names:
// each branch takes the colour of its vertex's GC share, the branches of one
// colour are one path, and every cut branch and the vertex below it stand out
// with a badge that gives the vertex's name and clade size.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "view/own_tree.h"
#include "view/tree_drawing.h"

namespace dorvu::view::drawing {

inline constexpr std::int32_t kMaxNamedTips = 400;

// The room the callers leave above the drawing for their heading lines.
inline constexpr double kOwnTreeTop = 120;

struct OwnTreePicture {
  double width = 0;
  double height = 0;
  std::string body;  // the legend and the tree, below kOwnTreeTop
};

// `vertices` follows the tree's vertex numbers; of each, `vertex` is unused,
// and `label` is what the picture writes beside it (the tip's name, or the
// vertex's name). `badgeCaption` and `keyLook` describe a badge in the legend.
// Throws std::invalid_argument when `vertices` and the tree differ in size.
OwnTreePicture DrawOwnTree(const OwnTree& tree, const std::vector<DrawnVertex>& vertices,
                           const std::string& badgeCaption, const MarkLook& keyLook);

}  // namespace dorvu::view::drawing
