// GHB: general-head boundaries. A cell exchanges water with a source held at a fixed head
// through a conductance, in either direction, without limit.
#pragma once

#include "stress/boundary_list.hpp"

namespace aqx {

class GhbPackage : public ListPackage {
 public:
  GhbPackage();
  void formulate(Model& m) override;
  void budget(Model& m) override;
};

}  // namespace aqx
