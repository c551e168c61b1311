// Evaluators: what the walk asks of a scenario, and the ways of answering.
//
// A scenario's outcome depends only on the leaves and its marks, so every
// evaluator gives the same answers bit for bit; they differ in how long an
// answer takes:
// - plain: the reference passes and scoring, written for reading;
// - fast: the flat-array kernel (fast_evaluation.h);
// - speculative: worker threads that evaluate, each with an evaluator of its
//   own, the scenarios the walk is about to reach.
#pragma once

#include <array>
#include <cstdint>
#include <memory>

#include "search/run_parameters.h"
#include "search/scenario_memory.h"
#include "search/scoring.h"
#include "search/walk_path.h"
#include "tree/tree.h"

namespace dorvu {

class Evaluator {
 public:
  virtual ~Evaluator() = default;

  // The penalty and the candidate row of the scenario with these marks.
  // `path` is where the walk reaches it: a hint for evaluators that work
  // ahead of the walk.
  virtual ScenarioOutcome Evaluate(const ScenarioKey& marks, const WalkPath& path) = 0;

  // The walk has stored these marks in its memory, and will skip them from
  // now on.
  virtual void Remembered(const ScenarioKey& /*marks*/) {}

  // The square-root vectors that pass 2 leaves at every vertex slot (close slots
  // untouched), for the report.
  virtual void Values(const ScenarioKey& marks, ValueTable& values) = 0;
};

enum class EvaluatorKind { kPlain, kFast, kSpeculative };

// The evaluator a run uses: speculative with more than one thread, fast
// otherwise.
EvaluatorKind ChooseEvaluator(int32_t threads);

class OutcomeCache;

// An evaluator of the given kind for a tree whose links and leaf values are
// in place; `threads` is the number of workers of a speculative one. With a
// cache, it answers repeated sets of marks from it, and a speculative one's
// workers pass over the sets it holds.
std::unique_ptr<Evaluator> MakeEvaluator(EvaluatorKind kind, const RunParameters& params, const Tree& tree,
                                         int32_t threads, OutcomeCache* cache = nullptr);

}  // namespace dorvu
