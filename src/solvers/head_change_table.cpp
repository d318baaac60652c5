#include "solvers/head_change_table.hpp"

#include <algorithm>
#include <span>

#include "io/record.hpp"

namespace aqx {

void HeadChangeTable::take(WorkArray& w, int mxiter) {
  mxiter_ = std::max(mxiter, 0);
  maxchange_ = w.takeReal(mxiter_);
  maxchangecell_ = w.takeInt(3 * static_cast<std::int64_t>(mxiter_));
}

void HeadChangeTable::record(int kouter, float change, int layer, int row, int column) {
  if (kouter < 1 || kouter > mxiter_) return;
  maxchange_[kouter - 1] = change;
  maxchangecell_[3 * (kouter - 1)] = layer;
  maxchangecell_[3 * (kouter - 1) + 1] = row;
  maxchangecell_[3 * (kouter - 1) + 2] = column;
}

void HeadChangeTable::record(int kouter, const LargestChange& big) {
  if (big.nonFinite) {
    record(kouter, big.badValue, big.badK, big.badI, big.badJ);
  } else {
    record(kouter, big.signedValue, big.k, big.i, big.j);
  }
}

void HeadChangeTable::endOfStep(const Model& m, int iprintint) const {
  const int out = m.LISTUNIT;
  if (m.KSTEP == 1) io::write(out, AQX_FMT("(1X)"));
  io::write(out, AQX_FMT("(1X,I5,' ITERATIONS FOR TIME STEP',I4,' IN STRESS PERIOD',I3)"), m.KOUTER, m.KSTEP,
            m.KPERIOD);
  const bool due = m.KSTEP % iprintint == 0 || m.CONVERGED == 0 || m.KSTEP == m.NSTEPS;
  if (!due) return;
  io::write(out, AQX_FMT("(1X/1X,'MAXIMUM HEAD CHANGE FOR EACH ITERATION:'/1X/1X,5('   HEAD CHANGE')/1X,5(' "
                         "LAYER,ROW,COL')/1X,70('-'))"));
  const int last = std::min(m.KOUTER, mxiter_);
  for (int first = 1; first <= last; first += 5) {
    const int count = std::min(5, last - first + 1);
    io::write(out, AQX_FMT("(1X,5G14.4)"),
              std::span<const float>(maxchange_ + first - 1, static_cast<std::size_t>(count)));
    io::write(out, AQX_FMT("(1X,5(:,' (',I3,',',I3,',',I3,')'))"),
              std::span<const int>(maxchangecell_ + 3 * (first - 1), static_cast<std::size_t>(3 * count)));
  }
  io::write(out, AQX_FMT("(1X)"));
}

}  // namespace aqx
