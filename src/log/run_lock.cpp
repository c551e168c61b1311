#include "log/run_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>

#include "log/io_error.h"

namespace dorvu {

namespace {

std::string HostName() {
  char name[256] = {};
  if (::gethostname(name, sizeof name - 1) != 0) return "";
  return name;
}

// "pid N" of the run that holds the lock, with its host when that is another
// machine (a shared file system); empty when the record cannot be read, as
// when the other run has only just taken the lock.
std::string HolderText(int fd) {
  char record[320] = {};
  const ssize_t n = ::pread(fd, record, sizeof record - 1, 0);
  if (n <= 0) return "";
  const std::string text(record, static_cast<std::size_t>(n));
  const std::size_t blank = text.find(' ');
  const std::size_t end = text.find('\n');
  if (blank == std::string::npos || end == std::string::npos || blank == 0 || end < blank) return "";
  const std::string pid = text.substr(0, blank);
  if (pid.find_first_not_of("0123456789") != std::string::npos) return "";
  const std::string host = text.substr(blank + 1, end - blank - 1);
  return " (pid " + pid + (host.empty() || host == HostName() ? "" : " on " + host) + ")";
}

void WriteHolderRecord(int fd) {
  const std::string record = std::to_string(::getpid()) + " " + HostName() + "\n";
  // The record only serves the message of a refused run: failing to write it
  // does not stop this one.
  if (::ftruncate(fd, 0) != 0) return;
  const ssize_t written = ::pwrite(fd, record.data(), record.size(), 0);
  static_cast<void>(written);
}

}  // namespace

std::string LockPathOf(const std::string& logPath) { return logPath + ".lock"; }

RunLock::RunLock(const std::string& logPath) {
  const std::string path = LockPathOf(logPath);
  fd_ = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
  if (fd_ < 0) throw IoErrorFromErrno("create", path);
  while (::flock(fd_, LOCK_EX | LOCK_NB) != 0) {
    if (errno == EINTR) continue;
    const bool held = errno == EWOULDBLOCK;
    const IoError error =
        held ? IoError{"another dorvu run is writing " + std::filesystem::path(logPath).filename().string() +
                       " in this directory" + HolderText(fd_)}
             : IoErrorFromErrno("lock", path);
    ::close(fd_);
    throw error;
  }
  WriteHolderRecord(fd_);
}

RunLock::~RunLock() { ::close(fd_); }

}  // namespace dorvu
