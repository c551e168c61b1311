// Scoring of an estimated scenario, its candidate row, and the list of the
// best scenarios.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "search/run_parameters.h"
#include "search/scenario_memory.h"
#include "tree/tree.h"

namespace dorvu {

struct DistanceEntry {
  int32_t slot = 0;       // vertex slot; 0 in an entry no vertex filled
  double distance = 0.0;  // squared distance to the parent
};

using DistanceEntries = std::vector<DistanceEntry>;  // entries 1 to the last slot

struct ScenarioScore {
  DistanceEntries distanceTable{};
  double scenarioPenalty = 0.0;
};

// What the walk takes from the evaluation of a scenario: its penalty and its
// candidate row, the unmarked non-root vertices that differ most from their
// parents, greatest distance first, as many as the scenario's level tries.
struct ScenarioOutcome {
  double penalty = 0.0;
  int32_t candidateCount = 0;
  std::array<int32_t, kMaxCandidates> candidates{};  // slots, positions 0 to candidateCount - 1
};

// Distances to the parents, the penalty over the uncut edges and the
// distance table sorted by descending distance, from the square-root vectors left
// by pass 2.
void ScoreScenario(const Tree& tree, const MarkTable& mark, const ValueTable& x, ScenarioScore& score);

// Sorts the entries from 1 on by descending distance with an exchange sort;
// its order of equal distances is part of the result.
void SortDistanceTable(DistanceEntries& table);

// The penalty and the first `limit` unmarked vertices of a sorted table.
ScenarioOutcome OutcomeOf(const ScenarioScore& score, const MarkTable& mark, int32_t limit);

// The number of candidates tried below a scenario with these marks.
inline int32_t CandidateLimit(const ScenarioKey& key) { return kLevelLimits[key.count - 1]; }

// True when the scenario is offered to the best list rather than extended:
// its penalty is at most the terminal factor times the noise level.
bool ReachesNoiseFloor(const RunParameters& params, double scenarioPenalty);

// One entry of the best list.
struct BestListEntry {
  ScenarioKey key;          // count 0: the entry holds no scenario
  double penalty = 1000.0;  // while the entry holds none: the run's initial penalty (the fixed tree's here)
  int32_t level = 0;
};

using BestList = std::vector<BestListEntry>;

// The best list holds the one best scenario, which the report writes.
inline constexpr std::size_t kBestListLength = 1;

// Inserts the scenario at its place by penalty, then level, unless its key is
// met first or it beats no entry.
void OfferToBestList(BestList& list, const ScenarioKey& key, double penalty, int32_t searchLevel);

}  // namespace dorvu
