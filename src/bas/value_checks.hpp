// Refusal of input values that describe no possible aquifer: numbers that are not finite in single
// precision, and negative (or, for cell widths, non-positive) properties. Text that overflows is
// already refused by the input conversion; a non-finite value still arrives through an array
// multiplier, a conversion by cell area, a product of times and a multiplier, or the bits of a
// binary array. Every reader calls these right after reading, so that the message names the array
// or list entry where the modeller put it and the run stops before any equation sees the value.
//
// Values the equations never use may stay: the array checks take a predicate that says which
// cells count (see activeCell, activeLink), so a no-flow cell's filler is left alone.
#pragma once

#include <cmath>
#include <cstdint>
#include <string_view>

#include "driver/model.hpp"

namespace aqx {

// What a value may not be. Every rule also refuses a value that is not finite.
enum class Refuse {
  NonFinite,    // any finite value is accepted
  Negative,     // zero is accepted (a zero conductance is a cut link)
  NotPositive,  // zero is refused too (cell widths)
};

inline bool isRefused(float v, Refuse rule) {
  if (!std::isfinite(v)) return true;
  switch (rule) {
    case Refuse::Negative:
      return v < 0.0f;
    case Refuse::NotPositive:
      return !(v > 0.0f);
    default:
      return false;
  }
}

// Listing message for a refused value, then io::stopRun(). `label` is the array label as read
// (leading blanks are dropped in the message); k > 0 a layer, 0 an areal array, < 0 a cross
// section (its rows are layers).
[[noreturn]] void refuseLayerValue(int listunit, std::string_view label, int k, int i, int j, float v,
                                   Refuse rule);
[[noreturn]] void refuseVectorValue(int listunit, std::string_view label, std::string_view indexWord,
                                    int index, float v, Refuse rule);
[[noreturn]] void refuseEntryValue(int listunit, std::string_view package, int entry, std::string_view field,
                                   float v, Refuse rule);

// Field `field` of list entry `entry` of `package` (e.g. "DRN", entry 3, "CONDUCTANCE").
inline void checkEntry(int listunit, float v, Refuse rule, std::string_view package, int entry,
                       std::string_view field) {
  if (isRefused(v, rule)) refuseEntryValue(listunit, package, entry, field, v, rule);
}

// n values of a one-dimensional array, element e named "indexWord e" (COLUMN for DELR, ...).
void checkVector(int listunit, const float* values, int n, Refuse rule, std::string_view label,
                 std::string_view indexWord);

// rows x columns values of one layer array (row after row, column fastest), checked where
// used(i, j) holds (1-based row and column).
template <class Used>
void checkLayer(int listunit, const float* values, int rows, int columns, int k, Refuse rule,
                std::string_view label, Used&& used) {
  for (int i = 1; i <= rows; ++i) {
    const float* row = values + static_cast<std::int64_t>(i - 1) * columns;
    for (int j = 1; j <= columns; ++j) {
      if (isRefused(row[j - 1], rule) && used(i, j))
        refuseLayerValue(listunit, label, k, i, j, row[j - 1], rule);
    }
  }
}

// Predicates for checkLayer over layer k of the grid.
inline auto everyCell() {
  return [](int, int) { return true; };
}
// A cell that is not no-flow (variable or constant head).
inline auto activeCell(const Model& m, int k) {
  return [&m, k](int i, int j) { return m.IBOUND[m.cell(k, i, j)] != 0; };
}
// The link from a cell of layer k to its neighbour (di rows, dj columns, dk layers on): used only
// when the neighbour is in the grid and neither end is no-flow.
inline auto activeLink(const Model& m, int k, int di, int dj, int dk) {
  return [&m, k, di, dj, dk](int i, int j) {
    const int kn = k + dk, in = i + di, jn = j + dj;
    if (kn > m.NLAYER || in > m.NROWS || jn > m.NCOLS) return false;
    return m.IBOUND[m.cell(k, i, j)] != 0 && m.IBOUND[m.cell(kn, in, jn)] != 0;
  };
}
// A vertical column with at least one cell that is not no-flow (areal stresses).
inline auto activeColumn(const Model& m) {
  return [&m](int i, int j) {
    for (int k = 1; k <= m.NLAYER; ++k)
      if (m.IBOUND[m.cell(k, i, j)] != 0) return true;
    return false;
  };
}

}  // namespace aqx
