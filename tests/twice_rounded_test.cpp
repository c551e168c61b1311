// The vector shortcuts for extended-precision operations against the x87
// unit itself, on many random lanes and on lanes built to sit at the edge
// where rounding twice differs from rounding once. A vouched lane must be
// bit for bit the x87 result; most lanes must be vouched for.
#include "search/evaluate/twice_rounded.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "search/evaluate/fast_evaluation.h"
#include "support/same_bits.h"
#include "tree/base_values.h"

namespace dorvu {
namespace {

using test::SameBits;

struct Tally {
  long lanes = 0;
  long vouched = 0;
  long onceRoundedDiffers = 0;  // lanes where one double operation would have been wrong
};

// Four lanes of an operation: `vector` fills the results and returns the
// vouched mask, `x87` gives the reference of one lane.
template <class Vector, class X87>
void CheckLanes(const double (&a)[4], const double (&b)[4], Vector vector, X87 x87, Tally& tally) {
  alignas(32) double result[4];
  const int vouched = vector(a, b, result);
  for (int j = 0; j < 4; ++j) {
    const double expected = x87(a[j], b[j]);
    ++tally.lanes;
    if ((vouched & (1 << j)) == 0) continue;
    ++tally.vouched;
    ASSERT_TRUE(SameBits(result[j], expected))
        << std::hexfloat << a[j] << " " << b[j] << " gave " << result[j] << ", x87 " << expected;
  }
}

[[gnu::target("avx2,fma")]] int VectorDifference(const double (&a)[4], const double (&b)[4], double* out) {
  __m256d result;
  const bool all = twice_rounded::Difference(_mm256_loadu_pd(a), _mm256_loadu_pd(b), result);
  _mm256_storeu_pd(out, result);
  return all ? 0xF : 0;
}

[[gnu::target("avx2,fma")]] int VectorQuotient(const double (&y)[4], const double (&n)[4], double* out) {
  // One divisor for all lanes, as the kernel uses it.
  __m256d result;
  const bool all = twice_rounded::Quotient(_mm256_loadu_pd(y), _mm256_set1_pd(n[0]), result);
  _mm256_storeu_pd(out, result);
  return all ? 0xF : 0;
}

double X87Difference(double a, double b) { return static_cast<double>(Extended(a) - b); }

class TwiceRounded : public testing::Test {
 protected:
  void SetUp() override {
    if (!VectorUnitsAvailable()) GTEST_SKIP() << "no AVX2 and FMA, or long double is not the 80-bit format here";
  }
  std::mt19937_64 gen{20261207};
  double Unit() { return std::uniform_real_distribution<double>(0.0, 1.0)(gen); }
};

TEST_F(TwiceRounded, DifferencesMatchTheX87UnitWhereVouched) {
  Tally random, edge;
  for (int n = 0; n < 200000; ++n) {
    double a[4], b[4];
    for (int j = 0; j < 4; ++j) {
      a[j] = Unit();
      b[j] = std::ldexp(Unit() - 0.5, -static_cast<int>(gen() % 40));
    }
    ASSERT_NO_FATAL_FAILURE(CheckLanes(a, b, VectorDifference, X87Difference, random));
    // a - b a hair away from halfway between two doubles, closer than the
    // 64-bit mantissa resolves: b = -(half a unit of a, plus or minus a few
    // units of 2^-53 of that).
    for (int j = 0; j < 4; ++j) {
      const double unit = std::ldexp(1.0, std::ilogb(a[j]) - 52);
      const double offset = std::ldexp(static_cast<double>(static_cast<int>(gen() % 64) - 32), -53);
      b[j] = -unit * (0.5 + offset);
    }
    ASSERT_NO_FATAL_FAILURE(CheckLanes(a, b, VectorDifference, X87Difference, edge));
    for (int j = 0; j < 4; ++j) edge.onceRoundedDiffers += !SameBits(a[j] - b[j], X87Difference(a[j], b[j]));
  }
  EXPECT_GT(random.vouched, random.lanes * 95 / 100);
  EXPECT_GT(edge.onceRoundedDiffers, 1000);  // the edge cases do reach the hazard
}

TEST_F(TwiceRounded, QuotientsMatchTheX87UnitWhereVouched) {
  Tally tally;
  for (int n = 0; n < 200000; ++n) {
    double y[4], d[4];
    for (int j = 0; j < 4; ++j) {
      y[j] = Unit();
      d[j] = 0.5 + Unit();
    }
    d[1] = d[2] = d[3] = d[0];
    ASSERT_NO_FATAL_FAILURE(CheckLanes(
        y, d, VectorQuotient, [](double a, double b) { return static_cast<double>(Extended(a) / b); }, tally));
    for (int j = 0; j < 4; ++j)
      tally.onceRoundedDiffers += !SameBits(y[j] / d[0], static_cast<double>(Extended(y[j]) / d[0]));
  }
  EXPECT_GT(tally.vouched, tally.lanes * 95 / 100);
  EXPECT_GT(tally.onceRoundedDiffers, 50);
}

[[gnu::target("avx2,fma")]] int VectorLength(const double (&y)[4][4], double* out) {
  const __m256d lanes[4] = {_mm256_loadu_pd(y[0]), _mm256_loadu_pd(y[1]), _mm256_loadu_pd(y[2]), _mm256_loadu_pd(y[3])};
  __m256d result;
  const int vouched = twice_rounded::Length(lanes, result);
  _mm256_storeu_pd(out, result);
  return vouched;
}

TEST_F(TwiceRounded, LengthsMatchTheX87UnitWhereVouched) {
  long lanes = 0, vouched = 0, onceRoundedDiffers = 0;
  for (int n = 0; n < 200000; ++n) {
    double y[4][4];  // y[b][j]: component b of vector j
    for (int j = 0; j < 4; ++j)
      for (int b = 0; b < 4; ++b) {
        // Some components zero (clamped), some tiny, most ordinary.
        const uint64_t pick = gen() % 16;
        y[b][j] = pick == 0 ? 0.0 : pick == 1 ? std::ldexp(Unit(), -30) : Unit();
      }
    if (n % 100 == 0) y[0][0] = y[1][0] = y[2][0] = y[3][0] = 0.0;  // a vector of zeros
    alignas(32) double result[4];
    const int mask = VectorLength(y, result);
    for (int j = 0; j < 4; ++j) {
      const double expected = static_cast<double>(std::sqrt(Extended(y[0][j]) * y[0][j] + Extended(y[1][j]) * y[1][j] +
                                                            Extended(y[2][j]) * y[2][j] + Extended(y[3][j]) * y[3][j]));
      const double once = std::sqrt(((y[0][j] * y[0][j] + y[1][j] * y[1][j]) + y[2][j] * y[2][j]) + y[3][j] * y[3][j]);
      ++lanes;
      onceRoundedDiffers += !SameBits(once, expected);
      if ((mask & (1 << j)) == 0) continue;
      ++vouched;
      ASSERT_TRUE(SameBits(result[j], expected)) << "lane " << j << " of draw " << n;
    }
  }
  EXPECT_GT(vouched, lanes * 95 / 100);
  EXPECT_GT(onceRoundedDiffers, 1000);  // double arithmetic alone would not do
}

}  // namespace
}  // namespace dorvu
