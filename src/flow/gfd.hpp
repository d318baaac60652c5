// The general finite-difference flow package: the conductances between cells and the storage
// capacities of cells are given as input, as the user derived them. Only layers whose saturated
// thickness varies with head (types 1 and 3) get their horizontal conductances recomputed, in
// every iteration, from a conductance per unit thickness and the current saturated thickness; a
// cell of such a layer whose thickness vanishes leaves the model for the rest of the run.
#pragma once

#include <array>
#include <cstdint>

#include "driver/package.hpp"

namespace aqx {

namespace gfd {

// The mean saturated thickness of a face between cells of thickness t1 (nonzero) and t2, for a
// face along a row (toward the next column) or along a column (toward the next row). The
// logarithmic mean replaces the arithmetic one when the ratio t2/t1 (single precision) is at
// least 1.25 or at most 0.8; along a column a ratio of exactly 0.8 keeps the arithmetic mean.
// A ratio of 0 gives 0.
float faceThickness(float t1, float t2, bool alongRow);

}  // namespace gfd

class GfdPackage : public Package {
 public:
  void allocate(Model& m) override;
  void readPrepare(Model& m) override;
  void formulate(Model& m) override;
  void budget(Model& m) override;

  // Scalars of record 1.
  int ISTEADY = 0, GFDFLOWCB = 0;

  // Arrays (stretches of the work array); nullptr when not present.
  float* STOR1 = nullptr;
  float* STOR2 = nullptr;
  float* BOTTOM = nullptr;
  float* CTHICKR = nullptr;
  float* CTHICKC = nullptr;
  float* TOP = nullptr;

  int nconv = 0;  // layers of type 1 or 3
  int ntop = 0;   // layers of type 2 or 3

  bool transient() const { return ISTEADY == 0; }

  // Per-phase pieces, public so that they can be exercised one by one.
  void decodeLayers(Model& m,
                    const int* codes);  // LAYCON and positions; listed; stops on type 1 below layer 1
  void takeArrays(Model& m);
  void prepare(Model& m);  // links of inactive cells cut, isolated cells eliminated
  void recomputeLayer(Model& m, int k);
  void budgetStorage(Model& m);
  void budgetConstantHead(Model& m);
  void budgetFaces(Model& m, int direction);

  // Slot of layer k (1-based) in BOTTOM/CTHICKR/CTHICKC and in STOR2/TOP; 0 when it has none.
  int convPos(int k) const { return convPos_[k - 1]; }
  int topPos(int k) const { return topPos_[k - 1]; }

 private:
  std::array<int, 200> convPos_{};
  std::array<int, 200> topPos_{};
};

}  // namespace aqx
