// The shared budget pieces: rows of the budget table (rates stored single, volumes cumulated,
// one stop when the table is full) and the cell-by-cell mode and records of one term.
#include "bas/budget_terms.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/binary_files.hpp"
#include "support/e2e.hpp"
#include "support/model_builder.hpp"

namespace aqx {
namespace {

TEST(BudgetRow, StoresRatesCumulatesVolumesAndStopsWhenTheTableIsFull) {
  test::ModelBuilder b(1, 1, 2);
  Model& m = b.model();
  m.DELT = 2.0f;
  m.BUDNEXT = 1;
  addBudgetRow(m, "           WELLS", 1.5, 0.25);
  EXPECT_EQ(m.BUDNEXT, 2);
  EXPECT_EQ(m.BUDNAM[0], "           WELLS");
  EXPECT_EQ(m.BUDVAL[0][2], 1.5f);
  EXPECT_EQ(m.BUDVAL[0][3], 0.25f);
  m.BUDNEXT = 1;
  addBudgetRow(m, "           WELLS", 1.0, 0.0);
  EXPECT_EQ(m.BUDVAL[0][0], 5.0f);  // 1.5 * 2 + 1.0 * 2
  EXPECT_EQ(m.BUDVAL[0][1], 0.5f);

  m.BUDNEXT = 1;
  for (int row = 1; row <= 40; ++row) addBudgetRow(m, "          DRAINS", 0.0, 0.0);
  EXPECT_THROW(addBudgetRow(m, "          DRAINS", 0.0, 0.0), io::RunStop);
  std::vector<std::string> out = test::lines(b.listing());
  ASSERT_FALSE(out.empty());
  EXPECT_EQ(out.back(), " BUDGET TABLE IS FULL: THE PACKAGES OF THIS MODEL NEED MORE THAN 40 BUDGET ENTRIES");
}

TEST(CellBudget, ModeFollowsUnitAndOutputControl) {
  struct Case {
    int unit, icbcfl;
    bool canPrint;
    int mode;
  };
  const Case cases[] = {{0, 1, true, 0},  {50, 0, true, 0},  {50, 1, true, 1},  {50, 2, true, 2},
                        {-1, 0, true, 0}, {-1, 1, true, -1}, {-1, 2, true, -1}, {-1, 1, false, 0}};
  for (const Case& c : cases) {
    EXPECT_EQ(CellBudget::modeFor(c.unit, c.icbcfl, c.canPrint), c.mode)
        << "unit " << c.unit << " ICBCFL " << c.icbcfl << " canPrint " << c.canPrint;
  }
}

TEST(CellBudget, WritesArrayListAndPrintForms) {
  test::ModelBuilder b(2, 2, 3);
  Model& m = b.model();
  m.KSTEP = 1;
  m.KPERIOD = 2;
  m.DELT = 1.0f;
  io::open(50, (b.dir() / "out.cbc").string(), io::Form::Stream);
  for (int icbcfl : {1, 2}) {
    m.ICBCFL = icbcfl;
    CellBudget cbc(m, 50, "          DRAINS");
    cbc.clearBuffer();
    m.BUFF[m.cell(2, 1, 3)] = -4.0f;
    cbc.saveArray();
    cbc.beginList(1);
    cbc.listItem(2, 1, 3, -4.0f);
  }
  io::close(50);
  const auto records = test::readBudgetFile(b.dir().readBytes("out.cbc"));
  ASSERT_EQ(records.size(), 3u);  // full array; compact array; compact list
  EXPECT_EQ(records[0].method, 0);
  EXPECT_EQ(records[1].method, 1);
  EXPECT_EQ(records[2].method, 2);
  for (const auto& r : records) {
    EXPECT_EQ(r.label, "          DRAINS");
    EXPECT_EQ(r.at(2, 1, 3), -4.0f);
  }

  m.ICBCFL = 1;
  CellBudget printed(m, -1, "          DRAINS");
  printed.printLine(AQX_FMT("(1X,'DRAIN',I4)"), 1);
  printed.printLine(AQX_FMT("(1X,'DRAIN',I4)"), 2);
  const std::vector<std::string> out = test::lines(b.listing());
  const std::vector<std::string> tail(out.end() - 4, out.end());
  EXPECT_EQ(tail, (std::vector<std::string>{" ", "           DRAINS   PERIOD  2   STEP  1", " DRAIN   1",
                                            " DRAIN   2"}));
}

}  // namespace
}  // namespace aqx
