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
  tree.vertexNames[slot] = VertexName(depth, index);
  if (depth == kTreeDepth) {
    tree.treeSequence[slot].kind = SlotKind::kLeaf;
    tree.leafSlots[index] = slot;
    return slot + 1;
  }
  tree.treeSequence[slot].kind = SlotKind::kOpen;
  int next = LayOutSubtree(tree, depth + 1, 2 * index - 1, slot + 1);
  next = LayOutSubtree(tree, depth + 1, 2 * index, next);
  tree.treeSequence[next].kind = SlotKind::kClose;
  tree.vertexNames[next].clear();
  return next + 1;
}

}  // namespace

void LayOutTree(Tree& tree) { LayOutSubtree(tree, 0, 1, 0); }

void DeriveLinks(Tree& tree) {
  const auto& seq = tree.treeSequence;
  for (int s = 1; s < kSlotCount; ++s)
    if (seq[s].kind == SlotKind::kLeaf) tree.leafValues[s] = seq[s].value;

  tree.parentSlot[0] = -1;
  std::vector<int32_t> open;  // open slots of the vertices entered and not yet left
  open.reserve(kTreeDepth);
  for (int s = 0; s < kSlotCount; ++s) {
    if (seq[s].kind == SlotKind::kOpen) {
      open.push_back(s);
    } else if (seq[s].kind == SlotKind::kClose) {
      const int32_t o = open.back();
      tree.openSlotOf[s] = o;
      tree.firstChildSlot[o] = o + 1;
      // The second child ends right before this close slot: either a leaf or
      // the close slot of an internal child.
      tree.secondChildSlot[o] = seq[s - 1].kind == SlotKind::kClose ? tree.openSlotOf[s - 1] : s - 1;
      if (open.size() > 1) tree.parentSlot[o] = open[open.size() - 2];
      open.pop_back();
    } else {
      tree.parentSlot[s] = open.back();
    }
  }
}

}  // namespace dorvu
