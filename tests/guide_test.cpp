// The user guide shows real output: every log excerpt in the README comes from
// a seeded run of the shipped example, and the citation names this version.
#include <gtest/gtest.h>

#include <algorithm>
#include <regex>
#include <set>
#include <sstream>
#include <vector>

#include "support/inputs.h"
#include "support/processes.h"

namespace dorvu {
namespace {

using test::ReadFile;

// Lines without trailing blanks, which editors may drop from the guide.
std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line.erase(line.find_last_not_of(' ') + 1));
  return lines;
}

std::vector<std::string> SeededLog(const std::string& seed) {
  test::ScratchDir dir;
  test::WriteFile(dir / "input.txt", test::ExampleInput());
  EXPECT_EQ(test::RunExecutable(dir.path(), "LC_ALL=C DORVU_SEED=" + seed).status, 0);
  return Lines(test::LogLines(dir / "dorvu.log"));
}

// Every ```text block that follows a line "<!-- dorvu.log of DORVU_SEED=n ...
// -->" must appear in that run's log line by line, in order, "..." standing
// for any number of lines; every other block must not look like a log.
TEST(Guide, LogExcerptsComeFromSeededRunsOfTheExample) {
  const std::string mark = "<!-- dorvu.log of DORVU_SEED=";
  const std::vector<std::string> guide = Lines(ReadFile(std::string(DORVU_SOURCE_DIR) + "/README.md"));
  int excerpts = 0;
  for (std::size_t i = 1; i < guide.size(); ++i) {
    if (guide[i] != "```text") continue;
    const bool marked = guide[i - 1].rfind(mark, 0) == 0;
    const std::string seed =
        marked ? guide[i - 1].substr(mark.size(), guide[i - 1].find(' ', mark.size()) - mark.size()) : "";
    const std::vector<std::string> log = marked ? SeededLog(seed) : std::vector<std::string>{};
    excerpts += marked;
    auto next = log.begin();
    for (++i; i < guide.size() && guide[i] != "```"; ++i) {
      const std::string& line = guide[i];
      if (!marked) {
        EXPECT_FALSE(line == "the best scenario:" || line.rfind("vertex ", 0) == 0)
            << "excerpt without a seed: " << line;
      } else if (line != "...") {
        next = std::find(next, log.end(), line);
        ASSERT_NE(next, log.end()) << "not in the log of seed " << seed << ", or out of order: " << line;
        ++next;
      }
    }
  }
  EXPECT_GE(excerpts, 2);
}

// The options a program's --help lists: each "-x" or "--name" that opens an
// indented line of its help, with the long forms of "-o, --output".
std::set<std::string> HelpOptions(const std::string& executable) {
  const test::ScratchDir dir;
  const test::ProcessResult help = test::RunExecutable(dir.path(), "", "--help", executable);
  EXPECT_EQ(help.status, 0) << executable;
  std::set<std::string> options;
  const std::regex option(R"(^ +(-[a-zA-Z]|--[a-z][a-z-]*)(, (--[a-z][a-z-]*))?)");
  for (const std::string& line : Lines(help.stdoutText)) {
    std::smatch match;
    if (!std::regex_search(line, match, option)) continue;
    options.insert(match[1]);
    if (match[3].matched) options.insert(match[3]);
  }
  return options;
}

// Each man page names every option its program's --help lists, so neither
// falls behind the other.
TEST(Guide, ManPagesListEveryOptionOfTheHelp) {
  const struct {
    const char* executable;
    const char* page;
  } programs[] = {
      {DORVU_EXECUTABLE, "dorvu"}, {DORVU_VIEW_EXECUTABLE, "dorvu-view"}, {DORVU_PREP_EXECUTABLE, "dorvu-prep"}};
  for (const auto& program : programs) {
    const std::string page = ReadFile(std::string(DORVU_SOURCE_DIR) + "/man/" + program.page + ".1.in");
    const std::set<std::string> options = HelpOptions(program.executable);
    EXPECT_GE(options.size(), 3u) << program.page;
    for (const std::string& option : options) {
      const std::string inRoff = std::regex_replace(option, std::regex("-"), "\\-");
      EXPECT_NE(page.find(inRoff), std::string::npos) << program.page << ".1 lacks " << option;
    }
  }
}

TEST(Guide, CitationNamesTheVersionBuilt) {
  const std::string citation = ReadFile(std::string(DORVU_SOURCE_DIR) + "/CITATION.cff");
  EXPECT_NE(citation.find("\nversion: \"" DORVU_PROJECT_VERSION "\"\n"), std::string::npos);
}

}  // namespace
}  // namespace dorvu
