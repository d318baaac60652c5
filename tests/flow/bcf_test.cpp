#include "flow/bcf.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "flow/grid_fixture.hpp"
#include "io/record.hpp"

namespace aqx {
namespace {

// A 2 x 2 layer with one zero cell: T = [[2, 8], [4, 0]], DELR = [1, 3], DELC = [2, 1], ANISO 0.5.
struct AveragingLayer {
  float condr[4] = {-7, -7, -7, -7};
  float condc[4] = {2, 8, 4, 0};
  float aniso[1] = {0.5f};
  float delr[2] = {1, 3};
  float delc[2] = {2, 1};
};

TEST(BcfAveraging, RulesOnASmallLayer) {
  struct Case {
    const char* name;
    float condr11, condc11;
  };
  const float m28 = 6.0f / std::log(4.0f);
  const float m24 = 2.0f / std::log(2.0f);
  const Case cases[] = {
      {"harmonic", 64.0f / 14.0f, 0.8f},
      {"arithmetic", 5.0f, 1.0f},
      {"logarithmic", m28, m24 / 3.0f},
      {"unconfined", 2.0f * m28, 0.5f * m24},
  };
  const float thick[4] = {1, 3, 2, 0};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    AveragingLayer l;
    const std::string name = c.name;
    if (name == "harmonic") bcf::averageHarmonic(l.condr, l.condc, l.aniso, l.delr, l.delc, 1, 2, 2);
    if (name == "arithmetic") bcf::averageArithmetic(l.condr, l.condc, l.aniso, l.delr, l.delc, 1, 2, 2);
    if (name == "logarithmic") bcf::averageLogarithmic(l.condr, l.condc, l.aniso, l.delr, l.delc, 1, 2, 2);
    if (name == "unconfined")
      bcf::averageUnconfined(l.condr, l.condc, l.aniso, l.delr, l.delc, thick, 1, 2, 2);
    EXPECT_NEAR(l.condr[0], c.condr11, 1e-5f * c.condr11);
    EXPECT_NEAR(l.condc[0], c.condc11, 1e-5f * c.condc11);
    // A zero neighbour gives a zero conductance, in every rule.
    EXPECT_EQ(l.condc[1], 0.0f);
    EXPECT_EQ(l.condr[2], 0.0f);
    // The last column's CONDR is not a conductance and is left alone; the last row's CONDC keeps
    // the cell value; a zero cell gets zero.
    EXPECT_EQ(l.condr[1], -7.0f);
    EXPECT_EQ(l.condc[2], 4.0f);
    EXPECT_EQ(l.condr[3], 0.0f);
    EXPECT_EQ(l.condc[3], 0.0f);
  }
}

TEST(BcfAveraging, LogarithmicMeanSwitchesToArithmeticWithinHalfAPercent) {
  EXPECT_EQ(bcf::logMean(1.0f, 1.005f), (1.0f + 1.005f) * 0.5f);
  EXPECT_EQ(bcf::logMean(1.0f, 0.995f), (1.0f + 0.995f) * 0.5f);
  EXPECT_EQ(bcf::logMean(1.0f, 1.006f), (1.006f - 1.0f) / std::log(1.006f));
  EXPECT_NE(bcf::logMean(1.0f, 1.006f), (1.0f + 1.006f) * 0.5f);
}

struct Bcf {
  Model m;
  BcfPackage bcf;
  // codes: layer codes; transient and wetting as flags.
  test::Listing quiet{62};
  void setup(std::vector<int> codes, int nrow, int ncol, bool transient, bool wetting = false) {
    test::allocateGrid(m, static_cast<int>(codes.size()), nrow, ncol);
    m.LISTUNIT = quiet.unit;
    {
      BcfPackage::Settings s = bcf.settings();
      s.ISTEADY = transient ? 0 : 1;
      s.IWETTING = wetting ? 1 : 0;
      s.IWETINTERVAL = 1;
      s.WETFACTOR = 1.0f;
      s.HEADDRY = -999.0f;
      bcf.configure(m, s);
    }
    bcf.decodeLayers(m, codes.data());
    bcf.takeArrays(m);
    for (int k = 0; k < m.NLAYER; ++k) bcf.aniso()[k] = 1.0f;
    m.DELT = 1.0f;
    m.KOUTER = 1;
    m.KSTEP = 1;
    m.KPERIOD = 1;
  }
  void clearMatrix() {
    for (std::int64_t n = 0; n < m.NCELLS; ++n) m.HCOEF[n] = m.RHS[n] = 0.0f;
  }
};

TEST(BcfLayers, DecodingOfCodes) {
  Bcf b;
  b.setup({31, 30, 32, 3, 13}, 1, 1, false);
  const int type[] = {1, 0, 2, 3, 3};
  const int avg[] = {30, 20, 20, 0, 10};
  for (int k = 0; k < 5; ++k) {
    EXPECT_EQ(b.m.LAYCON[k], type[k]) << k;
    EXPECT_EQ(b.m.LAYAVG[k], avg[k]) << k;
  }
  EXPECT_EQ(b.bcf.convertibleLayers(), 3);
  EXPECT_EQ(b.bcf.topLayers(), 3);
}

TEST(BcfLayers, TableRowsAndMessages) {
  test::Listing list;
  {
    Bcf b;
    b.m.LISTUNIT = list.unit;
    test::allocateGrid(b.m, 4, 1, 1);
    b.m.LISTUNIT = list.unit;
    const int codes[] = {31, 30, 32, 4};
    EXPECT_THROW(b.bcf.decodeLayers(b.m, codes), io::RunStop);
  }
  {
    Bcf b;
    test::allocateGrid(b.m, 2, 1, 1);
    b.m.LISTUNIT = list.unit;
    const int codes[] = {0, 40};
    EXPECT_THROW(b.bcf.decodeLayers(b.m, codes), io::RunStop);
  }
  const auto l = list.trimmedLines();
  const std::vector<std::string> want = {
      "      LAYER  LAYER-TYPE CODE     INTERBLOCK T",
      "      --------------------------------------------",
      "         1            1         30 -- *UNCONFINED*",
      "         2            0         20 -- LOGARITHMIC",
      "         3            2         20 -- LOGARITHMIC",
      "         4            4          0 -- HARMONIC",
      " INVALID LAYER TYPE:   4",
      "      LAYER  LAYER-TYPE CODE     INTERBLOCK T",
      "      --------------------------------------------",
      "         1            0          0 -- HARMONIC",
      " INVALID INTERBLOCK T CODE:  40",
  };
  EXPECT_EQ(l, want);
}

TEST(BcfLayers, ArraysTakenOnlyWhenPresent) {
  // Two layers (types 3 and 2) of 2 x 3 cells: NRC = 6.
  struct Case {
    bool transient, wetting;
    std::int64_t elements;
  };
  const Case cases[] = {
      {false, false, 2 + 6 + 6 + 12},                  // ANISO, BOTTOM, HYDCOND, TOP
      {true, false, 12 + 12 + 2 + 6 + 6 + 12},         // + STOR1, STOR2
      {true, true, 12 + 12 + 2 + 6 + 6 + 12 + 6 + 6},  // + WETDRY, CVSAVE
  };
  for (const Case& c : cases) {
    Bcf b;
    test::allocateGrid(b.m, 2, 2, 3);
    b.m.LISTUNIT = b.quiet.unit;
    {
      BcfPackage::Settings s = b.bcf.settings();
      s.ISTEADY = c.transient ? 0 : 1;
      s.IWETTING = c.wetting ? 1 : 0;
      b.bcf.configure(b.m, s);
    }
    const int codes[] = {3, 2};
    b.bcf.decodeLayers(b.m, codes);
    const std::int64_t before = b.m.work->XNEXT();
    b.bcf.takeArrays(b.m);
    EXPECT_EQ(b.m.work->XNEXT() - before, c.elements);
    EXPECT_EQ(b.m.BOTTOM, b.bcf.bottom());
    EXPECT_EQ(b.bcf.stor1() != nullptr, c.transient);
    EXPECT_EQ(b.bcf.wetdry() != nullptr, c.wetting);
  }
}

TEST(BcfLayers, InvalidCodesStop) {
  const std::vector<std::vector<int>> bad = {{40}, {4}, {-5}, {0, 1}, {0, 34}};
  for (const auto& codes : bad) {
    Bcf b;
    EXPECT_THROW(b.setup(codes, 1, 1, false), io::RunStop) << codes.back();
  }
  Bcf b;
  b.m.IAPART = 0;
  test::allocateGrid(b.m, 1, 1, 1, false);
  b.m.LISTUNIT = b.quiet.unit;
  const int unconfined[] = {31};
  EXPECT_THROW(b.bcf.decodeLayers(b.m, unconfined), io::RunStop);
}

TEST(BcfPrepare, VerticalConductanceEliminationAndStorageCapacity) {
  test::Listing list;
  Bcf b;
  b.setup({0, 0}, 1, 3, true);
  Model& m = b.m;
  m.LISTUNIT = list.unit;
  m.DELR[0] = 2;
  m.DELR[1] = 3;
  m.DELR[2] = 4;
  m.DELC[0] = 5;
  const float t[6] = {1, 0, 1, 1, 1, 0};
  const float leak[3] = {0.1f, 0.0f, 0.1f};
  for (int n = 0; n < 6; ++n) {
    m.CONDC[n] = t[n];
    b.bcf.stor1()[n] = 0.01f;
    m.HEADNEW[n] = 1.0;
  }
  for (int n = 0; n < 3; ++n) m.CONDV[n] = leak[n];
  m.IBOUND[2] = 0;  // cuts the leakance below it
  b.bcf.prepare(m);
  EXPECT_FLOAT_EQ(m.CONDV[0], 0.1f * 2 * 5);
  EXPECT_EQ(m.CONDV[2], 0.0f);
  // (1,1,2): no transmissivity, no leakance: eliminated. (2,1,3): no transmissivity and the cell
  // above is inactive: eliminated too.
  EXPECT_EQ(m.IBOUND[1], 0);
  EXPECT_EQ(m.HEADNEW[1], static_cast<double>(888.88f));
  EXPECT_EQ(m.IBOUND[5], 0);
  EXPECT_EQ(m.IBOUND[3], 1);
  EXPECT_EQ(m.IBOUND[4], 1);
  EXPECT_FLOAT_EQ(b.bcf.stor1()[4], 0.01f * 3 * 5);
  // Harmonic conductance between (2,1,1) and (2,1,2): 2*T*T*DELC/(T*DELR2 + T*DELR1).
  EXPECT_FLOAT_EQ(m.CONDR[3], 2.0f * 5 / 5);
  const std::vector<std::string> want = {
      " NODE (LAYER,ROW,COL)   1   1   2 ELIMINATED BECAUSE ALL CONDUCTANCES TO NODE ARE 0",
      " NODE (LAYER,ROW,COL)   2   1   3 ELIMINATED BECAUSE ALL CONDUCTANCES TO NODE ARE 0"};
  EXPECT_EQ(list.trimmedLines(), want);
}

TEST(BcfFormulate, StorageSwitchesBetweenPrimaryAndSecondaryAtTheTop) {
  Bcf b;
  b.setup({2}, 1, 1, true);
  Model& m = b.m;
  b.bcf.stor1()[0] = 2.0f;
  b.bcf.stor2()[0] = 0.5f;
  b.bcf.top()[0] = 10.0f;
  m.HEADOLD[0] = 12.0f;
  m.HEADNEW[0] = 8.0;
  m.DELT = 2.0f;
  b.clearMatrix();
  b.bcf.formulate(m);
  // Old head above the top: primary; new head below: secondary.
  EXPECT_FLOAT_EQ(m.HCOEF[0], -0.25f);
  EXPECT_FLOAT_EQ(m.RHS[0], -1.0f * 2.0f - 10.0f * 0.25f);
  // Steady state: no storage term.
  {
    BcfPackage::Settings s = b.bcf.settings();
    s.ISTEADY = 1;
    b.bcf.configure(b.m, s);
  }
  b.clearMatrix();
  b.bcf.formulate(m);
  EXPECT_EQ(m.HCOEF[0], 0.0f);
  EXPECT_EQ(m.RHS[0], 0.0f);
}

TEST(BcfFormulate, VerticalFlowIntoACellBelowItsTopIsLimited) {
  Bcf b;
  b.setup({0, 2}, 1, 1, false);
  Model& m = b.m;
  m.CONDV[0] = 3.0f;
  b.bcf.top()[0] = 5.0f;
  m.HEADNEW[0] = 9.0;
  m.HEADNEW[1] = 4.0;  // one below the top
  b.clearMatrix();
  b.bcf.formulate(m);
  EXPECT_FLOAT_EQ(m.RHS[0], -3.0f);
  EXPECT_FLOAT_EQ(m.RHS[1], 3.0f);
  m.HEADNEW[1] = 6.0;
  b.clearMatrix();
  b.bcf.formulate(m);
  EXPECT_EQ(m.RHS[0], 0.0f);
  EXPECT_EQ(m.RHS[1], 0.0f);
}

// One convertible row of three cells over a confined layer, wetting active.
struct WetRow : Bcf {
  void build(float wetdry, int iweteqn, float wetfactor) {
    setup({1, 0}, 1, 3, false, true);
    {
      BcfPackage::Settings s = bcf.settings();
      s.IWETEQN = iweteqn;
      s.WETFACTOR = wetfactor;
      bcf.configure(m, s);
    }
    for (int n = 0; n < 3; ++n) {
      bcf.hydcond()[n] = 2.0f;
      bcf.bottom()[n] = 10.0f;
      bcf.wetdry()[n] = wetdry;
      m.HEADNEW[n] = 15.0;
      m.CONDC[3 + n] = 1.0f;
      m.CONDV[n] = 0.5f;
      m.HEADNEW[3 + n] = 15.0;
    }
    bcf.prepare(m);
  }
};

TEST(BcfWetting, ConversionLogFiveEntriesPerLine) {
  test::Listing list;
  Bcf b;
  b.setup({1}, 2, 4, false);
  Model& m = b.m;
  m.LISTUNIT = list.unit;
  for (int n = 0; n < 8; ++n) {
    b.bcf.hydcond()[n] = 1.0f;
    b.bcf.bottom()[n] = 0.0f;
    m.HEADNEW[n] = n == 3 || n == 6 ? 1.0 : -1.0;  // six cells below their bottom
  }
  b.bcf.prepare(m);
  m.KOUTER = 3;
  m.KSTEP = 2;
  m.KPERIOD = 4;
  b.bcf.formulate(m);
  const auto l = list.trimmedLines();
  ASSERT_EQ(l.size(), 4u);
  EXPECT_EQ(l[0], "");
  EXPECT_EQ(l[1], " CELL CONVERSIONS FOR ITER.=  3  LAYER=  1  STEP=  2  PERIOD=  4   (ROW,COL)");
  EXPECT_EQ(l[2], "    DRY(  1,  1)   DRY(  1,  2)   DRY(  1,  3)   DRY(  2,  1)   DRY(  2,  2)");
  EXPECT_EQ(l[3], "    DRY(  2,  4)");
}

TEST(BcfWetting, CellDriesThenRewetsFromItsNeighbour) {
  WetRow r;
  r.build(1.0f, 0, 0.5f);
  Model& m = r.m;
  m.HEADNEW[1] = 9.0;  // below the bottom
  r.bcf.formulate(m);
  EXPECT_EQ(m.IBOUND[1], 0);
  EXPECT_EQ(m.HEADNEW[1], -999.0);
  EXPECT_EQ(m.CONDV[1], 0.0f);
  EXPECT_EQ(m.CONDR[0], 0.0f);  // the dry cell carries no flow
  // Thickness 5 at the wet cells: T = 10.
  EXPECT_EQ(m.CONDC[0], 10.0f);
  // The left neighbour rises to 12 (threshold 11): the cell wets at 10 + 0.5 * (12 - 10).
  m.HEADNEW[0] = 12.0;
  m.HEADNEW[4] = 10.5;  // the cell below, tried first, is under the threshold
  r.bcf.formulate(m);
  EXPECT_EQ(m.IBOUND[1], 1);
  EXPECT_EQ(m.HEADNEW[1], 11.0);
  EXPECT_EQ(m.CONDV[1], 0.5f);  // reconnected from the saved value
  EXPECT_GT(m.CONDR[0], 0.0f);
}

TEST(BcfWetting, NegativeWetdryWetsOnlyFromBelowAndConstantHeadNeverWets) {
  WetRow r;
  r.build(-1.0f, 0, 1.0f);
  Model& m = r.m;
  m.IBOUND[1] = 0;
  m.HEADNEW[1] = -999.0;
  m.HEADNEW[0] = 20.0;  // beside: ignored with a negative WETDRY
  m.HEADNEW[4] = 10.5;  // below, under the threshold
  r.bcf.formulate(m);
  EXPECT_EQ(m.IBOUND[1], 0);
  m.IBOUND[4] = -1;  // constant head below, above the threshold
  m.HEADNEW[4] = 20.0;
  r.bcf.formulate(m);
  EXPECT_EQ(m.IBOUND[1], 0);
  m.IBOUND[4] = 1;
  r.bcf.formulate(m);
  EXPECT_EQ(m.IBOUND[1], 1);
  EXPECT_EQ(m.HEADNEW[1], 20.0);
}

TEST(BcfWetting, ZeroWetFactorWithHeadEquationWetsAndDriesAgain) {
  test::Listing list;
  WetRow r;
  r.build(1.0f, 1, 0.0f);
  Model& m = r.m;
  m.LISTUNIT = list.unit;
  m.IBOUND[1] = 0;
  m.HEADNEW[0] = 20.0;
  r.bcf.formulate(m);
  EXPECT_EQ(m.IBOUND[1], 0);
  EXPECT_EQ(m.HEADNEW[1], -999.0);
  const auto l = list.trimmedLines();
  ASSERT_EQ(l.size(), 3u);
  EXPECT_EQ(l[2], "    WET(  1,  2)   DRY(  1,  2)");
}

TEST(BcfWetting, WettingIntervalSkipsIterations) {
  WetRow r;
  r.build(1.0f, 0, 1.0f);
  Model& m = r.m;
  {
    BcfPackage::Settings s = r.bcf.settings();
    s.IWETINTERVAL = 2;
    r.bcf.configure(r.m, s);
  }
  m.IBOUND[1] = 0;
  m.HEADNEW[0] = 20.0;
  m.KOUTER = 1;
  r.bcf.formulate(m);
  EXPECT_EQ(m.IBOUND[1], 0);
  m.KOUTER = 2;
  r.bcf.formulate(m);
  EXPECT_EQ(m.IBOUND[1], 1);
}

TEST(BcfWetting, ConstantHeadCellGoingDryStops) {
  test::Listing list;
  WetRow r;
  r.build(1.0f, 0, 1.0f);
  Model& m = r.m;
  m.LISTUNIT = list.unit;
  m.IBOUND[2] = -1;
  m.HEADNEW[2] = 5.0;
  m.HEADNEW[1] = 5.0;  // goes dry first: its entry is still pending when the run stops
  m.KOUTER = 4;
  EXPECT_THROW(r.bcf.formulate(m), io::RunStop);
  const auto l = list.trimmedLines();
  const std::vector<std::string> want = {
      "", " CONSTANT-HEAD CELL WENT DRY -- SIMULATION ABORTED",
      " LAYER= 1   ROW=  1   COLUMN=  3   ITERATION=  4   TIME STEP=  1   STRESS PERIOD=  1"};
  EXPECT_EQ(l, want);
}

TEST(BcfAdvance, DryCellsThatMayWetStartTheStepAtTheirBottom) {
  WetRow r;
  r.build(1.0f, 0, 1.0f);
  Model& m = r.m;
  {
    BcfPackage::Settings s = r.bcf.settings();
    s.ISTEADY = 0;
    r.bcf.configure(r.m, s);
  }
  m.IBOUND[1] = 0;
  m.HEADOLD[1] = -999.0f;
  r.bcf.advance(m);
  EXPECT_EQ(m.HEADOLD[1], 10.0f);
  EXPECT_EQ(m.HEADOLD[0], 0.0f);
}

}  // namespace
}  // namespace aqx
