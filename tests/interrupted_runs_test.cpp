// One run per directory, and runs stopped on a signal: a second run in a
// directory leaves the first run's log alone, and the log of an interrupted
// walk is a prefix of the whole walk's log, cut at a line end.
#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <csignal>
#include <string_view>
#include <vector>

#include "log/io_error.h"
#include "log/log_lines.h"
#include "log/run_lock.h"
#include "run/driver.h"
#include "run/interrupt.h"
#include "search/scenario_memory.h"
#include "search/walk.h"
#include "support/inputs.h"
#include "support/processes.h"
#include "support/search_runs.h"

namespace dorvu {
namespace {

using test::ReadFile;
using test::ScratchDir;
using test::WriteFile;

const std::string kHeldText =
    "another dorvu run is writing dorvu.log in this directory (pid " + std::to_string(::getpid()) + ")";

struct ExampleRun {
  ScratchDir dir;
  RunSetup setup;
  ExampleRun() {
    WriteFile(dir / "input.txt", test::ExampleInput());
    setup.inputPath = (dir / "input.txt").string();
    setup.logPath = (dir / "dorvu.log").string();
    setup.settings.seed = 7;
    setup.quiet = true;
  }
};

TEST(RunLock, ASecondRunInTheDirectoryStopsAndLeavesTheLogAlone) {
  ExampleRun run;
  WriteFile(run.dir / "dorvu.log", "the first run's line\r\n");
  {
    const RunLock held(run.setup.logPath);
    try {
      RunDorvu(run.setup);
      ADD_FAILURE() << "a second run went ahead";
    } catch (const IoError& error) {
      EXPECT_EQ(error.message, kHeldText);
    }
    const test::ProcessResult program = test::RunExecutable(run.dir.path());
    EXPECT_EQ(program.status, 1);
    EXPECT_EQ(program.stderrText, "dorvu: " + kHeldText + "\n");
    EXPECT_EQ(ReadFile(run.dir / "dorvu.log"), "the first run's line\r\n");
    // Checking the input writes nothing, so it needs no lock.
    EXPECT_EQ(test::RunExecutable(run.dir.path(), "", "--check").status, 0);
  }
  RunDorvu(run.setup);  // the lock went with its holder
  EXPECT_NE(ReadFile(run.dir / "dorvu.log").find("the best scenario:"), std::string::npos);
}

// Passes every request on, and asks the walk to stop at the n-th one.
class StoppingEvaluator final : public Evaluator {
 public:
  StoppingEvaluator(std::unique_ptr<Evaluator> inner, int stopAt, std::atomic<int>& stop)
      : inner_(std::move(inner)), stopAt_(stopAt), stop_(stop) {}
  ScenarioOutcome Evaluate(const ScenarioKey& marks, const WalkPath& path) override {
    keys.push_back(marks);
    if (++evaluated_ == stopAt_) stop_.store(SIGTERM);
    return inner_->Evaluate(marks, path);
  }
  void Remembered(const ScenarioKey& marks) override { inner_->Remembered(marks); }
  void Values(const ScenarioKey& marks, ValueTable& values) override { inner_->Values(marks, values); }
  int evaluated_ = 0;
  std::vector<ScenarioKey> keys;  // in the order the walk asked

 private:
  std::unique_ptr<Evaluator> inner_;
  int stopAt_;
  std::atomic<int>& stop_;
};

BaseValues Shifted(int k) {
  if (k >= 9 && k <= 16) return {0.12, 0.38, 0.37, 0.13};
  return {0.3 - 0.002 * (k % 7), 0.2, 0.2 + 0.002 * (k % 7), 0.3};
}

constexpr int32_t kStoreCapacity = 8;

struct WalkRecord {
  std::string log;
  std::vector<ScenarioKey> keys;  // the scenarios evaluated, in order
};

// The walk's log, on stores of 8 keys so that it asks for memory, stopped
// at the stopAt-th evaluation (never when 0).
WalkRecord StoppedWalk(int stopAt, EvaluatorKind kind, int32_t threads) {
  const test::LogFile file;
  RunParameters params;
  params.mainMemoryCapacity = kStoreCapacity;
  params.cardinality = 3;
  const Tree tree = test::MakeTree(Shifted);
  std::atomic<int> stop{0};
  StoppingEvaluator evaluator(MakeEvaluator(kind, params, tree, threads), stopAt, stop);
  RunSearch(params, evaluator, file.log, nullptr, &stop);
  return {ReadFile(file.log.path), evaluator.keys};
}

// The memory lines that storing the first `count` of these keys asks for:
// each was new to the walk, so each was offered to the stores.
std::size_t MemoryLinesOfFirst(const std::vector<ScenarioKey>& keys, std::size_t count) {
  RunParameters params;
  params.mainMemoryCapacity = kStoreCapacity;
  ScenarioMemory memory;
  PrepareMemory(memory, params);
  std::size_t lines = 0;
  for (std::size_t k = 0; k < count; ++k) {
    const RememberOutcome outcome = RememberKey(memory, keys[k]);
    lines += outcome.mainFull + outcome.addFull;
  }
  return lines;
}

std::size_t MemoryLinesIn(const std::string& log) {
  std::size_t lines = 0;
  for (const std::string_view line : {log_lines::kMainMemoryFull, log_lines::kAddMemoryFull})
    for (std::size_t at = log.find(line); at != std::string::npos; at = log.find(line, at + 1)) ++lines;
  return lines;
}

TEST(InterruptedWalk, LogIsAPrefixOfTheWholeWalksLogEndingAtALineEnd) {
  const WalkRecord whole = StoppedWalk(0, EvaluatorKind::kFast, 1);
  ASSERT_NE(whole.log.find(log_lines::kMainMemoryFull), std::string::npos);
  const int evaluations = static_cast<int>(whole.keys.size());
  bool memoryLinesWritten = false;
  for (const int stopAt : {1, 2, evaluations / 5, evaluations / 2, evaluations - 1}) {
    for (const auto& [kind, threads] : {std::pair{EvaluatorKind::kFast, 1}, {EvaluatorKind::kSpeculative, 3}}) {
      const std::string cut = StoppedWalk(stopAt, kind, threads).log;
      EXPECT_LT(cut.size(), whole.log.size()) << "stopped at " << stopAt;
      EXPECT_EQ(whole.log.compare(0, cut.size(), cut), 0) << "stopped at " << stopAt;
      EXPECT_TRUE(cut.empty() || cut.ends_with("\r\n")) << "stopped at " << stopAt;
      // Every memory line up to the stop is there, none left in the batch.
      EXPECT_EQ(MemoryLinesIn(cut), MemoryLinesOfFirst(whole.keys, static_cast<std::size_t>(stopAt)))
          << "stopped at " << stopAt;
      memoryLinesWritten |= MemoryLinesIn(cut) > 0;
    }
  }
  EXPECT_TRUE(memoryLinesWritten);
}

TEST(InterruptedWalk, TheRunStopsBeforeTheReportAndSaysWhichSignal) {
  ExampleRun run;
  std::atomic<int> stop{SIGHUP};
  run.setup.stop = &stop;
  try {
    RunDorvu(run.setup);
    ADD_FAILURE() << "the run ignored the stop request";
  } catch (const RunInterrupted& stopped) {
    EXPECT_EQ(SignalName(stopped.signal), "SIGHUP");
  }
  const std::string log = test::LogLines(run.dir / "dorvu.log");
  EXPECT_EQ(log.find("the best scenario:"), std::string::npos);
  EXPECT_NE(log.find("noise level=0.1"), std::string::npos);
}

}  // namespace
}  // namespace dorvu
