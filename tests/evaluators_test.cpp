// Every evaluator against the plain one: whole logs and best lists the same
// for every number of threads and outcome cache; and the outcome cache itself.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <random>
#include <set>
#include <string>

#include "log/io_error.h"
#include "run/driver.h"
#include "search/evaluate/outcome_cache.h"
#include "search/walk.h"
#include "support/inputs.h"
#include "support/search_runs.h"

namespace dorvu {
namespace {

using test::DirectSearch;
using test::LeafInput;
using test::Planted;
using test::ReadFile;
using test::ScratchDir;
using test::WriteFile;

constexpr int32_t kThreadCounts[] = {1, 2, 3, 8};

BaseValues PureBase(int k) {
  const int base = k <= 16 ? 1 : (k * 7 + k / 5) % 4;
  return {base == 0 ? 1.0 : 0.0, base == 1 ? 1.0 : 0.0, base == 2 ? 1.0 : 0.0, base == 3 ? 1.0 : 0.0};
}

// Runs the whole program on an input with the plain search, then with the
// fast search at every thread count, and compares the logs byte for byte.
void ExpectSameLogs(const std::string& input) {
  ScratchDir dir;
  WriteFile(dir / "input.txt", input);
  RunSetup setup;
  setup.inputPath = (dir / "input.txt").string();
  setup.settings.seed = 2024;
  setup.quiet = true;
  setup.logPath = (dir / "plain.log").string();
  setup.evaluator = EvaluatorKind::kPlain;
  RunDorvu(setup);
  const std::string plain = ReadFile(dir / "plain.log");
  ASSERT_NE(plain.find("the best scenario:"), std::string::npos);
  setup.evaluator.reset();
  for (const int32_t threads : kThreadCounts) {
    setup.settings.threads = threads;
    setup.logPath = (dir / "fast.log").string();
    RunDorvu(setup);
    EXPECT_EQ(ReadFile(dir / "fast.log"), plain) << threads << " threads";
  }
}

TEST(EvaluatorsLog, ShippedExample) { ExpectSameLogs(test::ExampleInput()); }

TEST(EvaluatorsLog, NoisyPlantedShifts) { ExpectSameLogs(LeafInput("4", "0.1", Planted)); }

TEST(EvaluatorsLog, PureBaseLeavesWithoutNoise) { ExpectSameLogs(LeafInput("3", "0", PureBase)); }

TEST(EvaluatorsLog, RootOnlyAndNoScenarioAtAll) {
  ExpectSameLogs(LeafInput("0", "0", Planted));
  ExpectSameLogs(LeafInput("-2", "0", Planted));
}

// Runs the plain search, checks what its log must (and must not) hold, then
// compares the fast and the speculative search at every thread count with
// it, without a cache, with one large enough for the run and with one that
// fills up. Returns the number of scenarios the plain search evaluated.
std::size_t ExpectSameDirectSearch(int32_t storeExponent, int32_t cardinality, double noiseLevel,
                                   const std::function<BaseValues(int)>& leaf, const std::string& present,
                                   const std::string& absent) {
  DirectSearch plain(storeExponent, cardinality, noiseLevel, leaf, EvaluatorKind::kPlain);
  plain.Run();
  EXPECT_NE(plain.Log().find(present), std::string::npos);
  EXPECT_EQ(plain.Log().find(absent), std::string::npos);
  for (const int32_t threads : kThreadCounts)
    for (const std::size_t cacheBytes : {std::size_t{0}, kDefaultCacheBytes, 64 * sizeof(OutcomeCache::Entry)}) {
      const std::string what = std::to_string(threads) + " threads, cache of " + std::to_string(cacheBytes) + " bytes";
      DirectSearch other(storeExponent, cardinality, noiseLevel, leaf,
                         threads == 1 ? EvaluatorKind::kFast : EvaluatorKind::kSpeculative, threads, cacheBytes);
      other.Run();
      EXPECT_EQ(other.Log(), plain.Log()) << what;
      EXPECT_EQ(other.evaluator->evaluated, plain.evaluator->evaluated) << what;
      EXPECT_EQ(other.best.size(), plain.best.size());
      for (std::size_t i = 0; i < std::min(plain.best.size(), other.best.size()); ++i) {
        EXPECT_EQ(other.best[i].key, plain.best[i].key);
        EXPECT_EQ(other.best[i].penalty, plain.best[i].penalty);
        EXPECT_EQ(other.best[i].level, plain.best[i].level);
      }
    }
  return plain.evaluator->evaluated.size();
}

TEST(EvaluatorsDirect, MainStoreFull) {
  // 4 keys per store: the main store fills, the add store takes the rest.
  ExpectSameDirectSearch(2, 1, 0.0, Planted, "I want more main memory!", "I want more add memory!");
}

TEST(EvaluatorsDirect, BothStoresFullSetsAreEvaluatedAgain) {
  // 8 keys per store: keys go unremembered and repeated sets are evaluated
  // again, with their whole subtrees.
  ExpectSameDirectSearch(3, 3, 0.0, PureBase, "I want more main memory!\nI want more add memory!", "sorry");
}

TEST(EvaluatorsDirect, QuietScenariosAmongExtendedOnes) {
  // Penalties at most 100 x 0.2 end some branches at level 2; their siblings
  // go on to the full cardinality.
  const std::size_t evaluated = ExpectSameDirectSearch(15, 3, 0.2, Planted, "done 5 of 6", "memory");
  DirectSearch withoutNoise(15, 3, 0.0, Planted, EvaluatorKind::kFast);
  withoutNoise.Run();
  EXPECT_LT(evaluated, withoutNoise.evaluator->evaluated.size());
}

TEST(OutcomeCache, RepeatedSetsCostALookupAndTheWholeRunIsTheSame) {
  // Stores of 8 keys: the walk reaches the same sets again and again.
  DirectSearch plain(3, 3, 0.0, PureBase, EvaluatorKind::kPlain);
  plain.Run();
  const test::LogFile file;
  OutcomeCache cache(kDefaultCacheBytes);
  auto inner =
      std::make_unique<test::CountingEvaluator>(MakeEvaluator(EvaluatorKind::kFast, plain.params, plain.tree, 1));
  test::CountingEvaluator& evaluated = *inner;
  const auto caching = MakeCachingEvaluator(std::move(inner), cache);
  const BestList best = RunSearch(plain.params, *caching, file.log);
  EXPECT_EQ(file.Text(), plain.Log());
  EXPECT_EQ(best[0].key, plain.best[0].key);
  const std::set<ScenarioKey> distinct(plain.evaluator->evaluated.begin(), plain.evaluator->evaluated.end());
  EXPECT_LT(distinct.size(), plain.evaluator->evaluated.size() / 2);
  EXPECT_EQ(evaluated.evaluated.size(), distinct.size());
  EXPECT_EQ(cache.Size(), static_cast<int64_t>(distinct.size()));
}

// Deep sets share their first slots: the whole key tells them apart, also in
// a table small enough that they meet in one probe sequence.
TEST(OutcomeCache, KeysThatDifferOnlyInTheirLastSlotKeepTheirOwnOutcomes) {
  OutcomeCache cache(64 * sizeof(OutcomeCache::Entry));
  const ScenarioKey common = test::KeyOf({3, 9, 20, 41, 57, 80, 101, 120, 150});
  std::vector<ScenarioKey> keys;
  for (int last = 160; last < 176; ++last) keys.push_back(WithSlot(common, last));
  for (std::size_t k = 0; k < keys.size(); ++k) {
    ScenarioOutcome outcome;
    outcome.penalty = 10.0 + static_cast<double>(k);
    outcome.candidateCount = 1;
    outcome.candidates[0] = static_cast<uint8_t>(k);
    cache.Insert(keys[k], outcome);
  }
  ASSERT_EQ(cache.Size(), static_cast<int64_t>(keys.size()));
  for (std::size_t k = 0; k < keys.size(); ++k) {
    ScenarioOutcome found;
    ASSERT_TRUE(cache.Find(keys[k], found)) << k;
    EXPECT_EQ(found.penalty, 10.0 + static_cast<double>(k));
    EXPECT_EQ(found.candidates[0], k);
  }
  EXPECT_FALSE(cache.Contains(common));
}

TEST(OutcomeCache, StaysWithinItsBoundAndKeepsWhatItHolds) {
  std::mt19937 gen(77);
  for (const std::size_t limit : {std::size_t{0}, 40 * sizeof(OutcomeCache::Entry), std::size_t{1} << 20}) {
    OutcomeCache cache(limit);
    std::vector<std::pair<ScenarioKey, ScenarioOutcome>> held;
    for (int n = 0; n < 40000; ++n) {
      ScenarioKey key = test::KeyOf({});
      for (int m = 0; m < 4; ++m) {
        const int slot = 1 + static_cast<int>(gen() % (kSlotCount - 1));
        if (std::find(key.slot.begin() + 1, key.slot.begin() + key.count, slot) == key.slot.begin() + key.count)
          key = WithSlot(key, slot);
      }
      ScenarioOutcome outcome;
      outcome.penalty = n * 0.5;
      outcome.candidateCount = n % 7;
      outcome.candidates[0] = static_cast<uint8_t>(n % 190);
      const int64_t before = cache.Size();
      if (cache.Contains(key)) continue;
      cache.Insert(key, outcome);
      if (cache.Size() > before) held.emplace_back(key, outcome);
    }
    EXPECT_LE(cache.Bytes(), limit) << limit;
    EXPECT_EQ(cache.Size(), static_cast<int64_t>(held.size()));
    if (limit < (std::size_t{1} << 20)) {
      EXPECT_LT(held.size(), 40u) << "a full cache takes no more";
    }
    for (const auto& [key, outcome] : held) {
      ScenarioOutcome found;
      ASSERT_TRUE(cache.Find(key, found));
      EXPECT_EQ(found.penalty, outcome.penalty);
      EXPECT_EQ(found.candidateCount, outcome.candidateCount);
      EXPECT_EQ(found.candidates, outcome.candidates);
    }
  }
}

TEST(EvaluatorsDirect, AFailedLogWriteEndsTheSearchAndItsThreads) {
  // The log file is gone: the first progress line fails, the error leaves
  // the search and the worker threads end with it.
  DirectSearch search(15, 2, 0.0, Planted, EvaluatorKind::kSpeculative, 3);
  std::filesystem::remove(search.file.log.path);
  EXPECT_THROW(search.Run(), IoError);
}

}  // namespace
}  // namespace dorvu
