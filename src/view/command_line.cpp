#include "view/command_line.h"

#include <filesystem>
#include <optional>
#include <ostream>
#include <system_error>

#include "view/output_files.h"
#include "view/report_writers.h"
#include "view/run_report.h"

#ifndef DORVU_VIEW_VERSION
#define DORVU_VIEW_VERSION "1.0.0"
#endif

namespace dorvu::view {

namespace {

constexpr const char* HelpText = R"(Usage: dorvu-view [LOG] [-o PREFIX]
Draw and tabulate the best scenario of a dorvu run.

Reads the run log LOG (default: dorvu.log in the current directory) and writes
  PREFIX.svg  the tree, root at the top, with a stacked A/C/G/T bar at each of
              the 127 vertices; marked vertices have their name on a vermillion
              badge and the cut branch above each is a dashed vermillion line
  PREFIX.tsv  one row per vertex in the log's order, tab-separated, with the
              header: vertex parent depth marked A C G T
              Values are the log's digits with "." as decimal point (NaN, Inf
              and -Inf for the log's NAN, INF and -INF); the root's parent is
              NA; marked is 1 for the marked vertices and the root. Read the
              vertex and parent columns as text: as numbers 6.1 and 6.10 would
              become the same.
  PREFIX.nwk  the tree in Newick form, every vertex named (the root is "0")
PREFIX defaults to LOG without its ".log" ending (dorvu.log gives dorvu.svg,
dorvu.tsv and dorvu.nwk beside the log).

Options:
  -o, --output PREFIX  write PREFIX.svg, PREFIX.tsv and PREFIX.nwk
  -h, --help           show this help and exit
      --version        show the version and exit

Exit status: 0 when all three files were written; 1 when the log cannot be
used (missing, cut short, holding no scenario, or not a dorvu log) or a file
cannot be written, with a message on standard error and no output files left
behind; 2 for a bad command line.
)";

struct Options {
  std::string log = "dorvu.log";
  std::optional<std::string> prefix;
  bool help = false;
  bool version = false;
};

struct UsageError {
  std::string problem;
};

std::string TakeValue(const std::vector<std::string>& args, std::size_t& i, const std::string& option) {
  if (i + 1 >= args.size()) throw UsageError{"option " + option + " needs a PREFIX"};
  return args[++i];
}

Options ParseOptions(const std::vector<std::string>& args) {
  Options options;
  bool haveLog = false;
  bool optionsEnded = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    const bool isOption = !optionsEnded && arg.size() > 1 && arg[0] == '-';
    if (!isOption) {
      if (haveLog) throw UsageError{"only one LOG can be given, found \"" + arg + "\" as a second"};
      options.log = arg;
      haveLog = true;
    } else if (arg == "--") {
      optionsEnded = true;
    } else if (arg == "-h" || arg == "--help") {
      options.help = true;
    } else if (arg == "--version") {
      options.version = true;
    } else if (arg == "-o" || arg == "--output") {
      options.prefix = TakeValue(args, i, arg);
    } else if (arg.starts_with("--output=")) {
      options.prefix = arg.substr(9);
    } else if (arg.starts_with("-o")) {
      options.prefix = arg.substr(2);
    } else {
      throw UsageError{"unknown option \"" + arg + "\""};
    }
  }
  if (options.prefix && options.prefix->empty()) throw UsageError{"PREFIX must not be empty"};
  return options;
}

std::string DefaultPrefix(const std::string& log) {
  constexpr std::string_view Ending = ".log";
  if (log.size() > Ending.size() && log.ends_with(Ending)) return log.substr(0, log.size() - Ending.size());
  return log;
}

// "FILE:LINE: problem", or "FILE: problem" when no line is concerned.
std::string Located(const std::string& log, const LogError& error) {
  std::string text = log;
  if (error.line > 0) text.append(":").append(std::to_string(error.line));
  return text.append(": ").append(error.problem);
}

bool SameFile(const std::string& a, const std::string& b) {
  std::error_code error;
  return std::filesystem::weakly_canonical(a, error) == std::filesystem::weakly_canonical(b, error);
}

int MakeOutputs(const Options& options, std::ostream& err) {
  RunReport report;
  try {
    report = ReadRunLog(options.log);
  } catch (const LogError& error) {
    err << "dorvu-view: " << Located(options.log, error) << "\n";
    return ExitFailure;
  }
  const std::string prefix = options.prefix.value_or(DefaultPrefix(options.log));
  const std::vector<OutputFile> files{{prefix + ".svg", SvgPicture(report)},
                                      {prefix + ".tsv", TsvTable(report)},
                                      {prefix + ".nwk", NewickTree()}};
  for (const OutputFile& file : files) {
    if (SameFile(file.path, options.log)) {
      err << "dorvu-view: " << file.path << ": this output would overwrite the log; choose another PREFIX\n";
      return ExitFailure;
    }
  }
  const std::string problem = WriteAllOrNothing(files);
  if (!problem.empty()) {
    err << "dorvu-view: " << problem << "\n";
    return ExitFailure;
  }
  return 0;
}

}  // namespace

int RunDorvuView(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  Options options;
  try {
    options = ParseOptions(args);
  } catch (const UsageError& error) {
    err << "dorvu-view: " << error.problem << "\nTry \"dorvu-view --help\".\n";
    return ExitUsage;
  }
  if (options.help) {
    out << HelpText;
    return 0;
  }
  if (options.version) {
    out << "dorvu-view " << DORVU_VIEW_VERSION << "\n";
    return 0;
  }
  return MakeOutputs(options, err);
}

}  // namespace dorvu::view
