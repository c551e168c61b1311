// Whole runs of `dorvu --tree` on trees made here from fixed seeds: a Yule
// tree (split a random tip until there are N) and a caterpillar
// ((((t1,t2),t3),t4)...), with leaves near the uniform composition and three
// clades shifted away from it. Each run goes in a child process of its own,
// so that its peak memory (the child's ru_maxrss) is its own.
//
//   BM_Yule2000Routes: 2,000 tips at cardinality 4, noise 0.1: the plain
//   search on one thread, the fast one on one thread and the default route
//   (speculative, with the outcome cache) on two, one after the other in every
//   iteration; their times (wall and processor), peaks and the ratios of the
//   wall times, and a check that the three logs are the same.
//   BM_LargeTree/SHAPE/TIPS: the default route on two threads at cardinality
//   1; its time, peak, and bytes per tip above what the child inherits.
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <random>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "run/driver.h"

namespace dorvu {
namespace {

using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

enum class Shape { kYule, kCaterpillar };

constexpr uint32_t kSeed = 7;
constexpr double kNoise = 0.1;
constexpr std::array<std::array<double, 4>, 3> kShifts = {
    {{0.15, -0.05, -0.05, -0.05}, {-0.05, 0.15, -0.05, -0.05}, {-0.05, -0.05, -0.05, 0.15}}};

// A binary tree, vertex 0 the root; {-1, -1} at the tips.
using Children = std::vector<std::array<int32_t, 2>>;

Children YuleTree(int32_t tips, std::mt19937& gen) {
  Children children{{-1, -1}};
  std::vector<int32_t> open{0};  // the tips so far
  while (static_cast<int32_t>(open.size()) < tips) {
    const std::size_t pick = gen() % open.size();
    const auto first = static_cast<int32_t>(children.size());
    children[open[pick]] = {first, first + 1};
    children.insert(children.end(), 2, {-1, -1});
    open[pick] = first;
    open.push_back(first + 1);
  }
  return children;
}

Children CaterpillarTree(int32_t tips) {
  Children children{{-1, -1}};
  for (int32_t spine = 0, left = tips; left >= 2; --left) {
    const auto first = static_cast<int32_t>(children.size());
    children[spine] = {first, first + 1};  // the rest of the spine (or t1), then the tip t<left>
    children.insert(children.end(), 2, {-1, -1});
    spine = first;
  }
  return children;
}

// Writes the Newick text without recursion, naming the tips t1..tN from the
// left; `clades` receives the tip range of every internal vertex but the root.
std::string NewickOf(const Children& children, std::vector<std::pair<int32_t, int32_t>>& clades) {
  std::string text;
  int32_t tipsSeen = 0;
  std::vector<std::pair<int32_t, int32_t>> stack{{0, 0}};  // vertex, first tip of its clade
  std::vector<int32_t> next{0};                            // the child to write next
  while (!stack.empty()) {
    const int32_t v = stack.back().first;
    if (children[v][0] < 0) {
      text += 't';
      text += std::to_string(++tipsSeen);
    } else if (next.back() < 2) {
      text += next.back() == 0 ? "(" : ",";
      const int32_t child = children[v][next.back()++];
      stack.emplace_back(child, tipsSeen + 1);
      next.push_back(0);
      continue;
    } else {
      text += ")";
      if (v != 0) clades.emplace_back(stack.back().second, tipsSeen);
    }
    stack.pop_back();
    next.pop_back();
  }
  return text + ";\n";
}

// The scratch directory of this process, removed when it ends unless
// DORVU_BENCH_KEEP is set (to run dorvu, or perf, on its files; the children
// leave with _exit and remove nothing).
const fs::path& ScratchDir() {
  static const struct Scratch {
    fs::path path = fs::temp_directory_path() / ("dorvu-tree-bench-" + std::to_string(getpid()));
    Scratch() { fs::create_directories(path); }
    ~Scratch() {
      if (!std::getenv("DORVU_BENCH_KEEP")) fs::remove_all(path);
    }
  } kScratch;
  return kScratch.path;
}

struct TreeCase {
  std::string treePath, inputPath;
  int32_t tips = 0;
};

// Writes the tree and its input into the scratch directory, once per case.
TreeCase MakeCase(Shape shape, int32_t tips, int32_t cardinality) {
  const fs::path& dir = ScratchDir();
  const std::string name = (shape == Shape::kYule ? "yule-" : "caterpillar-") + std::to_string(tips);
  std::mt19937 gen(kSeed + static_cast<uint32_t>(tips));
  const Children children = shape == Shape::kYule ? YuleTree(tips, gen) : CaterpillarTree(tips);
  std::vector<std::pair<int32_t, int32_t>> clades;
  std::ofstream(dir / (name + ".nwk")) << NewickOf(children, clades);

  // Three clades of 1/40 to 1/6 of the tips, each shifted (by a difference array).
  std::vector<std::array<double, 4>> shift(tips + 2, {0, 0, 0, 0});
  std::erase_if(clades,
                [tips](auto c) { return c.second - c.first + 1 < tips / 40 || c.second - c.first >= tips / 6; });
  for (std::size_t s = 0; s < kShifts.size() && !clades.empty(); ++s) {
    const auto [first, last] = clades[gen() % clades.size()];
    for (int b = 0; b < 4; ++b) shift[first][b] += kShifts[s][b], shift[last + 1][b] -= kShifts[s][b];
  }
  std::string input = "presupposed cardinality of scenario=" + std::to_string(cardinality) +
                      "\nlevel of randomness=" + std::to_string(kNoise) + "\n";
  std::array<double, 4> level{0, 0, 0, 0};
  char line[128];
  for (int32_t k = 1; k <= tips; ++k) {
    std::array<double, 4> v;
    double sum = 0;
    for (int b = 0; b < 4; ++b) {
      level[b] += shift[k][b];
      v[b] = std::max(0.01, 0.25 + level[b] + (static_cast<double>(gen() % 2001) - 1000) * 1e-5);
      sum += v[b];
    }
    std::snprintf(line, sizeof line, "t%d A:%.4f C:%.4f G:%.4f T:%.4f\n", k, v[0] / sum, v[1] / sum, v[2] / sum,
                  v[3] / sum);
    input += line;
  }
  const std::string inputName = name + "-c" + std::to_string(cardinality) + ".txt";
  std::ofstream(dir / inputName) << input;
  return {(dir / (name + ".nwk")).string(), (dir / inputName).string(), tips};
}

struct ChildRun {
  double seconds = 0;
  double cpuSeconds = 0;  // the child's user and system time
  int64_t peakBytes = 0;  // the child's ru_maxrss
  bool ok = false;
};

// One whole run in a child process; with no setup, a child that only exits
// (its peak is what a child inherits).
ChildRun RunInChild(const RunSetup* setup) {
  const auto start = Clock::now();
  const pid_t pid = fork();
  if (pid == 0) {
    int code = 0;
    try {
      if (setup) RunDorvu(*setup);
    } catch (...) {
      code = 1;
    }
    _exit(code);
  }
  int status = 0;
  rusage usage{};
  if (pid < 0 || wait4(pid, &status, 0, &usage) != pid) return {};
  const auto cpu = [](timeval t) { return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) * 1e-6; };
  return {std::chrono::duration<double>(Clock::now() - start).count(), cpu(usage.ru_utime) + cpu(usage.ru_stime),
          usage.ru_maxrss * int64_t{1024}, WIFEXITED(status) && WEXITSTATUS(status) == 0};
}

RunSetup SetupOf(const TreeCase& c, const std::string& log, int32_t threads) {
  RunSetup setup;
  setup.treePath = c.treePath;
  setup.inputPath = c.inputPath;
  setup.logPath = log;
  setup.settings.seed = 1;
  setup.settings.threads = threads;
  setup.quiet = true;
  return setup;
}

std::string FileText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// The routes of BM_Yule2000Routes, in the order each iteration runs them.
struct Route {
  const char* name;
  std::optional<EvaluatorKind> evaluator;
  int32_t threads;
};
constexpr std::array<Route, 3> kRoutes = {
    {{"plain", EvaluatorKind::kPlain, 1}, {"fast", EvaluatorKind::kFast, 1}, {"default", std::nullopt, 2}}};

void BM_Yule2000Routes(benchmark::State& state) {
  static const TreeCase kCase = MakeCase(Shape::kYule, 2000, 4);
  std::array<RunSetup, kRoutes.size()> setups;
  std::array<ChildRun, kRoutes.size()> sums{};  // seconds and cpuSeconds summed, peakBytes the largest
  for (std::size_t r = 0; r < kRoutes.size(); ++r) {
    setups[r] = SetupOf(kCase, (ScratchDir() / (std::string(kRoutes[r].name) + ".log")).string(), kRoutes[r].threads);
    setups[r].evaluator = kRoutes[r].evaluator;
  }
  for (auto _ : state) {
    for (std::size_t r = 0; r < kRoutes.size(); ++r) {
      const ChildRun run = RunInChild(&setups[r]);
      if (!run.ok) return state.SkipWithError("a run failed");
      sums[r].seconds += run.seconds, sums[r].cpuSeconds += run.cpuSeconds;
      sums[r].peakBytes = std::max(sums[r].peakBytes, run.peakBytes);
    }
  }
  for (std::size_t r = 1; r < kRoutes.size(); ++r)
    if (FileText(setups[r].logPath) != FileText(setups[0].logPath)) return state.SkipWithError("the logs differ");
  for (std::size_t r = 0; r < kRoutes.size(); ++r) {
    const std::string name = kRoutes[r].name;
    state.counters[name + "_s"] = sums[r].seconds / static_cast<double>(state.iterations());
    state.counters[name + "_cpu_s"] = sums[r].cpuSeconds / static_cast<double>(state.iterations());
    state.counters[name + "_peak"] = benchmark::Counter(static_cast<double>(sums[r].peakBytes),
                                                        benchmark::Counter::kDefaults, benchmark::Counter::kIs1024);
  }
  state.counters["plain_over_fast"] = sums[0].seconds / sums[1].seconds;
  state.counters["plain_over_default"] = sums[0].seconds / sums[2].seconds;
}

void BM_LargeTree(benchmark::State& state, Shape shape) {
  const TreeCase c = MakeCase(shape, static_cast<int32_t>(state.range(0)), 1);
  const RunSetup setup = SetupOf(c, (ScratchDir() / "large.log").string(), 2);
  const int64_t inherited = RunInChild(nullptr).peakBytes;
  int64_t peak = 0;
  double cpuSeconds = 0;
  for (auto _ : state) {
    const ChildRun run = RunInChild(&setup);
    if (!run.ok) return state.SkipWithError("the run failed");
    state.SetIterationTime(run.seconds);
    cpuSeconds += run.cpuSeconds;
    peak = std::max(peak, run.peakBytes);
  }
  state.counters["peak"] = benchmark::Counter(peak, benchmark::Counter::kDefaults, benchmark::Counter::kIs1024);
  state.counters["inherited"] =
      benchmark::Counter(inherited, benchmark::Counter::kDefaults, benchmark::Counter::kIs1024);
  state.counters["cpu_s"] = cpuSeconds / static_cast<double>(state.iterations());
  state.counters["bytes_per_tip"] = static_cast<double>(peak - inherited) / c.tips;
}

void LargeSizes(benchmark::internal::Benchmark* b) {
  b->Arg(25000)->Arg(50000)->Arg(100000)->Unit(benchmark::kSecond)->Iterations(1)->UseManualTime();
}

BENCHMARK(BM_Yule2000Routes)->Unit(benchmark::kSecond)->Iterations(1)->UseRealTime();
BENCHMARK_CAPTURE(BM_LargeTree, yule, Shape::kYule)->Apply(LargeSizes);
BENCHMARK_CAPTURE(BM_LargeTree, caterpillar, Shape::kCaterpillar)->Apply(LargeSizes);

}  // namespace
}  // namespace dorvu
