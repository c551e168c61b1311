#include "search/enumeration.h"

namespace dorvu {

namespace {

// Fills row `level` with the unmarked non-root vertices of greatest distance,
// in the order of the sorted distance table.
void FillCandidateRow(SearchState& state, int32_t level) {
  auto& row = state.CandidateTable[level];
  const int32_t limit = state.EnumerationStack[level].limit;
  int32_t filled = 0;
  for (int i = 1; i < SlotCount && filled < limit; ++i) {
    const int32_t slot = state.score.DistanceTable[i].slot;
    if (slot > 0 && state.Mark[slot] == 0) row[++filled] = slot;
  }
}

// Evaluates the scenario now marked unless it was reached before; returns
// true when it is to be extended.
bool EvaluateMarkedScenario(SearchState& state, RunParameters& params, const Tree& tree,
                            const RunLog& log) {
  const int32_t level = params.searchLevel;
  params.currentKey = BuildKey(state.Mark);
  if (LookUpKey(state.memory, params.currentKey, params, log)) return false;
  RememberKey(state.memory, params.currentKey, params, log);

  EstimateScenario(params, tree, state.Mark, state.pass);
  ScoreScenario(tree, state.Mark, state.pass.value, state.score);
  const bool quiet = ReachesNoiseFloor(params.noiseLevel, state.score.scenarioPenalty);
  if (level == params.cardinality || quiet)
    OfferToBestList(state.bestList, params.currentKey, state.score, level);
  FillCandidateRow(state, level);
  return level < params.cardinality && !quiet;
}

}  // namespace

void StepBack(SearchState& state, RunParameters& params) {
  const int32_t level = --params.searchLevel;
  if (level < 0) return;
  EnumerationLevel& entry = state.EnumerationStack[level];
  state.Mark[state.CandidateTable[level][entry.choice]] = 0;
  ++entry.choice;
}

void PrepareSearch(SearchState& state, const RunParameters& params) {
  state.Mark.fill(0);
  state.Mark[0] = 1;
  for (int level = 0; level < LevelCount; ++level) state.EnumerationStack[level] = {0, LevelLimits[level]};
  PrepareMemory(state.memory, params.mainMemoryCapacity);
  state.bestList.assign(static_cast<std::size_t>(params.bestListLength), scenarik{});
}

void RunSearch(SearchState& state, RunParameters& params, const Tree& tree, const RunLog& log) {
  auto& stack = state.EnumerationStack;
  params.searchLevel = 0;
  stack[0].choice = 0;
  state.memory.mainCount = 0;
  state.memory.addCount = 0;

  while (params.searchLevel > 0 || (params.searchLevel == 0 && stack[0].choice <= stack[0].limit)) {
    const int32_t level = params.searchLevel;
    EnumerationLevel& entry = stack[level];
    if (entry.choice == 0) {
      if (EvaluateMarkedScenario(state, params, tree, log))
        entry.choice = 1;
      else
        StepBack(state, params);
      continue;
    }
    if (entry.choice > entry.limit) {
      StepBack(state, params);
      continue;
    }
    if (level == 0)
      WriteLogLine(log, "done " + std::to_string(entry.choice - 1) + " of " + std::to_string(entry.limit));
    state.Mark[state.CandidateTable[level][entry.choice]] = 1;
    stack[++params.searchLevel].choice = 0;
  }
}

}  // namespace dorvu
