#include "search/walk.h"

#include <algorithm>
#include <memory>
#include <string>

#include "log/log_lines.h"
#include "search/scenario_memory.h"

namespace dorvu {

namespace {

struct EnumerationLevel {
  int32_t choice = 0;  // 0: not evaluated yet; k: candidate k is marked; > limit: exhausted
  int32_t limit = 0;   // candidates tried at this level: the level's limit, or fewer where fewer exist
};

// The state of the walk.
struct Walk {
  Walk(const RunParameters& p, Evaluator& e, const RunLog& l) : params(p), evaluator(e), log(l) {}
  const RunParameters& params;
  Evaluator& evaluator;
  const RunLog& log;
  int32_t cardinality =
      0;  // the level at which a scenario is terminal: the input's cardinality, at most kMaxCardinality
  int32_t searchLevel = 0;
  ScenarioKey marks = RootKey();  // the scenario at the current level
  std::array<EnumerationLevel, kLevelCount> enumerationStack{};
  // Row L, positions 1 to limit(L): the vertex slots to mark in turn below
  // the scenario evaluated at level L.
  std::array<std::array<int32_t, kMaxCandidates + 1>, kLevelCount> candidateTable{};
  ScenarioMemory memory;
  BestList bestList;
  LineBatch memoryLines;  // memory messages not yet written
  WalkCounters* counters = nullptr;
  int64_t visited = 0;
};

// Where the scenario now marked stands: the choice of every level below.
WalkPath CurrentPath(const Walk& walk) {
  WalkPath path;
  for (int32_t l = 0; l < walk.searchLevel; ++l)
    path.choice[path.length++] = static_cast<uint8_t>(walk.enumerationStack[l].choice);
  return path;
}

// Stores a new key, asking in the log for more memory for each full store.
void Remember(Walk& walk) {
  const RememberOutcome outcome = RememberKey(walk.memory, walk.marks);
  if (outcome.mainFull) BatchLogLine(walk.log, walk.memoryLines, log_lines::kMainMemoryFull);
  if (outcome.addFull) BatchLogLine(walk.log, walk.memoryLines, log_lines::kAddMemoryFull);
  if (outcome.stored) walk.evaluator.Remembered(walk.marks);
}

// Evaluates the scenario now marked unless it was reached before; returns
// true when it is to be extended.
bool EvaluateMarkedScenario(Walk& walk) {
  const int32_t level = walk.searchLevel;
  if (walk.counters) walk.counters->visited.store(++walk.visited, std::memory_order_relaxed);
  if (LookUpKey(walk.memory, walk.marks)) return false;
  Remember(walk);
  const ScenarioOutcome outcome = walk.evaluator.Evaluate(walk.marks, CurrentPath(walk));
  const bool quiet = ReachesNoiseFloor(walk.params, outcome.penalty);
  if (level == walk.cardinality || quiet) OfferToBestList(walk.bestList, walk.marks, outcome.penalty, level);
  auto& row = walk.candidateTable[level];
  for (int32_t k = 0; k < outcome.candidateCount; ++k) row[k + 1] = outcome.candidates[k];
  walk.enumerationStack[level].limit = outcome.candidateCount;
  return level < walk.cardinality && !quiet;
}

// Takes away the mark added at the level below and moves on to its next
// candidate.
void StepBack(Walk& walk) {
  const int32_t level = --walk.searchLevel;
  if (level < 0) return;
  EnumerationLevel& entry = walk.enumerationStack[level];
  walk.marks = WithoutSlot(walk.marks, walk.candidateTable[level][entry.choice]);
  ++entry.choice;
}

void WriteProgressLine(Walk& walk, const EnumerationLevel& entry) {
  FlushLogLines(walk.log, walk.memoryLines);
  if (walk.counters) walk.counters->branch.store(entry.choice, std::memory_order_relaxed);
  WriteLogLine(walk.log, std::string(log_lines::kProgressPrefix) + std::to_string(entry.choice - 1) +
                             std::string(log_lines::kProgressOf) + std::to_string(entry.limit));
}

}  // namespace

BestList RunSearch(const RunParameters& params, Evaluator& evaluator, const RunLog& log, WalkCounters* counters,
                   const std::atomic<int>* stop) {
  auto walkState = std::make_unique<Walk>(params, evaluator, log);
  Walk& walk = *walkState;
  walk.counters = counters;
  walk.cardinality = std::min(params.cardinality, kMaxCardinality);
  for (int level = 0; level < kLevelCount; ++level) walk.enumerationStack[level] = {0, kLevelLimits[level]};
  // Until a level's scenario is evaluated its limit is the fixed one; then it
  // is the number of candidates its row holds.
  PrepareMemory(walk.memory, params);
  walk.bestList.assign(kBestListLength, BestListEntry{ScenarioKey{}, params.initialPenalty, 0});

  auto& stack = walk.enumerationStack;
  while (walk.searchLevel > 0 || (walk.searchLevel == 0 && stack[0].choice <= stack[0].limit)) {
    if (stop && stop->load(std::memory_order_relaxed) != 0) break;
    const int32_t level = walk.searchLevel;
    EnumerationLevel& entry = stack[level];
    if (entry.choice == 0) {
      if (EvaluateMarkedScenario(walk))
        entry.choice = 1;
      else
        StepBack(walk);
      continue;
    }
    if (entry.choice > entry.limit) {
      StepBack(walk);
      continue;
    }
    if (level == 0) WriteProgressLine(walk, entry);
    walk.marks = WithSlot(walk.marks, walk.candidateTable[level][entry.choice]);
    stack[++walk.searchLevel].choice = 0;
  }
  FlushLogLines(walk.log, walk.memoryLines);
  return std::move(walk.bestList);
}

}  // namespace dorvu
