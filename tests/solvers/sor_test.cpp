#include "solvers/sor.hpp"

#include <gtest/gtest.h>

#include <algorithm>
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

// One call of the solver written plainly, slice by slice, as the check of the package's
// arithmetic: the same operations in the same order must give the same bits.
void referenceCall(Model& m, float accel, Recorded& big) {
  const int nl = m.NLAYER, nr = m.NROWS, nc = m.NCOLS, nb = nl + 1;
  const std::int64_t nrc = static_cast<std::int64_t>(nr) * nc;
  big = {0.0f, 0, 0, 0};
  float bigAbs = 0.0f;
  for (int i = 1; i <= nr; ++i) {
    std::vector<int> eq(static_cast<std::size_t>(nl * nc), 0);
    int n = 0;
    for (int j = 1; j <= nc; ++j)
      for (int k = 1; k <= nl; ++k)
        if (m.IBOUND[m.cell(k, i, j)] > 0) eq[(j - 1) * nl + k - 1] = ++n;
    if (n == 0) continue;
    std::vector<float> a(static_cast<std::size_t>(nb * n), 0.0f), b(static_cast<std::size_t>(n));
    auto A = [&](int e, int pos) -> float& { return a[static_cast<std::size_t>((e - 1) * nb + pos - 1)]; };
    for (int j = 1; j <= nc; ++j)
      for (int k = 1; k <= nl; ++k) {
        const int e = eq[(j - 1) * nl + k - 1];
        if (e == 0) continue;
        const std::int64_t c = m.cell(k, i, j);
        double d = 0.0, r = m.RHS[c];
        struct Nb {
          bool inside;
          float cond;
          std::int64_t cell;
          int eqAfter;  // equation of a later neighbour in the slice (0: none)
        };
        const Nb nbs[6] = {
            {j > 1, j > 1 ? m.CONDR[c - 1] : 0.0f, c - 1, 0},
            {j < nc, j < nc ? m.CONDR[c] : 0.0f, c + 1, j < nc ? eq[j * nl + k - 1] : 0},
            {i > 1, i > 1 ? m.CONDC[c - nc] : 0.0f, c - nc, 0},
            {i < nr, i < nr ? m.CONDC[c] : 0.0f, c + nc, 0},
            {k > 1, k > 1 ? m.CONDV[c - nrc] : 0.0f, c - nrc, 0},
            {k < nl, k < nl ? m.CONDV[c] : 0.0f, c + nrc, k < nl ? eq[(j - 1) * nl + k] : 0},
        };
        for (const Nb& x : nbs) {
          if (!x.inside) continue;
          r = r - static_cast<double>(x.cond) * m.HEADNEW[x.cell];
          d = d - static_cast<double>(x.cond);
          if (x.eqAfter != 0) A(e, x.eqAfter - e + 1) = x.cond;
        }
        d = d + static_cast<double>(m.HCOEF[c]);
        A(e, 1) = static_cast<float>(d);
        b[static_cast<std::size_t>(e - 1)] = static_cast<float>(r - d * m.HEADNEW[c]);
      }
    if (n == 1) {
      b[0] = b[0] / A(1, 1);
    } else {
      for (int e = 1; e <= n - 1; ++e) {
        const float f = 1.0f / A(e, 1);
        for (int d = 1; d <= nb - 1 && e + d <= n; ++d) {
          const float g = f * A(e, d + 1);
          for (int t = d; t <= nb - 1; ++t) {
            const float above = e + t <= n ? A(e, t + 1) : 0.0f;
            A(e + d, t - d + 1) = A(e + d, t - d + 1) - g * above;
          }
          b[static_cast<std::size_t>(e + d - 1)] =
              b[static_cast<std::size_t>(e + d - 1)] - g * b[static_cast<std::size_t>(e - 1)];
        }
      }
      b[static_cast<std::size_t>(n - 1)] = b[static_cast<std::size_t>(n - 1)] / A(n, 1);
      for (int e = n - 1; e >= 1; --e) {
        float sum = 0.0f;
        for (int d = 1; d <= std::min(nb - 1, n - e); ++d)
          sum = sum + A(e, d + 1) * b[static_cast<std::size_t>(e + d - 1)];
        b[static_cast<std::size_t>(e - 1)] = (b[static_cast<std::size_t>(e - 1)] - sum) / A(e, 1);
      }
    }
    for (int j = 1; j <= nc; ++j)
      for (int k = 1; k <= nl; ++k) {
        const int e = eq[(j - 1) * nl + k - 1];
        if (e == 0) continue;
        const float change = b[static_cast<std::size_t>(e - 1)] * accel;
        const std::int64_t c = m.cell(k, i, j);
        m.HEADNEW[c] = m.HEADNEW[c] + static_cast<double>(change);
        if (std::fabs(change) > bigAbs) {
          bigAbs = std::fabs(change);
          big = {change, k, i, j};
        }
      }
  }
}

TEST(SorSolve, GivesExactlyThePlainSliceByCellArithmetic) {
  // One to three layers, constant-head and inactive cells scattered, over-relaxation: heads and
  // the recorded largest change bit for bit equal to the plain form, iteration after iteration.
  for (const int nlay : {1, 2, 3}) {
    SCOPED_TRACE(nlay);
    ModelBuilder b(nlay, 6, 9);
    Model& m = b.model();
    std::mt19937 rng(17);
    std::uniform_real_distribution<float> cond(0.1f, 10.0f), q(-1.0f, 1.0f);
    for (std::int64_t n = 0; n < m.NCELLS; ++n) {
      m.CONDR[n] = cond(rng);
      m.CONDC[n] = cond(rng);
      m.CONDV[n] = cond(rng);
      m.RHS[n] = q(rng);
      m.HCOEF[n] = n % 3 == 0 ? -0.05f : 0.0f;
      m.HEADNEW[n] = q(rng);
      if (n % 7 == 2) m.IBOUND[n] = -1;
      if (n % 13 == 4) m.IBOUND[n] = 0;
    }
    std::vector<double> h(m.HEADNEW, m.HEADNEW + m.NCELLS);
    SorPackage s;
    s.configure(m, {.MXITER = 6, .ACCEL = 1.3f, .HEADCLOSE = 0.0f, .IPRINTINT = 1});
    for (int it = 1; it <= 5; ++it) {
      Model plain = m;
      plain.HEADNEW = h.data();
      Recorded want{};
      referenceCall(plain, 1.3f, want);
      m.KOUTER = it;
      s.solve(m);
      for (std::int64_t n = 0; n < m.NCELLS; ++n)
        ASSERT_EQ(m.HEADNEW[n], h[n]) << "iteration " << it << " cell " << n;
      const Recorded got = recorded(s, it);
      EXPECT_EQ(got.change, want.change);
      EXPECT_EQ(got.k, want.k);
      EXPECT_EQ(got.i, want.i);
      EXPECT_EQ(got.j, want.j);
    }
  }
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
