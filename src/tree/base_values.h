// The four base values of one vertex and the extended-precision arithmetic
// that every estimate, score and renormalisation shares. Sums of a few terms
// are formed in the 80-bit extended format (64-bit mantissa) and rounded once
// to double when stored: where that rounding falls decides results bit for
// bit, so every such sum of the program is one of the helpers below.
#pragma once

#include <cmath>
#include <limits>

namespace dorvu {

using Extended = long double;
static_assert(std::numeric_limits<Extended>::digits == 64, "long double must be the 80-bit extended format");

inline constexpr int kBaseCount = 4;
inline constexpr int kBaseA = 0, kBaseC = 1, kBaseG = 2, kBaseT = 3;

// Four values of one vertex, always in the order A, C, G, T. Aligned so that
// the vector units load a vertex whole.
struct alignas(32) BaseValues {
  double b[kBaseCount] = {0.0, 0.0, 0.0, 0.0};
};

// Whether long double arithmetic really has the 64-bit mantissa here. Some
// emulators (valgrind's, for one) compute it with the precision of a double;
// what stands in for the extended format must then stand back.
inline bool ExtendedArithmeticIsFaithful() {
  volatile Extended one = 1.0L;
  volatile Extended epsilon = std::numeric_limits<Extended>::epsilon();
  volatile double infinity = std::numeric_limits<double>::infinity();
  const Extended widened = infinity;
  return one + epsilon != one && std::isinf(widened);
}

// running + the squared distance of u and v: the four squares added to the
// running value in extended precision, rounded once.
inline double AddSquaredDistance(double running, const BaseValues& v, const BaseValues& u) {
  Extended sum = running;
  for (int b = 0; b < kBaseCount; ++b) {
    const Extended d = Extended(v.b[b]) - u.b[b];
    sum += d * d;
  }
  return static_cast<double>(sum);
}

// running + the four penalty terms sqrt|v(b)^2 - u(b)^2| of one edge, in
// extended precision, rounded once.
inline double AddEdgePenalty(double running, const BaseValues& v, const BaseValues& u) {
  Extended sum = running;
  for (int b = 0; b < kBaseCount; ++b)
    sum += std::sqrt(std::fabs(Extended(v.b[b]) * v.b[b] - Extended(u.b[b]) * u.b[b]));
  return static_cast<double>(sum);
}

// running + |g.A| + |g.C| + |g.G| + |g.T|, in extended precision, rounded once.
inline double AddAbsoluteSum(double running, const BaseValues& g) {
  return static_cast<double>(Extended(running) + std::fabs(g.b[0]) + std::fabs(g.b[1]) + std::fabs(g.b[2]) +
                             std::fabs(g.b[3]));
}

// The Euclidean length of four values, squares summed in extended precision,
// the root rounded once.
inline double EuclideanLength(const BaseValues& y) {
  return static_cast<double>(std::sqrt(Extended(y.b[0]) * y.b[0] + Extended(y.b[1]) * y.b[1] +
                                       Extended(y.b[2]) * y.b[2] + Extended(y.b[3]) * y.b[3]));
}

// The four values summed in extended precision, rounded once.
inline double ExtendedSum(const BaseValues& v) {
  return static_cast<double>(Extended(v.b[0]) + v.b[1] + v.b[2] + v.b[3]);
}

// The square root of a value as the square-root step takes it: a negative value has
// no real root and becomes 0.
inline double SqrtOf(double value) { return value < 0.0 ? 0.0 : static_cast<double>(std::sqrt(Extended(value))); }

// The Euclidean projection of v - t*g onto the probability simplex: shift
// every component equally and drop (to 0) those that come out negative,
// until none does. With t = 0 it brings four values back to a distribution.
// Inline: the plain pass 1 calls it for every vertex of every trial.
inline BaseValues ProjectToSimplex(const BaseValues& v, const BaseValues& g, double t) {
  bool active[kBaseCount] = {true, true, true, true};
  int n = kBaseCount;
  // The first sums are rounded once; later ones after every addition.
  double sumV = ExtendedSum(v);
  double sumG = ExtendedSum(g);
  double shift = 0.0;
  BaseValues w;
  bool dropped = true;
  while (dropped) {
    shift = static_cast<double>(((1.0L - sumV) + Extended(t) * sumG) / n);
    n = 0;
    sumV = 0.0;
    sumG = 0.0;
    dropped = false;
    for (int b = 0; b < kBaseCount; ++b) {
      if (!active[b]) continue;
      // Compared with 0 before rounding; a component exactly 0 stays.
      const Extended x = (Extended(v.b[b]) - Extended(t) * g.b[b]) + shift;
      if (x < 0.0L) {
        active[b] = false;
        w.b[b] = 0.0;
        dropped = true;
      } else {
        ++n;
        sumV = static_cast<double>(Extended(sumV) + v.b[b]);
        sumG = static_cast<double>(Extended(sumG) + g.b[b]);
      }
    }
  }
  for (int b = 0; b < kBaseCount; ++b)
    if (active[b]) w.b[b] = static_cast<double>((Extended(v.b[b]) - Extended(t) * g.b[b]) + shift);
  return w;
}

}  // namespace dorvu
