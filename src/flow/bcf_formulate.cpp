// Block-centred flow, per time step and per outer iteration: transmissivity of convertible layers
// from the current head, drying and wetting of cells, storage terms and the correction of vertical
// flow into cells whose head lies below their top.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "flow/bcf.hpp"
#include "io/record.hpp"

namespace aqx {

namespace {
constexpr int kWetMark = 30000;  // a cell wetted in the current layer pass
}

void BcfPackage::advance(Model& m) {
  // A dry cell that may wet starts the step with its bottom as old head, so that the storage term
  // of a cell that wets during the step counts from there.
  if (!transient() || !wetting()) return;
  const std::int64_t nrc = static_cast<std::int64_t>(m.NROWS) * m.NCOLS;
  for (int k = 1; k <= m.NLAYER; ++k) {
    if (convPos_[k - 1] == 0) continue;
    const std::int64_t kb = nrc * (convPos_[k - 1] - 1);
    const std::int64_t lay = nrc * (k - 1);
    for (std::int64_t c = 0; c < nrc; ++c) {
      if (m.IBOUND[lay + c] == 0 && WETDRY[kb + c] != 0.0f) m.HEADOLD[lay + c] = BOTTOM[kb + c];
    }
  }
}

void BcfPackage::formulate(Model& m) {
  const int nlay = m.NLAYER, nrow = m.NROWS, ncol = m.NCOLS;
  const std::int64_t nrc = static_cast<std::int64_t>(nrow) * ncol;
  float* HCOEF = m.HCOEF;
  float* RHS = m.RHS;
  const int* IBOUND = m.IBOUND;
  const double* HNEW = m.HEADNEW;
  const float* HOLD = m.HEADOLD;

  // 1. Convertible layers.
  for (int k = 1; k <= nlay; ++k) {
    if (convPos_[k - 1] > 0) recomputeLayer(m, k, convPos_[k - 1], topPos_[k - 1]);
  }

  // 2. Storage.
  if (transient()) {
    const float r = 1.0f / m.DELT;
    for (int k = 1; k <= nlay; ++k) {
      const std::int64_t lay = nrc * (k - 1);
      const int type = m.LAYCON[k - 1];
      if (type == 0 || type == 1) {
        for (std::int64_t c = 0; c < nrc; ++c) {
          const std::int64_t n = lay + c;
          if (IBOUND[n] <= 0) continue;
          const float s = STOR1[n] * r;
          HCOEF[n] = HCOEF[n] - s;
          RHS[n] = RHS[n] - s * HOLD[n];
        }
      } else {
        const std::int64_t kt = nrc * (topPos_[k - 1] - 1);
        for (std::int64_t c = 0; c < nrc; ++c) {
          const std::int64_t n = lay + c;
          if (IBOUND[n] <= 0) continue;
          const float t = TOP[kt + c];
          const float s1 = STOR1[n] * r;
          const float s2 = STOR2[kt + c] * r;
          const float sOld = HOLD[n] > t ? s1 : s2;
          const float h = static_cast<float>(HNEW[n]);
          const float sNew = h > t ? s1 : s2;
          HCOEF[n] = HCOEF[n] - sNew;
          RHS[n] = RHS[n] - sOld * (HOLD[n] - t) - t * sNew;
        }
      }
    }
  }

  // 3. Vertical flow into a cell whose head is below its top is limited to what the top allows.
  const float* CONDV = m.CONDV;
  for (int k = 1; k <= nlay; ++k) {
    const std::int64_t lay = nrc * (k - 1);
    const int type = m.LAYCON[k - 1];
    if ((type == 2 || type == 3) && k > 1) {
      const std::int64_t kt = nrc * (topPos_[k - 1] - 1);
      for (std::int64_t c = 0; c < nrc; ++c) {
        const std::int64_t n = lay + c;
        if (IBOUND[n] <= 0) continue;
        const float h = static_cast<float>(HNEW[n]);
        const float t = TOP[kt + c];
        if (h < t) RHS[n] = RHS[n] + (t - h) * CONDV[n - nrc];
      }
    }
    if (k < nlay) {
      const int below = m.LAYCON[k];
      if (below == 2 || below == 3) {
        const std::int64_t kt = nrc * (topPos_[k] - 1);
        for (std::int64_t c = 0; c < nrc; ++c) {
          const std::int64_t n = lay + c;
          if (IBOUND[n] <= 0) continue;
          const float h = static_cast<float>(HNEW[n + nrc]);
          const float t = TOP[kt + c];
          if (h < t) RHS[n] = RHS[n] - (t - h) * CONDV[n];
        }
      }
    }
  }
}

void BcfPackage::logConversion(Model& m, int k, const char* kind, int i, int j) {
  pending_[npending_++] = LogEntry{kind, i, j};
  if (npending_ == 5) flushLog(m, k);
}

void BcfPackage::flushLog(Model& m, int k) {
  if (npending_ == 0) return;
  if (!headingWritten_) {
    io::write(m.LISTUNIT,
              AQX_FMT("(1X/1X,'CELL CONVERSIONS FOR ITER.=',I3,'  LAYER=',I3,'  STEP=',I3,'  PERIOD=',I3,'   "
                      "(ROW,COL)')"),
              m.KOUTER, k, m.KSTEP, m.KPERIOD);
    headingWritten_ = true;
  }
  std::vector<io::OutItem> items;
  items.reserve(15);
  for (int e = 0; e < npending_; ++e) {
    items.emplace_back(pending_[e].kind);
    items.emplace_back(pending_[e].row);
    items.emplace_back(pending_[e].col);
  }
  io::writeItems(m.LISTUNIT, AQX_FMT("(1X,3X,5(A,'(',I3,',',I3,')   '))"), items);
  npending_ = 0;
}

void BcfPackage::recomputeLayer(Model& m, int k, int kb, int kt) {
  const int nlay = m.NLAYER, nrow = m.NROWS, ncol = m.NCOLS;
  const std::int64_t nrc = static_cast<std::int64_t>(nrow) * ncol;
  const std::int64_t lay = nrc * (k - 1);
  const std::int64_t bot = nrc * (kb - 1);
  const std::int64_t topBase = kt > 0 ? nrc * (kt - 1) : 0;
  const int type = m.LAYCON[k - 1];
  const bool unconfined = m.LAYAVG[k - 1] == 30;
  int* IBOUND = m.IBOUND;
  double* HNEW = m.HEADNEW;
  float* CONDC = m.CONDC;
  float* CONDV = m.CONDV;
  float* BUFF = m.BUFF;

  const bool tryWet = wetting() && m.KOUTER % s_.IWETINTERVAL == 0;
  npending_ = 0;
  headingWritten_ = false;

  for (int i = 1; i <= nrow; ++i) {
    for (int j = 1; j <= ncol; ++j) {
      const std::int64_t c = static_cast<std::int64_t>(ncol) * (i - 1) + (j - 1);
      const std::int64_t n = lay + c;
      if (IBOUND[n] == 0) {
        bool wetted = false;
        if (tryWet && WETDRY[bot + c] != 0.0f) {
          const float wd = WETDRY[bot + c];
          const float w = std::fabs(wd);
          const float threshold = BOTTOM[bot + c] + w;
          // A neighbour wets the cell when its head reaches the threshold and it is an ordinary
          // active cell (not constant head, not wetted earlier in this pass).
          auto qualifies = [&](std::int64_t nn) {
            return static_cast<float>(HNEW[nn]) >= threshold && IBOUND[nn] > 0 && IBOUND[nn] != kWetMark;
          };
          std::int64_t found = -1;
          if (k < nlay && qualifies(n + nrc)) {
            found = n + nrc;
          } else if (wd > 0.0f) {
            if (j > 1 && qualifies(n - 1)) {
              found = n - 1;
            } else if (j < ncol && qualifies(n + 1)) {
              found = n + 1;
            } else if (i > 1 && qualifies(n - ncol)) {
              found = n - ncol;
            } else if (i < nrow && qualifies(n + ncol)) {
              found = n + ncol;
            }
          }
          if (found >= 0) {
            const float b = BOTTOM[bot + c];
            if (s_.IWETEQN == 0) {
              const float hn = static_cast<float>(HNEW[found]);
              HNEW[n] = static_cast<double>(b + s_.WETFACTOR * (hn - b));
            } else {
              HNEW[n] = static_cast<double>(b + s_.WETFACTOR * w);
            }
            if (k < nlay && IBOUND[n + nrc] != 0) CONDV[n] = CVSAVE[n];
            if (k > 1 && IBOUND[n - nrc] != 0) CONDV[n - nrc] = CVSAVE[n - nrc];
            IBOUND[n] = kWetMark;
            logConversion(m, k, "WET", i, j);
            wetted = true;
          }
        }
        if (!wetted) {
          CONDC[n] = 0.0f;
          if (unconfined) BUFF[n] = 0.0f;
          continue;
        }
      }

      // Active cell (or one just wetted): saturated thickness from the current head.
      double h = HNEW[n];
      if (type == 3) h = std::min(h, static_cast<double>(TOP[topBase + c]));
      const float b = static_cast<float>(h - static_cast<double>(BOTTOM[bot + c]));
      if (b <= 0.0f) {
        logConversion(m, k, "DRY", i, j);
        HNEW[n] = static_cast<double>(s_.HEADDRY);
        CONDC[n] = 0.0f;
        if (IBOUND[n] < 0) {
          io::write(m.LISTUNIT, AQX_FMT("(1X/1X,'CONSTANT-HEAD CELL WENT DRY',' -- SIMULATION ABORTED')"));
          io::write(
              m.LISTUNIT,
              AQX_FMT("(1X,'LAYER=',I2,'   ROW=',I3,'   COLUMN=',I3,'   ITERATION=',I3,'   TIME STEP=',I3,"
                      "'   STRESS PERIOD=',I3)"),
              k, i, j, m.KOUTER, m.KSTEP, m.KPERIOD);
          io::stopRun();
        }
        IBOUND[n] = 0;
        if (k < nlay) CONDV[n] = 0.0f;
        if (k > 1) CONDV[n - nrc] = 0.0f;
      } else if (unconfined) {
        CONDC[n] = HYDCOND[bot + c];
        BUFF[n] = b;
      } else {
        CONDC[n] = b * HYDCOND[bot + c];
      }
    }
  }

  flushLog(m, k);
  if (wetting()) {
    for (std::int64_t c = 0; c < nrc; ++c) {
      if (IBOUND[lay + c] == kWetMark) IBOUND[lay + c] = 1;
    }
  }
  switch (m.LAYAVG[k - 1]) {
    case 0:
      bcf::averageHarmonic(m.CONDR, CONDC, ANISO, m.DELR, m.DELC, k, ncol, nrow);
      break;
    case 10:
      bcf::averageArithmetic(m.CONDR, CONDC, ANISO, m.DELR, m.DELC, k, ncol, nrow);
      break;
    case 20:
      bcf::averageLogarithmic(m.CONDR, CONDC, ANISO, m.DELR, m.DELC, k, ncol, nrow);
      break;
    default:
      bcf::averageUnconfined(m.CONDR, CONDC, ANISO, m.DELR, m.DELC, BUFF, k, ncol, nrow);
      break;
  }
}

}  // namespace aqx
