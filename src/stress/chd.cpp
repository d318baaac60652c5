#include "stress/chd.hpp"

#include <algorithm>
#include <cmath>

#include "driver/allocation_report.hpp"
#include "io/record.hpp"
#include "stress/boundary_list.hpp"

namespace aqx {

void ChdPackage::allocate(Model& m) {
  const int lst = m.LISTUNIT;
  const int in = m.unitOf(kCHD);
  io::write(lst, AQX_FMT("('0','CHD1 -- CHD PACKAGE, VERSION 1, 09/23/87',' INPUT READ FROM UNIT',I3)"), in);
  count_ = 0;

  io::read(in, AQX_FMT("(I10)"), max_);
  io::write(lst,
            AQX_FMT("(' ','A TOTAL OF',I5,' CONSTANT-HEAD CELLS MAY BE',' SPECIFIED EACH STRESS PERIOD.')"),
            max_);

  const AllocationReport report(m);
  list_ = m.work->takeReal(5 * static_cast<std::int64_t>(std::max(0, max_)));
  report.report(AQX_FMT("(1X,I6,' ELEMENTS IN X ARRAY ARE USED FOR CONSTANT','-HEAD CELLS')"),
                AQX_FMT("(1X,I6,' ELEMENTS OF X ARRAY USED OUT OF',I7)"));
}

void ChdPackage::stressPeriod(Model& m) {
  const int lst = m.LISTUNIT;
  const int in = m.unitOf(kCHD);
  int n = 0;
  io::read(in, AQX_FMT("(I10)"), n);
  if (n < 0) {
    io::write(lst, AQX_FMT("('0','REUSING CONSTANT-HEAD CELLS FROM LAST STRESS',' PERIOD')"));
  } else {
    // The list has room for MXCHDCELLS cells: a longer one ends the run before anything is read.
    if (n > max_) {
      io::write(lst, AQX_FMT("(1X/1X,'NCHDCELLS(',I4,') IS GREATER THAN MXCHDCELLS(',I4,')')"), n, max_);
      io::stopRun();
    }
    count_ = n;
    io::write(lst, AQX_FMT("('0'//1X,I5,' SPECIFIED-HEAD CELLS')"), count_);
    if (count_ > 0) {
      io::write(lst, AQX_FMT("('0',15X,'LAYER',5X,'ROW',5X,'COL   STRT HEAD   ENDING HEAD'/1X,15X,48('-'))"));
    }
    for (int e = 1; e <= count_; ++e) {
      int k = 0, i = 0, j = 0;
      float start = 0.0f, end = 0.0f;
      io::read(in, AQX_FMT("(3I10,2F10.0)"), k, i, j, start, end);
      io::write(lst, AQX_FMT("(1X,15X,I4,I9,I8,G13.4,G14.4)"), k, i, j, start, end);
      stopOutsideGrid(m, "CHD", e, k, i, j);
      float* r = row(e);
      r[0] = static_cast<float>(k);
      r[1] = static_cast<float>(i);
      r[2] = static_cast<float>(j);
      r[3] = start;
      r[4] = end;
      // A no-flow cell stays no-flow; any other listed cell becomes (and stays) constant head.
      int& ib = m.IBOUND[m.cell(k, i, j)];
      if (ib != 0) ib = -std::abs(ib);
    }
  }

  // The sum of the period's step lengths, from the first step length the basic package set.
  const long double delt = m.DELT;
  const long double mult = m.TSMULT;
  if (m.TSMULT == 1.0f) {
    perLength_ = static_cast<float>(static_cast<long double>(m.NSTEPS) * delt);
  } else {
    perLength_ = static_cast<float>(delt * (1.0L - std::pow(mult, m.NSTEPS)) / (1.0L - mult));
  }
}

void ChdPackage::advance(Model& m) {
  if (count_ == 0) return;
  const float f = m.PERTIME / perLength_;
  for (int n = 1; n <= count_; ++n) {
    const float* r = row(n);
    const int k = static_cast<int>(r[0]), i = static_cast<int>(r[1]), j = static_cast<int>(r[2]);
    const float head = r[3] + (r[4] - r[3]) * f;
    // A head that is not a finite number would pass through the solution as a constant head.
    if (!std::isfinite(head)) {
      io::write(
          m.LISTUNIT,
          AQX_FMT("(1X/1X,'CHD CELL',I6,' (LAYER',I6,', ROW',I6,', COLUMN',I6,') GETS A HEAD THAT IS NOT',"
                  "' A FINITE NUMBER IN STEP',I4,' OF STRESS PERIOD',I4/1X,'STOP EXECUTION')"),
          n, k, i, j, m.KSTEP, m.KPERIOD);
      io::stopRun();
    }
    const std::int64_t c = m.cell(k, i, j);
    m.HEADNEW[c] = static_cast<double>(head);
    m.HEADOLD[c] = head;
  }
}

AQX_REGISTER_PACKAGE("CHD", ChdPackage)

}  // namespace aqx
