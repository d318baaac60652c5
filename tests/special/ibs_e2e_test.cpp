// Whole runs with interbed storage (BAS, BCF, WEL, SIP, IBS): elastic release against the same
// model with the interbed storage added to the aquifer's, a decline below the critical head and a
// recovery against the closed form, the released volume against the compacted volume, and the
// cancellation in a steady-state run.
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
// Reading the listing

// A row of the last volumetric budget in the listing: cumulative volumes and rates, in and out.
struct BudgetRow {
  double volIn = 0, volOut = 0, rateIn = 0, rateOut = 0;
  bool found = false;
};

BudgetRow lastBudgetRow(const std::vector<std::string>& listing, const std::string& label) {
  BudgetRow row;
  const std::string key = "    " + label + " =";
  bool in = true;
  for (const std::string& l : listing) {
    if (l.find("VOLUMETRIC BUDGET FOR ENTIRE MODEL") != std::string::npos) {
      row = BudgetRow{};
      in = true;
    }
    if (l.compare(0, key.size(), key) != 0 || l.size() < 80) continue;
    const double vol = std::stod(l.substr(22, 17));
    const double rate = std::stod(l.substr(63, 17));
    (in ? row.volIn : row.volOut) = vol;
    (in ? row.rateIn : row.rateOut) = rate;
    row.found = true;
    in = false;
  }
  return row;
}

// The printed subsidence of a one-cell layer: the value on the row line after each page heading,
// with the heading's time step and stress period.
struct Printed {
  int kstep, kper;
  double value;
};

std::vector<Printed> printedSubsidence(const std::vector<std::string>& listing) {
  std::vector<Printed> out;
  for (std::size_t n = 0; n < listing.size(); ++n) {
    int layer = 0, kstep = 0, kper = 0;
    if (std::sscanf(listing[n].c_str(),
                    "        SUBSIDENCE IN LAYER%d AT END OF TIME STEP%d IN STRESS PERIOD%d", &layer, &kstep,
                    &kper) != 3) {
      continue;
    }
    for (std::size_t r = n + 1; r < listing.size(); ++r) {
      if (listing[r].compare(0, 5, "   1 ") == 0) {
        out.push_back({kstep, kper, std::stod(listing[r].substr(5))});
        break;
      }
    }
  }
  return out;
}

bool contains(const std::vector<std::string>& lines, const std::string& text) {
  for (const std::string& l : lines)
    if (l.find(text) != std::string::npos) return true;
  return false;
}

// ---------------------------------------------------------------------------------------------
// Building models

struct Files {
  std::string bas, bcf, wel, ibs, oc;
};

const char* kSip = "       200         5\n       1.0    1.0E-7         1       0.0         0\n";

struct ModelRun {
  TempDir dir;
  RunResult result;
  std::vector<std::string> listing;

  void go(const Files& f) {
    std::string nam =
        "LIST 6 m.lst\nBAS 1 m.bas\nBCF 11 m.bcf\nWEL 12 m.wel\nSIP 19 m.sip\nDATA(BINARY) 30 m.hds\n";
    if (!f.ibs.empty()) {
      nam += "IBS 25 m.ibs\nDATA(BINARY) 40 m.cbc\nDATA(BINARY) 51 m.sub\nDATA(BINARY) 52 m.com\n";
      nam += "DATA(BINARY) 53 m.crt\n";
    }
    if (!f.oc.empty()) nam += "OC 22 m.oc\n";
    dir.write("m.nam", nam);
    dir.write("m.bas", f.bas);
    dir.write("m.bcf", f.bcf);
    dir.write("m.wel", f.wel);
    dir.write("m.sip", kSip);
    if (!f.ibs.empty()) dir.write("m.ibs", f.ibs);
    if (!f.oc.empty()) dir.write("m.oc", f.oc);
    result = runAquifex(dir.path(), {}, "m.nam\n");
    listing = lines(dir.readText("m.lst"));
  }
  std::vector<LayerRecord> layers(const std::string& name) const {
    return readLayerFile(dir.readBytes(name));
  }
};

