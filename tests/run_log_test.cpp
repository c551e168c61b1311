#include "log/run_log.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <random>

#include "log/io_error.h"
#include "log/number_format.h"
#include "support/files.h"
#include "tree/base_values.h"

namespace dorvu {
namespace {

using test::ReadFile;
using test::ScratchDir;

TEST(NumberForm, ExamplesOfPlainAndExponentNotation) {
  const std::pair<double, const char*> cases[] = {
      {0.5, "0.5"},
      {1000.0, "1000"},
      {100.0, "100"},
      {0.0001, "0.0001"},
      {0.00001, "1E-5"},
      {0.000001, "1E-6"},
      {0.000012345, "1.2345E-5"},
      {1e15, "1E15"},
      {1e15 - 1, "999999999999999"},
      {0.1 - 0.04, "0.06"},
      {1.0 / 3.0, "0.333333333333333"},
      {2.0 / 3.0, "0.666666666666667"},
      {-2.5, "-2.5"},
      {0.0, "0"},
      {-0.0, "0"},
      {1.5e-7, "1.5E-7"},
      {123.4, "123.4"},
      {0.05, "0.05"},
      {1e300, "1E300"},
      {-1e-300, "-1E-300"},
      {9.9999999999999995e-5, "0.0001"},
      {0.99999999999999994, "1"},
      {1e100, "1E100"},
      {4.9406564584124654e-324, "4.94065645841247E-324"},
  };
  for (auto [value, text] : cases) EXPECT_EQ(FormatReal(value), text) << "value " << value;
}

TEST(NumberForm, RoundsHalfUpOnTheExactExpansion) {
  if (!ExtendedArithmeticIsFaithful()) GTEST_SKIP() << "long double is not the 80-bit format here";
  // 2^-22 = 2.384185791015625E-7 exactly: a tie at the 16th digit rounds up.
  EXPECT_EQ(FormatReal(std::ldexp(1.0, -22)), "2.38418579101563E-7");
  // 1.000000000000005 is stored just above its tie, 1.0000000000000049 below.
  EXPECT_EQ(FormatReal(1.000000000000005), "1.00000000000001");
  EXPECT_EQ(FormatReal(1.0000000000000049), "1");
  EXPECT_EQ(FormatReal(0.3000000000000000444), "0.3");
  EXPECT_EQ(FormatReal(std::numeric_limits<double>::infinity()), "INF");
  EXPECT_EQ(FormatReal(-std::numeric_limits<double>::infinity()), "-INF");
  EXPECT_EQ(FormatReal(std::nan("")), "NAN");
  // Extended values keep their own digits: no rounding to double first.
  const long double third = 1.0L / 3.0L;
  EXPECT_EQ(FormatReal(third * 3.0L - 1.0L), FormatReal(static_cast<long double>(third * 3.0L - 1.0L)));
  EXPECT_EQ(FormatReal(0.1L * 0.1L), "0.01");
  EXPECT_EQ(FormatInteger(-12), "-12");
  EXPECT_EQ(FormatInteger(0), "0");
}

// The exact decimal expansion of a double has at most 767 significant digits,
// so printing 800 digits is exact: a slow, obviously correct reference.
std::string ReferenceForm(double value) {
  char buffer[1024];
  std::snprintf(buffer, sizeof buffer, "%.800e", std::fabs(value));
  std::string digits = std::string(1, buffer[0]) + std::string(buffer + 2, 14);
  int exponent = std::atoi(std::strchr(buffer, 'e') + 1);
  if (buffer[16] >= '5') {
    int i = 14;
    while (i >= 0 && digits[i] == '9') digits[i--] = '0';
    if (i >= 0) {
      ++digits[i];
    } else {
      digits.insert(digits.begin(), '1');
      digits.pop_back();
      ++exponent;
    }
  }
  digits.erase(digits.find_last_not_of('0') + 1);
  std::string text;
  if (exponent >= -4 && exponent <= 14) {
    if (exponent < 0) {
      text.assign("0.").append(static_cast<std::size_t>(-exponent - 1), '0').append(digits);
    } else {
      while (digits.size() < static_cast<std::size_t>(exponent + 1)) digits += '0';
      text = digits.substr(0, exponent + 1);
      if (digits.size() > static_cast<std::size_t>(exponent + 1)) text.append(".").append(digits, exponent + 1);
    }
  } else {
    text = digits.substr(0, 1);
    if (digits.size() > 1) text.append(".").append(digits, 1);
    text.append("E").append(std::to_string(exponent));
  }
  return (value < 0 ? "-" : "") + text;
}

TEST(NumberForm, AgreesWithTheExactExpansionOnRandomDoubles) {
  std::mt19937_64 gen(20261207);
  std::uniform_int_distribution<int> exponent(-30, 30);
  std::uniform_real_distribution<double> mantissa(-10.0, 10.0);
  for (int i = 0; i < 20000; ++i) {
    double value = mantissa(gen) * std::pow(10.0, exponent(gen));
    if (i % 4 == 0) value = std::round(value * 1e6) / 1e6;  // many short expansions and ties
    if (value == 0.0) continue;
    ASSERT_EQ(FormatReal(value), ReferenceForm(value)) << std::hexfloat << value;
  }
}

TEST(NumberForm, UsesTheDecimalSeparatorThatWasSet) {
  SetDecimalSeparator(',');
  EXPECT_EQ(FormatReal(0.5), "0,5");
  EXPECT_EQ(FormatReal(1.5e-7), "1,5E-7");
  EXPECT_EQ(FormatReal(1000.0), "1000");
  SetDecimalSeparator('.');
  EXPECT_EQ(FormatReal(0.5), "0.5");
}

TEST(RunLog, CreatesEmptyAndEndsLinesWithCrLf) {
  ScratchDir dir;
  const RunLog log{(dir / "dorvu.log").string()};
  test::WriteFile(log.path, "old line\r\n");
  CreateLog(log);
  EXPECT_EQ(ReadFile(log.path), "");
  WriteLogText(log, "x");
  WriteLogText(log, "y");
  WriteLogText(log, "");
  WriteLogLine(log, "");
  WriteLogLine(log, "");
  WriteLogLine(log, "last");
  EXPECT_EQ(ReadFile(log.path), "xy\r\n\r\nlast\r\n");
}

TEST(RunLog, FailuresNameTheFileAndTheReason) {
  ScratchDir dir;
  const RunLog missingDir{(dir / "no" / "dorvu.log").string()};
  try {
    CreateLog(missingDir);
    FAIL() << "created a log in a missing directory";
  } catch (const IoError& error) {
    EXPECT_EQ(error.message, "cannot create " + missingDir.path + ": No such file or directory");
  }
  // A log removed during the run is not created again by the next write.
  const RunLog removed{(dir / "dorvu.log").string()};
  CreateLog(removed);
  std::filesystem::remove(removed.path);
  EXPECT_THROW(WriteLogLine(removed, "line"), IoError);
  EXPECT_FALSE(std::filesystem::exists(removed.path));

  const RunLog full{"/dev/full"};
  try {
    WriteLogLine(full, "line");
    FAIL() << "a write to a full device succeeded";
  } catch (const IoError& error) {
    EXPECT_EQ(error.message, "cannot write /dev/full: No space left on device");
  }
}

TEST(RunLog, BatchedLinesAreTheBytesOfSingleLinesWrittenWhole) {
  ScratchDir dir;
  const RunLog single{(dir / "single.log").string()};
  const RunLog batched{(dir / "batched.log").string()};
  CreateLog(single);
  CreateLog(batched);
  LineBatch batch;
  const std::string lines[] = {"I want more main memory!", "I want more add memory!", ""};
  std::size_t written = 0;
  for (int n = 0; n < 9000; ++n) {
    WriteLogLine(single, lines[n % 3]);
    BatchLogLine(batched, batch, lines[n % 3]);
    // Nothing reaches the file until the batch is full, and then whole lines.
    const std::size_t now = std::filesystem::file_size(batched.path);
    if (now != written) {
      EXPECT_GE(now - written, LineBatch::kLimit);
      EXPECT_EQ(ReadFile(batched.path), ReadFile(single.path).substr(0, now));
      written = now;
    }
  }
  EXPECT_GT(written, 0u);
  FlushLogLines(batched, batch);
  FlushLogLines(batched, batch);  // an empty batch writes nothing
  EXPECT_EQ(ReadFile(batched.path), ReadFile(single.path));
}

TEST(RunLog, AFailedBatchIsFatalWithTheSameMessage) {
  ScratchDir dir;
  const RunLog log{(dir / "dorvu.log").string()};
  CreateLog(log);
  LineBatch batch;
  BatchLogLine(log, batch, "I want more add memory!");
  std::filesystem::remove(log.path);
  try {
    FlushLogLines(log, batch);
    FAIL() << "a batch was written to a removed log";
  } catch (const IoError& error) {
    EXPECT_EQ(error.message, "cannot open " + log.path + ": No such file or directory");
  }
  const RunLog full{"/dev/full"};
  LineBatch fullBatch;
  try {
    for (int n = 0; n < 3000; ++n) BatchLogLine(full, fullBatch, "I want more main memory!");
    FAIL() << "a full batch was written to a full device";
  } catch (const IoError& error) {
    EXPECT_EQ(error.message, "cannot write /dev/full: No space left on device");
  }
}

}  // namespace
}  // namespace dorvu
