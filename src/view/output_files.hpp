// Writes a set of files all together or not at all.
#pragma once

#include <string>
#include <vector>

namespace dorvu::view {

struct OutputFile {
    std::string path;
    std::string content;
};

// Writes every file beside its final name first and renames them only when all
// are complete, so a failure leaves no partial output behind (earlier files of
// the same names stay as they were). Returns an empty string on success, else
// a message that names the file and the problem.
std::string write_all_or_nothing(const std::vector<OutputFile>& files);

}  // namespace dorvu::view
