// What dorvu-view and dorvu-prep share on their command lines: writing a set
// of output files all or nothing.
#include <gtest/gtest.h>

#include <string>

#include "cli/output_files.h"
#include "support/files.h"

namespace dorvu::cli {
namespace {

TEST(OutputFiles, RemovesWhatWasWrittenWhenALaterFileFails) {
  test::ScratchDir dir;
  const std::string problem = WriteAllOrNothing(
      {{(dir.path() / "a.svg").string(), "picture"}, {(dir.path() / "no" / "a.tsv").string(), "table"}});
  EXPECT_NE(problem.find("a.tsv"), std::string::npos) << problem;
  EXPECT_TRUE(test::FilesIn(dir.path()).empty());
}

}  // namespace
}  // namespace dorvu::cli
