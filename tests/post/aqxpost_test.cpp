// The output readers and the aqxpost commands: records written by the simulator's own writers
// and by whole runs read back with their exact values; malformed files refused with a message.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "io/budget_records.hpp"
#include "io/layers.hpp"
#include "io/record.hpp"
#include "post/listing_budget.hpp"
#include "post/outputs.hpp"
#include "support/e2e.hpp"

namespace aqx {
namespace {

using test::lines;
using test::runPost;
using test::TempDir;

// Every record form, written by the writers the packages use: full, compact array, compact list,
// layer indicator and first layer only; and layer records of two steps and two layers.
class Written : public ::testing::Test {
 protected:
  void SetUp() override {
    io::open(60, (dir / "out.cbc").string(), io::Form::Stream);
    io::open(61, (dir / "out.hds").string(), io::Form::Stream);
    for (int c = 0; c < 12; ++c) grid[c] = 0.5f * static_cast<float>(c) - 1.0f / 3.0f;
    io::UBUDSV(1, 2, "FLOW RIGHT FACE ", 60, grid, 3, 2, 2, 0);
    io::UBDSV1(1, 2, "         STORAGE", 60, grid, 3, 2, 2, 0, 1.5f, 3.0f, 4.5f);
    io::UBDSV2(1, 2, "          DRAINS", 60, 3, 2, 2, 2, 0, 1.5f, 3.0f, 4.5f);
    io::CBCLISTITEM(60, 3, 2, 3, 2, 2, -7.25f);
    io::CBCLISTITEM(60, 3, 2, 3, 2, 2, -0.75f);  // the same cell twice: the values add up
    const int indicator[6] = {1, 2, 2, 1, 1, 2};
    io::UBDSV3(1, 2, "        RECHARGE", 60, grid, indicator, 2, 3, 2, 2, 0, 1.5f, 3.0f, 4.5f);
    io::UBDSV3(1, 2, "              ET", 60, grid, indicator, 1, 3, 2, 2, 0, 1.5f, 3.0f, 4.5f);
    for (int step = 1; step <= 2; ++step)
      for (int k = 1; k <= 2; ++k)
        io::SAVLAYBIN(grid + 6 * (k - 1), "            HEAD", step, 1, 2.0f * step, 2.0f * step, 3, 2, k, 61);
    io::close(60);
    io::close(61);
  }
  TempDir dir;
  float grid[12];
};

TEST_F(Written, EveryRecordFormReadsBackExactly) {
  const auto budget = post::readBudgetFile(dir.readBytes("out.cbc"));
  ASSERT_EQ(budget.size(), 5u);
  const int methods[] = {0, 1, 2, 3, 4};
  for (std::size_t r = 0; r < 5; ++r) {
    EXPECT_EQ(budget[r].method, methods[r]);
    EXPECT_EQ(budget[r].kstep, 1);
    EXPECT_EQ(budget[r].kper, 2);
    EXPECT_EQ(budget[r].nlay, 2);
  }
  EXPECT_EQ(budget[0].values, std::vector<float>(grid, grid + 12));
  EXPECT_EQ(budget[1].values, std::vector<float>(grid, grid + 12));
  EXPECT_EQ(budget[1].totim, 4.5f);
  ASSERT_EQ(budget[2].entries.size(), 2u);
  EXPECT_EQ(budget[2].entries[0].first, 12);
  EXPECT_EQ(budget[2].at(2, 2, 3), -8.0f);
  EXPECT_EQ(budget[3].indicator, (std::vector<int>{1, 2, 2, 1, 1, 2}));
  EXPECT_EQ(budget[3].at(2, 1, 2), grid[6 + 1]);
  EXPECT_EQ(budget[3].at(1, 1, 2), 0.0f);
  EXPECT_EQ(budget[4].at(1, 2, 3), grid[5]);

  const auto heads = post::readLayerFile(dir.readBytes("out.hds"));
  ASSERT_EQ(heads.size(), 4u);
  EXPECT_EQ(heads[3].kstep, 2);
  EXPECT_EQ(heads[3].layer, 2);
  EXPECT_EQ(heads[3].at(2, 3), grid[11]);
  EXPECT_EQ(post::detectKind(dir.readBytes("out.hds")), post::FileKind::Layer);
  EXPECT_EQ(post::detectKind(dir.readBytes("out.cbc")), post::FileKind::Budget);
}

TEST_F(Written, MalformedFilesAreRefusedWithAMessage) {
  const std::string cbc = dir.readBytes("out.cbc");
  const std::string hds = dir.readBytes("out.hds");
  struct Case {
    const char* name;
    std::string bytes;
  };
  std::string badCell = cbc;  // the first list entry's cell number (after two records of 12 values)
  const std::size_t listAt = (36 + 48) + (52 + 48) + 52 + 4;
  badCell[listAt] = 99;
  const Case cases[] = {{"cut in a header", cbc.substr(0, 20)},
                        {"cut in the values", cbc.substr(0, cbc.size() - 3)},
                        {"heads cut short", hds.substr(0, hds.size() - 4)},
                        {"text", std::string("LIST 6 out.lst\nBAS 1 bas.dat\n")},
                        {"list cell outside the grid", badCell},
                        {"empty", std::string()}};
  for (const Case& c : cases) {
    dir.write("bad.bin", c.bytes);
    EXPECT_THROW(post::detectKind(c.bytes), post::FileError) << c.name;
    const test::RunResult r = runPost(dir.path(), {"list", "bad.bin"});
    EXPECT_EQ(r.status, 1) << c.name;
    EXPECT_NE(r.err.find("aqxpost: "), std::string::npos) << c.name << r.err;
  }
}

TEST_F(Written, ListCsvAndHydrographCommands) {
  test::RunResult r = runPost(dir.path(), {"list", "out.cbc"});
  ASSERT_EQ(r.status, 0) << r.err;
  const auto l = lines(r.out);
  ASSERT_EQ(l.size(), 6u);
  EXPECT_EQ(l[3], "budget,1,2,DRAINS,3,2,2,2,1.5,3,4.5,2");

  r = runPost(dir.path(),
              {"csv", "out.cbc", "--period", "2", "--step", "1", "--label", "drains", "--layer", "2"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(lines(r.out).back(), "2,2,3,-8");
  r = runPost(dir.path(),
              {"csv", "out.hds", "--period", "1", "--step", "2", "--layer", "2", "--layout", "grid"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(lines(r.out), (std::vector<std::string>{"2.66666675,3.16666675,3.66666675",
                                                    "4.16666651,4.66666651,5.16666651"}));

  r = runPost(dir.path(), {"hydrograph", "out.hds", "--cell", "1,1,2", "--cell", "2,2,3"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(lines(r.out),
            (std::vector<std::string>{"period,step,total_time,L1R1C2,L2R2C3", "1,1,2,0.166666657,5.16666651",
                                      "1,2,4,0.166666657,5.16666651"}));

  struct Usage {
    std::vector<std::string> args;
  };
  const Usage bad[] = {{{"csv", "out.hds"}},
                       {{"csv", "out.cbc", "--period", "2", "--step", "1"}},
                       {{"hydrograph", "out.hds", "--cell", "1,2"}},
                       {{"frobnicate"}},
                       {{"list", "out.hds", "--nonsense", "1"}}};
  for (const Usage& u : bad) EXPECT_EQ(runPost(dir.path(), u.args).status, 2) << u.args[0];
  for (const char* command : {"list", "csv", "hydrograph", "budget"}) {
    r = runPost(dir.path(), {command, "--help"});
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find(std::string("usage: aqxpost ") + command), std::string::npos);
  }
}

// The demo: its head and budget files and its listing, through the commands.
TEST(PostDemo, BudgetTablesAndFilesOfAWholeRun) {
  TempDir dir;
  std::filesystem::copy(test::sourcePath("examples/demo"), dir.path(),
                        std::filesystem::copy_options::recursive);
  ASSERT_EQ(test::runAquifex(dir.path(), {"demo.nam"}).status, 0);

  const auto tables = post::readBudgetTables(dir.readText("demo.lst"));
  ASSERT_FALSE(tables.empty());
  const post::BudgetTable& last = tables.back();
  EXPECT_EQ(last.period, 2);
  bool wells = false;
  for (const auto& row : last.rows) {
    if (row.label == "           WELLS") {
      wells = true;
      EXPECT_DOUBLE_EQ(row.rateOut, 4000.0);
    }
  }
  EXPECT_TRUE(wells);
  EXPECT_EQ(last.timeUnit, "seconds");

  test::RunResult r = runPost(dir.path(), {"budget", "demo.lst"});
  ASSERT_EQ(r.status, 0) << r.err;
  const auto l = lines(r.out);
  EXPECT_EQ(l[0].substr(0, 30), "period,step,total_time,time_un");
  EXPECT_EQ(l.back().substr(0, 4), "2,8,");

  for (const char* file : {"demo.hds", "demo.cbc"}) {
    r = runPost(dir.path(), {"list", file});
    EXPECT_EQ(r.status, 0) << file << r.err;
    EXPECT_GT(lines(r.out).size(), 2u) << file;
  }
  r = runPost(dir.path(), {"budget", "demo.bas"});
  EXPECT_EQ(r.status, 1);
}

}  // namespace
}  // namespace aqx
