#include "input/convert.h"

#include <locale.h>

#include <cmath>
#include <cstdlib>
#include <string>

namespace dorvu {

namespace {

int DigitValue(char c, int base) {
  if (c >= '0' && c <= '9') return c - '0';
  if (base == 16 && c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (base == 16 && c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Correctly rounded double of a token of digits, sign, point and exponent,
// read in the "C" locale whatever the process locale is.
double DecimalToDouble(const std::string& text) {
  static const locale_t cLocale = newlocale(LC_ALL_MASK, "C", nullptr);
  return strtod_l(text.c_str(), nullptr, cLocale);
}

}  // namespace

std::string_view ValueToken(std::string_view line, std::size_t position) {
  if (position >= line.size()) return {};
  const std::size_t end = line.find_first_of("_ ", position);
  return line.substr(position, end == std::string_view::npos ? std::string_view::npos : end - position);
}

int32_t ConvertInteger(std::string_view token, int32_t& value) {
  std::size_t i = 0;
  bool negative = false;
  if (i < token.size() && (token[i] == '+' || token[i] == '-')) negative = token[i++] == '-';
  int base = 10;
  if (i < token.size() && (token[i] == '$' || token[i] == 'x' || token[i] == 'X')) {
    base = 16;
    ++i;
  } else if (i + 1 < token.size() && token[i] == '0' && (token[i + 1] == 'x' || token[i + 1] == 'X')) {
    base = 16;
    i += 2;
  }
  const int64_t limit = negative ? 2147483648LL : 2147483647LL;
  int64_t magnitude = 0;
  std::size_t digits = 0;
  for (; i < token.size(); ++i) {
    const int d = DigitValue(token[i], base);
    if (d < 0 || magnitude * base + d > limit) break;
    magnitude = magnitude * base + d;
    ++digits;
  }
  if (digits > 0 && i == token.size()) {
    value = static_cast<int32_t>(negative ? -magnitude : magnitude);
    return 0;
  }
  // The unsigned value of the digits read must fit as well: "-2147483648x"
  // keeps the digits that fit below 2^31.
  if (magnitude > 2147483647LL) magnitude /= base;
  value = static_cast<int32_t>(magnitude);
  return 1;
}

int32_t ConvertReal(std::string_view token, double& value) {
  std::size_t i = 0;
  if (i < token.size() && (token[i] == '+' || token[i] == '-')) ++i;
  std::string mantissaDigits;
  for (; i < token.size() && IsDigit(token[i]); ++i) mantissaDigits += token[i];
  if (i < token.size() && token[i] == '.')
    for (++i; i < token.size() && IsDigit(token[i]); ++i) mantissaDigits += token[i];
  bool wellFormed = !mantissaDigits.empty();
  if (wellFormed && i < token.size() && (token[i] == 'E' || token[i] == 'e')) {
    ++i;
    if (i < token.size() && (token[i] == '+' || token[i] == '-')) ++i;
    std::size_t exponentDigits = 0;
    for (; i < token.size() && IsDigit(token[i]); ++i) ++exponentDigits;
    wellFormed = exponentDigits > 0;
  }
  if (wellFormed && i == token.size()) {
    const double converted = DecimalToDouble(std::string(token));
    if (!std::isinf(converted)) {
      value = converted;
      return 0;
    }
  }
  value = mantissaDigits.empty() ? 0.0 : DecimalToDouble(mantissaDigits);
  return 1;
}

}  // namespace dorvu
