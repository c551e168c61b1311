// The tree of a run, laid out as a bracket sequence of slots: an open and a
// close slot per internal vertex, one slot per leaf, in the order of a
// depth-first walk that takes the children in written order. Every
// per-vertex table is indexed by slot number. The fixed tree (the complete
// binary tree of depth 6, 190 slots) and a tree read from a file are laid
// out alike.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tree/base_values.h"
#include "tree/newick.h"
#include "tree/tree_size.h"

namespace dorvu {

// What a slot of the bracket sequence holds: the opening or the closing
// bracket of an internal vertex, or a leaf.
enum class SlotKind : int8_t { kOpen, kClose, kLeaf };

struct SlotRecord {
  SlotKind kind = SlotKind::kLeaf;
  BaseValues value;  // leaf values as read (and perturbed); unused elsewhere
};

using MarkTable = std::vector<int32_t>;  // per slot: 1 = the vertex of this vertex slot is marked
using ValueTable = std::vector<BaseValues>;

struct Tree {
  int32_t slotCount = 0;
  int32_t leafCount = 0;
  int32_t internalCount = 0;
  std::vector<SlotRecord> treeSequence;  // per slot
  std::vector<std::string> vertexNames;  // "" at close slots; the root is " 0 "
  std::vector<int32_t> leafSlots;        // entry k: slot of leaf k, from the left (entry 0 unused)
  std::vector<int32_t> openSlotOf;       // at close slots: open slot of the same vertex
  std::vector<int32_t> parentSlot;       // at open and leaf slots; -1 at the root
  std::vector<int32_t> childBegin;  // children of slot s: childSlots[childBegin[s]] to childSlots[childBegin[s+1]-1]
  std::vector<int32_t> childSlots;  // vertex slots of the children, in written order
  ValueTable leafValues;            // at leaf slots: the leaf values the search starts from

  int32_t VertexCount() const { return internalCount + leafCount; }
  int32_t EdgeCount() const { return VertexCount() - 1; }  // one above every vertex but the root
  const int32_t* ChildrenBegin(int32_t slot) const { return childSlots.data() + childBegin[slot]; }
  const int32_t* ChildrenEnd(int32_t slot) const { return childSlots.data() + childBegin[slot + 1]; }
};

// The fixed tree: the complete binary tree of depth 6, its vertices named
// "d.i" and its leaves 6.1 to 6.64 from the left.
NewickTree FixedTreeShape();

// Lays out a tree of any shape: kinds, names (" 0 " for the root, "d.i" for
// the others), leaf slots and the link tables.
void LayOutTree(Tree& tree, const NewickTree& shape);

// Lays out the fixed tree.
void LayOutTree(Tree& tree);

// Saves the leaf values, as they stand, as the values the search starts from.
void DeriveLinks(Tree& tree);

// Marks with only the root marked.
MarkTable RootMarks(const Tree& tree);

}  // namespace dorvu
