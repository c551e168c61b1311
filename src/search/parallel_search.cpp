#include "search/parallel_search.h"

#include <algorithm>
#include <array>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <system_error>
#include <thread>
#include <unordered_set>
#include <utility>
#include <vector>

#include "search/fast_evaluation.h"

namespace dorvu {

namespace {

// ---------------------------------------------------------------------------
// Scenarios as values.

// A set of marked slots, one bit per slot.
struct MarkSet {
  std::array<uint64_t, 3> bits{};
  bool operator==(const MarkSet&) const = default;
};

struct MarkSetHash {
  std::size_t operator()(const MarkSet& set) const {
    uint64_t h = 0x9e3779b97f4a7c15ull;
    for (const uint64_t word : set.bits) h = (h ^ word) * 0xff51afd7ed558ccdull;
    return static_cast<std::size_t>(h ^ (h >> 32));
  }
};

MarkSet WithSlot(MarkSet set, int32_t slot) {
  set.bits[slot / 64] |= uint64_t{1} << (slot % 64);
  return set;
}

// The slots whose mark is 1, as BuildKey takes them.
MarkSet SetOfMarks(const MarkTable& Mark) {
  MarkSet set;
  for (int s = 0; s < SlotCount; ++s)
    if (Mark[s] == 1) set = WithSlot(set, s);
  return set;
}

MarkTable MarksOfSet(const MarkSet& set) {
  MarkTable Mark{};
  for (int s = 0; s < SlotCount; ++s) Mark[s] = static_cast<int32_t>((set.bits[s / 64] >> (s % 64)) & 1);
  return Mark;
}

// Where a scenario stands in the walk: the candidate position taken at each
// level above it. The walk visits scenarios in the order of these paths, a
// path before every path it begins.
struct WalkPath {
  std::array<uint8_t, LevelCount> choice{};
  int32_t length = 0;
};

bool Precedes(const WalkPath& a, const WalkPath& b) {
  const int32_t common = std::min(a.length, b.length);
  for (int32_t i = 0; i < common; ++i)
    if (a.choice[i] != b.choice[i]) return a.choice[i] < b.choice[i];
  return a.length < b.length;
}

WalkPath Deeper(WalkPath path, int32_t position) {
  path.choice[path.length++] = static_cast<uint8_t>(position);
  return path;
}

// The path of the scenario now marked: the choice of every level below.
WalkPath CurrentPath(const SearchState& state, int32_t level) {
  WalkPath path;
  for (int32_t l = 0; l < level; ++l) path = Deeper(path, state.EnumerationStack[l].choice);
  return path;
}

// What the walk takes from one evaluation.
struct ScenarioResult {
  double penalty = 0.0;
  double freeDistance = 0.0;
  int32_t candidateCount = 0;
  std::array<int32_t, CandidatePositions + 1> candidates{};  // positions 1 to candidateCount
};

// Evaluates one scenario with the fast kernel and takes its candidate row as
// FillCandidateRow does: the unmarked non-root vertices of the sorted
// distance table, in its order, up to the level's limit.
ScenarioResult EvaluateScenario(const FastTree& fast, const MarkTable& Mark, int32_t limit, FastWork& work,
                                ScenarioScore& score) {
  FastEvaluateScenario(fast, Mark, work, score);
  ScenarioResult result;
  result.penalty = score.scenarioPenalty;
  result.freeDistance = score.freeDistance;
  for (int i = 1; i < SlotCount && result.candidateCount < limit; ++i) {
    const int32_t slot = score.DistanceTable[i].slot;
    if (slot > 0 && Mark[slot] == 0) result.candidates[++result.candidateCount] = slot;
  }
  return result;
}

// The fixed facts of one search that decide which scenarios are extended.
struct SearchRule {
  int32_t cardinality = 0;
  double noiseLevel = 0.0;
  std::array<int32_t, LevelCount> limits{};
};

bool IsExtended(const SearchRule& rule, int32_t level, double penalty) {
  return level < rule.cardinality && !ReachesNoiseFloor(rule.noiseLevel, penalty) && level + 1 < LevelCount;
}

// ---------------------------------------------------------------------------
// One thread: every scenario evaluated when the walk reaches it.

struct InlineEvaluator {
  const FastTree& fast;
  SearchRule rule;
  std::unique_ptr<FastWork> work = std::make_unique<FastWork>();
  std::unique_ptr<ScenarioScore> score = std::make_unique<ScenarioScore>();

