// Reads "input.txt": the cardinality (line 1), the noise level (line 2) and
// the four base values of each of the 64 leaves (lines 3 to 66).
#pragma once

#include <string>

#include "run/run_log.h"
#include "run/run_parameters.h"
#include "tree/tree.h"

namespace dorvu {

inline constexpr int InputLineCount = 2 + LeafCount;

// Bad values are reported in the log and skipped; a failed open, read or close
// throws IoError. Needs the log and the leaf slots in place.
void ReadInput(const std::string& path, const RunLog& log, RunParameters& params, Tree& tree);

// Takes the base values of one leaf line into `values`; returns how many
// values failed to convert.
int ReadLeafLine(const std::string& line, BaseValues& values);

}  // namespace dorvu
