// Whole runs of flow models with BCF and SIP: validation against analytical solutions, wetting and
// drying as the listing reports it, and the budget rows against the cell-by-cell records.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "support/e2e.hpp"

namespace aqx::test {
namespace {

// ---------------------------------------------------------------------------------------------
// Reading outputs

struct LayerRecord {
  int kstep = 0, kper = 0, ncol = 0, nrow = 0, layer = 0;
  std::string label;
  std::vector<float> values;
};

template <class T>
T take(const std::string& bytes, std::size_t& pos) {
  T v{};
  if (pos + sizeof(T) > bytes.size()) throw std::runtime_error("short file");
  std::memcpy(&v, bytes.data() + pos, sizeof(T));
  pos += sizeof(T);
  return v;
}

std::vector<LayerRecord> readLayers(const std::string& bytes) {
  std::vector<LayerRecord> out;
  std::size_t pos = 0;
  while (pos < bytes.size()) {
    LayerRecord r;
    r.kstep = take<int>(bytes, pos);
    r.kper = take<int>(bytes, pos);
    take<float>(bytes, pos);
    take<float>(bytes, pos);
    r.label = bytes.substr(pos, 16);
    pos += 16;
    r.ncol = take<int>(bytes, pos);
    r.nrow = take<int>(bytes, pos);
    r.layer = take<int>(bytes, pos);
    for (int n = 0; n < r.ncol * r.nrow; ++n) r.values.push_back(take<float>(bytes, pos));
    out.push_back(r);
  }
  return out;
}

struct BudgetRecord {
  int kstep = 0, kper = 0, ncol = 0, nrow = 0, nlay = 0, method = 0;
  std::string label;
  std::vector<float> values;  // the whole grid, also for list records (cells not listed are 0)
  int entries = -1;           // list records: the count in the header
};

std::vector<BudgetRecord> readBudget(const std::string& bytes) {
  std::vector<BudgetRecord> out;
  std::size_t pos = 0;
  while (pos < bytes.size()) {
    BudgetRecord r;
    r.kstep = take<int>(bytes, pos);
    r.kper = take<int>(bytes, pos);
    r.label = bytes.substr(pos, 16);
    pos += 16;
    r.ncol = take<int>(bytes, pos);
    r.nrow = take<int>(bytes, pos);
    r.nlay = take<int>(bytes, pos);
    const bool compact = r.nlay < 0;
    r.nlay = std::abs(r.nlay);
    const int ncell = r.ncol * r.nrow * r.nlay;
    r.values.assign(ncell, 0.0f);
    if (compact) {
      r.method = take<int>(bytes, pos);
      for (int t = 0; t < 3; ++t) take<float>(bytes, pos);
    }
    if (!compact || r.method == 1) {
      for (int n = 0; n < ncell; ++n) r.values[n] = take<float>(bytes, pos);
    } else if (r.method == 2) {
      r.entries = take<int>(bytes, pos);
      for (int e = 0; e < r.entries; ++e) {
        const int cellNumber = take<int>(bytes, pos);
        r.values.at(cellNumber - 1) = take<float>(bytes, pos);
      }
    } else {
      throw std::runtime_error("unexpected budget method");
    }
    out.push_back(r);
  }
  return out;
}

// A row of the volumetric budget table: rates of the last printed budget.
struct BudgetRow {
  double volIn = 0, volOut = 0, rateIn = 0, rateOut = 0;
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
    if (seen % 2 == 0) {
      row.volIn = vol;
      row.rateIn = rate;
    } else {
      row.volOut = vol;
      row.rateOut = rate;
    }
    row.found = true;
    ++seen;
  }
  return row;
}

// The discrepancies of the last budget printed: cumulative, rate.
std::pair<double, double> discrepancy(const std::vector<std::string>& listing) {
  std::pair<double, double> d{1e9, 1e9};
  for (const std::string& l : listing) {
    const std::string key = " PERCENT DISCREPANCY =";
    if (l.compare(0, key.size(), key) != 0) continue;
    d.first = std::stod(l.substr(key.size(), 15));
    d.second = std::stod(l.substr(key.size() + 15 + 5 + key.size() - 1, 15));
  }
  return d;
}

bool contains(const std::vector<std::string>& lines, const std::string& text) {
  for (const std::string& l : lines)
    if (l.find(text) != std::string::npos) return true;
  return false;
}

std::string rtrim(std::string s) {
  while (!s.empty() && s.back() == ' ') s.pop_back();
  return s;
}

// ---------------------------------------------------------------------------------------------
// Building models

struct Files {
  std::string bas, bcf, sip, oc;
  bool cbc = false;
  bool drawdown = false;
};

const char* kDefaultSip = "       200         5\n       1.0    1.0E-6         1       0.0         0\n";

struct ModelRun {
  TempDir dir;
  RunResult result;
  std::vector<std::string> listing;

