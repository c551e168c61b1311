#include "prep/decimal.h"

#include <algorithm>
#include <charconv>
#include <limits>
#include <string>

#include "prep/composition.h"

namespace dorvu::prep {

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Reads the mantissa's digits into `number`; false when they do not fit.
bool TakeDigit(Decimal& number, char c) {
  const std::uint64_t digit = static_cast<std::uint64_t>(c - '0');
  if (number.digits > (std::numeric_limits<std::uint64_t>::max() - digit) / 10) return false;
  number.digits = number.digits * 10 + digit;
  return true;
}

// `digits * 10^shift` when it stays at most kMaxExactCount.
std::optional<std::uint64_t> Scaled(std::uint64_t digits, int shift) {
  for (; shift > 0; --shift) {
    if (digits > kMaxExactCount / 10) return std::nullopt;
    digits *= 10;
  }
  if (digits > kMaxExactCount) return std::nullopt;
  return digits;
}

std::optional<BaseCounts> CommonScale(const std::array<Decimal, 4>& values) {
  int lowest = std::numeric_limits<int>::max();
  for (const Decimal& v : values) {
    if (!v.exact) return std::nullopt;
    if (v.digits != 0) lowest = std::min(lowest, v.exponent);
  }
  BaseCounts counts{};
  std::uint64_t sum = 0;
  for (std::size_t b = 0; b < 4; ++b) {
    if (values[b].digits == 0) continue;
    const auto scaled = Scaled(values[b].digits, values[b].exponent - lowest);
    if (!scaled || *scaled > kMaxExactCount - sum) return std::nullopt;
    counts[b] = *scaled;
    sum += *scaled;
  }
  return counts;
}

}  // namespace

std::optional<Decimal> ParseDecimal(std::string_view text) {
  Decimal number;
  std::size_t i = 0;
  if (i < text.size() && text[i] == '-') {
    number.negative = true;
    ++i;
  }
  const std::size_t start = i;
  int mantissaDigits = 0;
  int fractionDigits = 0;
  for (; i < text.size() && IsDigit(text[i]); ++i, ++mantissaDigits)
    number.exact = number.exact && TakeDigit(number, text[i]);
  if (i < text.size() && text[i] == '.') {
    for (++i; i < text.size() && IsDigit(text[i]); ++i, ++mantissaDigits, ++fractionDigits)
      number.exact = number.exact && TakeDigit(number, text[i]);
  }
  if (mantissaDigits == 0) return std::nullopt;
  int exponent = 0;
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    const bool minus = i + 1 < text.size() && text[i + 1] == '-';
    const std::size_t e = i + 1 + (minus || (i + 1 < text.size() && text[i + 1] == '+') ? 1 : 0);
    if (e >= text.size() || !IsDigit(text[e])) return std::nullopt;
    const auto [end, error] = std::from_chars(text.data() + e, text.data() + text.size(), exponent);
    if (error != std::errc{}) return std::nullopt;
    if (minus) exponent = -exponent;
    i = static_cast<std::size_t>(end - text.data());
  }
  if (i != text.size()) return std::nullopt;
  const auto [end, error] = std::from_chars(text.data() + start, text.data() + text.size(), number.value);
  if (error != std::errc{}) return std::nullopt;  // beyond the range of a double
  // A value within the range of a double has an exponent far from the ends of int.
  number.exponent = number.digits == 0 ? 0 : exponent - fractionDigits;
  while (number.exact && number.digits != 0 && number.digits % 10 == 0) {
    number.digits /= 10;
    ++number.exponent;
  }
  return number;
}

std::optional<std::uint64_t> WholeNumber(std::string_view text) {
  constexpr std::uint64_t kLargest = std::numeric_limits<std::uint64_t>::max();
  if (text.starts_with('-')) text.remove_prefix(1);
  const std::size_t mantissaEnd = std::min(text.find_first_of("eE"), text.size());
  int exponent = 0;
  if (mantissaEnd < text.size()) {
    std::string_view power = text.substr(mantissaEnd + 1);
    const bool minus = power.starts_with('-');
    if (minus || power.starts_with('+')) power.remove_prefix(1);
    std::from_chars(power.data(), power.data() + power.size(), exponent);
    if (minus) exponent = -exponent;
  }
  // The significant digits, and the power of ten of the last of them.
  std::string digits;
  std::int64_t scale = exponent;
  bool afterPoint = false;
  for (const char c : text.substr(0, mantissaEnd)) {
    if (c == '.') {
      afterPoint = true;
      continue;
    }
    if (c != '0' || !digits.empty()) digits += c;
    if (afterPoint) --scale;
  }
  while (!digits.empty() && digits.back() == '0') {
    digits.pop_back();
    ++scale;
  }
  if (digits.empty()) return 0;
  if (scale < 0) return std::nullopt;
  if (static_cast<std::int64_t>(digits.size()) + scale > 20) return kLargest;
  digits.append(static_cast<std::size_t>(scale), '0');
  std::uint64_t value = 0;
  for (const char c : digits) {
    const auto digit = static_cast<std::uint64_t>(c - '0');
    if (value > (kLargest - digit) / 10) return kLargest;
    value = value * 10 + digit;
  }
  return value;
}

std::array<double, 4> RowShares(const std::array<Decimal, 4>& values) {
  if (const auto counts = CommonScale(values)) return Shares(*counts);
  const double sum = values[0].value + values[1].value + values[2].value + values[3].value;
  std::array<double, 4> shares{};
  for (std::size_t b = 0; b < 4; ++b) shares[b] = values[b].value / sum;
  return shares;
}

}  // namespace dorvu::prep
