// PCG2 on hand-built models: the heads it converges to are compared with a dense direct solution of
// the same equations, for both preconditioners; plus the bookkeeping the driver relies on.
#include "solvers/pcg2.hpp"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include "driver/model.hpp"
#include "io/record.hpp"
#include "support/e2e.hpp"

namespace aqx {
namespace {

// A model's equations, kept outside the work array so each outer iteration can re-formulate.
struct Problem {
  int nl, nr, nc;
  std::vector<float> cr, cc, cv, hcoef, rhs;
  std::vector<int> ibound;
  std::vector<double> start;

  Problem(int l, int r, int c)
      : nl(l),
        nr(r),
        nc(c),
        cr(size()),
        cc(size()),
        cv(size()),
        hcoef(size()),
        rhs(size()),
        ibound(size(), 1),
        start(size()) {}
  std::size_t size() const { return static_cast<std::size_t>(nl) * nr * nc; }
  std::size_t at(int k, int i, int j) const { return (j - 1) + nc * ((i - 1) + nr * (k - 1)); }

  // Takes the shared arrays in a fresh work array and copies the problem in.
  void install(Model& m) const {
    m.work->reset();
    m.NLAYER = nl;
    m.NROWS = nr;
    m.NCOLS = nc;
    m.NCELLS = static_cast<std::int64_t>(size());
    m.HEADNEW = m.work->takeDouble(m.NCELLS);
    m.IBOUND = m.work->takeInt(m.NCELLS);
    m.CONDR = m.work->takeReal(m.NCELLS);
    m.CONDC = m.work->takeReal(m.NCELLS);
    m.CONDV = m.work->takeReal(static_cast<std::int64_t>(nr) * nc * (nl - 1));  // no bottom-layer CONDV
    m.HCOEF = m.work->takeReal(m.NCELLS);
    m.RHS = m.work->takeReal(m.NCELLS);
    std::copy(start.begin(), start.end(), m.HEADNEW);
    std::copy(ibound.begin(), ibound.end(), m.IBOUND);
    formulate(m);
  }
  // What the formulate phase of an outer iteration rebuilds.
  void formulate(Model& m) const {
    std::copy(cr.begin(), cr.end(), m.CONDR);
    std::copy(cc.begin(), cc.end(), m.CONDC);
    std::copy(cv.begin(), cv.end() - static_cast<std::ptrdiff_t>(nr) * nc, m.CONDV);
    std::copy(hcoef.begin(), hcoef.end(), m.HCOEF);
    std::copy(rhs.begin(), rhs.end(), m.RHS);
  }

