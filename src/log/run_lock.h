// One run per directory. A run holds an exclusive lock on a small file beside
// its log from before it empties the log until it ends, so that a second run
// started in the same directory stops at once instead of interleaving its
// lines with the first run's.
//
// The lock is taken with flock on a descriptor that stays open for the whole
// run. It is held on its own file, not on the log, because the log is opened
// and closed for every line, and on network file systems closing any
// descriptor of a file drops the process's locks on it. The lock goes with
// the process however it ends; the file itself stays behind, holding the
// process id and host of the last run that took it, and is harmless.
#pragma once

#include <string>

namespace dorvu {

// The lock file of a log: its path with ".lock" added.
std::string LockPathOf(const std::string& logPath);

class RunLock {
 public:
  // Takes the lock of `logPath`'s directory, or throws IoError: with the text
  // "another dorvu run is writing LOG in this directory (pid N)" when another
  // process holds it, or the system's reason when the lock file cannot be
  // opened.
  explicit RunLock(const std::string& logPath);
  RunLock(const RunLock&) = delete;
  RunLock& operator=(const RunLock&) = delete;
  ~RunLock();

 private:
  int fd_ = -1;
};

}  // namespace dorvu
