// What a run and "dorvu --check" say about the findings of the input.
#pragma once

#include <string>
#include <vector>

#include "input/input_reader.h"

namespace dorvu {

// The warnings a run prints on standard error: one line per finding the log
// does not hold, then the number of problems it does hold.
std::string RunWarnings(const std::vector<InputFinding>& findings, const std::string& inputPath,
                        const std::string& logPath);

}  // namespace dorvu
