// The files dorvu-prep writes: a dorvu input and the table of leaf names.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "prep/records.h"

namespace dorvu::prep {

// The two parameter lines with the values as given, then one line per leaf
// "6.k A:a_C:c_G:g_T:t", each share in the shortest form that reads back as
// the same double. LF line ends.
std::string InputText(const std::string& cardinality, const std::string& noise, const std::vector<Record>& records);

// The two parameter lines of an input, with the values as given.
std::string ParameterLines(const std::string& cardinality, const std::string& noise);

// The values of a leaf line, "A:a_C:c_G:g_T:t", without the line end.
std::string LeafValuesText(const std::array<double, 4>& shares);

// The header "leaf<TAB>name", then "6.k<TAB>LABEL" for every leaf.
std::string NamesTable(const std::vector<Record>& records);

// The table's name beside the input: OUTPUT without its ".txt" ending, then
// ".names.tsv" (input.txt gives input.names.tsv).
std::string NamesPath(const std::string& output);

// The tree's name beside the input: OUTPUT without its ".txt" ending, then
// ".nwk" (input.txt gives input.nwk).
std::string TreePath(const std::string& output);

}  // namespace dorvu::prep
