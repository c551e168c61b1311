// What dorvu-view takes from a run log: the run's parameters as echoed, the
// messages the run logged, and the best scenario with its 127 distributions.
#pragma once

#include <array>
#include <cstdint>
#include <iosfwd>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "cli/located_error.h"
#include "tree/tree_shape.h"
#include "view/own_tree.h"

namespace dorvu::view {

// A real number of the log. `printed` is the text exactly as in the log, `text`
// the same digits with "." as decimal point (and NaN/Inf spelled as R and
// Python read them), `value` the number.
struct LogReal {
  std::string printed;
  std::string text;
  double value = 0.0;
};

// A/C/G/T, in this order, as everywhere in dorvu.
inline constexpr std::array<char, 4> kBases{'A', 'C', 'G', 'T'};

// A vertex of the fixed tree by its place; of a tree of one's own by its name
// "d.i", which has the same form (the place in the run's vertex order is then
// the vertex's number in the tree).
struct VertexDistribution {
  VertexId vertex;
  std::array<LogReal, 4> base;
  std::int64_t line = 0;
};

struct RunReport {
  std::string logName;
  std::string cardinalityText;
  int cardinality = 0;
  std::int64_t cardinalityLine = 0;  // the lines of the two echoed parameters
  std::int64_t noiseLine = 0;
  std::int64_t treeLine = 0;            // of a run on a tree of one's own
  std::optional<int> cardinalityLimit;  // when the run limited the cardinality
  LogReal noiseLevel;
  char decimalSeparator = '.';
  std::int64_t inputErrors = 0;     // lines such as "an error in data on the leaf 7"
  std::int64_t memoryMessages = 0;  // "I want more main memory!" and "... add memory!"
  std::vector<VertexId> marked;     // as listed in the log; the root is never listed
  LogReal penalty;
  std::vector<VertexDistribution> vertices;  // the log's depth-first order
  std::shared_ptr<const OwnTree> tree;       // the run's own tree; none for the fixed tree
};

// The root belongs to every scenario, so it counts as marked.
bool IsMarked(const RunReport& report, VertexId v);

// The vertices of a log's tree in the order the log lists them.
const std::vector<VertexId>& VertexOrder(const std::shared_ptr<const OwnTree>& tree);

// Reads the run log line by line from a stream. Throws cli::LocatedError.
RunReport ParseRunLog(std::istream& in, const std::string& logName);

// The same from the log's bytes.
RunReport ParseRunLog(const std::string& bytes, const std::string& logName);

// Reads the run log from a file. Throws cli::LocatedError (line 0 when the file cannot be read).
RunReport ReadRunLog(const std::string& path);

}  // namespace dorvu::view
