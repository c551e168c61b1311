// Scoring of an estimated scenario and the list of the best scenarios.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "run/run_parameters.h"
#include "tree/tree.h"

namespace dorvu {

struct DistanceEntry {
  int32_t slot = 0;       // vertex slot; 0 in an entry no vertex filled
  double distance = 0.0;  // squared distance to the parent
};

struct ScenarioScore {
  std::array<DistanceEntry, SlotCount> DistanceTable{};  // entries 1 to 189
  double scenarioPenalty = 0.0;
  double freeDistance = 0.0;  // greatest distance of an unmarked vertex; 1000 if none
};

// One entry of the best list.
struct scenarik {
  std::string key;  // empty: the entry holds no scenario
  double freeDistance = 100.0;
  double penalty = 1000.0;
  int32_t level = 0;
};

using BestList = std::vector<scenarik>;

// Distances to the parents, the penalty over the uncut edges, the distance
// table sorted by descending distance, and the free distance. Reads the root
// vectors left by pass 2.
void ScoreScenario(const Tree& tree, const MarkTable& Mark, const ValueTable& x, ScenarioScore& score);

// Sorts entries 1 to 189 by descending distance with an exchange sort; its
// order of equal distances is part of the result.
void SortDistanceTable(std::array<DistanceEntry, SlotCount>& table);

// The distance of the first entry of a sorted table that names an unmarked
// vertex; 1000.0 when there is none.
double FreeDistance(const std::array<DistanceEntry, SlotCount>& table, const MarkTable& Mark);

// True when the scenario is offered to the best list rather than extended.
bool ReachesNoiseFloor(double noiseLevel, double scenarioPenalty);

// Inserts the scenario at its place by penalty, then level, unless its key is
// met first or it beats no entry.
void OfferToBestList(BestList& list, const std::string& key, const ScenarioScore& score,
                     int32_t searchLevel);

}  // namespace dorvu
