// What dorvu-view keeps of many runs of one input: replicates at one
// cardinality (--support), or runs at several cardinalities (--scan). The logs
// are read one at a time and only counts, sums and penalties are kept, so a
// thousand logs take little more memory than one.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "view/leaf_names.h"
#include "view/run_report.h"

namespace dorvu::view {

// How often a vertex was marked, and the sums of its four values.
struct VertexTally {
  std::int64_t marked = 0;
  std::array<double, 4> sums{};
};

// The replicates of one run. The first log added sets the cardinality and the
// noise level that the others must echo.
struct SupportTally {
  std::string firstLog;
  std::string cardinalityText;  // as the first log echoes it
  std::optional<int> cardinalityLimit;
  std::string noiseLevel;  // as the first log echoes it
  std::int64_t runs = 0;
  std::int64_t runsWithInputErrors = 0;
  std::shared_ptr<const OwnTree> tree;  // the runs' own tree; none for the fixed tree
  std::vector<VertexTally> vertices;    // in the vertex table's order
};

// The runs at one cardinality.
struct CardinalityTally {
  std::vector<LogReal> penalties;    // in the order read
  std::vector<std::int64_t> marked;  // runs that mark each vertex, in the vertex table's order
};

// Runs of one input at one noise level, by cardinality.
struct ScanTally {
  std::string firstLog;
  std::string noiseLevel;  // as the first log echoes it
  std::int64_t runs = 0;
  std::int64_t runsWithInputErrors = 0;
  std::shared_ptr<const OwnTree> tree;  // the runs' own tree; none for the fixed tree
  std::map<int, CardinalityTally> cardinalities;
};

// Adds a run, or returns why it does not belong with the runs added before:
// each parameter whose echoed text differs from the first log's, at its line,
// and a tree other than the first log's.
std::vector<cli::LocatedError> AddToSupport(SupportTally& tally, const RunReport& report);
std::vector<cli::LocatedError> AddToScan(ScanTally& tally, const RunReport& report);

// A vertex counts as marked over many runs when at least half of them mark it.
bool MarkedInHalf(std::int64_t marked, std::int64_t runs);

// The share of the runs that mark a vertex as a whole percentage: the nearest
// one, but never 0 for a vertex marked at least once and never 100 for one
// that some run leaves unmarked.
int SupportPercent(std::int64_t marked, std::int64_t runs);

// marked / runs in the shortest plain form that reads back as the same double.
std::string SupportFraction(std::int64_t marked, std::int64_t runs);

// The penalties by value, a NaN last.
std::vector<LogReal> SortedByValue(std::vector<LogReal> penalties);

// The median of sorted penalties: the middle one's digits, or for an even
// number the mean of the middle two in the log's form, unless the two are the
// same number, which keeps its digits. The value is the median as a number.
LogReal Median(const std::vector<LogReal>& sorted);

// The tables: one row per vertex, and one row per cardinality.
std::string SupportTable(const SupportTally& tally, const LeafNames& names = {});
std::string ScanTable(const ScanTally& tally);

// On a tree of one's own, an iTOL dataset with the support of every vertex
// but the root that any run marks, as a percentage on its branch.
std::string ItolSupport(const SupportTally& tally);

// The pictures: the tree with the support of each vertex, and the penalties
// and supports against the cardinality.
std::string SupportPicture(const SupportTally& tally, const LeafNames& names = {});
std::string ScanPicture(const ScanTally& tally, const LeafNames& names = {});

}  // namespace dorvu::view
