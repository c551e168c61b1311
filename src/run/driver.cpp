#include "run/driver.h"

#include <sched.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <random>
#include <thread>

#include "input/input_check.h"
#include "input/input_reader.h"
#include "input/leaf_noise.h"
#include "log/io_error.h"
#include "log/log_lines.h"
#include "log/number_format.h"
#include "log/run_lock.h"
#include "log/run_log.h"
#include "report/report.h"
#include "run/command_line.h"
#include "run/interrupt.h"
#include "run/progress_display.h"
#include "search/evaluate/outcome_cache.h"
#include "search/run_parameters.h"
#include "search/walk.h"
#include "tree/tree.h"

namespace dorvu {

namespace {

// Echoes the parameters as read and fixes the run's parameters from them.
RunParameters TakeParameters(const InputParameters& read, const RunLog& log) {
  WriteLogLine(log, std::string(log_lines::kCardinalityPrefix) + FormatInteger(read.cardinality));
  WriteLogLine(log, std::string(log_lines::kNoisePrefix) + FormatReal(read.noiseLevel));
  RunParameters params;
  params.cardinality = read.cardinality;
  if (params.cardinality > kMaxCardinality) {
    params.cardinality = kMaxCardinality;
    WriteLogLine(log, std::string(log_lines::kCardinalityLimitPrefix) + FormatInteger(kMaxCardinality));
  }
  params.noiseLevelRead = read.noiseLevel;
  params.noiseLevel = NoiseInForce(params.noiseLevelRead);
  return params;
}

uint32_t ClockSeed() { return static_cast<uint32_t>(std::chrono::system_clock::now().time_since_epoch().count()); }

}  // namespace

std::optional<uint32_t> ParseSeed(const std::string& text) {
  if (text.empty() || text.size() > 10) return std::nullopt;
  uint64_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + static_cast<uint64_t>(c - '0');
  }
  if (value > UINT32_MAX) return std::nullopt;
  return static_cast<uint32_t>(value);
}

std::optional<int32_t> ParseThreadCount(const std::string& text) {
  if (text.empty()) return std::nullopt;
  int32_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
    if (value > kMaxThreads) return std::nullopt;
  }
  if (value < 1) return std::nullopt;
  return value;
}

std::optional<std::size_t> ParseCacheBytes(const std::string& text) {
  if (text.empty()) return std::nullopt;
  std::size_t megabytes = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    megabytes = megabytes * 10 + static_cast<std::size_t>(c - '0');
    if (megabytes > kMaxCacheMegabytes) return std::nullopt;
  }
  return megabytes << 20;
}

std::size_t CacheTableLimit(std::size_t boundBytes) { return boundBytes / 3 * 2; }

int32_t SearchThreads(int32_t requested) {
  if (requested > 0) return requested;
  // The hardware threads this process may run on (what `nproc` counts), so
  // that a run confined to a few processors does not crowd them.
  cpu_set_t allowed;
  if (sched_getaffinity(0, sizeof allowed, &allowed) == 0 && CPU_COUNT(&allowed) > 0)
    return std::min<int32_t>(CPU_COUNT(&allowed), kMaxThreads);
  return std::clamp<int32_t>(static_cast<int32_t>(std::thread::hardware_concurrency()), 1, kMaxThreads);
}

ParsedInput ReadRunInput(const std::string& path, const RunLog& log, Tree& tree) {
  ParsedInput input = ParseInput(path, kMaxCardinality, [&log](std::string_view line) { WriteLogLine(log, line); });
  PlaceLeaves(input, tree);
  return input;
}

RunSummary RunDorvu(const RunSetup& setup) {
  const RunLock lock(setup.logPath);
  const RunLog log{setup.logPath};
  CreateLog(log);
  auto tree = std::make_unique<Tree>();
  LayOutTree(*tree);
  const ParsedInput input = ReadRunInput(setup.inputPath, log, *tree);
  const RunParameters params = TakeParameters(input.parameters, log);
  // The likely mistakes, and the count of the problems the log holds.
  if (!setup.quiet) *setup.messages << RunWarnings(input.findings, setup.inputPath, setup.logPath) << std::flush;

  // The generator is seeded whatever the noise level, as every run always has been.
  const uint32_t seed = setup.seed ? *setup.seed : ClockSeed();
  std::mt19937 gen(seed);
  if (!setup.seed && params.noiseLevel > 0.0 && !setup.quiet) *setup.messages << SeedNotice(seed) << std::flush;
  if (params.noiseLevel > 0.0) PerturbLeaves(*tree, params.noiseLevel, gen);
  DeriveLinks(*tree);

  const int32_t threads = SearchThreads(setup.threads);
  const auto cache = setup.cacheBytes > 0 ? std::make_unique<OutcomeCache>(CacheTableLimit(setup.cacheBytes)) : nullptr;
  const auto evaluator =
      MakeEvaluator(setup.evaluator.value_or(ChooseEvaluator(threads)), params, *tree, threads, cache.get());
  WalkCounters counters;
  BestList bestList;
  {
    const ProgressDisplay display(counters, cache.get(), log.path);
    bestList = RunSearch(params, *evaluator, log, &counters, setup.stop);
  }
  if (setup.stop && setup.stop->load() != 0) throw RunInterrupted{setup.stop->load()};
  WriteReport(bestList, *tree, *evaluator, log);
  return RunSummary{counters.visited.load(), cache ? cache->Size() : 0};
}

}  // namespace dorvu
