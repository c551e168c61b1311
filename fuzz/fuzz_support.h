// Helpers shared by the fuzz targets: a scratch directory on a memory file
// system for the files a target writes, and checks of the log's text.
#pragma once

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include <signal.h>
#include <unistd.h>

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

inline void WriteWholeFile(const std::filesystem::path& path, std::string_view bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out) Fail("cannot write " + path.string());
}

inline std::string ReadWholeFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

// The lines of a log; every line must end with CR LF.
inline std::vector<std::string> LogLinesOf(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    const std::size_t end = text.find("\r\n", start);
    if (end == std::string::npos) Fail("log does not end with CR LF");
    lines.push_back(text.substr(start, end - start));
    start = end + 2;
  }
  return lines;
}

// True for a real in the log's number form with "." as separator: "INF",
// "-INF", "NAN", or at most 15 significant digits in plain or exponent form.
inline bool IsLogReal(std::string_view text) {
  if (text == "INF" || text == "-INF" || text == "NAN") return true;
  std::size_t i = 0;
  if (i < text.size() && text[i] == '-') ++i;
  std::string digits;
  const std::size_t intStart = i;
  while (i < text.size() && text[i] >= '0' && text[i] <= '9') digits += text[i++];
  if (i == intStart) return false;
  if (i < text.size() && text[i] == '.') {
    ++i;
    const std::size_t fracStart = i;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') digits += text[i++];
    if (i == fracStart || text[i - 1] == '0') return false;  // no trailing separator or zero
  }
  if (i < text.size() && text[i] == 'E') {
    ++i;
    if (i < text.size() && text[i] == '-') ++i;
    const std::size_t expStart = i;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') ++i;
    if (i == expStart || text[expStart] == '0') return false;
  }
  // Leading zeros of a plain value below 1 are not significant.
  digits.erase(0, digits.find_first_not_of('0'));
  return i == text.size() && digits.size() <= 15;
}

}  // namespace dorvu::fuzz
