// The command line of dorvu-prep:
// dorvu-prep [--cardinality N] [--noise X] [--label KIND] [--bootstrap SEED] [-o FILE] INPUT
// dorvu-prep [--cardinality N] [--noise X] [--bootstrap SEED] [--min-quality Q] [--threads N]
//            [-o FILE] --samples SHEET
// Either with [--tree TREE [--prune]]: the records name the tips of TREE.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "cli/command_line_shape.h"
#include "prep/records.h"

namespace dorvu::prep {

struct Options {
  std::optional<std::string> input;
  std::optional<std::string> samples;
  std::optional<std::string> tree;  // the tree form: the records are matched to its tips by name
  bool prune = false;
  std::string output = "input.txt";
  std::string cardinality = "3";
  std::string noise = "0.1";
  std::string labelText = "word";
  std::optional<std::string> seedText;
  std::string minQualityText = "0";
  std::optional<std::string> threadsText;  // none given: every processor dorvu-prep may run on
  // Read from the texts above once they are checked.
  int cardinalityNumber = 3;
  LabelChoice label;
  std::uint64_t seed = 0;
  int minQuality = 0;
  int threads = 1;
  bool help = false;
  bool version = false;
};

// The name, the version and the --help text of dorvu-prep.
cli::ProgramText DorvuPrepProgramText();

// Reads and checks the arguments after the program name. Throws cli::UsageError.
Options ParseOptions(const std::vector<std::string>& args);

}  // namespace dorvu::prep
