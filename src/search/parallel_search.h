// The depth-first walk of RunSearch with the fast evaluation kernel, on one
// thread or with worker threads that evaluate scenarios ahead of the walk.
// The walk itself (memory lookups and stores with their messages, progress
// lines, best list, candidate rows) stays on the calling thread and in the
// exact order of RunSearch, so the log and the results are byte for byte
// those of RunSearch for every number of threads. A scenario's evaluation
// depends only on the leaves and its marks, so one worked out ahead, or one
// the walk then skips, cannot change anything but the time taken.
#pragma once

#include <cstdint>

#include "run/run_log.h"
#include "run/run_parameters.h"
#include "search/enumeration.h"
#include "tree/tree.h"

namespace dorvu {

// Walks the scenarios to the end as RunSearch does; `threads` is the number
// of threads that evaluate (1: everything on the calling thread).
void RunFastSearch(SearchState& state, RunParameters& params, const Tree& tree, const RunLog& log,
                   int32_t threads);

}  // namespace dorvu
