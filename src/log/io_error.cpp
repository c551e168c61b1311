#include "log/io_error.h"

#include <cerrno>
#include <cstring>

namespace dorvu {

IoError IoErrorFromErrno(const char* action, const std::string& path) {
  return IoError{std::string("cannot ") + action + " " + path + ": " + std::strerror(errno)};
}

}  // namespace dorvu
