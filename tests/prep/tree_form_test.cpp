// dorvu-prep --tree: the data matched to a tree's tips by name, refused with
// exact messages when the names do not match, the tree pruned, and a real
// dorvu run on what it wrote.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "support/prep_runs.h"
#include "support/processes.h"

namespace dorvu::prep {
namespace {

namespace fs = std::filesystem;
using test::FilesIn;
using test::ReadFile;
using test::RunPrep;
using test::ScratchDir;
using test::WriteFile;

// Runs in `dir`, the current directory for the call, so that messages name files as given.
test::PrepOutcome RunPrepIn(const ScratchDir& dir, const std::vector<std::string>& args) {
  fs::current_path(dir.path());
  const test::PrepOutcome outcome = RunPrep(args);
  fs::current_path(fs::temp_directory_path());
  return outcome;
}

// One record per name, of a sequence as long as the name and three more;
// `described`: the name after a first word r1, r2, ... (for --label description).
std::string Fasta(const std::vector<std::string>& names, bool described = false) {
  std::string text;
  for (std::size_t k = 0; k < names.size(); ++k) {
    text += '>';
    if (described) text.append("r").append(std::to_string(k + 1)).append(" ");
    text.append(names[k]).append("\nACGT").append(names[k].size(), 'G').append("\n");
  }
  return text;
}

TEST(TreeForm, RefusesNamesThatDoNotMatchAndWritesNothing) {
  std::string manyTips = "(a", shown;
  for (int k = 1; k <= 22; ++k) manyTips += ",t" + std::to_string(k);
  for (int k = 1; k <= 20; ++k) shown += (k == 1 ? "\"t" : ", \"t") + std::to_string(k) + "\"";
  const std::string kPruneHint =
      "dorvu-prep: --prune drops the tips without data from the tree and skips the names without a tip\n";
  // Each case: the tree, the data (FASTA, or a table when it starts with "leaf"), options, the message.
  const struct {
    std::string tree, data;
    std::vector<std::string> options;
    std::string err;
  } cases[] = {
      {"(a,b,c,d);",
       Fasta({"a", "x", "d", "b", "y"}),
       {},
       "dorvu-prep: data: 1 tip of tree.nwk has no data: \"c\"\n"
       "dorvu-prep: data: 2 names are no tip of tree.nwk: \"x\" (line 3), \"y\" (line 9)\n" +
           kPruneHint},
      {manyTips + ");",
       Fasta({"a", "b"}),
       {},
       "dorvu-prep: data: 22 tips of tree.nwk have no data: " + shown +
           ", and 2 more\ndorvu-prep: data: 1 name is no tip of tree.nwk: \"b\" (line 3)\n" + kPruneHint},
      {"(a,b);",
       "leaf\tA\tC\tG\tT\nb\t1\t1\t1\t1\na\t1\t0\t0\t0\nb\t0\t1\t0\t0\n",
       {"--prune"},
       "dorvu-prep: data: 1 name is given twice: \"b\" (line 4, first on line 2)\n"},
      {"('E. coli',b);",
       "leaf\tA\tC\tG\tT\nE._coli\t1\t1\t1\t1\nb\t1\t0\t0\t0\n",
       {},
       "dorvu-prep: data: 1 tip of tree.nwk has no data: \"E. coli\"\n"
       "dorvu-prep: data: 1 name is no tip of tree.nwk: \"E._coli\" (line 2)\n"
       "dorvu-prep: hint: \"E._coli\" in the records and \"E. coli\" in the tree differ only by blanks written as "
       "\"_\"\n" +
           kPruneHint},
      {"(EColi,b);",
       Fasta({"b", "ecoli"}),
       {},
       "dorvu-prep: data: 1 tip of tree.nwk has no data: \"EColi\"\n"
       "dorvu-prep: data: 1 name is no tip of tree.nwk: \"ecoli\" (line 3)\n"
       "dorvu-prep: hint: \"ecoli\" in the records and \"EColi\" in the tree differ only in case\n" +
           kPruneHint},
      {"((a,b),c);",
       Fasta({"a", "x"}),
       {"--prune"},
       "dorvu-prep: tree.nwk: --prune leaves 1 tip with data, and a tree needs at least 2\n"},
      {"(a,b", Fasta({"a", "b"}), {}, "dorvu-prep: tree.nwk:1:5: unclosed '(' (opened at line 1, column 1)\n"},
      {"(a,b);",
       Fasta({"a", "b"}),
       {"-o", "tree.txt"},
       "dorvu-prep: tree.nwk: this output would overwrite TREE; choose another FILE\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.err);
    const ScratchDir dir;
    WriteFile(dir / "tree.nwk", c.tree);
    WriteFile(dir / "data", c.data);
    std::vector<std::string> args{"--tree", "tree.nwk", "data"};
    args.insert(args.end(), c.options.begin(), c.options.end());
    const test::PrepOutcome outcome = RunPrepIn(dir, args);
    EXPECT_EQ(outcome.status, 1);
    EXPECT_EQ(outcome.err, c.err);
    EXPECT_EQ(FilesIn(dir.path()), (std::set<std::string>{"tree.nwk", "data"}));
  }
}

// The tips from the left, whatever the order of the data, for FASTA, a sample
// sheet and the bootstrap (which draws the tips from the left).
TEST(TreeForm, GivesTheSameInputForTheDataInAnyOrder) {
  const ScratchDir dir;
  const std::string tree = "((b:1,'d e':2)x:0.5,a);";
  WriteFile(dir / "tree.nwk", tree + "\n");
  WriteFile(dir / "one.fa", Fasta({"b", "d e", "a"}, true));
  WriteFile(dir / "two.fa", Fasta({"a", "b", "d e"}, true));
  WriteFile(dir / "sheet.tsv", "leaf\tname\tpath\na\tA\ts1.fa\nd e\tDE\ts2.fa\nb\tB\ts3.fa\n");
  WriteFile(dir / "s1.fa", ">one\nACGTG\n");
  WriteFile(dir / "s2.fa", ">two\nACGTGGG\n");
  WriteFile(dir / "s3.fa", ">c1\nACGT\n>c2\nG\n");
  for (const std::string seed : {"", "9"}) {
    SCOPED_TRACE(seed);
    std::vector<std::string> inputs;
    for (const auto& data : std::vector<std::vector<std::string>>{{"one.fa"}, {"two.fa"}, {"--samples", "sheet.tsv"}}) {
      std::vector<std::string> args{"--tree", "tree.nwk", "--label", "description", "-o", "-"};
      if (!seed.empty()) args.insert(args.end(), {"--bootstrap", seed});
      args.insert(args.end(), data.begin(), data.end());
      const test::PrepOutcome outcome = RunPrepIn(dir, args);
      ASSERT_EQ(outcome.status, 0) << outcome.err;
      inputs.push_back(outcome.out);
    }
    EXPECT_EQ(inputs[1], inputs[0]);
    EXPECT_EQ(inputs[2], inputs[0]);
    if (seed.empty()) {
      EXPECT_EQ(inputs[0],
                "presupposed cardinality of scenario=3\nlevel of randomness=0.1\nb A:0.2_C:0.2_G:0.4_T:0.2\n"
                "'d e' A:0.14285714285714285_C:0.14285714285714285_G:0.5714285714285714_T:0.14285714285714285\n"
                "a A:0.2_C:0.2_G:0.4_T:0.2\n");
    }
  }
  EXPECT_EQ(FilesIn(dir.path()),
            (std::set<std::string>{"tree.nwk", "one.fa", "two.fa", "sheet.tsv", "s1.fa", "s2.fa", "s3.fa"}));
}

TEST(TreeForm, PruneMergesAVertexLeftWithOneChild) {
  const struct {
    std::string tree;
    std::vector<std::string> names;
    std::string pruned;
    std::string err;
  } cases[] = {
      {"((a:1,b:0.2)x:0.1,(c:1,'d e':3)y:1e-1,f)r:7;",
       {"f", "b", "c", "z"},
       "(b:0.30000000000000004,c:1.1,f)r:7;",
       "dorvu-prep: --prune dropped 2 tips without data from the tree and skipped 1 name without a tip\n"},
      {"(((a,b)x:1,c:2)y:4,d:1e300)r:0.5;",
       {"a", "b", "q", "r"},
       "(a,b)x:0.5;",
       "dorvu-prep: --prune dropped 2 tips without data from the tree and skipped 2 names without a tip\n"},
      {"((a,b:2)x,c);",
       {"b", "c"},
       "(b:2,c);",
       "dorvu-prep: --prune dropped 1 tip without data from the tree and skipped 0 names without a tip\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.tree);
    const ScratchDir dir;
    WriteFile(dir / "tree.nwk", c.tree);
    WriteFile(dir / "data.fa", Fasta(c.names));
    const test::PrepOutcome outcome = RunPrepIn(dir, {"--tree", "tree.nwk", "--prune", "-o", "run.txt", "data.fa"});
    EXPECT_EQ(outcome.status, 0);
    EXPECT_EQ(outcome.err, c.err);
    EXPECT_EQ(ReadFile(dir / "run.nwk"), c.pruned + "\n");
  }
}

TEST(TreeForm, DorvuRunsWhatItWrote) {
  const ScratchDir dir;
  WriteFile(dir / "tree.nwk", "(((a:1,'b c':1):1,d:2):1,(e:1,f:1):2,g:3);");
  WriteFile(dir / "data.fa", Fasta({"g", "f", "e", "d", "b c", "h"}, true));
  const test::PrepOutcome outcome =
      RunPrepIn(dir, {"--tree", "tree.nwk", "--prune", "--label", "description", "--cardinality", "1", "data.fa"});
  ASSERT_EQ(outcome.status, 0) << outcome.err;
  EXPECT_EQ(ReadFile(dir / "input.nwk"), "(('b c':2,d:2):1,(e:1,f:1):2,g:3);\n");
  const test::ProcessResult run = test::RunExecutable(dir.path(), "DORVU_THREADS=1", "--tree input.nwk");
  EXPECT_EQ(run.status, 0) << run.stderrText;
  EXPECT_TRUE(fs::exists(dir / "dorvu.log"));
}

}  // namespace
}  // namespace dorvu::prep
