#include "input/input_reader.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <memory>
#include <unordered_map>

#include "cli/name_list.h"
#include "input/convert.h"
#include "input/leaf_noise.h"
#include "log/log_lines.h"
#include "log/number_format.h"

namespace dorvu {

namespace {

// Lines of a file or of bytes: LF or CR LF end a line, a lone CR is dropped,
// byte 26 ends the file, a last line without its LF still counts. Lines of
// any length; the file is read in blocks as the lines are asked for.
class LineSource {
 public:
  explicit LineSource(const std::string& path) : path_(path), file_(std::fopen(path.c_str(), "rb")) {
    if (!file_) throw IoErrorFromErrno("open", path_);
  }
  explicit LineSource(std::string_view bytes) : bytes_(bytes) {}

  // The next line into `line`; false after the end of the file.
  bool Next(std::string& line) {
    line.clear();
    bool pending = false;
    while (!ended_) {
      if (position_ == filled_ && !Refill()) break;
      const char c = block_[position_++];
      if (c == '\n') return true;
      if (c == kEndOfFileByte) {
        ended_ = true;
        break;
      }
      pending = true;
      if (c != '\r') line += c;
    }
    return pending;
  }

  void Close() {
    if (!file_) return;
    FILE* file = file_.release();
    if (std::fclose(file) != 0) throw IoErrorFromErrno("close", path_);
  }

 private:
  bool Refill() {
    if (!file_) {
      ended_ = true;
      return false;
    }
    filled_ = std::fread(buffer_.get(), 1, kBlockSize, file_.get());
    block_ = buffer_.get();
    position_ = 0;
    if (filled_ == 0) {
      if (std::ferror(file_.get())) throw IoErrorFromErrno("read", path_);
      ended_ = true;
    }
    return filled_ > 0;
  }

