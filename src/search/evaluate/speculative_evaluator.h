// An evaluator with worker threads that evaluate ahead of the walk the
// scenarios it is about to reach. Each scenario the walk may reach next gets
// a record keyed by its marks: the same set reached along two orders is one
// evaluation. A scenario's outcome depends only on the leaves and its marks,
// so one worked out ahead, or one the walk then skips, changes nothing but
// the time taken.
#pragma once

#include <memory>
#include <vector>

#include "search/evaluate/evaluator.h"

namespace dorvu {

class OutcomeCache;

// `evaluators` holds one evaluator for the walk's own thread (the first) and
// one for each worker thread. Where the system gives no threads, everything
// is evaluated on the walk's thread. Workers pass over the sets that `cache`
// (if any) holds: the walk will take those from it.
std::unique_ptr<Evaluator> MakeSpeculativeEvaluator(const RunParameters& params,
                                                    std::vector<std::unique_ptr<Evaluator>> evaluators,
                                                    const OutcomeCache* cache);

}  // namespace dorvu
