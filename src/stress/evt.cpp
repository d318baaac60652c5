#include "stress/evt.hpp"

#include "bas/budget_terms.hpp"
#include "driver/allocation_report.hpp"

namespace aqx {

namespace {

constexpr const char* kLabel = "              ET";

// Where the head h stands against the surface S and the extinction depth Z below it, compared in
// double precision: at or above S the full rate; at or beyond Z below S nothing; in between the
// rate falls linearly with depth. The linear range needs 0 < S - h < Z, so Z > 0 there.
enum class EtRange { kFull, kNone, kLinear };

EtRange etRange(double h, float s, float z) {
  if (h >= static_cast<double>(s)) return EtRange::kFull;
  if (static_cast<double>(s) - h >= static_cast<double>(z)) return EtRange::kNone;
  return EtRange::kLinear;
}

}  // namespace

void EvtPackage::allocate(Model& m) {
  const int lst = m.LISTUNIT;
  const int in = m.unitOf(kEVT);
  io::write(
      lst,
      AQX_FMT(
          "(1X/1X,'EVT5 -- EVAPOTRANSPIRATION PACKAGE, VERSION 5,',' 9/1/93',' INPUT READ FROM UNIT',I3)"),
      in);
  io::readFixedOrFree(in, m.FREEFMT != 0, AQX_FMT("(2I10)"), option_, cbUnit_);
  if (option_ == 1) {
    io::write(lst, AQX_FMT("(1X,'OPTION 1 -- EVAPOTRANSPIRATION FROM TOP LAYER')"));
  } else if (option_ == 2) {
    io::write(
        lst,
        AQX_FMT("(1X,'OPTION 2 -- EVAPOTRANSPIRATION FROM ONE SPECIFIED',' NODE IN EACH VERTICAL COLUMN')"));
  } else {
    io::write(lst, AQX_FMT("(1X,'ILLEGAL ET OPTION CODE. SIMULATION ABORTING')"));
    io::stopRun();
  }
  if (cbUnit_ > 0) io::write(lst, AQX_FMT("(1X,'CELL-BY-CELL FLOWS WILL BE SAVED ON UNIT',I3)"), cbUnit_);

  const AllocationReport report(m);
  const std::int64_t columns = static_cast<std::int64_t>(m.NROWS) * m.NCOLS;
  evtr_ = m.work->takeReal(columns);
  exdp_ = m.work->takeReal(columns);
  surf_ = m.work->takeReal(columns);
  if (option_ == 2) ievt_ = m.work->takeInt(columns);
  report.report(AQX_FMT("(1X,I10,' ELEMENTS OF X ARRAY ARE USED BY EVT')"),
                AQX_FMT("(1X,I10,' ELEMENTS OF X ARRAY USED OUT OF ',I10)"),
                AQX_FMT("(1X,'   ***X ARRAY MUST BE MADE LARGER***')"));
}

void EvtPackage::stressPeriod(Model& m) {
  const int in = m.unitOf(kEVT);
  int surfFlag = 0, evtrFlag = 0, exdpFlag = 0, ievtFlag = 0;
  if (option_ == 2) {
    io::readFixedOrFree(in, m.FREEFMT != 0, AQX_FMT("(4I10)"), surfFlag, evtrFlag, exdpFlag, ievtFlag);
  } else {
    io::readFixedOrFree(in, m.FREEFMT != 0, AQX_FMT("(3I10)"), surfFlag, evtrFlag, exdpFlag);
  }
  ColumnArrays arrays(m, in, !started_);
  arrays.real(surf_, surfFlag, "              ET SURFACE", "SURF",
              AQX_FMT("(1X/1X,'REUSING SURF FROM LAST STRESS PERIOD')"));
  arrays.real(evtr_, evtrFlag, " EVAPOTRANSPIRATION RATE", "EVTR",
              AQX_FMT("(1X/1X,'REUSING EVTR FROM LAST STRESS PERIOD')"), /*perArea=*/true);
  arrays.real(exdp_, exdpFlag, "        EXTINCTION DEPTH", "EXDP",
              AQX_FMT("(1X/1X,'REUSING EXDP FROM LAST STRESS PERIOD')"));
  if (option_ == 2) {
    arrays.layers(ievt_, ievtFlag, "          ET LAYER INDEX", "IEVT",
                  AQX_FMT("(1X/1X,'REUSING IEVT FROM LAST STRESS PERIOD')"));
  }
  started_ = true;
}

// Full rate: a known outflow E, added to RHS. Linear range: the flow -E(1 - (S - h)/Z) into the
// cell is P*h + R with P = -E/Z and R = E*S/Z - E, so HCOEF + P and RHS - R.
void EvtPackage::formulate(Model& m) {
  forEachColumnCell(m, rule(), ievt_, [&](std::int64_t column, ColumnCell cell) {
    if (!cell) return;
    const float s = surf_[column], e = evtr_[column], z = exdp_[column];
    switch (etRange(m.HEADNEW[cell.index], s, z)) {
      case EtRange::kFull:
        m.RHS[cell.index] = m.RHS[cell.index] + e;
        break;
      case EtRange::kNone:
        break;
      case EtRange::kLinear:
        m.RHS[cell.index] = m.RHS[cell.index] + e - e * s / z;
        m.HCOEF[cell.index] = m.HCOEF[cell.index] - e / z;
        break;
    }
  });
}

// Every flow goes to the outflow side whatever its sign: a negative rate (a positive flow into
// the cell) reduces the outflow.
void EvtPackage::budget(Model& m) {
  CellBudget cbc(m, cbUnit_, kLabel, /*canPrint=*/false);
  cbc.clearBuffer();
  double out = 0.0;
  forEachColumnCell(m, rule(), ievt_, [&](std::int64_t column, ColumnCell cell) {
    if (!cell) return;
    const double e = evtr_[column], s = surf_[column], z = exdp_[column];
    const double h = m.HEADNEW[cell.index];
    double q = 0.0;
    switch (etRange(h, surf_[column], exdp_[column])) {
      case EtRange::kFull:
        q = -e;
        break;
      case EtRange::kNone:
        return;
      case EtRange::kLinear:
        q = (-e / z) * h + (e * s / z - e);
        break;
    }
    m.BUFF[cell.index] = static_cast<float>(q);
    out -= q;
  });
  cbc.saveFullArray();
  cbc.saveLayerArray(m.BUFF, ievt_, option_);
  addBudgetRow(m, kLabel, 0.0, out);
}

AQX_REGISTER_PACKAGE("EVT", EvtPackage)

}  // namespace aqx
