// The size of the fixed tree, the complete rooted binary tree of depth 6:
// the one place that says it, for dorvu and its companion programs alike.
#pragma once

namespace dorvu {

inline constexpr int TreeDepth = 6;
inline constexpr int LeafCount = 1 << TreeDepth;               // 64
inline constexpr int InternalCount = LeafCount - 1;            // 63
inline constexpr int VertexCount = InternalCount + LeafCount;  // 127
inline constexpr int SlotCount =
    2 * InternalCount + LeafCount;  // 190: an open and a close slot per internal vertex, one per leaf

}  // namespace dorvu
