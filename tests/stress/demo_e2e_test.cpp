// The bundled demo model: two layers drained by a river and three drains, pumped by wells, solved
// with PCG2. The run must end normally with every step converged, balance its budget, and save the
// list packages' flows as compact list records that add up to their budget rows.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "support/binary_files.hpp"
#include "support/budget_listing.hpp"
#include "support/e2e.hpp"

namespace aqx::test {
namespace {


TEST(Demo, RunsConvergesAndSavesListFlows) {
  TempDir dir;
  std::filesystem::copy(sourcePath("examples/demo"), dir.path(), std::filesystem::copy_options::recursive);
  const RunResult result = runAquifex(dir.path(), {}, "demo.nam\n");
  ASSERT_EQ(result.status, 0) << result.out << result.err;
  const std::string lst = dir.readText("demo.lst");
  EXPECT_EQ(lst.find("FAILED TO CONVERGE"), std::string::npos);
  EXPECT_NE(lst.find("PCG2 -- CONJUGATE GRADIENT SOLUTION PACKAGE"), std::string::npos);
  // Last step: the three wells take 2500 + 1200 + 300, and the budget closes.
  EXPECT_NE(lst.find("               WELLS =        4000.0000"), std::string::npos) << lst;
  const std::vector<ListedBudget> budgets = listedBudgets(lst);
  ASSERT_EQ(budgets.size(), 2u);
  const ListedBudget& last = budgets.back();
  EXPECT_LT(std::abs(last.discrepancyVolume), 0.01);
  EXPECT_LT(std::abs(last.discrepancyRate), 0.01);
  // The river and the drains take water out of the aquifer; drains never put any in.
  ASSERT_TRUE(last.has("   RIVER LEAKAGE"));
  ASSERT_TRUE(last.has("          DRAINS"));
  EXPECT_GT(last.row("   RIVER LEAKAGE").rateOut, 0.0);
  EXPECT_GT(last.row("          DRAINS").rateOut, 0.0);
  EXPECT_EQ(last.row("          DRAINS").rateIn, 0.0);

  // Cell-by-cell file: walk the records; the wells' are compact lists (method 2).
  const std::string b = dir.readBytes("demo.cbc");
  std::size_t off = 0;
  int wellRecords = 0;
  std::map<std::string, int> otherRecords;
  while (off + 36 <= b.size()) {
    const std::string label = b.substr(off + 8, 16);
    const int ncol = intAt(b, off + 24), nrow = intAt(b, off + 28), nlay = intAt(b, off + 32);
    if (nlay > 0) {
      off += 36 + 4u * ncol * nrow * nlay;
      continue;
    }
    const int method = intAt(b, off + 36);
    std::size_t data = off + 52;
    if (method == 2) {
      const int count = intAt(b, data);
      if (label == "           WELLS") {
        // Period 1: two wells (1500 + 300); period 2: three (2500 + 1200 + 300).
        ++wellRecords;
        ASSERT_EQ(count, wellRecords == 1 ? 2 : 3);
        float total = 0.0f;
        for (int e = 0; e < count; ++e) total += realAt(b, data + 4 + 8 * e + 4);
        EXPECT_FLOAT_EQ(total, wellRecords == 1 ? -1800.0f : -4000.0f);
        EXPECT_EQ(intAt(b, data + 4), 300 + 7 * 20 + 12);  // layer 2, row 8, column 12
      } else if (label == "   RIVER LEAKAGE" || label == "          DRAINS") {
        ++otherRecords[label];
        ASSERT_EQ(count, label == "          DRAINS" ? 3 : 10);
        // The last step's records add up to the budget row printed for it.
        double in = 0.0, out = 0.0;
        for (int e = 0; e < count; ++e) {
          const float q = realAt(b, data + 4 + 8 * e + 4);
          (q > 0 ? in : out) += q;
        }
        if (otherRecords[label] == 2) {
          EXPECT_NEAR(in, last.row(label).rateIn, 1e-3) << label;
          EXPECT_NEAR(-out, last.row(label).rateOut, 1e-3) << label;
        }
      }
      off = data + 4 + 8u * count;
    } else if (method == 1) {
      off = data + 4u * ncol * nrow * -nlay;
    } else if (method == 3 || method == 4) {
      off = data + 4u * ncol * nrow * (method == 3 ? 2 : 1);
    } else {
      FAIL() << "unexpected method " << method;
    }
  }
  EXPECT_EQ(off, b.size());
  EXPECT_EQ(wellRecords, 2);  // the last step of each period
  EXPECT_EQ(otherRecords["   RIVER LEAKAGE"], 2);
  EXPECT_EQ(otherRecords["          DRAINS"], 2);
}

}  // namespace
}  // namespace aqx::test
