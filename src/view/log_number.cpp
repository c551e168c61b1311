#include "view/log_number.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <string>

#include "log/number_format.h"

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
  if (std::from_chars(dotted.data(), dotted.data() + dotted.size(), value).ec == std::errc::result_out_of_range)
    return shape.negativeExponent ? 0.0 : std::numeric_limits<double>::infinity();
  return value;
}

}  // namespace

std::string FormatLogReal(double value) {
  if (std::isnan(value)) return "NaN";
  if (std::isinf(value)) return value < 0 ? "-Inf" : "Inf";
  return FormatReal(value, '.');
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
  int value = 0;
  const auto [end, error] = std::from_chars(token.data(), token.data() + token.size(), value);
  if (error != std::errc{} || end != token.data() + token.size()) return std::nullopt;
  return value;
}

}  // namespace dorvu::view
