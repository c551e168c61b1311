// dorvu's settings from the environment, each with its default and its
// limits. A value outside them is refused before the log is touched.
#pragma once

#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <optional>
#include <string>

#include "cli/environment.h"

namespace dorvu {

// The largest number of threads DORVU_THREADS takes.
inline constexpr int32_t kMaxThreads = 1024;

// The largest bound DORVU_CACHE_MB takes, 64 GiB: far more than any search
// fills, and small enough that a typing slip does not claim the machine.
inline constexpr int32_t kMaxCacheMegabytes = 65536;

// The outcome cache's bound when DORVU_CACHE_MB is not set: 1 GiB.
inline constexpr std::size_t kDefaultCacheBytes = std::size_t{1} << 30;

struct RunSettings {
  // DORVU_SEED: the noise's seed, an unsigned 32-bit decimal number. None:
  // seeded from the clock, and a noisy run shows the seed it drew.
  std::optional<uint32_t> seed;
  // DORVU_THREADS: the threads that search, 1 to kMaxThreads. 0: every
  // hardware thread the process may run on.
  int32_t threads = 0;
  // DORVU_CACHE_MB: the outcome cache's bound, 0 (no cache) to
  // kMaxCacheMegabytes MiB, here in bytes.
  std::size_t cacheBytes = kDefaultCacheBytes;
};

// Reads DORVU_SEED, DORVU_THREADS and DORVU_CACHE_MB over the defaults; an
// unusable value is reported on `err` and gives nothing.
std::optional<RunSettings> ReadRunSettings(const cli::Environment& environment, std::ostream& err);

// The readings of the three variables' texts; nothing for a text out of range.
std::optional<uint32_t> ParseSeed(const std::string& text);
std::optional<int32_t> ParseThreadCount(const std::string& text);
std::optional<std::size_t> ParseCacheBytes(const std::string& text);  // in bytes

// The threads a run searches with: `requested`, or for 0 all hardware threads
// the process may run on.
int32_t SearchThreads(int32_t requested);

// The limit to give the outcome cache's table so that the cache keeps within
// `boundBytes`. The table grows by moving into one of twice its size, so while
// it grows it takes one and a half times its size: two thirds of the bound.
// For a bound of a power of two MiB the table may grow as large as with the
// whole bound.
std::size_t CacheTableLimit(std::size_t boundBytes);

}  // namespace dorvu
