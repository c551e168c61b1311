// The run's parameters: values fixed in the program and the two read from
// the input, set once before the search and constant from then on.
#pragma once

#include <array>
#include <cstdint>

namespace dorvu {

inline constexpr int32_t kLevelCount = 21;  // levels 0 to 20 of the depth-first walk
inline constexpr int32_t kMaxCardinality = kLevelCount - 1;

// How many candidates are tried below a scenario of each level.
inline constexpr std::array<int32_t, kLevelCount> kLevelLimits = {6, 5, 4, 4, 4, 4, 4, 4, 4, 4, 3,
                                                                2, 1, 1, 1, 1, 1, 1, 1, 1, 1};
inline constexpr int32_t kMaxCandidates = 6;  // the largest limit

// The gradient's norm before the first iteration of either pass: above any
// tolerance, so that the first iteration always runs.
inline constexpr double kStartGradNorm = 10.0;

struct RunParameters {
  int32_t stallLimit = 10;             // a step search ends after more equal trial energies in a row
  int32_t cardinality = 0;             // as read, at most kMaxCardinality
  int32_t mainMemoryCapacity = 32768;  // keys in each of the two scenario stores; a power of two
  double pass1Tolerance = 0.000001;
  double pass2Tolerance = 0.000001;
  double stepFactor = 0.5;
  double noiseLevel = 0.0;      // the noise in force, after the adjustment
  double noiseLevelRead = 0.0;  // the noise level as read
};

}  // namespace dorvu
