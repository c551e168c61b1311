// Logs of a run on a tree of one's own: the vertex table's columns of the
// tree, the refusals of a log that does not fit its tree, and many runs that
// must share one tree. The Newick and NEXUS files are read back by an
// independent reader in read_back_test.py.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/view_runs.h"
#include "tree/newick.h"
#include "view/report_writers.h"
#include "view/run_tallies.h"

namespace dorvu::view {
namespace {

using test::TsvRows;

// Tips with a blank and an underscore, a one-child vertex, a multifurcation,
// internal labels and lengths on some branches only.
constexpr std::string_view kTree = "(('a b':1,c_d:2)89:0.5,(e,f,g)x,((h)))root;";

// A log of the tree with `marked` (names between blanks) as its best scenario,
// vertex k having A = 0.1 + k / 1000.
std::string TreeLog(std::string_view tree, const std::string& marked, const std::string& before = "") {
  const std::vector<std::string> names = VertexNames(ParseNewick(tree));
  std::string log = before + "presupposed cardinality of scenario=2\r\nnoise level=0\r\ntree=" + std::string(tree) +
                    "\r\ndone 0 of 1\r\nthe best scenario:\r\n" + marked + "\r\nits penalty=12.5\r\n" +
                    "distribution values:\r\n";
  for (std::size_t k = 0; k < names.size(); ++k)
    log +=
        "vertex " + (k == 0 ? std::string(" 0 ") : names[k]) + ": A:0.1" + std::to_string(k) + " C:0.2 G:0.3 T:0.4\r\n";
  return log;
}

TEST(TreeLog, TablesGiveEachVertexItsNameCladeAndLength) {
  const RunReport report = ParseRunLog(TreeLog(kTree, " 2.1  2.3 "), "tree.log");
  const auto rows = TsvRows(OwnTsvTable(report));
  const std::vector<std::vector<std::string>> expected{
      {"vertex", "parent", "depth", "marked", "A", "C", "G", "T", "name", "tips", "length"},
      {"0", "NA", "0", "1", "0.10", "0.2", "0.3", "0.4", "root", "6", ""},
      {"1.1", "0", "1", "0", "0.11", "0.2", "0.3", "0.4", "89", "2", "0.5"},
      {"2.1", "1.1", "2", "1", "0.12", "0.2", "0.3", "0.4", "a b", "1", "1"},
      {"2.2", "1.1", "2", "0", "0.13", "0.2", "0.3", "0.4", "c_d", "1", "2"},
      {"1.2", "0", "1", "0", "0.14", "0.2", "0.3", "0.4", "x", "3", ""},
      {"2.3", "1.2", "2", "1", "0.15", "0.2", "0.3", "0.4", "e", "1", ""},
  };
  ASSERT_EQ(rows.size(), 12u);
  for (std::size_t r = 0; r < expected.size(); ++r) EXPECT_EQ(rows[r], expected[r]);
  EXPECT_EQ(rows[11], (std::vector<std::string>{"3.1", "2.6", "3", "0", "0.110", "0.2", "0.3", "0.4", "h", "1", ""}));
  EXPECT_EQ(ItolBranches(report),
            "TREE_COLORS\nSEPARATOR TAB\nDATA\na b\tbranch\t#D55E00\tnormal\t3\ne\tbranch\t#D55E00\tnormal\t3\n");
  // Tips named as internal vertices are told to the user; one named as another tip's d.i is no clash.
  EXPECT_EQ(TipsNamedAsInternalVertices(*MakeOwnTree("(('1.1','2.1')x,'0',c);")),
            (std::vector<std::string>{"1.1", "0"}));
}

TEST(TreeLog, RefusesALogThatDoesNotFitItsTree) {
  const std::string good = TreeLog(kTree, " 2.1 ");
  struct Case {
    std::string log;
    std::int64_t line;
    std::string problem;
  };
  const std::vector<Case> cases{
      {TreeLog(kTree, " a b "), 6, "not a vertex name in the marked vertices: \"a\""},
      {TreeLog(kTree, " 0 "), 6, "not a vertex name in the marked vertices: \"0\""},
      {TreeLog(kTree, " 5.1 "), 6, "not a vertex name in the marked vertices: \"5.1\""},
      {std::string(good).replace(good.find("tree=") + 5, kTree.size(), "((a,b),c;"), 3,
       "the tree is not read: column 9 of the tree: unclosed '(' (opened at line 1, column 1)"},
      {TreeLog(kTree, " 2.1 ", "an error in data on the leaf 7\r\n"), 1,
       "the input error names leaf 7, but the tree of the log has 6 tips"},
      {good.substr(0, good.find("vertex 1.2")) + good.substr(good.find("vertex 2.3")), 13,
       "expected \"vertex 1.2: A:...\" (the line of vertex 1.2), found \"vertex 2.3: A:0.15 C:0.2 G:0.3 T:0.4\""},
  };
  for (const Case& c : cases) {
    try {
      ParseRunLog(c.log, "tree.log");
      ADD_FAILURE() << "accepted: " << c.problem;
    } catch (const cli::LocatedError& error) {
      EXPECT_EQ(error.line, c.line) << c.problem;
      EXPECT_EQ(error.problem, c.problem);
    }
  }
  EXPECT_EQ(ParseRunLog(TreeLog(kTree, " 2.1 ", "an error in data on the leaf 6\r\n"), "t").inputErrors, 1);
}

TEST(TreeLog, ManyRunsShareOneTree) {
  const RunReport first = ParseRunLog(TreeLog(kTree, " 2.1  2.3 "), "first.log");
  const RunReport second = ParseRunLog(TreeLog(kTree, " 2.1 "), "second.log");
  SupportTally support;
  ScanTally scan;
  for (const RunReport* report : {&first, &second}) {
    EXPECT_TRUE(AddToSupport(support, *report).empty());
    EXPECT_TRUE(AddToScan(scan, *report).empty());
  }
  const auto rows = TsvRows(SupportTable(support));
  EXPECT_EQ(rows[0],
            (std::vector<std::string>{"vertex", "parent", "depth", "runs", "marked", "support", "name", "tips"}));
  EXPECT_EQ(rows[5], (std::vector<std::string>{"1.2", "0", "1", "2", "0", "0", "x", "3"}));
  EXPECT_EQ(ItolSupport(support),
            "DATASET_TEXT\nSEPARATOR TAB\nDATASET_LABEL\tsupport\nCOLOR\t#D55E00\nDATA\n"
            "a b\t100%\t0.5\t#D55E00\tbold\t1\t0\ne\t50%\t0.5\t#D55E00\tbold\t1\t0\n");
  EXPECT_EQ(TsvRows(ScanTable(scan))[1],
            (std::vector<std::string>{"2", "2", "12.5", "12.5", "12.5", "2.1 2.3", "a b; e", "1 1"}));

  const RunReport other = ParseRunLog(TreeLog("((a,b),c);", " 2.1 "), "other.log");
  const RunReport fixed = test::ParseFile("example.log");
  const std::string rule = "; --support takes runs of one cardinality and one noise level on one tree";
  const std::vector<std::pair<const RunReport*, std::string>> refused{
      {&other, "the tree differs from the tree of first.log" + rule},
      {&fixed, "the run is on the fixed tree, but first.log is on a tree of its own" + rule},
  };
  for (const auto& [report, problem] : refused) {
    const auto problems = AddToSupport(support, *report);
    ASSERT_FALSE(problems.empty());
    EXPECT_EQ(problems.back().line, 3);
    EXPECT_EQ(problems.back().problem, problem);
  }
  SupportTally fixedFirst;
  AddToSupport(fixedFirst, fixed);
  EXPECT_EQ(AddToSupport(fixedFirst, first).back().problem,
            "the run is on a tree of its own, but example.log is on the fixed tree" + rule);
}

}  // namespace
}  // namespace dorvu::view
