// Where a scenario stands in the depth-first walk: the candidate position
// taken at each level above it. The walk visits scenarios in the order of
// these paths, a path before every path it begins, so an evaluator that works
// ahead of the walk can tell which of its guesses the walk has passed.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>

#include "search/run_parameters.h"

namespace dorvu {

struct WalkPath {
  std::array<uint8_t, kLevelCount> choice{};
  int32_t length = 0;
};

// Whether the walk reaches `a` before `b`.
inline bool Precedes(const WalkPath& a, const WalkPath& b) {
  const int32_t common = std::min(a.length, b.length);
  for (int32_t i = 0; i < common; ++i)
    if (a.choice[i] != b.choice[i]) return a.choice[i] < b.choice[i];
  return a.length < b.length;
}

}  // namespace dorvu
