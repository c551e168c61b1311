// The fixed tree: a complete rooted binary tree of depth 6, laid out as a
// bracket sequence of 190 slots (open and close slot per internal vertex,
// one slot per leaf). Every per-vertex table is indexed by slot number.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "tree/base_values.h"
#include "tree/tree_size.h"

namespace dorvu {

// What a slot of the bracket sequence holds: the opening or the closing
// bracket of an internal vertex, or a leaf.
enum class SlotKind : int8_t { kOpen, kClose, kLeaf };

struct SlotRecord {
  SlotKind kind = SlotKind::kLeaf;
  BaseValues value;  // leaf values as read (and perturbed); unused elsewhere
};

using SlotTable = std::array<int32_t, kSlotCount>;
using MarkTable = SlotTable;  // 1 = the vertex of this vertex slot is marked
using ValueTable = std::array<BaseValues, kSlotCount>;

struct Tree {
  std::array<SlotRecord, kSlotCount> treeSequence{};
  std::array<std::string, kSlotCount> vertexNames{};  // "" at close slots
  std::array<int32_t, kLeafCount + 1> leafSlots{};    // entry k: slot of leaf k (entry 0 unused)
  SlotTable openSlotOf{};                            // at close slots: open slot of the same vertex
  SlotTable firstChildSlot{};                        // at open slots
  SlotTable secondChildSlot{};                       // at open slots
  SlotTable parentSlot{};                            // at open and leaf slots; -1 at the root
  ValueTable leafValues{};                           // at leaf slots: the leaf values the search starts from
};

// Sets the kinds, the vertex names and the leaf slots by walking the tree.
void LayOutTree(Tree& tree);

// Saves the leaf values and fills the link tables from the kinds.
void DeriveLinks(Tree& tree);

}  // namespace dorvu
