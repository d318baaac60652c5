// Whole runs with the general finite-difference flow package: a model given as the conductances
// and storage capacities BCF computes for it runs like the BCF model; thickness-dependent layers
// follow Dupuit; a cell that loses its water leaves the model; GFD and BCF together stop.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "support/binary_files.hpp"
#include "support/e2e.hpp"

namespace aqx::test {
namespace {

// A row of the volumetric budget table of the last budget printed: rate in, rate out.
struct BudgetRow {
  double rateIn = 0, rateOut = 0, volIn = 0, volOut = 0;
  bool found = false;
};

BudgetRow budgetRow(const std::vector<std::string>& listing, const std::string& label) {
  BudgetRow row;
  const std::string key = "    " + label + " =";
  int seen = 0;
  for (const std::string& l : listing) {
    if (l.compare(0, key.size(), key) != 0 || l.size() < 80) continue;
    const double vol = std::stod(l.substr(22, 17));
    const double rate = std::stod(l.substr(63, 17));
    (seen % 2 == 0 ? row.volIn : row.volOut) = vol;
    (seen % 2 == 0 ? row.rateIn : row.rateOut) = rate;
    row.found = true;
    ++seen;
  }
  return row;
}

bool contains(const std::vector<std::string>& lines, const std::string& text) {
  return std::any_of(lines.begin(), lines.end(),
                     [&](const std::string& l) { return l.find(text) != std::string::npos; });
}

struct FlowRun {
  TempDir dir;
  RunResult result;
  std::vector<std::string> listing;
  // flow: "BCF" or "GFD" (or both, as name-file lines).
  void go(const std::string& flowLines, const std::string& bas, const std::string& flow,
          const std::string& oc, const std::string& extra = "") {
    dir.write("m.nam", "LIST 6 m.lst\nBAS 1 m.bas\n" + flowLines +
                           "SIP 19 m.sip\nOC 22 m.oc\nDATA(BINARY) 30 m.hds\nDATA(BINARY) 40 m.cbc\n");
    dir.write("m.bas", bas);
    dir.write("m.flow", flow);
    if (!extra.empty()) dir.write("m.extra", extra);
    dir.write("m.sip", "       200         5\n       1.0    1.0E-7         1       0.0         0\n");
    dir.write("m.oc", oc);
    result = runAquifex(dir.path(), {}, "m.nam\n");
    listing = lines(dir.readText("m.lst"));
  }
  std::vector<LayerRecord> heads() const { return readLayerFile(dir.readBytes("m.hds")); }
  std::map<std::string, BudgetRecord> budget() const {
    std::map<std::string, BudgetRecord> m;
    for (const auto& r : readBudgetFile(dir.readBytes("m.cbc"))) m[r.label] = r;
    return m;
  }
};

// Two layers of 3 x 4 cells; a constant head of 10 at (1,1,1) and of 0 at (2,3,4), which draws
// part of layer 2 below its top of 4. Three transient steps.
const char* kTwoLayerBas =
    "two layers\nBCF against GFD\n"
    "         2         3         4         1         4         0\n\n"
    "         1         1\n"
    "INTERNAL 1 (FREE) -1\n-1 1 1 1\n1 1 1 1\n1 1 1 1\n"
    "INTERNAL 1 (FREE) -1\n1 1 1 1\n1 1 1 1\n1 1 1 -1\n"
    "    -999.0\n"
    "INTERNAL 1.0 (FREE) -1\n10 8 8 8\n8 8 8 8\n8 8 8 8\n"
    "INTERNAL 1.0 (FREE) -1\n8 8 8 8\n8 8 8 8\n8 8 8 0\n"
    "      10.0         3       1.0\n";

const char* kEveryStep =
    "HEAD SAVE UNIT 30\nPERIOD 1 STEP 3\n    SAVE HEAD\n    SAVE BUDGET\n    PRINT BUDGET\n";

TEST(GfdRun, GivenBcfConductancesAndCapacitiesItRunsLikeBcf) {
  // DELR 2 and DELC 0.5: cell area 1, so BCF's vertical conductance and storage capacity equal
  // the leakance and coefficient; transmissivity 10 gives 2.5 along rows and 40 along columns.
  const std::string bcf =
      "         0        40    -999.0         0       0.0         0         0\n"
      " 0 2\n"
      "CONSTANT 1.0\nCONSTANT 2.0\nCONSTANT 0.5\n"
      "CONSTANT 0.001\nCONSTANT 10.0\nCONSTANT 0.1\n"
      "CONSTANT 0.0001\nCONSTANT 10.0\nCONSTANT 0.1\nCONSTANT 4.0\n";
  const std::string gfd =
      "         0        40\n"
      " 0 2\n"
      "CONSTANT 2.0\nCONSTANT 0.5\n"
      "CONSTANT 0.001\nCONSTANT 2.5\nCONSTANT 40.0\nCONSTANT 0.1\n"
      "CONSTANT 0.0001\nCONSTANT 2.5\nCONSTANT 40.0\nCONSTANT 0.1\nCONSTANT 4.0\n";
  FlowRun withBcf, withGfd;
  withBcf.go("BCF 11 m.flow\n", kTwoLayerBas, bcf, kEveryStep);
  withGfd.go("GFD 11 m.flow\n", kTwoLayerBas, gfd, kEveryStep);
  ASSERT_EQ(withBcf.result.status, 0) << withBcf.result.err;
  ASSERT_EQ(withGfd.result.status, 0) << withGfd.result.err;

  const auto hb = withBcf.heads(), hg = withGfd.heads();
  ASSERT_EQ(hb.size(), 2u);
  ASSERT_EQ(hg.size(), 2u);
  bool belowTop = false;
  for (int k = 0; k < 2; ++k) {
    for (std::size_t n = 0; n < hb[k].values.size(); ++n) {
      EXPECT_NEAR(hg[k].values[n], hb[k].values[n], 1e-4) << k << " " << n;
      if (k == 1 && hb[k].values[n] < 4.0f && hb[k].values[n] > 0.0f) belowTop = true;
    }
  }
  EXPECT_TRUE(belowTop) << "the vertical-flow limit is not exercised";

  for (const char* label : {"         STORAGE", "   CONSTANT HEAD"}) {
    SCOPED_TRACE(label);
    const BudgetRow b = budgetRow(withBcf.listing, label), g = budgetRow(withGfd.listing, label);
    ASSERT_TRUE(b.found);
    ASSERT_TRUE(g.found);
    EXPECT_NEAR(g.rateIn, b.rateIn, 1e-4 * (1 + b.rateIn));
    EXPECT_NEAR(g.rateOut, b.rateOut, 1e-4 * (1 + b.rateOut));
    EXPECT_NEAR(g.volIn, b.volIn, 1e-4 * (1 + b.volIn));
    EXPECT_NEAR(g.volOut, b.volOut, 1e-4 * (1 + b.volOut));
  }
  // The same cell-by-cell records, in the same order.
  const auto rb = readBudgetFile(withBcf.dir.readBytes("m.cbc"));
  const auto rg = readBudgetFile(withGfd.dir.readBytes("m.cbc"));
  ASSERT_EQ(rg.size(), rb.size());
  for (std::size_t r = 0; r < rb.size(); ++r) {
    SCOPED_TRACE(rb[r].label);
    EXPECT_EQ(rg[r].label, rb[r].label);
    EXPECT_EQ(rg[r].method, 0);
    ASSERT_EQ(rg[r].values.size(), rb[r].values.size());
    for (std::size_t n = 0; n < rb[r].values.size(); ++n)
      EXPECT_NEAR(rg[r].values[n], rb[r].values[n], 1e-3 * (1 + std::fabs(rb[r].values[n]))) << n;
  }
}

// One row of 11 cells of a thickness-dependent layer, bottom 0, constant heads at both ends.
std::string rowBas(double left, double right) {
  std::string b = "one row\nthickness-dependent conductances\n";
  b += "         1         1        11         1         4         0\n\n         1         1\n";
  b += "INTERNAL 1 (FREE) -1\n-1 1 1 1 1 1 1 1 1 1 -1\n    -999.0\nINTERNAL 1.0 (FREE) -1\n";
  char line[64];
  std::snprintf(line, sizeof line, "%g 9 9 9 9 9 9 9 9 9 %g\n", left, right);
  b += line;
  b += "       1.0         1       1.0\n";
  return b;
}

const char* kLastStep = "HEAD SAVE UNIT 30\nPERIOD 1 STEP 1\n    SAVE HEAD\n    PRINT BUDGET\n";

TEST(GfdRun, ThicknessDependentRowFollowsDupuit) {
  // Conductance per unit thickness 1: neighbouring thicknesses stay within the arithmetic-mean
  // range, so the flow of a link is (h1 + h2) / 2 * (h1 - h2) and h^2 falls linearly.
  for (const char* layer : {" 1", " 3"}) {
    SCOPED_TRACE(layer);
    FlowRun r;
    std::string gfd = std::string("         1         0\n") + layer +
                      "\nCONSTANT 1.0\nCONSTANT 1.0\nCONSTANT 1.0\nCONSTANT 1.0\nCONSTANT 0.0\n";
    if (layer[1] == '3') gfd += "CONSTANT 100.0\n";
    r.go("GFD 11 m.flow\n", rowBas(10.0, 8.0), gfd, kLastStep);
    ASSERT_EQ(r.result.status, 0) << r.result.err;
    const auto h = r.heads();
    ASSERT_EQ(h.size(), 1u);
    for (int j = 0; j < 11; ++j) EXPECT_NEAR(h[0].values[j], std::sqrt(100.0 - 36.0 * j / 10.0), 1e-4) << j;
    EXPECT_TRUE(contains(r.listing, "    STEADY-STATE SIMULATION") ||
                contains(r.listing, " STEADY-STATE SIMULATION"));
  }
}

TEST(GfdRun, ConstantHeadCellBelowItsBottomGoesDryAndTheRunGoesOn) {
  // The right-hand constant head of 0.5 lies below the bottom of 1: it goes dry in the first
  // iteration, and the rest of the row fills up to the left-hand head.
  FlowRun r;
  const std::string gfd =
      "         1        40\n 1\nCONSTANT 1.0\nCONSTANT 1.0\nCONSTANT 1.0\nCONSTANT 1.0\nCONSTANT 1.0\n";
  r.go("GFD 11 m.flow\n", rowBas(10.0, 0.5), gfd,
       "COMPACT BUDGET\nHEAD SAVE UNIT 30\nPERIOD 1 STEP 1\n    SAVE HEAD\n    SAVE BUDGET\n    PRINT "
       "BUDGET\n");
  ASSERT_EQ(r.result.status, 0) << r.result.err;
  EXPECT_TRUE(
      contains(r.listing,
               "0**********NODE   1   1  11 (LAYER,ROW,COL) WENT DRY AT ITERATION =  1  TIME STEP =  1"
               "  STRESS PERIOD =  1"));
  const auto h = r.heads();
  ASSERT_EQ(h.size(), 1u);
  EXPECT_EQ(h[0].values[10], 1.0E30f);
  for (int j = 0; j < 10; ++j) EXPECT_NEAR(h[0].values[j], 10.0, 1e-4) << j;
  // A steady run: a storage row of zeros before the constant-head row, no storage record, no
  // front or lower face record for one row and one layer.
  const BudgetRow st = budgetRow(r.listing, "         STORAGE");
  ASSERT_TRUE(st.found);
  EXPECT_EQ(st.rateIn, 0.0);
  EXPECT_EQ(st.rateOut, 0.0);
  // GFD has no compact records: under COMPACT BUDGET it still writes full ones.
  EXPECT_TRUE(contains(r.listing, "COMPACT CELL-BY-CELL BUDGET FILES WILL BE WRITTEN"));
  std::vector<std::string> labels;
  for (const auto& rec : readBudgetFile(r.dir.readBytes("m.cbc"))) {
    labels.push_back(rec.label);
    EXPECT_EQ(rec.method, 0) << rec.label;
    EXPECT_EQ(rec.nlay, 1);
  }
  EXPECT_EQ(labels, (std::vector<std::string>{"   CONSTANT HEAD", "FLOW RIGHT FACE "}));
}

TEST(GfdRun, GfdAndBcfTogetherStopAtAllocate) {
  FlowRun r;
  r.go("BCF 11 m.flow\nGFD 12 m.extra\n", rowBas(10.0, 8.0),
       "         1         0    -999.0         0       0.0         0         0\n 0\n"
       "CONSTANT 1.0\nCONSTANT 1.0\nCONSTANT 1.0\nCONSTANT 1.0\n",
       kLastStep, "         1         0\n 0\n");
  EXPECT_NE(r.result.status, 0);
  ASSERT_FALSE(r.listing.empty());
  EXPECT_EQ(r.listing.back(),
            " GFD AND BCF CANNOT BE USED IN THE SAME SIMULATION: BOTH DESCRIBE THE FLOW BETWEEN CELLS");
}

}  // namespace
}  // namespace aqx::test
