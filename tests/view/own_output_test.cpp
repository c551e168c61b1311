// The view's reader on logs that the dorvu of this very build writes, so that
// the writer and the reader of the log cannot drift apart.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "support/inputs.h"
#include "support/processes.h"
#include "view/run_report.h"

namespace dorvu::view {
namespace {

namespace fs = std::filesystem;

// Runs dorvu with a fixed seed on `input` in a scratch directory; returns the
// log's bytes, and reads the log with the view's reader into `report`.
std::string RunAndRead(const std::string& input, RunReport& report) {
  test::ScratchDir dir;
  EXPECT_TRUE(test::WriteFile(dir / "input.txt", input));
  EXPECT_EQ(test::RunExecutable(dir.path(), "DORVU_SEED=11").status, 0);
  report = ReadRunLog((dir / "dorvu.log").string());
  return test::ReadFile(dir / "dorvu.log");
}

// Every input the tests keep: the shipped example and the reference inputs.
std::vector<fs::path> Inputs() {
  std::vector<fs::path> inputs{fs::path(DORVU_EXAMPLES) / "input.txt"};
  for (const auto& entry : fs::directory_iterator(fs::path(DORVU_TEST_DATA) / "reference"))
    if (entry.path().string().ends_with(".input.txt")) inputs.push_back(entry.path());
  return inputs;
}

TEST(OwnOutput, TheReaderTakesEveryLogDorvuWritesAndAgreesWithIt) {
  for (const fs::path& input : Inputs()) {
    RunReport report;
    const std::string log = RunAndRead(test::ReadFile(input), report);
    ASSERT_EQ(report.vertices.size(), 127u) << input;
    EXPECT_NE(log.find("\r\nits penalty=" + report.penalty.printed + "\r\n"), std::string::npos) << input;
    EXPECT_NE(log.find("\r\nnoise level=" + report.noiseLevel.printed + "\r\n"), std::string::npos) << input;
    // The marked vertices, as the log lists them.
    std::string listed;
    for (const VertexId v : report.marked) listed.append(" ").append(VertexName(v)).append(" ");
    EXPECT_NE(log.find("the best scenario:\r\n" + listed + "\r\n"), std::string::npos) << input;
    // Each vertex line's values, as printed.
    for (const VertexDistribution& row : report.vertices) {
      std::string line = "vertex " + LogVertexName(row.vertex) + ":";
      for (std::size_t b = 0; b < kBases.size(); ++b)
        line.append(" ").append(1, kBases[b]).append(":").append(row.base[b].printed);
      EXPECT_NE(log.find("\r\n" + line + "\r\n"), std::string::npos) << input << ": " << line;
    }
  }
}

TEST(OwnOutput, InputErrorsAndALimitedCardinality) {
  RunReport report;
  RunAndRead(test::LeafInput("25", "0.1x", [](int k) { return k == 3 ? "A:x C:1" : "A:0.25_C:0.25_G:0.25_T:0.25"; }),
             report);
  EXPECT_EQ(report.inputErrors, 2);  // the noise level and leaf 3
  EXPECT_EQ(report.cardinalityLimit, 20);
  EXPECT_EQ(report.cardinality, 25);
}

}  // namespace
}  // namespace dorvu::view
