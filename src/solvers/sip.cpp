// Strongly implicit procedure solver.
#include "solvers/sip.hpp"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <span>

#include "driver/allocation_report.hpp"
#include "io/record.hpp"
#include "solvers/divergence.hpp"

namespace aqx {

namespace sip {

void parametersFromSeed(float seed, int n, float* wparm) {
  for (int i = 1; i <= n; ++i) {
    // With a single parameter the exponent is taken as 0: the parameter is 0, as the first one
    // always is.
    const float e = n > 1 ? static_cast<float>(i - 1) / static_cast<float>(n - 1) : 0.0f;
    wparm[i - 1] = 1.0f - std::pow(seed, e);
  }
}

void modelSeeds(const Model& m, float& average, float& least) {
  const int nlay = m.NLAYER, nrow = m.NROWS, ncol = m.NCOLS;
  const std::int64_t nrc = static_cast<std::int64_t>(nrow) * ncol;
  const float pisq = 9.869604f;
  const float pc = pisq / (2.0f * static_cast<float>(ncol) * static_cast<float>(ncol));
  const float pr = pisq / (2.0f * static_cast<float>(nrow) * static_cast<float>(nrow));
  const float pl = pisq / (2.0f * static_cast<float>(nlay) * static_cast<float>(nlay));
  least = 1.0f;
  double sum = 0.0;
  std::int64_t count = 0;
  for (int k = 1; k <= nlay; ++k) {
    for (int i = 1; i <= nrow; ++i) {
      for (int j = 1; j <= ncol; ++j) {
        const std::int64_t n = m.cell(k, i, j);
        if (m.IBOUND[n] <= 0) continue;
        // The seed is a measure of how conductances compare, so their sizes are taken: a small
        // negative conductance (a transient bed's cross term over short steps) would otherwise
        // give a negative seed and parameters that are not numbers.
        auto pair = [](float a, float b, float& mx, float& mn) {
          a = std::fabs(a);
          b = std::fabs(b);
          mx = std::max(a, b);
          mn = std::min(a, b);
          if (mn == 0.0f) mn = mx;
        };
        float cmax, cmin, rmax, rmin, lmax, lmin;
        pair(j > 1 ? m.CONDR[n - 1] : 0.0f, j < ncol ? m.CONDR[n] : 0.0f, cmax, cmin);
        pair(i > 1 ? m.CONDC[n - ncol] : 0.0f, i < nrow ? m.CONDC[n] : 0.0f, rmax, rmin);
        pair(k > 1 ? m.CONDV[n - nrc] : 0.0f, k < nlay ? m.CONDV[n] : 0.0f, lmax, lmin);
        const float wcol = cmin == 0.0f ? 1.0f : pc / ((lmax + rmax) / cmin + 1.0f);
        const float wrow = rmin == 0.0f ? 1.0f : pr / ((lmax + cmax) / rmin + 1.0f);
        const float wlay = lmin == 0.0f ? 1.0f : pl / ((rmax + cmax) / lmin + 1.0f);
        const float seed = std::min({wcol, wrow, wlay});
        least = std::min(least, seed);
        sum += seed;
        ++count;
      }
    }
  }
  average = count > 0 ? static_cast<float>(sum / static_cast<double>(count)) : 1.0f;
}

}  // namespace sip

namespace {

[[noreturn]] void zeroPivot(int listunit, int k, int i, int j) {
  io::write(
      listunit,
      AQX_FMT(
          "(1X/1X,'DIVIDE BY 0 IN SIP AT LAYER',I3,',  ROW',I4,',  COLUMN',I4/1X,'THIS CAN OCCUR WHEN A "
          "CELL IS CONNECTED TO THE REST OF'/1X,'THE MODEL THROUGH A SINGLE CONDUCTANCE BRANCH.  CHECK'/1X,"
          "'FOR THIS SITUATION AT THE INDICATED CELL.')"),
      k, i, j);
  io::stopRun();
}

// What one sweep needs from the model.
struct SweepData {
  const int* IBOUND;
  const float* CONDR;
  const float* CONDC;
  const float* CONDV;
  const float* HCOEF;
  const float* RHS;
  double* HNEW;
  float* FE;
  float* FF;
  float* FG;
  float* V;
  std::int64_t zOff;  // offset to the back layer neighbour
  std::int64_t bOff;  // offset to the back row neighbour
  int ncol;
  double w, accel;
};

// One row of cells in the sweep: its position, the conductances toward its back and front rows
// and layers (nullptr outside the grid), and what the next cell needs from its back column
// neighbour.
struct Row {
  std::int64_t first;  // index of the row's first cell
  int k, i;
  const float* cz;
  const float* cs;
  const float* cb;
  const float* ch;
  double fed, ffd, fgd, vd;  // forward: factors and result of the back column neighbour
  double vf;                 // backward: result of the front column neighbour
  int zeroPivotColumn;       // first column (0-based) with a zero pivot, or -1
  LargestChange big;         // backward: the row's largest change, first of equals in visiting order
};

// Two doubles in one vector register.
using Pair = double __attribute__((vector_size(16)));

template <bool Layers>
inline void forwardCell(const SweepData& d, Row& r, int jj) {
  const std::int64_t n = r.first + jj;
  if (d.IBOUND[n] <= 0) {
    d.FE[n] = d.FF[n] = d.FG[n] = d.V[n] = 0.0f;
    r.fed = r.ffd = r.fgd = r.vd = 0.0;
    return;
  }
  const double* HNEW = d.HNEW;
  double Z = 0.0, fez = 0.0, ffz = 0.0, fgz = 0.0, vz = 0.0, hz = 0.0;
  if (Layers && r.cz) {
    const std::int64_t nz = n + d.zOff;
    Z = r.cz[jj];
    fez = d.FE[nz];
    ffz = d.FF[nz];
    fgz = d.FG[nz];
    vz = d.V[nz];
    hz = HNEW[nz];
  }
  double B = 0.0, feb = 0.0, ffb = 0.0, fgb = 0.0, vb = 0.0, hb = 0.0;
  if (r.cb) {
    const std::int64_t nb = n + d.bOff;
    B = r.cb[jj];
    feb = d.FE[nb];
    ffb = d.FF[nb];
    fgb = d.FG[nb];
    vb = d.V[nb];
    hb = HNEW[nb];
  }
  double D = 0.0, hd = 0.0;
  if (jj > 0) {
    D = d.CONDR[n - 1];
    hd = HNEW[n - 1];
  }
  double F = 0.0, hf = 0.0;
  if (jj < d.ncol - 1) {
    F = d.CONDR[n];
    hf = HNEW[n + 1];
  }
  double H = 0.0, hh = 0.0;
  if (r.ch) {
    H = r.ch[jj];
    hh = HNEW[n - d.bOff];
  }
  double S = 0.0, hs = 0.0;
  if (Layers && r.cs) {
    S = r.cs[jj];
    hs = HNEW[n - d.zOff];
  }
  const double w = d.w;
  const double fed = r.fed, ffd = r.ffd, fgd = r.fgd, vd = r.vd;
  const double E = -(Z + B + D + F + H + S);
  const double sz = fez + ffz;
  const double sb = feb + fgb;
  const double sd = ffd + fgd;
  // A missing or zero conductance contributes nothing: its division is skipped.
  const double alpha = Z != 0.0 ? Z / (1.0 + w * sz) : 0.0;
  const double beta = B != 0.0 ? B / (1.0 + w * sb) : 0.0;
  const double gamma = D != 0.0 ? D / (1.0 + w * sd) : 0.0;
  const double hc = d.HCOEF[n];
  const double pivot =
      E + hc + w * (alpha * sz + beta * sb + gamma * sd) - alpha * fgz - beta * ffb - gamma * fed;
  if (pivot == 0.0 && r.zeroPivotColumn < 0) r.zeroPivotColumn = jj;
  const double res = d.RHS[n] - Z * hz - B * hb - D * hd - F * hf - H * hh - S * hs - (E + hc) * HNEW[n];
  // The four divisions by the pivot, two at a time: each lane is the same correctly rounded
  // division as alone, and the divider takes a pair in about the time of one.
  const Pair q1 = Pair{F - w * (beta * feb + alpha * fez), H - w * (gamma * ffd + alpha * ffz)} / pivot;
  const Pair q2 =
      Pair{S - w * (beta * fgb + gamma * fgd), d.accel * res - alpha * vz - beta * vb - gamma * vd} / pivot;
  const float fe = static_cast<float>(q1[0]);
  const float ff = static_cast<float>(q1[1]);
  const float fg = static_cast<float>(q2[0]);
  const float v = static_cast<float>(q2[1]);
  d.FE[n] = fe;
  d.FF[n] = ff;
  d.FG[n] = fg;
  d.V[n] = v;
  r.fed = fe;
  r.ffd = ff;
  r.fgd = fg;
  r.vd = v;
}

template <bool Layers>
inline void backwardCell(const SweepData& d, Row& r, int jj) {
  const std::int64_t n = r.first + jj;
  if (d.IBOUND[n] <= 0) {
    r.vf = 0.0;
    return;
  }
  double x = d.V[n];
  x = x - d.FE[n] * r.vf;
  if (r.ch) x = x - d.FF[n] * static_cast<double>(d.V[n - d.bOff]);
  if (Layers && r.cs) x = x - d.FG[n] * static_cast<double>(d.V[n - d.zOff]);
  const float change = static_cast<float>(x);
  d.V[n] = change;
  r.vf = change;
  r.big.offer(change, r.k, r.i, jj + 1);
  d.HNEW[n] = d.HNEW[n] + static_cast<double>(change);
}

// L consecutive rows of the sweep at once, each one column behind the row before it: a cell's
// back row neighbour is then always done, and the L independent chains of column recurrences
// overlap in the processor. Every cell sees exactly the values it would see one row at a time.
// The rows are copied into locals that nothing else can point to, so that their state stays in
// registers across the stores into the factor arrays.
template <int L, bool Layers>
void forwardRows(const SweepData& d, Row* rows) {
  const int ncol = d.ncol;
  Row r[L];
  for (int l = 0; l < L; ++l) r[l] = rows[l];
  for (int t = 0; t < ncol + L - 1; ++t) {
#pragma GCC unroll 8
    for (int l = 0; l < L; ++l) {
      const int jj = t - l;
      if (jj >= 0 && jj < ncol) forwardCell<Layers>(d, r[l], jj);
    }
  }
  for (int l = 0; l < L; ++l) rows[l] = r[l];
}

template <int L, bool Layers>
void backwardRows(const SweepData& d, Row* rows) {
  const int ncol = d.ncol;
  Row r[L];
  for (int l = 0; l < L; ++l) r[l] = rows[l];
  for (int t = 0; t < ncol + L - 1; ++t) {
#pragma GCC unroll 8
    for (int l = 0; l < L; ++l) {
      const int jj = ncol - 1 - (t - l);
      if (jj >= 0 && jj < ncol) backwardCell<Layers>(d, r[l], jj);
    }
  }
  for (int l = 0; l < L; ++l) rows[l] = r[l];
}

// One factorization and substitution. In odd iterations (Odd true) layers and rows run forward;
// in even ones backward; columns always run forward. "Back" neighbours are those visited just
// before a cell along each direction, "front" those visited after it.
template <bool Odd, bool Layers, int kLanes>
void sweep(const Model& m, double w, double accel, float* FE, float* FF, float* FG, float* V,
           LargestChange& big) {
  const int nlay = m.NLAYER, nrow = m.NROWS, ncol = m.NCOLS;
  const std::int64_t nc = ncol;
  const std::int64_t nrc = static_cast<std::int64_t>(nrow) * ncol;
  const SweepData d{m.IBOUND, m.CONDR, m.CONDC, m.CONDV,          m.HCOEF,        m.RHS, m.HEADNEW, FE,
                    FF,       FG,      V,       Odd ? -nrc : nrc, Odd ? -nc : nc, ncol,  w,         accel};

  // The row that comes `pos`-th (0-based) in the sweep within layer k.
  auto makeRow = [&](int k, int pos) {
    Row r{};
    r.k = k;
    r.i = Odd ? pos + 1 : nrow - pos;
    const bool hasZ = Odd ? k > 1 : k < nlay;
    const bool hasS = Odd ? k < nlay : k > 1;
    const bool hasB = Odd ? r.i > 1 : r.i < nrow;
    const bool hasH = Odd ? r.i < nrow : r.i > 1;
    r.first = nrc * (k - 1) + nc * (r.i - 1);
    r.cz = hasZ ? m.CONDV + (Odd ? r.first - nrc : r.first) : nullptr;
    r.cs = hasS ? m.CONDV + (Odd ? r.first : r.first - nrc) : nullptr;
    r.cb = hasB ? m.CONDC + (Odd ? r.first - nc : r.first) : nullptr;
    r.ch = hasH ? m.CONDC + (Odd ? r.first : r.first - nc) : nullptr;
    r.zeroPivotColumn = -1;
    return r;
  };

  // Forward pass.
  for (int kk = 0; kk < nlay; ++kk) {
    const int k = Odd ? kk + 1 : nlay - kk;
    for (int pos = 0; pos < nrow; pos += kLanes) {
      const int lanes = std::min(kLanes, nrow - pos);
      Row rows[kLanes];
      for (int l = 0; l < lanes; ++l) rows[l] = makeRow(k, pos + l);
      if (lanes == kLanes) {
        forwardRows<kLanes, Layers>(d, rows);
      } else {
        for (int l = 0; l < lanes; ++l) forwardRows<1, Layers>(d, &rows[l]);
      }
      for (int l = 0; l < lanes; ++l) {
        if (rows[l].zeroPivotColumn >= 0) zeroPivot(m.LISTUNIT, k, rows[l].i, rows[l].zeroPivotColumn + 1);
      }
    }
  }

  // Backward pass, in exactly the reverse order.
  for (int kk = nlay - 1; kk >= 0; --kk) {
    const int k = Odd ? kk + 1 : nlay - kk;
    for (int end = nrow; end > 0; end -= kLanes) {
      const int lanes = std::min(kLanes, end);
      Row rows[kLanes];
      for (int l = 0; l < lanes; ++l) rows[l] = makeRow(k, end - 1 - l);
      if (lanes == kLanes) {
        backwardRows<kLanes, Layers>(d, rows);
      } else {
        for (int l = 0; l < lanes; ++l) backwardRows<1, Layers>(d, &rows[l]);
      }
      for (int l = 0; l < lanes; ++l) {
        big.merge(rows[l].big);
      }
    }
  }
}

}  // namespace

void SipPackage::allocate(Model& m) {
  const int in = m.unitOf(kSIP);
  const int out = m.LISTUNIT;
  io::write(
      out,
      AQX_FMT("(1X/1X,'SIP5 -- STRONGLY IMPLICIT PROCEDURE SOLUTION PACKAGE'/20X,'VERSION 5, 9/1/93',' INPUT "
              "READ FROM UNIT',I3)"),
      in);
  io::readFixedOrFree(in, m.FREEFMT != 0, AQX_FMT("(2I10)"), s_.MXITER, s_.NITPARM);
  io::write(out,
            AQX_FMT("(1X,'MAXIMUM OF',I4,' ITERATIONS ALLOWED FOR CLOSURE'/1X,I2,' ITERATION PARAMETERS')"),
            s_.MXITER, s_.NITPARM);
  if (s_.NITPARM < 1) {
    // The parameters are used in turn, so there must be at least one.
    io::write(out, AQX_FMT("(1X,'THE NUMBER OF ITERATION PARAMETERS MUST BE AT LEAST 1')"));
    io::stopRun();
  }
  const AllocationReport report(m);
  takeArrays(m);
  report.report(AQX_FMT("(1X,I10,' ELEMENTS IN X ARRAY ARE USED BY SIP')"));
}

void SipPackage::takeArrays(Model& m) {
  WorkArray& w = *m.work;
  m.MXITER = s_.MXITER;
  facte_ = w.takeReal(m.NCELLS);
  factf_ = w.takeReal(m.NCELLS);
  factg_ = w.takeReal(m.NCELLS);
  sipwork_ = w.takeReal(m.NCELLS);
  table_.take(w, s_.MXITER);
  wparm_ = w.takeReal(s_.NITPARM);
}

void SipPackage::applyRecord2() {
  if (s_.ACCEL == 0.0f) s_.ACCEL = 1.0f;
  if (s_.IPRINTINT < 1) s_.IPRINTINT = 999;
}

void SipPackage::configure(Model& m, const Settings& s) {
  s_ = s;
  takeArrays(m);
  applyRecord2();
  if (s_.ICALCSEED == 0) sip::parametersFromSeed(s_.WSEED, s_.NITPARM, wparm_);
}

void SipPackage::readPrepare(Model& m) {
  const int in = m.unitOf(kSIP);
  const int out = m.LISTUNIT;
  io::readFixedOrFree(in, m.FREEFMT != 0, AQX_FMT("(2F10.0,I10,F10.0,I10)"), s_.ACCEL, s_.HEADCLOSE,
                      s_.ICALCSEED, s_.WSEED, s_.IPRINTINT);
  applyRecord2();
  io::write(out, AQX_FMT("(1X///10X,'SOLUTION BY THE STRONGLY IMPLICIT PROCEDURE'/10X,43('-'))"));
  io::write(out, AQX_FMT("(1X,'MAXIMUM ITERATIONS ALLOWED FOR CLOSURE =',I9)"), m.MXITER);
  io::write(out, AQX_FMT("(1X,16X,'ACCELERATION PARAMETER =',G15.5)"), s_.ACCEL);
  io::write(out, AQX_FMT("(1X,5X,'HEAD CHANGE CRITERION FOR CLOSURE =',E15.5)"), s_.HEADCLOSE);
  io::write(out, AQX_FMT("(1X,5X,'SIP HEAD CHANGE PRINTOUT INTERVAL =',I9)"), s_.IPRINTINT);
  if (s_.ICALCSEED != 0) {
    io::write(out, AQX_FMT("(1X/5X,'CALCULATE ITERATION PARAMETERS FROM MODEL',' CALCULATED WSEED')"));
  } else {
    sip::parametersFromSeed(s_.WSEED, s_.NITPARM, wparm_);
    io::write(
        out,
        AQX_FMT("(1X/1X,I5,' ITERATION PARAMETERS CALCULATED FROM',' SPECIFIED WSEED =',F11.8,' :'//1(1X,"
                "5E13.6))"),
        s_.NITPARM, s_.WSEED, std::span<const float>(wparm_, static_cast<std::size_t>(s_.NITPARM)));
  }
}

void SipPackage::computeSeed(Model& m) {
  float average = 1.0f, least = 1.0f;
  sip::modelSeeds(m, average, least);
  io::write(m.LISTUNIT, AQX_FMT("(1X/1X,'AVERAGE SEED =',F11.8/1X,'MINIMUM SEED =',F11.8)"), average, least);
  sip::parametersFromSeed(average, s_.NITPARM, wparm_);
  io::write(m.LISTUNIT,
            AQX_FMT("(1X/1X,I5,' ITERATION PARAMETERS CALCULATED FROM',' AVERAGE SEED:'//1(1X,5E13.6))"),
            s_.NITPARM, std::span<const float>(wparm_, static_cast<std::size_t>(s_.NITPARM)));
}

void SipPackage::solve(Model& m) {
  if (s_.ICALCSEED != 0) {
    computeSeed(m);
    s_.ICALCSEED = 0;
  }
  const int kouter = m.KOUTER;
  const double w = wparm_[(kouter - 1) % s_.NITPARM];
  const double accel = s_.ACCEL;
  LargestChange big;
  // Rows swept together: four in a single layer; two when every cell also reads the layer before
  // it, where more rows at once means more streams of memory than the caches follow well
  // (measured with bench/sip_bench).
#ifndef AQX_SIP_LAYERED_LANES
#define AQX_SIP_LAYERED_LANES 2
#endif
  constexpr int kLayeredLanes = AQX_SIP_LAYERED_LANES;
  const bool odd = kouter % 2 == 1;
  if (m.NLAYER > 1) {
    if (odd) {
      sweep<true, true, kLayeredLanes>(m, w, accel, facte_, factf_, factg_, sipwork_, big);
    } else {
      sweep<false, true, kLayeredLanes>(m, w, accel, facte_, factf_, factg_, sipwork_, big);
    }
  } else if (odd) {
    sweep<true, false, 4>(m, w, accel, facte_, factf_, factg_, sipwork_, big);
  } else {
    sweep<false, false, 4>(m, w, accel, facte_, factf_, factg_, sipwork_, big);
  }
  table_.record(kouter, big);
  if (big.nonFinite) {
    // The solution has diverged: the step ends here as one that did not converge, and the run
    // stops before any head of it is written.
    m.CONVERGED = 0;
    table_.endOfStep(m, s_.IPRINTINT);
    stopDiverged(m, "SIP", "HEAD CHANGE", big.badK, big.badI, big.badJ, kouter);
  }
  m.CONVERGED = big.abs <= s_.HEADCLOSE ? 1 : 0;
  if (m.CONVERGED == 1 || kouter == m.MXITER) table_.endOfStep(m, s_.IPRINTINT);
}

AQX_REGISTER_PACKAGE("SIP", SipPackage)

}  // namespace aqx
