#include "search/fast_evaluation.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

#include "search/estimation.h"
#include "search/twice_rounded.h"

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

// The energy gradient at one internal vertex.
inline void VertexGradient(const FastWork& work, const QuadTable& x, int i, Quad& g) {
  const Quad& xi = x[i];
  g = Quad{{0.0, 0.0, 0.0, 0.0}};
  for (int t = work.termBegin[i]; t < work.termBegin[i + 1]; ++t) {
    const Quad& xn = x[work.termVertex[t]];
    // Each term is added into the stored component and rounded there.
    for (int b = 0; b < 4; ++b) g.b[b] = static_cast<double>(g.b[b] + 2.0L * (Extended(xi.b[b]) - xn.b[b]));
  }
}

// Adds one vertex's absolute gradient components to the running L1 norm, in
// extended precision, rounded once.
inline double AddVertexNorm(double norm, const Quad& g) {
  return static_cast<double>(Extended(norm) + std::fabs(g.b[0]) + std::fabs(g.b[1]) + std::fabs(g.b[2]) +
                             std::fabs(g.b[3]));
}

// Copies the trial point in buffer `k` into the internal vertices.
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

// Pass 2: the Euclidean length of a clamped step, in extended precision.
inline double ExtendedLength(const Quad& y) {
  return static_cast<double>(std::sqrt(Extended(y.b[0]) * y.b[0] + Extended(y.b[1]) * y.b[1] +
                                       Extended(y.b[2]) * y.b[2] + Extended(y.b[3]) * y.b[3]));
}

// Pass 2: the step x - step*g, each component clamped at zero.
inline void ClampStep(const Quad& x, const Quad& g, double step, Quad& y) {
  for (int b = 0; b < 4; ++b) {
    y.b[b] = static_cast<double>(Extended(x.b[b]) - Extended(step) * g.b[b]);
    if (y.b[b] < 0.0) y.b[b] = 0.0;
  }
}

// Pass 2: y scaled to unit length; an all-zero y keeps the
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

// The trial values of every internal vertex at one step (pass 2).
[[gnu::noinline]] void RootTrialValues(FastWork& work, double step, QuadTable& trial) {
  for (int i = 0; i < InternalCount; ++i) {
    Quad y;
    ClampStep(work.x[i], work.gradient[i], step, y);
    ScaleToUnit(work.x[i], y, ExtendedLength(y), trial[i]);
  }
}

// The same with the vector units: the step and the division are formed in
// double arithmetic where that gives the extended result (twice_rounded.h),
// the length in extended precision as always. The steps and lengths of all
// vertices come first and the divisions after, so that each loop runs
// independent short chains side by side.
[[gnu::target("avx2,fma"), gnu::noinline]] void RootTrialValuesVector(FastWork& work, double step,
                                                                      QuadTable& trial) {
  namespace tr = twice_rounded;
  const __m256d t = _mm256_set1_pd(step);
  const __m256d zero = _mm256_setzero_pd();
  for (int i = 0; i < InternalCount; ++i) {
    const Quad& x = work.x[i];
    const __m256d g = _mm256_load_pd(work.gradient[i].b);
    const __m256d tg = _mm256_mul_pd(t, g);
    // t is a power of two, so t*g is exact unless it fell below the normal range.
    const bool tgExact = _mm256_movemask_pd(_mm256_and_pd(
                             _mm256_cmp_pd(tr::Abs(tg), _mm256_set1_pd(0x1p-1000), _CMP_LT_OQ),
                             _mm256_cmp_pd(g, zero, _CMP_NEQ_UQ))) == 0;
    __m256d difference;
    Quad& y = work.clamped[i];
    if (tgExact && tr::Difference(_mm256_load_pd(x.b), tg, difference)) {
      // Negative components become 0.0 (a -0.0 stays, as it is not below 0).
      _mm256_store_pd(y.b, _mm256_blendv_pd(difference, zero, _mm256_cmp_pd(difference, zero, _CMP_LT_OQ)));
    } else {
      ClampStep(x, work.gradient[i], step, y);
    }
  }
  // The lengths, four vertices at a time, one per lane (the padding vertex
  // 63 holds zeros).
  for (int i = 0; i < InternalCount + 1; i += 4) {
    const __m256d r0 = _mm256_load_pd(work.clamped[i].b);
    const __m256d r1 = _mm256_load_pd(work.clamped[i + 1].b);
    const __m256d r2 = _mm256_load_pd(work.clamped[i + 2].b);
    const __m256d r3 = _mm256_load_pd(work.clamped[i + 3].b);
    const __m256d low01 = _mm256_unpacklo_pd(r0, r1);
    const __m256d high01 = _mm256_unpackhi_pd(r0, r1);
    const __m256d low23 = _mm256_unpacklo_pd(r2, r3);
    const __m256d high23 = _mm256_unpackhi_pd(r2, r3);
    const __m256d y[4] = {_mm256_permute2f128_pd(low01, low23, 0x20), _mm256_permute2f128_pd(high01, high23, 0x20),
                          _mm256_permute2f128_pd(low01, low23, 0x31), _mm256_permute2f128_pd(high01, high23, 0x31)};
    __m256d lengths;
    const int vouched = tr::Length(y, lengths);
    _mm256_storeu_pd(&work.clampedNorm[i], lengths);
    if (vouched == 0xF) continue;
    for (int j = 0; j < 4; ++j)
      if ((vouched & (1 << j)) == 0) work.clampedNorm[i + j] = ExtendedLength(work.clamped[i + j]);
  }
  for (int i = 0; i < InternalCount; ++i) {
    const double norm = work.clampedNorm[i];
    __m256d quotient;
    if (norm >= 0x1p-1000 && norm <= 0x1p1000 &&
        tr::Quotient(_mm256_load_pd(work.clamped[i].b), _mm256_set1_pd(norm), quotient))
      _mm256_store_pd(trial[i].b, quotient);
    else
      ScaleToUnit(work.x[i], work.clamped[i], norm, trial[i]);
  }
}