  void go(const Files& f) {
    std::string nam = "LIST 6 m.lst\nBAS 1 m.bas\nBCF 11 m.bcf\nSIP 19 m.sip\nDATA(BINARY) 30 m.hds\n";
    if (!f.oc.empty()) nam += "OC 22 m.oc\n";
    if (f.cbc) nam += "DATA(BINARY) 40 m.cbc\n";
    if (f.drawdown) nam += "DATA(BINARY) 31 m.ddn\n";
    dir.write("m.nam", nam);
    dir.write("m.bas", f.bas);
    dir.write("m.bcf", f.bcf);
    dir.write("m.sip", f.sip.empty() ? kDefaultSip : f.sip);
    if (!f.oc.empty()) dir.write("m.oc", f.oc);
    result = runAquifex(dir.path(), {}, "m.nam\n");
    listing = lines(dir.readText("m.lst"));
  }
  std::vector<LayerRecord> heads() const { return readLayers(dir.readBytes("m.hds")); }
  std::vector<BudgetRecord> budget() const { return readBudget(dir.readBytes("m.cbc")); }
};

// One row of ncol cells, constant heads at both ends; the rest start at `start`.
std::string rowBas(int ncol, double left, double right, double start, const std::string& period) {
  std::string b = "one row between two constant heads\nbcf validation\n";
  char line[128];
  std::snprintf(line, sizeof line, "%10d%10d%10d%10d%10d%10d\n\n%10d%10d\n", 1, 1, ncol, 1, 4, 0, 1, 1);
  b += line;
  b += "INTERNAL 1 (FREE) -1\n";
  for (int j = 1; j <= ncol; ++j) b += (j == 1 || j == ncol) ? " -1" : " 1";
  b += "\n    -999.0\nINTERNAL 1.0 (FREE) -1\n";
  for (int j = 1; j <= ncol; ++j) {
    std::snprintf(line, sizeof line, " %.6g", j == 1 ? left : j == ncol ? right : start);
    b += line;
  }
  b += "\n" + period;
  return b;
}

const char* kSaveLastStep1 = "HEAD SAVE UNIT 30\nPERIOD 1 STEP 1\n    SAVE HEAD\n    PRINT BUDGET\n";

// ---------------------------------------------------------------------------------------------
// Validation

TEST(BcfValidation, ConfinedSteadyRowIsLinear) {
  ModelRun r;
  Files f;
  f.bas = rowBas(21, 10.0, 0.0, 5.0, "       1.0         1       1.0\n");
  f.bcf =
      "         1         0    -999.0         0       0.0         0         0\n"
      " 0\n"
      "CONSTANT 1.0\nCONSTANT 10.0\nCONSTANT 1.0\n"
      "CONSTANT 100.0\n";
  f.oc = kSaveLastStep1;
  r.go(f);
  ASSERT_EQ(r.result.status, 0) << r.result.err;
  const auto h = r.heads();
  ASSERT_EQ(h.size(), 1u);
  for (int j = 0; j < 21; ++j) EXPECT_NEAR(h[0].values[j], 10.0 - 0.5 * j, 1e-4) << j;
  // Conductance T * DELC / DELR = 10 over a drop of 0.5 per cell: 5 units in and out.
  const BudgetRow ch = budgetRow(r.listing, "   CONSTANT HEAD");
  ASSERT_TRUE(ch.found);
  EXPECT_NEAR(ch.rateIn, 5.0, 1e-3);
  EXPECT_NEAR(ch.rateOut, 5.0, 1e-3);
  EXPECT_FALSE(budgetRow(r.listing, "         STORAGE").found);
  const auto d = discrepancy(r.listing);
  EXPECT_LE(std::fabs(d.first), 0.01);
  EXPECT_LE(std::fabs(d.second), 0.01);
}

TEST(BcfValidation, TransientRowFollowsTheErfcSolution) {
  // Head 0 everywhere, raised to 1 at the left end at time 0; diffusivity T/S = 1, dx = 1.
  ModelRun r;
  Files f;
  f.bas = rowBas(101, 1.0, 0.0, 0.0, "      25.0       250       1.0\n");
  // The far end is a constant head of 0, well beyond the reach of the front.
  f.bcf =
      "         0         0    -999.0         0       0.0         0         0\n"
      " 0\n"
      "CONSTANT 1.0\nCONSTANT 1.0\nCONSTANT 1.0\n"
      "CONSTANT 1.0\n"
      "CONSTANT 1.0\n";
  f.oc = "HEAD SAVE UNIT 30\nPERIOD 1 STEP 250\n    SAVE HEAD\n    PRINT BUDGET\n";
  r.go(f);
  ASSERT_EQ(r.result.status, 0) << r.result.err;
  const auto h = r.heads();
  ASSERT_EQ(h.size(), 1u);
  EXPECT_EQ(h[0].kstep, 250);
  const double t = 25.0;
  for (int j = 0; j < 40; ++j) {
    const double want = std::erfc(j / (2.0 * std::sqrt(t)));
    EXPECT_NEAR(h[0].values[j], want, 0.01) << j;
  }
  EXPECT_TRUE(budgetRow(r.listing, "         STORAGE").found);
  const auto d = discrepancy(r.listing);
  EXPECT_LE(std::fabs(d.first), 0.01);
  EXPECT_LE(std::fabs(d.second), 0.01);
}

TEST(BcfValidation, UnconfinedRowFollowsDupuit) {
  // h^2 is linear between the two constant heads (bottom 0). The unconfined averaging gives the
  // Dupuit flux exactly; harmonic averaging of transmissivity is close.
  struct Case {
    const char* code;
    int iapart;
    double tolerance;
  };
  for (const Case c : {Case{"31", 1, 1e-3}, Case{" 1", 0, 0.01}}) {
    SCOPED_TRACE(c.code);
    ModelRun r;
    Files f;
    f.bas = rowBas(21, 10.0, 5.0, 8.0, "       1.0         1       1.0\n");
    if (c.iapart == 0) {
      const std::string from = "\n\n         1         1\n";
      f.bas.replace(f.bas.find(from), from.size(), "\n\n         0         1\n");
    }
    f.bcf = std::string("         1         0    -999.0         0       0.0         0         0\n") + c.code +
            "\n"
            "CONSTANT 1.0\nCONSTANT 10.0\nCONSTANT 1.0\n"
            "CONSTANT 2.0\nCONSTANT 0.0\n";
    f.oc = kSaveLastStep1;
    r.go(f);
    ASSERT_EQ(r.result.status, 0) << r.result.err;
    const auto h = r.heads();
    ASSERT_EQ(h.size(), 1u);
    for (int j = 0; j < 21; ++j) {
      const double want = std::sqrt(100.0 - 75.0 * j / 20.0);
      EXPECT_NEAR(h[0].values[j], want, c.tolerance) << j;
    }
    const auto d = discrepancy(r.listing);
    EXPECT_LE(std::fabs(d.second), 0.01);
  }
}

// ---------------------------------------------------------------------------------------------
// Wetting and drying

// Layer 1 (convertible, bottom 10) starts below its bottom and dries at once; layer 2 (confined)
// is fed by a constant head of 15 and wets the cells above it from the second iteration on.
Files wettingModel(const char* wetfactor, const char* iweteqn) {
  Files f;
  f.bas =
      "wetting\nsix cells dry and wet again\n"
      "         2         1         6         1         4         0\n\n"
      "         1         1\n"
      "CONSTANT 1\n"
      "INTERNAL 1 (FREE) -1\n-1 1 1 1 1 1\n"
      "    -888.0\n"
      "CONSTANT 5.0\n"
      "INTERNAL 1.0 (FREE) -1\n15 14 14 14 14 14\n"
      "       1.0         1       1.0\n";
  f.bcf = std::string("         1         0    -777.0         1") + wetfactor + "         0" + iweteqn +
          "\n 1 0\n"
          "CONSTANT 1.0\nCONSTANT 10.0\nCONSTANT 10.0\n"
          "CONSTANT 1.0\nCONSTANT 10.0\nCONSTANT 0.1\nCONSTANT 1.0\n"
          "CONSTANT 10.0\n";
  f.oc = "HEAD SAVE UNIT 30\nPERIOD 1 STEP 1\n    SAVE HEAD\n    PRINT BUDGET\n";
  return f;
}

std::vector<std::string> conversionLines(const std::vector<std::string>& listing) {
  std::vector<std::string> out;
  for (std::size_t n = 0; n < listing.size(); ++n) {
    if (listing[n].find("CELL CONVERSIONS") == std::string::npos) continue;
    out.push_back(listing[n]);
    for (std::size_t m = n + 1; m < listing.size() && listing[m].compare(0, 4, "    ") == 0 &&
                                (listing[m].find("WET(") != std::string::npos ||
                                 listing[m].find("DRY(") != std::string::npos);
         ++m)
      out.push_back(rtrim(listing[m]));
  }
  return out;
}

TEST(BcfWettingRun, LayerDriesAndRewetsWithTheConversionLog) {
  ModelRun r;
  r.go(wettingModel("       0.5", "         0"));
  ASSERT_EQ(r.result.status, 0) << r.result.err;
  const std::vector<std::string> want = {
      " CELL CONVERSIONS FOR ITER.=  1  LAYER=  1  STEP=  1  PERIOD=  1   (ROW,COL)",
      "    DRY(  1,  1)   DRY(  1,  2)   DRY(  1,  3)   DRY(  1,  4)   DRY(  1,  5)",
      "    DRY(  1,  6)",
      // The cell over the constant head does not wet from it, nor from its neighbour wetted in the
      // same pass: it wets from that neighbour one iteration later.
      " CELL CONVERSIONS FOR ITER.=  2  LAYER=  1  STEP=  1  PERIOD=  1   (ROW,COL)",
      "    WET(  1,  2)   WET(  1,  3)   WET(  1,  4)   WET(  1,  5)   WET(  1,  6)",
      " CELL CONVERSIONS FOR ITER.=  3  LAYER=  1  STEP=  1  PERIOD=  1   (ROW,COL)",
      "    WET(  1,  1)",
  };
  EXPECT_EQ(conversionLines(r.listing), want);
  EXPECT_TRUE(contains(r.listing, " WETTING FACTOR=   0.50000     WETTING ITERATION INTERVAL=   1"));
  const auto h = r.heads();
  ASSERT_EQ(h.size(), 2u);
  for (int j = 0; j < 6; ++j) {
    EXPECT_NEAR(h[0].values[j], 15.0, 1e-3) << j;
    EXPECT_NEAR(h[1].values[j], 15.0, 1e-3) << j;
  }
}

TEST(BcfWettingRun, ZeroWetFactorWithHeadEquationWetsAndDriesInOnePass) {
  ModelRun r;
  r.go(wettingModel("       0.0", "         1"));
  ASSERT_EQ(r.result.status, 0) << r.result.err;
  const auto conv = conversionLines(r.listing);
  ASSERT_GE(conv.size(), 6u);
  EXPECT_EQ(conv[3], " CELL CONVERSIONS FOR ITER.=  2  LAYER=  1  STEP=  1  PERIOD=  1   (ROW,COL)");
  EXPECT_EQ(conv[4], "    WET(  1,  2)   DRY(  1,  2)   WET(  1,  3)   DRY(  1,  3)   WET(  1,  4)");
  EXPECT_EQ(conv[5], "    DRY(  1,  4)   WET(  1,  5)   DRY(  1,  5)   WET(  1,  6)   DRY(  1,  6)");
  const auto h = r.heads();
  ASSERT_EQ(h.size(), 2u);
  for (int j = 0; j < 6; ++j) EXPECT_EQ(h[0].values[j], -777.0f) << j;
}

// ---------------------------------------------------------------------------------------------
// Layer types, budget rows and cell-by-cell records

// Two layers of 3 rows by 4 columns; constant heads of 20 on column 1 of both layers and 12 on
// column 4 of layer 2. Layer 2 has its top at 16, so part of it lies below its top.
Files typesModel(const char* codes, bool transient, bool compact, bool chtoch = false) {
  Files f;
  f.bas = std::string("layer types\nbudget against cell-by-cell records\n") +
          "         2         3         4         1         4         0\n" + (chtoch ? "CHTOCH\n" : "\n") +
          "         1         1\n"
          "INTERNAL 1 (FREE) -1\n-1 1 1 1\n-1 1 1 1\n-1 1 1 1\n"
          "INTERNAL 1 (FREE) -1\n-1 1 1 -1\n-1 1 1 -1\n-1 1 1 -1\n"
          "    -999.0\n"
          "INTERNAL 1.0 (FREE) -1\n20 18 18 18\n20 18 18 18\n20 18 18 18\n"
          "INTERNAL 1.0 (FREE) -1\n20 17 15 12\n20 17 15 12\n20 17 15 12\n" +
          (transient ? "      10.0         2       1.5\n" : "       1.0         1       1.0\n");
  const std::string lay1 = codes[1] == '0' || codes[1] == '2'
                               ? "CONSTANT 50.0\n"
                               : "CONSTANT 5.0\nCONSTANT 8.0\n";  // T; or K and bottom
  std::string bcf = std::string(transient ? "         0" : "         1") +
                    "        40    -999.0         0       0.0         0         0\n" + codes + "\n" +
                    "CONSTANT 1.0\nINTERNAL 1.0 (FREE) -1\n10 20 10 30\nINTERNAL 1.0 (FREE) -1\n10 15 10\n";
  if (transient) bcf += "CONSTANT 0.001\n";
  bcf += lay1 + "CONSTANT 0.01\n";
  if (codes[1] == '3') bcf += (transient ? "CONSTANT 0.2\n" : "") + std::string("CONSTANT 30.0\n");
  if (transient) bcf += "CONSTANT 0.0001\n";
  bcf += "INTERNAL 1.0 (FREE) -1\n40 60 40 50\n45 50 40 60\n50 40 30 40\n";
  if (codes[3] == '2' || codes[3] == '3') {
    if (transient) bcf += "CONSTANT 0.05\n";
    bcf += "CONSTANT 16.0\n";
  }
  f.bcf = bcf;
  const std::string last = transient ? "2" : "1";
  f.oc = std::string(compact ? "COMPACT BUDGET\n" : "") + "HEAD SAVE UNIT 30\nDRAWDOWN SAVE UNIT 31\nPERIOD 1 STEP " +
         last + "\n    SAVE HEAD\n    SAVE DRAWDOWN\n    PRINT HEAD\n    PRINT DRAWDOWN\n    SAVE BUDGET\n" +
         "    PRINT BUDGET\n";
  f.cbc = true;
  f.drawdown = true;
  return f;
}

std::map<std::string, BudgetRecord> byLabel(const std::vector<BudgetRecord>& records) {
  std::map<std::string, BudgetRecord> m;
  for (const auto& r : records) m[r.label] = r;
  return m;
}

TEST(BcfBudgetRun, LayerTypesRowsAndRecordsAgreeFullAndCompact) {
  struct Case {
    const char* codes;
    bool transient;
  };
  const Case cases[] = {{" 1 0", true}, {" 3 2", true}, {" 0 2", false}, {" 3 2", false}, {"11 0", true}};
  for (const Case c : cases) {
    SCOPED_TRACE(std::string(c.codes) + (c.transient ? " transient" : " steady"));
    ModelRun full, compact;
    full.go(typesModel(c.codes, c.transient, false));
    compact.go(typesModel(c.codes, c.transient, true));
    ASSERT_EQ(full.result.status, 0) << full.result.err;
    ASSERT_EQ(compact.result.status, 0) << compact.result.err;
    EXPECT_TRUE(contains(compact.listing, "COMPACT CELL-BY-CELL BUDGET FILES WILL BE WRITTEN"));

    const auto recs = full.budget();
    std::vector<std::string> order;
    for (const auto& rec : recs) order.push_back(rec.label);
    std::vector<std::string> want = {"   CONSTANT HEAD", "FLOW RIGHT FACE ", "FLOW FRONT FACE ", "FLOW LOWER FACE "};
    if (c.transient) want.insert(want.begin(), "         STORAGE");
    EXPECT_EQ(order, want);
    const auto crecs = compact.budget();
    ASSERT_EQ(crecs.size(), recs.size());
    for (std::size_t n = 0; n < recs.size(); ++n) {
      EXPECT_EQ(crecs[n].label, recs[n].label);
      EXPECT_EQ(crecs[n].method, recs[n].label == "   CONSTANT HEAD" ? 2 : 1);
      EXPECT_EQ(crecs[n].values, recs[n].values) << recs[n].label;
    }
    EXPECT_EQ(crecs[c.transient ? 1 : 0].entries, 9);  // every constant-head cell is listed

    // Budget rows against the records.
    auto sums = [](const BudgetRecord& rec) {
      double in = 0, out = 0;
      for (float v : rec.values) (v > 0 ? in : out) += std::fabs(v);
      return std::pair<double, double>{in, out};
    };
    const auto m = byLabel(recs);
    if (c.transient) {
      const BudgetRow st = budgetRow(full.listing, "         STORAGE");
      ASSERT_TRUE(st.found);
      const auto s = sums(m.at("         STORAGE"));
      EXPECT_NEAR(st.rateIn, s.first, 1e-4 * (1 + s.first));
      EXPECT_NEAR(st.rateOut, s.second, 1e-4 * (1 + s.second));
    }
    const BudgetRow ch = budgetRow(full.listing, "   CONSTANT HEAD");
    ASSERT_TRUE(ch.found);
    const auto chs = sums(m.at("   CONSTANT HEAD"));
    EXPECT_NEAR(ch.rateIn - ch.rateOut, chs.first - chs.second, 1e-3 * (1 + chs.first));

    // Every variable-head cell balances: storage plus the flow across its six faces.
    const auto& right = m.at("FLOW RIGHT FACE ").values;
    const auto& front = m.at("FLOW FRONT FACE ").values;
    const auto& lower = m.at("FLOW LOWER FACE ").values;
    const auto& chv = m.at("   CONSTANT HEAD").values;
    double scale = 0;
    for (float v : right) scale = std::max(scale, static_cast<double>(std::fabs(v)));
    for (int k = 0; k < 2; ++k)
      for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 4; ++j) {
          const int n = k * 12 + i * 4 + j;
          double net = 0;  // into the cell
          if (j > 0) net += right[n - 1];
          net -= right[n];
          if (i > 0) net += front[n - 4];
          net -= front[n];
          if (k > 0) net += lower[n - 12];
          net -= lower[n];
          if (c.transient) net += m.at("         STORAGE").values[n];
          if (chv[n] != 0.0f) {
            EXPECT_NEAR(-net, chv[n], 1e-3 * scale) << n;  // what leaves a constant head is its rate
          } else if (!(k == 0 && (j == 0))) {
            EXPECT_NEAR(net, 0.0, 2e-3 * scale) << n;
          }
        }

    // Heads and drawdowns, saved and printed.
    const auto h = full.heads();
    const auto dd = readLayers(full.dir.readBytes("m.ddn"));
    ASSERT_EQ(h.size(), 2u);
    ASSERT_EQ(dd.size(), 2u);
    EXPECT_EQ(dd[0].label, "        DRAWDOWN");
    EXPECT_NEAR(dd[0].values[1], 18.0f - h[0].values[1], 1e-5);
    EXPECT_NEAR(dd[1].values[6], 15.0f - h[1].values[6], 1e-5);
    const std::string step = c.transient ? "2" : "1";
    EXPECT_TRUE(contains(full.listing, "            HEAD IN LAYER  2 AT END OF TIME STEP  " + step));
    EXPECT_TRUE(contains(full.listing, "        DRAWDOWN IN LAYER  1 AT END OF TIME STEP  " + step));
    const auto d = discrepancy(full.listing);
    EXPECT_LE(std::fabs(d.second), 0.01);
  }
}

