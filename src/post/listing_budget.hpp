// The volumetric budget tables of a listing file, read back from their printed lines.
#pragma once

#include <string>
#include <vector>

namespace aqx::post {

struct BudgetRow {
  std::string label;  // the 16-character label, leading blanks kept
  double cumulativeIn = 0.0, cumulativeOut = 0.0, rateIn = 0.0, rateOut = 0.0;
};

struct BudgetTable {
  int period = 0, step = 0;
  // Total time from the time summary that follows the table: in seconds when the model has a
  // time unit ("seconds"), else in the model's own unit ("model"); empty unit when none follows.
  double totalTime = 0.0;
  std::string timeUnit;
  std::vector<BudgetRow> rows;
  double totalIn[2] = {0, 0}, totalOut[2] = {0, 0};  // [0] cumulative, [1] rate
  double discrepancy[2] = {0, 0};                    // percent, cumulative and rate
};

// Every budget table of the listing text, in order. A table cut off before its discrepancy line
// ends the list (a run that stopped while writing it).
std::vector<BudgetTable> readBudgetTables(const std::string& listing);

}  // namespace aqx::post
