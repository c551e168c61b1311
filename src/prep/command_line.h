// The command line of dorvu-prep:
// dorvu-prep [--cardinality N] [--noise X] [--label KIND] [--bootstrap SEED] [-o FILE] INPUT.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace dorvu::prep {

inline constexpr int ExitFailure = 1;  // the input is refused or an output cannot be written
inline constexpr int ExitUsage = 2;    // a bad command line

// Runs dorvu-prep on the arguments after the program name; returns the exit status.
int RunDorvuPrep(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace dorvu::prep
