// dorvu-view --support and --scan: the tables checked row by row against
// counts this test makes itself from the logs' lines, the rules for
// percentages and medians, the refusals, and the two pictures.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <filesystem>
#include <map>
#include <memory>
#include <random>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "log/number_format.h"
#include "support/inputs.h"
#include "support/view_runs.h"
#include "support/xml_check.h"
#include "view/command_line.h"
#include "view/log_number.h"
#include "view/run_tallies.h"

namespace dorvu::view {
namespace {

namespace fs = std::filesystem;
using test::FilesIn;
using test::ParseXml;
using test::ProcessResult;
using test::ReadFile;
using test::RunView;
using test::ScratchDir;
using test::TsvRows;
using test::ViewDataPath;
using test::WriteFile;

// A log as this test reads it, with regular expressions over its lines.
struct LoggedRun {
  int cardinality = 0;
  std::string penalty;  // with "." as decimal point
  std::set<std::string> marked;
  std::vector<std::string> vertices;  // in the log's order
};

LoggedRun ReadByRegex(const std::string& log) {
  LoggedRun run;
  std::smatch match;
  EXPECT_TRUE(std::regex_search(log, match, std::regex(R"(presupposed cardinality of scenario=(\d+)\r\n)")));
  run.cardinality = std::stoi(match[1]);
  EXPECT_TRUE(std::regex_search(log, match, std::regex("the best scenario:\r\n(.*)\r\nits penalty=(\\S+)\r\n")));
  run.penalty = std::regex_replace(match[2].str(), std::regex(","), ".");
  const std::string listed = match[1];
  const std::regex name(R"(\S+)");
  for (std::sregex_iterator it(listed.begin(), listed.end(), name), end; it != end; ++it) run.marked.insert(it->str());
  const std::regex vertex(R"(\r\nvertex (.*?): A:)");
  for (std::sregex_iterator it(log.begin(), log.end(), vertex), end; it != end; ++it)
    run.vertices.push_back((*it)[1] == " 0 " ? "0" : (*it)[1].str());
  return run;
}

// Logs of the dorvu of this build on the shipped example: three seeds at
// cardinalities 1 and 3, four at cardinality 2 (an even number of runs).
class RealRuns : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = std::make_unique<ScratchDir>();
    for (const auto& [cardinality, seeds] : std::map<int, int>{{1, 3}, {2, 4}, {3, 3}}) {
      for (int seed = 1; seed <= seeds; ++seed) {
        std::string name = "c";
        name.append(std::to_string(cardinality)).append(".s").append(std::to_string(seed));
        const fs::path run = dir_->path() / name;
        fs::create_directory(run);
        WriteFile(run / "input.txt", test::WithCardinality(test::ExampleInput(), std::to_string(cardinality)));
        ASSERT_EQ(test::RunExecutable(run, "DORVU_SEED=" + std::to_string(seed)).status, 0);
        logs_[cardinality].push_back((run / "dorvu.log").string());
      }
    }
  }
  static void TearDownTestSuite() { dir_.reset(); }

  static std::vector<std::string> AllLogs() {
    std::vector<std::string> all;
    for (const auto& entry : logs_) all.insert(all.end(), entry.second.begin(), entry.second.end());
    return all;
  }

  static inline std::unique_ptr<ScratchDir> dir_;
  static inline std::map<int, std::vector<std::string>> logs_;
};

std::string Shortest(double value) {
  std::ostringstream out;
  out.precision(17);
  out << value;
  return out.str();
}

