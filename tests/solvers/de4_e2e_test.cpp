// Whole runs with BAS, BCF and DE4: a two-layer steady model whose saved heads agree with a direct
// solution of the same conductances, and a run whose head change overflows, which must end with
// the divergence message, a nonzero status and no saved heads.
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

// Two layers of one row: layer 1 held at 10 in column 1, layer 2 held at 0 in column 11.
std::string basFile() {
  std::string b = "two layers of one row\nde4 end to end\n";
  char line[128];
  std::snprintf(line, sizeof line, "%10d%10d%10d%10d%10d%10d\n\n%10d%10d\n", 2, 1, kCols, 1, 4, 0, 1, 1);
  b += line;
  for (int k = 1; k <= 2; ++k) {
    b += "INTERNAL 1 (FREE) -1\n";
    for (int j = 1; j <= kCols; ++j) b += ((k == 1 && j == 1) || (k == 2 && j == kCols)) ? " -1" : " 1";
    b += "\n";
  }
  b += "    -999.0\n";
  for (int k = 1; k <= 2; ++k) {
    b += "INTERNAL 1.0 (FREE) -1\n";
    for (int j = 1; j <= kCols; ++j) b += (k == 1 && j == 1) ? " 10.0" : " 0.0";
    b += "\n";
  }
  b += "       1.0         1       1.0\n";
  return b;
}

// Steady confined layers: transmissivities t1, t2 and the vertical leakance between them.
std::string bcfFile(double t1, double t2, double vcont) {
  char text[512];
  std::snprintf(text, sizeof text,
                "         1         0    -999.0         0       0.0         0         0\n"
                " 0 0\n"
                "CONSTANT 1.0\nCONSTANT 10.0\nCONSTANT 1.0\n"
                "CONSTANT %g\nCONSTANT %g\nCONSTANT %g\n",
                t1, vcont, t2);
  return text;
}

struct ModelRun {
  TempDir dir;
  RunResult result;
  std::vector<std::string> listing;
  void go(const std::string& bcf, const std::string& de4, const std::string& wel = "") {
    std::string nam =
        "LIST 6 m.lst\nBAS 1 m.bas\nBCF 11 m.bcf\nDE4 19 m.de4\nOC 22 m.oc\nDATA(BINARY) 30 m.hds\n";
    if (!wel.empty()) nam += "WEL 12 m.wel\n";
    dir.write("m.nam", nam);
    dir.write("m.bas", basFile());
    dir.write("m.bcf", bcf);
    dir.write("m.de4", de4);
    dir.write("m.oc", "HEAD SAVE UNIT 30\nPERIOD 1 STEP 1\n    SAVE HEAD\n");
    if (!wel.empty()) dir.write("m.wel", wel);
    result = runAquifex(dir.path(), {}, "m.nam\n");
    listing = lines(dir.readText("m.lst"));
    for (std::string& l : listing) l.erase(l.find_last_not_of(' ') + 1);
  }
  bool has(const std::string& prefix) const {
    for (const std::string& l : listing) {
      if (l.rfind(prefix, 0) == 0) return true;
    }
    return false;
  }
};

// The same equations solved independently: cells (k, j), conductances 10 t / 10 along the row
// (DELC 1, DELR 10) and vcont * 10 between the layers, solved by Gauss-Seidel to convergence.
std::vector<double> expectedHeads(double t1, double t2, double vcont) {
  const double cr[2] = {t1 * 1.0 / 10.0, t2 * 1.0 / 10.0};
  const double cv = vcont * 10.0 * 1.0;
  std::vector<double> h(2 * kCols, 0.0);
  h[0] = 10.0;
  for (int sweep = 0; sweep < 200000; ++sweep) {
    double delta = 0.0;
    for (int k = 0; k < 2; ++k) {
      for (int j = 0; j < kCols; ++j) {
        if ((k == 0 && j == 0) || (k == 1 && j == kCols - 1)) continue;
        double sc = 0.0, sch = 0.0;
        if (j > 0) sc += cr[k], sch += cr[k] * h[k * kCols + j - 1];
        if (j < kCols - 1) sc += cr[k], sch += cr[k] * h[k * kCols + j + 1];
        sc += cv, sch += cv * h[(1 - k) * kCols + j];
        const double hn = sch / sc;
        delta = std::max(delta, std::fabs(hn - h[k * kCols + j]));
        h[k * kCols + j] = hn;
      }
    }
    if (delta < 1e-13) break;
  }
  return h;
}

TEST(De4Run, TwoLayerModelSavesTheDirectSolution) {
  const char* inputs[] = {"1 0 0 0\n1 0 1.0 0.0 0\n", "10 0 0 0\n1 0 1.0 1e-5 0\n",
                          "10 0 0 0\n3 0 1.0 1e-5 0\n"};
  const std::vector<double> exact = expectedHeads(100.0, 30.0, 0.02);
  for (const char* de4 : inputs) {
    ModelRun r;
    r.go(bcfFile(100.0, 30.0, 0.02), de4);
    ASSERT_EQ(r.result.status, 0) << de4 << r.result.err;
    EXPECT_TRUE(r.has(" DE45 -- D4 DIRECT SOLUTION PACKAGE"));
    EXPECT_TRUE(r.has("      10 UPPER PART EQS.        10 LOWER PART EQS.    BAND WIDTH + 1 ="));
    const std::vector<LayerRecord> heads = readLayerFile(r.dir.readBytes("m.hds"));
    ASSERT_EQ(heads.size(), 2u);
    for (int k = 0; k < 2; ++k) {
      for (int j = 0; j < kCols; ++j)
        EXPECT_NEAR(heads[k].values[j], exact[k * kCols + j], 1e-4) << de4 << k << j;
    }
  }
}

// A well of 3e38 into a cell with conductances of 1e-3: its head change is beyond single
// precision. The run stops with the divergence message after the step's lines; nothing is saved.
TEST(De4Run, OverflowingHeadChangeEndsTheRunWithNonzeroStatus) {
  ModelRun r;
  r.go(bcfFile(0.01, 0.01, 0.0001), "1 0 0 0\n1 0 1.0 0.0 0\n",
       "         1         0\n         1\n         1         1         6    3.0E38\n");
  EXPECT_NE(r.result.status, 0);
  EXPECT_TRUE(r.has(" MAXIMUM HEAD CHANGE IN TIME STEP  1 OF STRESS PERIOD  1 =")) << r.result.err;
  ASSERT_FALSE(r.listing.empty());
  EXPECT_EQ(r.listing.back().rfind(" DE4: HEAD CHANGE AT LAYER  ", 0), 0u) << r.listing.back();
  EXPECT_NE(r.listing.back().find("IS NOT A FINITE NUMBER IN ITERATION    1 -- THE SOLUTION HAS DIVERGED"),
            std::string::npos);
  EXPECT_TRUE(!r.dir.exists("m.hds") || r.dir.readBytes("m.hds").empty());
}

}  // namespace
}  // namespace aqx::test
