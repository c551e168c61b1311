// Whole runs of the real executable.
#include <gtest/gtest.h>

#include <clocale>

#include "run/progress_display.h"
#include "support/inputs.h"
#include "support/processes.h"

namespace dorvu {
namespace {

using test::ExampleInput;
using test::ReadFile;
using test::RunExecutable;
using test::ScratchDir;
using test::WithCardinality;
using test::WithNoise;
using test::WriteFile;

TEST(WholeRun, ExampleFindsItsPlantedShiftsAndReportsEveryVertex) {
  ScratchDir dir;
  WriteFile(dir / "input.txt", ExampleInput());
  const auto result = RunExecutable(dir.path(), "DORVU_SEED=1 LC_ALL=C");
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.stderrText, "");
  const std::string log = ReadFile(dir / "dorvu.log");
  EXPECT_TRUE(log.starts_with("presupposed cardinality of scenario=3\r\nnoise level=0.1\r\ndone 0 of 6\r\n"));
  EXPECT_NE(log.find("\r\nthe best scenario:\r\n 3.2  4.11  5.29 \r\nits penalty="), std::string::npos);
  std::size_t lines = 0;
  for (std::size_t p = log.find("\r\nvertex "); p != std::string::npos; p = log.find("\r\nvertex ", p + 1)) ++lines;
  EXPECT_EQ(lines, 127u);
  EXPECT_EQ(log.substr(log.size() - 2), "\r\n");
}

TEST(WholeRun, SeedRepeatsANoisyRun) {
  ScratchDir a, b;
  const std::string input = WithNoise(WithCardinality(ExampleInput(), "1"), "0.5");
  WriteFile(a / "input.txt", input);
  WriteFile(b / "input.txt", input);
  EXPECT_EQ(RunExecutable(a.path(), "DORVU_SEED=4242").status, 0);
  EXPECT_EQ(RunExecutable(b.path(), "DORVU_SEED=4242 ").status, 0);
  EXPECT_EQ(ReadFile(a / "dorvu.log"), ReadFile(b / "dorvu.log"));
  EXPECT_EQ(RunExecutable(b.path(), "DORVU_SEED=4243").status, 0);
  EXPECT_NE(ReadFile(a / "dorvu.log"), ReadFile(b / "dorvu.log"));
}

TEST(WholeRun, EmptyInputAndAnOversizedCardinality) {
  ScratchDir dir;
  WriteFile(dir / "input.txt", "");
  EXPECT_EQ(RunExecutable(dir.path()).status, 0);
  const std::string log = ReadFile(dir / "dorvu.log");
  EXPECT_EQ(log.substr(0, log.find("the best scenario:")),
            "an error in cardinality of scenario, sorry\r\nan error in level of randomness, sorry\r\n"
            "presupposed cardinality of scenario=0\r\nnoise level=0\r\n");

  WriteFile(dir / "input.txt", WithNoise(WithCardinality(ExampleInput(), "25"), "100"));
  EXPECT_EQ(RunExecutable(dir.path()).status, 0);
  EXPECT_TRUE(ReadFile(dir / "dorvu.log")
                  .starts_with("presupposed cardinality of scenario=25\r\nnoise level=100\r\n"
                               "cardinality of scenario limited to 20\r\nthe best scenario:\r\n"));
}

TEST(WholeRun, CommaLocaleWritesCommas) {
  if (std::setlocale(LC_NUMERIC, "de_DE.UTF-8") == nullptr) GTEST_SKIP() << "no de_DE.UTF-8 locale here";
  std::setlocale(LC_NUMERIC, "C");
  ScratchDir dir;
  WriteFile(dir / "input.txt", WithNoise(WithCardinality(ExampleInput(), "0"), "0.125"));
  EXPECT_EQ(test::RunProgram(dir.path(), {{"LC_ALL", "de_DE.UTF-8"}, {"DORVU_SEED", "3"}}).status, 0);
  const std::string log = ReadFile(dir / "dorvu.log");
  EXPECT_TRUE(log.starts_with("presupposed cardinality of scenario=0\r\nnoise level=0,125\r\n"));
  const std::size_t penalty = log.find("its penalty=");
  const std::string penaltyLine = log.substr(penalty, log.find('\r', penalty) - penalty);
  EXPECT_NE(penaltyLine.find(','), std::string::npos) << penaltyLine;
  EXPECT_EQ(penaltyLine.find('.'), std::string::npos) << penaltyLine;
  EXPECT_NE(log.find(" A:0,"), std::string::npos);
}

// Logs checked against an independent calculation of the same inputs.
TEST(WholeRun, MatchesReferenceLogsByteForByte) {
  const std::filesystem::path data = std::filesystem::path(DORVU_TEST_DATA) / "reference";
  int compared = 0;
  for (const auto& entry : std::filesystem::directory_iterator(data)) {
    const std::string name = entry.path().filename().string();
    const std::string suffix = ".input.txt";
    if (name.size() <= suffix.size() || name.substr(name.size() - suffix.size()) != suffix) continue;
    const std::string stem = name.substr(0, name.size() - suffix.size());
    ScratchDir dir;
    std::filesystem::copy_file(entry.path(), dir / "input.txt");
    ASSERT_EQ(RunExecutable(dir.path(), "LC_ALL=C").status, 0) << stem;
    EXPECT_EQ(ReadFile(dir / "dorvu.log"), ReadFile(data / (stem + ".log"))) << stem;
    ++compared;
  }
  EXPECT_EQ(compared, 6);
}

TEST(ProgressLine, ShowsTimeBranchCountsAndLogSize) {
  EXPECT_EQ(ProgressText(4.9, 0, 1, 1, 68), "dorvu: 0:04, 1 scenarios, 1 sets evaluated, log 0 kB");
  EXPECT_EQ(ProgressText(754.2, 3, 1234567, 45678, 236400000),
            "dorvu: 12:34, branch 3 of 6, 1,234,567 scenarios, 45,678 sets evaluated, log 236.4 MB");
  EXPECT_EQ(ProgressText(3 * 3600 + 62, 6, 999, -1, 999999),
            "dorvu: 3:01:02, branch 6 of 6, 999 scenarios, log 999 kB");
}

}  // namespace
}  // namespace dorvu
