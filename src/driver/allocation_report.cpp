#include "driver/allocation_report.hpp"

namespace aqx {

void AllocationReport::report(const io::Format& usedBy) const {
  report(usedBy, AQX_FMT("(1X,I10,' ELEMENTS OF X ARRAY USED OUT OF ',I10)"));
}

void AllocationReport::report(const io::Format& usedBy, const io::Format& usedOutOf) const {
  report(usedBy, usedOutOf, AQX_FMT("(1X,'   ***X ARRAY MUST BE DIMENSIONED LARGER***')"));
}

void AllocationReport::report(const io::Format& usedBy, const io::Format& usedOutOf,
                              const io::Format& tooSmall) const {
  const int lst = m_.LISTUNIT;
  io::write(lst, usedBy, clampToInt(taken()));
  io::write(lst, usedOutOf, clampToInt(m_.work->used()), clampToInt(WorkArray::XSIZE));
  if (m_.work->tooSmall()) io::write(lst, tooSmall);
}

}  // namespace aqx
