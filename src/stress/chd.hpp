// CHD: time-variant specified heads. Listed cells become constant-head cells whose head moves
// linearly over each stress period from a starting to an ending head; at every time step their
// heads are set to the value for the end of the step. CHD adds no terms to the equations and has
// no budget of its own: the flow through its cells is the flow package's constant-head term.
#pragma once

#include <cstdint>

#include "driver/package.hpp"

namespace aqx {

class ChdPackage : public Package {
 public:
  void allocate(Model& m) override;      // banner, MXCHDCELLS, the list
  void stressPeriod(Model& m) override;  // the period's cells (or reuse), IBOUND, PERLENGTH
  void advance(Model& m) override;       // the interpolated heads of the new time step

  int MXCHDCELLS() const { return max_; }
  int NCHDCELLS() const { return count_; }
  float PERLENGTH() const { return perLength_; }
  // Row of cell n (1-based): layer, row, column (as reals), starting head, ending head.
  const float* row(int n) const { return list_ + static_cast<std::int64_t>(n - 1) * 5; }

 private:
  float* row(int n) { return list_ + static_cast<std::int64_t>(n - 1) * 5; }

  int max_ = 0;
  int count_ = 0;
  float perLength_ = 0.0f;
  float* list_ = nullptr;
};

}  // namespace aqx
