// The settings in the environment: an unusable value of any stops the run
// before its log exists; DORVU_THREADS and DORVU_CACHE_MB read as whole
// numbers, a cache that keeps within its bound while it grows, and a log that
// depends on neither.
#include "run/settings.h"

#include <gtest/gtest.h>

#include <bit>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

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

// Every setting of the environment that cannot be used stops the run before
// it creates its log, with a message that names the setting and its value.
TEST(Settings, UnusableValuesStopBeforeTheLogExists) {
  const struct {
    const char* variable;
    const char* rule;
    std::vector<const char*> values;
  } settings[] = {
      {"DORVU_SEED", "an unsigned 32-bit decimal number", {"abc", "-1", "4294967296", "12 ", ""}},
      {"DORVU_THREADS", "a whole number from 1 to 1024", {"0", "abc", "-1", "1025", ""}},
      {"DORVU_CACHE_MB", "a whole number of MiB from 0 to 65536", {"", "-1", "65537", "1GB", "1.5"}},
  };
  for (const auto& setting : settings)
    for (const char* value : setting.values) {
      SCOPED_TRACE(std::string(setting.variable) + "=\"" + value + "\"");
      ScratchDir dir;
      WriteFile(dir / "input.txt", ExampleInput());
      Environment environment{{"DORVU_SEED", "1"}};  // usable, unless the case sets it
      environment[setting.variable] = value;
      const auto result = test::RunProgram(dir.path(), environment);
      EXPECT_EQ(result.status, 1);
      EXPECT_EQ(result.stderrText,
                std::string("dorvu: ") + setting.variable + " must be " + setting.rule + ", not \"" + value + "\"\n");
      EXPECT_FALSE(std::filesystem::exists(dir / "dorvu.log"));
    }
}

TEST(ThreadSetting, ParsesAPositiveDecimalNumber) {
  EXPECT_EQ(ParseThreadCount("1"), 1);
  EXPECT_EQ(ParseThreadCount("16"), 16);
  EXPECT_EQ(ParseThreadCount("0016"), 16);
  EXPECT_EQ(ParseThreadCount("000001"), 1);
  EXPECT_EQ(ParseThreadCount(std::to_string(kMaxThreads)), kMaxThreads);
  for (const char* bad : {"", "0", "-2", "+2", "2 ", " 2", "2x", "0x2", "1025", "99999999999"})
    EXPECT_EQ(ParseThreadCount(bad), std::nullopt) << '"' << bad << '"';
  EXPECT_EQ(SearchThreads(3), 3);
  EXPECT_GE(SearchThreads(0), 1);
}

TEST(ThreadSetting, EveryCountWritesTheSameLog) {
  ScratchDir dir;
  WriteFile(dir / "input.txt", test::LeafInput("2", "0.1", test::Planted));
  ASSERT_EQ(RunExecutable(dir.path(), "DORVU_SEED=5 DORVU_THREADS=1").status, 0);
  const std::string one = ReadFile(dir / "dorvu.log");
  for (const char* threads : {"2", "7"}) {
    const auto result = RunExecutable(dir.path(), std::string("DORVU_SEED=5 DORVU_THREADS=") + threads);
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.stderrText, "");
    EXPECT_EQ(ReadFile(dir / "dorvu.log"), one) << threads;
  }
  ASSERT_EQ(RunExecutable(dir.path(), "DORVU_SEED=5").status, 0);  // all hardware threads
  EXPECT_EQ(ReadFile(dir / "dorvu.log"), one);
}

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
