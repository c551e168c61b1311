// Non-negative decimal numbers of a table row, kept exact where they can be.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

namespace dorvu::prep {

// digits * 10^exponent, and the nearest double. `exact` is false when the
// digits do not fit 64 bits; then only `value` counts.
struct Decimal {
  std::uint64_t digits = 0;
  int exponent = 0;
  bool exact = true;
  bool negative = false;
  double value = 0;
};

// Digits with an optional "." and fraction and an optional exponent, after an
// optional "-"; nothing when the text is no such number or beyond the range of
// a double.
std::optional<Decimal> ParseDecimal(std::string_view text);

// The whole number that a text ParseDecimal reads, not negative, stands for:
// "12", "12.0", "1.2e1" and "120e-1" are all 12. Numbers above 2^64 - 1 give
// 2^64 - 1. Nothing when the number has a fraction, as "0.25" has.
std::optional<std::uint64_t> WholeNumber(std::string_view text);

// The four values divided by their sum. Exact (each share rounded once) when
// the values, written with a common number of decimals, are whole numbers that
// sum to at most 2^53; otherwise divided in double arithmetic. The values must
// not be negative and must not all be 0.
std::array<double, 4> RowShares(const std::array<Decimal, 4>& values);

}  // namespace dorvu::prep