// How energies are formed: exactly, or in double arithmetic as estimates
// within EstimateSlack of the exact ones.
enum class Energies { Exact, Estimate };

// Adds the four squares of one edge to four running sums in double
// arithmetic, one per base.
inline void AddEdgeEstimate(double (&sums)[4], const Quad& child, const Quad& parent) {
  for (int b = 0; b < 4; ++b) {
    const double d = child.b[b] - parent.b[b];
    sums[b] += d * d;
  }
}

// The energies of K points, edge by edge in close order. An exact energy is
// one chain of extended additions rounded once per edge; the K chains are
// independent and overlap. The sums live behind pointers, so that the
// compiler reloads the values of every edge rather than holding them in (and
// spilling) the few extended registers.
template <Energies E, int K>
[[gnu::noinline]] void PointEnergies(const FastWork& work, const QuadTable* const* points, double* energies) {
  double sums[K][4] = {};
  for (int k = 0; k < K; ++k) energies[k] = 0.0;
  for (int i = 0; i < InternalCount; ++i) {
    for (int e = work.edgeBegin[i]; e < work.edgeBegin[i + 1]; ++e) {
      const int c = work.edgeChild[e];
      for (int k = 0; k < K; ++k) {
        if constexpr (E == Energies::Exact)
          energies[k] = AddEdgeEnergy(energies[k], (*points[k])[c], (*points[k])[i]);
        else
          AddEdgeEstimate(sums[k], (*points[k])[c], (*points[k])[i]);
      }
    }
  }
  if constexpr (E == Energies::Estimate)
    for (int k = 0; k < K; ++k) energies[k] = (sums[k][0] + sums[k][1]) + (sums[k][2] + sums[k][3]);
}

// Energy estimates of K points with the vector units: the four bases of an
// edge in one register, one running sum per point. Any order of summation
// stays within EstimateSlack.
template <int K>
[[gnu::target("avx2,fma"), gnu::noinline]] void EstimatesVector(const FastWork& work, const QuadTable* const* points,
                                                                double* energies) {
  __m256d sums[K];
  for (int k = 0; k < K; ++k) sums[k] = _mm256_setzero_pd();
  for (int i = 0; i < InternalCount; ++i) {
    for (int e = work.edgeBegin[i]; e < work.edgeBegin[i + 1]; ++e) {
      const int c = work.edgeChild[e];
      for (int k = 0; k < K; ++k) {
        const __m256d d = _mm256_sub_pd(_mm256_load_pd((*points[k])[c].b), _mm256_load_pd((*points[k])[i].b));
        sums[k] = _mm256_add_pd(sums[k], _mm256_mul_pd(d, d));
      }
    }
  }
  for (int k = 0; k < K; ++k) {
    alignas(32) double lanes[4];
    _mm256_store_pd(lanes, sums[k]);
    energies[k] = (lanes[0] + lanes[1]) + (lanes[2] + lanes[3]);
  }
}

