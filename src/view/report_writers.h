// The three files dorvu-view makes from a run report, each as text.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "view/leaf_names.h"
#include "view/run_report.h"

namespace dorvu::view {

// One row per vertex in the log's order, tab-separated, header
// "vertex parent depth marked A C G T", "." as decimal point, LF line ends.
// The root's parent is NA. With leaf names, a last column "name" holds each
// leaf's name and is empty for the other vertices.
std::string TsvTable(const RunReport& report, const LeafNames& names = {});

// The fixed tree in Newick form with every vertex named; the root is "0".
// With leaf names, each leaf is labelled with its name instead.
std::string NewickTree(const LeafNames& names = {});

// A Newick label, quoted when it holds characters that Newick gives a meaning.
std::string NewickLabel(std::string_view name);

// The picture: the tree with a stacked bar per vertex, the marked vertices and
// their cut branches, a legend and a title line. With leaf names, the leaves
// are labelled with them.
std::string SvgPicture(const RunReport& report, const LeafNames& names = {});

// The files of a run on a tree of one's own (report.tree set):
// - the vertex table as above, with the last columns "name" (the tip's name or
//   the label of another vertex), "tips" (below the vertex) and "length" (of
//   its branch, as written);
// - the tree in Newick with every vertex named: tips by their names, the others
//   by their names in the log, lengths as written;
// - the same tree in NEXUS, each vertex with the comment
//   [&vertex="d.i",marked=0|1,A=a,C=c,G=g,T=t] and label="..." for an
//   internal vertex with a label;
// - iTOL datasets, by the names of the Newick tree: the cut branches in the
//   mark's colour, and a pie of A/C/G/T at every vertex with a distribution.
std::string OwnTsvTable(const RunReport& report);

// The tips whose names are those of internal vertices ("0", "d.i"): in the
// Newick tree and the iTOL datasets such a name stands for two vertices.
std::vector<std::string> TipsNamedAsInternalVertices(const OwnTree& tree);
std::string OwnNewickTree(const OwnTree& tree);
std::string NexusTree(const RunReport& report);
std::string ItolBranches(const RunReport& report);
std::string ItolBases(const RunReport& report);

// The table of many runs: a header, then one row per run with its name, the
// cardinality and noise level as echoed, the penalty, the marked vertices
// (blank-separated), and the counts of input errors and memory lines.
std::string SummaryHeader();
std::string SummaryRow(const RunReport& report, const std::string& run);

// "1 input error", "2 input errors".
std::string Counted(std::int64_t n, std::string_view what);

}  // namespace dorvu::view
