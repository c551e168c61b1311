// The fast kernel's layout: the tree and the leaves in flat arrays, the
// scenario's edges listed once from its marks, and the starting points of
// the two passes.
#include <algorithm>
#include <cmath>
#include <limits>

#include "search/estimation.h"
#include "search/evaluate/fast_kernel.h"
#include "search/evaluate/twice_rounded.h"

namespace dorvu {

// Takes the marks once: which vertices are marked, the uncut edges below each
// internal vertex (close order, children in written order), each internal
// vertex's gradient terms (parent, then children) and the vertices whose step
// is cut for their many uncut edges.
void ListEdges(const FastTree& fast, const MarkTable& mark, FastWork& work) {
  for (int v = 0; v < fast.vertexCount; ++v) work.marked[v] = mark[fast.slotOf[v]] == 0 ? 0 : 1;
  int edges = 0;
  int terms = 0;
  work.wide.clear();
  for (int i = 0; i < fast.internalCount; ++i) {
    work.edgeBegin[i] = edges;
    work.termBegin[i] = terms;
    // A child's edge counts when the child's mark is 0, as in the plain passes.
    if (work.marked[i] == 0) work.termVertex[terms++] = fast.parentOf[i];
    for (int e = fast.childBegin[i]; e < fast.childBegin[i + 1]; ++e) {
      const int c = fast.childList[e];
      if (work.marked[c] != 0) continue;
      work.edgeChild[edges++] = c;
      work.termVertex[terms++] = c;
    }
    if (terms - work.termBegin[i] > 3) work.wide.push_back(i);
  }
  work.edgeBegin[fast.internalCount] = edges;
  work.termBegin[fast.internalCount] = terms;
}

// Pass 1's start: every internal vertex the mean of its unmarked children,
// bottom-up, 0.25 each where none is unmarked.
void BuildStart(const FastTree& fast, FastWork& work) {
  for (int v = fast.internalCount; v < fast.vertexCount; ++v) work.x[v] = fast.leafStart[v];
  for (int i = 0; i < fast.internalCount; ++i) {
    BaseValues& xi = work.x[i];
    const int first = work.edgeBegin[i];
    const int count = work.edgeBegin[i + 1] - first;
    if (count == 2) {
      const BaseValues& f = work.x[work.edgeChild[first]];
      const BaseValues& s = work.x[work.edgeChild[first + 1]];
      for (int b = 0; b < 4; ++b) xi.b[b] = static_cast<double>((Extended(f.b[b]) + s.b[b]) * 0.5L);
    } else if (count == 1) {
      xi = work.x[work.edgeChild[first]];
    } else if (count == 0) {
      xi = BaseValues{{0.25, 0.25, 0.25, 0.25}};
    } else {
      Extended sum[4] = {0.0L, 0.0L, 0.0L, 0.0L};
      for (int e = first; e < first + count; ++e)
        for (int b = 0; b < 4; ++b) sum[b] += work.x[work.edgeChild[e]].b[b];
      for (int b = 0; b < 4; ++b) xi.b[b] = static_cast<double>(sum[b] / count);
    }
  }
}

// Pass 2's square-root step: every internal vertex to its square roots (a
// negative value to 0), the leaves to their precomputed square roots.
void TakeSqrts(const FastTree& fast, FastWork& work) {
  for (int i = 0; i < fast.internalCount; ++i)
    for (double& v : work.x[i].b) v = SqrtOf(v);
  for (int v = fast.internalCount; v < fast.vertexCount; ++v) work.x[v] = fast.leafSqrt[v];
}

void PrepareFastTree(const RunParameters& params, const Tree& tree, FastTree& fast) {
  const int m = tree.internalCount;
  const int n = tree.VertexCount();
  fast.internalCount = m;
  fast.vertexCount = n;
  fast.slotCount = tree.slotCount;
  fast.slotOf.assign(n, 0);
  fast.parentOf.assign(n, -1);
  fast.childBegin.assign(m + 1, 0);
  fast.childList.assign(std::max(n - 1, 0), 0);
  fast.openOrder.assign(m, 0);
  fast.leafStart.assign(n, BaseValues{});
  fast.leafSqrt.assign(n, BaseValues{});
  fast.vertexOfSlot.assign(tree.slotCount, 0);
  std::vector<int32_t>& vertexOf = fast.vertexOfSlot;
  int internal = 0;
  int leaf = m;
  for (int s = 0; s < tree.slotCount; ++s) {
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
  for (int s = 0; s < tree.slotCount; ++s)
    if (tree.treeSequence[s].kind == SlotKind::kOpen) fast.openOrder[open++] = vertexOf[s];
  int children = 0;
  for (int v = 0; v < n; ++v) {
    const int s = fast.slotOf[v];
    fast.parentOf[v] = tree.parentSlot[s] < 0 ? -1 : vertexOf[tree.parentSlot[s]];
    if (v < m) {
      fast.childBegin[v] = children;
      for (const int32_t* c = tree.ChildrenBegin(s); c != tree.ChildrenEnd(s); ++c)
        fast.childList[children++] = vertexOf[*c];
      fast.childBegin[v + 1] = children;
      continue;
    }
    fast.leafStart[v] = tree.leafValues[s];
    for (int b = 0; b < kBaseCount; ++b) fast.leafSqrt[v].b[b] = SqrtOf(fast.leafStart[v].b[b]);
  }
  fast.stepFactor = params.stepFactor;
  fast.pass1Tolerance = params.pass1Tolerance;
  fast.pass2Tolerance = params.pass2Tolerance;
  fast.stallLimit = params.stallLimit;
  // The bounds of the fixed tree's 126 edges and 63 internal vertices, grown
  // in whole multiples with larger trees (a sum's rounding error grows with
  // its number of terms).
  fast.energySlackFactor = 0x1p-44 * std::max(1.0, std::ceil((n - 1) / 126.0));
  fast.normSlackFactor = 0x1p-43 * std::max(1.0, std::ceil(m / 63.0));
}

void PrepareFastWork(const FastTree& fast, FastWork& work) {
  const int m = fast.internalCount;
  const int n = fast.vertexCount;
  const int padded = (m + 1 + 3) / 4 * 4;  // at least one padding vertex, in whole fours
  work.internalCount = m;
  work.vertexCount = n;
  work.energySlackFactor = fast.energySlackFactor;
  work.edgeBegin.assign(m + 1, 0);
  work.edgeChild.assign(std::max(n - 1, 0), 0);
  work.termBegin.assign(m + 1, 0);
  work.termVertex.assign(std::max(n - 1, 0) + m, 0);
  work.wide.reserve(m);
  work.marked.assign(n, 0);
  work.x.assign(n, BaseValues{});
  work.gradient.assign(m, BaseValues{});
  work.firstSumV.assign(m, 0.0);
  work.firstSumG.assign(m, 0.0);
  for (VertexTable& point : work.trial) point.assign(n, BaseValues{});
  work.clamped.assign(padded, BaseValues{});
  work.clampedNorm.assign(padded, 0.0);
  const int entries = (fast.slotCount + 3) / 4 * 4;
  work.distance.assign(entries, -std::numeric_limits<double>::infinity());
  work.entrySlot.assign(entries, 0);
}

void CopyValuesBySlot(const FastTree& fast, const FastWork& work, ValueTable& values) {
  values.resize(fast.slotCount);
  for (int v = 0; v < fast.vertexCount; ++v) values[fast.slotOf[v]] = work.x[v];
}

}  // namespace dorvu
