#include "prep/composition.h"

#include <charconv>

namespace dorvu::prep {

namespace {

struct CodeTable {
  std::array<BaseCounts, 256> counts{};
  std::array<bool, 256> known{};

  void Set(std::string_view letters, BaseCounts value) {
    for (const char letter : letters) {
      for (const char c : {letter, static_cast<char>(letter - 'A' + 'a')}) {
        counts[static_cast<unsigned char>(c)] = value;
        known[static_cast<unsigned char>(c)] = true;
      }
    }
  }
};

// Sixths of a base for every code; the skipped characters count nothing.
const CodeTable& Codes() {
  static const CodeTable table = [] {
    CodeTable t;
    t.Set("A", {6, 0, 0, 0});
    t.Set("C", {0, 6, 0, 0});
    t.Set("G", {0, 0, 6, 0});
    t.Set("TU", {0, 0, 0, 6});
    t.Set("R", {3, 0, 3, 0});  // A or G
    t.Set("Y", {0, 3, 0, 3});  // C or T
    t.Set("S", {0, 3, 3, 0});  // C or G
    t.Set("W", {3, 0, 0, 3});  // A or T
    t.Set("K", {0, 0, 3, 3});  // G or T
    t.Set("M", {3, 3, 0, 0});  // A or C
    t.Set("B", {0, 2, 2, 2});  // not A
    t.Set("D", {2, 0, 2, 2});  // not C
    t.Set("H", {2, 2, 0, 2});  // not G
    t.Set("V", {2, 2, 2, 0});  // not T
    t.Set("N", {0, 0, 0, 0});
    for (const char c : std::string_view("-.? \t\r\v\f")) t.known[static_cast<unsigned char>(c)] = true;
    return t;
  }();
  return table;
}

}  // namespace

std::optional<std::size_t> CountSequence(std::string_view text, BaseCounts& counts) {
  const CodeTable& codes = Codes();
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (!codes.known[c]) return i;
    for (std::size_t b = 0; b < 4; ++b) counts[b] += codes.counts[c][b];
  }
  return std::nullopt;
}

std::array<double, 4> Shares(const BaseCounts& counts) {
  const std::uint64_t sum = counts[0] + counts[1] + counts[2] + counts[3];
  // Both operands are whole numbers below 2^53, so both are exact as doubles
  // and the quotient is the exact share rounded once.
  std::array<double, 4> shares{};
  for (std::size_t b = 0; b < 4; ++b) shares[b] = static_cast<double>(counts[b]) / static_cast<double>(sum);
  return shares;
}

std::string ShortestText(double value) {
  std::array<char, 32> buffer{};
  const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value);
  return std::string(buffer.data(), result.ptr);
}

}  // namespace dorvu::prep
