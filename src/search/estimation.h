// The two estimation passes: for one set of marks, the distribution at every
// internal vertex that minimises the tree energy (the sum of squared distances
// over the uncut edges), first on the probability simplex, then in square-root
// coordinates on unit vectors.
#pragma once

#include <cstdint>

#include "search/run_parameters.h"
#include "tree/tree.h"

namespace dorvu {

// Working storage of one evaluation.
struct PassState {
  ValueTable value{};       // current values at vertex slots
  ValueTable gradient{};    // energy gradient at open slots
  ValueTable trialPoint{};  // trial point of the step search; leaf entries hold the leaves
  double energy = 0.0;
  double trialEnergy = 0.0;
  double prevTrialEnergy = 0.0;
  double step = 0.0;
  double gradNorm = 0.0;
  double trialNorm = 0.0;
  int32_t stallCount = 0;
  bool stalled = false;  // the step search found no lower energy
};

// Restores the leaves, starts from bottom-up means and runs projected
// gradient descent on the simplex.
void EstimationPass1(const RunParameters& params, const Tree& tree, const MarkTable& mark, PassState& pass);

// The step of a vertex with `uncutEdges` uncut edges: the step, and at a
// vertex of more than three (where many children would let the full step
// overshoot) three of its parts in `uncutEdges`, formed in extended precision
// and rounded once. No vertex of a binary tree has more than three.
inline double VertexStep(double step, int uncutEdges) {
  if (uncutEdges <= 3) return step;
  return static_cast<double>(Extended(step) * 3.0L / static_cast<Extended>(uncutEdges));
}

// Pass 2's step at one vertex: x - step*g, each component clamped at zero.
inline void ClampStep(const BaseValues& x, const BaseValues& g, double step, BaseValues& y) {
  for (int b = 0; b < kBaseCount; ++b) {
    y.b[b] = static_cast<double>(Extended(x.b[b]) - Extended(step) * g.b[b]);
    if (y.b[b] < 0.0) y.b[b] = 0.0;
  }
}

// Pass 2's trial value: the clamped step y scaled to unit length. An
// all-zero y cannot be scaled; the vertex then keeps its value x.
inline void ScaleToUnit(const BaseValues& x, const BaseValues& y, double norm, BaseValues& w) {
  if (norm == 0.0) {
    w = x;
    return;
  }
  for (int b = 0; b < kBaseCount; ++b) w.b[b] = static_cast<double>(Extended(y.b[b]) / norm);
}

// Takes every vertex to square roots, then runs projected gradient descent on
// unit vectors. Must follow pass 1 for the same marks.
void EstimationPass2(const RunParameters& params, const Tree& tree, const MarkTable& mark, PassState& pass);

// Pass 1 followed by pass 2.
void EstimateScenario(const RunParameters& params, const Tree& tree, const MarkTable& mark, PassState& pass);

}  // namespace dorvu
