// The command line of dorvu. Without an argument the program runs on the
// fixed tree, with --tree FILE on the tree in FILE; --help, --version and
// --check answer and end without writing any file.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "cli/command_line_shape.h"

namespace dorvu {

inline constexpr int kExitCheckFound = 3;  // --check found a problem or a likely mistake

enum class Action { kRun, kHelp, kVersion, kCheck };

struct CommandLine {
  Action action = Action::kRun;
  std::optional<std::string> treePath;  // --tree FILE: a tree of one's own
};

// Reads the arguments after the program name; a bad command line throws
// cli::UsageError.
CommandLine ParseCommandLine(const std::vector<std::string>& args);

// How dorvu names itself, with its version and its --help text.
cli::ProgramText DorvuProgramText();

std::string HelpText();

}  // namespace dorvu
