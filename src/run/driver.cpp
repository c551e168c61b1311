#include "run/driver.h"

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
#include "run/interrupt.h"
#include "run/progress_display.h"
#include "search/evaluate/outcome_cache.h"
#include "search/run_parameters.h"
#include "search/walk.h"
#include "tree/tree.h"

namespace dorvu {

namespace {

// Echoes the parameters as read (and the tree read from a file) and fixes the
// run's parameters from them.
RunParameters TakeParameters(const InputParameters& read, const NewickTree* shape, const Tree& tree,
                             const RunLog& log) {
  WriteLogLine(log, std::string(log_lines::kCardinalityPrefix) + FormatInteger(read.cardinality));
  WriteLogLine(log, std::string(log_lines::kNoisePrefix) + FormatReal(read.noiseLevel));
  if (shape) WriteLogLine(log, std::string(log_lines::kTreePrefix) + NewickText(*shape));
  RunParameters params;
  ScaleToTree(params, tree.internalCount, tree.EdgeCount());
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

ParsedInput ReadRunInput(const std::string& path, const RunLog& log, Tree& tree) {
  ParsedInput input = ParseInput(path, kMaxCardinality, [&log](std::string_view line) { WriteLogLine(log, line); });
  PlaceLeaves(input, tree);
  return input;
}

NewickTree ReadTreeFile(const std::string& treePath) {
  try {
    return ReadNewickFile(treePath);
  } catch (const NewickError& error) {
    throw RunRefused{"dorvu: " + treePath + ":" + std::to_string(error.line) + ":" + std::to_string(error.column) +
                     ": " + error.message + "\n"};
  }
}

TreeRunInput ReadTreeRunInput(const std::string& treePath, const std::string& inputPath) {
  TreeRunInput read;
  read.shape = ReadTreeFile(treePath);
  read.input = ParseTreeInput(inputPath, TipNames(read.shape), kMaxCardinality);
  return read;
}

RunSummary RunDorvu(const RunSetup& setup) {
  // A tree and its input are read whole before the log is touched: a tree
  // that is refused, or names that do not match, leave it as it was.
  std::optional<TreeRunInput> treeRun;
  if (setup.treePath) {
    treeRun = ReadTreeRunInput(*setup.treePath, setup.inputPath);
    if (!treeRun->input.mismatch.Empty())
      throw RunRefused{MismatchText(treeRun->input.mismatch, setup.inputPath, *setup.treePath)};
  }
  const RunLock lock(setup.logPath);
  const RunLog log{setup.logPath};
  CreateLog(log);
  auto tree = std::make_unique<Tree>();
  ParsedInput input;
  if (treeRun) {
    LayOutTree(*tree, treeRun->shape);
    for (const std::string& line : treeRun->input.dataErrorLines) WriteLogLine(log, line);
    input = std::move(treeRun->input.parsed);
    PlaceLeaves(input, *tree);
  } else {
    LayOutTree(*tree);
    input = ReadRunInput(setup.inputPath, log, *tree);
  }
  const RunParameters params = TakeParameters(input.parameters, treeRun ? &treeRun->shape : nullptr, *tree, log);
  // The likely mistakes, and the count of the problems the log holds.
  if (!setup.quiet) *setup.messages << RunWarnings(input.findings, setup.inputPath, setup.logPath) << std::flush;

  // The generator is seeded whatever the noise level, as every run always has been.
  const uint32_t seed = setup.settings.seed ? *setup.settings.seed : ClockSeed();
  std::mt19937 gen(seed);
  if (!setup.settings.seed && params.noiseLevel > 0.0 && !setup.quiet)
    *setup.messages << SeedNotice(seed) << std::flush;
  if (params.noiseLevel > 0.0) PerturbLeaves(*tree, params.noiseLevel, gen);
  DeriveLinks(*tree);

  const int32_t threads = SearchThreads(setup.settings.threads);
  const auto cache = setup.settings.cacheBytes > 0
                         ? std::make_unique<OutcomeCache>(CacheTableLimit(setup.settings.cacheBytes))
                         : nullptr;
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
