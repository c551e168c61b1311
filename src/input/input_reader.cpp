#include "input/input_reader.h"

#include <cstdio>
#include <memory>

#include "input/convert.h"
#include "log/io_error.h"
#include "log/log_lines.h"

namespace dorvu {

namespace {

// Reads the file line by line: LF or CR LF end a line, a lone CR is dropped,
// byte 26 ends the file. Lines of any length.
class LineReader {
 public:
  explicit LineReader(const std::string& path) : path_(path), file_(std::fopen(path.c_str(), "rb")) {
    if (!file_) throw IoErrorFromErrno("open", path_);
  }

  // The next line, or an empty one after the end of the file.
  std::string Next() {
    std::string line;
    while (!ended_) {
      if (position_ == filled_ && !Refill()) break;
      const char c = buffer_[position_++];
      if (c == '\n') return line;
      if (c == EndOfFileByte) ended_ = true;
      else if (c != '\r') line += c;
    }
    return line;
  }

  void Close() {
    FILE* file = file_.release();
    if (std::fclose(file) != 0) throw IoErrorFromErrno("close", path_);
  }

 private:
  bool Refill() {
    filled_ = std::fread(buffer_, 1, sizeof buffer_, file_.get());
    position_ = 0;
    if (filled_ == 0) {
      if (std::ferror(file_.get())) throw IoErrorFromErrno("read", path_);
      ended_ = true;
    }
    return filled_ > 0;
  }

  struct Closer {
    void operator()(FILE* f) const { std::fclose(f); }
  };
  std::string path_;
  std::unique_ptr<FILE, Closer> file_;
  char buffer_[1 << 16];
  std::size_t filled_ = 0;
  std::size_t position_ = 0;
  bool ended_ = false;
};

// The token after the first "=" of a parameter line; empty without one.
std::string_view ParameterToken(const std::string& line) {
  const std::size_t equals = line.find('=');
  return equals == std::string::npos ? std::string_view() : ValueToken(line, equals + 1);
}

bool IsBaseLetter(char c) { return c == 'A' || c == 'C' || c == 'G' || c == 'T'; }

int BaseOfLetter(char letter) {
  switch (letter) {
    case 'A': return BaseA;
    case 'C': return BaseC;
    case 'G': return BaseG;
    default: return BaseT;
  }
}

}  // namespace

int ReadLeafLine(const std::string& line, BaseValues& values) {
  int failures = 0;
  if (line.size() < 3) return failures;
  // 0-based positions 1 to size-2: a ":" in the last position is never examined.
  for (std::size_t p = 1; p + 1 < line.size(); ++p) {
    if (line[p] != ':' || !IsBaseLetter(line[p - 1])) continue;
    double converted = 0.0;
    if (ConvertReal(ValueToken(line, p + 1), converted) == 0)
      values.b[BaseOfLetter(line[p - 1])] = converted;
    else
      ++failures;
  }
  return failures;
}

InputParameters ReadInput(const std::string& path, const RunLog& log, Tree& tree) {
  LineReader reader(path);
  const std::string cardinalityLine = reader.Next();
  const std::string noiseLine = reader.Next();

  InputParameters read;
  if (ConvertInteger(ParameterToken(cardinalityLine), read.cardinality) != 0)
    WriteLogLine(log, log_lines::CardinalityError);
  if (ConvertReal(ParameterToken(noiseLine), read.noiseLevel) != 0) WriteLogLine(log, log_lines::NoiseError);

  for (int leaf = 1; leaf <= LeafCount; ++leaf) {
    const std::string line = reader.Next();
    const int failures = ReadLeafLine(line, tree.treeSequence[tree.leafSlots[leaf]].value);
    for (int i = 0; i < failures; ++i)
      WriteLogLine(log, std::string(log_lines::LeafErrorPrefix) + std::to_string(leaf));
  }
  reader.Close();
  return read;
}

}  // namespace dorvu