// Two layers of one row; every cell starts at 100; constant heads of 100 in column 1 when asked.
std::string bas(int ncol, bool constantHead, const std::string& periods, int nper) {
  char line[128];
  std::string b = "interbed storage\nwhole run\n";
  std::snprintf(line, sizeof line, "%10d%10d%10d%10d%10d%10d\n\n%10d%10d\n", 2, 1, ncol, nper, 4, 0, 1, 1);
  b += line;
  for (int k = 1; k <= 2; ++k) {
    if (!constantHead) {
      b += "CONSTANT 1\n";
      continue;
    }
    b += "INTERNAL 1 (FREE) -1\n-1";
    for (int j = 2; j <= ncol; ++j) b += " 1";
    b += "\n";
  }
  return b + "    -999.0\nCONSTANT 100.0\nCONSTANT 100.0\n" + periods;
}

// Two confined layers (type 0) of the given storage coefficients; transmissivity T, VCONT between.
std::string bcf(bool transient, const char* delr, const char* delc, const char* t, const char* vcont,
                const char* s1, const char* s2) {
  std::string b = std::string(transient ? "         0" : "         1") +
                  "         0    -999.0         0       0.0         0         0\n 0 0\n"
                  "CONSTANT 1.0\n";
  b += std::string("CONSTANT ") + delr + "\nCONSTANT " + delc + "\n";
  if (transient) b += std::string("CONSTANT ") + s1 + "\n";
  b += std::string("CONSTANT ") + t + "\nCONSTANT " + vcont + "\n";
  if (transient) b += std::string("CONSTANT ") + s2 + "\n";
  b += std::string("CONSTANT ") + t + "\n";
  return b;
}

// One interbed layer's four arrays.
std::string interbeds(const char* hc, const char* se, const char* sv) {
  return std::string("CONSTANT ") + hc + "\nCONSTANT " + se + "\nCONSTANT " + sv + "\nCONSTANT 0.0\n";
}

// ---------------------------------------------------------------------------------------------
// Elastic release

// Two layers of 6 cells (10 by 5), constant heads of 100 in column 1, a well in layer 2, column 6,
// three steps of 1. The critical heads of 50 are never reached.
Files elasticModel(bool withIbs) {
  Files f;
  f.bas = bas(6, true, "       3.0         3       1.0\n", 1);
  f.bcf = withIbs ? bcf(true, "10.0", "5.0", "100.0", "0.1", "0.001", "0.001")
                  : bcf(true, "10.0", "5.0", "100.0", "0.1", "0.003", "0.004");
  f.wel = "         1         0\n         1\n         2         1         6     -20.0\n";
  if (withIbs) {
    f.ibs = "        40         1\n 1 1\n" + interbeds("50.0", "0.002", "0.1") +
            interbeds("50.0", "0.003", "0.2") +
            "         0         0         0        51        52        53\n" +
            "         0         0         0         0         0         0\n"
            "         0         0         0         0         0         0\n"
            "         0         0         0         1         1         1\n";
  }
  f.oc = "HEAD SAVE UNIT 30\nPERIOD 1 STEP 3\n    SAVE HEAD\n    SAVE BUDGET\n    PRINT BUDGET\n";
  return f;
}

