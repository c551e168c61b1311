#include "prep/records.h"

#include <algorithm>
#include <map>
#include <optional>
#include <string_view>

#include "prep/composition.h"
#include "prep/decimal.h"
#include "prep/line_reader.h"
#include "prep/resample.h"
#include "prep/sequence_reader.h"
#include "tree/tree_shape.h"

namespace dorvu::prep {

namespace {

constexpr std::string_view kTableHeader = "leaf\tA\tC\tG\tT";
constexpr std::array<char, 4> kBases{'A', 'C', 'G', 'T'};
const std::string kCountNeeded = "dorvu needs exactly 64, one per leaf";

// The header's text after its first word, each run of blanks and tabs made one blank, trimmed.
std::string Description(std::string_view rest) {
  std::string text;
  bool gap = false;
  for (const char c : rest) {
    if (c == ' ' || c == '\t') {
      gap = true;
      continue;
    }
    if (gap && !text.empty()) text += ' ';
    text += c;
    gap = false;
  }
  return text;
}

// Field `number` (from 1) of `word` split at "|"; nothing when it has fewer.
std::optional<std::string_view> PipeField(std::string_view word, std::size_t number) {
  for (std::size_t start = 0, k = 1;; ++k) {
    const auto bar = word.find('|', start);
    if (k == number) return word.substr(start, bar - start);
    if (bar == std::string_view::npos) return std::nullopt;
    start = bar + 1;
  }
}

std::size_t PipeFieldCount(std::string_view word) {
  return static_cast<std::size_t>(std::count(word.begin(), word.end(), '|')) + 1;
}

// The records of a FASTA or FASTQ file, one per leaf in order, each named by
// its header.
class LeafRecords : public RecordHandler {
 public:
  // `marker` is the character that starts a header, ">" or "@".
  LeafRecords(const ReadOptions& options, char marker)
      : label_(options.label), byName_(options.byName), marker_(marker) {
    if (marker == '@' && options.minQuality > 0)
      nothingCounted_ = "no base to count (only N, gaps, bases of a quality below " +
                        std::to_string(options.minQuality) + " or nothing)";
  }

  void Start(std::size_t number, std::string_view header, std::int64_t line) override {
    const HeaderWords words = SplitHeader(header);
    const std::string name(words.name);
    current_ = Record{name, name, {}, line, {}};
    if (!byName_ && records_.size() == kLeafCount)
      throw cli::LocatedError(line, Label() + ": a record too many; " + kCountNeeded);
    if (name.empty())
      throw cli::LocatedError(line, "record " + std::to_string(number) + " has no name after \"" + marker_ + "\"");
    const auto [earlier, added] = firstOf_.try_emplace(name, number, line);
    if (!added)
      throw cli::LocatedError(line, Label() + ": the same name as record " + std::to_string(earlier->second.first) +
                                        " (line " + std::to_string(earlier->second.second) + ")");
    current_.label = ChosenLabel(name, words.rest, line);
    if (byName_) current_.tip = current_.label;
  }

  void Finish(const CodeCounts& positions) override {
    const std::uint64_t total = CountedPositions(positions);
    if (total == 0) throw cli::LocatedError(current_.line, Label() + ": " + nothingCounted_);
    // Every position counts six sixths.
    if (total > kMaxExactCount / 6)
      throw cli::LocatedError(current_.line, Label() + ": the record is too long to count exactly");
    current_.positions = positions;
    current_.shares = Shares(Sixths(positions));
    records_.push_back(std::move(current_));
  }

  // The records, which must be one per leaf (by name: any number); `lastLine` is the file's last line.
  std::vector<Record> Take(std::int64_t lastLine) {
    if (!byName_ && records_.size() != kLeafCount)
      throw cli::LocatedError(lastLine, "the file holds " + std::to_string(records_.size()) + " record" +
                                            (records_.size() == 1 ? "" : "s") + "; " + kCountNeeded);
    return std::move(records_);
  }

 private:
  std::string Label() const { return RecordLabel(records_.size() + 1, current_.name); }

  std::string ChosenLabel(const std::string& name, std::string_view rest, std::int64_t line) const {
    switch (label_.kind) {
      case LabelChoice::Kind::kWord:
        return name;
      case LabelChoice::Kind::kDescription: {
        std::string description = Description(rest);
        return description.empty() ? name : description;
      }
      case LabelChoice::Kind::kField:
        break;
    }
    const std::string option = "--label field:" + std::to_string(label_.field);
    const auto field = PipeField(name, label_.field);
    if (!field) {
      const std::size_t count = PipeFieldCount(name);
      throw cli::LocatedError(line, Label() + ": the first word has " + std::to_string(count) +
                                        " \"|\"-separated field" + (count == 1 ? "" : "s") + ", " + option + " needs " +
                                        std::to_string(label_.field));
    }
    // The table of names holds no empty name.
    if (field->empty())
      throw cli::LocatedError(line, Label() + ": field " + std::to_string(label_.field) +
                                        " of the first word is empty, and " + option + " needs a name there");
    return std::string(*field);
  }

