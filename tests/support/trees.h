// Trees, marks and keys for the tests of the estimation and the search.
#pragma once

#include <initializer_list>
#include <string>

#include "search/scenario_memory.h"
#include "tree/tree.h"

namespace dorvu::test {

// A laid-out tree with derived links whose leaves hold `leaf(k)` for leaf k.
template <typename LeafFunction>
Tree MakeTree(LeafFunction leaf) {
  Tree tree;
  LayOutTree(tree);
  for (int k = 1; k <= kLeafCount; ++k) tree.treeSequence[tree.leafSlots[k]].value = leaf(k);
  DeriveLinks(tree);
  return tree;
}

// Marks holding the root and the given slots.
MarkTable MarksOf(std::initializer_list<int> slots);

// The key of the root and the given slots.
ScenarioKey KeyOf(std::initializer_list<int> slots);

// The marked slots as text, for messages: "0 5 17".
std::string SlotsText(const MarkTable& mark);

}  // namespace dorvu::test
