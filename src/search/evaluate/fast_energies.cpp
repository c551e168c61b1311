// The kernel's energies: exact ones, chains of extended additions rounded
// once per edge, and estimates in double arithmetic within EstimateSlack of
// them; and the gradient's norm, exact or estimated.
#include "search/evaluate/fast_kernel.h"
#include "search/evaluate/twice_rounded.h"

namespace dorvu {

namespace {

// Adds the four squares of one edge to four running sums in double
// arithmetic, one per base.
inline void AddEdgeEstimate(double (&sums)[4], const BaseValues& child, const BaseValues& parent) {
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
[[gnu::noinline]] void PointEnergies(const FastWork& work, const VertexTable* const* points, double* energies) {
  double sums[K][4] = {};
  for (int k = 0; k < K; ++k) energies[k] = 0.0;
  for (int i = 0; i < work.internalCount; ++i) {
    for (int e = work.edgeBegin[i]; e < work.edgeBegin[i + 1]; ++e) {
      const int c = work.edgeChild[e];
      for (int k = 0; k < K; ++k) {
        if constexpr (E == Energies::kExact)
          energies[k] = AddSquaredDistance(energies[k], (*points[k])[c], (*points[k])[i]);
        else
          AddEdgeEstimate(sums[k], (*points[k])[c], (*points[k])[i]);
      }
    }
  }
  if constexpr (E == Energies::kEstimate)
    for (int k = 0; k < K; ++k) energies[k] = (sums[k][0] + sums[k][1]) + (sums[k][2] + sums[k][3]);
}

// Energy estimates of K points with the vector units: the four bases of an
// edge in one register, one running sum per point. Any order of summation
// stays within EstimateSlack.
template <int K>
[[gnu::target("avx2,fma"), gnu::noinline]] void EstimatesVector(const FastWork& work, const VertexTable* const* points,
                                                                double* energies) {
  __m256d sums[K];
  for (int k = 0; k < K; ++k) sums[k] = _mm256_setzero_pd();
  for (int i = 0; i < work.internalCount; ++i) {
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

// The chains of K points side by side, for the batch sizes the step search
// uses.
template <Energies E>
void PointEnergiesOf(const FastWork& work, int count, const VertexTable* const* points, double* energies) {
  switch (count) {
    case 1:
      PointEnergies<E, 1>(work, points, energies);
      break;
    case 2:
      PointEnergies<E, 2>(work, points, energies);
      break;
    case 3:
      PointEnergies<E, 3>(work, points, energies);
      break;
    case 4:
      PointEnergies<E, 4>(work, points, energies);
      break;
    case 5:
      PointEnergies<E, 5>(work, points, energies);
      break;
    default:
      PointEnergies<E, kMaxBatchTrials + 2>(work, points, energies);
      break;
  }
}

}  // namespace

void EnergyEstimates(const FastWork& work, int count, const VertexTable* const* points, double* energies) {
  PointEnergiesOf<Energies::kEstimate>(work, count, points, energies);
}

void EnergyEstimatesVector(const FastWork& work, int count, const VertexTable* const* points, double* energies) {
  switch (count) {
    case 1:
      EstimatesVector<1>(work, points, energies);
      return;
    case 2:
      EstimatesVector<2>(work, points, energies);
      return;
    case 3:
      EstimatesVector<3>(work, points, energies);
      return;
    default:
      EstimatesVector<4>(work, points, energies);
      return;
  }
}

template <Energies E>
void EnergiesOf(const FastWork& work, int count, const VertexTable* const* points, double* energies) {
  if constexpr (E == Energies::kEstimate)
    work.routines->energyEstimates(work, count, points, energies);
  else
    PointEnergiesOf<E>(work, count, points, energies);
}

template void EnergiesOf<Energies::kExact>(const FastWork&, int, const VertexTable* const*, double*);
template void EnergiesOf<Energies::kEstimate>(const FastWork&, int, const VertexTable* const*, double*);

void SetExactEnergy(FastWork& work, double energy) {
  work.energy = energy;
  work.energyKnown = true;
  work.energyEstimate = energy;
  work.energySlack = 0.0;
}

// The current point's energy as an estimate only (at the start of a pass).
void EstimateEnergy(FastWork& work) {
  const VertexTable* point = &work.x;
  EnergiesOf<Energies::kEstimate>(work, 1, &point, &work.energyEstimate);
  work.energySlack = EstimateSlack(work, work.energyEstimate);
  work.energyKnown = false;
}

// The exact energy of the current point, formed if only its estimate is
// known.
void MakeEnergyExact(FastWork& work) {
  if (work.energyKnown) return;
  double energy;
  const VertexTable* point = &work.x;
  EnergiesOf<Energies::kExact>(work, 1, &point, &energy);
  SetExactEnergy(work, energy);
}

// The gradient's L1 norm as the passes form it: vertices in open order, each
// vertex's four absolute values added in extended precision and rounded once.
[[gnu::noinline]] double ExactGradientNorm(const FastTree& fast, const FastWork& work) {
  double norm = 0.0;
  for (int n = 0; n < fast.internalCount; ++n) norm = AddAbsoluteSum(norm, work.gradient[fast.openOrder[n]]);
  return norm;
}

// Whether the gradient's L1 norm exceeds the tolerance. Against the real sum
// of the fixed tree's (at most 252) absolute values, the estimate is off by at
// most about 66 units in the last place (relative), the exact norm by about 64
// (one rounding to double per vertex); 2^-43 relative is several times their
// sum, and a larger tree takes it once per 63 internal vertices
// (normSlackFactor). Only an estimate that close to the tolerance needs the
// exact norm.
bool NormAbove(const FastTree& fast, const FastWork& work, double estimate, double tolerance) {
  const double slack = estimate * fast.normSlackFactor + 0x1p-1000;
  if (estimate - slack > tolerance) return true;
  if (estimate + slack <= tolerance) return false;
  return ExactGradientNorm(fast, work) > tolerance;
}

// gradient steps until the gradient's L1 norm falls to the tolerance,
// vanishes, or a step search stalls. The norm is measured at the start of
// each iteration, and the iteration in which it first falls to the
}  // namespace dorvu
