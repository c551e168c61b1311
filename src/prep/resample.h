// Random draws that are the same on every platform and with every compiler.
//
// std::mt19937_64 has its output sequence fixed by the C++ standard; the
// standard's distributions do not, so the bounded draw is our own.
#pragma once

#include <cstdint>
#include <random>
#include <span>
#include <vector>

namespace dorvu::prep {

using Generator = std::mt19937_64;

// A whole number in [0, bound), every value equally likely. `bound` must be
// positive. Multiplies a 64-bit draw by `bound` and keeps the high half,
// drawing again in the rare case that would favour some values (Lemire's method).
std::uint64_t BoundedDraw(Generator& random, std::uint64_t bound);

// Draws with replacement as many items as `counts` holds in all, every item
// equally likely, where counts[k] items belong to group k; returns how many of
// the draws fell in each group. Each draw is one BoundedDraw over all the items.
std::vector<std::uint64_t> DrawWithReplacement(std::span<const std::uint64_t> counts, Generator& random);

}  // namespace dorvu::prep
