#include "tree/tree.h"

#include <gtest/gtest.h>

#include <set>

namespace dorvu {
namespace {

Tree DerivedTree() {
  Tree tree;
  LayOutTree(tree);
  DeriveLinks(tree);
  return tree;
}

TEST(TreeLayout, KindsAndNamesOfTheFirstAndLastSlots) {
  const Tree tree = DerivedTree();
  struct Expected {
    int slot;
    SlotKind kind;
    const char* name;
  };
  const Expected expected[] = {
      {0, SlotKind::kOpen, " 0 "},    {1, SlotKind::kOpen, "1.1"},  {2, SlotKind::kOpen, "2.1"},
      {3, SlotKind::kOpen, "3.1"},    {4, SlotKind::kOpen, "4.1"},  {5, SlotKind::kOpen, "5.1"},
      {6, SlotKind::kLeaf, "6.1"},    {7, SlotKind::kLeaf, "6.2"},  {8, SlotKind::kClose, ""},
      {9, SlotKind::kOpen, "5.2"},    {10, SlotKind::kLeaf, "6.3"}, {11, SlotKind::kLeaf, "6.4"},
      {12, SlotKind::kClose, ""},     {13, SlotKind::kClose, ""},   {14, SlotKind::kOpen, "4.2"},
      {15, SlotKind::kOpen, "5.3"},   {16, SlotKind::kLeaf, "6.5"}, {17, SlotKind::kLeaf, "6.6"},
      {18, SlotKind::kClose, ""},     {19, SlotKind::kOpen, "5.4"}, {182, SlotKind::kLeaf, "6.63"},
      {183, SlotKind::kLeaf, "6.64"}, {184, SlotKind::kClose, ""},  {189, SlotKind::kClose, ""},
      {48, SlotKind::kOpen, "2.2"},   {95, SlotKind::kOpen, "1.2"}, {96, SlotKind::kOpen, "2.3"},
      {142, SlotKind::kOpen, "2.4"},
  };
  for (const Expected& e : expected) {
    EXPECT_EQ(tree.treeSequence[e.slot].kind, e.kind) << "slot " << e.slot;
    EXPECT_EQ(tree.vertexNames[e.slot], e.name) << "slot " << e.slot;
  }
  const std::pair<int, int> closes[] = {{8, 5},     {13, 4},    {94, 1},   {184, 181}, {185, 176},
                                        {186, 165}, {187, 142}, {188, 95}, {189, 0}};
  for (auto [close, open] : closes) EXPECT_EQ(tree.openSlotOf[close], open) << "close slot " << close;
}

TEST(TreeLayout, LeafSlotsAreTheListedOnesInOrder) {
  const Tree tree = DerivedTree();
  const int expected[kLeafCount] = {6,   7,   10,  11,  16,  17,  20,  21,  28,  29,  32,  33,  38,  39,  42,  43,
                                    52,  53,  56,  57,  62,  63,  66,  67,  74,  75,  78,  79,  84,  85,  88,  89,
                                    100, 101, 104, 105, 110, 111, 114, 115, 122, 123, 126, 127, 132, 133, 136, 137,
                                    146, 147, 150, 151, 156, 157, 160, 161, 168, 169, 172, 173, 178, 179, 182, 183};
  int leaves = 0;
  for (int s = 0; s < kSlotCount; ++s) leaves += tree.treeSequence[s].kind == SlotKind::kLeaf;
  EXPECT_EQ(leaves, kLeafCount);
  for (int k = 1; k <= kLeafCount; ++k) {
    EXPECT_EQ(tree.leafSlots[k], expected[k - 1]) << "leaf " << k;
    EXPECT_EQ(tree.vertexNames[tree.leafSlots[k]], "6." + std::to_string(k));
  }
}

TEST(TreeLayout, EveryVertexNamedOnceAndCloseSlotsUnnamed) {
  const Tree tree = DerivedTree();
  std::set<std::string> names;
  for (int s = 0; s < kSlotCount; ++s) {
    if (tree.treeSequence[s].kind == SlotKind::kClose)
      EXPECT_TRUE(tree.vertexNames[s].empty());
    else
      names.insert(tree.vertexNames[s]);
  }
  EXPECT_EQ(names.size(), 127u);
}

// The children of a slot, in order.
std::vector<int32_t> ChildrenOf(const Tree& tree, int32_t slot) {
  return {tree.ChildrenBegin(slot), tree.ChildrenEnd(slot)};
}

TEST(TreeLinks, ChildrenParentsAndMatchingOpenSlots) {
  const Tree tree = DerivedTree();
  using Slots = std::vector<int32_t>;
  EXPECT_EQ(tree.parentSlot[0], -1);
  EXPECT_EQ(ChildrenOf(tree, 0), (Slots{1, 95}));
  EXPECT_EQ(tree.openSlotOf[189], 0);
  EXPECT_EQ(ChildrenOf(tree, 5), (Slots{6, 7}));
  EXPECT_EQ(tree.openSlotOf[8], 5);
  EXPECT_EQ(ChildrenOf(tree, 4), (Slots{5, 9}));
  EXPECT_EQ(tree.parentSlot[183], 181);
  EXPECT_EQ(tree.parentSlot[181], 176);
  EXPECT_EQ(tree.openSlotOf[184], 181);
  EXPECT_EQ(tree.openSlotOf[185], 176);
  // Every child's parent link points back to the vertex that lists it.
  for (int s = 0; s < kSlotCount; ++s) {
    if (tree.treeSequence[s].kind != SlotKind::kOpen) {
      EXPECT_TRUE(ChildrenOf(tree, s).empty());
      continue;
    }
    for (const int32_t c : ChildrenOf(tree, s)) EXPECT_EQ(tree.parentSlot[c], s);
  }
}

// Number of slots taken by the subtree of a vertex at the given depth.
constexpr int SubtreeSlots(int depth) { return 3 * (1 << (kTreeDepth - depth)) - 2; }

TEST(TreeLinks, SlotNumbersFollowTheBlockSizes) {
  const Tree tree = DerivedTree();
  // Depth of each open slot from the parent chain; the close slot of a vertex
  // at depth d lies SubtreeSlots(d) - 1 slots after its open slot.
  for (int s = 0; s < kSlotCount; ++s) {
    if (tree.treeSequence[s].kind != SlotKind::kClose) continue;
    const int o = tree.openSlotOf[s];
    int depth = 0;
    for (int p = tree.parentSlot[o]; p >= 0; p = tree.parentSlot[p]) ++depth;
    EXPECT_EQ(s - o + 1, SubtreeSlots(depth)) << "vertex " << tree.vertexNames[o];
    EXPECT_EQ(ChildrenOf(tree, o).back(), o + 1 + SubtreeSlots(depth + 1));
  }
}

}  // namespace
}  // namespace dorvu
