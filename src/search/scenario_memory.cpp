#include "search/scenario_memory.h"

#include <algorithm>
#include <bit>

namespace dorvu {

namespace {

// A lookup over all positions 1 to the capacity, not only the filled ones:
// an empty position counts as coming after every key. It probes at distances
// 2^(steps-1), ..., 2, 1 above the lower end and then once where the two ends
// meet. Positions after the last key held are empty and not stored.
bool SearchStore(const std::vector<ScenarioKey>& store, const ScenarioKey& key, const ScenarioMemory& memory) {
  const auto held = static_cast<int32_t>(store.size()) - 1;  // keys held, at positions 1 to held
  int32_t lo = 1;
  int32_t hi = memory.capacity;
  int32_t e = memory.searchSteps;
  for (;;) {
    --e;
    const int32_t probe = lo == hi ? lo : lo + (e <= 0 ? 1 : (1 << e));
    const bool empty = probe > held;
    if (!empty && store[probe] == key) return true;
    if (lo == hi) return false;
    if (empty || key < store[probe])
      hi = probe - 1;
    else
      lo = probe;
  }
}

}  // namespace

ScenarioKey RootKey() {
  ScenarioKey key;
  key.count = 1;
  return key;
}

ScenarioKey WithSlot(const ScenarioKey& key, int32_t slot) {
  ScenarioKey result = key;
  int p = key.count;
  while (p > 0 && result.slot[p - 1] > slot) {
    result.slot[p] = result.slot[p - 1];
    --p;
  }
  result.slot[p] = slot;
  ++result.count;
  return result;
}

ScenarioKey WithoutSlot(const ScenarioKey& key, int32_t slot) {
  ScenarioKey result = key;
  int p = 0;
  while (result.slot[p] != slot) ++p;
  for (; p + 1 < key.count; ++p) result.slot[p] = result.slot[p + 1];
  result.slot[p] = 0;
  --result.count;
  return result;
}

ScenarioKey KeyOfMarks(const MarkTable& mark) {
  ScenarioKey key;
  for (int32_t s = 0; s < static_cast<int32_t>(mark.size()); ++s)
    if (mark[s] == 1) key.slot[key.count++] = s;
  return key;
}

MarkTable MarksOfKey(const ScenarioKey& key, int32_t slotCount) {
  MarkTable mark(slotCount, 0);
  for (int p = 0; p < key.count; ++p) mark[key.slot[p]] = 1;
  return mark;
}

void PrepareMemory(ScenarioMemory& memory, const RunParameters& params) {
  memory.capacity = params.mainMemoryCapacity;
  // The lookup halves the store's range this many times: 2^searchSteps = capacity.
  memory.searchSteps = std::bit_width(static_cast<uint32_t>(memory.capacity)) - 1;
  // Position 0 stays empty; the stores grow as keys come.
  memory.mainMemory.assign(1, ScenarioKey{});
  memory.addMemory.assign(1, ScenarioKey{});
  memory.mainCount = 0;
  memory.addCount = 0;
}

bool LookUpKey(const ScenarioMemory& memory, const ScenarioKey& key) {
  return SearchStore(memory.mainMemory, key, memory) || SearchStore(memory.addMemory, key, memory);
}

RememberOutcome RememberKey(ScenarioMemory& memory, const ScenarioKey& key) {
  RememberOutcome outcome;
  if (memory.mainCount >= memory.capacity) {
    outcome.mainFull = true;
  } else if (memory.mainCount == 0 || memory.mainMemory[memory.mainCount] < key) {
    memory.mainMemory.push_back(key);
    ++memory.mainCount;
    outcome.stored = true;
    return outcome;
  }
  if (memory.addCount >= memory.capacity) {
    outcome.addFull = true;
    return outcome;
  }
  // The key goes after every held key that does not come after it: the held
  // keys are in ascending order, so that place is found by halving, and the
  // keys after it move up one position.
  const auto place = std::upper_bound(memory.addMemory.begin() + 1, memory.addMemory.end(), key);
  memory.addMemory.insert(place, key);
  ++memory.addCount;
  outcome.stored = true;
  return outcome;
}

}  // namespace dorvu
