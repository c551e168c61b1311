#include "run/program.h"

#include <cerrno>
#include <cstring>
#include <ostream>

#include "input/input_check.h"
#include "log/io_error.h"
#include "log/number_format.h"
#include "run/command_line.h"
#include "run/driver.h"
#include "run/interrupt.h"
#include "search/run_parameters.h"

namespace dorvu {

namespace {

// Answers --help or --version on standard output; a failed write is a fatal
// error.
int Answer(const CommandLine& command, std::ostream& out, std::ostream& err) {
  errno = 0;
  cli::AnswerHelpOrVersion(DorvuProgramText(), command.action == Action::kHelp, command.action == Action::kVersion,
                           out);
  out << std::flush;
  if (out) return 0;
  err << "dorvu: cannot write standard output: " << std::strerror(errno != 0 ? errno : EIO) << "\n";
  return cli::kExitFailure;
}

// The exit status of `work`; a failed file operation, a refused tree or
// names that do not match are said on standard error and end with status 1.
template <typename Work>
int StatusOf(Work work, std::ostream& err) {
  try {
    return work();
  } catch (const IoError& error) {
    err << "dorvu: " << error.message << "\n";
  } catch (const RunRefused& refused) {
    err << refused.message;
  }
  return cli::kExitFailure;
}

int CheckInput(const std::string& inputPath, const std::optional<std::string>& treePath, std::ostream& err) {
  return StatusOf(
      [&] {
        const InputCheck check =
            treePath ? CheckTreeInputFile(inputPath, *treePath, ReadTreeFile(*treePath), kMaxCardinality)
                     : CheckInputFile(inputPath, kMaxCardinality);
        err << check.report;
        return check.found ? kExitCheckFound : 0;
      },
      err);
}

// The locale that decides the decimal symbol, as the C library picks it:
// LC_ALL, then LC_NUMERIC, then LANG, the first one set and not empty.
std::string NumericLocale(const Environment& environment) {
  for (const char* name : {"LC_ALL", "LC_NUMERIC", "LANG"})
    if (const auto found = environment.find(name); found != environment.end() && !found->second.empty())
      return found->second;
  return "C";
}

int Run(const std::optional<std::string>& treePath, const Environment& environment, std::ostream& err) {
  RunSetup setup;
  setup.treePath = treePath;
  const std::optional<RunSettings> settings = ReadRunSettings(environment, err);
  if (!settings) return cli::kExitFailure;
  setup.settings = *settings;
  SetDecimalSeparator(DecimalSeparatorOfLocale(NumericLocale(environment)));
  setup.stop = &StopSignal();
  setup.messages = &err;
  return StatusOf(
      [&] {
        try {
          RunDorvu(setup);
        } catch (const RunInterrupted& stopped) {
          err << "dorvu: interrupted by " << SignalName(stopped.signal) << "; " << setup.logPath << " is incomplete\n";
          return 128 + stopped.signal;
        }
        return 0;
      },
      err);
}

}  // namespace

int RunDorvuProgram(const std::vector<std::string>& args, const Environment& environment, std::ostream& out,
                    std::ostream& err) {
  CommandLine command;
  try {
    command = ParseCommandLine(args);
  } catch (const cli::UsageError& error) {
    return cli::RefuseCommandLine(DorvuProgramText(), error, err);
  }
  switch (command.action) {
    case Action::kHelp:
    case Action::kVersion:
      return Answer(command, out, err);
    case Action::kCheck:
      return CheckInput(RunSetup().inputPath, command.treePath, err);
    case Action::kRun:
      break;
  }
  return Run(command.treePath, environment, err);
}

}  // namespace dorvu
