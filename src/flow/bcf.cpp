// Block-centred flow: allocation, input, and the one-time preparation of conductances and storage.
#include "flow/bcf.hpp"

#include <climits>
#include <cmath>
#include <cstdint>
#include <span>

#include "bas/value_checks.hpp"
#include "driver/allocation_report.hpp"
#include "io/arrays.hpp"
#include "io/record.hpp"

namespace aqx {

namespace bcf {

float logMean(float t1, float t2) {
  const float ratio = t2 / t1;
  if (ratio > 1.005f || ratio < 0.995f) return (t2 - t1) / std::log(ratio);
  return (t1 + t2) * 0.5f;
}

std::string_view averagingName(int layavg) {
  switch (layavg) {
    case 0:
      return "HARMONIC    ";
    case 10:
      return "ARITHMETIC  ";
    case 20:
      return "LOGARITHMIC ";
    default:
      return "*UNCONFINED*";
  }
}

namespace {

// One pass over layer k, rows outer, columns inner. When cell (i, j) is visited CONDC(i, j+1) and
// CONDC(i+1, j) still hold cell values, so the layer can be overwritten in place. The callbacks
// give the conductance toward the next column and the next row from the two cell values; they are
// only called with a nonzero T1 and for neighbours inside the grid.
template <class RowFn, class ColFn>
void averageLayer(float* CONDR, float* CONDC, int k, int ncol, int nrow, RowFn alongRow, ColFn alongCol) {
  const std::int64_t base = static_cast<std::int64_t>(ncol) * nrow * (k - 1);
  for (int i = 1; i <= nrow; ++i) {
    for (int j = 1; j <= ncol; ++j) {
      const std::int64_t n = base + static_cast<std::int64_t>(ncol) * (i - 1) + (j - 1);
      const float t1 = CONDC[n];
      if (t1 == 0.0f) {
        CONDR[n] = 0.0f;
        continue;
      }
      if (j < ncol) CONDR[n] = alongRow(t1, CONDC[n + 1], n, n + 1, i, j);
      if (i < nrow) CONDC[n] = alongCol(t1, CONDC[n + ncol], n, n + ncol, i, j);
    }
  }
}

}  // namespace

void averageHarmonic(float* CONDR, float* CONDC, const float* ANISO, const float* DELR, const float* DELC,
                     int k, int ncol, int nrow) {
  const float a = ANISO[k - 1];
  averageLayer(
      CONDR, CONDC, k, ncol, nrow,
      [&](float t1, float t2, std::int64_t, std::int64_t, int i, int j) {
        return 2.0f * t2 * t1 * DELC[i - 1] / (t1 * DELR[j] + t2 * DELR[j - 1]);
      },
      [&](float t1, float t2, std::int64_t, std::int64_t, int i, int j) {
        return 2.0f * a * t2 * t1 * DELR[j - 1] / (t1 * DELC[i] + t2 * DELC[i - 1]);
      });
}

void averageArithmetic(float* CONDR, float* CONDC, const float* ANISO, const float* DELR, const float* DELC,
                       int k, int ncol, int nrow) {
  const float a = ANISO[k - 1];
  averageLayer(
      CONDR, CONDC, k, ncol, nrow,
      [&](float t1, float t2, std::int64_t, std::int64_t, int i, int j) {
        if (t2 == 0.0f) return 0.0f;
        return (t2 + t1) * DELC[i - 1] / (DELR[j] + DELR[j - 1]);
      },
      [&](float t1, float t2, std::int64_t, std::int64_t, int i, int j) {
        if (t2 == 0.0f) return 0.0f;
        return a * DELR[j - 1] * (t2 + t1) / (DELC[i] + DELC[i - 1]);
      });
}

void averageLogarithmic(float* CONDR, float* CONDC, const float* ANISO, const float* DELR, const float* DELC,
                        int k, int ncol, int nrow) {
  const float a = ANISO[k - 1];
  averageLayer(
      CONDR, CONDC, k, ncol, nrow,
      [&](float t1, float t2, std::int64_t, std::int64_t, int i, int j) {
        if (t2 == 0.0f) return 0.0f;
        return 2.0f * DELC[i - 1] * logMean(t1, t2) / (DELR[j] + DELR[j - 1]);
      },
      [&](float t1, float t2, std::int64_t, std::int64_t, int i, int j) {
        if (t2 == 0.0f) return 0.0f;
        return 2.0f * a * DELR[j - 1] * logMean(t1, t2) / (DELC[i] + DELC[i - 1]);
      });
}

void averageUnconfined(float* CONDR, float* CONDC, const float* ANISO, const float* DELR, const float* DELC,
                       const float* thick, int k, int ncol, int nrow) {
  const float a = ANISO[k - 1];
  averageLayer(
      CONDR, CONDC, k, ncol, nrow,
      [&](float t1, float t2, std::int64_t n1, std::int64_t n2, int i, int j) {
        if (t2 == 0.0f) return 0.0f;
        return logMean(t1, t2) * DELC[i - 1] * (thick[n1] + thick[n2]) / (DELR[j] + DELR[j - 1]);
      },
      [&](float t1, float t2, std::int64_t n1, std::int64_t n2, int i, int j) {
        if (t2 == 0.0f) return 0.0f;
        return a * DELR[j - 1] * logMean(t1, t2) * (thick[n1] + thick[n2]) / (DELC[i] + DELC[i - 1]);
      });
}

}  // namespace bcf

namespace {}  // namespace

void BcfPackage::configure(Model& m, const Settings& s) {
  s_ = s;
  if (s_.IWETTING != 0 && s_.IWETINTERVAL <= 0) s_.IWETINTERVAL = 1;
  m.HEADDRY = s_.HEADDRY;
}

void BcfPackage::allocate(Model& m) {
  const int in = m.unitOf(kBCF);
  const int out = m.LISTUNIT;
  io::write(
      out,
      AQX_FMT(
          "(1X/1X,'BCF5 -- BLOCK-CENTERED FLOW PACKAGE, VERSION 5',', 9/1/93',' INPUT READ FROM UNIT',I3)"),
      in);

  // Record 1.
  io::readFixedOrFree(in, m.FREEFMT != 0, AQX_FMT("(2I10,F10.0,I10,F10.0,2I10)"), s_.ISTEADY, s_.IFLOWCB,
                      s_.HEADDRY, s_.IWETTING, s_.WETFACTOR, s_.IWETINTERVAL, s_.IWETEQN);
  if (s_.ISTEADY == 0) {
    io::write(out, AQX_FMT("(1X,'TRANSIENT SIMULATION')"));
  } else {
    io::write(out, AQX_FMT("(1X,'STEADY-STATE SIMULATION')"));
  }
  if (s_.IFLOWCB < 0) {
    io::write(out,
              AQX_FMT("(1X,'CONSTANT-HEAD CELL-BY-CELL FLOWS WILL BE PRINTED',' WHEN ICBCFL IS NOT 0')"));
  } else if (s_.IFLOWCB > 0) {
    io::write(out, AQX_FMT("(1X,'CELL-BY-CELL FLOWS WILL BE SAVED ON UNIT',I3)"), s_.IFLOWCB);
  }
  io::write(out, AQX_FMT("(1X,'HEAD AT CELLS THAT CONVERT TO DRY=',G13.5)"), s_.HEADDRY);
  if (s_.IWETTING != 0) {
    io::write(out, AQX_FMT("(1X,'WETTING CAPABILITY IS ACTIVE')"));
    if (s_.IWETINTERVAL <= 0) s_.IWETINTERVAL = 1;
    io::write(out, AQX_FMT("(1X,'WETTING FACTOR=',F10.5,'     WETTING ITERATION INTERVAL=',I4)"),
              s_.WETFACTOR, s_.IWETINTERVAL);
    io::write(out, AQX_FMT("(1X,'FLAG THAT SPECIFIES THE EQUATION TO USE FOR HEAD',' AT WETTED CELLS=',I4)"),
              s_.IWETEQN);
  } else {
    io::write(out, AQX_FMT("(1X,'WETTING CAPABILITY IS NOT ACTIVE')"));
  }
  m.HEADDRY = s_.HEADDRY;

  // Record 2: the layer codes.
  const int nlay = m.NLAYER;
  if (nlay > 200) {
    io::write(out,
              AQX_FMT("(1X/1X,'YOU HAVE SPECIFIED MORE THAN 200 MODEL LAYERS'/1X,'SPACE IS RESERVED FOR A "
                      "MAXIMUM OF 200 LAYERS IN ARRAYS LAYCON',' AND LAYAVG')"));
    io::stopRun();
  }
  std::array<int, 200> codes{};
  if (nlay > 0) {
    std::span<int> codeSpan(codes.data(), static_cast<std::size_t>(nlay));
    io::readFixedOrFree(in, m.FREEFMT != 0, AQX_FMT("(40I2)"), codeSpan);
  }
  decodeLayers(m, codes.data());

  const AllocationReport report(m);
  takeArrays(m);
  report.report(AQX_FMT("(1X,I10,' ELEMENTS IN X ARRAY ARE USED BY BCF')"));
}

void BcfPackage::decodeLayers(Model& m, const int* codes) {
  const int out = m.LISTUNIT;
  const int nlay = m.NLAYER;
  io::write(out, AQX_FMT("(1X,5X,'LAYER  LAYER-TYPE CODE     INTERBLOCK T'/1X,5X,44('-'))"));
  nconv = 0;
  ntop = 0;
  for (int k = 1; k <= nlay; ++k) {
    int code = codes[k - 1];
    // The unconfined rule needs a saturated thickness: fixed-transmissivity layers get the
    // logarithmic rule instead.
    if (code == 30) code = 20;
    if (code == 32) code = 22;
    const int avg = (code / 10) * 10;
    if (avg < 0 || avg > 30) {
      io::write(out, AQX_FMT("(1X,'INVALID INTERBLOCK T CODE:',I4)"), avg);
      io::stopRun();
    }
    const int type = code - avg;
    m.LAYAVG[k - 1] = avg;
    m.LAYCON[k - 1] = type;
    io::write(out, AQX_FMT("(1X,I9,I13,I11,' -- ',A)"), k, type, avg, bcf::averagingName(avg));
    if (type < 0 || type > 3) {
      io::write(out, AQX_FMT("(1X,'INVALID LAYER TYPE:',I4)"), type);
      io::stopRun();
    }
    if (type == 1 && k != 1) {
      io::write(out, AQX_FMT("(1X/1X,'LAYER TYPE 1 IS ONLY ALLOWED IN TOP LAYER')"));
      io::stopRun();
    }
    if (type == 1 || type == 3) ++nconv;
    if (type == 2 || type == 3) ++ntop;
    convPos_[k - 1] = (type == 1 || type == 3) ? nconv : 0;
    topPos_[k - 1] = (type == 2 || type == 3) ? ntop : 0;
    if (m.IAPART == 0 && avg == 30) {
      io::write(out,
                AQX_FMT("(1X,'IAPART IN BAS PACKAGE MUST BE NONZERO',' WHEN INTERBLOCK T IS *UNCONFINED*')"));
      io::stopRun();
    }
  }
}

void BcfPackage::takeArrays(Model& m) {
  const int nlay = m.NLAYER;
  // Arrays, each only when present.
  WorkArray& w = *m.work;
  const std::int64_t nrc = static_cast<std::int64_t>(m.NROWS) * m.NCOLS;
  if (transient()) {
    STOR1 = w.takeReal(nrc * nlay);
    STOR2 = w.takeReal(nrc * ntop);
  }
  ANISO = w.takeReal(nlay);
  BOTTOM = w.takeReal(nrc * nconv);
  HYDCOND = w.takeReal(nrc * nconv);
  TOP = w.takeReal(nrc * ntop);
  if (wetting()) {
    WETDRY = w.takeReal(nrc * nconv);
    CVSAVE = w.takeReal(nrc * (nlay > 1 ? nlay - 1 : 0));
  }
  m.BOTTOM = BOTTOM;
  m.TOP = TOP;
  m.STOR1 = STOR1;
  m.STOR2 = STOR2;
  m.ISTEADY = s_.ISTEADY;
}

void BcfPackage::readPrepare(Model& m) {
  const int in = m.unitOf(kBCF);
  const int out = m.LISTUNIT;
  const int nlay = m.NLAYER, nrow = m.NROWS, ncol = m.NCOLS;
  const std::int64_t nrc = static_cast<std::int64_t>(nrow) * ncol;

  io::READVEC(ANISO, "COLUMN TO ROW ANISOTROPY", nlay, in, out);
  io::READVEC(m.DELR, "                    DELR", ncol, in, out);
  io::READVEC(m.DELC, "                    DELC", nrow, in, out);

  for (int k = 1; k <= nlay; ++k) {
    const int type = m.LAYCON[k - 1];
    const std::int64_t lay = nrc * (k - 1);
    const bool convertible = type == 1 || type == 3;
    const bool hasTop = type == 2 || type == 3;
    if (transient()) io::READRMAT(STOR1 + lay, "    PRIMARY STORAGE COEF", nrow, ncol, k, in, out);
    if (convertible) {
      const std::int64_t kb = nrc * (convPos_[k - 1] - 1);
      io::READRMAT(HYDCOND + kb, "   HYD. COND. ALONG ROWS", nrow, ncol, k, in, out);
      io::READRMAT(BOTTOM + kb, "                  BOTTOM", nrow, ncol, k, in, out);
    } else {
      io::READRMAT(m.CONDC + lay, "    TRANSMIS. ALONG ROWS", nrow, ncol, k, in, out);
    }
    if (k < nlay) io::READRMAT(m.CONDV + lay, "VERT HYD COND /THICKNESS", nrow, ncol, k, in, out);
    if (hasTop) {
      const std::int64_t kt = nrc * (topPos_[k - 1] - 1);
      if (transient()) io::READRMAT(STOR2 + kt, "  SECONDARY STORAGE COEF", nrow, ncol, k, in, out);
      io::READRMAT(TOP + kt, "                     TOP", nrow, ncol, k, in, out);
    }
    if (convertible && wetting()) {
      const std::int64_t kb = nrc * (convPos_[k - 1] - 1);
      io::READRMAT(WETDRY + kb, "        WETDRY PARAMETER", nrow, ncol, k, in, out);
    }
  }
  checkInput(m);
  prepare(m);
}

void BcfPackage::checkInput(const Model& m) const {
  const int out = m.LISTUNIT;
  const int nlay = m.NLAYER, nrow = m.NROWS, ncol = m.NCOLS;
  const std::int64_t nrc = static_cast<std::int64_t>(nrow) * ncol;
  checkVector(out, ANISO, nlay, Refuse::Negative, "COLUMN TO ROW ANISOTROPY", "LAYER");
  checkVector(out, m.DELR, ncol, Refuse::NotPositive, "                    DELR", "COLUMN");
  checkVector(out, m.DELC, nrow, Refuse::NotPositive, "                    DELC", "ROW");

  // A cell's values count when it is not no-flow, or when it may wet later.
  auto used = [&](int k, int i, int j) {
    if (m.IBOUND[m.cell(k, i, j)] != 0) return true;
    const int type = m.LAYCON[k - 1];
    if (!wetting() || (type != 1 && type != 3)) return false;
    return WETDRY[nrc * (convPos_[k - 1] - 1) + static_cast<std::int64_t>(ncol) * (i - 1) + (j - 1)] != 0.0f;
  };
  for (int k = 1; k <= nlay; ++k) {
    const int type = m.LAYCON[k - 1];
    const std::int64_t lay = nrc * (k - 1);
    const bool convertible = type == 1 || type == 3;
    const bool hasTop = type == 2 || type == 3;
    auto cellUsed = [&](int i, int j) { return used(k, i, j); };
    if (transient())
      checkLayer(out, STOR1 + lay, nrow, ncol, k, Refuse::Negative, "    PRIMARY STORAGE COEF", cellUsed);
    if (convertible) {
      const std::int64_t kb = nrc * (convPos_[k - 1] - 1);
      checkLayer(out, HYDCOND + kb, nrow, ncol, k, Refuse::Negative, "   HYD. COND. ALONG ROWS", cellUsed);
      checkLayer(out, BOTTOM + kb, nrow, ncol, k, Refuse::NonFinite, "                  BOTTOM", cellUsed);
    } else {
      checkLayer(out, m.CONDC + lay, nrow, ncol, k, Refuse::Negative, "    TRANSMIS. ALONG ROWS", cellUsed);
    }
    if (k < nlay) {
      checkLayer(out, m.CONDV + lay, nrow, ncol, k, Refuse::Negative, "VERT HYD COND /THICKNESS",
                 [&](int i, int j) { return used(k, i, j) && used(k + 1, i, j); });
    }
    if (hasTop) {
      const std::int64_t kt = nrc * (topPos_[k - 1] - 1);
      if (transient())
        checkLayer(out, STOR2 + kt, nrow, ncol, k, Refuse::Negative, "  SECONDARY STORAGE COEF", cellUsed);
      checkLayer(out, TOP + kt, nrow, ncol, k, Refuse::NonFinite, "                     TOP", cellUsed);
    }
    if (convertible && wetting()) {
      checkLayer(out, WETDRY + nrc * (convPos_[k - 1] - 1), nrow, ncol, k, Refuse::NonFinite,
                 "        WETDRY PARAMETER", everyCell());
    }
  }
}

void BcfPackage::prepare(Model& m) {
  const int out = m.LISTUNIT;
  const int nlay = m.NLAYER, nrow = m.NROWS, ncol = m.NCOLS;
  const std::int64_t nrc = static_cast<std::int64_t>(nrow) * ncol;
  float* CONDV = m.CONDV;
  float* CONDC = m.CONDC;
  int* IBOUND = m.IBOUND;

  // Vertical conductances from leakance and cell area; a copy for reconnecting cells that wet.
  if (nlay > 1) {
    for (int k = 1; k < nlay; ++k) {
      for (int i = 1; i <= nrow; ++i) {
        for (int j = 1; j <= ncol; ++j) {
          const std::int64_t n = m.cell(k, i, j);
          CONDV[n] = CONDV[n] * m.DELR[j - 1] * m.DELC[i - 1];
        }
      }
    }
    if (wetting()) {
      for (std::int64_t n = 0; n < nrc * (nlay - 1); ++n) CVSAVE[n] = CONDV[n];
    }
  }

  // Inactive cells exchange nothing.
  for (int k = 1; k <= nlay; ++k) {
    for (std::int64_t c = 0; c < nrc; ++c) {
      const std::int64_t n = nrc * (k - 1) + c;
      if (IBOUND[n] != 0) continue;
      if (k < nlay) CONDV[n] = 0.0f;
      if (k > 1) CONDV[n - nrc] = 0.0f;
      CONDC[n] = 0.0f;
    }
  }

  // Cells that can exchange no water at all become inactive.
  for (int k = 1; k <= nlay; ++k) {
    const int type = m.LAYCON[k - 1];
    const bool convertible = type == 1 || type == 3;
    const std::int64_t kb = convertible ? nrc * (convPos_[k - 1] - 1) : 0;
    for (int i = 1; i <= nrow; ++i) {
      for (int j = 1; j <= ncol; ++j) {
        const std::int64_t c = static_cast<std::int64_t>(ncol) * (i - 1) + (j - 1);
        const std::int64_t n = nrc * (k - 1) + c;
        bool eliminate;
        if (convertible && wetting() && WETDRY[kb + c] != 0.0f) {
          const bool connected = (k < nlay && CVSAVE[n] != 0.0f) || (k > 1 && CVSAVE[n - nrc] != 0.0f);
          eliminate = !connected && HYDCOND[kb + c] == 0.0f;
        } else if (convertible) {
          if (IBOUND[n] == 0) continue;
          const bool connected = (k < nlay && CONDV[n] != 0.0f) || (k > 1 && CONDV[n - nrc] != 0.0f);
          eliminate = !connected && HYDCOND[kb + c] == 0.0f;
        } else {
          if (IBOUND[n] == 0) continue;
          const bool connected =
              CONDC[n] != 0.0f || (k < nlay && CONDV[n] != 0.0f) || (k > 1 && CONDV[n - nrc] != 0.0f);
          eliminate = !connected;
        }
        if (!eliminate) continue;
        IBOUND[n] = 0;
        m.HEADNEW[n] = static_cast<double>(888.88f);
        if (convertible && wetting()) WETDRY[kb + c] = 0.0f;
        io::write(
            out,
            AQX_FMT("(1X,'NODE (LAYER,ROW,COL)',3I4,' ELIMINATED BECAUSE ALL CONDUCTANCES TO NODE ARE 0')"),
            k, i, j);
      }
    }
  }

  // Fixed-transmissivity layers get their horizontal conductances once.
  for (int k = 1; k <= nlay; ++k) {
    const int type = m.LAYCON[k - 1];
    if (type != 0 && type != 2) continue;
    const int avg = m.LAYAVG[k - 1];
    if (avg == 0) {
      bcf::averageHarmonic(m.CONDR, CONDC, ANISO, m.DELR, m.DELC, k, ncol, nrow);
    } else if (avg == 10) {
      bcf::averageArithmetic(m.CONDR, CONDC, ANISO, m.DELR, m.DELC, k, ncol, nrow);
    } else {
      bcf::averageLogarithmic(m.CONDR, CONDC, ANISO, m.DELR, m.DELC, k, ncol, nrow);
    }
  }

  // Storage coefficients become capacities.
  if (transient()) {
    for (int k = 1; k <= nlay; ++k) {
      const std::int64_t kt = topPos_[k - 1] > 0 ? nrc * (topPos_[k - 1] - 1) : -1;
      for (int i = 1; i <= nrow; ++i) {
        for (int j = 1; j <= ncol; ++j) {
          const std::int64_t c = static_cast<std::int64_t>(ncol) * (i - 1) + (j - 1);
          STOR1[nrc * (k - 1) + c] = STOR1[nrc * (k - 1) + c] * m.DELR[j - 1] * m.DELC[i - 1];
          if (kt >= 0) STOR2[kt + c] = STOR2[kt + c] * m.DELR[j - 1] * m.DELC[i - 1];
        }
      }
    }
  }
}

AQX_REGISTER_PACKAGE("BCF", BcfPackage)

}  // namespace aqx
