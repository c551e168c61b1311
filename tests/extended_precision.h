// Whether long double arithmetic here is the real 80-bit x87 format. Some
// emulators (valgrind's, for one) compute long double with the precision of a
// double and turn an infinite double into the largest long double; tests of
// results that depend on the extended format skip those checks there.
#pragma once

#include <cmath>
#include <limits>

namespace dorvu::test {

inline bool ExtendedArithmeticIsFaithful() {
  volatile long double one = 1.0L;
  volatile long double epsilon = std::numeric_limits<long double>::epsilon();
  volatile double infinity = std::numeric_limits<double>::infinity();
  const long double widened = infinity;
  return one + epsilon != one && std::isinf(widened);
}

}  // namespace dorvu::test
