// Helpers shared by the core's tests: runs of the real executable, trees,
// marks and keys (scratch directories, whole files and the log's shape come
// from support/).
#pragma once

#include <filesystem>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "run/program.h"
#include "search/evaluate/evaluator.h"
#include "search/scenario_memory.h"
#include "support/files.h"
#include "support/log_shape.h"
#include "tree/tree.h"

namespace dorvu::test {

struct ProcessResult {
  int status = -1;     // exit status
  std::string stderrText;
  std::string stdoutText;
};

// Runs an executable (dorvu unless given) in `dir` with extra environment
// assignments ("NAME=value ...") and arguments (shell words), capturing its
// standard output and standard error in files beside `dir`, not in it.
ProcessResult RunExecutable(const std::filesystem::path& dir, const std::string& environment = "",
                            const std::string& arguments = "", const std::string& executable = DORVU_EXECUTABLE);

// Runs dorvu in this process, through the program's own entry, with `dir` as
// the current directory for the call, the given environment (only it) and
// arguments.
ProcessResult RunProgram(const std::filesystem::path& dir, const Environment& environment = {},
                         const std::vector<std::string>& args = {});

// A laid-out tree with derived links whose leaves hold `leaf(k)` for leaf k.
template <typename LeafFunction>
Tree MakeTree(LeafFunction leaf) {
  Tree tree;
  LayOutTree(tree);
  for (int k = 1; k <= LeafCount; ++k) tree.treeSequence[tree.leafSlots[k]].value = leaf(k);
  DeriveLinks(tree);
  return tree;
}

// Marks holding the root and the given slots.
MarkTable MarksOf(std::initializer_list<int> slots);

// The key of the root and the given slots.
ScenarioKey KeyOf(std::initializer_list<int> slots);

// The marked slots as text, for messages: "0 5 17".
std::string SlotsText(const MarkTable& mark);

// Passes every request on, and keeps the scenarios the walk asked for, in
// order, and the sets it stored.
class CountingEvaluator final : public Evaluator {
 public:
  explicit CountingEvaluator(std::unique_ptr<Evaluator> inner) : inner_(std::move(inner)) {}
  ScenarioOutcome Evaluate(const ScenarioKey& marks, const WalkPath& path) override {
    evaluated.push_back(marks);
    return inner_->Evaluate(marks, path);
  }
  void Remembered(const ScenarioKey& marks) override {
    remembered.insert(marks);
    inner_->Remembered(marks);
  }
  void Values(const ScenarioKey& marks, ValueTable& values) override { inner_->Values(marks, values); }
  std::vector<ScenarioKey> evaluated;
  std::set<ScenarioKey> remembered;

 private:
  std::unique_ptr<Evaluator> inner_;
};

// The log lines of a file, without their CR LF ends.
std::string LogLines(const std::filesystem::path& path);

}  // namespace dorvu::test
