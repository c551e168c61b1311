// The text form of numbers in a dorvu run log.
//
// Reals: an optional "-", then INF, NAN, or digits with an optional decimal
// separator and more digits, then optionally "E", an optional "-" and digits.
// The separator is the decimal symbol of the locale the run had: "." or ",".
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "view/run_report.h"

namespace dorvu::view {

struct RealParse {
  LogReal real;
  char separator = 0;  // the separator the number used, 0 when it has none
};

// Nothing when the token is not a real in the log's form.
std::optional<RealParse> ParseLogReal(std::string_view token);

// A decimal integer with an optional "-", within 32 bits.
std::optional<int> ParseLogInteger(std::string_view token);

// A value in the log's form (FormatReal) with "." as decimal point; NaN, Inf
// and -Inf as in LogReal::text.
std::string FormatLogReal(double value);

}  // namespace dorvu::view
