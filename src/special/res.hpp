// RES: reservoirs that flood part of the land surface and leak through their bed.
//
// Each reservoir covers a set of map cells; its stage goes linearly from a start to an end value
// over each stress period. Where the stage is above a cell's land surface, water leaks through
// the bed into one cell of the vertical column (layer 1, a layer given per map cell, or the
// highest cell that is not no-flow), like a river: conductance x (stage - head) while the head
// is above the bed bottom, conductance x (stage - bed bottom) below it.
#pragma once

#include <cstdint>

#include "driver/package.hpp"

namespace aqx {

class ResPackage : public Package {
 public:
  void allocate(Model& m) override;      // record 1 and the arrays
  void stressPeriod(Model& m) override;  // first period: the maps and tables; every period: stages
  void advance(Model& m) override;       // stages at the end of the step, conditions table
  void formulate(Model& m) override;     // leakage terms of the flooded cells
  void budget(Model& m) override;        // " RESERV. LEAKAGE" row and cell-by-cell record

  int NRESERV() const { return nres_; }
  int RESOPTION() const { return option_; }
  float PERLENGTH() const { return perlength_; }
  float RESSTAGE(int n) const { return stage_[n - 1]; }
  // Map values of row i, column j (1-based).
  int RESINDEX(int i, int j) const { return index_[map(i, j)]; }
  float RESBEDCOND(int i, int j) const { return cond_[map(i, j)]; }
  float RESBEDBOT(int i, int j) const { return bottom_[map(i, j)]; }

 private:
  std::int64_t map(int i, int j) const { return (j - 1) + static_cast<std::int64_t>(ncol_) * (i - 1); }
  void readMaps(Model& m);
  void printTables(Model& m);
  // Flooded area and volume of reservoir n at a stage: its cells whose land surface is below it.
  void flooded(const Model& m, int n, float stage, float& area, float& volume) const;
  // Calls f(cell, conductance, stage, bottom) for every map cell that leaks: in a reservoir,
  // flooded (stage above its land surface), with a receiving cell in its column.
  template <class F>
  void forEachLeakingCell(const Model& m, F&& f) const;

  int nres_ = 0, cbunit_ = 0, option_ = 0, print_ = 0, ntable_ = 0;
  int ncol_ = 0;
  float perlength_ = 0.0f;
  bool mapsRead_ = false;

  int* index_ = nullptr;      // RESINDEX
  int* layer_ = nullptr;      // RESLAYER (option 2 only)
  float* land_ = nullptr;     // RESLAND
  float* cond_ = nullptr;     // RESBEDCOND: bed conductance once the maps are read
  float* bottom_ = nullptr;   // RESBEDBOT: bed bottom elevation once the maps are read
  float* stage_ = nullptr;    // RESSTAGE
  float* stageSE_ = nullptr;  // RESSTAGESE: start and end stage per reservoir
};

}  // namespace aqx
