// The general finite-difference flow package on hand-built grids: the listing of the allocate
// phase, the mean-thickness thresholds, preparation (cut links, eliminated cells), the per-iteration
// conductances of thickness-dependent layers with cells going dry, and the constant-head budget.
#include "flow/gfd.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "io/record.hpp"
#include "support/model_builder.hpp"

namespace aqx {
namespace {

using test::ModelBuilder;
using test::PackageRun;

// The listing lines after the first line that starts with `from`, without trailing blanks.
std::vector<std::string> linesFrom(const std::string& text, const std::string& from, std::size_t count) {
  std::vector<std::string> out;
  bool on = false;
  for (std::string l : test::lines(text)) {
    l.erase(l.find_last_not_of(' ') + 1);
    if (!on && l.rfind(from, 0) == 0) on = true;
    if (on && out.size() < count) out.push_back(l);
  }
  return out;
}

TEST(GfdMeans, ThresholdsSeenFromEachSide) {
  struct Case {
    float t1, t2;
    bool alongRow;
    float want;
  };
  const float log54 = (4.0f - 5.0f) / std::log(4.0f / 5.0f);
  const float log45 = (5.0f - 4.0f) / std::log(5.0f / 4.0f);
  const Case cases[] = {
      {5.0f, 4.0f, true, log54},  // ratio 0.8 along a row: logarithmic
      {5.0f, 4.0f, false, 4.5f},  // ratio 0.8 along a column: arithmetic
      {4.0f, 5.0f, true, log45},  // ratio 1.25: logarithmic both ways
      {4.0f, 5.0f, false, log45},
      {4.0f, 4.99f, true, (4.0f + 4.99f) * 0.5f},  // just inside
      {5.0f, 4.01f, false, (5.0f + 4.01f) * 0.5f},
      {5.0f, 3.99f, false, (3.99f - 5.0f) / std::log(3.99f / 5.0f)},  // just outside
      {3.0f, 0.0f, true, 0.0f},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.t1 << " " << c.t2 << (c.alongRow ? " row" : " column"));
    EXPECT_EQ(gfd::faceThickness(c.t1, c.t2, c.alongRow), c.want);
  }
  EXPECT_NE(log54, 4.5f);
}

TEST(GfdAllocate, ListingAndLayerCodes) {
  ModelBuilder b(3, 1, 2);
  // Codes 4 and -1 act as type 0: their conductances are read like a type 0 layer's.
  PackageRun gfd(
      b, "GFD", kGFD,
      "         0        -1\n 4 3-1\n"
      "CONSTANT 1.0\nCONSTANT 1.0\n"
      "CONSTANT 0.1\nCONSTANT 2.0\nCONSTANT 3.0\nCONSTANT 0.5\n"
      "CONSTANT 0.1\nCONSTANT 1.0\nCONSTANT 1.0\nCONSTANT 0.0\nCONSTANT 0.5\nCONSTANT 0.2\nCONSTANT 9.0\n"
      "CONSTANT 0.1\nCONSTANT 4.0\nCONSTANT 5.0\n");
  gfd.allocate();
  gfd.readPrepare();
  const Model& m = b.model();
  EXPECT_EQ(m.LAYCON[0], 4);
  EXPECT_EQ(m.LAYCON[2], -1);
  EXPECT_EQ(m.CONDR[m.cell(1, 1, 1)], 2.0f);
  EXPECT_EQ(m.CONDC[m.cell(3, 1, 2)], 5.0f);
  EXPECT_EQ(m.CONDV[m.cell(2, 1, 1)], 0.5f);
  EXPECT_EQ(m.STOR2[0], 0.2f);
  EXPECT_EQ(m.TOP[0], 9.0f);
  EXPECT_EQ(m.HEADDRY, 1.0E30f);
  const std::string text = b.listing();
  const std::vector<std::string> want = {
      "0GFD1 -- GENERAL FINITE-DIFFERENCE FLOW PACKAGE, VERSION 1, 9/19/89 INPUT READ FROM UNIT 24",
      " TRANSIENT SIMULATION",
      " CONSTANT HEAD CELL-BY-CELL FLOWS WILL BE PRINTED",
      "      LAYER  AQUIFER TYPE",
      "      -------------------",
      "         1         4",
      "         2         3",
      "         3        -1",
      // STOR1 6, STOR2 2, BOTTOM, CTHICKR, CTHICKC and TOP 2 each.
      "       16 ELEMENTS IN X ARRAY ARE USED BY GFD",
  };
  EXPECT_EQ(linesFrom(text, "0GFD1", want.size()), want);
  EXPECT_NE(text.find(" ELEMENTS OF X ARRAY USED OUT OF99000000\n"), std::string::npos) << text;
}

TEST(GfdAllocate, TypeOneBelowTheFirstLayerStops) {
  ModelBuilder b(2, 1, 1);
  PackageRun gfd(b, "GFD", kGFD, "         1         0\n 0 1\n");
  EXPECT_THROW(gfd.allocate(), io::RunStop);
  const std::string text = b.listing();
  EXPECT_EQ(text.substr(text.size() - 66),
            "         2         1\n0AQUIFER TYPE 1 IS ONLY ALLOWED IN TOP LAYER\n");
}

TEST(GfdPrepare, LinksOfInactiveCellsCutAndIsolatedCellsEliminated) {
  // Layer 1 (type 0): IBOUND [1 0 1 -1], CONDR [2 2 0 9], CONDV [0 3 7 0]. Layer 2 (type 3):
  // CTHICKR [0 4 0 0].
  ModelBuilder b(2, 1, 4);
  Model& m = b.model();
  b.ibound(1, 1, 2) = 0;
  b.ibound(1, 1, 4) = -1;
  for (int j = 1; j <= 4; ++j) m.CONDC[m.cell(2, 1, j)] = 6.0f;  // a type 3 layer's CONDC is not read
  PackageRun gfd(b, "GFD", kGFD,
                 "         1         0\n 0 3\nCONSTANT 1.0\nCONSTANT 1.0\n"
                 "INTERNAL 1.0 (FREE) -1\n2 2 0 9\nCONSTANT 5.0\nINTERNAL 1.0 (FREE) -1\n0 3 7 0\n"
                 "INTERNAL 1.0 (FREE) -1\n0 4 0 0\nCONSTANT 1.0\nCONSTANT 0.0\nCONSTANT 10.0\n");
  gfd.allocate();
  gfd.readPrepare();
  // Cut around the inactive cell.
  EXPECT_EQ(m.CONDR[m.cell(1, 1, 1)], 0.0f);
  EXPECT_EQ(m.CONDR[m.cell(1, 1, 2)], 0.0f);
  EXPECT_EQ(m.CONDV[m.cell(1, 1, 2)], 0.0f);
  // Eliminated: a variable-head and a constant-head cell with no link (the last column's CONDR
  // is not a link), and two cells of the type 3 layer.
  const std::string text = b.listing();
  const std::vector<std::string> want = {
      " NODE (LAYER,ROW,COL)   1   1   1 ELIMINATED BECAUSE ALL CONDUCTANCES TO NODE ARE 0",
      " NODE (LAYER,ROW,COL)   1   1   4 ELIMINATED BECAUSE ALL CONDUCTANCES TO NODE ARE 0",
      " NODE (LAYER,ROW,COL)   2   1   1 ELIMINATED BECAUSE ALL CONDUCTANCES TO NODE ARE 0",
      " NODE (LAYER,ROW,COL)   2   1   4 ELIMINATED BECAUSE ALL CONDUCTANCES TO NODE ARE 0",
  };
  EXPECT_EQ(linesFrom(text, " NODE", 10), want);
  for (auto [k, j] : {std::pair{1, 1}, {1, 4}, {2, 1}, {2, 4}}) {
    EXPECT_EQ(b.ibound(k, 1, j), 0) << k << j;
    EXPECT_EQ(m.HEADNEW[m.cell(k, 1, j)], static_cast<double>(888.88f)) << k << j;
  }
  EXPECT_EQ(m.CONDC[m.cell(2, 1, 1)], 0.0f);
  EXPECT_EQ(m.CONDC[m.cell(2, 1, 4)], 0.0f);
  // A cell linked only vertically stays, and so do the type 3 cells joined by CTHICKR.
  EXPECT_EQ(b.ibound(1, 1, 3), 1);
  EXPECT_EQ(b.ibound(2, 1, 2), 1);
  EXPECT_EQ(b.ibound(2, 1, 3), 1);
}

TEST(GfdFormulate, ConductancesFromThicknessAndCellsGoingDry) {
  // Type 1, 3 rows x 2 columns, bottom 0, CTHICKR 2, CTHICKC 3. Thicknesses [[5 4] [4 5]]; row 3
  // lies below its bottom: a variable-head and a constant-head cell go dry.
  ModelBuilder b(1, 3, 2);
  Model& m = b.model();
  b.ibound(1, 3, 2) = -1;
  const double heads[3][2] = {{5.0, 4.0}, {4.0, 5.0}, {0.0, -1.0}};
  for (int i = 1; i <= 3; ++i)
    for (int j = 1; j <= 2; ++j) b.setHead(1, i, j, heads[i - 1][j - 1]);
  m.KOUTER = 3, m.KSTEP = 2, m.KPERIOD = 1;
  PackageRun gfd(
      b, "GFD", kGFD,
      "         1         0\n 1\nCONSTANT 1.0\nCONSTANT 1.0\nCONSTANT 2.0\nCONSTANT 3.0\nCONSTANT 0.0\n");
  gfd.allocate();
  gfd.readPrepare();
  for (int i = 1; i <= 3; ++i) m.CONDR[m.cell(1, i, 2)] = -7.0f;
  gfd.formulate();
  const float log54 = (4.0f - 5.0f) / std::log(0.8f), log45 = (5.0f - 4.0f) / std::log(1.25f);
  EXPECT_EQ(m.CONDR[m.cell(1, 1, 1)], log54 * 2.0f);  // 5 -> 4 along the row
  EXPECT_EQ(m.CONDC[m.cell(1, 1, 1)], 4.5f * 3.0f);   // 5 -> 4 along the column
  EXPECT_EQ(m.CONDC[m.cell(1, 1, 2)], log45 * 3.0f);  // 4 -> 5
  EXPECT_EQ(m.CONDR[m.cell(1, 2, 1)], log45 * 2.0f);
  // Toward a dry cell nothing flows.
  EXPECT_EQ(m.CONDC[m.cell(1, 2, 1)], 0.0f);
  EXPECT_EQ(m.CONDC[m.cell(1, 2, 2)], 0.0f);
  // The last column's CONDR is left alone; a dry cell gets zero.
  EXPECT_EQ(m.CONDR[m.cell(1, 1, 2)], -7.0f);
  EXPECT_EQ(m.CONDR[m.cell(1, 3, 2)], 0.0f);
  for (int j = 1; j <= 2; ++j) {
    EXPECT_EQ(b.ibound(1, 3, j), 0);
    EXPECT_EQ(m.HEADNEW[m.cell(1, 3, j)], static_cast<double>(1.0E30f));
  }
  const std::string text = b.listing();
  EXPECT_EQ(
      linesFrom(text, "0**********", 2),
      (std::vector<std::string>{
          "0**********NODE   1   3   1 (LAYER,ROW,COL) WENT DRY AT ITERATION =  3  TIME STEP =  2  STRESS "
          "PERIOD =  1",
          "0**********NODE   1   3   2 (LAYER,ROW,COL) WENT DRY AT ITERATION =  3  TIME STEP =  2  STRESS "
          "PERIOD =  1"}));
}

TEST(GfdFormulate, TypeThreeCapsTheHeadAtTheTop) {
  ModelBuilder b(1, 1, 2);
  Model& m = b.model();
  b.setHead(1, 1, 1, 9.0);
  b.setHead(1, 1, 2, 3.0);
  PackageRun gfd(
      b, "GFD", kGFD,
      "         1         0\n 3\nCONSTANT 1.0\nCONSTANT 1.0\nCONSTANT 2.0\nCONSTANT 3.0\nCONSTANT 0.0\n"
      "CONSTANT 4.0\n");
  gfd.allocate();
  gfd.readPrepare();
  gfd.formulate();
  EXPECT_EQ(m.CONDR[0], (3.0f - 4.0f) / std::log(0.75f) * 2.0f);
}

TEST(GfdFormulate, StorageSwitchAndVerticalFlowLimitBelowTheTop) {
  // Type 0 over type 2, one cell each; CONDV 0.5, top 4. The lower cell falls from 5 (above its
  // top: primary capacity for the old part) to 3 (below: secondary capacity, and the flow from
  // above is driven by the top, its own head taken implicitly).
  ModelBuilder b(2, 1, 1);
  Model& m = b.model();
  b.setHead(1, 1, 1, 8.0);
  b.setHead(2, 1, 1, 3.0);
  m.HEADOLD[m.cell(2, 1, 1)] = 5.0f;
  m.DELT = 2.0f;
  PackageRun gfd(b, "GFD", kGFD,
                 "         0         0\n 0 2\nCONSTANT 1.0\nCONSTANT 1.0\n"
                 "CONSTANT 0.4\nCONSTANT 1.0\nCONSTANT 1.0\nCONSTANT 0.5\n"
                 "CONSTANT 0.2\nCONSTANT 1.0\nCONSTANT 1.0\nCONSTANT 0.6\nCONSTANT 4.0\n");
  gfd.allocate();
  gfd.readPrepare();
  gfd.formulate();
  const float r = 1.0f / 2.0f;
  const float s1 = r * 0.2f, s2 = r * 0.6f, cv = 0.5f;
  EXPECT_EQ(gfd.hcoef(2, 1, 1), (0.0f - s2) + cv);
  EXPECT_EQ(gfd.rhs(2, 1, 1), ((0.0f - s1 * (5.0f - 4.0f)) - 4.0f * s2) + cv * 4.0f);
  // The cell above sees the top of the cell below in place of its head, explicitly.
  EXPECT_EQ(gfd.hcoef(1, 1, 1), 0.0f - r * 0.4f);
  EXPECT_EQ(gfd.rhs(1, 1, 1), (0.0f - r * 0.4f * 8.0f) - (4.0f - 3.0f) * cv);

  // The storage row from the volume released: (5 - 4) * 0.2 + 4 * 0.6 - 0.6 * 3.
  gfd.budget(0);
  const float v = (5.0f - 4.0f) * 0.2f + 4.0f * 0.6f - 0.6f * 3.0f;
  EXPECT_EQ(m.BUDNAM[0], "         STORAGE");
  EXPECT_EQ(m.BUDVAL[0], (std::array<float, 4>{v, 0.0f, v / 2.0f, 0.0f}));
}

TEST(GfdBudget, ConstantHeadRatesPrintedOneLineEachWithoutHeading) {
  // IBOUND [-1 -1 1 -1], heads [10 10 6 2], every CONDR 2; steady state.
  ModelBuilder b(1, 1, 4);
  Model& m = b.model();
  b.ibound(1, 1, 1) = b.ibound(1, 1, 2) = b.ibound(1, 1, 4) = -1;
  const double h[4] = {10, 10, 6, 2};
  for (int j = 1; j <= 4; ++j) b.setHead(1, 1, j, h[j - 1]);
  PackageRun gfd(b, "GFD", kGFD,
                 "         1        -1\n 0\nCONSTANT 1.0\nCONSTANT 1.0\nCONSTANT 2.0\nCONSTANT 1.0\n");
  gfd.allocate();
  gfd.readPrepare();
  gfd.budget(1);
  // The steady storage row of zeros comes first.
  EXPECT_EQ(m.BUDNEXT, 3);
  EXPECT_EQ(m.BUDNAM[0], "         STORAGE");
  EXPECT_EQ(m.BUDVAL[0], (std::array<float, 4>{0, 0, 0, 0}));
  EXPECT_EQ(m.BUDNAM[1], "   CONSTANT HEAD");
  EXPECT_EQ(m.BUDVAL[1], (std::array<float, 4>{8, 8, 8, 8}));
  const std::string text = b.listing();
  // Constant-head neighbours never count: cell 1 has a rate of 0.
  EXPECT_EQ(
      linesFrom(text, "0   CONSTANT HEAD", 3),
      (std::vector<std::string>{
          "0   CONSTANT HEAD   PERIOD  0   STEP  0   LAYER  1   ROW   1   COL   1   RATE   0.0000000E+00",
          "0   CONSTANT HEAD   PERIOD  0   STEP  0   LAYER  1   ROW   1   COL   2   RATE    8.000000",
          "0   CONSTANT HEAD   PERIOD  0   STEP  0   LAYER  1   ROW   1   COL   4   RATE   -8.000000"}));
}

}  // namespace
}  // namespace aqx
