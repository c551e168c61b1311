// Runs of the programs for the tests: a real executable in a directory of its
// own, dorvu in this process through the program's entry, and what either
// answered.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "run/program.h"
#include "support/files.h"

namespace dorvu::test {

// What a program answered: its exit status and its two streams.
struct ProcessResult {
  int status = -1;
  std::string stderrText;
  std::string stdoutText;
};

// Runs an executable (dorvu unless given) in `dir` with extra environment
// assignments ("NAME=value ...") and arguments (shell words), capturing its
// standard output and standard error in files beside `dir`, not in it.
ProcessResult RunExecutable(const std::filesystem::path& dir, const std::string& environment = "",
                            const std::string& arguments = "", const std::string& executable = DORVU_EXECUTABLE);

// Runs dorvu in this process, through the program's own entry, with `dir` as
// the current directory for the call, the given environment (only it) and
// arguments.
ProcessResult RunProgram(const std::filesystem::path& dir, const Environment& environment = {},
                         const std::vector<std::string>& args = {});

}  // namespace dorvu::test
