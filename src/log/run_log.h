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

// Lines gathered to be written together: a run can ask for more memory
// millions of times, and one open, write and close per line would cost more
// than the search. The bytes in the file are the same as line by line.
struct LineBatch {
  std::string bytes;                                // whole lines, each with its line end
  static constexpr std::size_t kLimit = 64 * 1024;  // written once it holds this much
};

// Adds a line to the batch, and writes the batch when it is full.
void BatchLogLine(const RunLog& log, LineBatch& batch, std::string_view text);

// Writes what the batch holds, if anything, with one open, write and close.
void FlushLogLines(const RunLog& log, LineBatch& batch);

}  // namespace dorvu
