// Readers of the simulator's binary outputs, for the post-processing tool and for tests: layer
// files (heads, drawdowns, subsidence, compaction, critical heads) and cell-by-cell budget files in
// the full form and every compact form. A record cut short, or sizes that cannot be right, throw
// FileError with the byte offset; nothing is read past the end of the bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace aqx::post {

class FileError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// One binary layer record: kstep, kper, pertim, totim, label, columns, rows, layer, values.
struct LayerRecord {
  int kstep = 0, kper = 0;
  float pertim = 0.0f, totim = 0.0f;
  std::string label;
  int ncol = 0, nrow = 0, layer = 0;
  std::vector<float> values;  // row after row, column fastest
  float at(int row, int column) const {
    return values[static_cast<std::size_t>(column - 1) + static_cast<std::size_t>(ncol) * (row - 1)];
  }
};

// One cell-by-cell budget record. `method` is 0 for the full form (no second header), else the
// compact method 1 (full array), 2 (list), 3 (layer indicator array) or 4 (layer 1 only).
// `values` always holds the whole grid (zeros where a list or layer form gave nothing; list
// entries of one cell add up); `entries` holds the list of method 2 as (cell number, value) and
// `indicator` the layer array of method 3. Times are known only for the compact forms.
struct BudgetRecord {
  int kstep = 0, kper = 0;
  std::string label;
  int ncol = 0, nrow = 0, nlay = 0;
  int method = 0;
  float delt = 0.0f, pertim = 0.0f, totim = 0.0f;
  std::vector<float> values;
  std::vector<std::pair<int, float>> entries;
  std::vector<int> indicator;
  float at(int k, int i, int j) const {
    return values[static_cast<std::size_t>(j - 1) + static_cast<std::size_t>(ncol) * (i - 1) +
                  static_cast<std::size_t>(ncol) * nrow * (k - 1)];
  }
};

enum class FileKind { Layer, Budget };

std::vector<LayerRecord> readLayerFile(const std::string& bytes);
std::vector<BudgetRecord> readBudgetFile(const std::string& bytes);
// Which of the two the bytes hold; FileError when they are neither.
FileKind detectKind(const std::string& bytes);

// The whole contents of a file (FileError when it cannot be read).
std::string readFileBytes(const std::string& path);

// A 4-byte integer or real at a byte offset (0 past the end).
int intAt(const std::string& bytes, std::size_t offset);
float realAt(const std::string& bytes, std::size_t offset);

}  // namespace aqx::post
