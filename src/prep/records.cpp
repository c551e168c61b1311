#include "prep/records.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <istream>
#include <map>
#include <string_view>

#include "prep/composition.h"
#include "prep/decimal.h"
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

// FASTA records in order, each counted in sixths of a base while its lines go by.
class FastaReader {
 public:
  explicit FastaReader(Lines& lines) : lines_(lines) {}

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
    const std::string name(text.substr(begin, text.find_first_of(" \t", begin) - begin));
    current_ = Record{name, {}, lines_.number};
    counts_ = {};
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
    open_ = true;
  }

  void Count(const std::string& line) {
    if (const auto bad = CountSequence(line, counts_))
      throw InputError(lines_.number, Label() + ": " + Shown(line[*bad]) + " in column " +
                                          std::to_string(*bad + 1) + " is not a base code");
    if (counts_[0] + counts_[1] + counts_[2] + counts_[3] > MaxExactCount)
      throw InputError(lines_.number, Label() + ": the record is too long to count exactly");
  }

  void Finish() {
    if (counts_[0] + counts_[1] + counts_[2] + counts_[3] == 0)
      throw InputError(current_.line, Label() + ": no base to count (only N, gaps or nothing)");
    current_.shares = Shares(counts_);
    records_.push_back(std::move(current_));
    open_ = false;
  }

  Lines& lines_;
  std::vector<Record> records_;
  std::map<std::string, std::pair<std::size_t, std::int64_t>> firstOf_;  // name -> record, line
  Record current_;
  BaseCounts counts_{};
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

// One row per leaf, in any order; each row is divided by its sum.
std::vector<Record> ReadTable(Lines& lines) {
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
    record = Record{leaf, RowShares(values), lines.number};
  }
  for (std::size_t k = 0; k < records.size(); ++k)
    if (records[k].line == 0)
      throw InputError(0, "leaf 6." + std::to_string(k + 1) +
                              " is missing; the table needs one row for each leaf 6.1 to 6.64");
  return records;
}

}  // namespace

std::vector<Record> ReadRecords(std::istream& in) {
  Lines lines{in};
  std::string line;
  bool any = false;
  while ((any = lines.Next(line)) && IsBlank(line)) {
  }
  if (!any) throw InputError(0, "the file is empty");
  if (line.starts_with('>')) return FastaReader(lines).Read(line);
  if (line == TableHeader) return ReadTable(lines);
  throw InputError(lines.number,
                   "neither FASTA (a first line starting with \">\") nor a table (the header "
                   "\"leaf<TAB>A<TAB>C<TAB>G<TAB>T\")");
}

std::vector<Record> ReadRecordsFile(const std::string& path) {
  std::error_code error;
  if (std::filesystem::is_directory(path, error)) throw InputError(0, "this is a directory");
  errno = 0;
  std::ifstream in(path, std::ios::binary);
  if (!in)
    throw InputError(
        0, std::string("cannot open the file: ") + (errno != 0 ? std::strerror(errno) : "unknown reason"));
  std::vector<Record> records = ReadRecords(in);
  if (in.bad()) throw InputError(0, "cannot read the file");
  return records;
}

}  // namespace dorvu::prep
