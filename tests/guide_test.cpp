// The user guide shows real output: every log excerpt in the README comes from
// a seeded run of the shipped example; the man pages describe every option of
// the three programs' help, and the citation names this version.
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

// The options a help lists: each "-x" or "--name" that opens an indented
// line, with the long forms of "-o, --output", as often as it lists them.
std::multiset<std::string> HelpOptions(const std::string& help) {
  std::multiset<std::string> options;
  const std::regex option(R"(^ +(-[a-zA-Z]|--[a-z][a-z-]*)(, (--[a-z][a-z-]*))?)");
  for (const std::string& line : Lines(help)) {
    std::smatch match;
    if (!std::regex_search(line, match, option)) continue;
    options.insert(match[1]);
    if (match[3].matched) options.insert(match[3]);
  }
  return options;
}

// Each program's --help lists its options once each (and its forms of use),
// and its man page has an entry (".B", ".BI" or ".BR") in the OPTIONS
// section for every option the help lists, so neither falls behind the other.
TEST(Guide, ManPagesListEveryOptionOfTheHelp) {
  const struct {
    const char* executable;
    const char* page;
    std::multiset<std::string> options;
    std::vector<std::string> forms;
  } programs[] = {
      {DORVU_EXECUTABLE, "dorvu", {"--check", "--tree", "-h", "--help", "--version"}, {}},
      {DORVU_VIEW_EXECUTABLE,
       "dorvu-view",
       {"-o", "--output", "--names", "--summary", "--support", "--scan", "-h", "--help", "--version"},
       {"dorvu-view --summary LOG...", "dorvu-view --support LOG...", "dorvu-view --scan LOG..."}},
      {DORVU_PREP_EXECUTABLE,
       "dorvu-prep",
       {"--cardinality", "--noise", "--label", "--bootstrap", "--samples", "--min-quality", "--threads", "--tree",
        "--prune", "-o", "--output", "-h", "--help", "--version"},
       {}},
  };
  for (const auto& program : programs) {
    SCOPED_TRACE(program.page);
    const test::ScratchDir dir;
    const test::ProcessResult help = test::RunExecutable(dir.path(), "", "--help", program.executable);
    EXPECT_EQ(help.status, 0);
    const std::multiset<std::string> options = HelpOptions(help.stdoutText);
    EXPECT_EQ(options, program.options);
    for (const std::string& form : program.forms) EXPECT_NE(help.stdoutText.find(form), std::string::npos) << form;
    // The page's OPTIONS section, with roff's "\-" read as "-".
    const std::string page = std::regex_replace(
        ReadFile(std::string(DORVU_SOURCE_DIR) + "/man/" + program.page + ".1.in"), std::regex(R"(\\-)"), "-");
    const std::size_t start = page.find(".SH OPTIONS\n");
    ASSERT_NE(start, std::string::npos);
    const std::string section = page.substr(start, page.find("\n.SH ", start + 1) - start);
    for (const std::string& option : options)
      EXPECT_TRUE(std::regex_search(section, std::regex("\n\\.B[IR]? ([^\n]* )?" + option + "[ \n]")))
          << program.page << ".1 has no entry for " << option;
  }
}

TEST(Guide, CitationNamesTheVersionBuilt) {
  const std::string citation = ReadFile(std::string(DORVU_SOURCE_DIR) + "/CITATION.cff");
  EXPECT_NE(citation.find("\nversion: \"" DORVU_PROJECT_VERSION "\"\n"), std::string::npos);
}

}  // namespace
}  // namespace dorvu
