#include "special/tlk.hpp"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <span>
#include <string_view>
#include <system_error>
#include <vector>

#include "bas/budget_terms.hpp"
#include "bas/value_checks.hpp"
#include "driver/allocation_report.hpp"
#include "io/arrays.hpp"
#include "io/record.hpp"
#include "io/units.hpp"

namespace aqx {

namespace {

constexpr const char* kStorageLabel = "    C.B. STORAGE";
constexpr const char* kLeakageLabel = "    C.H. LEAKAGE";
constexpr const char* kTopLabel = "     FLOW IN TOP";
constexpr const char* kBaseLabel = "    FLOW IN BASE";

// Coefficients and exponents of the M1 series for 2 to 5 terms.
constexpr float kM1Coef[4][5] = {{0.2868101f, 0.0465232f},
                                 {0.2648731f, 0.0599943f, 0.0084659f},
                                 {0.2375983f, 0.073663f, 0.0184244f, 0.0036476f},
                                 {0.2243858f, 0.0744159f, 0.025325f, 0.0073358f, 0.0018708f}};
constexpr float kM1Exp[4][5] = {{16.351557f, 1702.46f},
                                {13.657589f, 437.07623f, 49639.1f},
                                {11.464295f, 151.83186f, 3590.24f, 211276.0f},
                                {10.700549f, 94.3073f, 1075.2f, 17848.6f, 631121.0f}};
// The two-term series of the response across the bed.
constexpr float kCrossCoef[2] = {-0.25754f, 0.090873f};
constexpr float kCrossExp[2] = {10.764f, 19.805f};

// Beyond this dimensionless step length the bed is treated as incompressible for the step.
constexpr float kFastBed = 1000.0f;

}  // namespace

float TlkPackage::stepResponse(float x) {
  if (x <= 0.1f) return x * (x * (x * (4.0f - x) - 12.0f) + 24.0f) / 24.0f;
  return 1.0f - std::exp(-x);
}

void TlkPackage::allocate(Model& m) {
  const int in = m.unitOf(kTLK);
  const int lu = m.LISTUNIT;
  io::write(lu, AQX_FMT("('0','TLK1--TRANSIENT LEAKAGE PACKAGE, VERSION 1, 04/07/93')"));

  // The bed's storage only acts on changes of head in time: a steady-state run goes on without
  // the package, and no later phase of it runs.
  if (m.ISTEADY != 0) {
    io::write(lu, AQX_FMT("(1X,'TRANSIENT-LEAKAGE INAPPROPRIATE FOR STEADY-STATE',' PROBLEM.'/1X,'OPTION "
                          "CANCELLED, SIMULATION CONTINUING.')"));
    m.PKGUNIT[kTLK] = 0;
    return;
  }

  io::read(in, AQX_FMT("(8I10)"), nconf_, flowcb_, nterms_, saveUnit_, readUnit_);
  if (nconf_ >= m.NLAYER) {
    io::write(lu, AQX_FMT("(1X,I3,' CONFINING UNITS EXCEED THE MAXIMUM ALLOWABLE FOR',' THIS PROBLEM')"),
              nconf_);
    io::stopRun();
  }
  if (nconf_ < 0) {
    io::write(lu, AQX_FMT("(1X,I3,' IS NOT A VALID NUMBER OF CONFINING UNITS')"), nconf_);
    io::stopRun();
  }
  io::write(lu, AQX_FMT("(1X,I3,' CONFINING UNITS INCLUDE TRANSIENT LEAKAGE')"), nconf_);
  if (flowcb_ > 0) {
    io::write(lu, AQX_FMT("(1X,'CELL-BY-CELL FLOWS WILL BE RECORDED ON UNIT',I3)"), flowcb_);
  } else if (flowcb_ < 0) {
    io::write(lu, AQX_FMT("(1X,'CELL-BY-CELL FLOWS WILL BE PRINTED WHEN ICBCFL NOT 0')"));
  } else {
    io::write(lu, AQX_FMT("(1X,'CELL-BY-CELL FLOWS WILL NOT BE PRINTED OR RECORDED')"));
  }
  if (nterms_ >= 2 && nterms_ <= 5) {
    io::write(lu, AQX_FMT("(1X,'NUMBER OF TERMS IN M1 SERIES IS',I2)"), nterms_);
  } else {
    nterms_ = 3;
    io::write(lu, AQX_FMT("(1X,'DEFAULT OF 3 TERMS WILL BE USED IN M1 SERIES')"));
  }
  if (saveUnit_ > 0) {
    io::write(lu, AQX_FMT("(1X,'RESTART RECORDS WILL BE SAVED AT END OF SIMULATION',' ON UNIT',I4)"),
              saveUnit_);
  }
  if (readUnit_ > 0) {
    io::write(lu, AQX_FMT("(1X,'RESTART RECORDS WILL BE READ AT START OF SIMULATION',' ON UNIT',I4)"),
              readUnit_);
  }

  // The layer above each unit, 40 to a line; each must leave a layer below it.
  if (nconf_ > 0)
    io::read(in, AQX_FMT("(40I2)"), std::span<int>(conflayer_.data(), static_cast<std::size_t>(nconf_)));
  bool bad = false;
  for (int n = 1; n <= nconf_; ++n) {
    const int k = CONFLAYER(n);
    if (k >= 1 && k <= m.NLAYER - 1) continue;
    io::write(lu,
              AQX_FMT("(1X,'CONFINING UNIT',I4,' LIES BELOW LAYER',I4,': THE LAYER ABOVE MUST BE 1 TO',I4)"),
              n, k, m.NLAYER - 1);
    bad = true;
  }
  if (bad) io::stopRun();

  // Slot of each layer's top in TOP: layers of type 2 and 3 have one, in layer order.
  topslot_.fill(0);
  int ntop = 0;
  for (int k = 1; k <= std::min(m.NLAYER, kMaxUnits); ++k) {
    const int type = m.LAYCON[static_cast<std::size_t>(k - 1)];
    if (type == 2 || type == 3) topslot_[static_cast<std::size_t>(k - 1)] = ++ntop;
  }

  ncol_ = m.NCOLS;
  layerSize_ = static_cast<std::int64_t>(m.NCOLS) * m.NROWS;
  nu_ = layerSize_ * nconf_;
  const AllocationReport report(m);
  cond_ = m.work->takeReal(nu_);
  rate_ = m.work->takeReal(nu_);
  coefB_ = m.work->takeReal(nu_);
  coefA_ = m.work->takeReal(nu_);
  histA_ = m.work->takeReal(nu_);
  histB_ = m.work->takeReal(nu_);
  m1coef_ = m.work->takeReal(nterms_);
  crosscoef_ = m.work->takeReal(2);
  m1exp_ = m.work->takeReal(nterms_);
  crossexp_ = m.work->takeReal(2);
  state1_ = m.work->takeReal(nu_ * nterms_);
  state2_ = m.work->takeReal(nu_ * 2);
  state3_ = m.work->takeReal(nu_ * nterms_);
  state4_ = m.work->takeReal(nu_ * 2);
  report.report(AQX_FMT("(1X,I6,'ELEMENTS IN X ARRAY ARE USED FOR TRANSIENT LEAKAGE')"),
                AQX_FMT("(1X,I6,'ELEMENTS OF X ARRAY USED OUT OF ',I7)"),
                AQX_FMT("(1X,'   *** X ARRAY MUST BE DIMENSIONED LARGER ***')"));
}

void TlkPackage::readPrepare(Model& m) {
  const int in = m.unitOf(kTLK);
  const int lu = m.LISTUNIT;
  std::vector<int> table;
  for (int n = 1; n <= nconf_; ++n) {
    table.push_back(n);
    table.push_back(CONFLAYER(n));
    table.push_back(CONFLAYER(n) + 1);
  }
  io::write(
      lu,
      AQX_FMT("('0',5X,'The following confining units with transient ','leakage are active:'/23X,'Model     "
              "Model'/8X,'Confining      layer     layer'/11X,'unit        above     below'/6X,34('-')/"
              "80(2I13,I10/))"),
      std::span<const int>(table));

  for (int n = 1; n <= nconf_; ++n) {
    const int k = CONFLAYER(n);
    const std::int64_t off = layerSize_ * (n - 1);
    // A confining bed joins layer k to the layer below: its values count where neither is no-flow.
    auto read = [&](float* values, std::string_view label) {
      io::READRMAT(values, label, m.NROWS, m.NCOLS, k, in, lu);
      checkLayer(lu, values, m.NROWS, m.NCOLS, k, Refuse::Negative, label, activeLink(m, k, 0, 0, 1));
    };
    read(cond_ + off, "   VERTICAL CONDUCTIVITY");
    read(rate_ + off, " CONFINING BED THICKNESS");
    read(m.BUFF + off, "        SPECIFIC STORAGE");
  }

  if (readUnit_ < 1) {
    std::fill(state1_, state1_ + nu_ * nterms_, 0.0f);
    std::fill(state2_, state2_ + nu_ * 2, 0.0f);
    std::fill(state3_, state3_ + nu_ * nterms_, 0.0f);
    std::fill(state4_, state4_ + nu_ * 2, 0.0f);
    time_ = 0.0f;
  } else {
    readRestart(m);
    io::write(lu, AQX_FMT("(1X,'A RESTART RECORD FOR TRANSIENT LEAKAGE HAS BEEN READ',' FOR TIME=',G15.7)"),
              time_);
    io::write(lu, AQX_FMT("(1X,'TIME SUMMARY WILL REFLECT TIME SINCE START OF ','THIS CONTINUATION OF A "
                          "PREVIOUS SIMULATION.')"));
  }

  // Bed conductance over the cell area, and the bed's rate R = K/(b²·Ss). A cell without storage,
  // conductivity or thickness is left to the flow package.
  for (int n = 1; n <= nconf_; ++n) {
    for (int i = 1; i <= m.NROWS; ++i) {
      for (int j = 1; j <= m.NCOLS; ++j) {
        const std::int64_t p = at(n, i, j);
        const float k = cond_[p], b = rate_[p], ss = m.BUFF[p];
        if (ss > 0.0f && k > 0.0f && b > 0.0f) {
          const float area = m.DELR[j - 1] * m.DELC[i - 1];
          const float leakance = k / b;
          rate_[p] = leakance / (b * ss);
          cond_[p] = area * leakance;
        } else {
          rate_[p] = 0.0f;
          cond_[p] = 0.0f;
        }
      }
    }
  }

  const int row = nterms_ - 2;
  for (int t = 0; t < nterms_; ++t) {
    m1coef_[t] = kM1Coef[row][t];
    m1exp_[t] = kM1Exp[row][t];
  }
  for (int t = 0; t < 2; ++t) {
    crosscoef_[t] = kCrossCoef[t];
    crossexp_[t] = kCrossExp[t];
  }
}

// The record holds the previous step length, the time and the four states back to back. A
// record too short for this grid and series is refused before anything is read from it.
void TlkPackage::readRestart(Model& m) {
  const std::int64_t expected = 4 * (2 + 2 * nu_ * nterms_ + 4 * nu_);
  std::error_code ec;
  const auto size = std::filesystem::file_size(io::detail::unitFor(readUnit_).name, ec);
  if (!ec && static_cast<std::int64_t>(size) < expected) {
    io::write(
        m.LISTUNIT,
        AQX_FMT("(1X,'RESTART RECORD ON UNIT',I4,' HAS',I12,' BYTES; THIS GRID AND',I4,' CONFINING UNITS "
                "WITH',I2,' M1 TERMS NEED',I12)"),
        readUnit_, clampToInt(static_cast<std::int64_t>(size)), nconf_, nterms_, clampToInt(expected));
    io::stopRun();
  }
  const auto sM = static_cast<std::size_t>(nu_ * nterms_), s2 = static_cast<std::size_t>(nu_ * 2);
  io::readBinary(readUnit_, prevdt_, time_, std::span<float>(state1_, sM), std::span<float>(state2_, s2),
                 std::span<float>(state3_, sM), std::span<float>(state4_, s2));
}

void TlkPackage::advance(Model& m) {
  const float dt = m.DELT;
  time_ = time_ + dt;
  const bool first = time_ <= dt;
  if (first) prevdt_ = 1.0f;
  const int mt = nterms_;
  for (int n = 1; n <= nconf_; ++n) {
    const int ka = CONFLAYER(n), kb = ka + 1;
    for (int i = 1; i <= m.NROWS; ++i) {
      for (int j = 1; j <= m.NCOLS; ++j) {
        const std::int64_t p = at(n, i, j);
        coefA_[p] = 0.0f;
        coefB_[p] = 0.0f;
        const float cbed = cond_[p];
        const int ia = m.IBOUND[m.cell(ka, i, j)], ib = m.IBOUND[m.cell(kb, i, j)];
        if (cbed <= 0.0f || ia == 0 || ib == 0 || (ia < 0 && ib < 0)) {
          // A pair that takes no part this step contributes no history either (its states keep
          // their values for when it takes part again).
          histA_[p] = 0.0f;
          histB_[p] = 0.0f;
          continue;
        }
        const float r = rate_[p];
        const float ha = static_cast<float>(m.HEADNEW[m.cell(ka, i, j)]);
        float hb = static_cast<float>(m.HEADNEW[m.cell(kb, i, j)]);
        if (hasTop(m, kb)) hb = std::max(hb, topOf(m, kb, i, j));
        const float tau = r * dt;
        const float taup = r * prevdt_;
        float s1 = 0.0f, s2 = 0.0f, hA = 0.0f, hB = 0.0f;
        if (tau <= kFastBed) {
          for (int t = 0; t < mt; ++t) {
            float* u1 = state1_ + p * mt + t;
            float* u3 = state3_ + p * mt + t;
            const float e = stepResponse(tau * m1exp_[t]);
            const float g = e * (1.0f / tau) * m1coef_[t];
            s1 = s1 + g;
            const float gp = (1.0f / taup) * m1coef_[t] * stepResponse(taup * m1exp_[t]);
            float e2 = 0.0f, g2 = 0.0f, g2p = 0.0f;
            float* v2 = nullptr;
            float* v4 = nullptr;
            if (t < 2) {
              v2 = state2_ + p * 2 + t;
              v4 = state4_ + p * 2 + t;
              e2 = stepResponse(tau * crossexp_[t]);
              g2 = e2 * (1.0f / tau) * crosscoef_[t];
              s2 = s2 + g2;
              g2p = (1.0f / taup) * crosscoef_[t] * stepResponse(taup * crossexp_[t]);
            }
            if (!first) {
              *u1 = *u1 + ha * gp;
              *u3 = *u3 + hb * gp;
              if (t < 2) {
                *v2 = *v2 + hb * g2p;
                *v4 = *v4 + ha * g2p;
              }
            }
            *u1 = (1.0f - e) * *u1 - ha * g;
            *u3 = (1.0f - e) * *u3 - hb * g;
            if (t < 2) {
              *v2 = (1.0f - e2) * *v2 - hb * g2;
              *v4 = (1.0f - e2) * *v4 - ha * g2;
            }
            hA = hA - *u1;
            hB = hB - *u3;
            if (t < 2) {
              hA = hA + *v2;
              hB = hB + *v4;
            }
          }
          hA = hA * cbed;
          hB = hB * cbed;
        }
        // The two-term series undershoots the response across the bed for short steps (R·Δt of
        // about 0.0125 to 0.05), so the cross conductance can come out slightly negative there. It
        // is used as computed: the history terms and states above are built from the same series,
        // and clamping only this coefficient would make the pair disagree and create water. The
        // cell's own coefficient (s1 + 1)·cbed is far larger, so the matrix stays diagonally
        // dominant and the solvers take it.
        coefB_[p] = (s2 + 1.0f) * cbed;
        coefA_[p] = -(s1 + 1.0f) * cbed;
        histA_[p] = hA;
        histB_[p] = hB;
      }
    }
  }
  prevdt_ = dt;
}

void TlkPackage::formulate(Model& m) {
  for (int n = 1; n <= nconf_; ++n) {
    const int ka = CONFLAYER(n), kb = ka + 1;
    for (int i = 1; i <= m.NROWS; ++i) {
      for (int j = 1; j <= m.NCOLS; ++j) {
        const std::int64_t p = at(n, i, j);
        if (cond_[p] <= 0.0f) continue;
        const std::int64_t ca = m.cell(ka, i, j), cb = m.cell(kb, i, j);
        // A cell made no-flow during the step keeps the zero conductance the flow package gave it.
        if (m.IBOUND[ca] == 0 || m.IBOUND[cb] == 0) {
          m.CONDV[ca] = 0.0f;
          continue;
        }
        const float a = coefA_[p], b = coefB_[p];
        m.CONDV[ca] = b;
        m.HCOEF[ca] = a + m.HCOEF[ca] + b;
        m.HCOEF[cb] = a + m.HCOEF[cb] + b;
        m.RHS[ca] = m.RHS[ca] - histA_[p];
        m.RHS[cb] = m.RHS[cb] - histB_[p];
        if (hasTop(m, kb)) {
          const float tb = topOf(m, kb, i, j);
          const float hb = static_cast<float>(m.HEADNEW[cb]);
          if (hb <= tb) m.RHS[cb] = m.RHS[cb] - (tb - hb) * (b + a);
        }
      }
    }
  }
}

void TlkPackage::budget(Model& m) {
  CellBudget cbc(m, flowcb_, kStorageLabel);
  const bool saving = cbc.saving();
  if (saving) cbc.clearBuffer();
  float storIn = 0.0f, storOut = 0.0f, chIn = 0.0f, chOut = 0.0f;
  auto takesPart = [&](std::int64_t p, int ia, int ib) {
    return cond_[p] > 0.0f && ia != 0 && ib != 0 && (ia > 0 || ib > 0);
  };
  for (int n = 1; n <= nconf_; ++n) {
    const int ka = CONFLAYER(n), kb = ka + 1;
    for (int i = 1; i <= m.NROWS; ++i) {
      for (int j = 1; j <= m.NCOLS; ++j) {
        const std::int64_t p = at(n, i, j);
        const std::int64_t ca = m.cell(ka, i, j), cb = m.cell(kb, i, j);
        const int ia = m.IBOUND[ca], ib = m.IBOUND[cb];
        if (!takesPart(p, ia, ib)) continue;
        // The flow package's budget, which follows, counts nothing across this face.
        m.CONDV[ca] = 0.0f;
        const float ha = static_cast<float>(m.HEADNEW[ca]);
        float hb = static_cast<float>(m.HEADNEW[cb]);
        if (hasTop(m, kb)) hb = std::max(hb, topOf(m, kb, i, j));
        const float a = coefA_[p], b = coefB_[p];
        const float qa = ha * a + histA_[p] + hb * b;
        const float qb = hb * a + histB_[p] + ha * b;
        const float qs = qb + qa;
        const float qch = ia < 0 ? qa : ib < 0 ? qb : 0.0f;
        if (saving) {
          m.BUFF[ca] = qs;
          coefA_[p] = -qa;
          coefB_[p] = -qb;
        }
        cbc.printLine(
            AQX_FMT("(1X,'UNIT',I4,'   LAYER',I3,'   ROW',I4,'   COL',I4,'   BED RELEASE',1P,G15.6,'   "
                    "FLOW IN TOP',G15.6,'   FLOW IN BASE',G15.6)"),
            n, ka, i, j, qs, -qa, -qb);
        if (qs >= 0.0f) {
          storIn = storIn + qs;
        } else {
          storOut = storOut - qs;
        }
        // Water leaving the bed into a constant-head cell leaves the model.
        if (qch >= 0.0f) {
          chOut = chOut + qch;
        } else {
          chIn = chIn - qch;
        }
      }
    }
  }
  if (saving) {
    cbc.saveFullRecord();
    // The flows into the bed's top and base, each unit's values in the layer above it.
    auto faceRecord = [&](const float* flows, const char* label) {
      for (int n = 1; n <= nconf_; ++n) {
        const int ka = CONFLAYER(n);
        for (int i = 1; i <= m.NROWS; ++i) {
          for (int j = 1; j <= m.NCOLS; ++j) {
            const std::int64_t p = at(n, i, j);
            const std::int64_t ca = m.cell(ka, i, j);
            const bool part = takesPart(p, m.IBOUND[ca], m.IBOUND[m.cell(ka + 1, i, j)]);
            m.BUFF[ca] = part ? flows[p] : 0.0f;
          }
        }
      }
      CellBudget(m, flowcb_, label).saveFullRecord();
    };
    faceRecord(coefA_, kTopLabel);
    faceRecord(coefB_, kBaseLabel);
  }
  addBudgetRow(m, kStorageLabel, storIn, storOut);
  addBudgetRow(m, kLeakageLabel, chIn, chOut);
}

void TlkPackage::end(Model& m) {
  if (saveUnit_ <= 0) return;
  const auto sM = static_cast<std::size_t>(nu_ * nterms_), s2 = static_cast<std::size_t>(nu_ * 2);
  io::writeBinary(saveUnit_, prevdt_, time_, std::span<const float>(state1_, sM),
                  std::span<const float>(state2_, s2), std::span<const float>(state3_, sM),
                  std::span<const float>(state4_, s2));
  io::write(m.LISTUNIT,
            AQX_FMT("(1X,'A RESTART RECORD FOR TRANSIENT LEAKAGE HAS BEEN CREATED FOR TIME=',G15.7)"), time_);
}

AQX_REGISTER_PACKAGE("TLK", TlkPackage)

}  // namespace aqx
