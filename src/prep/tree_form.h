// The tree form of dorvu-prep (--tree FILE): the records matched to the tips
// of a rooted tree by name, the tree pruned to the tips with data (--prune),
// and the input written by tip name beside the tree it belongs to.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "prep/records.h"
#include "tree/newick.h"

namespace dorvu::prep {

// The tree without the tips that `keep` (one entry per vertex, read at the
// tips) leaves out, and without every vertex left with no tip below it. A
// vertex left with one child is merged with it: the child's label, and the
// two branch lengths added (as doubles, written in the shortest form that
// reads back the same; the one written when the other has none). A root left
// with one child gives way to it, keeping the root's own length. Throws
// MatchRefused when two lengths do not add up to a finite double, naming
// `treePath`.
NewickTree PruneTree(const NewickTree& tree, const std::vector<bool>& keep, const std::string& treePath);

// Names that do not match, or a tree pruned too far: the lines to write on
// standard error, each beginning "dorvu-prep: ".
struct MatchRefused {
  std::string text;
};

struct TipMatch {
  NewickTree tree;               // the tree the input belongs to: pruned when asked
  std::vector<Record> records;   // one per tip of `tree`, from the left
  std::size_t tipsDropped = 0;   // --prune: tips without data
  std::size_t namesSkipped = 0;  // --prune: records without a tip
};

// Where the names come from, for messages.
struct MatchSources {
  std::string treePath;
  std::string dataPath;  // INPUT or SHEET
  std::string dataWord;  // "the records" or "the sheet"
};

// The records (ReadOptions::byName) put in the order of the tree's tips by
// Record::tip. Refused (MatchRefused) when a name is given twice, and, unless
// `prune`, when a tip has no data or a name is no tip: up to cli::kNamesShown of
// each kind with their count, and hints for names that differ only by blanks
// written as "_" or only by case. With `prune`, the tips without data leave
// the tree and the records without a tip are skipped; fewer than 2 tips left
// are refused.
TipMatch MatchTips(const NewickTree& tree, std::vector<Record> records, bool prune, const MatchSources& sources);

// The two parameter lines, then one line per tip from the left: the name
// (quoted where Newick needs it), a blank, and the values as InputText writes
// them. `records` holds one record per tip.
std::string TreeInputText(const std::string& cardinality, const std::string& noise, const NewickTree& tree,
                          const std::vector<Record>& records);

}  // namespace dorvu::prep
