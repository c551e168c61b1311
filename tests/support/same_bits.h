// Bit-for-bit equality, for the tests that hold two routes of a computation to
// the same bits (NaNs of the same bits are equal, 0 and -0 are not): of two
// values, or of the elements of two vectors.
#pragma once

#include <cstring>
#include <type_traits>

namespace dorvu::test {

template <typename T>
bool SameBits(const T& a, const T& b) {
  if constexpr (std::is_trivially_copyable_v<T>)
    return std::memcmp(&a, &b, sizeof a) == 0;
  else
    return a.size() == b.size() && (a.empty() || std::memcmp(a.data(), b.data(), a.size() * sizeof *a.data()) == 0);
}

}  // namespace dorvu::test
