// The shape of a whole run's log, for the tests and the fuzz targets: input
// messages, the two echo lines, the search's lines, the report heading and, if
// a scenario reached the best list, its marks, its penalty and 127 vertex
// lines whose every number is in the log's number form. Header only.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "log/log_lines.h"

namespace dorvu::test {

// True for a real in the log's number form with "." as separator: "INF",
// "-INF", "NAN", or at most 15 significant digits in plain or exponent form.
inline bool IsLogReal(std::string_view text) {
  if (text == "INF" || text == "-INF" || text == "NAN") return true;
  std::size_t i = 0;
  if (i < text.size() && text[i] == '-') ++i;
  const auto isDigit = [&](std::size_t p) { return p < text.size() && text[p] >= '0' && text[p] <= '9'; };
  std::string digits;
  const std::size_t intStart = i;
  while (isDigit(i)) digits += text[i++];
  if (i == intStart) return false;
  if (i < text.size() && text[i] == '.') {
    const std::size_t fracStart = ++i;
    while (isDigit(i)) digits += text[i++];
    if (i == fracStart || text[i - 1] == '0') return false;  // no trailing separator or zero
  }
  if (i < text.size() && text[i] == 'E') {
    if (++i < text.size() && text[i] == '-') ++i;
    const std::size_t expStart = i;
    while (isDigit(i)) ++i;
    if (i == expStart || text[expStart] == '0') return false;
  }
  // Leading zeros of a plain value below 1 are not significant.
  digits.erase(0, digits.find_first_not_of('0'));
  return i == text.size() && digits.size() <= 15;
}

// One vertex line of the report: its name and its four printed values.
struct VertexValues {
  std::string name;
  std::vector<std::string> values;
};

// What a whole run left in its log.
struct LogShape {
  std::vector<std::string> lines;     // without their CR LF
  std::vector<std::string> messages;  // input error lines before the echo
  std::string noiseEcho;              // the text after "noise level="
  bool hasScenario = false;           // the report holds a scenario
  std::string penalty;
  std::vector<VertexValues> vertices;
  std::string problem;  // empty when the log has the shape
};

namespace shape_detail {

// "vertex NAME: A:a C:c G:g T:t"; false when the line is not of that form.
inline bool ReadVertexLine(const std::string& line, VertexValues& parsed) {
  const std::size_t colon = line.find(": A:");
  if (!line.starts_with(log_lines::kVertexPrefix) || colon == std::string::npos) return false;
  parsed.name = line.substr(log_lines::kVertexPrefix.size(), colon - log_lines::kVertexPrefix.size());
  std::string_view rest = std::string_view(line).substr(colon + 1);
  for (const char* label : {" A:", " C:", " G:", " T:"}) {
    if (!rest.starts_with(label)) return false;
    rest.remove_prefix(3);
    const std::size_t end = std::min(rest.find(' '), rest.size());
    parsed.values.emplace_back(rest.substr(0, end));
    rest.remove_prefix(end);
  }
  return rest.empty();
}

inline LogShape Failed(LogShape shape, const std::string& problem) {
  shape.problem = problem;
  return shape;
}

}  // namespace shape_detail

// The lines of a log without their CR LF; `complete` is false when the text
// does not end with one.
inline std::vector<std::string> LogLinesOf(const std::string& text, bool& complete) {
  std::vector<std::string> lines;
  complete = true;
  for (std::size_t start = 0; start < text.size();) {
    const std::size_t end = text.find("\r\n", start);
    if (end == std::string::npos) {
      complete = false;
      break;
    }
    lines.push_back(text.substr(start, end - start));
    start = end + 2;
  }
  return lines;
}

inline LogShape ReadLogShape(const std::string& text) {
  using shape_detail::Failed;
  LogShape shape;
  bool complete = true;
  shape.lines = LogLinesOf(text, complete);
  if (!complete) return Failed(shape, "the log does not end with CR LF");
  const auto& lines = shape.lines;
  std::size_t i = 0;
  while (i < lines.size() && lines[i].starts_with("an error in")) shape.messages.push_back(lines[i++]);
  if (i + 1 >= lines.size() || !lines[i].starts_with(log_lines::kCardinalityPrefix) ||
      !lines[i + 1].starts_with(log_lines::kNoisePrefix))
    return Failed(shape, "echo lines missing");
  shape.noiseEcho = lines[i + 1].substr(log_lines::kNoisePrefix.size());
  if (!IsLogReal(shape.noiseEcho)) return Failed(shape, "bad echo: " + lines[i + 1]);
  i += 2;
  while (i < lines.size() && (lines[i].starts_with(log_lines::kProgressPrefix) ||
                              lines[i].starts_with(log_lines::kCardinalityLimitPrefix) ||
                              lines[i] == log_lines::kMainMemoryFull || lines[i] == log_lines::kAddMemoryFull))
    ++i;
  if (i >= lines.size() || lines[i] != log_lines::kReportHeading) return Failed(shape, "report heading missing");
  ++i;
  if (i == lines.size()) return shape;  // no scenario reached the best list
  shape.hasScenario = true;
  // The marked vertices, the penalty, the heading and the 127 vertices.
  if (lines.size() != i + 3 + 127) return Failed(shape, "the report has the wrong number of lines");
  if (!lines[i + 1].starts_with(log_lines::kPenaltyPrefix)) return Failed(shape, "bad penalty line: " + lines[i + 1]);
  shape.penalty = lines[i + 1].substr(log_lines::kPenaltyPrefix.size());
  if (!IsLogReal(shape.penalty)) return Failed(shape, "bad penalty: " + lines[i + 1]);
  if (lines[i + 2] != log_lines::kValuesHeading) return Failed(shape, "distribution heading missing");
  for (std::size_t k = i + 3; k < lines.size(); ++k) {
    VertexValues vertex;
    if (!shape_detail::ReadVertexLine(lines[k], vertex)) return Failed(shape, "bad vertex line: " + lines[k]);
    for (const std::string& value : vertex.values)
      if (!IsLogReal(value)) return Failed(shape, "bad number in: " + lines[k]);
    shape.vertices.push_back(std::move(vertex));
  }
  return shape;
}

}  // namespace dorvu::test
