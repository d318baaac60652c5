// The kernels of PCG2: the steps of one solve call that run over the whole grid.
#include "solvers/pcg2_kernels.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <utility>

#include "io/record.hpp"
#include "solvers/pcg2.hpp"

namespace aqx {

using pcg2::Lrc;
using pcg2::lrcOf;

// ---------------------------------------------------------------------------------------------
// Solve

// Step 1: faces of inactive cells lose their conductance; active cells without any conductance
// become inactive; every active cell gets the residual of the current heads in RHS; with the
// polynomial preconditioner HCOEF becomes the full diagonal.
void Pcg2Package::cleanupAndResidual(Model& m) {
  const int nc = m.NCOLS, nr = m.NROWS, nl = m.NLAYER;
  const std::int64_t nrc = static_cast<std::int64_t>(nc) * nr;
  int* ib = m.IBOUND;
  float *cr = m.CONDR, *cc = m.CONDC, *cv = m.CONDV, *hc = m.HCOEF, *rhs = m.RHS;
  const double* h = m.HEADNEW;
  const bool fullDiag = s_.IPRECOND == 2;
  std::int64_t n = 0;
  for (int k = 1; k <= nl; ++k) {
    for (int i = 1; i <= nr; ++i) {
      for (int j = 1; j <= nc; ++j, ++n) {
        if (ib[n] == 0) {
          cr[n] = 0.0f;
          cc[n] = 0.0f;
          if (k < nl) cv[n] = 0.0f;  // the bottom layer has no CONDV
          if (j > 1) cr[n - 1] = 0.0f;
          if (i > 1) cc[n - nc] = 0.0f;
          if (k > 1) cv[n - nrc] = 0.0f;
          hc[n] = 0.0f;
          rhs[n] = 0.0f;
          continue;
        }
        if (i == nr) cc[n] = 0.0f;
        if (j == nc) cr[n] = 0.0f;
        const float e = j < nc ? cr[n] : 0.0f;
        const float w = j > 1 ? cr[n - 1] : 0.0f;
        const float s = i < nr ? cc[n] : 0.0f;
        const float no = i > 1 ? cc[n - nc] : 0.0f;
        const float b = k < nl ? cv[n] : 0.0f;
        const float a = k > 1 ? cv[n - nrc] : 0.0f;
        const float sum = e + w + s + no + b + a;
        if (sum == 0.0f) {
          ib[n] = 0;
          hc[n] = 0.0f;
          rhs[n] = 0.0f;
          continue;
        }
        const double hn = h[n];
        double flow = 0.0;
        if (j < nc) flow += e * (h[n + 1] - hn);
        if (j > 1) flow += w * (h[n - 1] - hn);
        if (i < nr) flow += s * (h[n + nc] - hn);
        if (i > 1) flow += no * (h[n - nc] - hn);
        if (k < nl) flow += b * (h[n + nrc] - hn);
        if (k > 1) flow += a * (h[n - nrc] - hn);
        rhs[n] = static_cast<float>(rhs[n] - flow - hc[n] * hn);
        if (fullDiag) hc[n] = hc[n] - sum;
        if (ib[n] < 0) rhs[n] = 0.0f;
      }
    }
  }
}

// Step 2 (down) and step 6 (up) of the polynomial preconditioner: the symmetric scaling by the
// square roots of the negated full diagonal, and its undoing.
void Pcg2Package::scale(Model& m, bool down) {
  const int nc = m.NCOLS, nr = m.NROWS, nl = m.NLAYER;
  const std::int64_t nrc = static_cast<std::int64_t>(nc) * nr;
  const int* ib = m.IBOUND;
  float *cr = m.CONDR, *cc = m.CONDC, *cv = m.CONDV, *rhs = m.RHS;
  const float* hc = m.HCOEF;
  double* h = m.HEADNEW;
  // A cell whose full diagonal is not negative has no real square root: the matrix cannot be
  // scaled, so the run stops naming the cell instead of producing NaNs.
  auto root = [&](std::int64_t c) -> float {
    if (!(hc[c] < 0.0f)) {
      const Lrc at = lrcOf(m, c);
      io::write(m.LISTUNIT,
                AQX_FMT("(/' MATRIX DIAGONAL IS NOT NEGATIVE AT LAYER',I4,', ROW',I5,', COLUMN',I5,'.'/' THE "
                        "MATRIX CANNOT BE SCALED.  CHECK INPUT FILES.  STOP EXECUTION')"),
                at.k, at.i, at.j);
      io::stopRun();
    }
    return std::sqrt(-hc[c]);
  };
  std::int64_t n = 0;
  for (int k = 1; k <= nl; ++k) {
    for (int i = 1; i <= nr; ++i) {
      for (int j = 1; j <= nc; ++j, ++n) {
        if (ib[n] == 0) continue;
        const float s = root(n);
        if (i < nr && cc[n] > 0.0f) {
          const float f = s * root(n + nc);
          cc[n] = down ? cc[n] / f : cc[n] * f;
        }
        if (j < nc && cr[n] > 0.0f) {
          const float f = s * root(n + 1);
          cr[n] = down ? cr[n] / f : cr[n] * f;
        }
        if (k < nl && cv[n] > 0.0f) {
          const float f = s * root(n + nrc);
          cv[n] = down ? cv[n] / f : cv[n] * f;
        }
        if (down) {
          h[n] = s * h[n];
          rhs[n] = rhs[n] / s;
        } else {
          h[n] = h[n] / s;
        }
      }
    }
  }
}

// Step 3: B of the polynomial, 2 or the largest absolute row sum of the scaled matrix.
void Pcg2Package::computePolyb(Model& m) {
  if (s_.IPOLYB == 2) {
    polyb_ = 2.0f;
    return;
  }
  const int nc = m.NCOLS, nr = m.NROWS, nl = m.NLAYER;
  const std::int64_t nrc = static_cast<std::int64_t>(nc) * nr;
  const int* ib = m.IBOUND;
  const float *cr = m.CONDR, *cc = m.CONDC, *cv = m.CONDV;
  float best = 0.0f;
  std::int64_t n = 0;
  for (int k = 1; k <= nl; ++k) {
    for (int i = 1; i <= nr; ++i) {
      for (int j = 1; j <= nc; ++j, ++n) {
        if (ib[n] <= 0) continue;
        float sum = 1.0f;
        if (j < nc) sum += std::fabs(cr[n]);
        if (j > 1) sum += std::fabs(cr[n - 1]);
        if (i < nr) sum += std::fabs(cc[n]);
        if (i > 1) sum += std::fabs(cc[n - nc]);
        if (k < nl) sum += std::fabs(cv[n]);
        if (k > 1) sum += std::fabs(cv[n - nrc]);
        best = std::max(best, sum);
      }
    }
  }
  polyb_ = best;
}

// Forward pass of the incomplete Cholesky solve, computing the pivots as it goes (first inner
// iteration of a call). A vanishing pivot or one whose sign differs from the first nonzero pivot
// shifts the diagonal by a growing fraction and restarts; beyond half the diagonal the matrix is
// too far from diagonal dominance to go on.
void Pcg2Package::forwardWithPivots(Model& m) {
  const int nc = m.NCOLS, nr = m.NROWS, nl = m.NLAYER;
  const std::int64_t nrc = static_cast<std::int64_t>(nc) * nr;
  const int* ib = m.IBOUND;
  const float *cr = m.CONDR, *cc = m.CONDC, *cv = m.CONDV, *hc = m.HCOEF, *rhs = m.RHS;
  float *w = v_, *d = d_;
  const float relax = s_.RELAXFAC;
  double delta = 0.0;
  float sign = 0.0f;
restart:
  std::int64_t n = 0;
  for (int k = 1; k <= nl; ++k) {
    for (int i = 1; i <= nr; ++i) {
      for (int j = 1; j <= nc; ++j, ++n) {
        if (ib[n] <= 0) continue;
        const float cW = j > 1 ? cr[n - 1] : 0.0f, dW = j > 1 ? d[n - 1] : 0.0f;
        const float cN = i > 1 ? cc[n - nc] : 0.0f, dN = i > 1 ? d[n - nc] : 0.0f;
        const float cA = k > 1 ? cv[n - nrc] : 0.0f, dA = k > 1 ? d[n - nrc] : 0.0f;
        float wn = rhs[n];
        if (dA != 0.0f) wn -= cA * w[n - nrc] / dA;
        if (dN != 0.0f) wn -= cN * w[n - nc] / dN;
        if (dW != 0.0f) wn -= cW * w[n - 1] / dW;
        w[n] = wn;
        const float sum6 =
            (j < nc ? cr[n] : 0.0f) + cW + (i < nr ? cc[n] : 0.0f) + cN + (k < nl ? cv[n] : 0.0f) + cA;
        const float dn0 = hc[n] - sum6;
        float squares = 0.0f, fill = 0.0f;
        if (dW != 0.0f) {
          squares += cW * cW / dW;
          fill += cW * ((k < nl ? cv[n - 1] : 0.0f) + cc[n - 1]) / dW;
        }
        if (dN != 0.0f) {
          squares += cN * cN / dN;
          fill += cN * ((k < nl ? cv[n - nc] : 0.0f) + cr[n - nc]) / dN;
        }
        if (dA != 0.0f) {
          squares += cA * cA / dA;
          fill += cA * (cr[n - nrc] + cc[n - nrc]) / dA;
        }
        const float dn = static_cast<float>((1.0 + delta) * dn0 - squares - relax * fill);
        d[n] = dn;
        if (sign == 0.0f && dn != 0.0f) sign = dn > 0.0f ? 1.0f : -1.0f;
        if (!(dn * sign > 0.0f)) {
          delta = 1.5 * delta + 0.001;
          if (delta > 0.5) {
            io::write(m.LISTUNIT, AQX_FMT("(' MATRIX IS SEVERELY NON-DAGONALLY DOMINANT.  CHECK INPUT',' "
                                          "FILES.  STOP EXECUTION')"));
            io::stopRun();
          }
          goto restart;
        }
      }
    }
  }
}

namespace {

// The triangular solves are chains: every cell needs the result of its neighbour just before it
// in the row. The sweeps below work on kSkew rows of a layer at once, each row one column behind
// the row before it (ahead of it going backward), so that every cell still follows its earlier
// neighbours while the chains of several rows overlap in the processor. Every cell is computed
// by exactly the same operations as in a plain row-by-row sweep. Within a cell the term of the
// neighbour in the same row comes last, so only it lies on the chain.
constexpr int kSkew = 4;

// Layer-wide first parts of the triangular solves, for variable-head cells (others keep their
// value). Forward: RHS minus the term of the layer above (left out where that pivot is 0).
// Backward: w/d minus the term of the layer below. Each value takes the same operations, in the
// same order, as in the cell-by-cell form, so the results are identical; here they vectorise.
AQX_VECTOR_LOOPS void forwardLayerAbove(const float* __restrict rhs, const float* __restrict cvA,
                                        const float* __restrict wA, const float* __restrict dA,
                                        const int* __restrict ib, float* __restrict w, std::int64_t count) {
  for (std::int64_t n = 0; n < count; ++n) {
    const float t = dA[n] != 0.0f ? cvA[n] * wA[n] / dA[n] : 0.0f;
    const float part = rhs[n] - t;
    w[n] = ib[n] > 0 ? part : w[n];
  }
}

AQX_VECTOR_LOOPS void forwardLayerTop(const float* __restrict rhs, const int* __restrict ib,
                                      float* __restrict w, std::int64_t count) {
  for (std::int64_t n = 0; n < count; ++n) w[n] = ib[n] > 0 ? rhs[n] : w[n];
}

AQX_VECTOR_LOOPS void backwardLayerBelow(const float* __restrict w, const float* __restrict d,
                                         const float* __restrict cvB, const float* __restrict zB,
                                         const int* __restrict ib, float* __restrict z, std::int64_t count) {
  for (std::int64_t n = 0; n < count; ++n) {
    const float part = w[n] / d[n] - cvB[n] * zB[n] / d[n];
    z[n] = ib[n] > 0 ? part : z[n];
  }
}

AQX_VECTOR_LOOPS void backwardLayerBottom(const float* __restrict w, const float* __restrict d,
                                          const int* __restrict ib, float* __restrict z, std::int64_t count) {
  for (std::int64_t n = 0; n < count; ++n) {
    const float part = w[n] / d[n];
    z[n] = ib[n] > 0 ? part : z[n];
  }
}

template <class Cell>
void sweepForward(int nr, int nc, Cell cell) {
  for (int i0 = 1; i0 <= nr; i0 += kSkew) {
    const int rows = std::min(kSkew, nr - i0 + 1);
    for (int t = 1; t <= nc + rows - 1; ++t) {
      for (int r = 0; r < rows; ++r) {
        const int j = t - r;
        if (j >= 1 && j <= nc) cell(i0 + r, j);
      }
    }
  }
}

template <class Cell>
void sweepBackward(int nr, int nc, Cell cell) {
  for (int i0 = nr; i0 >= 1; i0 -= kSkew) {
    const int rows = std::min(kSkew, i0);
    for (int t = nc; t >= 2 - rows; --t) {
      for (int r = 0; r < rows; ++r) {
        const int j = t + r;
        if (j >= 1 && j <= nc) cell(i0 - r, j);
      }
    }
  }
}

}  // namespace

// Forward pass with the pivots of this call.
void Pcg2Package::forward(Model& m) {
  const int nc = m.NCOLS, nr = m.NROWS, nl = m.NLAYER;
  const std::int64_t nrc = static_cast<std::int64_t>(nc) * nr;
  const int* ib = m.IBOUND;
  const float *cr = m.CONDR, *cc = m.CONDC, *cv = m.CONDV, *rhs = m.RHS;
  float* w = v_;
  const float* d = d_;
  for (int k = 1; k <= nl; ++k) {
    const std::int64_t first = (k - 1) * nrc;
    // The term of the layer above needs nothing of this layer: take it for the whole layer first.
    if (k > 1) {
      forwardLayerAbove(rhs + first, cv + first - nrc, w + first - nrc, d + first - nrc, ib + first,
                        w + first, nrc);
    } else {
      forwardLayerTop(rhs, ib, w, nrc);
    }
    const std::int64_t base = first - 1 - nc;  // cell (k, i, j) is base + i*nc + j
    sweepForward(nr, nc, [&](int i, int j) {
      const std::int64_t n = base + static_cast<std::int64_t>(i) * nc + j;
      if (ib[n] <= 0) return;
      float wn = w[n];
      if (i > 1 && d[n - nc] != 0.0f) wn -= cc[n - nc] * w[n - nc] / d[n - nc];
      if (j > 1 && d[n - 1] != 0.0f) wn -= cr[n - 1] * w[n - 1] / d[n - 1];
      w[n] = wn;
    });
  }
}

// Backward pass: z(n) = w(n)/d(n) - sum over the later neighbours of C*z(m)/d(n).
void Pcg2Package::backward(Model& m) {
  const int nc = m.NCOLS, nr = m.NROWS, nl = m.NLAYER;
  const std::int64_t nrc = static_cast<std::int64_t>(nc) * nr;
  const int* ib = m.IBOUND;
  const float *cr = m.CONDR, *cc = m.CONDC, *cv = m.CONDV;
  const float *w = v_, *d = d_;
  float* z = z_;
  for (int k = nl; k >= 1; --k) {
    const std::int64_t first = (k - 1) * nrc;
    // w/d and the term of the layer below need nothing of this layer: whole layer first.
    if (k < nl) {
      backwardLayerBelow(w + first, d + first, cv + first, z + first + nrc, ib + first, z + first, nrc);
    } else {
      backwardLayerBottom(w + first, d + first, ib + first, z + first, nrc);
    }
    const std::int64_t base = first - 1 - nc;
    sweepBackward(nr, nc, [&](int i, int j) {
      const std::int64_t n = base + static_cast<std::int64_t>(i) * nc + j;
      if (ib[n] <= 0) return;
      const float dn = d[n];
      float zn = z[n];
      if (i < nr) zn -= cc[n] * z[n + nc] / dn;
      if (j < nc) zn -= cr[n] * z[n + 1] / dn;
      z[n] = zn;
    });
  }
}

namespace {

// One row of a polynomial-preconditioner product, out = c*RHS + (off-diagonal part)*in - in, for
// variable-head cells (others get 0); row-constant neighbours are template flags as above.
template <bool kS, bool kN, bool kB, bool kA>
AQX_VECTOR_LOOPS void polyRow(const float* __restrict cr, const float* __restrict cc,
                              const float* __restrict cv, const float* __restrict rhs,
                              const float* __restrict in, const int* __restrict ib, float* __restrict out,
                              float c, std::int64_t n0, int nc, std::int64_t nrc) {
  auto cell = [&](std::int64_t n, bool hasE, bool hasW) {
    float sum = 0.0f;
    if (hasE) sum += cr[n] * in[n + 1];
    if (hasW) sum += cr[n - 1] * in[n - 1];
    if constexpr (kS) sum += cc[n] * in[n + nc];
    if constexpr (kN) sum += cc[n - nc] * in[n - nc];
    if constexpr (kB) sum += cv[n] * in[n + nrc];
    if constexpr (kA) sum += cv[n - nrc] * in[n - nrc];
    out[n] = ib[n] > 0 ? c * rhs[n] + sum - in[n] : 0.0f;
  };
  cell(n0, nc > 1, false);
  for (std::int64_t n = n0 + 1; n < n0 + nc - 1; ++n) {
    float sum = 0.0f;
    sum += cr[n] * in[n + 1];
    sum += cr[n - 1] * in[n - 1];
    if constexpr (kS) sum += cc[n] * in[n + nc];
    if constexpr (kN) sum += cc[n - nc] * in[n - nc];
    if constexpr (kB) sum += cv[n] * in[n + nrc];
    if constexpr (kA) sum += cv[n - nrc] * in[n - nrc];
    const float o = c * rhs[n] + sum - in[n];
    out[n] = ib[n] > 0 ? o : 0.0f;
  }
  if (nc > 1) cell(n0 + nc - 1, false, true);
}

using PolyRowFn = void (*)(const float*, const float*, const float*, const float*, const float*, const int*,
                           float*, float, std::int64_t, int, std::int64_t);

template <int... kFlags>
constexpr std::array<PolyRowFn, 16> polyRowTable(std::integer_sequence<int, kFlags...>) {
  return {&polyRow<(kFlags & 1) != 0, (kFlags & 2) != 0, (kFlags & 4) != 0, (kFlags & 8) != 0>...};
}

}  // namespace

// Polynomial preconditioner on the scaled matrix A (unit negative diagonal):
// PCGZ = (A^3 + c1*A^2 + c2*A + c3) * r, as three products out = c*r + A*in.
void Pcg2Package::polynomial(Model& m) {
  const int nc = m.NCOLS, nr = m.NROWS, nl = m.NLAYER;
  const std::int64_t nrc = static_cast<std::int64_t>(nc) * nr;
  const std::int64_t ncell = m.NCELLS;
  const int* ib = m.IBOUND;
  const float *cr = m.CONDR, *cc = m.CONDC, *cv = m.CONDV, *rhs = m.RHS;
  const float b = polyb_;
  const float c1 = 2.25f * b, c2 = 1.6875f * b * b, c3 = 0.46875f * b * b * b;
  std::copy(rhs, rhs + ncell, v_);
  // Constant-head and inactive cells carry 0 in every input vector here (their residual was
  // cleared and every product leaves them at 0), so their terms drop out without a test.
  auto product = [&](const float* in, float* out, float c) {
    static constexpr auto table = polyRowTable(std::make_integer_sequence<int, 16>{});
    std::int64_t n0 = 0;
    for (int k = 1; k <= nl; ++k) {
      for (int i = 1; i <= nr; ++i, n0 += nc) {
        const int flags = (i < nr ? 1 : 0) | (i > 1 ? 2 : 0) | (k < nl ? 4 : 0) | (k > 1 ? 8 : 0);
        table[flags](cr, cc, cv, rhs, in, ib, out, c, n0, nc, nrc);
      }
    }
  };
  product(v_, z_, c1);
  product(z_, v_, c2);
  product(v_, z_, c3);
}

namespace {

// Matrix product PCGV = A PCGP over one row of a layer, variable-head cells only (others get 0).
// The neighbours that exist for the whole row (next/previous row, layer below/above) are template
// flags, so the cells between the first and last column run without tests and vectorise; the two
// end cells take the general path. Every cell adds its terms in the same order either way.
template <bool kScaled, bool kS, bool kN, bool kB, bool kA>
AQX_VECTOR_LOOPS void rowProduct(const float* __restrict cr, const float* __restrict cc,
                                 const float* __restrict cv, const float* __restrict hc,
                                 const float* __restrict p, const int* __restrict ib, float* __restrict v,
                                 std::int64_t n0, int nc, std::int64_t nrc) {
  auto cell = [&](std::int64_t n, bool hasE, bool hasW) {
    const float pn = p[n];
    float sum = 0.0f;
    if constexpr (kScaled) {
      if (hasE) sum += cr[n] * p[n + 1];
      if (hasW) sum += cr[n - 1] * p[n - 1];
      if constexpr (kS) sum += cc[n] * p[n + nc];
      if constexpr (kN) sum += cc[n - nc] * p[n - nc];
      if constexpr (kB) sum += cv[n] * p[n + nrc];
      if constexpr (kA) sum += cv[n - nrc] * p[n - nrc];
      sum -= pn;
    } else {
      if (hasE) sum += cr[n] * (p[n + 1] - pn);
      if (hasW) sum += cr[n - 1] * (p[n - 1] - pn);
      if constexpr (kS) sum += cc[n] * (p[n + nc] - pn);
      if constexpr (kN) sum += cc[n - nc] * (p[n - nc] - pn);
      if constexpr (kB) sum += cv[n] * (p[n + nrc] - pn);
      if constexpr (kA) sum += cv[n - nrc] * (p[n - nrc] - pn);
      sum += hc[n] * pn;
    }
    v[n] = ib[n] > 0 ? sum : 0.0f;
  };
  cell(n0, nc > 1, false);
  for (std::int64_t n = n0 + 1; n < n0 + nc - 1; ++n) {
    const float pn = p[n];
    float sum = 0.0f;
    if constexpr (kScaled) {
      sum += cr[n] * p[n + 1];
      sum += cr[n - 1] * p[n - 1];
      if constexpr (kS) sum += cc[n] * p[n + nc];
      if constexpr (kN) sum += cc[n - nc] * p[n - nc];
      if constexpr (kB) sum += cv[n] * p[n + nrc];
      if constexpr (kA) sum += cv[n - nrc] * p[n - nrc];
      sum -= pn;
    } else {
      sum += cr[n] * (p[n + 1] - pn);
      sum += cr[n - 1] * (p[n - 1] - pn);
      if constexpr (kS) sum += cc[n] * (p[n + nc] - pn);
      if constexpr (kN) sum += cc[n - nc] * (p[n - nc] - pn);
      if constexpr (kB) sum += cv[n] * (p[n + nrc] - pn);
      if constexpr (kA) sum += cv[n - nrc] * (p[n - nrc] - pn);
      sum += hc[n] * pn;
    }
    v[n] = ib[n] > 0 ? sum : 0.0f;
  }
  if (nc > 1) cell(n0 + nc - 1, false, true);
}

template <bool kScaled>
using RowProductFn = void (*)(const float*, const float*, const float*, const float*, const float*,
                              const int*, float*, std::int64_t, int, std::int64_t);

template <bool kScaled, int kFlags>
constexpr RowProductFn<kScaled> rowProductOf() {
  return &rowProduct<kScaled, (kFlags & 1) != 0, (kFlags & 2) != 0, (kFlags & 4) != 0, (kFlags & 8) != 0>;
}

template <bool kScaled, int... kFlags>
constexpr std::array<RowProductFn<kScaled>, 16> rowProductTable(std::integer_sequence<int, kFlags...>) {
  return {rowProductOf<kScaled, kFlags>()...};
}

template <bool kScaled>
double matrixProductOf(const Model& m, const float* p, float* v) {
  static constexpr auto table = rowProductTable<kScaled>(std::make_integer_sequence<int, 16>{});
  const int nc = m.NCOLS, nr = m.NROWS, nl = m.NLAYER;
  const std::int64_t nrc = static_cast<std::int64_t>(nc) * nr;
  double pi = 0.0;
  std::int64_t n0 = 0;
  for (int k = 1; k <= nl; ++k) {
    for (int i = 1; i <= nr; ++i, n0 += nc) {
      const int flags = (i < nr ? 1 : 0) | (i > 1 ? 2 : 0) | (k < nl ? 4 : 0) | (k > 1 ? 8 : 0);
      table[flags](m.CONDR, m.CONDC, m.CONDV, m.HCOEF, p, m.IBOUND, v, n0, nc, nrc);
      // Cells other than variable-head ones hold 0 in v and add nothing to the sum.
      for (std::int64_t n = n0; n < n0 + nc; ++n) pi += static_cast<double>(v[n]) * p[n];
    }
  }
  return pi;
}

}  // namespace

// Step 5.4: PCGV = A PCGP over the variable-head cells and pi = PCGP . PCGV.
double Pcg2Package::matrixProduct(Model& m) {
  return s_.IPRECOND == 2 ? matrixProductOf<true>(m, p_, v_) : matrixProductOf<false>(m, p_, v_);
}

// Steps 1 to 3 of a call: the vectors cleared, the residual of the current heads, and with the
// polynomial preconditioner the scaling and its parameter.
void Pcg2Package::startCall(Model& m) {
  const std::int64_t ncell = m.NCELLS;
  const bool scaled = s_.IPRECOND == 2;
  std::fill(v_, v_ + ncell, 0.0f);
  std::fill(z_, z_ + ncell, 0.0f);
  std::fill(p_, p_ + ncell, 0.0f);
  if (!scaled) std::fill(d_, d_ + ncell, 0.0f);
  cleanupAndResidual(m);
  if (scaled) {
    scale(m, true);
    computePolyb(m);
  }
}

// Steps 5.1 and 5.2: PCGZ from the residual, by the incomplete Cholesky solves (the pivots
// computed in the first inner iteration of the call) or the polynomial.
void Pcg2Package::precondition(Model& m, int inner) {
  if (s_.IPRECOND == 2) {
    polynomial(m);
  } else {
    if (inner == 1) {
      forwardWithPivots(m);
    } else {
      forward(m);
    }
    backward(m);
  }
}

// Step 5.3: rho = PCGZ . RHS over the variable-head cells, and the search direction.
double Pcg2Package::searchDirection(const Model& m, int inner, double rhoOld) {
  const std::int64_t ncell = m.NCELLS;
  const int* ib = m.IBOUND;
  const float* rhs = m.RHS;
  double rho = 0.0;
  for (std::int64_t n = 0; n < ncell; ++n) {
    if (ib[n] > 0) rho += static_cast<double>(z_[n]) * rhs[n];
  }
  if (inner == 1) {
    std::copy(z_, z_ + ncell, p_);
  } else {
    const double beta = rho / rhoOld;
    for (std::int64_t n = 0; n < ncell; ++n) p_[n] = static_cast<float>(beta * p_[n] + z_[n]);
  }
  return rho;
}

// Step 5.5: alpha = rho / pi; a zero curvature stops the run when only one outer iteration is
// allowed, and gives a step of 1 otherwise.
double Pcg2Package::stepLength(const Model& m, double rho, double pi) const {
  if (pi != 0.0) return rho / pi;
  if (m.MXITER == 1) {
    io::write(m.LISTUNIT, AQX_FMT("(/' CONJUGATE-GRADIENT METHOD FAILED.'/' SET MXITER',' GREATER THAN ONE "
                                  "AND TRY AGAIN.  STOP EXECUTION')"));
    io::stopRun();
  }
  return 1.0;
}

// Step 5.6: heads and residuals. Cells other than variable-head ones have p = 0 and v = 0 here
// (and a residual of 0), so the update leaves them as they are and needs no test.
void Pcg2Package::update(Model& m, double alpha) {
  const std::int64_t ncell = m.NCELLS;
  const double damp = s_.DAMPFAC;
  const double dampAlpha = damp * alpha;
  const float* __restrict p = p_;
  const float* __restrict v = v_;
  double* __restrict hh = m.HEADNEW;
  float* __restrict r = m.RHS;
  for (std::int64_t n = 0; n < ncell; ++n) {
    hh[n] += damp * (alpha * p[n]);
    r[n] = static_cast<float>(r[n] - dampAlpha * v[n]);
  }
}

// Steps 5.6 and 5.7: the largest head change and residual of the variable-head cells (first one
// on ties), scaled back. A change or residual that is not finite never compares greater, so it is
// looked for apart: the first cell with a non-finite head change, else the first with a
// non-finite residual, takes the place of the largest.
Pcg2Package::InnerLargest Pcg2Package::largest(const Model& m, double alpha) const {
  const std::int64_t ncell = m.NCELLS;
  const int* ib = m.IBOUND;
  const float* rhs = m.RHS;
  const float* hc = m.HCOEF;
  InnerLargest out;
  double bigH = 0.0, absH = 0.0;
  float bigR = 0.0f, absR = 0.0f;
  std::int64_t cellH = -1, cellR = -1;
  std::int64_t badH = -1, badR = -1;
  for (std::int64_t n = 0; n < ncell; ++n) {
    if (ib[n] <= 0) continue;
    const double dh = alpha * p_[n];
    const double adh = std::fabs(dh);
    if (cellH < 0 || adh > absH) {
      absH = adh;
      bigH = dh;
      cellH = n;
    }
    const float ar = std::fabs(rhs[n]);
    if (cellR < 0 || ar > absR) {
      absR = ar;
      bigR = rhs[n];
      cellR = n;
    }
    if (!(adh <= std::numeric_limits<double>::max()) && badH < 0) badH = n;
    if (!(ar <= std::numeric_limits<float>::max()) && badR < 0) badR = n;
  }
  if (badH >= 0) {
    cellH = badH;
    bigH = alpha * p_[badH];
  }
  if (badR >= 0) {
    cellR = badR;
    bigR = rhs[badR];
  }
  float hchg = static_cast<float>(bigH);
  float rchg = bigR;
  if (s_.IPRECOND == 2) {
    if (cellH >= 0) hchg = static_cast<float>(bigH / std::sqrt(-hc[cellH]));
    if (cellR >= 0) rchg = rchg * std::sqrt(-hc[cellR]);
  }
  out.hchg = hchg;
  out.rchg = rchg;
  out.cellH = cellH;
  out.cellR = cellR;
  out.badH = badH;
  out.badR = badR;
  return out;
}

}  // namespace aqx
