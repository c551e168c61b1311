// Random rooted trees in Newick for the tests of the tree mode, and a tree
// written again with its children shuffled or from another root. Header only.
#pragma once

#include <algorithm>
#include <cstdint>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "tree/newick.h"

namespace dorvu::test {

// A tree of `tips` tips t1, t2, ... ('t 2' needs quotes), built from a fixed
// seed by joining random subtrees 2 to 6 at a time, the first join 9 at a
// time (a star-like vertex); about one join in eight gets a one-child vertex
// above it. The root has at least two children.
inline std::string RandomTreeText(uint32_t seed, int tips) {
  std::mt19937 gen(seed);
  std::vector<std::string> parts;
  for (int k = 1; k <= tips; ++k) parts.push_back(k == 2 ? "'t 2'" : std::string("t").append(std::to_string(k)));
  for (bool first = true; parts.size() > 1; first = false) {
    std::shuffle(parts.begin(), parts.end(), gen);
    const uint32_t roll = gen() % 10;
    const std::size_t degree = std::min<std::size_t>(parts.size(), first ? 9 : roll < 6 ? 2 : roll - 3);
    std::string joined = "(";
    for (std::size_t i = 0; i < degree; ++i) joined.append(i == 0 ? "" : ",").append(parts[parts.size() - 1 - i]);
    parts.resize(parts.size() - degree);
    parts.push_back(joined + ")");
    if (parts.size() > 1 && gen() % 8 == 0) parts.back() = "(" + parts.back() + ")";
  }
  return parts[0] + ";";
}

// The tree written from vertex `root` (an internal one), each vertex's
// neighbours but the one it is reached from as its children, in the order
// met or shuffled by `gen`: tips keep their names, nothing else is written.
inline std::string RewrittenTree(const NewickTree& tree, int32_t root, std::mt19937* gen = nullptr) {
  std::vector<std::vector<int32_t>> next(tree.parent.size());
  for (int32_t v = 1; v < static_cast<int32_t>(tree.parent.size()); ++v) {
    next[tree.parent[v]].push_back(v);
    next[v].push_back(tree.parent[v]);
  }
  const std::function<std::string(int32_t, int32_t)> write = [&](int32_t v, int32_t from) {
    std::vector<int32_t> children;
    for (const int32_t w : next[v])
      if (w != from) children.push_back(w);
    if (children.empty()) return NewickLabelText(tree.label[v]);
    if (gen) std::shuffle(children.begin(), children.end(), *gen);
    std::string text;
    for (const int32_t w : children) text.append(text.empty() ? "(" : ",").append(write(w, v));
    return text + ")";
  };
  return write(root, -1) + ";";
}

}  // namespace dorvu::test
