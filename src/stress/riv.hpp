// RIV: rivers. A reach leaks to or from its cell through the riverbed conductance; once the cell's
// head is at or below the bed bottom the leakage no longer depends on it.
#pragma once

#include "stress/boundary_list.hpp"

namespace aqx {

class RivPackage : public ListPackage {
 public:
  RivPackage();
  void formulate(Model& m) override;
  void budget(Model& m) override;
};

}  // namespace aqx
