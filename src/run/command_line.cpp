#include "run/command_line.h"

#include "cli/version.h"

namespace dorvu {

namespace {

constexpr const char* kHelp = R"(Usage: dorvu [--check] [--tree FILE]
       dorvu --help | --version
Find the few branches of a tree on which the base composition shifts: the
fixed tree of 64 leaves, or a rooted tree of your own.

Without an argument, dorvu reads input.txt in the current directory and
writes its report to dorvu.log there, replacing an earlier log.

Options:
      --tree FILE  run on the rooted tree in FILE (Newick), whose tips
                 input.txt names on its leaf lines, instead of the fixed tree
      --check    read input.txt (and the tree) as a run would, report on
                 standard error the problems a run would log and the likely
                 mistakes it would take silently; write no file and run no
                 search
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
     in this directory, the tree is refused or its tips and the leaf lines
     of input.txt do not match, or DORVU_SEED, DORVU_THREADS or
     DORVU_CACHE_MB is unusable; the reason is on standard error
  2  a bad command line
  3  --check found a problem or a likely mistake
  128+N  stopped by signal N (130 SIGINT, 143 SIGTERM, 129 SIGHUP): the log
     holds every line up to the stop, and no report

The full guide is README.md in the source; see also dorvu(1) and dorvu-view(1).
)";

}  // namespace

CommandLine ParseCommandLine(const std::vector<std::string>& args) {
  CommandLine command;
  bool help = false;
  bool version = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "-h" || arg == "--help") {
      help = true;
    } else if (arg == "--version") {
      version = true;
    } else if (arg == "--check") {
      command.action = Action::kCheck;
    } else if (const auto tree = cli::OptionValue(args, i, "--tree", "a FILE")) {
      if (command.treePath) throw cli::UsageError{"--tree given twice"};
      command.treePath = *tree;
    } else {
      throw cli::UsageError{"unknown argument \"" + arg + "\""};
    }
  }
  if ((help || version) && args.size() > 1)
    throw cli::UsageError{"--help and --version take no other argument, not " + std::to_string(args.size() - 1)};
  if (help) command.action = Action::kHelp;
  if (version) command.action = Action::kVersion;
  return command;
}

std::string HelpText() { return kHelp; }

cli::ProgramText DorvuProgramText() { return {"dorvu", cli::Version(), kHelp}; }

}  // namespace dorvu
