// The log reader on hand-made logs of every kind the run can leave.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "test_support.hpp"
#include "view/run_report.hpp"

namespace dorvu::view {
namespace {

using testing::data_path;
using testing::read_bytes;

RunReport parse_file(const std::string& name) { return parse_run_log(read_bytes(data_path(name)), name); }

// The LogError of a log that must be refused.
LogError refusal(const std::string& bytes) {
    try {
        parse_run_log(bytes, "test.log");
    } catch (const LogError& error) {
        return error;
    }
    ADD_FAILURE() << "the log was accepted:\n" << bytes.substr(0, 400);
    return LogError(-1, "accepted");
}

std::string replaced(std::string text, const std::string& from, const std::string& to) {
    const auto at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    return at == std::string::npos ? text : text.replace(at, from.size(), to);
}

TEST(LogReader, ReadsASmoothRun) {
    const RunReport report = parse_file("smooth.log");
    EXPECT_EQ(report.cardinality, 3);
    EXPECT_EQ(report.noiseLevel.printed, "0.1");
    EXPECT_EQ(report.penalty.text, "0.0123456789012345");
    EXPECT_EQ(report.decimalSeparator, '.');
    ASSERT_EQ(report.marked.size(), 3u);
    EXPECT_EQ(report.marked[0], (VertexId{2, 2}));
    EXPECT_EQ(report.marked[1], (VertexId{5, 9}));
    EXPECT_EQ(report.marked[2], (VertexId{3, 6}));
    ASSERT_EQ(report.vertices.size(), 127u);
    EXPECT_EQ(report.vertices[0].vertex, kRoot);
    EXPECT_EQ(report.vertices[0].base[0].text, "0.229582080313251");
    EXPECT_EQ(report.vertices[126].vertex, (VertexId{6, 64}));
    // 6.3 holds a value printed in exponent form.
    EXPECT_EQ(report.vertices[9].vertex, (VertexId{6, 3}));
    EXPECT_EQ(report.vertices[9].base[0].text, "2.38418579101563E-7");
    EXPECT_DOUBLE_EQ(report.vertices[9].base[0].value, 2.38418579101563e-7);
    EXPECT_TRUE(is_marked(report, kRoot));
    EXPECT_FALSE(is_marked(report, VertexId{1, 1}));
}

TEST(LogReader, ReadsPureBasesCommaDecimalsAndRootOnly) {
    const RunReport pure = parse_file("pure.log");
    EXPECT_EQ(pure.vertices[6].base[0].text, "1");
    EXPECT_EQ(pure.vertices[6].base[1].text, "0");
    EXPECT_EQ(pure.penalty.value, 0.0);

    const RunReport comma = parse_file("comma.log");
    EXPECT_EQ(comma.decimalSeparator, ',');
    EXPECT_EQ(comma.noiseLevel.printed, "0,05");
    EXPECT_EQ(comma.noiseLevel.text, "0.05");
    EXPECT_EQ(comma.penalty.text, "1.2345E-5");
    EXPECT_DOUBLE_EQ(comma.penalty.value, 1.2345e-5);

    EXPECT_TRUE(parse_file("root_only.log").marked.empty());
}

TEST(LogReader, KeepsTheMessagesOfTheRunAndItsSpecialValues) {
    const RunReport report = parse_file("messages.log");
    EXPECT_EQ(report.inputErrors.size(), 2u);
    EXPECT_EQ(report.memoryMessages, 4);
    EXPECT_EQ(report.cardinality, 25);
    EXPECT_EQ(report.cardinalityLimit, 20);
    EXPECT_EQ(report.penalty.text, "1E-20");
    const VertexDistribution& leaf7 = report.vertices[8];
    ASSERT_EQ(leaf7.vertex, (VertexId{6, 7}));
    EXPECT_TRUE(std::isnan(leaf7.base[0].value));
    EXPECT_EQ(leaf7.base[0].text, "NaN");
    const VertexDistribution& leaf8 = report.vertices[9];
    EXPECT_TRUE(std::isinf(leaf8.base[0].value));
    EXPECT_EQ(leaf8.base[0].text, "Inf");
}

TEST(LogReader, AcceptsPlainLineFeeds) {
    std::string bytes = read_bytes(data_path("smooth.log"));
    std::erase(bytes, '\r');
    const RunReport report = parse_run_log(bytes, "lf.log");
    EXPECT_EQ(report.vertices[126].base[3].text, parse_file("smooth.log").vertices[126].base[3].text);
}

TEST(LogReader, RefusesALogWithoutAScenario) {
    const LogError error = refusal(read_bytes(data_path("empty_report.log")));
    EXPECT_EQ(error.line, 9);
    EXPECT_NE(error.problem.find("no scenario"), std::string::npos);
}

TEST(LogReader, RefusesTheLogOfAnotherProgramAndAnEmptyFile) {
    const LogError other = refusal(read_bytes(data_path("other_program.log")));
    EXPECT_EQ(other.line, 1);
    EXPECT_NE(other.problem.find("not a dorvu run log"), std::string::npos);
    EXPECT_EQ(refusal("").line, 0);
    EXPECT_EQ(refusal(std::string("presupposed cardinality of scenario=3\r\nnoise\0 level=0\r\n", 55)).line, 2);
}

// A log cut at any line end, or inside any line, is refused with the line where it stops.
TEST(LogReader, RefusesEveryTruncation) {
    const std::string bytes = read_bytes(data_path("smooth.log"));
    int lines = 0;
    for (std::size_t end = bytes.find('\n'); end + 1 < bytes.size(); end = bytes.find('\n', end + 1)) {
        ++lines;
        EXPECT_EQ(refusal(bytes.substr(0, end + 1)).line, lines) << "cut after line " << lines;
        EXPECT_EQ(refusal(bytes.substr(0, end - 3)).line, lines) << "cut inside line " << lines;
    }
    EXPECT_EQ(lines, 139);
}

TEST(LogReader, RefusesDamagedReports) {
    const std::string good = read_bytes(data_path("smooth.log"));
    const std::string line13 = "vertex 1.1: A:0.225215679714298 C:0.285263189659744 G:0.291167476245396 T:0.198353654380562\r\n";
    const std::string line14 = "vertex 2.1: A:0.295707389233316 C:0.20491799794944 G:0.208106006367769 T:0.291268606449475\r\n";
    EXPECT_EQ(refusal(replaced(good, line13 + line14, line14 + line13)).line, 13);  // out of order
    EXPECT_EQ(refusal(replaced(good, "A:0.225215679714298", "A:0.2252x")).line, 13);
    EXPECT_EQ(refusal(replaced(good, "A:0.225215679714298", "A:0,225215679714298")).line, 13);  // mixed separators
    EXPECT_EQ(refusal(replaced(good, "A:0.225215679714298", "A:.225")).line, 13);
    EXPECT_EQ(refusal(replaced(good, " T:0.198353654380562", "")).line, 13);
    EXPECT_EQ(refusal(replaced(good, "T:0.198353654380562", "T:0.198353654380562 X:1")).line, 13);
    EXPECT_EQ(refusal(replaced(good, " 2.2  5.9  3.6 ", " 2.2  7.1 ")).line, 10);
    EXPECT_EQ(refusal(replaced(good, " 2.2  5.9  3.6 ", " 2.2  2.2 ")).line, 10);
    EXPECT_EQ(refusal(replaced(good, " 2.2  5.9  3.6 ", "2.2 5.9")).line, 10);
    EXPECT_EQ(refusal(replaced(good, "done 3 of 6", "Segmentation fault")).line, 6);
    EXPECT_EQ(refusal(replaced(good, "its penalty=", "its penalty:")).line, 11);
    EXPECT_EQ(refusal(good + "vertex  0 : A:1 C:0 G:0 T:0\r\n").line, 140);
    EXPECT_EQ(refusal(replaced(good, "scenario=3", "scenario=3.5")).line, 1);
}

TEST(LogReader, ReadsFilesAndNamesWhatIsWrong) {
    EXPECT_EQ(read_run_log(data_path("smooth.log")).logName, data_path("smooth.log"));
    try {
        read_run_log(data_path("no-such.log"));
        FAIL() << "a missing file was read";
    } catch (const LogError& error) {
        EXPECT_EQ(error.line, 0);
        EXPECT_EQ(error.problem, "no such file");
    }
}

}  // namespace
}  // namespace dorvu::view
