// DE4 on hand-built models read through its own input records: solutions compared with a dense
// elimination of the same equations, the orderings chosen by the grid shape, the reuse of the
// factors, the largest-change bookkeeping, the stops (zero pivot, divergence, sizes) and the
// edge cases without one of the two parts.
#include "solvers/de4.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "io/record.hpp"
#include "support/model_builder.hpp"

namespace aqx {
namespace {

// A DE4 package on a hand-built grid, reading `input` (its two records).
struct De4Run {
  test::ModelBuilder b;
  test::PackageRun run;
  Model& m;
  De4Run(int nl, int nr, int nc, const std::string& input)
      : b(nl, nr, nc), run(b, "DE4", kDE4, input), m(b.model()) {}
  De4Package& de4() { return run.as<De4Package>(); }
  void prepare() {
    run.allocate();
    run.readPrepare();
  }
  // One time step: outer iterations until CONVERGED or MXITER (the equations stay as set).
  int step(int kper, int kstp, float delt, int nstp = 5) {
    m.KPERIOD = kper;
    m.KSTEP = kstp;
    m.NSTEPS = nstp;
    m.DELT = delt;
    for (int it = 1; it <= m.MXITER; ++it) {
      m.KOUTER = it;
      de4().solve(m);
      if (m.CONVERGED) return it;
    }
    return 0;
  }
  std::vector<std::string> listing() {
    std::vector<std::string> out = test::lines(b.listing());
    for (std::string& l : out) l.erase(l.find_last_not_of(' ') + 1);
    return out;
  }
};

bool contains(const std::vector<std::string>& lines, const std::string& line) {
  for (const std::string& l : lines) {
    if (l == line) return true;
  }
  return false;
}
std::string joined(const std::vector<std::string>& lines) {
  std::string s;
  for (const std::string& l : lines) s += l + "\n";
  return s;
}

// The heads that solve the model's equations exactly: dense Gaussian elimination with partial
// pivoting in double precision over the variable-head cells.
std::vector<double> denseSolution(const Model& m) {
  const std::int64_t nrc = static_cast<std::int64_t>(m.NROWS) * m.NCOLS;
  std::vector<int> index(m.NCELLS, -1);
  std::vector<std::int64_t> cells;
  for (std::int64_t c = 0; c < m.NCELLS; ++c) {
    if (m.IBOUND[c] > 0) {
      index[c] = static_cast<int>(cells.size());
      cells.push_back(c);
    }
  }
  const std::size_t n = cells.size();
  std::vector<double> a(n * n, 0.0), rhs(n, 0.0);
  for (std::size_t r = 0; r < n; ++r) {
    const std::int64_t c = cells[r];
    const int k = static_cast<int>(c / nrc) + 1, i = static_cast<int>(c % nrc / m.NCOLS) + 1,
              j = static_cast<int>(c % m.NCOLS) + 1;
    double diag = m.HCOEF[c];
    rhs[r] = m.RHS[c];
    auto link = [&](double g, std::int64_t nb) {
      diag -= g;
      if (index[nb] >= 0) {
        a[r * n + index[nb]] += g;
      } else {
        rhs[r] -= g * m.HEADNEW[nb];
      }
    };
    if (j > 1) link(m.CONDR[c - 1], c - 1);
    if (j < m.NCOLS) link(m.CONDR[c], c + 1);
    if (i > 1) link(m.CONDC[c - m.NCOLS], c - m.NCOLS);
    if (i < m.NROWS) link(m.CONDC[c], c + m.NCOLS);
    if (k > 1) link(m.CONDV[c - nrc], c - nrc);
    if (k < m.NLAYER) link(m.CONDV[c], c + nrc);
    a[r * n + r] += diag;
  }
  for (std::size_t p = 0; p < n; ++p) {
    std::size_t best = p;
    for (std::size_t r = p + 1; r < n; ++r) {
      if (std::fabs(a[r * n + p]) > std::fabs(a[best * n + p])) best = r;
    }
    for (std::size_t q = 0; q < n; ++q) std::swap(a[p * n + q], a[best * n + q]);
    std::swap(rhs[p], rhs[best]);
    for (std::size_t r = p + 1; r < n; ++r) {
      const double f = a[r * n + p] / a[p * n + p];
      for (std::size_t q = p; q < n; ++q) a[r * n + q] -= f * a[p * n + q];
      rhs[r] -= f * rhs[p];
    }
  }
  std::vector<double> x(n);
  for (std::size_t p = n; p-- > 0;) {
    double s = rhs[p];
    for (std::size_t q = p + 1; q < n; ++q) s -= a[p * n + q] * x[q];
    x[p] = s / a[p * n + p];
  }
  std::vector<double> h(m.HEADNEW, m.HEADNEW + m.NCELLS);
  for (std::size_t r = 0; r < n; ++r) h[cells[r]] = x[r];
  return h;
}

// Heterogeneous conductances (log-uniform over three decades), storage-like HCOEF and RHS, a
// column of constant heads, a no-flow cell and a pumping cell.
void heterogeneous(Model& m, unsigned seed, bool withInactive = true) {
  std::mt19937 rng(seed);
  std::uniform_real_distribution<float> lg(-1.5f, 1.5f), u(0.0f, 1.0f);
  const std::int64_t nrc = static_cast<std::int64_t>(m.NROWS) * m.NCOLS;
  for (std::int64_t c = 0; c < m.NCELLS; ++c) {
    m.CONDR[c] = (c % m.NCOLS == m.NCOLS - 1) ? 0.0f : std::pow(10.0f, lg(rng));
    m.CONDC[c] = (c % nrc / m.NCOLS == m.NROWS - 1) ? 0.0f : std::pow(10.0f, lg(rng));
    if (c < nrc * (m.NLAYER - 1)) m.CONDV[c] = std::pow(10.0f, lg(rng));
    m.HCOEF[c] = -0.01f * u(rng);
    m.HEADNEW[c] = 5.0;
    m.RHS[c] = m.HCOEF[c] * 4.0f;
  }
  for (int k = 1; k <= m.NLAYER; ++k) {
    for (int i = 1; i <= m.NROWS; ++i) {
      m.IBOUND[m.cell(k, i, 1)] = -1;
      m.HEADNEW[m.cell(k, i, 1)] = 10.0 + i;
    }
  }
  if (withInactive && m.NCELLS > 4) {
    const std::int64_t dry = m.cell(1, m.NROWS, m.NCOLS);
    m.IBOUND[dry] = 0;
    m.HEADNEW[dry] = -999.0;
    // A no-flow cell carries no conductance.
    m.CONDR[dry - 1] = m.CONDR[dry] = 0.0f;
    if (m.NROWS > 1) m.CONDC[dry - m.NCOLS] = 0.0f;
    if (m.NLAYER > 1) m.CONDV[dry] = 0.0f;
  }
  m.RHS[m.NCELLS - 2] += 3.0f;  // a well taking 3 units
}

// ---------------------------------------------------------------------------------------------
// Solutions

struct ModeCase {
  const char* name;
  const char* input;
  De4Package::Mode mode;
  int mxiter;
  double tolerance;
};

class De4Modes : public ::testing::TestWithParam<ModeCase> {};

TEST_P(De4Modes, TwoLayerHeterogeneousModelAgreesWithDenseElimination) {
  const ModeCase& mc = GetParam();
  De4Run r(2, 6, 7, mc.input);
  r.prepare();
  heterogeneous(r.m, 7);
  const std::vector<double> start(r.m.HEADNEW, r.m.HEADNEW + r.m.NCELLS);
  const std::vector<double> exact = denseSolution(r.m);
  EXPECT_EQ(r.de4().mode(), mc.mode);
  EXPECT_EQ(r.m.MXITER, mc.mxiter);
  EXPECT_GT(r.step(1, 1, 1.0f), 0);
  for (std::int64_t c = 0; c < r.m.NCELLS; ++c) {
    if (r.m.IBOUND[c] <= 0) {
      EXPECT_EQ(r.m.HEADNEW[c], start[c]) << c;  // constant-head and no-flow cells never change
    } else {
      EXPECT_NEAR(r.m.HEADNEW[c], exact[c], mc.tolerance) << c;
    }
  }
  EXPECT_EQ(r.de4().D4NCOEF(), 7);
  EXPECT_EQ(r.de4().D4NUP() + r.de4().D4NLOW(), 2 * 6 * 7 - 12 - 1);
}

INSTANTIATE_TEST_SUITE_P(
    All, De4Modes,
    ::testing::Values(ModeCase{"NoIteration", "1 0 0 0\n1 0 0.0 0.0 0\n", De4Package::Mode::None, 1, 1e-3},
                      ModeCase{"Internal", "20 0 0 0\n1 0 1.0 1e-6 0\n", De4Package::Mode::Internal, 1, 1e-4},
                      ModeCase{"External", "20 0 0 0\n3 0 1.0 1e-6 0\n", De4Package::Mode::External, 20,
                               1e-4}),
    [](const auto& info) { return std::string(info.param.name); });

// Reused factors solve a changed right-hand side exactly: the residual is formed anew each call.
TEST(De4Solve, ReusedFactorsFollowAChangedRightHandSide) {
  De4Run r(2, 4, 5, "5 0 0 0\n1 0 1.0 1e-6 0\n");
  r.prepare();
  heterogeneous(r.m, 3);
  r.step(1, 1, 1.0f);
  r.m.RHS[r.m.cell(2, 2, 3)] -= 7.0f;  // a new inflow, same matrix
  const std::vector<double> exact = denseSolution(r.m);
  r.step(1, 2, 1.0f);
  EXPECT_EQ(r.de4().factorisations(), 1);
  for (std::int64_t c = 0; c < r.m.NCELLS; ++c) {
    if (r.m.IBOUND[c] > 0) {
      EXPECT_NEAR(r.m.HEADNEW[c], exact[c], 1e-4) << c;
    }
  }
}

// ---------------------------------------------------------------------------------------------
// Ordering

struct ShapeCase {
  int nl, nr, nc, order, mxbw, ncoef;
};

class De4Shapes : public ::testing::TestWithParam<ShapeCase> {};

// Every shape picks its ordering and default band; the numbering puts odd diagonals first, every
// upper equation couples only to lower ones in increasing order within the band, and the solution
// agrees with the dense one.
TEST_P(De4Shapes, OrderingNumberingAndSolution) {
  const ShapeCase& sc = GetParam();
  De4Run r(sc.nl, sc.nr, sc.nc, "1 0 0 0\n1 0 1.0 0.0 0\n");
  r.prepare();
  const De4Package& d = r.de4();
  EXPECT_EQ(d.D4ORDER(), sc.order);
  EXPECT_EQ(d.settings().MXBW, sc.mxbw);
  EXPECT_EQ(d.D4NCOEF(), sc.ncoef);
  const std::int64_t n = r.m.NCELLS;
  EXPECT_EQ(d.settings().MXUP, (n - 1) / 2 + 1);
  EXPECT_EQ(d.settings().MXLOW, n - ((n - 1) / 2 + 1));
  heterogeneous(r.m, 11);
  std::mt19937 rng(5);
  for (std::int64_t c = 0; c < n; ++c) {
    if (r.m.IBOUND[c] > 0 && rng() % 7 == 0) r.m.IBOUND[c] = -1;  // scattered constant heads
  }
  const std::vector<double> exact = denseSolution(r.m);
  r.step(1, 1, 1.0f);

  const int* eq = d.D4EQNUM();
  std::vector<int> seen(n + 1, 0);
  int up = 0, low = 0;
  for (int k = 1; k <= sc.nl; ++k) {
    for (int i = 1; i <= sc.nr; ++i) {
      for (int j = 1; j <= sc.nc; ++j) {
        const std::int64_t c = r.m.cell(k, i, j);
        if (r.m.IBOUND[c] <= 0) {
          EXPECT_EQ(eq[c], 0);
          continue;
        }
        ASSERT_GE(eq[c], 1);
        ASSERT_LE(eq[c], n);
        ++seen[eq[c]];
        const bool odd = (k + i + j) % 2 == 1;
        EXPECT_EQ(eq[c] <= d.D4NUP(), odd) << k << i << j;
        (odd ? up : low)++;
        EXPECT_NEAR(r.m.HEADNEW[c], exact[c], 1e-3) << k << " " << i << " " << j;
      }
    }
  }
  EXPECT_EQ(up, d.D4NUP());
  EXPECT_EQ(low, d.D4NLOW());
  for (int e = 1; e <= up + low; ++e) EXPECT_EQ(seen[e], 1) << e;
  const de4::System& s = d.system();
  for (int I = 1; I <= d.D4NUP(); ++I) {
    const int L = s.P(1, I);
    for (int J = 2; J <= L; ++J) {
      EXPECT_GT(s.P(J, I), d.D4NUP());
      if (J > 2) {
        EXPECT_GT(s.P(J, I), s.P(J - 1, I)) << "equation " << I;
      }
    }
  }
  EXPECT_GE(d.D4BANDW(), 1);
  EXPECT_LE(d.D4BANDW(), sc.mxbw);
}

INSTANTIATE_TEST_SUITE_P(All, De4Shapes,
                         ::testing::Values(ShapeCase{1, 3, 4, 1, 4, 5}, ShapeCase{2, 4, 3, 2, 7, 7},
                                           ShapeCase{3, 2, 4, 3, 7, 7}, ShapeCase{4, 2, 3, 4, 7, 7},
                                           ShapeCase{3, 4, 2, 5, 7, 7}, ShapeCase{4, 3, 2, 6, 7, 7}),
                         [](const auto& info) { return "Order" + std::to_string(info.param.order); });

// The numbering within the diagonals: outer index from its largest value down, inner likewise.
TEST(De4Ordering, NumbersOfASingleLayer) {
  De4Run r(1, 3, 4, "1 0 0 0\n1 0 1.0 0.0 0\n");
  r.prepare();
  heterogeneous(r.m, 1, false);
  std::fill(r.m.IBOUND, r.m.IBOUND + r.m.NCELLS, 1);
  r.step(1, 1, 1.0f);
  const int expected[12] = {1, 8, 4, 11, 7, 3, 10, 6, 2, 9, 5, 12};
  for (int c = 0; c < 12; ++c) EXPECT_EQ(r.de4().D4EQNUM()[c], expected[c]) << c;
  EXPECT_EQ(r.de4().D4NUP(), 6);
  EXPECT_EQ(r.de4().D4NLOW(), 6);
  // Upper equations reach their first neighbour 4 to 6 numbers on and their last 6 to 7: the band
  // takes 7 - 4 + 1 slots (equation 3 at row 2, column 2 couples lower equations 7 to 10).
  EXPECT_EQ(r.de4().D4BANDW(), 4);
}

// ---------------------------------------------------------------------------------------------
// Reuse of the factors

struct ReuseCase {
  int ifreq;
  std::vector<int> factorisations;  // after each call of the sequence below
};

class De4Reuse : public ::testing::TestWithParam<ReuseCase> {};

TEST_P(De4Reuse, FactorsAreRebuiltOnlyWhenTheRuleSays) {
  const ReuseCase& rc = GetParam();
  De4Run r(1, 3, 3, "1 0 0 0\n" + std::to_string(rc.ifreq) + " 0 1.0 0.0 0\n");
  r.prepare();
  heterogeneous(r.m, 2);
  struct Call {
    int kper, kstp;
    float delt;
  };
  // Steady steps, then a longer step, then a new period with the same length.
  const Call calls[] = {{1, 1, 1.0f}, {1, 2, 1.0f}, {1, 3, 2.0f}, {2, 1, 2.0f}, {2, 2, 2.0f}};
  for (std::size_t n = 0; n < std::size(calls); ++n) {
    r.step(calls[n].kper, calls[n].kstp, calls[n].delt);
    EXPECT_EQ(r.de4().factorisations(), rc.factorisations[n]) << "call " << n + 1;
  }
}

INSTANTIATE_TEST_SUITE_P(All, De4Reuse,
                         ::testing::Values(ReuseCase{1, {1, 1, 2, 2, 2}}, ReuseCase{2, {1, 1, 2, 3, 3}},
                                           ReuseCase{3, {1, 2, 3, 4, 5}}),
                         [](const auto& info) { return "IFREQ" + std::to_string(info.param.ifreq); });

// Internal passes share one factorisation; external iterations under IFREQ 3 factor every time.
TEST(De4Reuse, InternalPassesShareTheFactorsExternalIterationsDoNot) {
  De4Run in(2, 3, 4, "10 0 0 0\n1 0 1.0 1e-6 0\n");
  in.prepare();
  heterogeneous(in.m, 4);
  in.step(1, 1, 1.0f);
  EXPECT_GE(in.de4().internalIterations(), 2);
  EXPECT_EQ(in.de4().factorisations(), 1);

  De4Run ex(2, 3, 4, "10 0 0 0\n3 0 1.0 1e-6 0\n");
  ex.prepare();
  heterogeneous(ex.m, 4);
  const int outer = ex.step(1, 1, 1.0f);
  EXPECT_GE(outer, 2);
  EXPECT_EQ(ex.de4().factorisations(), outer);
}

// ---------------------------------------------------------------------------------------------
// Largest change, listing lines

// Two upper cells either side of a constant head change by exactly the same amount: the earlier
// cell keeps the record, with its sign.
TEST(De4Change, TieKeepsTheEarlierCell) {
  De4Run r(1, 1, 3, "3 0 0 0\n1 0 1.0 0.5 0\n");
  r.prepare();
  r.m.IBOUND[1] = -1;
  r.m.CONDR[0] = r.m.CONDR[1] = 2.0f;
  r.m.HEADNEW[0] = r.m.HEADNEW[2] = 3.0;
  r.m.HEADNEW[1] = 1.0;
  r.step(1, 2, 1.0f);
  EXPECT_EQ(r.de4().MAXCHANGE()[0], -2.0f);
  EXPECT_EQ(r.de4().MAXCHANGECELL()[0], 1);
  EXPECT_EQ(r.de4().MAXCHANGECELL()[1], 1);
  EXPECT_EQ(r.de4().MAXCHANGECELL()[2], 1);
}

TEST(De4Listing, ReadingPhasesForEachMode) {
  struct Case {
    const char* input;
    std::vector<std::string> expected;
  };
  const Case cases[] = {
      {"0 0 0 0\n2 2 0.0 0.0 0\n",
       {" DE45 -- D4 DIRECT SOLUTION PACKAGE, VERSION 5, 1/10/95  INPUT READ FROM UNIT 20",
        " MAXIMUM ITERATIONS (EXTERNAL OR INTERNAL) =  1", " MAXIMUM EQUATIONS IN UPPER PART OF [A]:      6",
        " MAXIMUM EQUATIONS IN LOWER PART OF [A]:      6", " MAXIMUM BAND WIDTH OF [AL] PLUS 1:    4",
        "        112 ELEMENTS IN X ARRAY ARE USED BY DE4",
        "                     SOLUTION BY D4 DIRECT SOLVER WITH NO ITERATION",
        "                     ----------------------------------------------",
        " PRINTOUT OF MAXIMUM HEAD CHANGE WILL BE SUPPRESSED",
        " LINEAR PROBLEM -- [A] MATRIX ELIMINATED ONLY WHEN IT CHANGES -- IFREQ=2"}},
      {"7 3 2 9\n3 1 -1.0 0.001 0\n",
       {" MAXIMUM ITERATIONS (EXTERNAL OR INTERNAL) =  7", " MAXIMUM EQUATIONS IN UPPER PART OF [A]:      3",
        " MAXIMUM EQUATIONS IN LOWER PART OF [A]:      2", " MAXIMUM BAND WIDTH OF [AL] PLUS 1:    9",
        "                     SOLUTION BY D4 DIRECT SOLVER WITH EXTERNAL ITERATION",
        "                     ----------------------------------------------------",
        " MAXIMUM ITERATIONS =  7", " RELAXATION-ACCELERATION PARAMETER =  1.000000",
        " HEAD CHANGE CRITERION FOR CLOSURE =    0.10000E-02", " D4 PRINTOUT INTERVAL = 999",
        " CONVERGENCE PRINTOUT WILL SHOW ONLY THE NUMBER OF ITERATIONS",
        " NON-LINEAR PROBLEM -- [A] MATRIX ELIMINATED EVERY TIME EQUATIONS ARE REFORMULATED"}},
      {"7,0,0,0\n1,7,1.5,0.01,3\n",
       {"                     SOLUTION BY D4 DIRECT SOLVER WITH INTERNAL ITERATION",
        " RELAXATION-ACCELERATION PARAMETER =  1.500000", " D4 PRINTOUT INTERVAL =   3",
        " LINEAR PROBLEM -- [A] MATRIX ELIMINATED ONLY WHEN IT CHANGES -- IFREQ=1"}},
  };
  for (const Case& c : cases) {
    De4Run r(1, 3, 4, c.input);
    r.prepare();
    const std::vector<std::string> lst = r.listing();
    for (const std::string& line : c.expected)
      EXPECT_TRUE(contains(lst, line)) << line << "\n" << joined(lst);
  }
}

// End-of-step lines: the per-iteration table three entries to a line when the step did not close,
// the single line without iteration.
TEST(De4Listing, EndOfStepLines) {
  De4Run ex(1, 1, 4, "4 0 0 0\n3 0 1.0 -1.0 0\n");
  ex.prepare();
  ex.m.IBOUND[0] = -1;
  ex.m.HEADNEW[0] = 1.0;
  for (int j = 0; j < 3; ++j) ex.m.CONDR[j] = 1.0f;
  EXPECT_EQ(ex.step(1, 1, 1.0f), 0);  // a negative HEADCLOSE is never met: four iterations, then the table
  const std::vector<std::string> lst = ex.listing();
  EXPECT_TRUE(contains(lst, "     4 EXTERNAL ITERATIONS FOR TIME STEP   1 IN STRESS PERIOD  1"))
      << joined(lst);
  EXPECT_TRUE(contains(lst, " MAXIMUM HEAD CHANGE FOR EACH ITERATION:"));
  EXPECT_TRUE(
      contains(lst, "   HEAD CHANGE  LAY,ROW,COL  HEAD CHANGE  LAY,ROW,COL  HEAD CHANGE  LAY,ROW,COL"));
  EXPECT_TRUE(contains(lst, " " + std::string(79, '-')));
  // Four entries, three to a line. The first change, 1 at each of the three cells up to rounding,
  // is largest at the last one; later changes are rounding noise, then none (cell 0, 0, 0).
  EXPECT_TRUE(
      contains(lst, "      1.00     (  1,  1,  4)  -1.192E-07 (  1,  1,  4)   0.000E+00 (  0,  0,  0)"))
      << joined(lst);
  EXPECT_TRUE(contains(lst, "     0.000E+00 (  0,  0,  0)"));

  De4Run none(1, 1, 2, "1 0 0 0\n1 0 1.0 0.0 0\n");
  none.prepare();
  none.m.IBOUND[0] = -1;
  none.m.HEADNEW[0] = 4.0;
  none.m.CONDR[0] = 1.0f;
  EXPECT_EQ(none.step(1, 3, 1.0f), 1);
  EXPECT_TRUE(contains(none.listing(),
                       " MAXIMUM HEAD CHANGE IN TIME STEP  3 OF STRESS PERIOD  1 =     4.0000    "
                       " AT LAYER =  1, ROW =  1, COL=  2"));
}

// ---------------------------------------------------------------------------------------------
// Stops and edge cases

TEST(De4Stops, InputAndSizeErrors) {
  {
    De4Run r(1, 3, 4, "1 0 0 0\n4 0 1.0 0.0 0\n");
    r.run.allocate();
    EXPECT_THROW(r.run.readPrepare(), io::RunStop);
    EXPECT_TRUE(contains(r.listing(), " INVALID VALUE FOR IFREQ PARAMETER:       4"));
  }
  {
    De4Run r(1, 3, 4, "1 5 3 0\n1 0 1.0 0.0 0\n");
    r.prepare();
    EXPECT_THROW(r.step(1, 1, 1.0f), io::RunStop);
    const auto lst = r.listing();
    EXPECT_TRUE(contains(lst, " MXUP MUST BE AT LEAST       6")) << joined(lst);
    EXPECT_TRUE(contains(lst, " MXLOW MUST BE AT LEAST       6"));
  }
  {
    De4Run r(1, 3, 4, "1 0 0 3\n1 0 1.0 0.0 0\n");
    r.prepare();
    EXPECT_THROW(r.step(1, 1, 1.0f), io::RunStop);
    const auto lst = r.listing();
    EXPECT_TRUE(contains(lst, "       6 UPPER PART EQS.         6 LOWER PART EQS.    BAND WIDTH + 1 =    4"))
        << joined(lst);
    EXPECT_TRUE(contains(lst, " MXBW MUST BE AT LEAST    4"));
  }
  {
    // A band that does not fit the work array: the allocation report says so, and the driver's
    // size check then ends the run.
    De4Run r(1, 3, 4, "1 0 0 90000000\n1 0 1.0 0.0 0\n");
    r.run.allocate();
    EXPECT_TRUE(r.m.work->tooSmall());
    EXPECT_TRUE(contains(r.listing(), "    ***X ARRAY MUST BE DIMENSIONED LARGER***"));
  }
}

TEST(De4Stops, ZeroPivotNamesTheCell) {
  struct Case {
    int ncol;
    float cond;
    const char* where;
  };
  const Case cases[] = {
      {1, 0.0f, " DIVIDE BY 0 IN DE4 AT LAYER  1,  ROW   1,  COLUMN   1 (UPPER PART OF [A])"},
      // Two cells joined only to each other: the reduced lower diagonal cancels exactly.
      {2, 1.0f, " DIVIDE BY 0 IN DE4 AT LAYER  1,  ROW   1,  COLUMN   2 (LOWER PART OF [A])"},
  };
  for (const Case& c : cases) {
    De4Run r(1, 1, c.ncol, "1 0 0 0\n1 0 1.0 0.0 0\n");
    r.prepare();
    r.m.CONDR[0] = c.cond;
    EXPECT_THROW(r.step(1, 1, 1.0f), io::RunStop);
    EXPECT_TRUE(contains(r.listing(), c.where)) << c.where;
  }
}

// Models without one of the parts: one active cell in the upper part, one in the lower part,
// none at all.
TEST(De4Edges, MissingPartsAreSolvedWithoutDivisionByZero) {
  {
    De4Run r(1, 1, 1, "1 0 0 0\n1 0 1.0 0.0 0\n");
    r.prepare();
    EXPECT_EQ(r.de4().settings().MXLOW, 0);
    r.m.HCOEF[0] = -2.0f;
    r.m.RHS[0] = -4.0f;
    EXPECT_EQ(r.step(1, 1, 1.0f), 1);
    EXPECT_EQ(r.m.HEADNEW[0], 2.0);
    EXPECT_EQ(r.de4().D4NUP(), 1);
    EXPECT_EQ(r.de4().D4NLOW(), 0);
    EXPECT_EQ(r.de4().D4BANDW(), 1);
  }
  {
    De4Run r(1, 1, 2, "3 0 0 0\n1 0 1.0 1e-6 0\n");
    r.prepare();
    r.m.IBOUND[0] = -1;
    r.m.HEADNEW[0] = 3.0;
    r.m.CONDR[0] = 0.5f;
    EXPECT_EQ(r.step(1, 1, 1.0f), 1);
    EXPECT_EQ(r.m.HEADNEW[1], 3.0);
    EXPECT_EQ(r.de4().D4NUP(), 0);
    EXPECT_EQ(r.de4().D4NLOW(), 1);
  }
  {
    De4Run r(1, 2, 2, "1 0 0 0\n1 0 1.0 0.0 0\n");
    r.prepare();
    std::fill(r.m.IBOUND, r.m.IBOUND + 4, -1);
    EXPECT_EQ(r.step(1, 1, 1.0f), 1);
    EXPECT_EQ(r.de4().D4NUP() + r.de4().D4NLOW(), 0);
    EXPECT_TRUE(contains(r.listing(),
                         " MAXIMUM HEAD CHANGE IN TIME STEP  1 OF STRESS PERIOD  1 =    0.00000E+00 AT "
                         "LAYER =  0, ROW =  0, COL=  0"));
  }
}

// A change that overflows single precision ends the iterations: the end-of-step lines as for a
// step that did not close, then the divergence stop naming the first such cell; never CONVERGED.
TEST(De4Stops, NonFiniteChangeStopsInEveryMode) {
  const char* inputs[] = {"1 0 0 0\n1 0 1.0 0.0 0\n", "5 0 0 0\n1 0 1.0 1e-6 0\n",
                          "5 0 0 0\n3 0 1.0 1e-6 0\n"};
  const char* endOfStep[] = {
      " MAXIMUM HEAD CHANGE IN TIME STEP  1 OF STRESS PERIOD  1 =       Infinity AT LAYER "
      "=  1, ROW =  1, COL=  3",
      "     1 INTERNAL ITERATIONS FOR TIME STEP   1 IN STRESS PERIOD  1",
      "     1 EXTERNAL ITERATIONS FOR TIME STEP   1 IN STRESS PERIOD  1"};
  for (int c = 0; c < 3; ++c) {
    De4Run r(1, 1, 3, inputs[c]);
    r.prepare();
    r.m.IBOUND[0] = -1;
    r.m.HEADNEW[0] = 1.0;
    r.m.CONDR[0] = 1.0f;
    r.m.HCOEF[1] = -1.0f;
    r.m.HCOEF[2] = -1e-30f;  // isolated cell with a huge inflow: its change overflows
    r.m.RHS[2] = -3e38f;
    r.m.CONVERGED = 1;
    EXPECT_THROW(r.step(1, 1, 1.0f), io::RunStop);
    EXPECT_EQ(r.m.CONVERGED, 0);
    EXPECT_TRUE(std::isfinite(r.m.HEADNEW[2]));
    const auto lst = r.listing();
    EXPECT_TRUE(contains(lst, endOfStep[c])) << joined(lst);
    ASSERT_FALSE(lst.empty());
    EXPECT_EQ(
        lst.back(),
        " DE4: HEAD CHANGE AT LAYER  1, ROW   1, COLUMN   3 IS NOT A FINITE NUMBER IN ITERATION    1 -- THE "
        "SOLUTION HAS DIVERGED");
  }
}

// ---------------------------------------------------------------------------------------------
// Kernels against the plain algorithm

// The factorisation and substitution exactly as the algorithm is written: one element at a time,
// every zero skipped.
void referenceFactor(const de4::System& s) {
  for (int I = 1; I <= s.nup; ++I) {
    const int L = s.P(1, I);
    const float f = 1.0f / s.U(1, I);
    for (int J = 2; J <= L; ++J) {
      const int E = s.P(J, I), e = E - s.nup;
      const float q = f * s.U(J, I);
      for (int JJ = J; JJ <= L; ++JJ)
        s.B(s.P(JJ, I) - E + 1, e) = s.B(s.P(JJ, I) - E + 1, e) - q * s.U(JJ, I);
      s.U(J, I) = q;
    }
  }
  for (int i = 1; i <= s.nlow - 1; ++i) {
    const float f = 1.0f / s.B(1, i);
    for (int k = 2; k <= s.bandw; ++k) {
      if (s.B(k, i) == 0.0f) continue;
      const float q = f * s.B(k, i);
      for (int kk = k; kk <= s.bandw; ++kk) {
        if (s.B(kk, i) != 0.0f) s.B(kk - k + 1, i + k - 1) = s.B(kk - k + 1, i + k - 1) - q * s.B(kk, i);
      }
      s.B(k, i) = q;
    }
  }
}

struct RandomSystem {
  int nup, nlow, bw, ncoef = 7;
  std::vector<float> upper, band;
  std::vector<int> upptr;
  RandomSystem(unsigned seed, int nu, int nl, int b) : nup(nu), nlow(nl), bw(b) {
    std::mt19937 rng(seed);
    std::uniform_real_distribution<float> u(0.1f, 1.0f);
    upper.assign(static_cast<std::size_t>(ncoef) * nup, 0.0f);
    upptr.assign(upper.size(), 0);
    band.assign(static_cast<std::size_t>(bw) * nlow, 0.0f);
    for (int i = 0; i < nlow; ++i) {
      band[static_cast<std::size_t>(i) * bw] = -8.0f - u(rng);
      for (int k = 1; k < bw && i + k < nlow; ++k) {
        if (rng() % 3 == 0) band[static_cast<std::size_t>(i) * bw + k] = u(rng);  // many exact zeros
      }
    }
    for (int I = 0; I < nup; ++I) {
      upper[static_cast<std::size_t>(I) * ncoef] = -4.0f - u(rng);
      const int first = nup + 1 + static_cast<int>(rng() % (nlow - bw / 2));
      int slot = 1;
      for (int e = first; e < first + bw / 2 && slot < ncoef; ++e) {
        if (rng() % 2 == 0) continue;
        upptr[static_cast<std::size_t>(I) * ncoef + slot] = e;
        upper[static_cast<std::size_t>(I) * ncoef + slot] = u(rng);
        ++slot;
      }
      upptr[static_cast<std::size_t>(I) * ncoef] = slot;
    }
  }
  de4::System view() {
    de4::System s;
    s.upper = upper.data();
    s.upptr = upptr.data();
    s.band = band.data();
    s.ncoef = ncoef;
    s.mxbw = bw;
    s.nup = nup;
    s.nlow = nlow;
    s.bandw = bw;
    return s;
  }
};

TEST(De4Kernels, FactorAndSubstituteMatchThePlainAlgorithmBitForBit) {
  // Even and odd numbers of lower equations (columns are eliminated in pairs), narrow bands, and
  // a column whose multipliers are not finite.
  struct Variant {
    int nlow, bw;
    bool subnormal;
  };
  const Variant variants[] = {
      {90, 13, false}, {91, 13, false}, {90, 13, true}, {91, 2, false}, {92, 3, false}};
  for (const Variant& v : variants) {
    RandomSystem fast(17, 40, v.nlow, v.bw), plain(17, 40, v.nlow, v.bw);
    const int variant = static_cast<int>(&v - variants);
    if (v.subnormal) {
      // A subnormal pivot: its reciprocal overflows, so the multipliers of that column are not
      // finite and zeros must be skipped exactly as written.
      fast.band[0] = plain.band[0] = 1e-40f;
    }
    const de4::Pivot p = de4::factor(fast.view());
    EXPECT_EQ(p.equation, 0);
    referenceFactor(plain.view());
    EXPECT_EQ(std::memcmp(fast.band.data(), plain.band.data(), fast.band.size() * sizeof(float)), 0)
        << variant;
    EXPECT_EQ(std::memcmp(fast.upper.data(), plain.upper.data(), fast.upper.size() * sizeof(float)), 0);
    std::vector<float> b(40 + v.nlow), c;
    std::mt19937 rng(3);
    for (float& x : b) x = static_cast<float>(rng() % 1000) / 100.0f - 5.0f;
    c = b;
    de4::substitute(fast.view(), b.data());
    de4::substitute(plain.view(), c.data());
    EXPECT_EQ(std::memcmp(b.data(), c.data(), b.size() * sizeof(float)), 0);
  }
}

}  // namespace
}  // namespace aqx