TEST(BcfBudgetRun, FlowBetweenConstantHeadsCountsOnlyWithChtoch) {
  // Two constant heads side by side (10 and 4), then a variable cell and a constant head of 0;
  // conductance 2 between neighbours.
  for (bool chtoch : {false, true}) {
    SCOPED_TRACE(chtoch);
    ModelRun r;
    Files f;
    f.bas = rowBas(4, 10.0, 0.0, 2.0, "       1.0         1       1.0\n");
    f.bas.replace(f.bas.find(" -1 1 1 -1"), 10, " -1 -1 1 -1");
    f.bas.replace(f.bas.find(" 10 2 2 0"), 9, " 10 4 2 0");
    if (chtoch) f.bas.replace(f.bas.find("\n\n"), 2, "\nCHTOCH\n");
    f.bcf =
        "         1        40    -999.0         0       0.0         0         0\n"
        " 0\n"
        "CONSTANT 1.0\nCONSTANT 1.0\nCONSTANT 1.0\n"
        "CONSTANT 2.0\n";
    f.oc = "PERIOD 1 STEP 1\n    SAVE BUDGET\n    PRINT BUDGET\n";
    f.cbc = true;
    r.go(f);
    ASSERT_EQ(r.result.status, 0) << r.result.err;
    const auto m = byLabel(r.budget());
    const auto& right = m.at("FLOW RIGHT FACE ").values;
    const auto& ch = m.at("   CONSTANT HEAD").values;
    EXPECT_FLOAT_EQ(right[1], 4.0f);  // 4 -> 2 -> 0: the variable cell sits at 2
    EXPECT_FLOAT_EQ(right[2], 4.0f);
    const BudgetRow row = budgetRow(r.listing, "   CONSTANT HEAD");
    if (chtoch) {
      EXPECT_FLOAT_EQ(right[0], 12.0f);
      EXPECT_FLOAT_EQ(ch[0], 12.0f);
      EXPECT_FLOAT_EQ(ch[1], -12.0f + 4.0f);
      EXPECT_NEAR(row.rateIn, 16.0, 1e-4);  // 12 from the first cell, 4 from the second
      EXPECT_NEAR(row.rateOut, 16.0, 1e-4);
    } else {
      EXPECT_EQ(right[0], 0.0f);
      EXPECT_EQ(ch[0], 0.0f);
      EXPECT_FLOAT_EQ(ch[1], 4.0f);
      EXPECT_NEAR(row.rateIn, 4.0, 1e-4);
      EXPECT_NEAR(row.rateOut, 4.0, 1e-4);
    }
  }
}

