// The Newick reader and writer: what is refused and where, what is read, the
// text written back, the vertex names, large trees and files.
#include "tree/newick.h"

#include <gtest/gtest.h>

#include "log/io_error.h"
#include "support/files.h"
#include "tree/tree.h"

namespace dorvu {
namespace {

TEST(Newick, RefusesWithPlaceAndMessage) {
  struct Refusal {
    std::string_view text;
    int64_t line;
    int64_t column;
    std::string message;
  };
  const Refusal refusals[] = {
      {"", 1, 1, "no tree in the text"},
      {" [a]\n", 2, 1, "no tree in the text"},
      {"(a,b)\n", 1, 6, "missing ';' at the end of the tree"},
      {"(a,b));", 1, 6, "')' without a matching '('"},
      {"a,b;", 1, 2, "',' outside brackets"},
      {"((a,b),c;", 1, 9, "unclosed '(' (opened at line 1, column 1)"},
      {"(a,\n(b,c [x]\n", 2, 5, "unclosed '(' (opened at line 2, column 1)"},
      {"(a,b);(c,d);", 1, 7, "a second tree after ';'"},
      {"(a,,b);", 1, 4, "a tip without a name"},
      {"(a,'':1);", 1, 4, "a tip without a name"},
      {"(a,b,\r\n\t a);", 2, 3, "tip name \"a\" given twice (first at line 1, column 2)"},
      {"(a:1e,b);", 1, 4, "bad branch length \"1e\""},
      {"(a:.,b);", 1, 4, "bad branch length \".\""},
      {"(a: 1x,b);", 1, 5, "bad branch length \"1x\""},
      {"(a:,b);", 1, 4, "missing branch length after ':'"},
      {"('a b,c);", 1, 2, "unclosed quote"},
      {"(a,b)[x;", 1, 6, "unclosed comment"},
      {"(a,'b\r\nc');", 1, 6, "a label holding a line end"},
      {"((a));", 1, 6, "a tree needs at least 2 tips"},
      {"(a,b)c d;", 1, 8, "unexpected 'd' after label \"c\" (quote a label that holds blanks)"},
      {"(a \xC3\xA9,b);", 1, 4, "unexpected byte 0xC3 after label \"a\" (quote a label that holds blanks)"},
      {"(a,b)(c,d);", 1, 6, "unexpected '('"},
      {"(a:1:2,b);", 1, 5, "unexpected ':'"},
      {"(a,b]);", 1, 5, "']' outside a comment"},
  };
  for (const Refusal& r : refusals) {
    try {
      ParseNewick(r.text);
      ADD_FAILURE() << "accepted: " << r.text;
    } catch (const NewickError& error) {
      EXPECT_EQ(error.message, r.message) << r.text;
      EXPECT_EQ(error.line, r.line) << r.text;
      EXPECT_EQ(error.column, r.column) << r.text;
    }
  }
}

TEST(Newick, ReadsAndWritesBack) {
  const std::pair<std::string_view, std::string_view> accepted[] = {
      {"(a,b);", "(a,b);"},
      {" [c] ( a : 0.1 , 'b c' : -0 ) [d]\nroot : 5. ; [e]\n", "(a:0.1,'b c':-0)root:5.;"},
      {"((x_1,'it''s')'0.9':1E-5,(y)[z],z)'';", "((x_1,'it''s')0.9:1E-5,(y),z);"},
      {"(\r\n\ta:.5,\r\n\tb:+2e-0\r\n);\r\n", "(a:.5,b:+2e-0);"},
      {"\xEF\xBB\xBF(a,b);", "(a,b);"},
      {"('a[1]',' ','x,y',\xC3\xA9,'(':3.25e+10);", "('a[1]',' ','x,y',\xC3\xA9,'(':3.25e+10);"},
  };
  for (const auto& [text, written] : accepted) {
    const NewickTree tree = ParseNewick(text);
    EXPECT_EQ(NewickText(tree), written) << text;
    EXPECT_EQ(ParseNewick(written), tree) << text;
  }
}

TEST(Newick, KeepsTheVertexTables) {
  const NewickTree tree = ParseNewick("((a:1,b)x:2,'c d')r;");
  const NewickTree expected{{-1, 0, 1, 1, 0},
                            {0, 2, 4, 4, 4, 4},
                            {1, 4, 2, 3},
                            {"r", "x", "a", "b", "c d"},
                            {"", "2", "1", "", ""},
                            {0, 1, 2, 2, 1},
                            3};
  EXPECT_EQ(tree, expected);
  EXPECT_EQ(VertexNames(tree), (std::vector<std::string>{"0", "1.1", "2.1", "2.2", "1.2"}));
}

TEST(Newick, QuotesLabelsOnlyWhereNeeded) {
  const std::pair<std::string_view, std::string_view> labels[] = {
      {"_", "_"},          {"a_b", "a_b"},   {"", "''"},   {"a b", "'a b'"}, {"a\tb", "'a\tb'"},
      {"it's", "'it''s'"}, {"x(y", "'x(y'"}, {"[", "'['"}, {"a:b", "'a:b'"}, {";", "';'"},
  };
  for (const auto& [label, written] : labels) EXPECT_EQ(NewickLabelText(label), written) << label;
}

// The complete binary tree of depth 6 gets the names of the fixed tree.
TEST(Newick, NamesVerticesByDepthAndPlace) {
  std::vector<std::string> subtrees;
  for (int tip = 1; tip <= 64; ++tip) subtrees.push_back(std::to_string(tip));
  while (subtrees.size() > 1) {
    std::vector<std::string> pairs;
    for (std::size_t i = 0; i < subtrees.size(); i += 2)
      pairs.push_back("(" + subtrees[i] + "," + subtrees[i + 1] + ")");
    subtrees = pairs;
  }
  const std::vector<std::string> names = VertexNames(ParseNewick(subtrees[0] + ";"));
  Tree fixed;
  LayOutTree(fixed);
  std::vector<std::string> fixedNames{"0"};
  for (const std::string& name : fixed.vertexNames)
    if (!name.empty() && name != " 0 ") fixedNames.push_back(name);
  EXPECT_EQ(names, fixedNames);
}

TEST(Newick, ReadsAndWritesADeepCaterpillarAndAWideStar) {
  constexpr int kTips = 100000;
  std::string caterpillar(kTips - 1, '(');
  std::string star = "(";
  for (int tip = 0; tip < kTips; ++tip) {
    const std::string name = std::to_string(tip);
    caterpillar.append(tip < 2 ? "" : ",").append(name).append(tip == 0 ? "," : ")");
    star.append(name).append(tip + 1 < kTips ? "," : ");");
  }
  caterpillar += ';';
  const NewickTree deep = ParseNewick(caterpillar);
  EXPECT_EQ(deep.tipCount, kTips);
  EXPECT_EQ(deep.depth[kTips - 1], kTips - 1);
  EXPECT_EQ(NewickText(deep), caterpillar);
  const NewickTree wide = ParseNewick(star);
  EXPECT_EQ(wide.childBegin[1], kTips);
  EXPECT_EQ(NewickText(wide), star);
}

TEST(Newick, ReadsFilesAndReportsFileErrors) {
  const test::ScratchDir dir;
  ASSERT_TRUE(test::WriteFile(dir / "tree.nwk", "(a:1,\r\n b);\r\n"));
  EXPECT_EQ(ReadNewickFile((dir / "tree.nwk").string()), ParseNewick("(a:1,b);"));
  const std::pair<std::string, std::string> failures[] = {
      {(dir / "missing.nwk").string(), "cannot open " + (dir / "missing.nwk").string() + ": No such file or directory"},
      {dir.path().string(), "cannot read " + dir.path().string() + ": Is a directory"},
  };
  for (const auto& [path, message] : failures) {
    try {
      ReadNewickFile(path);
      ADD_FAILURE() << "read: " << path;
    } catch (const IoError& error) {
      EXPECT_EQ(error.message, message);
    }
  }
}

}  // namespace
}  // namespace dorvu
