#include "report/report.h"

#include <algorithm>
#include <memory>

#include "input/convert.h"
#include "run/number_format.h"
#include "search/fast_evaluation.h"

namespace dorvu {

namespace {

void WriteMarkedVertices(const MarkTable& Mark, const Tree& tree, const RunLog& log) {
  for (int s = 1; s < SlotCount; ++s)
    if (Mark[s] == 1) WriteLogText(log, " " + tree.VertexNames[s] + " ");
  WriteLogLine(log, "");
}

// The printed values are the squares of the root vectors, formed and
// formatted in extended precision.
std::string VertexLine(const std::string& name, const BaseValues& x) {
  using Extended = long double;
  return "vertex " + name + ":" + " A:" + FormatReal(Extended(x.A) * x.A) +
         " C:" + FormatReal(Extended(x.C) * x.C) + " G:" + FormatReal(Extended(x.G) * x.G) +
         " T:" + FormatReal(Extended(x.T) * x.T);
}

void WriteDistributions(const PassState& pass, const Tree& tree, const RunLog& log) {
  WriteLogLine(log, "distribution values:");
  for (int s = 0; s < SlotCount; ++s)
    if (tree.TreeSequence[s].kind != KindClose)
      WriteLogLine(log, VertexLine(tree.VertexNames[s], pass.value[s]));
}

}  // namespace

void DecodeKey(const std::string& key, MarkTable& Mark, RunParameters& params, const RunLog& log) {
  // 0-based: p stands on the comma before the next number.
  std::size_t p = 0;
  while (p + 1 < key.size()) {
    ++p;
    std::size_t end = key.find(',', p);
    if (end == std::string::npos) end = key.size();
    int32_t n = 0;
    params.status = ConvertInteger(std::string_view(key).substr(p, end - p), n);
    p = end;
    if (params.status != 0 || n < 0 || n >= SlotCount)
      WriteLogLine(log, "an error, sorry");
    else
      Mark[n] = 1;
  }
}

void WriteReport(SearchState& state, RunParameters& params, const Tree& tree, const RunLog& log,
                 Estimation estimation) {
  std::unique_ptr<FastTree> fast;
  std::unique_ptr<FastWork> work;
  if (estimation == Estimation::FastKernel) {
    fast = std::make_unique<FastTree>();
    PrepareFastTree(params, tree, *fast);
    work = std::make_unique<FastWork>();
  }
  WriteLogLine(log, "the best scenario:");
  const int32_t count = std::min<int32_t>(params.reportCount, static_cast<int32_t>(state.bestList.size()));
  for (int32_t i = 0; i < count; ++i) {
    const scenarik& entry = state.bestList[i];
    if (entry.key.empty()) continue;
    std::fill(state.Mark.begin() + 1, state.Mark.end(), 0);
    params.currentKey = entry.key;
    DecodeKey(entry.key, state.Mark, params, log);
    WriteMarkedVertices(state.Mark, tree, log);
    WriteLogLine(log, "its penalty=" + FormatReal(entry.penalty));
    if (fast) {
      FastEstimateScenario(*fast, state.Mark, *work);
      CopyValuesBySlot(*fast, *work, state.pass.value);
    } else {
      EstimateScenario(params, tree, state.Mark, state.pass);
    }
    WriteDistributions(state.pass, tree, log);
  }
}

}  // namespace dorvu
