#include "input/input_check.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>
#include <memory>

#include "input/convert.h"
#include "input/input_reader.h"
#include "input/leaf_noise.h"
#include "log/io_error.h"

namespace dorvu {

namespace {

constexpr char BaseLetters[4] = {'A', 'C', 'G', 'T'};

// Values rounded to two decimals sum to within 0.02 of 1; the small margin
// keeps exactly 0.98 and 1.02, written in decimal, on the near side.
constexpr long double FarFromOne = 0.02L + 1e-12L;

// Bad tokens are quoted up to this many characters.
constexpr std::size_t QuotedLength = 24;

using Findings = std::vector<InputFinding>;

// The lines a run reads (the first InputLineCount) and the first line after
// them that holds more than blanks and tabs (0 if none).
struct InputLines {
  std::vector<std::string> lines;
  int count = 0;           // lines in the file
  int firstUnreadText = 0;
};

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// Splits the bytes as the reader does: LF or CR LF end a line, a lone CR is
// dropped, byte 26 ends the file, a last line without its LF still counts.
InputLines SplitLines(std::string_view bytes) {
  InputLines input;
  std::string line;
  bool pending = false;
  auto endLine = [&] {
    ++input.count;
    if (input.count <= InputLineCount)
      input.lines.push_back(line);
    else if (input.firstUnreadText == 0 && !std::all_of(line.begin(), line.end(), IsBlank))
      input.firstUnreadText = input.count;
    line.clear();
    pending = false;
  };
  for (char c : bytes) {
    if (c == EndOfFileByte) break;
    if (c == '\n') {
      endLine();
      continue;
    }
    pending = true;
    if (c != '\r') line += c;
  }
  if (pending) endLine();
  return input;
}

std::string Where(const std::string& path, int line) { return path + ":" + std::to_string(line) + ": "; }

// A token in double quotes, shortened, with tabs, quotes, backslashes and
// bytes outside printable ASCII escaped, so that the message stays one line.
std::string Quoted(std::string_view token) {
  std::string text = "\"";
  for (std::size_t i = 0; i < token.size() && i < QuotedLength; ++i) {
    const auto c = static_cast<unsigned char>(token[i]);
    if (c == '\t') {
      text += "\\t";
    } else if (c == '"' || c == '\\') {
      text += '\\';
      text += static_cast<char>(c);
    } else if (c < 32 || c >= 127) {
      char hex[5];
      std::snprintf(hex, sizeof hex, "\\x%02X", c);
      text += hex;
    } else {
      text += static_cast<char>(c);
    }
  }
  if (token.size() > QuotedLength) text += "...";
  return text + "\"";
}

// Shortest text that reads back as the same double, or `digits` significant digits.
std::string Number(double value, int digits = 0) {
  char text[64];
  const auto result = digits > 0 ? std::to_chars(text, text + sizeof text, value, std::chars_format::general, digits)
                                 : std::to_chars(text, text + sizeof text, value);
  return std::string(text, result.ptr);
}

// The token after the first "=" of a header line; an empty one without "=",
// after a finding for the missing "=".
std::string_view HeaderToken(const std::string& line, const std::string& where, const char* name,
                             Findings& findings) {
  const std::size_t equals = line.find('=');
  if (equals != std::string::npos) return ValueToken(line, equals + 1);
  findings.push_back({where + "no \"=\" on the " + name + " line", false});
  return {};
}

void CheckCardinality(const std::string& line, const std::string& where, int32_t maxCardinality,
                      Findings& findings) {
  const std::string_view token = HeaderToken(line, where, "cardinality", findings);
  int32_t cardinality = 0;
  if (ConvertInteger(token, cardinality) != 0) {
    const std::string problem =
        token.empty() ? "no cardinality given" : "the cardinality " + Quoted(token) + " is not a whole 32-bit number";
    findings.push_back({where + problem + " (logged as an error; the run uses " + std::to_string(cardinality) + ")",
                        true});
  }
  if (cardinality > maxCardinality)
    findings.push_back({where + "the cardinality " + std::to_string(cardinality) + " is above " +
                            std::to_string(maxCardinality) + " (logged; the run uses " +
                            std::to_string(maxCardinality) + ")",
                        true});
}

// Returns the noise level as the run reads it.
double CheckNoiseLevel(const std::string& line, const std::string& where, Findings& findings) {
  const std::string_view token = HeaderToken(line, where, "noise level", findings);
  double level = 0.0;
  if (ConvertReal(token, level) != 0) {
    const std::string problem =
        token.empty() ? "no noise level given" : "the noise level " + Quoted(token) + " is not a number";
    findings.push_back({where + problem + " (logged as an error; the run uses " + Number(level) + ")", true});
  }
  return level;
}

// "A:, C: or T:" and "A, C and T" for the letters not seen.
std::string LetterList(const bool seen[4], bool withColons, const char* lastJoin) {
  std::vector<std::string> missing;
  for (int b = 0; b < 4; ++b)
    if (!seen[b]) missing.push_back(std::string(1, BaseLetters[b]) + (withColons ? ":" : ""));
  std::string text;
  for (std::size_t i = 0; i < missing.size(); ++i)
    text += (i == 0 ? "" : i + 1 == missing.size() ? lastJoin : ", ") + missing[i];
  return text;
}

std::string MissingBases(int leaf, const bool seen[4]) {
  const auto count = std::count(seen, seen + 4, false);
  const std::string text = "leaf " + std::to_string(leaf) + " gives no " + LetterList(seen, true, " or ") + " value, so ";
  if (count == 4) return text + "all four are read as 0";
  return text + LetterList(seen, false, " and ") + (count == 1 ? " is" : " are") + " read as 0";
}

// The values of a leaf line, found by the reader's rule: marks the bases that
// are given in `seen`, reports each value that does not convert, and returns
// whether all converted.
bool CheckLeafValues(const std::string& line, int leaf, const std::string& where, bool seen[4],
                     Findings& findings) {
  bool allConverted = true;
  for (std::size_t p = 1; p + 1 < line.size(); ++p) {
    const char* letter = std::find(BaseLetters, BaseLetters + 4, line[p - 1]);
    if (line[p] != ':' || letter == BaseLetters + 4) continue;
    seen[letter - BaseLetters] = true;
    const std::string_view token = ValueToken(line, p + 1);
    double value = 0.0;
    if (ConvertReal(token, value) == 0) continue;
    allConverted = false;
    const std::string problem = token.empty() ? "is empty" : Quoted(token) + " is not a number";
    findings.push_back(
        {where + "leaf " + std::to_string(leaf) + ": the " + *letter + ": value " + problem + " (logged as an error)",
         true});
  }
  return allConverted;
}

// One leaf line: its bad values, the bases it never gives, and, with the
// noise off, a sum far from 1.
void CheckLeafLine(const std::string& line, int leaf, const std::string& where, bool noiseOff,
                   Findings& findings) {
  bool seen[4] = {false, false, false, false};
  const bool allConverted = CheckLeafValues(line, leaf, where, seen, findings);
  if (std::count(seen, seen + 4, true) < 4) {
    findings.push_back({where + MissingBases(leaf, seen), false});
    return;
  }
  BaseValues values;
  if (!noiseOff || !allConverted || ReadLeafLine(line, values) != 0) return;
  const long double sum = static_cast<long double>(values.b[0]) + values.b[1] + values.b[2] + values.b[3];
  if (std::fabs(sum - 1.0L) > FarFromOne)
    findings.push_back({where + "leaf " + std::to_string(leaf) + " sums to " + Number(static_cast<double>(sum), 6) +
                            ", not 1; with the noise off the run takes its values as they are",
                        false});
}

std::string ShortFile(const std::string& path, int count) {
  const int firstMissing = std::max(count - 2, 0) + 1;
  std::string text = path + ": " + std::to_string(count) + (count == 1 ? " line" : " lines") + ", not " +
                     std::to_string(InputLineCount) + ": ";
  if (firstMissing == LeafCount) return text + "leaf 64 is missing, so its values are read as 0";
  return text + "leaves " + std::to_string(firstMissing) + " to 64 are missing, so their values are read as 0";
}

}  // namespace

std::string ReadInputBytes(const std::string& path) {
  struct Closer {
    void operator()(FILE* f) const { std::fclose(f); }
  };
  const std::unique_ptr<FILE, Closer> file(std::fopen(path.c_str(), "rb"));
  if (!file) throw IoErrorFromErrno("open", path);
  std::string bytes;
  char buffer[1 << 16];
  std::size_t n = 0;
  while ((n = std::fread(buffer, 1, sizeof buffer, file.get())) > 0) bytes.append(buffer, n);
  if (std::ferror(file.get())) throw IoErrorFromErrno("read", path);
  return bytes;
}

std::vector<InputFinding> CheckInput(std::string_view bytes, const std::string& path, int32_t maxCardinality) {
  const InputLines input = SplitLines(bytes);
  auto line = [&](int number) { return number <= input.count ? input.lines[number - 1] : std::string(); };
  Findings findings;
  CheckCardinality(line(1), Where(path, 1), maxCardinality, findings);
  const bool noiseOff = NoiseInForce(CheckNoiseLevel(line(2), Where(path, 2), findings)) == 0.0;
  for (int leaf = 1; leaf <= LeafCount && leaf + 2 <= input.count; ++leaf)
    CheckLeafLine(line(leaf + 2), leaf, Where(path, leaf + 2), noiseOff, findings);
  if (input.firstUnreadText > 0)
    findings.push_back({Where(path, input.firstUnreadText) + "text after line " + std::to_string(InputLineCount) +
                            " is never read",
                        false});
  if (input.count < InputLineCount) findings.push_back({ShortFile(path, input.count), false});
  return findings;
}

std::string RunWarnings(const std::vector<InputFinding>& findings, const std::string& inputPath,
                        const std::string& logPath) {
  std::string text;
  for (const InputFinding& finding : findings)
    if (!finding.logged) text += "dorvu: warning: " + finding.text + "\n";
  const auto logged = std::count_if(findings.begin(), findings.end(), [](const InputFinding& f) { return f.logged; });
  if (logged > 0)
    text += "dorvu: warning: " + logPath + " reports " + std::to_string(logged) +
            (logged == 1 ? " problem" : " problems") + " in " + inputPath + "; \"dorvu --check\" lists " +
            (logged == 1 ? "it" : "them") + "\n";
  return text;
}

}  // namespace dorvu
