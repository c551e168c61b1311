// The kernel's scoring: distances, penalty and the candidate row that the
// exchange sort of the distance table gives, as the plain scoring gives them.
#include <limits>
#include <utility>

#include "search/evaluate/fast_kernel.h"

namespace dorvu {

namespace {

// The passes i = 1, 2, ... of SortDistanceTable's exchange sort, in the same
// order, until `settled(i)` says that enough entries are settled: pass i
// exchanges entry i (held in registers here) with every later entry whose
// distance is greater than its own at that moment, and leaves entry i as it
// stays. The distances lie in a separate array, padded to a multiple of four
// with -infinity (never greater), and the later entries are tested four at a
// time, as almost none are greater.
template <typename Settled>
void ExchangeSortUntil(std::vector<double>& distance, std::vector<int32_t>& slot, int entries, Settled settled) {
  const int padded = static_cast<int>(distance.size());
  for (int i = 1; i < entries - 1; ++i) {
    double held = distance[i];
    int32_t heldSlot = slot[i];
    const auto exchange = [&](int j) {
      if (!(held < distance[j])) return;
      std::swap(held, distance[j]);
      std::swap(heldSlot, slot[j]);
    };
    int j = i + 1;
    for (; j % 4 != 0; ++j) exchange(j);
    for (; j < padded; j += 4) {
      const int greater = int{held < distance[j]} | int{held < distance[j + 1]} | int{held < distance[j + 2]} |
                          int{held < distance[j + 3]};
      if (greater != 0)
        for (int m = j; m < j + 4; ++m) exchange(m);
    }
    distance[i] = held;
    slot[i] = heldSlot;
    if (settled(i)) return;
  }
  if (entries > 1) settled(entries - 1);  // the last entry is settled by the passes before it
}

// Copies a table into padded arrays.
void LoadEntries(const DistanceEntries& table, std::vector<double>& distance, std::vector<int32_t>& slot) {
  const int entries = static_cast<int>(table.size());
  const int padded = (entries + 3) / 4 * 4;
  distance.assign(padded, -std::numeric_limits<double>::infinity());
  slot.assign(padded, 0);
  for (int i = 0; i < entries; ++i) {
    distance[i] = table[i].distance;
    slot[i] = table[i].slot;
  }
}

}  // namespace

void FastSortDistanceTable(DistanceEntries& table) {
  std::vector<double> distance;
  std::vector<int32_t> slot;
  LoadEntries(table, distance, slot);
  const int entries = static_cast<int>(table.size());
  ExchangeSortUntil(distance, slot, entries, [](int) { return false; });
  for (int i = 1; i < entries; ++i) table[i] = DistanceEntry{slot[i], distance[i]};
}

ScenarioOutcome FastScoreScenario(const FastTree& fast, FastWork& work, int32_t limit) {
  // Entry s of the unsorted table belongs to vertex slot s; the entries of
  // close slots (and the root's) hold slot 0 and distance 0.
  std::fill(work.distance.begin(), work.distance.begin() + fast.slotCount, 0.0);
  std::fill(work.entrySlot.begin(), work.entrySlot.begin() + fast.slotCount, 0);
  double penalty = 0.0;
  for (int n = 0; n < fast.internalCount; ++n) {
    const int i = fast.openOrder[n];
    for (int e = fast.childBegin[i]; e < fast.childBegin[i + 1]; ++e) {
      const int c = fast.childList[e];
      const int slot = fast.slotOf[c];
      work.distance[slot] = AddSquaredDistance(0.0, work.x[c], work.x[i]);
      work.entrySlot[slot] = slot;
    }
    for (int e = fast.childBegin[i]; e < fast.childBegin[i + 1]; ++e) {
      const int c = fast.childList[e];
      if (work.marked[c] == 0) penalty = AddEdgePenalty(penalty, work.x[c], work.x[i]);
    }
  }
  ScenarioOutcome outcome;
  outcome.penalty = penalty;
  if (limit <= 0) return outcome;
  // The row reads the sorted table from entry 1 on until it holds `limit`
  // unmarked vertices: only the passes that settle those entries run.
  ExchangeSortUntil(work.distance, work.entrySlot, fast.slotCount, [&](int i) {
    const int32_t slot = work.entrySlot[i];
    if (slot > 0 && work.marked[fast.vertexOfSlot[slot]] == 0) outcome.candidates[outcome.candidateCount++] = slot;
    return outcome.candidateCount == limit;
  });
  return outcome;
}

ScenarioOutcome FastEvaluateScenario(const FastTree& fast, const MarkTable& mark, FastWork& work, int32_t limit) {
  FastEstimateScenario(fast, mark, work);
  return FastScoreScenario(fast, work, limit);
}

}  // namespace dorvu