  LabelChoice label_;
  bool byName_;
  char marker_;
  std::string nothingCounted_ = "no base to count (only N, gaps or nothing)";
  std::vector<Record> records_;
  std::map<std::string, std::pair<std::size_t, std::int64_t>> firstOf_;  // name -> record, line
  Record current_;
};

Decimal TableValue(std::string_view text, std::int64_t line, const std::string& leaf, char base) {
  const std::string what = "leaf " + leaf + ": the " + base + " value \"" + std::string(text) + "\"";
  const auto value = ParseDecimal(text);
  if (!value) throw cli::LocatedError(line, what + " is not a number");
  if (value->negative && value->value != 0) throw cli::LocatedError(line, what + " is negative");
  return *value;
}

// The row's values as whole counts for the bootstrap, in the classes A, C, G and T.
CodeCounts WholeCounts(const std::vector<std::string_view>& fields, std::int64_t line, const std::string& leaf) {
  CodeCounts counts{};
  for (std::size_t b = 0; b < 4; ++b) {
    const auto count = WholeNumber(fields[b + 1]);
    if (!count)
      throw cli::LocatedError(line, "leaf " + leaf + ": the bootstrap needs whole counts, not the frequency \"" +
                                        std::string(fields[b + 1]) + "\"");
    counts[b] = *count;
  }
  std::uint64_t total = 0;
  for (std::size_t b = 0; b < 4; ++b) {
    // Stops at the first count that passes the limit, before any sum can overflow.
    if (counts[b] > kMaxDrawnTotal - total)
      throw cli::LocatedError(line, "leaf " + leaf +
                                        ": the counts sum to more than 2^32 (4294967296), the most the bootstrap "
                                        "draws for one row");
    total += counts[b];
  }
  return counts;
}

// One row per leaf, in any order (by name: rows of tips, kept in the order of
// the file); each row is divided by its sum.
std::vector<Record> ReadTable(LineReader& lines, const ReadOptions& options) {
  std::vector<Record> records(options.byName ? 0 : kLeafCount);
  std::string storage;
  for (std::string_view line; lines.NextLine(line, storage);) {
    if (IsBlank(line)) continue;
    const auto fields = TabFields(line);
    if (fields.size() != 5)
      throw cli::LocatedError(lines.Line(),
                              "expected 5 tab-separated fields (leaf A C G T), found " + std::to_string(fields.size()));
    const std::string leaf(fields[0]);
    if (options.byName && leaf.empty()) throw cli::LocatedError(lines.Line(), "the row has no tip name");
    const auto vertex = options.byName ? std::nullopt : ParseVertexName(leaf);
    if (!options.byName && (!vertex || !IsLeaf(*vertex)))
      throw cli::LocatedError(lines.Line(), "\"" + leaf + "\" is not a leaf (6.1 to 6.64)");
    Record& record = options.byName ? records.emplace_back() : records[static_cast<std::size_t>(vertex->index - 1)];
    if (record.line != 0)
      throw cli::LocatedError(lines.Line(),
                              "leaf " + leaf + " is given twice (first on line " + std::to_string(record.line) + ")");
    std::array<Decimal, 4> values;
    for (std::size_t b = 0; b < 4; ++b) values[b] = TableValue(fields[b + 1], lines.Line(), leaf, kBases[b]);
    if (values[0].value + values[1].value + values[2].value + values[3].value == 0)
      throw cli::LocatedError(lines.Line(), "leaf " + leaf + ": the four values are all 0");
    record = Record{leaf, leaf, RowShares(values), lines.Line(), {}};
    if (options.byName) record.tip = leaf;
    if (options.forBootstrap) record.positions = WholeCounts(fields, lines.Line(), leaf);
  }
  if (options.byName && records.empty()) throw cli::LocatedError(0, "the table has no row");
  for (std::size_t k = 0; k < records.size(); ++k)
    if (records[k].line == 0)
      throw cli::LocatedError(0, "leaf " + LeafVertexName(static_cast<int>(k) + 1) +
                                     " is missing; the table needs one row for each leaf 6.1 to 6.64");
  return records;
}

std::vector<Record> ReadRecords(LineReader& lines, const ReadOptions& options) {
  const FirstLine first = FindFirstLine(lines);
  if (!first.found) throw cli::LocatedError(0, "the file is empty");
  if (!first.startsBlank && (first.piece.starts_with('>') || first.piece.starts_with('@'))) {
    LeafRecords records(options, first.piece[0]);
    ReadSequences(lines, first, records, options.minQuality);
    return records.Take(lines.Line());
  }
  // A longer line is no header; one byte more than the header and a CR tells so.
  std::string storage;
  if (!first.startsBlank && lines.RestOfLine(first.piece, first.ends, storage, kTableHeader.size() + 2) == kTableHeader)
    return ReadTable(lines, options);
  throw cli::LocatedError(lines.Line(),
                          "neither FASTA (a first line starting with \">\") nor a table (the header "
                          "\"leaf<TAB>A<TAB>C<TAB>G<TAB>T\")");
}

}  // namespace

std::vector<Record> ReadRecords(std::istream& in, const ReadOptions& options) {
  const auto source = StreamSource(in);
  std::vector<char> buffer(std::max<std::size_t>(options.bufferBytes, 1));
  LineReader lines(*source, buffer);
  return ReadRecords(lines, options);
}

std::vector<Record> ReadRecordsFile(const std::string& path, const ReadOptions& options) {
  const auto source = OpenFileSource(path);
  std::vector<char> buffer(std::max<std::size_t>(options.bufferBytes, 1));
  LineReader lines(*source, buffer);
  return ReadRecords(lines, options);
}

void DrawBootstrapReplicate(std::vector<Record>& records, std::uint64_t seed) {
  Generator random(seed);
  for (Record& record : records) {
    const std::vector<std::uint64_t> drawn = DrawWithReplacement(record.positions, random);
    std::copy(drawn.begin(), drawn.end(), record.positions.begin());
    record.shares = Shares(Sixths(record.positions));
  }
}

}  // namespace dorvu::prep
