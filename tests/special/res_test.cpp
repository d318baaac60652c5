// RES driven phase by phase on small hand-built grids: bed conductance and bottom, the two
// leakage regimes against the river equations, stages over a period, the three ways of choosing
// the receiving cell, the printed tables, the budget and cell-by-cell record, refused input.
#include "special/res.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <ostream>
#include <sstream>
#include <string>
#include <vector>

#include "driver/model.hpp"
#include "io/record.hpp"
#include "support/binary_files.hpp"
#include "support/e2e.hpp"
#include "support/model_builder.hpp"

namespace aqx {
namespace {

constexpr int kCbcUnit = 40;

bool has(const std::string& text, const std::string& piece) {
  return text.find(piece) != std::string::npos;
}

// Record 1 in its fixed columns.
std::string record1(int nres, int cb, int option, int print, int ntable) {
  std::string s;
  for (int v : {nres, cb, option, print, ntable}) {
    std::string f = std::to_string(v);
    s += std::string(10 - f.size(), ' ') + f;
  }
  return s + "\n";
}

// One stage record.
std::string stages(const std::string& start, const std::string& end) {
  return std::string(10 - start.size(), ' ') + start + std::string(10 - end.size(), ' ') + end + "\n";
}

class ResRun {
 public:
  ResRun(int nlay, int nrow, int ncol, const std::string& input)
      : b_(nlay, nrow, ncol), run_(b_, "RES", kRES, input) {
    b_.output(kCbcUnit, "out.cbc");
  }

  Model& m() { return b_.model(); }
  test::ModelBuilder& builder() { return b_; }
  ResPackage& res() { return run_.as<ResPackage>(); }

  void allocate() { run_.allocate(); }
  // The stress-period phase of period kper with its steps as the basic package sets them.
  void period(int kper, int nsteps, float delt, float tsmult = 1.0f) {
    Model& m = b_.model();
    m.KPERIOD = kper;
    m.NSTEPS = nsteps;
    m.TSMULT = tsmult;
    m.DELT = delt;
    m.PERTIME = 0.0f;
    run_.package().stressPeriod(m);
  }
  // Step kstp: clock, advance, formulate, budget.
  void step(int kstp, int icbcfl = 0) {
    Model& m = b_.model();
    m.KSTEP = kstp;
    if (kstp != 1) m.DELT = m.TSMULT * m.DELT;
    m.PERTIME += m.DELT;
    m.TOTTIME += m.DELT;
    run_.package().advance(m);
    run_.formulate();
    run_.budget(icbcfl);
  }
  void budget(int icbcfl = 0) { run_.budget(icbcfl); }
  float hcoef(int k, int i, int j) const { return run_.hcoef(k, i, j); }
  float rhs(int k, int i, int j) const { return run_.rhs(k, i, j); }
  std::string listing() { return b_.listing(); }
  std::vector<test::BudgetRecord> records() { return test::readBudgetFile(b_.bytes(kCbcUnit, "out.cbc")); }

