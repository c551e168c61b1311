#include "search/estimation.h"

#include <cmath>

namespace dorvu {

namespace {

// Adds the energy of the uncut edges below open slot o.
double AddChildEdges(double running, const Tree& tree, const MarkTable& mark, const ValueTable& x, int o) {
  for (const int32_t* c = tree.ChildrenBegin(o); c != tree.ChildrenEnd(o); ++c)
    if (mark[*c] == 0) running = AddSquaredDistance(running, x[*c], x[o]);
  return running;
}

// The uncut edges at open slot o: to its parent when it is unmarked, and to
// each unmarked child.
int UncutEdges(const Tree& tree, const MarkTable& mark, int o) {
  int edges = mark[o] == 0 ? 1 : 0;
  for (const int32_t* c = tree.ChildrenBegin(o); c != tree.ChildrenEnd(o); ++c) edges += mark[*c] == 0 ? 1 : 0;
  return edges;
}

// gradient of the energy at every internal vertex; returns its L1 norm.
double ComputeGradient(const Tree& tree, const MarkTable& mark, PassState& pass) {
  const ValueTable& x = pass.value;
  double norm = 0.0;
  for (int k = 0; k < tree.slotCount; ++k) {
    if (tree.treeSequence[k].kind != SlotKind::kOpen) continue;
    BaseValues& g = pass.gradient[k];
    g = BaseValues{};
    // The parent's term, then each child's in written order; each term is
    // added into the stored component and rounded there.
    const auto addTerm = [&](int n) {
      for (int b = 0; b < kBaseCount; ++b)
        g.b[b] = static_cast<double>(g.b[b] + 2.0L * (Extended(x[k].b[b]) - x[n].b[b]));
    };
    if (mark[k] == 0) addTerm(tree.parentSlot[k]);
    for (const int32_t* c = tree.ChildrenBegin(k); c != tree.ChildrenEnd(k); ++c)
      if (mark[*c] == 0) addTerm(*c);
    norm = AddAbsoluteSum(norm, g);
  }
  return norm;
}

// Starting point of pass 1: every internal vertex the mean of its unmarked
// children, bottom-up (summed in extended precision in written order and
// rounded once; of one child, a copy), 0.25 each where none is unmarked;
// returns the energy of that start.
double BuildStart(const Tree& tree, const MarkTable& mark, ValueTable& x) {
  double energy = 0.0;
  for (int k = 0; k < tree.slotCount; ++k) {
    if (tree.treeSequence[k].kind != SlotKind::kClose) continue;
    const int o = tree.openSlotOf[k];
    Extended sum[kBaseCount] = {0.0L, 0.0L, 0.0L, 0.0L};
    int count = 0;
    for (const int32_t* c = tree.ChildrenBegin(o); c != tree.ChildrenEnd(o); ++c) {
      if (mark[*c] != 0) continue;
      for (int b = 0; b < kBaseCount; ++b) sum[b] += x[*c].b[b];
      ++count;
    }
    if (count == 0) {
      x[o] = BaseValues{{0.25, 0.25, 0.25, 0.25}};
    } else {
      for (int b = 0; b < kBaseCount; ++b) x[o].b[b] = static_cast<double>(sum[b] / count);
    }
    energy = AddChildEdges(energy, tree, mark, x, o);
  }
  return energy;
}

// Copies the trial point into the internal vertices.
void AcceptTrial(const Tree& tree, PassState& pass) {
  for (int k = 0; k < tree.slotCount; ++k)
    if (tree.treeSequence[k].kind == SlotKind::kOpen) pass.value[k] = pass.trialPoint[k];
  pass.energy = pass.trialEnergy;
}

// Trial value of one internal vertex in square-root coordinates: the step
// clamped at zero and scaled to unit length.
void SqrtTrial(const BaseValues& x, const BaseValues& g, double step, BaseValues& trial, double& trialNorm) {
  BaseValues y;
  ClampStep(x, g, step, y);
  trialNorm = EuclideanLength(y);
  ScaleToUnit(x, y, trialNorm, trial);
}

enum class Coordinates { kSimplex, kSqrt };

// One sweep of trial values at step `pass.step`; returns the trial energy.
double TrialSweep(const Tree& tree, const MarkTable& mark, PassState& pass, Coordinates coordinates) {
  double trialEnergy = 0.0;
  pass.trialNorm = 0.0;
  for (int k = 0; k < tree.slotCount; ++k) {
    if (tree.treeSequence[k].kind != SlotKind::kClose) continue;
    const int o = tree.openSlotOf[k];
    const double step = VertexStep(pass.step, UncutEdges(tree, mark, o));
    if (coordinates == Coordinates::kSimplex)
      pass.trialPoint[o] = ProjectToSimplex(pass.value[o], pass.gradient[o], step);
    else
      SqrtTrial(pass.value[o], pass.gradient[o], step, pass.trialPoint[o], pass.trialNorm);
    trialEnergy = AddChildEdges(trialEnergy, tree, mark, pass.trialPoint, o);
  }
  return trialEnergy;
}

// gradient steps with a halving step search until the gradient's L1 norm falls
// to the tolerance, vanishes, or the step search stalls.
void Descend(const RunParameters& params, const Tree& tree, const MarkTable& mark, PassState& pass, double tolerance,
             Coordinates coordinates) {
  pass.gradNorm = kStartGradNorm;
  pass.stalled = false;
  while (pass.gradNorm > tolerance) {
    pass.gradNorm = ComputeGradient(tree, mark, pass);
    if (pass.gradNorm == 0.0) return;

    pass.step = 2.0;
    pass.trialEnergy = static_cast<double>(Extended(pass.energy) + 1.0L);
    pass.prevTrialEnergy = 0.0;
    pass.stallCount = 0;
    while (pass.trialEnergy >= pass.energy) {
      pass.step = static_cast<double>(Extended(params.stepFactor) * pass.step);
      pass.trialEnergy = TrialSweep(tree, mark, pass, coordinates);
      // Once the step no longer changes any trial value the energy repeats.
      pass.stallCount = pass.trialEnergy == pass.prevTrialEnergy ? pass.stallCount + 1 : 0;
      if (pass.stallCount > params.stallLimit) {
        pass.stalled = true;
        break;
      }
      pass.prevTrialEnergy = pass.trialEnergy;
    }
    AcceptTrial(tree, pass);
    if (pass.stalled) return;
  }
}

// Until the first trial sweep, the trial point is the current point, so that
// nothing from an earlier evaluation can be accepted.
void ResetTrialPoint(const Tree& tree, PassState& pass) {
  for (int k = 0; k < tree.slotCount; ++k)
    if (tree.treeSequence[k].kind != SlotKind::kClose) pass.trialPoint[k] = pass.value[k];
}

}  // namespace

void EstimationPass1(const RunParameters& params, const Tree& tree, const MarkTable& mark, PassState& pass) {
  if (pass.value.size() != static_cast<std::size_t>(tree.slotCount)) {
    pass.value.assign(tree.slotCount, BaseValues{});
    pass.gradient.assign(tree.slotCount, BaseValues{});
    pass.trialPoint.assign(tree.slotCount, BaseValues{});
  }
  for (int k = 0; k < tree.slotCount; ++k)
    if (tree.treeSequence[k].kind == SlotKind::kLeaf) pass.value[k] = tree.leafValues[k];
  pass.energy = BuildStart(tree, mark, pass.value);
  ResetTrialPoint(tree, pass);
  Descend(params, tree, mark, pass, params.pass1Tolerance, Coordinates::kSimplex);
}

void EstimationPass2(const RunParameters& params, const Tree& tree, const MarkTable& mark, PassState& pass) {
  // Square-root step. A negative value has no real square root; it is taken as 0.
  pass.energy = 0.0;
  for (int r = 0; r < tree.slotCount; ++r) {
    const SlotKind kind = tree.treeSequence[r].kind;
    if (kind == SlotKind::kClose) {
      pass.energy = AddChildEdges(pass.energy, tree, mark, pass.value, tree.openSlotOf[r]);
      continue;
    }
    for (double& v : pass.value[r].b) v = SqrtOf(v);
  }
  ResetTrialPoint(tree, pass);
  Descend(params, tree, mark, pass, params.pass2Tolerance, Coordinates::kSqrt);
}

void EstimateScenario(const RunParameters& params, const Tree& tree, const MarkTable& mark, PassState& pass) {
  EstimationPass1(params, tree, mark, pass);
  EstimationPass2(params, tree, mark, pass);
}

}  // namespace dorvu
