// dorvu-view as a whole: the arguments, the environment (unread) and the output streams in, the exit status out.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

#include "cli/environment.h"

namespace dorvu::view {

int RunDorvuViewProgram(const std::vector<std::string>& args, const cli::Environment& environment, std::ostream& out,
                        std::ostream& err);

}  // namespace dorvu::view
