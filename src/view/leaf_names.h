// The user's names of the 64 leaves, from the table dorvu-prep writes beside
// an input: the header "leaf<TAB>name", then one row "6.k<TAB>NAME" per leaf.
#pragma once

#include <string>
#include <vector>

#include "tree/tree_shape.h"

namespace dorvu::view {

// Entry k - 1 names leaf 6.k. Empty when the run has no names.
using LeafNames = std::vector<std::string>;

// Reads the table; every leaf must appear exactly once with a name. Throws
// cli::LocatedError with the line of the problem (0 when no line is concerned).
LeafNames ReadLeafNames(const std::string& path);

// The user's name of a leaf; empty for other vertices and when there are no names.
std::string LeafName(const LeafNames& names, VertexId v);

}  // namespace dorvu::view
