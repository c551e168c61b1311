#include "run/program.h"

#include <cerrno>
#include <cstring>
#include <optional>
#include <ostream>

#include "log/io_error.h"
#include "log/number_format.h"
#include "run/command_line.h"
#include "run/driver.h"
#include "run/interrupt.h"

extern char** environ;

namespace dorvu {

namespace {

// Writes an answer to standard output; a failed write is a fatal error.
int Answer(const std::string& text, std::ostream& out, std::ostream& err) {
  errno = 0;
  out << text << std::flush;
  if (out) return 0;
  err << "dorvu: cannot write standard output: " << std::strerror(errno != 0 ? errno : EIO) << "\n";
  return kExitFatal;
}

const std::string* Variable(const Environment& environment, const std::string& name) {
  const auto found = environment.find(name);
  return found == environment.end() ? nullptr : &found->second;
}

// Reads DORVU_SEED, DORVU_THREADS and DORVU_CACHE_MB into the setup; an
// unusable value is reported and gives false, before the log is touched.
bool TakeSettings(const Environment& environment, RunSetup& setup, std::ostream& err) {
  if (const std::string* text = Variable(environment, "DORVU_SEED")) {
    setup.seed = ParseSeed(*text);
    if (!setup.seed) {
      err << "dorvu: DORVU_SEED must be an unsigned 32-bit decimal number, not \"" << *text << "\"\n";
      return false;
    }
  }
  if (const std::string* text = Variable(environment, "DORVU_THREADS")) {
    const std::optional<int32_t> threads = ParseThreadCount(*text);
    if (!threads) {
      err << "dorvu: DORVU_THREADS must be a whole number from 1 to " << kMaxThreads << ", not \"" << *text << "\"\n";
      return false;
    }
    setup.threads = *threads;
  }
  if (const std::string* text = Variable(environment, "DORVU_CACHE_MB")) {
    const std::optional<std::size_t> cacheBytes = ParseCacheBytes(*text);
    if (!cacheBytes) {
      err << "dorvu: DORVU_CACHE_MB must be a whole number of MiB from 0 to " << kMaxCacheMegabytes << ", not \""
          << *text << "\"\n";
      return false;
    }
    setup.cacheBytes = *cacheBytes;
  }
  return true;
}

// The locale that decides the decimal symbol, as the C library picks it:
// LC_ALL, then LC_NUMERIC, then LANG, the first one set and not empty.
std::string NumericLocale(const Environment& environment) {
  for (const char* name : {"LC_ALL", "LC_NUMERIC", "LANG"})
    if (const std::string* value = Variable(environment, name); value && !value->empty()) return *value;
  return "C";
}

int Run(const Environment& environment, std::ostream& err) {
  RunSetup setup;
  if (!TakeSettings(environment, setup, err)) return kExitFatal;
  SetDecimalSeparator(DecimalSeparatorOfLocale(NumericLocale(environment)));
  setup.stop = &StopSignal();
  setup.messages = &err;
  try {
    RunDorvu(setup);
  } catch (const IoError& error) {
    err << "dorvu: " << error.message << "\n";
    return kExitFatal;
  } catch (const RunInterrupted& stopped) {
    err << "dorvu: interrupted by " << SignalName(stopped.signal) << "; " << setup.logPath << " is incomplete\n";
    return 128 + stopped.signal;
  }
  return 0;
}

}  // namespace

Environment ProcessEnvironment() {
  Environment environment;
  for (char** entry = environ; entry && *entry; ++entry) {
    const std::string text(*entry);
    const std::size_t equals = text.find('=');
    if (equals != std::string::npos) environment.emplace(text.substr(0, equals), text.substr(equals + 1));
  }
  return environment;
}

int RunDorvuProgram(const std::vector<std::string>& args, const Environment& environment, std::ostream& out,
                    std::ostream& err) {
  const CommandLine command = ParseCommandLine(args);
  switch (command.action) {
    case Action::kHelp:
      return Answer(HelpText(), out, err);
    case Action::kVersion:
      return Answer(VersionText(), out, err);
    case Action::kUsage:
      err << UsageErrorText(command.problem);
      return kExitUsage;
    case Action::kCheck:
      return RunInputCheck(RunSetup().inputPath, err);
    case Action::kRun:
      break;
  }
  return Run(environment, err);
}

}  // namespace dorvu
