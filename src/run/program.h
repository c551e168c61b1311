// The whole program behind its command line: the arguments, the environment
// and the two output streams in, the exit status out. main() only hands over
// the process's own; tests hand over their own.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

#include "cli/environment.h"

namespace dorvu {

using cli::Environment;

// Runs dorvu with the arguments after the program name. The input and the log
// are taken from the current directory. A run stops early when StopSignal()
// turns non-zero (main catches the signals that set it).
int RunDorvuProgram(const std::vector<std::string>& args, const Environment& environment, std::ostream& out,
                    std::ostream& err);

}  // namespace dorvu
