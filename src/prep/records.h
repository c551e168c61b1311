// The input of dorvu-prep: 64 records, one per leaf, from FASTA or from a
// table of counts or frequencies.
#pragma once

#include <array>
#include <cstdint>
#include <iosfwd>
#include <stdexcept>
#include <string>
#include <vector>

namespace dorvu::prep {

inline constexpr int LeafCount = 64;

struct Record {
  std::string name;                // FASTA: the header's first word; table: the leaf as written
  std::array<double, 4> shares{};  // A, C, G, T; they sum to 1 up to rounding
  std::int64_t line = 0;           // where the record starts
};

// Input that cannot be used. `line` is 1-based, 0 when no line is concerned;
// `problem` names the record where there is one.
struct InputError : std::runtime_error {
  InputError(std::int64_t line, const std::string& problem);
  std::int64_t line;
  std::string problem;
};

// FASTA when the first line that is not blank starts with ">", a table when
// it is the header "leaf<TAB>A<TAB>C<TAB>G<TAB>T". Returns the records in
// leaf order. Throws InputError.
std::vector<Record> ReadRecords(std::istream& in);

// The same from a file; a file that cannot be read is an InputError on line 0.
std::vector<Record> ReadRecordsFile(const std::string& path);

}  // namespace dorvu::prep
