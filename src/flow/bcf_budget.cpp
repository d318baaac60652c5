// Block-centred flow budget: storage, flow through constant-head cells, and the flow across the
// right, front and lower face of every cell, as budget rows and cell-by-cell records.
#include <cstdint>
#include <string_view>

#include "bas/budget_terms.hpp"
#include "flow/bcf.hpp"
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

}  // namespace

void BcfPackage::budget(Model& m) {
  budgetStorage(m);
  budgetConstantHead(m);
  budgetFaces(m, 1);
  budgetFaces(m, 2);
  budgetFaces(m, 3);
}

void BcfPackage::budgetStorage(Model& m) {
  if (!transient()) return;
  const std::int64_t nrc = static_cast<std::int64_t>(m.NROWS) * m.NCOLS;
  CellBudget cbc(m, s_.IFLOWCB, kStorage, false);
  float* BUFF = m.BUFF;
  cbc.clearBuffer();
  const float r = 1.0f / m.DELT;
  double in = 0.0, out = 0.0;
  for (int k = 1; k <= m.NLAYER; ++k) {
    const std::int64_t lay = nrc * (k - 1);
    const int type = m.LAYCON[k - 1];
    const bool hasTop = type == 2 || type == 3;
    const std::int64_t kt = hasTop ? nrc * (topPos_[k - 1] - 1) : 0;
    for (std::int64_t c = 0; c < nrc; ++c) {
      const std::int64_t n = lay + c;
      if (m.IBOUND[n] <= 0) continue;
      const float h = static_cast<float>(m.HEADNEW[n]);
      const float h0 = m.HEADOLD[n];
      float v;
      if (!hasTop) {
        const float s = STOR1[n] * r;
        v = s * h0 - s * h;
      } else {
        const float t = TOP[kt + c];
        const float s1 = STOR1[n] * r;
        const float s2 = STOR2[kt + c] * r;
        const float sOld = h0 > t ? s1 : s2;
        const float sNew = h > t ? s1 : s2;
        v = sOld * (h0 - t) + sNew * t - sNew * h;
      }
      BUFF[n] = v;
      accumulateRate(v, in, out);
    }
  }
  cbc.saveArray();
  addBudgetRow(m, kStorage, in, out);
}

void BcfPackage::budgetConstantHead(Model& m) {
  const int nlay = m.NLAYER, nrow = m.NROWS, ncol = m.NCOLS;
  const std::int64_t nrc = static_cast<std::int64_t>(nrow) * ncol;
  CellBudget cbc(m, s_.IFLOWCB, kConstantHead);
  const int* IBOUND = m.IBOUND;
  const double* H = m.HEADNEW;
  const float* CONDR = m.CONDR;
  const float* CONDC = m.CONDC;
  const float* CONDV = m.CONDV;
  float* BUFF = m.BUFF;
  cbc.clearBuffer();
  if (cbc.mode() == CellBudget::kCompact) {
    int count = 0;
    for (std::int64_t n = 0; n < m.NCELLS; ++n) count += IBOUND[n] < 0 ? 1 : 0;
    cbc.beginList(count);
  }
  // A neighbour takes part unless it is inactive, or constant head while such flows are not counted.
  auto counts = [&](std::int64_t nn) { return IBOUND[nn] > 0 || (IBOUND[nn] < 0 && m.CHCHFLOW != 0); };
  double in = 0.0, out = 0.0;
  for (int k = 1; k <= nlay; ++k) {
    const int type = m.LAYCON[k - 1];
    const bool hasTop = type == 2 || type == 3;
    const bool belowHasTop = k < nlay && (m.LAYCON[k] == 2 || m.LAYCON[k] == 3);
    for (int i = 1; i <= nrow; ++i) {
      for (int j = 1; j <= ncol; ++j) {
        const std::int64_t c = static_cast<std::int64_t>(ncol) * (i - 1) + (j - 1);
        const std::int64_t n = nrc * (k - 1) + c;
        if (IBOUND[n] >= 0) continue;
        const double h = H[n];
        float rate = 0.0f;
        auto face = [&](float q) {
          accumulateRate(q, in, out);
          rate = rate + q;
        };
        if (j > 1 && counts(n - 1)) face(diff(h, H[n - 1]) * CONDR[n - 1]);
        if (j < ncol && counts(n + 1)) face(diff(h, H[n + 1]) * CONDR[n]);
        if (i > 1 && counts(n - ncol)) face(diff(h, H[n - ncol]) * CONDC[n - ncol]);
        if (i < nrow && counts(n + ncol)) face(diff(h, H[n + ncol]) * CONDC[n]);
        if (k > 1 && counts(n - nrc)) {
          double hc = h;
          if (hasTop) {
            const float t = TOP[nrc * (topPos_[k - 1] - 1) + c];
            if (static_cast<float>(hc) < t) hc = t;
          }
          face(diff(hc, H[n - nrc]) * CONDV[n - nrc]);
        }
        if (k < nlay && counts(n + nrc)) {
          double hb = H[n + nrc];
          if (belowHasTop) {
            const float t = TOP[nrc * (topPos_[k] - 1) + c];
            if (static_cast<float>(hb) < t) hb = t;
          }
          face(diff(h, hb) * CONDV[n]);
        }
        BUFF[n] = rate;
        cbc.printLine(AQX_FMT("(1X,'LAYER',I3,'   ROW',I4,'   COL',I4,'   RATE',1P,G15.6)"), k, i, j, rate);
        cbc.listItem(k, i, j, rate);
      }
    }
  }
  cbc.saveFullArray();
  addBudgetRow(m, kConstantHead, in, out);
}

