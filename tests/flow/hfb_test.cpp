// Horizontal flow barriers on hand-built grids: the listing of the table, the location check, the
// series reduction of fixed faces once after reading, and of convertible faces in every iteration.
#include "flow/hfb.hpp"

#include <gtest/gtest.h>

#include <string>

#include "io/record.hpp"
#include "support/model_builder.hpp"

namespace aqx {
namespace {

using test::ModelBuilder;
using test::PackageRun;

// A barrier record in fixed columns.
std::string barrier(int i1, int j1, int i2, int j2, const char* barchar) {
  char line[80];
  std::snprintf(line, sizeof line, "%10d%10d%10d%10d%10s\n", i1, j1, i2, j2, barchar);
  return line;
}

std::string count(int n) {
  char line[16];
  std::snprintf(line, sizeof line, "%10d\n", n);
  return line;
}

// Every face conductance of the grid set to `g`.
void setFaces(Model& m, float g) {
  for (std::int64_t n = 0; n < m.NCELLS; ++n) m.CONDR[n] = m.CONDC[n] = g;
}

TEST(HfbListing, AllocationAndTableLines) {
  ModelBuilder b(2, 2, 3);
  b.model().LAYCON[1] = 3;
  PackageRun hfb(b, "HFB", kHFB,
                 count(3) + count(2) + barrier(1, 1, 1, 2, "0.5") + barrier(2, 3, 1, 3, "1E-3") + count(1) +
                     barrier(1, 2, 1, 3, "2.0"));
  hfb.allocate();
  hfb.readPrepare();
  const std::string text = b.listing();
  // The usage line: the total used so far is whatever the grid took; XSIZE does not fit I7.
  EXPECT_NE(text.find(" ELEMENTS OF X ARRAY USED OUT OF*******\n"), std::string::npos) << text;
  EXPECT_EQ(text.substr(0, text.find("     15")),
            "0HFB1 -- HORIZONTAL FLOW BARRIER PACKAGE, VERSION 1, 06/13/86 INPUT READ FROM UNIT 26\n"
            " A TOTAL OF    3 HORIZONTAL FLOW BARRIERS\n");
  EXPECT_NE(text.find("     15 ELEMENTS IN X ARRAY ARE USED FOR HORIZONTAL FLOW BARRIERS\n"),
            std::string::npos);
  const std::string table =
      "\n\n\n HORIZONTAL FLOW BARRIERS -- LISTED BY LAYERS.  WITHIN EACH LAYER, THE LOCATION OF A BARRIER IS "
      "IDENTIFIED BY\n"
      " THE 2 CELLS ON BOTH SIDES OF THE BARRIER.  THE ROW AND COLUMN NUMBER OF THE TWO CELLS ARE "
      "RESPECTIVELY \n"
      " IROW1, ICOL1, AND IROW2, ICOL2.\n"
      "0    2 HORIZONTAL FLOW BARRIERS IN LAYER  1\n"
      "                     IROW1     ICOL1     IROW2     ICOL2   TRANSMIS./WIDTH   BARRIER NO.\n"
      "                     " +
      std::string(71, '-') +
      "\n"
      "                        1         1         1         2       0.5000              1\n"
      "                        2         3         1         3       0.1000E-02          2\n"
      "0    1 HORIZONTAL FLOW BARRIERS IN LAYER  2\n"
      "                     IROW1     ICOL1     IROW2     ICOL2  HYD. COND./WIDTH  BARRIER NO.\n"
      "                     " +
      std::string(71, '-') +
      "\n"
      "                        1         2         1         3        2.000              3\n";
  EXPECT_NE(text.find(table), std::string::npos) << text;
}

TEST(HfbListing, LayerWithoutBarriersHasNoColumnHeader) {
  ModelBuilder b(2, 1, 2);
  PackageRun hfb(b, "HFB", kHFB, count(1) + count(0) + count(1) + barrier(1, 1, 1, 2, "1.0"));
  hfb.allocate();
  hfb.readPrepare();
  const std::string text = b.listing();
  const std::string expected =
      "0    0 HORIZONTAL FLOW BARRIERS IN LAYER  1\n"
      "0    1 HORIZONTAL FLOW BARRIERS IN LAYER  2\n"
      "                     IROW1";
  EXPECT_NE(text.find(expected), std::string::npos) << text;
}

TEST(HfbLocations, EveryFaultyBarrierIsReportedThenTheRunStops) {
  ModelBuilder b(1, 3, 3);
  setFaces(b.model(), 4.0f);
  // 1 good; 2 diagonal; 3 two columns apart; 4 the same cell twice; 5 row 0; 6 column past the
  // grid; 7 good, given in reverse order.
  const std::string input = count(7) + count(7) + barrier(1, 1, 1, 2, "1.0") + barrier(1, 1, 2, 2, "1.0") +
                            barrier(2, 1, 2, 3, "1.0") + barrier(2, 2, 2, 2, "1.0") +
                            barrier(0, 1, 1, 1, "1.0") + barrier(3, 3, 3, 4, "1.0") +
                            barrier(3, 2, 2, 2, "1.0");
  PackageRun hfb(b, "HFB", kHFB, input);
  hfb.allocate();
  EXPECT_THROW(hfb.readPrepare(), io::RunStop);
  const std::string text = b.listing();
  std::string errors;
  for (std::size_t at = text.find(" ERROR DETECTED"); at != std::string::npos;
       at = text.find(" ERROR DETECTED", at + 1))
    errors += text.substr(at, text.find('\n', at) - at + 1);
  EXPECT_EQ(errors,
            " ERROR DETECTED IN LOCATION DATA OF BARRIER NO.   2\n"
            " ERROR DETECTED IN LOCATION DATA OF BARRIER NO.   3\n"
            " ERROR DETECTED IN LOCATION DATA OF BARRIER NO.   4\n"
            " ERROR DETECTED IN LOCATION DATA OF BARRIER NO.   5\n"
            " ERROR DETECTED IN LOCATION DATA OF BARRIER NO.   6\n");
  // The listing ends with the last error line: nothing is written after the stop.
  EXPECT_EQ(text.substr(text.size() - 52), " ERROR DETECTED IN LOCATION DATA OF BARRIER NO.   6\n");
}

TEST(HfbLocations, CountsBeyondTheTotalStopAtTheFirstBarrierThatDoesNotFit) {
  ModelBuilder b(2, 2, 2);
  PackageRun hfb(b, "HFB", kHFB,
                 count(2) + count(1) + barrier(1, 1, 1, 2, "1.0") + count(3) + barrier(2, 1, 2, 2, "1.0") +
                     barrier(1, 1, 2, 1, "1.0") + barrier(1, 2, 2, 2, "1.0"));
  hfb.allocate();
  EXPECT_THROW(hfb.readPrepare(), io::RunStop);
  const std::string text = b.listing();
  // Barriers 1 and 2 are listed; barrier 3 is never read into the table of two.
  EXPECT_NE(text.find("             2\n"), std::string::npos) << text;
  EXPECT_EQ(text.find("             3\n"), std::string::npos) << text;
  EXPECT_NE(
      text.find(" BARRIER NO.     3 IS BEYOND THE TOTAL OF     2 HORIZONTAL FLOW BARRIERS: LAYER   2 LISTS"
                "     3 BARRIERS\n"),
      std::string::npos)
      << text;
}

TEST(HfbLocations, NegativeLayerCountStops) {
  ModelBuilder b(1, 1, 2);
  PackageRun hfb(b, "HFB", kHFB, count(1) + count(-1));
  hfb.allocate();
  EXPECT_THROW(hfb.readPrepare(), io::RunStop);
  EXPECT_NE(b.listing().find(" THE NUMBER OF BARRIERS IN LAYER  1 IS NEGATIVE\n"), std::string::npos);
}

TEST(HfbFixedLayers, SeriesReductionOnceAfterReading) {
  // 2 x 3 grid, DELR = [1, 2, 4], DELC = [3, 5]; every face 4.
  ModelBuilder b(1, 2, 3);
  Model& m = b.model();
  m.DELR[0] = 1.0f, m.DELR[1] = 2.0f, m.DELR[2] = 4.0f;
  m.DELC[0] = 3.0f, m.DELC[1] = 5.0f;
  setFaces(m, 4.0f);
  m.CONDR[m.cell(1, 2, 1)] = 0.0f;
  PackageRun hfb(b, "HFB", kHFB,
                 count(5) + count(5) + barrier(1, 2, 1, 1, "0.5") + barrier(1, 2, 1, 3, "0.5") +
                     barrier(1, 2, 1, 3, "0.5") + barrier(2, 2, 1, 2, "0.25") + barrier(2, 1, 2, 2, "7.0"));
  hfb.allocate();
  hfb.readPrepare();
  const float once = 0.5f * 4.0f * 3.0f / (0.5f * 3.0f + 4.0f);
  // Reverse order acts on the face of the smaller column.
  EXPECT_EQ(m.CONDR[m.cell(1, 1, 1)], once);
  // Two barriers on one face: combined in series twice.
  EXPECT_EQ(m.CONDR[m.cell(1, 1, 2)], 0.5f * once * 3.0f / (0.5f * 3.0f + once));
  // A barrier between rows (given in reverse order) uses the column width and CONDC of row 1.
  EXPECT_EQ(m.CONDC[m.cell(1, 1, 2)], 0.25f * 4.0f * 2.0f / (0.25f * 2.0f + 4.0f));
  // A closed face stays closed.
  EXPECT_EQ(m.CONDR[m.cell(1, 2, 1)], 0.0f);
  // Untouched faces.
  EXPECT_EQ(m.CONDR[m.cell(1, 2, 2)], 4.0f);
  EXPECT_EQ(m.CONDC[m.cell(1, 1, 1)], 4.0f);
  // The table is normalised: smaller row and column first.
  auto& p = hfb.as<HfbPackage>();
  EXPECT_EQ(p.field(4, HfbPackage::kRow1), 1.0f);
  EXPECT_EQ(p.field(4, HfbPackage::kRow2), 2.0f);
  EXPECT_EQ(p.field(1, HfbPackage::kCol1), 1.0f);
  EXPECT_EQ(p.field(1, HfbPackage::kCol2), 2.0f);
  // Fixed layers are never touched again in the iterations.
  hfb.formulate();
  EXPECT_EQ(m.CONDR[m.cell(1, 1, 1)], once);
}

TEST(HfbFixedLayers, ZeroCharacteristicClosesTheFace) {
  ModelBuilder b(1, 1, 2);
  setFaces(b.model(), 4.0f);
  PackageRun hfb(b, "HFB", kHFB, count(1) + count(1) + barrier(1, 1, 1, 2, "0.0"));
  hfb.allocate();
  hfb.readPrepare();
  EXPECT_EQ(b.model().CONDR[0], 0.0f);
}

// One row of three cells in a convertible layer of the given type: bottoms [0, 1, 0], tops 6.
struct ConvertibleRow {
  ModelBuilder b{1, 1, 3};
  float* bottom = nullptr;
  float* top = nullptr;
  explicit ConvertibleRow(int type) {
    Model& m = b.model();
    m.LAYCON[0] = type;
    bottom = m.work->takeReal(3);
    top = m.work->takeReal(3);
    bottom[0] = 0.0f, bottom[1] = 1.0f, bottom[2] = 0.0f;
    for (int j = 0; j < 3; ++j) top[j] = 6.0f;
    m.BOTTOM = bottom;
    m.TOP = type == 3 ? top : nullptr;
    m.DELC[0] = 2.0f;
    setFaces(m, 4.0f);
  }
};

TEST(HfbConvertibleLayers, ReductionThroughTheSaturatedThicknessEveryIteration) {
  struct Case {
    int type;
    double h1, h2, h3;
    float thick12, thick23;  // average saturated thickness of faces 1-2 and 2-3
  };
  const Case cases[] = {
      {1, 5.0, 4.0, 3.0, (5.0f + 3.0f) / 2.0f, (3.0f + 3.0f) / 2.0f},
      // Type 1 has no top: the head itself counts however high it is.
      {1, 9.0, 8.0, 3.0, (9.0f + 7.0f) / 2.0f, (7.0f + 3.0f) / 2.0f},
      // Type 3 caps heads at the top.
      {3, 9.0, 8.0, 3.0, (6.0f + 5.0f) / 2.0f, (5.0f + 3.0f) / 2.0f},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.type);
    ConvertibleRow row(c.type);
    Model& m = row.b.model();
    PackageRun hfb(row.b, "HFB", kHFB,
                   count(2) + count(2) + barrier(1, 2, 1, 1, "0.5") + barrier(1, 2, 1, 3, "0.25"));
    hfb.allocate();
    hfb.readPrepare();
    // Nothing happens to a convertible layer after reading.
    EXPECT_EQ(m.CONDR[0], 4.0f);
    row.b.setHead(1, 1, 1, c.h1);
    row.b.setHead(1, 1, 2, c.h2);
    row.b.setHead(1, 1, 3, c.h3);
    for (int iteration = 0; iteration < 2; ++iteration) {
      // The flow package recomputes the faces before HFB runs in every iteration.
      setFaces(m, 4.0f);
      hfb.formulate();
      const float b1 = 0.5f * c.thick12, b2 = 0.25f * c.thick23;
      EXPECT_EQ(m.CONDR[0], b1 * 4.0f * 2.0f / (b1 * 2.0f + 4.0f));
      EXPECT_EQ(m.CONDR[1], b2 * 4.0f * 2.0f / (b2 * 2.0f + 4.0f));
    }
  }
}

TEST(HfbConvertibleLayers, NoThicknessClosesTheFaceAndClosedFacesAreSkipped) {
  ConvertibleRow row(1);
  Model& m = row.b.model();
  PackageRun hfb(row.b, "HFB", kHFB,
                 count(2) + count(2) + barrier(1, 1, 1, 2, "0.5") + barrier(1, 2, 1, 3, "0.5"));
  hfb.allocate();
  hfb.readPrepare();
  // Face 1-2: thicknesses 0.5 and -1.5 average to -0.5 while the face still conducts.
  row.b.setHead(1, 1, 1, 0.5);
  row.b.setHead(1, 1, 2, -0.5);
  row.b.setHead(1, 1, 3, 2.0);
  m.CONDR[1] = 0.0f;
  hfb.formulate();
  EXPECT_EQ(m.CONDR[0], 0.0f);
  EXPECT_EQ(m.CONDR[1], 0.0f);
  // Exactly zero average thickness closes the face too.
  setFaces(m, 4.0f);
  row.b.setHead(1, 1, 2, 0.5);
  hfb.formulate();
  EXPECT_EQ(m.CONDR[0], 0.0f);
}

}  // namespace
}  // namespace aqx
