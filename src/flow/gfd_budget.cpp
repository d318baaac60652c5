// General finite-difference flow budget: storage, flow through constant-head cells and the flow
// across the right, front and lower face of every cell, as budget rows and full cell-by-cell
// records. Sums are single precision.
#include <cstdint>
#include <string_view>

#include "bas/budget_terms.hpp"
#include "flow/gfd.hpp"
#include "io/record.hpp"

namespace aqx {

namespace {

constexpr std::string_view kStorage = "         STORAGE";
constexpr std::string_view kConstantHead = "   CONSTANT HEAD";
constexpr std::string_view kFaceLabels[3] = {"FLOW RIGHT FACE ", "FLOW FRONT FACE ", "FLOW LOWER FACE "};

// Head difference of two cells, rounded to single precision before it meets a conductance.
inline float diff(double a, double b) {
  return static_cast<float>(a - b);
}

// A single-precision sum by sign (out takes the magnitude).
inline void addBySign(float q, float& in, float& out) {
  if (q > 0.0f) {
    in = in + q;
  } else if (q < 0.0f) {
    out = out - q;
  }
}

}  // namespace

void GfdPackage::budget(Model& m) {
  budgetStorage(m);
  budgetConstantHead(m);
  budgetFaces(m, 1);
  budgetFaces(m, 2);
  budgetFaces(m, 3);
}

void GfdPackage::budgetStorage(Model& m) {
  float in = 0.0f, out = 0.0f;
  if (transient()) {
    CellBudget cbc(m, GFDFLOWCB, kStorage, false);
    if (cbc.saving()) cbc.clearBuffer();
    const std::int64_t nrc = static_cast<std::int64_t>(m.NROWS) * m.NCOLS;
    for (int k = 1; k <= m.NLAYER; ++k) {
      const std::int64_t lay = nrc * (k - 1);
      const std::int64_t kt = topPos(k) > 0 ? nrc * (topPos(k) - 1) : -1;
      for (std::int64_t c = 0; c < nrc; ++c) {
        const std::int64_t n = lay + c;
        if (m.IBOUND[n] <= 0) continue;
        const float h = static_cast<float>(m.HEADNEW[n]);
        const float h0 = m.HEADOLD[n];
        float v;
        if (kt < 0) {
          v = STOR1[n] * h0 - STOR1[n] * h;
        } else {
          const float t = TOP[kt + c];
          const float sOld = h0 > t ? STOR1[n] : STOR2[kt + c];
          const float sNew = h > t ? STOR1[n] : STOR2[kt + c];
          v = (h0 - t) * sOld + t * sNew - sNew * h;
        }
        if (cbc.saving()) m.BUFF[n] = v / m.DELT;
        addBySign(v, in, out);
      }
    }
    cbc.saveFullRecord();
  }
  // A steady-state run still has the row, with zero volumes.
  addBudgetVolumes(m, kStorage, in, out);
}

void GfdPackage::budgetConstantHead(Model& m) {
  const int nlay = m.NLAYER, nrow = m.NROWS, ncol = m.NCOLS;
  const std::int64_t nrc = static_cast<std::int64_t>(nrow) * ncol;
  CellBudget cbc(m, GFDFLOWCB, kConstantHead);
  const int* IBOUND = m.IBOUND;
  const double* H = m.HEADNEW;
  const float* CONDR = m.CONDR;
  const float* CONDC = m.CONDC;
  const float* CONDV = m.CONDV;
  if (cbc.saving()) cbc.clearBuffer();
  float in = 0.0f, out = 0.0f;
  for (int k = 1; k <= nlay; ++k) {
    const std::int64_t kt = topPos(k) > 0 ? nrc * (topPos(k) - 1) : -1;
    const std::int64_t ktBelow = k < nlay && topPos(k + 1) > 0 ? nrc * (topPos(k + 1) - 1) : -1;
    for (int i = 1; i <= nrow; ++i) {
      for (int j = 1; j <= ncol; ++j) {
        const std::int64_t c = static_cast<std::int64_t>(ncol) * (i - 1) + (j - 1);
        const std::int64_t n = nrc * (k - 1) + c;
        if (IBOUND[n] >= 0) continue;
        // Only variable-head neighbours count: constant-head and inactive ones never do.
        const double h = H[n];
        float rate = 0.0f;
        auto face = [&](float q) {
          addBySign(q, in, out);
          rate = rate + q;
        };
        if (j > 1 && IBOUND[n - 1] > 0) face(diff(h, H[n - 1]) * CONDR[n - 1]);
        if (j < ncol && IBOUND[n + 1] > 0) face(diff(h, H[n + 1]) * CONDR[n]);
        if (i > 1 && IBOUND[n - ncol] > 0) face(diff(h, H[n - ncol]) * CONDC[n - ncol]);
        if (i < nrow && IBOUND[n + ncol] > 0) face(diff(h, H[n + ncol]) * CONDC[n]);
        if (k > 1 && IBOUND[n - nrc] > 0) {
          double hc = h;
          if (kt >= 0 && static_cast<float>(hc) < TOP[kt + c]) hc = TOP[kt + c];
          face(diff(hc, H[n - nrc]) * CONDV[n - nrc]);
        }
        if (k < nlay && IBOUND[n + nrc] > 0) {
          double hb = H[n + nrc];
          if (ktBelow >= 0 && static_cast<float>(hb) < TOP[ktBelow + c]) hb = TOP[ktBelow + c];
          face(diff(h, hb) * CONDV[n]);
        }
        if (cbc.printing()) {
          // The label goes out as four 4-character words; each line stands alone, with no heading.
          io::write(m.LISTUNIT,
                    AQX_FMT("('0',4A4,'   PERIOD',I3,'   STEP',I3,'   LAYER',I3,'   ROW',I4,'   COL',I4,'   "
                            "RATE ',G15.7)"),
                    kConstantHead.substr(0, 4), kConstantHead.substr(4, 4), kConstantHead.substr(8, 4),
                    kConstantHead.substr(12, 4), m.KPERIOD, m.KSTEP, k, i, j, rate);
        }
        if (cbc.saving()) m.BUFF[n] = rate;
      }
    }
  }
  cbc.saveFullRecord();
  addBudgetRow(m, kConstantHead, in, out);
}

void GfdPackage::budgetFaces(Model& m, int direction) {
  CellBudget cbc(m, GFDFLOWCB, kFaceLabels[direction - 1], false);
  if (!cbc.saving()) return;
  const int nlay = m.NLAYER, nrow = m.NROWS, ncol = m.NCOLS;
  if ((direction == 1 && ncol <= 1) || (direction == 2 && nrow <= 1) || (direction == 3 && nlay <= 1)) return;
  const std::int64_t nrc = static_cast<std::int64_t>(nrow) * ncol;
  const int* IBOUND = m.IBOUND;
  const double* H = m.HEADNEW;
  float* BUFF = m.BUFF;
  cbc.clearBuffer();
  for (int k = 1; k <= nlay; ++k) {
    if (direction == 3 && k == nlay) break;
    const std::int64_t ktBelow = k < nlay && topPos(k + 1) > 0 ? nrc * (topPos(k + 1) - 1) : -1;
    for (int i = 1; i <= nrow; ++i) {
      if (direction == 2 && i == nrow) break;
      for (int j = 1; j <= ncol; ++j) {
        if (direction == 1 && j == ncol) break;
        const std::int64_t c = static_cast<std::int64_t>(ncol) * (i - 1) + (j - 1);
        const std::int64_t n = nrc * (k - 1) + c;
        const std::int64_t nn = n + (direction == 1 ? 1 : direction == 2 ? ncol : nrc);
        if (IBOUND[n] <= 0 && IBOUND[nn] <= 0) continue;
        if (direction == 1) {
          BUFF[n] = diff(H[n], H[nn]) * m.CONDR[n];
        } else if (direction == 2) {
          BUFF[n] = diff(H[n], H[nn]) * m.CONDC[n];
        } else {
          double hn = H[nn];
          if (ktBelow >= 0 && static_cast<float>(hn) < TOP[ktBelow + c]) hn = TOP[ktBelow + c];
          BUFF[n] = diff(H[n], hn) * m.CONDV[n];
        }
      }
    }
  }
  cbc.saveFullRecord();
}

}  // namespace aqx