  template <typename Action>
  void WithMemory(Action action) {
    action();
  }
  void Remembered(const MarkTable&) {}
  ScenarioResult Result(const MarkTable& Mark, int32_t level, const WalkPath&) {
    return EvaluateScenario(fast, Mark, rule.limits[level], *work, *score);
  }
};

// ---------------------------------------------------------------------------
// Several threads: workers evaluate scenarios ahead of the walk.
//
// Each scenario the walk may reach next gets a record, keyed by its set of
// marks: the same set reached along two orders is one evaluation. Workers
// take the queued record that comes first in the walk's order; on finishing
// one that the walk will extend, they queue its candidates' scenarios, the
// walk's next steps. The walk takes each result from its record (waiting if
// need be) and frees it. Records the walk has passed are freed, and
// speculation stops at a fixed number of records, so memory stays bounded.
// Sets the walk has stored in its memory are not queued again: it will skip
// them.

enum class RecordState : uint8_t { Free, Queued, Running, Done };

struct Record {
  RecordState state = RecordState::Free;
  bool abandoned = false;  // passed by the walk while running: freed when done
  MarkSet set;
  int32_t level = 0;
  WalkPath path;  // the earliest place in the walk known to reach it
  ScenarioResult result;
};

struct Speculation {
  Speculation(const FastTree& fastTree, const SearchRule& searchRule) : fast(fastTree), rule(searchRule) {}

  const FastTree& fast;
  SearchRule rule;
  int32_t speculationLimit = 0;  // records that workers may fill; the rest is the walk's
  std::vector<Record> records;
  std::unordered_set<MarkSet, MarkSetHash> stored;  // sets in the walk's memory
  std::mutex mutex;
  std::condition_variable workQueued;   // a record was queued, or the search ends
  std::condition_variable resultReady;  // the record the walk waits for is done
  int32_t queued = 0;
  int32_t inUse = 0;
  int32_t awaited = -1;  // record the walk waits for
  bool ending = false;
  std::vector<std::thread> workers;
  std::unique_ptr<FastWork> walkWork = std::make_unique<FastWork>();  // for the rare evaluation on the walk's thread
  std::unique_ptr<ScenarioScore> walkScore = std::make_unique<ScenarioScore>();
};

int32_t FindRecord(const Speculation& ahead, const MarkSet& set) {
  for (int32_t r = 0; r < static_cast<int32_t>(ahead.records.size()); ++r)
    if (ahead.records[r].state != RecordState::Free && ahead.records[r].set == set) return r;
  return -1;
}

void FreeRecord(Speculation& ahead, int32_t r) {
  if (ahead.records[r].state == RecordState::Queued) --ahead.queued;
  ahead.records[r].state = RecordState::Free;
  ahead.records[r].abandoned = false;
  --ahead.inUse;
}

// The queued record that comes first (or, with `last`, last) in the walk's
// order.
int32_t FirstQueued(const Speculation& ahead, bool last) {
  int32_t found = -1;
  for (int32_t r = 0; r < static_cast<int32_t>(ahead.records.size()); ++r) {
    if (ahead.records[r].state != RecordState::Queued) continue;
    if (found < 0) {
      found = r;
      continue;
    }
    const WalkPath& here = ahead.records[r].path;
    const WalkPath& best = ahead.records[found].path;
    if (last ? Precedes(best, here) : Precedes(here, best)) found = r;
  }
  return found;
}

int32_t FreeSlot(const Speculation& ahead) {
  for (int32_t r = 0; r < static_cast<int32_t>(ahead.records.size()); ++r)
    if (ahead.records[r].state == RecordState::Free) return r;
  return -1;
}

// Takes a free record for a set and queues it.
int32_t QueueRecord(Speculation& ahead, const MarkSet& set, int32_t level, const WalkPath& path) {
  const int32_t r = FreeSlot(ahead);
  if (r < 0) return -1;
  Record& record = ahead.records[r];
  record.state = RecordState::Queued;
  record.abandoned = false;
  record.set = set;
  record.level = level;
  record.path = path;
  ++ahead.queued;
  ++ahead.inUse;
  ahead.workQueued.notify_one();
  return r;
}

// Queues the evaluation of a scenario the walk may reach, unless the walk
// will skip it (its set is stored) or it is known already (then only its
// place in the walk's order may move forward). When the records allotted to
// guesses are taken, the guess that comes last in the walk's order yields to
// an earlier one.
void Offer(Speculation& ahead, const MarkSet& set, int32_t level, const WalkPath& path, bool guess) {
  if (ahead.stored.contains(set)) return;
  if (const int32_t r = FindRecord(ahead, set); r >= 0) {
    if (Precedes(path, ahead.records[r].path)) ahead.records[r].path = path;
    return;
  }
  if (guess && ahead.inUse >= ahead.speculationLimit) {
    const int32_t latest = FirstQueued(ahead, true);
    if (latest < 0 || !Precedes(path, ahead.records[latest].path)) return;
    FreeRecord(ahead, latest);
  }
  QueueRecord(ahead, set, level, path);
}

// Queues the scenarios that extend an evaluated one, in candidate order.
void OfferExtensions(Speculation& ahead, const MarkSet& set, int32_t level, const WalkPath& path,
                     const ScenarioResult& result, bool guess) {
  if (!IsExtended(ahead.rule, level, result.penalty)) return;
  for (int32_t k = 1; k <= result.candidateCount; ++k)
    Offer(ahead, WithSlot(set, result.candidates[k]), level + 1, Deeper(path, k), guess);
}

// Frees the records of places the walk has passed; a running one is freed
// when its worker is done, unless the walk asks for it again.
void FreePassed(Speculation& ahead, const WalkPath& walkAt) {
  for (int32_t r = 0; r < static_cast<int32_t>(ahead.records.size()); ++r) {
    Record& record = ahead.records[r];
    if (record.state == RecordState::Free || !Precedes(record.path, walkAt)) continue;
    if (record.state == RecordState::Running)
      record.abandoned = true;
    else
      FreeRecord(ahead, r);
  }
}

void WorkerLoop(Speculation& ahead) {
  auto work = std::make_unique<FastWork>();
  auto score = std::make_unique<ScenarioScore>();
  std::unique_lock lock(ahead.mutex);
  for (;;) {
    ahead.workQueued.wait(lock, [&] { return ahead.ending || ahead.queued > 0; });
    if (ahead.ending) return;
    const int32_t r = FirstQueued(ahead, false);
    Record& record = ahead.records[r];
    record.state = RecordState::Running;
    --ahead.queued;
    const MarkSet set = record.set;
    const int32_t level = record.level;
    lock.unlock();
    const ScenarioResult result = EvaluateScenario(ahead.fast, MarksOfSet(set), ahead.rule.limits[level], *work, *score);
    lock.lock();
    if (record.abandoned) {
      FreeRecord(ahead, r);
      continue;
    }
    record.result = result;
    record.state = RecordState::Done;
    if (ahead.awaited == r) ahead.resultReady.notify_one();
    OfferExtensions(ahead, set, level, record.path, result, true);
  }
}

// The guard of the worker threads: they end with it, also when the walk
// ends by an error.
struct SpeculativeEvaluator {
  std::unique_ptr<Speculation> ahead;

