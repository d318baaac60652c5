// Whole runs with transient leakage (BAS, BCF, WEL, SIP, OC, TLK) on a strip of cells with a
// constant head at one end of both aquifers and a well at the other end of the lower one: a fast
// bed against the same model with the plain leakance, a compressible bed against the bed resolved
// as thin flow layers, the budget's closure, and a run continued from a restart record.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "post/listing_budget.hpp"
#include "support/binary_files.hpp"
#include "support/e2e.hpp"

namespace aqx::test {
namespace {

constexpr int kCols = 8;

std::string fmt(const char* f, double v) {
  char s[64];
  std::snprintf(s, sizeof s, f, v);
  return s;
}

// One flow layer: storage coefficient, transmissivity and the vertical leakance to the layer below.
struct Layer {
  double s, t, vcont;
};

struct Strip {
  std::vector<Layer> layers;
  std::string periods;  // PERLEN NSTP TSMULT lines
  int nper = 1;
  std::vector<std::vector<double>> start;  // starting heads per layer (all 100 when empty)
  std::string tlk;                         // TLK input, none when empty
  std::string restartIn;                   // bytes of a restart record to continue from
  std::vector<int> nstp;                   // steps per period (for output control)
  std::vector<double> rates = {-50.0};     // the well's rate from each period on
  bool upperConstant = false;              // the whole upper aquifer at constant head
};

struct ModelRun {
  TempDir dir;
  RunResult result;
  std::vector<std::string> listing;
  std::vector<LayerRecord> heads;

  void go(const Strip& s) {
    const int nlay = static_cast<int>(s.layers.size());
    std::string nam =
        "LIST 6 m.lst\nBAS 1 m.bas\nBCF 11 m.bcf\nWEL 12 m.wel\nSIP 19 m.sip\nOC 22 m.oc\n"
        "DATA(BINARY) 30 m.hds\nDATA(BINARY) 40 m.cbc\n";
    if (!s.tlk.empty()) nam += "TLK 26 m.tlk\nDATA(BINARY) 45 out.rst\n";
    if (!s.restartIn.empty()) {
      nam += "DATA(BINARY) 46 in.rst\n";
      dir.write("in.rst", s.restartIn);
    }
    dir.write("m.nam", nam);

    char line[128];
    std::string bas = "transient leakage\nstrip\n";
    std::snprintf(line, sizeof line, "%10d%10d%10d%10d%10d\n\n%10d%10d\n", nlay, 1, kCols, s.nper, 4, 1, 1);
    bas += line;
    // Constant heads in column 1 of the two aquifers (the first and last layers).
    for (int k = 1; k <= nlay; ++k) {
      bas += "INTERNAL 1 (FREE) -1\n";
      bas += (k == 1 || k == nlay) ? "-1" : "1";
      for (int j = 2; j <= kCols; ++j) bas += (k == 1 && s.upperConstant) ? " -1" : " 1";
      bas += "\n";
    }
    bas += "    -999.0\n";
    for (int k = 1; k <= nlay; ++k) {
      if (s.start.empty()) {
        bas += "CONSTANT 100.0\n";
        continue;
      }
      bas += "INTERNAL 1 (FREE) -1\n";
      for (double h : s.start[static_cast<std::size_t>(k - 1)]) bas += fmt("%.9g ", h);
      bas += "\n";
    }
    dir.write("m.bas", bas + s.periods);

    std::string bcf = "         0        40    -999.0         0       0.0         0         0\n";
    for (int k = 1; k <= nlay; ++k) bcf += " 0";
    bcf += "\nCONSTANT 1.0\nCONSTANT 10.0\nCONSTANT 10.0\n";
    for (int k = 1; k <= nlay; ++k) {
      const Layer& l = s.layers[static_cast<std::size_t>(k - 1)];
      bcf += "CONSTANT " + fmt("%.9g", l.s) + "\nCONSTANT " + fmt("%.9g", l.t) + "\n";
      if (k < nlay) bcf += "CONSTANT " + fmt("%.9g", l.vcont) + "\n";
    }
    dir.write("m.bcf", bcf);

    // The well's rate of each period given, the last one kept after.
    std::string wel = "         1         0\n";
    for (int p = 1; p <= s.nper; ++p) {
      if (p > static_cast<int>(s.rates.size())) {
        wel += "        -1\n";
        continue;
      }
      std::snprintf(line, sizeof line, "%10d\n%10d%10d%10d%10.1f\n", 1, nlay, 1, kCols,
                    s.rates[static_cast<std::size_t>(p - 1)]);
      wel += line;
    }
    dir.write("m.wel", wel);
    dir.write("m.sip", "       500         5\n       1.0    1.0E-6         1       0.0         0\n");

    std::string oc = "HEAD SAVE UNIT 30\n";
    for (int p = 1; p <= s.nper; ++p) {
      const int n = s.nstp[static_cast<std::size_t>(p - 1)];
      for (int t = 1; t <= n; ++t) {
        oc += "PERIOD " + std::to_string(p) + " STEP " + std::to_string(t) + "\n    SAVE HEAD\n";
        if (t == n) oc += "    SAVE BUDGET\n    PRINT BUDGET\n";
      }
    }
    dir.write("m.oc", oc);
    if (!s.tlk.empty()) dir.write("m.tlk", s.tlk);

    result = runAquifex(dir.path(), {}, "m.nam\n", {120, 0});
    listing = lines(dir.readText("m.lst"));
    heads = readLayerFile(dir.readBytes("m.hds"));
  }

