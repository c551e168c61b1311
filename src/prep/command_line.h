// The command line of dorvu-prep:
// dorvu-prep [--cardinality N] [--noise X] [--label KIND] [--bootstrap SEED] [-o FILE] INPUT
// dorvu-prep [--cardinality N] [--noise X] [--bootstrap SEED] [--min-quality Q] [--threads N]
//            [-o FILE] --samples SHEET
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

#include "cli/command_line_shape.h"

namespace dorvu::prep {

inline constexpr int kExitFailure = cli::kExitFailure;  // the input is refused or an output cannot be written
inline constexpr int kExitUsage = cli::kExitUsage;      // a bad command line

// Runs dorvu-prep on the arguments after the program name; returns the exit status.
int RunDorvuPrep(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace dorvu::prep
