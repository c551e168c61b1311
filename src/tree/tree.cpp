#include "tree/tree.h"

#include <utility>

#include "tree/tree_shape.h"

namespace dorvu {

namespace {

// Appends the subtree of vertex `index` at `depth` to `shape` in written
// order, its parent being `parent`.
void AddFixedSubtree(NewickTree& shape, int depth, int index, int32_t parent) {
  const auto v = static_cast<int32_t>(shape.parent.size());
  shape.parent.push_back(parent);
  shape.depth.push_back(depth);
  shape.label.push_back(depth == kTreeDepth ? VertexName({depth, index}) : "");
  shape.length.emplace_back();
  if (depth == kTreeDepth) {
    ++shape.tipCount;
    return;
  }
  AddFixedSubtree(shape, depth + 1, 2 * index - 1, v);
  AddFixedSubtree(shape, depth + 1, 2 * index, v);
}

// The children lists from the parents: each vertex's children in the order
// of their numbers, which is the written order.
void ListChildren(NewickTree& shape) {
  const auto n = static_cast<int32_t>(shape.parent.size());
  shape.childBegin.assign(n + 1, 0);
  for (int32_t v = 1; v < n; ++v) ++shape.childBegin[shape.parent[v] + 1];
  for (int32_t v = 0; v < n; ++v) shape.childBegin[v + 1] += shape.childBegin[v];
  shape.childList.assign(n > 0 ? n - 1 : 0, 0);
  std::vector<int32_t> next(shape.childBegin.begin(), shape.childBegin.end() - 1);
  for (int32_t v = 1; v < n; ++v) shape.childList[next[shape.parent[v]]++] = v;
}

}  // namespace

NewickTree FixedTreeShape() {
  NewickTree shape;
  AddFixedSubtree(shape, 0, 1, -1);
  ListChildren(shape);
  return shape;
}

void LayOutTree(Tree& tree, const NewickTree& shape) {
  const auto n = static_cast<int32_t>(shape.parent.size());
  const auto isTip = [&shape](int32_t v) { return shape.childBegin[v] == shape.childBegin[v + 1]; };
  int32_t internal = 0;
  for (int32_t v = 0; v < n; ++v) internal += isTip(v) ? 0 : 1;
  tree.internalCount = internal;
  tree.leafCount = n - internal;
  tree.slotCount = 2 * internal + tree.leafCount;
  const int32_t slots = tree.slotCount;
  tree.treeSequence.assign(slots, SlotRecord{});
  tree.vertexNames.assign(slots, "");
  tree.leafSlots.assign(tree.leafCount + 1, 0);
  tree.openSlotOf.assign(slots, 0);
  tree.parentSlot.assign(slots, 0);
  tree.childBegin.assign(slots + 1, 0);
  tree.childSlots.assign(n > 0 ? n - 1 : 0, 0);
  tree.leafValues.assign(slots, BaseValues{});

  std::vector<std::string> names = VertexNames(shape);
  if (!names.empty()) names[0] = LogVertexName(kRoot);
  std::vector<int32_t> slotOf(n, 0);  // vertex slot of each vertex
  // A depth-first walk without recursion: a vertex is entered (its open or
  // leaf slot) when popped, and its close slot follows its last descendant.
  std::vector<std::pair<int32_t, bool>> pending{{0, false}};  // vertex, and whether it is being left
  int32_t slot = 0;
  int32_t leaf = 0;
  while (!pending.empty()) {
    const auto [v, leaving] = pending.back();
    pending.pop_back();
    if (leaving) {
      tree.treeSequence[slot].kind = SlotKind::kClose;
      tree.openSlotOf[slot++] = slotOf[v];
      continue;
    }
    slotOf[v] = slot;
    tree.vertexNames[slot] = names[v];
    tree.parentSlot[slot] = v == 0 ? -1 : slotOf[shape.parent[v]];
    if (isTip(v)) {
      tree.treeSequence[slot].kind = SlotKind::kLeaf;
      tree.leafSlots[++leaf] = slot++;
      continue;
    }
    tree.treeSequence[slot++].kind = SlotKind::kOpen;
    pending.emplace_back(v, true);
    for (int32_t c = shape.childBegin[v + 1] - 1; c >= shape.childBegin[v]; --c)
      pending.emplace_back(shape.childList[c], false);
  }
  // The children of each open slot, in written order.
  for (int32_t v = 0; v < n; ++v) tree.childBegin[slotOf[v] + 1] = shape.childBegin[v + 1] - shape.childBegin[v];
  for (int32_t s = 0; s < slots; ++s) tree.childBegin[s + 1] += tree.childBegin[s];
  for (int32_t v = 0; v < n; ++v)
    for (int32_t c = shape.childBegin[v]; c < shape.childBegin[v + 1]; ++c)
      tree.childSlots[tree.childBegin[slotOf[v]] + (c - shape.childBegin[v])] = slotOf[shape.childList[c]];
}

void LayOutTree(Tree& tree) { LayOutTree(tree, FixedTreeShape()); }

void DeriveLinks(Tree& tree) {
  for (int32_t s = 1; s < tree.slotCount; ++s)
    if (tree.treeSequence[s].kind == SlotKind::kLeaf) tree.leafValues[s] = tree.treeSequence[s].value;
}

MarkTable RootMarks(const Tree& tree) {
  MarkTable mark(tree.slotCount, 0);
  mark[0] = 1;
  return mark;
}

}  // namespace dorvu
