// Reads a dorvu run log. The log is read to its end before anything is
// written, and every departure from the form dorvu writes is an error with its
// line number: a picture drawn from a log that was cut short or came from
// elsewhere would mislead more than no picture at all.
//
// Heavy runs write hundreds of megabytes of memory messages, so the log is read
// as a stream, one line at a time: memory stays the same whatever its size.

#include "view/run_report.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string_view>
#include <system_error>

#include "log/log_lines.h"
#include "view/log_number.h"

namespace dorvu::view {

bool IsMarked(const RunReport& report, VertexId v) {
  return v == kRoot || std::find(report.marked.begin(), report.marked.end(), v) != report.marked.end();
}

namespace {

using log_lines::kCardinalityPrefix;
using log_lines::kNoisePrefix;
using log_lines::kPenaltyPrefix;
using log_lines::kProgressPrefix;
using log_lines::kReportHeading;
using log_lines::kValuesHeading;

// A line quoted in a message: short, and with unprintable bytes shown as "?".
std::string ShownLine(std::string_view line) {
  constexpr std::size_t kShown = 60;
  std::string text(line.substr(0, kShown));
  for (char& c : text)
    if (static_cast<unsigned char>(c) < 32 || static_cast<unsigned char>(c) == 127) c = '?';
  return "\"" + text + (line.size() > kShown ? "...\"" : "\"");
}

// The longest line dorvu writes is a vertex line of about 120 bytes, or the
// tree of a run on a tree of one's own; a much longer line means another kind
// of file, and is not read into memory whole.
constexpr std::size_t kMaxLineLength = 4096;
constexpr std::size_t kMaxTreeLineLength = std::size_t{1} << 30;
constexpr std::string_view kTooLong = "the line is far longer than any line of a dorvu run log";
constexpr std::size_t kChunkSize = 1 << 16;

// The log's lines with one line of look-ahead, read in chunks of a fixed size.
// Each line is split at LF and loses the CR of its CR LF: the run writes CR LF,
// and plain LF is accepted too, since copying a log between systems may
// convert it.
class LineStream {
 public:
  explicit LineStream(std::istream& in) : in_(in), buffer_(kChunkSize) {
    Advance();
    if (atEnd_)
      throw cli::LocatedError(0, "the file is empty: the run ended before it wrote a line (was input.txt missing?)");
  }

  bool AtEnd() const { return atEnd_; }
  const std::string& Peek() const { return line_; }
  // The number of the line Peek() shows; after the end, one past the last.
  std::int64_t Number() const { return number_; }
  std::int64_t LastNumber() const { return number_ - 1; }

  std::string Take() {
    std::string line = std::move(line_);
    Advance();
    return line;
  }

  // Only the tree line may be longer than the others.
  bool TooLong(std::size_t length) const {
    if (length <= kMaxLineLength) return false;
    const std::string_view start(buffer_.data() + begin_, std::min(end_ - begin_, log_lines::kTreePrefix.size()));
    return start != log_lines::kTreePrefix || length > kMaxTreeLineLength;
  }

  void Advance() {
    ++number_;
    std::size_t searched = 0;
    const char* newline = nullptr;
    while (!(newline = FindNewline(searched))) {
      searched = end_ - begin_;
      if (TooLong(searched)) throw cli::LocatedError(number_, std::string(kTooLong));
      if (ReadMore()) continue;
      if (searched == 0) {
        atEnd_ = true;
        line_.clear();
        return;
      }
      throw cli::LocatedError(number_,
                              "the last line has no line end: the log was cut short (is the run still going?)");
    }
    const auto length = static_cast<std::size_t>(newline - (buffer_.data() + begin_));
    if (TooLong(length)) throw cli::LocatedError(number_, std::string(kTooLong));
    line_.assign(buffer_.data() + begin_, length);
    begin_ = static_cast<std::size_t>(newline - buffer_.data()) + 1;
    if (!line_.empty() && line_.back() == '\r') line_.pop_back();
    if (line_.find('\0') != std::string::npos)
      throw cli::LocatedError(number_, "the line holds binary data; this is not a dorvu run log");
  }

 private:
  const char* FindNewline(std::size_t skip) const {
    const char* from = buffer_.data() + begin_ + skip;
    return static_cast<const char*>(std::memchr(from, '\n', end_ - begin_ - skip));
  }

