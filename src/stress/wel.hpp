// WEL: wells, a fixed volumetric rate per listed cell (positive into the aquifer).
#pragma once

#include "driver/package.hpp"
#include "stress/boundary_list.hpp"

namespace aqx {

class WelPackage : public Package {
 public:
  WelPackage();
  void allocate(Model& m) override;
  void stressPeriod(Model& m) override;
  void formulate(Model& m) override;
  void budget(Model& m) override;

  const BoundaryList& list() const { return list_; }

 private:
  BoundaryList list_;
};

}  // namespace aqx
