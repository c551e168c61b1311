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
#include <utility>
#include <vector>

#include "cli/name_list.h"
#include "log/io_error.h"
#include "tree/tree.h"

namespace dorvu {

inline constexpr int kInputLineCount = 2 + kLeafCount;  // lines read; the rest is ignored
inline constexpr char kEndOfFileByte = 26;              // ends the file wherever it stands

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
  std::vector<BaseValues> leaves;  // leaf k at k - 1; 0 where no value was read
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

// What does not match between the leaf lines of an input for a tree and the
// tree's tips, each in the order met (up to kNamesShown of each kind are
// named in the message, with their count).
struct NameMismatch {
  std::vector<std::pair<std::string, int>> unknown;  // names that are no tip, with their line
  std::vector<std::pair<std::string, int>> twice;    // tips given again, with the line of the repeat
  std::vector<std::string> missing;                  // tips with no line, left to right
  bool Empty() const { return unknown.empty() && twice.empty() && missing.empty(); }
};

using cli::kNamesShown;

// An input for a tree: lines 1 and 2 as always, then, on every line that is
// not blank, a tip's name (unquoted up to the first blank or tab, or quoted
// as in Newick) and its values, read by the rules of a leaf line. Lines come
// in any order and in any number. Leaf k is the tree's k-th tip from the
// left, as `tipNames` lists them. The data errors are kept, in the order of
// the lines, as `dataErrors` receives them; a run writes them only when the
// names match.
struct TreeInput {
  ParsedInput parsed;
  NameMismatch mismatch;
  std::vector<std::string> dataErrorLines;  // the log lines of the data errors
};
TreeInput ParseTreeInput(const std::string& path, const std::vector<std::string>& tipNames, int32_t maxCardinality);
TreeInput ParseTreeInputBytes(std::string_view bytes, const std::string& path, const std::vector<std::string>& tipNames,
                              int32_t maxCardinality);

// The refusal of names that do not match, one line per kind, each beginning
// with "dorvu: ".
std::string MismatchText(const NameMismatch& mismatch, const std::string& inputPath, const std::string& treePath);

// Puts the leaf values on the leaf slots of a laid-out tree.
void PlaceLeaves(const ParsedInput& input, Tree& tree);

// Takes the base values of one leaf line into `values`; returns how many
// values failed to convert.
int ReadLeafLine(const std::string& line, BaseValues& values);

}  // namespace dorvu
