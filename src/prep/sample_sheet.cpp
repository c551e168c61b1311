#include "prep/sample_sheet.h"

#include <sched.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <exception>
#include <filesystem>
#include <map>
#include <thread>

#include "prep/line_reader.h"
#include "prep/sequence_reader.h"
#include "tree/tree_shape.h"

namespace dorvu::prep {

namespace {

namespace fs = std::filesystem;

constexpr std::string_view kSheetHeader = "leaf\tname\tpath";

// One name for a file however the sheet writes its path, so that
// "a.fa", "./a.fa" and a link to it are seen to be the same.
std::string FileKey(const std::string& file) {
  std::error_code error;
  const fs::path canonical = fs::weakly_canonical(file, error);
  return error ? fs::path(file).lexically_normal().string() : canonical.string();
}

// Adds up the positions of every record.
class SampleTotal : public RecordHandler {
 public:
  void Start(std::size_t, std::string_view, std::int64_t) override {}
  void Finish(const CodeCounts& positions) override {
    for (std::size_t k = 0; k < positions.size(); ++k) total[k] += positions[k];
  }
  CodeCounts total{};
};

SampleRow ReadRow(std::string_view line, std::int64_t lineNumber, const fs::path& folder, bool byName) {
  const auto fields = TabFields(line);
  if (fields.size() != 3)
    throw cli::LocatedError(lineNumber,
                            "expected 3 tab-separated fields (leaf name path), found " + std::to_string(fields.size()));
  const std::string leafText(fields[0]);
  if (byName && leafText.empty()) throw cli::LocatedError(lineNumber, "the row has no tip name");
  const auto vertex = byName ? std::nullopt : ParseVertexName(leafText);
  if (!byName && (!vertex || !IsLeaf(*vertex)))
    throw cli::LocatedError(lineNumber, "\"" + leafText + "\" is not a leaf (6.1 to 6.64)");
  SampleRow row{byName ? 0 : vertex->index,
                byName ? leafText : "",
                std::string(fields[1]),
                std::string(fields[2]),
                "",
                lineNumber};
  if (row.name.empty()) throw cli::LocatedError(lineNumber, "leaf " + leafText + " has no name");
  if (row.path.empty()) throw cli::LocatedError(lineNumber, "leaf " + leafText + " has no path");
  row.file = (folder / row.path).string();
  return row;
}

}  // namespace

std::vector<SampleRow> ReadSampleSheet(const std::string& sheetPath, const ReadOptions& options) {
  const auto source = OpenFileSource(sheetPath);
  std::vector<char> buffer(std::max<std::size_t>(options.bufferBytes, 1));
  LineReader lines(*source, buffer);
  const FirstLine first = FindFirstLine(lines);
  if (!first.found) throw cli::LocatedError(0, "the file is empty");
  std::string storage;
  if (first.startsBlank || lines.RestOfLine(first.piece, first.ends, storage, kSheetHeader.size() + 2) != kSheetHeader)
    throw cli::LocatedError(lines.Line(), "the first line must be the header \"leaf<TAB>name<TAB>path\"");

  const fs::path folder = fs::path(sheetPath).parent_path();
  std::vector<SampleRow> rows;
  std::array<std::int64_t, kLeafCount> lineOfLeaf{};
  std::map<std::string, std::size_t> rowOfFile;
  for (std::string_view line; lines.NextLine(line, storage);) {
    if (IsBlank(line)) continue;
    const SampleRow row = ReadRow(line, lines.Line(), folder, options.byName);
    const std::string leaf = RowLeafName(row);
    if (!options.byName) {
      std::int64_t& leafLine = lineOfLeaf[static_cast<std::size_t>(row.leaf - 1)];
      if (leafLine != 0)
        throw cli::LocatedError(row.line,
                                "leaf " + leaf + " is given twice (first on line " + std::to_string(leafLine) + ")");
      leafLine = row.line;
    }
    const auto [earlier, added] = rowOfFile.try_emplace(FileKey(row.file), rows.size());
    if (!added) {
      const SampleRow& other = rows[earlier->second];
      throw cli::LocatedError(row.line, "leaf " + leaf + ": " + row.path + " is the file of leaf " +
                                            RowLeafName(other) + " too (line " + std::to_string(other.line) +
                                            "); one file for two leaves is almost always a mistake");
    }
    rows.push_back(row);
  }
  if (options.byName) {
    if (rows.empty()) throw cli::LocatedError(0, "the sheet has no row");
    return rows;
  }
  for (std::size_t k = 0; k < lineOfLeaf.size(); ++k)
    if (lineOfLeaf[k] == 0)
      throw cli::LocatedError(0, "leaf " + LeafVertexName(static_cast<int>(k + 1)) +
                                     " is missing; the sheet needs one row for each leaf 6.1 to 6.64");
  return rows;
}

CodeCounts CountSampleFile(const std::string& file, const ReadOptions& options, std::vector<char>& buffer) {
  const auto source = OpenFileSource(file);
  LineReader lines(*source, buffer);
  const FirstLine first = FindFirstLine(lines);
  if (!first.found) throw cli::LocatedError(0, "the file is empty");
  if (first.startsBlank || !(first.piece.starts_with('>') || first.piece.starts_with('@')))
    throw cli::LocatedError(lines.Line(), "neither FASTA (a first line starting with \">\") nor FASTQ (\"@\")");
  SampleTotal sample;
  ReadSequences(lines, first, sample, options.minQuality);
  const std::uint64_t total = CountedPositions(sample.total);
  if (total == 0)
    throw cli::LocatedError(0, options.minQuality > 0 ? "no base to count in the file (only N, gaps, bases of a "
                                                        "quality below " +
                                                            std::to_string(options.minQuality) + " or nothing)"
                                                      : "no base to count in the file (only N, gaps or nothing)");
  // Every position counts six sixths.
  if (total > kMaxExactCount / 6) throw cli::LocatedError(0, "the file holds too many bases to count exactly");
  return sample.total;
}

std::vector<Record> CountSamples(const std::vector<SampleRow>& rows, const ReadOptions& options, int threads) {
  struct Outcome {
    CodeCounts positions{};
    std::exception_ptr fault;
  };
  std::vector<Outcome> outcomes(rows.size());
  std::atomic<std::size_t> next{0};
  // Rows after the first faulty one need no reading: its fault is the one reported.
  std::atomic<std::size_t> firstFault{rows.size()};
  const auto work = [&] {
    std::vector<char> buffer(std::max<std::size_t>(options.bufferBytes, 1));
    for (std::size_t k = next++; k < rows.size() && k < firstFault; k = next++) {
      try {
        outcomes[k].positions = CountSampleFile(rows[k].file, options, buffer);
      } catch (...) {
        outcomes[k].fault = std::current_exception();
        for (std::size_t seen = firstFault; k < seen && !firstFault.compare_exchange_weak(seen, k);) {
        }
      }
    }
  };
  const std::size_t workers =
      std::clamp<std::size_t>(static_cast<std::size_t>(std::max(threads, 1)), 1, std::max<std::size_t>(rows.size(), 1));
  std::vector<std::thread> pool;
  for (std::size_t t = 1; t < workers; ++t) pool.emplace_back(work);
  work();
  for (auto& thread : pool) thread.join();

  const bool byName = !rows.empty() && rows.front().leaf == 0;
  std::vector<Record> records(byName ? rows.size() : kLeafCount);
  for (std::size_t k = 0; k < rows.size(); ++k) {
    const SampleRow& row = rows[k];
    if (outcomes[k].fault) {
      try {
        std::rethrow_exception(outcomes[k].fault);
      } catch (const cli::LocatedError& error) {
        throw cli::LocatedError(row.line, "leaf " + RowLeafName(row) + ": " + cli::Located(row.path, error));
      }
    }
    const CodeCounts& positions = outcomes[k].positions;
    Record& record = records[byName ? k : static_cast<std::size_t>(row.leaf - 1)];
    record = Record{row.name, row.name, Shares(Sixths(positions)), row.line, positions};
    record.tip = row.tip;
  }
  return records;
}

std::string RowLeafName(const SampleRow& row) { return row.leaf == 0 ? row.tip : LeafVertexName(row.leaf); }

int AvailableProcessors() {
  cpu_set_t set;
  CPU_ZERO(&set);
  if (sched_getaffinity(0, sizeof set, &set) == 0 && CPU_COUNT(&set) > 0) return CPU_COUNT(&set);
  return static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
}

}  // namespace dorvu::prep
