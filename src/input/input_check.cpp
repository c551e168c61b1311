#include "input/input_check.h"

#include <algorithm>

#include "tree/tree.h"

namespace dorvu {

std::string RunWarnings(const std::vector<InputFinding>& findings, const std::string& inputPath,
                        const std::string& logPath) {
  std::string text;
  for (const InputFinding& finding : findings)
    if (!finding.logged) text += "dorvu: warning: " + finding.text + "\n";
  const auto logged = std::count_if(findings.begin(), findings.end(), [](const InputFinding& f) { return f.logged; });
  if (logged > 0)
    text += "dorvu: warning: " + logPath + " reports " + std::to_string(logged) +
            (logged == 1 ? " problem" : " problems") + " in " + inputPath + "; \"dorvu --check\" lists " +
            (logged == 1 ? "it" : "them") + "\n";
  return text;
}

InputCheck CheckInputFile(const std::string& inputPath, int32_t maxCardinality) {
  ParsedInput input = ParseInput(inputPath, maxCardinality);
  if (input.laterReadError) throw *input.laterReadError;
  InputCheck check;
  for (const InputFinding& finding : input.findings) check.report += "dorvu: " + finding.text + "\n";
  check.found = !input.findings.empty();
  if (!check.found) check.report = "dorvu: " + inputPath + ": no problems found\n";
  return check;
}

InputCheck CheckTreeInputFile(const std::string& inputPath, const std::string& treePath, const NewickTree& shape,
                              int32_t maxCardinality) {
  TreeInput input = ParseTreeInput(inputPath, TipNames(shape), maxCardinality);
  if (input.parsed.laterReadError) throw *input.parsed.laterReadError;
  int64_t internal = 0, wide = 0, single = 0;
  for (std::size_t v = 0; v + 1 < shape.childBegin.size(); ++v) {
    const int32_t children = shape.childBegin[v + 1] - shape.childBegin[v];
    internal += children > 0 ? 1 : 0;
    wide += children > 2 ? 1 : 0;
    single += children == 1 ? 1 : 0;
  }
  InputCheck check;
  check.report = "dorvu: " + treePath + ": " + std::to_string(shape.tipCount) + " tips, " + std::to_string(internal) +
                 " internal vertices, " + std::to_string(wide) + " with more than two children, " +
                 std::to_string(single) + " with one child\n";
  for (const InputFinding& finding : input.parsed.findings) check.report += "dorvu: " + finding.text + "\n";
  check.report += MismatchText(input.mismatch, inputPath, treePath);
  check.found = !input.parsed.findings.empty() || !input.mismatch.Empty();
  if (!check.found) check.report += "dorvu: " + inputPath + ": no problems found\n";
  return check;
}

std::string SeedNotice(uint32_t seed) {
  const std::string assignment = "DORVU_SEED=" + std::to_string(seed);
  return "dorvu: noise seed " + std::to_string(seed) + "; " + assignment + " dorvu repeats this run\n";
}

}  // namespace dorvu
