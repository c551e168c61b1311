#include "search/evaluate/speculative_evaluator.h"

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <system_error>
#include <thread>
#include <unordered_set>
#include <utility>

#include "search/evaluate/outcome_cache.h"

namespace dorvu {

namespace {

// Workers take the queued record that comes first in the walk's order; on
// finishing one that the walk will extend, they queue its candidates'
// scenarios, the walk's next steps. The walk takes each result from its
// record (waiting if need be) and frees it. Records the walk has passed are
// freed, and speculation stops at a fixed number of records, so memory stays
// bounded. Sets the walk has stored in its memory are not queued again: it
// will skip them.

enum class RecordState : uint8_t { kFree, kQueued, kRunning, kDone };

struct Record {
  RecordState state = RecordState::kFree;
  bool abandoned = false;  // passed by the walk while running: freed when done
  ScenarioKey marks;
  WalkPath path;  // the earliest place in the walk known to reach it
  ScenarioOutcome outcome;
};

WalkPath Deeper(WalkPath path, int32_t position) {
  path.choice[path.length++] = static_cast<uint8_t>(position);
  return path;
}

class SpeculativeEvaluator final : public Evaluator {
 public:
  SpeculativeEvaluator(const RunParameters& params, std::vector<std::unique_ptr<Evaluator>> evaluators,
                       const OutcomeCache* cache);
  SpeculativeEvaluator(const SpeculativeEvaluator&) = delete;
  SpeculativeEvaluator& operator=(const SpeculativeEvaluator&) = delete;
  ~SpeculativeEvaluator() override;

  ScenarioOutcome Evaluate(const ScenarioKey& marks, const WalkPath& path) override;
  void Remembered(const ScenarioKey& marks) override;
  void Values(const ScenarioKey& marks, ValueTable& values) override { evaluators_[0]->Values(marks, values); }

 private:
  bool IsExtended(const ScenarioKey& marks, double penalty) const;
  int32_t FindRecord(const ScenarioKey& marks) const;
  int32_t FreeSlot() const;
  // The queued record that the walk reaches first, or last.
  int32_t EarliestQueued() const { return QueuedAtEnd(false); }
  int32_t LatestQueued() const { return QueuedAtEnd(true); }
  int32_t QueuedAtEnd(bool latest) const;
  void FreeRecord(int32_t r);
  int32_t QueueRecord(const ScenarioKey& marks, const WalkPath& path);
  void Offer(const ScenarioKey& marks, const WalkPath& path, bool guess);
  void OfferExtensions(const ScenarioKey& marks, const WalkPath& path, const ScenarioOutcome& outcome, bool guess);
  void FreePassed(const WalkPath& walkAt);
  void WorkerLoop(Evaluator& evaluator);

