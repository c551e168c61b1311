// The depth-first walk over scenarios: starting from the root alone, each
// evaluated scenario is extended by one mark at a time, trying the unmarked
// vertices that differ most from their parents.
#pragma once

#include <array>
#include <cstdint>

#include "run/run_log.h"
#include "run/run_parameters.h"
#include "search/estimation.h"
#include "search/scenario_memory.h"
#include "search/scoring.h"
#include "tree/tree.h"

namespace dorvu {

inline constexpr int CandidatePositions = 10;

struct EnumerationLevel {
  int32_t choice = 0;  // 0: not evaluated yet; k: candidate k is marked; > limit: exhausted
  int32_t limit = 0;   // candidates tried at this level
};

struct SearchState {
  MarkTable Mark{};  // root always marked
  std::array<EnumerationLevel, LevelCount> EnumerationStack{};
  // Row L, positions 1 to limit(L): the vertex slots to mark in turn below the
  // scenario evaluated at level L.
  std::array<std::array<int32_t, CandidatePositions + 1>, LevelCount> CandidateTable{};
  ScenarioMemory memory;
  BestList bestList;
  PassState pass;
  ScenarioScore score;
};

// Marks the root, sets the level limits, the stores and the best list.
void PrepareSearch(SearchState& state, const RunParameters& params);

// Takes away the mark added at the level below and moves on to its next
// candidate.
void StepBack(SearchState& state, RunParameters& params);

// Walks the scenarios to the end; the result is the best list.
void RunSearch(SearchState& state, RunParameters& params, const Tree& tree, const RunLog& log);

}  // namespace dorvu
