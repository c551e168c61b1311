#include "prep/sequence_reader.h"

#include <algorithm>
#include <cctype>

#include "cli/located_error.h"

namespace dorvu::prep {

namespace {

const std::string kFastqShape =
    "a FASTQ record is four lines: \"@\" and the name, the bases, \"+\", and one quality per base";

// A character as a message shows it: printable ones quoted, others by their code.
std::string Shown(char c) {
  const auto byte = static_cast<unsigned char>(c);
  std::string text;
  if (byte > 32 && byte < 127) {
    text.append(1, '"').append(1, c).append(1, '"');
  } else {
    constexpr std::string_view kHex = "0123456789ABCDEF";
    text.append("the byte 0x").append(1, kHex[byte >> 4]).append(1, kHex[byte & 15]);
  }
  return text;
}

// The bad character is a letter that only amino-acid codes use, and at least
// half of the line's letters are amino-acid codes other than the common
// nucleotides A, C, G, T, U and N (every nucleotide letter is also an
// amino-acid code, so those tell nothing): the record is most likely a
// protein. A DNA line with one stray letter stays far below that, and a
// line of a few letters tells nothing.
bool LooksLikeProtein(std::string_view line, std::size_t bad) {
  constexpr std::string_view kProteinOnly = "EFIJLOPQXZ*";
  constexpr std::string_view kAminoAcids = "ACDEFGHIKLMNPQRSTVWYX*";
  constexpr std::string_view kNucleotides = "ACGTUN";
  constexpr std::size_t kFewestLetters = 8;  // too few letters to tell anything
  const auto upper = [](char c) { return static_cast<char>(std::toupper(static_cast<unsigned char>(c))); };
  if (kProteinOnly.find(upper(line[bad])) == std::string_view::npos) return false;
  std::size_t letters = 0;
  std::size_t proteinLetters = 0;
  for (const char c : line) {
    const char letter = upper(c);
    if (kAminoAcids.find(letter) == std::string_view::npos) continue;
    ++letters;
    if (kNucleotides.find(letter) == std::string_view::npos) ++proteinLetters;
  }
  return letters >= kFewestLetters && 2 * proteinLetters >= letters;
}

// `text`, which starts `column` bytes into its line, holds a byte that is no
// base code. `text` is the whole line unless the line is longer than the
// reading buffer; the note on proteins then weighs only this part of it.
[[noreturn]] void ThrowBadBase(std::int64_t line, const std::string& label, std::string_view text, std::size_t column) {
  CodeCounts ignored{};
  const std::size_t bad = CountCodes(text, ignored).value_or(0);
  throw cli::LocatedError(
      line,
      label + ": " + Shown(text[bad]) + " in column " + std::to_string(column + bad + 1) + " is not a base code" +
          (LooksLikeProtein(text, bad) ? "; the record looks like a protein, and dorvu-prep reads DNA or RNA" : ""));
}

[[noreturn]] void ThrowBadQuality(std::int64_t line, const std::string& label, std::string_view qualities,
                                  const QualityShifts& shifts) {
  std::size_t bad = 0;
  while (bad + 1 < qualities.size() && shifts[static_cast<unsigned char>(qualities[bad])] != CodeTally::kBadQuality)
    ++bad;
  throw cli::LocatedError(line, label + ": " + Shown(qualities[bad]) + " in column " + std::to_string(bad + 1) +
                                    " is not a quality (\"!\" to \"~\", Phred scores 0 to 93 plus 33)");
}

void ReadFasta(LineReader& lines, std::string_view piece, bool ends, RecordHandler& handler) {
  std::string storage;
  std::string label;
  std::size_t number = 0;
  const auto start = [&](std::string_view headerPiece, bool headerEnds) {
    const std::string_view header = lines.RestOfLine(headerPiece, headerEnds, storage).substr(1);
    label = RecordLabel(++number, SplitHeader(header).name);
    handler.Start(number, header, lines.Line());
  };
  start(piece, ends);
  CodeTally tally;
  std::size_t column = 0;  // where the piece starts on its line
  bool lineStart = true;
  while (lines.NextPiece(piece, ends)) {
    if (lineStart && piece.starts_with('>')) {
      handler.Finish(tally.Take());
      start(piece, ends);
      continue;
    }
    tally.Add(piece);
    if (tally.HasUnknown()) ThrowBadBase(lines.Line(), label, piece, column);
    column = ends ? 0 : column + piece.size();
    lineStart = ends;
  }
  handler.Finish(tally.Take());
}

[[noreturn]] void ThrowCutShort(const LineReader& lines, const std::string& label, const std::string& missing) {
  throw cli::LocatedError(lines.Line(), label + ": the file ends before " + missing + "; " + kFastqShape);
}

void ReadFastq(LineReader& lines, std::string_view piece, bool ends, RecordHandler& handler, int minQuality) {
  const QualityShifts shifts = MakeQualityShifts(minQuality);
  std::string headerStorage, name, bases, basesStorage, plusStorage, qualityStorage;
  std::string_view header = lines.RestOfLine(piece, ends, headerStorage);
  CodeTally tally;
  for (std::size_t number = 1;; ++number) {
    // Kept for the messages, and made into a label only for one.
    name.assign(SplitHeader(header.substr(1)).name);
    const auto label = [&] { return RecordLabel(number, name); };
    handler.Start(number, header.substr(1), lines.Line());
    std::string_view line;
    if (!lines.NextLine(line, basesStorage)) ThrowCutShort(lines, label(), "the record's bases");
    // The buffer moves on while the next two lines are read.
    bases.assign(line);
    const std::int64_t basesLine = lines.Line();
    if (!lines.NextLine(line, plusStorage)) ThrowCutShort(lines, label(), "the record's \"+\" line");
    if (!line.starts_with('+'))
      throw cli::LocatedError(lines.Line(), label() + ": no \"+\" line after the bases; " + kFastqShape);
    std::string_view qualities;
    if (!lines.NextLine(qualities, qualityStorage)) ThrowCutShort(lines, label(), "the record's qualities");
    if (qualities.size() != bases.size())
      throw cli::LocatedError(lines.Line(), label() + ": " + std::to_string(qualities.size()) + " qualities for " +
                                                std::to_string(bases.size()) + " bases");
    tally.AddRead(bases, qualities, shifts);
    if (tally.HasUnknown()) ThrowBadBase(basesLine, label(), bases, 0);
    if (tally.HasBadQuality()) ThrowBadQuality(lines.Line(), label(), qualities, shifts);
    handler.Finish(tally.Take());
    do {
      if (!lines.NextLine(header, headerStorage)) return;
    } while (IsBlank(header));
    if (!header.starts_with('@'))
      throw cli::LocatedError(lines.Line(),
                              "after " + label() + ", a line that does not start with \"@\"; " + kFastqShape);
  }
}

}  // namespace

void ReadSequences(LineReader& lines, const FirstLine& first, RecordHandler& handler, int minQuality) {
  if (first.piece.starts_with('@'))
    ReadFastq(lines, first.piece, first.ends, handler, minQuality);
  else
    ReadFasta(lines, first.piece, first.ends, handler);
}

HeaderWords SplitHeader(std::string_view header) {
  const auto begin = std::min(header.find_first_not_of(" \t"), header.size());
  const std::size_t end = std::min(header.find_first_of(" \t", begin), header.size());
  return {header.substr(begin, end - begin), header.substr(end)};
}

std::string RecordLabel(std::size_t number, std::string_view name) {
  return "record " + std::to_string(number) + " \"" + std::string(name) + "\"";
}

}  // namespace dorvu::prep