  int32_t cardinality_;
  const RunParameters params_;                          // the noise level and the terminal factor
  std::vector<std::unique_ptr<Evaluator>> evaluators_;  // the walk's own, then one per worker
  const OutcomeCache* cache_;                           // outcomes the walk has at hand; may be null
  int32_t speculationLimit_ = 0;                        // records that workers may fill; the rest is the walk's
  std::vector<Record> records_;
  std::unordered_set<ScenarioKey, ScenarioKeyHash> stored_;  // sets in the walk's memory
  std::mutex mutex_;
  std::condition_variable workQueued_;   // a record was queued, or the search ends
  std::condition_variable resultReady_;  // the record the walk waits for is done
  int32_t queued_ = 0;
  int32_t inUse_ = 0;
  int32_t awaited_ = -1;  // record the walk waits for
  bool ending_ = false;
  std::vector<std::thread> workers_;
};

SpeculativeEvaluator::SpeculativeEvaluator(const RunParameters& params,
                                           std::vector<std::unique_ptr<Evaluator>> evaluators,
                                           const OutcomeCache* cache)
    : cardinality_(params.cardinality), params_(params), evaluators_(std::move(evaluators)), cache_(cache) {
  const auto threads = static_cast<int32_t>(evaluators_.size()) - 1;
  // Enough guesses to keep every worker busy a few scenarios ahead (the
  // records are searched one by one, so not too many), plus room for the
  // walk's own requests (its scenario and, for each level of its path, one
  // row of candidates) and for abandoned records still running.
  speculationLimit_ = std::min(32 + 16 * threads, 256);
  int32_t walkRows = 0;
  for (const int32_t limit : kLevelLimits) walkRows += limit;
  records_.resize(static_cast<std::size_t>(speculationLimit_ + walkRows + threads + 1));
  workers_.reserve(static_cast<std::size_t>(threads));
  try {
    for (int32_t t = 1; t <= threads; ++t)
      workers_.emplace_back(&SpeculativeEvaluator::WorkerLoop, this, std::ref(*evaluators_[t]));
  } catch (const std::system_error&) {
    // The system gives no more threads: search with those started.
  }
}

// The workers end with the evaluator, also when the walk ends by an error.
SpeculativeEvaluator::~SpeculativeEvaluator() {
  {
    std::lock_guard lock(mutex_);
    ending_ = true;
  }
  workQueued_.notify_all();
  for (std::thread& worker : workers_) worker.join();
}

bool SpeculativeEvaluator::IsExtended(const ScenarioKey& marks, double penalty) const {
  const int32_t level = marks.count - 1;
  return level < cardinality_ && !ReachesNoiseFloor(params_, penalty) && level + 1 < kLevelCount;
}

int32_t SpeculativeEvaluator::FindRecord(const ScenarioKey& marks) const {
  for (int32_t r = 0; r < static_cast<int32_t>(records_.size()); ++r)
    if (records_[r].state != RecordState::kFree && records_[r].marks == marks) return r;
  return -1;
}

int32_t SpeculativeEvaluator::FreeSlot() const {
  for (int32_t r = 0; r < static_cast<int32_t>(records_.size()); ++r)
    if (records_[r].state == RecordState::kFree) return r;
  return -1;
}

// The queued record that comes first (or, with `latest`, last) in the walk's
// order; -1 when none is queued.
int32_t SpeculativeEvaluator::QueuedAtEnd(bool latest) const {
  int32_t found = -1;
  for (int32_t r = 0; r < static_cast<int32_t>(records_.size()); ++r) {
    if (records_[r].state != RecordState::kQueued) continue;
    if (found < 0) {
      found = r;
      continue;
    }
    const WalkPath& here = records_[r].path;
    const WalkPath& best = records_[found].path;
    if (latest ? Precedes(best, here) : Precedes(here, best)) found = r;
  }
  return found;
}

void SpeculativeEvaluator::FreeRecord(int32_t r) {
  if (records_[r].state == RecordState::kQueued) --queued_;
  records_[r].state = RecordState::kFree;
  records_[r].abandoned = false;
  --inUse_;
}

// Takes a free record for a set and queues it.
int32_t SpeculativeEvaluator::QueueRecord(const ScenarioKey& marks, const WalkPath& path) {
  const int32_t r = FreeSlot();
  if (r < 0) return -1;
  Record& record = records_[r];
  record.state = RecordState::kQueued;
  record.abandoned = false;
  record.marks = marks;
  record.path = path;
  ++queued_;
  ++inUse_;
  workQueued_.notify_one();
  return r;
}

// Queues the evaluation of a scenario the walk may reach, unless the walk
// will skip it (its set is stored) or take it from the cache, or it is known
// already (then only its
// place in the walk's order may move forward). When the records allotted to
// guesses are taken, the guess that comes last in the walk's order yields to
// an earlier one.
void SpeculativeEvaluator::Offer(const ScenarioKey& marks, const WalkPath& path, bool guess) {
  if (stored_.contains(marks) || (cache_ != nullptr && cache_->Contains(marks))) return;
  if (const int32_t r = FindRecord(marks); r >= 0) {
    if (Precedes(path, records_[r].path)) records_[r].path = path;
    return;
  }
  if (guess && inUse_ >= speculationLimit_) {
    const int32_t latest = LatestQueued();
    if (latest < 0 || !Precedes(path, records_[latest].path)) return;
    FreeRecord(latest);
  }
  QueueRecord(marks, path);
}

// Queues the scenarios that extend an evaluated one, in candidate order.
void SpeculativeEvaluator::OfferExtensions(const ScenarioKey& marks, const WalkPath& path,
                                           const ScenarioOutcome& outcome, bool guess) {
  if (!IsExtended(marks, outcome.penalty)) return;
  for (int32_t k = 0; k < outcome.candidateCount; ++k)
    Offer(WithSlot(marks, outcome.candidates[k]), Deeper(path, k + 1), guess);
}

// Frees the records of places the walk has passed; a running one is freed
// when its worker is done, unless the walk asks for it again.
void SpeculativeEvaluator::FreePassed(const WalkPath& walkAt) {
  for (int32_t r = 0; r < static_cast<int32_t>(records_.size()); ++r) {
    Record& record = records_[r];
    if (record.state == RecordState::kFree || !Precedes(record.path, walkAt)) continue;
    if (record.state == RecordState::kRunning)
      record.abandoned = true;
    else
      FreeRecord(r);
  }
}

void SpeculativeEvaluator::WorkerLoop(Evaluator& evaluator) {
  std::unique_lock lock(mutex_);
  for (;;) {
    workQueued_.wait(lock, [&] { return ending_ || queued_ > 0; });
    if (ending_) return;
    const int32_t r = EarliestQueued();
    Record& record = records_[r];
    record.state = RecordState::kRunning;
    --queued_;
    const ScenarioKey marks = record.marks;
    const WalkPath path = record.path;
    lock.unlock();
    const ScenarioOutcome outcome = evaluator.Evaluate(marks, path);
    lock.lock();
    if (record.abandoned) {
      FreeRecord(r);
      continue;
    }
    record.outcome = outcome;
    record.state = RecordState::kDone;
    if (awaited_ == r) resultReady_.notify_one();
    OfferExtensions(marks, record.path, outcome, true);
  }
}

void SpeculativeEvaluator::Remembered(const ScenarioKey& marks) {
  std::lock_guard lock(mutex_);
  stored_.insert(marks);
}

ScenarioOutcome SpeculativeEvaluator::Evaluate(const ScenarioKey& marks, const WalkPath& path) {
  if (workers_.empty()) return evaluators_[0]->Evaluate(marks, path);
  std::unique_lock lock(mutex_);
  int32_t r = FindRecord(marks);
  if (r >= 0) {
    records_[r].path = path;
    records_[r].abandoned = false;
  }
  FreePassed(path);
  if (r < 0) r = QueueRecord(marks, path);
  ScenarioOutcome outcome;
  if (r < 0) {
    // No free record (not expected with the records set aside for the
    // walk): evaluate here.
    lock.unlock();
    outcome = evaluators_[0]->Evaluate(marks, path);
    lock.lock();
  } else {
    awaited_ = r;
    resultReady_.wait(lock, [&] { return records_[r].state == RecordState::kDone; });
    awaited_ = -1;
    outcome = records_[r].outcome;
    FreeRecord(r);
  }
  OfferExtensions(marks, path, outcome, false);
  return outcome;
}

}  // namespace

std::unique_ptr<Evaluator> MakeSpeculativeEvaluator(const RunParameters& params,
                                                    std::vector<std::unique_ptr<Evaluator>> evaluators,
                                                    const OutcomeCache* cache) {
  return std::make_unique<SpeculativeEvaluator>(params, std::move(evaluators), cache);
}

}  // namespace dorvu