template <Energies E>
void EnergiesOf(const FastWork& work, int count, const QuadTable* const* points, double* energies) {
  if (E == Energies::Estimate && work.vectorUnits) {
    switch (count) {
      case 1: EstimatesVector<1>(work, points, energies); return;
      case 2: EstimatesVector<2>(work, points, energies); return;
      case 3: EstimatesVector<3>(work, points, energies); return;
      default: EstimatesVector<4>(work, points, energies); return;
    }
  }
  switch (count) {
    case 1: PointEnergies<E, 1>(work, points, energies); break;
    case 2: PointEnergies<E, 2>(work, points, energies); break;
    case 3: PointEnergies<E, 3>(work, points, energies); break;
    case 4: PointEnergies<E, 4>(work, points, energies); break;
    case 5: PointEnergies<E, 5>(work, points, energies); break;
    default: PointEnergies<E, MaxBatchTrials + 2>(work, points, energies); break;
  }
}

// The trial points of one batch, at the given steps, into the given buffers.
template <Coordinates C>
void TrialPoints(FastWork& work, int count, const double* steps, const int* buffers) {
  for (int k = 0; k < count; ++k) {
    QuadTable& trial = work.trial[buffers[k]];
    if constexpr (C == Coordinates::Simplex)
      SimplexTrialValues(work, steps[k], trial);
    else if (work.vectorUnits)
      RootTrialValuesVector(work, steps[k], trial);
    else
      RootTrialValues(work, steps[k], trial);
  }
}

// A bound on the distance between an energy estimate and the exact energy of
// the same point. Both are sums of at most 4 * 126 non-negative squares;
// against the real sum the estimate is off by at most about 133 units in the
// last place (double) relative, the exact energy by about 127 (one rounding
// to double per edge). 2^-44 relative is twice their sum; the absolute part
// covers results in the subnormal range. An estimate that is infinite or not
// a number gets an unusable slack, and so decides nothing.
inline double EstimateSlack(double estimate) { return estimate * 0x1p-44 + 0x1p-1000; }

void SetExactEnergy(FastWork& work, double energy) {
  work.energy = energy;
  work.energyKnown = true;
  work.energyEstimate = energy;
  work.energySlack = 0.0;
}

// The current point's energy as an estimate only (at the start of a pass).
void EstimateEnergy(FastWork& work) {
  const QuadTable* point = &work.x;
  EnergiesOf<Energies::Estimate>(work, 1, &point, &work.energyEstimate);
  work.energySlack = EstimateSlack(work.energyEstimate);
  work.energyKnown = false;
}

// The exact energy of the current point, formed if only its estimate is
// known.
void MakeEnergyExact(FastWork& work) {
  if (work.energyKnown) return;
  double energy;
  const QuadTable* point = &work.x;
  EnergiesOf<Energies::Exact>(work, 1, &point, &energy);
  SetExactEnergy(work, energy);
}

// How many trials to form in the next batch. Step searches mostly take 3 or
// 4 trials, and a 3 is mostly followed by a 4 and a 4 by a 3; a search that
// outlasts its first batch is often near its end, and one that outlasts two
// is usually a long run towards a stall.
int BatchSize(int lastTrialCount, int batchesDone) {
  if (batchesDone == 0) return lastTrialCount == 4 ? 3 : 4;
  return batchesDone == 1 ? 2 : MaxBatchTrials;
}

// The steps of the next `count` trials, each the factor times the one before.
void NextSteps(const FastTree& fast, double& step, int count, double* steps) {
  for (int k = 0; k < count; ++k) {
    step = static_cast<double>(Extended(fast.stepFactor) * step);
    steps[k] = step;
  }
}

// What the step search knows of a trial's energy (or of the current
// point's): an estimate and a slack that bounds its distance from the exact
// energy; a slack of 0 when the estimate is the exact energy.
struct KnownEnergy {
  double estimate = 0.0;
  double slack = 0.0;
  bool exact() const { return slack == 0.0; }
};

