// Sample sheets as the user gives them to dorvu-prep: a sheet of one-record
// files, plain or gzipped, gives the bytes of the one FASTA, a sample split
// into records or reads gives the same, and the refusals name the sheet's line
// and the file.
#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "prep/command_line.h"
#include "support/files.h"
#include "support/prep_files.h"
#include "support/prep_runs.h"

namespace dorvu::prep {
namespace {

namespace fs = std::filesystem;
using test::Gzip;
using test::ReadFile;
using test::ScratchDir;
using test::WriteFile;

using Outcome = test::PrepOutcome;
using test::RunPrep;

// The prefix and the number: "s" and 3 give "s3".
std::string Numbered(std::string_view prefix, int number) {
  std::string text(prefix);
  return text.append(std::to_string(number));
}

// How a sample's file is written: its sequence as one FASTA record, in
// records of a few bases each, or as FASTQ reads; plain or gzipped.
enum class Layout { kOneRecord, kRecords, kReads };

std::string SampleFile(const std::string& name, const std::string& sequence, Layout layout, std::mt19937& random) {
  if (layout == Layout::kOneRecord) return ">" + name + "\n" + sequence + "\n";
  std::string text;
  for (std::size_t at = 0, part = 1; at < sequence.size(); ++part) {
    const std::size_t length = std::min<std::size_t>(1 + random() % 40, sequence.size() - at);
    const std::string piece = sequence.substr(at, length);
    at += length;
    if (layout == Layout::kRecords)
      text += ">contig" + std::to_string(part) + "\n" + piece + "\n";
    else
      text += "@read" + std::to_string(part) + "\n" + piece + "\n+\n" + std::string(length, 'I') + "\n";
  }
  return text;
}

// The files of the sheet, the sheet in reverse leaf order, and the one
// FASTA: the same input and the same names on any number of threads, with
// and without a bootstrap replicate.
TEST(SampleSheet, GivesTheBytesOfTheOneFastaForm) {
  const std::vector<std::string> sequences = test::RandomSequences(2);
  ScratchDir dir;
  WriteFile(dir / "all.fa", test::Fasta(sequences));
  std::mt19937 random(3);
  for (const Layout layout : {Layout::kOneRecord, Layout::kRecords, Layout::kReads}) {
    const std::string folder = "layout" + std::to_string(static_cast<int>(layout));
    fs::create_directory(dir / folder);
    std::string sheet = "leaf\tname\tpath\n";
    for (int k = 64; k >= 1; --k) {
      const std::string name = Numbered("r", k);
      const std::string file = k % 2 == 0 ? name + ".gz" : name + ".txt";
      const std::string text = SampleFile(name, sequences[static_cast<std::size_t>(k - 1)], layout, random);
      WriteFile(dir / folder / file, k % 2 == 0 ? Gzip(text) : text);
      sheet += "6." + std::to_string(k) + "\t" + name + "\t" + file + "\n";
    }
    WriteFile(dir / folder / "samples.tsv", sheet);
    for (const std::vector<std::string>& options : {std::vector<std::string>{}, {"--bootstrap", "9"}}) {
      std::vector<std::string> fasta = options;
      fasta.insert(fasta.end(), {"-o", (dir / "fasta.txt").string(), (dir / "all.fa").string()});
      ASSERT_EQ(RunPrep(fasta).status, 0);
      for (const std::string threads : {"1", "3", "64"}) {
        std::vector<std::string> args = options;
        args.insert(args.end(), {"--threads", threads, "-o", (dir / "sheet.txt").string(), "--samples",
                                 (dir / folder / "samples.tsv").string()});
        const Outcome result = RunPrep(args);
        ASSERT_EQ(result.status, 0) << result.err;
        EXPECT_EQ(ReadFile(dir / "sheet.txt"), ReadFile(dir / "fasta.txt")) << folder << " " << threads;
        EXPECT_EQ(ReadFile(dir / "sheet.names.tsv"), ReadFile(dir / "fasta.names.tsv")) << folder;
      }
    }
  }
}

std::string Replaced(std::string text, const std::string& from, const std::string& to) {
  return text.replace(text.find(from), from.size(), to);
}

// Each refused sheet, on 1 and on 4 threads: status 1, this message exactly,
// and no file written. The files s1.fa to s64.fa hold one record each unless
// the case gives other bytes; "dir" is a folder.
TEST(SampleSheet, RefusesBadSheetsAndFilesByLine) {
  struct Case {
    std::string sheet;
    std::vector<std::pair<std::string, std::string>> files;
    std::string message;
    std::vector<std::string> args = {};
  };
  std::string good = "leaf\tname\tpath\n";
  for (int k = 1; k <= 64; ++k)
    good += "6." + std::to_string(k) + "\tn" + std::to_string(k) + "\ts" + std::to_string(k) + ".fa\n";
  const std::string fastqShape =
      "; a FASTQ record is \"@\" and the name, the bases on one line or more, a line starting with \"+\", and "
      "one quality per base on as many lines as they take";
  const std::vector<Case> cases{
      {"", {}, "samples.tsv: the file is empty"},
      {Replaced(good, "path", "file"),
       {},
       "samples.tsv:1: the first line must be the header \"leaf<TAB>name<TAB>path\""},
      {Replaced(good, "\tn3\t", "\t"), {}, "samples.tsv:4: expected 3 tab-separated fields (leaf name path), found 2"},
      {Replaced(good, "6.3\t", "6.65\t"), {}, "samples.tsv:4: \"6.65\" is not a leaf (6.1 to 6.64)"},
      {Replaced(good, "6.9\t", "6.3\t"), {}, "samples.tsv:10: leaf 6.3 is given twice (first on line 4)"},
      {Replaced(good, "6.64\tn64\ts64.fa\n", ""),
       {},
       "samples.tsv: leaf 6.64 is missing; the sheet needs one row for each leaf 6.1 to 6.64"},
      {Replaced(good, "\tn2\t", "\t\t"), {}, "samples.tsv:3: leaf 6.2 has no name"},
      {Replaced(good, "\ts2.fa", "\t"), {}, "samples.tsv:3: leaf 6.2 has no path"},
      {Replaced(good, "\ts7.fa", "\t./x/../s1.fa"),
       {},
       "samples.tsv:8: leaf 6.7: ./x/../s1.fa is the file of leaf 6.1 too (line 2); one file for two leaves "
       "is "
       "almost always a mistake"},
      {Replaced(good, "s2.fa", "none.fa"),
       {},
       "samples.tsv:3: leaf 6.2: none.fa: cannot open the file: No such file or directory"},
      {Replaced(good, "s2.fa", "dir"), {}, "samples.tsv:3: leaf 6.2: dir: this is a directory"},
      {good,
       {{"s2.fa", ">c1\nNN--\n>c2\n\n"}},
       "samples.tsv:3: leaf 6.2: s2.fa: no base to count in the file (only N, gaps or nothing)"},
      {good, {{"s2.fa", "\n\n"}}, "samples.tsv:3: leaf 6.2: s2.fa: the file is empty"},
      {good,
       {{"s2.fa", ">c1\nACGT\n>c2\nAZ\n"}},
       "samples.tsv:3: leaf 6.2: s2.fa:4: record 2 \"c2\": \"Z\" in column 2 is not a base code"},
      {Replaced(good, "s3.fa", "s3.fq.gz"),
       {{"s3.fq.gz", Gzip("@q1\nAC\n+\nII\n@q2\nAC\nII\n")}},
       "samples.tsv:4: leaf 6.3: s3.fq.gz:7: record 2 \"q2\": no \"+\" line after the bases" + fastqShape},
      {good,
       {{"s2.fa", "leaf\tA\tC\tG\tT\n"}},
       "samples.tsv:3: leaf 6.2: s2.fa:1: neither FASTA (a first line starting with \">\") nor FASTQ "
       "(\"@\")"},
      {good,
       {{"s2.fa", Gzip(">c\nACGT\n").substr(0, 12)}},
       "samples.tsv:3: leaf 6.2: s2.fa: the compressed data end too early; the file is incomplete"},
      {good,
       {{"s4.fa", "@q\nACGT\n+\n####\n"}},
       "samples.tsv:5: leaf 6.4: s4.fa: no base to count in the file (only N, gaps, bases of a quality below "
       "20 or nothing)",
       {"--min-quality", "20"}},
      // Of two faults, the one of the sheet's first line, whatever the order of reading.
      {Replaced(good, "s5.fa", "gone.fa"),
       {{"s60.fa", ">x\nACGTZ\n"}},
       "samples.tsv:6: leaf 6.5: gone.fa: cannot open the file: No such file or directory"},
      {good,
       {{"s9.fa", ">x\nE\n"}, {"s3.fa", ">y\nJ\n"}},
       "samples.tsv:4: leaf 6.3: s3.fa:2: record 1 \"y\": \"J\" in column 1 is not a base code"},
  };
  for (const Case& c : cases) {
    for (const std::string threads : {"1", "4"}) {
      ScratchDir dir;
      for (int k = 1; k <= 64; ++k) WriteFile(dir / (Numbered("s", k) + ".fa"), Numbered(">c", k) + "\nACGT\n");
      for (const auto& [name, bytes] : c.files) WriteFile(dir / name, bytes);
      fs::create_directory(dir / "dir");
      WriteFile(dir / "samples.tsv", c.sheet);
      fs::current_path(dir.path());
      std::vector<std::string> args = c.args;
      args.insert(args.end(), {"--threads", threads, "--samples", "samples.tsv"});
      const Outcome result = RunPrep(args);
      fs::current_path(fs::temp_directory_path());
      EXPECT_EQ(result.status, cli::kExitFailure) << c.message;
      EXPECT_EQ(result.err, "dorvu-prep: " + c.message + "\n") << threads;
      EXPECT_FALSE(fs::exists(dir / "input.txt") || fs::exists(dir / "input.names.tsv")) << c.message;
    }
  }
}

TEST(SampleSheet, RefusesBadChoicesOfTheCommandLine) {
  const std::vector<std::pair<std::vector<std::string>, std::string>> cases{
      {{"--threads", "0", "a.fa"}, "--threads needs a whole number from 1 to 2147483647, not \"0\""},
      {{"--threads=two", "a.fa"}, "--threads needs a whole number from 1 to 2147483647, not \"two\""},
      {{"--min-quality", "94", "a.fa"}, "--min-quality needs a whole number from 0 to 93, not \"94\""},
      {{"--min-quality", "-1", "a.fa"}, "--min-quality needs a whole number from 0 to 93, not \"-1\""},
      {{"--samples", "s.tsv", "a.fa"}, "give INPUT or --samples SHEET, not both (found \"a.fa\")"},
      {{"--noise", "0"}, "no INPUT or --samples SHEET given"},
      {{"a.fa", "--samples"}, "option --samples needs a SHEET"},
  };
  for (const auto& [args, message] : cases) {
    const Outcome result = RunPrep(args);
    EXPECT_EQ(result.status, cli::kExitUsage) << message;
    EXPECT_EQ(result.err, "dorvu-prep: " + message + "\nTry \"dorvu-prep --help\".\n");
  }
}

}  // namespace
}  // namespace dorvu::prep
