// Fuzz target: a whole run on leaf lines made of arbitrary bytes. The first
// byte picks one of a few fixed parameter lines, all with a cardinality of at
// most 1 (mostly 0) so that a run is short; most leave the noise off, a few
// turn it on with a fixed seed. The log must be complete and every number of
// the report in the log's number form.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_support.h"
#include "run/driver.h"
#include "log/io_error.h"

namespace {

using dorvu::fuzz::Fail;
using dorvu::fuzz::IsLogReal;

constexpr std::string_view Headers[] = {
    "presupposed cardinality of scenario=0\nlevel of randomness=0\n",
    "presupposed cardinality of scenario=0\nlevel of randomness=-3\n",
    "presupposed cardinality of scenario=0\nlevel of randomness=0.1\n",
    "presupposed cardinality of scenario=0\nlevel of randomness=1e300\n",
    "presupposed cardinality of scenario=-5\nlevel of randomness=0\n",
    "presupposed cardinality of scenario=1\nlevel of randomness=0\n",
    "presupposed cardinality of scenario=1\nlevel of randomness=0.1\n",
    "presupposed cardinality of scenario=1\nlevel of randomness=-1\n",
};
constexpr uint32_t Seed = 20240611;

bool StartsWith(const std::string& text, std::string_view prefix) {
  return text.compare(0, prefix.size(), prefix) == 0;
}

// "name: A:x C:x G:x T:x" with each x a log real.
void CheckVertexLine(const std::string& line) {
  const std::size_t colon = line.find(": A:");
  if (!StartsWith(line, "vertex ") || colon == std::string::npos) Fail("bad vertex line: " + line);
  std::string_view rest = std::string_view(line).substr(colon + 1);
  for (const char* label : {" A:", " C:", " G:", " T:"}) {
    if (rest.substr(0, 3) != label) Fail("bad vertex line: " + line);
    rest.remove_prefix(3);
    const std::size_t end = rest.find(' ');
    if (!IsLogReal(rest.substr(0, end))) Fail("bad number in: " + line);
    rest = end == std::string_view::npos ? std::string_view() : rest.substr(end);
  }
  if (!rest.empty()) Fail("bad vertex line: " + line);
}

void CheckLog(const std::string& text) {
  const std::vector<std::string> lines = dorvu::fuzz::LogLinesOf(text);
  std::size_t i = 0;
  while (i < lines.size() && StartsWith(lines[i], "an error in")) ++i;
  if (i + 1 >= lines.size() || !StartsWith(lines[i], "presupposed cardinality of scenario=") ||
      !StartsWith(lines[i + 1], "noise level="))
    Fail("echo lines missing");
  if (!IsLogReal(lines[i + 1].substr(12))) Fail("bad echo: " + lines[i + 1]);
  i += 2;
  while (i < lines.size() && StartsWith(lines[i], "done ")) ++i;
  if (i >= lines.size() || lines[i] != "the best scenario:") Fail("report heading missing");
  ++i;
  if (i == lines.size()) return;  // no scenario reached the best list
  // The marked vertices, the penalty, the heading and the 127 vertices.
  if (i + 3 + 127 != lines.size()) Fail("report has the wrong number of lines");
  if (!StartsWith(lines[i + 1], "its penalty=") || !IsLogReal(lines[i + 1].substr(12)))
    Fail("bad penalty line: " + lines[i + 1]);
  if (lines[i + 2] != "distribution values:") Fail("distribution heading missing");
  for (std::size_t k = i + 3; k < lines.size(); ++k) CheckVertexLine(lines[k]);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::string_view header = Headers[data[0] % std::size(Headers)];
  std::string input(header);
  input.append(reinterpret_cast<const char*>(data + 1), size - 1);

  const auto& dir = dorvu::fuzz::ScratchDirectory();
  dorvu::RunSetup setup;
  setup.inputPath = (dir / "input.txt").string();
  setup.logPath = (dir / "dorvu.log").string();
  setup.seed = Seed;
  dorvu::fuzz::WriteWholeFile(setup.inputPath, input);
  try {
    dorvu::RunDorvu(setup);
  } catch (const dorvu::IoError& error) {
    Fail("file error in a writable directory: " + error.message);
  }
  CheckLog(dorvu::fuzz::ReadWholeFile(setup.logPath));
  return 0;
}
