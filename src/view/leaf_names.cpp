#include "view/leaf_names.h"

#include <filesystem>
#include <fstream>
#include <system_error>

#include "cli/located_error.h"

namespace dorvu::view {

namespace {

constexpr std::string_view kHeader = "leaf\tname";

std::string WithoutCarriageReturn(std::string line) {
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return line;
}

// "6.k<TAB>NAME" into names[k - 1]; `lineOf` remembers where each leaf was named.
void ReadRow(const std::string& row, int number, LeafNames& names, std::vector<int>& lineOf) {
  const auto tab = row.find('\t');
  if (tab == std::string::npos || row.find('\t', tab + 1) != std::string::npos)
    throw cli::LocatedError(number, "expected two tab-separated fields, a leaf and its name");
  const std::string leaf = row.substr(0, tab);
  const auto vertex = ParseVertexName(leaf);
  if (!vertex || !IsLeaf(*vertex)) throw cli::LocatedError(number, "\"" + leaf + "\" is not a leaf (6.1 to 6.64)");
  const std::string name = row.substr(tab + 1);
  if (name.empty()) throw cli::LocatedError(number, "leaf " + leaf + " has an empty name");
  const int k = vertex->index;
  if (lineOf[k - 1] != 0)
    throw cli::LocatedError(number,
                            "leaf " + leaf + " is named twice (first on line " + std::to_string(lineOf[k - 1]) + ")");
  names[k - 1] = name;
  lineOf[k - 1] = number;
}

}  // namespace

LeafNames ReadLeafNames(const std::string& path) {
  std::error_code error;
  if (!std::filesystem::exists(path, error)) throw cli::LocatedError(0, "no such file");
  if (std::filesystem::is_directory(path, error))
    throw cli::LocatedError(0, "this is a directory, not a table of names");
  std::ifstream in(path, std::ios::binary);
  if (!in) throw cli::LocatedError(0, "the file cannot be opened for reading");
  std::string line;
  if (!std::getline(in, line) || WithoutCarriageReturn(line) != kHeader)
    throw cli::LocatedError(1, "expected the header \"leaf<TAB>name\"");
  LeafNames names(kLeafCount);
  std::vector<int> lineOf(kLeafCount, 0);
  for (int number = 2; std::getline(in, line); ++number) {
    line = WithoutCarriageReturn(line);
    if (!line.empty()) ReadRow(line, number, names, lineOf);
  }
  if (in.bad()) throw cli::LocatedError(0, "the file cannot be read");
  for (int k = 1; k <= kLeafCount; ++k)
    if (lineOf[k - 1] == 0) throw cli::LocatedError(0, "leaf " + LeafVertexName(k) + " has no name");
  return names;
}

std::string LeafName(const LeafNames& names, VertexId v) {
  if (names.empty() || !IsLeaf(v)) return {};
  return names[static_cast<std::size_t>(v.index - 1)];
}

}  // namespace dorvu::view