TEST(IbsRun, ElasticReleaseEqualsTheAquiferWithTheInterbedStorageAdded) {
  ModelRun with, without;
  with.go(elasticModel(true));
  without.go(elasticModel(false));
  ASSERT_EQ(with.result.status, 0) << with.result.err;
  ASSERT_EQ(without.result.status, 0) << without.result.err;

  const auto h = with.layers("m.hds");
  const auto h0 = without.layers("m.hds");
  ASSERT_EQ(h.size(), 2u);
  ASSERT_EQ(h0.size(), 2u);
  for (int k = 0; k < 2; ++k) {
    for (int j = 0; j < 6; ++j) EXPECT_NEAR(h[k].values[j], h0[k].values[j], 1e-4) << k << j;
  }
  EXPECT_LT(h[1].values[5], 99.0f);  // the well draws the heads down by more than a unit

  // The aquifer's storage of the run without IBS is split between two rows.
  const BudgetRow s = lastBudgetRow(with.listing, "         STORAGE");
  const BudgetRow ib = lastBudgetRow(with.listing, "INTERBED STORAGE");
  const BudgetRow s0 = lastBudgetRow(without.listing, "         STORAGE");
  ASSERT_TRUE(ib.found);
  EXPECT_NEAR(s.rateIn + ib.rateIn, s0.rateIn, 1e-3 * s0.rateIn);
  EXPECT_NEAR(s.volIn + ib.volIn, s0.volIn, 1e-3 * s0.volIn);
  EXPECT_EQ(ib.volOut, 0.0);
  for (const char* label : {"   CONSTANT HEAD", "           WELLS"}) {
    EXPECT_NEAR(lastBudgetRow(with.listing, label).rateIn, lastBudgetRow(without.listing, label).rateIn, 1e-3)
        << label;
    EXPECT_NEAR(lastBudgetRow(with.listing, label).rateOut, lastBudgetRow(without.listing, label).rateOut,
                1e-3)
        << label;
  }

  // Compaction is Se times the decline; subsidence their sum; critical heads unchanged.
  const auto com = with.layers("m.com");
  const auto sub = with.layers("m.sub");
  const auto crt = with.layers("m.crt");
  ASSERT_EQ(com.size(), 2u);
  ASSERT_EQ(sub.size(), 1u);
  ASSERT_EQ(crt.size(), 2u);
  const double se[] = {0.002, 0.003};
  double compacted = 0.0;
  for (int j = 0; j < 6; ++j) {
    for (int k = 0; k < 2; ++k) {
      EXPECT_NEAR(com[k].values[j], se[k] * (100.0 - h[k].values[j]), 1e-6) << k << j;
      EXPECT_EQ(crt[k].values[j], 50.0f) << k << j;
      if (j > 0) compacted += com[k].values[j] * 50.0;  // cell area 10 x 5
    }
    EXPECT_FLOAT_EQ(sub[0].values[j], com[0].values[j] + com[1].values[j]) << j;
  }
  EXPECT_EQ(com[0].layer, 1);
  EXPECT_EQ(com[1].layer, 2);
  EXPECT_EQ(sub[0].kstep, 3);
  EXPECT_EQ(sub[0].totim, 3.0f);

  // Released volume = compacted volume; the last step's record adds up to the row's rate.
  EXPECT_NEAR(ib.volIn, compacted, 1e-3 * compacted);
  const auto cbc = readBudgetFile(with.dir.readBytes("m.cbc"));
  ASSERT_EQ(cbc.size(), 1u);
  EXPECT_EQ(cbc[0].label, "INTERBED STORAGE");
  double rate = 0.0;
  for (float v : cbc[0].values) rate += v;
  EXPECT_NEAR(rate, ib.rateIn, 1e-3 * ib.rateIn);
}

// ---------------------------------------------------------------------------------------------
// Virgin compaction and recovery

// Two independent one-cell layers (VCONT 0) of area 100 with S = 0.01 each. Layer 1: Se 0.01,
// Sv 0.04, critical head 120 (lowered to the starting head of 100); layer 2: Se 0.02, Sv 0.09,
// critical head 100. Period 1 pumps 10 from each for two steps of 1: the decline below the
// critical head releases (S + Sv) A per unit, 2 and 1 per step. Period 2 injects 4 and 3: the
// recovery is elastic, (S + Se) A per unit, back to 100 in two steps.
Files virginModel() {
  Files f;
  f.bas = bas(1, false, "       2.0         2       1.0\n       2.0         2       1.0\n", 2);
  f.bcf = bcf(true, "10.0", "10.0", "1.0", "0.0", "0.01", "0.01");
  f.wel =
      "         2         0\n"
      "         2\n         1         1         1     -10.0\n         2         1         1     -10.0\n"
      "         2\n         1         1         1       4.0\n         2         1         1       3.0\n";
  f.ibs = "         0         0\n 1 1\n" + interbeds("120.0", "0.01", "0.04") +
          interbeds("100.0", "0.02", "0.09");
  f.oc =
      "HEAD SAVE UNIT 30\n"
      "PERIOD 1 STEP 1\n    SAVE HEAD\nPERIOD 1 STEP 2\n    SAVE HEAD\n"
      "PERIOD 2 STEP 1\n    SAVE HEAD\nPERIOD 2 STEP 2\n    SAVE HEAD\n";
  return f;
}

