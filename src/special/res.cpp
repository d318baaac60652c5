#include "special/res.hpp"

#include <algorithm>
#include <cmath>
#include <string_view>
#include <vector>

#include "bas/budget_terms.hpp"
#include "bas/time_steps.hpp"
#include "bas/value_checks.hpp"
#include "driver/allocation_report.hpp"
#include "io/arrays.hpp"
#include "io/budget_records.hpp"
#include "io/record.hpp"
#include "stress/column_cell.hpp"

namespace aqx {

namespace {

constexpr std::string_view kLabel = " RESERV. LEAKAGE";

}  // namespace

// ---------------------------------------------------------------------------------------------
// Allocate

void ResPackage::allocate(Model& m) {
  const int lst = m.LISTUNIT;
  const int in = m.unitOf(kRES);
  io::write(lst, AQX_FMT("('0','RES1 -- RESERVOIR PACKAGE, VERSION 1, 1/15/95',' INPUT READ FROM UNIT',I3)"),
            in);
  io::read(in, AQX_FMT("(5I10)"), nres_, cbunit_, option_, print_, ntable_);
  if (nres_ < 1) {
    io::write(lst, AQX_FMT("(1X,'ABORTING, NUMBER OF RESERVOIRS LESS THAN 1...')"));
    io::stopRun();
  }
  io::write(lst, AQX_FMT("(1X,'TOTAL NUMBER OF RESERVOIRS: ',I3)"), nres_);
  if (cbunit_ > 0) io::write(lst, AQX_FMT("(1X,'CELL-BY-CELL FLOWS WILL BE RECORDED ON UNIT',I3)"), cbunit_);
  switch (option_) {
    case 1:
      io::write(lst, AQX_FMT("(1X,'OPTION 1 -- RESERVOIR CONNECTED TO TOP LAYER')"));
      break;
    case 2:
      io::write(lst, AQX_FMT("(1X,'OPTION 2 -- RESERVOIR CONNECTED TO ONE SPECIFIED',' NODE IN EACH VERTICAL "
                             "COLUMN')"));
      break;
    case 3:
      io::write(lst,
                AQX_FMT("(1X,'OPTION 3 -- RESERVOIR CONNECTED TO HIGHEST',' ACTIVE NODE IN EACH VERTICAL "
                        "COLUMN')"));
      break;
    default:
      io::write(lst, AQX_FMT("(1X,'ILLEGAL OPTION CODE. SIMULATION ABORTING')"));
      io::stopRun();
  }
  if (print_ > 0) {
    io::write(lst, AQX_FMT("(1X,'RESERVOIR HEADS, AREAS, AND VOLUMES ','WILL BE PRINTED EACH TIME STEP')"));
  }
  if (ntable_ <= 0) {
    io::writeList(lst, " Table of reservoir areas and volumes", "will not be calculated.");
  } else {
    io::write(lst,
              AQX_FMT("(I5,' points will be used in constructing table of ','reservoir areas and volumes.')"),
              ntable_);
  }

  ncol_ = m.NCOLS;
  const std::int64_t cells = static_cast<std::int64_t>(m.NROWS) * m.NCOLS;
  const AllocationReport report(m);
  WorkArray& w = *m.work;
  index_ = w.takeInt(cells);
  layer_ = w.takeInt(option_ == 2 ? cells : 0);
  land_ = w.takeReal(cells);
  cond_ = w.takeReal(cells);
  bottom_ = w.takeReal(cells);
  stage_ = w.takeReal(nres_);
  stageSE_ = w.takeReal(2 * static_cast<std::int64_t>(nres_));
  report.report(AQX_FMT("(1X,I8,' ELEMENTS IN X ARRAY ARE USED FOR RESERVOIRS')"),
                AQX_FMT("(1X,I8,' ELEMENTS OF X ARRAY USED OUT OF',I8)"));
}

// ---------------------------------------------------------------------------------------------
// Stress period

void ResPackage::stressPeriod(Model& m) {
  const int lst = m.LISTUNIT;
  const int in = m.unitOf(kRES);
  if (!mapsRead_) {
    readMaps(m);
    printTables(m);
    mapsRead_ = true;
  }

  for (int n = 1; n <= nres_; ++n) {
    io::read(in, AQX_FMT("(2F10.0)"), stageSE_[2 * (n - 1)], stageSE_[2 * (n - 1) + 1]);
  }
  // The period's length from its first step, as the basic package divided it.
  perlength_ = static_cast<float>(m.NSTEPS) * m.DELT;
  if (m.TSMULT != 1.0f) perlength_ = m.DELT * (1.0f - powInt(m.TSMULT, m.NSTEPS)) / (1.0f - m.TSMULT);
  // Stages are interpolated over the period by PERTIME / PERLENGTH.
  if (!(perlength_ != 0.0f && std::isfinite(perlength_))) {
    io::write(lst,
              AQX_FMT("(1X/1X,'RES: THE LENGTH OF STRESS PERIOD',I4,' IS',G15.7,': STAGES CANNOT BE "
                      "INTERPOLATED OVER IT'/1X,'STOP EXECUTION')"),
              m.KPERIOD, perlength_);
    io::stopRun();
  }
}

void ResPackage::readMaps(Model& m) {
  const int lst = m.LISTUNIT;
  const int in = m.unitOf(kRES);
  const int nrow = m.NROWS, ncol = m.NCOLS;
  const std::int64_t cells = static_cast<std::int64_t>(nrow) * ncol;
  io::READIMAT(index_, "      RESERVOIR LOCATION", nrow, ncol, 1, in, lst);

  // Only map cells whose layer-1 cell is variable head belong to a reservoir.
  for (std::int64_t c = 0; c < cells; ++c) {
    if (m.IBOUND[c] <= 0) index_[c] = 0;
  }
  std::vector<std::int64_t> count(static_cast<std::size_t>(nres_), 0);
  for (std::int64_t c = 0; c < cells; ++c) {
    if (index_[c] >= 1 && index_[c] <= nres_) ++count[static_cast<std::size_t>(index_[c] - 1)];
  }
  for (int n = 1; n <= nres_; ++n) {
    const std::int64_t k = count[static_cast<std::size_t>(n - 1)];
    if (k >= 1) {
      io::write(lst, AQX_FMT("(1X,'NUMBER OF CELLS IN RESERVOIR ',I2,':',I6)"), n, clampToInt(k));
    } else {
      io::write(lst, AQX_FMT("(1X,'NO ACTIVE CELLS FOUND FOR RESERVOIR ',I2,'.','  ABORTING...')"), n);
      io::stopRun();
    }
  }

  if (option_ == 2) {
    io::READIMAT(layer_, "   RESERVOIR LAYER INDEX", nrow, ncol, 0, in, lst);
    // Formulate and budget index the grid with the layers of the reservoir cells.
    for (int i = 1; i <= nrow; ++i) {
      for (int j = 1; j <= ncol; ++j) {
        const std::int64_t c = map(i, j);
        if (index_[c] < 1 || index_[c] > nres_ || (layer_[c] >= 1 && layer_[c] <= m.NLAYER)) continue;
        io::write(
            lst,
            AQX_FMT("(1X/1X,'RES: THE RESERVOIR LAYER AT ROW',I6,', COLUMN',I6,' IS',I11,': NOT A LAYER "
                    "OF THE GRID (1 TO',I4,')'/1X,'STOP EXECUTION')"),
            i, j, layer_[c], m.NLAYER);
        io::stopRun();
      }
    }
  }
  io::READRMAT(land_, "RESERVOIR LAND SURF ELEV", nrow, ncol, 1, in, lst);
  io::READRMAT(cond_, "  RES. BED VERT HYD COND", nrow, ncol, 1, in, lst);
  io::READRMAT(bottom_, " RESERVOIR BED THICKNESS", nrow, ncol, 1, in, lst);
  // Only the cells of a reservoir enter the equations.
  auto inReservoir = [&](int i, int j) {
    const int r = index_[map(i, j)];
    return r >= 1 && r <= nres_;
  };
  checkLayer(lst, land_, nrow, ncol, 1, Refuse::NonFinite, "RESERVOIR LAND SURF ELEV", inReservoir);
  checkLayer(lst, cond_, nrow, ncol, 1, Refuse::Negative, "  RES. BED VERT HYD COND", inReservoir);
  checkLayer(lst, bottom_, nrow, ncol, 1, Refuse::NonFinite, " RESERVOIR BED THICKNESS", inReservoir);

  // Conductance = vertical conductivity x cell area / bed thickness; bed bottom = land - thickness.
  for (int i = 1; i <= nrow; ++i) {
    for (int j = 1; j <= ncol; ++j) {
      const std::int64_t c = map(i, j);
      if (index_[c] < 1 || index_[c] > nres_) continue;
      const float thickness = bottom_[c];
      // A bed without thickness would give a conductance that is not a number.
      if (!(thickness > 0.0f)) {
        io::write(lst,
                  AQX_FMT("(1X/1X,'RES: THE BED THICKNESS AT ROW',I6,', COLUMN',I6,' IS',G15.7,': IT MUST BE "
                          "GREATER THAN 0'/1X,'STOP EXECUTION')"),
                  i, j, thickness);
        io::stopRun();
      }
      cond_[c] = cond_[c] * m.DELC[i - 1] * m.DELR[j - 1] / thickness;
      bottom_[c] = land_[c] - thickness;
    }
  }
}

void ResPackage::flooded(const Model& m, int n, float stage, float& area, float& volume) const {
  area = 0.0f;
  volume = 0.0f;
  for (int i = 1; i <= m.NROWS; ++i) {
    for (int j = 1; j <= m.NCOLS; ++j) {
      const std::int64_t c = map(i, j);
      if (index_[c] != n || !(land_[c] < stage)) continue;
      const float cellArea = m.DELR[j - 1] * m.DELC[i - 1];
      area = area + cellArea;
      volume = volume + (stage - land_[c]) * cellArea;
    }
  }
}

// The stage-volume table of every reservoir, from its lowest land surface up to its highest.
void ResPackage::printTables(Model& m) {
  const int lst = m.LISTUNIT;
  const std::int64_t cells = static_cast<std::int64_t>(m.NROWS) * m.NCOLS;
  for (int n = 1; n <= nres_; ++n) {
    float lowest = 9.99E10f, highest = -9.99E10f;
    for (std::int64_t c = 0; c < cells; ++c) {
      if (index_[c] != n) continue;
      if (land_[c] < lowest) lowest = land_[c];
      if (land_[c] > highest) highest = land_[c];
    }
    io::write(
        lst,
        AQX_FMT("(1X,'STAGE-VOLUME TABLE FOR RESERVOIR',I2/6X,'STAGE       VOLUME         AREA'/3X,36('-')/"
                "1X,G10.5,2(11X,'0.0'))"),
        n, lowest);
    if (ntable_ < 1) continue;
    const float step = (highest - lowest) / static_cast<float>(ntable_);
    float stage = lowest;
    for (int p = 1; p <= ntable_; ++p) {
      stage = stage + step;
      float area = 0.0f, volume = 0.0f;
      flooded(m, n, stage, area, volume);
      io::write(lst, AQX_FMT("(1X,G10.5,2G14.5)"), stage, volume, area);
    }
    io::write(lst, AQX_FMT("(1X,' ')"));
  }
}

// ---------------------------------------------------------------------------------------------
// Advance

void ResPackage::advance(Model& m) {
  const float fraction = m.PERTIME / perlength_;
  for (int n = 1; n <= nres_; ++n) {
    const float start = stageSE_[2 * (n - 1)];
    const float end = stageSE_[2 * (n - 1) + 1];
    stage_[n - 1] = start + (end - start) * fraction;
  }
  if (print_ <= 0) return;
  const int lst = m.LISTUNIT;
  io::write(
      lst,
      AQX_FMT("(1X,'RESERVOIR CONDITIONS FOR STRESS PERIOD ',I3,', STEP ',I3,' TIME ',G12.5/2X,'RESERVOIR   "
              "HEAD',9X,'AREA',8X,'VOLUME'/2X,46('-'))"),
      m.KPERIOD, m.KSTEP, m.TOTTIME);
  for (int n = 1; n <= nres_; ++n) {
    float area = 0.0f, volume = 0.0f;
    flooded(m, n, stage_[n - 1], area, volume);
    io::write(lst, AQX_FMT("(3X,I5,3X,3G12.5)"), n, stage_[n - 1], area, volume);
  }
}

// ---------------------------------------------------------------------------------------------
// Formulate and budget

template <class F>
void ResPackage::forEachLeakingCell(const Model& m, F&& f) const {
  const ColumnRule rule = static_cast<ColumnRule>(option_);
  forEachColumnCell(m, rule, layer_, [&](std::int64_t c, ColumnCell cell) {
    const int n = index_[c];
    if (n < 1 || n > nres_ || !cell) return;
    const float stage = stage_[n - 1];
    // Where the land surface is at or above the stage the cell is dry.
    if (!(stage > land_[c])) return;
    f(cell.index, cond_[c], stage, bottom_[c]);
  });
}

void ResPackage::formulate(Model& m) {
  forEachLeakingCell(m, [&](std::int64_t cell, float cond, float stage, float bottom) {
    const float head = static_cast<float>(m.HEADNEW[cell]);
    if (head > bottom) {
      // Leakage cond x (stage - head): the head's part goes to the coefficient.
      m.RHS[cell] = m.RHS[cell] - cond * stage;
      m.HCOEF[cell] = m.HCOEF[cell] - cond;
    } else {
      // Below the bed the leakage no longer depends on the head.
      m.RHS[cell] = m.RHS[cell] - cond * (stage - bottom);
    }
  });
}

void ResPackage::budget(Model& m) {
  // The record is always the full three-dimensional one, whichever form output control asks.
  const bool saving = m.ICBCFL != 0 && cbunit_ > 0;
  CellBudget cbc(m, cbunit_, kLabel, false);
  if (saving) cbc.clearBuffer();
  float in = 0.0f, out = 0.0f;
  forEachLeakingCell(m, [&](std::int64_t cell, float cond, float stage, float bottom) {
    const float head = static_cast<float>(m.HEADNEW[cell]);
    const float rate = head > bottom ? (stage - head) * cond : (stage - bottom) * cond;
    if (saving) m.BUFF[cell] = m.BUFF[cell] + rate;
    if (rate < 0.0f) {
      out = out - rate;
    } else {
      in = in + rate;
    }
  });
  if (saving) {
    io::UBUDSV(m.KSTEP, m.KPERIOD, kLabel, cbunit_, m.BUFF, m.NCOLS, m.NROWS, m.NLAYER, m.LISTUNIT);
  }
  addBudgetRow(m, kLabel, in, out);
}

AQX_REGISTER_PACKAGE("RES", ResPackage)

}  // namespace aqx
