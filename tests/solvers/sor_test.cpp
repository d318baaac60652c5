#include "solvers/sor.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "io/record.hpp"
#include "solvers/direct_reference.hpp"
#include "solvers/pcg2.hpp"
#include "solvers/sip.hpp"
#include "solvers/solver_models.hpp"
#include "support/binary_files.hpp"
#include "support/model_builder.hpp"

namespace aqx {
namespace {

using test::ModelBuilder;

// Two layers of 5 x 6 cells with random conductances (also in the last column and row, where
// they must be ignored), a constant-head column in the top layer, head-dependent terms, sources
// and sinks, and one cell cut off from everything and made inactive.
void heterogeneousTwoLayers(Model& m) {
  std::mt19937 rng(11);
  std::uniform_real_distribution<float> cond(0.05f, 20.0f), q(-2.0f, 2.0f);
  for (std::int64_t n = 0; n < m.NCELLS; ++n) {
    m.CONDR[n] = cond(rng);
    m.CONDC[n] = cond(rng);
    m.RHS[n] = q(rng);
    m.HCOEF[n] = n % 4 == 0 ? -0.3f : 0.0f;
    m.HEADNEW[n] = 3.0;
  }
  for (std::int64_t n = 0; n < 5 * 6; ++n) m.CONDV[n] = 0.2f * cond(rng);
  for (int i = 1; i <= 5; ++i) {
    m.IBOUND[m.cell(1, i, 1)] = -1;
    m.HEADNEW[m.cell(1, i, 1)] = 10.0 + i;
  }
  const std::int64_t dead = m.cell(2, 3, 4);
  m.IBOUND[dead] = 0;
  m.CONDR[dead] = m.CONDR[dead - 1] = m.CONDC[dead] = m.CONDC[dead - 6] = m.CONDV[dead - 30] = 0.0f;
  m.HEADNEW[dead] = -999.0;
}

// Outer iterations as the driver makes them: HCOEF and RHS formulated afresh for each.
template <class Solver>
int iterate(Model& m, Solver& solver, int mxiter) {
  const std::vector<float> hcoef(m.HCOEF, m.HCOEF + m.NCELLS), rhs(m.RHS, m.RHS + m.NCELLS);
  m.KSTEP = 1;
  m.NSTEPS = 1;
  m.KPERIOD = 1;
  for (int it = 1; it <= mxiter; ++it) {
    std::copy(hcoef.begin(), hcoef.end(), m.HCOEF);
    std::copy(rhs.begin(), rhs.end(), m.RHS);
    m.KOUTER = it;
    solver.solve(m);
    if (m.CONVERGED == 1) return it;
  }
  return 0;
}

TEST(SolverAgreement, HeterogeneousTwoLayerModelMatchesADirectSolve) {
  struct Case {
    const char* name;
    double tolerance;
  };
  for (const Case c :
       {Case{"SOR", 1e-4}, Case{"SIP", 1e-4}, Case{"PCG2 MIC", 1e-4}, Case{"PCG2 POLY", 1e-4}}) {
    SCOPED_TRACE(c.name);
    ModelBuilder b(2, 5, 6);
    Model& m = b.model();
    heterogeneousTwoLayers(m);
    const std::vector<double> want = test::directSolve(m);
    const std::string name = c.name;
    int its = 0;
    if (name == "SOR") {
      SorPackage s;
      s.configure(m, {.MXITER = 500, .ACCEL = 1.2f, .HEADCLOSE = 1e-7f, .IPRINTINT = 999});
      its = iterate(m, s, 500);
    } else if (name == "SIP") {
      SipPackage s;
      s.configure(m, {.MXITER = 500,
                      .NITPARM = 5,
                      .ACCEL = 1.0f,
                      .HEADCLOSE = 1e-7f,
                      .ICALCSEED = 0,
                      .WSEED = 0.01f,
                      .IPRINTINT = 999});
      its = iterate(m, s, 500);
    } else {
      Pcg2Package s;
      s.configure(m, {.MXITER = 50,
                      .NINNER = 100,
                      .IPRECOND = name == "PCG2 MIC" ? 1 : 2,
                      .HEADCLOSE = 1e-7f,
                      .RESCLOSE = 1e-5f});
      its = iterate(m, s, 50);
    }
    ASSERT_GT(its, 0);
    for (std::int64_t n = 0; n < m.NCELLS; ++n) EXPECT_NEAR(m.HEADNEW[n], want[n], c.tolerance) << n;
    EXPECT_EQ(m.HEADNEW[m.cell(2, 3, 4)], -999.0);
  }
}

// The largest change and its cell recorded for iteration `it` (1-based).
struct Recorded {
  float change;
  int k, i, j;
};
Recorded recorded(const SorPackage& s, int it) {
  const int* c = s.MAXCHANGECELL() + 3 * (it - 1);
  return {s.MAXCHANGE()[it - 1], c[0], c[1], c[2]};
}

TEST(SorSolve, ASingleRowIsOneSliceSolvedExactlyInOneCall) {
  // One layer: a tridiagonal system along the row; three layers: band width four.
  for (const int nlay : {1, 3}) {
    SCOPED_TRACE(nlay);
    ModelBuilder b(nlay, 1, 8);
    Model& m = b.model();
    std::mt19937 rng(3);
    std::uniform_real_distribution<float> cond(0.5f, 5.0f), q(-1.0f, 1.0f);
    for (std::int64_t n = 0; n < m.NCELLS; ++n) {
      m.CONDR[n] = cond(rng);
      m.CONDV[n] = cond(rng);
      m.RHS[n] = q(rng);
      m.HCOEF[n] = -0.1f;
    }
    m.IBOUND[0] = -1;
    m.HEADNEW[0] = 4.0;
    const std::vector<double> want = test::directSolve(m);
    SorPackage s;
    s.configure(m, {.MXITER = 5, .ACCEL = 1.0f, .HEADCLOSE = 1e-5f, .IPRINTINT = 1});
    EXPECT_EQ(s.NB(), nlay + 1);
    EXPECT_EQ(s.NS(), 8 * nlay);
    m.KOUTER = 1;
    s.solve(m);
    EXPECT_EQ(m.CONVERGED, 0);
    for (std::int64_t n = 0; n < m.NCELLS; ++n) EXPECT_NEAR(m.HEADNEW[n], want[n], 1e-5) << n;
    m.KOUTER = 2;
    s.solve(m);
    EXPECT_EQ(m.CONVERGED, 1);
    EXPECT_LE(std::fabs(recorded(s, 2).change), 1e-5f);
  }
}

TEST(SorSolve, RowsWithNoneOrOneVariableHeadCellAndTheAcceleration) {
  // Row 1 all constant head (skipped), row 2 one variable-head cell at column 3 (one division),
  // row 3 inactive.
  ModelBuilder b(1, 3, 4);
  Model& m = b.model();
  for (int j = 1; j <= 4; ++j) {
    b.ibound(1, 1, j) = -1;
    b.ibound(1, 2, j) = -1;
    b.ibound(1, 3, j) = 0;
    b.setHead(1, 1, j, 1.0 * j);
    b.setHead(1, 2, j, 2.0 * j);
    b.setHead(1, 3, j, -999.0);
  }
  b.ibound(1, 2, 3) = 1;
  b.setHead(1, 2, 3, 0.0);
  const std::int64_t c = m.cell(1, 2, 3);
  m.CONDR[c - 1] = 1.0f;  // to (2,2) at head 4
  m.CONDR[c] = 3.0f;      // to (2,4) at head 8
  m.CONDC[c - 4] = 2.0f;  // to (1,3) at head 3
  m.HCOEF[c] = -0.5f;
  m.RHS[c] = 1.0f;
  // 4 + 24 + 6 - 1 = (1 + 3 + 2 + 0.5) h
  const double exact = 33.0 / 6.5;
  SorPackage s;
  s.configure(m, {.MXITER = 3, .ACCEL = 0.5f, .HEADCLOSE = 1e-6f, .IPRINTINT = 1});
  m.KOUTER = 1;
  s.solve(m);
  const float change = static_cast<float>(exact) * 0.5f;
  EXPECT_NEAR(m.HEADNEW[c], change, 1e-5);
  const Recorded r = recorded(s, 1);
  EXPECT_NEAR(r.change, change, 1e-5f);
  EXPECT_EQ(r.k, 1);
  EXPECT_EQ(r.i, 2);
  EXPECT_EQ(r.j, 3);
  for (int j = 1; j <= 4; ++j) {
    if (j != 3) {
      EXPECT_EQ(m.HEADNEW[m.cell(1, 2, j)], 2.0 * j);
    }
    EXPECT_EQ(m.HEADNEW[m.cell(1, 1, j)], 1.0 * j);
    EXPECT_EQ(m.HEADNEW[m.cell(1, 3, j)], -999.0);
  }
}

TEST(SorSolve, EachRowIsSolvedAgainstTheLatestHeadsOfItsNeighbours) {
  // With ACCEL 1, one call leaves the last row's equations satisfied (it was solved last, with
  // the heads of the rows before it already updated); the first row's are not.
  ModelBuilder b(2, 3, 4);
  Model& m = b.model();
  std::mt19937 rng(5);
  std::uniform_real_distribution<float> cond(0.5f, 5.0f), q(-1.0f, 1.0f);
  for (std::int64_t n = 0; n < m.NCELLS; ++n) {
    m.CONDR[n] = cond(rng);
    m.CONDC[n] = cond(rng);
    m.CONDV[n] = cond(rng);
    m.RHS[n] = q(rng);
    m.HCOEF[n] = -0.2f;
  }
  SorPackage s;
  s.configure(m, {.MXITER = 3, .ACCEL = 1.0f, .HEADCLOSE = 1e-6f, .IPRINTINT = 1});
  m.KOUTER = 1;
  s.solve(m);
  auto residual = [&](int k, int i, int j) {
    const std::int64_t n = m.cell(k, i, j);
    double r = m.RHS[n] - m.HCOEF[n] * m.HEADNEW[n];
    auto flow = [&](float c, std::int64_t nn) { r -= c * (m.HEADNEW[nn] - m.HEADNEW[n]); };
    if (j > 1) flow(m.CONDR[n - 1], n - 1);
    if (j < 4) flow(m.CONDR[n], n + 1);
    if (i > 1) flow(m.CONDC[n - 4], n - 4);
    if (i < 3) flow(m.CONDC[n], n + 4);
    if (k > 1) flow(m.CONDV[n - 12], n - 12);
    if (k < 2) flow(m.CONDV[n], n + 12);
    return r;
  };
  double first = 0.0;
  for (int k = 1; k <= 2; ++k) {
    for (int j = 1; j <= 4; ++j) {
      EXPECT_NEAR(residual(k, 3, j), 0.0, 1e-4) << k << "," << j;
      first = std::max(first, std::fabs(residual(k, 1, j)));
    }
  }
  EXPECT_GT(first, 1e-3);
}

TEST(SorSolve, NoChangeRecordsZeroAtCellZero) {
  ModelBuilder b(1, 1, 3);
  Model& m = b.model();
  m.IBOUND[0] = m.IBOUND[2] = -1;
  m.CONDR[0] = m.CONDR[1] = 1.0f;
  m.HEADNEW[0] = 2.0;
  m.HEADNEW[1] = 1.0;
  m.HEADNEW[2] = 0.0;
  SorPackage s;
  s.configure(m, {.MXITER = 3, .ACCEL = 1.0f, .HEADCLOSE = 0.0f, .IPRINTINT = 1});
  m.KOUTER = 1;
  s.solve(m);
  EXPECT_EQ(m.CONVERGED, 1);
  const Recorded r = recorded(s, 1);
  EXPECT_EQ(r.change, 0.0f);
  EXPECT_EQ(r.k + r.i + r.j, 0);
  EXPECT_EQ(m.HEADNEW[1], 1.0);
}

TEST(SorSolve, ZeroPivotStopsNamingTheCell) {
  // Cell (2, 2, 3) is variable head with no conductance and no head-dependent term.
  ModelBuilder b(2, 2, 3);
  Model& m = b.model();
  for (std::int64_t n = 0; n < m.NCELLS; ++n) {
    m.CONDR[n] = 1.0f;
    m.CONDC[n] = 1.0f;
    m.CONDV[n] = 1.0f;
    m.HCOEF[n] = -1.0f;
  }
  const std::int64_t c = m.cell(2, 2, 3);
  m.CONDR[c - 1] = m.CONDC[c - 3] = m.CONDV[c - 6] = 0.0f;
  m.HCOEF[c] = 0.0f;
  SorPackage s;
  s.configure(m, {.MXITER = 3, .ACCEL = 1.0f, .HEADCLOSE = 1e-6f, .IPRINTINT = 1});
  m.KOUTER = 1;
  EXPECT_THROW(s.solve(m), io::RunStop);
  const std::string l = b.listing();
  EXPECT_NE(l.find(" DIVIDE BY 0 IN SOR AT LAYER  2,  ROW   2,  COLUMN   3\n"), std::string::npos) << l;
}

TEST(SorInput, EchoReplacementsAndArrays) {
  // ACCEL 0 is used as 1.0, IPRINTINT 0 as 999; the arrays take NB*NS + 2*NS + 4*MXITER elements.
  ModelBuilder b(2, 3, 4);
  test::PackageRun run(b, "SOR", kSOR, "         7\n       0.0    0.0001         0\n");
  run.allocate();
  run.readPrepare();
  const SorPackage& s = run.as<SorPackage>();
  EXPECT_EQ(s.settings().ACCEL, 1.0f);
  EXPECT_EQ(s.settings().IPRINTINT, 999);
  EXPECT_EQ(b.model().MXITER, 7);
  std::vector<std::string> l = test::lines(b.listing());
  for (std::string& x : l) x.erase(x.find_last_not_of(' ') + 1);
  const std::vector<std::string> want = {
      "",
      " SOR5 -- SLICE-SUCCESSIVE OVERRELAXATION SOLUTION PACKAGE",
      "                    VERSION 5, 9/1/93 INPUT READ FROM UNIT 21",
      "     7 ITERATIONS ALLOWED FOR SOR CLOSURE",
      "         68 ELEMENTS IN X ARRAY ARE USED BY SOR",
  };
  ASSERT_GE(l.size(), want.size() + 1);
  EXPECT_EQ(std::vector<std::string>(l.begin(), l.begin() + 5), want);
  const std::vector<std::string> echo = {"",
                                         "",
                                         "",
                                         "          SOLUTION BY SLICE-SUCCESSIVE OVERRELAXATION",
                                         "          -------------------------------------------",
                                         " MAXIMUM ITERATIONS ALLOWED FOR CLOSURE =        7",
                                         "                 ACCELERATION PARAMETER =     1.0000",
                                         "      HEAD CHANGE CRITERION FOR CLOSURE =    0.10000E-03",
                                         "      SOR HEAD CHANGE PRINTOUT INTERVAL =      999"};
  ASSERT_GE(l.size(), echo.size());
  EXPECT_EQ(std::vector<std::string>(l.end() - static_cast<std::ptrdiff_t>(echo.size()), l.end()), echo);
}

TEST(SorRun, WholeProgramSolvesARowBetweenTwoConstantHeads) {
  test::SolverModel s;
  s.nrow = 3;
  s.ncol = 10;
  s.ibound.assign(s.cells(), 1);
  s.start.assign(s.cells(), 5.0);
  for (int i = 1; i <= 3; ++i) {
    s.ibound[s.at(1, i, 1)] = s.ibound[s.at(1, i, 10)] = -1;
    s.start[s.at(1, i, 1)] = 9.0;
    s.start[s.at(1, i, 10)] = 0.0;
  }
  s.solverType = "SOR";
  s.solverInput = "       200\n       0.0    1.0E-6         1\n";
  test::TempDir dir;
  test::writeSolverModel(dir, s);
  const test::RunResult r = test::runAquifex(dir.path(), {}, "m.nam\n");
  const std::string listing = dir.readText("m.lst");
  ASSERT_EQ(r.status, 0) << listing;
  EXPECT_NE(listing.find(" MAXIMUM HEAD CHANGE FOR EACH ITERATION:"), std::string::npos);
  const std::vector<test::LayerRecord> h = test::readLayerFile(dir.readBytes("m.hds"));
  ASSERT_EQ(h.size(), 1u);
  for (int i = 0; i < 3; ++i) {
    for (int j = 0; j < 10; ++j) EXPECT_NEAR(h[0].values[10 * i + j], 9.0 - j, 1e-4) << i << "," << j;
  }
}

}  // namespace
}  // namespace aqx
