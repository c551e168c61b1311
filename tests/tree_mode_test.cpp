// The tree mode (dorvu --tree FILE): the fixed tree written in Newick gives
// the fixed tree's log whatever the order of the leaf lines; every evaluator
// gives one log on trees of any shape; the cut branches depend neither on the
// order of the children nor on the root; refusals leave the log as it was.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>
#include <sstream>
#include <tuple>

#include "run/driver.h"
#include "search/evaluate/outcome_cache.h"
#include "support/inputs.h"
#include "support/processes.h"
#include "support/random_trees.h"

namespace dorvu {
namespace {

using Leaves = std::map<std::string, BaseValues>;  // by tip name

// A run in a scratch directory on `input`, on the fixed tree or on the tree
// of `treeText`; its log.
std::string LogOf(const std::string& input, const std::string& treeText, RunSetup setup) {
  test::ScratchDir dir;
  test::WriteFile(dir / "input.txt", input);
  setup.inputPath = (dir / "input.txt").string();
  setup.logPath = (dir / "dorvu.log").string();
  setup.quiet = true;
  if (!treeText.empty()) {
    test::WriteFile(dir / "tree.nwk", treeText);
    setup.treePath = (dir / "tree.nwk").string();
  }
  RunDorvu(setup);
  return test::ReadFile(dir / "dorvu.log");
}

// `text` with its lines that begin with `prefix` in reverse order, the others
// in place; every line ends with `end`.
std::string WithLinesReversed(const std::string& text, std::string_view prefix, std::string_view end) {
  std::vector<std::string> lines;
  std::vector<std::size_t> chosen;
  for (std::size_t p = 0; p < text.size(); p = text.find(end, p) + end.size()) {
    lines.push_back(text.substr(p, text.find(end, p) - p));
    if (lines.back().starts_with(prefix)) chosen.push_back(lines.size() - 1);
  }
  for (std::size_t i = 0; i < chosen.size() / 2; ++i) std::swap(lines[chosen[i]], lines[chosen[chosen.size() - 1 - i]]);
  std::string joined;
  for (const std::string& line : lines) joined.append(line).append(end);
  return joined;
}

// An input for a tree: the two parameters, then a line per tip, by name.
std::string TreeInputText(const Leaves& leaves, std::string_view cardinality, std::string_view noise) {
  std::string input = test::WithNoise(test::WithCardinality("\n\n", cardinality), noise);
  for (const auto& [name, values] : leaves) input += NewickLabelText(name) + "\t" + test::LeafText(values) + "\n";
  return input;
}

TEST(TreeModeBridge, FixedTreeInNewickGivesTheFixedLogInAnyLineOrder) {
  const std::string failed = test::WithLine(test::WithLine(test::ExampleInput(), 9, "6.7 A:0.2_C:zz_G:x_T:0.3"), 40,
                                            "6.38 A:_C:0.2_G:0.5_T:0.3");
  // Halves of one base each, no noise: a penalty of 0 ends a branch early.
  const auto halves = [](int k) { return k <= 32 ? BaseValues{1, 0, 0, 0} : BaseValues{0, 0, 1, 0}; };
  const std::string inputs[] = {test::ExampleInput(), failed, test::WithCardinality(test::ExampleInput(), "0"),
                                test::WithCardinality(test::WithNoise(failed, "0"), "1"),
                                test::LeafInput("20", "0", halves)};
  const std::string newick = NewickText(FixedTreeShape());
  RunSetup setup;
  setup.settings.seed = 11;
  setup.settings.threads = 1;
  for (const std::string& input : inputs) {
    std::string expected = LogOf(input, "", setup);
    expected.insert(expected.find("\r\n", expected.find("\r\nnoise level=") + 2) + 2, "tree=" + newick + "\r\n");
    EXPECT_EQ(LogOf(input, newick, setup), expected) << input;
    // Leaf lines from 6.64 up: the data errors come in the order of the lines.
    EXPECT_EQ(LogOf(WithLinesReversed(input, "6.", "\n"), newick, setup),
              WithLinesReversed(expected, "an error in data on the leaf ", "\r\n"))
        << input;
  }
}

// The tips below each vertex of a tree, by name.
std::vector<std::set<std::string>> TipsBelow(const NewickTree& shape) {
  std::vector<std::set<std::string>> below(shape.parent.size());
  for (auto v = static_cast<int32_t>(shape.parent.size()) - 1; v >= 0; --v) {
    if (shape.childBegin[v] == shape.childBegin[v + 1]) below[v].insert(shape.label[v]);
    if (v > 0) below[shape.parent[v]].insert(below[v].begin(), below[v].end());
  }
  return below;
}

// The tips on the side of a branch without t1, given the tips below it.
std::set<std::string> Split(const std::set<std::string>& all, const std::set<std::string>& below) {
  std::set<std::string> side;
  for (const std::string& tip : all)
    if (below.contains(tip) != below.contains("t1")) side.insert(tip);
  return side;
}

// A random tree and its leaves: near uniform but for two disjoint clades of 3
// to tips/4 tips (their splits), each of a composition of its own.
struct PlantedTree {
  NewickTree shape;
  std::vector<std::set<std::string>> below;
  Leaves leaves;
  std::set<std::set<std::string>> planted;
  PlantedTree(uint32_t seed, int tips) : shape(ParseNewick(test::RandomTreeText(seed, tips))), below(TipsBelow(shape)) {
    std::mt19937 gen(seed);
    for (const std::string& tip : below[0]) leaves[tip] = {0.25 + 0.003 * (gen() % 5), 0.25, 0.25, 0.25};
    const BaseValues shifted[] = {{0.6, 0.1, 0.1, 0.2}, {0.1, 0.2, 0.6, 0.1}};
    std::set<std::string> taken;
    for (std::size_t tries = 0; planted.size() < 2 && tries < 10000; ++tries) {
      const auto& clade = below[gen() % below.size()];
      if (clade.size() < 3 || clade.size() > below[0].size() / 4 ||
          std::any_of(clade.begin(), clade.end(), [&](const std::string& tip) { return taken.contains(tip); }))
        continue;
      for (const std::string& tip : clade) leaves[tip] = shifted[planted.size()];
      taken.insert(clade.begin(), clade.end());
      planted.insert(Split(below[0], clade));
    }
  }
};

TEST(TreeModeEvaluators, EveryEvaluatorGivesTheSameLogOnRandomTrees) {
  const std::tuple<EvaluatorKind, int32_t, std::size_t> evaluations[] = {
      {EvaluatorKind::kFast, 1, 0},        {EvaluatorKind::kFast, 1, kDefaultCacheBytes},
      {EvaluatorKind::kSpeculative, 2, 0}, {EvaluatorKind::kSpeculative, 2, kDefaultCacheBytes},
      {EvaluatorKind::kSpeculative, 3, 0}, {EvaluatorKind::kSpeculative, 3, 64 * sizeof(OutcomeCache::Entry)}};
  // Each tree with its noise level and a line its log must hold. A root of 5
  // tips gives rows of 5 candidates. On 500 tips (780 edges) at a noise level
  // of 5, the root's penalty (about 1190) lies above the fixed tree's initial
  // penalty, 1000, and noise floor, 100 x 5, but below this tree's, 1000 x
  // 780/126 and 100 x 780/126 x 5: the search stops at the root, and the best
  // list takes it.
  const std::tuple<uint32_t, int, const char*, const char*> trees[] = {
      {1, 30, "0.02", "\r\ndone 5 of 6\r\n"},
      {2, 120, "0.02", "\r\ndone 5 of 6\r\n"},
      {3, 300, "0.02", "\r\ndone 5 of 6\r\n"},
      {4, 5, "0.02", "\r\ndone 4 of 5\r\nthe best"},
      {8, 500, "5.04", "\r\nthe best scenario:\r\n\r\nits penalty="}};
  for (const auto& [seed, tips, noise, shown] : trees) {
    const PlantedTree tree(seed, tips);
    const std::string treeText = NewickText(tree.shape);
    const std::string input = TreeInputText(tree.leaves, "3", noise);
    RunSetup setup;
    setup.settings = {seed, 1, 0};
    setup.evaluator = EvaluatorKind::kPlain;
    const std::string plain = LogOf(input, treeText, setup);
    ASSERT_NE(plain.find(shown), std::string::npos) << "tree " << seed;
    for (const auto& [kind, threads, cacheBytes] : evaluations) {
      setup.evaluator = kind;
      setup.settings = {seed, threads, cacheBytes};
      EXPECT_EQ(LogOf(input, treeText, setup), plain)
          << "tree " << seed << ", " << threads << " threads, " << cacheBytes;
    }
  }
}

// The best scenario of a log as splits of the tips, and its penalty.
std::pair<std::set<std::set<std::string>>, double> CutsOf(const std::string& log, const NewickTree& shape) {
  const auto below = TipsBelow(shape);
  const std::vector<std::string> names = VertexNames(shape);
  const std::size_t start = log.find("the best scenario:\r\n") + 20;
  std::istringstream marked(log.substr(start, log.find("\r\n", start) - start));
  std::pair<std::set<std::set<std::string>>, double> cuts{{}, std::stod(log.substr(log.find("its penalty=") + 12))};
  for (std::string name; marked >> name;)
    cuts.first.insert(Split(below[0], below.at(std::find(names.begin(), names.end(), name) - names.begin())));
  return cuts;
}

TEST(TreeModeInvariance, CutBranchesDependNeitherOnChildOrderNorOnTheRoot) {
  for (const auto& [seed, tips] : {std::pair{5u, 40}, std::pair{6u, 90}, std::pair{7u, 200}}) {
    const PlantedTree tree(seed, tips);
    const std::string input = TreeInputText(tree.leaves, "2", "0");
    RunSetup setup;
    setup.settings.seed = seed;
    const auto cuts = CutsOf(LogOf(input, NewickText(tree.shape), setup), tree.shape);
    ASSERT_EQ(cuts.first, tree.planted) << "tree " << seed;
    // The deepest internal vertex as the root; every child list shuffled.
    int32_t root = 0;
    for (int32_t v = 1; v < static_cast<int32_t>(tree.below.size()); ++v)
      if (tree.below[v].size() > 1 && tree.shape.depth[v] > tree.shape.depth[root]) root = v;
    std::mt19937 gen(seed);
    for (const std::string& text : {test::RewrittenTree(tree.shape, root), test::RewrittenTree(tree.shape, 0, &gen)}) {
      const auto other = CutsOf(LogOf(input, text, setup), ParseNewick(text));
      EXPECT_EQ(other.first, cuts.first) << text;
      EXPECT_NEAR(other.second, cuts.second, 1e-6 * cuts.second) << text;
    }
  }
}

TEST(TreeModeRefusals, StandardErrorAndStatusWithTheLogLeftAsItWas) {
  const std::string tree = "(((a,b),c),(d),'e f');";
  const auto line = [](const std::string& name) { return name + " A:0.1_C:0.2_G:0.3_T:0.4\n"; };
  const std::string header = "presupposed cardinality of scenario=1\nlevel of randomness=0\n";
  const std::string clean = header + line("a") + line("b") + line("c") + line("d") + line("'e f'");
  std::string many = header + line("a") + line("'a'"), named;
  for (int i = 1; i <= 23; ++i) {
    many += line("x" + std::to_string(i));
    if (i <= 20)
      named += (i == 1 ? "" : ", ") + ("\"x" + std::to_string(i) + "\" (line ") + std::to_string(i + 4) + ")";
  }
  const std::string summary =
      "dorvu: tree.nwk: 5 tips, 4 internal vertices, 1 with more than two children, 1 with one child\n";
  struct Case {
    bool check;
    std::string input, treeText, message;  // no tree file for an empty tree
    int status;
  };
  const Case cases[] = {
      {false, clean + line("zz"), tree, "dorvu: input.txt: 1 name is no tip of tree.nwk: \"zz\" (line 8)\n", 1},
      {false, clean + "\n" + line("b"), tree, "dorvu: input.txt: 1 tip is given again: \"b\" (line 9)\n", 1},
      {false, header + line("'e f'") + line("b") + line("a"), tree,
       "dorvu: input.txt: 2 tips of tree.nwk have no line: \"c\", \"d\"\n", 1},
      {false, many, tree,
       "dorvu: input.txt: 23 names are no tip of tree.nwk: " + named +
           ", and 3 more\ndorvu: input.txt: 1 tip is given again: \"a\" (line 4)\n"
           "dorvu: input.txt: 4 tips of tree.nwk have no line: \"b\", \"c\", \"d\", \"e f\"\n",
       1},
      {false, clean, "(a,b)", "dorvu: tree.nwk:1:6: missing ';' at the end of the tree\n", 1},
      {false, clean, "", "dorvu: cannot open tree.nwk: No such file or directory\n", 1},
      {true, clean, tree, summary + "dorvu: input.txt: no problems found\n", 0},
      {true, clean + line("b"), tree, summary + "dorvu: input.txt: 1 tip is given again: \"b\" (line 8)\n", 3},
  };
  for (const Case& c : cases) {
    test::ScratchDir dir;
    test::WriteFile(dir / "dorvu.log", "an old log\r\n");
    test::WriteFile(dir / "input.txt", c.input);
    if (!c.treeText.empty()) test::WriteFile(dir / "tree.nwk", c.treeText);
    std::vector<std::string> args{"--tree", "tree.nwk"};
    if (c.check) args.insert(args.begin(), "--check");
    const test::ProcessResult result = test::RunProgram(dir.path(), {{"DORVU_SEED", "1"}}, args);
    EXPECT_EQ(result.stderrText, c.message) << c.input;
    EXPECT_EQ(result.status, c.status) << c.input;
    EXPECT_EQ(test::ReadFile(dir / "dorvu.log"), "an old log\r\n") << c.input;
  }
}

}  // namespace
}  // namespace dorvu
