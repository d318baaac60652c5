// RIV driven phase by phase on a hand-built row of cells: both leakage branches (head above, at
// and below the bed bottom), gaining and losing reaches, the budget row, and the river texts.
#include "stress/riv.hpp"

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

// One reach per column of a single row.
struct ReachCase {
  const char* name;
  int ibound;
  double head;
  float stage, conductance, bottom;
  float hcoef, rhs, rate;  // expected terms and flow into the aquifer
};

const std::vector<ReachCase> kReaches = {
    {"LosingRiver", 1, 5.0, 8.0f, 2.0f, 3.0f, -2.0f, -16.0f, 6.0f},
    {"GainingRiver", 1, 9.0, 8.0f, 2.0f, 3.0f, -2.0f, -16.0f, -2.0f},
    {"HeadAtBottom", 1, 3.0, 8.0f, 2.0f, 3.0f, 0.0f, -10.0f, 10.0f},
    {"HeadBelowBottom", 1, 1.0, 8.0f, 2.0f, 3.0f, 0.0f, -10.0f, 10.0f},
    {"StageAndHeadBelowBottom", 1, 1.0, 2.0f, 2.0f, 3.0f, 0.0f, 2.0f, -2.0f},
    {"StageEqualsHead", 1, 8.0, 8.0f, 2.0f, 3.0f, -2.0f, -16.0f, 0.0f},
    // Above the bottom by less than single precision resolves: compared in double precision.
    {"JustAboveBottom", 1, 3.0 + 1e-9, 8.0f, 2.0f, 3.0f, -2.0f, -16.0f, 10.0f},
    {"ConstantHead", -1, 5.0, 8.0f, 2.0f, 3.0f, 0.0f, 0.0f, 0.0f},
    {"NoFlow", 0, 5.0, 8.0f, 2.0f, 3.0f, 0.0f, 0.0f, 0.0f},
};

std::string reachInput(const char* record1) {
  std::string s = record1;
  char line[160];
  std::snprintf(line, sizeof line, "%10zu\n", kReaches.size());
  s += line;
  for (std::size_t n = 0; n < kReaches.size(); ++n) {
    const ReachCase& c = kReaches[n];
    // Auxiliary value from column 61.
    std::snprintf(line, sizeof line, "%10d%10d%10zu%10.4f%10.4f%10.4f %zu.5\n", 1, 1, n + 1, c.stage,
                  c.conductance, c.bottom, n + 1);
    s += line;
  }
  return s;
}

class RivRun {
 public:
  explicit RivRun(const char* record1)
      : b_(1, 1, static_cast<int>(kReaches.size())), run_(b_, "RIV", kRIV, reachInput(record1)) {
    for (std::size_t n = 0; n < kReaches.size(); ++n) {
      b_.ibound(1, 1, static_cast<int>(n) + 1) = kReaches[n].ibound;
      b_.setHead(1, 1, static_cast<int>(n) + 1, kReaches[n].head);
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

TEST(Riv, BothBranchesInTermsRatesAndBudgetRow) {
  RivRun r("         9        40 AUX SEGMENT\n");
  Model& m = r.b().model();
  r.run().period(1, 1, 2.0f);
  for (std::size_t n = 0; n < kReaches.size(); ++n) {
    const ReachCase& c = kReaches[n];
    const int j = static_cast<int>(n) + 1;
    EXPECT_EQ(r.run().hcoef(1, 1, j), c.hcoef) << c.name;
    EXPECT_EQ(r.run().rhs(1, 1, j), c.rhs) << c.name;
    EXPECT_FLOAT_EQ(m.BUFF[m.cell(1, 1, j)], c.rate) << c.name;
  }
  // In: 6 + 10 + 10 + 10; out: 2 + 2; the reach at its stage is in neither.
  EXPECT_EQ(m.BUDNAM[0], "   RIVER LEAKAGE");
  EXPECT_FLOAT_EQ(m.BUDVAL[0][2], 36.0f);
  EXPECT_FLOAT_EQ(m.BUDVAL[0][3], 4.0f);
  EXPECT_FLOAT_EQ(m.BUDVAL[0][0], 72.0f);

  // Full record: the flows by cell.
  const auto records = test::readBudgetFile(r.b().bytes(40, "cbc.bin"));
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].label, "   RIVER LEAKAGE");
  EXPECT_EQ(records[0].method, 0);
  for (std::size_t n = 0; n < kReaches.size(); ++n)
    EXPECT_FLOAT_EQ(records[0].at(1, 1, static_cast<int>(n) + 1), kReaches[n].rate) << kReaches[n].name;
}

TEST(Riv, ListingTexts) {
  RivRun r("         9        -1 AUX SEGMENT\n");
  r.run().period(1, 1);
  const std::string lst = r.b().listing();
  EXPECT_TRUE(has(lst,
                  " RIV5 -- RIVER PACKAGE, VERSION 5, 9/1/93 INPUT READ FROM UNIT 14\n"
                  " MAXIMUM OF    9 RIVER REACHES\n"
                  " CELL-BY-CELL FLOWS WILL BE PRINTED WHEN ICBCFL NOT 0\n"
                  " AUXILIARY RIVER PARAMETER: SEGMENT         \n"
                  "         63 ELEMENTS IN X ARRAY ARE USED BY RIV\n"))
      << lst;
  EXPECT_TRUE(has(lst,
                  "\n     9 RIVER REACHES\n \n"
                  " LAYER   ROW   COL     STAGE   CONDUCTANCE   BOT. ELEV.  REACH NO.  SEGMENT           \n"
                  " -----------------------------------------------------------------------------------\n"
                  "    1      1     1    8.000       2.000       3.000           1        1.5000      \n"))
      << lst;
  EXPECT_TRUE(has(lst,
                  "\n    RIVER LEAKAGE   PERIOD  1   STEP  1\n"
                  " REACH   1   LAYER  1   ROW   1   COL   1   RATE    6.00000    \n"
                  " REACH   2   LAYER  1   ROW   1   COL   2   RATE   -2.00000    \n"))
      << lst;
  EXPECT_TRUE(has(lst, " REACH   7 ")) << lst;
  EXPECT_FALSE(has(lst, " REACH   8 ")) << lst;
}

TEST(Riv, FreeFormatEntryWithAuxiliaryAfterTheSixthWord) {
  ModelBuilder b(1, 2, 2);
  b.model().FREEFMT = 1;
  PackageRun run(b, "RIV", kRIV, "2 0 aux a\n1\n1 2 1 6.0 0.5 2.0 3.5\n");
  b.setAllHeads(4.0);
  run.allocate();
  run.period(1);
  EXPECT_EQ(run.hcoef(1, 2, 1), -0.5f);
  EXPECT_EQ(run.rhs(1, 2, 1), -3.0f);
  EXPECT_EQ(run.as<RivPackage>().list().auxValue(1, 1), 3.5f);
}

TEST(Riv, MoreReachesThanTheMaximumStop) {
  ModelBuilder b(1, 1, 1);
  PackageRun run(b, "RIV", kRIV, "         1         0\n         2\n");
  run.allocate();
  EXPECT_THROW(run.period(1), io::RunStop);
  EXPECT_TRUE(has(b.listing(), "\n NRIVER(   2) IS GREATER THAN MXRIVR(   1)\n"));
}

}  // namespace
}  // namespace aqx
