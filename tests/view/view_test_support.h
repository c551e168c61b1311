// Helpers of the dorvu-view tests: the stored logs, and the scratch
// directories and whole files that every program's tests share.
#pragma once

#include <sstream>
#include <string>
#include <vector>

#include "support/files.h"
#include "view/command_line.h"

namespace dorvu::view::testing {

inline std::string DataPath(const std::string& name) {
  return std::string(DORVU_VIEW_TEST_DATA) + "/" + name;
}

using ScratchDirectory = dorvu::test::ScratchDir;

using dorvu::test::ReadFile;

// What dorvu-view answered: its exit status and its two streams.
struct Outcome {
  int status;
  std::string out;
  std::string err;
};

inline Outcome RunView(const std::vector<std::string>& args) {
  std::ostringstream out, err;
  const int status = RunDorvuView(args, out, err);
  return {status, out.str(), err.str()};
}
using dorvu::test::WriteFile;

}  // namespace dorvu::view::testing
