// The kernel's descent: the step searches of both passes, deciding on
// energy estimates where they settle the comparisons.
#include "search/evaluate/fast_kernel.h"

namespace dorvu {

namespace {

// How many trials to form in the next batch. Step searches mostly take 3 or
// 4 trials, and a 3 is mostly followed by a 4 and a 4 by a 3; a search that
// outlasts its first batch is often near its end, and one that outlasts two
// is usually a long run towards a stall.
int BatchSize(int lastTrialCount, int batchesDone) {
  if (batchesDone == 0) return lastTrialCount == 4 ? 3 : 4;
  return batchesDone == 1 ? 2 : kMaxBatchTrials;
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
  bool IsExact() const { return slack == 0.0; }
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
  KnownEnergy current{work.energyKnown ? work.energy : work.energyEstimate, work.energyKnown ? 0.0 : work.energySlack};
  KnownEnergy prev;     // the exact 0 that the first trial is compared with
  int prevBuffer = -1;  // buffer of the previous trial's point
  double step = 2.0;
  int32_t stallCount = 0;
  int taken = 0;
  int nextBuffer = 0;
  bool exactFromHere = false;  // batches form exact energies straight away
  for (int batches = 0;; ++batches) {
    const int count = BatchSize(lastTrialCount, batches);
    double steps[kMaxBatchTrials];
    int buffers[kMaxBatchTrials];
    const VertexTable* points[kMaxBatchTrials + 2];
    for (int k = 0; k < count; ++k) {
      buffers[k] = nextBuffer;
      points[k] = &work.trial[nextBuffer];
      nextBuffer = (nextBuffer + 1) % kTrialBuffers;
    }
    NextSteps(fast, step, count, steps);
    TrialPoints<C>(work, count, steps, buffers);
    double energies[kMaxBatchTrials + 2];
    KnownEnergy trials[kMaxBatchTrials];
    if (exactFromHere) {
      EnergiesOf<Energies::kExact>(work, count, points, energies);
      for (int k = 0; k < count; ++k) trials[k] = {energies[k], 0.0};
    } else {
      EnergiesOf<Energies::kEstimate>(work, count, points, energies);
      for (int k = 0; k < count; ++k) trials[k] = {energies[k], EstimateSlack(work, energies[k])};
    }
    for (int k = 0; k < count; ++k) {
      ++taken;
      KnownEnergy& trial = trials[k];
      bool apart = std::fabs(trial.estimate - prev.estimate) > trial.slack + prev.slack;
      bool above = trial.estimate - trial.slack > current.estimate + current.slack;
      bool below = trial.estimate + trial.slack < current.estimate - current.slack;
      if (!apart || !(above || below)) {
        const VertexTable* chainPoints[kMaxBatchTrials + 2];
        KnownEnergy* targets[kMaxBatchTrials + 2];
        int chains = 0;
        const auto add = [&](const VertexTable* point, KnownEnergy* target) {
          if (target->IsExact()) return;
          chainPoints[chains] = point;
          targets[chains++] = target;
        };
        if (!apart && prevBuffer >= 0) add(&work.trial[prevBuffer], &prev);
        for (int j = k; j < count; ++j) add(points[j], &trials[j]);
        add(&work.x, &current);
        exactFromHere = true;
        double exact[kMaxBatchTrials + 2];
        if (chains > 0) EnergiesOf<Energies::kExact>(work, chains, chainPoints, exact);
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
        if (trial.IsExact()) {
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
  for (int i = 0; i < work.internalCount; ++i) {
    VertexGradient(work, work.x, i, work.gradient[i]);
    const BaseValues& g = work.gradient[i];
    for (int b = 0; b < 4; ++b) norms[b] += std::fabs(g.b[b]);
    if constexpr (C == Coordinates::kSimplex) {
      const BaseValues& v = work.x[i];
      work.firstSumV[i] = static_cast<double>(Extended(v.b[0]) + v.b[1] + v.b[2] + v.b[3]);
      work.firstSumG[i] = static_cast<double>(Extended(g.b[0]) + g.b[1] + g.b[2] + g.b[3]);
    }
  }
  normEstimate = (norms[0] + norms[1]) + (norms[2] + norms[3]);
  // Absolute values sum to 0 only when every one is 0 (they round to
  // nearest, and a sum of non-negative numbers is no smaller than each).
  return normEstimate != 0.0;
}

// gradient steps until the gradient's L1 norm falls to the tolerance,
// vanishes, or a step search stalls. The norm is measured at the start of
// each iteration, and the iteration in which it first falls to the
// tolerance still takes its step.
template <Coordinates C>
void Descend(const FastTree& fast, FastWork& work, double tolerance) {
  FillTrialLeaves(work);
  if (!(kStartGradNorm > tolerance)) return;
  for (;;) {
    double normEstimate = 0.0;
    if (!StartIteration<C>(work, normEstimate)) return;
    const bool more = NormAbove(fast, work, normEstimate, tolerance);
    if (StepSearch<C>(fast, work)) return;
    if (!more) return;
  }
}

}  // namespace

void FastEstimateScenario(const FastTree& fast, const MarkTable& mark, FastWork& work) {
  ListEdges(fast, mark, work);
  BuildStart(fast, work);
  EstimateEnergy(work);
  Descend<Coordinates::kSimplex>(fast, work, fast.pass1Tolerance);
  TakeSqrts(fast, work);
  EstimateEnergy(work);
  Descend<Coordinates::kSqrt>(fast, work, fast.pass2Tolerance);
}

}  // namespace dorvu
