// General finite-difference flow: allocation, input, and the one-time preparation that cuts the
// links of inactive cells and removes cells that can exchange no water.
#include "flow/gfd.hpp"

#include <cmath>
#include <span>
#include <string_view>

#include "bas/value_checks.hpp"
#include "driver/allocation_report.hpp"
#include "io/arrays.hpp"
#include "io/record.hpp"

namespace aqx {

namespace gfd {

float faceThickness(float t1, float t2, bool alongRow) {
  const float r = t2 / t1;
  if (r == 0.0f) return 0.0f;
  const bool logarithmic = alongRow ? (r >= 1.25f || r <= 0.8f) : (r >= 1.25f || r < 0.8f);
  if (logarithmic) return (t2 - t1) / std::log(r);
  return (t1 + t2) * 0.5f;
}

}  // namespace gfd

namespace {

bool convertible(int type) {
  return type == 1 || type == 3;
}
bool hasTop(int type) {
  return type == 2 || type == 3;
}

}  // namespace

void GfdPackage::allocate(Model& m) {
  const int in = m.unitOf(kGFD);
  const int out = m.LISTUNIT;
  io::write(out,
            AQX_FMT("('0','GFD1 -- GENERAL FINITE-DIFFERENCE FLOW PACKAGE, ','VERSION 1, 9/19/89 INPUT READ "
                    "FROM UNIT',I3)"),
            in);
  // Both packages fill the conductances, the storage capacities and the layer table: run
  // together, the later one would overwrite the earlier one's model of the aquifer.
  if (m.unitOf(kBCF) > 0) {
    io::write(out, AQX_FMT("(1X/1X,'GFD AND BCF CANNOT BE USED IN THE SAME SIMULATION:',"
                           "' BOTH DESCRIBE THE FLOW BETWEEN CELLS')"));
    io::stopRun();
  }
  io::read(in, AQX_FMT("(2I10)"), ISTEADY, GFDFLOWCB);
  if (ISTEADY == 0) {
    io::write(out, AQX_FMT("(1X,'TRANSIENT SIMULATION')"));
  } else {
    io::write(out, AQX_FMT("(1X,'STEADY-STATE SIMULATION')"));
  }
  if (GFDFLOWCB > 0) {
    io::write(out, AQX_FMT("(1X,'CELL BUDGET WILL BE SAVED ON UNIT',I3)"), GFDFLOWCB);
  } else if (GFDFLOWCB < 0) {
    io::write(out, AQX_FMT("(1X,'CONSTANT HEAD CELL-BY-CELL FLOWS WILL BE PRINTED')"));
  }

  const int nlay = m.NLAYER;
  if (nlay > 200) {
    io::write(out, AQX_FMT("('0','YOU HAVE SPECIFIED MORE THAN 200 MODEL LAYERS'/1X,'SPACE IS RESERVED FOR A "
                           "MAXIMUM OF 200 LAYERS IN ARRAY LAYCON')"));
    io::stopRun();
  }
  std::array<int, 200> codes{};
  if (nlay > 0) io::read(in, AQX_FMT("(40I2)"), std::span<int>(codes.data(), static_cast<std::size_t>(nlay)));
  decodeLayers(m, codes.data());

  const AllocationReport report(m);
  takeArrays(m);
  report.report(AQX_FMT("(1X,I8,' ELEMENTS IN X ARRAY ARE USED BY GFD')"),
                AQX_FMT("(1X,I8,' ELEMENTS OF X ARRAY USED OUT OF',I8)"));
}

void GfdPackage::decodeLayers(Model& m, const int* codes) {
  const int out = m.LISTUNIT;
  io::write(out, AQX_FMT("(1X,5X,'LAYER  AQUIFER TYPE'/1X,5X,19('-'))"));
  nconv = 0;
  ntop = 0;
  for (int k = 1; k <= m.NLAYER; ++k) {
    // Codes other than 1, 2 and 3 are kept as given and act as type 0 everywhere.
    const int type = codes[k - 1];
    m.LAYCON[k - 1] = type;
    io::write(out, AQX_FMT("(1X,I9,I10)"), k, type);
    if (type == 1 && k != 1) {
      io::write(out, AQX_FMT("('0','AQUIFER TYPE 1 IS ONLY ALLOWED IN TOP LAYER')"));
      io::stopRun();
    }
    if (convertible(type)) ++nconv;
    if (hasTop(type)) ++ntop;
    convPos_[k - 1] = convertible(type) ? nconv : 0;
    topPos_[k - 1] = hasTop(type) ? ntop : 0;
  }
}

void GfdPackage::takeArrays(Model& m) {
  WorkArray& w = *m.work;
  const std::int64_t nrc = static_cast<std::int64_t>(m.NROWS) * m.NCOLS;
  if (transient()) {
    STOR1 = w.takeReal(m.NCELLS);
    STOR2 = w.takeReal(nrc * ntop);
  }
  BOTTOM = w.takeReal(nrc * nconv);
  CTHICKR = w.takeReal(nrc * nconv);
  CTHICKC = w.takeReal(nrc * nconv);
  TOP = w.takeReal(nrc * ntop);
  // The flow package's shared arrays: the dry-cell pass reads LAYCON and BOTTOM. A cell it turns
  // dry gets the head this package gives its own dry cells.
  m.BOTTOM = BOTTOM;
  m.TOP = TOP;
  m.STOR1 = STOR1;
  m.STOR2 = STOR2;
  m.ISTEADY = ISTEADY;
  m.HEADDRY = 1.0E30f;
}

void GfdPackage::readPrepare(Model& m) {
  const int in = m.unitOf(kGFD);
  const int out = m.LISTUNIT;
  const int nlay = m.NLAYER, nrow = m.NROWS, ncol = m.NCOLS;
  const std::int64_t nrc = static_cast<std::int64_t>(nrow) * ncol;

  io::READVEC(m.DELR, "                    DELR", ncol, in, out);
  checkVector(out, m.DELR, ncol, Refuse::NotPositive, "                    DELR", "COLUMN");
  io::READVEC(m.DELC, "                    DELC", nrow, in, out);
  checkVector(out, m.DELC, nrow, Refuse::NotPositive, "                    DELC", "ROW");
  for (int k = 1; k <= nlay; ++k) {
    const int type = m.LAYCON[k - 1];
    const std::int64_t lay = nrc * (k - 1);
    // Each layer array is refused where the equations would use it: a cell's own value where the
    // cell is not no-flow, a link's where both of its cells are not.
    auto read = [&](float* values, std::string_view label, Refuse rule, auto used) {
      io::READRMAT(values, label, nrow, ncol, k, in, out);
      checkLayer(out, values, nrow, ncol, k, rule, label, used);
    };
    if (transient()) read(STOR1 + lay, "PRIMARY STORAGE CAPACITY", Refuse::Negative, activeCell(m, k));
    if (convertible(type)) {
      const std::int64_t kb = nrc * (convPos(k) - 1);
      read(CTHICKR + kb, "   COND/THICK ALONG ROWS", Refuse::Negative, activeLink(m, k, 0, 1, 0));
      read(CTHICKC + kb, "   COND/THICK ALONG COLS", Refuse::Negative, activeLink(m, k, 1, 0, 0));
      read(BOTTOM + kb, "                  BOTTOM", Refuse::NonFinite, activeCell(m, k));
    } else {
      read(m.CONDR + lay, "  CONDUCTANCE ALONG ROWS", Refuse::Negative, activeLink(m, k, 0, 1, 0));
      read(m.CONDC + lay, "  CONDUCTANCE ALONG COLS", Refuse::Negative, activeLink(m, k, 1, 0, 0));
    }
    if (k < nlay)
      read(m.CONDV + lay, "    VERTICAL CONDUCTANCE", Refuse::Negative, activeLink(m, k, 0, 0, 1));
    if (hasTop(type)) {
      const std::int64_t kt = nrc * (topPos(k) - 1);
      if (transient()) read(STOR2 + kt, "   SEC. STORAGE CAPACITY", Refuse::Negative, activeCell(m, k));
      read(TOP + kt, "                     TOP", Refuse::NonFinite, activeCell(m, k));
    }
  }
  prepare(m);
}

void GfdPackage::prepare(Model& m) {
  const int out = m.LISTUNIT;
  const int nlay = m.NLAYER, nrow = m.NROWS, ncol = m.NCOLS;
  const std::int64_t nrc = static_cast<std::int64_t>(nrow) * ncol;
  float* CONDR = m.CONDR;
  float* CONDC = m.CONDC;
  float* CONDV = m.CONDV;
  int* IBOUND = m.IBOUND;

  // An inactive cell exchanges nothing with any neighbour.
  for (int k = 1; k <= nlay; ++k) {
    const bool conv = convertible(m.LAYCON[k - 1]);
    float* ctr = conv ? CTHICKR + nrc * (convPos(k) - 1) : nullptr;
    float* ctc = conv ? CTHICKC + nrc * (convPos(k) - 1) : nullptr;
    for (int i = 1; i <= nrow; ++i) {
      for (int j = 1; j <= ncol; ++j) {
        const std::int64_t c = static_cast<std::int64_t>(ncol) * (i - 1) + (j - 1);
        const std::int64_t n = nrc * (k - 1) + c;
        if (IBOUND[n] != 0) continue;
        if (k < nlay) CONDV[n] = 0.0f;
        if (k > 1) CONDV[n - nrc] = 0.0f;
        CONDC[n] = 0.0f;
        if (i > 1) CONDC[n - ncol] = 0.0f;
        CONDR[n] = 0.0f;
        if (j > 1) CONDR[n - 1] = 0.0f;
        if (conv) {
          ctr[c] = 0.0f;
          ctc[c] = 0.0f;
          if (j > 1) ctr[c - 1] = 0.0f;
          if (i > 1) ctc[c - ncol] = 0.0f;
        }
      }
    }
  }

  // A cell whose six links are all zero can exchange no water and leaves the model. Removing it
  // changes no link of its neighbours, so one pass finds every such cell.
  for (int k = 1; k <= nlay; ++k) {
    const bool conv = convertible(m.LAYCON[k - 1]);
    const float* rowLinks = conv ? CTHICKR + nrc * (convPos(k) - 1) : CONDR + nrc * (k - 1);
    const float* colLinks = conv ? CTHICKC + nrc * (convPos(k) - 1) : CONDC + nrc * (k - 1);
    for (int i = 1; i <= nrow; ++i) {
      for (int j = 1; j <= ncol; ++j) {
        const std::int64_t c = static_cast<std::int64_t>(ncol) * (i - 1) + (j - 1);
        const std::int64_t n = nrc * (k - 1) + c;
        if (IBOUND[n] == 0) continue;
        const bool linked = (k < nlay && CONDV[n] != 0.0f) || (k > 1 && CONDV[n - nrc] != 0.0f) ||
                            (j > 1 && rowLinks[c - 1] != 0.0f) || (j < ncol && rowLinks[c] != 0.0f) ||
                            (i > 1 && colLinks[c - ncol] != 0.0f) || (i < nrow && colLinks[c] != 0.0f);
        if (linked) continue;
        IBOUND[n] = 0;
        m.HEADNEW[n] = static_cast<double>(888.88f);
        if (conv) CONDC[n] = 0.0f;
        io::write(
            out,
            AQX_FMT("(1X,'NODE (LAYER,ROW,COL)',3I4,' ELIMINATED BECAUSE ALL CONDUCTANCES TO NODE ARE 0')"),
            k, i, j);
      }
    }
  }
}

AQX_REGISTER_PACKAGE("GFD", GfdPackage)

}  // namespace aqx
