#include "post/listing_budget.hpp"

#include <cstdlib>
#include <sstream>

namespace aqx::post {

namespace {

std::string trim(const std::string& s) {
  const auto a = s.find_first_not_of(' ');
  if (a == std::string::npos) return "";
  const auto b = s.find_last_not_of(' ');
  return s.substr(a, b - a + 1);
}

// A printed number; the budget prints overflowing fields as asterisks, read here as 0.
double number(const std::string& s) {
  const std::string t = trim(s);
  if (t.empty() || t[0] == '*') return 0.0;
  return std::strtod(t.c_str(), nullptr);
}

// Splits "   LABEL = value      LABEL = value" into its two label/value pairs.
bool twoEntries(const std::string& line, std::string& l1, double& v1, std::string& l2, double& v2) {
  const auto e1 = line.find(" =");
  if (e1 == std::string::npos || line.size() < e1 + 19) return false;
  const auto e2 = line.find(" =", e1 + 2);
  if (e2 == std::string::npos) return false;
  // Term labels are the 16 characters before " =" (leading blanks kept); totals are shorter.
  l1 = e1 >= 16 ? line.substr(e1 - 16, 16) : trim(line.substr(0, e1));
  v1 = number(line.substr(e1 + 2, 17));
  const std::size_t secondLabel = e1 + 2 + 17;
  l2 = e2 >= secondLabel + 16 ? line.substr(e2 - 16, 16) : trim(line.substr(secondLabel, e2 - secondLabel));
  v2 = number(line.substr(e2 + 2));
  return true;
}

}  // namespace

std::vector<BudgetTable> readBudgetTables(const std::string& listing) {
  std::vector<std::string> lines;
  {
    std::istringstream in(listing);
    std::string line;
    while (std::getline(in, line)) {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      lines.push_back(line);
    }
  }
  std::vector<BudgetTable> out;
  const std::string head = "VOLUMETRIC BUDGET FOR ENTIRE MODEL AT END OF TIME STEP";
  for (std::size_t n = 0; n < lines.size(); ++n) {
    const auto at = lines[n].find(head);
    if (at == std::string::npos) continue;
    BudgetTable t;
    const std::string rest = lines[n].substr(at + head.size());
    t.step = std::atoi(rest.substr(0, 3).c_str());
    const auto sp = rest.find("STRESS PERIOD");
    if (sp != std::string::npos) t.period = std::atoi(rest.substr(sp + 13).c_str());
    enum { kNone, kIn, kOut } side = kNone;
    bool complete = false;
    std::size_t outRow = 0;
    std::size_t m = n + 1;
    for (; m < lines.size(); ++m) {
      const std::string& line = lines[m];
      const std::string tl = trim(line);
      if (tl.rfind("IN:", 0) == 0) {
        side = kIn;
        continue;
      }
      if (tl.rfind("OUT:", 0) == 0) {
        side = kOut;
        continue;
      }
      std::string l1, l2;
      double v1 = 0, v2 = 0;
      if (tl.rfind("PERCENT DISCREPANCY", 0) == 0) {
        twoEntries(line, l1, v1, l2, v2);
        t.discrepancy[0] = v1;
        t.discrepancy[1] = v2;
        complete = true;
        break;
      }
      if (!twoEntries(line, l1, v1, l2, v2)) continue;
      const std::string total = trim(l1);
      if (total == "TOTAL IN") {
        t.totalIn[0] = v1;
        t.totalIn[1] = v2;
      } else if (total == "TOTAL OUT") {
        t.totalOut[0] = v1;
        t.totalOut[1] = v2;
      } else if (total == "IN - OUT") {
        // the totals' difference: recomputed by readers from the totals
      } else if (side == kIn) {
        t.rows.push_back({l1, v1, 0.0, v2, 0.0});
      } else if (side == kOut) {
        // The OUT rows repeat the IN rows in the same order.
        if (outRow < t.rows.size()) {
          t.rows[outRow].cumulativeOut = v1;
          t.rows[outRow].rateOut = v2;
        }
        ++outRow;
      }
    }
    if (!complete) break;
    // The time summary of the same step follows the table.
    for (std::size_t s = m + 1; s < lines.size() && s < m + 16; ++s) {
      const std::string tl = trim(lines[s]);
      if (tl.rfind("TOTAL SIMULATION TIME =", 0) == 0) {
        t.totalTime = number(tl.substr(23));
        t.timeUnit = "model";
        break;
      }
      if (tl.rfind("TOTAL TIME", 0) == 0) {
        t.totalTime = number(tl.substr(10, 12));
        t.timeUnit = "seconds";
        break;
      }
      if (lines[s].find(head) != std::string::npos) break;
    }
    out.push_back(std::move(t));
    n = m;
  }
  return out;
}

}  // namespace aqx::post
