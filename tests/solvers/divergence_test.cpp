// A solver whose head change or residual stops being a finite number ends the run with a message
// naming the solver, the iteration and the cell, and a nonzero status, whatever CONTINUEFLAG says;
// no head of that step reaches the head file.
#include <gtest/gtest.h>

#include <string>

#include "solvers/solver_models.hpp"
#include "support/e2e.hpp"

namespace aqx {
namespace {

// A row of five cells, a constant head of 0 at the first, a tiny transmissivity and a pumping
// rate near the largest single-precision number at the last: the first head change overflows.
test::SolverModel overflowingRow(const std::string& type, const std::string& input, int continueflag) {
  test::SolverModel s;
  s.ncol = 5;
  s.continueflag = continueflag;
  s.ibound = {-1, 1, 1, 1, 1};
  s.tran = std::vector<float>(5, 1e-3f);
  s.wells = {{1, 1, 5, -1e38f}};
  s.solverType = type;
  s.solverInput = input;
  return s;
}

struct DivergenceCase {
  const char* type;
  const char* input;
  const char* message;  // the listing line, trailing blanks removed
  const char* endOfStep;
};

const DivergenceCase kCases[] = {
    {"SIP", "        50         5\n       1.0    1.0E-4         0     0.001         1\n",
     " SIP: HEAD CHANGE AT LAYER  1, ROW   1, COLUMN   5 IS NOT A FINITE NUMBER IN ITERATION    1 -- THE "
     "SOLUTION HAS DIVERGED",
     "    1 ITERATIONS FOR TIME STEP   1 IN STRESS PERIOD  1"},
    {"PCG",
     "        20        10         1         0\n    1.0E-4    1.0E-2       1.0         0         1"
     "         0       1.0\n",
     " PCG2: HEAD CHANGE AT LAYER  1, ROW   1, COLUMN   2 IS NOT A FINITE NUMBER IN ITERATION    1 -- THE "
     "SOLUTION HAS DIVERGED",
     "    1 CALLS TO PCG ROUTINE FOR TIME STEP   1 IN STRESS PERIOD  1"},
    {"PCG",
     "        20        10         2         0\n    1.0E-4    1.0E-2       1.0         0         1"
     "         0       1.0\n",
     " PCG2: HEAD CHANGE AT LAYER  1, ROW   1, COLUMN   2 IS NOT A FINITE NUMBER IN ITERATION    1 -- THE "
     "SOLUTION HAS DIVERGED",
     "    1 CALLS TO PCG ROUTINE FOR TIME STEP   1 IN STRESS PERIOD  1"},
};

TEST(Divergence, NonFiniteChangeStopsTheRunWithTheMessage) {
  for (const DivergenceCase& c : kCases) {
    for (const int continueflag : {0, 1}) {
      SCOPED_TRACE(std::string(c.type) + " " + c.input + " CONTINUEFLAG " + std::to_string(continueflag));
      test::TempDir dir;
      test::writeSolverModel(dir, overflowingRow(c.type, c.input, continueflag));
      const test::RunResult r = test::runAquifex(dir.path(), {}, "m.nam\n");
      EXPECT_NE(r.status, 0);
      ASSERT_TRUE(dir.exists("m.lst"));
      const std::string listing = dir.readText("m.lst");
      std::vector<std::string> l = test::lines(listing);
      for (std::string& s : l) s.erase(s.find_last_not_of(' ') + 1);
      ASSERT_FALSE(l.empty());
      // The message is the last line; before it the end-of-step lines of a step that did not
      // converge, with its table.
      EXPECT_EQ(l.back(), c.message) << listing;
      EXPECT_NE(listing.find(c.endOfStep), std::string::npos);
      EXPECT_NE(listing.find("MAXIMUM HEAD CHANGE FOR EACH ITERATION"), std::string::npos);
      EXPECT_TRUE(!dir.exists("m.hds") || dir.readBytes("m.hds").empty());
    }
  }
}

}  // namespace
}  // namespace aqx
