// The input of dorvu-prep: 64 records, one per leaf, from FASTA or FASTQ or
// from a table of counts or frequencies.
#pragma once

#include <array>
#include <cstdint>
#include <iosfwd>
#include <string>
#include <vector>

#include "cli/located_error.h"
#include "prep/composition.h"
#include "prep/line_reader.h"
#include "tree/tree_size.h"

namespace dorvu::prep {

// The most a table row may hold in all under the bootstrap, which draws its
// counts one by one.
inline constexpr std::uint64_t kMaxDrawnTotal = std::uint64_t{1} << 32;

// What names a FASTA record in the table of names: the header's first word,
// the rest of the header, or one "|"-separated field of the first word.
struct LabelChoice {
  enum class Kind { kWord, kDescription, kField };
  Kind kind = Kind::kWord;
  std::size_t field = 0;  // for kField, counted from 1
};

struct ReadOptions {
  LabelChoice label;
  // Table rows must be whole counts, at most kMaxDrawnTotal in all, and are
  // kept in Record::positions for a bootstrap replicate.
  bool forBootstrap = false;
  // FASTQ: bases of a lower Phred quality are not counted.
  int minQuality = 0;
  // The tree form: records, table rows and sheet rows name tips of a tree
  // (Record::tip) and come in any number, in the order of the file; names
  // given twice and names that are no tip are left to MatchTips.
  bool byName = false;
  // The reading buffer: lines up to this long are read whole, longer ones in
  // pieces. Tests make it small.
  std::size_t bufferBytes = kLineBufferBytes;
};

struct Record {
  std::string name;                // FASTA: the header's first word; table: the leaf as written
  std::string label;               // the name for the table of names
  std::array<double, 4> shares{};  // A, C, G, T; they sum to 1 up to rounding
  std::int64_t line = 0;           // where the record starts
  // FASTA, FASTQ and samples: the positions of each code class. Table read
  // for the bootstrap: the row's counts in the classes A, C, G and T.
  CodeCounts positions{};
  // The tree form: the tip it belongs to (FASTA and FASTQ: the label; table
  // and sheet: the leaf column).
  std::string tip = {};
};

// FASTA when the first line that is not blank starts with ">", FASTQ when it
// starts with "@" (one record per leaf, in order, for both), a table when it
// is the header "leaf<TAB>A<TAB>C<TAB>G<TAB>T". Returns the records in leaf
// order (ReadOptions::byName: in the order of the file). Throws
// cli::LocatedError.
std::vector<Record> ReadRecords(std::istream& in, const ReadOptions& options = {});

// The same from a file, plain or gzip-compressed; a file that cannot be read
// is a cli::LocatedError on line 0.
std::vector<Record> ReadRecordsFile(const std::string& path, const ReadOptions& options = {});

// One site-bootstrap replicate: every record's positions drawn with
// replacement, as many as it has, and its shares set from the drawn ones. One
// generator seeded with `seed` draws the records in leaf order. A table must
// have been read with ReadOptions::forBootstrap.
void DrawBootstrapReplicate(std::vector<Record>& records, std::uint64_t seed);

}  // namespace dorvu::prep
