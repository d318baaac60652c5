#include "solvers/sip.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "flow/grid_fixture.hpp"
#include "io/record.hpp"

namespace aqx {
namespace {

TEST(SipParameters, FromSeedFirstIsZeroLastIsOneMinusSeed) {
  float w[5];
  sip::parametersFromSeed(0.5f, 5, w);
  EXPECT_EQ(w[0], 0.0f);
  EXPECT_FLOAT_EQ(w[1], 1.0f - std::pow(0.5f, 0.25f));
  EXPECT_FLOAT_EQ(w[2], 1.0f - std::pow(0.5f, 0.5f));
  EXPECT_FLOAT_EQ(w[3], 1.0f - std::pow(0.5f, 0.75f));
  EXPECT_EQ(w[4], 0.5f);
  float one[1] = {7.0f};
  sip::parametersFromSeed(0.5f, 1, one);  // a single parameter is 0, never 0/0
  EXPECT_EQ(one[0], 0.0f);
}

TEST(SipParameters, ModelSeedOfAUniformRow) {
  Model m;
  test::allocateGrid(m, 1, 1, 4);
  for (int j = 0; j < 4; ++j) m.CONDR[j] = 2.0f;
  float avg = 0, least = 0;
  sip::modelSeeds(m, avg, least);
  // Only the column direction has conductances: row and layer seeds are 1. End cells have a zero
  // neighbour replaced by the other, so every cell gives pc / (0/2 + 1) = pi^2 / 32.
  const float pc = 9.869604f / (2.0f * 16.0f);
  EXPECT_FLOAT_EQ(avg, pc);
  EXPECT_FLOAT_EQ(least, pc);
}

struct SipRun {
  Model m;
  SipPackage sip;
  void setup(int nlay, int nrow, int ncol, int mxiter, float seed, int nitparm = 5) {
    test::allocateGrid(m, nlay, nrow, ncol);
    sip.takeArrays(m, mxiter, nitparm);
    sip.ACCEL = 1.0f;
    sip.HEADCLOSE = 1e-6f;
    sip.IPRINTINT = 999;
    sip::parametersFromSeed(seed, nitparm, sip.WPARM);
    m.LISTUNIT = 0;
    m.KSTEP = 2;  // keeps the console quiet: no table unless the step fails
    m.NSTEPS = 5;
  }
  // Runs outer iterations until convergence; returns the iteration count (0: none).
  int iterate() {
    for (int it = 1; it <= m.MXITER; ++it) {
      m.KOUTER = it;
      sip.solve(m);
      if (m.CONVERGED) return it;
    }
    return 0;
  }
};

TEST(SipSolve, OneDimensionalRowIsSolvedInOneIteration) {
  SipRun r;
  r.setup(1, 1, 11, 10, 0.01f);
  Model& m = r.m;
  for (int j = 0; j < 11; ++j) {
    m.CONDR[j] = 3.0f;
    m.HEADNEW[j] = 0.0;
  }
  m.IBOUND[0] = -1;
  m.IBOUND[10] = -1;
  m.HEADNEW[0] = 10.0;
  m.HEADNEW[10] = 0.0;
  m.KOUTER = 1;
  r.sip.solve(m);
  for (int j = 0; j < 11; ++j) EXPECT_NEAR(m.HEADNEW[j], 10.0 - j, 1e-5) << j;
  EXPECT_EQ(m.CONVERGED, 0);
  EXPECT_NEAR(r.sip.MAXCHANGE[0], 9.0f, 1e-5f);  // cell 2 moves by 9, the largest change
  EXPECT_EQ(r.sip.MAXCHANGECELL[0], 1);
  EXPECT_EQ(r.sip.MAXCHANGECELL[1], 1);
  EXPECT_EQ(r.sip.MAXCHANGECELL[2], 2);
  // Second iteration (reverse sweep of rows and layers) finds nothing left to change.
  m.KOUTER = 2;
  r.sip.solve(m);
  EXPECT_EQ(m.CONVERGED, 1);
  EXPECT_LE(std::fabs(r.sip.MAXCHANGE[1]), 1e-5f);
}

TEST(SipSolve, NoChangeRecordsZeroAtCellZero) {
  SipRun r;
  r.setup(1, 1, 3, 5, 0.01f);
  Model& m = r.m;
  m.IBOUND[0] = m.IBOUND[2] = -1;
  m.CONDR[0] = m.CONDR[1] = 1.0f;
  m.HEADNEW[0] = 2.0;
  m.HEADNEW[1] = 1.0;
  m.HEADNEW[2] = 0.0;
  m.KOUTER = 1;
  r.sip.solve(m);
  EXPECT_EQ(m.CONVERGED, 1);
  EXPECT_EQ(r.sip.MAXCHANGE[0], 0.0f);
  EXPECT_EQ(r.sip.MAXCHANGECELL[0], 0);
  EXPECT_EQ(r.sip.MAXCHANGECELL[1], 0);
  EXPECT_EQ(r.sip.MAXCHANGECELL[2], 0);
  EXPECT_EQ(m.HEADNEW[1], 1.0);
}

// Reference solution of the same equations by Gauss-Seidel in double precision.
std::vector<double> reference(const Model& m) {
  std::vector<double> h(m.HEADNEW, m.HEADNEW + m.NCELLS);
  const std::int64_t nrc = static_cast<std::int64_t>(m.NROWS) * m.NCOLS;
  for (int sweep = 0; sweep < 20000; ++sweep) {
    double delta = 0;
    for (int k = 1; k <= m.NLAYER; ++k)
      for (int i = 1; i <= m.NROWS; ++i)
        for (int j = 1; j <= m.NCOLS; ++j) {
          const std::int64_t n = m.cell(k, i, j);
          if (m.IBOUND[n] <= 0) continue;
          double sumC = 0, sumCh = 0;
          auto add = [&](double c, std::int64_t nn) {
            sumC += c;
            sumCh += c * h[nn];
          };
          if (j > 1) add(m.CONDR[n - 1], n - 1);
          if (j < m.NCOLS) add(m.CONDR[n], n + 1);
          if (i > 1) add(m.CONDC[n - m.NCOLS], n - m.NCOLS);
          if (i < m.NROWS) add(m.CONDC[n], n + m.NCOLS);
          if (k > 1) add(m.CONDV[n - nrc], n - nrc);
          if (k < m.NLAYER) add(m.CONDV[n], n + nrc);
          // sum C (h_m - h) + HCOEF h = RHS
          const double hn = (m.RHS[n] - sumCh) / (m.HCOEF[n] - sumC);
          delta = std::max(delta, std::fabs(hn - h[n]));
          h[n] = hn;
        }
    if (delta < 1e-12) break;
  }
  return h;
}

TEST(SipSolve, ThreeDimensionalHeterogeneousModelMatchesReference) {
  SipRun r;
  r.setup(3, 6, 7, 200, 0.02f);
  Model& m = r.m;
  std::mt19937 rng(42);
  std::uniform_real_distribution<float> cond(0.1f, 10.0f), q(-1.0f, 1.0f);
  for (std::int64_t n = 0; n < m.NCELLS; ++n) {
    m.CONDR[n] = cond(rng);
    m.CONDC[n] = cond(rng);
    m.HEADNEW[n] = 5.0;
    m.RHS[n] = q(rng);
    m.HCOEF[n] = (n % 5 == 0) ? -0.5f : 0.0f;
    if (n < 6 * 7 * 2) m.CONDV[n] = cond(rng) * 0.1f;
  }
  // Constant heads along one side of every layer, an inactive cell cut off from its neighbours.
  for (int k = 1; k <= 3; ++k)
    for (int i = 1; i <= 6; ++i) {
      m.IBOUND[m.cell(k, i, 1)] = -1;
      m.HEADNEW[m.cell(k, i, 1)] = 2.0 * k;
    }
  const std::int64_t dead = m.cell(2, 3, 4);
  m.IBOUND[dead] = 0;
  m.CONDR[dead] = m.CONDR[dead - 1] = m.CONDC[dead] = m.CONDC[dead - 7] = 0.0f;
  m.CONDV[dead] = m.CONDV[dead - 42] = 0.0f;
  m.HEADNEW[dead] = 999.0;
  const std::vector<double> want = reference(m);
  const int its = r.iterate();
  ASSERT_GT(its, 2);  // both sweep directions were used
  for (std::int64_t n = 0; n < m.NCELLS; ++n) EXPECT_NEAR(m.HEADNEW[n], want[n], 2e-4) << n;
  EXPECT_EQ(m.HEADNEW[dead], 999.0);
}

TEST(SipSolve, ZeroPivotStopsTheRun) {
  // Two variable-head cells joined by one conductance and nothing else: the second pivot is 0.
  SipRun r;
  r.setup(1, 1, 2, 5, 0.01f);
  Model& m = r.m;
  m.CONDR[0] = 1.0f;
  m.KOUTER = 1;
  EXPECT_THROW(r.sip.solve(m), io::RunStop);
}

}  // namespace
}  // namespace aqx
