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
  test::Listing list;
  Model m;
  SipPackage sip;
  void setup(int nlay, int nrow, int ncol, int mxiter, float seed, int nitparm = 5, float accel = 1.0f,
             float headclose = 1e-6f) {
    test::allocateGrid(m, nlay, nrow, ncol);
    sip.configure(m, {.MXITER = mxiter,
                      .NITPARM = nitparm,
                      .ACCEL = accel,
                      .HEADCLOSE = headclose,
                      .ICALCSEED = 0,
                      .WSEED = seed,
                      .IPRINTINT = 999});
    m.LISTUNIT = list.unit;
    m.KSTEP = 2;
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
  EXPECT_NEAR(r.sip.MAXCHANGE()[0], 9.0f, 1e-5f);  // cell 2 moves by 9, the largest change
  EXPECT_EQ(r.sip.MAXCHANGECELL()[0], 1);
  EXPECT_EQ(r.sip.MAXCHANGECELL()[1], 1);
  EXPECT_EQ(r.sip.MAXCHANGECELL()[2], 2);
  // Second iteration (reverse sweep of rows and layers) finds nothing left to change.
  m.KOUTER = 2;
  r.sip.solve(m);
  EXPECT_EQ(m.CONVERGED, 1);
  EXPECT_LE(std::fabs(r.sip.MAXCHANGE()[1]), 1e-5f);
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
  EXPECT_EQ(r.sip.MAXCHANGE()[0], 0.0f);
  EXPECT_EQ(r.sip.MAXCHANGECELL()[0], 0);
  EXPECT_EQ(r.sip.MAXCHANGECELL()[1], 0);
  EXPECT_EQ(r.sip.MAXCHANGECELL()[2], 0);
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

// The solver's sweep written plainly, one row at a time, as the check of the interleaved one.
struct RefLargest {
  float abs = 0.0f;
  float signedValue = 0.0f;
  int k = 0, i = 0, j = 0;
};

template <bool Odd>
void referenceSweep(Model& m, double w, double accel, float* FE, float* FF, float* FG, float* V,
                    RefLargest& big) {
  const int nlay = m.NLAYER, nrow = m.NROWS, ncol = m.NCOLS;
  const std::int64_t nc = ncol;
  const std::int64_t nrc = static_cast<std::int64_t>(nrow) * ncol;
  const int* IBOUND = m.IBOUND;
  const float* CONDR = m.CONDR;
  const float* CONDC = m.CONDC;
  const float* CONDV = m.CONDV;
  const float* HCOEF = m.HCOEF;
  const float* RHS = m.RHS;
  double* HNEW = m.HEADNEW;
  const std::int64_t zOff = Odd ? -nrc : nrc;  // back layer
  const std::int64_t bOff = Odd ? -nc : nc;    // back row

  // Forward pass.
  for (int kk = 0; kk < nlay; ++kk) {
    const int k = Odd ? kk + 1 : nlay - kk;
    const bool hasZ = Odd ? k > 1 : k < nlay;
    const bool hasS = Odd ? k < nlay : k > 1;
    for (int ii = 0; ii < nrow; ++ii) {
      const int i = Odd ? ii + 1 : nrow - ii;
      const bool hasB = Odd ? i > 1 : i < nrow;
      const bool hasH = Odd ? i < nrow : i > 1;
      const std::int64_t row = nrc * (k - 1) + nc * (i - 1);
      // Conductances toward the back and front layer and row, for this row of cells.
      const float* cz = hasZ ? CONDV + (Odd ? row - nrc : row) : nullptr;
      const float* cs = hasS ? CONDV + (Odd ? row : row - nrc) : nullptr;
      const float* cb = hasB ? CONDC + (Odd ? row - nc : row) : nullptr;
      const float* ch = hasH ? CONDC + (Odd ? row : row - nc) : nullptr;
      double fed = 0.0, ffd = 0.0, fgd = 0.0, vd = 0.0;  // the back column neighbour
      for (int jj = 0; jj < ncol; ++jj) {
        const std::int64_t n = row + jj;
        if (IBOUND[n] <= 0) {
          FE[n] = FF[n] = FG[n] = V[n] = 0.0f;
          fed = ffd = fgd = vd = 0.0;
          continue;
        }
        double Z = 0.0, fez = 0.0, ffz = 0.0, fgz = 0.0, vz = 0.0, hz = 0.0;
        if (cz) {
          const std::int64_t nz = n + zOff;
          Z = cz[jj];
          fez = FE[nz];
          ffz = FF[nz];
          fgz = FG[nz];
          vz = V[nz];
          hz = HNEW[nz];
        }
        double B = 0.0, feb = 0.0, ffb = 0.0, fgb = 0.0, vb = 0.0, hb = 0.0;
        if (cb) {
          const std::int64_t nb = n + bOff;
          B = cb[jj];
          feb = FE[nb];
          ffb = FF[nb];
          fgb = FG[nb];
          vb = V[nb];
          hb = HNEW[nb];
        }
        double D = 0.0, hd = 0.0;
        if (jj > 0) {
          D = CONDR[n - 1];
          hd = HNEW[n - 1];
        }
        double F = 0.0, hf = 0.0;
        if (jj < ncol - 1) {
          F = CONDR[n];
          hf = HNEW[n + 1];
        }
        double H = 0.0, hh = 0.0;
        if (ch) {
          H = ch[jj];
          hh = HNEW[n - bOff];
        }
        double S = 0.0, hs = 0.0;
        if (cs) {
          S = cs[jj];
          hs = HNEW[n - zOff];
        }
        const double E = -(Z + B + D + F + H + S);
        const double sz = fez + ffz;
        const double sb = feb + fgb;
        const double sd = ffd + fgd;
        const double alpha = Z / (1.0 + w * sz);
        const double beta = B / (1.0 + w * sb);
        const double gamma = D / (1.0 + w * sd);
        const double hc = HCOEF[n];
        const double pivot =
            E + hc + w * (alpha * sz + beta * sb + gamma * sd) - alpha * fgz - beta * ffb - gamma * fed;
        if (pivot == 0.0) {
          FAIL() << "zero pivot";
        }
        const float fe = static_cast<float>((F - w * (beta * feb + alpha * fez)) / pivot);
        const float ff = static_cast<float>((H - w * (gamma * ffd + alpha * ffz)) / pivot);
        const float fg = static_cast<float>((S - w * (beta * fgb + gamma * fgd)) / pivot);
        const double res = RHS[n] - Z * hz - B * hb - D * hd - F * hf - H * hh - S * hs - (E + hc) * HNEW[n];
        const float v = static_cast<float>((accel * res - alpha * vz - beta * vb - gamma * vd) / pivot);
        FE[n] = fe;
        FF[n] = ff;
        FG[n] = fg;
        V[n] = v;
        fed = fe;
        ffd = ff;
        fgd = fg;
        vd = v;
      }
    }
  }

  // Backward pass, in exactly the reverse order.
  for (int kk = nlay - 1; kk >= 0; --kk) {
    const int k = Odd ? kk + 1 : nlay - kk;
    const bool hasS = Odd ? k < nlay : k > 1;
    for (int ii = nrow - 1; ii >= 0; --ii) {
      const int i = Odd ? ii + 1 : nrow - ii;
      const bool hasH = Odd ? i < nrow : i > 1;
      const std::int64_t row = nrc * (k - 1) + nc * (i - 1);
      const float* vs = hasS ? V + row - zOff : nullptr;
      const float* vh = hasH ? V + row - bOff : nullptr;
      double vf = 0.0;  // the front column neighbour
      for (int jj = ncol - 1; jj >= 0; --jj) {
        const std::int64_t n = row + jj;
        if (IBOUND[n] <= 0) {
          vf = 0.0;
          continue;
        }
        double x = V[n];
        x = x - FE[n] * vf;
        if (vh) x = x - FF[n] * static_cast<double>(vh[jj]);
        if (vs) x = x - FG[n] * static_cast<double>(vs[jj]);
        const float change = static_cast<float>(x);
        V[n] = change;
        vf = change;
        const float a = std::fabs(change);
        if (a > big.abs) {
          big.abs = a;
          big.signedValue = change;
          big.k = k;
          big.i = i;
          big.j = jj + 1;
        }
        HNEW[n] = HNEW[n] + static_cast<double>(change);
      }
    }
  }
}

TEST(SipSolve, InterleavedRowsGiveExactlyThePlainSweep) {
  // Seven rows: full groups of interleaved rows and rows left over, in both directions, in a
  // layered model and in a single layer.
  for (const int nlay : {3, 1}) {
    SCOPED_TRACE(nlay);
    SipRun r;
    r.setup(nlay, 7, 9, 50, 0.05f);
    Model& m = r.m;
    std::mt19937 rng(7);
    std::uniform_real_distribution<float> cond(0.1f, 10.0f), q(-1.0f, 1.0f);
    for (std::int64_t n = 0; n < m.NCELLS; ++n) {
      m.CONDR[n] = cond(rng);
      m.CONDC[n] = cond(rng);
      m.HEADNEW[n] = q(rng);
      m.RHS[n] = q(rng);
      m.HCOEF[n] = -0.01f;
      if (n < 7 * 9 * (nlay - 1)) m.CONDV[n] = cond(rng);
      if (n % 11 == 0) m.IBOUND[n] = -1;
      if (n % 17 == 5) m.IBOUND[n] = 0;  // its conductances are left: the sweep must skip it
    }
    std::vector<double> h(m.HEADNEW, m.HEADNEW + m.NCELLS);
    std::vector<float> fe(m.NCELLS), ff(m.NCELLS), fg(m.NCELLS), v(m.NCELLS);
    for (int it = 1; it <= 4; ++it) {
      Model plain = m;
      plain.HEADNEW = h.data();
      RefLargest big;
      const double w = r.sip.WPARM()[(it - 1) % 5];
      if (it % 2 == 1) {
        referenceSweep<true>(plain, w, 1.0, fe.data(), ff.data(), fg.data(), v.data(), big);
      } else {
        referenceSweep<false>(plain, w, 1.0, fe.data(), ff.data(), fg.data(), v.data(), big);
      }
      m.KOUTER = it;
      r.sip.solve(m);
      for (std::int64_t n = 0; n < m.NCELLS; ++n) {
        ASSERT_EQ(m.HEADNEW[n], h[n]) << "iteration " << it << " cell " << n;
        ASSERT_EQ(r.sip.FACTE()[n], fe[n]);
        ASSERT_EQ(r.sip.FACTF()[n], ff[n]);
        ASSERT_EQ(r.sip.FACTG()[n], fg[n]);
      }
      EXPECT_EQ(r.sip.MAXCHANGE()[it - 1], big.signedValue);
      EXPECT_EQ(r.sip.MAXCHANGECELL()[3 * (it - 1)], big.k);
      EXPECT_EQ(r.sip.MAXCHANGECELL()[3 * (it - 1) + 1], big.i);
      EXPECT_EQ(r.sip.MAXCHANGECELL()[3 * (it - 1) + 2], big.j);
    }
  }
}

TEST(SipSolve, ZeroPivotStopsTheRun) {
  // Two variable-head cells joined by one conductance and nothing else: the second pivot is 0.
  SipRun r;
  r.setup(1, 1, 2, 5, 0.01f);
  Model& m = r.m;
  m.CONDR[0] = 1.0f;
  m.KOUTER = 1;
  EXPECT_THROW(r.sip.solve(m), io::RunStop);
  const auto l = r.list.trimmedLines();
  const std::vector<std::string> want = {
      "",
      " DIVIDE BY 0 IN SIP AT LAYER  1,  ROW   1,  COLUMN   2",
      " THIS CAN OCCUR WHEN A CELL IS CONNECTED TO THE REST OF",
      " THE MODEL THROUGH A SINGLE CONDUCTANCE BRANCH.  CHECK",
      " FOR THIS SITUATION AT THE INDICATED CELL.",
  };
  EXPECT_EQ(l, want);
}

TEST(SipSolve, EndOfStepLinesAndHeadChangeTableInGroupsOfFive) {
  // A slowly converging diffusion row, stopped after 12 iterations.
  SipRun r;
  r.setup(1, 1, 30, 12, 0.01f, 5, 0.1f, -1.0f);  // HEADCLOSE -1: never converges
  Model& m = r.m;
  for (int j = 0; j < 30; ++j) {
    m.CONDR[j] = 1.0f;
    m.HCOEF[j] = -0.001f;
  }
  m.IBOUND[0] = -1;
  m.HEADNEW[0] = 1.0;
  m.KSTEP = 1;
  m.KPERIOD = 3;
  EXPECT_EQ(r.iterate(), 0);
  EXPECT_EQ(m.CONVERGED, 0);
  const auto l = r.list.trimmedLines();
  ASSERT_EQ(l.size(), 15u);
  EXPECT_EQ(l[0], "");
  EXPECT_EQ(l[1], "    12 ITERATIONS FOR TIME STEP   1 IN STRESS PERIOD  3");
  EXPECT_EQ(l[3], " MAXIMUM HEAD CHANGE FOR EACH ITERATION:");
  EXPECT_EQ(l[5], "    HEAD CHANGE   HEAD CHANGE   HEAD CHANGE   HEAD CHANGE   HEAD CHANGE");
  EXPECT_EQ(l[6], "  LAYER,ROW,COL LAYER,ROW,COL LAYER,ROW,COL LAYER,ROW,COL LAYER,ROW,COL");
  EXPECT_EQ(l[7], " " + std::string(70, '-'));
  EXPECT_EQ(l[8].size(), 71u);   // five changes
  EXPECT_EQ(l[12].size(), 29u);  // two changes
  EXPECT_EQ(l[13], "  (  1,  1,  2) (  1,  1,  2)");
  EXPECT_EQ(l[14], "");
}

}  // namespace
}  // namespace aqx
