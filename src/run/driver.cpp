#include "run/driver.h"

#include <algorithm>
#include <chrono>
#include <memory>
#include <random>
#include <sched.h>
#include <thread>

#include "input/input_reader.h"
#include "input/leaf_noise.h"
#include "report/report.h"
#include "run/number_format.h"
#include "run/run_log.h"
#include "run/run_parameters.h"
#include "search/enumeration.h"
#include "search/parallel_search.h"
#include "tree/tree.h"

namespace dorvu {

namespace {

struct RunState {
  RunLog log;
  RunParameters params;
  Tree tree;
  SearchState search;
};

// The noise in force: the level read less the offset, not below 0; a small
// positive level keeps a small noise.
void AdjustNoiseLevel(RunParameters& params) {
  params.noiseLevelRead = params.noiseLevel;
  params.noiseLevel =
      std::max(static_cast<double>(static_cast<long double>(params.noiseLevelRead) - params.noiseOffset), 0.0);
  if (params.noiseLevel == 0.0 && params.noiseLevelRead > 0.0) params.noiseLevel = 0.005;
}

uint32_t ClockSeed() {
  return static_cast<uint32_t>(std::chrono::system_clock::now().time_since_epoch().count());
}

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
    if (value > MaxThreads) return std::nullopt;
  }
  if (value < 1) return std::nullopt;
  return value;
}

int32_t SearchThreads(int32_t requested) {
  if (requested > 0) return requested;
  // The hardware threads this process may run on (what `nproc` counts), so
  // that a run confined to a few processors does not crowd them.
  cpu_set_t allowed;
  if (sched_getaffinity(0, sizeof allowed, &allowed) == 0 && CPU_COUNT(&allowed) > 0)
    return std::min<int32_t>(CPU_COUNT(&allowed), MaxThreads);
  return std::clamp<int32_t>(static_cast<int32_t>(std::thread::hardware_concurrency()), 1, MaxThreads);
}

void RunDorvu(const RunSetup& setup) {
  auto state = std::make_unique<RunState>();
  RunState& run = *state;
  run.log.path = setup.logPath;
  CreateLog(run.log);
  PrepareSearch(run.search, run.params);
  LayOutTree(run.tree);

  ReadInput(setup.inputPath, run.log, run.params, run.tree);
  WriteLogLine(run.log, "presupposed cardinality of scenario=" + FormatInteger(run.params.cardinality));
  WriteLogLine(run.log, "noise level=" + FormatReal(run.params.noiseLevel));
  if (run.params.cardinality > MaxCardinality) {
    run.params.cardinality = MaxCardinality;
    WriteLogLine(run.log, "cardinality of scenario limited to " + FormatInteger(MaxCardinality));
  }
  AdjustNoiseLevel(run.params);

  std::mt19937 gen;
  if (run.params.noiseSwitch == 1) gen.seed(setup.seed ? *setup.seed : ClockSeed());
  if (run.params.noiseSwitch == 1 && run.params.noiseLevel > 0.0)
    PerturbLeaves(run.tree, run.params.noiseLevel, gen);
  DeriveLinks(run.tree);

  if (setup.plainSearch)
    RunSearch(run.search, run.params, run.tree, run.log);
  else
    RunFastSearch(run.search, run.params, run.tree, run.log, SearchThreads(setup.threads));
  WriteReport(run.search, run.params, run.tree, run.log,
              setup.plainSearch ? Estimation::Plain : Estimation::FastKernel);
}

}  // namespace dorvu
