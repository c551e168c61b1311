// dorvu-view run in this process, and the stored logs its tests read.
#pragma once

#include <sstream>
#include <string>
#include <vector>

#include "support/processes.h"
#include "view/command_line.h"

namespace dorvu::test {

// A log kept with the view's tests.
inline std::string ViewDataPath(const std::string& name) { return std::string(DORVU_VIEW_TEST_DATA) + "/" + name; }

inline ProcessResult RunView(const std::vector<std::string>& args) {
  std::ostringstream out, err;
  ProcessResult result;
  result.status = view::RunDorvuView(args, out, err);
  result.stdoutText = out.str();
  result.stderrText = err.str();
  return result;
}

}  // namespace dorvu::test
