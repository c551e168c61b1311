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

std::uint64_t CountedPositions(const CodeCounts& counts) {
  std::uint64_t total = 0;
  for (const std::uint64_t count : counts) total += count;
  return total;
}

QualityShifts MakeQualityShifts(int minQuality) {
  QualityShifts shifts{};
  shifts.fill(CodeTally::kBadQuality);
  for (int score = 0; score <= kMaxQuality; ++score)
    shifts[static_cast<std::size_t>(score + kQualityOffset)] = score < minQuality ? CodeTally::kBelowQuality : 0;
  return shifts;
}

void CodeTally::Add(std::string_view bases) {
  const auto& classOf = ClassOfByte();
  const auto* bytes = reinterpret_cast<const unsigned char*>(bases.data());
  const std::size_t size = bases.size();
  std::size_t i = 0;
  for (; i + 4 <= size; i += 4) {
    ++sets_[0][classOf[bytes[i]]];
    ++sets_[1][classOf[bytes[i + 1]]];
    ++sets_[2][classOf[bytes[i + 2]]];
    ++sets_[3][classOf[bytes[i + 3]]];
  }
  for (; i < size; ++i) ++sets_[0][classOf[bytes[i]]];
}

void CodeTally::AddRead(std::string_view bases, std::string_view qualities, const QualityShifts& shifts) {
  const auto& classOf = ClassOfByte();
  const auto* base = reinterpret_cast<const unsigned char*>(bases.data());
  const auto* quality = reinterpret_cast<const unsigned char*>(qualities.data());
  const std::size_t size = bases.size();
  std::size_t i = 0;
  for (; i + 4 <= size; i += 4) {
    ++sets_[0][shifts[quality[i]] + classOf[base[i]]];
    ++sets_[1][shifts[quality[i + 1]] + classOf[base[i + 1]]];
    ++sets_[2][shifts[quality[i + 2]] + classOf[base[i + 2]]];
    ++sets_[3][shifts[quality[i + 3]] + classOf[base[i + 3]]];
  }
  for (; i < size; ++i) ++sets_[0][shifts[quality[i]] + classOf[base[i]]];
}

std::uint64_t CodeTally::Sum(std::size_t slot) const {
  return sets_[0][slot] + sets_[1][slot] + sets_[2][slot] + sets_[3][slot];
}

bool CodeTally::HasUnknown() const {
  return Sum(kUnknown) + Sum(kBelowQuality + kUnknown) + Sum(kBadQuality + kUnknown) != 0;
}

bool CodeTally::HasBadQuality() const {
  std::uint64_t bad = 0;
  for (std::size_t slot = kBadQuality; slot < kSlots; ++slot) bad += Sum(slot);
  return bad != 0;
}

CodeCounts CodeTally::Take() {
  CodeCounts counts{};
  for (std::size_t k = 0; k < kCodeClassCount; ++k) counts[k] = Sum(k);
  sets_ = {};
  return counts;
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
