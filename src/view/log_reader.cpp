// Reads a dorvu run log. The log is read whole before anything is written, and
// every departure from the form dorvu writes is an error with its line number:
// a picture drawn from a log that was cut short or came from elsewhere would
// mislead more than no picture at all.

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string_view>
#include <system_error>

#include "view/log_number.h"
#include "view/run_report.h"

namespace dorvu::view {

LogError::LogError(int lineNumber, const std::string& what)
    : std::runtime_error(what), line(lineNumber), problem(what) {}

bool IsMarked(const RunReport& report, VertexId v) {
  return v == Root || std::find(report.marked.begin(), report.marked.end(), v) != report.marked.end();
}

namespace {

constexpr std::string_view CardinalityPrefix = "presupposed cardinality of scenario=";
constexpr std::string_view NoisePrefix = "noise level=";
constexpr std::string_view LimitPrefix = "cardinality of scenario limited to ";
constexpr std::string_view ProgressPrefix = "done ";
constexpr std::string_view ReportHeading = "the best scenario:";
constexpr std::string_view PenaltyPrefix = "its penalty=";
constexpr std::string_view ValuesHeading = "distribution values:";
constexpr std::string_view KeyError = "an error, sorry";

// A line quoted in a message: short, and with unprintable bytes shown as "?".
std::string ShownLine(std::string_view line) {
  constexpr std::size_t Shown = 60;
  std::string text(line.substr(0, Shown));
  for (char& c : text)
    if (static_cast<unsigned char>(c) < 32 || static_cast<unsigned char>(c) == 127) c = '?';
  return "\"" + text + (line.size() > Shown ? "...\"" : "\"");
}

// Splits at LF and drops the CR of each CR LF. The run writes CR LF; plain LF
// is accepted too, since copying a log between systems may convert it.
std::vector<std::string> SplitLines(const std::string& bytes) {
  if (bytes.empty())
    throw LogError(0, "the file is empty: the run ended before it wrote a line (was input.txt missing?)");
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < bytes.size()) {
    const std::size_t end = bytes.find('\n', start);
    const int number = static_cast<int>(lines.size()) + 1;
    if (end == std::string::npos)
      throw LogError(number,
                     "the last line has no line end: the log was cut short (is the run still going?)");
    std::string line = bytes.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.find('\0') != std::string::npos)
      throw LogError(number, "the line holds binary data; this is not a dorvu run log");
    lines.push_back(std::move(line));
    start = end + 1;
  }
  return lines;
}

struct Cursor {
  const std::vector<std::string>& lines;
  std::size_t next = 0;

  bool AtEnd() const { return next >= lines.size(); }
  const std::string& Peek() const { return lines[next]; }
  int Number() const { return static_cast<int>(next) + 1; }
  int LastNumber() const { return static_cast<int>(lines.size()); }
};

// Keeps the decimal separator of the log consistent across all its reals.
struct RealReader {
  char separator = 0;

  LogReal Read(std::string_view token, int line, std::string_view what) {
    const auto parsed = ParseLogReal(token);
    if (!parsed) throw LogError(line, std::string(what) + " is not a number: " + ShownLine(token));
    if (parsed->separator != 0) {
      if (separator != 0 && separator != parsed->separator)
        throw LogError(line, std::string(what) + " uses \"" + parsed->separator +
                                 "\" as decimal separator, but earlier numbers use \"" + separator + "\"");
      separator = parsed->separator;
    }
    return parsed->real;
  }
};

bool IsInputError(std::string_view line) {
  if (line == "an error in cardinality of scenario, sorry") return true;
  if (line == "an error in level of randomness, sorry") return true;
  constexpr std::string_view leafPrefix = "an error in data on the leaf ";
  if (!line.starts_with(leafPrefix)) return false;
  const auto leaf = ParseLogInteger(line.substr(leafPrefix.size()));
  return leaf && *leaf >= 1 && *leaf <= LeafCount;
}

bool IsProgressLine(std::string_view line) {
  if (!line.starts_with(ProgressPrefix)) return false;
  const std::string_view rest = line.substr(ProgressPrefix.size());
  const auto of = rest.find(" of ");
  return of != std::string_view::npos && ParseLogInteger(rest.substr(0, of)) &&
         ParseLogInteger(rest.substr(of + 4));
}

