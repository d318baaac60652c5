// Whole runs with the areal stresses RCH and EVT: recharge on a strip between two constant heads
// against the parabola the scheme gives at the nodes, the receiving cell of each option, a batch
// run against the same model run alone, and the mass balance of a model with recharge,
// evapotranspiration, wells and constant heads.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "support/binary_files.hpp"
#include "support/e2e.hpp"

namespace aqx::test {
namespace {

// ---------------------------------------------------------------------------------------------
// Model files

// BAS input: one row of `ncol` cells in each layer; `ibound` holds one line of IBOUND values per
// layer; every cell starts at `start`; `periods` are the period records.
std::string basFile(int nlay, int nrow, int ncol, int nper, const std::vector<std::string>& ibound,
                    double start, const std::string& periods) {
  char line[160];
  std::snprintf(line, sizeof line, "areal stresses\nend-to-end\n%10d%10d%10d%10d%10d%10d\n\n%10d%10d\n", nlay,
                nrow, ncol, nper, 4, 0, 1, 0);
  std::string b = line;
  for (const std::string& layer : ibound) b += "INTERNAL 1 (FREE) -1\n" + layer + "\n";
  b += "    -999.0\n";
  std::snprintf(line, sizeof line, "CONSTANT %.6g\n", start);
  for (int k = 0; k < nlay; ++k) b += line;
  return b + periods;
}

const char* kSip = "       500         5\n       1.0    1.0E-7         1       0.0         0\n";

// Output control: save heads and budget and print the budget at the last step of each period.
std::string ocFile(int nper, int nstp, bool compact) {
  std::string oc = compact ? "COMPACT BUDGET\nHEAD SAVE UNIT 30\n" : "HEAD SAVE UNIT 30\n";
  for (int p = 1; p <= nper; ++p) {
    oc += "PERIOD " + std::to_string(p) + " STEP " + std::to_string(nstp) + "\n";
    oc += "    SAVE HEAD\n    SAVE BUDGET\n    PRINT BUDGET\n";
  }
  return oc;
}

struct Files {
  std::string bas, bcf, oc, rch, evt, wel;
};

// Writes the model "name" into dir (name file name.nam) and returns the name-file line.
std::string writeModel(const TempDir& dir, const std::string& name, const Files& f) {
  std::string nam = "LIST 6 " + name + ".lst\nBAS 1 " + name + ".bas\nBCF 11 " + name + ".bcf\nSIP 19 " +
                    name + ".sip\nOC 22 " + name + ".oc\nDATA(BINARY) 30 " + name + ".hds\nDATA(BINARY) 40 " +
                    name + ".cbc\n";
  const auto add = [&](const char* type, int unit, const char* ext, const std::string& text) {
    if (text.empty()) return;
    nam += std::string(type) + " " + std::to_string(unit) + " " + name + "." + ext + "\n";
    dir.write(name + "." + ext, text);
  };
  add("RCH", 18, "rch", f.rch);
  add("EVT", 15, "evt", f.evt);
  add("WEL", 12, "wel", f.wel);
  dir.write(name + ".nam", nam);
  dir.write(name + ".bas", f.bas);
  dir.write(name + ".bcf", f.bcf);
  dir.write(name + ".sip", kSip);
  dir.write(name + ".oc", f.oc);
  return name + ".nam";
}

struct ModelRun {
  TempDir dir;
  RunResult result;
  std::vector<std::string> listing;

