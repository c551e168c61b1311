#include "view/command_line.h"

#include <algorithm>
#include <filesystem>
#include <functional>
#include <optional>
#include <ostream>
#include <system_error>

#include "cli/command_line_shape.h"
#include "cli/output_files.h"
#include "view/leaf_names.h"
#include "view/report_writers.h"
#include "view/run_report.h"
#include "view/run_tallies.h"

#ifndef DORVU_VIEW_VERSION
#define DORVU_VIEW_VERSION "1.0.0"
#endif

namespace dorvu::view {

namespace {

constexpr const char* kHelpText = R"(Usage: dorvu-view [LOG] [-o PREFIX] [--names FILE]
       dorvu-view --summary LOG...
       dorvu-view --support LOG... [-o PREFIX] [--names FILE]
       dorvu-view --scan LOG... [-o PREFIX] [--names FILE]
Draw and tabulate the best scenario of a dorvu run, or tabulate many runs.

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
  PREFIX.nwk  the tree in Newick form, every vertex named (the root is "0");
              with --names the leaves carry their names, quoted where Newick
              needs it
PREFIX defaults to LOG without its ".log" ending (dorvu.log gives dorvu.svg,
dorvu.tsv and dorvu.nwk beside the log). When the log holds input errors,
standard error says so as well.

With --summary, writes to standard output one tab-separated row per LOG after
the header: run cardinality noise_level penalty marked input_errors
memory_lines. The run is the name of the log's directory; marked lists the
marked vertices, separated by blanks.

With --support, reads the logs of replicates of one run (all at one
cardinality and one noise level, such as runs with several DORVU_SEED values
or on resampled inputs) and writes
  PREFIX.tsv  one row per vertex in the log's order, with the header: vertex
              parent depth runs marked support
              marked counts the runs whose best scenario marks the vertex (for
              the root, every run); support is marked / runs.
  PREFIX.svg  the tree with the mean A/C/G/T of each vertex over the runs;
              every vertex that some run marks shows its support as a whole
              percentage, and those marked in half the runs or more have a
              badge and a cut branch, darker the higher the support
PREFIX defaults to "support". A log whose cardinality or noise level, as the
log echoes them, differs from those of the first log is refused.

With --scan, reads the logs of one input at several cardinalities, one run or
more at each, all at one noise level, and writes
  PREFIX.tsv  one row per cardinality, in increasing order, with the header:
              cardinality runs penalty_min penalty_median penalty_max marked
              The penalties are the logs' digits with "." as decimal point;
              the median of an even number of runs is the mean of the middle
              two, and a NaN counts as the highest penalty. marked lists the
              vertices that half the runs or more mark, separated by blanks.
  PREFIX.svg  the penalty of each run against the cardinality, with a line
              through the medians, and beneath it a grid of the support of
              each vertex that any run marks, one column per cardinality
PREFIX defaults to "scan". A log whose noise level, as the log echoes it,
differs from that of the first log is refused.

Options:
  -o, --output PREFIX  write the files as PREFIX.svg, PREFIX.tsv (and
                       PREFIX.nwk for one log)
      --names FILE     label the leaves with the names in FILE (the table
                       dorvu-prep writes: leaf<TAB>name, a row per leaf) and
                       add a last column "name" to PREFIX.tsv
      --summary        read every LOG given and write the table of runs
      --support        read every LOG given and write the support of each
                       vertex over the runs
      --scan           read every LOG given and write the penalties and the
                       support of each vertex by cardinality
  -h, --help           show this help and exit
      --version        show the version and exit

Exit status: 0 when all files (or the table of runs) were written; 1 when a
log or the names cannot be used (missing, cut short, holding no scenario, not
a dorvu log, or for --support and --scan not matching the first log) or a
file cannot be written, with a message on standard error for every refused
log and no output left behind; 2 for a bad command line.
)";

struct Options {
  std::vector<std::string> logs;
  std::optional<std::string> prefix;
  std::optional<std::string> names;
  bool summary = false;
  bool support = false;
  bool scan = false;
  bool help = false;
  bool version = false;
};

constexpr cli::ProgramText kProgram{"dorvu-view", DORVU_VIEW_VERSION, kHelpText};

using cli::OptionValue;
using cli::SameFile;
using cli::ShortOptionValue;
using cli::UsageError;

// The option that reads many logs, or nothing.
std::optional<std::string> ManyLogsMode(const Options& options) {
  if (options.summary) return "--summary";
  if (options.support) return "--support";
  if (options.scan) return "--scan";
  return std::nullopt;
}

void CheckCombination(Options& options) {
  if (options.prefix && options.prefix->empty()) throw UsageError{"PREFIX must not be empty"};
  if (options.names && options.names->empty()) throw UsageError{"the names FILE must not be empty"};
  if (int{options.summary} + int{options.support} + int{options.scan} > 1)
    throw UsageError{"--summary, --support and --scan exclude each other"};
  const std::optional<std::string> mode = ManyLogsMode(options);
  if (mode) {
    if (options.summary && (options.prefix || options.names))
      throw UsageError{"--summary writes no files: -o and --names do not apply"};
    if (options.logs.empty() && !options.help && !options.version) throw UsageError{*mode + " needs at least one LOG"};
  } else if (options.logs.size() > 1) {
    throw UsageError{"only one LOG can be given, found \"" + options.logs[1] + "\" as a second"};
  }
  if (options.logs.empty()) options.logs.push_back("dorvu.log");
}

Options ParseOptions(const std::vector<std::string>& args) {
  Options options;
  bool optionsEnded = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (optionsEnded || !cli::IsOption(arg)) {
      options.logs.push_back(arg);
    } else if (arg == "--") {
      optionsEnded = true;
    } else if (arg == "-h" || arg == "--help") {
      options.help = true;
    } else if (arg == "--version") {
      options.version = true;
    } else if (arg == "--summary") {
      options.summary = true;
    } else if (arg == "--support") {
      options.support = true;
    } else if (arg == "--scan") {
      options.scan = true;
    } else if (const auto prefix = OptionValue(args, i, "--output", "a PREFIX")) {
      options.prefix = *prefix;
    } else if (const auto shortPrefix = ShortOptionValue(args, i, "-o", "a PREFIX")) {
      options.prefix = *shortPrefix;
    } else if (const auto names = OptionValue(args, i, "--names", "a FILE")) {
      options.names = *names;
    } else {
      throw UsageError{"unknown option \"" + arg + "\""};
    }
  }
  CheckCombination(options);
  return options;
}

