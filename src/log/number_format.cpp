#include "log/number_format.h"

#include <langinfo.h>
#include <locale.h>

#include <cfenv>
#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>

namespace dorvu {

static_assert(std::numeric_limits<long double>::digits == 64, "long double must be the 80-bit extended format");

namespace {

char decimalSeparator = '.';

constexpr int kSignificantDigits = 15;

// The first 16 significant digits of the exact decimal expansion of a
// positive finite value, truncated, and the decimal exponent of the first.
struct LeadingDigits {
  char digits[kSignificantDigits + 1];
  int exponent;
};

LeadingDigits TruncatedDigits(long double magnitude) {
  // The C library rounds its conversions in the current rounding mode, so
  // rounding toward zero yields the exact expansion cut after 16 digits.
  const int previousMode = std::fegetround();
  std::fesetround(FE_TOWARDZERO);
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.*Le", kSignificantDigits, magnitude);
  std::fesetround(previousMode);

  LeadingDigits result{};
  result.digits[0] = buffer[0];
  std::memcpy(result.digits + 1, buffer + 2, kSignificantDigits);  // skip the point
  result.exponent = std::atoi(std::strchr(buffer, 'e') + 1);
  return result;
}

std::string FormatMagnitude(long double magnitude, char separator) {
  LeadingDigits lead = TruncatedDigits(magnitude);
  std::string digits(lead.digits, kSignificantDigits);
  int exponent = lead.exponent;
  if (lead.digits[kSignificantDigits] >= '5') {  // round half up
    int i = kSignificantDigits - 1;
    while (i >= 0 && digits[i] == '9') digits[i--] = '0';
    if (i >= 0) {
      ++digits[i];
    } else {
      digits.insert(digits.begin(), '1');
      digits.pop_back();
      ++exponent;
    }
  }
  digits.erase(digits.find_last_not_of('0') + 1);

  const int before = exponent + 1;  // digits before the point in plain notation
  std::string text;
  if (before >= -3 && before <= 15) {
    if (before <= 0) {
      text = "0";
      text += separator;
      text.append(static_cast<std::size_t>(-before), '0');
      text += digits;
    } else {
      if (digits.size() < static_cast<std::size_t>(before))
        digits.append(static_cast<std::size_t>(before) - digits.size(), '0');
      text = digits.substr(0, static_cast<std::size_t>(before));
      if (digits.size() > static_cast<std::size_t>(before)) {
        text += separator;
        text += digits.substr(static_cast<std::size_t>(before));
      }
    }
  } else {
    text = digits.substr(0, 1);
    if (digits.size() > 1) {
      text += separator;
      text += digits.substr(1);
    }
    text += 'E';
    text += std::to_string(exponent);
  }
  return text;
}

}  // namespace

std::string FormatInteger(int64_t value) { return std::to_string(value); }

std::string FormatReal(long double value, char separator) {
  if (std::isnan(value)) return "NAN";
  if (std::isinf(value)) return value < 0 ? "-INF" : "INF";
  if (value == 0) return "0";
  const std::string magnitude = FormatMagnitude(std::fabs(value), separator);
  return value < 0 ? "-" + magnitude : magnitude;
}

std::string FormatReal(long double value) { return FormatReal(value, decimalSeparator); }

void SetDecimalSeparator(char separator) { decimalSeparator = separator; }

char DecimalSeparatorOfLocale(const std::string& name) {
  // A locale object of its own: the process locale stays "C" throughout.
  const locale_t locale = newlocale(LC_NUMERIC_MASK, name.c_str(), static_cast<locale_t>(0));
  if (locale == static_cast<locale_t>(0)) return '.';
  const char* point = nl_langinfo_l(RADIXCHAR, locale);
  const char separator = point != nullptr && std::strlen(point) == 1 ? point[0] : '.';
  freelocale(locale);
  return separator;
}

}  // namespace dorvu
