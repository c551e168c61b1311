// The log reader on logs written by dorvu runs, and on logs damaged in the
// ways a run, a copy or a mix-up can damage them.
#include "view/run_report.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <sstream>
#include <string>
#include <vector>

#include "support/view_runs.h"

namespace dorvu::view {
namespace {

using test::ParseFile;
using test::ReadFile;
using test::ViewDataPath;

const VertexDistribution& Row(const RunReport& report, VertexId v) {
  const auto it = std::find_if(report.vertices.begin(), report.vertices.end(),
                               [v](const VertexDistribution& row) { return row.vertex == v; });
  EXPECT_NE(it, report.vertices.end());
  return *it;
}

// The cli::LocatedError of a log that must be refused.
cli::LocatedError Refusal(const std::string& bytes) {
  try {
    ParseRunLog(bytes, "test.log");
  } catch (const cli::LocatedError& error) {
    return error;
  }
  ADD_FAILURE() << "the log was accepted:\n" << bytes.substr(0, 400);
  return cli::LocatedError(-1, "accepted");
}

std::vector<std::string> Lines(const std::string& bytes) {
  std::vector<std::string> lines;
  std::istringstream in(bytes);
  for (std::string line; std::getline(in, line);) lines.push_back(line + "\n");
  return lines;
}

std::string Joined(const std::vector<std::string>& lines) {
  std::string out;
  for (const std::string& line : lines) out += line;
  return out;
}

// The log with its line `number` (from 1) replaced; `text` gets the line end.
std::string WithLine(const std::string& bytes, int number, const std::string& text) {
  std::vector<std::string> lines = Lines(bytes);
  lines.at(number - 1) = text + "\r\n";
  return Joined(lines);
}

TEST(LogReader, ReadsTheExampleRun) {
  const RunReport report = ParseFile("example.log");
  EXPECT_EQ(report.cardinality, 3);
  EXPECT_EQ(report.noiseLevel.printed, "0.1");
  EXPECT_EQ(report.penalty.text, "52.8662249314032");
  EXPECT_DOUBLE_EQ(report.penalty.value, 52.8662249314032);
  EXPECT_EQ(report.decimalSeparator, '.');
  EXPECT_EQ(report.marked, (std::vector<VertexId>{{3, 2}, {4, 11}, {5, 29}}));
  ASSERT_EQ(report.vertices.size(), 127u);
  for (std::size_t i = 0; i < report.vertices.size(); ++i) EXPECT_EQ(report.vertices[i].vertex, DepthFirstOrder()[i]);
  EXPECT_EQ(report.vertices[0].base[0].text, "0.291969819197397");
  EXPECT_EQ(report.vertices[0].line, 13);
  EXPECT_TRUE(IsMarked(report, kRoot));
  EXPECT_TRUE(IsMarked(report, VertexId{4, 11}));
  EXPECT_FALSE(IsMarked(report, VertexId{1, 1}));
}

TEST(LogReader, ReadsPureBasesExponentsAndCommaDecimals) {
  const RunReport pure = ParseFile("pure.log");
  EXPECT_EQ(Row(pure, {6, 1}).base[0].text, "1");
  EXPECT_EQ(Row(pure, {6, 1}).base[1].text, "0");
  EXPECT_EQ(Row(pure, {6, 64}).base[0].text, "1E-5");
  EXPECT_DOUBLE_EQ(Row(pure, {6, 64}).base[0].value, 1e-5);

  const RunReport comma = ParseFile("comma.log");
  EXPECT_EQ(comma.decimalSeparator, ',');
  EXPECT_EQ(comma.penalty.printed, "38,5451116179774");
  EXPECT_EQ(comma.penalty.text, "38.5451116179774");
  EXPECT_EQ(Row(comma, {6, 40}).base[0].text, "2.5E-7");
  EXPECT_DOUBLE_EQ(Row(comma, {6, 40}).base[0].value, 2.5e-7);
}

TEST(LogReader, ReadsRunsWithMessagesOnlyTheRootOrNoData) {
  EXPECT_TRUE(ParseFile("root_only.log").marked.empty());

  const RunReport errors = ParseFile("input_errors.log");
  EXPECT_EQ(errors.inputErrors, 2);
  EXPECT_EQ(errors.noiseLevel.value, 2.0);

  const RunReport zeros = ParseFile("zero_input.log");
  EXPECT_EQ(zeros.inputErrors, 2);
  EXPECT_EQ(Row(zeros, {3, 5}).base[2].value, 0.0);

  // Made by hand: memory messages, the cardinality limit, INF and NAN values.
  const RunReport messages = ParseFile("messages.log");
  EXPECT_EQ(messages.memoryMessages, 4);
  EXPECT_EQ(messages.cardinality, 25);
  EXPECT_EQ(messages.cardinalityLimit, 20);
  EXPECT_TRUE(std::isnan(Row(messages, {6, 7}).base[0].value));
  EXPECT_EQ(Row(messages, {6, 7}).base[0].text, "NaN");
  EXPECT_TRUE(std::isinf(Row(messages, {6, 8}).base[0].value));
  EXPECT_EQ(Row(messages, {6, 8}).base[0].text, "Inf");
}

TEST(LogReader, AcceptsPlainLineFeeds) {
  std::string bytes = ReadFile(ViewDataPath("example.log"));
  std::erase(bytes, '\r');
  EXPECT_EQ(ParseRunLog(bytes, "lf.log").vertices[126].base[3].text,
            ParseFile("example.log").vertices[126].base[3].text);
}

// Heavy runs write millions of memory lines; the log is read in chunks, so
// lines that cross a chunk's end must come out whole.
TEST(LogReader, ReadsALongLogAcrossItsChunks) {
  const std::string example = ReadFile(ViewDataPath("example.log"));
  const auto report = example.find("the best scenario:");
  std::string memory;
  for (int i = 0; i < 50000; ++i) memory += i % 3 == 0 ? "I want more add memory!\r\n" : "I want more main memory!\r\n";
  const std::string bytes = example.substr(0, report) + memory + example.substr(report);
  std::istringstream in(bytes);
  const RunReport longer = ParseRunLog(in, "long.log");
  const RunReport plain = ParseFile("example.log");
  EXPECT_EQ(longer.memoryMessages, 50000);
  EXPECT_EQ(longer.vertices.back().line, plain.vertices.back().line + 50000);
  for (std::size_t i = 0; i < plain.vertices.size(); ++i)
    for (std::size_t b = 0; b < 4; ++b) EXPECT_EQ(longer.vertices[i].base[b].text, plain.vertices[i].base[b].text);
  EXPECT_EQ(Refusal(bytes.substr(0, bytes.size() - 1)).line, 50139);
  const cli::LocatedError longLine = Refusal(example.substr(0, report) + std::string(5000, 'x') + "\r\n");
  EXPECT_EQ(longLine.line, 9);
  EXPECT_EQ(longLine.problem, "the line is far longer than any line of a dorvu run log");
  // A run on a tree of one's own names its tree after the noise level, on a
  // line of any length: read whole, the fixed tree's names are then not its.
  const std::size_t third = example.find("done ");
  for (const std::size_t length : {10, 100000}) {
    const cli::LocatedError tree =
        Refusal(example.substr(0, third) + "tree=(" + std::string(length, 'a') + ",b);\r\n" + example.substr(third));
    EXPECT_EQ(tree.line, 11);
    EXPECT_EQ(tree.problem, "not a vertex name in the marked vertices: \"3.2\"");
  }
}

TEST(LogReader, RefusesALogWithoutAScenario) {
  const cli::LocatedError error = Refusal(ReadFile(ViewDataPath("empty_report.log")));
  EXPECT_EQ(error.line, 10);
  EXPECT_NE(error.problem.find("no scenario"), std::string::npos);
}

TEST(LogReader, RefusesTheLogOfAnotherProgramAndAnEmptyFile) {
  const cli::LocatedError other = Refusal(ReadFile(ViewDataPath("other_program.log")));
  EXPECT_EQ(other.line, 1);
  EXPECT_NE(other.problem.find("not a dorvu run log"), std::string::npos);
  EXPECT_EQ(Refusal("").line, 0);
  EXPECT_EQ(Refusal(std::string("presupposed cardinality of scenario=3\r\nnoise\0 level=0\r\n", 55)).line, 2);
}

// A log cut at any line end, or inside any line, is refused with the line where it stops.
TEST(LogReader, RefusesEveryTruncation) {
  const std::string bytes = ReadFile(ViewDataPath("example.log"));
  int lines = 0;
  for (std::size_t end = bytes.find('\n'); end + 1 < bytes.size(); end = bytes.find('\n', end + 1)) {
    ++lines;
    EXPECT_EQ(Refusal(bytes.substr(0, end + 1)).line, lines) << "cut after line " << lines;
    EXPECT_EQ(Refusal(bytes.substr(0, end - 3)).line, lines) << "cut inside line " << lines;
  }
  EXPECT_EQ(lines, 138);
}

// A cut anywhere in the last two lines, the last line end included, is
// refused at the line where the log stops.
TEST(LogReader, RefusesEveryCutOfTheLastTwoLines) {
  const std::string bytes = ReadFile(ViewDataPath("example.log"));
  const std::size_t secondToLast = bytes.rfind('\n', bytes.rfind('\n', bytes.size() - 2) - 1) + 1;
  for (std::size_t cut = secondToLast; cut < bytes.size(); ++cut) {
    const std::string kept = bytes.substr(0, cut);
    const auto lineEnds = std::count(kept.begin(), kept.end(), '\n');
    const int64_t expected = lineEnds + (kept.ends_with('\n') ? 0 : 1);
    EXPECT_EQ(Refusal(kept).line, expected) << "cut at byte " << cut << " of " << bytes.size();
  }
}

TEST(LogReader, RefusesDamagedReports) {
  const std::string good = ReadFile(ViewDataPath("example.log"));
  std::vector<std::string> swapped = Lines(good);
  std::swap(swapped[13], swapped[14]);
  EXPECT_EQ(Refusal(Joined(swapped)).line, 14);  // 2.1 where 1.1 belongs
  const std::string root = "vertex  0 : A:0.291969819197397 C:0.203351673607338 G:0.199717565307317 T:";
  EXPECT_EQ(Refusal(WithLine(good, 13, root + "0.3049x")).line, 13);
  EXPECT_EQ(Refusal(WithLine(good, 13, root + "0,304960941887948")).line, 13);  // mixed separators
  EXPECT_EQ(Refusal(WithLine(good, 13, root + ".3")).line, 13);
  EXPECT_EQ(Refusal(WithLine(good, 13, root + "0.3 X:1")).line, 13);
  EXPECT_EQ(Refusal(WithLine(good, 13, "vertex 0: A:1 C:0 G:0 T:0")).line, 13);
  EXPECT_EQ(Refusal(WithLine(good, 10, " 3.2  7.1 ")).line, 10);
  EXPECT_EQ(Refusal(WithLine(good, 10, " 3.2  3.2 ")).line, 10);
  EXPECT_EQ(Refusal(WithLine(good, 10, "3.2 4.11")).line, 10);
  EXPECT_EQ(Refusal(WithLine(good, 6, "Segmentation fault")).line, 6);
  EXPECT_EQ(Refusal(WithLine(good, 11, "its penalty:52")).line, 11);
  EXPECT_EQ(Refusal(WithLine(good, 1, "presupposed cardinality of scenario=3.5")).line, 1);
  EXPECT_EQ(Refusal(good + "vertex  0 : A:1 C:0 G:0 T:0\r\n").line, 140);
}

}  // namespace
}  // namespace dorvu::view