std::string DefaultPrefix(const std::string& log) {
  constexpr std::string_view kEnding = ".log";
  if (log.size() > kEnding.size() && log.ends_with(kEnding)) return log.substr(0, log.size() - kEnding.size());
  return log;
}

std::string Located(const std::string& file, const LogError& error) {
  return cli::Located(file, error.line, error.problem);
}

// The name of the directory that holds the log: the run's name in a batch.
std::string RunName(const std::string& log) {
  std::error_code error;
  const std::filesystem::path absolute = std::filesystem::absolute(log, error).lexically_normal();
  const std::string name = absolute.parent_path().filename().string();
  return name.empty() ? absolute.parent_path().string() : name;
}

// Every log is read before anything is written, and every refused log is
// named, so that one broken run among many is found in one go.
int WriteSummary(const Options& options, std::ostream& out, std::ostream& err) {
  std::string table = SummaryHeader();
  bool refused = false;
  for (const std::string& log : options.logs) {
    try {
      table += SummaryRow(ReadRunLog(log), RunName(log));
    } catch (const LogError& error) {
      err << "dorvu-view: " << Located(log, error) << "\n";
      refused = true;
    }
  }
  if (refused) return kExitFailure;
  out << table;
  return 0;
}

// False, with a message, when the names are given but cannot be used.
bool ReadNames(const Options& options, LeafNames& names, std::ostream& err) {
  if (!options.names) return true;
  try {
    names = ReadLeafNames(*options.names);
  } catch (const LogError& error) {
    err << "dorvu-view: " << Located(*options.names, error) << "\n";
    return false;
  }
  return true;
}

