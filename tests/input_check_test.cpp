// The checks of the input file: what they find in the bytes, and that the
// problems they call logged are exactly the lines a run logs.
#include "input/input_check.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "input/input_reader.h"
#include "log/run_log.h"
#include "run/driver.h"
#include "search/run_parameters.h"
#include "support/inputs.h"

namespace dorvu {
namespace {

using test::ExampleInput;
using test::ReadFile;
using test::WithLine;
using test::WithNoise;
using test::WithoutLine;

std::vector<std::string> Texts(std::string_view bytes) {
  std::vector<std::string> texts;
  for (const InputFinding& finding : ParseInputBytes(bytes, "input.txt", kMaxCardinality).findings)
    texts.push_back(finding.text);
  return texts;
}

using Lines = std::vector<std::string>;

TEST(InputCheck, TheExampleIsClean) {
  EXPECT_EQ(Texts(ExampleInput()), Lines{});
  EXPECT_EQ(Texts(WithNoise(ExampleInput(), "0")), Lines{});
}

// The mistakes that used to pass without a word.
TEST(InputCheck, FindsTheSilentMistakes) {
  EXPECT_EQ(Texts(WithoutLine(ExampleInput(), 12)),
            Lines{"input.txt: 65 lines, not 66: leaf 64 is missing, so its values are read as 0"});
  EXPECT_EQ(Texts(WithLine(ExampleInput(), 9, "6.7 a:0.2893_c:0.1838_g:0.1957_t:0.3312")),
            Lines{"input.txt:9: leaf 7 gives no A:, C:, G: or T: value, so all four are read as 0"});
  EXPECT_EQ(Texts(std::string(1, '\n').append(ExampleInput())),
            (Lines{"input.txt:1: no \"=\" on the cardinality line; line 2 looks like it, so every line is read one "
                   "place too low: the run reads the cardinality line as the noise level and logs \"noise level=3\"",
                   "input.txt:1: no cardinality given (logged as an error; the run uses 0)",
                   "input.txt:3: leaf 1 gives no A:, C:, G: or T: value, so all four are read as 0",
                   "input.txt:67: text after line 66 is never read"}));
  EXPECT_EQ(Texts("presupposed cardinality of scenario=3\nlevel of randomness=0.1\n"),
            Lines{"input.txt: 2 lines, not 66: leaves 1 to 64 are missing, so their values are read as 0"});
  EXPECT_EQ(Texts("cardinality=1"),
            (Lines{"input.txt:2: no \"=\" on the noise level line",
                   "input.txt:2: no noise level given (logged as an error; the run uses 0)",
                   "input.txt: 1 line, not 66: leaves 1 to 64 are missing, so their values are read as 0"}));
  // Blank lines after the last one read, a CR LF file and a byte 26 end are fine.
  std::string crlf;
  for (char c : ExampleInput()) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
  EXPECT_EQ(Texts(ExampleInput() + "\n \t\n" + '\x1a' + "junk"), Lines{});
  EXPECT_EQ(Texts(crlf), Lines{});
}

TEST(InputCheck, NamesMissingBasesAndSumsFarFromOneWithTheNoiseOff) {
  const std::string off = WithNoise(ExampleInput(), "0");
  EXPECT_EQ(Texts(WithLine(off, 3, "6.1 A:0.3_C:0.2_G:0.5_t:0")),
            Lines{"input.txt:3: leaf 1 gives no T: value, so T is read as 0"});
  EXPECT_EQ(Texts(WithLine(off, 3, "6.1 A:1 C: 0.2 T:")),
            (Lines{"input.txt:3: leaf 1: the C: value is empty (logged as an error)",
                   "input.txt:3: leaf 1 gives no G: or T: value, so G and T are read as 0"}));
  EXPECT_EQ(Texts(WithLine(off, 3, "6.1 C:1")),
            Lines{"input.txt:3: leaf 1 gives no A:, G: or T: value, so A, G and T are read as 0"});
  // Two-decimal values may sum to 0.98 or 1.02; percentages are far off.
  EXPECT_EQ(Texts(WithLine(off, 3, "6.1 A:0.27_C:0.25_G:0.25_T:0.25")), Lines{});
  EXPECT_EQ(Texts(WithLine(off, 3, "6.1 A:0.23_C:0.25_G:0.25_T:0.25")), Lines{});
  const Lines percent{
      "input.txt:3: leaf 1 sums to 100, not 1; with the noise off the run takes its values as they are"};
  EXPECT_EQ(Texts(WithLine(off, 3, "6.1 A:30_C:20_G:25_T:25")), percent);
  EXPECT_EQ(Texts(WithLine(WithLine(off, 2, "x=-0.5"), 3, "6.1 A:30_C:20_G:25_T:25")), percent);
  EXPECT_EQ(Texts(WithLine(off, 3, "6.1 A:0.28_C:0.25_G:0.25_T:0.25")),
            Lines{"input.txt:3: leaf 1 sums to 1.03, not 1; with the noise off the run takes its values as they are"});
  // Any positive level leaves some noise in force, which renormalises the leaves.
  EXPECT_EQ(Texts(WithLine(WithLine(off, 2, "x=1e-300"), 3, "6.1 A:30_C:20_G:25_T:25")), Lines{});
}

TEST(InputCheck, DescribesEveryProblemTheRunLogs) {
  std::string input = WithLine(ExampleInput(), 1, "cardinality=25x");
  input = WithLine(input, 2, "noise=0.5x");
  input = WithLine(input, 4, "6.2 A:0,3_C:_G:0.1792\tT:0.3104");
  input = WithLine(input, 5, "6.3 A:\"\\\x01\xff" + std::string(30, '9'));
  EXPECT_EQ(Texts(input),
            (Lines{"input.txt:1: the cardinality \"25x\" is not a whole 32-bit number (logged as an error; the run "
                   "uses 25)",
                   "input.txt:1: the cardinality 25 is above 20 (logged; the run uses 20)",
                   "input.txt:2: the noise level \"0.5x\" is not a number (logged as an error; the run uses 5)",
                   "input.txt:4: leaf 2: the A: value \"0,3\" is not a number (logged as an error)",
                   "input.txt:4: leaf 2: the C: value is empty (logged as an error)",
                   "input.txt:4: leaf 2: the G: value \"0.1792\\tT:0.3104\" is not a number (logged as an error)",
                   "input.txt:5: leaf 3: the A: value \"\\\"\\\\\\x01\\xFF99999999999999999999...\" is not a number "
                   "(logged as an error)",
                   "input.txt:5: leaf 3 gives no C:, G: or T: value, so C, G and T are read as 0"}));
}

// However hostile the input, the check calls logged exactly as many problems
// as the run writes lines before its echo of the parameters.
TEST(InputCheck, CountsWhatTheRunLogs) {
  test::ScratchDir dir;
  const std::vector<std::string> inputs = {
      "",
      "=\n=\n:A:1:\nA::\nT:1e999_G:1e-400_C:-_A:+.\n",
      "c=$7fffffff\nn=-1e999\n" + std::string(64, '\n') + "x\n",
      "c=-2147483649\nn=.\r\n" + std::string(10, 'A') + ":" + std::string(400, '9') + "x C:5. G:.5 T:1e+",
  };
  for (const std::string& input : inputs) {
    test::WriteFile(dir / "input.txt", input);
    RunLog log{(dir / "dorvu.log").string()};
    CreateLog(log);
    Tree tree;
    LayOutTree(tree);
    const ParsedInput parsed = ReadRunInput((dir / "input.txt").string(), log, tree);
    const std::string logText = ReadFile(log.path);
    auto logged = std::count(logText.begin(), logText.end(), '\n');
    if (parsed.parameters.cardinality > kMaxCardinality) ++logged;  // the driver's line about the limit
    const auto& findings = parsed.findings;
    EXPECT_EQ(std::count_if(findings.begin(), findings.end(), [](const InputFinding& f) { return f.logged; }), logged)
        << input;
  }
}

}  // namespace
}  // namespace dorvu