  SpeculativeEvaluator(const FastTree& fast, const SearchRule& rule, int32_t threads)
      : ahead(std::make_unique<Speculation>(fast, rule)) {
    // Enough guesses to keep every worker busy a few scenarios ahead (the
    // records are searched one by one, so not too many), plus room for the
    // walk's own requests (its scenario and, for each level of its path, one
    // row of candidates) and for abandoned records still running.
    ahead->speculationLimit = std::min(32 + 16 * threads, 256);
    int32_t walkRows = 0;
    for (const int32_t limit : rule.limits) walkRows += limit;
    ahead->records.resize(static_cast<std::size_t>(ahead->speculationLimit + walkRows + threads + 1));
    ahead->workers.reserve(static_cast<std::size_t>(threads));
    try {
      for (int32_t t = 0; t < threads; ++t) ahead->workers.emplace_back(WorkerLoop, std::ref(*ahead));
    } catch (const std::system_error&) {
      // The system gives no more threads: search with those started.
    }
  }
  SpeculativeEvaluator(const SpeculativeEvaluator&) = delete;
  SpeculativeEvaluator& operator=(const SpeculativeEvaluator&) = delete;
  ~SpeculativeEvaluator() {
    {
      std::lock_guard lock(ahead->mutex);
      ahead->ending = true;
    }
    ahead->workQueued.notify_all();
    for (std::thread& worker : ahead->workers) worker.join();
  }

  // The walk's memory is read by the workers (through `stored`) under the
  // same lock.
  template <typename Action>
  void WithMemory(Action action) {
    std::lock_guard lock(ahead->mutex);
    action();
  }

