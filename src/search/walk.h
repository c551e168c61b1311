// The depth-first walk over scenarios. Starting from the root alone, each
// evaluated scenario is extended by one mark at a time, trying the unmarked
// vertices that differ most from their parents, until it holds the
// cardinality's number of marks besides the root or its penalty falls to
// 100 times the noise level. A set of marks reached again along another
// order is skipped with everything below it, while the memory holds it.
#pragma once

#include <atomic>
#include <cstdint>

#include "log/run_log.h"
#include "search/evaluate/evaluator.h"
#include "search/run_parameters.h"
#include "search/scoring.h"

namespace dorvu {

// How far the walk has come, for a display of its progress from another
// thread.
struct WalkCounters {
  std::atomic<int64_t> visited{0};  // scenarios reached, skipped ones included
  std::atomic<int32_t> branch{0};   // the top-level branch walked, 1 to 6; 0 before the first
};

// Walks the scenarios to the end, writing the progress lines and the memory
// messages to the log; returns the best list. The memory messages are
// written in batches (LineBatch), each before any other line. When `stop`
// turns non-zero the walk ends at the next scenario it reaches, with every
// line up to there written, so the log is a prefix of the whole walk's.
BestList RunSearch(const RunParameters& params, Evaluator& evaluator, const RunLog& log,
                   WalkCounters* counters = nullptr, const std::atomic<int>* stop = nullptr);

}  // namespace dorvu