// One step search, with the outcome of the plain one, deciding on energy
// estimates where they settle the comparisons: a trial whose estimate lies
// clearly above the current energy fails, one clearly below it is accepted,
// and one whose estimate is clearly apart from the previous trial's does not
// equal it, which resets the stall count. The first trial that the estimates
// do not settle has its exact energy formed, with the previous trial's (if
// the two are not apart), the current point's, and the rest of its batch's
// in the same pass; the search goes on with exact energies from there, as
// the trials that follow (smaller steps, nearer the current point) mostly
// stay unsettled too. The accepted point keeps an estimate of its energy
// when that is all the search needed. Trials fill a ring of buffers, so that
// the previous trial's point is still at hand at the start of a batch.
// Returns true when the search stalled.
template <Coordinates C>
bool StepSearch(const FastTree& fast, FastWork& work) {
  const int lastTrialCount = work.lastTrialCount;
  work.lastTrialCount = 0;
  // From a point whose energy is not a number no trial is taken at all (the
  // first loop test fails); the energy stays as it is.
  if (!work.energyKnown && std::isnan(work.energyEstimate)) MakeEnergyExact(work);
  if (work.energyKnown && std::isnan(work.energy)) return false;
  KnownEnergy current{work.energyKnown ? work.energy : work.energyEstimate,
                      work.energyKnown ? 0.0 : work.energySlack};
  KnownEnergy prev;     // the exact 0 that the first trial is compared with
  int prevBuffer = -1;  // buffer of the previous trial's point
  double step = 2.0;
  int32_t stallCount = 0;
  int taken = 0;
  int nextBuffer = 0;
  bool exactFromHere = false;  // batches form exact energies straight away
  for (int batches = 0;; ++batches) {
    const int count = BatchSize(lastTrialCount, batches);
    double steps[MaxBatchTrials];
    int buffers[MaxBatchTrials];
    const QuadTable* points[MaxBatchTrials + 2];
    for (int k = 0; k < count; ++k) {
      buffers[k] = nextBuffer;
      points[k] = &work.trial[nextBuffer];
      nextBuffer = (nextBuffer + 1) % TrialBuffers;
    }
    NextSteps(fast, step, count, steps);
    TrialPoints<C>(work, count, steps, buffers);
    double energies[MaxBatchTrials + 2];
    KnownEnergy trials[MaxBatchTrials];
    if (exactFromHere) {
      EnergiesOf<Energies::Exact>(work, count, points, energies);
      for (int k = 0; k < count; ++k) trials[k] = {energies[k], 0.0};
    } else {
      EnergiesOf<Energies::Estimate>(work, count, points, energies);
      for (int k = 0; k < count; ++k) trials[k] = {energies[k], EstimateSlack(energies[k])};
    }
    for (int k = 0; k < count; ++k) {
      ++taken;
      KnownEnergy& trial = trials[k];
      bool apart = std::fabs(trial.estimate - prev.estimate) > trial.slack + prev.slack;
      bool above = trial.estimate - trial.slack > current.estimate + current.slack;
      bool below = trial.estimate + trial.slack < current.estimate - current.slack;
      if (!apart || !(above || below)) {
        const QuadTable* chainPoints[MaxBatchTrials + 2];
        KnownEnergy* targets[MaxBatchTrials + 2];
        int chains = 0;
        const auto add = [&](const QuadTable* point, KnownEnergy* target) {
          if (target->exact()) return;
          chainPoints[chains] = point;
          targets[chains++] = target;
        };
        if (!apart && prevBuffer >= 0) add(&work.trial[prevBuffer], &prev);
        for (int j = k; j < count; ++j) add(points[j], &trials[j]);
        add(&work.x, &current);
        exactFromHere = true;
        double exact[MaxBatchTrials + 2];
        if (chains > 0) EnergiesOf<Energies::Exact>(work, chains, chainPoints, exact);
        for (int j = 0; j < chains; ++j) *targets[j] = {exact[j], 0.0};
        if (!work.energyKnown) SetExactEnergy(work, current.estimate);
        if (std::isnan(work.energy)) return false;  // no trial is taken, as above
        // Estimates apart stay apart; otherwise both energies are exact now.
        apart = apart || trial.estimate != prev.estimate;
        above = trial.estimate >= current.estimate;
        below = !above;
      }
      stallCount = apart ? 0 : stallCount + 1;
      const bool stalled = stallCount > fast.stallLimit;
      if (stalled || below) {
        AcceptTrial(work, buffers[k]);
        if (trial.exact()) {
          SetExactEnergy(work, trial.estimate);
        } else {
          work.energyKnown = false;
          work.energyEstimate = trial.estimate;
          work.energySlack = trial.slack;
        }
        work.lastTrialCount = taken;
        return stalled;
      }
      prev = trial;
      prevBuffer = buffers[k];
    }
  }
}

