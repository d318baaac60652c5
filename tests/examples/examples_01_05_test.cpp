// The numbered examples 01 to 05, run as a user would run them: each is copied into a scratch
// folder and run, and the quantity its README promises is measured from the outputs and compared
// with the value and tolerance the README states.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "support/binary_files.hpp"
#include "support/budget_listing.hpp"
#include "support/e2e.hpp"
#include "support/example_check.hpp"

namespace aqx::test {
namespace {

// Runs examples/<name> in `dir` from its name file <model>.nam; the run must end normally and
// balance its budget. Gives the listing.
std::string runExample(const TempDir& dir, const std::string& name, const std::string& model) {
  copyExample(name, dir.path());
  const RunResult result = runAquifex(dir.path(), {model + ".nam"}, "", RunLimits{30, 0});
  EXPECT_EQ(result.status, 0) << result.out << result.err;
  const std::string lst = dir.readText(model + ".lst");
  EXPECT_EQ(lst.find("FAILED TO CONVERGE"), std::string::npos);
  const ListedDiscrepancy d = lastDiscrepancy(lines(lst));
  EXPECT_TRUE(d.found) << lst;
  EXPECT_LT(std::abs(d.rate), 0.05);
  EXPECT_LT(std::abs(d.cumulative), 0.05);
  return lst;
}

// The last head record saved by a run.
LayerRecord lastHeads(const TempDir& dir, const std::string& file) {
  const std::vector<LayerRecord> records = readLayerFile(dir.readBytes(file));
  if (records.empty()) {
    ADD_FAILURE() << "no heads in " << file;
    return {};
  }
  return records.back();
}

void expectCheck(const std::string& name, const std::string& what, double measured) {
  const ExampleCheck check = exampleCheck(name, what);
  EXPECT_NEAR(measured, check.value, check.tolerance) << name << ": " << what;
}

TEST(Examples, ThiemDrawdownBetweenTwoRadii) {
  TempDir dir;
  const std::string lst = runExample(dir, "01-thiem", "thiem");
  const ListedRates wells = lastBudgetRates(lines(lst), "           WELLS");
  ASSERT_TRUE(wells.found);
  EXPECT_NEAR(wells.out, 1000.0, 1e-3);
  const LayerRecord h = lastHeads(dir, "thiem.hds");
  ASSERT_EQ(h.ncol, 41);
  // The cone is symmetric: the same head 50 m from the well along a row and along a column.
  EXPECT_NEAR(h.at(21, 26), h.at(26, 21), 1e-4);
  expectCheck("01-thiem", "head difference between 150 m and 50 m from the well",
              h.at(21, 36) - h.at(21, 26));
}

TEST(Examples, TheisDrawdownAfterOneDay) {
  TempDir dir;
  const std::string lst = runExample(dir, "02-theis", "theis");
  const LayerRecord h = lastHeads(dir, "theis.hds");
  ASSERT_EQ(h.ncol, 55);
  EXPECT_NEAR(h.totim, 1.0f, 1e-5f);
  expectCheck("02-theis", "drawdown 50 m from the well after 1 day", 100.0 - h.at(28, 33));
  expectCheck("02-theis", "drawdown 100 m from the well after 1 day", 100.0 - h.at(28, 38));
  // At the end of the day nearly all the pumped water comes from storage.
  const ListedRates storage = lastBudgetRates(lines(lst), "         STORAGE");
  ASSERT_TRUE(storage.found);
  EXPECT_GT(storage.in, 990.0);
}

TEST(Examples, RiverRechargeAndEtShareTheOutflow) {
  TempDir dir;
  const std::string lst = runExample(dir, "03-river-recharge-et", "strip");
  const std::vector<std::string> listing = lines(lst);
  const ListedRates recharge = lastBudgetRates(listing, "        RECHARGE");
  const ListedRates river = lastBudgetRates(listing, "   RIVER LEAKAGE");
  const ListedRates et = lastBudgetRates(listing, "              ET");
  ASSERT_TRUE(recharge.found && river.found && et.found);
  expectCheck("03-river-recharge-et", "recharge into the strip (m3/d)", recharge.in);
  expectCheck("03-river-recharge-et", "river leakage out of the aquifer (m3/d)", river.out);
  // The river only drains this aquifer, and what it and ET take is what recharge brings.
  EXPECT_EQ(river.in, 0.0);
  EXPECT_NEAR(river.out + et.out, recharge.in, 1e-2);

  const LayerRecord h = lastHeads(dir, "strip.hds");
  ASSERT_EQ(h.ncol, 20);
  expectCheck("03-river-recharge-et", "head step between the last two cells (m)", h.at(1, 20) - h.at(1, 19));
  // The river cell's head stands above the stage by the leakage over the riverbed conductance.
  EXPECT_NEAR(h.at(1, 1), 10.0 + river.out / 1000.0, 1e-4);
}

TEST(Examples, StreamDepletionFraction) {
  TempDir dir;
  const std::string lst = runExample(dir, "04-stream-depletion", "depletion");
  const std::vector<std::string> listing = lines(lst);
  const ListedRates stream = lastBudgetRates(listing, "  STREAM LEAKAGE");
  const ListedRates wells = lastBudgetRates(listing, "           WELLS");
  const ListedRates storage = lastBudgetRates(listing, "         STORAGE");
  ASSERT_TRUE(stream.found && wells.found && storage.found);
  ASSERT_NEAR(wells.out, 1000.0, 1e-2);
  expectCheck("04-stream-depletion", "depletion fraction after 1 day", stream.in / wells.out);
  // The stream started level with the aquifer, so it can only lose water; storage and the
  // stream between them supply the well.
  EXPECT_LT(stream.out, 1.0);
  EXPECT_NEAR(stream.in + storage.in, wells.out, 1.0);
}

TEST(Examples, SubsidenceFromElasticAndInelasticCompaction) {
  TempDir dir;
  const std::string lst = runExample(dir, "05-subsidence", "subsidence");
  const LayerRecord h = lastHeads(dir, "subsidence.hds");
  const std::vector<LayerRecord> sub = readLayerFile(dir.readBytes("subsidence.sub"));
  ASSERT_EQ(sub.size(), 10u);  // one record per time step
  const LayerRecord& last = sub.back();
  EXPECT_EQ(last.label, "      SUBSIDENCE");
  EXPECT_NEAR(last.totim, 100.0f, 1e-4f);
  ASSERT_EQ(h.ncol, 3);
  ASSERT_EQ(last.ncol, 3);
  // Uniform pumping: every cell falls and compacts alike.
  for (int i = 1; i <= 3; ++i) {
    for (int j = 1; j <= 3; ++j) {
      EXPECT_NEAR(h.at(i, j), h.at(2, 2), 1e-4);
      EXPECT_NEAR(last.at(i, j), last.at(2, 2), 1e-6);
    }
  }
  expectCheck("05-subsidence", "head at the end of 100 days (m)", h.at(2, 2));
  expectCheck("05-subsidence", "land subsidence at the end of 100 days (m)", last.at(2, 2));
  // Subsidence only grows while the head keeps falling.
  for (std::size_t k = 1; k < sub.size(); ++k) EXPECT_GT(sub[k].at(2, 2), sub[k - 1].at(2, 2));
  // Below the preconsolidation head the interbeds supply nearly all of the pumping.
  const ListedRates interbeds = lastBudgetRates(lines(lst), "INTERBED STORAGE");
  ASSERT_TRUE(interbeds.found);
  EXPECT_NEAR(interbeds.in, 90.0 * 0.02 / 0.0201, 0.05);
}

}  // namespace
}  // namespace aqx::test
