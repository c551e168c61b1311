#include "search/fast_evaluation.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

#include "search/estimation.h"

namespace dorvu {

using Extended = long double;

namespace {

// ---------------------------------------------------------------------------
// Shared pieces of both passes.

// Adds the squared distance of one edge to a running energy: the four squares
// are summed in extended precision and the total is rounded once.
inline double AddEdgeEnergy(double running, const Quad& child, const Quad& parent) {
  Extended sum = running;
  for (int b = 0; b < 4; ++b) {
    const Extended d = Extended(child.b[b]) - parent.b[b];
    sum += d * d;
  }
  return static_cast<double>(sum);
}

// Energy of the uncut edges of a point, in close order.
double PointEnergy(const FastWork& work, const QuadTable& x) {
  double energy = 0.0;
  for (int i = 0; i < InternalCount; ++i)
    for (int e = work.edgeBegin[i]; e < work.edgeBegin[i + 1]; ++e)
      energy = AddEdgeEnergy(energy, x[work.edgeChild[e]], x[i]);
  return energy;
}

// Takes the marks once: which vertices are marked, the uncut edges below each
// internal vertex (close order, first child first) and each internal vertex's
// gradient terms (parent, first child, second child).
void ListEdges(const FastTree& fast, const MarkTable& Mark, FastWork& work) {
  for (int v = 0; v < VertexCount; ++v) work.marked[v] = Mark[fast.slotOf[v]] == 0 ? 0 : 1;
  int edges = 0;
  for (int i = 0; i < InternalCount; ++i) {
    work.edgeBegin[i] = edges;
    // A child's edge counts when the child's mark is 0, as in the plain passes.
    for (const int c : {fast.firstChild[i], fast.secondChild[i]}) {
      if (Mark[fast.slotOf[c]] != 0) continue;
      work.edgeChild[edges++] = c;
    }
  }
  work.edgeBegin[InternalCount] = edges;
  int terms = 0;
  for (int i = 0; i < InternalCount; ++i) {
    work.termBegin[i] = terms;
    if (Mark[fast.slotOf[i]] == 0) work.termVertex[terms++] = fast.parentOf[i];
    if (Mark[fast.slotOf[fast.firstChild[i]]] == 0) work.termVertex[terms++] = fast.firstChild[i];
    if (Mark[fast.slotOf[fast.secondChild[i]]] == 0) work.termVertex[terms++] = fast.secondChild[i];
  }
  work.termBegin[InternalCount] = terms;
}

// The energy gradient at every internal vertex; returns false when every
// component is zero.
bool ComputeGradient(FastWork& work) {
  bool nonZero = false;
  for (int i = 0; i < InternalCount; ++i) {
    const Quad& xi = work.x[i];
    Quad& g = work.gradient[i];
    g = Quad{{0.0, 0.0, 0.0, 0.0}};
    for (int t = work.termBegin[i]; t < work.termBegin[i + 1]; ++t) {
      const Quad& xn = work.x[work.termVertex[t]];
      // Each term is added into the stored component and rounded there.
      for (int b = 0; b < 4; ++b) g.b[b] = static_cast<double>(g.b[b] + 2.0L * (Extended(xi.b[b]) - xn.b[b]));
    }
    for (int b = 0; b < 4; ++b) nonZero |= g.b[b] != 0.0;
  }
  return nonZero;
}

// Adds one vertex's absolute gradient components to the running L1 norm, in
// extended precision, rounded once.
inline double AddVertexNorm(double norm, const Quad& g) {
  return static_cast<double>(Extended(norm) + std::fabs(g.b[0]) + std::fabs(g.b[1]) + std::fabs(g.b[2]) +
                             std::fabs(g.b[3]));
}

// The L1 norm of the gradient, vertices in open order.
double GradientNorm(const FastTree& fast, const FastWork& work) {
  double norm = 0.0;
  for (int n = 0; n < InternalCount; ++n) norm = AddVertexNorm(norm, work.gradient[fast.openOrder[n]]);
  return norm;
}

// Copies trial point `k` into the internal vertices.
void AcceptTrial(FastWork& work, int k) {
  for (int i = 0; i < InternalCount; ++i) work.x[i] = work.trial[k][i];
}

// The leaves' entries of every trial point: the leaves themselves.
void FillTrialLeaves(FastWork& work) {
  for (auto& point : work.trial)
    for (int v = InternalCount; v < VertexCount; ++v) point[v] = work.x[v];
}

// ---------------------------------------------------------------------------
// Trial values of one internal vertex.

// Pass 1: the Euclidean projection of v - t*g onto the simplex, as
// ProjectToSimplex. The usual case drops no component: one shift, formed from
// the first sums of v and g (the same for every trial of an iteration, so
// they come precomputed), and its division by 4 as a multiplication by the
// exact 0.25. When a component comes out negative, the whole projection is
// redone by ProjectToSimplex itself.
inline void ProjectVertex(const Quad& v, const Quad& g, double t, double sumV, double sumG, Quad& w) {
  const double shift = static_cast<double>(((1.0L - sumV) + Extended(t) * sumG) * 0.25L);
  bool negative = false;
  for (int b = 0; b < 4; ++b) {
    const Extended x = (Extended(v.b[b]) - Extended(t) * g.b[b]) + shift;
    negative |= x < 0.0L;
    w.b[b] = static_cast<double>(x);
  }
  if (!negative) return;
  const BaseValues projected = ProjectToSimplex(BaseValues{v.b[0], v.b[1], v.b[2], v.b[3]},
                                                BaseValues{g.b[0], g.b[1], g.b[2], g.b[3]}, t);
  w = Quad{{projected.A, projected.C, projected.G, projected.T}};
}

// Pass 2, first half: the step clamped at zero, y, and its Euclidean length.
inline void ClampedStep(const Quad& x, const Quad& g, double step, Quad& y, double& norm) {
  for (int b = 0; b < 4; ++b) {
    y.b[b] = static_cast<double>(Extended(x.b[b]) - Extended(step) * g.b[b]);
    if (y.b[b] < 0.0) y.b[b] = 0.0;
  }
  norm = static_cast<double>(std::sqrt(Extended(y.b[0]) * y.b[0] + Extended(y.b[1]) * y.b[1] +
                                       Extended(y.b[2]) * y.b[2] + Extended(y.b[3]) * y.b[3]));
}

// Pass 2, second half: y scaled to unit length; an all-zero y keeps the
// current value.
inline void ScaleToUnit(const Quad& x, const Quad& y, double norm, Quad& w) {
  if (norm == 0.0) {
    w = x;
    return;
  }
  for (int b = 0; b < 4; ++b) w.b[b] = static_cast<double>(Extended(y.b[b]) / norm);
}

// ---------------------------------------------------------------------------
// Batches of trial sweeps.

enum class Coordinates { Simplex, Root };

// The trial values of every internal vertex at one step (pass 1); the
// vertices are independent, so the processor overlaps their work.
[[gnu::noinline]] void SimplexTrialValues(FastWork& work, double step, QuadTable& trial) {
  for (int i = 0; i < InternalCount; ++i)
    ProjectVertex(work.x[i], work.gradient[i], step, work.firstSumV[i], work.firstSumG[i], trial[i]);
}

// The clamped steps of every internal vertex and their lengths (pass 2).
[[gnu::noinline]] void ClampedSteps(FastWork& work, double step, std::array<Quad, InternalCount>& clamped,
                                    std::array<double, InternalCount>& norms) {
  for (int i = 0; i < InternalCount; ++i) ClampedStep(work.x[i], work.gradient[i], step, clamped[i], norms[i]);
}

// Finishes K trial sweeps vertex by vertex in close order: in pass 2 the
// vertex's trial values (the divisions), then its uncut child edges into each
// trial's energy. Each energy is one chain of extended additions rounded once
// per edge; the K chains and the divisions are independent and overlap. When
// asked, the gradient's norm is summed alongside (in open order), a further
// independent chain. The sums live behind pointers, so that the compiler
// reloads the values of every edge rather than holding them in (and spilling)
// the few extended registers.
template <Coordinates C, int K>
[[gnu::noinline]] void FinishSweeps(const FastTree& fast, FastWork& work, double* energies, double* gradNorm) {
  for (int k = 0; k < K; ++k) energies[k] = 0.0;
  double norm = 0.0;
  for (int i = 0; i < InternalCount; ++i) {
    if constexpr (C == Coordinates::Root)
      for (int k = 0; k < K; ++k)
        ScaleToUnit(work.x[i], work.clamped[k][i], work.clampedNorm[k][i], work.trial[k][i]);
    for (int e = work.edgeBegin[i]; e < work.edgeBegin[i + 1]; ++e) {
      const int c = work.edgeChild[e];
      for (int k = 0; k < K; ++k) energies[k] = AddEdgeEnergy(energies[k], work.trial[k][c], work.trial[k][i]);
    }
    if (gradNorm != nullptr) norm = AddVertexNorm(norm, work.gradient[fast.openOrder[i]]);
  }
  if (gradNorm != nullptr) *gradNorm = norm;
}

// K trial sweeps at the given steps into their energies (and the gradient's
// norm when asked).
template <Coordinates C, int K>
void SweepBatch(const FastTree& fast, FastWork& work, const double* steps, double* energies, double* gradNorm) {
  for (int k = 0; k < K; ++k) {
    if constexpr (C == Coordinates::Simplex)
      SimplexTrialValues(work, steps[k], work.trial[k]);
    else
      ClampedSteps(work, steps[k], work.clamped[k], work.clampedNorm[k]);
  }
  FinishSweeps<C, K>(fast, work, energies, gradNorm);
}

template <Coordinates C>
void SweepTrials(const FastTree& fast, FastWork& work, int count, const double* steps, double* energies,
                 double* gradNorm) {
  switch (count) {
    case 1: SweepBatch<C, 1>(fast, work, steps, energies, gradNorm); break;
    case 2: SweepBatch<C, 2>(fast, work, steps, energies, gradNorm); break;
    case 3: SweepBatch<C, 3>(fast, work, steps, energies, gradNorm); break;
    default: SweepBatch<C, 4>(fast, work, steps, energies, gradNorm); break;
  }
}

// Pass 1's sums of each vertex's values and gradient, fixed for an iteration.
void PrepareProjectionSums(FastWork& work) {
  for (int i = 0; i < InternalCount; ++i) {
    const Quad& v = work.x[i];
    const Quad& g = work.gradient[i];
    work.firstSumV[i] = static_cast<double>(Extended(v.b[0]) + v.b[1] + v.b[2] + v.b[3]);
    work.firstSumG[i] = static_cast<double>(Extended(g.b[0]) + g.b[1] + g.b[2] + g.b[3]);
  }
}

// How many trials to form in the next batch. Step searches mostly take 3 or
// 4 trials, and a 3 is mostly followed by a 4 and a 4 by a 3; a search that
// outlasts its first batch is often near its end, and one that outlasts two
// is usually a long run towards a stall.
int BatchSize(int lastTrialCount, int batchesDone) {
  if (batchesDone == 0) return lastTrialCount == 4 ? 3 : 4;
  return batchesDone == 1 ? 2 : MaxBatchTrials;
}

struct StepOutcome {
  bool stalled = false;
  double gradNorm = 0.0;  // the L1 norm of the gradient the search stepped along
};

// One step search. Its trials are formed in batches; they are then taken in
// order of step exactly as one at a time: the stall count, the stall limit,
// and the first trial whose energy is below the current one. The gradient's
// norm is summed during the first batch.
template <Coordinates C>
StepOutcome StepSearch(const FastTree& fast, FastWork& work) {
  StepOutcome outcome;
  double step = 2.0;
  double trialEnergy = static_cast<double>(Extended(work.energy) + 1.0L);
  double prevTrialEnergy = 0.0;
  int32_t stallCount = 0;
  int taken = 0;
  int batches = 0;
  int accepted = -1;  // trial point that ends the search; -1: none, the point stays
  while (accepted < 0 && trialEnergy >= work.energy) {
    const int count = BatchSize(work.lastTrialCount, batches);
    double steps[MaxBatchTrials];
    double energies[MaxBatchTrials];
    for (int k = 0; k < count; ++k) {
      step = static_cast<double>(Extended(fast.stepFactor) * step);
      steps[k] = step;
    }
    SweepTrials<C>(fast, work, count, steps, energies, batches == 0 ? &outcome.gradNorm : nullptr);
    ++batches;
    for (int k = 0; k < count; ++k) {
      trialEnergy = energies[k];
      ++taken;
      stallCount = trialEnergy == prevTrialEnergy ? stallCount + 1 : 0;
      if (stallCount > fast.stallLimit) {
        outcome.stalled = true;
        accepted = k;
        break;
      }
      prevTrialEnergy = trialEnergy;
      if (!(trialEnergy >= work.energy)) {
        accepted = k;
        break;
      }
    }
  }
  // No trial at all (an energy that is not a number): the point stays.
  if (batches == 0) outcome.gradNorm = GradientNorm(fast, work);
  if (accepted >= 0) AcceptTrial(work, accepted);
  work.energy = trialEnergy;
  work.lastTrialCount = taken;
  return outcome;
}

// Gradient steps until the gradient's L1 norm falls to the tolerance,
// vanishes, or a step search stalls. A norm of exactly 0 is a gradient of
// zeros only (the norm sums absolute values and rounds to nearest), so that
// test needs no sum.
template <Coordinates C>
void Descend(const FastTree& fast, FastWork& work, double tolerance) {
  FillTrialLeaves(work);
  double gradNorm = 10.0;
  while (gradNorm > tolerance) {
    if (!ComputeGradient(work)) return;
    if constexpr (C == Coordinates::Simplex) PrepareProjectionSums(work);
    const StepOutcome outcome = StepSearch<C>(fast, work);
    if (outcome.stalled) return;
    gradNorm = outcome.gradNorm;
  }
}

// Pass 1's start: every internal vertex from its unmarked children,
// bottom-up.
void BuildStart(const FastTree& fast, FastWork& work) {
  for (int v = InternalCount; v < VertexCount; ++v) work.x[v] = fast.leafStart[v];
  for (int i = 0; i < InternalCount; ++i) {
    const int f = fast.firstChild[i];
    const int s = fast.secondChild[i];
    const bool keepF = work.marked[f] == 0;
    const bool keepS = work.marked[s] == 0;
    Quad& xi = work.x[i];
    if (keepF && keepS) {
      for (int b = 0; b < 4; ++b)
        xi.b[b] = static_cast<double>((Extended(work.x[f].b[b]) + work.x[s].b[b]) * 0.5L);
    } else if (keepF) {
      xi = work.x[f];
    } else if (keepS) {
      xi = work.x[s];
    } else {
      xi = Quad{{0.25, 0.25, 0.25, 0.25}};
    }
  }
}

// Pass 2's root step: every internal vertex to its roots (a negative value to
// 0), the leaves to their precomputed roots.
void TakeRoots(const FastTree& fast, FastWork& work) {
  for (int i = 0; i < InternalCount; ++i)
    for (double& v : work.x[i].b) v = v < 0.0 ? 0.0 : static_cast<double>(std::sqrt(Extended(v)));
  for (int v = InternalCount; v < VertexCount; ++v) work.x[v] = fast.leafRoot[v];
}

// ---------------------------------------------------------------------------
// Scoring.

double SquaredDistance(const Quad& v, const Quad& u) {
  Extended sum = 0.0L;
  for (int b = 0; b < 4; ++b) {
    const Extended d = Extended(v.b[b]) - u.b[b];
    sum += d * d;
  }
  return static_cast<double>(sum);
}

// Adds the four terms sqrt|v(b)^2 - u(b)^2| of one uncut edge.
double AddEdgePenalty(double penalty, const Quad& v, const Quad& u) {
  Extended sum = penalty;
  for (int b = 0; b < 4; ++b) sum += std::sqrt(std::fabs(Extended(v.b[b]) * v.b[b] - Extended(u.b[b]) * u.b[b]));
  return static_cast<double>(sum);
}

}  // namespace

void PrepareFastTree(const RunParameters& params, const Tree& tree, FastTree& fast) {
  std::array<int32_t, SlotCount> vertexOf{};  // vertex of each vertex slot
  int internal = 0;
  int leaf = InternalCount;
  for (int s = 0; s < SlotCount; ++s) {
    const int32_t kind = tree.TreeSequence[s].kind;
    if (kind == KindClose) {
      fast.slotOf[internal] = tree.OpenSlotOf[s];
      vertexOf[tree.OpenSlotOf[s]] = internal++;
    } else if (kind == KindLeaf) {
      fast.slotOf[leaf] = s;
      vertexOf[s] = leaf++;
    }
  }
  int open = 0;
  for (int s = 0; s < SlotCount; ++s)
    if (tree.TreeSequence[s].kind == KindOpen) fast.openOrder[open++] = vertexOf[s];
  for (int v = 0; v < VertexCount; ++v) {
    const int s = fast.slotOf[v];
    fast.parentOf[v] = tree.ParentSlot[s] < 0 ? -1 : vertexOf[tree.ParentSlot[s]];
    if (v < InternalCount) {
      fast.firstChild[v] = vertexOf[tree.FirstChildSlot[s]];
      fast.secondChild[v] = vertexOf[tree.SecondChildSlot[s]];
      continue;
    }
    const BaseValues& leafValues = tree.LeafValues[s];
    fast.leafStart[v] = Quad{{leafValues.A, leafValues.C, leafValues.G, leafValues.T}};
    for (int b = 0; b < 4; ++b) {
      const double value = fast.leafStart[v].b[b];
      fast.leafRoot[v].b[b] = value < 0.0 ? 0.0 : static_cast<double>(std::sqrt(Extended(value)));
    }
  }
  fast.stepFactor = params.stepFactor;
  fast.pass1Tolerance = params.pass1Tolerance;
  fast.pass2Tolerance = params.pass2Tolerance;
  fast.stallLimit = params.stallLimit;
}

void FastEstimateScenario(const FastTree& fast, const MarkTable& Mark, FastWork& work) {
  ListEdges(fast, Mark, work);
  BuildStart(fast, work);
  work.energy = PointEnergy(work, work.x);
  Descend<Coordinates::Simplex>(fast, work, fast.pass1Tolerance);
  TakeRoots(fast, work);
  work.energy = PointEnergy(work, work.x);
  Descend<Coordinates::Root>(fast, work, fast.pass2Tolerance);
}

void FastSortDistanceTable(std::array<DistanceEntry, SlotCount>& table) {
  // The exchanges of SortDistanceTable, in the same order: for each i, entry
  // i (held in registers here) is exchanged with every later entry whose
  // distance is greater than its own at that moment. The distances lie in a
  // separate array, padded to a multiple of four with -infinity (never
  // greater), and the later entries are tested four at a time, as almost
  // none are greater.
  constexpr int Padded = (SlotCount + 3) / 4 * 4;
  std::array<double, Padded> distance;
  std::array<int32_t, Padded> slot;
  for (int i = 0; i < SlotCount; ++i) {
    distance[i] = table[i].distance;
    slot[i] = table[i].slot;
  }
  for (int i = SlotCount; i < Padded; ++i) {
    distance[i] = -std::numeric_limits<double>::infinity();
    slot[i] = 0;
  }
  for (int i = 1; i < SlotCount - 1; ++i) {
    double held = distance[i];
    int32_t heldSlot = slot[i];
    const auto exchange = [&](int j) {
      if (!(held < distance[j])) return;
      std::swap(held, distance[j]);
      std::swap(heldSlot, slot[j]);
    };
    int j = i + 1;
    for (; j % 4 != 0; ++j) exchange(j);
    for (; j < Padded; j += 4) {
      const int greater = int{held < distance[j]} | int{held < distance[j + 1]} | int{held < distance[j + 2]} |
                          int{held < distance[j + 3]};
      if (greater != 0)
        for (int m = j; m < j + 4; ++m) exchange(m);
    }
    distance[i] = held;
    slot[i] = heldSlot;
  }
  for (int i = 1; i < SlotCount; ++i) table[i] = DistanceEntry{slot[i], distance[i]};
}

void FastScoreScenario(const FastTree& fast, const MarkTable& Mark, const FastWork& work,
                       ScenarioScore& score) {
  auto& table = score.DistanceTable;
  for (int i = 1; i < SlotCount; ++i) table[i] = DistanceEntry{};
  double penalty = 0.0;
  for (int n = 0; n < InternalCount; ++n) {
    const int i = fast.openOrder[n];
    for (const int c : {fast.firstChild[i], fast.secondChild[i]}) {
      const int slot = fast.slotOf[c];
      table[slot] = DistanceEntry{slot, SquaredDistance(work.x[c], work.x[i])};
    }
    for (const int c : {fast.firstChild[i], fast.secondChild[i]})
      if (work.marked[c] == 0) penalty = AddEdgePenalty(penalty, work.x[c], work.x[i]);
  }
  score.scenarioPenalty = penalty;
  FastSortDistanceTable(table);
  score.freeDistance = 1000.0;
  for (int i = 1; i < SlotCount; ++i) {
    if (table[i].slot > 0 && Mark[table[i].slot] == 0) {
      score.freeDistance = table[i].distance;
      break;
    }
  }
}

void FastEvaluateScenario(const FastTree& fast, const MarkTable& Mark, FastWork& work,
                          ScenarioScore& score) {
  FastEstimateScenario(fast, Mark, work);
  FastScoreScenario(fast, Mark, work, score);
}

void CopyValuesBySlot(const FastTree& fast, const FastWork& work, ValueTable& values) {
  for (int v = 0; v < VertexCount; ++v) {
    const Quad& q = work.x[v];
    values[fast.slotOf[v]] = BaseValues{q.b[0], q.b[1], q.b[2], q.b[3]};
  }
}

}  // namespace dorvu