  // Dense Gaussian elimination of the same equations (constant heads from `start`).
  std::vector<double> direct() const {
    std::vector<int> index(size(), -1);
    int nu = 0;
    for (std::size_t n = 0; n < size(); ++n)
      if (ibound[n] > 0) index[n] = nu++;
    std::vector<double> a(static_cast<std::size_t>(nu) * nu, 0.0), b(nu, 0.0);
    for (int k = 1; k <= nl; ++k)
      for (int i = 1; i <= nr; ++i)
        for (int j = 1; j <= nc; ++j) {
          const std::size_t n = at(k, i, j);
          if (ibound[n] <= 0) continue;
          const int row = index[n];
          a[row * nu + row] += hcoef[n];
          b[row] += rhs[n];
          auto link = [&](std::size_t mm, float c) {
            if (ibound[mm] == 0 || c == 0.0f) return;
            a[row * nu + row] -= c;
            if (ibound[mm] > 0) {
              a[row * nu + index[mm]] += c;
            } else {
              b[row] -= c * start[mm];
            }
          };
          if (j < nc) link(at(k, i, j + 1), cr[n]);
          if (j > 1) link(at(k, i, j - 1), cr[at(k, i, j - 1)]);
          if (i < nr) link(at(k, i + 1, j), cc[n]);
          if (i > 1) link(at(k, i - 1, j), cc[at(k, i - 1, j)]);
          if (k < nl) link(at(k + 1, i, j), cv[n]);
          if (k > 1) link(at(k - 1, i, j), cv[at(k - 1, i, j)]);
        }
    for (int c = 0; c < nu; ++c) {
      int piv = c;
      for (int r = c + 1; r < nu; ++r)
        if (std::fabs(a[r * nu + c]) > std::fabs(a[piv * nu + c])) piv = r;
      for (int q = 0; q < nu; ++q) std::swap(a[c * nu + q], a[piv * nu + q]);
      std::swap(b[c], b[piv]);
      for (int r = c + 1; r < nu; ++r) {
        const double f = a[r * nu + c] / a[c * nu + c];
        for (int q = c; q < nu; ++q) a[r * nu + q] -= f * a[c * nu + q];
        b[r] -= f * b[c];
      }
    }
    std::vector<double> x(nu);
    for (int r = nu - 1; r >= 0; --r) {
      double s = b[r];
      for (int q = r + 1; q < nu; ++q) s -= a[r * nu + q] * x[q];
      x[r] = s / a[r * nu + r];
    }
    std::vector<double> h = start;
    for (std::size_t n = 0; n < size(); ++n)
      if (ibound[n] > 0) h[n] = x[index[n]];
    return h;
  }
};

// A 3 x 5 x 6 aquifer with uneven conductances, storage-like HCOEF, pumping and recharge, two
// constant-head cells, one inactive cell and one active cell cut off from every neighbour.
Problem mixedProblem() {
  Problem p(3, 5, 6);
  std::mt19937 rng(7);
  std::uniform_real_distribution<float> cond(0.2f, 5.0f), coef(-0.5f, -0.01f), q(-2.0f, 2.0f);
  for (std::size_t n = 0; n < p.size(); ++n) {
    p.cr[n] = cond(rng);
    p.cc[n] = cond(rng);
    p.cv[n] = 0.1f * cond(rng);
    p.hcoef[n] = coef(rng);
    p.rhs[n] = q(rng) + p.hcoef[n] * 20.0f;  // storage term toward an old head of 20
    p.start[n] = 20.0;
  }
  p.ibound[p.at(1, 1, 1)] = -1;
  p.start[p.at(1, 1, 1)] = 25.0;
  p.ibound[p.at(3, 5, 6)] = -1;
  p.start[p.at(3, 5, 6)] = 15.0;
  // Like a flow package, give the inactive cell no conductance, and none at the grid's edges.
  p.ibound[p.at(2, 3, 3)] = 0;
  p.cr[p.at(2, 3, 3)] = p.cr[p.at(2, 3, 2)] = 0.0f;
  p.cc[p.at(2, 3, 3)] = p.cc[p.at(2, 2, 3)] = 0.0f;
  p.cv[p.at(2, 3, 3)] = p.cv[p.at(1, 3, 3)] = 0.0f;
  // An inactive cell in the bottom layer, which has no vertical conductance of its own.
  p.ibound[p.at(3, 2, 4)] = 0;
  p.cr[p.at(3, 2, 4)] = p.cr[p.at(3, 2, 3)] = 0.0f;
  p.cc[p.at(3, 2, 4)] = p.cc[p.at(3, 1, 4)] = 0.0f;
  p.cv[p.at(2, 2, 4)] = 0.0f;
  for (int k = 1; k <= p.nl; ++k)
    for (int i = 1; i <= p.nr; ++i)
      for (int j = 1; j <= p.nc; ++j) {
        if (j == p.nc) p.cr[p.at(k, i, j)] = 0.0f;
        if (i == p.nr) p.cc[p.at(k, i, j)] = 0.0f;
        if (k == p.nl) p.cv[p.at(k, i, j)] = 0.0f;
      }
  // Cell (1,5,1) keeps IBOUND 1 but has no conductance to any neighbour.
  const std::size_t iso = p.at(1, 5, 1);
  p.cr[iso] = 0.0f;
  p.cc[iso] = 0.0f;
  p.cv[iso] = 0.0f;
  p.cc[p.at(1, 4, 1)] = 0.0f;
  return p;
}

struct Outcome {
  int iterations = 0;
  bool converged = false;
};

// Outer iterations as the driver runs them: formulate, solve, until CONVERGED.
Outcome iterate(Model& m, const Problem& p, Pcg2Package& pcg) {
  Outcome run;
  for (m.KOUTER = 1; m.KOUTER <= m.MXITER; ++m.KOUTER) {
    if (m.KOUTER > 1) p.formulate(m);
    pcg.solve(m);
    run.iterations = m.KOUTER;
    if (m.CONVERGED == 1) {
      run.converged = true;
      break;
    }
  }
  return run;
}

Pcg2Package::Settings settings(int precond) {
  Pcg2Package::Settings s;
  s.MXITER = 50;
  s.NINNER = 30;
  s.IPRECOND = precond;
  s.HEADCLOSE = 1e-5f;
  s.RESCLOSE = 1e-5f;
  s.RELAXFAC = 1.0f;
  s.IPRINTLIM = 2;  // no listing output
  return s;
}

// Runs `body` with the listing on a scratch file; returns the listing text.
template <class F>
std::string withListing(Model& m, F body) {
  test::TempDir dir;
  m.LISTUNIT = 6;
  io::open(m.LISTUNIT, (dir / "out.lst").string());
  body();
  io::close(m.LISTUNIT);
  return dir.readText("out.lst");
}

}  // namespace

// Runs the kernels of one incomplete Cholesky call step by step.
struct Pcg2KernelProbe {
  Pcg2Package& pcg;
  void start(Model& m) { pcg.startCall(m); }
  void forwardWithPivots(Model& m) { pcg.forwardWithPivots(m); }
  void forward(Model& m) { pcg.forward(m); }
  void backward(Model& m) { pcg.backward(m); }
  float* w() { return pcg.v_; }
  float* z() { return pcg.z_; }
  const float* d() const { return pcg.d_; }
};

namespace {

// The backward solve cell by cell in reverse natural order, as the method states it.
std::vector<float> plainBackward(const Model& m, const float* w, const float* d) {
  const int nc = m.NCOLS, nr = m.NROWS, nl = m.NLAYER;
  const std::int64_t nrc = static_cast<std::int64_t>(nc) * nr;
  std::vector<float> z(static_cast<std::size_t>(m.NCELLS), 0.0f);
  for (std::int64_t n = m.NCELLS - 1; n >= 0; --n) {
    if (m.IBOUND[n] <= 0) continue;
    const int k = static_cast<int>(n / nrc) + 1, i = static_cast<int>(n % nrc / nc) + 1;
    const int j = static_cast<int>(n % nc) + 1;
    float zn = w[n] / d[n];
    if (k < nl) zn -= m.CONDV[n] * z[n + nrc] / d[n];
    if (i < nr) zn -= m.CONDC[n] * z[n + nc] / d[n];
    if (j < nc) zn -= m.CONDR[n] * z[n + 1] / d[n];
    z[n] = zn;
  }
  return z;
}

// The row-interleaved forward and backward solves give exactly the plain cell-by-cell results
// (the forward solve of the first inner iteration, which computes the pivots, is the plain form),
// on grids whose row counts do and do not fill the interleaved groups, with constant-head and
// inactive cells and one layer or several.
TEST(Pcg2, InterleavedTriangularSolvesGiveExactlyThePlainSolves) {
  struct Shape {
    int nl, nr, nc;
  };
  for (const Shape g : {Shape{1, 9, 13}, Shape{3, 5, 6}, Shape{2, 4, 1}, Shape{4, 1, 7}, Shape{1, 13, 2}}) {
    Problem p(g.nl, g.nr, g.nc);
    std::mt19937 rng(g.nl * 100 + g.nr * 10 + g.nc);
    std::uniform_real_distribution<float> cond(0.1f, 20.0f), coef(-0.5f, -0.01f), q(-3.0f, 3.0f);
    std::uniform_int_distribution<int> kind(0, 9);
    for (std::size_t n = 0; n < p.size(); ++n) {
      p.cr[n] = cond(rng);
      p.cc[n] = cond(rng);
      p.cv[n] = 0.1f * cond(rng);
      p.hcoef[n] = coef(rng);
      p.rhs[n] = q(rng);
      p.start[n] = 10.0 + q(rng);
      const int c = kind(rng);
      p.ibound[n] = c == 0 ? 0 : c == 1 ? -1 : 1;
    }
    Model m;
    p.install(m);
    Pcg2Package pcg;
    pcg.configure(m, settings(1));
    Pcg2KernelProbe probe{pcg};
    probe.start(m);
    probe.forwardWithPivots(m);
    const std::vector<float> plainW(probe.w(), probe.w() + m.NCELLS);
    const std::vector<float> plainZ = plainBackward(m, probe.w(), probe.d());
    probe.backward(m);
    // Forward again from the state of the start of the call (cells that are not variable head
    // keep its 0), with the pivots just computed.
    std::fill(probe.w(), probe.w() + m.NCELLS, 0.0f);
    probe.forward(m);
    std::size_t active = 0;
    for (std::int64_t n = 0; n < m.NCELLS; ++n) {
      active += m.IBOUND[n] > 0 ? 1 : 0;
      EXPECT_EQ(std::bit_cast<std::uint32_t>(probe.w()[n]), std::bit_cast<std::uint32_t>(plainW[n]))
          << g.nl << "x" << g.nr << "x" << g.nc << " forward cell " << n;
      EXPECT_EQ(std::bit_cast<std::uint32_t>(probe.z()[n]), std::bit_cast<std::uint32_t>(plainZ[n]))
          << g.nl << "x" << g.nr << "x" << g.nc << " backward cell " << n;
    }
    EXPECT_GT(active, p.size() / 2);
  }
}

class Pcg2Precond : public ::testing::TestWithParam<int> {};

TEST_P(Pcg2Precond, ConvergesToTheDirectSolution) {
  const Problem p = mixedProblem();
  Model m;
  p.install(m);
  m.KSTEP = m.NSTEPS = m.KPERIOD = 1;
  Pcg2Package pcg;
  pcg.configure(m, settings(GetParam()));
  const Outcome run = iterate(m, p, pcg);
  ASSERT_TRUE(run.converged);

  std::vector<double> want = p.direct();
  const std::size_t iso = p.at(1, 5, 1);
  for (std::size_t n = 0; n < p.size(); ++n) {
    if (n == iso || p.ibound[n] == 0) continue;
    EXPECT_NEAR(m.HEADNEW[n], want[n], 2e-3) << "cell " << n;
  }
  // Constant heads untouched; the isolated cell is inactive now and keeps its head.
  EXPECT_NEAR(m.HEADNEW[p.at(1, 1, 1)], 25.0, 1e-9);
  EXPECT_EQ(m.IBOUND[iso], 0);
  EXPECT_EQ(m.HEADNEW[iso], 20.0);
}

INSTANTIATE_TEST_SUITE_P(BothPreconditioners, Pcg2Precond, ::testing::Values(1, 2));

// Linear flow between two constant-head faces: the exact answer is a straight line.
TEST(Pcg2, LinearProfileBetweenConstantHeads) {
  for (int precond : {1, 2}) {
    Problem p(2, 4, 11);
    for (std::size_t n = 0; n < p.size(); ++n) {
      p.cr[n] = 3.0f;
      p.cc[n] = 3.0f;
      p.cv[n] = 1.0f;
      p.start[n] = 0.0;
    }
    for (int k = 1; k <= 2; ++k)
      for (int i = 1; i <= 4; ++i) {
        p.ibound[p.at(k, i, 1)] = -1;
        p.start[p.at(k, i, 1)] = 100.0;
        p.ibound[p.at(k, i, 11)] = -1;
      }
    Model m;
    p.install(m);
    Pcg2Package pcg;
    auto s = settings(precond);
    s.HEADCLOSE = 1e-6f;
    s.RESCLOSE = 1e-5f;
    pcg.configure(m, s);
    ASSERT_TRUE(iterate(m, p, pcg).converged) << "precond " << precond;
    for (int j = 1; j <= 11; ++j)
      EXPECT_NEAR(m.HEADNEW[p.at(2, 3, j)], 100.0 - 10.0 * (j - 1), 1e-3)
          << "precond " << precond << " col " << j;
  }
}

// Scaling is undone on exit: conductances and heads come back (to rounding), and the tables and
// counters the driver reads are filled.
TEST(Pcg2, PolynomialRestoresScaledArraysAndKeepsTables) {
  const Problem p = mixedProblem();
  Model m;
  p.install(m);
  Pcg2Package pcg;
  auto s = settings(2);
  s.MXITER = 3;
  s.NINNER = 4;
  s.PCGCONSECLIM = 0;
  s.IPRINTINT = 0;
  s.DAMPFAC = 0.0f;
  pcg.configure(m, s);
  EXPECT_EQ(m.MXITER, 3);
  EXPECT_EQ(m.pcg.PCGCONSECLIM, 3);  // 0 becomes MXITER
  EXPECT_EQ(pcg.settings().IPRINTINT, 999);
  EXPECT_EQ(pcg.settings().DAMPFAC, 1.0f);
  m.KOUTER = 1;
  m.KSTEP = 1;
  m.NSTEPS = 5;
  pcg.solve(m);
  for (std::size_t n = 0; n < p.size(); ++n) {
    if (m.IBOUND[n] == 0) continue;
    EXPECT_NEAR(m.CONDR[n], p.cr[n], 1e-5f * p.cr[n] + 1e-7f) << n;
    EXPECT_NEAR(m.CONDC[n], p.cc[n], 1e-5f * p.cc[n] + 1e-7f) << n;
  }
  EXPECT_NEAR(m.HEADNEW[p.at(1, 1, 1)], 25.0, 1e-12);
  EXPECT_GT(pcg.POLYB(), 1.0f);
  // Not converged in the first outer iteration: four inner iterations recorded, first flagged.
  EXPECT_EQ(m.CONVERGED, 0);
  ASSERT_EQ(m.pcg.PCGINNERTOT, 4);
  EXPECT_EQ(pcg.INNERFIRST()[0], 1);
  EXPECT_EQ(pcg.INNERFIRST()[1], 0);
  EXPECT_EQ(m.pcg.INNERHCHG, pcg.INNERHCHG());
  for (int q = 0; q < 4; ++q) {
    EXPECT_GE(pcg.INNERHCELL()[3 * q], 1);
    EXPECT_GE(pcg.INNERRCELL()[3 * q + 2], 1);
  }
  // The second call goes on counting; the last allowed call ends the step and clears the count.
  m.KOUTER = 2;
  p.formulate(m);
  pcg.solve(m);
  EXPECT_GE(m.pcg.PCGINNERTOT, 5);
  EXPECT_EQ(pcg.INNERFIRST()[4], 1);
  m.KOUTER = 3;
  p.formulate(m);
  pcg.solve(m);
  EXPECT_EQ(m.pcg.PCGINNERTOT, 0);
}

TEST(Pcg2, FixedPolynomialParameter) {
  const Problem p = mixedProblem();
  Model m;
  p.install(m);
  Pcg2Package pcg;
  auto s = settings(2);
  s.IPOLYB = 2;
  pcg.configure(m, s);
  m.KOUTER = 1;
  pcg.solve(m);
  EXPECT_EQ(pcg.POLYB(), 2.0f);
}

// With several outer iterations a call converges only when its first inner iteration closes;
// one inner iteration per call then judges every call on that iteration.
TEST(Pcg2, OneInnerIterationPerCall) {
  const Problem p = mixedProblem();
  Model m;
  p.install(m);
  Pcg2Package pcg;
  auto s = settings(1);
  s.NINNER = 1;
  s.MXITER = 400;
  pcg.configure(m, s);
  const Outcome run = iterate(m, p, pcg);
  EXPECT_TRUE(run.converged);
  EXPECT_GT(run.iterations, 5);
  // Converged at the last call's only inner iteration.
  EXPECT_EQ(m.pcg.PCGINNERTOT, 0);
  std::vector<double> want = p.direct();
  EXPECT_NEAR(m.HEADNEW[p.at(2, 2, 2)], want[p.at(2, 2, 2)], 1e-2);
}

// A single outer iteration with heads already at the solution: zero curvature is a failure.
TEST(Pcg2, StopsOnZeroCurvatureWithOneOuterIteration) {
  Problem p(1, 1, 3);
  for (std::size_t n = 0; n < p.size(); ++n) {
    p.cr[n] = 1.0f;
    p.start[n] = 5.0;
  }
  p.ibound[0] = -1;
  Model m;
  p.install(m);
  Pcg2Package pcg;
  auto s = settings(1);
  s.MXITER = 1;
  pcg.configure(m, s);
  m.KOUTER = 1;
  const std::string lst = withListing(m, [&] { EXPECT_THROW(pcg.solve(m), io::RunStop); });
  EXPECT_EQ(
      lst,
      "\n CONJUGATE-GRADIENT METHOD FAILED.\n SET MXITER GREATER THAN ONE AND TRY AGAIN.  STOP EXECUTION\n");
}

// A first pivot of one sign followed by pivots of the other cannot be fixed by the shift.
TEST(Pcg2, StopsWhenPivotsChangeSign) {
  Problem p(1, 1, 4);
  for (std::size_t n = 0; n < p.size(); ++n) p.cr[n] = 1.0f;
  p.hcoef[0] = 50.0f;
  p.rhs[3] = 1.0f;
  Model m;
  p.install(m);
  Pcg2Package pcg;
  pcg.configure(m, settings(1));
  m.KOUTER = 1;
  const std::string lst = withListing(m, [&] { EXPECT_THROW(pcg.solve(m), io::RunStop); });
  EXPECT_EQ(lst, " MATRIX IS SEVERELY NON-DAGONALLY DOMINANT.  CHECK INPUT FILES.  STOP EXECUTION\n");
}

// The polynomial preconditioner needs a negative full diagonal to scale by.
TEST(Pcg2, StopsWhenDiagonalCannotBeScaled) {
  Problem p(1, 1, 4);
  for (std::size_t n = 0; n < p.size(); ++n) p.cr[n] = 1.0f;
  p.hcoef[2] = 5.0f;  // diagonal 5 - 2 = 3 > 0
  Model m;
  p.install(m);
  Pcg2Package pcg;
  pcg.configure(m, settings(2));
  m.KOUTER = 1;
  const std::string lst = withListing(m, [&] { EXPECT_THROW(pcg.solve(m), io::RunStop); });
  EXPECT_NE(lst.find("MATRIX DIAGONAL IS NOT NEGATIVE AT LAYER   1, ROW    1, COLUMN    3."),
            std::string::npos)
      << lst;
}

}  // namespace
}  // namespace aqx

