// General finite-difference flow, every outer iteration: horizontal conductances of the
// thickness-dependent layers from the current heads (cells whose thickness vanishes leave the
// model), storage terms, and the limits on vertical flow into cells whose head is below their top.
#include <cstdint>

#include "flow/gfd.hpp"
#include "io/record.hpp"

namespace aqx {

void GfdPackage::formulate(Model& m) {
  const int nlay = m.NLAYER;
  const std::int64_t nrc = static_cast<std::int64_t>(m.NROWS) * m.NCOLS;
  float* HCOEF = m.HCOEF;
  float* RHS = m.RHS;
  const int* IBOUND = m.IBOUND;
  const double* HNEW = m.HEADNEW;
  const float* HOLD = m.HEADOLD;
  const float* CONDV = m.CONDV;

  for (int k = 1; k <= nlay; ++k) {
    if (convPos(k) > 0) recomputeLayer(m, k);
  }

  if (transient()) {
    const float r = 1.0f / m.DELT;
    for (int k = 1; k <= nlay; ++k) {
      const std::int64_t lay = nrc * (k - 1);
      if (topPos(k) == 0) {
        for (std::int64_t c = 0; c < nrc; ++c) {
          const std::int64_t n = lay + c;
          if (IBOUND[n] <= 0) continue;
          const float s = r * STOR1[n];
          HCOEF[n] = HCOEF[n] - s;
          RHS[n] = RHS[n] - s * HOLD[n];
        }
      } else {
        const std::int64_t kt = nrc * (topPos(k) - 1);
        for (std::int64_t c = 0; c < nrc; ++c) {
          const std::int64_t n = lay + c;
          if (IBOUND[n] <= 0) continue;
          const float t = TOP[kt + c];
          const float s1 = r * STOR1[n];
          const float s2 = r * STOR2[kt + c];
          const float sOld = HOLD[n] > t ? s1 : s2;
          const float h = static_cast<float>(HNEW[n]);
          const float sNew = h > t ? s1 : s2;
          HCOEF[n] = HCOEF[n] - sNew;
          RHS[n] = RHS[n] - sOld * (HOLD[n] - t) - t * sNew;
        }
      }
    }
  }

  for (int k = 1; k <= nlay; ++k) {
    const std::int64_t lay = nrc * (k - 1);
    // The flow from the cell above into a cell whose head is below its top is driven by the top,
    // not by the head: taken implicitly, the cell's own head drops out of that term.
    if (topPos(k) > 0 && k > 1) {
      const std::int64_t kt = nrc * (topPos(k) - 1);
      for (std::int64_t c = 0; c < nrc; ++c) {
        const std::int64_t n = lay + c;
        if (IBOUND[n] <= 0) continue;
        const float t = TOP[kt + c];
        if (static_cast<float>(HNEW[n]) < t) {
          const float cv = CONDV[n - nrc];
          HCOEF[n] = HCOEF[n] + cv;
          RHS[n] = RHS[n] + cv * t;
        }
      }
    }
    // The same limit seen from the cell above, with the current head of the cell below.
    if (k < nlay && topPos(k + 1) > 0) {
      const std::int64_t kt = nrc * (topPos(k + 1) - 1);
      for (std::int64_t c = 0; c < nrc; ++c) {
        const std::int64_t n = lay + c;
        if (IBOUND[n] <= 0) continue;
        const float hb = static_cast<float>(HNEW[n + nrc]);
        const float tb = TOP[kt + c];
        if (hb < tb) RHS[n] = RHS[n] - (tb - hb) * CONDV[n];
      }
    }
  }
}

void GfdPackage::recomputeLayer(Model& m, int k) {
  const int nlay = m.NLAYER, nrow = m.NROWS, ncol = m.NCOLS;
  const std::int64_t nrc = static_cast<std::int64_t>(nrow) * ncol;
  const std::int64_t lay = nrc * (k - 1);
  const std::int64_t kb = nrc * (convPos(k) - 1);
  const float* top = m.LAYCON[k - 1] == 3 ? TOP + nrc * (topPos(k) - 1) : nullptr;
  float* CONDR = m.CONDR;
  float* CONDC = m.CONDC;
  float* CONDV = m.CONDV;
  int* IBOUND = m.IBOUND;

  // Saturated thickness of every cell, kept in CONDC until the conductances replace it.
  for (int i = 1; i <= nrow; ++i) {
    for (int j = 1; j <= ncol; ++j) {
      const std::int64_t c = static_cast<std::int64_t>(ncol) * (i - 1) + (j - 1);
      const std::int64_t n = lay + c;
      if (IBOUND[n] == 0) {
        CONDC[n] = 0.0f;
        continue;
      }
      float h = static_cast<float>(m.HEADNEW[n]);
      if (top != nullptr && h > top[c]) h = top[c];
      const float b = h - BOTTOM[kb + c];
      if (b > 0.0f) {
        CONDC[n] = b;
        continue;
      }
      // No water left in the cell: it leaves the model for the rest of the run (constant-head
      // cells too; there is no wetting).
      io::write(m.LISTUNIT,
                AQX_FMT("('0',10('*'),'NODE',3I4,' (LAYER,ROW,COL) WENT DRY',' AT ITERATION =',I3,'  TIME "
                        "STEP =',I3,'  STRESS PERIOD =',I3)"),
                k, i, j, m.KOUTER, m.KSTEP, m.KPERIOD);
      m.HEADNEW[n] = static_cast<double>(1.0E30f);
      CONDC[n] = 0.0f;
      IBOUND[n] = 0;
      if (k < nlay) CONDV[n] = 0.0f;
      if (k > 1) CONDV[n - nrc] = 0.0f;
    }
  }

  // Conductances: the face's mean thickness times the conductance per unit thickness. When cell
  // (i, j) is visited, CONDC of (i, j+1) and (i+1, j) still hold thicknesses.
  for (int i = 1; i <= nrow; ++i) {
    for (int j = 1; j <= ncol; ++j) {
      const std::int64_t c = static_cast<std::int64_t>(ncol) * (i - 1) + (j - 1);
      const std::int64_t n = lay + c;
      const float t1 = CONDC[n];
      if (t1 == 0.0f) {
        CONDR[n] = 0.0f;
        continue;
      }
      if (j < ncol) CONDR[n] = gfd::faceThickness(t1, CONDC[n + 1], true) * CTHICKR[kb + c];
      if (i < nrow) CONDC[n] = gfd::faceThickness(t1, CONDC[n + ncol], false) * CTHICKC[kb + c];
    }
  }
}

}  // namespace aqx
