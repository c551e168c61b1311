#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <set>
#include <sstream>

#include "log/log_lines.h"
#include "search/scenario_memory.h"
#include "support/search_runs.h"

namespace dorvu {
namespace {

using test::KeyOf;
using test::MakeTree;
using test::SearchRun;

TEST(ScenarioKeys, OrderedAsListsOfNumbersWithAPrefixFirst) {
  EXPECT_EQ(KeyOfMarks(test::MarksOf({17, 5})), KeyOf({5, 17}));
  EXPECT_EQ(MarksOfKey(KeyOf({5, 17}), kSlotCount), test::MarksOf({17, 5}));
  EXPECT_LT(WithSlot(KeyOf({}), 255), WithSlot(KeyOf({}), 40000));  // a large tree's slots compare as numbers too
  EXPECT_LT(KeyOf({5}), KeyOf({17}));
  EXPECT_LT(KeyOf({5, 9}), KeyOf({17}));
  EXPECT_LT(KeyOf({}), KeyOf({5}));  // a prefix comes first
  EXPECT_LT(KeyOf({5}), KeyOf({5, 9}));
  EXPECT_LT(KeyOf({188}), KeyOf({189}));
  EXPECT_EQ(WithSlot(WithSlot(KeyOf({}), 17), 5), KeyOf({5, 17}));
  EXPECT_EQ(WithoutSlot(KeyOf({5, 9, 17}), 9), KeyOf({5, 17}));
  EXPECT_EQ(WithoutSlot(WithSlot(KeyOf({5, 17}), 9), 9), KeyOf({5, 17}));
}

// Stores of capacity 4 (2^2) with the lookup's matching number of steps.
RunParameters SmallStores() {
  RunParameters params;
  params.mainMemoryCapacity = 4;
  return params;
}

TEST(ScenarioMemory, AppendsInOrderInsertsTheRestAndFindsBoth) {
  ScenarioMemory memory;
  PrepareMemory(memory, SmallStores());
  const ScenarioKey keys[] = {KeyOf({}), KeyOf({17}), KeyOf({5}), KeyOf({9}), KeyOf({17, 20}), KeyOf({3})};
  for (const ScenarioKey& key : keys) {
    ASSERT_FALSE(LookUpKey(memory, key));
    EXPECT_TRUE(RememberKey(memory, key).stored);
    ASSERT_TRUE(LookUpKey(memory, key));
  }
  EXPECT_EQ(memory.mainCount, 3);
  EXPECT_EQ(memory.mainMemory[1], KeyOf({}));
  EXPECT_EQ(memory.mainMemory[2], KeyOf({17}));
  EXPECT_EQ(memory.mainMemory[3], KeyOf({17, 20}));
  EXPECT_EQ(memory.addCount, 3);
  EXPECT_EQ(memory.addMemory[1], KeyOf({3}));
  EXPECT_EQ(memory.addMemory[2], KeyOf({5}));
  EXPECT_EQ(memory.addMemory[3], KeyOf({9}));
  for (const ScenarioKey& key : keys) EXPECT_TRUE(LookUpKey(memory, key));
  EXPECT_FALSE(LookUpKey(memory, KeyOf({4})));
  EXPECT_FALSE(LookUpKey(memory, KeyOf({17, 21})));
}

TEST(ScenarioMemory, FullStoresSayWhichIsFull) {
  ScenarioMemory memory;
  PrepareMemory(memory, SmallStores());
  for (int s = 1; s <= 4; ++s) EXPECT_TRUE(RememberKey(memory, KeyOf({s})).stored);
  const RememberOutcome toAdd = RememberKey(memory, KeyOf({9}));
  EXPECT_TRUE(toAdd.stored && toAdd.mainFull && !toAdd.addFull);
  EXPECT_TRUE(LookUpKey(memory, KeyOf({9})));
  for (int s = 10; s <= 12; ++s) RememberKey(memory, KeyOf({s}));
  const RememberOutcome lost = RememberKey(memory, KeyOf({50}));
  EXPECT_TRUE(!lost.stored && lost.mainFull && lost.addFull);
  EXPECT_FALSE(LookUpKey(memory, KeyOf({50})));
}

TEST(ScenarioMemory, ManyRandomKeysStaySortedAndAreFound) {
  ScenarioMemory memory;
  PrepareMemory(memory, RunParameters{});  // full-size stores
  std::mt19937 gen(4242);
  std::set<ScenarioKey> held;
  for (int n = 0; n < 3000; ++n) {
    MarkTable mark = test::MarksOf({});
    for (uint32_t m = gen() % 6; m > 0; --m) mark[1 + gen() % (kSlotCount - 1)] = 1;
    const ScenarioKey key = KeyOfMarks(mark);
    ASSERT_EQ(LookUpKey(memory, key), held.contains(key));
    if (held.contains(key)) continue;
    RememberKey(memory, key);
    held.insert(key);
  }
  for (int i = 2; i <= memory.addCount; ++i) ASSERT_LT(memory.addMemory[i - 1], memory.addMemory[i]) << i;
  for (int i = 2; i <= memory.mainCount; ++i) ASSERT_LT(memory.mainMemory[i - 1], memory.mainMemory[i]) << i;
  EXPECT_EQ(static_cast<std::size_t>(memory.mainCount + memory.addCount), held.size());
  for (const ScenarioKey& key : held) EXPECT_TRUE(LookUpKey(memory, key));
}

// The fill rules of the two stores, written plainly as lists: the main store
// takes a key that comes after all it holds, the add store takes any other,
// each up to the capacity; a key that neither takes is not remembered.
struct StoresModel {
  std::size_t capacity;
  std::vector<ScenarioKey> main, add;

