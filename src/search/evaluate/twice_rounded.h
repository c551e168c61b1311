// Results of extended-precision operations on doubles, as the x87 unit
// forms them (rounded to a 64-bit mantissa, then rounded again when stored
// as a double), obtained with AVX2 and FMA on four lanes at once.
//
// Rounding twice differs from rounding the exact result once only when the
// first rounding lands exactly halfway between two doubles. Each routine
// below forms the once-rounded double result together with its exact error,
// and vouches for a lane only where the two roundings provably agree: the
// error is zero; the exact result has at most 64 significant bits, so that
// the first rounding changes nothing; or the error stays clearly short of
// half a unit in the last place (by 2^-10 of a unit, more than the first
// rounding can move a value). It declines results that are powers of two
// (the spacing of doubles changes there), results so small or large that
// bits could be lost to underflow or overflow, and anything infinite or not
// a number. The caller forms the lanes it is not vouched for the x87 way.
//
// Only functions that carry the same target attribute may call these: the
// vector forms of KernelRoutines, which run only where the processor has the
// units (kernel_routines.cpp).
#pragma once

#include <immintrin.h>

namespace dorvu {

namespace twice_rounded {

// The power of two at or below |a| for normal a (0 below the normal range,
// infinity for infinities and NaN).
[[gnu::target("avx2,fma")]] inline __m256d PowerOfTwoPart(__m256d a) {
  return _mm256_and_pd(a, _mm256_castsi256_pd(_mm256_set1_epi64x(0x7FF0000000000000)));
}

[[gnu::target("avx2,fma")]] inline __m256d Abs(__m256d a) { return _mm256_andnot_pd(_mm256_set1_pd(-0.0), a); }

// 2^63 divided by the power of two of s, built from the exponent field
// (biased 2046 + 63 less that of the power); valid for |s| from 2^-900 to
// 2^900. An error times it counts units of the 64-bit mantissa of s: half a
// unit in the last place of s is 1024 of them.
[[gnu::target("avx2,fma")]] inline __m256d ExtendedUnitScale(__m256d power) {
  return _mm256_castsi256_pd(
      _mm256_sub_epi64(_mm256_set1_epi64x(static_cast<long long>(0x83D0000000000000ULL)), _mm256_castpd_si256(power)));
}

// Lanes where |s| lies from 2^-900 to 2^900 and is not a power of two: there
// the doubles and the 64-bit values around s are evenly spaced.
[[gnu::target("avx2,fma")]] inline __m256d OrdinaryLanes(__m256d s, __m256d power) {
  return _mm256_and_pd(_mm256_and_pd(_mm256_cmp_pd(power, _mm256_set1_pd(0x1p-900), _CMP_GE_OQ),
                                     _mm256_cmp_pd(power, _mm256_set1_pd(0x1p900), _CMP_LT_OQ)),
                       _mm256_cmp_pd(Abs(s), power, _CMP_NEQ_OQ));
}

// Lanes where the double s, the nearest to s + error (the exact result), is
// also what rounding s + error first to 64 bits and then to double gives:
// the error is zero; or, where s is ordinary, the exact result has at most
// 64 significant bits (the first rounding changes nothing; exact ties
// between two doubles are common in sums of nearby magnitudes), or the error
// stays under 1023 of the 1024 units that make half a unit in the last
// place (the first rounding moves the value by half a unit at most).
[[gnu::target("avx2,fma")]] inline __m256d VouchedSum(__m256d s, __m256d error) {
  const __m256d power = PowerOfTwoPart(s);
  const __m256d units = _mm256_mul_pd(error, ExtendedUnitScale(power));
  const __m256d whole =
      _mm256_cmp_pd(_mm256_round_pd(units, _MM_FROUND_TO_NEAREST_INT | _MM_FROUND_NO_EXC), units, _CMP_EQ_OQ);
  const __m256d clear = _mm256_cmp_pd(Abs(units), _mm256_set1_pd(1023.0), _CMP_LT_OQ);
  return _mm256_or_pd(_mm256_cmp_pd(error, _mm256_setzero_pd(), _CMP_EQ_OQ),
                      _mm256_and_pd(OrdinaryLanes(s, power), _mm256_or_pd(whole, clear)));
}

// Two-difference: s + error is exactly a - b.
[[gnu::target("avx2,fma")]] inline __m256d TwoDifference(__m256d a, __m256d b, __m256d& error) {
  const __m256d s = _mm256_sub_pd(a, b);
  const __m256d bPart = _mm256_sub_pd(a, s);
  const __m256d aPart = _mm256_add_pd(s, bPart);
  error = _mm256_sub_pd(_mm256_sub_pd(a, aPart), _mm256_sub_pd(b, bPart));
  return s;
}

// a - b as double(long double(a) - b), when it returns true; b must be exact
// as given (a product that lost nothing to underflow).
[[gnu::target("avx2,fma")]] inline bool Difference(__m256d a, __m256d b, __m256d& result) {
  __m256d error;
  result = TwoDifference(a, b, error);
  return _mm256_movemask_pd(VouchedSum(result, error)) == 0xF;
}

// y / n as double(long double(y) / n), when it returns true; n is a positive
// normal double.
[[gnu::target("avx2,fma")]] inline bool Quotient(__m256d y, __m256d n, __m256d& result) {
  const __m256d q = _mm256_div_pd(y, n);
  const __m256d remainder = _mm256_fnmadd_pd(q, n, y);  // y - q*n, exact where q is not subnormal
  result = q;
  const __m256d zero = _mm256_setzero_pd();
  const __m256d power = PowerOfTwoPart(q);
  const __m256d normal = _mm256_cmp_pd(power, _mm256_set1_pd(0x1p-1000), _CMP_GE_OQ);
  // The quotient is q + remainder / n: exact with no remainder, and clear of
  // the halfway points while the remainder stays under n times half a unit
  // of q, less 2^-10 of a unit (the products round far inside that margin;
  // one that underflows gives 0, and so vouches for nothing).
  const __m256d exact = _mm256_and_pd(_mm256_cmp_pd(remainder, zero, _CMP_EQ_OQ),
                                      _mm256_or_pd(normal, _mm256_cmp_pd(q, zero, _CMP_EQ_OQ)));
  const __m256d limit = _mm256_mul_pd(_mm256_mul_pd(power, n), _mm256_set1_pd(0x1p-53 - 0x1p-62));
  const __m256d clear = _mm256_and_pd(_mm256_cmp_pd(Abs(remainder), limit, _CMP_LT_OQ),
                                      _mm256_and_pd(normal, _mm256_cmp_pd(Abs(q), power, _CMP_NEQ_OQ)));
  return _mm256_movemask_pd(_mm256_or_pd(exact, clear)) == 0xF;
}

// The Euclidean lengths of four vectors, one per lane: lane j of y[b] is
// component b of vector j. Each length is vouched for where it equals
// double(sqrtl(y0*y0 + y1*y1 + y2*y2 + y3*y3)) with every operation in long
// double; returns the mask of vouched lanes (bit j for lane j).
//
// The sum of squares is formed exactly enough (products split by FMA, sums
// by two-sum) to give the distance d from the double c nearest the true
// length R to R itself. The extended-precision length lies within 2^-9 of a
// unit in the last place of R (five roundings at 2^-64 relative), so where
// |d| stays 2^-8 of a unit short of half a unit, both give c.
[[gnu::target("avx2,fma")]] inline int Length(const __m256d (&y)[4], __m256d& result) {
  const __m256d zero = _mm256_setzero_pd();
  __m256d sum = _mm256_mul_pd(y[0], y[0]);
  __m256d tail = _mm256_fmsub_pd(y[0], y[0], sum);  // error of each product and sum
  for (int b = 1; b < 4; ++b) {
    const __m256d square = _mm256_mul_pd(y[b], y[b]);
    tail = _mm256_add_pd(tail, _mm256_fmsub_pd(y[b], y[b], square));
    const __m256d next = _mm256_add_pd(sum, square);
    const __m256d squarePart = _mm256_sub_pd(next, sum);
    const __m256d sumPart = _mm256_sub_pd(next, squarePart);
    tail = _mm256_add_pd(tail, _mm256_add_pd(_mm256_sub_pd(sum, sumPart), _mm256_sub_pd(square, squarePart)));
    sum = next;
  }
  const __m256d c = _mm256_sqrt_pd(sum);
  // sum + tail - c^2, with c^2 split into high and low parts; sum - high is
  // exact as the two are within a few units of each other.
  const __m256d high = _mm256_mul_pd(c, c);
  const __m256d low = _mm256_fmsub_pd(c, c, high);
  const __m256d excess = _mm256_add_pd(_mm256_sub_pd(_mm256_sub_pd(sum, high), low), tail);
  const __m256d d = _mm256_div_pd(excess, _mm256_add_pd(c, c));  // R - c, to first order
  const __m256d rounded = _mm256_add_pd(c, d);                   // the double nearest R
  const __m256d off = _mm256_sub_pd(d, _mm256_sub_pd(rounded, c));
  const __m256d power = PowerOfTwoPart(rounded);
  const __m256d limit = _mm256_mul_pd(power, _mm256_set1_pd(0x1p-53 - 0x1p-60));
  const __m256d inRange = _mm256_and_pd(_mm256_cmp_pd(sum, _mm256_set1_pd(0x1p-900), _CMP_GE_OQ),
                                        _mm256_cmp_pd(sum, _mm256_set1_pd(0x1p900), _CMP_LT_OQ));
  const __m256d vouched = _mm256_and_pd(_mm256_and_pd(_mm256_cmp_pd(Abs(off), limit, _CMP_LT_OQ), inRange),
                                        _mm256_cmp_pd(rounded, power, _CMP_NEQ_OQ));
  // A vector of zeros has length 0 exactly.
  const __m256d allZero = _mm256_cmp_pd(
      _mm256_or_pd(_mm256_or_pd(Abs(y[0]), Abs(y[1])), _mm256_or_pd(Abs(y[2]), Abs(y[3]))), zero, _CMP_EQ_OQ);
  result = _mm256_blendv_pd(rounded, zero, allZero);
  return _mm256_movemask_pd(_mm256_or_pd(vouched, allZero));
}

}  // namespace twice_rounded
}  // namespace dorvu
