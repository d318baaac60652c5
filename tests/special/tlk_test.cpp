// TLK driven phase by phase on small hand-built grids: the allocate lines, the series length and
// the rejected inputs, the prepared conductance and rate, the equation terms of a compressible and
// of a fast bed, the budget rows and records, and the restart record's layout.
#include "special/tlk.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "driver/model.hpp"
#include "io/record.hpp"
#include "support/binary_files.hpp"
#include "support/model_builder.hpp"

namespace aqx {
namespace {

using test::ModelBuilder;
using test::PackageRun;

bool has(const std::string& text, const std::string& piece) {
  return text.find(piece) != std::string::npos;
}

// Record 1 and the layer above each unit.
std::string header(int nconf, int cb, int nterms, int save, int read, const std::string& layers) {
  char line[64];
  std::snprintf(line, sizeof line, "%10d%10d%10d%10d%10d\n", nconf, cb, nterms, save, read);
  return line + layers + "\n";
}

// One unit's arrays: conductivity, thickness, specific storage.
std::string bed(const std::string& k, const std::string& b, const std::string& ss) {
  return "CONSTANT " + k + "\nCONSTANT " + b + "\nCONSTANT " + ss + "\n";
}

// Two layers of one row by two columns (cell areas 1 and 2); one bed between them with
// K = 0.01, b = 2 and the given specific storage: Cbed = 0.005 per unit area.
struct TwoLayers {
  ModelBuilder b{2, 1, 2};
  PackageRun run;
  Model& m() { return b.model(); }
  TlkPackage& tlk() { return run.as<TlkPackage>(); }