  bool Holds(const ScenarioKey& key) const {
    return std::find(main.begin(), main.end(), key) != main.end() ||
           std::find(add.begin(), add.end(), key) != add.end();
  }
  RememberOutcome Remember(const ScenarioKey& key) {
    RememberOutcome outcome;
    outcome.mainFull = main.size() == capacity;
    if (!outcome.mainFull && (main.empty() || main.back() < key)) {
      main.push_back(key);
      outcome.stored = true;
      return outcome;
    }
    outcome.addFull = add.size() == capacity;
    if (!outcome.addFull) {
      add.push_back(key);
      std::sort(add.begin(), add.end());
      outcome.stored = true;
    }
    return outcome;
  }
};

// Offers each key that neither holds to the real stores and to the model:
// the same outcome, key by key, and the same keys found afterwards.
void ExpectStoresAsModelled(const std::vector<ScenarioKey>& keys, int32_t capacity) {
  RunParameters params;
  params.mainMemoryCapacity = capacity;
  ScenarioMemory memory;
  PrepareMemory(memory, params);
  StoresModel model{static_cast<std::size_t>(capacity), {}, {}};
  for (std::size_t k = 0; k < keys.size(); ++k) {
    ASSERT_EQ(LookUpKey(memory, keys[k]), model.Holds(keys[k])) << "key " << k;
    if (model.Holds(keys[k])) continue;
    const RememberOutcome real = RememberKey(memory, keys[k]);
    const RememberOutcome modelled = model.Remember(keys[k]);
    ASSERT_EQ(real.stored, modelled.stored) << "key " << k;
    ASSERT_EQ(real.mainFull, modelled.mainFull) << "key " << k;
    ASSERT_EQ(real.addFull, modelled.addFull) << "key " << k;
  }
  EXPECT_EQ(static_cast<std::size_t>(memory.mainCount), model.main.size());
  EXPECT_EQ(static_cast<std::size_t>(memory.addCount), model.add.size());
  for (const ScenarioKey& key : keys) EXPECT_EQ(LookUpKey(memory, key), model.Holds(key));
}

// Stores of 4 filled to their last place, then one key past it, in each.
TEST(ScenarioMemory, EachStoreTakesKeysUpToItsLastPlace) {
  std::vector<ScenarioKey> keys;
  for (int s : {10, 20, 30, 40, 50}) keys.push_back(KeyOf({s}));  // the main store's 4, then one for the add store
  for (int s : {11, 12, 13, 14, 15}) keys.push_back(KeyOf({s}));  // 3 more fill the add store, 2 find both full
  ExpectStoresAsModelled(keys, 4);
  ScenarioMemory memory;
  PrepareMemory(memory, SmallStores());
  for (int s : {10, 20, 30, 40}) ASSERT_TRUE(RememberKey(memory, KeyOf({s})).stored);
  EXPECT_EQ(memory.mainCount, 4);
  EXPECT_EQ(memory.mainMemory[4], KeyOf({40}));
  for (int s : {11, 12, 13}) EXPECT_FALSE(RememberKey(memory, KeyOf({s})).addFull);
  const RememberOutcome last = RememberKey(memory, KeyOf({14}));
  EXPECT_TRUE(last.stored && last.mainFull && !last.addFull);
  EXPECT_EQ(memory.addMemory[4], KeyOf({14}));
  const RememberOutcome past = RememberKey(memory, KeyOf({15}));
  EXPECT_TRUE(!past.stored && past.mainFull && past.addFull);
}

// The keys of a real walk that fills stores of 32, offered to the stores
// and to the model in the walk's order; and the walk's memory lines are the
// ones the model's outcomes call for, in order.
TEST(ScenarioMemory, AWalkThatFillsTheStoresAsModelled) {
  RunParameters params;
  params.cardinality = 4;
  params.mainMemoryCapacity = 32;
  const Tree tree = MakeTree(test::Shifted);
  test::LogFile file;
  test::CountingEvaluator evaluator(MakeEvaluator(EvaluatorKind::kFast, params, tree, 1));
  RunSearch(params, evaluator, file.log);
  const std::vector<ScenarioKey>& keys = evaluator.evaluated;  // every key the stores did not hold
  ExpectStoresAsModelled(keys, 32);

  StoresModel model{32, {}, {}};
  std::string expected;
  for (const ScenarioKey& key : keys) {
    if (model.Holds(key)) continue;
    const RememberOutcome outcome = model.Remember(key);
    if (outcome.mainFull) expected += std::string(log_lines::kMainMemoryFull) + "\n";
    if (outcome.addFull) expected += std::string(log_lines::kAddMemoryFull) + "\n";
  }
  std::string logged;
  std::istringstream lines(file.Text());
  for (std::string line; std::getline(lines, line);)
    if (line == log_lines::kMainMemoryFull || line == log_lines::kAddMemoryFull) logged += line + "\n";
  ASSERT_NE(expected.find(log_lines::kAddMemoryFull), std::string::npos) << "the walk fills both stores";
  EXPECT_EQ(logged, expected);
}

TEST(Search, CardinalityZeroEvaluatesTheRootOnly) {
  SearchRun run(0);
  EXPECT_EQ(run.Evaluated(), 1u);
  EXPECT_EQ(run.file.Text(), "");
  EXPECT_EQ(run.best[0].key, KeyOf({}));
  EXPECT_EQ(run.best[0].level, 0);
}

TEST(Search, CardinalityOneTriesSixCandidatesWithProgressLines) {
  SearchRun run(1);
  EXPECT_EQ(run.Evaluated(), 7u);
  EXPECT_EQ(run.file.Text(), "done 0 of 6\ndone 1 of 6\ndone 2 of 6\ndone 3 of 6\ndone 4 of 6\ndone 5 of 6\n");
  // The clade of leaves 9-16 (vertex 3.2, slot 25) is the best cut.
  EXPECT_EQ(run.best[0].level, 1);
  EXPECT_EQ(run.best[0].key, KeyOf({25}));
}

TEST(Search, NegativeCardinalityAndAQuietRootStopAtTheRoot) {
  SearchRun negative(-3);
  EXPECT_EQ(negative.Evaluated(), 1u);
  EXPECT_EQ(negative.best[0].key.count, 0);  // penalty above the floor: not offered
  SearchRun quiet(5, 10.0);                  // 100 x noise above any penalty of these leaves
  EXPECT_EQ(quiet.Evaluated(), 1u);
  EXPECT_EQ(quiet.file.Text(), "");
  EXPECT_EQ(quiet.best[0].key, KeyOf({}));
}

TEST(Search, EachSetOfMarksIsEvaluatedOnceAndStoredFirst) {
  SearchRun run(3);
  const std::set<ScenarioKey> distinct(run.evaluator->evaluated.begin(), run.evaluator->evaluated.end());
  EXPECT_EQ(distinct.size(), run.Evaluated());
  EXPECT_EQ(run.evaluator->remembered, distinct);
  // The walk visits 1 + 6 + 30 + 120 scenarios; some sets are reached twice.
  EXPECT_LT(run.Evaluated(), 157u);
}

}  // namespace
}  // namespace dorvu
