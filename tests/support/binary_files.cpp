#include "support/binary_files.hpp"

#include <gtest/gtest.h>

namespace aqx::test {

std::vector<LayerRecord> readLayerFile(const std::string& bytes) {
  try {
    return post::readLayerFile(bytes);
  } catch (const post::FileError& e) {
    ADD_FAILURE() << "layer file: " << e.what();
    return {};
  }
}

std::vector<BudgetRecord> readBudgetFile(const std::string& bytes) {
  try {
    return post::readBudgetFile(bytes);
  } catch (const post::FileError& e) {
    ADD_FAILURE() << "cell-by-cell file: " << e.what();
    return {};
  }
}

}  // namespace aqx::test
