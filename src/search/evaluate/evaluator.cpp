// The plain and the fast evaluator, and the choice between the evaluators.
#include "search/evaluate/evaluator.h"

#include <algorithm>
#include <memory>
#include <vector>

#include "search/estimation.h"
#include "search/evaluate/fast_evaluation.h"
#include "search/evaluate/outcome_cache.h"
#include "search/evaluate/speculative_evaluator.h"

namespace dorvu {

namespace {

class PlainEvaluator final : public Evaluator {
 public:
  PlainEvaluator(const RunParameters& params, const Tree& tree) : params_(params), tree_(tree) {}

  ScenarioOutcome Evaluate(const ScenarioKey& marks, const WalkPath&) override {
    const MarkTable mark = MarksOfKey(marks, tree_.slotCount);
    EstimateScenario(params_, tree_, mark, *pass_);
    ScoreScenario(tree_, mark, pass_->value, *score_);
    return OutcomeOf(*score_, mark, CandidateLimit(marks));
  }

  void Values(const ScenarioKey& marks, ValueTable& values) override {
    EstimateScenario(params_, tree_, MarksOfKey(marks, tree_.slotCount), *pass_);
    values.resize(tree_.slotCount);
    for (int s = 0; s < tree_.slotCount; ++s)
      if (tree_.treeSequence[s].kind != SlotKind::kClose) values[s] = pass_->value[s];
  }

 private:
  const RunParameters params_;
  const Tree& tree_;
  std::unique_ptr<PassState> pass_ = std::make_unique<PassState>();
  std::unique_ptr<ScenarioScore> score_ = std::make_unique<ScenarioScore>();
};

class FastEvaluator final : public Evaluator {
 public:
  FastEvaluator(const RunParameters& params, const Tree& tree) {
    PrepareFastTree(params, tree, *fast_);
    PrepareFastWork(*fast_, *work_);
    mark_.assign(tree.slotCount, 0);
  }

  ScenarioOutcome Evaluate(const ScenarioKey& marks, const WalkPath&) override {
    SetMarks(marks);
    return FastEvaluateScenario(*fast_, mark_, *work_, CandidateLimit(marks));
  }

  void Values(const ScenarioKey& marks, ValueTable& values) override {
    SetMarks(marks);
    FastEstimateScenario(*fast_, mark_, *work_);
    CopyValuesBySlot(*fast_, *work_, values);
  }

 private:
  // The marks of the key, in the evaluator's table (cleared of the last ones).
  void SetMarks(const ScenarioKey& marks) {
    for (int p = 0; p < last_.count; ++p) mark_[last_.slot[p]] = 0;
    for (int p = 0; p < marks.count; ++p) mark_[marks.slot[p]] = 1;
    last_ = marks;
  }

  std::unique_ptr<FastTree> fast_ = std::make_unique<FastTree>();
  std::unique_ptr<FastWork> work_ = std::make_unique<FastWork>();
  MarkTable mark_;    // the marks of the latest key
  ScenarioKey last_;  // that key
};

}  // namespace

EvaluatorKind ChooseEvaluator(int32_t threads) {
  return threads > 1 ? EvaluatorKind::kSpeculative : EvaluatorKind::kFast;
}

std::unique_ptr<Evaluator> MakeEvaluator(EvaluatorKind kind, const RunParameters& params, const Tree& tree,
                                         int32_t threads, OutcomeCache* cache) {
  std::unique_ptr<Evaluator> evaluator;
  if (kind == EvaluatorKind::kPlain) {
    evaluator = std::make_unique<PlainEvaluator>(params, tree);
  } else if (kind == EvaluatorKind::kFast) {
    evaluator = std::make_unique<FastEvaluator>(params, tree);
  } else {
    // One fast evaluator per worker, and one for the walk's own thread.
    std::vector<std::unique_ptr<Evaluator>> evaluators;
    for (int32_t t = 0; t <= threads; ++t) evaluators.push_back(std::make_unique<FastEvaluator>(params, tree));
    evaluator = MakeSpeculativeEvaluator(params, std::move(evaluators), cache);
  }
  return cache ? MakeCachingEvaluator(std::move(evaluator), *cache) : std::move(evaluator);
}

}  // namespace dorvu
