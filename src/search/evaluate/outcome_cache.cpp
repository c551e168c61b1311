#include "search/evaluate/outcome_cache.h"

#include <bit>

namespace dorvu {

namespace {

constexpr std::size_t kFirstSlots = 4096;

class CachingEvaluator final : public Evaluator {
 public:
  CachingEvaluator(std::unique_ptr<Evaluator> inner, OutcomeCache& cache) : inner_(std::move(inner)), cache_(cache) {}

  ScenarioOutcome Evaluate(const ScenarioKey& marks, const WalkPath& path) override {
    ScenarioOutcome outcome;
    if (cache_.Find(marks, outcome)) return outcome;
    outcome = inner_->Evaluate(marks, path);
    cache_.Insert(marks, outcome);
    return outcome;
  }
  void Remembered(const ScenarioKey& marks) override { inner_->Remembered(marks); }
  void Values(const ScenarioKey& marks, ValueTable& values) override { inner_->Values(marks, values); }

 private:
  std::unique_ptr<Evaluator> inner_;
  OutcomeCache& cache_;
};

}  // namespace

OutcomeCache::OutcomeCache(std::size_t limitBytes) {
  const std::size_t fitting = limitBytes / sizeof(Entry);
  maxSlots_ = fitting < 2 ? 0 : std::bit_floor(fitting);
  table_.resize(std::min(kFirstSlots, maxSlots_));
}

std::size_t OutcomeCache::Bytes() const {
  std::lock_guard lock(mutex_);
  return table_.size() * sizeof(Entry);
}

// The slot that holds the marks, or the empty slot where they would go.
std::size_t OutcomeCache::SlotOf(const ScenarioKey& marks) const {
  const std::size_t mask = table_.size() - 1;
  std::size_t slot = ScenarioKeyHash{}(marks)&mask;
  while (table_[slot].marks.count != 0 && !(table_[slot].marks == marks)) slot = (slot + 1) & mask;
  return slot;
}

bool OutcomeCache::Find(const ScenarioKey& marks, ScenarioOutcome& outcome) const {
  std::lock_guard lock(mutex_);
  if (table_.empty()) return false;
  const Entry& entry = table_[SlotOf(marks)];
  if (entry.marks.count == 0) return false;
  outcome.penalty = entry.penalty;
  outcome.candidateCount = entry.candidateCount;
  outcome.candidates = entry.candidates;
  return true;
}

bool OutcomeCache::Contains(const ScenarioKey& marks) const {
  std::lock_guard lock(mutex_);
  return !table_.empty() && table_[SlotOf(marks)].marks.count != 0;
}

void OutcomeCache::Insert(const ScenarioKey& marks, const ScenarioOutcome& outcome) {
  std::lock_guard lock(mutex_);
  if (table_.empty()) return;
  const auto held = static_cast<std::size_t>(size_.load(std::memory_order_relaxed));
  if (2 * (held + 1) > table_.size() && table_.size() < maxSlots_) Grow();
  if (4 * (held + 1) > 3 * table_.size()) return;  // full
  Entry& entry = table_[SlotOf(marks)];
  if (entry.marks.count != 0) return;  // held already
  entry = Entry{marks, outcome.penalty, outcome.candidateCount, outcome.candidates};
  size_.fetch_add(1, std::memory_order_relaxed);
}

void OutcomeCache::Grow() {
  std::vector<Entry> old(table_.size() * 2);
  old.swap(table_);
  for (const Entry& entry : old)
    if (entry.marks.count != 0) table_[SlotOf(entry.marks)] = entry;
}

std::unique_ptr<Evaluator> MakeCachingEvaluator(std::unique_ptr<Evaluator> inner, OutcomeCache& cache) {
  return std::make_unique<CachingEvaluator>(std::move(inner), cache);
}

}  // namespace dorvu
