// Helpers of the dorvu-view tests: the stored logs, and the scratch
// directories and whole files that every program's tests share.
#pragma once

#include <string>

#include "support/files.h"

namespace dorvu::view::testing {

inline std::string DataPath(const std::string& name) {
  return std::string(DORVU_VIEW_TEST_DATA) + "/" + name;
}

using ScratchDirectory = dorvu::test::ScratchDir;

using dorvu::test::ReadFile;
using dorvu::test::WriteFile;

}  // namespace dorvu::view::testing
