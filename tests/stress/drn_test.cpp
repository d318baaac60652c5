// DRN driven phase by phase on a hand-built row of cells: the drain terms and rates for heads
// above, at and below the elevation, the outflow-only budget row, and the drain texts of the
// listing and of the cell-by-cell output.
#include "stress/drn.hpp"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "io/record.hpp"
#include "stress/stress_test_support.hpp"
#include "support/binary_files.hpp"
#include "support/model_builder.hpp"

namespace aqx {
namespace {

using test::has;
using test::ModelBuilder;
using test::PackageRun;
using test::StopCase;

// One drain per column of a single row.
struct DrainCase {
  const char* name;
  int ibound;
  double head;
  float elevation, conductance;
  float hcoef, rhs;  // equation terms expected
  float rate;        // flow into the aquifer expected (never positive for a real drain)
};

const std::vector<DrainCase> kDrains = {
    {"Above", 1, 12.0, 10.0f, 2.0f, -2.0f, -20.0f, -4.0f},
    {"AtElevation", 1, 10.0, 10.0f, 2.0f, 0.0f, 0.0f, 0.0f},
    {"Below", 1, 9.5, 10.0f, 2.0f, 0.0f, 0.0f, 0.0f},
    // Above by less than single precision resolves: the head is compared in double precision.
    {"JustAbove", 1, 10.0 + 1e-9, 10.0f, 2.0f, -2.0f, -20.0f, -2e-9f},
    {"ConstantHead", -1, 12.0, 10.0f, 2.0f, 0.0f, 0.0f, 0.0f},
    {"NoFlow", 0, 12.0, 10.0f, 2.0f, 0.0f, 0.0f, 0.0f},
};

std::string drainInput(const char* record1, int periods) {
  std::string s = record1;
  for (int p = 1; p <= periods; ++p) {
    if (p > 1) {
      s += "        -1\n";
      continue;
    }
    char line[160];
    std::snprintf(line, sizeof line, "%10zu\n", kDrains.size());
    s += line;
    for (std::size_t n = 0; n < kDrains.size(); ++n) {
      const DrainCase& d = kDrains[n];
      // Auxiliary value from column 51: the case number.
      std::snprintf(line, sizeof line, "%10d%10d%10zu%10.4f%10.4f %zu\n", 1, 1, n + 1, d.elevation,
                    d.conductance, n + 1);
      s += line;
    }
  }
  return s;
}

class DrnRun {
 public:
  explicit DrnRun(const char* record1, int periods = 1)
      : b_(1, 1, static_cast<int>(kDrains.size())), run_(b_, "DRN", kDRN, drainInput(record1, periods)) {
    for (std::size_t n = 0; n < kDrains.size(); ++n) {
      const int j = static_cast<int>(n) + 1;
      b_.ibound(1, 1, j) = kDrains[n].ibound;
      b_.setHead(1, 1, j, kDrains[n].head);
    }
    b_.output(40, "cbc.bin");
    run_.allocate();
  }
  ModelBuilder& b() { return b_; }
  PackageRun& run() { return run_; }