TEST(BcfBudgetRun, ConstantHeadRatesPrintedWhenTheUnitIsNegative) {
  ModelRun r;
  Files f;
  f.bas = rowBas(3, 10.0, 0.0, 5.0, "       1.0         1       1.0\n");
  f.bcf =
      "         1        -1    -999.0         0       0.0         0         0\n"
      " 0\n"
      "CONSTANT 1.0\nCONSTANT 1.0\nCONSTANT 1.0\n"
      "CONSTANT 2.0\n";
  f.oc = "PERIOD 1 STEP 1\n    SAVE BUDGET\n";
  r.go(f);
  ASSERT_EQ(r.result.status, 0) << r.result.err;
  EXPECT_TRUE(contains(r.listing, " CONSTANT-HEAD CELL-BY-CELL FLOWS WILL BE PRINTED WHEN ICBCFL IS NOT 0"));
  std::vector<std::string> printed;
  for (std::size_t n = 0; n < r.listing.size(); ++n) {
    if (r.listing[n] != "    CONSTANT HEAD   PERIOD  1   STEP  1") continue;
    printed.assign(r.listing.begin() + static_cast<long>(n), r.listing.begin() + static_cast<long>(n) + 3);
  }
  const std::vector<std::string> want = {
      "    CONSTANT HEAD   PERIOD  1   STEP  1",
      " LAYER  1   ROW   1   COL   1   RATE    10.0000    ",
      " LAYER  1   ROW   1   COL   3   RATE   -10.0000    ",
  };
  EXPECT_EQ(printed, want);
  EXPECT_FALSE(r.dir.exists("m.cbc"));
}

