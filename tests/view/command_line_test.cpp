// dorvu-view as the user runs it: what it writes, and that a failure leaves nothing behind.
#include "view/command_line.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "support/view_runs.h"
#include "tree/tree_shape.h"

namespace dorvu::view {
namespace {

namespace fs = std::filesystem;
using test::FilesIn;
using test::ProcessResult;
using test::ReadFile;
using test::RunView;
using test::ScratchDir;
using test::ViewDataPath;
using test::WriteFile;

TEST(CommandLine, WritesTheThreeFilesBesideTheLog) {
  ScratchDir dir;
  WriteFile(dir.path() / "dorvu.log", ReadFile(ViewDataPath("comma.log")));
  const ProcessResult result = RunView({(dir.path() / "dorvu.log").string()});
  EXPECT_EQ(result.status, 0) << result.stderrText;
  EXPECT_EQ(result.stderrText, "");
  EXPECT_EQ(FilesIn(dir.path()), (std::set<std::string>{"dorvu.log", "dorvu.svg", "dorvu.tsv", "dorvu.nwk"}));
  EXPECT_TRUE(ReadFile((dir.path() / "dorvu.tsv").string()).starts_with("vertex\tparent"));
}

TEST(CommandLine, WritesUnderTheGivenPrefix) {
  ScratchDir dir;
  const std::string prefix = (dir.path() / "run7").string();
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{ViewDataPath("pure.log"), "-o", prefix},
        std::vector<std::string>{"--output=" + prefix, ViewDataPath("pure.log")}}) {
    EXPECT_EQ(RunView(args).status, 0);
    EXPECT_EQ(FilesIn(dir.path()), (std::set<std::string>{"run7.svg", "run7.tsv", "run7.nwk"}));
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
    ScratchDir dir;
    WriteFile(dir.path() / "old.svg", "earlier picture");
    const ProcessResult result = RunView({ViewDataPath(name), "-o", (dir.path() / "old").string()});
    EXPECT_EQ(result.status, cli::kExitFailure) << name;
    EXPECT_NE(result.stderrText.find(message), std::string::npos) << result.stderrText;
    EXPECT_EQ(FilesIn(dir.path()), (std::set<std::string>{"old.svg"})) << name;
    EXPECT_EQ(ReadFile((dir.path() / "old.svg").string()), "earlier picture");
  }
}

TEST(CommandLine, LeavesNothingBehindWhenAFileCannotBeWritten) {
  ScratchDir dir;
  fs::create_directory(dir.path() / "run.nwk");  // the third file cannot take this name
  const ProcessResult result = RunView({ViewDataPath("example.log"), "-o", (dir.path() / "run").string()});
  EXPECT_EQ(result.status, cli::kExitFailure);
  EXPECT_NE(result.stderrText.find("run.nwk"), std::string::npos) << result.stderrText;
  EXPECT_EQ(FilesIn(dir.path()), (std::set<std::string>{"run.nwk"}));

  const ProcessResult missingDirectory =
      RunView({ViewDataPath("example.log"), "-o", (dir.path() / "no" / "run").string()});
  EXPECT_EQ(missingDirectory.status, cli::kExitFailure);
  EXPECT_EQ(FilesIn(dir.path()), (std::set<std::string>{"run.nwk"}));
}

TEST(CommandLine, NeverOverwritesTheLog) {
  ScratchDir dir;
  const std::string log = (dir.path() / "run.tsv").string();
  WriteFile(log, ReadFile(ViewDataPath("example.log")));
  EXPECT_EQ(RunView({log, "-o", (dir.path() / "run").string()}).status, cli::kExitFailure);
  EXPECT_EQ(ReadFile(log), ReadFile(ViewDataPath("example.log")));
  EXPECT_EQ(FilesIn(dir.path()), (std::set<std::string>{"run.tsv"}));
}

