// The whole run: log, parameters, tree, input, echo, noise, search, report.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <iostream>
#include <optional>
#include <string>

#include "input/input_reader.h"
#include "log/run_log.h"
#include "run/settings.h"
#include "search/evaluate/evaluator.h"

namespace dorvu {

struct RunSetup {
  std::string inputPath = "input.txt";
  std::string logPath = "dorvu.log";
  std::optional<std::string> treePath;     // a tree read from this file; none: the fixed tree
  RunSettings settings;                    // seed, threads and the outcome cache's bound
  std::optional<EvaluatorKind> evaluator;  // none: chosen from the threads (tests name one)
  bool quiet = false;                      // no input warnings and no seed notice on standard error
  // Non-zero asks the search to stop: the run then writes what it holds and
  // throws RunInterrupted. None: the run goes to its end.
  const std::atomic<int>* stop = nullptr;
  std::ostream* messages = &std::cerr;  // where the input warnings and the seed notice go
};

// What a run's search did, for benchmarks.
struct RunSummary {
  int64_t visited = 0;    // scenarios the walk reached
  int64_t evaluated = 0;  // distinct sets held by the outcome cache
};

// A run that cannot start: a tree file that is refused, or an input whose
// names do not match the tree's tips. `message` is the whole text for
// standard error; the log is left untouched.
struct RunRefused {
  std::string message;
};

// A tree and the input for it, as a run reads them before it starts.
struct TreeRunInput {
  NewickTree shape;
  TreeInput input;
};

// Reads a tree file; a refused tree throws RunRefused, a file that cannot be
// read IoError.
NewickTree ReadTreeFile(const std::string& treePath);

// Reads a tree file and the input for it; a refused tree throws RunRefused,
// a file that cannot be read IoError. The names are not checked here.
TreeRunInput ReadTreeRunInput(const std::string& treePath, const std::string& inputPath);

// Reads the input once for a run: its data errors go into the log as the
// reading meets them, its leaf values onto the tree's leaf slots.
ParsedInput ReadRunInput(const std::string& path, const RunLog& log, Tree& tree);

// Runs to the end; a failed file operation, or another run holding the
// directory's lock, throws IoError; a stop request throws RunInterrupted.
RunSummary RunDorvu(const RunSetup& setup);

}  // namespace dorvu
