#include "view/run_tallies.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <numeric>

#include "view/log_number.h"

namespace dorvu::view {

namespace {

constexpr std::string_view kSupportRule = "--support takes runs of one cardinality and one noise level";
constexpr std::string_view kScanRule = "--scan takes runs of one noise level";

cli::LocatedError Differs(std::int64_t line, std::string_view what, const std::string& found, const std::string& first,
                          const std::string& firstLog, std::string_view rule) {
  return cli::LocatedError(line, std::string(what) + " \"" + found + "\" differs from \"" + first + "\" in " +
                                     firstLog + "; " + std::string(rule));
}

void CountMarks(const RunReport& report, std::vector<std::int64_t>& marked) {
  marked.resize(report.vertices.size());
  for (std::size_t i = 0; i < report.vertices.size(); ++i)
    if (IsMarked(report, report.vertices[i].vertex)) ++marked[i];
}

std::string TreeKind(const std::shared_ptr<const OwnTree>& tree) {
  return tree ? "a tree of its own" : "the fixed tree";
}

// Runs on different trees cannot be counted together: the first log's tree
// holds for all.
std::optional<cli::LocatedError> OtherTree(const RunReport& report, const std::shared_ptr<const OwnTree>& first,
                                           const std::string& firstLog, std::string_view rule) {
  if (!report.tree && !first) return std::nullopt;
  if (report.tree && first && report.tree->text == first->text) return std::nullopt;
  const std::int64_t line = report.tree ? report.treeLine : report.noiseLine + 1;
  const std::string what = report.tree && first ? "the tree differs from the tree of " + firstLog
                                                : "the run is on " + TreeKind(report.tree) + ", but " + firstLog +
                                                      " is on " + TreeKind(first);
  return cli::LocatedError(line, what + "; " + std::string(rule) + " on one tree");
}

std::string Tabbed(const std::vector<std::string>& fields) {
  std::string line;
  for (std::size_t i = 0; i < fields.size(); ++i) line.append(i == 0 ? "" : "\t").append(fields[i]);
  return line + "\n";
}

}  // namespace

std::vector<cli::LocatedError> AddToSupport(SupportTally& tally, const RunReport& report) {
  if (tally.runs == 0) {
    tally.firstLog = report.logName;
    tally.cardinalityText = report.cardinalityText;
    tally.cardinalityLimit = report.cardinalityLimit;
    tally.noiseLevel = report.noiseLevel.printed;
    tally.tree = report.tree;
    tally.vertices.resize(report.vertices.size());
  }
  std::vector<cli::LocatedError> problems;
  if (report.cardinalityText != tally.cardinalityText)
    problems.push_back(Differs(report.cardinalityLine, "the cardinality", report.cardinalityText, tally.cardinalityText,
                               tally.firstLog, kSupportRule));
  if (report.noiseLevel.printed != tally.noiseLevel)
    problems.push_back(Differs(report.noiseLine, "the noise level", report.noiseLevel.printed, tally.noiseLevel,
                               tally.firstLog, kSupportRule));
  if (const auto problem = OtherTree(report, tally.tree, tally.firstLog, kSupportRule)) problems.push_back(*problem);
  if (!problems.empty()) return problems;
  ++tally.runs;
  if (report.inputErrors > 0) ++tally.runsWithInputErrors;
  std::vector<std::int64_t> marked;
  CountMarks(report, marked);
  for (std::size_t i = 0; i < report.vertices.size(); ++i) {
    tally.vertices[i].marked += marked[i];
    for (std::size_t b = 0; b < kBases.size(); ++b) tally.vertices[i].sums[b] += report.vertices[i].base[b].value;
  }
  return {};
}

std::vector<cli::LocatedError> AddToScan(ScanTally& tally, const RunReport& report) {
  if (tally.runs == 0) {
    tally.firstLog = report.logName;
    tally.noiseLevel = report.noiseLevel.printed;
    tally.tree = report.tree;
  }
  std::vector<cli::LocatedError> problems;
  if (report.noiseLevel.printed != tally.noiseLevel)
    problems.push_back(Differs(report.noiseLine, "the noise level", report.noiseLevel.printed, tally.noiseLevel,
                               tally.firstLog, kScanRule));
  if (const auto problem = OtherTree(report, tally.tree, tally.firstLog, kScanRule)) problems.push_back(*problem);
  if (!problems.empty()) return problems;
  ++tally.runs;
  if (report.inputErrors > 0) ++tally.runsWithInputErrors;
  CardinalityTally& cardinality = tally.cardinalities[report.cardinality];
  cardinality.penalties.push_back(report.penalty);
  CountMarks(report, cardinality.marked);
  return {};
}

bool MarkedInHalf(std::int64_t marked, std::int64_t runs) { return 2 * marked >= runs; }

int SupportPercent(std::int64_t marked, std::int64_t runs) {
  const auto percent = static_cast<int>((200 * marked + runs) / (2 * runs));  // halves round up
  if (marked > 0 && percent == 0) return 1;
  if (marked < runs && percent == 100) return 99;
  return percent;
}

std::string SupportFraction(std::int64_t marked, std::int64_t runs) {
  std::array<char, 64> buffer{};
  const double share = static_cast<double>(marked) / static_cast<double>(runs);
  const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), share, std::chars_format::fixed);
  return std::string(buffer.data(), result.ptr);
}

