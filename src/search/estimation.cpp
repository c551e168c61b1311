#include "search/estimation.h"

#include <cmath>

namespace dorvu {

using Extended = long double;

namespace {

// Adds the squared distance of one edge to a running energy: the four squares
// are summed in extended precision and the total is rounded once.
double AddEdgeEnergy(double running, const BaseValues& child, const BaseValues& parent) {
  Extended sum = running;
  for (auto b : Bases) {
    const Extended d = Extended(child.*b) - parent.*b;
    sum += d * d;
  }
  return static_cast<double>(sum);
}

// Adds the energy of the uncut edges below open slot o.
double AddChildEdges(double running, const Tree& tree, const MarkTable& Mark, const ValueTable& x,
                     int o) {
  const int c1 = tree.FirstChildSlot[o];
  const int c2 = tree.SecondChildSlot[o];
  if (Mark[c1] == 0) running = AddEdgeEnergy(running, x[c1], x[o]);
  if (Mark[c2] == 0) running = AddEdgeEnergy(running, x[c2], x[o]);
  return running;
}

// Gradient of the energy at every internal vertex; returns its L1 norm.
double ComputeGradient(const Tree& tree, const MarkTable& Mark, PassState& pass) {
  const ValueTable& x = pass.value;
  double norm = 0.0;
  for (int k = 0; k < SlotCount; ++k) {
    if (tree.TreeSequence[k].kind != KindOpen) continue;
    const int p = tree.ParentSlot[k];
    const int c1 = tree.FirstChildSlot[k];
    const int c2 = tree.SecondChildSlot[k];
    BaseValues& g = pass.Gradient[k];
    g = BaseValues{};
    for (auto b : Bases) {
      // Each term is added into the stored component and rounded there.
      if (Mark[k] == 0) g.*b = static_cast<double>(g.*b + 2.0L * (Extended(x[k].*b) - x[p].*b));
      if (Mark[c1] == 0) g.*b = static_cast<double>(g.*b + 2.0L * (Extended(x[k].*b) - x[c1].*b));
      if (Mark[c2] == 0) g.*b = static_cast<double>(g.*b + 2.0L * (Extended(x[k].*b) - x[c2].*b));
    }
    norm = static_cast<double>(Extended(norm) + std::fabs(g.A) + std::fabs(g.C) + std::fabs(g.G) +
                               std::fabs(g.T));
  }
  return norm;
}

// Starting point of pass 1: every internal vertex from its unmarked children,
// bottom-up; returns the energy of that start.
double BuildStart(const Tree& tree, const MarkTable& Mark, ValueTable& x) {
  double energy = 0.0;
  for (int k = 0; k < SlotCount; ++k) {
    if (tree.TreeSequence[k].kind != KindClose) continue;
    const int o = tree.OpenSlotOf[k];
    const int f = tree.FirstChildSlot[o];
    const int s = tree.SecondChildSlot[o];
    if (Mark[f] == 0 && Mark[s] == 0) {
      for (auto b : Bases) x[o].*b = static_cast<double>((Extended(x[f].*b) + x[s].*b) * 0.5L);
    } else if (Mark[f] == 0) {
      x[o] = x[f];
    } else if (Mark[s] == 0) {
      x[o] = x[s];
    } else {
      x[o] = BaseValues{0.25, 0.25, 0.25, 0.25};
    }
    energy = AddChildEdges(energy, tree, Mark, x, o);
  }
  return energy;
}

// Copies the trial point into the internal vertices.
void AcceptTrial(const Tree& tree, PassState& pass) {
  for (int k = 0; k < SlotCount; ++k)
    if (tree.TreeSequence[k].kind == KindOpen) pass.value[k] = pass.TrialDist[k];
  pass.energy = pass.trialEnergy;
}

// Trial value of one internal vertex in square-root coordinates: the step
// clamped at zero and scaled to unit length. An all-zero clamped vector
// cannot be scaled; the vertex then keeps its current value for this trial.
void RootTrial(const BaseValues& x, const BaseValues& g, double step, BaseValues& trial,
               double& trialNorm) {
  BaseValues y;
  for (auto b : Bases) {
    y.*b = static_cast<double>(Extended(x.*b) - Extended(step) * g.*b);
    if (y.*b < 0.0) y.*b = 0.0;
  }
  trialNorm = static_cast<double>(
      std::sqrt(Extended(y.A) * y.A + Extended(y.C) * y.C + Extended(y.G) * y.G + Extended(y.T) * y.T));
  if (trialNorm == 0.0) {
    trial = x;
    return;
  }
  for (auto b : Bases) trial.*b = static_cast<double>(Extended(y.*b) / trialNorm);
}

enum class Coordinates { Simplex, Root };

// One sweep of trial values at step `pass.step`; returns the trial energy.
double TrialSweep(const Tree& tree, const MarkTable& Mark, PassState& pass, Coordinates coordinates) {
  double trialEnergy = 0.0;
  pass.trialNorm = 0.0;
  for (int k = 0; k < SlotCount; ++k) {
    if (tree.TreeSequence[k].kind != KindClose) continue;
    const int o = tree.OpenSlotOf[k];
    if (coordinates == Coordinates::Simplex)
      pass.TrialDist[o] = ProjectToSimplex(pass.value[o], pass.Gradient[o], pass.step);
    else
      RootTrial(pass.value[o], pass.Gradient[o], pass.step, pass.TrialDist[o], pass.trialNorm);
    trialEnergy = AddChildEdges(trialEnergy, tree, Mark, pass.TrialDist, o);
  }
  return trialEnergy;
}

// Gradient steps with a halving step search until the gradient's L1 norm falls
// to the tolerance, vanishes, or the step search stalls.
void Descend(const RunParameters& params, const Tree& tree, const MarkTable& Mark, PassState& pass,
             double tolerance, Coordinates coordinates) {
  pass.gradNorm = 10.0;
  pass.stalled = 0;
  while (pass.gradNorm > tolerance) {
    pass.gradNorm = ComputeGradient(tree, Mark, pass);
    if (pass.gradNorm == 0.0) return;

    pass.step = 2.0;
    pass.trialEnergy = static_cast<double>(Extended(pass.energy) + 1.0L);
    pass.prevTrialEnergy = 0.0;
    pass.stallCount = 0;
    while (pass.trialEnergy >= pass.energy) {
      pass.step = static_cast<double>(Extended(params.stepFactor) * pass.step);
      pass.trialEnergy = TrialSweep(tree, Mark, pass, coordinates);
      // Once the step no longer changes any trial value the energy repeats.
      pass.stallCount = pass.trialEnergy == pass.prevTrialEnergy ? pass.stallCount + 1 : 0;
      if (pass.stallCount > params.stallLimit) {
        pass.stalled = 1;
        break;
      }
      pass.prevTrialEnergy = pass.trialEnergy;
    }
    AcceptTrial(tree, pass);
    if (pass.stalled == 1) return;
  }
}

// Until the first trial sweep, the trial point is the current point, so that
// nothing from an earlier evaluation can be accepted.
void ResetTrialPoint(const Tree& tree, PassState& pass) {
  for (int k = 0; k < SlotCount; ++k)
    if (tree.TreeSequence[k].kind != KindClose) pass.TrialDist[k] = pass.value[k];
}

}  // namespace

BaseValues ProjectToSimplex(const BaseValues& v, const BaseValues& g, double t) {
  bool active[4] = {true, true, true, true};
  int n = 4;
  double sumV = static_cast<double>(Extended(v.A) + v.C + v.G + v.T);
  double sumG = static_cast<double>(Extended(g.A) + g.C + g.G + g.T);
  double shift = 0.0;
  BaseValues w;
  bool dropped = true;
  while (dropped) {
    shift = static_cast<double>(((1.0L - sumV) + Extended(t) * sumG) / n);
    n = 0;
    sumV = 0.0;
    sumG = 0.0;
    dropped = false;
    for (int b = 0; b < 4; ++b) {
      if (!active[b]) continue;
      const Extended x = (Extended(v.*Bases[b]) - Extended(t) * g.*Bases[b]) + shift;
      if (x < 0.0L) {
        active[b] = false;
        w.*Bases[b] = 0.0;
        dropped = true;
      } else {
        ++n;
        sumV = static_cast<double>(Extended(sumV) + v.*Bases[b]);
        sumG = static_cast<double>(Extended(sumG) + g.*Bases[b]);
      }
    }
  }
  for (int b = 0; b < 4; ++b)
    if (active[b])
      w.*Bases[b] = static_cast<double>((Extended(v.*Bases[b]) - Extended(t) * g.*Bases[b]) + shift);
  return w;
}

void EstimationPass1(const RunParameters& params, const Tree& tree, const MarkTable& Mark,
                     PassState& pass) {
  for (int k = 0; k < SlotCount; ++k)
    if (tree.TreeSequence[k].kind == KindLeaf) pass.value[k] = tree.LeafValues[k];
  pass.energy = BuildStart(tree, Mark, pass.value);
  ResetTrialPoint(tree, pass);
  Descend(params, tree, Mark, pass, params.pass1Tolerance, Coordinates::Simplex);
}

void EstimationPass2(const RunParameters& params, const Tree& tree, const MarkTable& Mark,
                     PassState& pass) {
  // Root step. A negative value has no real root; it is taken as 0.
  pass.energy = 0.0;
  for (int r = 0; r < SlotCount; ++r) {
    const int32_t kind = tree.TreeSequence[r].kind;
    if (kind == KindClose) {
      pass.energy = AddChildEdges(pass.energy, tree, Mark, pass.value, tree.OpenSlotOf[r]);
      continue;
    }
    for (auto b : Bases) {
      double& v = pass.value[r].*b;
      v = v < 0.0 ? 0.0 : static_cast<double>(std::sqrt(Extended(v)));
    }
  }
  ResetTrialPoint(tree, pass);
  Descend(params, tree, Mark, pass, params.pass2Tolerance, Coordinates::Root);
}

void EstimateScenario(const RunParameters& params, const Tree& tree, const MarkTable& Mark,
                      PassState& pass) {
  EstimationPass1(params, tree, Mark, pass);
  EstimationPass2(params, tree, Mark, pass);
}

}  // namespace dorvu
