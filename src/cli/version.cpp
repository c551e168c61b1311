#include "cli/version.h"

#ifndef DORVU_VERSION
#define DORVU_VERSION "unknown"
#endif

namespace dorvu::cli {

std::string_view Version() { return DORVU_VERSION; }

}  // namespace dorvu::cli
