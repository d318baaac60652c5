// DE4 direct solver.
#include "solvers/de4.hpp"

#include <algorithm>
#include <climits>
#include <cmath>
#include <string>
#include <vector>

#include "driver/allocation_report.hpp"
#include "io/record.hpp"
#include "io/word.hpp"
#include "solvers/divergence.hpp"

namespace aqx {

AQX_REGISTER_PACKAGE("DE4", De4Package)

namespace {

int clampCount(std::int64_t n) {
  return static_cast<int>(std::min<std::int64_t>(std::max<std::int64_t>(n, 0), INT_MAX));
}

// The three indices of an ordering: which grid index (0 layer, 1 row, 2 column) is outer, inner
// and determined.
struct Roles {
  int outer, inner, det;
};
constexpr Roles kRoles[7] = {{0, 0, 0}, {0, 1, 2}, {0, 2, 1}, {1, 0, 2}, {1, 2, 0}, {2, 0, 1}, {2, 1, 0}};

// Neighbour directions: 1 column j-1, 2 row i-1, 3 layer k-1, 4 layer k+1, 5 row i+1, 6 column
// j+1. The order in which an upper equation stores its neighbours makes their equation numbers
// increase (the neighbours on the diagonal before come first, in the order the numbering met them).
constexpr int kNeighbourOrder[7][6] = {{0, 0, 0, 0, 0, 0}, {1, 2, 3, 4, 5, 6}, {2, 1, 3, 4, 6, 5},
                                       {1, 3, 2, 5, 4, 6}, {3, 1, 2, 5, 6, 4}, {2, 3, 1, 6, 4, 5},
                                       {3, 2, 1, 6, 5, 4}};

// Reads one free-format line of the package file.
std::string readWords(int unit) {
  std::string line(80, ' ');
  io::readLine(unit, line);
  return line;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Reading phases

void De4Package::allocate(Model& m) {
  const int lst = m.LISTUNIT;
  const int in = m.unitOf(kDE4);
  io::write(
      lst,
      AQX_FMT("(1X/1X,'DE45 -- D4 DIRECT SOLUTION PACKAGE',', VERSION 5, 1/10/95  INPUT READ FROM UNIT',I3)"),
      in);
  std::string line = readWords(in);
  io::Words w(line, lst, in);
  s_.D4MAXITER = w.integer();
  s_.MXUP = w.integer();
  s_.MXLOW = w.integer();
  s_.MXBW = w.integer();
  applyRecord1(m);
  io::write(lst, AQX_FMT("(1X,'MAXIMUM ITERATIONS (EXTERNAL OR INTERNAL) =',I3)"), s_.D4MAXITER);
  io::write(lst,
            AQX_FMT("(1X,'MAXIMUM EQUATIONS IN UPPER PART OF [A]:',I7/1X,'MAXIMUM EQUATIONS IN LOWER PART OF "
                    "[A]:',I7/1X,'MAXIMUM BAND WIDTH OF [AL] PLUS 1:',I5)"),
            s_.MXUP, s_.MXLOW, s_.MXBW);
  const AllocationReport report(m);
  takeArrays(m);
  report.report(AQX_FMT("(1X,I10,' ELEMENTS IN X ARRAY ARE USED BY DE4')"));
}

void De4Package::readPrepare(Model& m) {
  const int lst = m.LISTUNIT;
  const int in = m.unitOf(kDE4);
  std::string line = readWords(in);
  io::Words w(line, lst, in);
  s_.IFREQ = w.integer();
  s_.D4PRINTMODE = w.integer();
  s_.ACCEL = w.real();
  s_.HEADCLOSE = w.real();
  s_.IPRINTINT = w.integer();
  if (s_.IFREQ < 1 || s_.IFREQ > 3) {
    io::write(lst, AQX_FMT("(1X/1X,'INVALID VALUE FOR IFREQ PARAMETER:',I8)"), s_.IFREQ);
    io::stopRun();
  }
  applyRecord2(m);
  if (mode_ != Mode::None) {
    if (mode_ == Mode::External) {
      io::write(lst,
                AQX_FMT("(1X/21X,'SOLUTION BY D4 DIRECT SOLVER WITH EXTERNAL',' ITERATION'/21X,52('-')/)"));
    } else {
      io::write(lst,
                AQX_FMT("(1X/21X,'SOLUTION BY D4 DIRECT SOLVER WITH INTERNAL',' ITERATION'/21X,52('-')/)"));
    }
    io::write(lst,
              AQX_FMT("(1X,'MAXIMUM ITERATIONS =',I3/1X,'RELAXATION-ACCELERATION PARAMETER =',F10.6/1X,'HEAD "
                      "CHANGE CRITERION FOR CLOSURE =',G15.5/1X,'D4 PRINTOUT INTERVAL =',I4)"),
              s_.D4MAXITER, s_.ACCEL, s_.HEADCLOSE, s_.IPRINTINT);
    if (s_.D4PRINTMODE == 1) {
      io::write(lst, AQX_FMT("(1X,'CONVERGENCE PRINTOUT WILL SHOW ONLY THE NUMBER OF ITERATIONS')"));
    } else if (s_.D4PRINTMODE == 2) {
      io::write(lst, AQX_FMT("(1X,'CONVERGENCE PRINTOUT WILL BE SUPPRESSED')"));
    }
  } else {
    io::write(lst, AQX_FMT("(1X/21X,'SOLUTION BY D4 DIRECT SOLVER WITH NO ITERATION'/21X,46('-')/)"));
    if (s_.D4PRINTMODE == 2)
      io::write(lst, AQX_FMT("(1X,'PRINTOUT OF MAXIMUM HEAD CHANGE WILL BE SUPPRESSED')"));
  }
  if (s_.IFREQ == 3) {
    io::write(lst, AQX_FMT("(1X,'NON-LINEAR PROBLEM -- [A] MATRIX ELIMINATED',' EVERY TIME EQUATIONS ARE "
                           "REFORMULATED')"));
  } else {
    io::write(lst,
              AQX_FMT("(1X,'LINEAR PROBLEM -- [A] MATRIX ELIMINATED ONLY',' WHEN IT CHANGES -- IFREQ=',I1)"),
              s_.IFREQ);
  }
}

void De4Package::configure(Model& m, const Settings& s) {
  s_ = s;
  if (s_.IFREQ < 1 || s_.IFREQ > 3) s_.IFREQ = 3;
  applyRecord1(m);
  takeArrays(m);
  applyRecord2(m);
}

// The ordering from the grid shape, the coefficient count and the defaults of record 1.
void De4Package::applyRecord1(Model& m) {
  const std::int64_t nc = m.NCOLS, nr = m.NROWS, nl = m.NLAYER;
  std::int64_t bw = 0;
  if (nl <= nc && nl <= nr) {
    order_ = nc >= nr ? 1 : 2;
    bw = order_ == 1 ? nl * nr : nl * nc;
  } else if (nr <= nc && nr <= nl) {
    order_ = nc >= nl ? 3 : 4;
    bw = order_ == 3 ? nl * nr : nc * nr;
  } else {
    order_ = nr >= nl ? 5 : 6;
    bw = order_ == 5 ? nc * nl : nc * nr;
  }
  ncoef_ = std::min({nc, nr, nl}) == 1 ? 5 : 7;
  const std::int64_t up = (m.NCELLS - 1) / 2 + 1;
  if (s_.D4MAXITER < 1) s_.D4MAXITER = 1;
  if (s_.MXUP <= 0) s_.MXUP = clampCount(up);
  if (s_.MXLOW <= 0) s_.MXLOW = clampCount(m.NCELLS - up);
  if (s_.MXBW <= 0) s_.MXBW = clampCount(bw + 1);
  maxeq_ = static_cast<std::int64_t>(s_.MXUP) + s_.MXLOW;
}

void De4Package::applyRecord2(Model& m) {
  if (s_.D4PRINTMODE < 0 || s_.D4PRINTMODE > 2) s_.D4PRINTMODE = 0;
  if (!(s_.ACCEL > 0.0f)) s_.ACCEL = 1.0f;
  if (s_.IPRINTINT <= 0) s_.IPRINTINT = 999;
  if (s_.D4MAXITER > 1 && s_.IFREQ == 3) {
    mode_ = Mode::External;
    m.MXITER = s_.D4MAXITER;
    inner_ = 1;
  } else if (s_.D4MAXITER > 1) {
    mode_ = Mode::Internal;
    m.MXITER = 1;
    inner_ = s_.D4MAXITER;
  } else {
    mode_ = Mode::None;
    m.MXITER = 1;
    inner_ = 1;
    s_.ACCEL = 1.0f;
  }
}

void De4Package::takeArrays(Model& m) {
  WorkArray& x = *m.work;
  const std::int64_t upper = static_cast<std::int64_t>(ncoef_) * s_.MXUP;
  sys_ = de4::System{};
  sys_.ncoef = ncoef_;
  sys_.mxbw = s_.MXBW;
  sys_.upper = x.takeReal(upper);
  sys_.upptr = x.takeInt(upper);
  sys_.band = x.takeReal(static_cast<std::int64_t>(s_.MXBW) * s_.MXLOW);
  eqnum_ = x.takeInt(m.NCELLS);
  vector_ = x.takeReal(maxeq_);
  maxcell_ = x.takeInt(3 * static_cast<std::int64_t>(s_.D4MAXITER));
  maxchange_ = x.takeReal(s_.D4MAXITER);
}

// ---------------------------------------------------------------------------------------------
// Solve

// Alternating diagonal order: the odd diagonals first (upper part), then the even ones.
void De4Package::numberEquations(Model& m) {
  const int dims[3] = {m.NLAYER, m.NROWS, m.NCOLS};
  const Roles r = kRoles[order_];
  const int dOut = dims[r.outer], dIn = dims[r.inner], dDet = dims[r.det];
  const int sum = dims[0] + dims[1] + dims[2];
  std::fill(eqnum_, eqnum_ + m.NCELLS, 0);
  int next = 0;
  auto part = [&](int firstDiagonal) {
    for (int d = firstDiagonal; d <= sum; d += 2) {
      for (int o = std::min(d - 2, dOut); o >= std::max(d - (dIn + dDet), 1); --o) {
        for (int n = std::min(d - o - 1, dIn); n >= std::max(d - o - dDet, 1); --n) {
          int idx[3];
          idx[r.outer] = o;
          idx[r.inner] = n;
          idx[r.det] = d - o - n;
          const std::int64_t c = m.cell(idx[0], idx[1], idx[2]);
          if (m.IBOUND[c] > 0) eqnum_[c] = ++next;
        }
      }
    }
  };
  part(3);
  sys_.nup = next;
  part(4);
  sys_.nlow = next - sys_.nup;
  if (sys_.nup > s_.MXUP || sys_.nlow > s_.MXLOW) {
    io::write(
        m.LISTUNIT,
        AQX_FMT("(1X,'INSUFFICIENT MEMORY FOR DE4 SOLVER:'/1X,'MXUP MUST BE AT LEAST',I8/1X,'MXLOW MUST BE "
                "AT LEAST',I8)"),
        sys_.nup, sys_.nlow);
    io::stopRun();
  }
}

// The residual of the current heads into D4VECTOR and, when rebuilding, the matrix: the diagonal
// of every lower equation into the band, the diagonal and neighbours of every upper equation.
void De4Package::assemble(Model& m, bool rebuild) {
  const int nl = m.NLAYER, nr = m.NROWS, nc = m.NCOLS;
  const std::int64_t nrc = static_cast<std::int64_t>(nr) * nc;
  const double* h = m.HEADNEW;
  const float *cr = m.CONDR, *cc = m.CONDC, *cv = m.CONDV;
  const int* order = kNeighbourOrder[order_];
  const int nup = sys_.nup;
  std::int64_t c = 0;
  for (int k = 1; k <= nl; ++k) {
    for (int i = 1; i <= nr; ++i) {
      for (int j = 1; j <= nc; ++j, ++c) {
        const int N = eqnum_[c];
        if (N == 0) continue;
        double r = m.RHS[c];
        double g = m.HCOEF[c];
        float G[7] = {};
        int E[7] = {};
        bool inside[7] = {};
        auto neighbour = [&](int dir, float cond, std::int64_t nb) {
          r = r - static_cast<double>(cond) * h[nb];
          g = g - static_cast<double>(cond);
          G[dir] = cond;
          E[dir] = eqnum_[nb];
          inside[dir] = true;
        };
        if (j > 1) neighbour(1, cr[c - 1], c - 1);
        if (i > 1) neighbour(2, cc[c - nc], c - nc);
        if (k > 1) neighbour(3, cv[c - nrc], c - nrc);
        if (k < nl) neighbour(4, cv[c], c + nrc);
        if (i < nr) neighbour(5, cc[c], c + nc);
        if (j < nc) neighbour(6, cr[c], c + 1);
        vector_[N - 1] = static_cast<float>(r - g * h[c]);
        if (!rebuild) continue;
        if (N > nup) {
          sys_.B(1, N - nup) = static_cast<float>(g);
          continue;
        }
        int slot = 1;
        for (int t = 0; t < 6; ++t) {
          const int dir = order[t];
          if (!inside[dir] || E[dir] == 0) continue;
          ++slot;
          sys_.P(slot, N) = E[dir];
          sys_.U(slot, N) = G[dir];
        }
        sys_.U(1, N) = static_cast<float>(g);
        sys_.P(1, N) = slot;
      }
    }
  }
}

void De4Package::findBandWidth(Model& m) {
  int smallest = 999999, largest = 0;
  for (int I = 1; I <= sys_.nup; ++I) {
    const int L = sys_.P(1, I);
    if (L < 2) continue;
    smallest = std::min(smallest, sys_.P(2, I) - I);
    largest = std::max(largest, sys_.P(L, I) - I);
  }
  // Without any coupling between the parts the reduced matrix is diagonal: one slot per column.
  sys_.bandw = largest > 0 ? largest - smallest + 1 : 1;
  if (sys_.nup != printedUp_ || sys_.nlow != printedLow_ || sys_.bandw != printedBandw_) {
    io::write(m.LISTUNIT,
              AQX_FMT("(1X/1X,I7,' UPPER PART EQS.',I10,' LOWER PART EQS.    BAND WIDTH + 1 =',I5)"),
              sys_.nup, sys_.nlow, sys_.bandw);
    printedUp_ = sys_.nup;
    printedLow_ = sys_.nlow;
    printedBandw_ = sys_.bandw;
  }
  if (sys_.bandw > s_.MXBW) {
    io::write(m.LISTUNIT, AQX_FMT("(1X,'INSUFFICIENT MEMORY FOR DE4 SOLVER:'/1X,'MXBW MUST BE AT LEAST',I5)"),
              sys_.bandw);
    io::stopRun();
  }
  for (int i = 1; i <= sys_.nlow; ++i) std::fill(&sys_.B(2, i), &sys_.B(1, i) + sys_.bandw, 0.0f);
}

void De4Package::zeroPivot(Model& m, const de4::Pivot& p) {
  int k = 0, i = 0, j = 0;
  const std::int64_t nrc = static_cast<std::int64_t>(m.NROWS) * m.NCOLS;
  for (std::int64_t c = 0; c < m.NCELLS; ++c) {
    if (eqnum_[c] != p.equation) continue;
    k = static_cast<int>(c / nrc) + 1;
    i = static_cast<int>(c % nrc / m.NCOLS) + 1;
    j = static_cast<int>(c % m.NCOLS) + 1;
    break;
  }
  io::write(
      m.LISTUNIT,
      AQX_FMT("(1X/1X,'DIVIDE BY 0 IN DE4 AT LAYER',I3,',  ROW',I4,',  COLUMN',I4,' (',A,' PART OF [A])'/1X,"
              "'THE DIAGONAL OF THIS EQUATION VANISHED DURING ELIMINATION.  CHECK THE'/1X,'CONDUCTANCES AND "
              "STORAGE TERMS AT THE INDICATED CELL.')"),
      k, i, j, std::string(p.upperPart ? "UPPER" : "LOWER"));
  io::stopRun();
}

// Adds ACCEL times the solution to the heads; keeps the largest change (the first of equal ones
// in visiting order) and the first change that is not a finite number.
bool De4Package::updateHeads(Model& m, int /*iteration*/) {
  largest_ = {};
  bad_ = {};
  diverged_ = false;
  float big = 0.0f;
  const float accel = s_.ACCEL;
  std::int64_t c = 0;
  for (int k = 1; k <= m.NLAYER; ++k) {
    for (int i = 1; i <= m.NROWS; ++i) {
      for (int j = 1; j <= m.NCOLS; ++j, ++c) {
        const int N = eqnum_[c];
        if (N == 0) continue;
        const float delta = accel * vector_[N - 1];
        if (!std::isfinite(delta)) {
          if (!diverged_) bad_ = {delta, k, i, j};
          diverged_ = true;
          continue;
        }
        m.HEADNEW[c] = m.HEADNEW[c] + static_cast<double>(delta);
        const float a = std::fabs(delta);
        if (a > big) {
          big = a;
          largest_ = {delta, k, i, j};
        }
      }
    }
  }
  return !diverged_;
}

void De4Package::record(int iteration) {
  if (iteration < 1 || iteration > s_.D4MAXITER) return;
  const Change& c = diverged_ ? bad_ : largest_;
  maxchange_[iteration - 1] = c.value;
  maxcell_[3 * (iteration - 1)] = c.k;
  maxcell_[3 * (iteration - 1) + 1] = c.i;
  maxcell_[3 * (iteration - 1) + 2] = c.j;
}

void De4Package::solve(Model& m) {
  bool rebuild = true;
  if (s_.IFREQ == 2) {
    rebuild = m.KSTEP == 1 || m.DELT != prevDelt_;
  } else if (s_.IFREQ == 1) {
    rebuild = m.DELT != prevDelt_ || (m.KPERIOD == 1 && m.KSTEP == 1);
  }
  if (factorisations_ == 0) rebuild = true;  // nothing to reuse yet
  prevDelt_ = m.DELT;
  m.CONVERGED = 0;
  counter_ = 0;
  if (rebuild) {
    numberEquations(m);
    for (int I = 1; I <= sys_.nup; ++I) std::fill(&sys_.U(2, I), &sys_.U(1, I) + ncoef_, 0.0f);
  }
  for (;;) {
    ++counter_;
    assemble(m, rebuild);
    if (rebuild) {
      findBandWidth(m);
      const de4::Pivot p = de4::factor(sys_);
      if (p.equation != 0) zeroPivot(m, p);
      ++factorisations_;
      rebuild = false;
    }
    de4::substitute(sys_, vector_);
    updateHeads(m, counter_);
    const int iteration = mode_ == Mode::External ? m.KOUTER : counter_;
    record(iteration);
    if (diverged_) {
      m.CONVERGED = 0;
      report(m, iteration);
      stopDiverged(m, "DE4", "HEAD CHANGE", bad_.k, bad_.i, bad_.j, iteration);
    }
    const bool closed = std::fabs(largest_.value) <= s_.HEADCLOSE;
    if (mode_ == Mode::Internal) {
      if (closed) m.CONVERGED = 1;
      if (m.CONVERGED == 0 && counter_ < inner_) continue;
      report(m, counter_);
    } else if (mode_ == Mode::External) {
      if (closed) m.CONVERGED = 1;
      if (m.CONVERGED == 1 || m.KOUTER == m.MXITER) report(m, m.KOUTER);
    } else {
      m.CONVERGED = 1;
      report(m, 1);
    }
    return;
  }
}

void De4Package::report(Model& m, int iterations) {
  if (s_.D4PRINTMODE == 2) return;
  const int lst = m.LISTUNIT;
  if (mode_ == Mode::None) {
    const Change& c = diverged_ ? bad_ : largest_;
    io::write(
        lst,
        AQX_FMT("(1X/1X,'MAXIMUM HEAD CHANGE IN TIME STEP',I3,' OF STRESS PERIOD',I3,' =',G15.5,' AT LAYER "
                "=',I3,', ROW =',I3,', COL=',I3)"),
        m.KSTEP, m.KPERIOD, c.value, c.k, c.i, c.j);
    return;
  }
  if (m.KSTEP == 1) io::write(lst, AQX_FMT("(1X)"));
  if (mode_ == Mode::Internal) {
    io::write(lst, AQX_FMT("(1X,I5,' INTERNAL ITERATIONS FOR TIME STEP',I4,' IN STRESS PERIOD',I3)"),
              iterations, m.KSTEP, m.KPERIOD);
  } else {
    io::write(lst, AQX_FMT("(1X,I5,' EXTERNAL ITERATIONS FOR TIME STEP',I4,' IN STRESS PERIOD',I3)"),
              iterations, m.KSTEP, m.KPERIOD);
  }
  if (s_.D4PRINTMODE != 0) return;
  if (m.CONVERGED == 1 && m.KSTEP != m.NSTEPS && m.KSTEP % s_.IPRINTINT != 0) return;
  io::write(lst, AQX_FMT("(1X/1X,'MAXIMUM HEAD CHANGE FOR EACH ITERATION:'/1X/1X,3('  HEAD CHANGE  "
                         "LAY,ROW,COL')/1X,79('-'))"));
  const int last = std::min(iterations, s_.D4MAXITER);
  std::vector<io::OutItem> items;
  items.reserve(4 * static_cast<std::size_t>(std::max(last, 0)));
  for (int p = 1; p <= last; ++p) {
    items.emplace_back(maxchange_[p - 1]);
    for (int t = 0; t < 3; ++t) items.emplace_back(maxcell_[3 * (p - 1) + t]);
  }
  if (!items.empty()) {
    io::writeItems(lst, AQX_FMT("(1(2X,3(2X,1P,G10.3,' (',I3,',',I3,',',I3,')')))"), items);
  }
  io::write(lst, AQX_FMT("(1X/1X)"));
}

}  // namespace aqx
