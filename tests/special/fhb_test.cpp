// FHB driven phase by phase on small hand-built grids: the step-mean rate of piecewise-linear
// series, head cells made constant head and set at step ends, auxiliary values at their weighted
// times, the listing, the budget row and cell-by-cell output, and the input it refuses.
#include "special/fhb.hpp"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "driver/model.hpp"
#include "io/record.hpp"
#include "support/binary_files.hpp"
#include "support/e2e.hpp"
#include "support/model_builder.hpp"

namespace aqx {
namespace {

constexpr int kFhbUnit = 10 + kFHB;  // where ModelBuilder opens the package input
constexpr int kDataUnit = 45, kCbcUnit = 40;

bool has(const std::string& text, const std::string& piece) {
  return text.find(piece) != std::string::npos;
}

// One FHB on a grid of one layer and one row.
class FhbRun {
 public:
  explicit FhbRun(const std::string& input, int ncol = 3, const std::string& data = "")
      : b_(1, 1, ncol), run_(b_, "FHB", kFHB, input) {
    if (!data.empty()) {
      b_.dir().write("data.dat", data);
      io::openExisting(kDataUnit, (b_.dir() / "data.dat").string());
    }
    b_.output(kCbcUnit, "out.cbc");
  }

  Model& m() { return b_.model(); }
  test::ModelBuilder& builder() { return b_; }
  FhbPackage& fhb() { return run_.as<FhbPackage>(); }

  void prepare() {
    run_.allocate();
    run_.readPrepare();
  }
  // A time step that ends at `end` and lasts `delt`: advance, formulate, budget.
  void step(float end, float delt, int icbcfl = 0) {
    Model& m = b_.model();
    ++m.KSTEP;
    m.KPERIOD = 1;
    m.TOTTIME = end;
    m.DELT = delt;
    m.PERTIME = end;
    run_.package().advance(m);
    run_.formulate();
    run_.budget(icbcfl);
  }
  float rhs(int j) const { return run_.rhs(1, 1, j); }
  float rateIn() { return m().BUDVAL[0][2]; }
  float rateOut() { return m().BUDVAL[0][3]; }
  std::string listing() { return b_.listing(); }
  std::vector<test::BudgetRecord> records() { return test::readBudgetFile(b_.bytes(kCbcUnit, "out.cbc")); }

