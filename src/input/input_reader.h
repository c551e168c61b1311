// Reads "input.txt" once: the cardinality (line 1), the noise level (line 2)
// and the four base values of each of the 64 leaves (lines 3 to 66), together
// with what is wrong with them. The run, "dorvu --check" and the run's
// warnings all take what they need from this one reading.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "log/io_error.h"
#include "tree/tree.h"

namespace dorvu {

inline constexpr int kInputLineCount = 2 + kLeafCount;  // lines read; the rest is ignored
inline constexpr char kEndOfFileByte = 26;             // ends the file wherever it stands

// The two parameters as read; after a failed conversion, the value the
// conversion left.
struct InputParameters {
  int32_t cardinality = 0;
  double noiseLevel = 0.0;
};

// A problem of the input: a data error, which a run writes into its log, or a
// likely mistake, which a run takes silently.
struct InputFinding {
  std::string text;     // "input.txt:9: leaf 7 ...": the file, the line when there is one, the problem
  bool logged = false;  // a run writes a line about it into the log
};

struct ParsedInput {
  InputParameters parameters;
  std::array<BaseValues, kLeafCount> leaves{};  // leaf k at k - 1; 0 where no value was read
  // In the order of the lines, with the file-wide one (too few lines) last.
  std::vector<InputFinding> findings;
  // A read that failed after the last line a run reads: a run goes on
  // without it, since it has all it needs; "dorvu --check" reports it.
  std::optional<IoError> laterReadError;
};

// Receives each log line of a data error as soon as the reading meets it, so
// that a run's log holds the errors of the lines read even when a later read
// fails.
using DataErrorLines = std::function<void(std::string_view line)>;

// Reads the file named `path`; a failed open, read (within the lines a run
// reads) or close throws IoError. `maxCardinality` is the largest
// cardinality a run takes.
ParsedInput ParseInput(const std::string& path, int32_t maxCardinality, const DataErrorLines& dataErrors = {});

// The same from the file's bytes; `path` names the file in the findings.
ParsedInput ParseInputBytes(std::string_view bytes, const std::string& path, int32_t maxCardinality,
                            const DataErrorLines& dataErrors = {});

// Puts the leaf values on the leaf slots of a laid-out tree.
void PlaceLeaves(const ParsedInput& input, Tree& tree);

// Takes the base values of one leaf line into `values`; returns how many
// values failed to convert.
int ReadLeafLine(const std::string& line, BaseValues& values);

}  // namespace dorvu
