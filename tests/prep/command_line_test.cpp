// dorvu-prep as the user runs it: the files it writes, the inputs it refuses
// (by their exact messages, leaving no file behind), and a real dorvu run on
// what it wrote.
#include "prep/command_line.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "prep/composition.h"
#include "prep/input_file.h"
#include "support/prep_runs.h"
#include "support/processes.h"

namespace dorvu::prep {
namespace {

namespace fs = std::filesystem;
using test::FilesIn;
using test::ReadFile;
using test::ScratchDir;
using test::WriteFile;

using Outcome = test::PrepOutcome;
using test::RunPrep;

// `count` records s1, s2, ..., each of the sequence given, on two lines.
std::string Fasta(int count, const std::string& sequence = "ACGT\nTTGA") {
  std::string text;
  for (int k = 1; k <= count; ++k)
    text += ">s" + std::to_string(k) + " record " + std::to_string(k) + "\n" + sequence + "\n";
  return text;
}

const std::string kProteinHint = "; the record looks like a protein, and dorvu-prep reads DNA or RNA";

std::string Table(int from = 1, int to = 64) {
  std::string text = "leaf\tA\tC\tG\tT\n";
  for (int k = to; k >= from; --k) text += "6." + std::to_string(k) + "\t1\t" + std::to_string(k) + "\t0\t0.5\n";
  return text;
}

TEST(Prep, WritesTheInputAndTheNamesBesideIt) {
  ScratchDir dir;
  std::string fasta = Fasta(64, "acgu\nRN-");
  fasta.replace(fasta.find(">s2 record 2"), 12, ">second\tx");
  WriteFile(dir / "seqs.fa", fasta);
  const Outcome result =
      RunPrep({"--cardinality", "2", "--noise=1e-3", "-o", (dir / "gene.txt").string(), (dir / "seqs.fa").string()});
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
      {Fasta(2) + ">s3\nMKTIIALSYIFCLVFA\n" + Fasta(61),
       "in:8: record 3 \"s3\": \"I\" in column 4 is not a base code" + kProteinHint},
      {Fasta(2) + ">s3\n--..--Z\n" + Fasta(61), "in:8: record 3 \"s3\": \"Z\" in column 7 is not a base code"},
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
    EXPECT_EQ(result.status, cli::kExitFailure) << message;
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
  EXPECT_EQ(result.status, cli::kExitFailure);
  EXPECT_NE(result.err.find("run.names.tsv"), std::string::npos) << result.err;
  EXPECT_EQ(FilesIn(dir.path()), (std::set<std::string>{"seqs.fa", "run.names.tsv"}));
  EXPECT_EQ(RunPrep({"-o", (dir / "seqs.fa").string(), (dir / "seqs.fa").string()}).status, cli::kExitFailure);
  EXPECT_EQ(RunPrep({(dir / "nothing.fa").string()}).err,
            "dorvu-prep: " + (dir / "nothing.fa").string() + ": cannot open the file: No such file or directory\n");
}

TEST(Prep, AnswersHelpVersionAndBadUsage) {
  EXPECT_EQ(RunPrep({"--version"}).out, "dorvu-prep 1.0.0\n");
  EXPECT_TRUE(RunPrep({"--help"})
                  .out.starts_with("Usage: dorvu-prep [--cardinality N] [--noise X] [--label KIND] "
                                   "[--bootstrap SEED]\n                  [--tree TREE [--prune]] [-o FILE] INPUT\n"));
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
                                                  {"--noise"},
                                                  {"--prune", "a.fa"},
                                                  {"--tree", "t.nwk", "--prune", "-o", "-", "a.fa"}};
  for (const auto& args : bad) {
    const Outcome result = RunPrep(args);
    EXPECT_EQ(result.status, cli::kExitUsage) << (args.empty() ? "" : args[0]);
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
    fasta += ">r" + std::to_string(k) + "\n" + std::string(static_cast<std::size_t>(k), 'A') + "CGTRYBDH\nVSWKM" +
             std::string(static_cast<std::size_t>(65 - k), 'g') + "\n";
  WriteFile(dir / "seqs.fa", fasta);
  ASSERT_EQ(
      RunPrep({"--cardinality=1", "--noise=0", "-o", (dir / "input.txt").string(), (dir / "seqs.fa").string()}).status,
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
    ASSERT_EQ(std::sscanf(line.c_str(), "6.%*d A:%lf_C:%lf_G:%lf_T:%lf", &given[0], &given[1], &given[2], &given[3]),
              4);
    const std::string prefix = "vertex 6." + std::to_string(k) + ": ";
    ASSERT_NE(log.find(prefix), std::string::npos) << prefix;
    ASSERT_EQ(std::sscanf(log.c_str() + log.find(prefix) + prefix.size(), "A:%lf C:%lf G:%lf T:%lf", &logged[0],
                          &logged[1], &logged[2], &logged[3]),
              4);
    for (std::size_t b = 0; b < 4; ++b) EXPECT_NEAR(logged[b], given[b], 1e-14) << prefix << b;
  }
}

// 64 records; odd ones "ACR", even ones "GTBN" (three positions each).
std::string SmallFasta() {
  std::string text;
  for (int k = 1; k <= 64; ++k) text += ">r" + std::to_string(k) + "\n" + (k % 2 == 1 ? "ACR" : "GTBN") + "\n";
  return text;
}

// Whole counts for every leaf, rows in leaf order or reversed; `first` is leaf 6.1's row.
std::string WholeTable(bool reversed, const std::string& first = "12\t12\t12\t0") {
  std::vector<std::string> rows;
  rows.push_back("6.1\t" + first + "\n");
  for (int k = 2; k <= 64; ++k)
    rows.push_back("6." + std::to_string(k) + "\t" + std::to_string(k) + "\t3\t0\t" + std::to_string(70 - k) + "\n");
  if (reversed) std::reverse(rows.begin(), rows.end());
  std::string text = "leaf\tA\tC\tG\tT\n";
  for (const auto& row : rows) text += row;
  return text;
}

// The input written to standard output for INPUT holding `content`.
Outcome PrepareText(const std::string& content, std::vector<std::string> args) {
  ScratchDir dir;
  WriteFile(dir / "in", content);
  args.insert(args.end(), {"-o", "-", (dir / "in").string()});
  return RunPrep(args);
}

TEST(Bootstrap, GivesTheSameBytesForTheSameSeedOnly) {
  const std::string fasta = Fasta(64, "ACGTRYN\nKMBDHV");
  const Outcome first = PrepareText(fasta, {"--bootstrap", "5"});
  ASSERT_EQ(first.status, 0) << first.err;
  EXPECT_EQ(PrepareText(fasta, {"--bootstrap=5"}).out, first.out);
  EXPECT_NE(PrepareText(fasta, {"--bootstrap", "6"}).out, first.out);
  EXPECT_NE(PrepareText(fasta, {}).out, first.out);
  EXPECT_EQ(PrepareText(fasta, {"--bootstrap", "18446744073709551615"}).status, 0);

  // Pinned: seed 1 on three-position records (worked out apart from this code
  // from the generator's raw output).
  const Outcome small = PrepareText(SmallFasta(), {"--cardinality=2", "--bootstrap", "1"});
  EXPECT_TRUE(
      small.out.starts_with("presupposed cardinality of scenario=2\nlevel of randomness=0.1\n"
                            "6.1 A:0.6666666666666666_C:0.3333333333333333_G:0_T:0\n"
                            "6.2 A:0_C:0.1111111111111111_G:0.4444444444444444_T:0.4444444444444444\n"
                            "6.3 A:0.3333333333333333_C:0.6666666666666666_G:0_T:0\n"))
      << small.out;
  EXPECT_TRUE(small.out.ends_with("\n6.64 A:0_C:0.1111111111111111_G:0.4444444444444444_T:0.4444444444444444\n"))
      << small.out;

  // A table is drawn in leaf order whatever the order of its rows, and a
  // whole count reads the same however it is written.
  const Outcome table = PrepareText(WholeTable(false), {"--bootstrap", "3"});
  ASSERT_EQ(table.status, 0) << table.err;
  EXPECT_EQ(PrepareText(WholeTable(true), {"--bootstrap", "3"}).out, table.out);
  EXPECT_EQ(PrepareText(WholeTable(true, "12.0\t1.2e1\t120e-1\t0"), {"--bootstrap", "3"}).out, table.out);
  EXPECT_NE(PrepareText(WholeTable(false), {}).out, table.out);
}

// The names table follows --label; a record's identity stays its first word.
TEST(Prep, NamesRecordsByTheChosenLabel) {
  std::string fasta =
      ">gi|2765658|emb|Z78533.1|CIZ78533 C.irapeanum 5.8S rRNA gene and ITS1 and ITS2 DNA\nACGT\n"
      ">gi|2765657|emb|Z78532.1|CCZ78532\t C.californicum \t\t5.8S  rRNA \t\nACGT\n"
      ">gi|2765656|emb|Z78531.1|CFZ78531\nACGT\n";
  for (int k = 4; k <= 64; ++k)
    fasta += ">gi|" + std::to_string(k) + "|emb|X" + std::to_string(k) + "|C" + std::to_string(k) +
             " C.irapeanum 5.8S rRNA gene and ITS1 and ITS2 DNA\nACGT\n";
  const std::vector<std::pair<std::vector<std::string>, std::string>> cases{
      {{},
       "6.1\tgi|2765658|emb|Z78533.1|CIZ78533\n6.2\tgi|2765657|emb|Z78532.1|CCZ78532\n"
       "6.3\tgi|2765656|emb|Z78531.1|CFZ78531\n6.4\tgi|4|emb|X4|C4\n"},
      {{"--label", "description"},
       "6.1\tC.irapeanum 5.8S rRNA gene and ITS1 and ITS2 DNA\n6.2\tC.californicum 5.8S rRNA\n"
       "6.3\tgi|2765656|emb|Z78531.1|CFZ78531\n6.4\tC.irapeanum 5.8S rRNA gene and ITS1 and ITS2 DNA\n"},
      {{"--label=field:4"}, "6.1\tZ78533.1\n6.2\tZ78532.1\n6.3\tZ78531.1\n6.4\tX4\n"},
      {{"--label", "field:5"}, "6.1\tCIZ78533\n6.2\tCCZ78532\n"},
  };
  for (const auto& [args, rows] : cases) {
    ScratchDir dir;
    WriteFile(dir / "seqs.fa", fasta);
    std::vector<std::string> all = args;
    all.insert(all.end(), {"-o", (dir / "input.txt").string(), (dir / "seqs.fa").string()});
    const Outcome result = RunPrep(all);
    ASSERT_EQ(result.status, 0) << result.err;
    const std::string names = ReadFile(dir / "input.names.tsv");
    EXPECT_TRUE(names.starts_with("leaf\tname\n" + rows)) << names;
    EXPECT_EQ(std::count(names.begin(), names.end(), '\t'), 65) << names;
  }
}

// Refusals of the label and bootstrap choices, as RefusesBadInputByNameLineAndRecord.
TEST(Prep, RefusesInputThatTheChoicesCannotUse) {
  struct Case {
    std::vector<std::string> args;
    std::string content;
    std::string message;
  };
  const std::string fraction = WholeTable(false, "1\t0.25\t0\t2");
  const std::vector<Case> cases{
      {{"--label", "field:4"},
       ">a|1|b|c\nACGT\n>a|2|b|c\nACGT\n>abc\nACGT\n",
       "in:5: record 3 \"abc\": the first word has 1 \"|\"-separated field, --label field:4 needs 4"},
      {{"--label", "field:4"},
       ">a|b|c\nACGT\n",
       "in:1: record 1 \"a|b|c\": the first word has 3 \"|\"-separated fields, --label field:4 needs 4"},
      {{"--label", "field:3"},
       ">sp|P00|x\nACGT\n>sp|P01|\nACGT\n",
       "in:3: record 2 \"sp|P01|\": field 3 of the first word is empty, and --label field:3 needs a name "
       "there"},
      {{"--label", "description"},
       Fasta(1) + ">s1 other words\nACGT\n",
       "in:4: record 2 \"s1\": the same name as record 1 (line 1)"},
      {{"--bootstrap", "1"},
       WholeTable(true, "1\t0.25\t0\t2"),
       "in:65: leaf 6.1: the bootstrap needs whole counts, not the frequency \"0.25\""},
      {{"--bootstrap", "1"}, Table(), "in:2: leaf 6.64: the bootstrap needs whole counts, not the frequency \"0.5\""},
      {{"--bootstrap", "1"},
       WholeTable(false, "4294967296\t1\t0\t0"),
       "in:2: leaf 6.1: the counts sum to more than 2^32 (4294967296), the most the bootstrap draws for one "
       "row"},
  };
  for (const auto& c : cases) {
    ScratchDir dir;
    WriteFile(dir / "in", c.content);
    fs::current_path(dir.path());
    std::vector<std::string> args = c.args;
    args.push_back("in");
    const Outcome result = RunPrep(args);
    fs::current_path(fs::temp_directory_path());
    EXPECT_EQ(result.status, cli::kExitFailure) << c.message;
    EXPECT_EQ(result.err, "dorvu-prep: " + c.message + "\n");
    EXPECT_EQ(FilesIn(dir.path()), (std::set<std::string>{"in"})) << c.message;
  }
  // Without --bootstrap a frequency is as good as a count.
  EXPECT_EQ(PrepareText(fraction, {}).status, 0);
}

TEST(Prep, RefusesBadLabelsAndSeedsByTheirText) {
  const std::string seedNeeded = "--bootstrap needs a whole number from 0 to 18446744073709551615, not ";
  const std::string labelNeeded = "--label needs word, description or field:N with N from 1, not ";
  const std::vector<std::pair<std::vector<std::string>, std::string>> cases{
      {{"--bootstrap", "x"}, seedNeeded + "\"x\""},
      {{"--bootstrap", "-1"}, seedNeeded + "\"-1\""},
      {{"--bootstrap="}, seedNeeded + "\"\""},
      {{"--bootstrap", "18446744073709551616"}, seedNeeded + "\"18446744073709551616\""},
      {{"--label", "Word"}, labelNeeded + "\"Word\""},
      {{"--label", "field:0"}, labelNeeded + "\"field:0\""},
      {{"--label", "field:"}, labelNeeded + "\"field:\""},
      {{"--label", "field:2x"}, labelNeeded + "\"field:2x\""},
  };
  for (const auto& [args, message] : cases) {
    std::vector<std::string> all = args;
    all.push_back("a.fa");
    const Outcome result = RunPrep(all);
    EXPECT_EQ(result.status, cli::kExitUsage) << message;
    EXPECT_EQ(result.err, "dorvu-prep: " + message + "\nTry \"dorvu-prep --help\".\n");
  }
  EXPECT_EQ(RunPrep({"a.fa", "--bootstrap"}).err,
            "dorvu-prep: option --bootstrap needs a number SEED\nTry \"dorvu-prep --help\".\n");
  EXPECT_EQ(RunPrep({"--label", "x", "--help"}).status, 0);
}

TEST(Prep, WarnsOfACardinalityAboveWhatDorvuSearches) {
  const std::vector<std::pair<std::string, std::string>> cases{
      {"20", ""},
      {"21",
       "dorvu-prep: warning: --cardinality 21 is above 20, the most dorvu searches; the run will be "
       "limited to 20\n"},
      {"25",
       "dorvu-prep: warning: --cardinality 25 is above 20, the most dorvu searches; the run will be "
       "limited to 20\n"},
  };
  for (const auto& [cardinality, warning] : cases) {
    ScratchDir dir;
    WriteFile(dir / "seqs.fa", Fasta(64));
    const Outcome result =
        RunPrep({"--cardinality", cardinality, "-o", (dir / "in.txt").string(), (dir / "seqs.fa").string()});
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.err, warning);
    EXPECT_TRUE(ReadFile(dir / "in.txt").starts_with("presupposed cardinality of scenario=" + cardinality + "\n"));
    EXPECT_EQ(FilesIn(dir.path()), (std::set<std::string>{"seqs.fa", "in.txt", "in.names.tsv"}));
  }
}

}  // namespace
}  // namespace dorvu::prep
