// Memory of the scenarios already evaluated: each set of marks is kept as its
// key text in one of two sorted stores of fixed capacity.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "run/run_log.h"
#include "run/run_parameters.h"
#include "tree/tree.h"

namespace dorvu {

struct ScenarioMemory {
  std::vector<std::string> MainMemory;  // positions 1..mainCount, ascending; only appended to
  std::vector<std::string> AddMemory;   // positions 1..addCount, ascending; takes the others
  int32_t mainCount = 0;
  int32_t addCount = 0;
};

// Sets up both stores in full, with positions 0 to the capacity.
void PrepareMemory(ScenarioMemory& memory, int32_t capacity);

// "," followed by every marked slot in ascending order, each with a ",".
std::string BuildKey(const MarkTable& Mark);

// 1 when a comes before b, -1 when after, 0 when the same. Keys are compared
// as lists of numbers; a list that begins a longer one comes first; the empty
// text comes before every key. A part that is not a decimal integer is logged.
int32_t CompareKeys(const std::string& a, const std::string& b, const RunLog& log);

// Looks the key up in the main store, then in the add store.
bool LookUpKey(const ScenarioMemory& memory, const std::string& key, const RunParameters& params,
               const RunLog& log);

// Stores a key not found before; logs when the stores are full.
void RememberKey(ScenarioMemory& memory, const std::string& key, const RunParameters& params,
                 const RunLog& log);

}  // namespace dorvu
