// The two estimation passes: for one set of marks, the distribution at every
// internal vertex that minimises the tree energy (the sum of squared distances
// over the uncut edges), first on the probability simplex, then in square-root
// coordinates on unit vectors.
#pragma once

#include <cstdint>

#include "run/run_parameters.h"
#include "tree/tree.h"

namespace dorvu {

// Working storage of one evaluation.
struct PassState {
  ValueTable value{};      // current values at vertex slots
  ValueTable Gradient{};   // energy gradient at open slots
  ValueTable TrialDist{};  // trial point of the step search; leaf entries hold the leaves
  double energy = 0.0;
  double trialEnergy = 0.0;
  double prevTrialEnergy = 0.0;
  double step = 0.0;
  double gradNorm = 0.0;
  double trialNorm = 0.0;
  int32_t stallCount = 0;
  int32_t stalled = 0;
};

// Restores the leaves, starts from bottom-up means and runs projected
// gradient descent on the simplex.
void EstimationPass1(const RunParameters& params, const Tree& tree, const MarkTable& Mark,
                     PassState& pass);

// Euclidean projection of v - t*g onto the simplex.
BaseValues ProjectToSimplex(const BaseValues& v, const BaseValues& g, double t);

// Takes every vertex to square roots, then runs projected gradient descent on
// unit vectors. Must follow pass 1 for the same marks.
void EstimationPass2(const RunParameters& params, const Tree& tree, const MarkTable& Mark,
                     PassState& pass);

// Pass 1 followed by pass 2.
void EstimateScenario(const RunParameters& params, const Tree& tree, const MarkTable& Mark,
                      PassState& pass);

}  // namespace dorvu
