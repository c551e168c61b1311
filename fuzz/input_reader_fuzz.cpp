// Fuzz target: arbitrary bytes as the whole of "input.txt" for the input
// reader, and the same bytes as one value token for the two conversion rules,
// each checked against an independent reading of its rule. The input check
// must call logged exactly the problems the reader logs.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "fuzz_support.h"
#include "input/convert.h"
#include "input/input_reader.h"
#include "log/io_error.h"
#include "log/run_log.h"
#include "run/driver.h"
#include "search/run_parameters.h"
#include "tree/tree.h"

namespace {

using dorvu::fuzz::Fail;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// A double from a text of the real rule, through std::from_chars; `fits` is
// false when the value lies beyond the double range (it may be true for an
// underflow, which rounds to zero or a subnormal).
bool ReferenceReal(std::string_view text, double& value, bool& fits) {
  bool negative = false;
  if (!text.empty() && (text[0] == '+' || text[0] == '-')) {
    negative = text[0] == '-';
    text.remove_prefix(1);
  }
  // from_chars also reads "inf", "nan" and a leading "-": the rule has none.
  if (text.empty() || !(IsDigit(text[0]) || text[0] == '.')) return false;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, std::chars_format::general);
  if (end != text.data() + text.size()) return false;
  if (error == std::errc::invalid_argument) return false;
  fits = true;
  if (error == std::errc::result_out_of_range) {
    // Tell overflow from underflow by the position of the first nonzero digit
    // against the exponent; a coarse bound suffices for the far ends.
    const std::string copy(text);
    const double viaStrtod = std::strtod(copy.c_str(), nullptr);
    fits = !std::isinf(viaStrtod);
    value = viaStrtod;
  }
  if (negative) value = -value;
  return true;
}

// The mantissa digits that stand before the first character the real rule
// cannot take, as one whole number.
double ReferenceFailedReal(std::string_view token) {
  std::size_t i = 0;
  if (i < token.size() && (token[i] == '+' || token[i] == '-')) ++i;
  std::string digits;
  while (i < token.size() && IsDigit(token[i])) digits += token[i++];
  if (i < token.size() && token[i] == '.')
    for (++i; i < token.size() && IsDigit(token[i]); ++i) digits += token[i];
  if (digits.empty()) return 0.0;
  double value = 0.0;
  const auto result = std::from_chars(digits.data(), digits.data() + digits.size(), value);
  if (result.ec == std::errc::result_out_of_range) return HUGE_VAL;
  return value;
}

void CheckReal(std::string_view token) {
  double value = -12345.0;
  const int32_t status = dorvu::ConvertReal(token, value);
  double expected = 0.0;
  bool fits = false;
  const bool wellFormed = ReferenceReal(token, expected, fits);
  if (wellFormed && fits) {
    if (status != 0) Fail("a real in range did not convert");
    if (std::memcmp(&value, &expected, sizeof value) != 0) Fail("a real converted to the wrong double");
    return;
  }
  if (status == 0) Fail("a real converted that the rule rejects");
  const double failed = ReferenceFailedReal(token);
  if (std::memcmp(&value, &failed, sizeof value) != 0) Fail("a failed real left the wrong value");
}

void CheckInteger(std::string_view token) {
  int32_t value = -12345;
  const int32_t status = dorvu::ConvertInteger(token, value);
  std::string_view rest = token;
  bool negative = false;
  if (!rest.empty() && (rest[0] == '+' || rest[0] == '-')) {
    negative = rest[0] == '-';
    rest.remove_prefix(1);
  }
  int base = 10;
  if (!rest.empty() && (rest[0] == '$' || rest[0] == 'x' || rest[0] == 'X')) {
    base = 16;
    rest.remove_prefix(1);
  } else if (rest.size() >= 2 && rest[0] == '0' && (rest[1] == 'x' || rest[1] == 'X')) {
    base = 16;
    rest.remove_prefix(2);
  }
  // from_chars takes no sign here: the rule has already taken it.
  int64_t magnitude = 0;
  const bool plain = !rest.empty() && rest[0] != '-' && rest[0] != '+';
  const auto [end, error] = std::from_chars(rest.data(), rest.data() + rest.size(), magnitude, base);
  const bool whole = plain && error == std::errc() && end == rest.data() + rest.size();
  const int64_t signedValue = negative ? -magnitude : magnitude;
  if (whole && signedValue >= INT32_MIN && signedValue <= INT32_MAX) {
    if (status != 0) Fail("an integer in range did not convert");
    if (value != signedValue) Fail("an integer converted to the wrong value");
    return;
  }
  if (status == 0) Fail("an integer converted that the rule rejects");
  if (value < 0) Fail("a failed integer left a negative value");
}

void CheckLog(const std::string& text) {
  const std::vector<std::string> lines = dorvu::fuzz::LogLinesOf(text);
  std::size_t i = 0;
  if (i < lines.size() && lines[i] == "an error in cardinality of scenario, sorry") ++i;
  if (i < lines.size() && lines[i] == "an error in level of randomness, sorry") ++i;
  int previousLeaf = 1;
  for (; i < lines.size(); ++i) {
    const std::string prefix = "an error in data on the leaf ";
    if (lines[i].compare(0, prefix.size(), prefix) != 0) Fail("unexpected log line: " + lines[i]);
    const int leaf = std::atoi(lines[i].c_str() + prefix.size());
    if (leaf < previousLeaf || leaf > dorvu::kLeafCount || std::to_string(leaf) != lines[i].substr(prefix.size()))
      Fail("leaf messages out of order: " + lines[i]);
    previousLeaf = leaf;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);

  // The bytes as one value token (as the reader would cut it) of either rule.
  CheckReal(bytes);
  CheckInteger(bytes);
  const std::string_view token = dorvu::ValueToken(bytes, 0);
  if (token.find_first_of("_ ") != std::string_view::npos) Fail("a value token holds a separator");

  // The bytes as the whole input file.
  const auto& dir = dorvu::fuzz::ScratchDirectory();
  const std::string inputPath = (dir / "input.txt").string();
  dorvu::fuzz::WriteWholeFile(inputPath, bytes);
  dorvu::RunLog log;
  log.path = (dir / "dorvu.log").string();
  dorvu::Tree tree;
  dorvu::ParsedInput input;
  try {
    dorvu::CreateLog(log);
    dorvu::LayOutTree(tree);
    input = dorvu::ReadRunInput(inputPath, log, tree);
  } catch (const dorvu::IoError& error) {
    Fail("file error on a readable file: " + error.message);
  }
  const std::string logText = dorvu::test::ReadFile(log.path);
  CheckLog(logText);
  auto logged = std::count(logText.begin(), logText.end(), '\n');
  if (input.parameters.cardinality > dorvu::kMaxCardinality) ++logged;  // the driver's line about the limit
  const auto& findings = input.findings;
  if (std::count_if(findings.begin(), findings.end(), [](const auto& f) { return f.logged; }) != logged)
    Fail("the findings called logged differ from the log");
  // The file read in blocks and the same bytes in memory find the same.
  const dorvu::ParsedInput fromBytes = dorvu::ParseInputBytes(bytes, inputPath, dorvu::kMaxCardinality);
  if (fromBytes.findings.size() != findings.size() ||
      !std::equal(findings.begin(), findings.end(), fromBytes.findings.begin(),
                  [](const auto& a, const auto& b) { return a.text == b.text && a.logged == b.logged; }))
    Fail("the findings of the file differ from those of its bytes");
  return 0;
}
