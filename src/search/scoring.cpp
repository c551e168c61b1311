#include "search/scoring.h"

#include <utility>

namespace dorvu {

void SortDistanceTable(DistanceEntries& table) {
  const auto n = static_cast<int>(table.size());
  for (int i = 1; i < n - 1; ++i)
    for (int j = i + 1; j < n; ++j)
      if (table[i].distance < table[j].distance) std::swap(table[i], table[j]);
}

void ScoreScenario(const Tree& tree, const MarkTable& mark, const ValueTable& x, ScenarioScore& score) {
  auto& table = score.distanceTable;
  table.assign(tree.slotCount, DistanceEntry{});
  score.scenarioPenalty = 0.0;
  for (int s = 0; s < tree.slotCount; ++s) {
    if (tree.treeSequence[s].kind != SlotKind::kOpen) continue;
    for (const int32_t* c = tree.ChildrenBegin(s); c != tree.ChildrenEnd(s); ++c)
      table[*c] = DistanceEntry{*c, AddSquaredDistance(0.0, x[*c], x[s])};
    for (const int32_t* c = tree.ChildrenBegin(s); c != tree.ChildrenEnd(s); ++c)
      if (mark[*c] == 0) score.scenarioPenalty = AddEdgePenalty(score.scenarioPenalty, x[*c], x[s]);
  }
  SortDistanceTable(table);
}

ScenarioOutcome OutcomeOf(const ScenarioScore& score, const MarkTable& mark, int32_t limit) {
  ScenarioOutcome outcome;
  outcome.penalty = score.scenarioPenalty;
  const auto n = static_cast<int>(score.distanceTable.size());
  for (int i = 1; i < n && outcome.candidateCount < limit; ++i) {
    const int32_t slot = score.distanceTable[i].slot;
    if (slot > 0 && mark[slot] == 0) outcome.candidates[outcome.candidateCount++] = slot;
  }
  return outcome;
}

bool ReachesNoiseFloor(const RunParameters& params, double scenarioPenalty) {
  return Extended(params.terminalFactor) * params.noiseLevel >= scenarioPenalty;
}

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
