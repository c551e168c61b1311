#include "prep/composition.h"

#include <charconv>

namespace dorvu::prep {

namespace {

// The sixths of a base that one position of each code class gives to A, C, G and T.
constexpr std::array<BaseCounts, kCodeClassCount> kClassSixths{{
    {6, 0, 0, 0},  // A
    {0, 6, 0, 0},  // C
    {0, 0, 6, 0},  // G
    {0, 0, 0, 6},  // T or U
    {3, 0, 3, 0},  // R: A or G
    {0, 3, 0, 3},  // Y: C or T
    {0, 3, 3, 0},  // S: C or G
    {3, 0, 0, 3},  // W: A or T
    {0, 0, 3, 3},  // K: G or T
    {3, 3, 0, 0},  // M: A or C
    {0, 2, 2, 2},  // B: not A
    {2, 0, 2, 2},  // D: not C
    {2, 2, 0, 2},  // H: not G
    {2, 2, 2, 0},  // V: not T
}};

constexpr std::uint8_t kSkipped = kCodeClassCount;  // N, gaps and white space
constexpr std::uint8_t kUnknown = kCodeClassCount + 1;

// The code class of every byte, in either case.
const std::array<std::uint8_t, 256>& ClassOfByte() {
  static const std::array<std::uint8_t, 256> table = [] {
    std::array<std::uint8_t, 256> t{};
    t.fill(kUnknown);
    const auto set = [&t](char letter, std::uint8_t codeClass) {
      t[static_cast<unsigned char>(letter)] = codeClass;
      t[static_cast<unsigned char>(letter - 'A' + 'a')] = codeClass;
    };
    constexpr std::string_view kLetters = "ACGTRYSWKMBDHV";
    for (std::size_t k = 0; k < kLetters.size(); ++k) set(kLetters[k], static_cast<std::uint8_t>(k));
    set('U', 3);
    set('N', kSkipped);
    for (const char c : std::string_view("-.? \t\r\v\f")) t[static_cast<unsigned char>(c)] = kSkipped;
    return t;
  }();
  return table;
}

}  // namespace

std::optional<std::size_t> CountSequence(std::string_view text, BaseCounts& counts) {
  CodeCounts codes{};
  const auto bad = CountCodes(text, codes);
  const BaseCounts sixths = Sixths(codes);
  for (std::size_t b = 0; b < 4; ++b) counts[b] += sixths[b];
  return bad;
}

std::optional<std::size_t> CountCodes(std::string_view text, CodeCounts& counts) {
  const auto& classOf = ClassOfByte();
  for (std::size_t i = 0; i < text.size(); ++i) {
    const std::uint8_t codeClass = classOf[static_cast<unsigned char>(text[i])];
    if (codeClass == kUnknown) return i;
    if (codeClass != kSkipped) ++counts[codeClass];
  }
  return std::nullopt;
}

BaseCounts Sixths(const CodeCounts& counts) {
  BaseCounts sixths{};
  for (std::size_t k = 0; k < kCodeClassCount; ++k)
    for (std::size_t b = 0; b < 4; ++b) sixths[b] += counts[k] * kClassSixths[k][b];
  return sixths;
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
