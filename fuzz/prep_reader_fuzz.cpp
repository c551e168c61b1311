// Fuzz target: dorvu-prep's readers. The first byte picks what the rest is:
//   0  a whole INPUT: FASTA, FASTQ or a table of 64 leaves;
//   1  one file of a sample sheet, FASTA or FASTQ with any number of records;
//   2  a sample sheet, in a folder with the files s1.fa to s64.fa and a few
//      others of every kind;
//   3  a whole INPUT in the tree form (--tree): records or table rows of any
//      number matched by name to the tips of a fixed small tree, pruned when
//      the second byte's bit 1 is set.
// The second byte gives the minimum quality and a small reading buffer.
// Every reading must give the same records, or the same refusal, through the
// default buffer and the small one (which splits the lines), from the bytes
// gzipped in one member and in several, and for a sheet on 1 and on 3
// threads; records that are read must be 64 compositions that sum to 1 (in
// the tree form, one per tip of the tree, which must read back the same from
// its Newick text and keep only tips of the fixed tree).
#include <zlib.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_support.h"
#include "prep/input_file.h"
#include "prep/records.h"
#include "prep/sample_sheet.h"
#include "prep/tree_form.h"
#include "tree/newick.h"

namespace {

using dorvu::cli::LocatedError;
using dorvu::fuzz::Fail;
using dorvu::prep::ReadOptions;
using dorvu::prep::Record;

// One gzip member holding `bytes`.
std::string Gzip(std::string_view bytes) {
  z_stream stream{};
  if (deflateInit2(&stream, 1, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY) != Z_OK) Fail("deflateInit2");
  std::string out(deflateBound(&stream, bytes.size()), '\0');
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data()));
  stream.avail_in = static_cast<uInt>(bytes.size());
  stream.next_out = reinterpret_cast<Bytef*>(out.data());
  stream.avail_out = static_cast<uInt>(out.size());
  if (deflate(&stream, Z_FINISH) != Z_STREAM_END) Fail("deflate");
  out.resize(stream.total_out);
  deflateEnd(&stream);
  return out;
}

void CheckRecords(const std::vector<Record>& records, std::size_t count = 64) {
  if (records.size() != count) Fail("not one record per leaf");
  for (const Record& record : records) {
    double sum = 0;
    for (const double share : record.shares) {
      if (!(share >= 0 && share <= 1)) Fail("a share outside [0, 1]");
      sum += share;
    }
    if (std::fabs(sum - 1) > 1e-12) Fail("shares that do not sum to 1");
    if (record.label.empty()) Fail("an empty name");
  }
}

// A refusal as text to compare. The note that a record looks like a protein
// weighs the letters of the line in the buffer, which is the whole line only
// when the line fits.
std::string Refusal(const LocatedError& error) {
  std::string text = "refused " + dorvu::cli::Located("FILE", error);
  const std::string note = "; the record looks like a protein, and dorvu-prep reads DNA or RNA";
  if (text.ends_with(note)) text.resize(text.size() - note.size());
  return text;
}

// What a reading gives, as text to compare: the files written, or the refusal.
std::string Outcome(const std::function<std::vector<Record>()>& read) {
  try {
    const std::vector<Record> records = read();
    CheckRecords(records);
    std::string text = dorvu::prep::InputText("3", "0.1", records) + dorvu::prep::NamesTable(records);
    for (const Record& record : records)
      for (const auto count : record.positions) text += std::to_string(count) + " ";
    return text;
  } catch (const LocatedError& error) {
    return Refusal(error);
  }
}

// The fixed tree of the tree form: lengths that add, one that does not
// (1e308 twice), and a quoted tip.
const dorvu::NewickTree& FixedTree() {
  static const dorvu::NewickTree tree =
      dorvu::ParseNewick("((a:1,b:2)x:0.5,(c:1,'d e':3)y:1e-1,(f,g:1e308)z:1e308,h)r;");
  return tree;
}

// What the tree form gives from records read by name, as text to compare.
std::string TreeOutcome(const std::function<std::vector<Record>()>& read, bool prune) {
  try {
    std::vector<Record> records = read();
    const auto match = dorvu::prep::MatchTips(FixedTree(), std::move(records), prune, {"TREE", "FILE", "the records"});
    CheckRecords(match.records, static_cast<std::size_t>(match.tree.tipCount));
    const std::string newick = dorvu::NewickText(match.tree);
    if (!(dorvu::ParseNewick(newick) == match.tree)) Fail("a pruned tree that does not read back the same");
    const std::vector<std::string> all = dorvu::TipNames(FixedTree());
    for (const std::string& tip : dorvu::TipNames(match.tree))
      if (std::find(all.begin(), all.end(), tip) == all.end()) Fail("a tip that is not in the tree");
    return dorvu::prep::TreeInputText("3", "0.1", match.tree, match.records) + newick;
  } catch (const LocatedError& error) {
    return Refusal(error);
  } catch (const dorvu::prep::MatchRefused& refused) {
    return "refused " + refused.text;
  }
}

