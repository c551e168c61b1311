// A heavy whole run, which takes minutes: by default the shipped pure-base
// input of cardinality 12 with noise 0 on 2 threads. Prints the run's time,
// the scenarios the walk reached and the distinct sets it evaluated, then
// measures the plain one-thread evaluation on sets of the same leaves and
// what the plain path would take for the same walk (its rate times the
// scenarios reached).
//
//   dorvu_heavy_bench [INPUT [THREADS [SECONDS_OF_PLAIN_EVALUATION]]]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "input/input_reader.h"
#include "run/driver.h"
#include "search/evaluate/evaluator.h"

namespace {

using namespace dorvu;
using Clock = std::chrono::steady_clock;

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

// Sets of the root and 1 to `marks` further vertices, as a deep walk meets them.
std::vector<ScenarioKey> Scenarios(const Tree& tree, int32_t marks) {
  std::mt19937 gen(91);
  std::vector<ScenarioKey> scenarios(64);
  for (ScenarioKey& key : scenarios) {
    MarkTable mark = RootMarks(tree);
    for (int32_t n = 1 + static_cast<int32_t>(gen() % static_cast<uint32_t>(marks)); n > 0; --n) {
      int slot = 0;
      while (slot == 0 || tree.treeSequence[slot].kind == SlotKind::kClose) slot = static_cast<int>(gen() % kSlotCount);
      mark[slot] = 1;
    }
    key = KeyOfMarks(mark);
  }
  return scenarios;
}

// Plain evaluations per second on sets of the input's leaves.
double PlainRate(const std::string& input, double seconds) {
  auto tree = std::make_unique<Tree>();
  LayOutTree(*tree);
  const InputParameters read = ReadRunInput(input, RunLog{"/dev/null"}, *tree).parameters;
  DeriveLinks(*tree);
  RunParameters params;
  params.cardinality = read.cardinality;
  const auto scenarios = Scenarios(*tree, std::clamp(read.cardinality, 1, kMaxCardinality));
  const auto evaluator = MakeEvaluator(EvaluatorKind::kPlain, params, *tree, 1);
  const auto start = Clock::now();
  int64_t done = 0;
  while (Seconds(Clock::now() - start) < seconds) evaluator->Evaluate(scenarios[done++ % scenarios.size()], WalkPath{});
  return static_cast<double>(done) / Seconds(Clock::now() - start);
}

}  // namespace

int main(int argc, char** argv) {
  const std::string input = argc > 1 ? argv[1] : std::string(DORVU_BENCH_INPUTS) + "/heavy-c12-pure.txt";
  const int32_t threads = argc > 2 ? std::atoi(argv[2]) : 2;
  const double plainSeconds = argc > 3 ? std::atof(argv[3]) : 20.0;

  RunSetup setup;
  setup.inputPath = input;
  setup.logPath = (std::filesystem::temp_directory_path() / "dorvu-heavy-bench.log").string();
  setup.settings.seed = 1;
  setup.settings.threads = threads;
  const auto start = Clock::now();
  const RunSummary summary = RunDorvu(setup);
  const double runSeconds = Seconds(Clock::now() - start);
  const auto logBytes = std::filesystem::file_size(setup.logPath);
  std::filesystem::remove(setup.logPath);

  const double rate = PlainRate(input, plainSeconds);
  const double plainEstimate = static_cast<double>(summary.visited) / rate;
  std::printf("input            %s\n", input.c_str());
  std::printf("whole run        %.1f s on %d threads (log %.1f MB)\n", runSeconds, threads, logBytes / 1e6);
  std::printf("scenarios        %lld reached, %lld distinct sets evaluated\n", static_cast<long long>(summary.visited),
              static_cast<long long>(summary.evaluated));
  std::printf("plain path       %.0f evaluations/s on one thread: %.0f s (%.1f h) for the same walk\n", rate,
              plainEstimate, plainEstimate / 3600);
  std::printf("speed-up         %.0fx\n", plainEstimate / runSeconds);
  return 0;
}
