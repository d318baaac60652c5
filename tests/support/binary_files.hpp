// Readers of the program's binary outputs for tests: head (and drawdown, subsidence, ...) layer
// records, and cell-by-cell budget records in the full form and every compact form.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace aqx::test {

// A 4-byte integer or real at a byte offset of a file's contents.
int intAt(const std::string& bytes, std::size_t offset);
float realAt(const std::string& bytes, std::size_t offset);

// One binary layer record: kstep, kper, pertim, totim, label, columns, rows, layer, values.
struct LayerRecord {
  int kstep = 0, kper = 0;
  float pertim = 0.0f, totim = 0.0f;
  std::string label;
  int ncol = 0, nrow = 0, layer = 0;
  std::vector<float> values;
};
std::vector<LayerRecord> readLayerFile(const std::string& bytes);

// One cell-by-cell budget record. `method` is 0 for the full form (no second header), else the
// compact method 1 (full array), 2 (list), 3 (layer indicator array) or 4 (layer 1 only).
// `values` always holds the whole grid (zeros where a list or layer form gave nothing; list
// entries of one cell add up); `entries` holds the list of method 2 as (cell number, value)
// and `indicator` the layer array of method 3.
struct BudgetRecord {
  int kstep = 0, kper = 0;
  std::string label;
  int ncol = 0, nrow = 0, nlay = 0;
  int method = 0;
  float delt = 0.0f, pertim = 0.0f, totim = 0.0f;
  std::vector<float> values;
  std::vector<std::pair<int, float>> entries;
  std::vector<int> indicator;
  // Value of cell (layer, row, column), 1-based.
  float at(int k, int i, int j) const {
    return values[static_cast<std::size_t>(j - 1) + static_cast<std::size_t>(ncol) * (i - 1) +
                  static_cast<std::size_t>(ncol) * nrow * (k - 1)];
  }
};
// Reads every record; a record cut short fails the calling test (ADD_FAILURE) and ends the list.
std::vector<BudgetRecord> readBudgetFile(const std::string& bytes);

}  // namespace aqx::test
