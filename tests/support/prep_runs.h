// dorvu-prep run in-process for its tests: the exit status and both streams.
#pragma once

#include <sstream>
#include <string>
#include <vector>

#include "prep/program.h"

namespace dorvu::test {

struct PrepOutcome {
  int status;
  std::string out;
  std::string err;
};

inline PrepOutcome RunPrep(const std::vector<std::string>& args) {
  std::ostringstream out, err;
  const int status = prep::RunDorvuPrepProgram(args, {}, out, err);
  return {status, out.str(), err.str()};
}

}  // namespace dorvu::test
