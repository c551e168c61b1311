// The run's fixed parameters, the two values read from the input, and the
// scalars that several phases share.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace dorvu {

inline constexpr int32_t LevelCount = 21;  // levels 0 to 20 of the depth-first walk
inline constexpr int32_t MaxCardinality = LevelCount - 1;

// How many candidates are tried below a scenario of each level.
inline constexpr std::array<int32_t, LevelCount> LevelLimits = {6, 5, 4, 4, 4, 4, 4, 4, 4, 4, 3,
                                                                2, 1, 1, 1, 1, 1, 1, 1, 1, 1};

struct RunParameters {
  int32_t searchLevel = 0;
  int32_t stallLimit = 10;
  int32_t cardinality = 0;
  int32_t status = 0;  // result of the latest text-to-number conversion, 0 = success
  int32_t mainMemoryCapacity = 32768;
  int32_t noiseSwitch = 1;
  int32_t bestListLength = 1;
  int32_t reportCount = 1;
  int32_t mainMemorySearchSteps = 15;  // 2^15 = mainMemoryCapacity
  double pass1Tolerance = 0.000001;
  double pass2Tolerance = 0.000001;
  double stepFactor = 0.5;
  double noiseLevel = 0.0;
  double noiseLevelRead = 0.0;
  double noiseOffset = 0.04;
  std::string currentKey;
};

}  // namespace dorvu
