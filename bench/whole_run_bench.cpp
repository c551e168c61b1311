// Whole runs (input, search, report) of the shipped example and the shipped
// benchmark inputs: the plain search, then the fast search on one thread and
// on all hardware threads. Noisy inputs use a fixed seed, so that every run
// sees the same leaves; the logs are compared with the plain run's.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

#include "run/driver.h"

namespace dorvu {
namespace {

enum class Search { Plain, FastOneThread, FastAllThreads };

std::string FileText(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// The plain run's log of each input, to check the fast runs against.
std::map<std::string, std::string>& PlainLogs() {
  static std::map<std::string, std::string> logs;
  return logs;
}

void BM_WholeRun(benchmark::State& state, const std::string& input, Search search) {
  const std::filesystem::path log = std::filesystem::temp_directory_path() / "dorvu-bench.log";
  RunSetup setup;
  setup.inputPath = input;
  setup.logPath = log.string();
  setup.settings.seed = 1;
  if (search == Search::Plain) setup.evaluator = EvaluatorKind::kPlain;
  setup.quiet = true;
  setup.settings.threads = search == Search::FastOneThread ? 1 : 0;
  for (auto _ : state) RunDorvu(setup);
  state.counters["threads"] = search == Search::FastAllThreads ? SearchThreads(0) : 1;
  const std::string text = FileText(log);
  if (search == Search::Plain)
    PlainLogs()[input] = text;
  else if (PlainLogs().contains(input) && PlainLogs()[input] != text)
    state.SkipWithError("the log differs from the plain search's");
  std::filesystem::remove(log);
}

std::string BenchInput(const char* name) { return std::string(DORVU_BENCH_INPUTS) + "/" + name; }

#define DORVU_WHOLE_RUNS(name, path, iterations)                                        \
  BENCHMARK_CAPTURE(BM_WholeRun, name##_plain, path, Search::Plain)                     \
      ->Unit(benchmark::kMillisecond)                                                   \
      ->Iterations(iterations)                                                          \
      ->UseRealTime();                                                                  \
  BENCHMARK_CAPTURE(BM_WholeRun, name##_fast_1_thread, path, Search::FastOneThread)     \
      ->Unit(benchmark::kMillisecond)                                                   \
      ->Iterations(iterations)                                                          \
      ->UseRealTime();                                                                  \
  BENCHMARK_CAPTURE(BM_WholeRun, name##_fast_all_threads, path, Search::FastAllThreads) \
      ->Unit(benchmark::kMillisecond)                                                   \
      ->Iterations(iterations)                                                          \
      ->UseRealTime()

DORVU_WHOLE_RUNS(example, std::string(DORVU_EXAMPLES) + "/input.txt", 20);
DORVU_WHOLE_RUNS(c6_pure_base, BenchInput("bench-c6-pure.txt"), 3);
DORVU_WHOLE_RUNS(c8_noise, BenchInput("bench-c8-noise.txt"), 1);
DORVU_WHOLE_RUNS(c10_noise, BenchInput("bench-c10-noise.txt"), 1);

}  // namespace
}  // namespace dorvu