bool IsMemoryMessage(std::string_view line) {
  return line == "I want more main memory!" || line == "I want more add memory!";
}

std::optional<int> LimitMessage(std::string_view line) {
  if (!line.starts_with(LimitPrefix)) return std::nullopt;
  return ParseLogInteger(line.substr(LimitPrefix.size()));
}

void ReadInputErrors(Cursor& cursor, RunReport& report) {
  while (!cursor.AtEnd() && IsInputError(cursor.Peek()))
    report.inputErrors.push_back(cursor.lines[cursor.next++]);
}

void ReadCardinality(Cursor& cursor, RunReport& report) {
  if (cursor.AtEnd())
    throw LogError(cursor.LastNumber(),
                   "the log ends before the line \"" + std::string(CardinalityPrefix) + "...\"");
  const std::string& line = cursor.Peek();
  if (!line.starts_with(CardinalityPrefix))
    throw LogError(cursor.Number(), "this is not a dorvu run log: expected \"" +
                                        std::string(CardinalityPrefix) + "N\", found " + ShownLine(line));
  report.cardinalityText = line.substr(CardinalityPrefix.size());
  const auto value = ParseLogInteger(report.cardinalityText);
  if (!value)
    throw LogError(cursor.Number(),
                   "the cardinality is not an integer: " + ShownLine(report.cardinalityText));
  report.cardinality = *value;
  ++cursor.next;
}

void ReadNoiseLevel(Cursor& cursor, RunReport& report, RealReader& reals) {
  if (cursor.AtEnd()) throw LogError(cursor.LastNumber(), "the log ends before the line \"noise level=...\"");
  const std::string& line = cursor.Peek();
  if (!line.starts_with(NoisePrefix))
    throw LogError(cursor.Number(), "expected \"noise level=X\", found " + ShownLine(line));
  report.noiseLevel =
      reals.Read(std::string_view(line).substr(NoisePrefix.size()), cursor.Number(), "the noise level");
  ++cursor.next;
}

// The lines the search writes, up to and including the report heading.
void ReadSearchLines(Cursor& cursor, RunReport& report) {
  for (; !cursor.AtEnd(); ++cursor.next) {
    const std::string& line = cursor.Peek();
    if (line == ReportHeading) {
      ++cursor.next;
      return;
    }
    if (const auto limit = LimitMessage(line)) {
      report.cardinalityLimit = limit;
    } else if (IsMemoryMessage(line)) {
      ++report.memoryMessages;
    } else if (!IsProgressLine(line) && line != KeyError) {
      throw LogError(cursor.Number(), "unexpected line before the report: " + ShownLine(line));
    }
  }
  throw LogError(
      cursor.LastNumber(),
      "the log ends before its report (\"the best scenario:\"); the run was stopped or is still going");
}

void ReadMarkedVertices(Cursor& cursor, RunReport& report) {
  while (!cursor.AtEnd() && cursor.Peek() == KeyError) ++cursor.next;
  if (cursor.AtEnd())
    throw LogError(cursor.LastNumber(),
                   "the report holds no scenario: the search found none to report (the log ends after \"the "
                   "best scenario:\")");
  const std::string& line = cursor.Peek();
  std::size_t pos = 0;
  while (pos < line.size()) {
    // Every name stands between two blanks: " 3.2  4.11  5.29 ".
    const std::size_t close = line.find(' ', pos + 1);
    if (line[pos] != ' ' || close == std::string::npos)
      throw LogError(cursor.Number(),
                     "expected the marked vertices, each as \" name \", found " + ShownLine(line));
    const std::string_view name = std::string_view(line).substr(pos + 1, close - pos - 1);
    const auto vertex = ParseVertexName(name);
    if (!vertex)
      throw LogError(cursor.Number(), "not a vertex name in the marked vertices: " + ShownLine(name));
    if (IsMarked(report, *vertex))
      throw LogError(cursor.Number(), "vertex " + VertexName(*vertex) + " is listed twice as marked");
    report.marked.push_back(*vertex);
    pos = close + 1;
  }
  ++cursor.next;
}

