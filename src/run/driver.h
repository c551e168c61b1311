// The whole run: log, parameters, tree, input, echo, noise, search, report.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace dorvu {

struct RunSetup {
  std::string inputPath = "input.txt";
  std::string logPath = "dorvu.log";
  std::optional<uint32_t> seed;  // none: seeded from the clock
};

// Runs to the end; a failed file operation throws IoError.
void RunDorvu(const RunSetup& setup);

// Reads a seed from the text of DORVU_SEED: an unsigned 32-bit decimal number.
std::optional<uint32_t> ParseSeed(const std::string& text);

}  // namespace dorvu