  // Head of (layer, column) at the end of step kstep of period kper; NaN when not saved.
  double head(int kper, int kstep, int layer, int column) const {
    for (const LayerRecord& r : heads) {
      if (r.kper == kper && r.kstep == kstep && r.layer == layer) return r.at(1, column);
    }
    return std::nan("");
  }
  std::vector<post::BudgetTable> budgets() const {
    std::string text;
    for (const std::string& l : listing) text += l + "\n";
    return post::readBudgetTables(text);
  }
};

// TLK input for one bed below layer 1 (cell-by-cell on unit 40, restart units as asked).
std::string tlkInput(double k, double b, double ss, int save, int read, int nterms = 3) {
  char line[96];
  std::snprintf(line, sizeof line, "%10d%10d%10d%10d%10d\n 1\n", 1, 40, nterms, save, read);
  return line + ("CONSTANT " + fmt("%.9g", k) + "\nCONSTANT " + fmt("%.9g", b) + "\nCONSTANT " +
                 fmt("%.9g", ss) + "\n");
}

const Layer kUpper{1.0e-3, 200.0, 0.0}, kLower{1.0e-4, 100.0, 0.0};

// ---------------------------------------------------------------------------------------------

TEST(TlkRun, FastBedActsAsThePlainLeakance) {
  // K/b = 0.02 per day; R·Δt = 2E7 for each step of 1.
  Strip tlk, plain;
  tlk.periods = plain.periods = "       4.0         4       1.0\n";
  tlk.nstp = plain.nstp = {4};
  tlk.layers = {{kUpper.s, kUpper.t, 5.0}, kLower};  // the flow package's leakance is replaced
  tlk.tlk = tlkInput(0.1, 5.0, 1.0e-9, 0, 0);
  plain.layers = {{kUpper.s, kUpper.t, 0.02}, kLower};
  ModelRun a, b;
  a.go(tlk);
  b.go(plain);
  ASSERT_EQ(a.result.status, 0) << a.result.err;
  ASSERT_EQ(b.result.status, 0) << b.result.err;
  for (int t = 1; t <= 4; ++t) {
    for (int k = 1; k <= 2; ++k) {
      for (int j = 1; j <= kCols; ++j)
        EXPECT_NEAR(a.head(1, t, k, j), b.head(1, t, k, j), 1e-4) << t << k << j;
    }
  }
  EXPECT_LT(b.head(1, 4, 2, kCols), 99.0);

  const auto tables = a.budgets();
  ASSERT_FALSE(tables.empty());
  const auto& rows = tables.back().rows;
  ASSERT_GE(rows.size(), 3u);
  EXPECT_EQ(rows[0].label, "    C.B. STORAGE");
  EXPECT_EQ(rows[1].label, "    C.H. LEAKAGE");
  EXPECT_EQ(rows[2].label, "         STORAGE");
  EXPECT_EQ(rows[0].rateIn, 0.0);
  EXPECT_EQ(rows[0].rateOut, 0.0);
  EXPECT_LT(std::fabs(tables.back().discrepancy[1]), 0.01);

  // The bed's records come first; the flow package's lower face carries nothing across the bed.
  const auto recs = readBudgetFile(a.dir.readBytes("m.cbc"));
  ASSERT_GE(recs.size(), 4u);
  EXPECT_EQ(recs[0].label, "    C.B. STORAGE");
  EXPECT_EQ(recs[1].label, "     FLOW IN TOP");
  EXPECT_EQ(recs[2].label, "    FLOW IN BASE");
  bool lowerFace = false;
  for (const auto& r : recs) {
    if (r.label != "FLOW LOWER FACE ") continue;
    lowerFace = true;
    for (int j = 1; j <= kCols; ++j) EXPECT_EQ(r.at(1, 1, j), 0.0f) << j;
  }
  EXPECT_TRUE(lowerFace);
  // What the plain model sends down across the face, the bed passes from its top to its base.
  for (const auto& r : readBudgetFile(b.dir.readBytes("m.cbc"))) {
    if (r.label != "FLOW LOWER FACE ") continue;
    for (int j = 2; j <= kCols; ++j) {
      EXPECT_NEAR(recs[1].at(1, 1, j), r.at(1, 1, j), 1e-4 + 1e-3 * std::fabs(r.at(1, 1, j))) << j;
      EXPECT_NEAR(recs[2].at(1, 1, j), -r.at(1, 1, j), 1e-4 + 1e-3 * std::fabs(r.at(1, 1, j))) << j;
    }
  }
}

// ---------------------------------------------------------------------------------------------
// A compressible bed: K = 1E-3, b = 5, Ss = 1E-4, so R = 0.4 per day, over 10 days in steps that
// grow from 0.02 to 2.3 days. The pumped lower aquifer draws water from the bed's storage first.

constexpr double kBedK = 1.0e-3, kBedB = 5.0, kBedSs = 1.0e-4;
const char* kGrowingSteps = "      10.0        40       1.1\n";

Strip compressibleBed() {
  Strip s;
  s.periods = kGrowingSteps;
  s.nstp = {40};
  s.layers = {{kUpper.s, kUpper.t, kBedK / kBedB}, kLower};
  s.tlk = tlkInput(kBedK, kBedB, kBedSs, 0, 0);
  return s;
}

// The same bed as n flow layers without transmissivity, each holding its share of the storage;
// the aquifers meet the bed at its faces, half a sublayer from the first and last centres.
Strip resolvedBed(int n) {
  Strip s;
  s.periods = kGrowingSteps;
  s.nstp = {40};
  const double d = kBedB / n;
  s.layers.push_back({kUpper.s, kUpper.t, 2.0 * kBedK / d});
  for (int q = 1; q <= n; ++q) s.layers.push_back({kBedSs * d, 0.0, (q < n ? 1.0 : 2.0) * kBedK / d});
  s.layers.push_back(kLower);
  return s;
}

// Largest head difference in the two aquifers over every step.
double largestDifference(const ModelRun& tlk, const ModelRun& ref, int refLower) {
  double worst = 0.0;
  for (int t = 1; t <= 40; ++t) {
    for (int j = 1; j <= kCols; ++j) {
      worst = std::max(worst, std::fabs(tlk.head(1, t, 1, j) - ref.head(1, t, 1, j)));
      worst = std::max(worst, std::fabs(tlk.head(1, t, 2, j) - ref.head(1, t, refLower, j)));
    }
  }
  return worst;
}

TEST(TlkRun, CompressibleBedAgainstTheBedResolvedInThinLayers) {
  ModelRun tlk, incompressible;
  tlk.go(compressibleBed());
  ASSERT_EQ(tlk.result.status, 0) << tlk.result.err;
  Strip plain = compressibleBed();
  plain.tlk.clear();
  incompressible.go(plain);
  ASSERT_EQ(incompressible.result.status, 0) << incompressible.result.err;

  // The resolved bed converges on the package's heads as its layers get thinner; what remains at
  // 32 layers (about 0.015 m here, the same with 5 M1 terms, so mostly the treatment of the
  // heads within a step) is the accuracy the series approximation allows: well under the
  // bed-storage effect itself and under 1 % of the drawdown.
  std::vector<double> diffs;
  for (int n : {2, 4, 8, 16, 32}) {
    ModelRun ref;
    ref.go(resolvedBed(n));
    ASSERT_EQ(ref.result.status, 0) << n << ref.result.err;
    diffs.push_back(largestDifference(tlk, ref, n + 2));
  }
  for (std::size_t q = 1; q < diffs.size(); ++q) EXPECT_LT(diffs[q], diffs[q - 1]) << q;
  const double drawdown = 100.0 - tlk.head(1, 40, 2, kCols);
  const double storageEffect = largestDifference(tlk, incompressible, 2);
  EXPECT_GT(storageEffect, 0.1);
  EXPECT_LT(diffs.back(), 0.2 * storageEffect);
  EXPECT_LT(diffs.back(), 0.01 * drawdown);

  // The bed releases water from storage, and the budget closes.
  const auto tables = tlk.budgets();
  ASSERT_FALSE(tables.empty());
  EXPECT_EQ(tables.back().rows[0].label, "    C.B. STORAGE");
  EXPECT_GT(tables.back().rows[0].cumulativeIn, 0.0);
  EXPECT_LT(std::fabs(tables.back().discrepancy[0]), 0.01);
  EXPECT_LT(std::fabs(tables.back().discrepancy[1]), 0.01);
}

// The bed between a constant-head upper aquifer and the pumped one: what the bed exchanges with
// the constant heads is its own row, and the budget closes (the flow package, counting the face
// too, would count that exchange twice).
TEST(TlkRun, BedBelowConstantHeadsHasItsOwnLeakageRow) {
  Strip s = compressibleBed();
  s.upperConstant = true;
  ModelRun run;
  run.go(s);
  ASSERT_EQ(run.result.status, 0) << run.result.err;
  const auto tables = run.budgets();
  ASSERT_FALSE(tables.empty());
  const auto& t = tables.back();
  ASSERT_EQ(t.rows[1].label, "    C.H. LEAKAGE");
  // Water comes from the constant heads through the bed into the pumped aquifer.
  EXPECT_GT(t.rows[1].rateIn, 0.1);
  EXPECT_EQ(t.rows[1].rateOut, 0.0);
  EXPECT_LT(std::fabs(t.discrepancy[0]), 0.01);
  EXPECT_LT(std::fabs(t.discrepancy[1]), 0.01);
}

// ---------------------------------------------------------------------------------------------
// Continuation: periods of 2 and of 5 days in one run, against the first period alone (saving the
// restart record) and then the second alone, started from the first part's last heads and its
// restart record.

TEST(TlkRun, RunContinuedFromTheRestartRecordReproducesTheWholeRun) {
  // A more storative bed (R = 0.04 per day), split after 2 days while it is still draining.
  const double ss = 1.0e-3;
  const std::string period1 = "       2.0        10       1.2\n",
                    period2 = "       5.0        10       1.2\n";
  Strip whole = compressibleBed();
  whole.periods = period1 + period2;
  whole.nper = 2;
  whole.nstp = {10, 10};
  whole.tlk = tlkInput(kBedK, kBedB, ss, 0, 0);
  ModelRun full, first, second;
  full.go(whole);
  ASSERT_EQ(full.result.status, 0) << full.result.err;

  Strip part = compressibleBed();
  part.periods = period1;
  part.nstp = {10};
  part.tlk = tlkInput(kBedK, kBedB, ss, 45, 0);
  first.go(part);
  ASSERT_EQ(first.result.status, 0) << first.result.err;
  const std::string record = first.dir.readBytes("out.rst");

  // Previous step length, time, then 3 + 2 + 3 + 2 values for each of the 8 map cells.
  ASSERT_EQ(record.size(), 4u * (2 + 8 * 10));
  const float lastDelt = 2.0f * 0.2f / (std::pow(1.2f, 10.0f) - 1.0f) * std::pow(1.2f, 9.0f);
  EXPECT_NEAR(realAt(record, 0), lastDelt, 1e-5);
  EXPECT_NEAR(realAt(record, 4), 2.0, 1e-6);
  bool created = false;
  for (const std::string& l : first.listing)
    created = created || l.find(" A RESTART RECORD FOR TRANSIENT LEAKAGE HAS BEEN CREATED FOR TIME=") == 0;
  EXPECT_TRUE(created);

  part.periods = period2;
  part.tlk = tlkInput(kBedK, kBedB, ss, 0, 46);
  part.restartIn = record;
  for (int k = 1; k <= 2; ++k) {
    std::vector<double> h;
    for (int j = 1; j <= kCols; ++j) h.push_back(first.head(1, 10, k, j));
    part.start.push_back(h);
  }
  second.go(part);
  ASSERT_EQ(second.result.status, 0) << second.result.err;
  bool read = false;
  for (const std::string& l : second.listing)
    read = read || l.find(" A RESTART RECORD FOR TRANSIENT LEAKAGE HAS BEEN READ FOR TIME=") == 0;
  EXPECT_TRUE(read);

  double moved = 0.0;
  for (int t = 1; t <= 10; ++t) {
    for (int k = 1; k <= 2; ++k) {
      for (int j = 1; j <= kCols; ++j) {
        EXPECT_NEAR(second.head(1, t, k, j), full.head(2, t, k, j), 1e-4) << t << k << j;
        moved = std::max(moved, std::fabs(full.head(2, t, k, j) - full.head(1, 10, k, j)));
      }
    }
  }
  EXPECT_GT(moved, 0.005);  // the heads still change in the second period

  part.tlk = tlkInput(kBedK, kBedB, ss, 0, 0);
  part.restartIn.clear();
  ModelRun fresh;
  fresh.go(part);
  ASSERT_EQ(fresh.result.status, 0) << fresh.result.err;
  // Without the record the second part starts the bed from rest and takes another path.
  double apart = 0.0;
  for (int t = 1; t <= 10; ++t) {
    for (int k = 1; k <= 2; ++k) {
      for (int j = 1; j <= kCols; ++j)
        apart = std::max(apart, std::fabs(fresh.head(1, t, k, j) - full.head(2, t, k, j)));
    }
  }
  EXPECT_GT(apart, 1e-3);
}

// The aquitard example (a 10 m drop below a bed that can hold 25 m3 more than it does) run for 25
// days in steps short enough that the series for the flow across the bed undershoots and its
// conductance comes out slightly negative. Whatever the step, the bed gives up the 25 m3 and the
// leakage settles at its steady 20 m3/d, with each solver.
TEST(TlkRun, ShortStepsReleaseOnlyWhatTheBedStores) {
  const std::string example = "examples/08-aquitard-leakage/";
  auto source = [&](const std::string& name) {
    std::ifstream in(sourcePath(example + name), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  };
  const std::string solvers[][3] = {
      {"PCG", "aquitard.pcg", source("aquitard.pcg")},
      {"SIP", "m.sip", "       500         5\n       1.0    1.0E-6         1       0.0         0\n"},
      {"SOR", "m.sor", "       500\n       1.0    1.0E-6         1\n"},
      {"DE4", "m.de4", "10 0 0 0\n1 0 1.0 1e-6 0\n"}};
  std::string bas = source("aquitard.bas");
  const std::string periods = "       0.5        25       1.0\n      24.5      1225       1.0\n";
  ASSERT_NE(bas.find(periods), std::string::npos);
  // One period instead of two.
  bas.replace(bas.find("         2         4"), 20, "         1         4");
  for (const auto& solver : solvers) {
    for (const int nstp : {1000, 500, 250, 125}) {  // steps of 0.025 to 0.2 days
      SCOPED_TRACE(solver[0] + " with " + std::to_string(nstp) + " steps");
      TempDir dir;
      std::string nam = source("aquitard.nam");
      nam.replace(nam.find("PCG    19  aquitard.pcg"), 23, solver[0] + "    19  " + solver[1]);
      dir.write("aquitard.nam", nam);
      dir.write(solver[1], solver[2]);
      for (const char* f : {"aquitard.bcf", "aquitard.tlk", "aquitard.oc"}) dir.write(f, source(f));
      char line[64];
      std::snprintf(line, sizeof line, "      25.0%10d       1.0\n", nstp);
      std::string b = bas;
      dir.write("aquitard.bas", b.replace(b.find(periods), periods.size(), line));
      const RunResult r = runAquifex(dir.path(), {"aquitard.nam"}, "", {120, 0});
      ASSERT_EQ(r.status, 0) << r.err;
      const auto tables = post::readBudgetTables(dir.readText("aquitard.lst"));
      ASSERT_FALSE(tables.empty());
      const post::BudgetTable& last = tables.back();
      EXPECT_NEAR(last.totalTime / 86400.0, 25.0, 1e-3);  // the table at the end of the run, in days
      std::map<std::string, post::BudgetRow> rows;
      for (const post::BudgetRow& row : last.rows) rows[row.label] = row;
      ASSERT_TRUE(rows.count("    C.B. STORAGE") && rows.count("    C.H. LEAKAGE"));
      const post::BudgetRow& bed = rows["    C.B. STORAGE"];
      EXPECT_NEAR(bed.cumulativeIn - bed.cumulativeOut, 25.0, 0.02);
      EXPECT_NEAR(bed.rateIn, 0.0, 1e-3);
      EXPECT_NEAR(rows["    C.H. LEAKAGE"].rateIn, 20.0, 1e-3);
    }
  }
}

}  // namespace
}  // namespace aqx::test
