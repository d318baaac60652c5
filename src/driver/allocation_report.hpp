// The allocation report every package writes at the end of its allocate phase: the elements of
// the work array it took, the elements used so far out of XSIZE, and the warning when the work
// array is too small (the run then stops after the allocate phase).
#pragma once

#include <climits>
#include <cstdint>

#include "driver/model.hpp"
#include "io/record.hpp"

namespace aqx {

// A count for an I-edited listing field: counts past the largest integer print as that integer.
inline int clampToInt(std::int64_t n) {
  return n > INT_MAX ? INT_MAX : n < INT_MIN ? INT_MIN : static_cast<int>(n);
}

// Marks XNEXT when a package starts taking its arrays; report() writes the lines.
class AllocationReport {
 public:
  explicit AllocationReport(const Model& m) : m_(m), start_(m.work->XNEXT()) {}

  std::int64_t taken() const { return m_.work->XNEXT() - start_; }

  // usedBy: the package's "ELEMENTS IN X ARRAY ARE USED BY" line, with one integer (taken()).
  void report(const io::Format& usedBy) const;
  // The same with the package's own form of the "USED OUT OF" line (two integers).
  void report(const io::Format& usedBy, const io::Format& usedOutOf) const;
  // The same with the package's own form of the too-small warning as well.
  void report(const io::Format& usedBy, const io::Format& usedOutOf, const io::Format& tooSmall) const;

 private:
  const Model& m_;
  std::int64_t start_;
};

}  // namespace aqx
