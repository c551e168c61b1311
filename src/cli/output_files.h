// Writes a set of files all together or not at all.
#pragma once

#include <string>
#include <vector>

namespace dorvu::cli {

struct OutputFile {
  std::string path;
  std::string content;
};

// Writes every file under a temporary name beside its final name and renames
// them only when all are complete, so a failure leaves no partial output
// behind; a failure while writing leaves earlier files of the same names as
// they were. Returns an empty string on success, else a message that names the
// file and the problem.
std::string WriteAllOrNothing(const std::vector<OutputFile>& files);

}  // namespace dorvu::cli