namespace aqx {
namespace {

// The two input records, their echo with the replaced zero values, and the end-of-step report.
class Pcg2Listing : public ::testing::Test {
 protected:
  std::string runStep(const std::string& input, int ksteps = 1) {
    test::TempDir dir;
    dir.write("pcg.dat", input);
    const Problem p = mixedProblem();
    p.install(m_);
    m_.LISTUNIT = 6;
    m_.PKGUNIT[kPCG] = 19;
    io::open(6, (dir / "out.lst").string());
    io::openExisting(19, (dir / "pcg.dat").string());
    pcg_.allocate(m_);
    pcg_.readPrepare(m_);
    m_.NSTEPS = 3;
    m_.KPERIOD = 1;
    for (m_.KSTEP = 1; m_.KSTEP <= ksteps; ++m_.KSTEP) {
      for (m_.KOUTER = 1; m_.KOUTER <= m_.MXITER; ++m_.KOUTER) {
        p.formulate(m_);
        pcg_.solve(m_);
        if (m_.CONVERGED) break;
      }
    }
    io::close(19);
    io::close(6);
    return dir.readText("out.lst");
  }
  Model m_;
  Pcg2Package pcg_;
};

TEST_F(Pcg2Listing, EchoAndTablesOfSevenInnerIterations) {
  const std::string lst = runStep(
      "         1         7         2         0\n"
      "       0.0       0.0       0.0         2         0         0       0.0\n");
  EXPECT_EQ(m_.pcg.PCGCONSECLIM, 1);
  EXPECT_EQ(m_.pcg.PCGINNERTOT, 0);
  EXPECT_EQ(pcg_.POLYB(), 2.0f);
  const std::vector<std::string> want = {
      "0PCG2 -- CONJUGATE GRADIENT SOLUTION PACKAGE, VERSION 2.1, 6/1/95",
      " MAXIMUM OF   1 CALLS OF SOLUTION ROUTINE",
      " MAXIMUM OF   7 INTERNAL ITERATIONS PER CALL TO SOLUTION ROUTINE",
      " MATRIX PRECONDITIONING TYPE :    2",
  };
  const std::vector<std::string> got = test::lines(lst);
  ASSERT_GE(got.size(), 30u) << lst;
  for (std::size_t q = 0; q < want.size(); ++q) EXPECT_EQ(got[q], want[q]);
  EXPECT_NE(lst.find("                                                          THE MATRIX WILL BE SCALED\n"),
            std::string::npos)
      << lst;
  EXPECT_NE(lst.find("PCG HEAD AND RESIDUAL CHANGE PRINTOUT INTERVAL =      999\n"), std::string::npos)
      << lst;
  EXPECT_NE(lst.find("DAMPING PARAMETER =    0.10000E+01\n"), std::string::npos) << lst;
  EXPECT_NE(
      lst.find("\n0\n     1 CALLS TO PCG ROUTINE FOR TIME STEP   1 IN STRESS PERIOD  1\n"
               "     7 TOTAL ITERATIONS\n"
               "0B OF THE POLYNOMIAL PRECONDITIONING METHOD:   0.2000E+01\n"
               "0MAXIMUM HEAD CHANGE FOR EACH ITERATION (1 INDICATES THE FIRST INNER ITERATION):\n"
               "0    HEAD CHANGE  LAYER,ROW,COL    HEAD CHANGE  LAYER,ROW,COL    HEAD CHANGE  LAYER,ROW,COL"
               "    HEAD CHANGE  LAYER,ROW,COL\n"),
      std::string::npos)
      << lst;
  // Four entries, then three, in each table.
  std::size_t head = lst.find("0MAXIMUM HEAD CHANGE");
  std::size_t resid = lst.find("0MAXIMUM RESIDUAL FOR EACH ITERATION");
  ASSERT_NE(resid, std::string::npos);
  const std::vector<std::string> h = test::lines(lst.substr(head, resid - head));
  ASSERT_EQ(h.size(), 6u) << lst;
  EXPECT_EQ(h[3].size(), 1u + 4u * 30u) << h[3];
  // The 2X that opens the unused fourth entry is still written.
  EXPECT_EQ(h[4].size(), 1u + 3u * 30u + 2u) << h[4];
  EXPECT_EQ(h[3].substr(0, 4), "   1");  // first inner iteration flagged
  EXPECT_EQ(h[5], "0");
}

TEST_F(Pcg2Listing, PrintLimitOneWritesOnlyTheSummaryAndTwoNothing) {
  const std::string one = runStep(
      "         1         5         1         0\n"
      "       0.0       0.0       1.0         0         1         1       1.0\n",
      2);
  EXPECT_NE(
      one.find(
          "\n     1 CALLS TO PCG ROUTINE FOR TIME STEP   2 IN STRESS PERIOD  1\n     5 TOTAL ITERATIONS\n"),
      std::string::npos)
      << one;
  EXPECT_EQ(one.find("MAXIMUM HEAD CHANGE"), std::string::npos);
}

TEST_F(Pcg2Listing, PrintLimitTwoWritesNothingButClearsTheCount) {
  const std::string two = runStep(
      "         1         5         1         0\n"
      "       0.0       0.0       1.0         0         1         2       1.0\n");
  EXPECT_EQ(two.find("CALLS TO PCG ROUTINE FOR TIME STEP"), std::string::npos) << two;
  EXPECT_EQ(m_.pcg.PCGINNERTOT, 0);
}

}  // namespace
}  // namespace aqx

