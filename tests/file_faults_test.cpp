// File faults, end to end with the real executable: every failed file
// operation ends the run with exit status 1 and one line on standard error
// that names the file and the system's reason; the log keeps the lines
// written before the fault and gets none about it.
//
// The tests run as root in CI, and root is not stopped by permission bits: the
// cases that rely on them run the program as the unprivileged user 65534,
// from a copy of the executable in a scratch directory that user can reach.
#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "support/files.h"
#include "support/inputs.h"

extern char** environ;

namespace dorvu {
namespace {

namespace fs = std::filesystem;
using test::ReadFile;
using test::ScratchDir;
using test::WriteFile;

constexpr uid_t kUnprivilegedId = 65534;
constexpr int kExecFailed = 127;

// The executable, started in a directory with its standard error on a pipe.
class Program {
 public:
  // `unprivileged`: run as user and group 65534 (only when the tests run as
  // root; otherwise the tests' own user is unprivileged already).
  Program(const fs::path& dir, bool unprivileged, const fs::path& executable = DORVU_EXECUTABLE) {
    // Everything the child needs is prepared before the fork.
    std::vector<std::string> environment;
    for (char** e = environ; *e != nullptr; ++e)
      if (!std::string_view(*e).starts_with("DORVU_SEED=")) environment.emplace_back(*e);
    environment.emplace_back("DORVU_SEED=1");
    std::vector<char*> envp;
    for (std::string& entry : environment) envp.push_back(entry.data());
    envp.push_back(nullptr);
    const std::string program = executable.string();
    const std::string directory = dir.string();
    const bool drop = unprivileged && ::geteuid() == 0;

    int pipeEnds[2];
    if (::pipe2(pipeEnds, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
    pid_ = ::fork();
    if (pid_ < 0) throw std::runtime_error("fork failed");
    if (pid_ == 0) {
      ::dup2(pipeEnds[1], STDERR_FILENO);
      const int devNull = ::open("/dev/null", O_RDWR);
      ::dup2(devNull, STDIN_FILENO);
      ::dup2(devNull, STDOUT_FILENO);
      if (drop && (::setgroups(0, nullptr) != 0 || ::setgid(kUnprivilegedId) != 0 || ::setuid(kUnprivilegedId) != 0))
        ::_exit(kExecFailed);
      if (::chdir(directory.c_str()) != 0) ::_exit(kExecFailed);
      char* argv[] = {const_cast<char*>("dorvu"), nullptr};
      ::execve(program.c_str(), argv, envp.data());
      ::_exit(kExecFailed);
    }
    ::close(pipeEnds[1]);
    stderrPipe_ = pipeEnds[0];
  }

  ~Program() {
    if (pid_ > 0 && !finished_) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
    if (stderrPipe_ >= 0) ::close(stderrPipe_);
  }

  Program(const Program&) = delete;
  Program& operator=(const Program&) = delete;

  // Stops the program and waits until it is stopped; false if it ended first.
  bool Stop() {
    ::kill(pid_, SIGSTOP);
    for (;;) {
      int raw = 0;
      if (::waitpid(pid_, &raw, WUNTRACED) != pid_) continue;
      if (WIFSTOPPED(raw)) return true;
      if (WIFEXITED(raw) || WIFSIGNALED(raw)) {
        Finish(raw);
        return false;
      }
    }
  }
  void Continue() { ::kill(pid_, SIGCONT); }

  // True once the program has ended (does not wait).
  bool HasEnded() {
    if (finished_) return true;
    int raw = 0;
    const pid_t done = ::waitpid(pid_, &raw, WNOHANG | WUNTRACED);
    if (done == pid_ && (WIFEXITED(raw) || WIFSIGNALED(raw))) Finish(raw);
    return finished_;
  }

  // Waits for the end; returns the exit status (-1 after a signal).
  int Wait() {
    while (!finished_) {
      int raw = 0;
      if (::waitpid(pid_, &raw, 0) == pid_ && (WIFEXITED(raw) || WIFSIGNALED(raw))) Finish(raw);
    }
    return status_;
  }

  // Everything the program wrote to standard error (after it ended).
  const std::string& StandardError() {
    Wait();
    return stderrText_;
  }

 private:
  void Finish(int raw) {
    finished_ = true;
    status_ = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    char buffer[4096];
    ssize_t n;
    while ((n = ::read(stderrPipe_, buffer, sizeof buffer)) > 0)
      stderrText_.append(buffer, static_cast<std::size_t>(n));
  }

  pid_t pid_ = -1;
  int stderrPipe_ = -1;
  bool finished_ = false;
  int status_ = -1;
  std::string stderrText_;
};

// A scratch directory laid out for a run as user 65534: the directory itself
// (mode 0777 unless the test says otherwise), and a copy of the executable
// beside it that the user may run.
class UnprivilegedSetup {
 public:
  UnprivilegedSetup() {
    fs::permissions(scratch_.path(), fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                         fs::perms::others_read | fs::perms::others_exec);
    fs::create_directory(scratch_ / "bin");
    fs::copy_file(DORVU_EXECUTABLE, executable());
    fs::permissions(executable(), fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                      fs::perms::others_read | fs::perms::others_exec);
    fs::create_directory(run());
    fs::permissions(run(), fs::perms::all);
  }
  fs::path run() const { return scratch_ / "run"; }
  fs::path executable() const { return scratch_ / "bin" / "dorvu"; }

 private:
  ScratchDir scratch_;
};

// Starts a long run, waits until its log shows the first progress line, and
// holds the program there (stopped) so that the test can change the log under
// it. Returns false if the run ended before it could be held, which a fast
// machine can do: the caller then tries a longer run.
bool HoldAtFirstProgressLine(Program& program, const fs::path& log) {
  for (;;) {
    const std::string text = ReadFile(log);
    if (text.find("\r\ndone ") != std::string::npos) {
      return program.Stop() && ReadFile(log).find("the best scenario:") == std::string::npos;
    }
    if (program.HasEnded()) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
}

// Runs the example input in `dir` until its first progress line, applies
// `fault` to the log while the program is held, lets it go on, and returns
// it ended. Longer runs are tried if the program ends before it is held.
template <typename Fault>
std::unique_ptr<Program> FaultMidRun(const fs::path& dir, bool unprivileged, const fs::path& executable, Fault fault) {
  for (int cardinality : {3, 6, 12, 20}) {
    WriteFile(dir / "input.txt", test::WithCardinality(test::ExampleInput(), std::to_string(cardinality)));
    auto program = std::make_unique<Program>(dir, unprivileged, executable);
    if (!HoldAtFirstProgressLine(*program, dir / "dorvu.log")) {
      if (program->Wait() == kExecFailed) return program;
      continue;
    }
    fault();
    program->Continue();
    program->Wait();
    return program;
  }
  ADD_FAILURE() << "every run ended before it could be held";
  return nullptr;
}

// What a path holds: "nothing", "a directory", "a link", or a file's bytes in
// quotes.
std::string Holds(const fs::path& path) {
  if (fs::is_symlink(path)) return "a link";
  if (fs::is_directory(path)) return "a directory";
  if (!fs::exists(path)) return "nothing";
  return '"' + ReadFile(path) + '"';
}

// A fault made in the run's directory, before the start or while the run is
// held after its first progress line (the next write must then fail), and
// what must follow it besides exit status 1.
struct FileFault {
  const char* name;
  bool midRun;
  bool unprivileged;  // run as user 65534, for faults made of permission bits
  void (*make)(const fs::path& run);
  const char* message;  // the whole of standard error
  const char* logLeft;  // what dorvu.log holds after the run, as Holds() tells it; null: unchecked
  const char* keptAs;   // the file that keeps the log's lines written before the fault; null: none
};

const FileFault kFileFaults[] = {
    // The run's lock file beside the log is the first file a run creates.
    {"read-only directory", false, true,
     [](const fs::path& run) {
       fs::permissions(run, fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                                fs::perms::group_exec | fs::perms::others_read | fs::perms::others_exec);
     },
     "dorvu: cannot create dorvu.log.lock: Permission denied\n", "nothing", nullptr},
    {"log path is a directory", false, false, [](const fs::path& run) { fs::create_directory(run / "dorvu.log"); },
     "dorvu: cannot create dorvu.log: Is a directory\n", "a directory", nullptr},
    {"missing input", false, false,
     [](const fs::path& run) {
       fs::remove(run / "input.txt");
       WriteFile(run / "dorvu.log", "lines of an earlier run\r\n");
     },
     "dorvu: cannot open input.txt: No such file or directory\n", "\"\"", nullptr},
    {"input is a directory", false, false,
     [](const fs::path& run) {
       fs::remove(run / "input.txt");
       fs::create_directory(run / "input.txt");
     },
     "dorvu: cannot read input.txt: Is a directory\n", "\"\"", nullptr},
    {"unreadable input", false, true, [](const fs::path& run) { fs::permissions(run / "input.txt", fs::perms::none); },
     "dorvu: cannot open input.txt: Permission denied\n", "\"\"", nullptr},
    {"log linked to a full device", false, false,
     [](const fs::path& run) { fs::create_symlink("/dev/full", run / "dorvu.log"); },
     "dorvu: cannot write dorvu.log: No space left on device\n", "a link", nullptr},
    // A removed log is not created again.
    {"log removed mid-run", true, false, [](const fs::path& run) { fs::remove(run / "dorvu.log"); },
     "dorvu: cannot open dorvu.log: No such file or directory\n", "nothing", nullptr},
    {"log replaced by a directory mid-run", true, false,
     [](const fs::path& run) {
       fs::rename(run / "dorvu.log", run / "kept.log");
       fs::create_directory(run / "dorvu.log");
     },
     "dorvu: cannot open dorvu.log: Is a directory\n", "a directory", "kept.log"},
    {"log replaced by a link to a full device mid-run", true, false,
     [](const fs::path& run) {
       fs::remove(run / "dorvu.log");
       fs::create_symlink("/dev/full", run / "dorvu.log");
     },
     "dorvu: cannot write dorvu.log: No space left on device\n", "a link", nullptr},
    {"log made read-only mid-run", true, true,
     [](const fs::path& run) {
       fs::permissions(run / "dorvu.log", fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
     },
     "dorvu: cannot open dorvu.log: Permission denied\n", nullptr, "dorvu.log"},
};

// Every fault ends the run with status 1 and its one line; the log gets no
// line about it and keeps, each complete, the lines written before it.
TEST(FileFaults, EachEndsTheRunWithOneLineAndLeavesTheLogAsTold) {
  std::string notRun;
  for (const FileFault& fault : kFileFaults) {
    SCOPED_TRACE(fault.name);
    UnprivilegedSetup setup;
    const fs::path run = setup.run();
    std::string before;  // the log as the fault found it
    std::unique_ptr<Program> program;
    if (fault.midRun) {
      program = FaultMidRun(run, fault.unprivileged, setup.executable(), [&] {
        before = ReadFile(run / "dorvu.log");
        fault.make(run);
      });
      if (program == nullptr) continue;  // FaultMidRun has reported the failure
    } else {
      WriteFile(run / "input.txt", test::WithCardinality(test::ExampleInput(), "1"));
      fault.make(run);
      program = std::make_unique<Program>(run, fault.unprivileged, setup.executable());
    }
    if (fault.unprivileged && program->Wait() == kExecFailed) {
      notRun.append(notRun.empty() ? "" : ", ").append(fault.name);
      continue;
    }
    EXPECT_EQ(program->Wait(), 1);
    EXPECT_EQ(program->StandardError(), fault.message);
    if (fault.logLeft != nullptr) {
      EXPECT_EQ(Holds(run / "dorvu.log"), fault.logLeft);
    }
    if (fault.keptAs != nullptr) {
      EXPECT_EQ(ReadFile(run / fault.keptAs), before);
      EXPECT_TRUE(before.starts_with("presupposed cardinality of scenario="));
      EXPECT_TRUE(before.ends_with("\r\n"));
    }
  }
  if (!notRun.empty())
    GTEST_SKIP() << "not run, for the program cannot run as user 65534 here (that user cannot reach the scratch "
                    "directory, or the tests may not change user): "
                 << notRun;
}

}  // namespace
}  // namespace dorvu
