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

// Adds the bases of one line of sequence to `counts`. Returns the position of
// the first character that is no base code and cannot be skipped, if any.
std::optional<std::size_t> CountSequence(std::string_view text, BaseCounts& counts);

// Each count divided by the sum of the four, correctly rounded. The sum must
// be positive and at most MaxExactCount.
std::array<double, 4> Shares(const BaseCounts& counts);

// The shortest text that reads back as the same double.
std::string ShortestText(double value);

}  // namespace dorvu::prep
