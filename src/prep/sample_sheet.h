// A sample sheet: one file of sequences or reads per leaf, each summed into
// its leaf's composition.
//
//   leaf<TAB>name<TAB>path
//   6.1<TAB>K-12<TAB>genomes/k12.fna.gz
//   ...
//
// Paths are taken from the sheet's folder. A file is FASTA or FASTQ, plain or
// gzip-compressed, with any number of records.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "prep/composition.h"
#include "prep/records.h"

namespace dorvu::prep {

struct SampleRow {
  int leaf = 0;      // 6.1 is 1
  std::string tip;   // the tree form: the leaf column, a tip name (leaf stays 0)
  std::string name;  // for the table of names
  std::string path;  // as the sheet gives it, for messages
  std::string file;  // the path from the sheet's folder, for reading
  std::int64_t line = 0;
};

// The sheet's rows in the order of its lines: one for each leaf (by name: any
// number of rows of tips), every file named once. Throws cli::LocatedError on
// the sheet's line.
std::vector<SampleRow> ReadSampleSheet(const std::string& sheetPath, const ReadOptions& options);

// The positions counted in all the records of one FASTA or FASTQ file, read
// through `buffer`. A file with no base to count is refused. Throws
// cli::LocatedError on the line of the file.
CodeCounts CountSampleFile(const std::string& file, const ReadOptions& options, std::vector<char>& buffer);

// How messages name the row's leaf: "6.k", or the tip's name.
std::string RowLeafName(const SampleRow& row);

// The samples in leaf order (by name: in the order of the rows), their files read on up to `threads` threads;
// the result is the same for any number. A fault in a file is a
// cli::LocatedError on its row's line naming the leaf and the file (and the
// line in it); of several, the one of the sheet's first line.
std::vector<Record> CountSamples(const std::vector<SampleRow>& rows, const ReadOptions& options, int threads);

// The number of processors this process may run on.
int AvailableProcessors();

}  // namespace dorvu::prep