// The start of an iteration: the gradient at every internal vertex, an
// estimate of its L1 norm (double sums, one per base), and in pass 1 the sums
// of each vertex's values and gradient that its projections start from.
// Returns false when every gradient component is zero.
template <Coordinates C>
[[gnu::noinline]] bool StartIteration(FastWork& work, double& normEstimate) {
  double norms[4] = {};
  for (int i = 0; i < InternalCount; ++i) {
    VertexGradient(work, work.x, i, work.gradient[i]);
    const Quad& g = work.gradient[i];
    for (int b = 0; b < 4; ++b) norms[b] += std::fabs(g.b[b]);
    if constexpr (C == Coordinates::Simplex) {
      const Quad& v = work.x[i];
      work.firstSumV[i] = static_cast<double>(Extended(v.b[0]) + v.b[1] + v.b[2] + v.b[3]);
      work.firstSumG[i] = static_cast<double>(Extended(g.b[0]) + g.b[1] + g.b[2] + g.b[3]);
    }
  }
  normEstimate = (norms[0] + norms[1]) + (norms[2] + norms[3]);
  // Absolute values sum to 0 only when every one is 0 (they round to
  // nearest, and a sum of non-negative numbers is no smaller than each).
  return normEstimate != 0.0;
}

// The gradient's L1 norm as the passes form it: vertices in open order, each
// vertex's four absolute values added in extended precision and rounded once.
[[gnu::noinline]] double ExactGradientNorm(const FastTree& fast, const FastWork& work) {
  double norm = 0.0;
  for (int n = 0; n < InternalCount; ++n) norm = AddVertexNorm(norm, work.gradient[fast.openOrder[n]]);
  return norm;
}

// Whether the gradient's L1 norm exceeds the tolerance. Against the real sum
// of the (at most 252) absolute values, the estimate is off by at most about
// 66 units in the last place (relative), the exact norm by about 64 (one
// rounding to double per vertex); 2^-43 relative is several times their sum.
// Only an estimate that close to the tolerance needs the exact norm.
bool NormAbove(const FastTree& fast, const FastWork& work, double estimate, double tolerance) {
  const double slack = estimate * 0x1p-43 + 0x1p-1000;
  if (estimate - slack > tolerance) return true;
  if (estimate + slack <= tolerance) return false;
  return ExactGradientNorm(fast, work) > tolerance;
}

// Gradient steps until the gradient's L1 norm falls to the tolerance,
// vanishes, or a step search stalls. The norm is measured at the start of
// each iteration, and the iteration in which it first falls to the
// tolerance still takes its step.
template <Coordinates C>
void Descend(const FastTree& fast, FastWork& work, double tolerance) {
  FillTrialLeaves(work);
  if (!(10.0 > tolerance)) return;  // the norm's start value
  for (;;) {
    double normEstimate = 0.0;
    if (!StartIteration<C>(work, normEstimate)) return;
    const bool more = NormAbove(fast, work, normEstimate, tolerance);
    if (StepSearch<C>(fast, work)) return;
    if (!more) return;
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

bool VectorUnitsAvailable() {
  // The shortcuts stand in for the 80-bit format; where long double
  // arithmetic is something else (an emulator that computes it in double
  // precision), the extended route alone gives what the plain passes give.
  static const bool available = [] {
    volatile Extended one = 1.0L;
    volatile Extended epsilon = std::numeric_limits<Extended>::epsilon();
    return std::numeric_limits<Extended>::digits == 64 && one + epsilon != one && CpuHasVectorUnits();
  }();
  return available;
}

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
  EstimateEnergy(work);
  Descend<Coordinates::Simplex>(fast, work, fast.pass1Tolerance);
  TakeRoots(fast, work);
  EstimateEnergy(work);
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
  score.freeDistance = FreeDistance(table, Mark);
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
