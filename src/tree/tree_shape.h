// The fixed tree of a dorvu run: the complete rooted binary tree of depth 6.
// A vertex is named by its depth and its position within that depth.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tree/tree_size.h"

namespace dorvu {

// The root is {0, 1}; vertex i (from 1) at depth d is {d, i}.
struct VertexId {
  int depth = 0;
  int index = 1;
  friend bool operator==(VertexId, VertexId) = default;
};

inline constexpr VertexId kRoot{0, 1};

// Width of one depth level: 2^depth vertices.
int LevelWidth(int depth);

// "0" for the root, "d.i" for every other vertex.
std::string VertexName(VertexId v);

// The name as the run log writes it: the root is " 0 " there.
std::string LogVertexName(VertexId v);

// "6.k", the name of leaf k (from 1).
inline std::string LeafVertexName(int leaf) { return VertexName({kTreeDepth, leaf}); }

// Accepts "d.i" with 1 <= d <= 6 and 1 <= i <= 2^d, in plain decimal.
std::optional<VertexId> ParseVertexName(std::string_view text);

// Only for non-root vertices.
VertexId ParentOf(VertexId v);
VertexId FirstChildOf(VertexId v);
VertexId SecondChildOf(VertexId v);
bool IsLeaf(VertexId v);

// The order in which the report lists the vertices: depth first, root, 1.1, 2.1,
// ..., 6.1, 6.2, 5.2, ... ending with 5.32, 6.63, 6.64.
const std::vector<VertexId>& DepthFirstOrder();

}  // namespace dorvu
