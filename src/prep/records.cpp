#include "prep/records.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <istream>
#include <map>
#include <optional>
#include <string_view>

#include "prep/composition.h"
#include "prep/decimal.h"
#include "prep/resample.h"
#include "view/tree_shape.h"

namespace dorvu::prep {

InputError::InputError(std::int64_t lineNumber, const std::string& what)
    : std::runtime_error(what), line(lineNumber), problem(what) {}

namespace {

constexpr std::string_view TableHeader = "leaf\tA\tC\tG\tT";
constexpr std::array<char, 4> Bases{'A', 'C', 'G', 'T'};
const std::string CountNeeded = "dorvu needs exactly 64, one per leaf";

// Lines without their line ends (LF or CR LF), numbered from 1.
struct Lines {
  std::istream& in;
  std::int64_t number = 0;

  bool Next(std::string& line) {
    if (!std::getline(in, line)) return false;
    ++number;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return true;
  }
};

bool IsBlank(std::string_view line) { return line.find_first_not_of(" \t\r\v\f") == std::string_view::npos; }

std::string RecordLabel(std::size_t number, const std::string& name) {
  return "record " + std::to_string(number) + " \"" + name + "\"";
}

// A character as a message shows it: printable ones quoted, others by their code.
std::string Shown(char c) {
  const auto byte = static_cast<unsigned char>(c);
  if (byte > 32 && byte < 127) return "\"" + std::string(1, c) + "\"";
  constexpr std::string_view Hex = "0123456789ABCDEF";
  return std::string("the byte 0x") + Hex[byte >> 4] + Hex[byte & 15];
}

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

// The bad character is a letter that only amino-acid codes use, and at least
// half of the line's letters are amino-acid codes other than the common
// nucleotides A, C, G, T, U and N (every nucleotide letter is also an
// amino-acid code, so those tell nothing): the record is most likely a
// protein. A DNA line with one stray letter stays far below that, and a
// line of a few letters tells nothing.
bool LooksLikeProtein(std::string_view line, std::size_t bad) {
  constexpr std::string_view kProteinOnly = "EFIJLOPQXZ*";
  constexpr std::string_view kAminoAcids = "ACDEFGHIKLMNPQRSTVWYX*";
  constexpr std::string_view kNucleotides = "ACGTUN";
  constexpr std::size_t kFewestLetters = 8;  // too few letters to tell anything
  const auto upper = [](char c) { return static_cast<char>(std::toupper(static_cast<unsigned char>(c))); };
  if (kProteinOnly.find(upper(line[bad])) == std::string_view::npos) return false;
  std::size_t letters = 0;
  std::size_t proteinLetters = 0;
  for (const char c : line) {
    const char letter = upper(c);
    if (kAminoAcids.find(letter) == std::string_view::npos) continue;
    ++letters;
    if (kNucleotides.find(letter) == std::string_view::npos) ++proteinLetters;
  }
  return letters >= kFewestLetters && 2 * proteinLetters >= letters;
}

std::uint64_t Total(const CodeCounts& counts) {
  std::uint64_t total = 0;
  for (const std::uint64_t count : counts) total += count;
  return total;
}

// FASTA records in order, each counted by code class while its lines go by.
class FastaReader {
 public:
  FastaReader(Lines& lines, const LabelChoice& label) : lines_(lines), label_(label) {}

  std::vector<Record> Read(const std::string& firstLine) {
    Start(firstLine);
    for (std::string line; lines_.Next(line);) {
      if (line.starts_with('>'))
        Start(line);
      else
        Count(line);
    }
    Finish();
    if (records_.size() != LeafCount)
      throw InputError(lines_.number, "the file holds " + std::to_string(records_.size()) + " record" +
                                          (records_.size() == 1 ? "" : "s") + "; " + CountNeeded);
    return std::move(records_);
  }

 private:
  std::string Label() const { return RecordLabel(records_.size() + 1, current_.name); }

  void Start(const std::string& header) {
    if (open_) Finish();
    const std::string_view text = std::string_view(header).substr(1);
    const auto begin = std::min(text.find_first_not_of(" \t"), text.size());
    const std::size_t end = std::min(text.find_first_of(" \t", begin), text.size());
    const std::string name(text.substr(begin, end - begin));
    current_ = Record{name, name, {}, lines_.number, {}};
    if (records_.size() == LeafCount)
      throw InputError(lines_.number, Label() + ": a record too many; " + CountNeeded);
    if (name.empty())
      throw InputError(lines_.number,
                       "record " + std::to_string(records_.size() + 1) + " has no name after \">\"");
    const auto [earlier, added] = firstOf_.try_emplace(name, records_.size() + 1, lines_.number);
    if (!added)
      throw InputError(lines_.number, Label() + ": the same name as record " +
                                          std::to_string(earlier->second.first) + " (line " +
                                          std::to_string(earlier->second.second) + ")");
    current_.label = ChosenLabel(name, text.substr(end));
    open_ = true;
  }

  std::string ChosenLabel(const std::string& name, std::string_view rest) const {
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
      throw InputError(lines_.number, Label() + ": the first word has " + std::to_string(count) +
                                          " \"|\"-separated field" + (count == 1 ? "" : "s") + ", " + option +
                                          " needs " + std::to_string(label_.field));
    }
    // The table of names holds no empty name.
    if (field->empty())
      throw InputError(lines_.number, Label() + ": field " + std::to_string(label_.field) +
                                          " of the first word is empty, and " + option +
                                          " needs a name there");
    return std::string(*field);
  }