  // Called under WithMemory's lock when RememberKey has stored the key.
  void Remembered(const MarkTable& Mark) { ahead->stored.insert(SetOfMarks(Mark)); }

  ScenarioResult Result(const MarkTable& Mark, int32_t level, const WalkPath& path) {
    const MarkSet set = SetOfMarks(Mark);
    std::unique_lock lock(ahead->mutex);
    int32_t r = FindRecord(*ahead, set);
    if (r >= 0) {
      ahead->records[r].path = path;
      ahead->records[r].abandoned = false;
    }
    FreePassed(*ahead, path);
    if (r < 0) r = QueueRecord(*ahead, set, level, path);
    ScenarioResult result;
    if (r < 0) {
      // No free record (not expected with the records set aside for the
      // walk): evaluate here.
      lock.unlock();
      result = EvaluateScenario(ahead->fast, Mark, ahead->rule.limits[level], *ahead->walkWork, *ahead->walkScore);
      lock.lock();
    } else {
      ahead->awaited = r;
      ahead->resultReady.wait(lock, [&] { return ahead->records[r].state == RecordState::Done; });
      ahead->awaited = -1;
      result = ahead->records[r].result;
      FreeRecord(*ahead, r);
    }
    OfferExtensions(*ahead, set, level, path, result, false);
    return result;
  }
};

// ---------------------------------------------------------------------------
// The walk, step for step as RunSearch.

// Evaluates the scenario now marked unless it was reached before; returns
// true when it is to be extended.
template <typename Evaluator>
bool EvaluateMarkedScenario(SearchState& state, RunParameters& params, const RunLog& log, Evaluator& evaluator) {
  const int32_t level = params.searchLevel;
  params.currentKey = BuildKey(state.Mark);
  bool found = false;
  evaluator.WithMemory([&] {
    found = LookUpKey(state.memory, params.currentKey, params, log);
    if (found) return;
    const int32_t keysHeld = state.memory.mainCount + state.memory.addCount;
    RememberKey(state.memory, params.currentKey, params, log);
    if (state.memory.mainCount + state.memory.addCount > keysHeld) evaluator.Remembered(state.Mark);
  });
  if (found) return false;

  const ScenarioResult result = evaluator.Result(state.Mark, level, CurrentPath(state, level));
  state.score.scenarioPenalty = result.penalty;
  state.score.freeDistance = result.freeDistance;
  const bool quiet = ReachesNoiseFloor(params.noiseLevel, result.penalty);
  if (level == params.cardinality || quiet) OfferToBestList(state.bestList, params.currentKey, state.score, level);
  auto& row = state.CandidateTable[level];
  for (int32_t k = 1; k <= result.candidateCount; ++k) row[k] = result.candidates[k];
  return level < params.cardinality && !quiet;
}

template <typename Evaluator>
void Walk(SearchState& state, RunParameters& params, const RunLog& log, Evaluator& evaluator) {
  auto& stack = state.EnumerationStack;
  params.searchLevel = 0;
  stack[0].choice = 0;
  state.memory.mainCount = 0;
  state.memory.addCount = 0;

  while (params.searchLevel > 0 || (params.searchLevel == 0 && stack[0].choice <= stack[0].limit)) {
    const int32_t level = params.searchLevel;
    EnumerationLevel& entry = stack[level];
    if (entry.choice == 0) {
      if (EvaluateMarkedScenario(state, params, log, evaluator))
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

}  // namespace

void RunFastSearch(SearchState& state, RunParameters& params, const Tree& tree, const RunLog& log,
                   int32_t threads) {
  auto fast = std::make_unique<FastTree>();
  PrepareFastTree(params, tree, *fast);
  SearchRule rule{params.cardinality, params.noiseLevel, {}};
  for (int32_t level = 0; level < LevelCount; ++level) rule.limits[level] = state.EnumerationStack[level].limit;
  if (threads <= 1) {
    InlineEvaluator evaluator{*fast, rule};
    Walk(state, params, log, evaluator);
  } else {
    SpeculativeEvaluator evaluator(*fast, rule, threads);
    if (!evaluator.ahead->workers.empty()) {
      Walk(state, params, log, evaluator);
      return;
    }
    InlineEvaluator inlineEvaluator{*fast, rule};
    Walk(state, params, log, inlineEvaluator);
  }
}

}  // namespace dorvu
