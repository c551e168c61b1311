// File faults, end to end with the real executable: every failed file
// operation ends the run with exit status 1 and one line on standard error
// that names the file and the system's reason; the log keeps the lines
// written before the fault and gets none about it.
//
// The tests run as root in CI, and root is not stopped by permission bits: the
// cases that rely on them run the program as the unprivileged user 65534,
// from a copy of the executable in a scratch directory that user can reach.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <grp.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "test_support.h"

extern char** environ;

namespace dorvu {
namespace {

namespace fs = std::filesystem;
using test::ReadFile;
using test::ScratchDir;
using test::WriteFile;

constexpr uid_t UnprivilegedId = 65534;
constexpr int ExecFailed = 127;

bool StartsWith(const std::string& text, const std::string& prefix) { return text.rfind(prefix, 0) == 0; }

std::string ExampleInput(int cardinality) {
  std::string input = ReadFile(std::string(DORVU_EXAMPLES) + "/input.txt");
  return "presupposed cardinality of scenario=" + std::to_string(cardinality) + "\n" +
         input.substr(input.find('\n') + 1);
}

// The executable, started in a directory with its standard error on a pipe.
class Program {
 public:
  // `unprivileged`: run as user and group 65534 (only when the tests run as
  // root; otherwise the tests' own user is unprivileged already).
  Program(const fs::path& dir, bool unprivileged, const fs::path& executable = DORVU_EXECUTABLE) {
    // Everything the child needs is prepared before the fork.
    std::vector<std::string> environment;
    for (char** e = environ; *e != nullptr; ++e)
      if (!StartsWith(*e, "DORVU_SEED=")) environment.emplace_back(*e);
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
      if (drop && (::setgroups(0, nullptr) != 0 || ::setgid(UnprivilegedId) != 0 || ::setuid(UnprivilegedId) != 0))
        ::_exit(ExecFailed);
      if (::chdir(directory.c_str()) != 0) ::_exit(ExecFailed);
      char* argv[] = {const_cast<char*>("dorvu"), nullptr};
      ::execve(program.c_str(), argv, envp.data());
      ::_exit(ExecFailed);
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
    while ((n = ::read(stderrPipe_, buffer, sizeof buffer)) > 0) stderrText_.append(buffer, static_cast<std::size_t>(n));
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

// Skips the test when the program could not be started as user 65534 (the
// scratch directory out of that user's reach, or no right to change user).
#define SKIP_IF_NOT_STARTED(program)                                                          \
  if ((program).Wait() == ExecFailed)                                                         \
  GTEST_SKIP() << "cannot run the program as an unprivileged user here (user 65534 cannot "   \
                  "reach the scratch directory, or the tests may not change user)"

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
std::unique_ptr<Program> FaultMidRun(const fs::path& dir, bool unprivileged, const fs::path& executable,
                                     Fault fault) {
  for (int cardinality : {3, 6, 12, 20}) {
    WriteFile(dir / "input.txt", ExampleInput(cardinality));
    auto program = std::make_unique<Program>(dir, unprivileged, executable);
    if (!HoldAtFirstProgressLine(*program, dir / "dorvu.log")) {
      if (program->Wait() == ExecFailed) return program;
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

// ---------------------------------------------------------------------------

TEST(FileFaults, ReadOnlyDirectoryLeavesNoLog) {
  UnprivilegedSetup setup;
  WriteFile(setup.run() / "input.txt", ExampleInput(1));
  fs::permissions(setup.run(), fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                                   fs::perms::group_exec | fs::perms::others_read | fs::perms::others_exec);
  Program program(setup.run(), true, setup.executable());
  SKIP_IF_NOT_STARTED(program);
  EXPECT_EQ(program.Wait(), 1);
  // The run's lock file beside the log is the first file a run creates.
  EXPECT_EQ(program.StandardError(), "dorvu: cannot create dorvu.log.lock: Permission denied\n");
  EXPECT_FALSE(fs::exists(setup.run() / "dorvu.log"));
}

TEST(FileFaults, LogPathIsADirectory) {
  ScratchDir dir;
  WriteFile(dir / "input.txt", ExampleInput(1));
  fs::create_directory(dir / "dorvu.log");
  Program program(dir.path(), false);
  EXPECT_EQ(program.Wait(), 1);
  EXPECT_EQ(program.StandardError(), "dorvu: cannot create dorvu.log: Is a directory\n");
  EXPECT_TRUE(fs::is_directory(dir / "dorvu.log"));
}

TEST(FileFaults, MissingInputLeavesAnEmptyLog) {
  ScratchDir dir;
  WriteFile(dir / "dorvu.log", "lines of an earlier run\r\n");
  Program program(dir.path(), false);
  EXPECT_EQ(program.Wait(), 1);
  EXPECT_EQ(program.StandardError(), "dorvu: cannot open input.txt: No such file or directory\n");
  EXPECT_EQ(ReadFile(dir / "dorvu.log"), "");
}

TEST(FileFaults, InputIsADirectory) {
  ScratchDir dir;
  fs::create_directory(dir / "input.txt");
  Program program(dir.path(), false);
  EXPECT_EQ(program.Wait(), 1);
  EXPECT_EQ(program.StandardError(), "dorvu: cannot read input.txt: Is a directory\n");
  EXPECT_EQ(ReadFile(dir / "dorvu.log"), "");
}

TEST(FileFaults, UnreadableInputLeavesAnEmptyLog) {
  UnprivilegedSetup setup;
  WriteFile(setup.run() / "input.txt", ExampleInput(1));
  fs::permissions(setup.run() / "input.txt", fs::perms::none);
  Program program(setup.run(), true, setup.executable());
  SKIP_IF_NOT_STARTED(program);
  EXPECT_EQ(program.Wait(), 1);
  EXPECT_EQ(program.StandardError(), "dorvu: cannot open input.txt: Permission denied\n");
  EXPECT_EQ(ReadFile(setup.run() / "dorvu.log"), "");
}

TEST(FileFaults, LogLinkedToAFullDevice) {
  ScratchDir dir;
  WriteFile(dir / "input.txt", ExampleInput(1));
  fs::create_symlink("/dev/full", dir / "dorvu.log");
  Program program(dir.path(), false);
  EXPECT_EQ(program.Wait(), 1);
  EXPECT_EQ(program.StandardError(), "dorvu: cannot write dorvu.log: No space left on device\n");
  EXPECT_TRUE(fs::is_symlink(dir / "dorvu.log"));
}

// ---------------------------------------------------------------------------
// Faults in the middle of a run: the program is held after its first progress
// line, the log is changed, and the next write must fail.

TEST(FileFaultsMidRun, RemovedLogIsNotCreatedAgain) {
  ScratchDir dir;
  const auto program = FaultMidRun(dir.path(), false, DORVU_EXECUTABLE, [&] { fs::remove(dir / "dorvu.log"); });
  ASSERT_TRUE(program);
  EXPECT_EQ(program->Wait(), 1);
  EXPECT_EQ(program->StandardError(), "dorvu: cannot open dorvu.log: No such file or directory\n");
  EXPECT_FALSE(fs::exists(dir / "dorvu.log"));
}

TEST(FileFaultsMidRun, LogReplacedByADirectory) {
  ScratchDir dir;
  std::string before;
  const auto program = FaultMidRun(dir.path(), false, DORVU_EXECUTABLE, [&] {
    before = ReadFile(dir / "dorvu.log");
    fs::rename(dir / "dorvu.log", dir / "kept.log");
    fs::create_directory(dir / "dorvu.log");
  });
  ASSERT_TRUE(program);
  EXPECT_EQ(program->Wait(), 1);
  EXPECT_EQ(program->StandardError(), "dorvu: cannot open dorvu.log: Is a directory\n");
  // The lines written before the fault are all there, each complete.
  EXPECT_EQ(ReadFile(dir / "kept.log"), before);
  EXPECT_TRUE(StartsWith(before, "presupposed cardinality of scenario="));
  EXPECT_EQ(before.substr(before.size() - 2), "\r\n");
}

TEST(FileFaultsMidRun, LogReplacedByALinkToAFullDevice) {
  ScratchDir dir;
  const auto program = FaultMidRun(dir.path(), false, DORVU_EXECUTABLE, [&] {
    fs::remove(dir / "dorvu.log");
    fs::create_symlink("/dev/full", dir / "dorvu.log");
  });
  ASSERT_TRUE(program);
  EXPECT_EQ(program->Wait(), 1);
  EXPECT_EQ(program->StandardError(), "dorvu: cannot write dorvu.log: No space left on device\n");
}

TEST(FileFaultsMidRun, LogMadeReadOnly) {
  UnprivilegedSetup setup;
  const fs::path log = setup.run() / "dorvu.log";
  std::string before;
  const auto program = FaultMidRun(setup.run(), true, setup.executable(), [&] {
    before = ReadFile(log);
    fs::permissions(log, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
  });
  ASSERT_TRUE(program);
  SKIP_IF_NOT_STARTED(*program);
  EXPECT_EQ(program->Wait(), 1);
  EXPECT_EQ(program->StandardError(), "dorvu: cannot open dorvu.log: Permission denied\n");
  EXPECT_EQ(ReadFile(log), before);
  EXPECT_EQ(before.substr(before.size() - 2), "\r\n");
}

}  // namespace
}  // namespace dorvu
