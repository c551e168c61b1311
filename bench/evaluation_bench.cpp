// One scenario evaluation (pass 1, pass 2 and scoring), the plain reference
// against the fast kernel, on smooth leaves, on pure-base leaves and on the
// shipped example's leaves (as read, without noise).
#include <benchmark/benchmark.h>

#include <memory>
#include <random>
#include <string>
#include <vector>

#include "input/input_reader.h"
#include "run/driver.h"
#include "search/evaluate/evaluator.h"

namespace dorvu {
namespace {

enum class Leaves { Smooth, PureBase, Example };

std::unique_ptr<Tree> LeavesOf(Leaves leaves) {
  auto tree = std::make_unique<Tree>();
  LayOutTree(*tree);
  if (leaves == Leaves::Example) {
    RunLog log{"/dev/null"};
    ReadRunInput(std::string(DORVU_EXAMPLES) + "/input.txt", log, *tree);
  } else {
    std::mt19937 gen(31);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    for (int k = 1; k <= kLeafCount; ++k) {
      BaseValues& v = tree->treeSequence[tree->leafSlots[k]].value;
      if (leaves == Leaves::PureBase) {
        const uint32_t base = gen() % 4;
        v = {base == 0 ? 1.0 : 0.0, base == 1 ? 1.0 : 0.0, base == 2 ? 1.0 : 0.0, base == 3 ? 1.0 : 0.0};
      } else {
        const double a = unit(gen) + 0.1, c = unit(gen) + 0.1, g = unit(gen) + 0.1, t = unit(gen) + 0.1;
        v = {a / (a + c + g + t), c / (a + c + g + t), g / (a + c + g + t), t / (a + c + g + t)};
      }
    }
  }
  DeriveLinks(*tree);
  return tree;
}

// Sixteen scenarios like those of a search: the root and 0 to 6 more marks.
std::vector<ScenarioKey> Scenarios(const Tree& tree) {
  std::mt19937 gen(57);
  std::vector<ScenarioKey> scenarios(16);
  for (ScenarioKey& key : scenarios) {
    MarkTable mark = RootMarks(tree);
    for (uint32_t n = gen() % 7; n > 0; --n) {
      int slot = 0;
      while (slot == 0 || tree.treeSequence[slot].kind == SlotKind::kClose) slot = static_cast<int>(gen() % kSlotCount);
      mark[slot] = 1;
    }
    key = KeyOfMarks(mark);
  }
  return scenarios;
}

void SetRate(benchmark::State& state) {
  state.counters["evaluations"] =
      benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

// One evaluation of a scenario, as the walk asks for it.
void BM_Evaluation(benchmark::State& state, Leaves leaves, EvaluatorKind kind) {
  const auto tree = LeavesOf(leaves);
  const auto scenarios = Scenarios(*tree);
  const RunParameters params;
  const auto evaluator = MakeEvaluator(kind, params, *tree, 1);
  std::size_t n = 0;
  for (auto _ : state) {
    const ScenarioOutcome outcome = evaluator->Evaluate(scenarios[n++ % scenarios.size()], WalkPath{});
    benchmark::DoNotOptimize(outcome.penalty);
  }
  SetRate(state);
}

void BM_PlainEvaluation(benchmark::State& state, Leaves leaves) { BM_Evaluation(state, leaves, EvaluatorKind::kPlain); }
void BM_FastEvaluation(benchmark::State& state, Leaves leaves) { BM_Evaluation(state, leaves, EvaluatorKind::kFast); }

BENCHMARK_CAPTURE(BM_PlainEvaluation, smooth, Leaves::Smooth)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_FastEvaluation, smooth, Leaves::Smooth)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_PlainEvaluation, pure_base, Leaves::PureBase)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_FastEvaluation, pure_base, Leaves::PureBase)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_PlainEvaluation, example, Leaves::Example)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_FastEvaluation, example, Leaves::Example)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace dorvu
