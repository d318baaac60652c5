// The volumetric budget print (number rule, totals, discrepancy) and the time summary, driven by
// filling the budget table and the clock by hand.
#include <gtest/gtest.h>

#include <string>

#include "bas/bas_harness.hpp"
#include "bas/output.hpp"

namespace aqx::test {
namespace {

std::string sp(int n) { return std::string(n, ' '); }

std::string rtrim(std::string s) {
  s.erase(s.find_last_not_of(' ') + 1);
  return s;
}

// One row of the budget table: label and volume text, then label and rate text.
std::string row(const std::string& label, const std::string& volume, const std::string& rate) {
  return sp(4) + label + " =" + volume + sp(6) + label + " =" + rate;
}

TEST(BudgetNumberRule, EntriesAndTotals) {
  struct Case {
    float value;
    const char* text;
  } cases[] = {
      {0.0f, "           0.0000"},   // exactly zero: F form
      {1.0E12f, "       1.0000E+12"}, // at or above the large constant
      {0.05f, "       5.0000E-02"},   // below 0.1
      {0.1f, "           0.1000"},   // 0.1 itself is F form
      {12.5f, "          12.5000"},
      {-3.0f, "      -3.0000E+00"},  // every negative entry goes in E form
      {123456.0f, "      123456.0000"},
  };
  for (const auto& c : cases) EXPECT_EQ(bas::budgetEntryText(c.value), c.text) << c.value;
}

TEST(BudgetNumberRule, DifferencesTestTheMagnitude) {
  struct Case {
    float value;
    const char* text;
  } cases[] = {
      {0.0f, "           0.0000"},
      {-12.5f, "         -12.5000"},   // negative but of moderate size: F form
      {2.0E11f, "       2.0000E+11"},  // beyond the smaller large constant of differences
      {-2.0E11f, "      -2.0000E+11"},
      {5.0f - 4.9f, "       1.0000E-01"},  // 0.0999999 in single precision: E form
      {-0.05f, "      -5.0000E-02"},
  };
  for (const auto& c : cases) EXPECT_EQ(bas::budgetDifferenceText(c.value), c.text) << c.value;
}

TEST(BudgetPrint, WholeTableWithTotalsDifferencesAndDiscrepancy) {
  BasHarness h(1, 1, 1);
  Model& m = h.m;
  m.KSTEP = 3;
  m.KPERIOD = 2;
  m.BUDNAM[0] = "         STORAGE";
  m.BUDVAL[0] = {1.0E12f, 0.0f, 5.0f, 0.0f};
  m.BUDNAM[1] = "           WELLS";
  m.BUDVAL[1] = {0.0f, 12.5f, 0.0f, 4.9f};
  m.BUDNAM[2] = "   NOT PRINTED  ";  // at BUDNEXT: not part of this step's table
  m.BUDVAL[2] = {7.0f, 7.0f, 7.0f, 7.0f};
  m.BUDNEXT = 3;
  bas::printBudget(m);
  const auto text = h.listing();

  const std::vector<std::string> expected = {
      "1",
      "  VOLUMETRIC BUDGET FOR ENTIRE MODEL AT END OF TIME STEP  3 IN STRESS PERIOD  2",
      "  " + std::string(77, '-'),
      " ",
      "     CUMULATIVE VOLUMES      L**3       RATES FOR THIS TIME STEP      L**3/T",
      "     " + std::string(18, '-') + sp(17) + std::string(24, '-'),
      "",
      sp(11) + "IN:" + sp(38) + "IN:",
      sp(11) + "---" + sp(38) + "---",
      row(m.BUDNAM[0], "       1.0000E+12", "           5.0000"),
      row(m.BUDNAM[1], "           0.0000", "           0.0000"),
      " ",
      sp(12) + "TOTAL IN =       1.0000E+12" + sp(14) + "TOTAL IN =           5.0000",
      " ",
      sp(10) + "OUT:" + sp(37) + "OUT:",
      sp(10) + "----" + sp(37) + "----",
      row(m.BUDNAM[0], "           0.0000", "           0.0000"),
      row(m.BUDNAM[1], "          12.5000", "           4.9000"),
      " ",
      sp(11) + "TOTAL OUT =          12.5000" + sp(13) + "TOTAL OUT =           4.9000",
      " ",
      sp(12) + "IN - OUT =       1.0000E+12" + sp(14) + "IN - OUT =       1.0000E-01",
      " ",
      " PERCENT DISCREPANCY =         200.00     PERCENT DISCREPANCY =           2.02",
  };
  ASSERT_GE(text.size(), expected.size());
  // Lines that hold only a blank may come out empty: compare without trailing blanks.
  for (size_t i = 0; i < expected.size(); ++i) EXPECT_EQ(rtrim(text[i]), rtrim(expected[i])) << "line " << i;
  EXPECT_EQ(countContaining(text, "NOT PRINTED"), 0);
}

TEST(BudgetPrint, AllZeroGivesZeroDiscrepancyAndNoRowsPrintNothing) {
  BasHarness h(1, 1, 1);
  Model& m = h.m;
  m.BUDNAM[0] = "        RECHARGE";
  m.BUDNEXT = 2;
  bas::printBudget(m);
  m.BUDNEXT = 1;
  bas::printBudget(m);  // an empty table writes nothing at all
  const auto text = h.listing();
  EXPECT_EQ(countContaining(text, "VOLUMETRIC BUDGET"), 1);
  EXPECT_NE(findLine(text, " PERCENT DISCREPANCY =           0.00     PERCENT DISCREPANCY =           0.00"), -1);
  EXPECT_NE(findLine(text, sp(12) + "IN - OUT =           0.0000" + sp(14) + "IN - OUT =           0.0000"), -1);
}

TEST(TimeSummary, EveryTimeUnit) {
  struct Case {
    int timeunit;
    float delt;
    const char* stepLine;
  } cases[] = {
      {1, 60.0f, "   TIME STEP LENGTH  60.000      1.0000     1.66667E-02 6.94444E-04 1.90129E-06"},
      {2, 90.0f, "   TIME STEP LENGTH  5400.0      90.000      1.5000     6.25000E-02 1.71116E-04"},
      {3, 1.5f, "   TIME STEP LENGTH  5400.0      90.000      1.5000     6.25000E-02 1.71116E-04"},
      {4, 1.0f, "   TIME STEP LENGTH  86400.      1440.0      24.000      1.0000     2.73785E-03"},
      {5, 2.0f, "   TIME STEP LENGTH 6.31152E+07 1.05192E+06  17532.      730.50      2.0000    "},
  };
  for (const auto& c : cases) {
    BasHarness h(1, 1, 1, c.timeunit);
    h.m.KSTEP = 4;
    h.m.KPERIOD = 1;
    h.m.DELT = c.delt;
    h.m.PERTIME = c.delt;
    h.m.TOTTIME = c.delt;
    bas::printTimeSummary(h.m);
    const auto text = h.listing();
    ASSERT_EQ(text.size(), 9u) << c.timeunit;
    EXPECT_EQ(text[3], sp(10) + "TIME SUMMARY AT END OF TIME STEP  4 IN STRESS PERIOD  1");
    EXPECT_EQ(text[4], sp(19) + " SECONDS     MINUTES      HOURS       DAYS        YEARS");
    EXPECT_EQ(text[5], sp(20) + std::string(59, '-'));
    EXPECT_EQ(text[6], c.stepLine) << c.timeunit;
    EXPECT_EQ(text[7].substr(0, 19), " STRESS PERIOD TIME");
    EXPECT_EQ(text[7].substr(19), text[6].substr(19));
    EXPECT_EQ(text[8].substr(0, 19), "         TOTAL TIME");
  }
}

TEST(TimeSummary, UndefinedUnitShowsModelTimesOnly) {
  BasHarness h(1, 1, 1, 0);
  h.m.KSTEP = 1;
  h.m.KPERIOD = 2;
  h.m.DELT = 2.5f;
  h.m.PERTIME = 5.0f;
  h.m.TOTTIME = 15.0f;
  bas::printTimeSummary(h.m);
  const auto text = h.listing();
  ASSERT_EQ(text.size(), 7u);
  EXPECT_EQ(text[3], sp(10) + "TIME SUMMARY AT END OF TIME STEP  1 IN STRESS PERIOD  2");
  EXPECT_EQ(text[4], sp(21) + "     TIME STEP LENGTH =    2.50000    ");
  EXPECT_EQ(text[5], sp(21) + "   STRESS PERIOD TIME =    5.00000    ");
  EXPECT_EQ(text[6], sp(21) + "TOTAL SIMULATION TIME =    15.0000    ");
}

}  // namespace
}  // namespace aqx::test