TEST(CommandLine, AnswersHelpVersionAndBadUsage) {
  EXPECT_EQ(RunView({"--version"}).stdoutText, "dorvu-view 1.0.0\n");
  const ProcessResult help = RunView({"--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_TRUE(help.stdoutText.starts_with("Usage: dorvu-view [LOG] [-o PREFIX]"));
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"-x"}, std::vector<std::string>{"a.log", "b.log"}, std::vector<std::string>{"-o"},
        std::vector<std::string>{"-o", ""}, std::vector<std::string>{"--summary"},
        std::vector<std::string>{"--summary", "a.log", "-o", "x"}, std::vector<std::string>{"--names"},
        std::vector<std::string>{"--names=", "a.log"}, std::vector<std::string>{"--summary", "--names=n", "a.log"}}) {
    const ProcessResult bad = RunView(args);
    EXPECT_EQ(bad.status, cli::kExitUsage) << args[0];
    EXPECT_NE(bad.stderrText.find("--help"), std::string::npos);
  }
  const std::vector<std::pair<std::vector<std::string>, std::string>> manyLogs{
      {{"--support"}, "--support needs at least one LOG"},
      {{"--scan", "-o", "x", "--names", "n"}, "--scan needs at least one LOG"},
      {{"--support", "--scan", "a.log"}, "--summary, --support and --scan exclude each other"},
      {{"--summary", "a.log", "--support"}, "--summary, --support and --scan exclude each other"},
      {{"--scan", "a.log", "-o", ""}, "PREFIX must not be empty"},
  };
  for (const auto& [args, problem] : manyLogs)
    EXPECT_EQ(RunView(args).stderrText, "dorvu-view: " + problem + "\nTry \"dorvu-view --help\".\n") << args[0];
}

// The table dorvu-prep writes beside an input, with `rows` in place of its own.
std::string NamesTable(const std::map<int, std::string>& names) {
  std::string table = "leaf\tname\n";
  for (int k = 1; k <= kLeafCount; ++k)
    table += "6." + std::to_string(k) + "\t" + (names.count(k) ? names.at(k) : "gene " + std::to_string(k)) + "\n";
  return table;
}

TEST(CommandLine, LabelsTheLeavesWithTheirNames) {
  ScratchDir dir;
  const std::string longName = "a record name far longer than a label has room for";
  WriteFile(dir.path() / "names.tsv", NamesTable({{1, "BRCA<2>"}, {2, longName}}));
  const ProcessResult result = RunView({ViewDataPath("example.log"), "--names", (dir.path() / "names.tsv").string(),
                                        "-o", (dir.path() / "run").string()});
  ASSERT_EQ(result.status, 0) << result.stderrText;
  const std::string tsv = ReadFile((dir.path() / "run.tsv").string());
  EXPECT_TRUE(tsv.starts_with("vertex\tparent\tdepth\tmarked\tA\tC\tG\tT\tname\n0\tNA\t0\t1\t")) << tsv.substr(0, 80);
  EXPECT_NE(tsv.find("\t0.304960941887948\t\n1.1\t0\t"), std::string::npos);  // the root has no name
  EXPECT_NE(tsv.find("\n6.1\t5.1\t6\t0\t"), std::string::npos);
  EXPECT_NE(tsv.find("\tBRCA<2>\n6.2\t5.1\t"), std::string::npos);
  EXPECT_TRUE(tsv.ends_with("\tgene 64\n"));
  const std::string svg = ReadFile((dir.path() / "run.svg").string());
  EXPECT_NE(svg.find("fill=\"#222222\">BRCA&lt;2&gt;</text>"), std::string::npos);
  EXPECT_NE(svg.find("<title>6.1 BRCA&lt;2&gt;: A "), std::string::npos);
  EXPECT_NE(svg.find(">a record name far longer than\u2026</text>"), std::string::npos);
  EXPECT_NE(svg.find("<title>6.2 " + longName + ": A "), std::string::npos);
  EXPECT_EQ(svg.find(">6.1</text>"), std::string::npos);
  EXPECT_NE(svg.find(">5.1</text>"), std::string::npos);
  const std::string tree = ReadFile((dir.path() / "run.nwk").string());
  EXPECT_TRUE(tree.starts_with("((((((BRCA<2>,'" + longName + "')5.1,('gene 3','gene 4')5.2)4.1,")) << tree;
}