  explicit TwoLayers(const std::string& ss = "0.001", int cb = 0, int nterms = 3, int save = 0, int read = 0)
      : run(b, "TLK", kTLK, header(1, cb, nterms, save, read, " 1") + bed("0.01", "2.0", ss)) {
    m().DELR[1] = 2.0f;
    b.setHead(1, 1, 1, 10.0);
    b.setHead(1, 1, 2, 10.0);
    b.setHead(2, 1, 1, 12.0);
    b.setHead(2, 1, 2, 12.0);
    std::fill(m().CONDV, m().CONDV + m().NCELLS, 7.0f);  // the flow package's value
  }
  void prepare() {
    run.allocate();
    run.readPrepare();
  }
  // Advance and formulate of a step of length dt (HCOEF and RHS cleared first).
  void step(float dt) {
    m().DELT = dt;
    m().KPERIOD = 1;
    m().KSTEP = 1;
    tlk().advance(m());
    run.formulate();
  }
  float condv(int i, int j) { return m().CONDV[m().cell(1, i, j)]; }
};

TEST(TlkAllocate, LinesArraysAndSeriesLength) {
  struct Case {
    int asked, used;
    bool byDefault;
  };
  for (const Case c :
       {Case{1, 3, true}, Case{2, 2, false}, Case{3, 3, false}, Case{5, 5, false}, Case{6, 3, true}}) {
    TwoLayers t("0.001", 40, c.asked, 41, 0);
    const std::int64_t before = t.m().work->XNEXT();
    t.run.allocate();
    EXPECT_EQ(t.tlk().NM1TERMS(), c.used) << c.asked;
    // Six arrays of the 2 unit cells, the series constants and the four states.
    EXPECT_EQ(t.m().work->XNEXT() - before, 6 * 2 + 2 * c.used + 4 + 2 * (2 * c.used) + 2 * 4) << c.asked;
    const std::string l = t.b.listing();
    EXPECT_TRUE(has(l, "TLK1--TRANSIENT LEAKAGE PACKAGE, VERSION 1, 04/07/93"));
    EXPECT_TRUE(has(l, "  1 CONFINING UNITS INCLUDE TRANSIENT LEAKAGE"));
    EXPECT_TRUE(has(l, " CELL-BY-CELL FLOWS WILL BE RECORDED ON UNIT 40"));
    EXPECT_TRUE(has(l, " RESTART RECORDS WILL BE SAVED AT END OF SIMULATION ON UNIT  41"));
    EXPECT_EQ(has(l, " DEFAULT OF 3 TERMS WILL BE USED IN M1 SERIES"), c.byDefault) << c.asked;
    EXPECT_EQ(has(l, " NUMBER OF TERMS IN M1 SERIES IS"), !c.byDefault) << c.asked;
  }
}

TEST(TlkAllocate, SteadyStateCancelsThePackage) {
  TwoLayers t;
  t.m().ISTEADY = 1;
  const std::int64_t before = t.m().work->XNEXT();
  t.run.allocate();
  EXPECT_EQ(t.m().PKGUNIT[kTLK], 0);
  EXPECT_EQ(t.m().work->XNEXT(), before);
  EXPECT_TRUE(has(t.b.listing(),
                  " TRANSIENT-LEAKAGE INAPPROPRIATE FOR STEADY-STATE PROBLEM.\n"
                  " OPTION CANCELLED, SIMULATION CONTINUING."));
}

TEST(TlkAllocate, TooManyUnitsOrALayerWithoutOneBelowStopsTheRun) {
  struct Case {
    std::string input, message;
  };
  const Case cases[] = {
      {header(2, 0, 3, 0, 0, " 1 1"), "  2 CONFINING UNITS EXCEED THE MAXIMUM ALLOWABLE FOR THIS PROBLEM"},
      {header(1, 0, 3, 0, 0, " 2"),
       " CONFINING UNIT   1 LIES BELOW LAYER   2: THE LAYER ABOVE MUST BE 1 TO   1"},
      {header(1, 0, 3, 0, 0, " 0"),
       " CONFINING UNIT   1 LIES BELOW LAYER   0: THE LAYER ABOVE MUST BE 1 TO   1"},
  };
  for (const Case& c : cases) {
    ModelBuilder b(2, 1, 2);
    PackageRun run(b, "TLK", kTLK, c.input);
    EXPECT_THROW(run.allocate(), io::RunStop);
    EXPECT_TRUE(has(b.listing(), c.message)) << c.message;
  }
}

TEST(TlkPrepare, ConductanceRateUnitTableAndSeriesConstants) {
  ModelBuilder b(3, 1, 2);
  b.model().DELR[1] = 2.0f;
  b.model().LAYCON[1] = 3;
  b.model().LAYCON[2] = 2;
  PackageRun run(b, "TLK", kTLK,
                 header(2, 0, 2, 0, 0, " 1 2") + bed("0.01", "2.0", "0.001") +
                     "CONSTANT 0.5\nCONSTANT 1.0\nINTERNAL 1.0 (FREE) -1\n0.0 0.01\n");
  run.allocate();
  run.readPrepare();
  const auto& tlk = run.as<TlkPackage>();
  EXPECT_EQ(tlk.TOPSLOT(1), 0);
  EXPECT_EQ(tlk.TOPSLOT(2), 1);
  EXPECT_EQ(tlk.TOPSLOT(3), 2);
  EXPECT_FLOAT_EQ(tlk.TLKCOND(1, 1, 1), 0.005f);
  EXPECT_FLOAT_EQ(tlk.TLKCOND(1, 1, 2), 0.01f);
  EXPECT_FLOAT_EQ(tlk.TLKRATE(1, 1, 2), 2.5f);  // K/(b²·Ss)
  EXPECT_EQ(tlk.TLKCOND(2, 1, 1), 0.0f);        // no storage: left to the flow package
  EXPECT_EQ(tlk.TLKRATE(2, 1, 1), 0.0f);
  EXPECT_FLOAT_EQ(tlk.TLKRATE(2, 1, 2), 50.0f);
  EXPECT_EQ(tlk.M1COEF(2), 0.0465232f);
  EXPECT_EQ(tlk.M1EXP(1), 16.351557f);
  EXPECT_EQ(tlk.CROSSCOEF(1), -0.25754f);
  EXPECT_EQ(tlk.CROSSEXP(2), 19.805f);
  EXPECT_EQ(tlk.TLKTIME(), 0.0f);
  const std::string l = b.listing();
  EXPECT_TRUE(has(l,
                  "The following confining units with transient leakage are active:\n"
                  "                       Model     Model\n"
                  "        Confining      layer     layer\n"
                  "           unit        above     below\n"
                  "      ----------------------------------\n"
                  "            1            1         2\n"
                  "            2            2         3\n"))
      << l;
}

TEST(TlkTerms, StepResponseJoinsItsSeriesAndTheExponential) {
  EXPECT_EQ(TlkPackage::stepResponse(0.0f), 0.0f);
  EXPECT_NEAR(TlkPackage::stepResponse(0.1f), 1.0f - std::exp(-0.1f), 1e-7f);
  EXPECT_NEAR(TlkPackage::stepResponse(0.05f), -std::expm1(-0.05f), 1e-8f);
  EXPECT_EQ(TlkPackage::stepResponse(2.0f), 1.0f - std::exp(-2.0f));
}

// In the first step the states start from zero: with the heads still at their start values the
// leakage is the plain Cbed·(h_b − h_a) into the cell above, its opposite into the cell below,
// and the bed releases nothing.
TEST(TlkTerms, FirstStepIsPlainLeakageAtTheStartHeads) {
  TwoLayers t;
  t.prepare();
  t.step(1.0f);
  TlkPackage& tlk = t.tlk();
  const float cbed = 0.005f;
  float s1 = 0.0f, s2 = 0.0f;
  const float tau = 2.5f;
  for (int m = 1; m <= 3; ++m)
    s1 += TlkPackage::stepResponse(tau * tlk.M1EXP(m)) * (1.0f / tau) * tlk.M1COEF(m);
  for (int m = 1; m <= 2; ++m)
    s2 += TlkPackage::stepResponse(tau * tlk.CROSSEXP(m)) * (1.0f / tau) * tlk.CROSSCOEF(m);
  EXPECT_FLOAT_EQ(tlk.TLKCOEFA(1, 1, 1), -(1.0f + s1) * cbed);
  EXPECT_FLOAT_EQ(tlk.TLKCOEFB(1, 1, 1), (1.0f + s2) * cbed);
  EXPECT_FLOAT_EQ(t.condv(1, 1), (1.0f + s2) * cbed);
  EXPECT_FLOAT_EQ(t.condv(1, 2), (1.0f + s2) * 2.0f * cbed);
  EXPECT_FLOAT_EQ(t.run.hcoef(1, 1, 1), (s2 - s1) * cbed);
  EXPECT_FLOAT_EQ(t.run.hcoef(2, 1, 1), (s2 - s1) * cbed);
  // History from a zero state: Cbed·(h_a·s1 − h_b·s2) above, Cbed·(h_b·s1 − h_a·s2) below.
  EXPECT_NEAR(t.run.rhs(1, 1, 1), -cbed * (10.0f * s1 - 12.0f * s2), 1e-6f);
  EXPECT_NEAR(t.run.rhs(2, 1, 1), -cbed * (12.0f * s1 - 10.0f * s2), 1e-6f);

  t.run.budget();
  const Model& m = t.m();
  EXPECT_EQ(m.BUDNAM[0], "    C.B. STORAGE");
  EXPECT_EQ(m.BUDNAM[1], "    C.H. LEAKAGE");
  EXPECT_EQ(m.BUDNEXT, 3);
  EXPECT_NEAR(m.BUDVAL[0][2], 0.0f, 1e-6f);
  EXPECT_NEAR(m.BUDVAL[0][3], 0.0f, 1e-6f);
  EXPECT_EQ(t.condv(1, 1), 0.0f);  // the flow package's budget counts nothing across the bed
}

TEST(TlkTerms, LaterStepsCarryTheStatesForward) {
  TwoLayers t;
  t.prepare();
  t.step(1.0f);
  t.run.budget();
  const float s1 = t.tlk().TLKSTATE1(1, 1, 1, 1);
  t.b.setHead(1, 1, 1, 9.0);  // the head above falls: the bed drains into it
  t.step(2.0f);
  EXPECT_FLOAT_EQ(t.tlk().TLKTIME(), 3.0f);
  EXPECT_FLOAT_EQ(t.tlk().TLKPREVDT(), 2.0f);
  EXPECT_NE(t.tlk().TLKSTATE1(1, 1, 1, 1), s1);
  t.run.budget();
  EXPECT_GT(t.m().BUDVAL[0][2], 0.0f);  // release from bed storage
  EXPECT_EQ(t.m().BUDVAL[0][3], 0.0f);
}

// A long step against the bed's rate: the bed is a plain conductance with no other terms.
TEST(TlkTerms, FastBedIsAPlainConductance) {
  TwoLayers t("1.0E-8");  // R = 2.5E5
  t.prepare();
  for (int n = 0; n < 2; ++n) {
    t.step(1.0f);
    EXPECT_EQ(t.condv(1, 1), 0.005f);
    EXPECT_EQ(t.condv(1, 2), 0.01f);
    for (int k = 1; k <= 2; ++k) {
      EXPECT_EQ(t.run.hcoef(k, 1, 1), 0.0f);
      EXPECT_EQ(t.run.rhs(k, 1, 1), 0.0f);
    }
    EXPECT_EQ(t.tlk().TLKSTATE1(1, 1, 1, 1), 0.0f);
    t.run.budget();
    EXPECT_EQ(t.m().BUDVAL[0][2], 0.0f);
    EXPECT_EQ(t.m().BUDVAL[0][3], 0.0f);
  }
}

// For R·Δt of about 0.01 to 0.06 the two-term series gives 1 + s2 slightly below zero. The
// conductance across the bed is that value, matching the history terms built from the same series;
// the cell's own coefficient is far larger, so the equations stay diagonally dominant.
TEST(TlkTerms, ShortStepsUseTheSlightlyNegativeCrossConductance) {
  TwoLayers t;
  t.prepare();
  t.step(0.012f);  // R·Δt = 0.03
  float s2 = 0.0f;
  for (int m = 1; m <= 2; ++m)
    s2 += TlkPackage::stepResponse(0.03f * t.tlk().CROSSEXP(m)) * (1.0f / 0.03f) * t.tlk().CROSSCOEF(m);
  ASSERT_LT(1.0f + s2, 0.0f);
  const float b = t.tlk().TLKCOEFB(1, 1, 1);
  EXPECT_LT(b, 0.0f);
  EXPECT_EQ(t.condv(1, 1), b);
  EXPECT_LT(t.tlk().TLKCOEFA(1, 1, 1), 0.0f);
  EXPECT_GT(-t.tlk().TLKCOEFA(1, 1, 1), 100.0f * -b);
  t.step(0.25f);  // R·Δt = 0.625: the series is positive again
  EXPECT_GT(t.tlk().TLKCOEFB(1, 1, 1), 0.0f);
}

TEST(TlkTerms, CellsOutsideThePackageKeepTheFlowPackagesConductance) {
  TwoLayers t("0.0");
  t.prepare();
  t.step(1.0f);
  EXPECT_EQ(t.condv(1, 1), 7.0f);
  EXPECT_EQ(t.run.hcoef(1, 1, 1), 0.0f);
  t.run.budget();
  EXPECT_EQ(t.condv(1, 1), 7.0f);
  EXPECT_EQ(t.m().BUDVAL[0][2] + t.m().BUDVAL[0][3], 0.0f);
}

TEST(TlkTerms, ConstantHeadAndNoFlowCells) {
  TwoLayers t;
  t.b.ibound(1, 1, 1) = -1;
  t.b.ibound(2, 1, 1) = -1;  // both constant head: no part
  t.b.ibound(2, 1, 2) = -1;  // constant head below the variable-head cell of column 2
  t.prepare();
  t.step(1.0f);
  EXPECT_EQ(t.condv(1, 1), 0.0f);
  EXPECT_EQ(t.run.hcoef(1, 1, 1), 0.0f);
  EXPECT_GT(t.condv(1, 2), 0.0f);
  t.b.setHead(1, 1, 2, 11.0);  // the variable head rises after the advance
  t.b.ibound(1, 1, 1) = 1;
  t.b.ibound(2, 1, 1) = 0;  // converted to no-flow during the step: stays cut off
  t.m().CONDV[t.m().cell(1, 1, 1)] = 0.0f;
  t.run.formulate();
  EXPECT_EQ(t.condv(1, 1), 0.0f);
  EXPECT_EQ(t.run.hcoef(1, 1, 1), 0.0f);
  EXPECT_EQ(t.run.rhs(1, 1, 1), 0.0f);

  t.run.budget();
  const auto& v = t.m().BUDVAL;
  // Column 2 only: the constant head below now stands above the raised head: water goes from it
  // through the bed, counted into the model there, and what the bed keeps is its storage term.
  const TlkPackage& tlk = t.tlk();
  const float ha = 11.0f, hb = 12.0f;
  const float qa = ha * tlk.TLKCOEFA(1, 1, 2) + tlk.TLKHISTA(1, 1, 2) + hb * tlk.TLKCOEFB(1, 1, 2);
  const float qb = hb * tlk.TLKCOEFA(1, 1, 2) + tlk.TLKHISTB(1, 1, 2) + ha * tlk.TLKCOEFB(1, 1, 2);
  ASSERT_GT(qa, 0.0f);
  ASSERT_LT(qb, 0.0f);
  EXPECT_FLOAT_EQ(v[0][2] - v[0][3], qa + qb);
  EXPECT_FLOAT_EQ(v[1][2], -qb);
  EXPECT_EQ(v[1][3], 0.0f);
}

// A layer below with a top (type 3): a head below the top counts as the top, as the flow
// package's vertical flow does for a layer that drains from above.
TEST(TlkTerms, HeadBelowTheTopOfTheLayerBelowCountsAsTheTop) {
  ModelBuilder b(2, 1, 1);
  Model& m = b.model();
  m.LAYCON[1] = 3;
  std::vector<float> top = {11.0f};
  m.TOP = top.data();
  b.setHead(1, 1, 1, 10.0);
  b.setHead(2, 1, 1, 10.5);
  PackageRun run(b, "TLK", kTLK, header(1, 0, 3, 0, 0, " 1") + bed("0.01", "2.0", "0.001"));
  run.allocate();
  run.readPrepare();
  m.DELT = 1.0f;
  run.package().advance(m);
  run.formulate();
  const auto& tlk = run.as<TlkPackage>();
  const float cbed = 0.005f, tau = 2.5f;
  float s1 = 0.0f, s2 = 0.0f;
  for (int t = 1; t <= 3; ++t)
    s1 += TlkPackage::stepResponse(tau * tlk.M1EXP(t)) * (1.0f / tau) * tlk.M1COEF(t);
  for (int t = 1; t <= 2; ++t)
    s2 += TlkPackage::stepResponse(tau * tlk.CROSSEXP(t)) * (1.0f / tau) * tlk.CROSSCOEF(t);
  EXPECT_NEAR(tlk.TLKHISTA(1, 1, 1), cbed * (10.0f * s1 - 11.0f * s2), 1e-6f);
  EXPECT_NEAR(tlk.TLKHISTB(1, 1, 1), cbed * (11.0f * s1 - 10.0f * s2), 1e-6f);
  const float a = tlk.TLKCOEFA(1, 1, 1), bb = tlk.TLKCOEFB(1, 1, 1);
  EXPECT_FLOAT_EQ(run.rhs(2, 1, 1), -tlk.TLKHISTB(1, 1, 1) - 0.5f * (bb + a));
  EXPECT_FLOAT_EQ(run.rhs(1, 1, 1), -tlk.TLKHISTA(1, 1, 1));
  // Heads unchanged over the step: the bed, measured against the top, releases nothing.
  run.budget();
  EXPECT_NEAR(m.BUDVAL[0][2] - m.BUDVAL[0][3], 0.0f, 1e-6f);
}

TEST(TlkBudget, ThreeRecordsHoldEachUnitInTheLayerAbove) {
  ModelBuilder b(3, 1, 2);
  b.setAllHeads(10.0);
  b.setHead(3, 1, 1, 12.0);
  b.output(40, "tlk.cbc");
  PackageRun run(b, "TLK", kTLK, header(1, 40, 3, 0, 0, " 2") + bed("0.01", "2.0", "0.001"));
  run.allocate();
  run.readPrepare();
  Model& m = b.model();
  m.DELT = 1.0f;
  m.KPERIOD = 1;
  m.KSTEP = 1;
  run.package().advance(m);
  b.setHead(2, 1, 1, 9.0);  // the step's solution
  run.budget(1);
  const auto& tlk = run.as<TlkPackage>();
  const auto recs = test::readBudgetFile(b.bytes(40, "tlk.cbc"));
  ASSERT_EQ(recs.size(), 3u);
  EXPECT_EQ(recs[0].label, "    C.B. STORAGE");
  EXPECT_EQ(recs[1].label, "     FLOW IN TOP");
  EXPECT_EQ(recs[2].label, "    FLOW IN BASE");
  for (const auto& r : recs) {
    ASSERT_EQ(r.nlay, 3);
    for (int j = 1; j <= 2; ++j) {
      EXPECT_EQ(r.at(1, 1, j), 0.0f) << r.label;
      EXPECT_EQ(r.at(3, 1, j), 0.0f) << r.label;
    }
  }
  // The coefficients now hold the flows into the bed's faces.
  EXPECT_EQ(recs[1].at(2, 1, 1), tlk.TLKCOEFA(1, 1, 1));
  EXPECT_EQ(recs[2].at(2, 1, 1), tlk.TLKCOEFB(1, 1, 1));
  EXPECT_FLOAT_EQ(recs[0].at(2, 1, 1), -(tlk.TLKCOEFA(1, 1, 1) + tlk.TLKCOEFB(1, 1, 1)));
  EXPECT_GT(recs[0].at(2, 1, 1), 0.0f);
  EXPECT_FLOAT_EQ(m.BUDVAL[0][2], recs[0].at(2, 1, 1) + recs[0].at(2, 1, 2));
}

TEST(TlkBudget, PrintModeWritesOneLinePerCell) {
  TwoLayers t("0.001", -1);
  t.prepare();
  t.step(1.0f);
  t.run.budget(1);
  const std::string l = t.b.listing();
  EXPECT_TRUE(has(l, " CELL-BY-CELL FLOWS WILL BE PRINTED WHEN ICBCFL NOT 0"));
  EXPECT_TRUE(has(l, "     C.B. STORAGE   PERIOD  1   STEP  1")) << l;
  EXPECT_TRUE(has(l, " UNIT   1   LAYER  1   ROW   1   COL   1   BED RELEASE")) << l;
  EXPECT_TRUE(has(l, " UNIT   1   LAYER  1   ROW   1   COL   2   BED RELEASE")) << l;
}

// The record: previous step length, time, then the four states, 4-byte reals back to back.
TEST(TlkRestart, RecordLayoutWrittenAndReadBack) {
  std::string record;
  std::vector<float> written;
  {
    TwoLayers t("0.001", 0, 2, 45, 0);
    t.b.output(45, "tlk.rst");
    t.prepare();
    t.step(1.0f);
    t.run.budget();
    t.b.setHead(1, 1, 1, 9.0);
    t.step(0.5f);
    t.tlk().end(t.m());
    record = t.b.bytes(45, "tlk.rst");
    const std::string l = t.b.listing();
    EXPECT_TRUE(has(l, " A RESTART RECORD FOR TRANSIENT LEAKAGE HAS BEEN CREATED FOR TIME=")) << l;
    const TlkPackage& tlk = t.tlk();
    written = {tlk.TLKPREVDT(), tlk.TLKTIME()};
    for (int j = 1; j <= 2; ++j)
      for (int m = 1; m <= 2; ++m) written.push_back(tlk.TLKSTATE1(1, 1, j, m));
    for (int j = 1; j <= 2; ++j)
      for (int m = 1; m <= 2; ++m) written.push_back(tlk.TLKSTATE2(1, 1, j, m));
    for (int j = 1; j <= 2; ++j)
      for (int m = 1; m <= 2; ++m) written.push_back(tlk.TLKSTATE3(1, 1, j, m));
    for (int j = 1; j <= 2; ++j)
      for (int m = 1; m <= 2; ++m) written.push_back(tlk.TLKSTATE4(1, 1, j, m));
  }
  ASSERT_EQ(record.size(), 4 * written.size());
  for (std::size_t n = 0; n < written.size(); ++n) EXPECT_EQ(test::realAt(record, 4 * n), written[n]) << n;
  EXPECT_EQ(written[0], 0.5f);
  EXPECT_EQ(written[1], 1.5f);

  TwoLayers t("0.001", 0, 2, 0, 46);
  t.b.dir().write("in.rst", record);
  io::open(46, (t.b.dir() / "in.rst").string(), io::Form::Stream);
  t.prepare();
  EXPECT_EQ(t.tlk().TLKTIME(), 1.5f);
  EXPECT_EQ(t.tlk().TLKPREVDT(), 0.5f);
  EXPECT_EQ(t.tlk().TLKSTATE4(1, 1, 2, 2), written.back());
  const std::string l = t.b.listing();
  EXPECT_TRUE(has(l, " A RESTART RECORD FOR TRANSIENT LEAKAGE HAS BEEN READ FOR TIME=   1.500000")) << l;
  EXPECT_TRUE(
      has(l, " TIME SUMMARY WILL REFLECT TIME SINCE START OF THIS CONTINUATION OF A PREVIOUS SIMULATION."));
}

TEST(TlkRestart, ARecordTooShortForTheGridStopsTheRun) {
  TwoLayers t("0.001", 0, 3, 0, 46);
  t.b.dir().write("in.rst", std::string(4 * 10, '\0'));  // a record of 2 terms is 4·(2 + 8 + 8) bytes
  io::open(46, (t.b.dir() / "in.rst").string(), io::Form::Stream);
  t.run.allocate();
  EXPECT_THROW(t.run.readPrepare(), io::RunStop);
  const std::string l = t.b.listing();
  EXPECT_TRUE(
      has(l,
          " RESTART RECORD ON UNIT  46 HAS          40 BYTES; THIS GRID AND   1 CONFINING UNITS WITH 3 M1 "
          "TERMS NEED          88"))
      << l;
}

}  // namespace
}  // namespace aqx
