// The version of dorvu, dorvu-view and dorvu-prep: the project's version as
// the build sets it, "unknown" in a build that does not.
#pragma once

#include <string_view>

namespace dorvu::cli {

std::string_view Version();

}  // namespace dorvu::cli
