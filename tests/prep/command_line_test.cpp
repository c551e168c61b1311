// dorvu-prep as the user runs it: the files it writes, the inputs it refuses
// (by their exact messages, leaving no file behind), and a real dorvu run on
// what it wrote.
#include "prep/command_line.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "prep/composition.h"
#include "prep/input_file.h"
#include "test_support.h"

namespace dorvu::prep {
namespace {

namespace fs = std::filesystem;
using test::ReadFile;
using test::ScratchDir;
using test::WriteFile;

struct Outcome {
  int status;
  std::string out;
  std::string err;
};

Outcome RunPrep(const std::vector<std::string>& args) {
  std::ostringstream out, err;
  const int status = RunDorvuPrep(args, out, err);
  return {status, out.str(), err.str()};
}

std::set<std::string> FilesIn(const fs::path& dir) {
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator(dir)) names.insert(entry.path().filename().string());
  return names;
}

// `count` records s1, s2, ..., each of the sequence given, on two lines.
std::string Fasta(int count, const std::string& sequence = "ACGT\nTTGA") {
  std::string text;
  for (int k = 1; k <= count; ++k)
    text += ">s" + std::to_string(k) + " record " + std::to_string(k) + "\n" + sequence + "\n";
  return text;
}

std::string Table(int from = 1, int to = 64) {
  std::string text = "leaf\tA\tC\tG\tT\n";
  for (int k = to; k >= from; --k)
    text += "6." + std::to_string(k) + "\t1\t" + std::to_string(k) + "\t0\t0.5\n";
  return text;
}

TEST(Prep, WritesTheInputAndTheNamesBesideIt) {
  ScratchDir dir;
  std::string fasta = Fasta(64, "acgu\nRN-");
  fasta.replace(fasta.find(">s2 record 2"), 12, ">second\tx");
  WriteFile(dir / "seqs.fa", fasta);
  const Outcome result = RunPrep(
      {"--cardinality", "2", "--noise=1e-3", "-o", (dir / "gene.txt").string(), (dir / "seqs.fa").string()});
  ASSERT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(result.err, "");
  EXPECT_EQ(FilesIn(dir.path()), (std::set<std::string>{"seqs.fa", "gene.txt", "gene.names.tsv"}));
  const std::string input = ReadFile(dir / "gene.txt");
  EXPECT_TRUE(
      input.starts_with("presupposed cardinality of scenario=2\nlevel of randomness=1e-3\n"
                        "6.1 A:0.3_C:0.2_G:0.3_T:0.2\n6.2 A:0.3_C:0.2_G:0.3_T:0.2\n"));
  EXPECT_TRUE(input.ends_with("\n6.64 A:0.3_C:0.2_G:0.3_T:0.2\n"));
  const std::string names = ReadFile(dir / "gene.names.tsv");
  EXPECT_TRUE(names.starts_with("leaf\tname\n6.1\ts1\n6.2\tsecond\n6.3\ts3\n")) << names;
  EXPECT_TRUE(names.ends_with("\n6.64\ts64\n"));

  // A table, in any order, with the default parameters and output name.
  WriteFile(dir / "table.tsv", Table());
  fs::current_path(dir.path());
  ASSERT_EQ(RunPrep({"table.tsv"}).status, 0);
  const std::string fromTable = ReadFile(dir / "input.txt");
  EXPECT_TRUE(
      fromTable.starts_with("presupposed cardinality of scenario=3\nlevel of randomness=0.1\n"
                            "6.1 A:0.4_C:0.4_G:0_T:0.2\n6.2 A:0.2857142857142857_C:0.5714285714285714_G:0_"
                            "T:0.14285714285714285\n"))
      << fromTable;
  EXPECT_TRUE(ReadFile(dir / "input.names.tsv").starts_with("leaf\tname\n6.1\t6.1\n"));
  fs::current_path(fs::temp_directory_path());

  const Outcome toOutput = RunPrep({"-o", "-", (dir / "table.tsv").string()});
  EXPECT_EQ(toOutput.out, fromTable);
  EXPECT_EQ(FilesIn(dir.path()).size(), 6u);
}

// Each refused input: status 1, this message exactly, and the outputs of an
// earlier run left as they were.
TEST(Prep, RefusesBadInputByNameLineAndRecord) {
  std::string dup = Fasta(64);
  dup.replace(dup.find(">s5 "), 4, ">s2 ");
  std::string gap = Fasta(64);
  gap.replace(gap.find("ACGT\nTTGA\n>s4 "), 9, "NN-\n..?\n");
  std::string twice = Table(1, 64);
  twice.replace(twice.find("6.3\t"), 4, "6.9\t");
  const std::vector<std::pair<std::string, std::string>> cases{
      {"", "in: the file is empty"},
      {"\n  \n", "in: the file is empty"},
      {Fasta(63), "in:189: the file holds 63 records; dorvu needs exactly 64, one per leaf"},
      {Fasta(65), "in:193: record 65 \"s65\": a record too many; dorvu needs exactly 64, one per leaf"},
      {gap, "in:7: record 3 \"s3\": no base to count (only N, gaps or nothing)"},
      {Fasta(2) + ">s3\nACGTZ\n" + Fasta(61), "in:8: record 3 \"s3\": \"Z\" in column 5 is not a base code"},
      {Fasta(1) + ">s2\nAC\xC3\xA9\n", "in:5: record 2 \"s2\": the byte 0xC3 in column 3 is not a base code"},
      {Fasta(1) + ">s2\nAC*\n", "in:5: record 2 \"s2\": \"*\" in column 3 is not a base code"},
      {dup, "in:13: record 5 \"s2\": the same name as record 2 (line 4)"},
      {Fasta(3) + "> \nACGT\n", "in:10: record 4 has no name after \">\""},
      {"ACGT\n",
       "in:1: neither FASTA (a first line starting with \">\") nor a table (the header "
       "\"leaf<TAB>A<TAB>C<TAB>G<TAB>T\")"},
      {Table(2, 64), "in: leaf 6.1 is missing; the table needs one row for each leaf 6.1 to 6.64"},
      {twice, "in:63: leaf 6.9 is given twice (first on line 57)"},
      {Table(2, 64) + "6.1\t1\t-2\t0\t0\n", "in:65: leaf 6.1: the C value \"-2\" is negative"},
      {Table(2, 64) + "6.1\t1\tx\t0\t0\n", "in:65: leaf 6.1: the C value \"x\" is not a number"},
      {Table(2, 64) + "6.1\t1\t\t0\t0\n", "in:65: leaf 6.1: the C value \"\" is not a number"},
      {Table(2, 64) + "6.1\t0\t0\t0.0\t0\n", "in:65: leaf 6.1: the four values are all 0"},
      {Table(2, 64) + "6.1\t1\t0\t0\n", "in:65: expected 5 tab-separated fields (leaf A C G T), found 4"},
      {Table(2, 64) + "6.65\t1\t0\t0\t0\n", "in:65: \"6.65\" is not a leaf (6.1 to 6.64)"},
  };
  for (const auto& [content, message] : cases) {
    ScratchDir dir;
    WriteFile(dir / "in", content);
    WriteFile(dir / "input.txt", "earlier input");
    fs::current_path(dir.path());
    const Outcome result = RunPrep({"in"});
    fs::current_path(fs::temp_directory_path());
    EXPECT_EQ(result.status, ExitFailure) << message;
    EXPECT_EQ(result.err, "dorvu-prep: " + message + "\n");
    EXPECT_EQ(FilesIn(dir.path()), (std::set<std::string>{"in", "input.txt"})) << message;
    EXPECT_EQ(ReadFile(dir / "input.txt"), "earlier input");
  }
}

TEST(Prep, LeavesNoFileWhenAnOutputCannotBeWritten) {
  ScratchDir dir;
  WriteFile(dir / "seqs.fa", Fasta(64));
  fs::create_directory(dir / "run.names.tsv");
  const Outcome result = RunPrep({"-o", (dir / "run.txt").string(), (dir / "seqs.fa").string()});
  EXPECT_EQ(result.status, ExitFailure);
  EXPECT_NE(result.err.find("run.names.tsv"), std::string::npos) << result.err;
  EXPECT_EQ(FilesIn(dir.path()), (std::set<std::string>{"seqs.fa", "run.names.tsv"}));
  EXPECT_EQ(RunPrep({"-o", (dir / "seqs.fa").string(), (dir / "seqs.fa").string()}).status, ExitFailure);
  EXPECT_EQ(
      RunPrep({(dir / "nothing.fa").string()}).err,
      "dorvu-prep: " + (dir / "nothing.fa").string() + ": cannot open the file: No such file or directory\n");
}

TEST(Prep, AnswersHelpVersionAndBadUsage) {
  EXPECT_EQ(RunPrep({"--version"}).out, "dorvu-prep 1.0.0\n");
  EXPECT_TRUE(RunPrep({"--help"})
                  .out.starts_with("Usage: dorvu-prep [--cardinality N] [--noise X] [-o FILE] INPUT\n"));
  const std::vector<std::vector<std::string>> bad{{},
                                                  {"a.fa", "b.fa"},
                                                  {"-x", "a.fa"},
                                                  {"-o"},
                                                  {"-o", "", "a.fa"},
                                                  {"--cardinality", "-1", "a.fa"},
                                                  {"--cardinality", "2.5", "a.fa"},
                                                  {"--cardinality=99999999999", "a.fa"},
                                                  {"--noise", "-0.1", "a.fa"},
                                                  {"--noise", "0,1", "a.fa"},
                                                  {"--noise"}};
  for (const auto& args : bad) {
    const Outcome result = RunPrep(args);
    EXPECT_EQ(result.status, ExitUsage) << (args.empty() ? "" : args[0]);
    EXPECT_TRUE(result.err.ends_with("\nTry \"dorvu-prep --help\".\n")) << result.err;
  }
  EXPECT_EQ(RunPrep({"--noise", "x", "a.fa"}).err,
            "dorvu-prep: --noise needs a number of at least 0 such as 0.1, .05 or 1e-3, not \"x\"\n"
            "Try \"dorvu-prep --help\".\n");
}

// The real dorvu reads every value of a prepared input without an error. With
// the noise off its log repeats the leaves, after the passes' square roots and
// squares, to within a few units of the last digit.
TEST(Prep, GivesAnInputThatDorvuReads) {
  ScratchDir dir;
  std::string fasta;
  for (int k = 1; k <= 64; ++k)
    fasta += ">r" + std::to_string(k) + "\n" + std::string(static_cast<std::size_t>(k), 'A') +
             "CGTRYBDH\nVSWKM" + std::string(static_cast<std::size_t>(65 - k), 'g') + "\n";
  WriteFile(dir / "seqs.fa", fasta);
  ASSERT_EQ(RunPrep({"--cardinality=1", "--noise=0", "-o", (dir / "input.txt").string(),
                     (dir / "seqs.fa").string()})
                .status,
            0);
  ASSERT_EQ(test::RunExecutable(dir.path(), "DORVU_THREADS=1").status, 0);
  const std::string log = test::LogLines(dir / "dorvu.log");
  EXPECT_TRUE(log.starts_with("presupposed cardinality of scenario=1\nnoise level=0\n"));
  EXPECT_EQ(log.find("an error"), std::string::npos);
  std::istringstream input(ReadFile(dir / "input.txt"));
  std::string line;
  std::getline(input, line);
  std::getline(input, line);
  for (int k = 1; std::getline(input, line); ++k) {
    std::array<double, 4> given{}, logged{};
    ASSERT_EQ(std::sscanf(line.c_str(), "6.%*d A:%lf_C:%lf_G:%lf_T:%lf", &given[0], &given[1], &given[2],
                          &given[3]),
              4);
    const std::string prefix = "vertex 6." + std::to_string(k) + ": ";
    ASSERT_NE(log.find(prefix), std::string::npos) << prefix;
    ASSERT_EQ(std::sscanf(log.c_str() + log.find(prefix) + prefix.size(), "A:%lf C:%lf G:%lf T:%lf",
                          &logged[0], &logged[1], &logged[2], &logged[3]),
              4);
    for (std::size_t b = 0; b < 4; ++b) EXPECT_NEAR(logged[b], given[b], 1e-14) << prefix << b;
  }
}

}  // namespace
}  // namespace dorvu::prep
