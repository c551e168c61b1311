#include "view/program.h"

#include <algorithm>
#include <filesystem>
#include <functional>
#include <ostream>
#include <system_error>

#include "cli/command_line_shape.h"
#include "cli/name_list.h"
#include "cli/output_files.h"
#include "view/command_line.h"
#include "view/leaf_names.h"
#include "view/report_writers.h"
#include "view/run_report.h"
#include "view/run_tallies.h"

namespace dorvu::view {

namespace {

std::string DefaultPrefix(const std::string& log) {
  constexpr std::string_view kEnding = ".log";
  if (log.size() > kEnding.size() && log.ends_with(kEnding)) return log.substr(0, log.size() - kEnding.size());
  return log;
}

// The name of the directory that holds the log: the run's name in a batch.
std::string RunName(const std::string& log) {
  std::error_code error;
  const std::filesystem::path absolute = std::filesystem::absolute(log, error).lexically_normal();
  const std::string name = absolute.parent_path().filename().string();
  return name.empty() ? absolute.parent_path().string() : name;
}

// Reads the logs one at a time into `take` and names every log refused, by
// the reading or by `take`; false when any was. All are read before anything
// is written, so that one broken run among many is found in one go.
bool ReadLogs(const std::vector<std::string>& logs,
              const std::function<std::vector<cli::LocatedError>(const RunReport&)>& take, std::ostream& err) {
  bool refused = false;
  for (const std::string& log : logs) {
    std::vector<cli::LocatedError> problems;
    try {
      problems = take(ReadRunLog(log));
    } catch (const cli::LocatedError& error) {
      problems.push_back(error);
    }
    for (const cli::LocatedError& problem : problems) err << "dorvu-view: " << cli::Located(log, problem) << "\n";
    refused = refused || !problems.empty();
  }
  return !refused;
}

int WriteSummary(const Options& options, std::ostream& out, std::ostream& err) {
  std::string table = SummaryHeader();
  const auto addRow = [&](const RunReport& report) {
    table += SummaryRow(report, RunName(report.logName));
    return std::vector<cli::LocatedError>{};
  };
  if (!ReadLogs(options.logs, addRow, err)) return cli::kExitFailure;
  out << table;
  return 0;
}

// False, with a message, when the names are given but cannot be used.
bool ReadNames(const Options& options, LeafNames& names, std::ostream& err) {
  if (!options.names) return true;
  try {
    names = ReadLeafNames(*options.names);
  } catch (const cli::LocatedError& error) {
    err << "dorvu-view: " << cli::Located(*options.names, error) << "\n";
    return false;
  }
  return true;
}

// Writes the files unless one would overwrite an input.
int WriteOutputs(const std::vector<cli::OutputFile>& files, const Options& options, std::ostream& err) {
  for (const cli::OutputFile& file : files) {
    const bool overwritesLog = std::any_of(options.logs.begin(), options.logs.end(),
                                           [&](const std::string& log) { return cli::SameFile(file.path, log); });
    if (overwritesLog || (options.names && cli::SameFile(file.path, *options.names))) {
      err << "dorvu-view: " << file.path << ": this output would overwrite an input; choose another PREFIX\n";
      return cli::kExitFailure;
    }
  }
  const std::string problem = cli::WriteAllOrNothing(files);
  if (!problem.empty()) {
    err << "dorvu-view: " << problem << "\n";
    return cli::kExitFailure;
  }
  return 0;
}

// A log of a tree of one's own names its tips itself.
bool RefuseNamesForOwnTree(const Options& options, std::ostream& err) {
  if (!options.names) return false;
  err << "dorvu-view: --names is for logs of the fixed tree; a log of a tree of its own (dorvu --tree) names its "
         "tips itself\n";
  return true;
}

// The files are still written: the vertex table and the NEXUS tree tell the
// two vertices of such a name apart.
void WarnOfTipsNamedAsInternalVertices(const OwnTree& tree, const std::string& log, std::ostream& err) {
  const std::vector<std::string> tips = TipsNamedAsInternalVertices(tree);
  if (tips.empty()) return;
  err << "dorvu-view: " << log
      << ": tips named as internal vertices: " << cli::NameList(tips, [](const std::string& name) { return name; })
      << "; in the .nwk and .itol files such a name stands for both (the .tsv and .nex tell them apart)\n";
}

int MakeOutputs(const Options& options, std::ostream& err) {
  const std::string& log = options.logs.front();
  RunReport report;
  LeafNames names;
  const auto keep = [&](const RunReport& read) {
    report = read;
    return std::vector<cli::LocatedError>{};
  };
  if (!ReadLogs(options.logs, keep, err) || !ReadNames(options, names, err)) return cli::kExitFailure;
  if (report.inputErrors > 0)
    err << "dorvu-view: " << log << ": the run logged " << Counted(report.inputErrors, "input error")
        << "; see the log\n";
  const std::string prefix = options.prefix.value_or(DefaultPrefix(log));
  if (report.tree) {
    if (RefuseNamesForOwnTree(options, err)) return cli::kExitFailure;
    WarnOfTipsNamedAsInternalVertices(*report.tree, log, err);
    return WriteOutputs({{prefix + ".svg", SvgPicture(report)},
                         {prefix + ".tsv", OwnTsvTable(report)},
                         {prefix + ".nwk", OwnNewickTree(*report.tree)},
                         {prefix + ".nex", NexusTree(report)},
                         {prefix + ".itol.branches.txt", ItolBranches(report)},
                         {prefix + ".itol.bases.txt", ItolBases(report)}},
                        options, err);
  }
  return WriteOutputs({{prefix + ".svg", SvgPicture(report, names)},
                       {prefix + ".tsv", TsvTable(report, names)},
                       {prefix + ".nwk", NewickTree(names)}},
                      options, err);
}

void WarnOfInputErrors(std::int64_t runsWithErrors, std::int64_t runs, std::ostream& err) {
  if (runsWithErrors > 0)
    err << "dorvu-view: " << runsWithErrors << " of the " << Counted(runs, "run")
        << " logged input errors; see their logs\n";
}

int MakeSupport(const Options& options, std::ostream& err) {
  SupportTally tally;
  LeafNames names;
  const bool logsRead = ReadLogs(
      options.logs, [&](const RunReport& report) { return AddToSupport(tally, report); }, err);
  if (!ReadNames(options, names, err) || !logsRead) return cli::kExitFailure;
  WarnOfInputErrors(tally.runsWithInputErrors, tally.runs, err);
  if (tally.tree && RefuseNamesForOwnTree(options, err)) return cli::kExitFailure;
  const std::string prefix = options.prefix.value_or("support");
  std::vector<cli::OutputFile> files{{prefix + ".tsv", SupportTable(tally, names)},
                                     {prefix + ".svg", SupportPicture(tally, names)}};
  if (tally.tree) files.push_back({prefix + ".itol.support.txt", ItolSupport(tally)});
  return WriteOutputs(files, options, err);
}

int MakeScan(const Options& options, std::ostream& err) {
  ScanTally tally;
  LeafNames names;
  const bool logsRead = ReadLogs(
      options.logs, [&](const RunReport& report) { return AddToScan(tally, report); }, err);
  if (!ReadNames(options, names, err) || !logsRead) return cli::kExitFailure;
  WarnOfInputErrors(tally.runsWithInputErrors, tally.runs, err);
  if (tally.tree && RefuseNamesForOwnTree(options, err)) return cli::kExitFailure;
  const std::string prefix = options.prefix.value_or("scan");
  return WriteOutputs({{prefix + ".tsv", ScanTable(tally)}, {prefix + ".svg", ScanPicture(tally, names)}}, options,
                      err);
}

}  // namespace

int RunDorvuViewProgram(const std::vector<std::string>& args, const cli::Environment& /*environment*/,
                        std::ostream& out, std::ostream& err) {
  Options options;
  try {
    options = ParseOptions(args);
  } catch (const cli::UsageError& error) {
    return cli::RefuseCommandLine(DorvuViewProgramText(), error, err);
  }
  if (cli::AnswerHelpOrVersion(DorvuViewProgramText(), options.help, options.version, out)) return 0;
  if (options.summary) return WriteSummary(options, out, err);
  if (options.support) return MakeSupport(options, err);
  if (options.scan) return MakeScan(options, err);
  return MakeOutputs(options, err);
}

}  // namespace dorvu::view
