// The kernel's scoring: distances, penalty and the exchange sort of the
// distance table, as the plain scoring gives them.
#include <limits>
#include <utility>

#include "search/evaluate/fast_kernel.h"

namespace dorvu {

void FastSortDistanceTable(DistanceEntries& table) {
  // The exchanges of SortDistanceTable, in the same order: for each i, entry
  // i (held in registers here) is exchanged with every later entry whose
  // distance is greater than its own at that moment. The distances lie in a
  // separate array, padded to a multiple of four with -infinity (never
  // greater), and the later entries are tested four at a time, as almost
  // none are greater.
  constexpr int kPadded = (kSlotCount + 3) / 4 * 4;
  std::array<double, kPadded> distance;
  std::array<int32_t, kPadded> slot;
  for (int i = 0; i < kSlotCount; ++i) {
    distance[i] = table[i].distance;
    slot[i] = table[i].slot;
  }
  for (int i = kSlotCount; i < kPadded; ++i) {
    distance[i] = -std::numeric_limits<double>::infinity();
    slot[i] = 0;
  }
  for (int i = 1; i < kSlotCount - 1; ++i) {
    double held = distance[i];
    int32_t heldSlot = slot[i];
    const auto exchange = [&](int j) {
      if (!(held < distance[j])) return;
      std::swap(held, distance[j]);
      std::swap(heldSlot, slot[j]);
    };
    int j = i + 1;
    for (; j % 4 != 0; ++j) exchange(j);
    for (; j < kPadded; j += 4) {
      const int greater = int{held < distance[j]} | int{held < distance[j + 1]} | int{held < distance[j + 2]} |
                          int{held < distance[j + 3]};
      if (greater != 0)
        for (int m = j; m < j + 4; ++m) exchange(m);
    }
    distance[i] = held;
    slot[i] = heldSlot;
  }
  for (int i = 1; i < kSlotCount; ++i) table[i] = DistanceEntry{slot[i], distance[i]};
}

void FastScoreScenario(const FastTree& fast, const FastWork& work, ScenarioScore& score) {
  auto& table = score.distanceTable;
  for (int i = 1; i < kSlotCount; ++i) table[i] = DistanceEntry{};
  double penalty = 0.0;
  for (int n = 0; n < kInternalCount; ++n) {
    const int i = fast.openOrder[n];
    for (const int c : {fast.firstChild[i], fast.secondChild[i]}) {
      const int slot = fast.slotOf[c];
      table[slot] = DistanceEntry{slot, AddSquaredDistance(0.0, work.x[c], work.x[i])};
    }
    for (const int c : {fast.firstChild[i], fast.secondChild[i]})
      if (work.marked[c] == 0) penalty = AddEdgePenalty(penalty, work.x[c], work.x[i]);
  }
  score.scenarioPenalty = penalty;
  FastSortDistanceTable(table);
}

void FastEvaluateScenario(const FastTree& fast, const MarkTable& mark, FastWork& work, ScenarioScore& score) {
  FastEstimateScenario(fast, mark, work);
  FastScoreScenario(fast, work, score);
}

}  // namespace dorvu
