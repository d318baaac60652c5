// Runs the bundled examples 06 to 10 and checks each against the numbers its README promises.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "support/binary_files.hpp"
#include "support/budget_listing.hpp"
#include "support/e2e.hpp"
#include "support/example_check.hpp"

namespace aqx::test {
namespace {

// An example copied into a scratch folder and run there with one name file.
struct ExampleRun {
  TempDir dir;
  RunResult result;
  std::vector<ListedBudget> budgets;

  ExampleRun(const std::string& name, const std::string& nameFile) {
    copyExample(name, dir.path());
    run(nameFile);
  }
  void run(const std::string& nameFile) {
    result = runAquifex(dir.path(), {nameFile}, "", {60, 0});
    const std::string lst = nameFile.substr(0, nameFile.rfind('.')) + ".lst";
    budgets = dir.exists(lst) ? listedBudgets(dir.readText(lst)) : std::vector<ListedBudget>{};
  }
  std::vector<LayerRecord> heads(const std::string& file) const { return readLayerFile(dir.readBytes(file)); }
  std::vector<BudgetRecord> cellFlows(const std::string& file) const {
    return readBudgetFile(dir.readBytes(file));
  }
};

// The run ended well and every budget it printed closes.
void expectSoundRun(const ExampleRun& r) {
  ASSERT_EQ(r.result.status, 0) << r.result.out << r.result.err;
  ASSERT_FALSE(r.budgets.empty());
  for (const ListedBudget& b : r.budgets) {
    EXPECT_LT(std::fabs(b.discrepancyVolume), 0.1) << "period " << b.kper << " step " << b.kstep;
    EXPECT_LT(std::fabs(b.discrepancyRate), 0.1) << "period " << b.kper << " step " << b.kstep;
  }
}

void expectCheck(const std::string& example, const std::string& what, double measured) {
  const ExampleCheck c = exampleCheck(example, what);
  EXPECT_NEAR(measured, c.value, c.tolerance) << what;
}

// Head of (layer, row, column) in the last record of that layer.
double lastHead(const std::vector<LayerRecord>& heads, int layer, int row, int column) {
  for (auto r = heads.rbegin(); r != heads.rend(); ++r) {
    if (r->layer == layer) return r->at(row, column);
  }
  ADD_FAILURE() << "no head record for layer " << layer;
  return std::nan("");
}

const BudgetRecord* findRecord(const std::vector<BudgetRecord>& records, const std::string& label, int kper,
                               int kstep) {
  for (const BudgetRecord& r : records) {
    if (r.label == label && r.kper == kper && r.kstep == kstep) return &r;
  }
  ADD_FAILURE() << "no record \"" << label << "\" for period " << kper << " step " << kstep;
  return nullptr;
}

TEST(Examples, FaultBarrierFollowsTheSeriesResistances) {
  const std::string name = "06-fault-barrier";
  ExampleRun r(name, "fault.nam");
  ASSERT_NO_FATAL_FAILURE(expectSoundRun(r));
  const ListedBudgetRow& ch = r.budgets.back().row("   CONSTANT HEAD");
  EXPECT_NEAR(ch.rateIn, ch.rateOut, 1e-3);
  expectCheck(name, "flow through the aquifer", ch.rateIn);

  const auto flows = r.cellFlows("fault.cbc");
  const BudgetRecord* right = findRecord(flows, "FLOW RIGHT FACE ", 1, 1);
  ASSERT_NE(right, nullptr);
  for (int i = 1; i <= 3; ++i) expectCheck(name, "flow through the fault in one row", right->at(1, i, 5));

  const auto heads = r.heads("fault.hds");
  for (int i = 1; i <= 3; ++i)
    expectCheck(name, "head drop across the fault", lastHead(heads, 1, i, 5) - lastHead(heads, 1, i, 6));
}

TEST(Examples, ReservoirLeaksAtTheHandComputedRates) {
  const std::string name = "07-reservoir";
  ExampleRun r(name, "res.nam");
  ASSERT_NO_FATAL_FAILURE(expectSoundRun(r));
  const ListedBudgetRow& leakage = r.budgets.back().row(" RESERV. LEAKAGE");
  EXPECT_EQ(leakage.rateOut, 0.0);
  expectCheck(name, "total reservoir leakage", leakage.rateIn);
  EXPECT_NEAR(r.budgets.back().row("   CONSTANT HEAD").rateOut, leakage.rateIn, 0.05);

  const auto flows = r.cellFlows("res.cbc");
  const BudgetRecord* cells = findRecord(flows, " RESERV. LEAKAGE", 1, 1);
  ASSERT_NE(cells, nullptr);
  expectCheck(name, "leakage through the bed of column 3", cells->at(1, 1, 3));
  EXPECT_EQ(cells->at(1, 1, 4), 0.0f);  // dry: its land lies above the stage
  EXPECT_EQ(cells->at(1, 1, 5), 0.0f);
  expectCheck(name, "head in column 1", lastHead(r.heads("res.hds"), 1, 1, 1));

  // The reservoir's line of the conditions table: number, stage, area, volume.
  const std::vector<std::string> lst = lines(r.dir.readText("res.lst"));
  bool found = false;
  for (std::size_t i = 0; i + 3 < lst.size(); ++i) {
    if (lst[i].find(" RESERVOIR CONDITIONS FOR STRESS PERIOD") != 0) continue;
    int number = 0;
    double stage = 0.0, area = 0.0, volume = 0.0;
    ASSERT_EQ(std::sscanf(lst[i + 3].c_str(), "%d %lf %lf %lf", &number, &stage, &area, &volume), 4)
        << lst[i + 3];
    EXPECT_EQ(number, 1);
    EXPECT_NEAR(stage, 12.5, 1e-4);
    expectCheck(name, "flooded area", area);
    expectCheck(name, "reservoir volume", volume);
    found = true;
  }
  EXPECT_TRUE(found);
}

TEST(Examples, AquitardLeakageFollowsTheClosedForms) {
  const std::string name = "08-aquitard-leakage";
  ExampleRun r(name, "aquitard.nam");
  ASSERT_NO_FATAL_FAILURE(expectSoundRun(r));
  ASSERT_EQ(r.budgets.size(), 3u);
  const ListedBudget& last = r.budgets.back();
  expectCheck(name, "steady leakage through the aquitard", last.row("    C.H. LEAKAGE").rateIn);
  EXPECT_NEAR(last.row("   CONSTANT HEAD").rateOut, last.row("    C.H. LEAKAGE").rateIn, 0.01);
  const ListedBudgetRow& bed = last.row("    C.B. STORAGE");
  expectCheck(name, "water released from aquitard storage", bed.volIn - bed.volOut);

  // The flow out of the base is kept as the flow into the base, negative, in the layer above.
  const auto flows = r.cellFlows("aquitard.cbc");
  const struct {
    int kstep;
    const char* what;
  } early[] = {{10, "flow out of the aquitard base at 0.2 days"},
               {25, "flow out of the aquitard base at 0.5 days"}};
  for (const auto& e : early) {
    const BudgetRecord* base = findRecord(flows, "    FLOW IN BASE", 1, e.kstep);
    const BudgetRecord* top = findRecord(flows, "     FLOW IN TOP", 1, e.kstep);
    ASSERT_TRUE(base && top);
    expectCheck(name, e.what, -base->at(1, 1, 2));
    // Early on the aquitard drains mostly from storage: far less enters its top.
    EXPECT_LT(top->at(1, 1, 2), 0.6 * -base->at(1, 1, 2)) << e.what;
  }
}

TEST(Examples, FhbPumpingRecordIsIntegratedOverEachStep) {
  const std::string name = "09-fhb-pumping";
  ExampleRun r(name, "pumping.nam");
  ASSERT_NO_FATAL_FAILURE(expectSoundRun(r));
  ASSERT_EQ(r.budgets.size(), 7u);
  const std::string label = " SPECIFIED FLOWS";
  for (const ListedBudget& b : r.budgets) EXPECT_EQ(b.row(label).rateIn, 0.0);
  expectCheck(name, "volume pumped in 40 days", r.budgets.back().row(label).volOut);
  expectCheck(name, "pumping rate in step 2", r.budgets[1].row(label).rateOut);
  expectCheck(name, "pumping rate in the last step", r.budgets.back().row(label).rateOut);

  const auto flows = r.cellFlows("pumping.cbc");
  const BudgetRecord* step2 = findRecord(flows, label, 1, 2);
  ASSERT_NE(step2, nullptr);
  expectCheck(name, "pumping rate in step 2", -step2->at(1, 1, 5));
}

// Largest difference between the layer-2 heads of period 2 of the whole run and those of the
// continued run, step by step.
double largestRecoveryDifference(const std::vector<LayerRecord>& whole,
                                 const std::vector<LayerRecord>& part2) {
  std::vector<float> a, b;
  for (const LayerRecord& r : whole)
    if (r.kper == 2 && r.layer == 2) a.push_back(r.at(1, 1));
  for (const LayerRecord& r : part2)
    if (r.layer == 2) b.push_back(r.at(1, 1));
  EXPECT_EQ(a.size(), 40u);
  EXPECT_EQ(a.size(), b.size());
  if (a.empty() || a.size() != b.size()) return std::nan("");
  double worst = 0.0;
  for (std::size_t t = 0; t < a.size(); ++t) worst = std::max(worst, std::fabs(double(a[t]) - double(b[t])));
  return worst;
}

TEST(Examples, RunContinuedFromTheRestartRecordMatchesTheWholeRun) {
  const std::string name = "10-tlk-restart";
  ExampleRun r(name, "whole.nam");
  ASSERT_NO_FATAL_FAILURE(expectSoundRun(r));
  const auto whole = r.heads("whole.hds");
  r.run("part1.nam");
  ASSERT_NO_FATAL_FAILURE(expectSoundRun(r));
  ASSERT_TRUE(r.dir.exists("part1.rst"));
  r.run("part2.nam");
  ASSERT_NO_FATAL_FAILURE(expectSoundRun(r));
  EXPECT_NE(r.dir.readText("part2.lst")
                .find(" A RESTART RECORD FOR TRANSIENT LEAKAGE HAS BEEN READ FOR TIME=   2.000000"),
            std::string::npos);
  expectCheck(name, "largest head difference between the continued and the uninterrupted run",
              largestRecoveryDifference(whole, r.heads("part2.hds")));

  // The same continuation with the restart unit cleared.
  std::string tlk = r.dir.readText("part2.tlk");
  ASSERT_EQ(tlk.substr(40, 10), "        46");
  tlk.replace(40, 10, "         0");
  r.dir.write("part2.tlk", tlk);
  r.run("part2.nam");
  ASSERT_NO_FATAL_FAILURE(expectSoundRun(r));
  expectCheck(name, "largest head difference when continued without the restart record",
              largestRecoveryDifference(whole, r.heads("part2.hds")));
}

}  // namespace
}  // namespace aqx::test
