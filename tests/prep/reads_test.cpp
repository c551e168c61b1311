// The readers of FASTA and FASTQ: the fast tally against the plain count, the
// quality filter against a count base by base, lines split across the
// reading buffer, FASTQ records wrapped over several lines, the refusals of
// malformed FASTQ records, and gzip, which changes no byte of the output.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "prep/composition.h"
#include "prep/records.h"
#include "support/files.h"
#include "support/prep_files.h"
#include "support/prep_runs.h"

namespace dorvu::prep {
namespace {

using test::Gzip;
using test::GzipMembers;

// Random text of base codes, skipped bytes and, where `bad` allows, a byte of any value.
std::string RandomBases(std::mt19937& random, std::size_t length, bool bad) {
  const std::string codes = "ACGTUacgtuRYSWKMBDHVrysN-.? \t\r";
  std::string text;
  for (std::size_t i = 0; i < length; ++i)
    text += bad && random() % 200 == 0 ? static_cast<char>(random() % 256) : codes[random() % codes.size()];
  return text;
}

TEST(CodeTally, CountsAsThePlainCountOnRandomText) {
  std::mt19937 random(7);
  for (int trial = 0; trial < 3000; ++trial) {
    const std::string text = RandomBases(random, random() % 40, true);
    CodeCounts plain{};
    const auto bad = CountCodes(text, plain);
    CodeTally tally;
    tally.Add(text);
    ASSERT_EQ(tally.HasUnknown(), bad.has_value()) << text;
    if (!bad) {
      EXPECT_EQ(tally.Take(), plain) << text;
    }
  }
}

// 64 reads of random bases and qualities (some of them too low for any
// threshold), read whole and through buffers that split every line; each
// record must hold the positions whose quality reaches the minimum, counted
// one by one.
TEST(Fastq, CountsOnlyTheBasesOfTheMinimumQuality) {
  std::mt19937 random(11);
  for (int trial = 0; trial < 40; ++trial) {
    const int minQuality = static_cast<int>(random() % 45);
    std::string text;
    std::vector<CodeCounts> expected(kLeafCount);
    for (std::size_t k = 0; k < kLeafCount; ++k) {
      std::string bases = RandomBases(random, 1 + random() % 90, false);
      // A CR ends the line; the first base is always counted.
      std::replace(bases.begin(), bases.end(), '\r', 'N');
      bases[0] = 'A';
      std::string qualities;
      for (std::size_t i = 0; i < bases.size(); ++i)
        qualities += static_cast<char>(kQualityOffset + (i == 0 ? minQuality : random() % (kMaxQuality + 1)));
      for (std::size_t i = 0; i < bases.size(); ++i)
        if (qualities[i] - kQualityOffset >= minQuality) CountCodes(bases.substr(i, 1), expected[k]);
      const std::string title = "read" + std::to_string(k) + " x";
      text += "@" + title + "\n" + bases + "\n+" + title + "\n" + qualities + "\n";
    }
    for (const std::size_t buffer : {kLineBufferBytes, std::size_t{1}, std::size_t{7}, std::size_t{64}}) {
      std::istringstream in(text);
      ReadOptions options;
      options.minQuality = minQuality;
      options.bufferBytes = buffer;
      const std::vector<Record> records = ReadRecords(in, options);
      for (std::size_t k = 0; k < kLeafCount; ++k)
        ASSERT_EQ(records[k].positions, expected[k]) << "record " << k << " buffer " << buffer;
    }
  }
}

// What reading gives: the records' names, lines and positions, or the
// refusal's line and text. The note that a record looks like a protein
// weighs the letters in the buffer, the whole line only when it fits, so it
// is left out.
std::string Outcome(const std::string& text, std::size_t buffer) {
  std::istringstream in(text);
  ReadOptions options;
  options.bufferBytes = buffer;
  try {
    std::string out;
    for (const Record& record : ReadRecords(in, options)) {
      out += record.label + "\t" + std::to_string(record.line) + "\t";
      for (const auto count : record.positions) out += std::to_string(count) + " ";
      out += "\n";
    }
    return out;
  } catch (const cli::LocatedError& error) {
    const std::string note = "; the record looks like a protein, and dorvu-prep reads DNA or RNA";
    const std::string problem = error.problem.substr(0, error.problem.rfind(note));
    return std::to_string(error.line) + ": " + problem;
  }
}

// FASTA with lines of up to 300 bytes, blank lines, CR LF and the odd bad
// byte or empty record: any buffer, however small, gives what the whole
// lines give.
TEST(LineReader, GivesTheSameRecordsWhereverTheBufferSplitsTheLines) {
  std::mt19937 random(5);
  for (int trial = 0; trial < 60; ++trial) {
    std::string text = random() % 4 == 0 ? "\n \r\n" : "";
    for (int k = 1; k <= 64; ++k) {
      text += ">r" + std::to_string(k) + (random() % 3 == 0 ? " some words\r\n" : "\n");
      for (unsigned line = random() % 4; line > 0; --line)
        text += RandomBases(random, random() % 300, trial % 3 == 0) + (random() % 5 == 0 ? "\r\n" : "\n");
    }
    if (random() % 2 == 0) text.pop_back();
    const std::string whole = Outcome(text, kLineBufferBytes);
    for (const std::size_t buffer : {1, 2, 3, 13, 100})
      ASSERT_EQ(Outcome(text, buffer), whole) << "trial " << trial << " buffer " << buffer;
  }
}

// Each malformed input: the line and the message, exactly.
TEST(Fastq, RefusesMalformedRecordsByLineAndRecord) {
  const std::string shape =
      "; a FASTQ record is \"@\" and the name, the bases on one line or more, a line starting with \"+\", and "
      "one quality per base on as many lines as they take";
  std::string good;
  for (int k = 1; k <= 64; ++k) good += "@r" + std::to_string(k) + "\nACGTN\n+\nIIII#\n";
  const auto replaced = [&good](const std::string& from, const std::string& to) {
    std::string text = good;
    return text.replace(text.find(from), from.size(), to);
  };
  const std::vector<std::pair<std::string, std::string>> cases{
      {replaced("@r2\nACGTN\n+\n", "@r2\nACGTN\nIIII#\n"), "7: record 2 \"r2\": no \"+\" line after the bases" + shape},
      {replaced("@r3\nACGTN\n+\nIIII#", "@r3\nACGTN\n+\nIII"),
       "13: record 3 \"r3\": 6 qualities for 5 bases (3 before this line, which counts as qualities though it starts "
       "with \"@\")"},
      {replaced("@r3\nACGTN\n+\nIIII#", "@r3\nACGTN\n+\nIII\nI#I"), "13: record 3 \"r3\": 6 qualities for 5 bases"},
      {replaced("@r3\nACGTN\n+\nIIII#", "@r3\nACGTN\n+\n@@@@@@"), "12: record 3 \"r3\": 6 qualities for 5 bases"},
      {replaced("@r3\nACGTN\n+\n", "@r3\nACGTN\n+r4\n"),
       "11: record 3 \"r3\": the \"+\" line repeats the title \"r4\", not the record's own title \"r3\""},
      {good.substr(0, good.size() - 3),
       "256: record 64 \"r64\": the file ends after 3 of the record's 5 qualities" + shape},
      {replaced("@r5\nACGTN\n", "@r5\nAC\nGZN\n"), "19: record 5 \"r5\": \"Z\" in column 2 is not a base code"},
      // Wrapped bases are checked line by line, before the qualities are counted.
      {replaced("@r5\nACGTN\n+\nIIII#", "@r5\nAZ\nGTN\n+\nIIIIII"),
       "18: record 5 \"r5\": \"Z\" in column 2 is not a base code"},
      {replaced("@r5\nACGTN\n", "@r5\nAC\n@GTN\n"), "19: record 5 \"r5\": no \"+\" line after the bases" + shape},
      {replaced("@r5\nACGTN\n+\nIIII#", "@r5\nACGTN\n+\nI\nI I\nI"),
       "21: record 5 \"r5\": the byte 0x20 in column 2 is not a quality (\"!\" to \"~\", Phred scores 0 to 93 plus "
       "33)"},
      {replaced("@r3\nACGTN\n+\nIIII#", "@r3\nAC\n+\nIIII#"), "12: record 3 \"r3\": 5 qualities for 2 bases"},
      {good.substr(0, good.size() - 6), "255: record 64 \"r64\": the file ends before the record's qualities" + shape},
      {good.substr(0, good.size() - 8), "254: record 64 \"r64\": the file ends before the record's \"+\" line" + shape},
      {good.substr(0, good.rfind("@r64")) + "@r64\n",
       "253: record 64 \"r64\": the file ends before the record's bases" + shape},
      {replaced("IIII#\n@r5\n", "IIII#\nr5\n"),
       "17: after record 4 \"r4\", a line that does not start with \"@\"" + shape},
      {replaced("@r5\nACGTN", "@r5\nACGTZ"), "18: record 5 \"r5\": \"Z\" in column 5 is not a base code"},
      {replaced("@r5\nACGTN\n+\nIIII#", "@r5\nACGTN\n+\nII I#"),
       "20: record 5 \"r5\": the byte 0x20 in column 3 is not a quality (\"!\" to \"~\", Phred scores 0 to "
       "93 plus 33)"},
      {replaced("@r5\nACGTN", "@r5\nNNNNN"), "17: record 5 \"r5\": no base to count (only N, gaps or nothing)"},
      {replaced("@r5\n", "@ \n"), "17: record 5 has no name after \"@\""},
      {good + "\n\n@r65\nA\n+\nI\n", "259: record 65 \"r65\": a record too many; dorvu needs exactly 64, one per leaf"},
  };
  for (const auto& [text, message] : cases) {
    for (const std::size_t buffer : {kLineBufferBytes, std::size_t{3}}) EXPECT_EQ(Outcome(text, buffer), message);
  }
  // CR LF line ends and blank lines after the records are fine.
  std::string loose = good + "\n \n";
  for (std::size_t at = loose.find('\n'); at != std::string::npos; at = loose.find('\n', at + 2))
    loose.insert(at, 1, '\r');
  EXPECT_EQ(Outcome(loose, 5), Outcome(good, kLineBufferBytes));
}

// Records whose bases and qualities wrap at various widths, some quality
// lines starting with "@" or "+" and some "+" lines repeating the title:
// the same positions as the records on one line each, through any buffer.
TEST(Fastq, WrappedRecordsCountAsUnwrapped) {
  struct Case {
    std::string bases, qualities;
    std::size_t width;
  };
  const std::vector<Case> cases{
      {"ACGTACGTAC", "IIIII@@@@@", 5},  // the second quality line starts with "@"
      {"ACGTACGTAC", "III#+#I+II", 4},  // and here with "+"
      {"ACGTNRYKM", "@I#+@I#+@", 1},    // a line per byte
      {"GATTACA", "@#I#I#I", 3},        // the first quality line starts with "@"
      {"ACGTTGCA", "+IIII###", 7},      // and here with "+"
      {"ACGTTGCA", "II##II##", 8},      // not wrapped
      {"ACGTTGCA", "II##II##", 20},
  };
  std::string wrapped, plain;
  for (std::size_t k = 0; k < kLeafCount; ++k) {
    const Case& c = cases[k % cases.size()];
    const std::string title = std::string("r").append(std::to_string(k)).append(" some words");
    const std::string plus = k % 2 == 0 ? "+\n" : "+" + title + "\n";
    std::string bases, qualities;
    for (std::size_t at = 0; at < c.bases.size(); at += c.width) {
      bases += c.bases.substr(at, c.width) + "\n";
      qualities += c.qualities.substr(at, c.width) + "\n";
    }
    wrapped += "@" + title + "\n" + bases + plus + qualities;
    plain += "@" + title + "\n" + c.bases + "\n" + plus + c.qualities + "\n";
  }
  const auto positions = [](const std::string& text, std::size_t buffer) {
    std::istringstream in(text);
    ReadOptions options;
    options.minQuality = 30;  // "@" is 31, "+" 10 and "#" 2
    options.bufferBytes = buffer;
    std::vector<CodeCounts> all;
    for (const Record& record : ReadRecords(in, options)) all.push_back(record.positions);
    return all;
  };
  const std::vector<CodeCounts> expected = positions(plain, kLineBufferBytes);
  for (const std::size_t buffer : {kLineBufferBytes, std::size_t{3}}) EXPECT_EQ(positions(wrapped, buffer), expected);
}

TEST(CompressedInput, GivesTheBytesOfThePlainFile) {
  std::string fastq, table = "leaf\tA\tC\tG\tT\n";
  for (int k = 1; k <= 64; ++k) {
    // The first base's quality is 40, the others' from 0 to 39.
    fastq += "@q" + std::to_string(k) + "\nACGTN" + std::string(static_cast<std::size_t>(k), 'G') + "\n+\nI" +
             std::string(static_cast<std::size_t>(k) + 4, static_cast<char>('!' + k % 40)) + "\n";
    table += "6." + std::to_string(k) + "\t" + std::to_string(k) + "\t3\t0\t7\n";
  }
  const std::vector<std::pair<std::string, std::vector<std::string>>> inputs{
      {test::Fasta(test::RandomSequences(1)), {"--bootstrap", "4"}},
      {fastq, {"--min-quality", "20"}},
      {table, {"--bootstrap", "4"}},
  };
  for (const auto& [plain, args] : inputs) {
    for (const std::string& packed : {Gzip(plain), Gzip(plain, 9), GzipMembers(plain, 1000), GzipMembers(plain, 7)}) {
      test::ScratchDir dir;
      test::WriteFile(dir / "plain", plain);
      test::WriteFile(dir / "packed.gz", packed);
      for (const std::vector<std::string>& options : {std::vector<std::string>{}, args}) {
        const auto run = [&](const std::string& file) {
          std::vector<std::string> all = options;
          all.insert(all.end(), {"-o", "-", (dir / file).string()});
          return test::RunPrep(all);
        };
        const test::PrepOutcome expected = run("plain");
        ASSERT_EQ(expected.status, 0) << expected.err;
        EXPECT_EQ(run("packed.gz").out, expected.out) << plain.substr(0, 20);
      }
    }
  }
}

}  // namespace
}  // namespace dorvu::prep
