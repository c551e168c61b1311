// The command line of dorvu-view: dorvu-view [LOG] [-o PREFIX] [--names FILE],
// dorvu-view --summary LOG..., and dorvu-view --support or --scan LOG...
// [-o PREFIX] [--names FILE].
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

#include "cli/command_line_shape.h"
#include "cli/output_files.h"

namespace dorvu::view {

inline constexpr int kExitFailure = cli::kExitFailure;  // the log cannot be used or an output cannot be written
inline constexpr int kExitUsage = cli::kExitUsage;      // a bad command line

// The view writes its files through the shared all-or-nothing writing; its
// tests name it from inside dorvu::view.

// Runs dorvu-view on the arguments after the program name; returns the exit status.
int RunDorvuView(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace dorvu::view
