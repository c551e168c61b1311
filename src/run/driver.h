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
#include "search/evaluate/evaluator.h"

namespace dorvu {

// The outcome cache takes at most this much memory by default.
inline constexpr std::size_t kDefaultCacheBytes = std::size_t{1} << 30;

struct RunSetup {
  std::string inputPath = "input.txt";
  std::string logPath = "dorvu.log";
  std::optional<uint32_t> seed;                // none: seeded from the clock
  int32_t threads = 0;                         // threads that search; 0: all hardware threads the process may use
  std::optional<EvaluatorKind> evaluator;      // none: chosen from the threads (tests name one)
  std::size_t cacheBytes = kDefaultCacheBytes;  // the bound of the outcome cache; 0: no cache
  bool quiet = false;                          // no input warnings and no seed notice on standard error
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

// Reads the input once for a run: its data errors go into the log as the
// reading meets them, its leaf values onto the tree's leaf slots.
ParsedInput ReadRunInput(const std::string& path, const RunLog& log, Tree& tree);

// Runs to the end; a failed file operation, or another run holding the
// directory's lock, throws IoError; a stop request throws RunInterrupted.
RunSummary RunDorvu(const RunSetup& setup);

// Reads a seed from the text of DORVU_SEED: an unsigned 32-bit decimal number.
std::optional<uint32_t> ParseSeed(const std::string& text);

inline constexpr int32_t kMaxThreads = 1024;

// Reads a thread count from the text of DORVU_THREADS: a decimal number from
// 1 to kMaxThreads.
std::optional<int32_t> ParseThreadCount(const std::string& text);

// The largest bound DORVU_CACHE_MB takes, 64 GiB: far more than any search
// fills, and small enough that a typing slip does not claim the machine.
inline constexpr int32_t kMaxCacheMegabytes = 65536;

// Reads the outcome cache's bound from the text of DORVU_CACHE_MB, a decimal
// number of MiB from 0 (no cache) to kMaxCacheMegabytes, as a number of bytes.
std::optional<std::size_t> ParseCacheBytes(const std::string& text);

// The limit to give the outcome cache's table so that the cache keeps within
// `boundBytes`. The table grows by moving into one of twice its size, so while
// it grows it takes one and a half times its size: two thirds of the bound.
// For a bound of a power of two MiB the table may grow as large as with the
// whole bound.
std::size_t CacheTableLimit(std::size_t boundBytes);

// The threads a run searches with: `requested`, or for 0 all hardware threads
// the process may run on.
int32_t SearchThreads(int32_t requested);

}  // namespace dorvu
