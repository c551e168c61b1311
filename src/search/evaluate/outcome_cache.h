// The outcomes of evaluated scenarios, by their marks. The walk reaches the
// same set of marks again and again once its memory stores are full; an
// outcome depends only on the leaves and the marks, so a repeated set costs
// a lookup here instead of an evaluation, and the log stays the same.
#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "search/evaluate/evaluator.h"

namespace dorvu {

// One open-addressing table (linear probing) of fixed-size entries, 40 bytes
// each. It starts small and doubles whenever it is half full, as long as the
// doubled table stays within the byte limit; once it cannot double it fills
// up to three quarters and then takes no more entries (outcomes not held are
// evaluated each time, as without a cache). Safe to use from several threads.
class OutcomeCache {
 public:
  explicit OutcomeCache(std::size_t limitBytes);

  bool Find(const ScenarioKey& marks, ScenarioOutcome& outcome) const;
  bool Contains(const ScenarioKey& marks) const;
  void Insert(const ScenarioKey& marks, const ScenarioOutcome& outcome);

  int64_t Size() const { return size_.load(std::memory_order_relaxed); }
  std::size_t Bytes() const;

  struct Entry {
    ScenarioKey marks;  // count 0: an empty slot
    double penalty = 0.0;
    int32_t candidateCount = 0;
    std::array<int32_t, kMaxCandidates> candidates{};
  };

 private:
  std::size_t SlotOf(const ScenarioKey& marks) const;
  void Grow();

  mutable std::mutex mutex_;
  std::vector<Entry> table_;  // a power of two of slots
  std::size_t maxSlots_ = 0;  // the largest table within the limit
  std::atomic<int64_t> size_{0};
};

// Answers from the cache where it can, and from `inner` (storing the answer)
// where it cannot.
std::unique_ptr<Evaluator> MakeCachingEvaluator(std::unique_ptr<Evaluator> inner, OutcomeCache& cache);

}  // namespace dorvu