TEST(IbsRun, DeclineBelowTheCriticalHeadThenElasticRecovery) {
  ModelRun r;
  r.go(virginModel());
  ASSERT_EQ(r.result.status, 0) << r.result.err;

  const auto h = r.layers("m.hds");
  ASSERT_EQ(h.size(), 8u);
  const double want[4][2] = {{98, 99}, {96, 98}, {98, 99}, {100, 100}};
  for (int s = 0; s < 4; ++s) {
    for (int k = 0; k < 2; ++k) EXPECT_NEAR(h[2 * s + k].values[0], want[s][k], 1e-4) << s << k;
  }

  // Subsidence per unit area: sum over layers of Sv (h0 - hmin) - Se (h - hmin), printed at the
  // last step of each period only.
  const auto printed = printedSubsidence(r.listing);
  ASSERT_EQ(printed.size(), 2u);
  EXPECT_EQ(printed[0].kstep, 2);
  EXPECT_EQ(printed[0].kper, 1);
  EXPECT_NEAR(printed[0].value, 0.04 * 4 + 0.09 * 2, 1e-4);
  EXPECT_EQ(printed[1].kstep, 2);
  EXPECT_EQ(printed[1].kper, 2);
  EXPECT_NEAR(printed[1].value, (0.04 * 4 - 0.01 * 4) + (0.09 * 2 - 0.02 * 2), 1e-4);

  // Released volume in, taken back out on recovery; the net is the compacted volume.
  const BudgetRow ib = lastBudgetRow(r.listing, "INTERBED STORAGE");
  ASSERT_TRUE(ib.found);
  EXPECT_NEAR(ib.volIn, 34.0, 1e-3);
  EXPECT_NEAR(ib.volOut, 8.0, 1e-3);
  EXPECT_NEAR(ib.volIn - ib.volOut, printed[1].value * 100.0, 1e-2);
  EXPECT_NEAR(ib.rateOut, 4.0, 1e-4);  // the last step: Se A x the rise, 1 x 2 and 2 x 1
  const BudgetRow s = lastBudgetRow(r.listing, "         STORAGE");
  EXPECT_NEAR(s.volIn, 0.01 * 100 * 6, 1e-3);
  EXPECT_NEAR(s.volOut, 0.01 * 100 * 6, 1e-3);
}

// ---------------------------------------------------------------------------------------------
// Steady state

TEST(IbsRun, SteadyStateRunGoesOnWithoutThePackage) {
  Files f = elasticModel(true);
  f.bcf = bcf(false, "10.0", "5.0", "100.0", "0.1", "", "");
  f.bas = bas(6, true, "       1.0         1       1.0\n", 1);
  f.ibs = "this file is never read\n";
  f.oc = "HEAD SAVE UNIT 30\nPERIOD 1 STEP 1\n    SAVE HEAD\n    SAVE BUDGET\n    PRINT BUDGET\n";
  ModelRun r;
  r.go(f);
  ASSERT_EQ(r.result.status, 0) << r.result.err;
  EXPECT_TRUE(contains(r.listing, " INTERBED STORAGE INAPPROPRIATE FOR STEADY-STATE PROBLEM."));
  EXPECT_TRUE(contains(r.listing, " OPTION CANCELLED, SIMULATION CONTINUING."));
  EXPECT_FALSE(lastBudgetRow(r.listing, "INTERBED STORAGE").found);
  EXPECT_TRUE(lastBudgetRow(r.listing, "           WELLS").found);
  EXPECT_TRUE(r.dir.readBytes("m.cbc").empty());
  EXPECT_EQ(r.layers("m.hds").size(), 2u);
}

}  // namespace
}  // namespace aqx::test
