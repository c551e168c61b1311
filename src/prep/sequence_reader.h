// FASTA and FASTQ records, each counted by code class while its lines stream
// by: no record is held whole, only the bases and qualities of one FASTQ read.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "prep/composition.h"
#include "prep/line_reader.h"

namespace dorvu::prep {

// What is done with the records as they are read.
class RecordHandler {
 public:
  virtual ~RecordHandler() = default;
  // Record `number` (from 1) starts on `line`; `header` is its header line
  // without the ">" or "@".
  virtual void Start(std::size_t number, std::string_view header, std::int64_t line) = 0;
  // The record ends with these positions counted.
  virtual void Finish(const CodeCounts& positions) = 0;
};

// Reads FASTA (when `first`, the file's first line that is not blank, starts
// with ">") or FASTQ (with "@") to the end of the file. A FASTQ record is "@"
// and the title (the name and any words after it), the bases on one line or
// more up to a line starting with "+" (alone or with the record's own title
// again), and then lines of qualities until there is one quality byte per
// base, whatever those lines start with; its bases of a quality below
// `minQuality` are not counted. Blank lines between FASTQ records are
// skipped. Throws cli::LocatedError on the line of the fault, naming the
// record.
void ReadSequences(LineReader& lines, const FirstLine& first, RecordHandler& handler, int minQuality);

// A header's first word, the record's name, and the rest of the header after it.
struct HeaderWords {
  std::string_view name;
  std::string_view rest;
};
HeaderWords SplitHeader(std::string_view header);

// A record as messages name it: "record 3 \"name\"".
std::string RecordLabel(std::size_t number, std::string_view name);

}  // namespace dorvu::prep
