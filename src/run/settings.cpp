#include "run/settings.h"

#include <sched.h>

#include <algorithm>
#include <ostream>
#include <thread>

namespace dorvu {

namespace {

const std::string* Variable(const cli::Environment& environment, const std::string& name) {
  const auto found = environment.find(name);
  return found == environment.end() ? nullptr : &found->second;
}

// A whole decimal number of at most `limit`; nothing for an empty text, any
// other character or a larger value.
std::optional<uint64_t> DecimalUpTo(const std::string& text, uint64_t limit) {
  if (text.empty()) return std::nullopt;
  uint64_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + static_cast<uint64_t>(c - '0');
    if (value > limit) return std::nullopt;
  }
  return value;
}

}  // namespace

std::optional<uint32_t> ParseSeed(const std::string& text) {
  if (text.size() > 10) return std::nullopt;  // more digits than any 32-bit number, as always refused
  const auto value = DecimalUpTo(text, UINT32_MAX);
  if (!value) return std::nullopt;
  return static_cast<uint32_t>(*value);
}

std::optional<int32_t> ParseThreadCount(const std::string& text) {
  const auto value = DecimalUpTo(text, kMaxThreads);
  if (!value || *value < 1) return std::nullopt;
  return static_cast<int32_t>(*value);
}

std::optional<std::size_t> ParseCacheBytes(const std::string& text) {
  const auto megabytes = DecimalUpTo(text, kMaxCacheMegabytes);
  if (!megabytes) return std::nullopt;
  return static_cast<std::size_t>(*megabytes) << 20;
}

std::optional<RunSettings> ReadRunSettings(const cli::Environment& environment, std::ostream& err) {
  RunSettings settings;
  if (const std::string* text = Variable(environment, "DORVU_SEED")) {
    settings.seed = ParseSeed(*text);
    if (!settings.seed) {
      err << "dorvu: DORVU_SEED must be an unsigned 32-bit decimal number, not \"" << *text << "\"\n";
      return std::nullopt;
    }
  }
  if (const std::string* text = Variable(environment, "DORVU_THREADS")) {
    const std::optional<int32_t> threads = ParseThreadCount(*text);
    if (!threads) {
      err << "dorvu: DORVU_THREADS must be a whole number from 1 to " << kMaxThreads << ", not \"" << *text << "\"\n";
      return std::nullopt;
    }
    settings.threads = *threads;
  }
  if (const std::string* text = Variable(environment, "DORVU_CACHE_MB")) {
    const std::optional<std::size_t> cacheBytes = ParseCacheBytes(*text);
    if (!cacheBytes) {
      err << "dorvu: DORVU_CACHE_MB must be a whole number of MiB from 0 to " << kMaxCacheMegabytes << ", not \""
          << *text << "\"\n";
      return std::nullopt;
    }
    settings.cacheBytes = *cacheBytes;
  }
  return settings;
}

int32_t SearchThreads(int32_t requested) {
  if (requested > 0) return requested;
  // The hardware threads this process may run on (what `nproc` counts), so
  // that a run confined to a few processors does not crowd them.
  cpu_set_t allowed;
  if (sched_getaffinity(0, sizeof allowed, &allowed) == 0 && CPU_COUNT(&allowed) > 0)
    return std::min<int32_t>(CPU_COUNT(&allowed), kMaxThreads);
  return std::clamp<int32_t>(static_cast<int32_t>(std::thread::hardware_concurrency()), 1, kMaxThreads);
}

std::size_t CacheTableLimit(std::size_t boundBytes) { return boundBytes / 3 * 2; }

}  // namespace dorvu
