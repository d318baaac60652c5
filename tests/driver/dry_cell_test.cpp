// The dry-cell pass in a whole run: a convertible layer of three cells in a row, the last at a
// constant head of 10, a well pumping 75 from the first. PCG2 with one outer and one inner
// iteration solves the step exactly (heads -5 and 2.5 over a bottom of 0) but never reports
// convergence, so only the continuation flag decides what the first cell becomes.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/e2e.hpp"

namespace aqx::test {
namespace {

void writeModel(const TempDir& dir, int continueFlag) {
  dir.write("dry.nam", "LIST 6 dry.lst\nBAS 1 dry.bas\nBCF 11 dry.bcf\nWEL 12 dry.wel\nPCG 19 dry.pcg\n");
  dir.write("dry.bas",
            "Dry cell\nconvertible layer pumped below its bottom\n"
            "         1         1         3         1         4         " +
                std::to_string(continueFlag) +
                "\n\n         0         0\nINTERNAL 1 (FREE) -1\n1 1 -1\n       0.0\n"
                "CONSTANT 10.0\n       1.0         2       1.0\n");
  // Steady state, HEADDRY -888, no wetting; one layer of type 1, unit widths, K 1, bottom 0.
  dir.write("dry.bcf",
            "         1         0    -888.0         0       0.0         0         0\n 1\n"
            "CONSTANT 1.0\nCONSTANT 1.0\nCONSTANT 1.0\nCONSTANT 1.0\nCONSTANT 0.0\n");
  dir.write("dry.wel", "         1         0\n         1\n         1         1         1     -75.0\n");
  dir.write("dry.pcg",
            "         1         1         1         0\n"
            "     0.001     0.001       1.0         0         0         0       1.0\n");
}

std::string rtrim(std::string s) {
  while (!s.empty() && s.back() == ' ') s.pop_back();
  return s;
}

// The printed head rows of the run's steps, in order.
std::vector<std::string> headRows(const std::string& listing) {
  std::vector<std::string> rows;
  for (const std::string& line : lines(listing))
    if (line.rfind("   1 ", 0) == 0 && line.find('(') == std::string::npos) rows.push_back(rtrim(line));
  return rows;
}

TEST(DryCellPass, ContinuingRunShowsTheDryHeadAtTheFailingStepAndKeepsTheCellInactive) {
  TempDir dir;
  writeModel(dir, 1);
  RunResult r = runAquifex(dir.path(), {"dry.nam"});
  EXPECT_EQ(r.status, 0) << r.err;
  const std::string listing = dir.readText("dry.lst");
  // Step 2: the dried cell takes no part any more, so the well there pumps nothing and the
  // middle cell returns to the constant head.
  EXPECT_EQ(headRows(listing), (std::vector<std::string>{"   1   -888.0       2.500       10.00",
                                                         "   1   -888.0       10.00       10.00"}))
      << listing;
}

TEST(DryCellPass, StoppingRunLeavesTheHeadsAsSolved) {
  TempDir dir;
  writeModel(dir, 0);
  RunResult r = runAquifex(dir.path(), {"dry.nam"});
  EXPECT_NE(r.status, 0);
  const std::string listing = dir.readText("dry.lst");
  EXPECT_EQ(headRows(listing), (std::vector<std::string>{"   1   -5.000       2.500       10.00"}))
      << listing;
}

}  // namespace
}  // namespace aqx::test
