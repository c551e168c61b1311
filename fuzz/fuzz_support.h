// Helpers of the fuzz targets: a scratch directory on a memory file system
// for the files a target writes; whole files and the log's shape come from
// the tests' support/.
#pragma once

#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "support/files.h"
#include "support/log_shape.h"

namespace dorvu::fuzz {

// Stops the fuzzer with a message: libFuzzer records the input as a crash.
[[noreturn]] inline void Fail(const std::string& what) {
  std::fprintf(stderr, "fuzz check failed: %s\n", what.c_str());
  std::abort();
}

// A directory of this process, on /dev/shm where it exists so that the files
// written for every input stay in memory. libFuzzer often ends the process
// without running exit handlers, so each new process also removes the
// directories of processes that no longer exist.
inline const std::filesystem::path& ScratchDirectory() {
  static const std::filesystem::path dir = [] {
    std::error_code error;
    std::filesystem::path base = std::filesystem::is_directory("/dev/shm", error)
                                     ? std::filesystem::path("/dev/shm")
                                     : std::filesystem::temp_directory_path();
    const std::string prefix = "dorvu-fuzz-";
    for (const auto& entry : std::filesystem::directory_iterator(base, error)) {
      const std::string name = entry.path().filename().string();
      if (name.compare(0, prefix.size(), prefix) != 0) continue;
      const std::string digits = name.substr(prefix.size());
      if (digits.empty() || digits.find_first_not_of("0123456789") != std::string::npos) continue;
      if (::kill(static_cast<pid_t>(std::stol(digits)), 0) != 0 && errno == ESRCH)
        std::filesystem::remove_all(entry.path(), error);
    }
    std::filesystem::path made = base / (prefix + std::to_string(::getpid()));
    std::filesystem::create_directories(made);
    std::atexit([] {
      std::error_code ignored;
      std::filesystem::remove_all(ScratchDirectory(), ignored);
    });
    return made;
  }();
  return dir;
}

// Writes a whole file, or stops.
inline void WriteWholeFile(const std::filesystem::path& path, std::string_view bytes) {
  if (!test::WriteFile(path, bytes)) Fail("cannot write " + path.string());
}

// The lines of a log, which must end with CR LF.
inline std::vector<std::string> LogLinesOf(const std::string& text) {
  bool complete = true;
  std::vector<std::string> lines = test::LogLinesOf(text, complete);
  if (!complete) Fail("log does not end with CR LF");
  return lines;
}

}  // namespace dorvu::fuzz