void BcfPackage::budgetFaces(Model& m, int direction) {
  CellBudget cbc(m, s_.IFLOWCB, kFaceLabels[direction - 1], false);
  if (!cbc.saving()) return;
  const int nlay = m.NLAYER, nrow = m.NROWS, ncol = m.NCOLS;
  if ((direction == 1 && ncol <= 1) || (direction == 2 && nrow <= 1) || (direction == 3 && nlay <= 1)) return;
  const std::int64_t nrc = static_cast<std::int64_t>(nrow) * ncol;
  const int* IBOUND = m.IBOUND;
  const double* H = m.HEADNEW;
  float* BUFF = m.BUFF;
  cbc.clearBuffer();
  const bool chch = m.CHCHFLOW != 0;
  for (int k = 1; k <= nlay; ++k) {
    if (direction == 3 && k == nlay) break;
    const bool belowHasTop = k < nlay && (m.LAYCON[k] == 2 || m.LAYCON[k] == 3);
    for (int i = 1; i <= nrow; ++i) {
      if (direction == 2 && i == nrow) break;
      for (int j = 1; j <= ncol; ++j) {
        if (direction == 1 && j == ncol) break;
        const std::int64_t c = static_cast<std::int64_t>(ncol) * (i - 1) + (j - 1);
        const std::int64_t n = nrc * (k - 1) + c;
        const std::int64_t nn = n + (direction == 1 ? 1 : direction == 2 ? ncol : nrc);
        if (chch) {
          if (IBOUND[n] == 0 || IBOUND[nn] == 0) continue;
        } else {
          if (IBOUND[n] <= 0 && IBOUND[nn] <= 0) continue;
        }
        if (direction == 1) {
          BUFF[n] = diff(H[n], H[nn]) * m.CONDR[n];
        } else if (direction == 2) {
          BUFF[n] = diff(H[n], H[nn]) * m.CONDC[n];
        } else {
          double hn = H[nn];
          if (belowHasTop) {
            const float t = TOP[nrc * (topPos_[k] - 1) + c];
            if (static_cast<float>(hn) < t) hn = t;
          }
          BUFF[n] = diff(H[n], hn) * m.CONDV[n];
        }
      }
    }
  }
  cbc.saveArray();
}

}  // namespace aqx
