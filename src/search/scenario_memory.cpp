#include "search/scenario_memory.h"

#include <algorithm>

#include "input/convert.h"

namespace dorvu {

namespace {

// Reads the number that starts at 0-based `position` up to the next comma;
// leaves `position` on that comma (or at the end). Parts of up to nine
// decimal digits, all that keys built from marks hold, are read directly;
// anything else goes through the general conversion, which logs a part that
// is not a decimal integer.
int32_t NextKeyNumber(const std::string& key, std::size_t& position, const RunLog& log) {
  int32_t number = 0;
  std::size_t end = position;
  while (end < key.size() && end - position < 9 && key[end] >= '0' && key[end] <= '9')
    number = number * 10 + (key[end++] - '0');
  if (end > position && (end == key.size() || key[end] == ',')) {
    position = end;
    return number;
  }
  end = key.find(',', position);
  if (end == std::string::npos) end = key.size();
  if (ConvertInteger(std::string_view(key).substr(position, end - position), number) != 0)
    WriteLogLine(log, "an error, sorry");
  position = end;
  return number;
}

bool SearchStore(const std::vector<std::string>& store, const std::string& key,
                 const RunParameters& params, const RunLog& log) {
  int32_t lo = 1;
  int32_t hi = params.mainMemoryCapacity;
  int32_t e = params.mainMemorySearchSteps;
  for (;;) {
    --e;
    const int32_t probe = lo == hi ? lo : lo + (e <= 0 ? 1 : (1 << e));
    const std::string& held = store[probe];
    if (held == key) return true;
    if (lo == hi) return false;
    // An empty position counts as coming after every key.
    if (held.empty() || CompareKeys(held, key, log) != 1)
      hi = probe - 1;
    else
      lo = probe;
  }
}

}  // namespace

void PrepareMemory(ScenarioMemory& memory, int32_t capacity) {
  memory.MainMemory.assign(static_cast<std::size_t>(capacity) + 1, std::string());
  memory.AddMemory.assign(static_cast<std::size_t>(capacity) + 1, std::string());
  memory.mainCount = 0;
  memory.addCount = 0;
}

std::string BuildKey(const MarkTable& Mark) {
  std::string key = ",";
  for (int s = 0; s < SlotCount; ++s) {
    if (Mark[s] != 1) continue;
    key += std::to_string(s);
    key += ',';
  }
  return key;
}

int32_t CompareKeys(const std::string& a, const std::string& b, const RunLog& log) {
  int32_t result = 0;
  if (a.empty() && !b.empty()) result = 1;
  if (!a.empty() && b.empty()) result = -1;
  // 0-based positions: i and j stand on the comma before the next number.
  std::size_t i = 0;
  std::size_t j = 0;
  while (i + 1 < a.size() && j + 1 < b.size()) {
    ++i;
    ++j;
    const int32_t x = NextKeyNumber(a, i, log);
    const int32_t y = NextKeyNumber(b, j, log);
    if (y > x) return 1;
    if (y < x) return -1;
    const bool aEnds = i + 1 >= a.size();
    const bool bEnds = j + 1 >= b.size();
    if (aEnds && !bEnds) return 1;
    if (!aEnds && bEnds) return -1;
    if (aEnds && bEnds) return 0;
  }
  return result;
}

bool LookUpKey(const ScenarioMemory& memory, const std::string& key, const RunParameters& params,
               const RunLog& log) {
  return SearchStore(memory.MainMemory, key, params, log) ||
         SearchStore(memory.AddMemory, key, params, log);
}

void RememberKey(ScenarioMemory& memory, const std::string& key, const RunParameters& params,
                 const RunLog& log) {
  const int32_t capacity = params.mainMemoryCapacity;
  if (memory.mainCount >= capacity) {
    WriteLogLine(log, "I want more main memory!");
  } else if (CompareKeys(memory.MainMemory[memory.mainCount], key, log) == 1) {
    memory.MainMemory[++memory.mainCount] = key;
    return;
  }
  if (memory.addCount >= capacity) {
    WriteLogLine(log, "I want more add memory!");
    return;
  }
  // The key goes after every held key that does not come after it. The
  // held keys are in ascending order, so that place is found by halving, and
  // the keys after it move up one position.
  const auto first = memory.AddMemory.begin() + 1;
  const auto last = first + memory.addCount;
  const auto place = std::upper_bound(first, last, key, [&](const std::string& k, const std::string& held) {
    return CompareKeys(held, k, log) == -1;
  });
  std::move_backward(place, last, last + 1);
  ++memory.addCount;
  const auto p = place - memory.AddMemory.begin();
  memory.AddMemory[p] = key;
}

}  // namespace dorvu
