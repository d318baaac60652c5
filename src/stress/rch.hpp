// RCH: areal recharge, a known volumetric inflow (outflow when negative) into one cell of every
// vertical column: the top cell, the cell of a layer given per column, or the highest
// variable-head cell.
#pragma once

#include "driver/package.hpp"
#include "stress/column_cell.hpp"

namespace aqx {

class RchPackage : public Package {
 public:
  void allocate(Model& m) override;
  void stressPeriod(Model& m) override;
  void formulate(Model& m) override;
  void budget(Model& m) override;

  int option() const { return option_; }
  int cbUnit() const { return cbUnit_; }
  // Column arrays, one value per column (column fastest): the recharge as a volumetric rate, and
  // the layers (given for option 2, the receiving layers of the last budget for option 3).
  const float* rech() const { return rech_; }
  const int* irch() const { return irch_; }

 private:
  ColumnRule rule() const { return static_cast<ColumnRule>(option_); }

  int option_ = 0;
  int cbUnit_ = 0;
  float* rech_ = nullptr;
  int* irch_ = nullptr;
  bool started_ = false;
};

}  // namespace aqx
