// The report of the best scenarios: marked vertices, penalty, and the A/C/G/T
// distribution of every vertex from a fresh evaluation of the scenario.
#pragma once

#include "run/run_log.h"
#include "run/run_parameters.h"
#include "search/enumeration.h"
#include "tree/tree.h"

namespace dorvu {

// How the report estimates its scenarios: with the plain passes, or with the
// fast kernel, which gives the same values bit for bit.
enum class Estimation { Plain, FastKernel };

void WriteReport(SearchState& state, RunParameters& params, const Tree& tree, const RunLog& log,
                 Estimation estimation = Estimation::Plain);

// Sets the marks from a key; logs "an error, sorry" for a part that is not a
// slot number.
void DecodeKey(const std::string& key, MarkTable& Mark, RunParameters& params, const RunLog& log);

}  // namespace dorvu
