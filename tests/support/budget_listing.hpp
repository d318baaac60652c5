// Reader of the volumetric budgets a run prints in its listing file, for tests of whole runs.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace aqx::test {

// One budget term as printed: cumulative volumes and rates of the step, in and out.
struct ListedBudgetRow {
  double volIn = 0.0, volOut = 0.0, rateIn = 0.0, rateOut = 0.0;
};

// One printed budget: the step it closes, its terms by their 16-character labels, and the two
// percent discrepancies (cumulative volumes, rates).
struct ListedBudget {
  int kstep = 0, kper = 0;
  std::map<std::string, ListedBudgetRow> rows;
  double discrepancyVolume = 0.0, discrepancyRate = 0.0;
  bool has(const std::string& label) const { return rows.count(label) != 0; }
  const ListedBudgetRow& row(const std::string& label) const { return rows.at(label); }
};

// Every budget printed in a listing text, in order.
std::vector<ListedBudget> listedBudgets(const std::string& listing);

}  // namespace aqx::test
