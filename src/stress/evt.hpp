// EVT: evapotranspiration from one cell of every vertical column (the top cell, or the cell of a
// layer given per column): the full rate with the head at or above the surface, nothing at or
// below the extinction depth, and a rate falling linearly with depth in between.
#pragma once

#include "driver/package.hpp"
#include "stress/column_cell.hpp"

namespace aqx {

class EvtPackage : public Package {
 public:
  void allocate(Model& m) override;
  void stressPeriod(Model& m) override;
  void formulate(Model& m) override;
  void budget(Model& m) override;

  int option() const { return option_; }
  int cbUnit() const { return cbUnit_; }
  // Column arrays (column fastest): maximum rate (volumetric), extinction depth, surface, and
  // for option 2 the layers.
  const float* evtr() const { return evtr_; }
  const float* exdp() const { return exdp_; }
  const float* surf() const { return surf_; }
  const int* ievt() const { return ievt_; }

 private:
  ColumnRule rule() const { return static_cast<ColumnRule>(option_); }

  int option_ = 0;
  int cbUnit_ = 0;
  float* evtr_ = nullptr;
  float* exdp_ = nullptr;
  float* surf_ = nullptr;
  int* ievt_ = nullptr;
  bool started_ = false;
};

}  // namespace aqx
