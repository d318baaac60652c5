// The cell of a vertical column that receives an areal stress (recharge, evapotranspiration,
// reservoir leakage), chosen the same way by a package's formulate and budget phases, and the
// per-period column arrays those packages read or keep.
#pragma once

#include <cstdint>
#include <string_view>

#include "driver/model.hpp"
#include "io/record.hpp"

namespace aqx {

// How a package picks the cell of a column; the values are the packages' option codes.
enum class ColumnRule : int {
  kTopLayer = 1,       // the cell in layer 1
  kGivenLayer = 2,     // the cell in the layer given for the column
  kHighestActive = 3,  // the first cell from the top that is not no-flow
};

// The receiving cell of one column; layer 0 when no cell of the column receives the stress.
struct ColumnCell {
  int layer = 0;
  std::int64_t index = 0;  // into grid arrays, when layer > 0
  explicit operator bool() const { return layer > 0; }
};

// The cell of column (i, j) (1-based) that receives the stress. It always is a variable-head
// cell: with the top-layer and given-layer rules that one cell receives it only when its IBOUND
// is greater than 0; with the highest-active rule the search from layer 1 passes over no-flow
// cells and ends at the first other cell, which receives it if variable head and stops it if
// constant head. `givenLayer` is read with the given-layer rule only; a layer outside the grid
// gives no cell (packages refuse such input when they read it).
inline ColumnCell columnCell(const Model& m, ColumnRule rule, int i, int j, int givenLayer) {
  const std::int64_t layerCells = static_cast<std::int64_t>(m.NROWS) * m.NCOLS;
  const std::int64_t top = m.cell(1, i, j);
  switch (rule) {
    case ColumnRule::kTopLayer:
      if (m.IBOUND[top] > 0) return {1, top};
      return {};
    case ColumnRule::kGivenLayer: {
      if (givenLayer < 1 || givenLayer > m.NLAYER) return {};
      const std::int64_t c = top + layerCells * (givenLayer - 1);
      if (m.IBOUND[c] > 0) return {givenLayer, c};
      return {};
    }
    case ColumnRule::kHighestActive:
      for (int k = 1; k <= m.NLAYER; ++k) {
        const std::int64_t c = top + layerCells * (k - 1);
        if (m.IBOUND[c] > 0) return {k, c};
        if (m.IBOUND[c] < 0) return {};
      }
      return {};
  }
  return {};
}

// Calls f(column, cell) for every column, rows in order and columns in order within a row, with
// `column` the 0-based index into column arrays (one layer of values) and `cell` the receiving
// cell. `layers` is the column array of layers of the given-layer rule (unused otherwise).
template <class F>
void forEachColumnCell(const Model& m, ColumnRule rule, const int* layers, F&& f) {
  std::int64_t column = 0;
  for (int i = 1; i <= m.NROWS; ++i) {
    for (int j = 1; j <= m.NCOLS; ++j, ++column) {
      const int given = rule == ColumnRule::kGivenLayer ? layers[column] : 0;
      f(column, columnCell(m, rule, i, j, given));
    }
  }
}

// Stops the run, naming the array, the row, the column and the value, at the first value of a
// column array of layers that is not a layer of the grid.
void checkColumnLayers(const Model& m, const int* layers, std::string_view name);

// The per-period column arrays of an areal package: one flag per array, read when zero or
// positive, kept from the previous period when negative. A negative flag in the first period has
// no earlier array to keep: the array is then set to zero (what a first simulation would find
// in the work array, so a run in a batch gives the same result as the same model run alone) and
// one line says so.
class ColumnArrays {
 public:
  // `unit`: the package's input unit; `firstPeriod`: no array has been read or set before.
  ColumnArrays(Model& m, int unit, bool firstPeriod) : m_(m), unit_(unit), first_(firstPeriod) {}

  // A real array; `perArea` values are rates per unit area, converted to volumetric rates by
  // the cell area DELR(j) x DELC(i) right after reading. `name` is the 24-character array
  // label, `code` the short name in the listing lines.
  void real(float* values, int flag, std::string_view name, std::string_view code, const io::Format& reusing,
            bool perArea = false);
  // An integer array of layers: checked with checkColumnLayers after it is read or set to zero.
  void layers(int* values, int flag, std::string_view name, std::string_view code, const io::Format& reusing);

 private:
  bool keep(int flag, std::string_view code, const io::Format& reusing);

  Model& m_;
  int unit_;
  bool first_;
};

}  // namespace aqx