 private:
  ModelBuilder b_;
  PackageRun run_;
};

TEST(Drn, TermsRatesAndOutflowOnlyBudgetRow) {
  DrnRun r("         6        40 AUX CASE CBC\n", 2);
  Model& m = r.b().model();
  r.run().period(1, 2, 2.0f);
  for (std::size_t n = 0; n < kDrains.size(); ++n) {
    const DrainCase& d = kDrains[n];
    const int j = static_cast<int>(n) + 1;
    EXPECT_EQ(r.run().hcoef(1, 1, j), d.hcoef) << d.name;
    EXPECT_EQ(r.run().rhs(1, 1, j), d.rhs) << d.name;
    EXPECT_FLOAT_EQ(r.run().as<DrnPackage>().list().keptFlow(static_cast<int>(n) + 1), d.rate) << d.name;
    EXPECT_FLOAT_EQ(m.BUFF[m.cell(1, 1, j)], d.rate) << d.name;
  }
  // Only outflow, and only its cumulative volume grows.
  EXPECT_EQ(m.BUDNAM[0], "          DRAINS");
  EXPECT_EQ(m.BUDVAL[0][2], 0.0f);
  EXPECT_FLOAT_EQ(m.BUDVAL[0][3], 4.0f);
  r.run().period(2, 2, 2.0f);
  EXPECT_EQ(m.BUDVAL[0][0], 0.0f);
  EXPECT_FLOAT_EQ(m.BUDVAL[0][1], 16.0f);

  // Compact list: every drain, inactive and idle ones with 0.
  const auto records = test::readBudgetFile(r.b().bytes(40, "cbc.bin"));
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[0].label, "          DRAINS");
  EXPECT_EQ(records[0].method, 2);
  ASSERT_EQ(records[0].entries.size(), kDrains.size());
  for (std::size_t n = 0; n < kDrains.size(); ++n) {
    EXPECT_EQ(records[0].entries[n].first, static_cast<int>(n) + 1);
    EXPECT_FLOAT_EQ(records[0].entries[n].second, kDrains[n].rate) << kDrains[n].name;
  }
}

// A negative conductance would turn the drain into a source: the list reader refuses it.
TEST(Drn, NegativeConductanceIsRefusedWhenRead) {
  ModelBuilder b(1, 1, 1);
  PackageRun run(b, "DRN", kDRN,
                 "         1         0\n         1\n         1         1         1       4.0      -1.0\n");
  b.setHead(1, 1, 1, 6.0);
  run.allocate();
  EXPECT_THROW(run.period(1), io::RunStop);
  EXPECT_NE(b.listing().find("DRN ENTRY     1 CONDUCTANCE IS NEGATIVE:  -1.00000"), std::string::npos);
}

TEST(Drn, ListingTexts) {
  DrnRun r("         6        -1 AUX CASE CBC\n");
  r.run().period(1, 1);
  const std::string lst = r.b().listing();
  EXPECT_TRUE(has(lst,
                  " DRN5 -- DRAIN PACKAGE, VERSION 5, 9/1/93 INPUT READ FROM UNIT 13\n"
                  " MAXIMUM OF    6 DRAINS\n"
                  " CELL-BY-CELL FLOWS WILL BE PRINTED WHEN ICBCFL NOT 0\n"
                  " AUXILIARY DRAIN PARAMETER: CASE            \n"
                  " MEMORY IS ALLOCATED FOR CELL-BY-CELL BUDGET TERMS\n"
                  "         42 ELEMENTS IN X ARRAY ARE USED BY DRN\n"))
      << lst;
  EXPECT_TRUE(has(lst,
                  "\n     6 DRAINS\n \n"
                  " LAYER   ROW   COL   ELEVATION   CONDUCTANCE   DRAIN NO.  CASE              \n"
                  " -------------------------------------------------------------------------\n"
                  "    1      1     1    10.00         2.000           1        1.0000      \n"))
      << lst;
  // Printed flows: every drain in a variable-head cell, idle ones with rate 0.
  EXPECT_TRUE(has(lst,
                  "\n           DRAINS   PERIOD  1   STEP  1\n"
                  " DRAIN   1   LAYER  1   ROW   1   COL   1   RATE   -4.00000    \n"
                  " DRAIN   2   LAYER  1   ROW   1   COL   2   RATE   0.000000E+00\n"
                  " DRAIN   3   LAYER  1   ROW   1   COL   3   RATE   0.000000E+00\n"
                  " DRAIN   4   LAYER  1   ROW   1   COL   4   RATE  -2.000000E-09\n"))
      << lst;
  EXPECT_FALSE(has(lst, " DRAIN   5 ")) << lst;
  EXPECT_FALSE(has(lst, " DRAIN   6 ")) << lst;
}

TEST(Drn, FreeFormatAndReuse) {
  ModelBuilder b(1, 2, 2);
  b.model().FREEFMT = 1;
  PackageRun run(b, "DRN", kDRN, "3 0 aux depth\n1\n1 2 2 5.0 0.5 7.25\n-1\n");
  b.setAllHeads(9.0);
  run.allocate();
  run.period(1);
  EXPECT_EQ(run.hcoef(1, 2, 2), -0.5f);
  EXPECT_EQ(run.rhs(1, 2, 2), -2.5f);
  EXPECT_EQ(run.as<DrnPackage>().list().auxValue(1, 1), 7.25f);
  run.period(2);
  EXPECT_EQ(run.rhs(1, 2, 2), -2.5f);
  const std::string lst = b.listing();
  EXPECT_TRUE(has(lst, "\n REUSING DRAINS FROM LAST STRESS PERIOD\n")) << lst;
}

class DrnStops : public ::testing::TestWithParam<StopCase> {};

TEST_P(DrnStops, WithMessage) {
  ModelBuilder b(1, 2, 3);
  PackageRun run(b, "DRN", kDRN, GetParam().input);
  run.allocate();
  EXPECT_THROW(run.period(1), io::RunStop);
  const std::string lst = b.listing();
  EXPECT_TRUE(has(lst, GetParam().message)) << lst;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DrnStops,
    ::testing::Values(
        StopCase{"TooMany", "         1         0\n         2\n",
                 "\n NDRAIN(   2) IS GREATER THAN MXDRN(   1)\n"},
        StopCase{"ColumnOutside",
                 "         1         0\n         1\n         1         2         4       1.0       1.0\n",
                 "\n DRN ENTRY     1 IS OUTSIDE THE GRID: LAYER     1, ROW     2, COLUMN     4\n"},
        StopCase{"BadNumber",
                 "         1         0\n         1\n         1         2         x       1.0       1.0\n",
                 "\n DRN INPUT: CANNOT READ THE NUMBERS IN THIS LINE:\n"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace aqx
