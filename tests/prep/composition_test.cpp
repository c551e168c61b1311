// The composition of records: hand-checked codes, and exactness to the last
// bit on random sequences, checked with integer arithmetic.
#include "prep/composition.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <map>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "input/input_reader.h"
#include "prep/decimal.h"
#include "prep/records.h"

namespace dorvu::prep {
namespace {

std::array<double, 4> SharesOf(std::string_view sequence) {
  BaseCounts counts{};
  EXPECT_FALSE(CountSequence(sequence, counts)) << sequence;
  return Shares(counts);
}

TEST(Composition, CountsEveryCodeAsItsShareOfBases) {
  using Four = std::array<double, 4>;
  EXPECT_EQ(SharesOf("ACGT"), (Four{0.25, 0.25, 0.25, 0.25}));
  EXPECT_EQ(SharesOf("acgu"), (Four{0.25, 0.25, 0.25, 0.25}));
  EXPECT_EQ(SharesOf("AN-.? \tCnGT\r"), (Four{0.25, 0.25, 0.25, 0.25}));
  EXPECT_EQ(SharesOf("RY"), (Four{0.25, 0.25, 0.25, 0.25}));
  EXPECT_EQ(SharesOf("SW"), (Four{0.25, 0.25, 0.25, 0.25}));
  EXPECT_EQ(SharesOf("KM"), (Four{0.25, 0.25, 0.25, 0.25}));
  EXPECT_EQ(SharesOf("AR"), (Four{0.75, 0, 0.25, 0}));
  EXPECT_EQ(SharesOf("b"), (Four{0, 1.0 / 3, 1.0 / 3, 1.0 / 3}));
  EXPECT_EQ(SharesOf("DHV"), (Four{1.0 / 3, 2.0 / 9, 2.0 / 9, 2.0 / 9}));
  EXPECT_EQ(SharesOf("AAAH"), (Four{5.0 / 6, 1.0 / 12, 0, 1.0 / 12}));
  BaseCounts counts{};
  EXPECT_EQ(CountSequence("ACXT", counts), 2u);
  EXPECT_EQ(CountSequence("AC*", counts), 2u);
  EXPECT_EQ(CountSequence("e", counts), 0u);
}

// True when `value` is n/d rounded to the nearest double: with value = m / 2^k
// (m a 53-bit whole number), |n 2^k - m d| is at most d / 2.
bool IsCorrectlyRounded(double value, std::uint64_t n, std::uint64_t d) {
  if (n == 0) return value == 0;
  int exponent = 0;
  const double fraction = std::frexp(value, &exponent);
  const auto m = static_cast<unsigned __int128>(std::ldexp(fraction, 53));
  const int k = 53 - exponent;
  const unsigned __int128 scaled = static_cast<unsigned __int128>(n) << k;
  const unsigned __int128 product = m * d;
  const unsigned __int128 gap = scaled > product ? scaled - product : product - scaled;
  return 2 * gap <= d;
}

// Random records of every code; the expected counts are kept apart as wholes,
// halves and thirds, and the shares must equal the counts over their sum, and
// read back through dorvu's own reader as the same doubles.
TEST(Composition, IsExactToTheLastBitOnRandomSequences) {
  const std::string codes = "ACGTUacgturyswkmbdhvRYSWKMBDHVNn-.?";
  const std::map<char, std::string> bases{{'A', "A"},  {'C', "C"},   {'G', "G"},   {'T', "T"},   {'U', "T"},
                                          {'R', "AG"}, {'Y', "CT"},  {'S', "CG"},  {'W', "AT"},  {'K', "GT"},
                                          {'M', "AC"}, {'B', "CGT"}, {'D', "AGT"}, {'H', "ACT"}, {'V', "ACG"}};
  std::mt19937 random(2024);
  for (int trial = 0; trial < 2000; ++trial) {
    std::string sequence;
    const int length = 1 + static_cast<int>(random() % 120);
    for (int i = 0; i < length; ++i) sequence += codes[random() % codes.size()];
    std::array<std::uint64_t, 4> wholes{}, halves{}, thirds{};
    for (const char c : sequence) {
      const auto it = bases.find(static_cast<char>(std::toupper(static_cast<unsigned char>(c))));
      if (it == bases.end()) continue;
      auto& kind = it->second.size() == 1 ? wholes : it->second.size() == 2 ? halves : thirds;
      for (const char base : it->second) ++kind[std::string("ACGT").find(base)];
    }
    std::array<std::uint64_t, 4> sixths{};
    for (std::size_t b = 0; b < 4; ++b) sixths[b] = 6 * wholes[b] + 3 * halves[b] + 2 * thirds[b];
    const std::uint64_t sum = sixths[0] + sixths[1] + sixths[2] + sixths[3];
    if (sum == 0) continue;
    BaseCounts counts{};
    ASSERT_FALSE(CountSequence(sequence, counts));
    const auto shares = Shares(counts);
    BaseValues read;
    ASSERT_EQ(ReadLeafLine("6.1 A:" + ShortestText(shares[0]) + "_C:" + ShortestText(shares[1]) +
                               "_G:" + ShortestText(shares[2]) + "_T:" + ShortestText(shares[3]),
                           read),
              0);
    const std::array<double, 4> back{read.b[0], read.b[1], read.b[2], read.b[3]};
    for (std::size_t b = 0; b < 4; ++b) {
      EXPECT_TRUE(IsCorrectlyRounded(shares[b], sixths[b], sum)) << sequence << " base " << b;
      EXPECT_EQ(back[b], shares[b]) << ShortestText(shares[b]);
    }
  }
}

std::array<double, 4> TableShares(const std::array<std::string, 4>& texts) {
  std::array<Decimal, 4> values;
  for (std::size_t b = 0; b < 4; ++b) {
    const auto parsed = ParseDecimal(texts[b]);
    EXPECT_TRUE(parsed) << texts[b];
    values[b] = parsed.value_or(Decimal{});
  }
  return RowShares(values);
}

// Counts and frequencies that sum to 1 in decimal come out exact: 0.3041 stays 0.3041.
TEST(TableRow, IsDividedByItsSumExactlyWhereTheDecimalsAllow) {
  using Four = std::array<double, 4>;
  EXPECT_EQ(TableShares({"3", "1", "0", "0"}), (Four{0.75, 0.25, 0, 0}));
  EXPECT_EQ(TableShares({"0.3041", "0.1881", "0.2196", "0.2882"}), (Four{0.3041, 0.1881, 0.2196, 0.2882}));
  EXPECT_EQ(TableShares({"0.1", "1e-1", "10E-2", ".100"}), (Four{0.25, 0.25, 0.25, 0.25}));
  EXPECT_EQ(TableShares({"1", "2", "0.0", "0"}), (Four{1.0 / 3, 2.0 / 3, 0, 0}));
  EXPECT_EQ(TableShares({"700", "300", "0e5", "0"}), (Four{0.7, 0.3, 0, 0}));
  // Too many digits for whole numbers below 2^53: divided in double arithmetic.
  const auto wide = TableShares({"1e-30", "1", "1", "2"});
  EXPECT_EQ(wide[3], 2 / (1e-30 + 1.0 + 1.0 + 2.0));
  for (const std::string bad : {"", "-", ".", "e5", "1e", "1e+", "0x10", "1,5", "inf", "nan", "1e999", " 1", "+1"})
    EXPECT_FALSE(ParseDecimal(bad)) << bad;
  EXPECT_TRUE(ParseDecimal("-2")->negative);
}

// The bootstrap draws positions by code class (the shares come from their
// sixths, checked above).
TEST(Composition, CountsPositionsByCodeClass) {
  CodeCounts classes{};
  EXPECT_EQ(CountCodes("AuRYSWKMBDHVn-T", classes), std::nullopt);
  EXPECT_EQ(classes, (CodeCounts{1, 0, 0, 2, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1}));
  EXPECT_EQ(CountCodes("ACE", classes), 2u);
}

// Under the bootstrap a table row must be whole counts, however written.
TEST(TableRow, ReadsWholeCountsInEveryForm) {
  constexpr auto kLargest = std::numeric_limits<std::uint64_t>::max();
  const std::vector<std::pair<std::string, std::optional<std::uint64_t>>> cases{
      {"12", 12},
      {"12.0", 12},
      {"1.2e1", 12},
      {"120E-1", 12},
      {"1.000000000000000000000000000000", 1},
      {"-0", 0},
      {"0.0e-400", 0},
      {"1e3", 1000},
      {"4294967296", 4294967296u},
      {"18446744073709551616", kLargest},
      {"1e300", kLargest},
      {"0.25", std::nullopt},
      {"1.25e1", std::nullopt},
      {"1e-1", std::nullopt},
      {"1.0000000000000000000000000001", std::nullopt},
  };
  for (const auto& [text, whole] : cases) {
    ASSERT_TRUE(ParseDecimal(text)) << text;
    EXPECT_EQ(WholeNumber(text), whole) << text;
  }
}

}  // namespace
}  // namespace dorvu::prep