TEST_F(RealRuns, SupportCountsEveryVertexAsTheLogsDo) {
  for (const auto& [cardinality, logs] : logs_) {
    const std::string prefix = (dir_->path() / ("support" + std::to_string(cardinality))).string();
    std::vector<std::string> args{"--support"};
    args.insert(args.end(), logs.begin(), logs.end());
    args.insert(args.end(), {"-o", prefix});
    const ProcessResult result = RunView(args);
    ASSERT_EQ(result.status, 0) << result.stderrText;

    std::map<std::string, int> counts;
    std::vector<std::string> order;
    for (const std::string& log : logs) {
      const LoggedRun run = ReadByRegex(ReadFile(log));
      order = run.vertices;
      for (const std::string& v : run.marked) ++counts[v];
    }
    const auto rows = TsvRows(ReadFile(prefix + ".tsv"));
    ASSERT_EQ(rows.size(), 128u);
    EXPECT_EQ(rows[0], (std::vector<std::string>{"vertex", "parent", "depth", "runs", "marked", "support"}));
    const int runs = static_cast<int>(logs.size());
    for (std::size_t r = 1; r < rows.size(); ++r) {
      const std::string& v = order[r - 1];
      const int marked = v == "0" ? runs : counts[v];
      ASSERT_EQ(rows[r].size(), 6u);
      EXPECT_EQ(rows[r][0], v);
      EXPECT_EQ(rows[r][3], std::to_string(runs));
      EXPECT_EQ(rows[r][4], std::to_string(marked)) << v;
      EXPECT_EQ(std::stod(rows[r][5]), static_cast<double>(marked) / runs) << v;
      EXPECT_LE(rows[r][5].size(), Shortest(static_cast<double>(marked) / runs).size()) << v;
    }

    // The picture: badges and cut branches for half the runs or more, a
    // percentage on every vertex that some run marks.
    const std::string svg = ReadFile(prefix + ".svg");
    EXPECT_EQ(ParseXml(svg).error, "");
    for (const std::string& v : order) {
      const int marked = v == "0" ? runs : counts[v];
      const std::regex group("id=\"v-" + std::regex_replace(v, std::regex("\\."), "\\.") + "\">(.*?)</g>\n");
      std::smatch match;
      ASSERT_TRUE(std::regex_search(svg, match, group)) << v;
      const std::string percent = std::to_string(SupportPercent(marked, runs)) + "%</text>";
      EXPECT_EQ(match[1].str().find(percent) != std::string::npos, marked > 0) << v << ": " << match[1];
      EXPECT_EQ(svg.find("class=\"vertex marked\" id=\"v-" + v + "\"") != std::string::npos, 2 * marked >= runs) << v;
      if (v != "0") {
        EXPECT_EQ(svg.find("class=\"edge cut\" id=\"e-" + v + "\"") != std::string::npos, 2 * marked >= runs) << v;
      }
    }
  }
}

