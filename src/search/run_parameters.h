// The run's parameters: values fixed in the program and the two read from
// the input, set once before the search and constant from then on.
#pragma once

#include <array>
#include <cstdint>

#include "log/log_lines.h"

namespace dorvu {

using log_lines::kMaxCardinality;
inline constexpr int32_t kLevelCount = kMaxCardinality + 1;  // levels 0 to kMaxCardinality of the depth-first walk

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
  // Scaled to the tree (ScaleToTree); these are the fixed tree's values.
  double terminalFactor = 100.0;   // a scenario whose penalty is at most this times the noise is not extended
  double initialPenalty = 1000.0;  // the penalty of a best-list entry that holds no scenario
};

// The parameters that grow with the tree: pass 1's tolerance (an L1 norm over
// the internal vertices), the terminal factor and the initial penalty (sums
// over the edges), in proportion to the fixed tree's 63 internal vertices and
// 126 edges, each formed in double from left to right, so that the fixed tree
// keeps exactly 1e-6, 100 and 1000.
inline void ScaleToTree(RunParameters& params, int32_t internalCount, int32_t edgeCount) {
  params.pass1Tolerance = 1e-6 * internalCount / 63;
  params.terminalFactor = 100.0 * edgeCount / 126;
  params.initialPenalty = 1000.0 * edgeCount / 126;
}

}  // namespace dorvu
