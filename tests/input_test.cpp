#include <gtest/gtest.h>

#include <limits>
#include <random>

#include "input/convert.h"
#include "input/input_reader.h"
#include "input/leaf_noise.h"
#include "log/io_error.h"
#include "run/driver.h"
#include "support/files.h"
#include "support/same_bits.h"

namespace dorvu {
namespace {

using test::ScratchDir;

TEST(Conversion, IntegersWithSignsPrefixesAndFailedValues) {
  struct Case {
    const char* token;
    int32_t status;
    int32_t value;
  };
  const Case cases[] = {
      {"5", 0, 5},
      {"-7", 0, -7},
      {"+12", 0, 12},
      {"$1F", 0, 31},
      {"x10", 0, 16},
      {"0XfF", 0, 255},
      {"-$10", 0, -16},
      {"2147483647", 0, 2147483647},
      {"-2147483648", 0, INT32_MIN},
      {"2147483648", 1, 214748364},
      {"99999999999", 1, 999999999},
      {"12a", 1, 12},
      {"-12a", 1, 12},
      {"", 1, 0},
      {"-", 1, 0},
      {"a1", 1, 0},
      {"0x", 1, 0},
      {"1 ", 1, 1},
      {"5.0", 1, 5},
      {"\t3", 1, 0},
  };
  for (const Case& c : cases) {
    int32_t value = -99;
    EXPECT_EQ(ConvertInteger(c.token, value), c.status) << '"' << c.token << '"';
    EXPECT_EQ(value, c.value) << '"' << c.token << '"';
  }
}

TEST(Conversion, RealsAndTheValuesLeftByFailures) {
  struct Case {
    const char* token;
    int32_t status;
    double value;
  };
  const Case cases[] = {
      {"0.1", 0, 0.1},     {"1e-3", 0, 0.001},    {"-0.5", 0, -0.5}, {"5.", 0, 5.0},       {".25", 0, 0.25},
      {"+2E+2", 0, 200.0}, {"1e-320", 0, 1e-320}, {"0.5x", 1, 5.0},  {"-1.25x", 1, 125.0}, {"2e", 1, 2.0},
      {"2e5x", 1, 2.0},    {"x2", 1, 0.0},        {"", 1, 0.0},      {".", 1, 0.0},        {"0,5", 1, 0.0},
      {"1e999", 1, 1.0},   {"0.1\t", 1, 1.0},     {"inf", 1, 0.0},   {"nan", 1, 0.0},
  };
  for (const Case& c : cases) {
    double value = -99.0;
    EXPECT_EQ(ConvertReal(c.token, value), c.status) << '"' << c.token << '"';
    EXPECT_EQ(value, c.value) << '"' << c.token << '"';
  }
  // Correct rounding of a long decimal, whatever the process locale.
  double value = 0.0;
  ASSERT_EQ(ConvertReal("0.1000000000000000055511151231257827021181583404541015625", value), 0);
  EXPECT_EQ(value, 0.1);
}

TEST(LeafLines, ValuesSeparatorsAndMessages) {
  struct Case {
    const char* line;
    int failures;
    BaseValues values;
  };
  const Case cases[] = {
      {"6.1 A:0.1_C:0.2_G:0.3_T:0.4", 0, {0.1, 0.2, 0.3, 0.4}},
      {"6.1 A:0.1 C:0.2 G:0.3 T:0.4", 0, {0.1, 0.2, 0.3, 0.4}},
      {"A:0.1,C:0.2", 1, {0.0, 0.2, 0.0, 0.0}},
      {"A:_C:0.2 G:0.3", 1, {0.0, 0.2, 0.3, 0.0}},
      {"C:0.5 T:", 0, {0.0, 0.5, 0.0, 0.0}},
      {"a:0.5 X:0.3", 0, {}},
      {"A:0.2 A:0.7", 0, {0.7, 0.0, 0.0, 0.0}},
      {"A:1e-3 C:-0.5 G:5.", 0, {0.001, -0.5, 5.0, 0.0}},
      {"A:", 0, {}},
      {":5", 0, {}},
      {"A:x C:y", 2, {}},
  };
  for (const Case& c : cases) {
    BaseValues values;
    EXPECT_EQ(ReadLeafLine(c.line, values), c.failures) << c.line;
    EXPECT_EQ(values.b[0], c.values.b[0]) << c.line;
    EXPECT_EQ(values.b[1], c.values.b[1]) << c.line;
    EXPECT_EQ(values.b[2], c.values.b[2]) << c.line;
    EXPECT_EQ(values.b[3], c.values.b[3]) << c.line;
  }
}

struct ReadResult {
  InputParameters params;
  Tree tree;
  std::string log;
};

ReadResult ReadBytes(const std::string& bytes) {
  ScratchDir dir;
  test::WriteFile(dir / "input.txt", bytes);
  const RunLog log{(dir / "dorvu.log").string()};
  CreateLog(log);
  ReadResult result;
  LayOutTree(result.tree);
  result.params = ReadRunInput((dir / "input.txt").string(), log, result.tree).parameters;
  result.log = test::ReadFile(log.path);
  return result;
}

const BaseValues& Leaf(const ReadResult& r, int k) { return r.tree.treeSequence[r.tree.leafSlots[k]].value; }

TEST(InputFile, ParametersAndLeavesWithTheirMessagesInOrder) {
  const ReadResult r = ReadBytes("cardinality=12a\r\nnoise=0.5x\r\nA:oops C:0.2\nA:0.3\rC:0.4\n\n6.4 T:bad");
  EXPECT_EQ(r.params.cardinality, 12);
  EXPECT_EQ(r.params.noiseLevel, 5.0);
  EXPECT_EQ(r.log,
            "an error in cardinality of scenario, sorry\r\n"
            "an error in level of randomness, sorry\r\n"
            "an error in data on the leaf 1\r\n"
            "an error in data on the leaf 2\r\n"
            "an error in data on the leaf 4\r\n");
  EXPECT_EQ(Leaf(r, 1).b[1], 0.2);
  // A lone CR is dropped from the line's text: "A:0.3C:0.4" fails for A only.
  EXPECT_EQ(Leaf(r, 2).b[0], 0.0);
  EXPECT_EQ(Leaf(r, 2).b[1], 0.4);
  EXPECT_EQ(Leaf(r, 4).b[3], 0.0);
}

TEST(InputFile, ParameterTokensFollowTheFirstEquals) {
  EXPECT_EQ(ReadBytes("c=5_extra\nn=0.1=2\n").params.cardinality, 5);
  EXPECT_EQ(ReadBytes("c=5_extra\nn=0.1=2\n").log, "an error in level of randomness, sorry\r\n");
  const ReadResult blank = ReadBytes("c= 5\nn=\n");
  EXPECT_EQ(blank.params.cardinality, 0);
  EXPECT_EQ(blank.params.noiseLevel, 0.0);
  EXPECT_EQ(blank.log, "an error in cardinality of scenario, sorry\r\nan error in level of randomness, sorry\r\n");
  const ReadResult empty = ReadBytes("");
  EXPECT_EQ(empty.log, blank.log);
}

TEST(InputFile, EndOfFileByteLineLimitAndLongLines) {
  std::string bytes = "c=3\nn=0\n";
  for (int k = 1; k <= 64; ++k) bytes += "A:" + std::to_string(k) + "\n";
  bytes += "this line 67 is never read: A:x\n";
  ReadResult r = ReadBytes(bytes);
  EXPECT_EQ(r.log, "");
  EXPECT_EQ(Leaf(r, 64).b[0], 64.0);

  r = ReadBytes("c=3\nn=0\nA:1\nA:2\x1A\nA:3\n");
  EXPECT_EQ(Leaf(r, 2).b[0], 2.0);
  EXPECT_EQ(Leaf(r, 3).b[0], 0.0);

  // A leaf line of several megabytes still yields its values.
  std::string longLine = "A:0.25 " + std::string(5 << 20, '#') + " T:0.75";
  r = ReadBytes("c=3\nn=0\n" + longLine + "\nC:1\n");
  EXPECT_EQ(Leaf(r, 1).b[0], 0.25);
  EXPECT_EQ(Leaf(r, 1).b[3], 0.75);
  EXPECT_EQ(Leaf(r, 2).b[1], 1.0);
}

TEST(InputFile, MissingFileAndDirectoryAreFatal) {
  ScratchDir dir;
  const RunLog log{(dir / "dorvu.log").string()};
  CreateLog(log);
  Tree tree;
  LayOutTree(tree);
  const std::string missing = (dir / "input.txt").string();
  try {
    ReadRunInput(missing, log, tree);
    FAIL();
  } catch (const IoError& error) {
    EXPECT_EQ(error.message, "cannot open " + missing + ": No such file or directory");
  }
  std::filesystem::create_directory(missing);
  try {
    ReadRunInput(missing, log, tree);
    FAIL();
  } catch (const IoError& error) {
    EXPECT_EQ(error.message, "cannot read " + missing + ": Is a directory");
  }
  EXPECT_EQ(test::ReadFile(log.path), "");
}

// The level read less 0.04, with 0.005 only where that leaves nothing of a
// positive level: a level just above the offset keeps its small remainder.
TEST(LeafNoise, NoiseInForceHasAFloorOnlyWhereNothingIsLeft) {
  EXPECT_EQ(NoiseInForce(0.0), 0.0);
  EXPECT_EQ(NoiseInForce(-0.3), 0.0);
  EXPECT_EQ(NoiseInForce(0.02), 0.005);
  EXPECT_EQ(NoiseInForce(0.04), 0.005);
  EXPECT_NEAR(NoiseInForce(0.042), 0.002, 1e-15);
  EXPECT_NEAR(NoiseInForce(0.1), 0.06, 1e-15);
}

TEST(LeafNoise, RenormaliseDropsNegativesAndSumsToOne) {
  BaseValues r = Renormalise({0.75, 0.3, -0.02, -0.01});
  EXPECT_DOUBLE_EQ(r.b[0], 0.725);
  EXPECT_DOUBLE_EQ(r.b[1], 0.275);
  EXPECT_EQ(r.b[2], 0.0);
  EXPECT_EQ(r.b[3], 0.0);
  r = Renormalise({1.0, -0.01, 0.0, 0.0});
  EXPECT_EQ(r.b[0], 1.0);
  EXPECT_EQ(r.b[1], 0.0);
  EXPECT_EQ(r.b[2], 0.0);
  EXPECT_EQ(r.b[3], 0.0);
  r = Renormalise({3.0, 3.0, 3.0, 3.0});
  EXPECT_EQ(r.b[0], 0.25);
  EXPECT_EQ(r.b[3], 0.25);

  std::mt19937 gen(5);
  std::uniform_real_distribution<double> value(-2.0, 2.0);
  for (int i = 0; i < 5000; ++i) {
    const BaseValues w{value(gen), value(gen), value(gen), value(gen)};
    r = Renormalise(w);
    for (int b = 0; b < kBaseCount; ++b) EXPECT_GE(r.b[b], 0.0);
    EXPECT_NEAR(r.b[0] + r.b[1] + r.b[2] + r.b[3], 1.0, 1e-15);
  }
}

// The renormalisation written out on its own: shift the active values
// equally towards a sum of 1, drop those that fall below 0, until none does.
BaseValues ShiftAndDrop(const BaseValues& w) {
  bool active[4] = {true, true, true, true};
  double sum = static_cast<double>(static_cast<long double>(w.b[0]) + w.b[1] + w.b[2] + w.b[3]);
  int count = 4;
  double shift = 0.0;
  for (bool dropped = true; dropped;) {
    shift = static_cast<double>((1.0L - sum) / count);
    sum = 0.0;
    count = 0;
    dropped = false;
    for (int b = 0; b < 4; ++b) {
      if (!active[b]) continue;
      if (static_cast<long double>(w.b[b]) + shift < 0.0L) {
        active[b] = false;
        dropped = true;
      } else {
        ++count;
        sum = static_cast<double>(static_cast<long double>(sum) + w.b[b]);
      }
    }
  }
  BaseValues result;
  for (int b = 0; b < 4; ++b)
    result.b[b] = active[b] ? static_cast<double>(w.b[b] + static_cast<long double>(shift)) : 0.0;
  return result;
}

TEST(LeafNoise, TheProjectionWithNoStepIsTheShiftAndDropRenormalisation) {
  const double inf = std::numeric_limits<double>::infinity();
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double specials[] = {0.0, -0.0, 1.0, -1.0, 0.25, 1e-300, -1e-300, 4.9e-324, 1e308, -1e308, inf, -inf, nan};
  for (const double a : specials)
    for (const double c : specials)
      for (const double g : {0.0, 0.5, -0.5, inf, nan})
        for (const double t : {0.0, 1e-17, -2.0}) {
          const BaseValues w{a, c, g, t};
          const BaseValues expected = ShiftAndDrop(w);
          const BaseValues got = Renormalise(w);
          ASSERT_TRUE(test::SameBits(expected, got)) << a << " " << c << " " << g << " " << t;
        }
}

TEST(LeafNoise, FourDrawsPerLeafInLeafOrder) {
  Tree tree;
  LayOutTree(tree);
  for (int k = 1; k <= kLeafCount; ++k) tree.treeSequence[tree.leafSlots[k]].value = {0.4, 0.3, 0.2, 0.1};
  tree.treeSequence[tree.leafSlots[7]].value = {};
  std::mt19937 gen(42);
  PerturbLeaves(tree, 0.06, gen);

  // Replays the draws: change k/1000 of the level, up for r < 1001, down otherwise.
  std::mt19937 replay(42);
  for (int k = 1; k <= kLeafCount; ++k) {
    const BaseValues v = k == 7 ? BaseValues{} : BaseValues{0.4, 0.3, 0.2, 0.1};
    BaseValues w;
    for (int b = 0; b < kBaseCount; ++b) {
      const uint32_t r = UniformInteger(replay, 2002);
      const long double change = r < 1001 ? (static_cast<long double>(r) * 0.06) / 1000.0L
                                          : -((static_cast<long double>(r - 1001) * 0.06) / 1000.0L);
      w.b[b] = static_cast<double>(v.b[b] + change);
    }
    const BaseValues expected = Renormalise(w);
    const BaseValues& got = tree.treeSequence[tree.leafSlots[k]].value;
    for (int b = 0; b < kBaseCount; ++b) EXPECT_EQ(got.b[b], expected.b[b]) << "leaf " << k;
    EXPECT_NEAR(got.b[0] + got.b[1] + got.b[2] + got.b[3], 1.0, 1e-15);
  }
  EXPECT_EQ(gen(), replay());  // exactly 256 draws
}

TEST(LeafNoise, UniformIntegerCoversItsRange) {
  std::mt19937 gen(1);
  uint32_t low = 2002, high = 0;
  for (int i = 0; i < 200000; ++i) {
    const uint32_t r = UniformInteger(gen, 2002);
    low = std::min(low, r);
    high = std::max(high, r);
  }
  EXPECT_EQ(low, 0u);
  EXPECT_EQ(high, 2001u);
}

}  // namespace
}  // namespace dorvu
