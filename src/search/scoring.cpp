#include "search/scoring.h"

#include <cmath>
#include <utility>

namespace dorvu {

using Extended = long double;

namespace {

double SquaredDistance(const BaseValues& v, const BaseValues& u) {
  Extended sum = 0.0L;
  for (auto b : Bases) {
    const Extended d = Extended(v.*b) - u.*b;
    sum += d * d;
  }
  return static_cast<double>(sum);
}

// Adds the four terms sqrt|v(b)^2 - u(b)^2| of one uncut edge.
double AddEdgePenalty(double penalty, const BaseValues& v, const BaseValues& u) {
  Extended sum = penalty;
  for (auto b : Bases) sum += std::sqrt(std::fabs(Extended(v.*b) * v.*b - Extended(u.*b) * u.*b));
  return static_cast<double>(sum);
}

}  // namespace

double FreeDistance(const std::array<DistanceEntry, SlotCount>& table, const MarkTable& Mark) {
  for (int i = 1; i < SlotCount; ++i)
    if (table[i].slot > 0 && Mark[table[i].slot] == 0) return table[i].distance;
  return 1000.0;
}

void SortDistanceTable(std::array<DistanceEntry, SlotCount>& table) {
  for (int i = 1; i < SlotCount - 1; ++i)
    for (int j = i + 1; j < SlotCount; ++j)
      if (table[i].distance < table[j].distance) std::swap(table[i], table[j]);
}

void ScoreScenario(const Tree& tree, const MarkTable& Mark, const ValueTable& x, ScenarioScore& score) {
  auto& table = score.DistanceTable;
  for (int i = 1; i < SlotCount; ++i) table[i] = DistanceEntry{};
  score.scenarioPenalty = 0.0;
  for (int s = 0; s < SlotCount; ++s) {
    if (tree.TreeSequence[s].kind != KindOpen) continue;
    const int c1 = tree.FirstChildSlot[s];
    const int c2 = tree.SecondChildSlot[s];
    table[c1] = DistanceEntry{c1, SquaredDistance(x[c1], x[s])};
    table[c2] = DistanceEntry{c2, SquaredDistance(x[c2], x[s])};
    if (Mark[c1] == 0) score.scenarioPenalty = AddEdgePenalty(score.scenarioPenalty, x[c1], x[s]);
    if (Mark[c2] == 0) score.scenarioPenalty = AddEdgePenalty(score.scenarioPenalty, x[c2], x[s]);
  }
  SortDistanceTable(table);
  score.freeDistance = FreeDistance(table, Mark);
}

bool ReachesNoiseFloor(double noiseLevel, double scenarioPenalty) {
  return 100.0L * noiseLevel >= scenarioPenalty;
}

void OfferToBestList(BestList& list, const std::string& key, const ScenarioScore& score,
                     int32_t searchLevel) {
  for (std::size_t p = 0; p < list.size(); ++p) {
    const scenarik& entry = list[p];
    if (entry.key == key) return;
    if (entry.penalty > score.scenarioPenalty ||
        (entry.penalty == score.scenarioPenalty && entry.level > searchLevel)) {
      for (std::size_t i = list.size() - 1; i > p; --i) list[i] = list[i - 1];
      list[p] = scenarik{key, score.freeDistance, score.scenarioPenalty, searchLevel};
      return;
    }
  }
}

}  // namespace dorvu
