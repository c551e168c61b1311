// dorvu: reads input.txt in the current directory, searches the few branches
// of the fixed tree on which the base composition shifts, and writes dorvu.log.
// Command-line arguments are ignored.
#include <cstdio>
#include <cstdlib>

#include "run/driver.h"
#include "log/io_error.h"
#include "log/number_format.h"

int main() {
  dorvu::RunSetup setup;
  if (const char* seedText = std::getenv("DORVU_SEED")) {
    setup.seed = dorvu::ParseSeed(seedText);
    if (!setup.seed) {
      std::fprintf(stderr, "dorvu: DORVU_SEED must be an unsigned 32-bit decimal number, not \"%s\"\n",
                   seedText);
      return 1;
    }
  }
  if (const char* threadsText = std::getenv("DORVU_THREADS")) {
    const std::optional<int32_t> threads = dorvu::ParseThreadCount(threadsText);
    if (!threads) {
      std::fprintf(stderr, "dorvu: DORVU_THREADS must be a whole number from 1 to %d, not \"%s\"\n",
                   static_cast<int>(dorvu::MaxThreads), threadsText);
      return 1;
    }
    setup.threads = *threads;
  }
  dorvu::SetDecimalSeparator(dorvu::DecimalSeparatorFromEnvironment());
  try {
    dorvu::RunDorvu(setup);
  } catch (const dorvu::IoError& error) {
    std::fprintf(stderr, "dorvu: %s\n", error.message.c_str());
    return 1;
  }
  return 0;
}
