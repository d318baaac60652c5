// The example ensemble end to end through GNU parallel on two local cores: 20 runs prepared,
// run and collected; one broken row fails alone and is reported; after it is fixed, a second
// run performs only that one.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "ensemble_check.hpp"

namespace aqx::test {
namespace {

namespace fs = std::filesystem;

TEST(EnsembleParallel, BrokenRowFailsAloneAndRerunsAfterTheFix) {
  TempDir dir;
  const std::string good = post::readFileBytes(sourcePath("examples/ensemble/params.csv").string());
  // Row 7 (line 8) gets a transmissivity the simulator cannot read.
  std::vector<std::string> rows = lines(good);
  const std::string fixedRow = rows[7];
  rows[7] = fixedRow.substr(0, fixedRow.find(',', fixedRow.find(',') + 1) + 1) + "x300" +
            fixedRow.substr(fixedRow.find(',', fixedRow.find(',', fixedRow.find(',') + 1) + 1));
  std::string broken;
  for (const std::string& l : rows) broken += l + "\n";
  dir.write("params.csv", broken);
  const std::string tmpl = sourcePath("examples/ensemble/template").string();
  const std::string obs = sourcePath("examples/ensemble/obs.csv").string();

  RunResult r = runEns(dir.path(), {"prepare", tmpl, "params.csv", "ens"});
  ASSERT_EQ(r.status, 0) << r.out << r.err;
  EXPECT_NE(r.out.find("20 runs in ens: 20 written"), std::string::npos) << r.out;
  EXPECT_NE(post::readFileBytes((dir / "ens/run007/valley.bcf").string()).find("CONSTANT           x300"),
            std::string::npos);

  r = runEns(dir.path(), {"run", "ens", "--engine", "parallel", "-j", "2"});
  EXPECT_EQ(r.status, 1) << r.out << r.err;
  EXPECT_NE(r.out.find("run007: FAILED with exit status"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("20 runs: 19 finished, 1 failed, 0 not run"), std::string::npos) << r.out;

  r = runEns(dir.path(), {"collect", "ens", "--obs", obs, "--budget", "river leakage"});
  ASSERT_EQ(r.status, 0) << r.out << r.err;
  auto table = collectedRows(dir.readText("ens/collected.csv"));
  ASSERT_EQ(table.size(), 20u);
  EXPECT_NE(table[6]["status"], "0");
  EXPECT_EQ(table[6]["h_w1_end2"], "");
  EXPECT_EQ(table[6]["tran_lower"], "x300");
  for (int i : {0, 5, 19}) {
    EXPECT_EQ(table[i]["status"], "0");
    EXPECT_GT(std::stod(table[i]["river_leakage_out"]), 0.0);
    TempDir single;
    expectSameAsSingleRun(single.path(), table[i]);
  }

  // The fix: only run007's inputs change, so only it is rewritten and run again.
  dir.write("params.csv", good);
  const auto before = fs::last_write_time(dir / "ens/run001/aqxens-status.txt");
  r = runEns(dir.path(), {"prepare", tmpl, "params.csv", "ens"});
  ASSERT_EQ(r.status, 0) << r.out << r.err;
  EXPECT_NE(r.out.find("1 written, 19 kept unchanged"), std::string::npos) << r.out;
  r = runEns(dir.path(), {"run", "ens", "--engine", "parallel", "-j", "2"});
  EXPECT_EQ(r.status, 0) << r.out << r.err;
  EXPECT_NE(r.out.find("19 of 20 runs finished before"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("running 1 runs"), std::string::npos) << r.out;
  EXPECT_EQ(fs::last_write_time(dir / "ens/run001/aqxens-status.txt"), before);

  r = runEns(dir.path(), {"collect", "ens", "--obs", obs, "--out", "-"});
  ASSERT_EQ(r.status, 0) << r.out << r.err;
  table = collectedRows(r.out);
  EXPECT_EQ(table[6]["status"], "0");
  TempDir single;
  expectSameAsSingleRun(single.path(), table[6]);

  // Nothing left to run; the printed commands are those the engines run.
  r = runEns(dir.path(), {"run", "ens", "--engine", "parallel"});
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.out.find("nothing to run"), std::string::npos) << r.out;
  r = runEns(dir.path(), {"run", "ens", "--engine", "none", "--all"});
  EXPECT_EQ(lines(r.out).size(), 20u);
  EXPECT_NE(r.out.find(" exec --aquifex "), std::string::npos) << r.out;
}

TEST(EnsembleParallel, PrepareRefusesAValueWiderThanItsField) {
  TempDir dir;
  dir.write("params.csv", "hk_upper,vcont,tran_lower,recharge,criv\n5.0,0.02,150.0,5.0E-04,12345.678901\n");
  const RunResult r =
      runEns(dir.path(), {"prepare", sourcePath("examples/ensemble/template").string(), "params.csv", "ens"});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(
      r.err.find("params.csv, line 2 (run001): valley.riv, line 3, field {{criv}} (columns 41-50): the value "
                 "'12345.678901' has 12 characters, the field 10"),
      std::string::npos)
      << r.err;
  EXPECT_FALSE(dir.exists("ens/manifest.csv"));
}

}  // namespace
}  // namespace aqx::test
