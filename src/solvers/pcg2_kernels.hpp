// Internal to PCG2: what the package file and its kernels file share.
#pragma once

#include <cstdint>

#include "driver/model.hpp"

// The row kernels select between a computed value and 0 per cell; letting the compiler assume
// that floating-point operations do not trap allows it to compute both and blend them in vector
// registers. Results are unchanged: the same operations run in the same order for every cell.
#if defined(__GNUC__) && !defined(__clang__)
#define AQX_VECTOR_LOOPS __attribute__((optimize("no-trapping-math")))
#else
#define AQX_VECTOR_LOOPS
#endif

namespace aqx::pcg2 {

// Layer, row and column (1-based) of cell index n (0-based, natural order).
struct Lrc {
  int k, i, j;
};
inline Lrc lrcOf(const Model& m, std::int64_t n) {
  const std::int64_t nrc = static_cast<std::int64_t>(m.NCOLS) * m.NROWS;
  const int k = static_cast<int>(n / nrc) + 1;
  const std::int64_t r = n % nrc;
  return {k, static_cast<int>(r / m.NCOLS) + 1, static_cast<int>(r % m.NCOLS) + 1};
}

}  // namespace aqx::pcg2