TEST_F(RealRuns, ScanRowsAgreeWithTheLogs) {
  std::vector<std::string> args{"--scan"};
  const std::vector<std::string> all = AllLogs();
  args.insert(args.end(), all.begin(), all.end());
  const std::string prefix = (dir_->path() / "scan").string();
  args.insert(args.end(), {"-o", prefix});
  const ProcessResult result = RunView(args);
  ASSERT_EQ(result.status, 0) << result.stderrText;

  std::map<int, std::vector<LoggedRun>> byCardinality;
  for (const std::string& log : all) {
    LoggedRun run = ReadByRegex(ReadFile(log));
    byCardinality[run.cardinality].push_back(run);
  }
  const auto rows = TsvRows(ReadFile(prefix + ".tsv"));
  ASSERT_EQ(rows.size(), byCardinality.size() + 1);
  EXPECT_EQ(rows[0], (std::vector<std::string>{"cardinality", "runs", "penalty_min", "penalty_median", "penalty_max",
                                               "marked"}));
  std::size_t r = 1;
  for (auto& [cardinality, runs] : byCardinality) {
    std::sort(runs.begin(), runs.end(),
              [](const LoggedRun& a, const LoggedRun& b) { return std::stod(a.penalty) < std::stod(b.penalty); });
    std::map<std::string, int> counts;
    for (const LoggedRun& run : runs)
      for (const std::string& v : run.marked) ++counts[v];
    std::string marked;
    for (const std::string& v : runs[0].vertices)
      if (v != "0" && 2 * counts[v] >= static_cast<int>(runs.size()))
        marked.append(marked.empty() ? "" : " ").append(v);
    const std::vector<std::string>& row = rows[r++];
    ASSERT_EQ(row.size(), 6u);
    EXPECT_EQ(row[0], std::to_string(cardinality));
    EXPECT_EQ(row[1], std::to_string(runs.size()));
    EXPECT_EQ(row[2], runs.front().penalty);
    EXPECT_EQ(row[4], runs.back().penalty);
    EXPECT_EQ(row[5], marked);
    const std::size_t n = runs.size();
    if (n % 2 == 1) {
      EXPECT_EQ(row[3], runs[n / 2].penalty);
    } else {
      // The mean of the middle two, to 15 significant digits.
      const double mean = (std::stod(runs[n / 2 - 1].penalty) + std::stod(runs[n / 2].penalty)) / 2;
      EXPECT_NEAR(std::stod(row[3]), mean, std::fabs(mean) * 1e-14) << row[3];
    }
  }

  // The picture: one dot per run, one grid row per vertex that any run marks.
  const std::string svg = ReadFile(prefix + ".svg");
  EXPECT_EQ(ParseXml(svg).error, "");
  std::size_t dots = 0;
  for (std::size_t at = 0; (at = svg.find("<circle class=\"run\"", at)) != std::string::npos; ++at) ++dots;
  EXPECT_EQ(dots, all.size());
  std::set<std::string> everMarked;
  for (const auto& entry : byCardinality)
    for (const LoggedRun& run : entry.second) everMarked.insert(run.marked.begin(), run.marked.end());
  std::set<std::string> gridRows;
  const std::regex row("<g class=\"row\" id=\"row-([^\"]+)\">");
  for (std::sregex_iterator it(svg.begin(), svg.end(), row), end; it != end; ++it) gridRows.insert((*it)[1]);
  EXPECT_EQ(gridRows, everMarked);
  for (const std::string& v : everMarked) {
    for (const auto& [cardinality, runs] : byCardinality) {
      const auto marked =
          std::count_if(runs.begin(), runs.end(), [&](const LoggedRun& run) { return run.marked.count(v) > 0; });
      const std::string cell = "id=\"cell-" + v + "-c" + std::to_string(cardinality) + "\"";
      const std::size_t at = svg.find(cell);
      ASSERT_NE(at, std::string::npos) << cell;
      const std::string group = svg.substr(at, svg.find("</g>", at) - at);
      const std::string percent = std::to_string(SupportPercent(marked, std::ssize(runs))) + "%";
      EXPECT_TRUE(group.ends_with(">" + percent + "</text>")) << group;
    }
  }
}

TEST(SupportRules, PercentagesAndShares) {
  struct Case {
    std::int64_t marked, runs;
    int percent;
    std::string share;
  };
  for (const Case& c : std::vector<Case>{{0, 5, 0, "0"},
                                         {5, 5, 100, "1"},
                                         {1, 2, 50, "0.5"},
                                         {7, 20, 35, "0.35"},
                                         {1, 3, 33, "0.3333333333333333"},
                                         {2, 3, 67, "0.6666666666666666"},
                                         {1, 200, 1, "0.005"},  // a half rounds up
                                         {3, 200, 2, "0.015"},
                                         {1, 1000, 1, "0.001"},     // never 0% when marked
                                         {999, 1000, 99, "0.999"},  // never 100% when not always
                                         {1, 10000, 1, "0.0001"}}) {
    EXPECT_EQ(SupportPercent(c.marked, c.runs), c.percent) << c.marked << "/" << c.runs;
    EXPECT_EQ(SupportFraction(c.marked, c.runs), c.share) << c.marked << "/" << c.runs;
  }
  EXPECT_TRUE(MarkedInHalf(2, 4));
  EXPECT_TRUE(MarkedInHalf(2, 3));
  EXPECT_FALSE(MarkedInHalf(1, 3));
}

