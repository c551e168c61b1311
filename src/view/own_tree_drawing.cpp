#include "view/own_tree_drawing.h"

namespace dorvu::view::drawing {

OwnTreePicture DrawOwnTree(const OwnTree& /*tree*/, const std::vector<DrawnVertex>& /*vertices*/,
                           const std::string& /*badgeCaption*/, const MarkLook& /*keyLook*/) {
  return {1100, 200, ""};
}

}  // namespace dorvu::view::drawing
