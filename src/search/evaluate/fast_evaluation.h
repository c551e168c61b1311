// A faster evaluation of one scenario: pass 1, pass 2 and the scoring, giving
// bit for bit what EstimateScenario and ScoreScenario give. Every stored value
// is the one the plain passes store, and every decision (accept, stall, stop)
// is the one they take; what differs is how the work is laid out and how much
// of it is needed to know the outcome:
// - the vertices live in flat arrays numbered in close-slot order, and the
//   scenario's uncut edges and gradient terms are listed once from its marks
//   instead of being tested slot by slot;
// - the trial sweeps of one step search are formed in batches of up to four
//   and then taken in order of step with the plain acceptance and stall
//   bookkeeping; trials after the accepted one are dropped;
// - a decision needs only to know on which side of a threshold an energy or
//   the gradient's norm lies. The kernel estimates them in double arithmetic,
//   with a bound on the distance to the exact value (a sum of extended
//   additions rounded once per edge); only where the estimate comes too close
//   to call is the exact chain formed, together with the others needed then;
// - where the processor has AVX2 and FMA, pass 2's trial values are formed
//   in double arithmetic on four lanes and kept only where they provably
//   equal the extended-precision result (twice_rounded.h); the rest, and
//   everything on other processors, is formed in extended precision;
// - of the exchange sort of the distance table only the passes that settle
//   the entries the candidate row reads are run, on separate arrays, skipping
//   four entries at a time where none exchanges.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "search/run_parameters.h"
#include "search/scoring.h"
#include "tree/tree.h"

namespace dorvu {

inline constexpr int kMaxBatchTrials = 4;                  // trial sweeps formed together
inline constexpr int kTrialBuffers = kMaxBatchTrials + 1;  // a batch's trial points and the one before

using VertexTable = std::vector<BaseValues>;  // one entry per vertex

// The tree and the leaves of one run, in flat arrays. Internal vertices are
// numbered 0 to internalCount - 1 in the order of their close slots (children
// before parents, the root last), leaves from internalCount on in slot order.
struct FastTree {
  int32_t internalCount = 0;
  int32_t vertexCount = 0;
  int32_t slotCount = 0;
  std::vector<int32_t> slotOf;        // vertex slot of each vertex
  std::vector<int32_t> vertexOfSlot;  // vertex of each vertex slot
  std::vector<int32_t> parentOf;      // parent vertex; -1 at the root
  std::vector<int32_t> childBegin;    // children of internal vertex i: childList[childBegin[i]] to [childBegin[i+1]-1]
  std::vector<int32_t> childList;     // child vertices in written order
  std::vector<int32_t> openOrder;     // internal vertices in open-slot order
  VertexTable leafStart;              // at leaves: the leaf values pass 1 starts from
  VertexTable leafSqrt;               // at leaves: their square roots, as pass 2's square-root step takes them
  double stepFactor = 0.5;
  double pass1Tolerance = 0.0;
  double pass2Tolerance = 0.0;
  int32_t stallLimit = 0;
  double energySlackFactor = 0.0;  // EstimateSlack's relative bound, grown with the edges
  double normSlackFactor = 0.0;    // NormAbove's relative bound, grown with the internal vertices
};

struct FastWork;

// The two steps of the kernel that have a form with the vector units (AVX2
// and FMA) beside their plain form; both forms give the same bits. An
// evaluator's working storage picks one set when it is made, and the kernel
// never asks again.
struct KernelRoutines {
  // Pass 2's trial value of every internal vertex at one step.
  void (*sqrtTrialValues)(FastWork& work, double step, VertexTable& trial);
  // Energy estimates of `count` points (at most kMaxBatchTrials + 2).
  void (*energyEstimates)(const FastWork& work, int count, const VertexTable* const* points, double* energies);
};

extern const KernelRoutines kPlainRoutines;
extern const KernelRoutines kVectorRoutines;

// Whether the processor has the vector units and long double arithmetic is
// the 80-bit format that the vector forms stand in for.
bool VectorUnitsAvailable();

// The vector routines where they are available, the plain ones elsewhere.
const KernelRoutines& ChooseKernelRoutines();

// The working storage of one evaluation; one per thread, sized by
// PrepareFastWork.
struct FastWork {
  int32_t internalCount = 0;
  int32_t vertexCount = 0;
  double energySlackFactor = 0.0;  // as the tree's
  // The scenario's uncut edges, listed once from the marks.
  std::vector<int32_t> edgeBegin;   // edges below vertex i: edgeBegin[i] to edgeBegin[i+1]
  std::vector<int32_t> edgeChild;   // child vertex of each uncut edge, in close order
  std::vector<int32_t> termBegin;   // gradient terms of vertex i: termBegin[i] to termBegin[i+1]
  std::vector<int32_t> termVertex;  // neighbour of each term: parent, then the children in written order
  std::vector<int32_t> wide;        // internal vertices of more than three uncut edges, whose step is cut
  std::vector<uint8_t> marked;      // 0 when the vertex's mark is 0, else 1
  // The estimate.
  VertexTable x;                                 // current values
  VertexTable gradient;                          // energy gradient at internal vertices
  std::vector<double> firstSumV;                 // pass 1: rounded sum of a vertex's values
  std::vector<double> firstSumG;                 // pass 1: rounded sum of its gradient
  std::array<VertexTable, kTrialBuffers> trial;  // trial points, a ring of buffers; leaves hold the leaves
  VertexTable clamped;              // pass 2: each vertex's step clamped at zero; zero padding to a multiple of 4
  std::vector<double> clampedNorm;  // pass 2: its Euclidean length
  // The scoring.
  std::vector<double> distance;    // distance table: squared distance of each entry, padded with -infinity
  std::vector<int32_t> entrySlot;  // distance table: slot of each entry
  double energy = 0.0;             // exact energy of the current values, when known
  bool energyKnown = true;         // false while only its estimate is known
  double energyEstimate = 0.0;     // estimate of that energy (the exact one when known)
  double energySlack = 0.0;        // bound on the estimate's distance from the exact energy
  const KernelRoutines* routines = &ChooseKernelRoutines();  // plain or vector forms, chosen once
  int32_t lastTrialCount = 1;                                // trials the latest step search took; sizes the next batch
};

// Lays out the flat tree and takes the leaf values (and their square roots)
// from a tree whose links are derived.
void PrepareFastTree(const RunParameters& params, const Tree& tree, FastTree& fast);

// Sizes the working storage for the tree.
void PrepareFastWork(const FastTree& fast, FastWork& work);

// Pass 1 and pass 2 for the marks; leaves the values in `work.x`.
void FastEstimateScenario(const FastTree& fast, const MarkTable& mark, FastWork& work);

// The scoring of the values left by FastEstimateScenario: the penalty as
// ScoreScenario gives it, and the first `limit` unmarked vertices of the
// table that its exchange sort gives.
ScenarioOutcome FastScoreScenario(const FastTree& fast, FastWork& work, int32_t limit);

// Both of the above.
ScenarioOutcome FastEvaluateScenario(const FastTree& fast, const MarkTable& mark, FastWork& work, int32_t limit);

// The values of `work.x` by slot, as EstimateScenario leaves them (close
// slots untouched).
void CopyValuesBySlot(const FastTree& fast, const FastWork& work, ValueTable& values);

// Sorts the entries from 1 on into the order SortDistanceTable gives them.
void FastSortDistanceTable(DistanceEntries& table);

}  // namespace dorvu
