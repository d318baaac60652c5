// Readers of the program's binary outputs for tests: the post-processing library's readers, with
// a malformed file reported as a test failure instead of an exception.
#pragma once

#include <string>
#include <vector>

#include "post/outputs.hpp"

namespace aqx::test {

using post::BudgetRecord;
using post::intAt;
using post::LayerRecord;
using post::realAt;

// Every record; a record cut short fails the calling test (ADD_FAILURE) and gives the records
// before it.
std::vector<LayerRecord> readLayerFile(const std::string& bytes);
std::vector<BudgetRecord> readBudgetFile(const std::string& bytes);

}  // namespace aqx::test
