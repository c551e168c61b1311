// The command line of dorvu-view: dorvu-view [LOG] [-o PREFIX] [--names FILE],
// dorvu-view --summary LOG..., and dorvu-view --support or --scan LOG...
// [-o PREFIX] [--names FILE].
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace dorvu::view {

inline constexpr int ExitFailure = 1;  // the log cannot be used or an output cannot be written
inline constexpr int ExitUsage = 2;    // a bad command line

// Runs dorvu-view on the arguments after the program name; returns the exit status.
int RunDorvuView(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace dorvu::view
