#include "tree/tree.h"

#include <vector>

namespace dorvu {

namespace {

std::string VertexName(int depth, int index) {
  if (depth == 0) return " 0 ";
  return std::to_string(depth) + "." + std::to_string(index);
}

// Lays out the subtree of vertex `index` at `depth` from `slot` on (first
// child before second child); returns the slot after the subtree.
int LayOutSubtree(Tree& tree, int depth, int index, int slot) {
  tree.VertexNames[slot] = VertexName(depth, index);
  if (depth == TreeDepth) {
    tree.TreeSequence[slot].kind = KindLeaf;
    tree.LeafSlots[index] = slot;
    return slot + 1;
  }
  tree.TreeSequence[slot].kind = KindOpen;
  int next = LayOutSubtree(tree, depth + 1, 2 * index - 1, slot + 1);
  next = LayOutSubtree(tree, depth + 1, 2 * index, next);
  tree.TreeSequence[next].kind = KindClose;
  tree.VertexNames[next].clear();
  return next + 1;
}

}  // namespace

void LayOutTree(Tree& tree) { LayOutSubtree(tree, 0, 1, 0); }

void DeriveLinks(Tree& tree) {
  const auto& seq = tree.TreeSequence;
  for (int s = 1; s < SlotCount; ++s)
    if (seq[s].kind == KindLeaf) tree.LeafValues[s] = seq[s].value;

  tree.ParentSlot[0] = -1;
  std::vector<int32_t> open;  // open slots of the vertices entered and not yet left
  open.reserve(TreeDepth);
  for (int s = 0; s < SlotCount; ++s) {
    if (seq[s].kind == KindOpen) {
      open.push_back(s);
    } else if (seq[s].kind == KindClose) {
      const int32_t o = open.back();
      tree.OpenSlotOf[s] = o;
      tree.FirstChildSlot[o] = o + 1;
      // The second child ends right before this close slot: either a leaf or
      // the close slot of an internal child.
      tree.SecondChildSlot[o] = seq[s - 1].kind == KindClose ? tree.OpenSlotOf[s - 1] : s - 1;
      if (open.size() > 1) tree.ParentSlot[o] = open[open.size() - 2];
      open.pop_back();
    } else {
      tree.ParentSlot[s] = open.back();
    }
  }
}

}  // namespace dorvu
