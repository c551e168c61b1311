// Scenario keys and the memory of the scenarios already evaluated.
//
// A key is the set of marked slots as the ascending list of their numbers.
// Keys are ordered as lists of numbers: compared number by number, and a
// list that begins a longer one comes first. The memory keeps keys in two
// sorted stores of fixed capacity: the main store only ever appends, the add
// store takes every other key by insertion, while each has room.
#pragma once

#include <array>
#include <bit>
#include <compare>
#include <cstdint>
#include <cstring>
#include <vector>

#include "search/run_parameters.h"
#include "tree/tree.h"

namespace dorvu {

inline constexpr int kMaxMarks = kLevelCount + 1;  // the root and one mark per level

// A set of marks. Slot numbers fit a byte; the positions after the last
// slot hold 0, which no slot after the root's first place can be, so that
// comparing the arrays compares the lists with a prefix first.
struct ScenarioKey {
  std::array<uint8_t, 23> slot{};  // the marked slots in ascending order, then zeros
  uint8_t count = 0;               // how many; 0 only for an empty store position

  // The order of the bytes, slots first and the count last, compared as
  // three big-endian words.
  friend std::strong_ordering operator<=>(const ScenarioKey& a, const ScenarioKey& b) {
    uint64_t x[3], y[3];
    std::memcpy(x, &a, sizeof x);
    std::memcpy(y, &b, sizeof y);
    for (int w = 0; w < 3; ++w)
      if (x[w] != y[w]) return __builtin_bswap64(x[w]) <=> __builtin_bswap64(y[w]);
    return std::strong_ordering::equal;
  }
  friend bool operator==(const ScenarioKey& a, const ScenarioKey& b) { return std::memcmp(&a, &b, sizeof a) == 0; }
};
static_assert(sizeof(ScenarioKey) == 24 && kMaxMarks <= 23);
static_assert(std::endian::native == std::endian::little);

// A hash of the whole key, for tables keyed by marks.
struct ScenarioKeyHash {
  std::size_t operator()(const ScenarioKey& key) const {
    uint64_t words[3];
    static_assert(sizeof words == sizeof key);
    std::memcpy(words, &key, sizeof key);
    uint64_t h = 0x9e3779b97f4a7c15ull;
    for (const uint64_t word : words) h = (h ^ word) * 0xff51afd7ed558ccdull;
    return static_cast<std::size_t>(h ^ (h >> 32));
  }
};

ScenarioKey RootKey();

// The key with one more slot, in its place; the slot must not be in it.
ScenarioKey WithSlot(const ScenarioKey& key, int32_t slot);

// The key without a slot that is in it.
ScenarioKey WithoutSlot(const ScenarioKey& key, int32_t slot);

// The key of every slot whose mark is 1, and back.
ScenarioKey KeyOfMarks(const MarkTable& mark);
MarkTable MarksOfKey(const ScenarioKey& key);

struct ScenarioMemory {
  std::vector<ScenarioKey> mainMemory;  // positions 1..mainCount, ascending; only appended to
  std::vector<ScenarioKey> addMemory;   // positions 1..addCount, ascending; takes the others
  int32_t mainCount = 0;
  int32_t addCount = 0;
  int32_t capacity = 0;     // keys each store holds
  int32_t searchSteps = 0;  // 2^searchSteps = capacity
};

// Both stores empty, with positions 0 to the capacity.
void PrepareMemory(ScenarioMemory& memory, const RunParameters& params);

// Whether either store holds the key.
bool LookUpKey(const ScenarioMemory& memory, const ScenarioKey& key);

// What storing a new key came to: where it went, and the stores that were
// full (each full store asks for more memory in the log).
struct RememberOutcome {
  bool stored = false;
  bool mainFull = false;
  bool addFull = false;
};

// Stores a key that LookUpKey did not find.
RememberOutcome RememberKey(ScenarioMemory& memory, const ScenarioKey& key);

}  // namespace dorvu
