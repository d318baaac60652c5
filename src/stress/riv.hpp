// RIV: rivers. A reach leaks to or from its cell through the riverbed conductance; once the cell's
// head is at or below the bed bottom the leakage no longer depends on it.
#pragma once

#include "driver/package.hpp"
#include "stress/boundary_list.hpp"

namespace aqx {

class RivPackage : public Package {
 public:
  RivPackage();
  void allocate(Model& m) override;
  void stressPeriod(Model& m) override;
  void formulate(Model& m) override;
  void budget(Model& m) override;

  const BoundaryList& list() const { return list_; }

 private:
  BoundaryList list_;
};

}  // namespace aqx
