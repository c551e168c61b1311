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
inline constexpr std::uint64_t MaxExactCount = std::uint64_t{1} << 53;

// The number of positions of each code class, in the order A, C, G, T (with
// U), R, Y, S, W, K, M, B, D, H, V. Every position counts six sixths in all, so
// a record of n positions has 6n sixths. A bootstrap replicate draws
// positions, so it needs these rather than the sixths alone.
inline constexpr std::size_t kCodeClassCount = 14;
using CodeCounts = std::array<std::uint64_t, kCodeClassCount>;

// Adds the bases of one line of sequence to `counts`. Returns the position of
// the first character that is no base code and cannot be skipped, if any.
std::optional<std::size_t> CountSequence(std::string_view text, BaseCounts& counts);

// The same, counting positions by code class.
std::optional<std::size_t> CountCodes(std::string_view text, CodeCounts& counts);

// The sixths of a base that the positions give to A, C, G and T. Exact while
// the positions number at most MaxExactCount / 6.
BaseCounts Sixths(const CodeCounts& counts);

// Each count divided by the sum of the four, correctly rounded. The sum must
// be positive and at most MaxExactCount.
std::array<double, 4> Shares(const BaseCounts& counts);

// The shortest text that reads back as the same double.
std::string ShortestText(double value);

}  // namespace dorvu::prep
