// dorvu: reads input.txt in the current directory, searches the few branches
// of the fixed tree on which the base composition shifts, and writes dorvu.log.
// --help, --version and --check answer without writing any file.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "run/command_line.h"
#include "run/driver.h"
#include "run/interrupt.h"
#include "log/io_error.h"
#include "log/number_format.h"

namespace {

// Writes a text to standard output; a failed write is a fatal error.
int Answer(const std::string& text) {
  if (std::fputs(text.c_str(), stdout) < 0 || std::fflush(stdout) != 0) {
    std::fprintf(stderr, "dorvu: cannot write standard output: %s\n", std::strerror(errno));
    return dorvu::ExitFatal;
  }
  return 0;
}

// Reads DORVU_SEED, DORVU_THREADS and DORVU_CACHE_MB into the setup; an
// unusable value is reported on standard error and gives false, before the
// log is touched.
bool TakeEnvironment(dorvu::RunSetup& setup) {
  if (const char* seedText = std::getenv("DORVU_SEED")) {
    setup.seed = dorvu::ParseSeed(seedText);
    if (!setup.seed) {
      std::fprintf(stderr, "dorvu: DORVU_SEED must be an unsigned 32-bit decimal number, not \"%s\"\n", seedText);
      return false;
    }
  }
  if (const char* threadsText = std::getenv("DORVU_THREADS")) {
    const std::optional<int32_t> threads = dorvu::ParseThreadCount(threadsText);
    if (!threads) {
      std::fprintf(stderr, "dorvu: DORVU_THREADS must be a whole number from 1 to %d, not \"%s\"\n",
                   static_cast<int>(dorvu::MaxThreads), threadsText);
      return false;
    }
    setup.threads = *threads;
  }
  if (const char* cacheText = std::getenv("DORVU_CACHE_MB")) {
    const std::optional<std::size_t> cacheBytes = dorvu::ParseCacheBytes(cacheText);
    if (!cacheBytes) {
      std::fprintf(stderr, "dorvu: DORVU_CACHE_MB must be a whole number of MiB from 0 to %d, not \"%s\"\n",
                   static_cast<int>(dorvu::MaxCacheMegabytes), cacheText);
      return false;
    }
    setup.cacheBytes = *cacheBytes;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  const dorvu::CommandLine command = dorvu::ParseCommandLine({argv + 1, argv + argc});
  switch (command.action) {
    case dorvu::Action::Help: return Answer(dorvu::HelpText());
    case dorvu::Action::Version: return Answer(dorvu::VersionText());
    case dorvu::Action::Usage:
      std::fputs(dorvu::UsageErrorText(command.problem).c_str(), stderr);
      return dorvu::ExitUsage;
    case dorvu::Action::Check: return dorvu::RunInputCheck(dorvu::RunSetup().inputPath);
    case dorvu::Action::Run: break;
  }
  dorvu::RunSetup setup;
  if (!TakeEnvironment(setup)) return dorvu::ExitFatal;
  dorvu::SetDecimalSeparator(dorvu::DecimalSeparatorFromEnvironment());
  dorvu::CatchStopSignals();
  setup.stop = &dorvu::StopSignal();
  try {
    dorvu::RunDorvu(setup);
  } catch (const dorvu::IoError& error) {
    std::fprintf(stderr, "dorvu: %s\n", error.message.c_str());
    return 1;
  } catch (const dorvu::RunInterrupted& stopped) {
    std::fprintf(stderr, "dorvu: interrupted by %s; %s is incomplete\n", dorvu::SignalName(stopped.signal).c_str(),
                 setup.logPath.c_str());
    return 128 + stopped.signal;
  }
  return 0;
}
