// Checks of the input file: the problems a run writes into its log, and the
// likely mistakes a run takes silently (a short file, a header line without
// "=", a leaf line without a value for some base, unnormalised leaves with the
// noise off, text after the last line read).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace dorvu {

struct InputFinding {
  std::string text;     // "input.txt:9: leaf 7 ...": the file, the line when there is one, the problem
  bool logged = false;  // a run writes a line about it into the log
};

// The whole file; a failed open or read throws IoError.
std::string ReadInputBytes(const std::string& path);

// The findings about the bytes of the input file named `path`, in the order of
// the lines, with the file-wide one (too few lines) last.
// `maxCardinality` is the largest cardinality a run takes.
std::vector<InputFinding> CheckInput(std::string_view bytes, const std::string& path, int32_t maxCardinality);

// The warnings a run prints on standard error: one line per finding the log
// does not hold, then the number of problems it does hold.
std::string RunWarnings(const std::vector<InputFinding>& findings, const std::string& inputPath,
                        const std::string& logPath);

}  // namespace dorvu
