// Bootstrap replicates of read records: only counted positions are drawn, as
// many as the record has, and over many seeds each share averages to the
// record's own composition.
#include <gtest/gtest.h>

#include <cmath>
#include <sstream>
#include <string>
#include <vector>

#include "prep/composition.h"
#include "prep/records.h"

namespace dorvu::prep {
namespace {

constexpr int kReplicates = 2000;

std::vector<Record> Read(const std::string& text) {
  std::istringstream in(text);
  return ReadRecords(in, ReadOptions{{}, true});
}

// Record 1 holds `first`, the 63 others "ACGT".
std::string FastaWithFirst(const std::string& first) {
  std::string text = ">r1\n" + first + "\n";
  for (int k = 2; k <= 64; ++k) text += ">r" + std::to_string(k) + "\nACGT\n";
  return text;
}

// Leaf 6.1 holds `row` (four tab-separated counts), the others 1 1 1 1.
std::string TableWithFirst(const std::string& row) {
  std::string text = "leaf\tA\tC\tG\tT\n6.1\t" + row + "\n";
  for (int k = 2; k <= 64; ++k) text += "6." + std::to_string(k) + "\t1\t1\t1\t1\n";
  return text;
}

std::uint64_t PositionCount(const Record& record) {
  std::uint64_t total = 0;
  for (const std::uint64_t count : record.positions) total += count;
  return total;
}

TEST(Bootstrap, DrawsOnlyTheCountedPositions) {
  const std::vector<Record> records = Read(FastaWithFirst("ACGTNNNN--\n.?  "));
  ASSERT_EQ(PositionCount(records[0]), 4u);
  for (std::uint64_t seed = 0; seed < 50; ++seed) {
    std::vector<Record> replicate = records;
    DrawBootstrapReplicate(replicate, seed);
    EXPECT_EQ(PositionCount(replicate[0]), 4u);
    EXPECT_EQ(PositionCount(replicate[63]), 4u);
    for (const double share : replicate[0].shares) EXPECT_EQ(share * 4, std::round(share * 4)) << seed;
  }
}

// The share of a base in a replicate is the mean of n drawn positions' values,
// so over the replicates it averages to the record's share with a standard
// error of sqrt(var / n / replicates). `values[i][b]` is position i's value for base b.
void ExpectMeanNearComposition(const std::vector<Record>& records, const std::vector<std::array<double, 4>>& values) {
  const double n = static_cast<double>(values.size());
  std::array<double, 4> sum{};
  for (int seed = 0; seed < kReplicates; ++seed) {
    std::vector<Record> replicate = records;
    DrawBootstrapReplicate(replicate, static_cast<std::uint64_t>(seed));
    ASSERT_EQ(PositionCount(replicate[0]), PositionCount(records[0]));
    for (std::size_t b = 0; b < 4; ++b) sum[b] += replicate[0].shares[b];
  }
  for (std::size_t b = 0; b < 4; ++b) {
    double mean = 0, square = 0;
    for (const auto& v : values) {
      mean += v[b] / n;
      square += v[b] * v[b] / n;
    }
    EXPECT_NEAR(records[0].shares[b], mean, 1e-12) << b;
    const double error = std::sqrt((square - mean * mean) / n / kReplicates);
    EXPECT_NEAR(sum[b] / kReplicates, mean, 4 * error + 1e-12) << "base " << b;
  }
}

TEST(Bootstrap, AveragesToTheCompositionOfAFastaRecord) {
  const std::string sequence = "AACGTTURYSWKMBDHVNNaacg-";
  std::vector<std::array<double, 4>> values;
  for (const char c : sequence) {
    BaseCounts sixths{};
    ASSERT_FALSE(CountSequence(std::string(1, c), sixths));
    if (sixths == BaseCounts{}) continue;
    values.push_back({sixths[0] / 6.0, sixths[1] / 6.0, sixths[2] / 6.0, sixths[3] / 6.0});
  }
  ExpectMeanNearComposition(Read(FastaWithFirst(sequence)), values);
}

TEST(Bootstrap, AveragesToTheCompositionOfATableRow) {
  std::vector<std::array<double, 4>> values;
  const std::array<int, 4> counts{30, 5, 0, 15};
  for (std::size_t b = 0; b < 4; ++b) {
    std::array<double, 4> one{};
    one[b] = 1;
    values.insert(values.end(), static_cast<std::size_t>(counts[b]), one);
  }
  ExpectMeanNearComposition(Read(TableWithFirst("30\t5.0\t0\t1.5e1")), values);
}

}  // namespace
}  // namespace dorvu::prep
