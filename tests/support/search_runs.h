// Searches run directly for the tests of the walk, the evaluators and the
// report, each into a log of its own through a counting evaluator. Header only.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "log/run_log.h"
#include "search/evaluate/outcome_cache.h"
#include "search/walk.h"
#include "support/counting_evaluator.h"
#include "support/files.h"
#include "support/trees.h"

namespace dorvu::test {

// An empty run log in a scratch directory.
struct LogFile {
  ScratchDir dir;
  RunLog log{(dir / "dorvu.log").string()};
  LogFile() { CreateLog(log); }
  std::string Text() const { return LogLines(log.path); }
};

inline BaseValues Shifted(int k) {
  // Leaves 9-16 and 41-44 carry a different composition from the rest.
  if (k >= 9 && k <= 16) return {0.1, 0.4, 0.4, 0.1};
  if (k >= 41 && k <= 44) return {0.6, 0.1, 0.1, 0.2};
  return {0.3 + 0.001 * (k % 5), 0.2, 0.2, 0.3 - 0.001 * (k % 5)};
}

// A search run directly with one kind of evaluator, on stores of
// 2^storeExponent keys and without leaf noise; with an outcome cache of
// `cacheBytes` unless 0.
struct DirectSearch {
  LogFile file;
  RunParameters params;
  Tree tree;
  std::unique_ptr<OutcomeCache> cache;
  std::unique_ptr<CountingEvaluator> evaluator;
  BestList best;

  DirectSearch(int32_t storeExponent, int32_t cardinality, double noiseLevel,
               const std::function<BaseValues(int)>& leaf, EvaluatorKind kind, int32_t threads = 1,
               std::size_t cacheBytes = 0)
      : tree(MakeTree(leaf)) {
    if (cacheBytes > 0) cache = std::make_unique<OutcomeCache>(cacheBytes);
    params.mainMemoryCapacity = 1 << storeExponent;
    params.cardinality = cardinality;
    params.noiseLevel = noiseLevel;
    evaluator = std::make_unique<CountingEvaluator>(MakeEvaluator(kind, params, tree, threads, cache.get()));
  }
  void Run() { best = RunSearch(params, *evaluator, file.log); }
  std::string Log() const { return file.Text(); }
};

// The plain search on the shifted leaves, on stores of a run's 2^15 keys, run
// at construction.
struct SearchRun : DirectSearch {
  explicit SearchRun(int32_t cardinality, double noiseLevel = 0.0)
      : DirectSearch(15, cardinality, noiseLevel, Shifted, EvaluatorKind::kPlain) {
    Run();
  }
  std::size_t Evaluated() const { return evaluator->evaluated.size(); }
};

}  // namespace dorvu::test
