// The command line of dorvu-view: dorvu-view [LOG] [-o PREFIX] [--names FILE],
// dorvu-view --summary LOG..., and dorvu-view --support or --scan LOG...
// [-o PREFIX] [--names FILE].
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "cli/command_line_shape.h"

namespace dorvu::view {

struct Options {
  std::vector<std::string> logs;      // none given: dorvu.log
  std::optional<std::string> prefix;  // none given: LOG without ".log", or "support" or "scan" for those
  std::optional<std::string> names;
  bool summary = false;
  bool support = false;
  bool scan = false;
  bool help = false;
  bool version = false;
};

// The name, the version and the --help text of dorvu-view.
cli::ProgramText DorvuViewProgramText();

// Reads the arguments after the program name. Throws cli::UsageError.
Options ParseOptions(const std::vector<std::string>& args);

}  // namespace dorvu::view
