// The bootstrap's draws: pinned to the standard generator's sequence, free of
// bias, and draws with replacement checked against drawing from a list of items.
#include "prep/resample.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

namespace dorvu::prep {
namespace {

constexpr std::uint64_t kHalfPlusOne = (std::uint64_t{1} << 63) + 1;

// Pinned: a change of the generator or of the bounded draw changes every
// bootstrap file, and must show here.
TEST(BoundedDraw, GivesThePinnedDrawsForSeedOne) {
  struct Case {
    std::uint64_t bound;
    std::vector<std::uint64_t> draws;
  };
  const std::vector<Case> cases{
      {10, {1, 1, 4, 0, 3, 9, 4, 0}},
      // About half the 64-bit values are drawn again at this bound.
      {kHalfPlusOne,
       {686449833434195332u, 5255912256620343424u, 5858973855932104712u, 2044209831136079153u, 2303794714265331916u,
        2691976348452895584u, 7408547432863859805u, 4377355236224715761u}},
      {1, {0, 0, 0, 0}},
  };
  for (const Case& c : cases) {
    Generator random(1);
    std::vector<std::uint64_t> draws;
    for (std::size_t k = 0; k < c.draws.size(); ++k) draws.push_back(BoundedDraw(random, c.bound));
    EXPECT_EQ(draws, c.draws) << c.bound;
  }
  // The check value the C++ standard gives for this generator.
  Generator standard;
  standard.discard(9999);
  EXPECT_EQ(standard(), 9981545732273789042u);
}

// Every draw is below `bound`, and the draws modulo `groups` fall in each
// group within 5 standard errors of their share.
void ExpectUniform(std::uint64_t bound, std::uint64_t groups, int draws) {
  Generator random(11);
  std::vector<int> counts(groups);
  for (int k = 0; k < draws; ++k) {
    const std::uint64_t value = BoundedDraw(random, bound);
    ASSERT_LT(value, bound);
    ++counts[value % groups];
  }
  const double p = 1.0 / static_cast<double>(groups);
  const double expected = draws * p;
  const double error = std::sqrt(draws * p * (1 - p));
  for (std::uint64_t g = 0; g < groups; ++g) EXPECT_NEAR(counts[g], expected, 5 * error) << bound << " " << g;
}

TEST(BoundedDraw, IsUniformBelowTheBound) {
  ExpectUniform(6, 6, 60000);
  ExpectUniform(std::numeric_limits<std::uint64_t>::max(), 7, 20000);
  ExpectUniform(kHalfPlusOne, 4, 20000);
  // Keeping the high half of x * 3 * 2^62 without drawing again gives the
  // multiples of 3 twice the chance of the others: 1/2, 1/4, 1/4 modulo 3.
  ExpectUniform(3 * (std::uint64_t{1} << 62), 3, 60000);
}

// Drawing from counts equals drawing items from the list of every item's group.
std::vector<std::uint64_t> DrawFromList(const std::vector<std::uint64_t>& counts, Generator& random) {
  std::vector<std::size_t> groupOf;
  for (std::size_t k = 0; k < counts.size(); ++k) groupOf.insert(groupOf.end(), counts[k], k);
  std::vector<std::uint64_t> drawn(counts.size());
  for (std::size_t n = 0; n < groupOf.size(); ++n) ++drawn[groupOf[BoundedDraw(random, groupOf.size())]];
  return drawn;
}

TEST(DrawWithReplacement, MatchesDrawingFromTheListOfItems) {
  Generator makeCounts(2024);
  for (int trial = 0; trial < 500; ++trial) {
    std::vector<std::uint64_t> counts(1 + makeCounts() % 14);
    std::uint64_t total = 0;
    for (auto& count : counts) {
      count = makeCounts() % 3 == 0 ? 0 : makeCounts() % 40;
      total += count;
    }
    Generator fast(static_cast<std::uint64_t>(trial)), slow(static_cast<std::uint64_t>(trial));
    const std::vector<std::uint64_t> drawn = DrawWithReplacement(counts, fast);
    ASSERT_EQ(drawn, DrawFromList(counts, slow)) << trial;
    std::uint64_t drawnTotal = 0;
    for (std::size_t k = 0; k < counts.size(); ++k) {
      drawnTotal += drawn[k];
      if (counts[k] == 0) {
        EXPECT_EQ(drawn[k], 0u);
      }
    }
    EXPECT_EQ(drawnTotal, total);
    EXPECT_EQ(fast(), slow()) << "both used the same number of draws";
  }
}

}  // namespace
}  // namespace dorvu::prep
