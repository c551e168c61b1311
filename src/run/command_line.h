// The command line of dorvu. Without an argument the program runs; --help,
// --version and --check answer and end without writing any file.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <string>
#include <vector>

namespace dorvu {

inline constexpr int kExitFatal = 1;       // a file operation failed, or an environment variable is unusable
inline constexpr int kExitUsage = 2;       // a bad command line
inline constexpr int kExitCheckFound = 3;  // --check found a problem or a likely mistake

enum class Action { kRun, kHelp, kVersion, kCheck, kUsage };

struct CommandLine {
  Action action = Action::kRun;
  std::string problem;  // with Action::kUsage: what is wrong
};

// Reads the arguments after the program name.
CommandLine ParseCommandLine(const std::vector<std::string>& args);

std::string HelpText();
std::string VersionText();
std::string UsageErrorText(const std::string& problem);

// "dorvu --check": reports on standard error what a run of the input file
// would log and the likely mistakes it would take silently; returns the exit
// status (kExitFatal when the file cannot be read).
int RunInputCheck(const std::string& inputPath, std::ostream& err);

// The line that tells which seed a noisy run drew, in a form to paste.
std::string SeedNotice(uint32_t seed);

}  // namespace dorvu
