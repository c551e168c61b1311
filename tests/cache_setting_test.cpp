// DORVU_CACHE_MB: the bound of the outcome cache, read like DORVU_THREADS, a
// cache that keeps within it while it grows, and a log that does not depend
// on it. Unusable values are refused with the other settings'
// (command_line_test.cpp).
#include <gtest/gtest.h>

#include <bit>
#include <filesystem>
#include <optional>
#include <string>

#include "run/driver.h"
#include "search/evaluate/outcome_cache.h"
#include "support/inputs.h"
#include "support/processes.h"
#include "support/trees.h"

namespace dorvu {
namespace {

using test::ExampleInput;
using test::ReadFile;
using test::RunExecutable;
using test::ScratchDir;
using test::WriteFile;

constexpr std::size_t kMiB = std::size_t{1} << 20;

TEST(CacheSetting, ReadsWholeMebibytesUpToTheMaximum) {
  const struct {
    const char* text;
    std::optional<std::size_t> bytes;
  } cases[] = {
      {"0", 0},
      {"1", kMiB},
      {"1024", kDefaultCacheBytes},
      {"0064", 64 * kMiB},
      {"65536", std::size_t{65536} * kMiB},
      {"65537", std::nullopt},
      {"99999999999999999999", std::nullopt},
      {"", std::nullopt},
      {"-1", std::nullopt},
      {"+5", std::nullopt},
      {" 5", std::nullopt},
      {"5 ", std::nullopt},
      {"1.5", std::nullopt},
      {"1G", std::nullopt},
      {"0x10", std::nullopt},
  };
  for (const auto& c : cases) EXPECT_EQ(ParseCacheBytes(c.text), c.bytes) << '"' << c.text << '"';
}

// A cache filled with distinct sets of three marks until it takes no more;
// its table's size in bytes.
std::size_t FullTableBytes(std::size_t limitBytes) {
  OutcomeCache cache(limitBytes);
  const ScenarioOutcome outcome;
  for (int32_t a = 1; a < kSlotCount; ++a)
    for (int32_t b = a + 1; b < kSlotCount; ++b)
      for (int32_t c = b + 1; c < kSlotCount; ++c) {
        const int64_t before = cache.Size();
        cache.Insert(WithSlot(WithSlot(test::KeyOf({a}), b), c), outcome);
        if (cache.Size() == before) return cache.Bytes();
      }
  ADD_FAILURE() << "the cache of " << limitBytes << " bytes never filled";
  return cache.Bytes();
}

// While the table grows it holds its old half and its new whole: one and a
// half times its final size must fit the bound. At a power of two MiB the
// table is as large as with the whole bound.
TEST(CacheSetting, TheCacheKeepsWithinTheBoundWhileItGrows) {
  for (const std::size_t megabytes : {1, 3, 5, 6, 8, 11}) {
    const std::size_t bound = megabytes * kMiB;
    const std::size_t table = FullTableBytes(CacheTableLimit(bound));
    EXPECT_LE(table / 2 * 3, bound) << megabytes << " MiB";
    EXPECT_GT(table * 3, bound) << megabytes << " MiB: more than a third of the bound is used";
    if (std::has_single_bit(megabytes)) {
      EXPECT_EQ(table, FullTableBytes(bound)) << megabytes << " MiB";
    }
  }
}

// No cache, the smallest one and the default one write the same log.
TEST(CacheSetting, EveryBoundWritesTheSameLog) {
  ScratchDir dir;
  WriteFile(dir / "input.txt", ExampleInput());
  ASSERT_EQ(RunExecutable(dir.path(), "DORVU_SEED=12345").status, 0);
  const std::string standard = ReadFile(dir / "dorvu.log");
  ASSERT_NE(standard.find("the best scenario:"), std::string::npos);
  for (const char* megabytes : {"0", "1", "1024"}) {
    const auto result = RunExecutable(dir.path(), std::string("DORVU_SEED=12345 DORVU_CACHE_MB=") + megabytes);
    EXPECT_EQ(result.status, 0) << megabytes;
    EXPECT_EQ(result.stderrText, "") << megabytes;
    EXPECT_EQ(ReadFile(dir / "dorvu.log"), standard) << megabytes;
  }
}

}  // namespace
}  // namespace dorvu