LogReal Real(const std::string& printed) { return ParseLogReal(printed)->real; }

std::vector<std::string> Texts(const std::vector<LogReal>& reals) {
  std::vector<std::string> texts;
  for (const LogReal& real : reals) texts.push_back(real.text);
  return texts;
}

TEST(SupportRules, SortsByValueWithNaNLastAndTakesMedians) {
  const std::vector<LogReal> sorted =
      SortedByValue({Real("NAN"), Real("3"), Real("1E-20"), Real("-INF"), Real("2,5"), Real("NAN"), Real("INF")});
  EXPECT_EQ(Texts(sorted), (std::vector<std::string>{"-Inf", "1E-20", "2.5", "3", "Inf", "NaN", "NaN"}));

  struct Case {
    std::vector<std::string> penalties;
    std::string median;
  };
  for (const Case& c : std::vector<Case>{
           {{"52.8662249314032"}, "52.8662249314032"},
           {{"3", "1", "2"}, "2"},
           {{"1", "2"}, "1.5"},
           {{"0.1", "0.2"}, "0.15"},  // not 0.15000000000000002
           {{"38,5451116179774", "38,5451116179776"}, "38.5451116179775"},
           {{"1E400", "1E400"}, "1E400"},  // the same number keeps its digits
           {{"2,5E-7", "2.5E-7"}, "2.5E-7"},
           {{"1E20", "3E20"}, "2E20"},
           {{"1", "2", "3", "NAN"}, "2.5"},
           {{"1", "NAN"}, "NaN"},
           {{"1", "INF"}, "Inf"},
           {{"-INF", "INF"}, "NaN"},
       }) {
    std::vector<LogReal> penalties;
    for (const std::string& p : c.penalties) penalties.push_back(Real(p));
    EXPECT_EQ(Median(SortedByValue(penalties)).text, c.median) << c.penalties[0];
  }
}

// The view's formatter against the one that writes the log, on random doubles
// of every magnitude and on exact ties at the 16th digit.
TEST(LogNumber, FormatsRealsAsTheRunLogDoes) {
  std::mt19937_64 random(20240611);
  std::vector<double> values{1e-4, 9.99999999999999e-5, 1e15, 999999999999999.4, 0.5, 1000, 1e-5, 2.5e-7};
  for (int i = 0; i < 20000; ++i) {
    const double bits = std::bit_cast<double>(random());
    if (std::isfinite(bits)) values.push_back(bits);
    values.push_back(std::ldexp(static_cast<double>(random() >> 11), static_cast<int>(random() % 120) - 90));
    // 16-digit integers ending in 5: exact halves at the 16th digit.
    values.push_back(static_cast<double>(1000000000000000 + (random() % 900000000000000) * 10 + 5));
  }
  for (const double value : values) {
    ASSERT_EQ(FormatLogReal(value), FormatReal(value)) << std::hexfloat << value;
    ASSERT_EQ(FormatLogReal(-value), FormatReal(-value));
  }
  EXPECT_EQ(FormatLogReal(0.0), "0");
  EXPECT_EQ(FormatLogReal(-0.0), "0");
  EXPECT_EQ(FormatLogReal(NAN), "NaN");
  EXPECT_EQ(FormatLogReal(-INFINITY), "-Inf");
}

// A stored log with its penalty line replaced.
std::string WithPenalty(const std::string& log, const std::string& penalty) {
  return std::regex_replace(ReadFile(ViewDataPath(log)), std::regex("its penalty=[^\r]*"), "its penalty=" + penalty);
}

