// A file that cannot be used: the line (from 1; 0 when no line is concerned) and the problem.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace dorvu::cli {

struct LocatedError : std::runtime_error {
  LocatedError(std::int64_t lineNumber, const std::string& what)
      : std::runtime_error(what), line(lineNumber), problem(what) {}
  std::int64_t line;
  std::string problem;
};

// "FILE:LINE: problem", or "FILE: problem" when no line is concerned.
inline std::string Located(const std::string& file, const LocatedError& error) {
  std::string text = file;
  if (error.line > 0) text.append(":").append(std::to_string(error.line));
  return text.append(": ").append(error.problem);
}

}  // namespace dorvu::cli