// Writes the files unless one would overwrite an input.
int WriteOutputs(const std::vector<cli::OutputFile>& files, const Options& options, std::ostream& err) {
  for (const cli::OutputFile& file : files) {
    const bool overwritesLog = std::any_of(options.logs.begin(), options.logs.end(),
                                           [&](const std::string& log) { return SameFile(file.path, log); });
    if (overwritesLog || (options.names && SameFile(file.path, *options.names))) {
      err << "dorvu-view: " << file.path << ": this output would overwrite an input; choose another PREFIX\n";
      return kExitFailure;
    }
  }
  const std::string problem = cli::WriteAllOrNothing(files);
  if (!problem.empty()) {
    err << "dorvu-view: " << problem << "\n";
    return kExitFailure;
  }
  return 0;
}

int MakeOutputs(const Options& options, std::ostream& err) {
  const std::string& log = options.logs.front();
  RunReport report;
  LeafNames names;
  try {
    report = ReadRunLog(log);
  } catch (const LogError& error) {
    err << "dorvu-view: " << Located(log, error) << "\n";
    return kExitFailure;
  }
  if (!ReadNames(options, names, err)) return kExitFailure;
  if (report.inputErrors > 0)
    err << "dorvu-view: " << log << ": the run logged " << Counted(report.inputErrors, "input error")
        << "; see the log\n";
  const std::string prefix = options.prefix.value_or(DefaultPrefix(log));
  return WriteOutputs({{prefix + ".svg", SvgPicture(report, names)},
                       {prefix + ".tsv", TsvTable(report, names)},
                       {prefix + ".nwk", NewickTree(names)}},
                      options, err);
}

// Reads the logs one at a time, each into the tallies through `add`, and names
// every log that is refused; false when any was.
bool TallyLogs(const std::vector<std::string>& logs, const std::function<std::vector<LogError>(const RunReport&)>& add,
               std::ostream& err) {
  bool refused = false;
  for (const std::string& log : logs) {
    try {
      for (const LogError& problem : add(ReadRunLog(log))) {
        err << "dorvu-view: " << Located(log, problem) << "\n";
        refused = true;
      }
    } catch (const LogError& error) {
      err << "dorvu-view: " << Located(log, error) << "\n";
      refused = true;
    }
  }
  return !refused;
}

void WarnOfInputErrors(std::int64_t runsWithErrors, std::int64_t runs, std::ostream& err) {
  if (runsWithErrors > 0)
    err << "dorvu-view: " << runsWithErrors << " of the " << Counted(runs, "run")
        << " logged input errors; see their logs\n";
}

int MakeSupport(const Options& options, std::ostream& err) {
  SupportTally tally;
  LeafNames names;
  const bool logsRead = TallyLogs(
      options.logs, [&](const RunReport& report) { return AddToSupport(tally, report); }, err);
  if (!ReadNames(options, names, err) || !logsRead) return kExitFailure;
  WarnOfInputErrors(tally.runsWithInputErrors, tally.runs, err);
  const std::string prefix = options.prefix.value_or("support");
  return WriteOutputs({{prefix + ".tsv", SupportTable(tally, names)}, {prefix + ".svg", SupportPicture(tally, names)}},
                      options, err);
}

int MakeScan(const Options& options, std::ostream& err) {
  ScanTally tally;
  LeafNames names;
  const bool logsRead = TallyLogs(
      options.logs, [&](const RunReport& report) { return AddToScan(tally, report); }, err);
  if (!ReadNames(options, names, err) || !logsRead) return kExitFailure;
  WarnOfInputErrors(tally.runsWithInputErrors, tally.runs, err);
  const std::string prefix = options.prefix.value_or("scan");
  return WriteOutputs({{prefix + ".tsv", ScanTable(tally)}, {prefix + ".svg", ScanPicture(tally, names)}}, options,
                      err);
}

}  // namespace

int RunDorvuView(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  Options options;
  try {
    options = ParseOptions(args);
  } catch (const UsageError& error) {
    return cli::RefuseCommandLine(kProgram, error, err);
  }
  if (cli::AnswerHelpOrVersion(kProgram, options.help, options.version, out)) return 0;
  if (options.summary) return WriteSummary(options, out, err);
  if (options.support) return MakeSupport(options, err);
  if (options.scan) return MakeScan(options, err);
  return MakeOutputs(options, err);
}

}  // namespace dorvu::view
