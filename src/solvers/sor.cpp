// Slice-successive overrelaxation solver.
#include "solvers/sor.hpp"

#include <algorithm>

#include "driver/allocation_report.hpp"
#include "io/record.hpp"
#include "solvers/divergence.hpp"

namespace aqx {

void SorPackage::allocate(Model& m) {
  const int in = m.unitOf(kSOR);
  const int out = m.LISTUNIT;
  io::write(
      out,
      AQX_FMT("(1X/1X,'SOR5 -- SLICE-SUCCESSIVE OVERRELAXATION SOLUTION PACKAGE'/20X,'VERSION 5, 9/1/93 "
              "INPUT READ FROM UNIT',I3)"),
      in);
  io::readFixedOrFree(in, m.FREEFMT != 0, AQX_FMT("(I10)"), s_.MXITER);
  io::write(out, AQX_FMT("(1X,I5,' ITERATIONS ALLOWED FOR SOR CLOSURE')"), s_.MXITER);
  const AllocationReport report(m);
  takeArrays(m);
  report.report(AQX_FMT("(1X,I10,' ELEMENTS IN X ARRAY ARE USED BY SOR')"));
}

void SorPackage::takeArrays(Model& m) {
  WorkArray& w = *m.work;
  m.MXITER = s_.MXITER;
  ns_ = static_cast<std::int64_t>(m.NLAYER) * m.NCOLS;
  nb_ = m.NLAYER + 1;
  slicemat_ = w.takeReal(nb_ * ns_);
  sliceres_ = w.takeReal(ns_);
  sliceeq_ = w.takeInt(ns_);
  table_.take(w, s_.MXITER);
}

void SorPackage::applyRecord2() {
  if (s_.ACCEL == 0.0f) s_.ACCEL = 1.0f;
  if (s_.IPRINTINT <= 0) s_.IPRINTINT = 999;
}

void SorPackage::configure(Model& m, const Settings& s) {
  s_ = s;
  takeArrays(m);
  applyRecord2();
}

void SorPackage::readPrepare(Model& m) {
  const int in = m.unitOf(kSOR);
  const int out = m.LISTUNIT;
  io::readFixedOrFree(in, m.FREEFMT != 0, AQX_FMT("(2F10.0,I10)"), s_.ACCEL, s_.HEADCLOSE, s_.IPRINTINT);
  applyRecord2();
  io::write(out, AQX_FMT("(1X///10X,'SOLUTION BY SLICE-SUCCESSIVE OVERRELAXATION'/10X,43('-'))"));
  io::write(out, AQX_FMT("(1X,'MAXIMUM ITERATIONS ALLOWED FOR CLOSURE =',I9)"), m.MXITER);
  io::write(out, AQX_FMT("(1X,16X,'ACCELERATION PARAMETER =',G15.5)"), s_.ACCEL);
  io::write(out, AQX_FMT("(1X,5X,'HEAD CHANGE CRITERION FOR CLOSURE =',E15.5)"), s_.HEADCLOSE);
  io::write(out, AQX_FMT("(1X,5X,'SOR HEAD CHANGE PRINTOUT INTERVAL =',I9)"), s_.IPRINTINT);
}

// Numbers the variable-head cells of row i (columns outer, layers inner) and builds their
// equations: the band of couplings inside the slice, and the full residual of each cell with the
// current heads of every neighbour. Returns the number of equations.
int SorPackage::buildSlice(const Model& m, int i) {
  const int nlay = m.NLAYER, nrow = m.NROWS, ncol = m.NCOLS;
  const std::int64_t nc = ncol;
  const std::int64_t nrc = static_cast<std::int64_t>(nrow) * ncol;
  const int nb = nb_;
  float* a = slicemat_;
  int neq = 0;
  for (int j = 1; j <= ncol; ++j) {
    for (int k = 1; k <= nlay; ++k) {
      sliceeq_[(j - 1) * nlay + (k - 1)] = m.IBOUND[m.cell(k, i, j)] > 0 ? ++neq : 0;
    }
  }
  // Only the band of the slice's own equations is used.
  std::fill(a, a + static_cast<std::int64_t>(nb) * neq, 0.0f);
  const double* h = m.HEADNEW;
  for (int j = 1; j <= ncol; ++j) {
    for (int k = 1; k <= nlay; ++k) {
      const int e = sliceeq_[(j - 1) * nlay + (k - 1)];
      if (e == 0) continue;
      const std::int64_t n = m.cell(k, i, j);
      double d = 0.0;
      double r = m.RHS[n];
      auto neighbour = [&](float c, std::int64_t nn) {
        r -= static_cast<double>(c) * h[nn];
        d -= c;
      };
      float* row = a + static_cast<std::int64_t>(e - 1) * nb;
      if (j > 1) neighbour(m.CONDR[n - 1], n - 1);
      if (j < ncol) {
        neighbour(m.CONDR[n], n + 1);
        const int en = sliceeq_[j * nlay + (k - 1)];
        if (en != 0) row[en - e] = m.CONDR[n];
      }
      if (i > 1) neighbour(m.CONDC[n - nc], n - nc);
      if (i < nrow) neighbour(m.CONDC[n], n + nc);
      if (k > 1) neighbour(m.CONDV[n - nrc], n - nrc);
      if (k < nlay) {
        neighbour(m.CONDV[n], n + nrc);
        const int en = sliceeq_[(j - 1) * nlay + k];
        if (en != 0) row[en - e] = m.CONDV[n];
      }
      d += m.HCOEF[n];
      row[0] = static_cast<float>(d);
      sliceres_[e - 1] = static_cast<float>(r - d * h[n]);
    }
  }
  return neq;
}

// Solves the n equations of the slice in place, single precision, without pivoting: the matrix
// is symmetric and only its upper band is stored (NB entries per equation, diagonal first).
void SorPackage::solveSlice(const Model& m, int i, int n) {
  const int nb = nb_;
  float* a = slicemat_;
  float* b = sliceres_;
  auto at = [&](int e, int pos) -> float& { return a[static_cast<std::int64_t>(e - 1) * nb + (pos - 1)]; };
  for (int e = 1; e <= n - 1; ++e) {
    if (at(e, 1) == 0.0f) zeroPivot(m, i, e);
    const float f = 1.0f / at(e, 1);
    for (int d = 1; d <= nb - 1 && e + d <= n; ++d) {
      const float g = f * at(e, d + 1);
      for (int t = d; t <= nb - 1; ++t) at(e + d, t - d + 1) -= g * at(e, t + 1);
      b[e + d - 1] -= g * b[e - 1];
    }
  }
  if (at(n, 1) == 0.0f) zeroPivot(m, i, n);
  b[n - 1] = b[n - 1] / at(n, 1);
  for (int e = n - 1; e >= 1; --e) {
    float sum = 0.0f;
    const int last = std::min(nb - 1, n - e);
    for (int d = 1; d <= last; ++d) sum += at(e, d + 1) * b[e + d - 1];
    b[e - 1] = (b[e - 1] - sum) / at(e, 1);
  }
}

// A single layer: every slice is tridiagonal (band width 2), and the elimination of each
// equation needs only the one before it. Building and eliminating therefore run in one pass along
// the row, the building of a cell overlapping the chain of pivots; every value is computed by the
// same operations, in the same order, as buildSlice followed by solveSlice, and the slice arrays
// end with the same contents.
int SorPackage::buildAndEliminateRow(const Model& m, int i) {
  const int nrow = m.NROWS, ncol = m.NCOLS;
  const std::int64_t nc = ncol;
  const std::int64_t n0 = nc * (i - 1);
  const int* ib = m.IBOUND + n0;
  const float* cr = m.CONDR + n0;
  const float* cn = i > 1 ? m.CONDC + n0 - nc : nullptr;  // toward row i - 1
  const float* cs = i < nrow ? m.CONDC + n0 : nullptr;    // toward row i + 1
  const float* hc = m.HCOEF + n0;
  const float* rhs = m.RHS + n0;
  const double* h = m.HEADNEW + n0;
  float* a = slicemat_;
  float* b = sliceres_;
  int* eqs = sliceeq_;
  int e = 0;
  float prevDiag = 0.0f, prevC = 0.0f, prevB = 0.0f;
  for (int jj = 0; jj < ncol; ++jj) {
    if (ib[jj] <= 0) {
      eqs[jj] = 0;
      continue;
    }
    double d = 0.0;
    double r = rhs[jj];
    if (jj > 0) {
      r -= static_cast<double>(cr[jj - 1]) * h[jj - 1];
      d -= cr[jj - 1];
    }
    float c = 0.0f;
    if (jj < ncol - 1) {
      r -= static_cast<double>(cr[jj]) * h[jj + 1];
      d -= cr[jj];
      if (ib[jj + 1] > 0) c = cr[jj];
    }
    if (cn) {
      r -= static_cast<double>(cn[jj]) * h[jj - nc];
      d -= cn[jj];
    }
    if (cs) {
      r -= static_cast<double>(cs[jj]) * h[jj + nc];
      d -= cs[jj];
    }
    d += hc[jj];
    float diag = static_cast<float>(d);
    float res = static_cast<float>(r - d * h[jj]);
    if (e > 0) {
      // Elimination step of the equation before: its pivot is final.
      if (prevDiag == 0.0f) zeroPivot(m, i, e);
      const float f = 1.0f / prevDiag;
      const float g = f * prevC;
      diag -= g * prevC;
      res -= g * prevB;
    }
    ++e;
    a[2 * (e - 1)] = diag;
    a[2 * (e - 1) + 1] = c;
    b[e - 1] = res;
    eqs[jj] = e;
    prevDiag = diag;
    prevC = c;
    prevB = res;
  }
  return e;
}

// Back substitution of a tridiagonal slice of n >= 1 equations, as in solveSlice.
void SorPackage::backSubstituteRow(const Model& m, int i, int n) {
  const float* a = slicemat_;
  float* b = sliceres_;
  if (a[2 * (n - 1)] == 0.0f) zeroPivot(m, i, n);
  b[n - 1] = b[n - 1] / a[2 * (n - 1)];
  for (int e = n - 1; e >= 1; --e) {
    float sum = 0.0f;
    sum += a[2 * (e - 1) + 1] * b[e];
    b[e - 1] = (b[e - 1] - sum) / a[2 * (e - 1)];
  }
}

void SorPackage::zeroPivot(const Model& m, int i, int e) const {
  // The cell of equation e: its position in the slice numbering.
  int k = 0, j = 0;
  for (std::int64_t p = 0; p < ns_; ++p) {
    if (sliceeq_[p] == e) {
      j = static_cast<int>(p / m.NLAYER) + 1;
      k = static_cast<int>(p % m.NLAYER) + 1;
      break;
    }
  }
  io::write(
      m.LISTUNIT,
      AQX_FMT("(1X/1X,'DIVIDE BY 0 IN SOR AT LAYER',I3,',  ROW',I4,',  COLUMN',I4/1X,'THIS CAN OCCUR WHEN "
              "A CELL HAS NO CONDUCTANCE TO ANY OTHER CELL'/1X,'AND NO HEAD-DEPENDENT TERM.  CHECK FOR THIS "
              "SITUATION AT THE INDICATED CELL.')"),
      k, i, j);
  io::stopRun();
}

void SorPackage::solve(Model& m) {
  const int nlay = m.NLAYER;
  const float accel = s_.ACCEL;
  LargestChange big;
  for (int i = 1; i <= m.NROWS; ++i) {
    int n = 0;
    if (nlay == 1) {
      n = buildAndEliminateRow(m, i);
      if (n == 0) continue;
      backSubstituteRow(m, i, n);
    } else {
      n = buildSlice(m, i);
      if (n == 0) continue;
      if (n == 1) {
        if (slicemat_[0] == 0.0f) zeroPivot(m, i, 1);
        sliceres_[0] = sliceres_[0] / slicemat_[0];
      } else {
        solveSlice(m, i, n);
      }
    }
    for (int j = 1; j <= m.NCOLS; ++j) {
      for (int k = 1; k <= nlay; ++k) {
        const int e = sliceeq_[(j - 1) * nlay + (k - 1)];
        if (e == 0) continue;
        const float change = sliceres_[e - 1] * accel;
        const std::int64_t c = m.cell(k, i, j);
        m.HEADNEW[c] = m.HEADNEW[c] + static_cast<double>(change);
        big.offer(change, k, i, j);
      }
    }
    if (big.nonFinite) {
      // The solution has diverged: the step ends here as one that did not converge, and the run
      // stops before any head of it is written.
      table_.record(m.KOUTER, big);
      m.CONVERGED = 0;
      table_.endOfStep(m, s_.IPRINTINT);
      stopDiverged(m, "SOR", "HEAD CHANGE", big.badK, big.badI, big.badJ, m.KOUTER);
    }
  }
  table_.record(m.KOUTER, big);
  m.CONVERGED = big.abs <= s_.HEADCLOSE ? 1 : 0;
  if (m.CONVERGED == 1 || m.KOUTER == m.MXITER) table_.endOfStep(m, s_.IPRINTINT);
}

AQX_REGISTER_PACKAGE("SOR", SorPackage)

}  // namespace aqx
