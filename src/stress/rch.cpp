#include "stress/rch.hpp"

#include <memory>

#include "bas/budget_terms.hpp"
#include "driver/allocation_report.hpp"

namespace aqx {

namespace {
constexpr const char* kLabel = "        RECHARGE";
}  // namespace

void RchPackage::allocate(Model& m) {
  const int lst = m.LISTUNIT;
  const int in = m.unitOf(kRCH);
  io::write(lst, AQX_FMT("(1X/1X,'RCH5 -- RECHARGE PACKAGE, VERSION 5, 6/1/95',' INPUT READ FROM UNIT',I3)"),
            in);
  io::readFixedOrFree(in, m.FREEFMT != 0, AQX_FMT("(2I10)"), option_, cbUnit_);
  switch (option_) {
    case 1:
      io::write(lst, AQX_FMT("(1X,'OPTION 1 -- RECHARGE TO TOP LAYER')"));
      break;
    case 2:
      io::write(lst, AQX_FMT("(1X,'OPTION 2 -- RECHARGE TO ONE SPECIFIED NODE IN EACH',' VERTICAL COLUMN')"));
      break;
    case 3:
      io::write(lst,
                AQX_FMT("(1X,'OPTION 3 -- RECHARGE TO HIGHEST ACTIVE NODE IN EACH',' VERTICAL COLUMN')"));
      break;
    default:
      io::write(lst, AQX_FMT("(1X,'ILLEGAL OPTION CODE. SIMULATION ABORTING')"));
      io::stopRun();
  }
  if (cbUnit_ > 0) io::write(lst, AQX_FMT("(1X,'CELL-BY-CELL FLOWS WILL BE SAVED ON UNIT',I3)"), cbUnit_);

  const AllocationReport report(m);
  const std::int64_t columns = static_cast<std::int64_t>(m.NROWS) * m.NCOLS;
  rech_ = m.work->takeReal(columns);
  if (option_ != 1) irch_ = m.work->takeInt(columns);
  report.report(AQX_FMT("(1X,I10,' ELEMENTS IN X ARRAY ARE USED BY RCH')"),
                AQX_FMT("(1X,I10,' ELEMENTS OF X ARRAY USED OUT OF ',I10)"),
                AQX_FMT("(1X,'   ***X ARRAY MUST BE MADE LARGER***')"));
}

void RchPackage::stressPeriod(Model& m) {
  const int in = m.unitOf(kRCH);
  int rechFlag = 0, irchFlag = 0;
  if (option_ == 2) {
    io::readFixedOrFree(in, m.FREEFMT != 0, AQX_FMT("(2I10)"), rechFlag, irchFlag);
  } else {
    io::readFixedOrFree(in, m.FREEFMT != 0, AQX_FMT("(I10)"), rechFlag);
  }
  ColumnArrays arrays(m, in, !started_);
  arrays.real(rech_, rechFlag, "                RECHARGE", "RECH",
              AQX_FMT("(1X/1X,'REUSING RECH FROM LAST STRESS PERIOD')"), true);
  if (option_ == 2) {
    arrays.layers(irch_, irchFlag, "    RECHARGE LAYER INDEX", "IRCH",
                  AQX_FMT("(1X/1X,'REUSING IRCH FROM LAST STRESS PERIOD')"));
  }
  started_ = true;
}

// Recharge is a known flow: an inflow is subtracted from RHS; HCOEF is not touched.
void RchPackage::formulate(Model& m) {
  forEachColumnCell(m, rule(), irch_, [&](std::int64_t column, ColumnCell cell) {
    if (cell) m.RHS[cell.index] -= rech_[column];
  });
}

void RchPackage::budget(Model& m) {
  CellBudget cbc(m, cbUnit_, kLabel, /*canPrint=*/false);
  cbc.clearBuffer();
  double in = 0.0, out = 0.0;
  const bool highest = rule() == ColumnRule::kHighestActive;
  forEachColumnCell(m, rule(), irch_, [&](std::int64_t column, ColumnCell cell) {
    // Option 3 records the receiving layer of every column for the compact record (1 where none).
    if (highest) irch_[column] = cell ? cell.layer : 1;
    if (!cell) return;
    const float q = rech_[column];
    m.BUFF[cell.index] = q;
    accumulateRate(q, in, out);
  });
  cbc.saveFullArray();
  cbc.saveLayerArray(m.BUFF, irch_, option_);
  addBudgetRow(m, kLabel, in, out);
}

AQX_REGISTER_PACKAGE("RCH", RchPackage)

}  // namespace aqx
