// The horizontal flow barrier package: thin walls on the face between two horizontally adjacent
// cells of one layer. A barrier adds no term to the flow equation; it lowers the conductance of
// its face by combining it in series with the barrier's own conductance. Faces of layers with a
// fixed transmissivity are reduced once after reading; faces of layers whose transmissivity
// follows the saturated thickness are reduced in every iteration, right after the flow package
// has recomputed them.
#pragma once

#include <array>
#include <cstdint>

#include "driver/package.hpp"

namespace aqx {

namespace hfb {

// The face conductance g combined in series with a barrier of conductance b per unit face length
// on a face of length w. A face already closed (g == 0) stays closed.
inline float seriesCombine(float g, float b, float w) {
  if (g == 0.0f) return 0.0f;
  return b * g * w / (b * w + g);
}

}  // namespace hfb

class HfbPackage : public Package {
 public:
  // Fields of one barrier record in the table.
  enum Field : int { kRow1 = 0, kCol1 = 1, kRow2 = 2, kCol2 = 3, kChar = 4, kFields = 5 };

  void allocate(Model& m) override;
  void readPrepare(Model& m) override;
  void formulate(Model& m) override;

  int NBARRIER = 0;
  // The barrier table: NBARRIER records of kFields values, in input order (layer by layer).
  float* table = nullptr;
  // Number of barriers of each layer.
  std::array<int, 200> LAYERBARRIERS{};

  // Barrier n (1-based) field f.
  float field(int n, Field f) const { return table[static_cast<std::int64_t>(n - 1) * kFields + f]; }

  // Per-phase pieces, public so that they can be exercised one by one.
  void readTable(Model& m);      // records 2 and 3 for every layer, listed as read
  void checkAndApply(Model& m);  // normalise, check the locations, reduce fixed layers; stops on errors
};

}  // namespace aqx
