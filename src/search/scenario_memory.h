// Scenario keys and the memory of the scenarios already evaluated.
//
// A key is the set of marked slots as the ascending list of their numbers.
// Keys are ordered as lists of numbers: compared number by number, and a
// list that begins a longer one comes first. The memory keeps keys in two
// sorted stores of fixed capacity: the main store only ever appends, the add
// store takes every other key by insertion, while each has room.
#pragma once

#include <array>
#include <compare>
#include <cstdint>
#include <vector>

#include "search/run_parameters.h"
#include "tree/tree.h"

namespace dorvu {

inline constexpr int kMaxMarks = kLevelCount + 1;  // the root and one mark per level

// A set of marks. The positions after the last slot hold 0, which no slot
// after the root's first place can be, so that comparing the arrays compares
// the lists with a prefix first.
struct ScenarioKey {
  std::array<int32_t, kMaxMarks> slot{};  // the marked slots in ascending order, then zeros
  int32_t count = 0;                      // how many; 0 only for an empty store position

  friend std::strong_ordering operator<=>(const ScenarioKey& a, const ScenarioKey& b) = default;
  friend bool operator==(const ScenarioKey& a, const ScenarioKey& b) = default;
};

// A hash of the whole key, for tables keyed by marks.
struct ScenarioKeyHash {
  std::size_t operator()(const ScenarioKey& key) const {
    uint64_t h = 0x9e3779b97f4a7c15ull;
    for (int p = 0; p < key.count; ++p) h = (h ^ static_cast<uint32_t>(key.slot[p])) * 0xff51afd7ed558ccdull;
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
MarkTable MarksOfKey(const ScenarioKey& key, int32_t slotCount);

struct ScenarioMemory {
  std::vector<ScenarioKey> mainMemory;  // positions 1..mainCount, ascending; only appended to (0 empty)
  std::vector<ScenarioKey> addMemory;   // positions 1..addCount, ascending; takes the others (0 empty)
  int32_t mainCount = 0;
  int32_t addCount = 0;
  int32_t capacity = 0;     // keys each store holds
  int32_t searchSteps = 0;  // 2^searchSteps = capacity
};

// Both stores empty: only their empty position 0 is stored.
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