  void Count(const std::string& line) {
    if (const auto bad = CountCodes(line, current_.positions))
      throw InputError(lines_.number,
                       Label() + ": " + Shown(line[*bad]) + " in column " + std::to_string(*bad + 1) +
                           " is not a base code" +
                           (LooksLikeProtein(line, *bad)
                                ? "; the record looks like a protein, and dorvu-prep reads DNA or RNA"
                                : ""));
    // Every position counts six sixths.
    if (Total(current_.positions) > MaxExactCount / 6)
      throw InputError(lines_.number, Label() + ": the record is too long to count exactly");
  }

  void Finish() {
    if (Total(current_.positions) == 0)
      throw InputError(current_.line, Label() + ": no base to count (only N, gaps or nothing)");
    current_.shares = Shares(Sixths(current_.positions));
    records_.push_back(std::move(current_));
    open_ = false;
  }

  Lines& lines_;
  LabelChoice label_;
  std::vector<Record> records_;
  std::map<std::string, std::pair<std::size_t, std::int64_t>> firstOf_;  // name -> record, line
  Record current_;
  bool open_ = false;
};

std::vector<std::string_view> Fields(std::string_view line) {
  std::vector<std::string_view> fields;
  for (std::size_t start = 0;;) {
    const auto tab = line.find('\t', start);
    fields.push_back(line.substr(start, tab - start));
    if (tab == std::string_view::npos) return fields;
    start = tab + 1;
  }
}

Decimal TableValue(std::string_view text, std::int64_t line, const std::string& leaf, char base) {
  const std::string what = "leaf " + leaf + ": the " + base + " value \"" + std::string(text) + "\"";
  const auto value = ParseDecimal(text);
  if (!value) throw InputError(line, what + " is not a number");
  if (value->negative && value->value != 0) throw InputError(line, what + " is negative");
  return *value;
}

// The row's values as whole counts for the bootstrap, in the classes A, C, G and T.
CodeCounts WholeCounts(const std::vector<std::string_view>& fields, std::int64_t line,
                       const std::string& leaf) {
  CodeCounts counts{};
  for (std::size_t b = 0; b < 4; ++b) {
    const auto count = WholeNumber(fields[b + 1]);
    if (!count)
      throw InputError(line, "leaf " + leaf + ": the bootstrap needs whole counts, not the frequency \"" +
                                 std::string(fields[b + 1]) + "\"");
    counts[b] = *count;
  }
  std::uint64_t total = 0;
  for (std::size_t b = 0; b < 4; ++b) {
    // Stops at the first count that passes the limit, before any sum can overflow.
    if (counts[b] > kMaxDrawnTotal - total)
      throw InputError(line, "leaf " + leaf +
                                 ": the counts sum to more than 2^32 (4294967296), the most the bootstrap "
                                 "draws for one row");
    total += counts[b];
  }
  return counts;
}

// One row per leaf, in any order; each row is divided by its sum.
std::vector<Record> ReadTable(Lines& lines, bool forBootstrap) {
  std::vector<Record> records(LeafCount);
  for (std::string line; lines.Next(line);) {
    if (IsBlank(line)) continue;
    const auto fields = Fields(line);
    if (fields.size() != 5)
      throw InputError(lines.number, "expected 5 tab-separated fields (leaf A C G T), found " +
                                         std::to_string(fields.size()));
    const std::string leaf(fields[0]);
    const auto vertex = view::ParseVertexName(leaf);
    if (!vertex || !view::IsLeaf(*vertex))
      throw InputError(lines.number, "\"" + leaf + "\" is not a leaf (6.1 to 6.64)");
    Record& record = records[static_cast<std::size_t>(vertex->index - 1)];
    if (record.line != 0)
      throw InputError(lines.number, "leaf " + leaf + " is given twice (first on line " +
                                         std::to_string(record.line) + ")");
    std::array<Decimal, 4> values;
    for (std::size_t b = 0; b < 4; ++b) values[b] = TableValue(fields[b + 1], lines.number, leaf, Bases[b]);
    if (values[0].value + values[1].value + values[2].value + values[3].value == 0)
      throw InputError(lines.number, "leaf " + leaf + ": the four values are all 0");
    record = Record{leaf, leaf, RowShares(values), lines.number, {}};
    if (forBootstrap) record.positions = WholeCounts(fields, lines.number, leaf);
  }
  for (std::size_t k = 0; k < records.size(); ++k)
    if (records[k].line == 0)
      throw InputError(0, "leaf 6." + std::to_string(k + 1) +
                              " is missing; the table needs one row for each leaf 6.1 to 6.64");
  return records;
}

}  // namespace

std::vector<Record> ReadRecords(std::istream& in, const ReadOptions& options) {
  Lines lines{in};
  std::string line;
  bool any = false;
  while ((any = lines.Next(line)) && IsBlank(line)) {
  }
  if (!any) throw InputError(0, "the file is empty");
  if (line.starts_with('>')) return FastaReader(lines, options.label).Read(line);
  if (line == TableHeader) return ReadTable(lines, options.forBootstrap);
  throw InputError(lines.number,
                   "neither FASTA (a first line starting with \">\") nor a table (the header "
                   "\"leaf<TAB>A<TAB>C<TAB>G<TAB>T\")");
}

std::vector<Record> ReadRecordsFile(const std::string& path, const ReadOptions& options) {
  std::error_code error;
  if (std::filesystem::is_directory(path, error)) throw InputError(0, "this is a directory");
  errno = 0;
  std::ifstream in(path, std::ios::binary);
  if (!in)
    throw InputError(
        0, std::string("cannot open the file: ") + (errno != 0 ? std::strerror(errno) : "unknown reason"));
  std::vector<Record> records = ReadRecords(in, options);
  if (in.bad()) throw InputError(0, "cannot read the file");
  return records;
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