TEST(BcfInput, FreeFormatRecordsReadLikeFixedOnes) {
  ModelRun fixed, free;
  Files f;
  f.bas = rowBas(5, 10.0, 0.0, 5.0, "       1.0         1       1.0\n");
  f.bcf =
      "         1         0    -999.0         0       0.0         0         0\n"
      " 0\n"
      "CONSTANT 1.0\nCONSTANT 1.0\nCONSTANT 1.0\n"
      "CONSTANT 2.0\n";
  f.sip = "        50         5\n       0.0    1.0E-5         0     0.001         0\n";
  f.oc = kSaveLastStep1;
  fixed.go(f);
  f.bas.replace(f.bas.find("\n\n"), 2, "\nFREE\n");
  f.bas.replace(f.bas.find("         1         1\n"), 21, "1 1\n");
  f.bas.replace(f.bas.find("    -999.0"), 10, "-999.");
  f.bas.replace(f.bas.find("       1.0         1       1.0"), 30, "1.0 1 1.0");
  f.bcf.replace(0, f.bcf.find('\n'), "1, 0, -999.0, 0, 0.0, 0, 0");
  f.sip = "50 5\n0.0 1.0E-5 0 0.001 0\n";
  free.go(f);
  ASSERT_EQ(fixed.result.status, 0) << fixed.result.err;
  ASSERT_EQ(free.result.status, 0) << free.result.err;
  EXPECT_EQ(fixed.heads()[0].values, free.heads()[0].values);
  EXPECT_TRUE(contains(free.listing, "     5 ITERATION PARAMETERS CALCULATED FROM SPECIFIED WSEED = 0.00100000 :"));
  EXPECT_TRUE(contains(fixed.listing, " 0.000000E+00 0.822172E+00 0.968377E+00 0.994377E+00 0.999000E+00"));
  // An acceleration of 0 is used as 1, a printout interval of 0 as 999.
  EXPECT_TRUE(contains(fixed.listing, "                 ACCELERATION PARAMETER =     1.0000"));
  EXPECT_TRUE(contains(fixed.listing, "      SIP HEAD CHANGE PRINTOUT INTERVAL =      999"));
}

