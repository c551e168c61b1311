// The three files dorvu-view makes from a run report, each as text.
#pragma once

#include <string>
#include <string_view>

#include "view/run_report.h"

namespace dorvu::view {

// One row per vertex in the log's order, tab-separated, header
// "vertex parent depth marked A C G T", "." as decimal point, LF line ends.
// The root's parent is NA.
std::string TsvTable(const RunReport& report);

// The fixed tree in Newick form with every vertex named; the root is "0".
std::string NewickTree();

// A Newick label, quoted when it holds characters that Newick gives a meaning.
std::string NewickLabel(std::string_view name);

// The picture: the tree with a stacked bar per vertex, the marked vertices and
// their cut branches, a legend and a title line.
std::string SvgPicture(const RunReport& report);

}  // namespace dorvu::view
