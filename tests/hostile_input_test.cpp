// Hostile values: numbers at and beyond the ends of the double range, long
// digit strings, leaves that are all zero, negative or unnormalised, huge noise
// levels, infinities and NaNs inside the estimation. Every run must end, and
// every number it reports must be in the log's number form ("INF", "-INF" and
// "NAN" included), never anything else.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <functional>
#include <limits>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "input/convert.h"
#include "input/input_reader.h"
#include "input/leaf_noise.h"
#include "log/number_format.h"
#include "run/driver.h"
#include "search/estimation.h"
#include "search/scoring.h"
#include "support/inputs.h"
#include "support/log_shape.h"
#include "support/processes.h"
#include "support/same_bits.h"
#include "support/trees.h"

namespace dorvu {
namespace {

using test::LeafInput;
using test::LeafText;
using test::MakeTree;
using test::MarksOf;
using test::ReadFile;
using test::ScratchDir;
using test::WriteFile;

constexpr double kInf = std::numeric_limits<double>::infinity();
const double kNaN = std::numeric_limits<double>::quiet_NaN();

// Runs the whole program in a scratch directory on the given input, with a
// fixed seed, and checks the shape of the log: input messages, the two echo
// lines, progress lines, the report heading and, if a scenario reached the best
// list, its marks, its penalty and 127 vertex lines whose every number is in
// the log's number form.
test::LogShape RunOn(const std::string& input) {
  ScratchDir dir;
  WriteFile(dir / "input.txt", input);
  RunSetup setup;
  setup.inputPath = (dir / "input.txt").string();
  setup.logPath = (dir / "dorvu.log").string();
  setup.settings.seed = 99;
  setup.quiet = true;
  RunDorvu(setup);

  test::LogShape shape = test::ReadLogShape(ReadFile(dir / "dorvu.log"));
  EXPECT_EQ(shape.problem, "");
  return shape;
}

// ---------------------------------------------------------------------------

// Reals at and beyond the ends of the double range, and in long digit
// strings: the status and the value left behind, bit for bit.
TEST(HostileNumbers, RealsAtTheEndsOfTheDoubleRangeAndInLongDigitStrings) {
  const struct {
    std::string token;
    int32_t status;
    double value;
  } cases[] = {
      {"1e308", 0, 1e308},
      {"-1e308", 0, -1e308},
      {"1.7976931348623157e308", 0, std::numeric_limits<double>::max()},
      // Below the normal range: the correctly rounded double, subnormal or zero.
      {"1e-320", 0, 1e-320},
      {"4.9e-324", 0, std::numeric_limits<double>::denorm_min()},
      {"2e-324", 0, 0.0},
      {"-1e-400", 0, -0.0},
      {"1e-99999999999999999999", 0, 0.0},
      // Beyond the largest double: a failure, whose value is the mantissa
      // digits read as one whole number (no sign, no point, no exponent).
      {"1e999", 1, 1.0},
      {"-1e999", 1, 1.0},
      {"+1E+309", 1, 1.0},
      {"1.8e308", 1, 18.0},
      {"0.5e309", 1, 5.0},
      {"1e99999999999999999999", 1, 1.0},
      // 308 zeros behind a 1 is the power 1e308, still a double.
      {"1" + std::string(308, '0'), 0, 1e308},
      // A hundred thousand digits scaled back by the exponent.
      {"1" + std::string(100000, '0') + "e-100000", 0, 1.0},
      {"0." + std::string(1000, '0') + "1", 0, 0.0},
      {"0." + std::string(100000, '3'), 0, 1.0 / 3.0},
      // Mantissa digits beyond the double range: the failed value itself is
      // beyond the range and becomes infinite.
      {std::string(400, '9'), 1, kInf},
      {std::string(100000, '7') + "x", 1, kInf},
      {"-" + std::string(310, '1') + ".5e-3_", 1, kInf},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.token.substr(0, 30));
    double value = -1.0;
    EXPECT_EQ(ConvertReal(c.token, value), c.status);
    EXPECT_EQ(std::fpclassify(value), std::fpclassify(c.value)) << value;
    EXPECT_TRUE(test::SameBits(value, c.value)) << value << " read where " << c.value << " belongs";
  }
}

// Integers: any number of digits beyond the 32-bit range is a failure whose
// value stays a non-negative 32-bit number.
TEST(HostileNumbers, IntegersInLongDigitStrings) {
  int32_t integer = -1;
  for (const std::string& token : {std::string(1000, '9'), "-" + std::string(100000, '1'),
                                   "0x" + std::string(1000, 'f'), "$" + std::string(9, '0') + "100000000"}) {
    EXPECT_EQ(ConvertInteger(token, integer), 1) << token.substr(0, 20);
    EXPECT_GE(integer, 0);
  }
  EXPECT_EQ(ConvertInteger(std::string(1000, '0') + "42", integer), 0);
  EXPECT_EQ(integer, 42);
}

TEST(HostileNumbers, LeafValuesBeyondTheRangeAreReportedAndKeepTheirValue) {
  BaseValues values{0.1, 0.2, 0.3, 0.4};
  EXPECT_EQ(ReadLeafLine("A:1e999 C:-1e999 G:" + std::string(400, '9') + " T:1e-320", values), 3);
  EXPECT_EQ(values.b[0], 0.1);
  EXPECT_EQ(values.b[1], 0.2);
  EXPECT_EQ(values.b[2], 0.3);
  EXPECT_EQ(values.b[3], 1e-320);

  // A leaf line of a megabyte of digits gives one message.
  EXPECT_EQ(ReadLeafLine("A:" + std::string(1 << 20, '5') + "_C:0.5", values), 1);
  EXPECT_EQ(values.b[0], 0.1);
  EXPECT_EQ(values.b[1], 0.5);
}

TEST(HostileNumbers, SpecialAndExtremeValuesPrintInTheNumberForm) {
  const long double specials[] = {kInf,
                                  -kInf,
                                  kNaN,
                                  -kNaN,
                                  std::numeric_limits<double>::max(),
                                  -std::numeric_limits<double>::max(),
                                  std::numeric_limits<double>::denorm_min(),
                                  1e-320,
                                  std::numeric_limits<double>::min(),
                                  std::numeric_limits<long double>::max(),
                                  std::numeric_limits<long double>::denorm_min(),
                                  std::numeric_limits<long double>::infinity(),
                                  -std::numeric_limits<long double>::quiet_NaN(),
                                  static_cast<long double>(1e308) * 1e308,
                                  0.0L,
                                  -0.0L};
  for (long double value : specials) EXPECT_TRUE(test::IsLogReal(FormatReal(value))) << FormatReal(value);
  if (!ExtendedArithmeticIsFaithful())
    GTEST_SKIP() << "the exact texts need the 80-bit long double format, which is emulated here";
  const std::pair<long double, const char*> texts[] = {
      {kInf, "INF"},  {-kInf, "-INF"},  {kNaN, "NAN"},
      {-kNaN, "NAN"}, {1e308, "1E308"}, {static_cast<long double>(1e308) * 1e308, "1E616"}};
  for (const auto& [value, text] : texts) EXPECT_EQ(FormatReal(value), text);
}

// ---------------------------------------------------------------------------

// Every combination of special values for the four inputs of the two
// projections onto the simplex: each call ends, and no result is a negative
// number (a result is 0, positive or kNaN).
TEST(HostilePasses, ProjectionsEndOnEveryCombinationOfSpecialValues) {
  const double specials[] = {0.0, 1.0, -1.0, 0.25, 1e308, -1e308, 1e-320, kInf, -kInf, kNaN};
  int calls = 0;
  for (double a : specials)
    for (double c : specials)
      for (double g : specials)
        for (double t : specials) {
          const BaseValues w{a, c, g, t};
          const BaseValues r = Renormalise(w);
          for (int b = 0; b < kBaseCount; ++b) EXPECT_FALSE(r.b[b] < 0.0) << a << " " << c << " " << g << " " << t;
          const BaseValues p = ProjectToSimplex(BaseValues{0.25, 0.25, 0.25, 0.25}, w, 1.0);
          for (int b = 0; b < kBaseCount; ++b) EXPECT_FALSE(p.b[b] < 0.0) << a << " " << c << " " << g << " " << t;
          const BaseValues q = ProjectToSimplex(w, BaseValues{a, -c, 0.0, 1.0}, 0.5);
          for (int b = 0; b < kBaseCount; ++b) EXPECT_FALSE(q.b[b] < 0.0) << a << " " << c << " " << g << " " << t;
          ++calls;
        }
  EXPECT_EQ(calls, 10000);

  // Finite values of ordinary size still give a distribution.
  const BaseValues r = Renormalise(BaseValues{-0.5, 3.0, 0.0, 2.0});
  EXPECT_NEAR(r.b[0] + r.b[1] + r.b[2] + r.b[3], 1.0, 1e-15);
}

// Both passes and the scoring on leaves holding infinities, NaNs and values
// near the ends of the range, for a few sets of marks: each ends, and every
// vertex value prints in the number form.
TEST(HostilePasses, PassesAndScoringEndOnInfinityNanAndExtremes) {
  using LeafRule = BaseValues (*)(int);
  const LeafRule rules[] = {
      [](int k) {
        return k == 5 ? BaseValues{kInf, 0.0, 0.0, 0.0} : BaseValues{0.25, 0.25, 0.25, 0.25};
      },
      [](int k) {
        return k % 2 ? BaseValues{kInf, -kInf, 0.0, 1.0} : BaseValues{0.7, 0.1, 0.1, 0.1};
      },
      [](int k) {
        return k == 64 ? BaseValues{kNaN, 0.5, 0.5, 0.0} : BaseValues{0.1, 0.2, 0.3, 0.4};
      },
      [](int k) {
        return k % 3 ? BaseValues{1e308, -1e308, 1e308, 0.0} : BaseValues{-1e308, 1e308, 0.0, 1e-320};
      },
      [](int k) {
        return BaseValues{k * 1e306, 1e-320, -k * 1.0, 0.0};
      },
      [](int) {
        return BaseValues{kNaN, kNaN, kNaN, kNaN};
      },
      [](int) {
        return BaseValues{kInf, kInf, kInf, kInf};
      },
      [](int) {
        return BaseValues{0.0, 0.0, 0.0, 0.0};
      },
      [](int k) {
        return k % 2 ? BaseValues{0.0, 0.0, 0.0, 0.0} : BaseValues{-1.0, -2.0, -3.0, -4.0};
      },
  };
  // Slot 5 is vertex 5.1, slots 6 and 7 its leaves, slot 95 vertex 1.2.
  const MarkTable markSets[] = {MarksOf({}), MarksOf({1, 2}), MarksOf({5, 6, 7, 95})};
  RunParameters params;
  for (std::size_t rule = 0; rule < std::size(rules); ++rule) {
    const Tree tree = MakeTree(rules[rule]);
    for (const MarkTable& marks : markSets) {
      PassState pass;
      EstimateScenario(params, tree, marks, pass);
      ScenarioScore score;
      ScoreScenario(tree, marks, pass.value, score);
      EXPECT_TRUE(test::IsLogReal(FormatReal(score.scenarioPenalty))) << "rule " << rule;
      for (int s = 0; s < kSlotCount; ++s)
        for (int b = 0; b < kBaseCount; ++b) {
          const long double square = static_cast<long double>(pass.value[s].b[b]) * pass.value[s].b[b];
          EXPECT_TRUE(test::IsLogReal(FormatReal(square))) << "rule " << rule << " slot " << s;
        }
    }
  }
}

// ---------------------------------------------------------------------------

TEST(HostileRuns, NoiseLevelsBeyondTheRange) {
  const auto leaves = [](int k) { return BaseValues{0.1 * (k % 4), 0.2, 0.3, 0.4 - 0.1 * (k % 4)}; };
  const std::vector<std::string> failed{"an error in level of randomness, sorry"};
  const struct {
    std::string noise;
    std::vector<std::string> messages;
    const char* echo;                 // after "noise level="
    bool echoNeeds80Bits;             // only the 80-bit long double format gives that echo
    std::optional<bool> hasScenario;  // unchecked when empty
  } cases[] = {
      // 1e999 fails to convert: the message, and the mantissa digit 1 as the level.
      {"1e999", failed, "1", false, true},
      // 400 digits fail, and their value as a whole number is infinite: the
      // level is INF, every perturbed leaf becomes kNaN or infinite, no penalty
      // can be compared, and the report ends after its heading.
      {std::string(400, '9'), failed, "INF", true, false},
      // A level of 1e300 swamps every leaf value; the run still ends with a report.
      {"1e300", {}, "1E300", false, std::nullopt},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE("noise level " + c.noise.substr(0, 20));
    const test::LogShape outcome = RunOn(LeafInput("1", c.noise, leaves));
    EXPECT_EQ(outcome.messages, c.messages);
    if (!c.echoNeeds80Bits || ExtendedArithmeticIsFaithful()) {
      EXPECT_EQ(outcome.noiseEcho, c.echo);
    }
    if (c.hasScenario.has_value()) {
      EXPECT_EQ(outcome.hasScenario, *c.hasScenario);
    }
    if (c.hasScenario == false) {
      EXPECT_FALSE(outcome.lines.empty());
      EXPECT_EQ(outcome.lines.empty() ? "" : outcome.lines.back(), "the best scenario:");
    }
  }
}

// Leaves of every hostile kind, each with the noise off (a level of 0 or
// below) and on (a small level and a huge one). With the noise on at a level
// of ordinary size, every leaf is a distribution afterwards.
TEST(HostileRuns, EveryKindOfLeafWithTheNoiseOffAndOn) {
  struct LeafKind {
    const char* name;
    bool ordinarySize;  // values far from the ends of the double range
    std::function<std::string(int)> line;
  };
  const LeafKind kinds[] = {
      {"distributions", true,
       [](int k) {
         return LeafText({0.1, 0.2 + 0.001 * k, 0.3, 0.4 - 0.001 * k});
       }},
      {"unnormalised", true,
       [](int k) {
         return LeafText({1.0 * k, 2.0, 0.5 * k, 7.0});
       }},
      {"negative", true,
       [](int k) {
         return LeafText({-0.5, 1.5, k % 2 ? -0.25 : 0.0, 0.25});
       }},
      {"all zero", true,
       [](int) {
         return LeafText({0.0, 0.0, 0.0, 0.0});
       }},
      {"nothing given", true, [](int) { return std::string(); }},
      {"negative and unnormalised", true,
       [](int k) {
         return k % 3 == 0 ? LeafText({-3.0, -2.0, -1.0, -0.5}) : LeafText({4.0, 0.0, 1.0 * k, 1e-3});
       }},
      {"range ends", false,
       [](int k) {
         return k % 2 ? LeafText({1e308, -1e308, 1e-320, 4.9e-324}) : LeafText({-1e308, 1e308, 0.0, 1.0});
       }},
      {"beyond the range", true,
       [](int k) {
         return k % 5 ? "A:1e999_C:-1e999_G:0.5_T:0.5" : LeafText({0.25, 0.25, 0.25, 0.25});
       }},
  };
  for (const LeafKind& kind : kinds) {
    for (const char* noise : {"0", "-1", "0.1", "1e300"}) {
      SCOPED_TRACE(std::string(kind.name) + ", noise " + noise);
      const test::LogShape outcome = RunOn(LeafInput("1", noise, kind.line));
      if (std::string(noise) != "0.1" || !kind.ordinarySize || !outcome.hasScenario) continue;
      for (const test::VertexValues& vertex : outcome.vertices) {
        if (!vertex.name.starts_with("6.")) continue;
        long double sum = 0.0L;
        for (const std::string& value : vertex.values) {
          const double v = std::strtod(value.c_str(), nullptr);
          EXPECT_GE(v, 0.0) << vertex.name;
          sum += v;
        }
        EXPECT_NEAR(static_cast<double>(sum), 1.0, 1e-12) << vertex.name;
      }
    }
  }
}

// The real program on hostile input: exit status 0, one warning that counts
// the logged problems, and a complete log.
TEST(HostileRuns, TheExecutableEndsNormallyOnHostileInput) {
  ScratchDir dir;
  const std::string leaf = "A:1e308 C:-1e999 G:" + std::string(5000, '1') + " T:\x01\t\xff\r";  // a CR LF line
  WriteFile(dir / "input.txt",
            LeafInput("1" + std::string(5000, 'z'), std::string(400, '9'), [&](int) { return leaf; }));
  const auto result = test::RunExecutable(dir.path(), "DORVU_SEED=5");
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.stderrText,
            "dorvu: warning: dorvu.log reports 194 problems in input.txt; \"dorvu --check\" lists them\n");
  const std::string log = ReadFile(dir / "dorvu.log");
  EXPECT_TRUE(
      log.starts_with("an error in cardinality of scenario, sorry\r\nan error in level of randomness, sorry\r\n"
                      "an error in data on the leaf 1\r\nan error in data on the leaf 1\r\n"));
  EXPECT_NE(log.find("\r\npresupposed cardinality of scenario=1\r\nnoise level=INF\r\n"), std::string::npos);
  EXPECT_EQ(log.substr(log.size() - 20), "the best scenario:\r\n");
}

}  // namespace
}  // namespace dorvu
