// The driver's rules in whole runs with BCF, WEL and PCG2, on one convertible layer of three cells
// in a row (bottom 0, K 1, unit widths), the last at a constant head of 10, a well in the first.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/e2e.hpp"

namespace aqx::test {
namespace {

struct RowModel {
  int continueFlag = 0;
  int steps = 1;
  const char* wellRate = "     -75.0";  // F10.0
  std::string pcg;                      // the two PCG2 records
};

void writeModel(const TempDir& dir, const RowModel& model) {
  auto i10 = [](int v) {
    std::string s = std::to_string(v);
    return std::string(10 - s.size(), ' ') + s;
  };
  dir.write("row.nam", "LIST 6 row.lst\nBAS 1 row.bas\nBCF 11 row.bcf\nWEL 12 row.wel\nPCG 19 row.pcg\n");
  dir.write("row.bas", "Row of three cells\nconvertible layer\n" + i10(1) + i10(1) + i10(3) + i10(1) +
                           i10(4) + i10(model.continueFlag) + "\n\n" + i10(0) + i10(0) +
                           "\nINTERNAL 1 (FREE) -1\n1 1 -1\n       0.0\nCONSTANT 10.0\n       1.0" +
                           i10(model.steps) + "       1.0\n");
  // Steady state, HEADDRY -888, no wetting; one layer of type 1.
  dir.write("row.bcf",
            "         1         0    -888.0         0       0.0         0         0\n 1\n"
            "CONSTANT 1.0\nCONSTANT 1.0\nCONSTANT 1.0\nCONSTANT 1.0\nCONSTANT 0.0\n");
  dir.write("row.wel", "         1         0\n         1\n         1         1         1" +
                           std::string(model.wellRate) + "\n");
  dir.write("row.pcg", model.pcg);
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

// One outer and one inner iteration: the step is solved exactly (heads -5 and 2.5 over the bottom
// of 0) but never reported converged, so only the continuation flag decides what follows.
const char* const kOneIteration =
    "         1         1         1         0\n"
    "     0.001     0.001       1.0         0         0         0       1.0\n";

TEST(DryCellPass, ContinuingRunShowsTheDryHeadAtTheFailingStepAndKeepsTheCellInactive) {
  TempDir dir;
  writeModel(dir, {.continueFlag = 1, .steps = 2, .pcg = kOneIteration});
  RunResult r = runAquifex(dir.path(), {"row.nam"});
  EXPECT_EQ(r.status, 0) << r.err;
  const std::string listing = dir.readText("row.lst");
  // Step 2: the dried cell takes no part any more, so the well there pumps nothing and the
  // middle cell returns to the constant head.
  EXPECT_EQ(headRows(listing), (std::vector<std::string>{"   1   -888.0       2.500       10.00",
                                                         "   1   -888.0       10.00       10.00"}))
      << listing;
}

TEST(DryCellPass, StoppingRunLeavesTheHeadsAsSolved) {
  TempDir dir;
  writeModel(dir, {.continueFlag = 0, .steps = 2, .pcg = kOneIteration});
  RunResult r = runAquifex(dir.path(), {"row.nam"});
  EXPECT_NE(r.status, 0);
  const std::string listing = dir.readText("row.lst");
  EXPECT_EQ(headRows(listing), (std::vector<std::string>{"   1   -5.000       2.500       10.00"}))
      << listing;
}

// A weaker well keeps every cell wet. Each outer iteration recomputes the transmissivities, so
// its first inner iteration still moves the heads by more than the criterion (PCG2 itself never
// converges), while its last one meets both criteria. With three outer iterations allowed the
// consecutive-iteration limit decides: 1 ends the step at iteration 2 (before PCG2's own summary
// at the last iteration), 2 at iteration 3, and 3 is never exceeded.
TEST(PcgClosureRule, ConsecutiveLimitEndsTheStepAfterOneMoreIterationThanTheLimit) {
  struct Case {
    int limit;
    int status;  // 0 or nonzero
    std::vector<std::string> lines;
  };
  const std::string summary = "     3 CALLS TO PCG ROUTINE FOR TIME STEP   1 IN STRESS PERIOD  1";
  auto stopped = [](int n) {
    return "  PCG2 CONVERGENCE STOPPED AFTER     " + std::to_string(n) +
           "CONSECUTIVE OUTER ITERATIONS WITH ERROR CRITERIA ACHIEVED.";
  };
  const Case cases[] = {
      {1, 0, {stopped(1)}},
      {2, 0, {summary, stopped(2)}},
      {3, 1, {summary, "           ****FAILED TO CONVERGE IN TIME STEP  1 OF STRESS PERIOD  1****"}},
  };
  for (const Case& c : cases) {
    TempDir dir;
    writeModel(dir, {.continueFlag = 0,
                     .steps = 1,
                     .wellRate = "     -20.0",
                     .pcg = "         3        10         1         " + std::to_string(c.limit) +
                            "\n    0.0001      0.01       1.0         0         0         0       1.0\n"});
    RunResult r = runAquifex(dir.path(), {"row.nam"});
    EXPECT_EQ(r.status != 0, c.status != 0) << c.limit;
    std::vector<std::string> seen;
    for (const std::string& line : lines(dir.readText("row.lst"))) {
      if (line.find("PCG2 CONVERGENCE STOPPED") != std::string::npos ||
          line.find("CALLS TO PCG ROUTINE FOR") != std::string::npos ||
          line.find("FAILED TO CONVERGE") != std::string::npos)
        seen.push_back(line);
    }
    EXPECT_EQ(seen, c.lines) << "limit " << c.limit;
  }
}

}  // namespace
}  // namespace aqx::test
