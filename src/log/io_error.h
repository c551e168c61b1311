#pragma once

#include <string>

namespace dorvu {

// A failed file operation. It ends the run: the message (which names the file
// and the system's reason) goes to standard error and the exit status is 1.
struct IoError {
  std::string message;
};

// Builds the error for a failed `action` on `path` from the current errno.
IoError IoErrorFromErrno(const char* action, const std::string& path);

}  // namespace dorvu
