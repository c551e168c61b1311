// The pieces of the fast evaluation kernel that its files share: layout,
// trial points, energies and descent. Not for use outside the kernel.
#pragma once

#include <algorithm>

#include "search/evaluate/fast_evaluation.h"

namespace dorvu {

enum class Coordinates { kSimplex, kSqrt };  // pass 1 on the simplex, pass 2 on unit vectors

// How energies are formed: exactly, or in double arithmetic as estimates
// within EstimateSlack of the exact ones.
enum class Energies { kExact, kEstimate };

// Layout (fast_layout.cpp).

// Takes the marks once: which vertices are marked, the uncut edges below each
// internal vertex (close order, first child first) and each internal vertex's
// gradient terms (parent, then the children in written order).
void ListEdges(const FastTree& fast, const MarkTable& mark, FastWork& work);

// Pass 1's start: every internal vertex from its unmarked children, bottom-up.
void BuildStart(const FastTree& fast, FastWork& work);

// Pass 2's square-root step: every internal vertex to its square roots, the leaves to their
// precomputed square roots.
void TakeSqrts(const FastTree& fast, FastWork& work);

// Trial points (fast_trials.cpp): the points of one batch, at the given
// steps, into the given buffers of the ring.
template <Coordinates C>
void TrialPoints(FastWork& work, int count, const double* steps, const int* buffers);

// The plain and vector forms of the kernel's routines (KernelRoutines).
void SqrtTrialValues(FastWork& work, double step, VertexTable& trial);
void SqrtTrialValuesVector(FastWork& work, double step, VertexTable& trial);
void EnergyEstimates(const FastWork& work, int count, const VertexTable* const* points, double* energies);
void EnergyEstimatesVector(const FastWork& work, int count, const VertexTable* const* points, double* energies);

// Energies (fast_energies.cpp).

// The energies of `count` points (at most kMaxBatchTrials + 2).
template <Energies E>
void EnergiesOf(const FastWork& work, int count, const VertexTable* const* points, double* energies);

// A bound on the distance between an energy estimate and the exact energy of
// the same point. Both are sums of four non-negative squares per edge; on the
// fixed tree's 126 edges, against the real sum the estimate is off by at most
// about 133 units in the last place (double) relative, the exact energy by
// about 127 (one rounding to double per edge). 2^-44 relative is twice their
// sum, and a larger tree takes it once per 126 edges (energySlackFactor); the
// absolute part covers results in the subnormal range. An estimate that is
// infinite or not a number gets an unusable slack, and so decides nothing.
inline double EstimateSlack(const FastWork& work, double estimate) {
  return estimate * work.energySlackFactor + 0x1p-1000;
}

void SetExactEnergy(FastWork& work, double energy);

// The current point's energy as an estimate only (at the start of a pass).
void EstimateEnergy(FastWork& work);

// The exact energy of the current point, formed if only its estimate is known.
void MakeEnergyExact(FastWork& work);

// Whether the gradient's L1 norm, of which `estimate` is a double-arithmetic
// estimate, exceeds the tolerance; the exact norm is formed only where the
// estimate is too close to call.
bool NormAbove(const FastTree& fast, const FastWork& work, double estimate, double tolerance);

// Small steps shared by the descent's files.

// The energy gradient at one internal vertex.
// The values and the sum are held locally, as nothing the loop writes can
// change what it reads.
inline void VertexGradient(const FastWork& work, const VertexTable& x, int i, BaseValues& g) {
  const BaseValues xi = x[i];
  BaseValues sum{};
  for (int t = work.termBegin[i]; t < work.termBegin[i + 1]; ++t) {
    const BaseValues& xn = x[work.termVertex[t]];
    // Each term is added into the stored component and rounded there.
    for (int b = 0; b < kBaseCount; ++b)
      sum.b[b] = static_cast<double>(sum.b[b] + 2.0L * (Extended(xi.b[b]) - xn.b[b]));
  }
  g = sum;
}

// Copies the trial point in buffer `k` into the internal vertices.
inline void AcceptTrial(FastWork& work, int k) {
  std::copy(work.trial[k].begin(), work.trial[k].begin() + work.internalCount, work.x.begin());
}

// The leaves' entries of every trial point: the leaves themselves.
inline void FillTrialLeaves(FastWork& work) {
  for (auto& point : work.trial)
    std::copy(work.x.begin() + work.internalCount, work.x.end(), point.begin() + work.internalCount);
}

}  // namespace dorvu
