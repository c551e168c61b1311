// The text form of numbers in the log.
#pragma once

#include <cstdint>
#include <string>

namespace dorvu {

// Integers: plain decimal with a leading "-" when negative.
std::string FormatInteger(int64_t value);

// Reals: at most 15 significant digits, rounded half up at the 16th digit of
// the value's exact decimal expansion; plain notation for magnitudes from 1E-4
// up to below 1E15, otherwise one digit, the separator, the rest and "E" with
// the exponent. "INF", "-INF" and "NAN" for the special values.
std::string FormatReal(long double value, char separator);
// The same with the separator that SetDecimalSeparator set.
std::string FormatReal(long double value);
inline std::string FormatReal(double value) { return FormatReal(static_cast<long double>(value)); }

// The decimal separator used by FormatReal; "." until set.
void SetDecimalSeparator(char separator);

// The decimal symbol of a locale such as "de_DE.UTF-8"; "." where the locale
// is unknown or gives no single-character symbol.
char DecimalSeparatorOfLocale(const std::string& name);

}  // namespace dorvu
