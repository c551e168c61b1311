#include "search/scoring.h"

#include <utility>

namespace dorvu {

void SortDistanceTable(DistanceEntries& table) {
  for (int i = 1; i < kSlotCount - 1; ++i)
    for (int j = i + 1; j < kSlotCount; ++j)
      if (table[i].distance < table[j].distance) std::swap(table[i], table[j]);
}

void ScoreScenario(const Tree& tree, const MarkTable& mark, const ValueTable& x, ScenarioScore& score) {
  auto& table = score.distanceTable;
  for (int i = 1; i < kSlotCount; ++i) table[i] = DistanceEntry{};
  score.scenarioPenalty = 0.0;
  for (int s = 0; s < kSlotCount; ++s) {
    if (tree.treeSequence[s].kind != SlotKind::kOpen) continue;
    const int c1 = tree.firstChildSlot[s];
    const int c2 = tree.secondChildSlot[s];
    table[c1] = DistanceEntry{c1, AddSquaredDistance(0.0, x[c1], x[s])};
    table[c2] = DistanceEntry{c2, AddSquaredDistance(0.0, x[c2], x[s])};
    if (mark[c1] == 0) score.scenarioPenalty = AddEdgePenalty(score.scenarioPenalty, x[c1], x[s]);
    if (mark[c2] == 0) score.scenarioPenalty = AddEdgePenalty(score.scenarioPenalty, x[c2], x[s]);
  }
  SortDistanceTable(table);
}

ScenarioOutcome OutcomeOf(const ScenarioScore& score, const MarkTable& mark, int32_t limit) {
  ScenarioOutcome outcome;
  outcome.penalty = score.scenarioPenalty;
  for (int i = 1; i < kSlotCount && outcome.candidateCount < limit; ++i) {
    const int32_t slot = score.distanceTable[i].slot;
    if (slot > 0 && mark[slot] == 0) outcome.candidates[outcome.candidateCount++] = static_cast<uint8_t>(slot);
  }
  return outcome;
}

bool ReachesNoiseFloor(double noiseLevel, double scenarioPenalty) { return 100.0L * noiseLevel >= scenarioPenalty; }

void OfferToBestList(BestList& list, const ScenarioKey& key, double penalty, int32_t searchLevel) {
  for (std::size_t p = 0; p < list.size(); ++p) {
    const BestListEntry& entry = list[p];
    if (entry.key == key) return;
    if (entry.penalty > penalty || (entry.penalty == penalty && entry.level > searchLevel)) {
      for (std::size_t i = list.size() - 1; i > p; --i) list[i] = list[i - 1];
      list[p] = BestListEntry{key, penalty, searchLevel};
      return;
    }
  }
}

}  // namespace dorvu
