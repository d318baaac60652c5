#include "special/ibs.hpp"

#include <algorithm>
#include <span>
#include <string_view>

#include "bas/budget_terms.hpp"
#include "bas/value_checks.hpp"
#include "driver/allocation_report.hpp"
#include "io/arrays.hpp"
#include "io/layers.hpp"
#include "io/record.hpp"

namespace aqx {

namespace {

constexpr const char* kBudgetLabel = "INTERBED STORAGE";
constexpr const char* kSubsidenceLabel = "      SUBSIDENCE";
constexpr const char* kCompactionLabel = "      COMPACTION";
constexpr const char* kCriticalHeadLabel = "   CRITICAL HEAD";

}  // namespace

void IbsPackage::allocate(Model& m) {
  const int in = m.unitOf(kIBS);
  const int lu = m.LISTUNIT;
  io::write(
      lu,
      AQX_FMT("('0','IBS1 -- INTERBED STORAGE PACKAGE, VERSION 1,',' 06/07/96',' INPUT READ FROM UNIT',I3)"),
      in);

  // Interbed storage only acts on changes of head in time: a steady-state run goes on without it,
  // and no later phase of the package runs.
  if (m.ISTEADY != 0) {
    io::write(
        lu, AQX_FMT("(1X,'INTERBED STORAGE INAPPROPRIATE FOR STEADY-STATE',' PROBLEM.'/1X,'OPTION CANCELLED, "
                    "SIMULATION CONTINUING.')"));
    m.PKGUNIT[kIBS] = 0;
    return;
  }

  io::read(in, AQX_FMT("(2I10)"), cbunit_, ocflag_);
  if (cbunit_ > 0) io::write(lu, AQX_FMT("(1X,'CELL-BY-CELL FLOW TERMS WILL BE SAVED ON UNIT',I3)"), cbunit_);
  if (ocflag_ > 0) {
    io::write(lu, AQX_FMT("(1X,'OUTPUT CONTROL RECORDS FOR IBS1 PACKAGE WILL BE ','READ EACH TIME STEP.')"));
  }

  // One flag per layer, at most the 200 layers the layer tables hold; the record continues on
  // further lines beyond 40 layers.
  std::array<int, kMaxLayers> flag{};
  const int nflag = std::clamp(m.NLAYER, 0, kMaxLayers);
  if (nflag > 0)
    io::read(in, AQX_FMT("(40I2)"), std::span<int>(flag.data(), static_cast<std::size_t>(nflag)));
  nibs_ = 0;
  for (int k = 1; k <= nflag; ++k) {
    if (flag[static_cast<std::size_t>(k - 1)] > 0) layers_[static_cast<std::size_t>(nibs_++)] = k;
  }
  if (nibs_ == 0) {
    io::write(lu,
              AQX_FMT("(1X,'NO LAYER HAS INTERBED STORAGE.'/1X,'OPTION CANCELLED, SIMULATION CONTINUING.')"));
    m.PKGUNIT[kIBS] = 0;
    return;
  }
  io::write(lu, AQX_FMT("(1X,'INTERBED STORAGE IN LAYER(S) ',80I2)"),
            std::span<const int>(layers_.data(), static_cast<std::size_t>(nibs_)));

  ncol_ = m.NCOLS;
  layerSize_ = static_cast<std::int64_t>(m.NCOLS) * m.NROWS;
  const std::int64_t n = layerSize_ * nibs_;
  const AllocationReport report(m);
  precon_ = m.work->takeReal(n);
  elastic_ = m.work->takeReal(n);
  virgin_ = m.work->takeReal(n);
  compaction_ = m.work->takeReal(n);
  report.report(AQX_FMT("(1X,I8,' ELEMENTS OF X ARRAY USED FOR INTERBED STORAGE')"),
                AQX_FMT("(1X,I8,' ELEMENTS OF X ARRAY USED OUT OF',I8)"),
                AQX_FMT("(1X,'   ***X ARRAY MUST BE MADE LARGER***')"));
}

void IbsPackage::readPrepare(Model& m) {
  const int in = m.unitOf(kIBS);
  const int lu = m.LISTUNIT;
  for (int kq = 1; kq <= nibs_; ++kq) {
    const int k = interbedLayer(kq);
    const std::int64_t off = layerSize_ * (kq - 1);
    auto read = [&](float* values, std::string_view label, Refuse rule) {
      io::READRMAT(values, label, m.NROWS, m.NCOLS, k, in, lu);
      checkLayer(lu, values, m.NROWS, m.NCOLS, k, rule, label, activeCell(m, k));
    };
    read(precon_ + off, "   PRECONSOLIDATION HEAD", Refuse::NonFinite);
    read(elastic_ + off, "ELASTIC INTERBED STORAGE", Refuse::Negative);
    read(virgin_ + off, " VIRGIN INTERBED STORAGE", Refuse::Negative);
    read(compaction_ + off, "     STARTING COMPACTION", Refuse::NonFinite);
  }

  // Storage coefficients become storage capacities (times the cell area); a critical head above
  // the starting head is lowered to it (heads are compared in single precision, as elevations are).
  for (int kq = 1; kq <= nibs_; ++kq) {
    const int k = interbedLayer(kq);
    for (int i = 1; i <= m.NROWS; ++i) {
      for (int j = 1; j <= m.NCOLS; ++j) {
        const std::int64_t c = at(kq, i, j);
        const float area = m.DELR[j - 1] * m.DELC[i - 1];
        elastic_[c] = elastic_[c] * area;
        virgin_[c] = virgin_[c] * area;
        const float h = static_cast<float>(m.HEADNEW[m.cell(k, i, j)]);
        if (precon_[c] > h) precon_[c] = h;
      }
    }
  }

  s_ = Settings{};
  if (ocflag_ > 0) {
    io::read(in, AQX_FMT("(6I10)"), s_.SUBFMT, s_.COMFMT, s_.CRITFMT, s_.SUBUNIT, s_.COMUNIT, s_.CRITUNIT);
    io::write(
        lu,
        AQX_FMT(
            "('0','    SUBSIDENCE PRINT FORMAT IS NUMBER',I4/'     COMPACTION PRINT FORMAT IS NUMBER',I4/'  "
            "CRITICAL HEAD PRINT FORMAT IS NUMBER',I4)"),
        s_.SUBFMT, s_.COMFMT, s_.CRITFMT);
    if (s_.SUBUNIT > 0) io::write(lu, AQX_FMT("('0','    UNIT FOR SAVING SUBSIDENCE IS',I4)"), s_.SUBUNIT);
    if (s_.COMUNIT > 0) io::write(lu, AQX_FMT("(' ','    UNIT FOR SAVING COMPACTION IS',I4)"), s_.COMUNIT);
    if (s_.CRITUNIT > 0) io::write(lu, AQX_FMT("(' ',' UNIT FOR SAVING CRITICAL HEAD IS',I4)"), s_.CRITUNIT);
  }
}

// The release e·(h0 − h) above the critical head Hc and e·(h0 − Hc) + v·(Hc − h) below it, as a
// head-dependent inflow. Hc is the critical head of the start of the step: it moves only after
// convergence, so the switch between the two coefficients happens at Hc during the iterations.
void IbsPackage::formulate(Model& m) {
  const float t = 1.0f / m.DELT;
  for (int kq = 1; kq <= nibs_; ++kq) {
    const int k = interbedLayer(kq);
    for (int i = 1; i <= m.NROWS; ++i) {
      for (int j = 1; j <= m.NCOLS; ++j) {
        const std::int64_t c = m.cell(k, i, j);
        if (m.IBOUND[c] <= 0) continue;
        const std::int64_t q = at(kq, i, j);
        const float hc = precon_[q];
        const float e = t * elastic_[q];
        const float v = static_cast<float>(m.HEADNEW[c]) < hc ? t * virgin_[q] : e;
        m.RHS[c] = m.RHS[c] - (v - e) * hc - e * m.HEADOLD[c];
        m.HCOEF[c] = m.HCOEF[c] - v;
      }
    }
  }
}

void IbsPackage::budget(Model& m) {
  // The package has no compact form of its record: it writes the full array whenever saving.
  CellBudget cbc(m, cbunit_, kBudgetLabel, false);
  if (cbc.saving()) cbc.clearBuffer();

  double volIn = 0.0, volOut = 0.0;
  for (int kq = 1; kq <= nibs_; ++kq) {
    const int k = interbedLayer(kq);
    for (int i = 1; i <= m.NROWS; ++i) {
      for (int j = 1; j <= m.NCOLS; ++j) {
        const std::int64_t c = m.cell(k, i, j);
        if (m.IBOUND[c] <= 0) continue;
        const std::int64_t q = at(kq, i, j);
        const float h = static_cast<float>(m.HEADNEW[c]);
        const float hc = precon_[q];
        const float e = elastic_[q];
        const float v = h < hc ? virgin_[q] : e;
        // Volume released from the interbeds during the step.
        const float r = (v - e) * hc + e * m.HEADOLD[c] - v * h;
        compaction_[q] = compaction_[q] + r / (m.DELR[j - 1] * m.DELC[i - 1]);
        if (cbc.saving()) m.BUFF[c] = m.BUFF[c] + r / m.DELT;
        accumulateRate(r, volIn, volOut);
        // The interbeds are now preconsolidated to the lowest head they have seen.
        if (h < hc) precon_[q] = h;
      }
    }
  }
  cbc.saveFullRecord();
  addBudgetRow(m, kBudgetLabel, volIn / m.DELT, volOut / m.DELT);
}

void IbsPackage::printLayer(const Model& m, const float* values, const char* label, int layer,
                            int code) const {
  if (code < 0) {
    io::PRTLAYSTRIP(values, label, m.KSTEP, m.KPERIOD, m.NCOLS, m.NROWS, layer, -code, m.LISTUNIT);
  } else {
    io::PRTLAYWRAP(values, label, m.KSTEP, m.KPERIOD, m.NCOLS, m.NROWS, layer, code, m.LISTUNIT);
  }
}

// A save flag without a save unit writes nothing (as for heads).
void IbsPackage::saveLayer(const Model& m, const float* values, const char* label, int layer,
                           int unit) const {
  if (unit <= 0) return;
  io::SAVLAYBIN(values, label, m.KSTEP, m.KPERIOD, m.PERTIME, m.TOTTIME, m.NCOLS, m.NROWS, layer, unit);
}

void IbsPackage::output(Model& m) {
  const int lu = m.LISTUNIT;
  f_ = Flags{};
  if (m.KSTEP == m.NSTEPS) f_.ISUBPR = 1;
  if (ocflag_ > 0) {
    io::read(m.unitOf(kIBS), AQX_FMT("(6I10)"), f_.ISUBPR, f_.ICOMPR, f_.IHCPR, f_.ISUBSV, f_.ICOMSV,
             f_.IHCSV);
    io::write(
        lu,
        AQX_FMT("('0','FLAGS FOR PRINTING AND STORING SUBSIDENCE, ','COMPACTION, AND CRITICAL HEAD:'/'   "
                "ISUBPR    ICOMPR    IHCPR     ISUBSV    ICOMSV    IHCSV   '/' "
                "------------------------------------------------------------'/I6,5I10)"),
        f_.ISUBPR, f_.ICOMPR, f_.IHCPR, f_.ISUBSV, f_.ICOMSV, f_.IHCSV);
  }

  // Subsidence: the compaction summed over the interbed layers, staged in layer 1 of BUFF.
  if (f_.ISUBPR > 0 || f_.ISUBSV > 0) {
    std::fill(m.BUFF, m.BUFF + layerSize_, 0.0f);
    for (int kq = 1; kq <= nibs_; ++kq) {
      const float* layer = compaction_ + layerSize_ * (kq - 1);
      for (std::int64_t n = 0; n < layerSize_; ++n) m.BUFF[n] = m.BUFF[n] + layer[n];
    }
    if (f_.ISUBPR > 0) printLayer(m, m.BUFF, kSubsidenceLabel, 1, s_.SUBFMT);
    if (f_.ISUBSV > 0) saveLayer(m, m.BUFF, kSubsidenceLabel, 1, s_.SUBUNIT);
  }

  // Compaction and critical head carry the model layer number of each interbed layer.
  auto layers = [&](const float* array, const char* label, int print, int code, int save, int unit) {
    if (print > 0) {
      for (int kq = 1; kq <= nibs_; ++kq)
        printLayer(m, array + layerSize_ * (kq - 1), label, interbedLayer(kq), code);
    }
    if (save > 0) {
      for (int kq = 1; kq <= nibs_; ++kq)
        saveLayer(m, array + layerSize_ * (kq - 1), label, interbedLayer(kq), unit);
    }
  };
  layers(compaction_, kCompactionLabel, f_.ICOMPR, s_.COMFMT, f_.ICOMSV, s_.COMUNIT);
  layers(precon_, kCriticalHeadLabel, f_.IHCPR, s_.CRITFMT, f_.IHCSV, s_.CRITUNIT);
}

AQX_REGISTER_PACKAGE("IBS", IbsPackage)

}  // namespace aqx
