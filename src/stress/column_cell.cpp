#include "stress/column_cell.hpp"

#include <algorithm>
#include <string>

#include "bas/value_checks.hpp"
#include "io/arrays.hpp"

namespace aqx {

void checkColumnLayers(const Model& m, const int* layers, std::string_view name) {
  std::int64_t column = 0;
  for (int i = 1; i <= m.NROWS; ++i) {
    for (int j = 1; j <= m.NCOLS; ++j, ++column) {
      const int k = layers[column];
      if (k >= 1 && k <= m.NLAYER) continue;
      io::write(
          m.LISTUNIT,
          AQX_FMT("(1X/1X,A,' AT ROW',I6,', COLUMN',I6,' IS',I11,': NOT A LAYER OF THE GRID (1 TO',I4,')'"
                  "/1X,'STOP EXECUTION')"),
          std::string(name), i, j, k, m.NLAYER);
      io::stopRun();
    }
  }
}

bool ColumnArrays::keep(int flag, std::string_view code, const io::Format& reusing) {
  if (flag >= 0) return false;
  if (first_) {
    io::write(
        m_.LISTUNIT,
        AQX_FMT("(1X/1X,'NO EARLIER ',A,' ARRAY TO REUSE: ALL ITS VALUES ARE ZERO IN STRESS PERIOD',I4)"),
        std::string(code), m_.KPERIOD);
  } else {
    io::write(m_.LISTUNIT, reusing);
  }
  return true;
}

void ColumnArrays::real(float* values, int flag, std::string_view name, std::string_view code,
                        const io::Format& reusing, bool perArea) {
  const std::int64_t n = static_cast<std::int64_t>(m_.NROWS) * m_.NCOLS;
  if (keep(flag, code, reusing)) {
    if (first_) std::fill(values, values + n, 0.0f);
    return;
  }
  io::READRMAT(values, name, m_.NROWS, m_.NCOLS, 0, unit_, m_.LISTUNIT);
  if (perArea) {
    std::int64_t column = 0;
    for (int i = 0; i < m_.NROWS; ++i) {
      for (int j = 0; j < m_.NCOLS; ++j, ++column) values[column] = values[column] * m_.DELR[j] * m_.DELC[i];
    }
  }
  // After the conversion, so that a rate that overflows when multiplied by its cell's area is
  // refused as well. Columns with no cell in the model are never used.
  checkLayer(m_.LISTUNIT, values, m_.NROWS, m_.NCOLS, 0, Refuse::NonFinite, name, activeColumn(m_));
}

void ColumnArrays::layers(int* values, int flag, std::string_view name, std::string_view code,
                          const io::Format& reusing) {
  const std::int64_t n = static_cast<std::int64_t>(m_.NROWS) * m_.NCOLS;
  if (keep(flag, code, reusing)) {
    if (!first_) return;
    std::fill(values, values + n, 0);
  } else {
    io::READIMAT(values, name, m_.NROWS, m_.NCOLS, 0, unit_, m_.LISTUNIT);
  }
  checkColumnLayers(m_, values, code);
}

}  // namespace aqx
