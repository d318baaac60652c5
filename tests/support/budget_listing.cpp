#include "support/budget_listing.hpp"

#include <cstdio>
#include <string_view>

#include "support/e2e.hpp"

namespace aqx::test {

std::vector<ListedBudget> listedBudgets(const std::string& listing) {
  std::vector<ListedBudget> out;
  bool inflow = true;
  for (const std::string& line : lines(listing)) {
    std::string_view l(line);
    if (l.find("VOLUMETRIC BUDGET FOR ENTIRE MODEL AT END OF TIME STEP") != std::string_view::npos) {
      ListedBudget b;
      std::sscanf(line.c_str() + line.find("STEP") + 4, "%d IN STRESS PERIOD %d", &b.kstep, &b.kper);
      out.push_back(b);
      inflow = true;
      continue;
    }
    if (out.empty()) continue;
    ListedBudget& b = out.back();
    if (l.find("OUT:") != std::string_view::npos && l.find('=') == std::string_view::npos) inflow = false;
    // A term: " " 3X label(16) " =" value(17) 6X label(16) " =" value(17).
    if (l.size() >= 80 && l.substr(20, 2) == " =" && l.substr(61, 2) == " =") {
      ListedBudgetRow& r = b.rows[line.substr(4, 16)];
      const double volume = std::stod(line.substr(22, 17));
      const double rate = std::stod(line.substr(63, 17));
      (inflow ? r.volIn : r.volOut) = volume;
      (inflow ? r.rateIn : r.rateOut) = rate;
    }
    constexpr std::string_view key = " PERCENT DISCREPANCY =";
    if (l.substr(0, key.size()) == key) {
      b.discrepancyVolume = std::stod(line.substr(key.size(), 15));
      b.discrepancyRate = std::stod(line.substr(2 * key.size() + 19, 15));
    }
  }
  return out;
}

}  // namespace aqx::test
