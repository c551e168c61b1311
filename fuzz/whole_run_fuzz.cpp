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
#include "log/io_error.h"
#include "run/driver.h"

namespace {

using dorvu::fuzz::Fail;

constexpr std::string_view kHeaders[] = {
    "presupposed cardinality of scenario=0\nlevel of randomness=0\n",
    "presupposed cardinality of scenario=0\nlevel of randomness=-3\n",
    "presupposed cardinality of scenario=0\nlevel of randomness=0.1\n",
    "presupposed cardinality of scenario=0\nlevel of randomness=1e300\n",
    "presupposed cardinality of scenario=-5\nlevel of randomness=0\n",
    "presupposed cardinality of scenario=1\nlevel of randomness=0\n",
    "presupposed cardinality of scenario=1\nlevel of randomness=0.1\n",
    "presupposed cardinality of scenario=1\nlevel of randomness=-1\n",
};
constexpr uint32_t kSeed = 20240611;

void CheckLog(const std::string& text) {
  const dorvu::test::LogShape shape = dorvu::test::ReadLogShape(text);
  if (!shape.problem.empty()) Fail(shape.problem);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::string_view header = kHeaders[data[0] % std::size(kHeaders)];
  std::string input(header);
  input.append(reinterpret_cast<const char*>(data + 1), size - 1);

  const auto& dir = dorvu::fuzz::ScratchDirectory();
  dorvu::RunSetup setup;
  setup.inputPath = (dir / "input.txt").string();
  setup.logPath = (dir / "dorvu.log").string();
  setup.settings.seed = kSeed;
  setup.quiet = true;
  dorvu::fuzz::WriteWholeFile(setup.inputPath, input);
  try {
    dorvu::RunDorvu(setup);
  } catch (const dorvu::IoError& error) {
    Fail("file error in a writable directory: " + error.message);
  }
  CheckLog(dorvu::test::ReadFile(setup.logPath));
  return 0;
}
