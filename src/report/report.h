// The report of the best scenarios: marked vertices, penalty, and the A/C/G/T
// distribution of every vertex from a fresh evaluation of the scenario.
#pragma once

#include "log/run_log.h"
#include "search/evaluate/evaluator.h"
#include "search/scoring.h"
#include "tree/tree.h"

namespace dorvu {

void WriteReport(const BestList& bestList, const Tree& tree, Evaluator& evaluator, const RunLog& log);

}  // namespace dorvu
