// The fast kernel's layout: the tree and the leaves in flat arrays, the
// scenario's edges listed once from its marks, and the starting points of
// the two passes.
#include "search/evaluate/fast_kernel.h"
#include "search/evaluate/twice_rounded.h"

namespace dorvu {

// Takes the marks once: which vertices are marked, the uncut edges below each
// internal vertex (close order, first child first) and each internal vertex's
// gradient terms (parent, first child, second child).
void ListEdges(const FastTree& fast, const MarkTable& mark, FastWork& work) {
  for (int v = 0; v < kVertexCount; ++v) work.marked[v] = mark[fast.slotOf[v]] == 0 ? 0 : 1;
  int edges = 0;
  for (int i = 0; i < kInternalCount; ++i) {
    work.edgeBegin[i] = edges;
    // A child's edge counts when the child's mark is 0, as in the plain passes.
    for (const int c : {fast.firstChild[i], fast.secondChild[i]}) {
      if (mark[fast.slotOf[c]] != 0) continue;
      work.edgeChild[edges++] = c;
    }
  }
  work.edgeBegin[kInternalCount] = edges;
  int terms = 0;
  for (int i = 0; i < kInternalCount; ++i) {
    work.termBegin[i] = terms;
    if (mark[fast.slotOf[i]] == 0) work.termVertex[terms++] = fast.parentOf[i];
    if (mark[fast.slotOf[fast.firstChild[i]]] == 0) work.termVertex[terms++] = fast.firstChild[i];
    if (mark[fast.slotOf[fast.secondChild[i]]] == 0) work.termVertex[terms++] = fast.secondChild[i];
  }
  work.termBegin[kInternalCount] = terms;
}

// Pass 1's start: every internal vertex from its unmarked children,
// bottom-up.
void BuildStart(const FastTree& fast, FastWork& work) {
  for (int v = kInternalCount; v < kVertexCount; ++v) work.x[v] = fast.leafStart[v];
  for (int i = 0; i < kInternalCount; ++i) {
    const int f = fast.firstChild[i];
    const int s = fast.secondChild[i];
    const bool keepF = work.marked[f] == 0;
    const bool keepS = work.marked[s] == 0;
    BaseValues& xi = work.x[i];
    if (keepF && keepS) {
      for (int b = 0; b < 4; ++b) xi.b[b] = static_cast<double>((Extended(work.x[f].b[b]) + work.x[s].b[b]) * 0.5L);
    } else if (keepF) {
      xi = work.x[f];
    } else if (keepS) {
      xi = work.x[s];
    } else {
      xi = BaseValues{{0.25, 0.25, 0.25, 0.25}};
    }
  }
}

// Pass 2's square-root step: every internal vertex to its square roots (a negative value to
// 0), the leaves to their precomputed square roots.
void TakeSqrts(const FastTree& fast, FastWork& work) {
  for (int i = 0; i < kInternalCount; ++i)
    for (double& v : work.x[i].b) v = SqrtOf(v);
  for (int v = kInternalCount; v < kVertexCount; ++v) work.x[v] = fast.leafSqrt[v];
}

void PrepareFastTree(const RunParameters& params, const Tree& tree, FastTree& fast) {
  std::array<int32_t, kSlotCount> vertexOf{};  // vertex of each vertex slot
  int internal = 0;
  int leaf = kInternalCount;
  for (int s = 0; s < kSlotCount; ++s) {
    const SlotKind kind = tree.treeSequence[s].kind;
    if (kind == SlotKind::kClose) {
      fast.slotOf[internal] = tree.openSlotOf[s];
      vertexOf[tree.openSlotOf[s]] = internal++;
    } else if (kind == SlotKind::kLeaf) {
      fast.slotOf[leaf] = s;
      vertexOf[s] = leaf++;
    }
  }
  int open = 0;
  for (int s = 0; s < kSlotCount; ++s)
    if (tree.treeSequence[s].kind == SlotKind::kOpen) fast.openOrder[open++] = vertexOf[s];
  for (int v = 0; v < kVertexCount; ++v) {
    const int s = fast.slotOf[v];
    fast.parentOf[v] = tree.parentSlot[s] < 0 ? -1 : vertexOf[tree.parentSlot[s]];
    if (v < kInternalCount) {
      fast.firstChild[v] = vertexOf[tree.firstChildSlot[s]];
      fast.secondChild[v] = vertexOf[tree.secondChildSlot[s]];
      continue;
    }
    fast.leafStart[v] = tree.leafValues[s];
    for (int b = 0; b < kBaseCount; ++b) fast.leafSqrt[v].b[b] = SqrtOf(fast.leafStart[v].b[b]);
  }
  fast.stepFactor = params.stepFactor;
  fast.pass1Tolerance = params.pass1Tolerance;
  fast.pass2Tolerance = params.pass2Tolerance;
  fast.stallLimit = params.stallLimit;
}

void CopyValuesBySlot(const FastTree& fast, const FastWork& work, ValueTable& values) {
  for (int v = 0; v < kVertexCount; ++v) {
    values[fast.slotOf[v]] = work.x[v];
  }
}

}  // namespace dorvu