  explicit ModelRun(const Files& f) {
    const std::string nam = writeModel(dir, "m", f);
    result = runAquifex(dir.path(), {}, nam + "\n");
    listing = lines(dir.readText("m.lst"));
  }
  std::vector<LayerRecord> heads() const { return readLayerFile(dir.readBytes("m.hds")); }
  std::vector<BudgetRecord> budget() const { return readBudgetFile(dir.readBytes("m.cbc")); }
  std::string text() const {
    std::string t;
    for (const std::string& l : listing) t += l + "\n";
    return t;
  }
};

// ---------------------------------------------------------------------------------------------
// Reading the listing

// Rates in and out of a budget row in the last budget printed.
struct Rates {
  double in = -1.0, out = -1.0;
};

Rates budgetRates(const std::vector<std::string>& listing, const std::string& label) {
  Rates r;
  const std::string key = "    " + label + " =";
  bool inSide = true;
  for (const std::string& l : listing) {
    if (l.find("IN:") != std::string::npos) inSide = true;
    if (l.find("OUT:") != std::string::npos) inSide = false;
    if (l.compare(0, key.size(), key) != 0 || l.size() < 80) continue;
    (inSide ? r.in : r.out) = std::stod(l.substr(63, 17));
  }
  return r;
}

// The two discrepancies (cumulative, rate) of every budget printed.
std::vector<std::pair<double, double>> discrepancies(const std::vector<std::string>& listing) {
  std::vector<std::pair<double, double>> out;
  for (const std::string& l : listing) {
    const std::size_t first = l.find("PERCENT DISCREPANCY =");
    if (first == std::string::npos) continue;
    const std::size_t second = l.find('=', first + 21);
    out.emplace_back(std::stod(l.substr(first + 21, 15)), std::stod(l.substr(second + 1)));
  }
  return out;
}

void expectBalanced(const std::vector<std::string>& listing, std::size_t budgets) {
  const auto d = discrepancies(listing);
  ASSERT_EQ(d.size(), budgets);
  for (const auto& [cumulative, rate] : d) {
    EXPECT_LE(std::fabs(cumulative), 0.01);
    EXPECT_LE(std::fabs(rate), 0.01);
  }
}

const BudgetRecord* findRecord(const std::vector<BudgetRecord>& records, const std::string& label, int kper) {
  for (const BudgetRecord& r : records)
    if (r.label == label && r.kper == kper) return &r;
  return nullptr;
}

// ---------------------------------------------------------------------------------------------
// Recharge

// A strip of 21 cells between constant heads 0 at both ends, cells 2 wide, transmissivity 1, and
// recharge 0.025 per unit area: the scheme's heads are 0.025 * 2^2 / 2 * j (20 - j) = 0.05 j (20 - j)
// exactly at the nodes. The second period reuses the recharge array.
TEST(ArealE2E, RechargeStripGivesTheParabolaInBothPeriods) {
  std::string ib = "-1";
  for (int j = 2; j <= 20; ++j) ib += " 1";
  ib += " -1";
  Files f;
  f.bas = basFile(1, 1, 21, 2, {ib}, 0.0, "       1.0         1       1.0\n       1.0         1       1.0\n");
  f.bcf =
      "         1         0    -999.0         0       0.0         0         0\n 0\n"
      "CONSTANT 1.0\nCONSTANT 2.0\nCONSTANT 1.0\nCONSTANT 1.0\n";
  f.oc = ocFile(2, 1, false);
  f.rch = "         1        40\n         0\nCONSTANT 0.025\n        -1\n";
  ModelRun r(f);
  ASSERT_EQ(r.result.status, 0) << r.result.out << r.result.err;
  const auto h = r.heads();
  ASSERT_EQ(h.size(), 2u);
  for (const LayerRecord& layer : h) {
    for (int j = 0; j < 21; ++j)
      EXPECT_NEAR(layer.values[j], 0.05 * j * (20 - j), 1e-4) << layer.kper << ' ' << j;
  }
  // 19 cells of area 2: 0.95 in from recharge, the same out through the constant heads.
  const Rates rch = budgetRates(r.listing, "        RECHARGE");
  EXPECT_NEAR(rch.in, 0.95, 1e-6);
  EXPECT_EQ(rch.out, 0.0);
  EXPECT_NEAR(budgetRates(r.listing, "   CONSTANT HEAD").out, 0.95, 1e-4);
  expectBalanced(r.listing, 2);
  EXPECT_NE(r.text().find("\n REUSING RECH FROM LAST STRESS PERIOD\n"), std::string::npos);

  const auto records = r.budget();
  const BudgetRecord* second = findRecord(records, "        RECHARGE", 2);
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(second->method, 0);
  EXPECT_FLOAT_EQ(second->at(1, 1, 2), 0.05f);
  EXPECT_EQ(second->at(1, 1, 1), 0.0f);
}

// Two layers of 11 cells, constant heads at both ends of both layers. Layer 1 has no-flow cells
// over columns 4 and 5 and a constant head over column 6.
Files twoLayerStrip(const std::string& rch) {
  Files f;
  f.bas = basFile(2, 1, 11, 1, {"-1 1 1 0 0 -1 1 1 1 1 -1", "-1 1 1 1 1 1 1 1 1 1 -1"}, 0.0,
                  "       1.0         1       1.0\n");
  f.bcf =
      "         1         0    -999.0         0       0.0         0         0\n 0 0\n"
      "CONSTANT 1.0\nCONSTANT 1.0\nCONSTANT 1.0\nCONSTANT 1.0\nCONSTANT 0.5\nCONSTANT 1.0\n";
  f.oc = ocFile(1, 1, true);
  f.rch = rch;
  return f;
}

TEST(ArealE2E, HighestActiveAndGivenLayerChooseTheirCells) {
  const struct Case {
    const char* name;
    std::string rch;
    std::vector<int> indicator;
    std::vector<int> receiving;  // layer of each column that receives recharge (0: none)
  } cases[] = {
      {"HighestActive",
       "         3        40\n         0\nCONSTANT 0.1\n",
       {1, 1, 1, 2, 2, 1, 1, 1, 1, 1, 1},
       {0, 1, 1, 2, 2, 0, 1, 1, 1, 1, 0}},
      {"GivenLayer",
       "         2        40\n         0         0\nCONSTANT 0.1\nINTERNAL 1 (FREE) -1\n1 1 1 2 2 2 2 1 1 1 "
       "1\n",
       {1, 1, 1, 2, 2, 2, 2, 1, 1, 1, 1},
       {0, 1, 1, 2, 2, 2, 2, 1, 1, 1, 0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ModelRun r(twoLayerStrip(c.rch));
    ASSERT_EQ(r.result.status, 0) << r.result.out << r.result.err;
    int count = 0;
    for (int layer : c.receiving) count += layer > 0 ? 1 : 0;
    EXPECT_NEAR(budgetRates(r.listing, "        RECHARGE").in, 0.1 * count, 1e-6);
    expectBalanced(r.listing, 1);
    const auto records = r.budget();
    const BudgetRecord* rec = findRecord(records, "        RECHARGE", 1);
    ASSERT_NE(rec, nullptr);
    EXPECT_EQ(rec->method, 3);
    EXPECT_EQ(rec->indicator, c.indicator);
    for (int j = 1; j <= 11; ++j) {
      const int k = c.indicator[j - 1];
      EXPECT_FLOAT_EQ(rec->at(k, 1, j), c.receiving[j - 1] > 0 ? 0.1f : 0.0f) << j;
    }
  }
}

// ---------------------------------------------------------------------------------------------
// A batch run

// The same strip with a first-period recharge flag of -1, and a second period that reads it.
Files reuseFirst(const char* firstRecharge) {
  std::string ib = "-1";
  for (int j = 2; j <= 20; ++j) ib += " 1";
  ib += " -1";
  Files f;
  f.bas = basFile(1, 1, 21, 2, {ib}, 0.0, "       1.0         1       1.0\n       1.0         1       1.0\n");
  f.bcf =
      "         1         0    -999.0         0       0.0         0         0\n 0\n"
      "CONSTANT 1.0\nCONSTANT 2.0\nCONSTANT 1.0\nCONSTANT 1.0\n";
  f.oc = ocFile(2, 1, false);
  f.rch = std::string("         1        40\n") + firstRecharge + "         0\nCONSTANT 0.025\n";
  f.evt =
      "         1        40\n        -1        -1        -1\n"
      "         0         0         0\nCONSTANT 5.0\nCONSTANT 0.001\nCONSTANT 10.0\n";
  return f;
}

TEST(ArealE2E, BatchRunWithFirstPeriodReuseMatchesTheModelAlone) {
  TempDir batch;
  // The first model leaves recharge and evapotranspiration arrays behind in the work array.
  Files first = reuseFirst("         0\nCONSTANT 0.5\n");
  first.evt =
      "         1        40\n         0         0         0\nCONSTANT 5.0\nCONSTANT 0.01\nCONSTANT 10.0\n"
      "        -1        -1        -1\n";
  const std::string a = writeModel(batch, "a", first);
  const std::string b = writeModel(batch, "b", reuseFirst("        -1\n"));
  batch.write("aquifex.bf", a + "\n" + b + "\n");
  const RunResult together = runAquifex(batch.path());
  ASSERT_EQ(together.status, 0) << together.out << together.err;

  TempDir alone;
  writeModel(alone, "b", reuseFirst("        -1\n"));
  const RunResult single = runAquifex(alone.path(), {}, "b.nam\n");
  ASSERT_EQ(single.status, 0) << single.out << single.err;

  EXPECT_EQ(batch.readBytes("b.hds"), alone.readBytes("b.hds"));
  EXPECT_EQ(batch.readBytes("b.cbc"), alone.readBytes("b.cbc"));
  const std::string lst = alone.readText("b.lst");
  EXPECT_EQ(batch.readText("b.lst"), lst);
  EXPECT_NE(lst.find("\n NO EARLIER RECH ARRAY TO REUSE: ALL ITS VALUES ARE ZERO IN STRESS PERIOD   1\n"),
            std::string::npos)
      << lst;
  for (const char* code : {"SURF", "EVTR", "EXDP"})
    EXPECT_NE(lst.find(std::string("\n NO EARLIER ") + code + " ARRAY TO REUSE"), std::string::npos) << code;
  // Period 1 has neither recharge nor evapotranspiration: heads stay 0.
  const auto h = readLayerFile(alone.readBytes("b.hds"));
  ASSERT_EQ(h.size(), 2u);
  EXPECT_EQ(h[0].values[10], 0.0f);
  EXPECT_GT(h[1].values[10], 1.0f);
}

// ---------------------------------------------------------------------------------------------
// Evapotranspiration and the combined balance

// Two layers of 5 rows by 8 columns, transient, constant heads 10 in column 1 of both layers;
// recharge to the highest active cell, evapotranspiration from the top layer with the surface
// near the heads, two wells. Layer 1 has a no-flow cell over an active one.
Files combined() {
  std::string layer1, layer2;
  for (int i = 1; i <= 5; ++i) {
    for (int j = 1; j <= 8; ++j) {
      layer1 += j == 1 ? "-1 " : (i == 3 && j == 5) ? "0 " : "1 ";
      layer2 += j == 1 ? "-1 " : "1 ";
    }
    if (i < 5) {
      layer1 += "\n";
      layer2 += "\n";
    }
  }
  Files f;
  f.bas = basFile(2, 5, 8, 2, {layer1, layer2}, 10.0,
                  "      10.0         4       1.2\n      20.0         5       1.0\n");
  f.bcf =
      "         0         0    -999.0         0       0.0         0         0\n 0 0\n"
      "CONSTANT 1.0\nCONSTANT 100.0\nCONSTANT 100.0\n"
      "CONSTANT 0.001\nCONSTANT 500.0\nCONSTANT 0.01\n"
      "CONSTANT 0.0001\nCONSTANT 1000.0\n";
  f.oc = ocFile(2, 5, true);
  f.oc.replace(f.oc.find("PERIOD 1 STEP 5"), 15, "PERIOD 1 STEP 4");
  f.rch = "         3        40\n         0\nCONSTANT 0.002\n         0\nCONSTANT 0.001\n";
  f.evt =
      "         1        40\n         0         0         0\n"
      "INTERNAL 1.0 (FREE) -1\n"
      "10.5 10.5 10.5 10.5 10.5 10.5 10.5 10.5\n10.5 10.5 10.5 10.5 10.5 10.5 10.5 10.5\n"
      "10.5 10.5 10.5 10.5 10.5 10.5 10.5 10.5\n10.5 10.5 10.5 10.5 10.5 10.5 10.5 10.5\n"
      "10.5 10.5 10.5 10.5 10.5 10.5 10.5 10.5\n"
      "CONSTANT 0.003\nCONSTANT 2.0\n"
      "        -1        -1        -1\n";
  f.wel =
      "         2        40\n         2\n"
      "         2         2         7     -30.0\n"
      "         1         4         4     -10.0\n"
      "        -1\n";
  return f;
}

TEST(ArealE2E, CombinedModelBalancesAndEtFlowsFollowTheConvergedHeads) {
  ModelRun r(combined());
  ASSERT_EQ(r.result.status, 0) << r.result.out << r.result.err;
  expectBalanced(r.listing, 2);
  const Rates et = budgetRates(r.listing, "              ET");
  EXPECT_EQ(et.in, 0.0);
  EXPECT_GT(et.out, 0.0);
  // Recharge at 0.001 to the 35 columns of area 10^4 without a constant head (the no-flow cell
  // passes its column's recharge to layer 2).
  EXPECT_NEAR(budgetRates(r.listing, "        RECHARGE").in, 35 * 10.0, 1e-3);

  const auto heads = r.heads();
  const auto records = r.budget();
  const BudgetRecord* rec = findRecord(records, "              ET", 2);
  ASSERT_NE(rec, nullptr);
  EXPECT_EQ(rec->method, 4);
  const LayerRecord* top = nullptr;
  for (const LayerRecord& l : heads)
    if (l.kper == 2 && l.layer == 1) top = &l;
  ASSERT_NE(top, nullptr);
  // Each column's flow is the rate rule at its converged head: E = 0.003 * 10^4 = 30, S = 10.5,
  // Z = 2. Heads in the file are single precision, hence the tolerance.
  double sum = 0.0;
  int linear = 0;
  for (int i = 1; i <= 5; ++i) {
    for (int j = 1; j <= 8; ++j) {
      const bool active = j != 1 && !(i == 3 && j == 5);
      const double h = top->values[static_cast<std::size_t>((i - 1) * 8 + (j - 1))];
      double want = 0.0;
      if (active) {
        const double d = 10.5 - h;
        want = d <= 0.0 ? -30.0 : d >= 2.0 ? 0.0 : -30.0 * (1.0 - d / 2.0);
        if (d > 0.0 && d < 2.0) ++linear;
      }
      EXPECT_NEAR(rec->at(1, i, j), want, 1e-3) << i << ' ' << j;
      sum += rec->at(1, i, j);
    }
  }
  EXPECT_GT(linear, 10);  // most columns are in the linear range
  EXPECT_NEAR(-sum, et.out, 1e-3 * et.out);
}

}  // namespace
}  // namespace aqx::test
