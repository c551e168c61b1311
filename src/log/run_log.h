// The run log: the program's only output. Every write opens the file for
// appending, writes and closes it again, so the log is complete up to its last
// line whenever the run stops. Lines end with CR LF.
#pragma once

#include <string>
#include <string_view>

namespace dorvu {

struct RunLog {
  std::string path = "dorvu.log";
};

// Creates the log empty, or truncates an existing one.
void CreateLog(const RunLog& log);

// Appends the text and a line end.
void WriteLogLine(const RunLog& log, std::string_view text);

// Appends the text without a line end.
void WriteLogText(const RunLog& log, std::string_view text);

}  // namespace dorvu
