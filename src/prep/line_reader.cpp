#include "prep/line_reader.h"

#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <filesystem>
#include <istream>
#include <utility>

#include "cli/located_error.h"

namespace dorvu::prep {

namespace {

// zlib's own buffer for the compressed bytes; its buffer for the
// decompressed ones is twice as large, and a read at least that long is
// decompressed straight into the caller's buffer.
constexpr unsigned kZlibBufferBytes = 256 * 1024;

class GzipSource : public ByteSource {
 public:
  GzipSource(gzFile file, std::string path) : file_(file), path_(std::move(path)) {}
  ~GzipSource() override { gzclose(file_); }
  GzipSource(const GzipSource&) = delete;
  GzipSource& operator=(const GzipSource&) = delete;

  std::size_t Read(char* data, std::size_t size) override {
    std::size_t total = 0;
    while (total < size) {
      const auto want = static_cast<unsigned>(std::min<std::size_t>(size - total, INT_MAX));
      const int got = gzread(file_, data + total, want);
      if (got < 0) Fail();
      total += static_cast<std::size_t>(got);
      if (static_cast<unsigned>(got) < want) {
        // The end, or a gzip stream cut short, which zlib reports only here.
        int error = Z_OK;
        gzerror(file_, &error);
        if (error != Z_OK) Fail();
        break;
      }
    }
    return total;
  }

 private:
  [[noreturn]] void Fail() {
    int error = Z_OK;
    // zlib puts the path before its message.
    std::string_view message = gzerror(file_, &error);
    if (message.starts_with(path_ + ": ")) message.remove_prefix(path_.size() + 2);
    switch (error) {
      case Z_ERRNO:
        throw cli::LocatedError(0, std::string("cannot read the file: ") + std::strerror(errno));
      case Z_BUF_ERROR:
        throw cli::LocatedError(0, "the compressed data end too early; the file is incomplete");
      case Z_MEM_ERROR:
        throw cli::LocatedError(0, "out of memory while decompressing");
      default:
        throw cli::LocatedError(0, "the compressed data are damaged (" + std::string(message) + ")");
    }
  }

  gzFile file_;
  std::string path_;
};

class IstreamSource : public ByteSource {
 public:
  explicit IstreamSource(std::istream& in) : in_(in) {}

  std::size_t Read(char* data, std::size_t size) override {
    in_.read(data, static_cast<std::streamsize>(size));
    if (in_.bad()) throw cli::LocatedError(0, "cannot read the file");
    return static_cast<std::size_t>(in_.gcount());
  }

 private:
  std::istream& in_;
};

}  // namespace

std::unique_ptr<ByteSource> OpenFileSource(const std::string& path) {
  std::error_code ignored;
  // A directory opens, and fails only when read.
  if (std::filesystem::is_directory(path, ignored)) throw cli::LocatedError(0, "this is a directory");
  errno = 0;
  gzFile file = gzopen(path.c_str(), "rb");
  if (file == nullptr)
    throw cli::LocatedError(
        0, std::string("cannot open the file: ") + (errno != 0 ? std::strerror(errno) : "unknown reason"));
  gzbuffer(file, kZlibBufferBytes);
  return std::make_unique<GzipSource>(file, path);
}

std::unique_ptr<ByteSource> StreamSource(std::istream& in) { return std::make_unique<IstreamSource>(in); }

LineReader::LineReader(ByteSource& source, std::vector<char>& buffer) : source_(source), buffer_(buffer) {}

void LineReader::Fill() {
  const std::size_t got = source_.Read(buffer_.data() + end_, buffer_.size() - end_);
  end_ += got;
  if (got == 0) atEnd_ = true;
}

bool LineReader::NextPiece(std::string_view& piece, bool& ends) {
  std::size_t searched = begin_;  // no LF in [begin_, searched)
  for (;;) {
    const char* start = buffer_.data() + begin_;
    const auto* newline = end_ > searched
                              ? static_cast<const char*>(std::memchr(buffer_.data() + searched, '\n', end_ - searched))
                              : nullptr;
    if (newline != nullptr) {
      piece = std::string_view(start, static_cast<std::size_t>(newline - start));
      begin_ += piece.size() + 1;
      ends = true;
      break;
    }
    if (atEnd_) {
      // The last line has no LF; a line whose last piece filled the buffer ends here empty.
      if (begin_ == end_ && !lineOpen_) return false;
      piece = std::string_view(start, end_ - begin_);
      begin_ = end_;
      ends = true;
      break;
    }
    if (begin_ == 0 && end_ == buffer_.size()) {
      piece = std::string_view(start, end_);
      begin_ = end_;
      ends = false;
      break;
    }
    // Keep the start of the line and read more after it.
    if (begin_ > 0) {
      std::memmove(buffer_.data(), start, end_ - begin_);
      end_ -= begin_;
      begin_ = 0;
    }
    searched = end_;
    Fill();
  }
  if (!lineOpen_) ++line_;
  lineOpen_ = !ends;
  return true;
}

std::string_view LineReader::RestOfLine(std::string_view piece, bool ends, std::string& storage, std::size_t keep) {
  std::string_view line = piece;
  if (!ends) {
    storage.assign(piece.substr(0, keep));
    while (!ends && NextPiece(piece, ends)) storage.append(piece.substr(0, keep - std::min(keep, storage.size())));
    line = storage;
  }
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  return line;
}

bool LineReader::NextLine(std::string_view& line, std::string& storage) {
  std::string_view piece;
  bool ends = false;
  if (!NextPiece(piece, ends)) return false;
  line = RestOfLine(piece, ends, storage);
  return true;
}

bool IsBlank(std::string_view line) { return line.find_first_not_of(" \t\r\v\f") == std::string_view::npos; }

std::vector<std::string_view> TabFields(std::string_view line) {
  std::vector<std::string_view> fields;
  for (std::size_t start = 0;;) {
    const auto tab = line.find('\t', start);
    fields.push_back(line.substr(start, tab - start));
    if (tab == std::string_view::npos) return fields;
    start = tab + 1;
  }
}

FirstLine FindFirstLine(LineReader& lines) {
  std::string_view piece;
  bool ends = false;
  while (lines.NextPiece(piece, ends)) {
    if (!IsBlank(piece)) return {true, false, piece, ends};
    while (!ends && lines.NextPiece(piece, ends))
      if (!IsBlank(piece)) return {true, true, piece, ends};
  }
  return {};
}

}  // namespace dorvu::prep
