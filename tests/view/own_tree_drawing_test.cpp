// The drawing of a tree of one's own, named and in a circle: its structure
// (elements, names, badges, size), not its bytes.
#include "view/own_tree_drawing.h"

#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

#include "support/random_trees.h"
#include "support/xml_check.h"
#include "view/own_tree.h"

namespace dorvu::view::drawing {
namespace {

// Every branch of a random tree 0.5 long.
std::string WithLengths(const std::string& text) {
  return std::regex_replace(text, std::regex(R"((t\d+|'t 2'|\))(?=[,)]))"), "$1:0.5");
}

// A balanced binary tree, every branch 0.5 long: at a given size the most
// vertices, and quick to make.
std::string BalancedTreeText(int tips) {
  std::vector<std::string> parts;
  for (int k = 1; k <= tips; ++k) parts.push_back("t" + std::to_string(k));
  for (std::vector<std::string> joined; parts.size() > 1; parts.swap(joined), joined.clear())
    for (std::size_t i = 0; i < parts.size(); i += 2)
      joined.push_back(i + 1 < parts.size() ? "(" + parts[i] + ":0.5," + parts[i + 1] + ":0.5)" : parts[i]);
  return parts[0] + ";";
}

// The root and every `markEvery`-th vertex marked, with a note; odd bytes in every tooltip.
// `even` gives all vertices the same values; else every seventh has none.
std::vector<DrawnVertex> Drawn(const OwnTree& tree, int markEvery, bool even = false) {
  std::vector<DrawnVertex> vertices(tree.VertexCount());
  for (std::int32_t v = 0; v < tree.VertexCount(); ++v) {
    DrawnVertex& drawn = vertices[v];
    drawn.values =
        even ? std::array<double, 4>{1, 1, 1, 1} : std::array<double, 4>{1, 0.1 * (v % 50), 2, v % 7 ? 3.0 : -1};
    drawn.label = tree.IsTip(v) ? ShownName(tree.tree.label[v]) : tree.names[v];
    drawn.tooltip = drawn.label + " <&>\"' \xC3";
    if (v % markEvery != 0) continue;
    drawn.mark = MarkLook{v % 2 ? 0.6 : 1.0, "#111111"};
    drawn.note = "85%";
  }
  return vertices;
}

struct Drawing {
  std::shared_ptr<const OwnTree> tree;
  std::vector<DrawnVertex> vertices;
  std::string svg;
  std::size_t elements = 0;
};

Drawing Draw(const std::string& newick, int markEvery, bool even = false) {
  Drawing d{MakeOwnTree(newick), {}, "", 0};
  d.vertices = Drawn(*d.tree, markEvery, even);
  const OwnTreePicture picture = DrawOwnTree(*d.tree, d.vertices, "marked vertex", MarkLook{});
  d.svg = SvgStart(picture.width, picture.height, "a tree") + picture.body + "</svg>\n";
  const test::XmlDocument xml = test::ParseXml(d.svg);
  EXPECT_EQ(xml.error, "") << newick.substr(0, 80);
  for (const char* unset : {"nan", "inf"}) EXPECT_EQ(d.svg.find(unset), std::string::npos) << newick.substr(0, 80);
  d.elements = xml.elements.size();
  return d;
}

std::size_t Count(const std::string& text, const std::string& part) {
  std::size_t count = 0;
  for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
  return count;
}

TEST(OwnTreeDrawing, NamedTreeHasEveryVertexEveryTipNameAndEveryCut) {
  const struct {
    std::string newick;
    int markEvery;
    bool scale;  // every branch has a length
  } cases[] = {
      {"(('a&b':1,'<c>':2)x:1,('d\"e''f':0.5,'g\xFF':1):-1);", 2, true},
      {"(((a)),b,(c,d,e));", 3, false},
      {"((a:0,b:0):0,c:0);", 1, false},  // all lengths 0: a cladogram
      {WithLengths(test::RandomTreeText(3, 400)), 5, true},
  };
  for (const auto& c : cases) {
    const Drawing d = Draw(c.newick, c.markEvery);
    EXPECT_EQ(Count(d.svg, "<g class=\"vertex"), d.vertices.size()) << c.newick;
    std::size_t cuts = 0;
    for (std::int32_t v = 0; v < d.tree->VertexCount(); ++v) {
      cuts += v > 0 && d.vertices[v].mark;
      const std::string name = Escaped(d.vertices[v].label);
      const bool named = d.svg.find(">" + name + "</text>") != std::string::npos;
      EXPECT_TRUE(named || !d.tree->IsTip(v)) << d.vertices[v].label;
    }
    EXPECT_EQ(Count(d.svg, "class=\"edge cut\""), cuts) << c.newick;
    EXPECT_EQ(d.svg.find("branch length") != std::string::npos, c.scale) << c.newick;
  }
}

TEST(OwnTreeDrawing, LargeTreeIsACircleOfFewElementsWithABadgePerMarkedVertex) {
  const struct {
    std::string newick;
    int markEvery;
    bool even;
    std::size_t branchPaths;  // one per colour
  } cases[] = {
      {test::RandomTreeText(5, 2000), 211, false, 9},
      {WithLengths(test::RandomTreeText(6, 401)), 37, true, 1},
  };
  for (const auto& c : cases) {
    const Drawing d = Draw(c.newick, c.markEvery, c.even);
    EXPECT_EQ(Count(d.svg, "class=\"branches\""), c.branchPaths);
    EXPECT_EQ(d.svg.find(">t1</text>"), std::string::npos);
    std::size_t marked = 0;
    for (std::int32_t v = 1; v < d.tree->VertexCount(); ++v) {
      if (!d.vertices[v].mark) continue;
      ++marked;
      const std::int32_t tips = d.tree->tips[v];
      const std::string size = d.tree->IsTip(v) ? "tip " : std::to_string(tips) + (tips == 1 ? " tip" : " tips");
      EXPECT_NE(d.svg.find(">" + d.tree->names[v] + " \u00B7 " + size), std::string::npos) << d.tree->names[v];
    }
    EXPECT_LT(d.elements, 100 + 8 * marked);
  }
}

TEST(OwnTreeDrawing, TwentyThousandTipsTakeUnderFiveMegabytes) {
  EXPECT_LT(Draw(BalancedTreeText(20000), 1999).svg.size(), 5'000'000u);
}

}  // namespace
}  // namespace dorvu::view::drawing