TEST(ScanTable, KeepsTheLogsDigitsAndOrdersNaNLast) {
  ScratchDir dir;
  WriteFile(dir / "nan.log", WithPenalty("example.log", "NAN"));
  WriteFile(dir / "tiny.log", WithPenalty("example.log", "1E-20"));
  WriteFile(dir / "inf.log", WithPenalty("example.log", "INF"));
  WriteFile(dir / "comma2.log", WithPenalty("comma.log", "38,5451116179776"));
  const auto scan = [&](const std::vector<std::string>& logs) {
    std::vector<std::string> args{"--scan", "-o", (dir / "scan").string()};
    args.insert(args.end(), logs.begin(), logs.end());
    EXPECT_EQ(RunView(args).status, 0);
    return ReadFile(dir / "scan.tsv");
  };
  const std::string header = "cardinality\truns\tpenalty_min\tpenalty_median\tpenalty_max\tmarked\n";
  const std::string pure = ReadByRegex(ReadFile(ViewDataPath("pure.log"))).penalty;
  EXPECT_EQ(scan({ViewDataPath("comma.log"), ViewDataPath("pure.log")}),
            header + "2\t1\t" + pure + "\t" + pure + "\t" + pure + "\t1.1 2.4\n" +
                "3\t1\t38.5451116179774\t38.5451116179774\t38.5451116179774\t3.2 6.40 5.29\n");
  EXPECT_EQ(scan({ViewDataPath("comma.log"), (dir / "comma2.log").string()}),
            header + "3\t2\t38.5451116179774\t38.5451116179775\t38.5451116179776\t3.2 6.40 5.29\n");
  const std::string root = ReadByRegex(ReadFile(ViewDataPath("root_only.log"))).penalty;
  EXPECT_EQ(scan({(dir / "nan.log").string(), ViewDataPath("example.log"), (dir / "tiny.log").string(),
                  ViewDataPath("root_only.log")}),
            header + "0\t1\t" + root + "\t" + root + "\t" + root + "\t\n" +
                "3\t3\t1E-20\t52.8662249314032\tNaN\t3.2 4.11 5.29\n");
  EXPECT_EQ(scan({(dir / "nan.log").string(), ViewDataPath("example.log"), (dir / "tiny.log").string(),
                  (dir / "inf.log").string()}),
            header + "3\t4\t1E-20\tInf\tNaN\t3.2 4.11 5.29\n");
  EXPECT_EQ(ParseXml(ReadFile(dir / "scan.svg")).error, "");
}

