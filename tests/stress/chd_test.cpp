// CHD: the period's list, IBOUND marking, the period length from the step data, and the heads
// set at each time step; then whole runs over periods of growing and equal steps.
#include "stress/chd.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "io/record.hpp"
#include "stress/row_model.hpp"
#include "stress/stress_test_support.hpp"
#include "support/model_builder.hpp"

namespace aqx {
namespace {

using test::has;
using test::ModelBuilder;
using test::PackageRun;
using test::StopCase;

// Drives a stress period of `nsteps` steps as the basic package would (first step length delt).
void runPeriod(PackageRun& run, Model& m, int kper, float delt, int nsteps, float mult) {
  m.KPERIOD = kper;
  m.DELT = delt;
  m.NSTEPS = nsteps;
  m.TSMULT = mult;
  m.PERTIME = 0.0f;
  run.package().stressPeriod(m);
  for (int k = 1; k <= nsteps; ++k) {
    m.KSTEP = k;
    if (k > 1) m.DELT *= mult;
    m.PERTIME += m.DELT;
    run.package().advance(m);
  }
}

TEST(Chd, MarksCellsAndInterpolatesOverThePeriod) {
  ModelBuilder b(1, 2, 3);
  PackageRun run(b, "CHD", kCHD,
                 "         3\n"
                 "         3\n"
                 "         1         1         1      10.0      20.0\n"
                 "         1         1         2       5.0       5.0\n"
                 "         1         2         3       1.0       3.0\n"
                 "        -1\n");
  b.ibound(1, 1, 2) = 2;
  b.ibound(1, 2, 3) = 0;
  Model& m = b.model();
  const ChdPackage& chd = run.as<ChdPackage>();
  run.allocate();

  // Steps of 1, 1.5 and 2.25: the period is 4.75 long and the last step ends at the ending head.
  m.KPERIOD = 1;
  m.DELT = 1.0f;
  m.NSTEPS = 3;
  m.TSMULT = 1.5f;
  m.PERTIME = 0.0f;
  run.package().stressPeriod(m);
  EXPECT_EQ(chd.NCHDCELLS(), 3);
  EXPECT_EQ(chd.PERLENGTH(), 4.75f);
  EXPECT_EQ(b.ibound(1, 1, 1), -1);
  EXPECT_EQ(b.ibound(1, 1, 2), -2);
  EXPECT_EQ(b.ibound(1, 2, 3), 0);  // a no-flow cell stays no-flow
  EXPECT_EQ(b.ibound(1, 1, 3), 1);
  const double fractions[] = {1.0 / 4.75, 2.5 / 4.75, 1.0};
  for (int k = 1; k <= 3; ++k) {
    m.KSTEP = k;
    if (k > 1) m.DELT *= m.TSMULT;
    m.PERTIME += m.DELT;
    run.package().advance(m);
    EXPECT_NEAR(m.HEADNEW[m.cell(1, 1, 1)], 10.0 + 10.0 * fractions[k - 1], 1e-5) << k;
    EXPECT_EQ(m.HEADOLD[m.cell(1, 1, 1)], static_cast<float>(m.HEADNEW[m.cell(1, 1, 1)])) << k;
    EXPECT_EQ(m.HEADNEW[m.cell(1, 1, 2)], 5.0) << k;
    // The no-flow cell's heads are set too.
    EXPECT_NEAR(m.HEADNEW[m.cell(1, 2, 3)], 1.0 + 2.0 * fractions[k - 1], 1e-6) << k;
  }
  EXPECT_EQ(m.HEADNEW[m.cell(1, 1, 1)], 20.0);

  // Reused over ten equal steps of 0.3: step k reaches start + (end - start) * k / 10.
  m.KPERIOD = 2;
  m.DELT = 0.3f;
  m.NSTEPS = 10;
  m.TSMULT = 1.0f;
  m.PERTIME = 0.0f;
  run.package().stressPeriod(m);
  EXPECT_EQ(chd.PERLENGTH(), 10.0f * 0.3f);
  for (int k = 1; k <= 10; ++k) {
    m.KSTEP = k;
    m.PERTIME += m.DELT;
    run.package().advance(m);
    EXPECT_NEAR(m.HEADNEW[m.cell(1, 1, 1)], 10.0 + k, 1e-5) << k;
  }

  const std::string lst = b.listing();
  EXPECT_TRUE(has(lst,
                  "0CHD1 -- CHD PACKAGE, VERSION 1, 09/23/87 INPUT READ FROM UNIT 30\n"
                  " A TOTAL OF    3 CONSTANT-HEAD CELLS MAY BE SPECIFIED EACH STRESS PERIOD.\n"
                  "     15 ELEMENTS IN X ARRAY ARE USED FOR CONSTANT-HEAD CELLS\n"))
      << lst;
  EXPECT_TRUE(has(lst, " ELEMENTS OF X ARRAY USED OUT OF*******\n")) << lst;
  EXPECT_TRUE(has(lst,
                  "0\n\n     3 SPECIFIED-HEAD CELLS\n"
                  "0               LAYER     ROW     COL   STRT HEAD   ENDING HEAD\n"
                  "                ------------------------------------------------\n"
                  "                   1        1       1    10.00         20.00    \n"))
      << lst;
  EXPECT_TRUE(has(lst, "0REUSING CONSTANT-HEAD CELLS FROM LAST STRESS PERIOD\n")) << lst;
}

TEST(Chd, ReuseBeforeAnyListAndAnEmptyListSetNothing) {
  ModelBuilder b(1, 1, 2);
  PackageRun run(b, "CHD", kCHD, "         1\n        -1\n         0\n");
  b.setAllHeads(7.0);
  Model& m = b.model();
  run.allocate();
  runPeriod(run, m, 1, 1.0f, 2, 1.0f);
  runPeriod(run, m, 2, 1.0f, 2, 1.0f);
  EXPECT_EQ(m.HEADNEW[0], 7.0);
  EXPECT_EQ(b.ibound(1, 1, 1), 1);
  EXPECT_TRUE(has(b.listing(), "0\n\n     0 SPECIFIED-HEAD CELLS\n"));
}

class ChdStops : public ::testing::TestWithParam<StopCase> {};

TEST_P(ChdStops, WithMessage) {
  ModelBuilder b(1, 2, 3);
  PackageRun run(b, "CHD", kCHD, GetParam().input);
  run.allocate();
  EXPECT_THROW(runPeriod(run, b.model(), 1, 1.0f, 1, 1.0f), io::RunStop);
  const std::string lst = b.listing();
  EXPECT_TRUE(has(lst, GetParam().message)) << lst;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ChdStops,
    ::testing::Values(
        StopCase{"TooMany", "         1\n         2\n         1         1         1       1.0       1.0\n",
                 "\n NCHDCELLS(   2) IS GREATER THAN MXCHDCELLS(   1)\n"},
        StopCase{"NoRoomAtAll", "         0\n         1\n",
                 "\n NCHDCELLS(   1) IS GREATER THAN MXCHDCELLS(   0)\n"},
        StopCase{"RowOutside",
                 "         2\n         2\n         1         1         1       1.0       1.0\n"
                 "         1         3         1       1.0       1.0\n",
                 "\n CHD ENTRY     2 IS OUTSIDE THE GRID: LAYER     1, ROW     3, COLUMN     1\n STOP "
                 "EXECUTION\n"},
        StopCase{"LayerOutside",
                 "         1\n         1\n         2         1         1       1.0       1.0\n",
                 "\n CHD ENTRY     1 IS OUTSIDE THE GRID: LAYER     2, ROW     1, COLUMN     1\n"},
        // The difference of the two heads overflows single precision.
        StopCase{"HeadNotFinite",
                 "         1\n         1\n         1         2         2   -3.0E38    3.0E38\n",
                 "\n CHD CELL     1 (LAYER     1, ROW     2, COLUMN     2) GETS A HEAD THAT IS NOT A FINITE "
                 "NUMBER IN "
                 "STEP   1 OF STRESS PERIOD   1\n STOP EXECUTION\n"}),
    [](const auto& info) { return std::string(info.param.name); });

// Whole runs: a row between a CHD cell rising from 10 to 20 over each period and one held at 0,
// over a period of growing steps and a reused list in a longer period of equal steps.
TEST(ChdRun, HeadsFollowTheInterpolationAndTheRowFollowsThem) {
  test::RowModel model(1, 5);
  model.package("CHD", 20,
                "         2\n         2\n"
                "         1         1         1      10.0      20.0\n"
                "         1         1         5       0.0       0.0\n"
                "        -1\n");
  model.period(4.75, 3, 1.5);
  model.period(10.0, 4, 1.0);
  const test::RunResult result = model.run();
  ASSERT_EQ(result.status, 0) << result.out << result.err;

  const double fractions[] = {1.0 / 4.75, 2.5 / 4.75, 1.0, 0.25, 0.5, 0.75, 1.0};
  const auto heads = model.heads();
  const auto budgets = model.budgets();
  ASSERT_EQ(heads.size(), 7u);
  ASSERT_EQ(budgets.size(), 7u);
  for (std::size_t s = 0; s < 7; ++s) {
    const double left = 10.0 + 10.0 * fractions[s];
    for (int j = 1; j <= 5; ++j)
      EXPECT_NEAR(heads[s].values[j - 1], left * (5 - j) / 4.0, 1e-4) << "step " << s << " col " << j;
    // The flow through the row is the flow package's constant-head term, in and out.
    const double q = test::kRowConductance * left / 4.0;
    EXPECT_NEAR(budgets[s].row("   CONSTANT HEAD").rateIn, q, 1e-3) << s;
    EXPECT_NEAR(budgets[s].row("   CONSTANT HEAD").rateOut, q, 1e-3) << s;
    EXPECT_LE(std::fabs(budgets[s].discrepancyRate), 0.01) << s;
  }
  const std::string lst = model.listing();
  EXPECT_TRUE(has(lst, "0REUSING CONSTANT-HEAD CELLS FROM LAST STRESS PERIOD\n"));
}

}  // namespace
}  // namespace aqx