namespace aqx {
namespace {

// Settings that leave the solver without a way to iterate stop the run at allocation.
TEST(Pcg2Input, RefusesNoInnerIterationsAndUnknownPreconditioner) {
  const std::pair<const char*, const char*> cases[] = {
      {"         5         0         1         0\n",
       " NUMBER OF INTERNAL ITERATIONS PER CALL MUST BE AT LEAST 1."},
      {"         5        10         3         0\n", " MATRIX PRECONDITIONING TYPE MUST BE 1 OR 2."},
  };
  for (const auto& [input, message] : cases) {
    test::TempDir dir;
    dir.write("pcg.dat", input);
    Model m;
    m.work->reset();
    m.NLAYER = m.NROWS = m.NCOLS = 2;
    m.NCELLS = 8;
    m.LISTUNIT = 6;
    m.PKGUNIT[kPCG] = 19;
    io::open(6, (dir / "out.lst").string());
    io::openExisting(19, (dir / "pcg.dat").string());
    Pcg2Package pcg;
    EXPECT_THROW(pcg.allocate(m), io::RunStop);
    io::close(19);
    io::close(6);
    const std::string lst = dir.readText("out.lst");
    EXPECT_NE(lst.find(message), std::string::npos) << lst;
  }
}

}  // namespace
}  // namespace aqx
