// The size of the fixed tree, the complete rooted binary tree of depth 6:
// the one place that says it, for dorvu and its companion programs alike.
#pragma once

namespace dorvu {

inline constexpr int kTreeDepth = 6;
inline constexpr int kLeafCount = 1 << kTreeDepth;                // 64
inline constexpr int kInternalCount = kLeafCount - 1;             // 63
inline constexpr int kVertexCount = kInternalCount + kLeafCount;  // 127
inline constexpr int kSlotCount =
    2 * kInternalCount + kLeafCount;  // 190: an open and a close slot per internal vertex, one per leaf

}  // namespace dorvu
