#include <gtest/gtest.h>

#include <set>

#include "tree/tree.h"

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
    int32_t kind;
    const char* name;
  };
  const Expected expected[] = {
      {0, KindOpen, " 0 "},  {1, KindOpen, "1.1"},   {2, KindOpen, "2.1"},   {3, KindOpen, "3.1"},
      {4, KindOpen, "4.1"},  {5, KindOpen, "5.1"},   {6, KindLeaf, "6.1"},   {7, KindLeaf, "6.2"},
      {8, KindClose, ""},    {9, KindOpen, "5.2"},   {10, KindLeaf, "6.3"},  {11, KindLeaf, "6.4"},
      {12, KindClose, ""},   {13, KindClose, ""},    {14, KindOpen, "4.2"},  {15, KindOpen, "5.3"},
      {16, KindLeaf, "6.5"}, {17, KindLeaf, "6.6"},  {18, KindClose, ""},    {19, KindOpen, "5.4"},
      {182, KindLeaf, "6.63"}, {183, KindLeaf, "6.64"}, {184, KindClose, ""}, {189, KindClose, ""},
      {48, KindOpen, "2.2"}, {95, KindOpen, "1.2"},  {96, KindOpen, "2.3"},  {142, KindOpen, "2.4"},
  };
  for (const Expected& e : expected) {
    EXPECT_EQ(tree.TreeSequence[e.slot].kind, e.kind) << "slot " << e.slot;
    EXPECT_EQ(tree.VertexNames[e.slot], e.name) << "slot " << e.slot;
  }
  const std::pair<int, int> closes[] = {{8, 5},     {13, 4},    {94, 1},   {184, 181}, {185, 176},
                                        {186, 165}, {187, 142}, {188, 95}, {189, 0}};
  for (auto [close, open] : closes) EXPECT_EQ(tree.OpenSlotOf[close], open) << "close slot " << close;
}

TEST(TreeLayout, LeafSlotsAreTheListedOnesInOrder) {
  const Tree tree = DerivedTree();
  const int expected[LeafCount] = {6,   7,   10,  11,  16,  17,  20,  21,  28,  29,  32,  33,  38,
                                   39,  42,  43,  52,  53,  56,  57,  62,  63,  66,  67,  74,  75,
                                   78,  79,  84,  85,  88,  89,  100, 101, 104, 105, 110, 111, 114,
                                   115, 122, 123, 126, 127, 132, 133, 136, 137, 146, 147, 150, 151,
                                   156, 157, 160, 161, 168, 169, 172, 173, 178, 179, 182, 183};
  int leaves = 0;
  for (int s = 0; s < SlotCount; ++s) leaves += tree.TreeSequence[s].kind == KindLeaf;
  EXPECT_EQ(leaves, LeafCount);
  for (int k = 1; k <= LeafCount; ++k) {
    EXPECT_EQ(tree.LeafSlots[k], expected[k - 1]) << "leaf " << k;
    EXPECT_EQ(tree.VertexNames[tree.LeafSlots[k]], "6." + std::to_string(k));
  }
}

TEST(TreeLayout, EveryVertexNamedOnceAndCloseSlotsUnnamed) {
  const Tree tree = DerivedTree();
  std::set<std::string> names;
  for (int s = 0; s < SlotCount; ++s) {
    if (tree.TreeSequence[s].kind == KindClose)
      EXPECT_TRUE(tree.VertexNames[s].empty());
    else
      names.insert(tree.VertexNames[s]);
  }
  EXPECT_EQ(names.size(), 127u);
}

TEST(TreeLinks, ChildrenParentsAndMatchingOpenSlots) {
  const Tree tree = DerivedTree();
  EXPECT_EQ(tree.ParentSlot[0], -1);
  EXPECT_EQ(tree.FirstChildSlot[0], 1);
  EXPECT_EQ(tree.SecondChildSlot[0], 95);
  EXPECT_EQ(tree.OpenSlotOf[189], 0);
  EXPECT_EQ(tree.FirstChildSlot[5], 6);
  EXPECT_EQ(tree.SecondChildSlot[5], 7);
  EXPECT_EQ(tree.OpenSlotOf[8], 5);
  EXPECT_EQ(tree.SecondChildSlot[4], 9);
  EXPECT_EQ(tree.ParentSlot[183], 181);
  EXPECT_EQ(tree.ParentSlot[181], 176);
  EXPECT_EQ(tree.OpenSlotOf[184], 181);
  EXPECT_EQ(tree.OpenSlotOf[185], 176);
  // Every child's parent link points back to the vertex that lists it.
  for (int s = 0; s < SlotCount; ++s) {
    if (tree.TreeSequence[s].kind != KindOpen) continue;
    EXPECT_EQ(tree.ParentSlot[tree.FirstChildSlot[s]], s);
    EXPECT_EQ(tree.ParentSlot[tree.SecondChildSlot[s]], s);
  }
}

// Number of slots taken by the subtree of a vertex at the given depth.
constexpr int SubtreeSlots(int depth) { return 3 * (1 << (TreeDepth - depth)) - 2; }

TEST(TreeLinks, SlotNumbersFollowTheBlockSizes) {
  const Tree tree = DerivedTree();
  // Depth of each open slot from the parent chain; the close slot of a vertex
  // at depth d lies SubtreeSlots(d) - 1 slots after its open slot.
  for (int s = 0; s < SlotCount; ++s) {
    if (tree.TreeSequence[s].kind != KindClose) continue;
    const int o = tree.OpenSlotOf[s];
    int depth = 0;
    for (int p = tree.ParentSlot[o]; p >= 0; p = tree.ParentSlot[p]) ++depth;
    EXPECT_EQ(s - o + 1, SubtreeSlots(depth)) << "vertex " << tree.VertexNames[o];
    EXPECT_EQ(tree.SecondChildSlot[o], o + 1 + SubtreeSlots(depth + 1));
  }
}

}  // namespace
}  // namespace dorvu