std::vector<LogReal> SortedByValue(std::vector<LogReal> penalties) {
  std::stable_sort(penalties.begin(), penalties.end(), [](const LogReal& a, const LogReal& b) {
    if (std::isnan(a.value)) return false;
    return std::isnan(b.value) || a.value < b.value;
  });
  return penalties;
}

LogReal Median(const std::vector<LogReal>& sorted) {
  const std::size_t n = sorted.size();
  const LogReal& upper = sorted[n / 2];
  if (n % 2 == 1) return upper;
  const LogReal& lower = sorted[n / 2 - 1];
  if (lower.value == upper.value) return lower;
  const double mean = std::midpoint(lower.value, upper.value);
  const std::string text = FormatLogReal(mean);
  return {text, text, mean};
}

std::string SupportTable(const SupportTally& tally, const LeafNames& names) {
  std::vector<std::string> header{"vertex", "parent", "depth", "runs", "marked", "support"};
  if (tally.tree) header.insert(header.end(), {"name", "tips"});
  if (!names.empty()) header.push_back("name");
  std::string out = Tabbed(header);
  const std::vector<VertexId>& order = VertexOrder(tally.tree);
  for (std::size_t i = 0; i < order.size(); ++i) {
    const VertexId v = order[i];
    const std::int64_t marked = tally.vertices[i].marked;
    std::vector<std::string> row{VertexName(v),           ParentName(tally.tree, i),
                                 std::to_string(v.depth), std::to_string(tally.runs),
                                 std::to_string(marked),  SupportFraction(marked, tally.runs)};
    if (tally.tree) row.insert(row.end(), {TableText(tally.tree->tree.label[i]), std::to_string(tally.tree->tips[i])});
    if (!names.empty()) row.push_back(LeafName(names, v));
    out += Tabbed(row);
  }
  return out;
}

std::string ScanTable(const ScanTally& tally) {
  std::vector<std::string> header{"cardinality", "runs", "penalty_min", "penalty_median", "penalty_max", "marked"};
  // On a tree of one's own, the marked vertices' names ("; " between them) and clade sizes, in the same order.
  if (tally.tree) header.insert(header.end(), {"name", "tips"});
  std::string out = Tabbed(header);
  const std::vector<VertexId>& order = VertexOrder(tally.tree);
  for (const auto& [cardinality, runs] : tally.cardinalities) {
    const std::vector<LogReal> sorted = SortedByValue(runs.penalties);
    const auto count = static_cast<std::int64_t>(sorted.size());
    std::string marked;
    std::string labels;
    std::string tips;
    for (std::size_t i = 1; i < order.size(); ++i) {
      if (!MarkedInHalf(runs.marked[i], count)) continue;
      const bool first = marked.empty();
      marked.append(first ? "" : " ").append(VertexName(order[i]));
      if (!tally.tree) continue;
      labels.append(first ? "" : "; ").append(TableText(tally.tree->tree.label[i]));
      tips.append(first ? "" : " ").append(std::to_string(tally.tree->tips[i]));
    }
    std::vector<std::string> row{std::to_string(cardinality), std::to_string(count), sorted.front().text,
                                 Median(sorted).text,         sorted.back().text,    marked};
    if (tally.tree) row.insert(row.end(), {labels, tips});
    out += Tabbed(row);
  }
  return out;
}

}  // namespace dorvu::view
