#include "log/run_log.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "log/io_error.h"

namespace dorvu {

namespace {

constexpr std::string_view kLineEnd = "\r\n";

void CloseOrThrow(int fd, const RunLog& log) {
  if (::close(fd) != 0) throw IoErrorFromErrno("close", log.path);
}

// Appends to an existing log only: a log removed during the run must make the
// next write fail rather than silently start a new file.
void AppendBytes(const RunLog& log, std::string_view bytes) {
  const int fd = ::open(log.path.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
  if (fd < 0) throw IoErrorFromErrno("open", log.path);
  std::size_t written = 0;
  while (written < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + written, bytes.size() - written);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      if (n == 0) errno = EIO;
      const IoError error = IoErrorFromErrno("write", log.path);
      ::close(fd);
      throw error;
    }
    written += static_cast<std::size_t>(n);
  }
  CloseOrThrow(fd, log);
}

}  // namespace

void CreateLog(const RunLog& log) {
  const int fd = ::open(log.path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) throw IoErrorFromErrno("create", log.path);
  CloseOrThrow(fd, log);
}

void WriteLogLine(const RunLog& log, std::string_view text) {
  std::string line(text);
  line += kLineEnd;
  AppendBytes(log, line);
}

void WriteLogText(const RunLog& log, std::string_view text) { AppendBytes(log, text); }

void BatchLogLine(const RunLog& log, LineBatch& batch, std::string_view text) {
  batch.bytes.append(text).append(kLineEnd);
  if (batch.bytes.size() >= LineBatch::kLimit) FlushLogLines(log, batch);
}

void FlushLogLines(const RunLog& log, LineBatch& batch) {
  if (batch.bytes.empty()) return;
  AppendBytes(log, batch.bytes);
  batch.bytes.clear();
}

}  // namespace dorvu
