// Whole runs of one row of cells between two constant heads with barriers on its faces, against
// the closed form of cells and barriers as resistances in series.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "support/binary_files.hpp"
#include "support/e2e.hpp"

namespace aqx::test {
namespace {

constexpr int kCols = 11;

// BAS input: one row of kCols cells, constant heads `left` and `right` at the two ends, one
// steady stress period, heads saved at its end.
std::string rowBas(double left, double right) {
  std::string b = "one row with barriers\nseries resistances\n";
  char line[128];
  std::snprintf(line, sizeof line, "%10d%10d%10d%10d%10d%10d\n\n%10d%10d\n", 1, 1, kCols, 1, 4, 0, 1, 1);
  b += line;
  b += "INTERNAL 1 (FREE) -1\n";
  for (int j = 1; j <= kCols; ++j) b += (j == 1 || j == kCols) ? " -1" : " 1";
  b += "\n    -999.0\nINTERNAL 1.0 (FREE) -1\n";
  for (int j = 1; j <= kCols; ++j) {
    std::snprintf(line, sizeof line, " %.6g", j == 1 ? left : j == kCols ? right : 0.5 * (left + right));
    b += line;
  }
  b += "\n       1.0         1       1.0\n";
  return b;
}

std::string hfbInput(const std::vector<std::string>& barriers) {
  char line[64];
  std::snprintf(line, sizeof line, "%10zu\n%10zu\n", barriers.size(), barriers.size());
  std::string s = line;
  for (const std::string& b : barriers) s += b;
  return s;
}

// A barrier between columns 5 and 6, given in reverse order.
std::string middleBarrier(const char* barchar) {
  char line[64];
  std::snprintf(line, sizeof line, "%10d%10d%10d%10d%10s\n", 1, 6, 1, 5, barchar);
  return line;
}

struct RowRun {
  TempDir dir;
  RunResult result;
  std::vector<float> heads;
  // flow: the input of the flow package of type `type` (BCF or GFD).
  void go(const std::string& bas, const std::string& flow, const std::string& hfb,
          const std::string& type = "BCF") {
    dir.write("m.nam", "LIST 6 m.lst\nBAS 1 m.bas\n" + type +
                           " 11 m.flow\nHFB 12 m.hfb\nSIP 19 m.sip\nOC 22 m.oc\nDATA(BINARY) 30 m.hds\n");
    dir.write("m.bas", bas);
    dir.write("m.flow", flow);
    dir.write("m.hfb", hfb);
    dir.write("m.sip", "       200         5\n       1.0    1.0E-7         1       0.0         0\n");
    dir.write("m.oc", "HEAD SAVE UNIT 30\nPERIOD 1 STEP 1\n    SAVE HEAD\n");
    result = runAquifex(dir.path(), {}, "m.nam\n");
    const auto layers = readLayerFile(dir.readBytes("m.hds"));
    if (layers.size() == 1) heads = layers[0].values;
  }
};

const char* kRecord1 = "         1         0    -999.0         0       0.0         0         0\n";

TEST(HfbRun, ConfinedRowFollowsTheSeriesResistances) {
  // Every cell-to-cell link has conductance T * DELC / DELR = 10; a barrier of characteristic c on
  // the middle face adds a resistance 1 / (c * DELC) to that link.
  struct Case {
    const char* name;
    std::vector<std::string> barriers;
    double barrierResistance;  // added to the middle link; < 0: the row is cut in two
  };
  const Case cases[] = {
      {"one barrier", {middleBarrier("2.0")}, 0.5},
      {"two barriers on one face", {middleBarrier("2.0"), middleBarrier("0.5")}, 0.5 + 2.0},
      {"zero characteristic", {middleBarrier("0.0")}, -1.0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    RowRun r;
    r.go(rowBas(10.0, 0.0),
         std::string(kRecord1) + " 0\nCONSTANT 1.0\nCONSTANT 1.0\nCONSTANT 1.0\nCONSTANT 10.0\n",
         hfbInput(c.barriers));
    ASSERT_EQ(r.result.status, 0) << r.result.err;
    ASSERT_EQ(r.heads.size(), static_cast<std::size_t>(kCols));
    if (c.barrierResistance < 0.0) {
      for (int j = 0; j < kCols; ++j) EXPECT_NEAR(r.heads[j], j < 5 ? 10.0 : 0.0, 1e-4) << j;
      continue;
    }
    const double total = (kCols - 1) * 0.1 + c.barrierResistance;
    const double q = 10.0 / total;
    double h = 10.0;
    for (int j = 0; j < kCols; ++j) {
      EXPECT_NEAR(r.heads[j], h, 1e-4) << j;
      h -= q * (0.1 + (j == 4 ? c.barrierResistance : 0.0));
    }
  }
}

TEST(HfbRun, ConvertibleRowFollowsDupuitWithTheBarrierAsAddedResistance) {
  // Bottom 0, K = 1, unconfined averaging: the flow through a link is K (h1^2 - h2^2) / 2 exactly.
  // The barrier acts through the mean saturated thickness like a link of 1/K' = 1/K + 1/(c DELC),
  // so h^2 falls linearly with the summed resistances and the barrier is applied once per
  // iteration (twice would double its resistance). BCF with unconfined averaging, types 1 and 3
  // (top far above the heads); under GFD the conductance per unit thickness is 1
  // and the mean thickness of neighbours is arithmetic, which gives the same Dupuit flow.
  struct Case {
    const char* name;
    const char* type;
    std::string flow;
  };
  const std::string bcf = std::string(kRecord1);
  const Case cases[] = {
      {"BCF type 1", "BCF",
       bcf + "31\nCONSTANT 1.0\nCONSTANT 1.0\nCONSTANT 1.0\nCONSTANT 1.0\nCONSTANT 0.0\n"},
      {"BCF type 3", "BCF",
       bcf + "33\nCONSTANT 1.0\nCONSTANT 1.0\nCONSTANT 1.0\nCONSTANT 1.0\nCONSTANT 0.0\nCONSTANT 100.0\n"},
      {"GFD type 1", "GFD",
       "         1         0\n 1\nCONSTANT 1.0\nCONSTANT 1.0\nCONSTANT 1.0\nCONSTANT 1.0\nCONSTANT 0.0\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    RowRun r;
    r.go(rowBas(10.0, 5.0), c.flow, hfbInput({middleBarrier("0.5")}), c.type);
    ASSERT_EQ(r.result.status, 0) << r.result.err;
    ASSERT_EQ(r.heads.size(), static_cast<std::size_t>(kCols));
    const double barrier = 1.0 / 0.5;
    const double total = (kCols - 1) * 1.0 + barrier;
    const double q = (100.0 - 25.0) / (2.0 * total);
    double h2 = 100.0;
    for (int j = 0; j < kCols; ++j) {
      EXPECT_NEAR(r.heads[j], std::sqrt(h2), 1e-4) << j;
      h2 -= 2.0 * q * (1.0 + (j == 4 ? barrier : 0.0));
    }
  }
}

}  // namespace
}  // namespace aqx::test