 private:
  test::ModelBuilder b_;
  test::PackageRun run_;
};

// ---------------------------------------------------------------------------------------------
// Step-mean rates

struct MeanCase {
  const char* name;
  int ntimes;
  const char* times;  // list-directed values
  const char* rates;
  float end, delt;
  float mean;  // the exact mean of the piecewise-linear rate over the step
  const char* timeMult = "1.0";
  const char* rateMult = "1.0";
  bool dataElsewhere = false;  // times and rates on another unit
  int steady = 0, ssflag = 0;
};

void PrintTo(const MeanCase& c, std::ostream* os) {
  *os << c.name;
}

class FhbMean : public ::testing::TestWithParam<MeanCase> {};

TEST_P(FhbMean, RateIsTheExactMeanOverTheStep) {
  const MeanCase& c = GetParam();
  const int dataUnit = c.dataElsewhere ? kDataUnit : kFhbUnit;
  const std::string times = std::string(c.times) + "\n";
  const std::string cell = std::string("1 1 2 0 ") + c.rates + "\n";
  std::string input = std::to_string(c.ntimes) + " 1 0 " + std::to_string(c.ssflag) + " 0 0 0\n";
  std::string data;
  input += std::to_string(dataUnit) + " " + c.timeMult + " 0\n";
  (c.dataElsewhere ? data : input) += times;
  input += std::to_string(dataUnit) + " " + c.rateMult + " 0\n";
  (c.dataElsewhere ? data : input) += cell;

  FhbRun run(input, 3, data);
  run.m().ISTEADY = c.steady;
  run.prepare();
  run.step(c.end, c.delt);
  EXPECT_FLOAT_EQ(run.fhb().rateNow(1), c.mean);
  EXPECT_FLOAT_EQ(run.rhs(2), -c.mean);
  EXPECT_FLOAT_EQ(run.rateIn(), c.mean > 0 ? c.mean : 0.0f);
  EXPECT_FLOAT_EQ(run.rateOut(), c.mean < 0 ? -c.mean : 0.0f);  // out as a positive number
  EXPECT_FLOAT_EQ(run.m().BUDVAL[0][0], (c.mean > 0 ? c.mean : 0.0f) * c.delt);
  EXPECT_EQ(run.m().BUDNAM[0], " SPECIFIED FLOWS");
  EXPECT_FLOAT_EQ(run.fhb().rateApplied(1), c.mean);
}

INSTANTIATE_TEST_SUITE_P(
    Series, FhbMean,
    ::testing::Values(
        MeanCase{"RampFirstHalf", 3, "0 10 20", "0 10 10", 5, 5, 2.5f},
        MeanCase{"AcrossATime", 3, "0 10 20", "0 10 10", 15, 10, 8.75f},
        MeanCase{"PastTheLastTime", 2, "0 10", "0 10", 20, 10, 15.0f},
        MeanCase{"InsideAndPastTheLastTime", 2, "0 10", "0 10", 15, 10, 10.0f},
        MeanCase{"StepChangeInside", 4, "0 10 10 20", "1 1 5 5", 15, 10, 3.0f},
        MeanCase{"StepChangeAtStart", 4, "0 10 10 20", "1 1 5 5", 20, 10, 5.0f},
        MeanCase{"StepChangeAtEnd", 4, "0 10 10 20", "1 1 5 5", 10, 10, 1.0f},
        MeanCase{"EqualFirstTimes", 3, "0 0 10", "3 7 7", 5, 5, 7.0f},
        MeanCase{"EqualLastTimesPassed", 3, "0 10 10", "1 1 4", 25, 10, 4.0f},
        MeanCase{"EqualLastTimesReached", 3, "0 10 10", "1 1 4", 15, 10, 2.5f},
        MeanCase{"ManyTimesInOneStep", 5, "0 1 2 3 4", "0 4 0 4 0", 3.5f, 3, 7.0f / 3.0f},
        MeanCase{"Outflow", 2, "0 10", "-4 -8", 10, 10, -6.0f},
        MeanCase{"OneTime", 1, "0", "7", 110, 10, 7.0f},
        MeanCase{"Multipliers", 3, "0 1 2", "0 1 1", 15, 10, 1.75f, "10.0", "2.0"},
        MeanCase{"DataOnAnotherUnit", 3, "0,10,20", "0,10,10", 15, 10, 8.75f, "1.0", "1.0", true},
        MeanCase{"SteadyStateFirstValues", 2, "0 10", "2 12", 10, 5, 2.0f, "1.0", "1.0", false, 1, 0},
        MeanCase{"SteadyStateInterpolated", 2, "0 10", "2 12", 10, 5, 9.5f, "1.0", "1.0", false, 1, 1},
        MeanCase{"TransientIgnoresTheFlag", 2, "0 10", "2 12", 10, 5, 9.5f, "1.0", "1.0", false, 0, 0}),
    [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------------------------------------
// Head cells

// Four head cells on IBOUND 1, 3, -2 and 0; two flow cells, one on a head cell.
const char* kHeadsAndFlows =
    "2 2 4 0 40 0 0\n"
    "31 1.0 1\n0 10\n"
    "31 1.0 1\n"
    "1 1 1 0 50 50\n"
    "1 1 2 9 -5 -15\n"
    "31 1.0 1\n"
    "1 1 1 0 10 20\n"
    "1 1 2 0 5 5\n"
    "1 1 3 0 1 2\n"
    "1 1 4 0 7 7\n";

TEST(FhbHeads, BecomeConstantHeadAndHoldTheirValueAtEachStepEnd) {
  FhbRun run(kHeadsAndFlows, 4);
  test::ModelBuilder& b = run.builder();
  b.ibound(1, 1, 2) = 3;
  b.ibound(1, 1, 3) = -2;
  b.ibound(1, 1, 4) = 0;
  b.setAllHeads(-999.0);
  run.prepare();
  EXPECT_EQ(b.ibound(1, 1, 1), -1);
  EXPECT_EQ(b.ibound(1, 1, 2), -3);
  EXPECT_EQ(b.ibound(1, 1, 3), -2);
  EXPECT_EQ(b.ibound(1, 1, 4), 0);
  EXPECT_TRUE(run.fhb().headIgnored(4));

  Model& m = run.m();
  const std::int64_t c1 = m.cell(1, 1, 1), c3 = m.cell(1, 1, 3), c4 = m.cell(1, 1, 4);
  run.step(4, 4, 2);
  EXPECT_DOUBLE_EQ(m.HEADNEW[c1], 14.0);
  EXPECT_FLOAT_EQ(m.HEADOLD[c1], 14.0f);
  EXPECT_DOUBLE_EQ(m.HEADNEW[c3], static_cast<double>(1.4f));
  run.step(15, 11, 2);
  EXPECT_DOUBLE_EQ(m.HEADNEW[c1], 25.0);  // extrapolated past the last time
  EXPECT_FLOAT_EQ(m.HEADOLD[c3], 2.5f);
  // The ignored cell keeps the head it had, in HEADNEW and HEADOLD.
  EXPECT_EQ(m.HEADNEW[c4], -999.0);
  EXPECT_EQ(m.HEADOLD[c4], -999.0f);

  // Flow cells now on constant heads add nothing to RHS or the budget.
  EXPECT_EQ(run.rhs(1), 0.0f);
  EXPECT_EQ(run.rhs(2), 0.0f);
  EXPECT_EQ(run.rateIn(), 0.0f);
  EXPECT_EQ(run.rateOut(), 0.0f);

  const std::string lst = run.listing();
  EXPECT_TRUE(has(lst,
                  "\n CELL INDICIES AND SPECIFIED-HEAD VALUES WILL BE READ ON UNIT  31. HEAD VALUES\n"
                  " WILL BE MULTIPLIED BY   1.000    .\n"
                  " LAYER  ROW  COL IAUX             HEAD VALUES\n"
                  " -------------------------------------------\n"
                  "    1    1    1    0   10.00       20.00    \n"
                  "    1    1    2    0   5.000       5.000    \n"
                  "    1    1    3    0   1.000       2.000    \n"
                  " SPECIFIED-HEAD VALUE IGNORED AT ROW    1, COLUMN    4, AND LAYER    1.\n"))
      << lst;
  // List-form records: every flow cell, with 0.0 where the cell is not variable head.
  const auto records = run.records();
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[1].method, 2);
  ASSERT_EQ(records[1].entries.size(), 2u);
  EXPECT_EQ(records[1].entries[0], (std::pair<int, float>(1, 0.0f)));
  EXPECT_EQ(records[1].entries[1], (std::pair<int, float>(2, 0.0f)));
}

TEST(FhbHeads, OneTimeHoldsEveryValueForTheWholeRun) {
  FhbRun run(
      "1 1 1 0 0 1 1\nflowaux 0.5\nheadaux 1\n31 1 0\n0\n31 1 0\n1 1 1 0 -3.5\n31 1 0\n8\n"
      "31 1 0\n1 1 2 0 12.5\n31 1 0\n-6\n");
  run.prepare();
  for (const float end : {1.0f, 50.0f, 1.0e4f}) {
    run.step(end, 1.0f);
    EXPECT_EQ(run.fhb().rateNow(1), -3.5f);
    EXPECT_EQ(run.fhb().flowAuxNow(1, 1), 8.0f);
    EXPECT_EQ(run.fhb().headAuxNow(1, 1), -6.0f);
    EXPECT_EQ(run.m().HEADNEW[run.m().cell(1, 1, 2)], 12.5);
    EXPECT_EQ(run.rateOut(), 3.5f);
  }
}

// ---------------------------------------------------------------------------------------------
// Auxiliary variables

TEST(FhbAux, ValuesAtTheirWeightedTimes) {
  FhbRun run(
      "2 1 1 0 0 3 1\n"
      "start 0.0\n"
      "middle,0.5\n"
      "'end' 1\n"
      "atmiddle .5\n"
      "31 1.0 0\n0 10\n"
      "31 1.0 0\n1 1 1 0 0 0\n"
      "31 1.0 0\n0 100\n"
      "31 2.0 0\n0 50\n"
      "31 1.0 0\n0 100\n"
      "31 1.0 0\n1 1 2 0 3 3\n"
      "31 1.0 1\n0 100\n");
  run.prepare();
  EXPECT_EQ(run.fhb().AUXNAME(1), "START           ");
  EXPECT_EQ(run.fhb().AUXNAME(3), "END             ");
  EXPECT_EQ(run.fhb().AUXNAME(6), "ATMIDDLE        ");
  EXPECT_EQ(run.fhb().AUXWEIGHT(2), 0.5f);
  run.step(6, 4);
  EXPECT_FLOAT_EQ(run.fhb().flowAuxNow(1, 1), 20.0f);
  EXPECT_FLOAT_EQ(run.fhb().flowAuxNow(1, 2), 40.0f);  // multiplied by 2
  EXPECT_FLOAT_EQ(run.fhb().flowAuxNow(1, 3), 60.0f);
  EXPECT_FLOAT_EQ(run.fhb().headAuxNow(1, 1), 40.0f);

  const std::string lst = run.listing();
  EXPECT_TRUE(has(lst,
                  "  3 AUXILIARY VARIABLES FOR SPECIFIED-FLOW CELLS WILL\n"
                  "  BE DEFINED BY FHB FOR USE BY OTHER PACKAGES.\n"
                  "       NAME      WEIGHTING FACTOR\n"
                  " --------------------------------\n"
                  " START                  0.00\n"
                  " MIDDLE                 0.50\n"
                  " END                    1.00\n"
                  "  1 AUXILIARY VARIABLES FOR SPECIFIED-HEAD CELLS WILL\n"))
      << lst;
  EXPECT_TRUE(has(lst,
                  "\n MIDDLE          FOR SPECIFIED-FLOW CELLS WILL BE READ ON UNIT  31.\n"
                  " VALUES WILL BE MULTIPLIED BY   2.000    .\n"))
      << lst;
  EXPECT_TRUE(has(lst,
                  " ATMIDDLE        FOR SPECIFIED-HEAD CELLS WILL BE READ ON UNIT  31.\n"
                  " VALUES WILL BE MULTIPLIED BY   1.000    .\n"
                  " LAYER  ROW  COL IAUX  ATMIDDLE        \n"
                  " -------------------------------------------\n"
                  "    1    1    2    0  0.0000E+00   100.0    \n"))
      << lst;
}

// ---------------------------------------------------------------------------------------------
// Listing

TEST(FhbListing, AllocateLinesAndEchoTablesWithContinuationLines) {
  FhbRun run(
      "6 1 0 0 -1 0 0\n"
      "31 0.5 1\n0 2 4 6 8 10\n"
      "31 1.0 1\n1 1 3 4 1 2 3 4 5 6\n");
  run.prepare();
  const std::string lst = run.listing();
  EXPECT_TRUE(has(lst,
                  "0FHB1 -- SPECIFIED FLOW PACKAGE, VERSION 1,12/3/96 INPUT READ FROM 31\n"
                  " TOTAL OF    6 TIMES WILL BE USED TO DEFINE VARIATIONS IN FLOW AND HEAD.\n"
                  " FLOW WILL BE SPECIFIED AT A TOTAL OF    1 CELLS.\n"
                  " HEAD WILL BE SPECIFIED AT A TOTAL OF    0 CELLS.\n"
                  " FHB STEADY-STATE OPTION FLAG WILL BE IGNORED,\n"
                  " SIMULATION IS TRANSIENT.\n"
                  " CELL-BY-CELL FLOWS WILL BE PRINTED WHEN ICBCFL NOT 0\n"
                  "  0 AUXILIARY VARIABLES FOR SPECIFIED-FLOW CELLS WILL\n"
                  "  BE DEFINED BY FHB FOR USE BY OTHER PACKAGES.\n"
                  "  0 AUXILIARY VARIABLES FOR SPECIFIED-HEAD CELLS WILL\n"
                  "  BE DEFINED BY FHB FOR USE BY OTHER PACKAGES.\n"
                  "       18 ELEMENTS IN X ARRAY ARE USED BY FHB1\n"))
      << lst;
  EXPECT_TRUE(has(lst,
                  " TIMES FOR SPECIFIED-FLOW AND HEAD VALUES WILL BE READ ON UNIT  31 AND\n"
                  " MULTIPLIED BY  0.5000    .\n"
                  "     6 TIMES FOR SPECIFYING FLOWS AND HEADS:\n"
                  "                       1           2           3           4           5\n"
                  "                       6\n"
                  "                 ------------------------------------------------------------\n"
                  "                   0.0000E+00   1.000       2.000       3.000       4.000    \n"
                  "                    5.000    \n"
                  "\n"
                  " CELL INDICIES AND SPECIFIED-FLOW RATES WILL BE READ ON UNIT  31. RATES WILL\n"
                  " BE MULTIPLIED BY   1.000    .\n"
                  " LAYER  ROW  COL IAUX              FLOW RATES\n"
                  " -------------------------------------------------------------------------------\n"
                  "    1    1    3    4   1.000       2.000       3.000       4.000       5.000    \n"
                  "                       6.000    \n"))
      << lst;
}

TEST(FhbListing, SteadyStateLinesAndCancellation) {
  for (const int ssflag : {0, 1}) {
    FhbRun run("1 1 0 " + std::to_string(ssflag) + " 40 0 0\n31 1 0\n0\n31 1 0\n1 1 1 0 1\n");
    run.m().ISTEADY = 1;
    run.prepare();
    const std::string lst = run.listing();
    EXPECT_TRUE(has(lst, " SPECIFIED FLOW AND HEAD VALUES WILL REMAIN CONSTANT FOR ENTIRE SIMULATION.\n"))
        << lst;
    EXPECT_TRUE(has(lst, ssflag == 0 ? " FLOW, HEAD, AND AUX VARIABLES AT TIME=0 WILL BE \n"
                                       " USED IN STEADY-STATE SIMULATIONS.\n"
                                     : " FLOW, HEAD, AND AUX VARIABLES WILL BE INTERPOLATED\n"
                                       " IN STEADY-STATE SIMULATIONS.\n"))
        << lst;
    EXPECT_TRUE(has(lst, " CELL-BY-CELL FLOWS WILL BE RECORDED ON UNIT 40\n")) << lst;
  }
  FhbRun run("0 0 0 0 0 0 0\n");
  const std::int64_t before = run.m().work->XNEXT();
  run.fhb().allocate(run.m());
  EXPECT_EQ(run.m().PKGUNIT[kFHB], 0);
  EXPECT_EQ(run.m().work->XNEXT(), before);
  const std::string lst = run.listing();
  EXPECT_TRUE(has(lst,
                  " INPUT READ FROM 31\n"
                  " SPECIFIED FLOW AND HEAD BOUNDARY OPTION CANCELLED.\n"
                  " NO BOUNDARY CELLS WERE SPECIFIED.\n"))
      << lst;
  EXPECT_FALSE(has(lst, "ELEMENTS")) << lst;
}

// ---------------------------------------------------------------------------------------------
// Budget and cell-by-cell output

// Three flow cells: two in column 2 (their rates add up), one outflow in column 3.
const char* kThreeFlows =
    "2 3 0 0 CBU 0 0\n"
    "31 1.0 0\n0 10\n"
    "31 1.0 0\n"
    "1 1 2 0 10 10\n"
    "1 1 3 0 -2 -2\n"
    "1 1 2 0 5 5\n";

std::string threeFlows(int cbunit) {
  std::string s = kThreeFlows;
  return s.replace(s.find("CBU"), 3, std::to_string(cbunit));
}

TEST(FhbBudget, FullListAndPrintedCellFlows) {
  FhbRun run(threeFlows(kCbcUnit));
  run.builder().ibound(1, 1, 1) = 0;
  run.prepare();
  run.step(1, 1, 1);
  EXPECT_EQ(run.rhs(2), -15.0f);
  EXPECT_EQ(run.rhs(3), 2.0f);
  EXPECT_EQ(run.rateIn(), 15.0f);
  EXPECT_EQ(run.rateOut(), 2.0f);
  run.step(2, 1, 2);
  run.step(3, 1, 0);
  const auto records = run.records();
  ASSERT_EQ(records.size(), 2u);  // nothing when ICBCFL is 0
  EXPECT_EQ(records[0].method, 0);
  EXPECT_EQ(records[0].label, " SPECIFIED FLOWS");
  EXPECT_EQ(records[0].at(1, 1, 2), 15.0f);
  EXPECT_EQ(records[0].at(1, 1, 3), -2.0f);
  EXPECT_EQ(records[1].method, 2);
  EXPECT_EQ(records[1].kstep, 2);
  ASSERT_EQ(records[1].entries.size(), 3u);
  EXPECT_EQ(records[1].entries[2], (std::pair<int, float>(2, 5.0f)));
  EXPECT_EQ(run.m().BUDVAL[0][0], 45.0f);  // three steps of 15

  FhbRun printed(threeFlows(-1));
  printed.builder().ibound(1, 1, 3) = -1;
  printed.prepare();
  printed.step(1, 1, 0);
  printed.step(2, 1, 1);
  const std::string lst = printed.listing();
  EXPECT_TRUE(
      has(lst,
          "\n0 SPECIFIED FLOWS   PERIOD  1   STEP  2 SEQ NO   1   LAYER  1   ROW    1   COL   2   RATE"
          "   10.00000    \n"
          "0 SPECIFIED FLOWS   PERIOD  1   STEP  2 SEQ NO   3   LAYER  1   ROW    1   COL   2   RATE"
          "   5.000000    \n"))
      << lst;
  EXPECT_FALSE(has(lst, "SEQ NO   2")) << lst;  // the constant-head cell
  EXPECT_FALSE(has(lst, "STEP  1 SEQ NO")) << lst;
  EXPECT_TRUE(printed.records().empty());
}

TEST(FhbBudget, HeadCellsOnlyGiveAZeroRowAndAnEmptyList) {
  FhbRun run("2 0 1 0 40 0 0\n31 1 0\n0 1\n31 1 0\n1 1 1 0 3 4\n");
  run.prepare();
  run.step(1, 1, 1);
  EXPECT_EQ(run.m().BUDNEXT, 2);
  EXPECT_EQ(run.m().BUDNAM[0], " SPECIFIED FLOWS");
  EXPECT_EQ(run.rateIn(), 0.0f);
  EXPECT_EQ(run.rateOut(), 0.0f);
  run.step(2, 1, 2);
  const auto records = run.records();
  ASSERT_EQ(records.size(), 1u);  // mode 1 writes nothing
  EXPECT_EQ(records[0].method, 2);
  EXPECT_TRUE(records[0].entries.empty());
}

// ---------------------------------------------------------------------------------------------
// Refused input

struct StopCase {
  const char* name;
  const char* input;
  const char* message;
};

void PrintTo(const StopCase& c, std::ostream* os) {
  *os << c.name;
}

class FhbStops : public ::testing::TestWithParam<StopCase> {};

TEST_P(FhbStops, WithMessage) {
  FhbRun run(GetParam().input);
  EXPECT_THROW(run.prepare(), io::RunStop);
  const std::string lst = run.listing();
  EXPECT_TRUE(has(lst, GetParam().message)) << lst;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FhbStops,
    ::testing::Values(
        StopCase{"NegativeFlowCount", "2 -1 1 0 0 0 0\n",
                 "\n FHB: THE NUMBER OF SPECIFIED-FLOW CELLS IS NEGATIVE:         -1\n STOP EXECUTION\n"},
        StopCase{"NegativeHeadCount", "2 0 -3 0 0 0 0\n",
                 "\n FHB: THE NUMBER OF SPECIFIED-HEAD CELLS IS NEGATIVE:         -3\n STOP EXECUTION\n"},
        StopCase{"NoTimes", "0 1 0 0 0 0 0\n",
                 " SIMULATION ABORTING.  NOT ENOUGH TIMES SPECIFIED FOR FHB1 PACKAGE.\n"},
        StopCase{"SixAuxVariables", "1 1 0 0 0 0 6\n",
                 "  ABORTING. A MAXIMUM OF 5 AUXILIARY VARIABLES CAN BE DEFINED BY FHB.\n"},
        StopCase{"NegativeAuxCount", "1 1 0 0 0 -1 0\n",
                 " FHB: THE NUMBER OF AUXILIARY VARIABLES FOR SPECIFIED-FLOW CELLS IS NEGATIVE:"},
        StopCase{"WeightAboveOne", "1 1 0 0 0 1 0\nfar 1.5\n",
                 " FAR                    1.50\n"
                 "  Aborting. Weights for Auxiliary variables cannot\n"
                 "  be less than 0.0 or greater than 1.0.\n"},
        StopCase{"WeightBelowZero", "1 0 1 0 0 0 1\nlow -0.1\n",
                 " LOW                   -0.10\n  Aborting. Weights"},
        StopCase{"FirstTimeNotZeroAndDecreasing", "3 1 0 0 0 0 0\n31 1 0\n1 5 4\n",
                 " STARTING TIME FOR SPECIFIED FLOWS AND HEADS MUST BE ZERO. ABORTING.\n"
                 " TIMES FOR SPECIFIED FLOWS MUST INCREASE.  ABORTING.\n"},
        StopCase{"ScaledFirstTimeNotZero", "2 1 0 0 0 0 0\n31 2 0\n0.0001 5\n",
                 " STARTING TIME FOR SPECIFIED FLOWS AND HEADS MUST BE ZERO. ABORTING.\n"},
        StopCase{"Decreasing", "4 1 0 0 0 0 0\n31 1 0\n0 5 3 1\n",
                 " TIMES FOR SPECIFIED FLOWS MUST INCREASE.  ABORTING.\n"},
        StopCase{"DataUnitNotOpen", "1 1 0 0 0 0 0\n77 1 0\n",
                 "\n FHB: DATA UNIT         77 IS NOT OPEN\n STOP EXECUTION\n"},
        StopCase{"FlowCellOutsideGrid", "1 2 0 0 0 0 0\n31 1 0\n0\n31 1 0\n1 1 3 0 5\n1 1 4 0 5\n",
                 "\n FHB SPECIFIED-FLOW CELL     2 IS OUTSIDE THE GRID: LAYER          1, ROW          1, "
                 "COLUMN          4\n STOP EXECUTION\n"},
        StopCase{"HeadCellOutsideGrid", "1 0 1 0 0 0 0\n31 1 0\n0\n31 1 0\n2 1 1 0 5\n",
                 "\n FHB SPECIFIED-HEAD CELL     1 IS OUTSIDE THE GRID: LAYER          2,"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace aqx
