// The version of the three programs as the build sets it; "unknown" in a build that does not.
#pragma once

#include <string_view>

namespace dorvu::cli {

std::string_view Version();

}  // namespace dorvu::cli
