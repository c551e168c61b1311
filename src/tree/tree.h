// The fixed tree: a complete rooted binary tree of depth 6, laid out as a
// bracket sequence of 190 slots (open and close slot per internal vertex,
// one slot per leaf). Every per-vertex table is indexed by slot number.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "tree/base_values.h"

namespace dorvu {

inline constexpr int SlotCount = 190;
inline constexpr int LeafCount = 64;
inline constexpr int TreeDepth = 6;

inline constexpr int32_t KindOpen = -1;
inline constexpr int32_t KindClose = -2;
inline constexpr int32_t KindLeaf = 0;

struct SlotRecord {
  int32_t kind = KindLeaf;
  BaseValues value;  // leaf values as read (and perturbed); unused elsewhere
};

using SlotTable = std::array<int32_t, SlotCount>;
using MarkTable = SlotTable;  // 1 = the vertex of this vertex slot is marked
using ValueTable = std::array<BaseValues, SlotCount>;

struct Tree {
  std::array<SlotRecord, SlotCount> TreeSequence{};
  std::array<std::string, SlotCount> VertexNames{};  // "" at close slots
  std::array<int32_t, LeafCount + 1> LeafSlots{};    // entry k: slot of leaf k (entry 0 unused)
  SlotTable OpenSlotOf{};       // at close slots: open slot of the same vertex
  SlotTable FirstChildSlot{};   // at open slots
  SlotTable SecondChildSlot{};  // at open slots
  SlotTable ParentSlot{};       // at open and leaf slots; -1 at the root
  ValueTable LeafValues{};      // at leaf slots: the leaf values the search starts from
};

// Sets the kinds, the vertex names and the leaf slots by walking the tree.
void LayOutTree(Tree& tree);

// Saves the leaf values and fills the link tables from the kinds.
void DeriveLinks(Tree& tree);

}  // namespace dorvu
