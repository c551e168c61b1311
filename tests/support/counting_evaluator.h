// An evaluator for the search tests that records what the walk asked of it.
#pragma once

#include <memory>
#include <set>
#include <utility>
#include <vector>

#include "search/evaluate/evaluator.h"
#include "search/scenario_memory.h"

namespace dorvu::test {

// Passes every request on, and keeps the scenarios the walk asked for, in
// order, and the sets it stored.
class CountingEvaluator final : public Evaluator {
 public:
  explicit CountingEvaluator(std::unique_ptr<Evaluator> inner) : inner_(std::move(inner)) {}
  ScenarioOutcome Evaluate(const ScenarioKey& marks, const WalkPath& path) override {
    evaluated.push_back(marks);
    return inner_->Evaluate(marks, path);
  }
  void Remembered(const ScenarioKey& marks) override {
    remembered.insert(marks);
    inner_->Remembered(marks);
  }
  void Values(const ScenarioKey& marks, ValueTable& values) override { inner_->Values(marks, values); }
  std::vector<ScenarioKey> evaluated;
  std::set<ScenarioKey> remembered;

 private:
  std::unique_ptr<Evaluator> inner_;
};

}  // namespace dorvu::test
