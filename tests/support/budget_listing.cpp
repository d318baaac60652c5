#include "support/budget_listing.hpp"

#include "post/listing_budget.hpp"

namespace aqx::test {

std::vector<ListedBudget> listedBudgets(const std::string& listing) {
  std::vector<ListedBudget> out;
  for (const post::BudgetTable& t : post::readBudgetTables(listing)) {
    ListedBudget b;
    b.kstep = t.step;
    b.kper = t.period;
    for (const post::BudgetRow& r : t.rows)
      b.rows[r.label] = {r.cumulativeIn, r.cumulativeOut, r.rateIn, r.rateOut};
    b.discrepancyVolume = t.discrepancy[0];
    b.discrepancyRate = t.discrepancy[1];
    out.push_back(std::move(b));
  }
  return out;
}

}  // namespace aqx::test
