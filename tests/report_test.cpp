// The report of the best scenario: the heading alone for an empty best list,
// else the marked vertices, the penalty and a line for every vertex.
#include "report/report.h"

#include <gtest/gtest.h>

#include <string>

#include "support/search_runs.h"

namespace dorvu {
namespace {

using test::SearchRun;

TEST(Report, EmptyBestListGivesTheHeadingAlone) {
  SearchRun run(-1);
  WriteReport(run.best, run.tree, *run.evaluator, run.file.log);
  EXPECT_EQ(run.file.Text(), "the best scenario:\n");
}

TEST(Report, MarkedVerticesPenaltyAndAllVertexLines) {
  SearchRun run(0);
  run.best[0].key = test::KeyOf({1, 6, 183});
  run.best[0].penalty = 0.125;
  WriteReport(run.best, run.tree, *run.evaluator, run.file.log);
  const std::string text = run.file.Text();
  EXPECT_EQ(text.substr(0, text.find("distribution values:")),
            "the best scenario:\n 1.1  6.1  6.64 \nits penalty=0.125\n");
  EXPECT_NE(text.find("\nvertex  0 : A:"), std::string::npos);
  EXPECT_NE(text.find("\nvertex 6.9: A:0.1 C:0.4 G:0.4 T:0.1\n"), std::string::npos);
  std::size_t lines = 0;
  for (std::size_t p = text.find("vertex "); p != std::string::npos; p = text.find("vertex ", p + 1)) ++lines;
  EXPECT_EQ(lines, 127u);
}

}  // namespace
}  // namespace dorvu
