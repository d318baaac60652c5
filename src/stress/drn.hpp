// DRN: drains. Water leaves a cell in proportion to the height of its head above the drain
// elevation, and never enters it.
#pragma once

#include "driver/package.hpp"
#include "stress/boundary_list.hpp"

namespace aqx {

class DrnPackage : public Package {
 public:
  DrnPackage();
  void allocate(Model& m) override;
  void stressPeriod(Model& m) override;
  void formulate(Model& m) override;
  void budget(Model& m) override;

  const BoundaryList& list() const { return list_; }

 private:
  BoundaryList list_;
};

}  // namespace aqx
