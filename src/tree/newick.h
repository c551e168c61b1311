// A rooted tree in Newick form: one tree read from text or from a file, and
// written back. The vertices are numbered in written order (a vertex before
// its children, the children in the order written), the root first.
//
// The text holds one tree ending with ';'. Blanks, tabs, line ends and
// comments ('[' to the next ']') may stand between tokens. A label is
// unquoted (bytes other than blanks, tabs, line ends and ()[]':;,) or quoted
// ('...' with '' for a quote inside, on one line). A branch length is ':' and
// a decimal number (sign, digits with an optional fraction, exponent), kept as
// written. Every tip has a name of its own; a tree has at least 2 tips.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace dorvu {

// A refused text: where the problem is seen (1-based line and column, the
// column counted in bytes) and what it is.
struct NewickError {
  int64_t line = 0;
  int64_t column = 0;
  std::string message;
};

struct NewickTree {
  std::vector<int32_t> parent;      // parent of each vertex; -1 at the root (vertex 0)
  std::vector<int32_t> childBegin;  // children of v are childList[childBegin[v] .. childBegin[v+1]); size vertices + 1
  std::vector<int32_t> childList;   // children in written order
  std::vector<std::string> label;   // tip name or internal label, unquoted; "" when none
  std::vector<std::string> length;  // branch length exactly as written; "" when none
  std::vector<int32_t> depth;       // edges from the root
  int32_t tipCount = 0;

  friend bool operator==(const NewickTree&, const NewickTree&) = default;
};

// The tree of `text`, or throws NewickError. A UTF-8 byte order mark at the
// start is skipped (it counts in the columns). Works without recursion, in
// time and memory linear in the text.
NewickTree ParseNewick(std::string_view text);

// The tree of the file at `path`; throws IoError when the file cannot be
// opened or read, NewickError when its text is refused.
NewickTree ReadNewickFile(const std::string& path);

// The tree in Newick on one line, ending with ';' (no line end): labels quoted
// where needed, lengths as kept, no comments. The text of a tree that
// ParseNewick gave reads back to the same tree.
std::string NewickText(const NewickTree& tree);

// A label as written: unquoted, or in quotes with '' for a quote inside when
// it is empty or holds a blank, a tab, a line end or one of ()[]':;,.
std::string NewickLabelText(std::string_view label);

// The same, quoted when it is empty or holds any of `special`.
std::string NewickLabelText(std::string_view label, std::string_view special);

// The tip names of a tree, from the left: leaf k is the k-th.
std::vector<std::string> TipNames(const NewickTree& tree);

// The name of every vertex: "0" for the root, "d.i" for the others, d the
// depth and i the place among the vertices of that depth in written order,
// counted from 1.
std::vector<std::string> VertexNames(const NewickTree& tree);

}  // namespace dorvu
