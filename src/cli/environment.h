// The process environment as the programs take it: a map from each
// variable's name to its value, so that tests can hand over their own.
#pragma once

#include <map>
#include <string>

namespace dorvu::cli {

using Environment = std::map<std::string, std::string>;

// The variables of this process.
Environment ProcessEnvironment();

}  // namespace dorvu::cli
