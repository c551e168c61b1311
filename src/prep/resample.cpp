#include "prep/resample.h"

#include <algorithm>

namespace dorvu::prep {

std::uint64_t BoundedDraw(Generator& random, std::uint64_t bound) {
  using Wide = unsigned __int128;
  Wide product = static_cast<Wide>(random()) * bound;
  auto low = static_cast<std::uint64_t>(product);
  if (low < bound) {
    // 2^64 mod bound: the low halves below it belong to the draws that would
    // give some results one chance more than the others.
    const std::uint64_t threshold = (0 - bound) % bound;
    while (low < threshold) {
      product = static_cast<Wide>(random()) * bound;
      low = static_cast<std::uint64_t>(product);
    }
  }
  return static_cast<std::uint64_t>(product >> 64);
}

std::vector<std::uint64_t> DrawWithReplacement(std::span<const std::uint64_t> counts, Generator& random) {
  // ends[k]: the items of groups 0 to k; item i is in the first group whose end exceeds i.
  std::vector<std::uint64_t> ends(counts.size());
  std::uint64_t total = 0;
  for (std::size_t k = 0; k < counts.size(); ++k) {
    total += counts[k];
    ends[k] = total;
  }
  std::vector<std::uint64_t> drawn(counts.size());
  for (std::uint64_t n = 0; n < total; ++n) {
    const std::uint64_t item = BoundedDraw(random, total);
    ++drawn[static_cast<std::size_t>(std::upper_bound(ends.begin(), ends.end(), item) - ends.begin())];
  }
  return drawn;
}

}  // namespace dorvu::prep
