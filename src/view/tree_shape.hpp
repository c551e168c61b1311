// The fixed tree of a dorvu run: the complete rooted binary tree of depth 6.
// A vertex is named by its depth and its position within that depth.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace dorvu::view {

inline constexpr int kTreeDepth = 6;
inline constexpr int kVertexCount = 127;
inline constexpr int kLeafCount = 64;

// The root is {0, 1}; vertex i (from 1) at depth d is {d, i}.
struct VertexId {
    int depth = 0;
    int index = 1;
    friend bool operator==(VertexId, VertexId) = default;
};

inline constexpr VertexId kRoot{0, 1};

// Width of one depth level: 2^depth vertices.
int level_width(int depth);

// "0" for the root, "d.i" for every other vertex.
std::string vertex_name(VertexId v);

// The name as the run log writes it: the root is " 0 " there.
std::string log_vertex_name(VertexId v);

// Accepts "d.i" with 1 <= d <= 6 and 1 <= i <= 2^d, in plain decimal.
std::optional<VertexId> parse_vertex_name(std::string_view text);

// Only for non-root vertices.
VertexId parent_of(VertexId v);
VertexId first_child_of(VertexId v);
VertexId second_child_of(VertexId v);
bool is_leaf(VertexId v);

// 0..126 in breadth-first order (root 0, 1.1 is 1, 1.2 is 2, ...): an array index.
int breadth_position(VertexId v);

// The order in which the report lists the vertices: depth first, root, 1.1, 2.1,
// ..., 6.1, 6.2, 5.2, ... ending with 5.32, 6.63, 6.64.
const std::vector<VertexId>& depth_first_order();

}  // namespace dorvu::view
