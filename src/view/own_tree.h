// A tree of one's own, as the line "tree=" of a run log gives it: the tree,
// the name of each vertex as the log writes it, and how many tips each holds.
// The vertices are numbered as the log lists their distributions: the root
// first, each vertex before its children, the children in written order.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "tree/newick.h"
#include "tree/tree_shape.h"

namespace dorvu::view {

struct OwnTree {
  std::string text;                                      // the Newick text exactly as the log holds it
  NewickTree tree;                                       // parent, children, labels, lengths, depths
  std::vector<std::string> names;                        // "0" for the root, "d.i" for the others
  std::vector<VertexId> ids;                             // the same names as depth and place
  std::vector<std::int32_t> tips;                        // tips at or below each vertex (1 for a tip)
  std::unordered_map<std::string, std::int32_t> byName;  // vertex of each name

  std::int32_t VertexCount() const { return static_cast<std::int32_t>(names.size()); }
  bool IsTip(std::int32_t v) const { return tree.childBegin[v] == tree.childBegin[v + 1]; }
};

// The tree of a log's line "tree=", without the prefix; throws NewickError.
std::shared_ptr<const OwnTree> MakeOwnTree(std::string_view text);

// The name of the parent of the vertex at `place` in the log's order: "NA"
// for the root. Without a tree of its own, of the fixed tree's vertex there.
std::string ParentName(const std::shared_ptr<const OwnTree>& tree, std::size_t place);

// The text with each of `characters` replaced.
std::string WithReplaced(std::string_view text, std::string_view characters, char replacement);

// A name or label as a cell of a table: tabs and line ends become blanks.
std::string TableText(std::string_view text);

// What a picture writes beside a vertex: a tip's name, shortened when long,
// or the vertex's name. And what its tooltip adds to the vertex's name: the
// tip's name or the label, and the clade size.
std::string OwnVertexLabel(const OwnTree& tree, std::size_t v);
std::string OwnVertexCaption(const OwnTree& tree, std::size_t v);

// The vertex of a name, if the tree has it.
std::optional<std::int32_t> FindVertex(const OwnTree& tree, std::string_view name);

}  // namespace dorvu::view
