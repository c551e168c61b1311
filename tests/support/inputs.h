// Texts of input.txt for the tests: the shipped example, or the two parameter
// lines and 64 leaf lines made by a function; then with a given cardinality or
// noise level, or with any line replaced or removed. Header only.
#pragma once

#include <charconv>
#include <stdexcept>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>

#include "support/files.h"
#include "tree/base_values.h"
#include "tree/tree_size.h"

namespace dorvu::test {

// The shipped examples/input.txt: cardinality 3, noise level 0.1, three
// planted shifts.
inline std::string ExampleInput() { return ReadFile(std::string(DORVU_EXAMPLES) + "/input.txt"); }

// Leaves of a background composition with a few subtrees shifted away:
// leaves 9-16, 41-44 and 57-64.
inline BaseValues Planted(int k) {
  if (k >= 9 && k <= 16) return {0.12, 0.38, 0.37, 0.13};
  if (k >= 41 && k <= 44) return {0.45, 0.05, 0.1, 0.4};
  if (k >= 57) return {0.2, 0.35, 0.15, 0.3};
  return {0.3 - 0.002 * (k % 7), 0.2, 0.2 + 0.002 * (k % 7), 0.3};
}

// A leaf's four values as a leaf line writes them, each the shortest decimal
// that reads back as the same double: "A:0.3_C:0.2_G:0.25_T:0.25".
inline std::string LeafText(const BaseValues& values) {
  std::string text;
  for (int b = 0; b < kBaseCount; ++b) {
    char digits[32];
    const auto end = std::to_chars(digits, digits + sizeof digits, values.b[b]).ptr;
    text.append(b == 0 ? "" : "_").append(1, "ACGT"[b]).append(":").append(digits, end);
  }
  return text;
}

// The two parameter lines, then "6.k TEXT" for the leaves k = 1 to 64, where
// leaf(k) gives TEXT or the leaf's values.
template <typename LeafFunction>
std::string LeafInput(std::string_view cardinality, std::string_view noise, LeafFunction leaf) {
  std::string input = "presupposed cardinality of scenario=";
  input.append(cardinality).append("\nlevel of randomness=").append(noise).append("\n");
  for (int k = 1; k <= kLeafCount; ++k) {
    input.append("6.").append(std::to_string(k)).append(" ");
    if constexpr (std::is_same_v<std::decay_t<decltype(leaf(k))>, BaseValues>)
      input.append(LeafText(leaf(k)));
    else
      input.append(leaf(k));
    input.append("\n");
  }
  return input;
}

// Where line `number` (from 1) of `input` starts; throws when it has fewer lines.
inline std::size_t LineStart(const std::string& input, int number) {
  std::size_t start = 0;
  for (int line = 1; line < number; ++line) {
    start = input.find('\n', start);
    if (start == std::string::npos) throw std::out_of_range("the input has no line " + std::to_string(number));
    ++start;
  }
  return start;
}

// `input` with the text of line `number` (from 1) replaced; its line end stays.
inline std::string WithLine(std::string input, int number, std::string_view text) {
  const std::size_t start = LineStart(input, number);
  return input.replace(start, input.find('\n', start) - start, text);
}

// `input` without line `number` (from 1) and its line end.
inline std::string WithoutLine(std::string input, int number) {
  const std::size_t start = LineStart(input, number);
  const std::size_t end = input.find('\n', start);
  return input.erase(start, end == std::string::npos ? end : end + 1 - start);
}

inline std::string WithCardinality(std::string input, std::string_view cardinality) {
  return WithLine(std::move(input), 1, std::string("presupposed cardinality of scenario=").append(cardinality));
}

inline std::string WithNoise(std::string input, std::string_view noise) {
  return WithLine(std::move(input), 2, std::string("level of randomness=").append(noise));
}

}  // namespace dorvu::test
