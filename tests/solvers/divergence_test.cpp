// A solver whose head change or residual stops being a finite number ends the run with a message
// naming the solver, the iteration and the cell, and a nonzero status, whatever CONTINUEFLAG says;
// no head of that step reaches the head file.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <random>
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
    {"SOR", "        50\n       1.0    1.0E-4         1\n",
     " SOR: HEAD CHANGE AT LAYER  1, ROW   1, COLUMN   2 IS NOT A FINITE NUMBER IN ITERATION    1 -- THE "
     "SOLUTION HAS DIVERGED",
     "    1 ITERATIONS FOR TIME STEP   1 IN STRESS PERIOD  1"},
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

TEST(Divergence, SipOnLogNormalTransmissivityWithTheAverageSeed) {
  // 200 x 200 cells, ln T normal with standard deviation 1, constant heads on the first and last
  // columns, iteration parameters from the model's average seed: SIP diverges after a few hundred
  // iterations (NaN heads used to be called converged here).
  test::SolverModel s;
  s.nrow = s.ncol = 200;
  s.ibound.assign(s.cells(), 1);
  s.start.assign(s.cells(), 95.0);
  s.tran.resize(s.cells());
  std::mt19937 rng(1);
  std::normal_distribution<double> lnT(0.0, 1.0);
  for (int i = 1; i <= s.nrow; ++i) {
    for (int j = 1; j <= s.ncol; ++j) {
      const std::size_t n = s.at(1, i, j);
      s.tran[n] = static_cast<float>(std::exp(lnT(rng)));
      if (j == 1 || j == s.ncol) {
        s.ibound[n] = -1;
        s.start[n] = j == 1 ? 100.0 : 90.0;
      }
    }
  }
  s.delr = s.delc = 100.0f;
  s.solverInput = "      1000         5\n       1.0    1.0E-6         1       0.0         1\n";
  test::TempDir dir;
  test::writeSolverModel(dir, s);
  const test::RunResult r = test::runAquifex(dir.path(), {}, "m.nam\n");
  EXPECT_NE(r.status, 0);
  const std::string listing = dir.readText("m.lst");
  std::vector<std::string> l = test::lines(listing);
  for (std::string& x : l) x.erase(x.find_last_not_of(' ') + 1);
  ASSERT_GE(l.size(), 2u);
  int layer = 0, row = 0, column = 0, iteration = 0;
  ASSERT_EQ(
      std::sscanf(l.back().c_str(),
                  " SIP: HEAD CHANGE AT LAYER %d, ROW %d, COLUMN %d IS NOT A FINITE NUMBER IN ITERATION %d",
                  &layer, &row, &column, &iteration),
      4)
      << l.back();
  EXPECT_TRUE(l.back().ends_with("-- THE SOLUTION HAS DIVERGED"));
  EXPECT_GT(iteration, 1);
  EXPECT_LT(iteration, 1000);
  char count[80];
  std::snprintf(count, sizeof count, "%6d ITERATIONS FOR TIME STEP   1 IN STRESS PERIOD  1", iteration);
  EXPECT_NE(listing.find(count), std::string::npos);
  EXPECT_TRUE(!dir.exists("m.hds") || dir.readBytes("m.hds").empty());
}

}  // namespace
}  // namespace aqx