const std::string& ExpectLineWith(Cursor& cursor, std::string_view prefix, std::string_view expected) {
  if (cursor.AtEnd())
    throw LogError(cursor.LastNumber(),
                   "the log ends before " + std::string(expected) + ": it was cut short");
  if (!cursor.Peek().starts_with(prefix))
    throw LogError(cursor.Number(),
                   "expected " + std::string(expected) + ", found " + ShownLine(cursor.Peek()));
  return cursor.lines[cursor.next++];
}

void ReadPenalty(Cursor& cursor, RunReport& report, RealReader& reals) {
  const int number = cursor.Number();
  const std::string& line = ExpectLineWith(cursor, PenaltyPrefix, "\"its penalty=P\"");
  report.penalty = reals.Read(std::string_view(line).substr(PenaltyPrefix.size()), number, "the penalty");
}

// "vertex NAME: A:a C:c G:g T:t"
VertexDistribution ReadVertexLine(Cursor& cursor, VertexId vertex, RealReader& reals) {
  const std::string expected = "the line of vertex " + VertexName(vertex);
  const std::string prefix = "vertex " + LogVertexName(vertex) + ":";
  const int number = cursor.Number();
  const std::string_view line = ExpectLineWith(cursor, prefix, "\"" + prefix + " A:...\" (" + expected + ")");
  VertexDistribution result{vertex, {}, number};
  std::string_view rest = line.substr(prefix.size());
  for (std::size_t b = 0; b < Bases.size(); ++b) {
    const std::string label = std::string(" ") + Bases[b] + ":";
    if (!rest.starts_with(label))
      throw LogError(number,
                     "expected \"" + label.substr(1) + "\" in " + expected + ", found " + ShownLine(line));
    rest.remove_prefix(label.size());
    const std::size_t end = std::min(rest.find(' '), rest.size());
    const std::string what = std::string("the ") + Bases[b] + " value of vertex " + VertexName(vertex);
    result.base[b] = reals.Read(rest.substr(0, end), number, what);
    rest.remove_prefix(end);
  }
  if (!rest.empty())
    throw LogError(
        number, "unexpected text after the T value of vertex " + VertexName(vertex) + ": " + ShownLine(rest));
  return result;
}

void ReadDistributions(Cursor& cursor, RunReport& report, RealReader& reals) {
  ExpectLineWith(cursor, ValuesHeading, "\"distribution values:\"");
  for (const VertexId vertex : DepthFirstOrder())
    report.vertices.push_back(ReadVertexLine(cursor, vertex, reals));
}

void ExpectEnd(Cursor& cursor) {
  for (; !cursor.AtEnd(); ++cursor.next)
    if (!cursor.Peek().empty())
      throw LogError(cursor.Number(), "unexpected line after the report: " + ShownLine(cursor.Peek()));
}

}  // namespace

RunReport ParseRunLog(const std::string& bytes, const std::string& logName) {
  const std::vector<std::string> lines = SplitLines(bytes);
  Cursor cursor{lines};
  RunReport report;
  report.logName = logName;
  RealReader reals;
  ReadInputErrors(cursor, report);
  ReadCardinality(cursor, report);
  ReadNoiseLevel(cursor, report, reals);
  ReadSearchLines(cursor, report);
  ReadMarkedVertices(cursor, report);
  ReadPenalty(cursor, report, reals);
  ReadDistributions(cursor, report, reals);
  ExpectEnd(cursor);
  report.decimalSeparator = reals.separator != 0 ? reals.separator : '.';
  return report;
}

RunReport ReadRunLog(const std::string& path) {
  std::error_code error;
  if (!std::filesystem::exists(path, error)) throw LogError(0, "no such file");
  if (std::filesystem::is_directory(path, error)) throw LogError(0, "this is a directory, not a run log");
  std::ifstream in(path, std::ios::binary);
  if (!in) throw LogError(0, "the file cannot be opened for reading");
  std::ostringstream bytes;
  bytes << in.rdbuf();
  if (in.bad()) throw LogError(0, "the file cannot be read");
  return ParseRunLog(bytes.str(), path);
}

}  // namespace dorvu::view
