// dorvu-view as the user runs it: what it writes, and that a failure leaves nothing behind.
#include "view/command_line.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "view/output_files.h"
#include "view_test_support.h"

namespace dorvu::view {
namespace {

namespace fs = std::filesystem;
using testing::DataPath;
using testing::ReadBytes;
using testing::ScratchDirectory;
using testing::WriteBytes;

struct Outcome {
  int status;
  std::string out;
  std::string err;
};

Outcome RunView(const std::vector<std::string>& args) {
  std::ostringstream out, err;
  const int status = RunDorvuView(args, out, err);
  return {status, out.str(), err.str()};
}

std::set<std::string> FilesIn(const fs::path& dir) {
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator(dir)) names.insert(entry.path().filename().string());
  return names;
}

TEST(CommandLine, WritesTheThreeFilesBesideTheLog) {
  ScratchDirectory dir;
  WriteBytes(dir.path / "dorvu.log", ReadBytes(DataPath("comma.log")));
  const Outcome result = RunView({(dir.path / "dorvu.log").string()});
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(result.err, "");
  EXPECT_EQ(FilesIn(dir.path), (std::set<std::string>{"dorvu.log", "dorvu.svg", "dorvu.tsv", "dorvu.nwk"}));
  EXPECT_TRUE(ReadBytes((dir.path / "dorvu.tsv").string()).starts_with("vertex\tparent"));
}

TEST(CommandLine, WritesUnderTheGivenPrefix) {
  ScratchDirectory dir;
  const std::string prefix = (dir.path / "run7").string();
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{DataPath("pure.log"), "-o", prefix},
        std::vector<std::string>{"--output=" + prefix, DataPath("pure.log")}}) {
    EXPECT_EQ(RunView(args).status, 0);
    EXPECT_EQ(FilesIn(dir.path), (std::set<std::string>{"run7.svg", "run7.tsv", "run7.nwk"}));
  }
}

// Every refused log: status 1, a message with the file and line, no file written,
// and outputs of an earlier run left as they were.
TEST(CommandLine, LeavesNothingBehindWhenTheLogIsRefused) {
  const std::vector<std::pair<std::string, std::string>> cases{
      {"empty_report.log", "empty_report.log:10: the report holds no scenario"},
      {"other_program.log", "other_program.log:1: this is not a dorvu run log"},
      {"no-such.log", "no-such.log: no such file"}};
  for (const auto& [name, message] : cases) {
    ScratchDirectory dir;
    WriteBytes(dir.path / "old.svg", "earlier picture");
    const Outcome result = RunView({DataPath(name), "-o", (dir.path / "old").string()});
    EXPECT_EQ(result.status, ExitFailure) << name;
    EXPECT_NE(result.err.find(message), std::string::npos) << result.err;
    EXPECT_EQ(FilesIn(dir.path), (std::set<std::string>{"old.svg"})) << name;
    EXPECT_EQ(ReadBytes((dir.path / "old.svg").string()), "earlier picture");
  }
}

TEST(CommandLine, LeavesNothingBehindWhenAFileCannotBeWritten) {
  ScratchDirectory dir;
  fs::create_directory(dir.path / "run.nwk");  // the third file cannot take this name
  const Outcome result = RunView({DataPath("example.log"), "-o", (dir.path / "run").string()});
  EXPECT_EQ(result.status, ExitFailure);
  EXPECT_NE(result.err.find("run.nwk"), std::string::npos) << result.err;
  EXPECT_EQ(FilesIn(dir.path), (std::set<std::string>{"run.nwk"}));

  const Outcome missingDirectory =
      RunView({DataPath("example.log"), "-o", (dir.path / "no" / "run").string()});
  EXPECT_EQ(missingDirectory.status, ExitFailure);
  EXPECT_EQ(FilesIn(dir.path), (std::set<std::string>{"run.nwk"}));
}

TEST(OutputFiles, RemovesWhatWasWrittenWhenALaterFileFails) {
  ScratchDirectory dir;
  const std::string problem = WriteAllOrNothing(
      {{(dir.path / "a.svg").string(), "picture"}, {(dir.path / "no" / "a.tsv").string(), "table"}});
  EXPECT_NE(problem.find("a.tsv"), std::string::npos) << problem;
  EXPECT_TRUE(FilesIn(dir.path).empty());
}

TEST(CommandLine, NeverOverwritesTheLog) {
  ScratchDirectory dir;
  const std::string log = (dir.path / "run.tsv").string();
  WriteBytes(log, ReadBytes(DataPath("example.log")));
  EXPECT_EQ(RunView({log, "-o", (dir.path / "run").string()}).status, ExitFailure);
  EXPECT_EQ(ReadBytes(log), ReadBytes(DataPath("example.log")));
  EXPECT_EQ(FilesIn(dir.path), (std::set<std::string>{"run.tsv"}));
}

TEST(CommandLine, AnswersHelpVersionAndBadUsage) {
  EXPECT_EQ(RunView({"--version"}).out, "dorvu-view 1.0.0\n");
  const Outcome help = RunView({"--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_TRUE(help.out.starts_with("Usage: dorvu-view [LOG] [-o PREFIX]"));
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"-x"}, std::vector<std::string>{"a.log", "b.log"},
        std::vector<std::string>{"-o"}, std::vector<std::string>{"-o", ""}}) {
    const Outcome bad = RunView(args);
    EXPECT_EQ(bad.status, ExitUsage) << args[0];
    EXPECT_NE(bad.err.find("--help"), std::string::npos);
  }
}

}  // namespace
}  // namespace dorvu::view
