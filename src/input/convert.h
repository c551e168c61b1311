// Conversion of value tokens. Neither rule depends on the locale.
#pragma once

#include <cstdint>
#include <string_view>

namespace dorvu {

// A signed 32-bit integer: optional sign, then decimal digits, or hexadecimal
// digits behind "$", "x", "X", "0x" or "0X"; the whole token. Returns 0 on
// success. On failure `value` holds the digits read before the first
// offending character, without the sign (0 if there are none).
int32_t ConvertInteger(std::string_view token, int32_t& value);

// A real: optional sign, digits with an optional "." and fraction, optional
// exponent; the whole token. Returns 0 on success with the correctly rounded
// double. A value beyond the double range fails. On failure `value` holds the
// mantissa digits read before the offending character as one whole number.
int32_t ConvertReal(std::string_view token, double& value);

// The token that starts at `position`: up to the first "_" or blank.
std::string_view ValueToken(std::string_view line, std::size_t position);

}  // namespace dorvu