// Every refused log is named with its line and what differs; nothing is written.
TEST(ManyRuns, RefusesLogsThatDoNotBelongTogether) {
  ScratchDir dir;
  const std::string example = ReadFile(ViewDataPath("example.log"));
  const std::string cutText = example.substr(0, example.find("vertex 4.1:"));
  WriteFile(dir / "cut.log", cutText);
  const std::string cutShort =
      ":" + std::to_string(std::count(cutText.begin(), cutText.end(), '\n')) +
      ": the log ends before \"vertex 4.1: A:...\" (the line of vertex 4.1): it was cut short\n";
  WriteFile(dir / "old.tsv", "earlier table");
  const std::string first = ViewDataPath("example.log");
  const std::string cut = (dir / "cut.log").string();
  const std::string support = "; --support takes runs of one cardinality and one noise level\n";
  const ProcessResult refused =
      RunView({"--support", first, ViewDataPath("root_only.log"), ViewDataPath("comma.log"), ViewDataPath("pure.log"),
               cut, ViewDataPath("input_errors.log"), first, "-o", (dir / "old").string()});
  EXPECT_EQ(refused.status, cli::kExitFailure);
  EXPECT_EQ(refused.stdoutText, "");
  EXPECT_EQ(refused.stderrText,
            "dorvu-view: " + ViewDataPath("root_only.log") + ":1: the cardinality \"0\" differs from \"3\" in " +
                first + support + "dorvu-view: " + ViewDataPath("comma.log") +
                ":2: the noise level \"0\" differs from \"0.1\" in " + first + support + "dorvu-view: " +
                ViewDataPath("pure.log") + ":1: the cardinality \"2\" differs from \"3\" in " + first + support +
                "dorvu-view: " + ViewDataPath("pure.log") + ":2: the noise level \"0\" differs from \"0.1\" in " +
                first + support + "dorvu-view: " + cut + cutShort + "dorvu-view: " + ViewDataPath("input_errors.log") +
                ":3: the cardinality \"1\" differs from \"3\" in " + first + support +
                "dorvu-view: " + ViewDataPath("input_errors.log") +
                ":4: the noise level \"2\" differs from \"0.1\" in " + first + support);
  EXPECT_EQ(FilesIn(dir.path()), (std::set<std::string>{"cut.log", "old.tsv"}));
  EXPECT_EQ(ReadFile(dir / "old.tsv"), "earlier table");

  // The scan takes other cardinalities, but not another noise level; the first
  // log that can be read is the one the others are compared with.
  const ProcessResult scan = RunView(
      {"--scan", cut, first, ViewDataPath("root_only.log"), ViewDataPath("comma.log"), "-o", (dir / "old").string()});
  EXPECT_EQ(scan.status, cli::kExitFailure);
  EXPECT_EQ(scan.stderrText, "dorvu-view: " + cut + cutShort + "dorvu-view: " + ViewDataPath("comma.log") +
                                 ":2: the noise level \"0\" differs from \"0.1\" in " + first +
                                 "; --scan takes runs of one noise level\n");
  EXPECT_EQ(FilesIn(dir.path()), (std::set<std::string>{"cut.log", "old.tsv"}));

  // An output that would overwrite one of the many logs.
  WriteFile(dir / "runs.tsv", example);
  const ProcessResult overwrite =
      RunView({"--support", first, (dir / "runs.tsv").string(), "-o", (dir / "runs").string()});
  EXPECT_EQ(overwrite.status, cli::kExitFailure);
  EXPECT_EQ(overwrite.stderrText, "dorvu-view: " + (dir / "runs").string() +
                                      ".tsv: this output would overwrite an input; choose another PREFIX\n");
  EXPECT_EQ(ReadFile(dir / "runs.tsv"), example);
}

TEST(ManyRuns, WritesTheDefaultFilesWithNames) {
  ScratchDir dir;
  std::string names = "leaf\tname\n";
  for (int k = 1; k <= kLeafCount; ++k) names += "6." + std::to_string(k) + "\t<gene & " + std::to_string(k) + ">\n";
  WriteFile(dir / "names.tsv", names);
  const fs::path previous = fs::current_path();
  fs::current_path(dir.path());
  const ProcessResult support = RunView({"--support", ViewDataPath("comma.log"), "--names", "names.tsv"});
  const ProcessResult scan =
      RunView({"--scan", ViewDataPath("comma.log"), ViewDataPath("pure.log"), "--names=names.tsv"});
  fs::current_path(previous);
  EXPECT_EQ(support.status, 0) << support.stderrText;
  EXPECT_EQ(scan.status, 0) << scan.stderrText;
  EXPECT_EQ(FilesIn(dir.path()),
            (std::set<std::string>{"names.tsv", "scan.svg", "scan.tsv", "support.svg", "support.tsv"}));
  const auto rows = TsvRows(ReadFile(dir / "support.tsv"));
  EXPECT_EQ(rows[0].back(), "name");
  EXPECT_EQ(rows[1], (std::vector<std::string>{"0", "NA", "0", "1", "1", "1", ""}));
  const auto leaf = std::find_if(rows.begin(), rows.end(), [](const auto& row) { return row[0] == "6.40"; });
  EXPECT_EQ(*leaf, (std::vector<std::string>{"6.40", "5.20", "6", "1", "1", "1", "<gene & 40>"}));
  for (const std::string picture : {"support.svg", "scan.svg"}) {
    const std::string svg = ReadFile(dir / picture);
    EXPECT_EQ(ParseXml(svg).error, "") << picture;
    EXPECT_NE(svg.find("&lt;gene &amp; 40&gt;"), std::string::npos) << picture;
  }
}

}  // namespace
}  // namespace dorvu::view
