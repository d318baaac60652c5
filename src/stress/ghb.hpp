// GHB: general-head boundaries. A cell exchanges water with a source held at a fixed head
// through a conductance, in either direction, without limit.
#pragma once

#include "driver/package.hpp"
#include "stress/boundary_list.hpp"

namespace aqx {

class GhbPackage : public Package {
 public:
  GhbPackage();
  void allocate(Model& m) override;
  void stressPeriod(Model& m) override;
  void formulate(Model& m) override;
  void budget(Model& m) override;

  const BoundaryList& list() const { return list_; }

 private:
  BoundaryList list_;
};

}  // namespace aqx
