#include <gtest/gtest.h>

#include <random>
#include <set>

#include "report/report.h"
#include "search/enumeration.h"
#include "search/scenario_memory.h"
#include "test_support.h"

namespace dorvu {
namespace {

using test::MakeTree;
using test::ScratchDir;

struct LogFile {
  ScratchDir dir;
  RunLog log{(dir / "dorvu.log").string()};
  LogFile() { CreateLog(log); }
  std::string Text() const { return test::LogLines(log.path); }
};

TEST(ScenarioKeys, BuildAndCompareAsListsOfNumbers) {
  LogFile file;
  EXPECT_EQ(BuildKey(test::MarksOf({})), ",0,");
  EXPECT_EQ(BuildKey(test::MarksOf({17, 5})), ",0,5,17,");
  auto compare = [&](const char* a, const char* b) { return CompareKeys(a, b, file.log); };
  EXPECT_EQ(compare(",0,5,", ",0,17,"), 1);
  EXPECT_EQ(compare(",0,17,", ",0,5,"), -1);
  EXPECT_EQ(compare(",0,5,9,", ",0,17,"), 1);
  EXPECT_EQ(compare(",0,", ",0,5,"), 1);  // a prefix comes first
  EXPECT_EQ(compare(",0,5,", ",0,"), -1);
  EXPECT_EQ(compare(",0,5,", ",0,5,"), 0);
  EXPECT_EQ(compare("", ",0,"), 1);
  EXPECT_EQ(compare(",0,", ""), -1);
  EXPECT_EQ(file.Text(), "");
  EXPECT_EQ(compare(",0,x,", ",0,5,"), 1);  // a part that is no number is logged
  EXPECT_EQ(file.Text(), "an error, sorry\n");
}

// Stores of capacity 4 (2^2) with the lookup's matching number of steps.
RunParameters SmallStores() {
  RunParameters params;
  params.mainMemoryCapacity = 4;
  params.mainMemorySearchSteps = 2;
  return params;
}

TEST(ScenarioMemory, AppendsInOrderInsertsTheRestAndFindsBoth) {
  LogFile file;
  const RunParameters params = SmallStores();
  ScenarioMemory memory;
  PrepareMemory(memory, params.mainMemoryCapacity);
  const char* keys[] = {",0,", ",0,17,", ",0,5,", ",0,9,", ",0,17,20,", ",0,3,"};
  for (const char* key : keys) {
    ASSERT_FALSE(LookUpKey(memory, key, params, file.log)) << key;
    RememberKey(memory, key, params, file.log);
    ASSERT_TRUE(LookUpKey(memory, key, params, file.log)) << key;
  }
  EXPECT_EQ(memory.mainCount, 3);
  EXPECT_EQ(memory.MainMemory[1], ",0,");
  EXPECT_EQ(memory.MainMemory[2], ",0,17,");
  EXPECT_EQ(memory.MainMemory[3], ",0,17,20,");
  EXPECT_EQ(memory.addCount, 3);
  EXPECT_EQ(memory.AddMemory[1], ",0,3,");
  EXPECT_EQ(memory.AddMemory[2], ",0,5,");
  EXPECT_EQ(memory.AddMemory[3], ",0,9,");
  for (const char* key : keys) EXPECT_TRUE(LookUpKey(memory, key, params, file.log)) << key;
  EXPECT_FALSE(LookUpKey(memory, ",0,4,", params, file.log));
  EXPECT_FALSE(LookUpKey(memory, ",0,17,21,", params, file.log));
  EXPECT_EQ(file.Text(), "");
}

TEST(ScenarioMemory, FullStoresSayTheyWantMoreMemory) {
  LogFile file;
  const RunParameters params = SmallStores();
  ScenarioMemory memory;
  PrepareMemory(memory, params.mainMemoryCapacity);
  for (int s = 1; s <= 4; ++s) RememberKey(memory, ",0," + std::to_string(s) + ",", params, file.log);
  EXPECT_EQ(file.Text(), "");
  RememberKey(memory, ",0,9,", params, file.log);
  EXPECT_EQ(file.Text(), "I want more main memory!\n");
  EXPECT_TRUE(LookUpKey(memory, ",0,9,", params, file.log));
  for (int s = 10; s <= 12; ++s) RememberKey(memory, ",0," + std::to_string(s) + ",", params, file.log);
  RememberKey(memory, ",0,50,", params, file.log);
  EXPECT_EQ(file.Text(),
            "I want more main memory!\nI want more main memory!\nI want more main memory!\n"
            "I want more main memory!\nI want more main memory!\nI want more add memory!\n");
  EXPECT_FALSE(LookUpKey(memory, ",0,50,", params, file.log));
}

TEST(ScenarioMemory, ManyRandomKeysStaySortedAndAreFound) {
  LogFile file;
  const RunParameters params;  // full-size stores
  ScenarioMemory memory;
  PrepareMemory(memory, params.mainMemoryCapacity);
  std::mt19937 gen(4242);
  std::set<std::string> held;
  for (int n = 0; n < 3000; ++n) {
    MarkTable Mark = test::MarksOf({});
    for (uint32_t m = gen() % 6; m > 0; --m) Mark[1 + gen() % (SlotCount - 1)] = 1;
    const std::string key = BuildKey(Mark);
    ASSERT_EQ(LookUpKey(memory, key, params, file.log), held.contains(key)) << key;
    if (held.contains(key)) continue;
    RememberKey(memory, key, params, file.log);
    held.insert(key);
  }
  for (int i = 2; i <= memory.addCount; ++i)
    ASSERT_EQ(CompareKeys(memory.AddMemory[i - 1], memory.AddMemory[i], file.log), 1) << i;
  for (int i = 2; i <= memory.mainCount; ++i)
    ASSERT_EQ(CompareKeys(memory.MainMemory[i - 1], memory.MainMemory[i], file.log), 1) << i;
  EXPECT_EQ(static_cast<std::size_t>(memory.mainCount + memory.addCount), held.size());
  for (const std::string& key : held) EXPECT_TRUE(LookUpKey(memory, key, params, file.log)) << key;
  EXPECT_EQ(file.Text(), "");
  // Parts of ten digits and more still go through the general conversion:
  // 2^31 fails, is logged and keeps the digits that fit, 214748364.
  EXPECT_EQ(CompareKeys(",0,2147483647,", ",0,2147483648,", file.log), -1);
  EXPECT_EQ(file.Text(), "an error, sorry\n");
}

BaseValues Shifted(int k) {
  // Leaves 9-16 and 41-44 carry a different composition from the rest.
  if (k >= 9 && k <= 16) return {0.1, 0.4, 0.4, 0.1};
  if (k >= 41 && k <= 44) return {0.6, 0.1, 0.1, 0.2};
  return {0.3 + 0.001 * (k % 5), 0.2, 0.2, 0.3 - 0.001 * (k % 5)};
}

struct SearchRun {
  LogFile file;
  RunParameters params;
  Tree tree = MakeTree(Shifted);
  SearchState state;

