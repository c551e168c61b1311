// The lines of a text file, plain or gzip-compressed, read in large chunks
// through one buffer so that a genome on one line is never held whole.
#pragma once

#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace dorvu::prep {

// The bytes a file holds, or a stream.
class ByteSource {
 public:
  virtual ~ByteSource() = default;
  // Reads up to `size` bytes into `data` and returns how many; fewer only at
  // the end. Throws cli::LocatedError on line 0 when the bytes cannot be read.
  virtual std::size_t Read(char* data, std::size_t size) = 0;
};

// A file through zlib: gzip (one member or several, as bgzip writes them) is
// decompressed, anything else read as it is; the content decides, not the
// name. Throws cli::LocatedError on line 0 when the file cannot be opened.
std::unique_ptr<ByteSource> OpenFileSource(const std::string& path);

// The bytes of a stream as they are.
std::unique_ptr<ByteSource> StreamSource(std::istream& in);

// The reading buffer's size: lines up to this long come whole.
inline constexpr std::size_t kLineBufferBytes = std::size_t{1} << 20;

// Lines ending in LF (a CR before it stays part of the line for NextPiece),
// the last one with or without. A line longer than the buffer comes in
// pieces, each as long as the buffer.
class LineReader {
 public:
  // `buffer` must not be empty; its size is the most read at once.
  LineReader(ByteSource& source, std::vector<char>& buffer);

  // The next piece of the current line, or of the next line when the last
  // piece ended its line; `ends` tells whether this piece ends the line. The
  // piece stays valid until the next call. False at the end of the bytes.
  bool NextPiece(std::string_view& piece, bool& ends);

  // The next whole line without its line end (LF or CR LF). A line longer
  // than the buffer is gathered in `storage`.
  bool NextLine(std::string_view& line, std::string& storage);

  // The rest of the line whose first piece was `piece`, gathered as NextLine
  // does; of a longer line only the first `keep` bytes are kept.
  std::string_view RestOfLine(std::string_view piece, bool ends, std::string& storage,
                              std::size_t keep = std::string::npos);

  // The number of the line of the last piece, from 1; 0 before the first.
  std::int64_t Line() const { return line_; }

 private:
  void Fill();

  ByteSource& source_;
  std::vector<char>& buffer_;
  std::size_t begin_ = 0;  // the unread bytes are [begin_, end_)
  std::size_t end_ = 0;
  bool atEnd_ = false;
  bool lineOpen_ = false;  // the last piece did not end its line
  std::int64_t line_ = 0;
};

// True when the line is empty or only blanks, tabs and the like.
bool IsBlank(std::string_view line);

// The fields of a line split at its tabs.
std::vector<std::string_view> TabFields(std::string_view line);

// The first line that is not blank. `piece` is its first piece, or, when the
// line starts with blanks and goes on beyond the buffer, its first piece that
// is not blank (then `startsBlank`). Nothing `found` in a file of blank lines.
struct FirstLine {
  bool found = false;
  bool startsBlank = false;
  std::string_view piece;
  bool ends = false;
};
FirstLine FindFirstLine(LineReader& lines);

}  // namespace dorvu::prep