TEST(BcfInput, InputErrorsStopWithTheirMessage) {
  struct Case {
    int layers;
    const char* codes;
    const char* message;
  };
  const Case cases[] = {
      {201, "", " SPACE IS RESERVED FOR A MAXIMUM OF 200 LAYERS IN ARRAYS LAYCON AND LAYAVG"},
      {2, " 0 1", " LAYER TYPE 1 IS ONLY ALLOWED IN TOP LAYER"},
      {1, "40", " INVALID INTERBLOCK T CODE:  40"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.message);
    ModelRun r;
    Files f;
    f.bas = "errors\n\n" + std::to_string(c.layers).insert(0, 10 - std::to_string(c.layers).size(), ' ') +
            "         1         1         1         4         0\n\n         1         0\n";
    f.bcf = std::string("         1         0    -999.0         0       0.0         0         0\n") + c.codes + "\n";
    r.go(f);
    EXPECT_NE(r.result.status, 0);
    ASSERT_FALSE(r.listing.empty());
    EXPECT_EQ(rtrim(r.listing.back()), c.message);
  }
}

TEST(SipInput, NoIterationParametersStops) {
  ModelRun r;
  Files f;
  f.bas = rowBas(3, 1.0, 0.0, 0.5, "       1.0         1       1.0\n");
  f.bcf =
      "         1         0    -999.0         0       0.0         0         0\n"
      " 0\n"
      "CONSTANT 1.0\nCONSTANT 1.0\nCONSTANT 1.0\nCONSTANT 1.0\n";
  f.sip = "        50         0\n       1.0    1.0E-5         1       0.0         0\n";
  r.go(f);
  EXPECT_NE(r.result.status, 0);
  ASSERT_FALSE(r.listing.empty());
  EXPECT_EQ(rtrim(r.listing.back()), " THE NUMBER OF ITERATION PARAMETERS MUST BE AT LEAST 1");
}

}  // namespace
}  // namespace aqx::test