 private:
  test::ModelBuilder b_;
  test::PackageRun run_;
};

// ---------------------------------------------------------------------------------------------
// Leakage

// Three flooded cells of 100 x 100 with land 10, bed conductivity 0.5 and thickness 1.
std::string threeCells(int cb, const std::string& periodStages) {
  return record1(1, cb, 1, 0, 0) + "CONSTANT 1\nCONSTANT 10.0\nCONSTANT 0.5\nCONSTANT 1.0\n" + periodStages;
}

TEST(ResLeakage, BedConductanceAndBottomAndTheTwoRiverRegimes) {
  ResRun run(1, 1, 3, threeCells(kCbcUnit, stages("12.0", "12.0") + stages("10.0", "10.0")));
  test::ModelBuilder& b = run.builder();
  std::fill(run.m().DELR, run.m().DELR + 3, 100.0f);
  std::fill(run.m().DELC, run.m().DELC + 1, 100.0f);
  b.setHead(1, 1, 1, 9.5);  // above the bed bottom
  b.setHead(1, 1, 2, 8.0);  // below it
  b.setHead(1, 1, 3, 9.0);  // at it: the fixed leakage
  run.allocate();
  run.period(1, 1, 1.0f);
  EXPECT_EQ(run.res().RESBEDCOND(1, 1), 5000.0f);
  EXPECT_EQ(run.res().RESBEDBOT(1, 1), 9.0f);
  run.step(1, 2);

  // The terms of a river with the bed's conductance and bottom, at the stage.
  const float c = 5000.0f, stage = 12.0f, bottom = 9.0f;
  EXPECT_EQ(run.hcoef(1, 1, 1), -c);
  EXPECT_EQ(run.rhs(1, 1, 1), -c * stage);
  for (int j : {2, 3}) {
    EXPECT_EQ(run.hcoef(1, 1, j), 0.0f) << j;
    EXPECT_EQ(run.rhs(1, 1, j), -c * (stage - bottom)) << j;
  }
  Model& m = run.m();
  EXPECT_EQ(m.BUDNAM[0], " RESERV. LEAKAGE");
  EXPECT_EQ(m.BUDVAL[0][2], 5000.0f * 2.5f + 2 * 5000.0f * 3.0f);
  EXPECT_EQ(m.BUDVAL[0][3], 0.0f);

  // A head above the stage leaks out of the aquifer.
  b.setHead(1, 1, 1, 13.0);
  run.budget();
  EXPECT_EQ(m.BUDVAL[0][3], 5000.0f);

  // Period 2: the stage at the land surface floods nothing.
  run.period(2, 1, 1.0f);
  run.step(1, 1);
  for (int j = 1; j <= 3; ++j) {
    EXPECT_EQ(run.hcoef(1, 1, j), 0.0f);
    EXPECT_EQ(run.rhs(1, 1, j), 0.0f);
  }
  EXPECT_EQ(m.BUDVAL[0][2], 0.0f);
  EXPECT_EQ(m.BUDVAL[0][3], 0.0f);

  // Both saving modes write the full record.
  const auto records = run.records();
  ASSERT_EQ(records.size(), 2u);
  for (const auto& r : records) {
    EXPECT_EQ(r.method, 0);
    EXPECT_EQ(r.label, " RESERV. LEAKAGE");
  }
  EXPECT_EQ(records[0].at(1, 1, 1), 12500.0f);
  EXPECT_EQ(records[0].at(1, 1, 2), 15000.0f);
  EXPECT_EQ(records[1].at(1, 1, 1), 0.0f);
}

TEST(ResLeakage, NoRecordWithoutAUnitOrOutputControl) {
  ResRun run(1, 1, 3, threeCells(0, stages("12.0", "12.0")));
  run.allocate();
  run.period(1, 1, 1.0f);
  run.step(1, 1);
  EXPECT_TRUE(run.records().empty());
  ResRun quiet(1, 1, 3, threeCells(kCbcUnit, stages("12.0", "12.0")));
  quiet.allocate();
  quiet.period(1, 1, 1.0f);
  quiet.step(1, 0);
  EXPECT_TRUE(quiet.records().empty());
}

// ---------------------------------------------------------------------------------------------
// The receiving cell

// Three layers, one row, five columns; heads above the bed, so a receiving cell's HCOEF is
// minus the conductance (1 x 1 cells, conductivity 2, thickness 1: 2.0). At the first period
// every cell is variable head but column 5's layer-1 cell (no flow): that map cell leaves the
// reservoir. Then column 2 loses layer 1 and has a constant head in layer 2, column 3 loses
// layer 1, column 4 every layer.
struct OptionCase {
  const char* name;
  int option;
  int layers[5];  // expected receiving layer per column, 0 none
};

void PrintTo(const OptionCase& c, std::ostream* os) {
  *os << c.name;
}

class ResOptions : public ::testing::TestWithParam<OptionCase> {};

TEST_P(ResOptions, ReceivingLayerOfEachColumn) {
  const OptionCase& c = GetParam();
  std::string input = record1(1, 0, c.option, 0, 0) + "CONSTANT 1\n";
  if (c.option == 2) input += "INTERNAL 1 (FREE) 0\n1 2 3 3 2\n";
  input += "CONSTANT 5.0\nCONSTANT 2.0\nCONSTANT 1.0\n" + stages("6.0", "6.0");
  ResRun run(3, 1, 5, input);
  test::ModelBuilder& b = run.builder();
  b.setAllHeads(5.5);
  b.ibound(1, 1, 5) = 0;
  run.allocate();
  run.period(1, 1, 1.0f);
  EXPECT_EQ(run.res().RESINDEX(1, 5), 0);
  b.ibound(1, 1, 2) = 0;
  b.ibound(2, 1, 2) = -1;
  b.ibound(1, 1, 3) = 0;
  for (int k = 1; k <= 3; ++k) b.ibound(k, 1, 4) = 0;
  run.step(1);
  float total = 0.0f;
  for (int j = 1; j <= 5; ++j) {
    for (int k = 1; k <= 3; ++k) {
      EXPECT_EQ(run.hcoef(k, 1, j), k == c.layers[j - 1] ? -2.0f : 0.0f) << "column " << j << " layer " << k;
      total += -run.rhs(k, 1, j);
    }
  }
  int receiving = 0;
  for (int l : c.layers) receiving += l > 0 ? 1 : 0;
  EXPECT_EQ(total, 12.0f * static_cast<float>(receiving));                // 2 x 6 into each receiving cell
  EXPECT_EQ(run.m().BUDVAL[0][2], 1.0f * static_cast<float>(receiving));  // 2 x (6 - 5.5)
}

INSTANTIATE_TEST_SUITE_P(Cases, ResOptions,
                         ::testing::Values(OptionCase{"TopLayer", 1, {1, 0, 0, 0, 0}},
                                           OptionCase{"GivenLayer", 2, {1, 0, 3, 0, 0}},
                                           OptionCase{"HighestActive", 3, {1, 0, 2, 0, 0}}),
                         [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------------------------------------
// Stages and tables

// The numbers of a listing line, in order.
std::vector<double> numbers(const std::string& line) {
  std::istringstream in(line);
  std::vector<double> out;
  for (std::string word; in >> word;) {
    try {
      out.push_back(std::stod(word));
    } catch (...) {
    }
  }
  return out;
}

// The listing lines after the first line that contains `heading`.
std::vector<std::string> linesAfter(const std::string& text, const std::string& heading, int count) {
  const std::vector<std::string> all = test::lines(text);
  for (std::size_t n = 0; n < all.size(); ++n) {
    if (all[n].find(heading) == std::string::npos) continue;
    const auto from = all.begin() + static_cast<std::ptrdiff_t>(n + 1);
    return std::vector<std::string>(from, from + std::min<std::ptrdiff_t>(count, all.end() - from));
  }
  return {};
}

TEST(ResStages, InterpolatedOverEachPeriodAndPrintedEachStep) {
  // One cell with land 10 in a cell of 4 x 2.
  ResRun run(1, 1, 1,
             record1(1, 0, 1, 1, 0) + "CONSTANT 1\nCONSTANT 10.0\nCONSTANT 1.0\nCONSTANT 1.0\n" +
                 stages("10.0", "20.0") + stages("20.0", "50.0"));
  run.m().DELR[0] = 4.0f;
  run.m().DELC[0] = 2.0f;
  run.allocate();
  run.period(1, 2, 5.0f);
  EXPECT_EQ(run.res().PERLENGTH(), 10.0f);
  run.step(1);
  EXPECT_EQ(run.res().RESSTAGE(1), 15.0f);
  run.step(2);
  EXPECT_EQ(run.res().RESSTAGE(1), 20.0f);
  // Steps of 1 and 2: one third of the way, then the end.
  run.period(2, 2, 1.0f, 2.0f);
  EXPECT_EQ(run.res().PERLENGTH(), 3.0f);
  run.step(1);
  EXPECT_FLOAT_EQ(run.res().RESSTAGE(1), 30.0f);
  run.step(2);
  EXPECT_EQ(run.res().RESSTAGE(1), 50.0f);

  const std::string lst = run.listing();
  EXPECT_TRUE(has(lst,
                  " RESERVOIR CONDITIONS FOR STRESS PERIOD   1, STEP   1 TIME   5.0000    \n"
                  "  RESERVOIR   HEAD         AREA        VOLUME\n"
                  "  ----------------------------------------------\n"
                  "       1     15.000      8.0000      40.000    \n"))
      << lst;
  const std::vector<std::string> last = linesAfter(lst, "STRESS PERIOD   2, STEP   2 TIME", 3);
  ASSERT_EQ(last.size(), 3u);
  EXPECT_EQ(numbers(last[2]), (std::vector<double>{1, 50.0, 8.0, 320.0})) << last[2];
}

TEST(ResTables, StageAreaAndVolumeOfEveryReservoir) {
  // Reservoir 1 on land 10, 12 and 14 (cells of 10 x 5, 20 x 5, 10 x 1), reservoir 2 on land 3.
  ResRun run(1, 2, 2,
             record1(2, 0, 1, 0, 4) + "INTERNAL 1 (FREE) 0\n1 1\n1 2\n" +
                 "INTERNAL 1.0 (FREE) 0\n10 12\n14 3\nCONSTANT 1.0\nCONSTANT 1.0\n" + stages("0", "0") +
                 stages("0", "0"));
  Model& m = run.m();
  m.DELR[0] = 10.0f;
  m.DELR[1] = 20.0f;
  m.DELC[0] = 5.0f;
  m.DELC[1] = 1.0f;
  run.allocate();
  run.period(1, 1, 1.0f);
  const std::string lst = run.listing();
  EXPECT_TRUE(has(lst,
                  " NUMBER OF CELLS IN RESERVOIR  1:     3\n"
                  " NUMBER OF CELLS IN RESERVOIR  2:     1\n"))
      << lst;
  EXPECT_TRUE(has(lst,
                  " STAGE-VOLUME TABLE FOR RESERVOIR 1\n"
                  "      STAGE       VOLUME         AREA\n"
                  "   ------------------------------------\n"
                  " 10.000               0.0           0.0\n"))
      << lst;

  // Four points from 10 to 14: each stage floods the cells whose land is below it.
  const float land[3] = {10, 12, 14}, area[3] = {50, 100, 10};
  const std::vector<std::string> table = linesAfter(lst, " 10.000               0.0           0.0", 5);
  ASSERT_EQ(table.size(), 5u);
  for (int p = 1; p <= 4; ++p) {
    const double stage = 10.0 + p;
    double a = 0, v = 0;
    for (int c = 0; c < 3; ++c) {
      if (land[c] < stage) {
        a += area[c];
        v += (stage - land[c]) * area[c];
      }
    }
    EXPECT_EQ(numbers(table[p - 1]), (std::vector<double>{stage, v, a})) << table[p - 1];
  }
  EXPECT_EQ(table[4], "  ");
  // A reservoir on flat land has nothing below any stage of its table.
  const std::vector<std::string> flat = linesAfter(lst, "STAGE-VOLUME TABLE FOR RESERVOIR 2", 7);
  ASSERT_EQ(flat.size(), 7u);
  EXPECT_EQ(flat[2], " 3.0000               0.0           0.0");
  for (int p = 3; p <= 6; ++p) EXPECT_EQ(numbers(flat[p]), (std::vector<double>{3.0, 0.0, 0.0})) << flat[p];
}

TEST(ResTables, AllocateLinesAndATableOfOneLineWithoutPoints) {
  ResRun run(
      1, 1, 2,
      record1(1, 40, 3, 0, 0) + "CONSTANT 1\nCONSTANT 7.5\nCONSTANT 1.0\nCONSTANT 1.0\n" + stages("0", "0"));
  run.allocate();
  run.period(1, 1, 1.0f);
  const std::string lst = run.listing();
  EXPECT_TRUE(has(lst,
                  "0RES1 -- RESERVOIR PACKAGE, VERSION 1, 1/15/95 INPUT READ FROM UNIT 27\n"
                  " TOTAL NUMBER OF RESERVOIRS:   1\n"
                  " CELL-BY-CELL FLOWS WILL BE RECORDED ON UNIT 40\n"
                  " OPTION 3 -- RESERVOIR CONNECTED TO HIGHEST ACTIVE NODE IN EACH VERTICAL COLUMN\n"
                  "  Table of reservoir areas and volumeswill not be calculated.\n"
                  "       11 ELEMENTS IN X ARRAY ARE USED FOR RESERVOIRS\n"))
      << lst;
  EXPECT_TRUE(has(lst, "   ------------------------------------\n 7.5000               0.0           0.0\n"))
      << lst;
  EXPECT_FALSE(has(lst, "0.0           0.0\n  \n")) << lst;  // no blank line after it
}

// ---------------------------------------------------------------------------------------------
// Refused input

struct StopCase {
  const char* name;
  std::string input;
  const char* message;
  float delt = 1.0f;
};

void PrintTo(const StopCase& c, std::ostream* os) {
  *os << c.name;
}

class ResStops : public ::testing::TestWithParam<StopCase> {};

TEST_P(ResStops, WithMessage) {
  const StopCase& c = GetParam();
  ResRun run(2, 1, 2, c.input);
  run.builder().ibound(1, 1, 2) = 0;
  EXPECT_THROW(
      {
        run.allocate();
        run.period(1, 1, c.delt);
      },
      io::RunStop);
  const std::string lst = run.listing();
  EXPECT_TRUE(has(lst, c.message)) << lst;
}

const std::string kMaps = "CONSTANT 5.0\nCONSTANT 1.0\nCONSTANT 1.0\n";

INSTANTIATE_TEST_SUITE_P(
    Cases, ResStops,
    ::testing::Values(
        StopCase{"NoReservoirs", record1(0, 0, 1, 0, 0), " ABORTING, NUMBER OF RESERVOIRS LESS THAN 1...\n"},
        StopCase{"IllegalOption", record1(1, 0, 4, 0, 0), " ILLEGAL OPTION CODE. SIMULATION ABORTING\n"},
        StopCase{"ReservoirOnlyOnANoFlowCell", record1(2, 0, 1, 0, 0) + "INTERNAL 1 (FREE) 0\n1 2\n",
                 " NUMBER OF CELLS IN RESERVOIR  1:     1\n"
                 " NO ACTIVE CELLS FOUND FOR RESERVOIR  2.  ABORTING...\n"},
        StopCase{
            "LayerOutsideTheGrid", record1(1, 0, 2, 0, 0) + "CONSTANT 1\nCONSTANT 3\n" + kMaps,
            "\n RES: THE RESERVOIR LAYER AT ROW     1, COLUMN     1 IS          3: NOT A LAYER OF THE GRID "
            "(1 TO   2)\n STOP EXECUTION\n"},
        StopCase{"BedWithoutThickness",
                 record1(1, 0, 1, 0, 0) + "CONSTANT 1\nCONSTANT 5.0\nCONSTANT 1.0\nCONSTANT 0.0\n",
                 "\n RES: THE BED THICKNESS AT ROW     1, COLUMN     1 IS  0.0000000E+00: IT MUST BE GREATER "
                 "THAN 0\n STOP EXECUTION\n"},
        StopCase{
            "PeriodOfZeroLength", record1(1, 0, 1, 0, 0) + "CONSTANT 1\n" + kMaps + stages("1", "2"),
            "\n RES: THE LENGTH OF STRESS PERIOD   1 IS  0.0000000E+00: STAGES CANNOT BE INTERPOLATED OVER "
            "IT\n STOP EXECUTION\n",
            0.0f}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace aqx
