// dorvu-view's drawing of a tree of one's own, on Yule trees from a fixed seed
// with branch lengths, random A/C/G/T values at every vertex and 10 marked
// vertices: DrawOwnTree at 200 tips (left to right, named) and 20,000 tips (in
// a circle), with the bytes of the drawing as the counter "bytes"; and the
// reading of the tree (MakeOwnTree from its Newick text) on its own. Run
// build/release/bench/dorvu_view_bench (add --benchmark_filter=Draw to pick).
#include <benchmark/benchmark.h>

#include <random>
#include <string>
#include <vector>

#include "view/own_tree.h"
#include "view/own_tree_drawing.h"

namespace dorvu::view {
namespace {

// A Yule tree: a random tip splits in two until there are `tips`; every
// branch gets an exponential length.
std::string YuleTreeText(int tips, std::uint32_t seed) {
  std::mt19937 gen(seed);
  std::vector<std::vector<int>> children(1);
  std::vector<int> open{0};
  while (static_cast<int>(open.size()) < tips) {
    const std::size_t pick = gen() % open.size();
    const int parent = open[pick];
    for (int k = 0; k < 2; ++k) {
      children[parent].push_back(static_cast<int>(children.size()));
      children.emplace_back();
    }
    open[pick] = children[parent][0];
    open.push_back(children[parent][1]);
  }
  std::exponential_distribution<double> length(10);
  // The depth of a Yule tree grows with the logarithm of its size, so recursion is safe here.
  const auto write = [&](const auto& self, int v, std::string& out) -> void {
    if (children[v].empty()) out.append("t").append(std::to_string(v));
    for (std::size_t i = 0; i < children[v].size(); ++i) {
      out += i == 0 ? '(' : ',';
      self(self, children[v][i], out);
    }
    if (!children[v].empty()) out += ')';
    if (v != 0) out.append(":").append(std::to_string(length(gen)));
  };
  std::string text;
  write(write, 0, text);
  return text + ";";
}

std::vector<drawing::DrawnVertex> RandomVertices(const OwnTree& tree, std::uint32_t seed) {
  std::mt19937 gen(seed);
  std::uniform_real_distribution<double> share(0.1, 1.0);
  std::vector<drawing::DrawnVertex> vertices(tree.VertexCount());
  for (std::int32_t v = 0; v < tree.VertexCount(); ++v) {
    drawing::DrawnVertex& drawn = vertices[v];
    for (double& value : drawn.values) value = share(gen);
    drawn.tooltip = tree.names[v] + " " + tree.tree.label[v];
    drawn.label = tree.IsTip(v) ? tree.tree.label[v] : tree.names[v];
  }
  vertices[0].mark = drawing::MarkLook{};
  for (int k = 0; k < 10; ++k) vertices[1 + gen() % (tree.VertexCount() - 1)].mark = drawing::MarkLook{};
  return vertices;
}

void BM_DrawOwnTree(benchmark::State& state) {
  const auto tree = MakeOwnTree(YuleTreeText(static_cast<int>(state.range(0)), 7));
  const std::vector<drawing::DrawnVertex> vertices = RandomVertices(*tree, 11);
  std::size_t bytes = 0;
  for (auto _ : state) {
    const drawing::OwnTreePicture picture = drawing::DrawOwnTree(*tree, vertices, "marked vertex", {});
    bytes = picture.body.size();
    benchmark::DoNotOptimize(picture.body.data());
  }
  state.counters["bytes"] = static_cast<double>(bytes);
}
BENCHMARK(BM_DrawOwnTree)->Arg(200)->Arg(20000)->Unit(benchmark::kMillisecond);

void BM_MakeOwnTree(benchmark::State& state) {
  const std::string text = YuleTreeText(static_cast<int>(state.range(0)), 7);
  for (auto _ : state) benchmark::DoNotOptimize(MakeOwnTree(text));
}
BENCHMARK(BM_MakeOwnTree)->Arg(200)->Arg(20000)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace dorvu::view
