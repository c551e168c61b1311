// The kernel's trial points: every internal vertex's trial value at a step,
// on the simplex (pass 1) or on unit vectors (pass 2).
#include "search/estimation.h"
#include "search/evaluate/fast_kernel.h"
#include "search/evaluate/twice_rounded.h"

namespace dorvu {

namespace {

// The step of a vertex of more than three uncut edges.
inline double WideStep(const FastWork& work, int i, double step) {
  return VertexStep(step, work.termBegin[i + 1] - work.termBegin[i]);
}

// Pass 1: the Euclidean projection of v - t*g onto the simplex, as
// ProjectToSimplex. The usual case drops no component: one shift, formed from
// the first sums of v and g (the same for every trial of an iteration, so
// they come precomputed), and its division by 4 as a multiplication by the
// exact 0.25. When a component comes out negative, the whole projection is
// redone by ProjectToSimplex itself.
inline void ProjectVertex(const BaseValues& v, const BaseValues& g, double t, double sumV, double sumG, BaseValues& w) {
  const double shift = static_cast<double>(((1.0L - sumV) + Extended(t) * sumG) * 0.25L);
  bool negative = false;
  for (int b = 0; b < 4; ++b) {
    const Extended x = (Extended(v.b[b]) - Extended(t) * g.b[b]) + shift;
    negative |= x < 0.0L;
    w.b[b] = static_cast<double>(x);
  }
  if (!negative) return;
  w = ProjectToSimplex(v, g, t);
}

// The trial values of every internal vertex at one step (pass 1); the
// vertices are independent, so the processor overlaps their work.
[[gnu::noinline]] void SimplexTrialValues(FastWork& work, double step, VertexTable& trial) {
  // Plain pointers, so that the loop holds them in registers.
  const BaseValues* __restrict x = work.x.data();
  const BaseValues* __restrict gradient = work.gradient.data();
  const double* __restrict sumV = work.firstSumV.data();
  const double* __restrict sumG = work.firstSumG.data();
  BaseValues* __restrict out = trial.data();
  const int internal = work.internalCount;
  for (int i = 0; i < internal; ++i) ProjectVertex(x[i], gradient[i], step, sumV[i], sumG[i], out[i]);
  for (const int i : work.wide)
    ProjectVertex(work.x[i], work.gradient[i], WideStep(work, i, step), work.firstSumV[i], work.firstSumG[i], trial[i]);
}

// Pass 2's trial value of one vertex at its own step.
void SqrtTrialValue(const FastWork& work, int i, double step, BaseValues& trial) {
  BaseValues y;
  ClampStep(work.x[i], work.gradient[i], step, y);
  ScaleToUnit(work.x[i], y, EuclideanLength(y), trial);
}

// The vertices of many uncut edges again, at their own step.
void RedoWideVertices(const FastWork& work, double step, VertexTable& trial) {
  for (const int i : work.wide) SqrtTrialValue(work, i, WideStep(work, i, step), trial[i]);
}

}  // namespace

// The trial values of every internal vertex at one step (pass 2).
[[gnu::noinline]] void SqrtTrialValues(FastWork& work, double step, VertexTable& trial) {
  for (int i = 0; i < work.internalCount; ++i) SqrtTrialValue(work, i, step, trial[i]);
  RedoWideVertices(work, step, trial);
}

// The same with the vector units: the step and the division are formed in
// double arithmetic where that gives the extended result (twice_rounded.h),
// the length in extended precision as always. The steps and lengths of all
// vertices come first and the divisions after, so that each loop runs
// independent short chains side by side.
[[gnu::target("avx2,fma"), gnu::noinline]] void SqrtTrialValuesVector(FastWork& work, double step, VertexTable& trial) {
  namespace tr = twice_rounded;
  const __m256d t = _mm256_set1_pd(step);
  const __m256d zero = _mm256_setzero_pd();
  const int internal = work.internalCount;
  for (int i = 0; i < internal; ++i) {
    const BaseValues& x = work.x[i];
    const __m256d g = _mm256_load_pd(work.gradient[i].b);
    const __m256d tg = _mm256_mul_pd(t, g);
    // t is a power of two, so t*g is exact unless it fell below the normal range.
    const bool tgExact =
        _mm256_movemask_pd(_mm256_and_pd(_mm256_cmp_pd(tr::Abs(tg), _mm256_set1_pd(0x1p-1000), _CMP_LT_OQ),
                                         _mm256_cmp_pd(g, zero, _CMP_NEQ_UQ))) == 0;
    __m256d difference;
    BaseValues& y = work.clamped[i];
    if (tgExact && tr::Difference(_mm256_load_pd(x.b), tg, difference)) {
      // Negative components become 0.0 (a -0.0 stays, as it is not below 0).
      _mm256_store_pd(y.b, _mm256_blendv_pd(difference, zero, _mm256_cmp_pd(difference, zero, _CMP_LT_OQ)));
    } else {
      ClampStep(x, work.gradient[i], step, y);
    }
  }
  // The lengths, four vertices at a time, one per lane (the padding vertices
  // hold zeros).
  const int padded = static_cast<int>(work.clamped.size());
  for (int i = 0; i < padded; i += 4) {
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
      if ((vouched & (1 << j)) == 0) work.clampedNorm[i + j] = EuclideanLength(work.clamped[i + j]);
  }
  for (int i = 0; i < internal; ++i) {
    const double norm = work.clampedNorm[i];
    __m256d quotient;
    if (norm >= 0x1p-1000 && norm <= 0x1p1000 &&
        tr::Quotient(_mm256_load_pd(work.clamped[i].b), _mm256_set1_pd(norm), quotient))
      _mm256_store_pd(trial[i].b, quotient);
    else
      ScaleToUnit(work.x[i], work.clamped[i], norm, trial[i]);
  }
  RedoWideVertices(work, step, trial);
}

// The trial points of one batch, at the given steps, into the given buffers.
template <Coordinates C>
void TrialPoints(FastWork& work, int count, const double* steps, const int* buffers) {
  for (int k = 0; k < count; ++k) {
    VertexTable& trial = work.trial[buffers[k]];
    if constexpr (C == Coordinates::kSimplex)
      SimplexTrialValues(work, steps[k], trial);
    else
      work.routines->sqrtTrialValues(work, steps[k], trial);
  }
}

template void TrialPoints<Coordinates::kSimplex>(FastWork&, int, const double*, const int*);
template void TrialPoints<Coordinates::kSqrt>(FastWork&, int, const double*, const int*);

}  // namespace dorvu
