// GHB driven phase by phase on a hand-built row of cells: the boundary terms and rates in both
// directions, the budget row, and the boundary texts of the listing.
#include "stress/ghb.hpp"

#include <gtest/gtest.h>

#include <string>

#include "io/record.hpp"
#include "stress/stress_test_support.hpp"
#include "support/model_builder.hpp"

namespace aqx {
namespace {

using test::has;
using test::ModelBuilder;
using test::PackageRun;
using test::StopCase;

// Cells: 1 boundary head above the cell's, 2 below, 3 equal, 4 constant head.
const char* kBounds =
    "         4        -1 CBC\n"
    "         4\n"
    "         1         1         1      10.0       3.0\n"
    "         1         1         2       4.0       3.0\n"
    "         1         1         3       6.0       3.0\n"
    "         1         1         4      10.0       3.0\n";

TEST(Ghb, TermsRatesBudgetRowAndListing) {
  ModelBuilder b(1, 1, 4);
  PackageRun run(b, "GHB", kGHB, kBounds);
  b.setAllHeads(6.0);
  b.ibound(1, 1, 4) = -1;
  run.allocate();
  run.period(1, 1);
  const float hcoef[] = {-3.0f, -3.0f, -3.0f, 0.0f};
  const float rhs[] = {-30.0f, -12.0f, -18.0f, 0.0f};
  const float rate[] = {12.0f, -6.0f, 0.0f, 0.0f};
  const GhbPackage& ghb = run.as<GhbPackage>();
  for (int j = 1; j <= 4; ++j) {
    EXPECT_EQ(run.hcoef(1, 1, j), hcoef[j - 1]) << j;  // the equal heads keep their terms
    EXPECT_EQ(run.rhs(1, 1, j), rhs[j - 1]) << j;
    EXPECT_EQ(ghb.list().keptFlow(j), rate[j - 1]) << j;
  }
  Model& m = b.model();
  EXPECT_EQ(m.BUDNAM[0], " HEAD DEP BOUNDS");
  EXPECT_FLOAT_EQ(m.BUDVAL[0][2], 12.0f);
  EXPECT_FLOAT_EQ(m.BUDVAL[0][3], 6.0f);

  const std::string lst = b.listing();
  EXPECT_TRUE(has(lst,
                  " GHB5 -- GHB PACKAGE, VERSION 5, 9/1/93 INPUT READ FROM UNIT 17\n"
                  " MAXIMUM OF    4 HEAD-DEPENDENT BOUNDARY NODES\n"
                  " CELL-BY-CELL FLOWS WILL BE PRINTED WHEN ICBCFL NOT 0\n"
                  " MEMORY IS ALLOCATED FOR CELL-BY-CELL BUDGET TERMS\n"
                  "         24 ELEMENTS IN X ARRAY ARE USED BY GHB\n"))
      << lst;
  EXPECT_TRUE(has(lst,
                  "\n     4 HEAD-DEPENDENT BOUNDARY NODES\n \n"
                  " LAYER   ROW   COL   ELEVATION   CONDUCTANCE   BOUND NO.\n"
                  " -------------------------------------------------------\n"
                  "    1      1     1    10.00         3.000           1\n"))
      << lst;
  EXPECT_TRUE(has(lst,
                  "\n  HEAD DEP BOUNDS   PERIOD  1   STEP  1\n"
                  " BOUNDARY   1   LAYER  1   ROW   1   COL   1   RATE    12.0000    \n"
                  " BOUNDARY   2   LAYER  1   ROW   1   COL   2   RATE   -6.00000    \n"
                  " BOUNDARY   3   LAYER  1   ROW   1   COL   3   RATE   0.000000E+00\n"))
      << lst;
  EXPECT_FALSE(has(lst, " BOUNDARY   4 ")) << lst;
}

TEST(Ghb, ReuseAndFreeFormat) {
  ModelBuilder b(1, 2, 2);
  b.model().FREEFMT = 1;
  PackageRun run(b, "GHB", kGHB, "1 0\n1\n1 2 2 5.0 0.5\n-1\n");
  b.setAllHeads(1.0);
  run.allocate();
  run.period(1);
  run.period(2);
  EXPECT_EQ(run.hcoef(1, 2, 2), -0.5f);
  EXPECT_EQ(run.rhs(1, 2, 2), -2.5f);
  EXPECT_FLOAT_EQ(b.model().BUDVAL[0][0], 4.0f);  // 2 per period
  EXPECT_TRUE(has(b.listing(), "\n REUSING HEAD-DEPENDENT BOUNDS FROM LAST STRESS PERIOD\n"));
}

TEST(Ghb, MoreBoundariesThanTheMaximumStop) {
  ModelBuilder b(1, 1, 1);
  PackageRun run(b, "GHB", kGHB, "         1         0\n         2\n");
  run.allocate();
  EXPECT_THROW(run.period(1), io::RunStop);
  EXPECT_TRUE(has(b.listing(), "\n NBOUND(   2) IS GREATER THAN MXBND(   1)\n"));
}

}  // namespace
}  // namespace aqx
