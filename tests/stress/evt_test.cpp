// EVT driven phase by phase on hand-built grids: the three ranges of the rate rule, the budget
// against the formulated terms, the sign rule of the budget row, both options with their records,
// reuse of the four arrays.
#include "stress/evt.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/binary_files.hpp"
#include "support/model_builder.hpp"

namespace aqx {
namespace {

constexpr int kCbc = 40;

bool has(const std::string& text, const std::string& piece) {
  return text.find(piece) != std::string::npos;
}

// One row of six cells of area 2; surface 10, extinction depth 4, rate 0.5 per unit area, so a
// volumetric maximum of 1.
const char* kArrays = "CONSTANT 10.0\nCONSTANT 0.5\nCONSTANT 4.0\n";

TEST(Evt, RateRuleAgreesWithTheFormulatedTerms) {
  test::ModelBuilder b(1, 1, 6);
  std::fill(b.model().DELR, b.model().DELR + 6, 2.0f);
  //               at    above one depth below  halfway  below  just under the surface
  const double heads[6] = {10.0, 12.5, 6.0, 8.0, 1.0, 9.999};
  const double want[6] = {-1.0, -1.0, 0.0, -0.5, 0.0, -(1.0 - 0.001 / 4.0)};
  for (int j = 1; j <= 6; ++j) b.setHead(1, 1, j, heads[j - 1]);
  test::PackageRun run(b, "EVT", kEVT,
                       std::string("         1         0\n         0         0         0\n") + kArrays);
  run.allocate();
  run.period(1);
  const Model& m = b.model();
  double out = 0.0;
  for (int j = 1; j <= 6; ++j) {
    SCOPED_TRACE(j);
    const float q = m.BUFF[m.cell(1, 1, j)];
    EXPECT_NEAR(q, want[j - 1], 1e-6);
    // The flow the equation holds at this head: HCOEF*h - RHS.
    EXPECT_NEAR(run.hcoef(1, 1, j) * heads[j - 1] - run.rhs(1, 1, j), q, 1e-5);
    out -= q;
  }
  EXPECT_EQ(run.hcoef(1, 1, 1), 0.0f);  // full rate: RHS only
  EXPECT_EQ(run.rhs(1, 1, 3), 0.0f);    // extinct: untouched
  EXPECT_EQ(m.BUDNAM[0], "              ET");
  EXPECT_EQ(m.BUDVAL[0][2], 0.0f);
  EXPECT_FLOAT_EQ(m.BUDVAL[0][3], static_cast<float>(out));
  EXPECT_EQ(m.BUDVAL[0][0], 0.0f);
}

TEST(Evt, RangeIsDecidedAgainInEveryIteration) {
  test::ModelBuilder b(1, 1, 1);
  b.model().DELR[0] = 2.0f;
  test::PackageRun run(b, "EVT", kEVT,
                       std::string("         1         0\n         0         0         0\n") + kArrays);
  run.allocate();
  b.setHead(1, 1, 1, 11.0);
  run.period(1);
  EXPECT_EQ(run.rhs(1, 1, 1), 1.0f);
  for (const double h : {8.0, 5.0, 10.0}) {
    b.setHead(1, 1, 1, h);
    run.formulate();
    EXPECT_EQ(run.hcoef(1, 1, 1), h == 8.0 ? -0.25f : 0.0f) << h;
    EXPECT_EQ(run.rhs(1, 1, 1), h == 8.0 ? -1.5f : h == 5.0 ? 0.0f : 1.0f) << h;
  }
}

TEST(Evt, NegativeRateReducesTheOutflowAndNonPositiveDepthIsAStep) {
  test::ModelBuilder b(1, 1, 3);
  for (int j = 1; j <= 3; ++j) b.setHead(1, 1, j, j == 3 ? 9.0 : 10.0);
  test::PackageRun run(b, "EVT", kEVT,
                       "         1         0\n         0         0         0\nCONSTANT 10.0\n"
                       "INTERNAL 1.0 (FREE) -1\n1.0 -0.4 1.0\nINTERNAL 1.0 (FREE) -1\n0.0 -2.0 0.0\n");
  run.allocate();
  run.period(1);
  const Model& m = b.model();
  EXPECT_EQ(m.BUFF[m.cell(1, 1, 1)], -1.0f);  // zero depth, head at the surface: full rate
  EXPECT_EQ(m.BUFF[m.cell(1, 1, 2)], 0.4f);
  EXPECT_EQ(m.BUFF[m.cell(1, 1, 3)], 0.0f);  // zero depth, head below: nothing
  EXPECT_EQ(m.BUDVAL[0][2], 0.0f);
  EXPECT_FLOAT_EQ(m.BUDVAL[0][3], 0.6f);
}

// Two layers of 2 x 2: column (1,1) has no flow in layer 1 over a variable-head cell; (2,2) a
// constant head in layer 2. Heads all at the surface (full rate 1 per column).
TEST(Evt, OptionsAndTheirCompactRecords) {
  struct Case {
    const char* name;
    std::string input;
    std::vector<int> layers;  // receiving layer per column, 0 none
    int method;
  };
  const Case cases[] = {
      {"TopLayer",
       std::string("         1        40\n         0         0         0\n") + kArrays,
       {0, 1, 1, 1},
       4},
      {"GivenLayer",
       std::string("         2        40\n         0         0         0         0\n") + kArrays +
           "INTERNAL 1 (FREE) -1\n2 2\n1 2\n",
       {2, 2, 1, 0},
       3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    test::ModelBuilder b(2, 2, 2);
    std::fill(b.model().DELR, b.model().DELR + 2, 2.0f);
    b.ibound(1, 1, 1) = 0;
    b.ibound(2, 2, 2) = -1;
    b.setAllHeads(10.0);
    b.output(kCbc, "cbc.bin");
    test::PackageRun run(b, "EVT", kEVT, c.input);
    run.allocate();
    run.period(1, 2);
    const Model& m = b.model();
    int count = 0;
    for (int n = 0; n < 4; ++n) {
      for (int k = 1; k <= 2; ++k) {
        const float want = c.layers[n] == k ? -1.0f : 0.0f;
        EXPECT_EQ(m.BUFF[m.cell(k, n / 2 + 1, n % 2 + 1)], want) << n << ' ' << k;
      }
      if (c.layers[n] > 0) ++count;
    }
    EXPECT_EQ(m.BUDVAL[0][3], static_cast<float>(count));
    const auto records = test::readBudgetFile(b.bytes(kCbc, "cbc.bin"));
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].label, "              ET");
    EXPECT_EQ(records[0].method, c.method);
    if (c.method == 3) {
      EXPECT_EQ(records[0].indicator, (std::vector<int>{2, 2, 1, 2}));
    }
  }
}

TEST(Evt, ReuseOfEachArrayAndListingLines) {
  test::ModelBuilder b(1, 1, 2);
  std::fill(b.model().DELR, b.model().DELR + 2, 2.0f);
  b.setAllHeads(8.0);
  test::PackageRun run(b, "EVT", kEVT,
                       std::string("         1        40\n         0         0         0\n") + kArrays +
                           "        -1        -1        -1\n"
                           "        -1        -1         0\nCONSTANT 2.0\n");
  run.allocate();
  run.period(1);
  EXPECT_FLOAT_EQ(b.model().BUFF[0], -0.5f);
  run.period(2);
  EXPECT_FLOAT_EQ(b.model().BUFF[0], -0.5f);  // the rate is not multiplied by the area again
  run.period(3);
  EXPECT_EQ(b.model().BUFF[0], 0.0f);  // extinction depth 2: head 8 is extinct
  const std::string lst = b.listing();
  EXPECT_TRUE(has(lst,
                  " \n EVT5 -- EVAPOTRANSPIRATION PACKAGE, VERSION 5, 9/1/93 INPUT READ FROM UNIT 15\n"
                  " OPTION 1 -- EVAPOTRANSPIRATION FROM TOP LAYER\n"
                  " CELL-BY-CELL FLOWS WILL BE SAVED ON UNIT 40\n"
                  "          6 ELEMENTS OF X ARRAY ARE USED BY EVT\n"))
      << lst;
  EXPECT_TRUE(has(lst,
                  "\n \n REUSING SURF FROM LAST STRESS PERIOD\n \n REUSING EVTR FROM LAST STRESS PERIOD\n \n"
                  " REUSING EXDP FROM LAST STRESS PERIOD\n"))
      << lst;
  EXPECT_TRUE(has(lst, "              ET SURFACE =   10.00000    \n")) << lst;
  EXPECT_TRUE(has(lst, "        EXTINCTION DEPTH =   2.000000    \n")) << lst;
}

TEST(Evt, FirstPeriodReuseIsZeroAndFreeFormat) {
  test::ModelBuilder b(2, 1, 2);
  b.model().FREEFMT = 1;
  b.setAllHeads(10.0);
  test::PackageRun run(b, "EVT", kEVT, "2 0\n0 -1 0 0\nCONSTANT 10.0\nCONSTANT 4.0\nCONSTANT 2\n");
  run.allocate();
  run.period(1);
  EXPECT_EQ(b.model().BUDVAL[0][3], 0.0f);
  const std::string lst = b.listing();
  EXPECT_TRUE(has(lst, " OPTION 2 -- EVAPOTRANSPIRATION FROM ONE SPECIFIED NODE IN EACH VERTICAL COLUMN\n"))
      << lst;
  EXPECT_TRUE(has(lst, "\n NO EARLIER EVTR ARRAY TO REUSE: ALL ITS VALUES ARE ZERO IN STRESS PERIOD   1\n"))
      << lst;
  EXPECT_TRUE(has(lst, "          ET LAYER INDEX =              2\n")) << lst;
}

TEST(Evt, StopsOnIllegalOptionAndLayerOutsideTheGrid) {
  {
    test::ModelBuilder b(1, 1, 2);
    test::PackageRun run(b, "EVT", kEVT, "         3         0\n");
    EXPECT_THROW(run.allocate(), io::RunStop);
    EXPECT_TRUE(has(b.listing(), "\n ILLEGAL ET OPTION CODE. SIMULATION ABORTING\n"));
  }
  {
    test::ModelBuilder b(2, 1, 2);
    test::PackageRun run(b, "EVT", kEVT,
                         std::string("         2         0\n         0         0         0         0\n") +
                             kArrays + "INTERNAL 1 (FREE) -1\n1 3\n");
    run.allocate();
    EXPECT_THROW(run.period(1), io::RunStop);
    EXPECT_TRUE(
        has(b.listing(),
            "\n IEVT AT ROW     1, COLUMN     2 IS          3: NOT A LAYER OF THE GRID (1 TO   2)\n"));
  }
}

}  // namespace
}  // namespace aqx
