// dorvu-view as a whole: the arguments, the environment and the two output
// streams in, the exit status out. main() hands over the process's own; tests
// hand over their own.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

#include "cli/environment.h"

namespace dorvu::view {

// Runs dorvu-view with the arguments after the program name. It reads no
// variable of the environment.
int RunDorvuViewProgram(const std::vector<std::string>& args, const cli::Environment& environment, std::ostream& out,
                        std::ostream& err);

}  // namespace dorvu::view