  explicit SearchRun(int32_t cardinality, double noiseLevel = 0.0) {
    params.cardinality = cardinality;
    params.noiseLevel = noiseLevel;
    PrepareSearch(state, params);
    RunSearch(state, params, tree, file.log);
  }
  int32_t Evaluated() const { return state.memory.mainCount + state.memory.addCount; }
};

TEST(Search, CardinalityZeroEvaluatesTheRootOnly) {
  SearchRun run(0);
  EXPECT_EQ(run.Evaluated(), 1);
  EXPECT_EQ(run.file.Text(), "");
  EXPECT_EQ(run.state.bestList[0].key, ",0,");
  EXPECT_EQ(run.state.bestList[0].level, 0);
}

TEST(Search, CardinalityOneTriesSixCandidatesWithProgressLines) {
  SearchRun run(1);
  EXPECT_EQ(run.Evaluated(), 7);
  EXPECT_EQ(run.file.Text(),
            "done 0 of 6\ndone 1 of 6\ndone 2 of 6\ndone 3 of 6\ndone 4 of 6\ndone 5 of 6\n");
  // The clade of leaves 9-16 (vertex 3.2, slot 25) is the best cut.
  EXPECT_EQ(run.state.bestList[0].level, 1);
  EXPECT_EQ(run.state.bestList[0].key, ",0,25,");
  EXPECT_EQ(run.state.EnumerationStack[0].choice, 7);
}

TEST(Search, NegativeCardinalityAndAQuietRootStopAtTheRoot) {
  SearchRun negative(-3);
  EXPECT_EQ(negative.Evaluated(), 1);
  EXPECT_TRUE(negative.state.bestList[0].key.empty());  // penalty above the floor: not offered
  SearchRun quiet(5, 10.0);  // 100 x noise above any penalty of these leaves
  EXPECT_EQ(quiet.Evaluated(), 1);
  EXPECT_EQ(quiet.file.Text(), "");
  EXPECT_EQ(quiet.state.bestList[0].key, ",0,");
}

TEST(Search, EachSetOfMarksIsEvaluatedOnce) {
  SearchRun run(3);
  std::set<std::string> keys;
  for (int i = 1; i <= run.state.memory.mainCount; ++i) keys.insert(run.state.memory.MainMemory[i]);
  for (int i = 1; i <= run.state.memory.addCount; ++i) keys.insert(run.state.memory.AddMemory[i]);
  EXPECT_EQ(static_cast<int>(keys.size()), run.Evaluated());
  // The walk visits 1 + 6 + 30 + 120 scenarios; some sets are reached twice.
  EXPECT_LT(run.Evaluated(), 157);
  EXPECT_GT(run.state.memory.addCount, 0);
  // After the walk only the root is marked again.
  EXPECT_EQ(BuildKey(run.state.Mark), ",0,");
  EXPECT_EQ(run.params.searchLevel, 0);
}

TEST(Report, EmptyBestListGivesTheHeadingAlone) {
  SearchRun run(-1);
  WriteReport(run.state, run.params, run.tree, run.file.log);
  EXPECT_EQ(run.file.Text(), "the best scenario:\n");
}

TEST(Report, MarkedVerticesPenaltyAndAllVertexLines) {
  SearchRun run(0);
  run.state.bestList[0].key = ",0,1,6,183,";
  run.state.bestList[0].penalty = 0.125;
  WriteReport(run.state, run.params, run.tree, run.file.log);
  const std::string text = run.file.Text();
  EXPECT_EQ(text.substr(0, text.find("distribution values:")),
            "the best scenario:\n 1.1  6.1  6.64 \nits penalty=0.125\n");
  EXPECT_NE(text.find("\nvertex  0 : A:"), std::string::npos);
  EXPECT_NE(text.find("\nvertex 6.9: A:0.1 C:0.4 G:0.4 T:0.1\n"), std::string::npos);
  std::size_t lines = 0;
  for (std::size_t p = text.find("vertex "); p != std::string::npos; p = text.find("vertex ", p + 1)) ++lines;
  EXPECT_EQ(lines, 127u);
}

TEST(Report, KeyDecodingSkipsPartsThatAreNoSlot) {
  LogFile file;
  MarkTable marks = test::MarksOf({});
  RunParameters params;
  DecodeKey(",0,12,x,400,7,", marks, params, file.log);
  EXPECT_EQ(file.Text(), "an error, sorry\nan error, sorry\n");
  EXPECT_EQ(BuildKey(marks), ",0,7,12,");
}

}  // namespace
}  // namespace dorvu
