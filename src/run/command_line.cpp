#include "run/command_line.h"

#include <cstdio>
#include <ostream>

#include "input/input_check.h"
#include "log/io_error.h"
#include "search/run_parameters.h"

#ifndef DORVU_VERSION
#define DORVU_VERSION "unknown"
#endif

namespace dorvu {

namespace {

constexpr const char* kHelp = R"(Usage: dorvu [--check | --help | --version]
Find the few branches of a fixed tree of 64 leaves on which the base
composition shifts.

Without an argument, dorvu reads input.txt in the current directory and
writes its report to dorvu.log there, replacing an earlier log.

Options:
      --check    read input.txt as a run would, report on standard error the
                 problems a run would log and the likely mistakes it would
                 take silently; write no file and run no search
  -h, --help     show this help and exit
      --version  show the version and exit

Environment:
  DORVU_SEED     seed of the noise, an unsigned 32-bit decimal number; a noisy
                 run without it draws a seed and shows it on standard error
  DORVU_THREADS  threads that search, 1 to 1024 (default: all the processors
                 the run may use)
  DORVU_CACHE_MB the most memory the outcome cache may take, in MiB, 0 to
                 65536; 0 turns the cache off (default: 1024). The log does
                 not depend on it; a smaller cache only re-evaluates more
  LC_ALL, LC_NUMERIC, LANG  the decimal separator of the numbers in the log

Exit status:
  0  the run ended (input problems are in the log, and warnings about them
     on standard error), or --check found nothing
  1  a file could not be read or written, another run is writing dorvu.log
     in this directory, or DORVU_SEED, DORVU_THREADS or DORVU_CACHE_MB is
     unusable; the reason is on standard error
  2  a bad command line
  3  --check found a problem or a likely mistake
  128+N  stopped by signal N (130 SIGINT, 143 SIGTERM, 129 SIGHUP): the log
     holds every line up to the stop, and no report

The full guide is README.md in the source; see also dorvu(1) and dorvu-view(1).
)";

}  // namespace

CommandLine ParseCommandLine(const std::vector<std::string>& args) {
  CommandLine command;
  for (const std::string& arg : args) {
    if (arg == "-h" || arg == "--help")
      command.action = Action::kHelp;
    else if (arg == "--version")
      command.action = Action::kVersion;
    else if (arg == "--check")
      command.action = Action::kCheck;
    else
      return {Action::kUsage, "unknown argument \"" + arg + "\""};
  }
  if (args.size() > 1) return {Action::kUsage, "one argument at most, not " + std::to_string(args.size())};
  return command;
}

std::string HelpText() { return kHelp; }

std::string VersionText() { return std::string("dorvu ") + DORVU_VERSION + "\n"; }

std::string UsageErrorText(const std::string& problem) { return "dorvu: " + problem + "\nTry \"dorvu --help\".\n"; }

int RunInputCheck(const std::string& inputPath, std::ostream& err) {
  std::vector<InputFinding> findings;
  try {
    ParsedInput input = ParseInput(inputPath, kMaxCardinality);
    if (input.laterReadError) throw *input.laterReadError;
    findings = std::move(input.findings);
  } catch (const IoError& error) {
    err << "dorvu: " << error.message << "\n";
    return kExitFatal;
  }
  for (const InputFinding& finding : findings) err << "dorvu: " << finding.text << "\n";
  if (!findings.empty()) return kExitCheckFound;
  err << "dorvu: " << inputPath << ": no problems found\n";
  return 0;
}

std::string SeedNotice(uint32_t seed) {
  const std::string assignment = "DORVU_SEED=" + std::to_string(seed);
  return "dorvu: noise seed " + std::to_string(seed) + "; " + assignment + " dorvu repeats this run\n";
}

}  // namespace dorvu
