// The command line, the warnings and the seed notice, through the program's
// entry: exit statuses, exact texts, and no file touched where none may be.
// Unusable settings in the environment are refused in settings_test.cpp.
#include "run/command_line.h"

#include <gtest/gtest.h>

#include <map>
#include <regex>
#include <sstream>

#include "input/input_check.h"
#include "support/inputs.h"
#include "support/processes.h"

namespace dorvu {
namespace {

namespace fs = std::filesystem;
using test::ExampleInput;
using test::ReadFile;
using test::RunExecutable;
using test::RunProgram;
using test::ScratchDir;
using test::WithLine;
using test::WithNoise;
using test::WriteFile;

// Every file of a directory with its bytes.
std::map<std::string, std::string> Snapshot(const fs::path& dir) {
  std::map<std::string, std::string> files;
  for (const auto& entry : fs::directory_iterator(dir)) files[entry.path().filename()] = ReadFile(entry.path());
  return files;
}

TEST(CommandLine, HelpAndVersionAnswerWithoutTouchingAFile) {
  ScratchDir dir;
  WriteFile(dir / "dorvu.log", "an earlier log\r\n");  // without input.txt, a run would empty it
  const auto before = Snapshot(dir.path());
  for (const char* arg : {"--help", "-h"}) {
    const auto result = RunProgram(dir.path(), {}, {arg});
    EXPECT_EQ(result.status, 0) << arg;
    EXPECT_EQ(result.stdoutText, HelpText()) << arg;
    EXPECT_EQ(result.stderrText, "") << arg;
  }
  const auto version = RunProgram(dir.path(), {}, {"--version"});
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.stdoutText, "dorvu " DORVU_PROJECT_VERSION "\n");
  EXPECT_EQ(RunExecutable(dir.path(), "", "--version", DORVU_VIEW_EXECUTABLE).stdoutText,
            "dorvu-view " DORVU_PROJECT_VERSION "\n");
  EXPECT_EQ(Snapshot(dir.path()), before);

  std::istringstream help(HelpText());
  for (std::string line; std::getline(help, line);) EXPECT_LE(line.size(), 80u) << line;
  const std::string toFullDisk = std::string("'") + DORVU_EXECUTABLE + "' --help > /dev/full 2> /dev/null";
  EXPECT_EQ(WEXITSTATUS(std::system(toFullDisk.c_str())), 1);
}

TEST(CommandLine, AnyOtherArgumentIsAUsageError) {
  ScratchDir dir;
  WriteFile(dir / "input.txt", ExampleInput());
  WriteFile(dir / "dorvu.log", "an earlier log\r\n");
  const auto before = Snapshot(dir.path());
  const std::pair<std::vector<std::string>, const char*> cases[] = {
      {{"--foo"}, "unknown argument \"--foo\""},
      {{"input.txt"}, "unknown argument \"input.txt\""},
      {{""}, "unknown argument \"\""},
      {{"-H"}, "unknown argument \"-H\""},
      {{"--help", "extra"}, "unknown argument \"extra\""},
      {{"--check", "--help"}, "--help and --version take no other argument, not 1"},
      {{"--tree"}, "option --tree needs a FILE"},
      {{"--tree", "a.nwk", "--tree=b.nwk"}, "--tree given twice"},
  };
  for (const auto& [args, problem] : cases) {
    const auto result = RunProgram(dir.path(), {}, args);
    EXPECT_EQ(result.status, 2) << args.front();
    EXPECT_EQ(result.stderrText, std::string("dorvu: ") + problem + "\nTry \"dorvu --help\".\n");
    EXPECT_EQ(result.stdoutText, "") << args.front();
  }
  EXPECT_EQ(Snapshot(dir.path()), before);
}

TEST(CommandLine, CheckReportsWithoutWritingAndExitsByWhatItFound) {
  ScratchDir dir;
  WriteFile(dir / "input.txt", ExampleInput());
  auto result = RunProgram(dir.path(), {}, {"--check"});
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.stderrText, "dorvu: input.txt: no problems found\n");
  EXPECT_EQ(result.stdoutText, "");

  WriteFile(dir / "input.txt", "c=1\nn=0\n");
  result = RunProgram(dir.path(), {}, {"--check"});
  EXPECT_EQ(result.status, 3);
  EXPECT_EQ(result.stderrText,
            "dorvu: input.txt: 2 lines, not 66: leaves 1 to 64 are missing, so their values are read as 0\n");
  EXPECT_EQ(Snapshot(dir.path()).size(), 1u);

  fs::remove(dir / "input.txt");
  result = RunProgram(dir.path(), {}, {"--check"});
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.stderrText, "dorvu: cannot open input.txt: No such file or directory\n");
  EXPECT_TRUE(fs::is_empty(dir.path()));
}

TEST(CommandLine, ARunWarnsAboutItsInputAndStillEndsWithStatus0) {
  ScratchDir dir;
  const std::string input = WithLine(WithLine(ExampleInput(), 4, "6.2 A:0,3121_C:0.1983_G:0.1792_T:0.3104"), 9,
                                     "6.7 a:0.2893_c:0.1838_g:0.1957_t:0.3312");
  WriteFile(dir / "input.txt", input);
  const auto result = RunProgram(dir.path(), {{"DORVU_SEED", "1"}});
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.stderrText,
            "dorvu: warning: input.txt:9: leaf 7 gives no A:, C:, G: or T: value, so all four are read as 0\n"
            "dorvu: warning: dorvu.log reports 1 problem in input.txt; \"dorvu --check\" lists it\n");
  EXPECT_EQ(ReadFile(dir / "dorvu.log").rfind("an error in data on the leaf 2\r\npresupposed cardinality", 0), 0u);
}

TEST(CommandLine, AnUnseededNoisyRunTellsTheSeedThatRepeatsIt) {
  ScratchDir dir;
  WriteFile(dir / "input.txt", WithNoise(ExampleInput(), "0.02"));  // 0.005 in force
  const auto first = RunProgram(dir.path());
  EXPECT_EQ(first.status, 0);
  std::smatch match;
  ASSERT_TRUE(std::regex_match(first.stderrText, match,
                               std::regex("dorvu: noise seed ([0-9]+); DORVU_SEED=\\1 dorvu repeats this run\n")))
      << first.stderrText;
  const std::string log = ReadFile(dir / "dorvu.log");
  const auto again = RunProgram(dir.path(), {{"DORVU_SEED", match[1].str()}});
  EXPECT_EQ(again.stderrText, "");
  EXPECT_EQ(ReadFile(dir / "dorvu.log"), log);

  WriteFile(dir / "input.txt", WithNoise(ExampleInput(), "0"));  // no noise, nothing to repeat
  EXPECT_EQ(RunProgram(dir.path()).stderrText, "");
  EXPECT_EQ(SeedNotice(3141592653u), "dorvu: noise seed 3141592653; DORVU_SEED=3141592653 dorvu repeats this run\n");
}

}  // namespace
}  // namespace dorvu