  // Moves the unread bytes to the front and appends what the stream has next,
  // with more room for a line that fills the buffer; false at the end of the
  // stream.
  bool ReadMore() {
    std::memmove(buffer_.data(), buffer_.data() + begin_, end_ - begin_);
    end_ -= begin_;
    begin_ = 0;
    if (end_ == buffer_.size()) buffer_.resize(2 * buffer_.size());
    in_.read(buffer_.data() + end_, static_cast<std::streamsize>(buffer_.size() - end_));
    if (in_.bad()) throw cli::LocatedError(0, "the file cannot be read");
    const auto count = static_cast<std::size_t>(in_.gcount());
    end_ += count;
    return count > 0;
  }

  std::istream& in_;
  std::vector<char> buffer_;
  std::size_t begin_ = 0;  // the unread bytes are buffer_[begin_, end_)
  std::size_t end_ = 0;
  std::string line_;
  std::int64_t number_ = 0;
  bool atEnd_ = false;
};

// Keeps the decimal separator of the log consistent across all its reals.
struct RealReader {
  char separator = 0;

  LogReal Read(std::string_view token, std::int64_t line, std::string_view what) {
    const auto parsed = ParseLogReal(token);
    if (!parsed) throw cli::LocatedError(line, std::string(what) + " is not a number: " + ShownLine(token));
    if (parsed->separator != 0) {
      if (separator != 0 && separator != parsed->separator)
        throw cli::LocatedError(line, std::string(what) + " uses \"" + parsed->separator +
                                          "\" as decimal separator, but earlier numbers use \"" + separator + "\"");
      separator = parsed->separator;
    }
    return parsed->real;
  }
};

// The leaf of a line such as "an error in data on the leaf 7", 0 for the
// other input errors, none for other lines. A tree of one's own may have any
// number of leaves: the number is checked once the tree is known.
std::optional<int> InputErrorLeaf(std::string_view line) {
  if (line == log_lines::kCardinalityError || line == log_lines::kNoiseError) return 0;
  if (!line.starts_with(log_lines::kLeafErrorPrefix)) return std::nullopt;
  const auto leaf = ParseLogInteger(line.substr(log_lines::kLeafErrorPrefix.size()));
  if (!leaf || *leaf < 1) return std::nullopt;
  return leaf;
}

bool IsProgressLine(std::string_view line) {
  if (!line.starts_with(kProgressPrefix)) return false;
  const std::string_view rest = line.substr(kProgressPrefix.size());
  const auto of = rest.find(log_lines::kProgressOf);
  return of != std::string_view::npos && ParseLogInteger(rest.substr(0, of)) &&
         ParseLogInteger(rest.substr(of + log_lines::kProgressOf.size()));
}

bool IsMemoryMessage(std::string_view line) {
  return line == log_lines::kMainMemoryFull || line == log_lines::kAddMemoryFull;
}

std::optional<int> LimitMessage(std::string_view line) {
  if (!line.starts_with(log_lines::kCardinalityLimitPrefix)) return std::nullopt;
  return ParseLogInteger(line.substr(log_lines::kCardinalityLimitPrefix.size()));
}

// Input errors on leaves that a tree may not have, kept until the log tells
// on which tree the run was: the first past the fixed tree's leaves, and the
// first on the highest leaf.
struct LeafErrorLine {
  std::int64_t line = 0;
  int leaf = 0;
  std::string text;
};

struct DistantLeafErrors {
  std::optional<LeafErrorLine> pastFixedTree;
  std::optional<LeafErrorLine> highest;
};

DistantLeafErrors ReadInputErrors(LineStream& cursor, RunReport& report) {
  DistantLeafErrors distant;
  for (; !cursor.AtEnd(); cursor.Advance()) {
    const auto leaf = InputErrorLeaf(cursor.Peek());
    if (!leaf) break;
    const LeafErrorLine seen{cursor.Number(), *leaf, cursor.Peek()};
    if (*leaf > kLeafCount && !distant.pastFixedTree) distant.pastFixedTree = seen;
    if (!distant.highest || *leaf > distant.highest->leaf) distant.highest = seen;
    ++report.inputErrors;
  }
  return distant;
}

void CheckInputErrorLeaves(const DistantLeafErrors& distant, const RunReport& report) {
  if (!report.tree && distant.pastFixedTree)
    throw cli::LocatedError(distant.pastFixedTree->line, "this is not a dorvu run log: expected \"" +
                                                             std::string(kCardinalityPrefix) + "N\", found " +
                                                             ShownLine(distant.pastFixedTree->text));
  if (report.tree && distant.highest && distant.highest->leaf > report.tree->tree.tipCount)
    throw cli::LocatedError(distant.highest->line, "the input error names leaf " +
                                                       std::to_string(distant.highest->leaf) +
                                                       ", but the tree of the log has " +
                                                       std::to_string(report.tree->tree.tipCount) + " tips");
}

void ReadCardinality(LineStream& cursor, RunReport& report) {
  if (cursor.AtEnd())
    throw cli::LocatedError(cursor.LastNumber(),
                            "the log ends before the line \"" + std::string(kCardinalityPrefix) + "...\"");
  const std::string& line = cursor.Peek();
  if (!line.starts_with(kCardinalityPrefix))
    throw cli::LocatedError(cursor.Number(), "this is not a dorvu run log: expected \"" +
                                                 std::string(kCardinalityPrefix) + "N\", found " + ShownLine(line));
  report.cardinalityText = line.substr(kCardinalityPrefix.size());
  const auto value = ParseLogInteger(report.cardinalityText);
  if (!value)
    throw cli::LocatedError(cursor.Number(), "the cardinality is not an integer: " + ShownLine(report.cardinalityText));
  report.cardinality = *value;
  report.cardinalityLine = cursor.Number();
  cursor.Advance();
}

void ReadNoiseLevel(LineStream& cursor, RunReport& report, RealReader& reals) {
  if (cursor.AtEnd()) throw cli::LocatedError(cursor.LastNumber(), "the log ends before the line \"noise level=...\"");
  const std::string& line = cursor.Peek();
  if (!line.starts_with(kNoisePrefix))
    throw cli::LocatedError(cursor.Number(), "expected \"noise level=X\", found " + ShownLine(line));
  report.noiseLevel =
      reals.Read(std::string_view(line).substr(kNoisePrefix.size()), cursor.Number(), "the noise level");
  report.noiseLine = cursor.Number();
  cursor.Advance();
}

// A run on a tree of one's own names the tree next.
void ReadTree(LineStream& cursor, RunReport& report) {
  if (cursor.AtEnd() || !cursor.Peek().starts_with(log_lines::kTreePrefix)) return;
  try {
    report.tree = MakeOwnTree(std::string_view(cursor.Peek()).substr(log_lines::kTreePrefix.size()));
  } catch (const NewickError& error) {
    throw cli::LocatedError(cursor.Number(), "the tree is not read: column " + std::to_string(error.column) +
                                                 " of the tree: " + error.message);
  }
  report.treeLine = cursor.Number();
  cursor.Advance();
}

// The lines the search writes, up to and including the report heading.
void ReadSearchLines(LineStream& cursor, RunReport& report) {
  for (; !cursor.AtEnd(); cursor.Advance()) {
    const std::string& line = cursor.Peek();
    if (line == kReportHeading) {
      cursor.Advance();
      return;
    }
    if (const auto limit = LimitMessage(line)) {
      report.cardinalityLimit = limit;
    } else if (IsMemoryMessage(line)) {
      ++report.memoryMessages;
    } else if (!IsProgressLine(line)) {
      throw cli::LocatedError(cursor.Number(), "unexpected line before the report: " + ShownLine(line));
    }
  }
  throw cli::LocatedError(
      cursor.LastNumber(),
      "the log ends before its report (\"the best scenario:\"): the run may have been interrupted, or is still going");
}

std::optional<VertexId> ParseMarkedName(const RunReport& report, std::string_view name) {
  if (!report.tree) return ParseVertexName(name);
  const auto vertex = FindVertex(*report.tree, name);
  if (!vertex || *vertex == 0) return std::nullopt;
  return report.tree->ids[*vertex];
}

void ReadMarkedVertices(LineStream& cursor, RunReport& report) {
  if (cursor.AtEnd())
    throw cli::LocatedError(cursor.LastNumber(),
                            "the report holds no scenario: the search found none to report (the log ends after \"the "
                            "best scenario:\")");
  const std::string& line = cursor.Peek();
  std::size_t pos = 0;
  while (pos < line.size()) {
    // Every name stands between two blanks: " 3.2  4.11  5.29 ".
    const std::size_t close = line.find(' ', pos + 1);
    if (line[pos] != ' ' || close == std::string::npos)
      throw cli::LocatedError(cursor.Number(),
                              "expected the marked vertices, each as \" name \", found " + ShownLine(line));
    const std::string_view name = std::string_view(line).substr(pos + 1, close - pos - 1);
    const auto vertex = ParseMarkedName(report, name);
    if (!vertex)
      throw cli::LocatedError(cursor.Number(), "not a vertex name in the marked vertices: " + ShownLine(name));
    if (IsMarked(report, *vertex))
      throw cli::LocatedError(cursor.Number(), "vertex " + VertexName(*vertex) + " is listed twice as marked");
    report.marked.push_back(*vertex);
    pos = close + 1;
  }
  cursor.Advance();
}

std::string ExpectLineWith(LineStream& cursor, std::string_view prefix, std::string_view expected) {
  if (cursor.AtEnd())
    throw cli::LocatedError(cursor.LastNumber(), "the log ends before " + std::string(expected) + ": it was cut short");
  if (!cursor.Peek().starts_with(prefix))
    throw cli::LocatedError(cursor.Number(),
                            "expected " + std::string(expected) + ", found " + ShownLine(cursor.Peek()));
  return cursor.Take();
}

void ReadPenalty(LineStream& cursor, RunReport& report, RealReader& reals) {
  const std::int64_t number = cursor.Number();
  const std::string line = ExpectLineWith(cursor, kPenaltyPrefix, "\"its penalty=P\"");
  report.penalty = reals.Read(std::string_view(line).substr(kPenaltyPrefix.size()), number, "the penalty");
}

// "vertex NAME: A:a C:c G:g T:t"
VertexDistribution ReadVertexLine(LineStream& cursor, VertexId vertex, RealReader& reals) {
  const std::string expected = "the line of vertex " + VertexName(vertex);
  const std::string prefix = std::string(log_lines::kVertexPrefix) + LogVertexName(vertex) + ":";
  const std::int64_t number = cursor.Number();
  const std::string text = ExpectLineWith(cursor, prefix, "\"" + prefix + " A:...\" (" + expected + ")");
  const std::string_view line = text;
  VertexDistribution result{vertex, {}, number};
  std::string_view rest = line.substr(prefix.size());
  for (std::size_t b = 0; b < kBases.size(); ++b) {
    const std::string label = std::string(" ") + kBases[b] + ":";
    if (!rest.starts_with(label))
      throw cli::LocatedError(number,
                              "expected \"" + label.substr(1) + "\" in " + expected + ", found " + ShownLine(line));
    rest.remove_prefix(label.size());
    const std::size_t end = std::min(rest.find(' '), rest.size());
    const std::string what = std::string("the ") + kBases[b] + " value of vertex " + VertexName(vertex);
    result.base[b] = reals.Read(rest.substr(0, end), number, what);
    rest.remove_prefix(end);
  }
  if (!rest.empty())
    throw cli::LocatedError(
        number, "unexpected text after the T value of vertex " + VertexName(vertex) + ": " + ShownLine(rest));
  return result;
}

void ReadDistributions(LineStream& cursor, RunReport& report, RealReader& reals) {
  ExpectLineWith(cursor, kValuesHeading, "\"distribution values:\"");
  for (const VertexId vertex : VertexOrder(report.tree))
    report.vertices.push_back(ReadVertexLine(cursor, vertex, reals));
}

void ExpectEnd(LineStream& cursor) {
  for (; !cursor.AtEnd(); cursor.Advance())
    if (!cursor.Peek().empty())
      throw cli::LocatedError(cursor.Number(), "unexpected line after the report: " + ShownLine(cursor.Peek()));
}

}  // namespace

RunReport ParseRunLog(std::istream& in, const std::string& logName) {
  LineStream cursor(in);
  RunReport report;
  report.logName = logName;
  RealReader reals;
  const auto distant = ReadInputErrors(cursor, report);
  ReadCardinality(cursor, report);
  ReadNoiseLevel(cursor, report, reals);
  ReadTree(cursor, report);
  CheckInputErrorLeaves(distant, report);
  ReadSearchLines(cursor, report);
  ReadMarkedVertices(cursor, report);
  ReadPenalty(cursor, report, reals);
  ReadDistributions(cursor, report, reals);
  ExpectEnd(cursor);
  report.decimalSeparator = reals.separator != 0 ? reals.separator : '.';
  return report;
}

const std::vector<VertexId>& VertexOrder(const std::shared_ptr<const OwnTree>& tree) {
  return tree ? tree->ids : DepthFirstOrder();
}

RunReport ReadRunLog(const std::string& path) {
  std::error_code error;
  if (!std::filesystem::exists(path, error)) throw cli::LocatedError(0, "no such file");
  if (std::filesystem::is_directory(path, error)) throw cli::LocatedError(0, "this is a directory, not a run log");
  std::ifstream in(path, std::ios::binary);
  if (!in) throw cli::LocatedError(0, "the file cannot be opened for reading");
  return ParseRunLog(in, path);
}

RunReport ParseRunLog(const std::string& bytes, const std::string& logName) {
  std::istringstream in(bytes);
  return ParseRunLog(in, logName);
}

}  // namespace dorvu::view
