// Reads "input.txt": the cardinality (line 1), the noise level (line 2) and
// the four base values of each of the 64 leaves (lines 3 to 66).
#pragma once

#include <string>

#include "log/run_log.h"
#include "tree/tree.h"

namespace dorvu {

inline constexpr int InputLineCount = 2 + LeafCount;  // lines read; the rest is ignored
inline constexpr char EndOfFileByte = 26;             // ends the file wherever it stands

// The two parameters as read; after a failed conversion, the value the
// conversion left.
struct InputParameters {
  int32_t cardinality = 0;
  double noiseLevel = 0.0;
};

// Reads the parameters and puts the leaf values on the leaf slots. Bad values
// are reported in the log and skipped; a failed open, read or close throws
// IoError. Needs the log and the leaf slots in place.
InputParameters ReadInput(const std::string& path, const RunLog& log, Tree& tree);

// Takes the base values of one leaf line into `values`; returns how many
// values failed to convert.
int ReadLeafLine(const std::string& line, BaseValues& values);

}  // namespace dorvu
