// RCH driven phase by phase on a hand-built grid of two layers, 2 rows by 3 columns: the three
// options, the conversion to volumetric rates, reuse, the budget row and the compact records.
#include "stress/rch.hpp"

#include <gtest/gtest.h>

#include <string>

#include "support/binary_files.hpp"
#include "support/model_builder.hpp"

namespace aqx {
namespace {

constexpr int kCbc = 40;

bool has(const std::string& text, const std::string& piece) {
  return text.find(piece) != std::string::npos;
}

// Columns (row, column): (1,1) variable head in both layers; (1,2) no flow over variable head;
// (1,3) constant head over variable head; (2,1) no flow in both; (2,2), (2,3) variable head.
// DELR = 1, 2, 3 and DELC = 10, 20, so the areas are 10, 20, 30 and 20, 40, 60.
struct RchModel {
  test::ModelBuilder b{2, 2, 3};
  RchModel() {
    Model& m = b.model();
    for (int j = 0; j < 3; ++j) m.DELR[j] = static_cast<float>(j + 1);
    m.DELC[0] = 10.0f;
    m.DELC[1] = 20.0f;
    b.ibound(1, 1, 2) = 0;
    b.ibound(1, 1, 3) = -1;
    b.ibound(1, 2, 1) = 0;
    b.ibound(2, 2, 1) = 0;
    b.output(kCbc, "cbc.bin");
  }
};

// Rates per unit area 1..6 (the last one negative, one zero), areas as above.
const char* kRates = "INTERNAL 1.0 (FREE) -1\n1 2 3\n0 5 -6\n";

TEST(Rch, OptionsChooseTheReceivingCell) {
  struct Case {
    const char* name;
    std::string input;
    float layer1[6], layer2[6];  // RHS after one formulate
  };
  const Case cases[] = {
      {"TopLayer",
       std::string("         1        40\n         0\n") + kRates,
       {-10, 0, 0, 0, -200, 360},
       {0, 0, 0, 0, 0, 0}},
      {"GivenLayer",
       std::string("         2        40\n         0         0\n") + kRates +
           "INTERNAL 1 (FREE) -1\n2 2 2\n1 1 2\n",
       {0, 0, 0, 0, -200, 0},
       {-10, -40, -90, 0, 0, 360}},
      {"HighestActive",
       std::string("         3        40\n         0\n") + kRates,
       {-10, 0, 0, 0, -200, 360},
       {0, -40, 0, 0, 0, 0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    RchModel model;
    test::PackageRun run(model.b, "RCH", kRCH, c.input);
    run.allocate();
    run.period(1, 2, 2.0f);
    for (int n = 0; n < 6; ++n) {
      EXPECT_EQ(run.rhs(1, n / 3 + 1, n % 3 + 1), c.layer1[n]) << n;
      EXPECT_EQ(run.rhs(2, n / 3 + 1, n % 3 + 1), c.layer2[n]) << n;
      EXPECT_EQ(run.hcoef(1, n / 3 + 1, n % 3 + 1), 0.0f);
    }
    // BUFF holds the flow into each receiving cell: minus its RHS term.
    const Model& m = model.b.model();
    for (int k = 1; k <= 2; ++k)
      for (int n = 0; n < 6; ++n)
        EXPECT_EQ(m.BUFF[m.cell(k, n / 3 + 1, n % 3 + 1)], -(k == 1 ? c.layer1 : c.layer2)[n] + 0.0f);
  }
}

TEST(Rch, BudgetRowAndCompactRecordWithTheReceivingLayers) {
  RchModel model;
  test::PackageRun run(model.b, "RCH", kRCH, std::string("         3        40\n         0\n") + kRates);
  run.allocate();
  run.period(1, 2, 2.0f);
  const Model& m = model.b.model();
  // In: 10 + 40 + 200 (the zero adds to neither side); out: the negative column's 360.
  EXPECT_EQ(m.BUDNEXT, 2);
  EXPECT_EQ(m.BUDNAM[0], "        RECHARGE");
  EXPECT_EQ(m.BUDVAL[0][2], 250.0f);
  EXPECT_EQ(m.BUDVAL[0][3], 360.0f);
  EXPECT_EQ(m.BUDVAL[0][0], 500.0f);
  EXPECT_EQ(m.BUDVAL[0][1], 720.0f);
  // Option 3 fills the layer array: 2 below the no-flow cell, 1 where nothing was received.
  EXPECT_EQ(std::vector<int>(run.as<RchPackage>().irch(), run.as<RchPackage>().irch() + 6),
            (std::vector<int>{1, 2, 1, 1, 1, 1}));

  const auto records = test::readBudgetFile(model.b.bytes(kCbc, "cbc.bin"));
  ASSERT_EQ(records.size(), 1u);
  const test::BudgetRecord& r = records[0];
  EXPECT_EQ(r.label, "        RECHARGE");
  EXPECT_EQ(r.method, 3);
  EXPECT_EQ(r.indicator, (std::vector<int>{1, 2, 1, 1, 1, 1}));
  EXPECT_EQ(r.at(1, 1, 1), 10.0f);
  EXPECT_EQ(r.at(2, 1, 2), 40.0f);
  EXPECT_EQ(r.at(1, 1, 3), 0.0f);
  EXPECT_EQ(r.at(1, 2, 3), -360.0f);
  EXPECT_EQ(r.delt, 2.0f);
}

TEST(Rch, FullAndTopLayerRecordsAndNoRecordsWithoutAUnit) {
  const struct {
    const char* head;
    int icbcfl, method;
    std::size_t bytes;
  } cases[] = {
      {"         1        40\n", 1, 0, 36u + 4 * 12},
      {"         1        40\n", 2, 4, 52u + 4 * 6},
      {"         1        40\n", 0, -1, 0u},
      {"         1       -40\n", 1, -1, 0u},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.head << c.icbcfl);
    RchModel model;
    test::PackageRun run(model.b, "RCH", kRCH, std::string(c.head) + "         0\n" + kRates);
    run.allocate();
    run.period(1, c.icbcfl);
    const std::string bytes = model.b.bytes(kCbc, "cbc.bin");
    ASSERT_EQ(bytes.size(), c.bytes);
    if (c.method < 0) continue;
    const auto records = test::readBudgetFile(bytes);
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].method, c.method);
    EXPECT_EQ(records[0].at(1, 2, 3), -360.0f);
    EXPECT_EQ(records[0].at(1, 1, 3), 0.0f);  // constant head
  }
}

TEST(Rch, ReuseKeepsVolumetricRatesAndLayersSeparately) {
  RchModel model;
  test::PackageRun run(model.b, "RCH", kRCH,
                       std::string("         2         0\n         0         0\n") + kRates +
                           "INTERNAL 1 (FREE) -1\n2 2 2\n1 1 2\n"
                           "        -1        -1\n"
                           "         0        -1\nCONSTANT 0.5\n");
  run.allocate();
  run.period(1);
  run.period(2);
  EXPECT_EQ(run.rhs(2, 1, 1), -10.0f);  // not multiplied by the area a second time
  EXPECT_EQ(run.rhs(2, 2, 3), 360.0f);
  run.period(3);
  EXPECT_EQ(run.rhs(2, 1, 3), -15.0f);  // new rates on the kept layers
  EXPECT_EQ(run.rhs(1, 2, 2), -20.0f);
  const std::string lst = model.b.listing();
  EXPECT_TRUE(
      has(lst, "\n \n REUSING RECH FROM LAST STRESS PERIOD\n \n REUSING IRCH FROM LAST STRESS PERIOD\n"))
      << lst;
  EXPECT_TRUE(has(lst, "    RECHARGE LAYER INDEX\n")) << lst;
  EXPECT_EQ(lst.find("NO EARLIER"), std::string::npos) << lst;
}

TEST(Rch, AllocateLinesAndFreeFormat) {
  RchModel model;
  model.b.model().FREEFMT = 1;
  test::PackageRun run(model.b, "RCH", kRCH, "3 40\n-1\n0\nCONSTANT 2.0\n");
  run.allocate();
  run.period(1);
  EXPECT_EQ(run.rhs(1, 1, 1), 0.0f);  // period 1 reused nothing: zero recharge
  run.period(2);
  EXPECT_EQ(run.rhs(1, 1, 1), -20.0f);
  const std::string lst = model.b.listing();
  EXPECT_TRUE(has(lst,
                  " \n RCH5 -- RECHARGE PACKAGE, VERSION 5, 6/1/95 INPUT READ FROM UNIT 18\n"
                  " OPTION 3 -- RECHARGE TO HIGHEST ACTIVE NODE IN EACH VERTICAL COLUMN\n"
                  " CELL-BY-CELL FLOWS WILL BE SAVED ON UNIT 40\n"
                  "         12 ELEMENTS IN X ARRAY ARE USED BY RCH\n"))
      << lst;
  EXPECT_TRUE(has(lst, "\n NO EARLIER RECH ARRAY TO REUSE: ALL ITS VALUES ARE ZERO IN STRESS PERIOD   1\n"))
      << lst;
  EXPECT_TRUE(has(lst, "                RECHARGE =   2.000000    \n")) << lst;
}

TEST(Rch, IllegalOptionStops) {
  for (const char* option : {"         0         0\n", "         4         0\n"}) {
    RchModel model;
    test::PackageRun run(model.b, "RCH", kRCH, option);
    EXPECT_THROW(run.allocate(), io::RunStop);
    EXPECT_TRUE(has(model.b.listing(), "\n ILLEGAL OPTION CODE. SIMULATION ABORTING\n"));
  }
}

}  // namespace
}  // namespace aqx
