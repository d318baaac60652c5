// DRN: drains. Water leaves a cell in proportion to the height of its head above the drain
// elevation, and never enters it.
#pragma once

#include "stress/boundary_list.hpp"

namespace aqx {

class DrnPackage : public ListPackage {
 public:
  DrnPackage();
  void formulate(Model& m) override;
  void budget(Model& m) override;
};

}  // namespace aqx