  struct Closer {
    void operator()(FILE* f) const { std::fclose(f); }
  };
  static constexpr std::size_t kBlockSize = 1 << 16;
  std::string path_;
  std::unique_ptr<FILE, Closer> file_;
  std::unique_ptr<char[]> buffer_ = file_ ? std::make_unique<char[]>(kBlockSize) : nullptr;
  std::string_view bytes_;
  const char* block_ = bytes_.data();  // the bytes, or the file's latest block
  std::size_t filled_ = bytes_.size();
  std::size_t position_ = 0;
  bool ended_ = false;
};

constexpr char kBaseLetters[4] = {'A', 'C', 'G', 'T'};

// Values rounded to two decimals sum to within 0.02 of 1; the small margin
// keeps exactly 0.98 and 1.02, written in decimal, on the near side.
constexpr long double kFarFromOne = 0.02L + 1e-12L;

// Bad tokens are quoted up to this many characters.
constexpr std::size_t kQuotedLength = 24;

using Findings = std::vector<InputFinding>;

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string Where(const std::string& path, int line) { return path + ":" + std::to_string(line) + ": "; }

// A token in double quotes, shortened, with tabs, quotes, backslashes and
// bytes outside printable ASCII escaped, so that the message stays one line.
std::string Quoted(std::string_view token) {
  std::string text = "\"";
  for (std::size_t i = 0; i < token.size() && i < kQuotedLength; ++i) {
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
  if (token.size() > kQuotedLength) text += "...";
  return text + "\"";
}

// Shortest text that reads back as the same double, or `digits` significant digits.
std::string ShortestNumber(double value, int digits = 0) {
  char text[64];
  const auto result = digits > 0 ? std::to_chars(text, text + sizeof text, value, std::chars_format::general, digits)
                                 : std::to_chars(text, text + sizeof text, value);
  return std::string(text, result.ptr);
}

// The token after the first "=" of a header line; none without "=".
std::optional<std::string_view> HeaderToken(const std::string& line) {
  const std::size_t equals = line.find('=');
  if (equals == std::string::npos) return std::nullopt;
  return ValueToken(line, equals + 1);
}

// Line 2 carries the cardinality's label: a line was added above, so every
// line is read one place too low.
bool LooksLikeCardinalityLine(const std::string& line) {
  const std::string label = line.substr(0, line.find('='));
  return line.find('=') != std::string::npos && label.find("cardinality") != std::string::npos;
}

// Reads the two header lines into the parameters, with their findings.
void ParseHeader(const std::string& first, const std::string& second, const std::string& path, int32_t maxCardinality,
                 const DataErrorLines& dataErrors, ParsedInput& parsed) {
  Findings& findings = parsed.findings;
  const std::optional<std::string_view> cardinalityToken = HeaderToken(first);
  const std::optional<std::string_view> noiseToken = HeaderToken(second);
  InputParameters& read = parsed.parameters;
  const bool cardinalityFailed = ConvertInteger(cardinalityToken.value_or(""), read.cardinality) != 0;
  const bool noiseFailed = ConvertReal(noiseToken.value_or(""), read.noiseLevel) != 0;
  if (cardinalityFailed && dataErrors) dataErrors(log_lines::kCardinalityError);
  if (noiseFailed && dataErrors) dataErrors(log_lines::kNoiseError);

  if (!cardinalityToken) {
    std::string text = Where(path, 1) + "no \"=\" on the cardinality line";
    if (LooksLikeCardinalityLine(second) && !noiseFailed)
      text +=
          "; line 2 looks like it, so every line is read one place too low: the run reads the cardinality "
          "line as the noise level and logs \"" +
          std::string(log_lines::kNoisePrefix) + FormatReal(read.noiseLevel) + "\"";
    findings.push_back({text, false});
  }
  if (cardinalityFailed) {
    const std::string_view token = cardinalityToken.value_or("");
    const std::string problem =
        token.empty() ? "no cardinality given" : "the cardinality " + Quoted(token) + " is not a whole 32-bit number";
    findings.push_back(
        {Where(path, 1) + problem + " (logged as an error; the run uses " + std::to_string(read.cardinality) + ")",
         true});
  }
  if (read.cardinality > maxCardinality)
    findings.push_back({Where(path, 1) + "the cardinality " + std::to_string(read.cardinality) + " is above " +
                            std::to_string(maxCardinality) + " (logged; the run uses " +
                            std::to_string(maxCardinality) + ")",
                        true});
  if (!noiseToken) findings.push_back({Where(path, 2) + "no \"=\" on the noise level line", false});
  if (noiseFailed) {
    const std::string_view token = noiseToken.value_or("");
    const std::string problem =
        token.empty() ? "no noise level given" : "the noise level " + Quoted(token) + " is not a number";
    findings.push_back(
        {Where(path, 2) + problem + " (logged as an error; the run uses " + ShortestNumber(read.noiseLevel) + ")",
         true});
  }
}

bool IsBaseLetter(char c) { return std::find(kBaseLetters, kBaseLetters + 4, c) != kBaseLetters + 4; }

int BaseOfLetter(char letter) {
  return static_cast<int>(std::find(kBaseLetters, kBaseLetters + 4, letter) - kBaseLetters);
}

// "A:, C: or T:" and "A, C and T" for the letters not seen.
std::string LetterList(const bool seen[4], bool withColons, const char* lastJoin) {
  std::vector<std::string> missing;
  for (int b = 0; b < 4; ++b)
    if (!seen[b]) missing.push_back(std::string(1, kBaseLetters[b]) + (withColons ? ":" : ""));
  std::string text;
  for (std::size_t i = 0; i < missing.size(); ++i)
    text += (i == 0 ? "" : i + 1 == missing.size() ? lastJoin : ", ") + missing[i];
  return text;
}

std::string MissingBases(int leaf, const bool seen[4]) {
  const auto count = std::count(seen, seen + 4, false);
  const std::string text =
      "leaf " + std::to_string(leaf) + " gives no " + LetterList(seen, true, " or ") + " value, so ";
  if (count == 4) return text + "all four are read as 0";
  return text + LetterList(seen, false, " and ") + (count == 1 ? " is" : " are") + " read as 0";
}

// One leaf line into the leaf's values: each value that does not convert, the
// bases it never gives, and, with the noise off, a sum far from 1.
void ParseLeafLine(const std::string& line, int leaf, const std::string& where, bool noiseOff,
                   const DataErrorLines& dataErrors, BaseValues& values, Findings& findings) {
  bool seen[4] = {false, false, false, false};
  int failures = 0;
  // 0-based positions 1 to size-2: a ":" in the last position is never examined.
  for (std::size_t p = 1; p + 1 < line.size(); ++p) {
    if (line[p] != ':' || !IsBaseLetter(line[p - 1])) continue;
    const int base = BaseOfLetter(line[p - 1]);
    seen[base] = true;
    const std::string_view token = ValueToken(line, p + 1);
    double converted = 0.0;
    if (ConvertReal(token, converted) == 0) {
      values.b[base] = converted;
      continue;
    }
    ++failures;
    const std::string problem = token.empty() ? "is empty" : Quoted(token) + " is not a number";
    findings.push_back({where + "leaf " + std::to_string(leaf) + ": the " + line[p - 1] + ": value " + problem +
                            " (logged as an error)",
                        true});
  }
  for (int i = 0; i < failures && dataErrors; ++i)
    dataErrors(std::string(log_lines::kLeafErrorPrefix) + std::to_string(leaf));
  if (std::count(seen, seen + 4, true) < 4) {
    findings.push_back({where + MissingBases(leaf, seen), false});
    return;
  }
  if (!noiseOff || failures > 0) return;
  const long double sum = static_cast<long double>(values.b[0]) + values.b[1] + values.b[2] + values.b[3];
  if (std::fabs(sum - 1.0L) > kFarFromOne)
    findings.push_back({where + "leaf " + std::to_string(leaf) + " sums to " +
                            ShortestNumber(static_cast<double>(sum), 6) +
                            ", not 1; with the noise off the run takes its values as they are",
                        false});
}

std::string ShortFile(const std::string& path, int count) {
  const int firstMissing = std::max(count - 2, 0) + 1;
  std::string text = path + ": " + std::to_string(count) + (count == 1 ? " line" : " lines") + ", not " +
                     std::to_string(kInputLineCount) + ": ";
  if (firstMissing == kLeafCount) return text + "leaf 64 is missing, so its values are read as 0";
  return text + "leaves " + std::to_string(firstMissing) + " to 64 are missing, so their values are read as 0";
}

// After the lines a run reads: the first that holds more than blanks and
// tabs. A read that fails here is kept, not thrown: a run has all it needs.
void ParseUnreadLines(LineSource& lines, int& count, const std::string& path, ParsedInput& parsed) {
  std::string line;
  int firstText = 0;
  try {
    while (lines.Next(line)) {
      ++count;
      if (firstText == 0 && !std::all_of(line.begin(), line.end(), IsBlank)) firstText = count;
    }
  } catch (const IoError& error) {
    parsed.laterReadError = error;
  }
  if (firstText > 0)
    parsed.findings.push_back(
        {Where(path, firstText) + "text after line " + std::to_string(kInputLineCount) + " is never read", false});
}

ParsedInput Parse(LineSource& lines, const std::string& path, int32_t maxCardinality,
                  const DataErrorLines& dataErrors) {
  ParsedInput parsed;
  parsed.leaves.assign(kLeafCount, BaseValues{});
  int count = 0;
  std::string first, second;
  count += lines.Next(first);
  count += lines.Next(second);
  ParseHeader(first, second, path, maxCardinality, dataErrors, parsed);
  const bool noiseOff = NoiseInForce(parsed.parameters.noiseLevel) == 0.0;
  std::string line;
  for (int leaf = 1; leaf <= kLeafCount && lines.Next(line); ++leaf) {
    ++count;
    ParseLeafLine(line, leaf, Where(path, leaf + 2), noiseOff, dataErrors, parsed.leaves[leaf - 1], parsed.findings);
  }
  if (count == kInputLineCount) ParseUnreadLines(lines, count, path, parsed);
  if (count < kInputLineCount) parsed.findings.push_back({ShortFile(path, count), false});
  lines.Close();
  return parsed;
}

}  // namespace

int ReadLeafLine(const std::string& line, BaseValues& values) {
  Findings findings;
  ParseLeafLine(line, 1, "", false, {}, values, findings);
  return static_cast<int>(
      std::count_if(findings.begin(), findings.end(), [](const InputFinding& f) { return f.logged; }));
}

ParsedInput ParseInput(const std::string& path, int32_t maxCardinality, const DataErrorLines& dataErrors) {
  LineSource lines(path);
  return Parse(lines, path, maxCardinality, dataErrors);
}

ParsedInput ParseInputBytes(std::string_view bytes, const std::string& path, int32_t maxCardinality,
                            const DataErrorLines& dataErrors) {
  LineSource lines(bytes);
  return Parse(lines, path, maxCardinality, dataErrors);
}

void PlaceLeaves(const ParsedInput& input, Tree& tree) {
  for (int leaf = 1; leaf <= tree.leafCount; ++leaf)
    tree.treeSequence[tree.leafSlots[leaf]].value = input.leaves[leaf - 1];
}

namespace {

// The tip name that begins a leaf line of an input for a tree, and where the
// rest of the line starts: quoted as in Newick ('' for a quote inside), or
// up to the first blank or tab. None for an unclosed quote.
std::optional<std::pair<std::string, std::size_t>> LeadingName(const std::string& line) {
  std::size_t p = 0;
  while (p < line.size() && IsBlank(line[p])) ++p;
  if (p < line.size() && line[p] == '\'') {
    std::string name;
    for (std::size_t q = p + 1; q < line.size(); ++q) {
      if (line[q] != '\'') {
        name += line[q];
      } else if (q + 1 < line.size() && line[q + 1] == '\'') {
        name += '\'';
        ++q;
      } else {
        return std::make_pair(name, q + 1);
      }
    }
    return std::nullopt;
  }
  std::size_t end = p;
  while (end < line.size() && !IsBlank(line[end])) ++end;
  return std::make_pair(line.substr(p, end - p), end);
}

TreeInput ParseTree(LineSource& lines, const std::string& path, const std::vector<std::string>& tipNames,
                    int32_t maxCardinality) {
  TreeInput input;
  ParsedInput& parsed = input.parsed;
  const auto keep = [&input](std::string_view line) { input.dataErrorLines.emplace_back(line); };
  std::string first, second;
  lines.Next(first);
  lines.Next(second);
  ParseHeader(first, second, path, maxCardinality, keep, parsed);
  const bool noiseOff = NoiseInForce(parsed.parameters.noiseLevel) == 0.0;
  std::unordered_map<std::string, int> leafOf;  // tip name to leaf number
  for (std::size_t k = 0; k < tipNames.size(); ++k) leafOf.emplace(tipNames[k], static_cast<int>(k) + 1);
  parsed.leaves.assign(tipNames.size(), BaseValues{});
  std::vector<int> lineOf(tipNames.size() + 1, 0);  // the line that gave each leaf
  std::string line;
  for (int number = 3; lines.Next(line); ++number) {
    if (std::all_of(line.begin(), line.end(), IsBlank)) continue;
    const auto name = LeadingName(line);
    const std::string shown = name ? name->first : line;
    const auto found = name ? leafOf.find(name->first) : leafOf.end();
    if (found == leafOf.end()) {
      input.mismatch.unknown.emplace_back(shown, number);
      continue;
    }
    const int leaf = found->second;
    if (lineOf[leaf] != 0) {
      input.mismatch.twice.emplace_back(shown, number);
      continue;
    }
    lineOf[leaf] = number;
    ParseLeafLine(line.substr(name->second), leaf, Where(path, number), noiseOff, keep, parsed.leaves[leaf - 1],
                  parsed.findings);
  }
  for (std::size_t k = 1; k <= tipNames.size(); ++k)
    if (lineOf[k] == 0) input.mismatch.missing.push_back(tipNames[k - 1]);
  lines.Close();
  return input;
}

std::string QuotedName(const std::string& name) { return Quoted(name); }

}  // namespace

TreeInput ParseTreeInput(const std::string& path, const std::vector<std::string>& tipNames, int32_t maxCardinality) {
  LineSource lines(path);
  return ParseTree(lines, path, tipNames, maxCardinality);
}

TreeInput ParseTreeInputBytes(std::string_view bytes, const std::string& path, const std::vector<std::string>& tipNames,
                              int32_t maxCardinality) {
  LineSource lines(bytes);
  return ParseTree(lines, path, tipNames, maxCardinality);
}

std::string MismatchText(const NameMismatch& mismatch, const std::string& inputPath, const std::string& treePath) {
  const auto count = [](std::size_t n, const char* one, const char* many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
  };
  const auto withLine = [](const std::pair<std::string, int>& item) {
    return QuotedName(item.first) + " (line " + std::to_string(item.second) + ")";
  };
  std::string text;
  if (!mismatch.unknown.empty())
    text += "dorvu: " + inputPath + ": " + count(mismatch.unknown.size(), "name is", "names are") + " no tip of " +
            treePath + ": " + cli::NameList(mismatch.unknown, withLine) + "\n";
  if (!mismatch.twice.empty())
    text += "dorvu: " + inputPath + ": " + count(mismatch.twice.size(), "tip is", "tips are") +
            " given again: " + cli::NameList(mismatch.twice, withLine) + "\n";
  if (!mismatch.missing.empty())
    text += "dorvu: " + inputPath + ": " + count(mismatch.missing.size(), "tip", "tips") + " of " + treePath +
            (mismatch.missing.size() == 1 ? " has" : " have") +
            " no line: " + cli::NameList(mismatch.missing, QuotedName) + "\n";
  return text;
}

}  // namespace dorvu
