#include "report/report.h"

#include <algorithm>
#include <memory>
#include <string>

#include "log/log_lines.h"
#include "log/number_format.h"

namespace dorvu {

namespace {

// Every marked vertex but the root, in slot order, each between two blanks.
void WriteMarkedVertices(const ScenarioKey& marks, const Tree& tree, const RunLog& log) {
  for (int p = 1; p < marks.count; ++p) WriteLogText(log, " " + tree.vertexNames[marks.slot[p]] + " ");
  WriteLogLine(log, "");
}

// The printed values are the squares of the square-root vectors, formed and
// formatted in extended precision.
std::string VertexLine(const std::string& name, const BaseValues& x) {
  std::string line = std::string(log_lines::kVertexPrefix) + name + ":";
  constexpr const char* kLabels[kBaseCount] = {" A:", " C:", " G:", " T:"};
  for (int b = 0; b < kBaseCount; ++b) line += kLabels[b] + FormatReal(Extended(x.b[b]) * x.b[b]);
  return line;
}

void WriteDistributions(const ValueTable& values, const Tree& tree, const RunLog& log) {
  WriteLogLine(log, log_lines::kValuesHeading);
  for (int s = 0; s < tree.slotCount; ++s)
    if (tree.treeSequence[s].kind != SlotKind::kClose) WriteLogLine(log, VertexLine(tree.vertexNames[s], values[s]));
}

}  // namespace

void WriteReport(const BestList& bestList, const Tree& tree, Evaluator& evaluator, const RunLog& log) {
  WriteLogLine(log, log_lines::kReportHeading);
  auto values = std::make_unique<ValueTable>(tree.slotCount);
  for (const BestListEntry& entry : bestList) {
    if (entry.key.count == 0) continue;
    WriteMarkedVertices(entry.key, tree, log);
    WriteLogLine(log, std::string(log_lines::kPenaltyPrefix) + FormatReal(entry.penalty));
    evaluator.Values(entry.key, *values);
    WriteDistributions(*values, tree, log);
  }
}

}  // namespace dorvu
