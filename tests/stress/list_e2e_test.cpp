// Whole runs with every list package at once (WEL, DRN, RIV, GHB, all with an auxiliary value and
// CBCALLOCATE): each row of the model is a one-dimensional problem between a constant head and
// one boundary cell, checked against its closed-form solution; the budget rows against the
// cell-by-cell records, in full and compact form.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "stress/row_model.hpp"

namespace aqx::test {
namespace {

constexpr int kCols = 5;

// A row: a constant head hc in column 1 and the boundary in the last column (a well of rate
// `level`, or a drain, reach or general-head boundary at `level` with `cond`).
struct RowCase {
  const char* name;
  char type;  // 'W', 'D', 'R', 'G'
  double hc, level, cond, bottom;
};

const std::vector<RowCase> kRows = {
    {"WellPumping", 'W', 0.0, -3.0, 0.0, 0.0},
    {"DrainBelowHead", 'D', 10.0, 5.0, 2.0, 0.0},
    {"DrainAboveHead", 'D', 3.0, 5.0, 2.0, 0.0},
    {"DrainAtHead", 'D', 5.0, 5.0, 2.0, 0.0},
    {"RiverLosingAboveBottom", 'R', 10.0, 12.0, 1.0, 8.0},
    {"RiverLosingBelowBottom", 'R', 2.0, 6.0, 1.0, 4.0},
    {"RiverGaining", 'R', 10.0, 6.0, 1.0, 4.0},
    {"StageBelowBottom", 'R', 1.0, 2.0, 1.0, 3.0},
    {"GhbInflow", 'G', 0.0, 10.0, 5.0, 0.0},
    {"GhbOutflow", 'G', 10.0, 2.0, 1.0, 0.0},
};

// The steady flow into the aquifer at the boundary cell: the row's conductances in series.
double closedFormFlow(const RowCase& c) {
  const double series = (kCols - 1) / kRowConductance;
  const double headDependent = (c.level - c.hc) / (1.0 / c.cond + series);
  switch (c.type) {
    case 'W':
      return c.level;
    case 'D':
      return c.hc > c.level ? headDependent : 0.0;
    case 'R':
      // The head-dependent branch holds while the boundary cell stays above the bottom.
      if (c.hc + headDependent * series > c.bottom) return headDependent;
      return c.cond * (c.level - c.bottom);
    default:
      return headDependent;
  }
}

int rowOf(std::size_t n) {
  return 2 * static_cast<int>(n) + 1;
}

std::string listFile(char type, const char* record1Tail) {
  std::string s;
  char line[160];
  int count = 0;
  for (const RowCase& c : kRows) count += c.type == type;
  std::snprintf(line, sizeof line, "%10d%10d%s\n%10d\n", count, 40, record1Tail, count);
  s = line;
  for (std::size_t n = 0; n < kRows.size(); ++n) {
    const RowCase& c = kRows[n];
    if (c.type != type) continue;
    const int row = rowOf(n);
    if (type == 'W') {
      std::snprintf(line, sizeof line, "%10d%10d%10d%10.4f %d\n", 1, row, kCols, c.level, row);
    } else if (type == 'R') {
      std::snprintf(line, sizeof line, "%10d%10d%10d%10.4f%10.4f%10.4f %d\n", 1, row, kCols, c.level, c.cond,
                    c.bottom, row);
    } else {
      std::snprintf(line, sizeof line, "%10d%10d%10d%10.4f%10.4f %d\n", 1, row, kCols, c.level, c.cond, row);
    }
    s += line;
  }
  return s;
}

void buildAllPackages(RowModel& m, bool compact) {
  for (std::size_t n = 0; n < kRows.size(); ++n) {
    for (int j = 1; j <= kCols; ++j) {
      m.start(rowOf(n), j) = kRows[n].hc;
      if (n > 0) m.ibound(rowOf(n) - 1, j) = 0;
    }
    m.ibound(rowOf(n), 1) = -1;
  }
  m.package("WEL", 12, listFile('W', " AUX IFACE CBC"));
  m.package("DRN", 13, listFile('D', " AUX IFACE CBC"));
  m.package("RIV", 14, listFile('R', " CBC AUX IFACE"));
  m.package("GHB", 17, listFile('G', " AUXILIARY IFACE CBCALLOCATE"));
  m.period(1.0, 1, 1.0);
  m.compact = compact;
}

const char* const kListLabels[] = {"           WELLS", "          DRAINS", "   RIVER LEAKAGE",
                                   " HEAD DEP BOUNDS"};
const char kListTypes[] = {'W', 'D', 'R', 'G'};

class AllListPackages : public ::testing::TestWithParam<bool> {};

TEST_P(AllListPackages, HeadsBudgetsAndRecordsAgreeWithTheClosedForms) {
  RowModel model(2 * static_cast<int>(kRows.size()) - 1, kCols);
  buildAllPackages(model, GetParam());
  const RunResult result = model.run();
  ASSERT_EQ(result.status, 0) << result.out << result.err;

  const auto heads = model.heads();
  ASSERT_EQ(heads.size(), 1u);
  for (std::size_t n = 0; n < kRows.size(); ++n) {
    const double q = closedFormFlow(kRows[n]);
    for (int j = 1; j <= kCols; ++j) {
      const double want = kRows[n].hc + q * (j - 1) / kRowConductance;
      EXPECT_NEAR(heads[0].values[(rowOf(n) - 1) * kCols + (j - 1)], want, 1e-4)
          << kRows[n].name << " col " << j;
    }
  }
  // The drain held at its elevation stays exactly there and does nothing.
  EXPECT_EQ(heads[0].values[(rowOf(3) - 1) * kCols + kCols - 1], 5.0f);

  const auto budgets = model.budgets();
  ASSERT_EQ(budgets.size(), 1u);
  const ListedBudget& bud = budgets[0];
  EXPECT_LE(std::fabs(bud.discrepancyRate), 0.01);
  EXPECT_LE(std::fabs(bud.discrepancyVolume), 0.01);

  const auto records = model.budget();
  // The list packages' records follow the flow package's, in budget order.
  std::vector<std::string> labels;
  for (const BudgetRecord& r : records) labels.push_back(r.label);
  ASSERT_GE(labels.size(), 4u);
  for (int p = 0; p < 4; ++p) EXPECT_EQ(labels[labels.size() - 4 + p], kListLabels[p]);

  for (int p = 0; p < 4; ++p) {
    const BudgetRecord& r = records[records.size() - 4 + p];
    EXPECT_EQ(r.method, GetParam() ? 2 : 0) << r.label;
    double in = 0.0, out = 0.0, wantIn = 0.0, wantOut = 0.0;
    for (float v : r.values) (v > 0 ? in : out) += v;
    for (std::size_t n = 0; n < kRows.size(); ++n) {
      if (kRows[n].type != kListTypes[p]) continue;
      const double q = closedFormFlow(kRows[n]);
      (q > 0 ? wantIn : wantOut) += q;
      EXPECT_NEAR(r.at(1, rowOf(n), kCols), q, 1e-4) << kRows[n].name;
    }
    ASSERT_TRUE(bud.has(kListLabels[p])) << kListLabels[p];
    const ListedBudgetRow& row = bud.row(kListLabels[p]);
    // The budget row is the sum of the cell flows of the record.
    EXPECT_NEAR(row.rateIn, in, 1e-4) << r.label;
    EXPECT_NEAR(row.rateOut, -out, 1e-4) << r.label;
    EXPECT_NEAR(row.rateIn, wantIn, 1e-3) << r.label;
    EXPECT_NEAR(row.rateOut, -wantOut, 1e-3) << r.label;
  }
  EXPECT_EQ(bud.row("          DRAINS").rateIn, 0.0);
  EXPECT_EQ(bud.row("          DRAINS").volIn, 0.0);
}

INSTANTIATE_TEST_SUITE_P(Forms, AllListPackages, ::testing::Values(false, true),
                         [](const auto& info) { return std::string(info.param ? "Compact" : "Full"); });

}  // namespace
}  // namespace aqx::test