std::string SampleOutcome(const std::function<dorvu::prep::CodeCounts()>& count) {
  try {
    std::string text;
    for (const auto positions : count()) text += std::to_string(positions) + " ";
    return text;
  } catch (const LocatedError& error) {
    return Refusal(error);
  }
}

// The folder of the sheets: s1.fa to s64.fa of one record each, and a few
// files to be faulty.
const std::filesystem::path& SheetFolder() {
  static const std::filesystem::path folder = [] {
    const auto dir = dorvu::fuzz::ScratchDirectory() / "sheet";
    std::filesystem::create_directories(dir / "folder");
    for (int k = 1; k <= 64; ++k)
      dorvu::fuzz::WriteWholeFile(dir / ("s" + std::to_string(k) + ".fa"),
                                  ">c" + std::to_string(k) + "\nACGT" + std::string(static_cast<std::size_t>(k), 'G'));
    dorvu::fuzz::WriteWholeFile(dir / "r.fq.gz", Gzip("@r1\nACGTN\n+\n#5?I!\n@r2\nAC\n+\nII\n"));
    dorvu::fuzz::WriteWholeFile(dir / "n.fa", ">n\nNNNN\n");
    dorvu::fuzz::WriteWholeFile(dir / "bad.fa", ">b\nACGTZ\n");
    dorvu::fuzz::WriteWholeFile(dir / "empty.fa", "");
    return dir;
  }();
  return folder;
}

// All the same; but a reading that stops at damaged compressed data may
// first meet a fault in the bytes decompressed before it, and where depends
// on how much is read at once: then all must be refused.
void CheckSameOutcomes(const std::vector<std::string>& outcomes) {
  const auto damaged = [](const std::string& outcome) {
    return outcome.starts_with("refused ") && outcome.find("compressed data") != std::string::npos;
  };
  const bool anyDamaged = std::any_of(outcomes.begin(), outcomes.end(), damaged);
  for (const auto& outcome : outcomes) {
    if (anyDamaged ? !outcome.starts_with("refused ") : outcome != outcomes.front())
      Fail("a reading differs with the buffer, the compression or the threads");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  const int mode = data[0] % 4;
  ReadOptions small;
  small.minQuality = data[1] % 48;
  small.bufferBytes = 1 + data[1] / 48;
  small.forBootstrap = (data[1] & 1) != 0;
  small.byName = mode == 3;
  ReadOptions whole = small;
  whole.bufferBytes = dorvu::prep::kLineBufferBytes;
  const std::string_view bytes(reinterpret_cast<const char*>(data + 2), size - 2);

  if (mode == 2) {
    // The sheet's paths stay in its folder: no device or other file can be read.
    if (bytes.find('/') != std::string_view::npos) return 0;
    const std::string sheet = (SheetFolder() / "samples.tsv").string();
    dorvu::fuzz::WriteWholeFile(sheet, bytes);
    const auto samples = [&sheet](const ReadOptions& options, int threads) {
      return [&sheet, options, threads] {
        return dorvu::prep::CountSamples(dorvu::prep::ReadSampleSheet(sheet, options), options, threads);
      };
    };
    CheckSameOutcomes({Outcome(samples(whole, 1)), Outcome(samples(small, 3))});
    return 0;
  }

  // The bytes plain, in one gzip member and in two split where data[1] says.
  const auto& dir = dorvu::fuzz::ScratchDirectory();
  const std::string plain = (dir / "plain").string();
  const std::string packed = (dir / "packed.gz").string();
  const std::string members = (dir / "members.gz").string();
  const std::size_t split = bytes.size() * data[1] / 256;
  dorvu::fuzz::WriteWholeFile(plain, bytes);
  dorvu::fuzz::WriteWholeFile(packed, Gzip(bytes));
  dorvu::fuzz::WriteWholeFile(members, Gzip(bytes.substr(0, split)) + Gzip(bytes.substr(split)));
  // Plain bytes that are gzip are read decompressed; their gzip is not.
  const bool compressed = bytes.starts_with("\x1f\x8b");

  std::vector<std::string> outcomes;
  for (const auto& file : {plain, packed, members}) {
    if (compressed && file != plain) continue;
    for (const ReadOptions& options : {whole, small}) {
      if (mode == 0) {
        outcomes.push_back(Outcome([&] { return dorvu::prep::ReadRecordsFile(file, options); }));
      } else if (mode == 3) {
        const bool prune = (data[1] & 2) != 0;
        outcomes.push_back(TreeOutcome([&] { return dorvu::prep::ReadRecordsFile(file, options); }, prune));
      } else {
        std::vector<char> buffer(options.bufferBytes);
        outcomes.push_back(SampleOutcome([&] { return dorvu::prep::CountSampleFile(file, options, buffer); }));
      }
    }
  }
  CheckSameOutcomes(outcomes);
  return 0;
}
