// The base composition of a record, counted exactly.
//
// A, C, G and T (and U) count one whole to their base, the two-base codes one
// half to each of their bases and the three-base codes one third to each. The
// counts are kept as whole numbers of sixths, so every sum is exact and the
// shares are each one division, rounded once.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace dorvu::prep {

// Counts for A, C, G and T, in this order, in units of 1/6 of a base (FASTA)
// or of the table's own unit.
using BaseCounts = std::array<std::uint64_t, 4>;

// Counts above this are not all exact as doubles; a record that reaches it is refused.
inline constexpr std::uint64_t kMaxExactCount = std::uint64_t{1} << 53;

// The number of positions of each code class, in the order A, C, G, T (with
// U), R, Y, S, W, K, M, B, D, H, V. Every position counts six sixths in all, so
// a record of n positions has 6n sixths. A bootstrap replicate draws
// positions, so it needs these rather than the sixths alone.
inline constexpr std::size_t kCodeClassCount = 14;
using CodeCounts = std::array<std::uint64_t, kCodeClassCount>;

// The number of positions of all classes together.
std::uint64_t CountedPositions(const CodeCounts& counts);

// Adds the bases of one line of sequence to `counts`. Returns the position of
// the first character that is no base code and cannot be skipped, if any.
std::optional<std::size_t> CountSequence(std::string_view text, BaseCounts& counts);

// The same, counting positions by code class.
std::optional<std::size_t> CountCodes(std::string_view text, CodeCounts& counts);

// The quality codes of FASTQ: Phred scores 0 to 93 written as the bytes
// "!" (33) to "~" (126).
inline constexpr int kQualityOffset = 33;
inline constexpr int kMaxQuality = 93;

// For each quality byte, where CodeTally counts the base beside it: 0 when
// the base counts, kBelowQuality when its quality is below the minimum, and
// kBadQuality when the byte is no quality code.
using QualityShifts = std::array<std::uint8_t, 256>;
QualityShifts MakeQualityShifts(int minQuality);

// Positions counted by code class at the speed of reading: one lookup in a
// 256-entry table per byte and one increment of a 64-bit counter, with no
// other branch per byte. Four sets of counters are used in turn, so that a
// run of one letter (a stretch of N, say) does not wait on one counter.
// Bytes that are no base code are counted too; the caller asks after each
// line whether there were any and finds the first with CountCodes.
class CodeTally {
 public:
  // Counters per set: the code classes, then skipped bytes and bytes that
  // are no base code; the same again for the bases of low quality and for
  // those beside a byte that is no quality code.
  static constexpr std::size_t kGroup = kCodeClassCount + 2;
  static constexpr std::uint8_t kBelowQuality = kGroup;
  static constexpr std::uint8_t kBadQuality = 2 * kGroup;

  // Every byte of a line of FASTA.
  void Add(std::string_view bases);
  // The bases of a FASTQ read beside their qualities, both of the same length.
  void AddRead(std::string_view bases, std::string_view qualities, const QualityShifts& shifts);

  // Whether any byte counted so far is no base code.
  bool HasUnknown() const;
  // Whether any quality byte counted so far is no quality code.
  bool HasBadQuality() const;

  // The positions of each code class that count (with good quality), and a fresh start.
  CodeCounts Take();

 private:
  static constexpr std::size_t kSlots = 3 * kGroup;
  std::uint64_t Sum(std::size_t slot) const;
  std::array<std::array<std::uint64_t, kSlots>, 4> sets_{};
};

// The sixths of a base that the positions give to A, C, G and T. Exact while
// the positions number at most kMaxExactCount / 6.
BaseCounts Sixths(const CodeCounts& counts);

// Each count divided by the sum of the four, correctly rounded. The sum must
// be positive and at most kMaxExactCount.
std::array<double, 4> Shares(const BaseCounts& counts);

// The shortest text that reads back as the same double.
std::string ShortestText(double value);

}  // namespace dorvu::prep
