#include "prep/sequence_reader.h"

#include <algorithm>
#include <cctype>
#include <vector>

#include "cli/located_error.h"

namespace dorvu::prep {

namespace {

const std::string kFastqShape =
    "a FASTQ record is \"@\" and the name, the bases on one line or more, a line starting with \"+\", and one "
    "quality per base on as many lines as they take";

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

// The line of a record's qualities, gathered from several lines that start
// at `starts` in `text` (the first on `firstLine`), that holds position `at`.
struct QualityLine {
  std::int64_t line;
  std::string_view text;
};
QualityLine LineHolding(std::string_view text, const std::vector<std::size_t>& starts, std::int64_t firstLine,
                        std::size_t at) {
  const auto next = std::upper_bound(starts.begin(), starts.end(), at);
  const auto k = static_cast<std::size_t>(next - starts.begin() - 1);
  const std::size_t end = next == starts.end() ? text.size() : *next;
  return {firstLine + static_cast<std::int64_t>(k), text.substr(starts[k], end - starts[k])};
}

void ReadFastq(LineReader& lines, std::string_view piece, bool ends, RecordHandler& handler, int minQuality) {
  const QualityShifts shifts = MakeQualityShifts(minQuality);
  std::string headerStorage, title, bases, lineStorage, qualityText;
  std::vector<std::size_t> qualityStarts;  // where each line of wrapped qualities starts in qualityText
  std::string_view header = lines.RestOfLine(piece, ends, headerStorage);
  CodeTally tally;
  for (std::size_t number = 1;; ++number) {
    // Kept for the "+" line and the messages while the buffer moves on; made
    // into a label only for a message.
    title.assign(header.substr(1));
    const auto label = [&] { return RecordLabel(number, SplitHeader(title).name); };
    handler.Start(number, title, lines.Line());
    std::string_view line;
    if (!lines.NextLine(line, lineStorage)) ThrowCutShort(lines, label(), "the record's bases");
    // The bases run until a line starting with "+". Where they end depends
    // on what the lines hold, so the lines of wrapped bases are checked as
    // they come: a line after the first whose first byte is no base code is
    // most likely the line that should have been the "+" line.
    const auto checkBases = [&](std::string_view text, std::int64_t at, bool after) {
      CodeCounts ignored{};
      const auto bad = CountCodes(text, ignored);
      if (!bad) return;
      if (after && *bad == 0) throw cli::LocatedError(at, label() + ": no \"+\" line after the bases; " + kFastqShape);
      ThrowBadBase(at, label(), text, 0);
    };
    const std::int64_t basesLine = lines.Line();
    bases.clear();
    for (std::int64_t count = 0; !line.starts_with('+'); ++count) {
      if (count == 1) checkBases(bases, basesLine, false);
      if (count >= 1) checkBases(line, lines.Line(), true);
      bases.append(line);
      if (!lines.NextLine(line, lineStorage)) ThrowCutShort(lines, label(), "the record's \"+\" line");
    }
    if (line.size() > 1 && line.substr(1) != title)
      throw cli::LocatedError(lines.Line(), label() + ": the \"+\" line repeats the title \"" +
                                                std::string(line.substr(1)) + "\", not the record's own title \"" +
                                                title + "\"");
    // The qualities run over as many lines as it takes to hold one per base,
    // whatever those lines start with. One line that holds them all, as
    // nearly every file has it, is used where it is.
    std::string_view qualities;
    std::int64_t qualityLine = 0;
    qualityStarts.clear();
    qualityText.clear();
    while (qualities.size() < bases.size()) {
      if (!lines.NextLine(line, lineStorage)) {
        if (qualities.empty()) ThrowCutShort(lines, label(), "the record's qualities");
        throw cli::LocatedError(lines.Line(), label() + ": the file ends after " + std::to_string(qualities.size()) +
                                                  " of the record's " + std::to_string(bases.size()) + " qualities; " +
                                                  kFastqShape);
      }
      const std::size_t total = qualities.size() + line.size();
      if (total > bases.size())
        throw cli::LocatedError(
            lines.Line(), label() + ": " + std::to_string(total) + " qualities for " + std::to_string(bases.size()) +
                              " bases" +
                              (qualityStarts.empty() || !line.starts_with('@')
                                   ? ""
                                   : " (" + std::to_string(qualities.size()) +
                                         " before this line, which counts as qualities though it starts with \"@\")"));
      if (qualityStarts.empty() && line.size() == bases.size()) {
        qualities = line;
        break;
      }
      if (qualityStarts.empty()) qualityLine = lines.Line();
      qualityStarts.push_back(qualityText.size());
      qualityText.append(line);
      qualities = qualityText;
    }
    tally.AddRead(bases, qualities, shifts);
    if (tally.HasUnknown()) ThrowBadBase(basesLine, label(), bases, 0);
    if (tally.HasBadQuality()) {
      if (qualityStarts.empty()) ThrowBadQuality(lines.Line(), label(), qualities, shifts);
      std::size_t bad = 0;
      while (shifts[static_cast<unsigned char>(qualities[bad])] != CodeTally::kBadQuality) ++bad;
      const QualityLine holding = LineHolding(qualities, qualityStarts, qualityLine, bad);
      ThrowBadQuality(holding.line, label(), holding.text, shifts);
    }
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