TEST(CommandLine, RefusesABadTableOfNames) {
  std::string twice = NamesTable({});
  twice.replace(twice.find("6.5\t"), 4, "6.2\t");
  std::string empty = NamesTable({{3, ""}});
  const std::vector<std::pair<std::string, std::string>> cases{
      {"", "names.tsv:1: expected the header \"leaf<TAB>name\""},
      {"leaf\tname\n6.65\tx\n", "names.tsv:2: \"6.65\" is not a leaf (6.1 to 6.64)"},
      {"leaf\tname\n3.1\tx\n", "names.tsv:2: \"3.1\" is not a leaf (6.1 to 6.64)"},
      {"leaf\tname\r\n6.1\tx\ty\r\n", "names.tsv:2: expected two tab-separated fields, a leaf and its name"},
      {twice, "names.tsv:6: leaf 6.2 is named twice (first on line 3)"},
      {empty, "names.tsv:4: leaf 6.3 has an empty name"},
      {"leaf\tname\n6.1\tx\n", "names.tsv: leaf 6.2 has no name"},
  };
  for (const auto& [table, message] : cases) {
    ScratchDir dir;
    WriteFile(dir.path() / "names.tsv", table);
    fs::current_path(dir.path());
    const ProcessResult result = RunView({ViewDataPath("example.log"), "--names", "names.tsv", "-o", "run"});
    fs::current_path(fs::temp_directory_path());
    EXPECT_EQ(result.status, cli::kExitFailure);
    EXPECT_EQ(result.stderrText, "dorvu-view: " + message + "\n");
    EXPECT_EQ(FilesIn(dir.path()), (std::set<std::string>{"names.tsv"}));
  }
  EXPECT_EQ(RunView({ViewDataPath("example.log"), "--names", ViewDataPath("no-names.tsv")}).stderrText,
            "dorvu-view: " + ViewDataPath("no-names.tsv") + ": no such file\n");
}

TEST(CommandLine, SaysOnStandardErrorWhenTheRunHadInputErrors) {
  ScratchDir dir;
  const std::string log = (dir.path() / "dorvu.log").string();
  WriteFile(log, ReadFile(ViewDataPath("input_errors.log")));
  const ProcessResult result = RunView({log});
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.stderrText, "dorvu-view: " + log + ": the run logged 2 input errors; see the log\n");
  std::string one = ReadFile(ViewDataPath("input_errors.log"));
  one.erase(0, one.find('\n') + 1);
  WriteFile(log, one);
  EXPECT_EQ(RunView({log}).stderrText, "dorvu-view: " + log + ": the run logged 1 input error; see the log\n");
  EXPECT_EQ(RunView({ViewDataPath("example.log"), "-o", (dir.path() / "x").string()}).stderrText, "");
}

TEST(CommandLine, SummarisesEachRunInOneRow) {
  ScratchDir dir;
  for (const auto& [run, log] : {std::pair{"a", "example.log"}, {"b", "input_errors.log"}, {"c", "messages.log"}}) {
    fs::create_directory(dir.path() / run);
    WriteFile(dir.path() / run / "dorvu.log", ReadFile(ViewDataPath(log)));
  }
  const ProcessResult result =
      RunView({"--summary", (dir.path() / "a" / "dorvu.log").string(), (dir.path() / "b" / "." / "dorvu.log").string(),
               (dir.path() / "c" / "dorvu.log").string()});
  EXPECT_EQ(result.status, 0) << result.stderrText;
  EXPECT_EQ(result.stderrText, "");
  EXPECT_EQ(result.stdoutText,
            "run\tcardinality\tnoise_level\tpenalty\tmarked\tinput_errors\tmemory_lines\n"
            "a\t3\t0.1\t52.8662249314032\t3.2 4.11 5.29\t0\t0\n"
            "b\t1\t2\t157.239505401144\t\t2\t0\n"
            "c\t25\t0\t1E-20\t1.1\t2\t4\n");

  // One refused log: nothing on standard output, and every refused log named.
  const ProcessResult refused = RunView({"--summary", (dir.path() / "a" / "dorvu.log").string(),
                                         ViewDataPath("empty_report.log"), ViewDataPath("no-such.log")});
  EXPECT_EQ(refused.status, cli::kExitFailure);
  EXPECT_EQ(refused.stdoutText, "");
  EXPECT_EQ(refused.stderrText, "dorvu-view: " + ViewDataPath("empty_report.log") +
                                    ":10: the report holds no scenario: the search found none to report (the log ends "
                                    "after \"the best scenario:\")\ndorvu-view: " +
                                    ViewDataPath("no-such.log") + ": no such file\n");
}

}  // namespace
}  // namespace dorvu::view
