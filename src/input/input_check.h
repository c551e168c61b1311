// What a run and "dorvu --check" say about the input on standard error.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "input/input_reader.h"

namespace dorvu {

// The warnings a run prints on standard error: one line per finding the log
// does not hold, then the number of problems it does hold.
std::string RunWarnings(const std::vector<InputFinding>& findings, const std::string& inputPath,
                        const std::string& logPath);

// What "dorvu --check" says of an input file: every finding, or that there is
// none, as lines for standard error.
struct InputCheck {
  std::string report;
  bool found = false;  // a problem or a likely mistake
};

// Reads the input as a run would, and writes nothing; a file that cannot be
// read throws IoError.
InputCheck CheckInputFile(const std::string& inputPath, int32_t maxCardinality);

// The same for an input for a tree: first what the tree holds (its tips, its
// internal vertices, those with more than two children and those with one),
// then the input's findings, then the names that do not match.
InputCheck CheckTreeInputFile(const std::string& inputPath, const std::string& treePath, const NewickTree& shape,
                              int32_t maxCardinality);

// The line that tells which seed a noisy run drew, in a form to paste.
std::string SeedNotice(uint32_t seed);

}  // namespace dorvu
