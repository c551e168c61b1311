#include "view/log_number.h"

#include <array>
#include <charconv>
#include <cmath>
#include <limits>
#include <string>

namespace dorvu::view {

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Moves `pos` past a run of digits; false when there is none.
bool SkipDigits(std::string_view text, std::size_t& pos) {
  const std::size_t start = pos;
  while (pos < text.size() && IsDigit(text[pos])) ++pos;
  return pos > start;
}

struct Shape {
  char separator = 0;
  bool negativeExponent = false;
};

// Checks the digits form and reports which separator it used.
std::optional<Shape> FiniteShape(std::string_view body) {
  Shape shape;
  std::size_t pos = 0;
  if (!SkipDigits(body, pos)) return std::nullopt;
  if (pos < body.size() && (body[pos] == '.' || body[pos] == ',')) {
    shape.separator = body[pos++];
    if (!SkipDigits(body, pos)) return std::nullopt;
  }
  if (pos < body.size() && body[pos] == 'E') {
    ++pos;
    if (pos < body.size() && body[pos] == '-') {
      shape.negativeExponent = true;
      ++pos;
    }
    if (!SkipDigits(body, pos)) return std::nullopt;
  }
  if (pos != body.size()) return std::nullopt;
  return shape;
}

// The value of a checked finite form. Squares in the log are formatted from
// extended precision, so a printed value can lie beyond the range of a double.
double FiniteValue(const std::string& dotted, const Shape& shape) {
  double value = 0.0;
  const auto [end, error] = std::from_chars(dotted.data(), dotted.data() + dotted.size(), value);
  (void)end;
  if (error == std::errc::result_out_of_range)
    return shape.negativeExponent ? 0.0 : std::numeric_limits<double>::infinity();
  return value;
}

constexpr int kSignificantDigits = 15;

// The significant digits of a positive finite value, rounded half up at the
// 16th digit of its exact decimal expansion, without trailing zeros; and the
// decimal exponent of the first digit.
struct RoundedDigits {
  std::string digits;
  int exponent = 0;
};

RoundedDigits RoundHalfUp(double magnitude) {
  // A double's exact expansion has at most 767 significant digits, so this
  // precision writes it whole, and cutting it is exact.
  std::array<char, 1024> buffer{};
  const auto result =
      std::to_chars(buffer.data(), buffer.data() + buffer.size(), magnitude, std::chars_format::scientific, 800);
  const std::string_view text(buffer.data(), static_cast<std::size_t>(result.ptr - buffer.data()));
  const std::size_t e = text.find('e');
  std::string exact(1, text[0]);
  exact.append(text.substr(2, e - 2));
  RoundedDigits rounded{exact.substr(0, kSignificantDigits), std::stoi(std::string(text.substr(e + 1)))};
  if (exact[kSignificantDigits] >= '5') {
    int i = kSignificantDigits - 1;
    while (i >= 0 && rounded.digits[i] == '9') rounded.digits[i--] = '0';
    if (i >= 0) {
      ++rounded.digits[i];
    } else {
      rounded.digits.insert(rounded.digits.begin(), '1');
      rounded.digits.pop_back();
      ++rounded.exponent;
    }
  }
  rounded.digits.erase(rounded.digits.find_last_not_of('0') + 1);
  return rounded;
}

std::string FormatMagnitude(double magnitude) {
  RoundedDigits rounded = RoundHalfUp(magnitude);
  std::string& digits = rounded.digits;
  const int before = rounded.exponent + 1;  // digits before the point in plain notation
  if (before <= 0 && before >= -3) return "0." + std::string(static_cast<std::size_t>(-before), '0') + digits;
  if (before > 0 && before <= kSignificantDigits) {
    const auto whole = static_cast<std::size_t>(before);
    if (digits.size() <= whole) return digits + std::string(whole - digits.size(), '0');
    return digits.substr(0, whole) + "." + digits.substr(whole);
  }
  std::string text = digits.substr(0, 1);
  if (digits.size() > 1) text.append(".").append(digits.substr(1));
  return text.append("E").append(std::to_string(rounded.exponent));
}

}  // namespace

std::string FormatLogReal(double value) {
  if (std::isnan(value)) return "NaN";
  if (std::isinf(value)) return value < 0 ? "-Inf" : "Inf";
  if (value == 0) return "0";
  const std::string magnitude = FormatMagnitude(std::fabs(value));
  return value < 0 ? "-" + magnitude : magnitude;
}

std::optional<RealParse> ParseLogReal(std::string_view token) {
  const bool negative = !token.empty() && token[0] == '-';
  const std::string_view body = negative ? token.substr(1) : token;
  const std::string sign = negative ? "-" : "";
  RealParse result;
  result.real.printed = std::string(token);
  if (body == "INF") {
    result.real.text = sign + "Inf";
    result.real.value = negative ? -std::numeric_limits<double>::infinity() : std::numeric_limits<double>::infinity();
    return result;
  }
  if (body == "NAN") {
    result.real.text = "NaN";
    result.real.value = std::numeric_limits<double>::quiet_NaN();
    return result;
  }
  const auto shape = FiniteShape(body);
  if (!shape) return std::nullopt;
  std::string dotted(body);
  if (shape->separator != 0) dotted[dotted.find(shape->separator)] = '.';
  result.separator = shape->separator;
  result.real.text = sign + dotted;
  const double magnitude = FiniteValue(dotted, *shape);
  result.real.value = negative ? -magnitude : magnitude;
  return result;
}

std::optional<int> ParseLogInteger(std::string_view token) {
  const bool negative = !token.empty() && token[0] == '-';
  const std::string_view digits = negative ? token.substr(1) : token;
  std::size_t pos = 0;
  if (!SkipDigits(digits, pos) || pos != digits.size()) return std::nullopt;
  long long value = 0;
  const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
  (void)end;
  if (error != std::errc{}) return std::nullopt;
  if (negative) value = -value;
  if (value < std::numeric_limits<int>::min() || value > std::numeric_limits<int>::max()) return std::nullopt;
  return static_cast<int>(value);
}

}  // namespace dorvu::view
