// Whole runs of the program on models with only the basic package: no flow package and no solver,
// so the first step does not converge and CONTINUEFLAG 1 carries the run on with heads as read.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "bas/bas_harness.hpp"
#include "support/e2e.hpp"

namespace aqx::test {
namespace {

const char* kNameFile =
    "LIST 6 m.lst\n"
    "BAS 1 m.bas\n"
    "OC 22 m.oc\n"
    "DATA(BINARY) 30 m.hds\n";

struct ModelRun {
  RunResult result;
  std::vector<std::string> listing;
  std::string heads;
};

ModelRun runModel(const std::string& bas, const std::string& oc) {
  TempDir dir;
  dir.write("m.nam", kNameFile);
  dir.write("m.bas", bas);
  dir.write("m.oc", oc);
  ModelRun r;
  r.result = runAquifex(dir.path(), {}, "m.nam\n");
  r.listing = lines(dir.readText("m.lst"));
  r.heads = dir.readBytes("m.hds");
  return r;
}

TEST(EndToEnd, FreeAndFixedFormsGiveTheSameResults) {
  const std::string arrays =
      "CONSTANT 1\n"
      "INTERNAL 1 (FREE) -1\n"
      "1 1 1\n"
      "1 0 -1\n";
  const std::string heads =
      "CONSTANT 10.0\n"
      "INTERNAL 1.0 (FREE) -1\n"
      "20.0 21.0 22.0\n"
      "23.0 24.0 25.0\n";
  const ModelRun fixedRun = runModel(
      "Two-layer model\n"
      "read in fixed columns and in free format\n"
      "         2         2         3         2         4         1\n"
      "\n"
      "         0         1\n" +
          arrays + "     999.0\n" + heads +
          "      10.0         4       2.0\n"
          "       5.0         1       1.0\n",
      "         0         0        30         0\n"
      "         0         1         1         0\n"
      "         1         1         1         1\n"
      "        -1         0         0         0\n"
      "        -1         1         0         0\n"
      "         0         1         0         0\n"
      "         0         0         1         0\n"
      "        -1         1         0         1\n");
  const ModelRun freeRun = runModel(
      "Two-layer model\n"
      "read in fixed columns and in free format\n"
      "2 2 3 2 4 1\n"
      "FREE\n"
      "0 1\n" +
          arrays + "999.0\n" + heads +
          "10.0 4 2.0\n"
          "5.0,1,1.0\n",
      "0 0 30 0\n"
      "0 1 1 0\n"
      "1 1 1 1\n"
      "-1 0 0 0\n"
      "-1 1 0 0\n"
      "0 1 0 0\n"
      "0 0 1 0\n"
      "-1 1 0 1\n");
  EXPECT_EQ(fixedRun.result.status, 0) << fixedRun.result.out << fixedRun.result.err;
  EXPECT_EQ(freeRun.result.status, 0) << freeRun.result.out << freeRun.result.err;

  std::vector<std::string> freeListing;
  for (const auto& l : freeRun.listing)
    if (l != " THE FREE FORMAT OPTION HAS BEEN SELECTED") freeListing.push_back(l);
  EXPECT_EQ(freeListing.size() + 1, freeRun.listing.size());
  EXPECT_EQ(freeListing, fixedRun.listing);
  // Heads of both layers saved at steps 1, 3 (flags of step 1 reused), 4 and 5.
  EXPECT_EQ(fixedRun.heads.size(), 8u * (44 + 6 * 4));
  EXPECT_EQ(freeRun.heads, fixedRun.heads);

  EXPECT_NE(findLine(fixedRun.listing, "                            INITIAL TIME STEP SIZE =  0.6666667    "), -1);
  EXPECT_NE(findLine(fixedRun.listing, "   TIME STEP LENGTH 4.60800E+05  7680.0      128.00      5.3333     1.46019E-02"),
            -1);
  EXPECT_EQ(countContaining(fixedRun.listing, "WARNING -- CONVERGENCE NOT ACHIEVED BUT CONTINUING ANYWAY PER USER REQUEST"),
            1);
}

TEST(EndToEnd, OptionsBannerTitleAndUndefinedTimeUnit) {
  const ModelRun r = runModel(
      "Cross section\n"
      "options in lower case, FREE twice\n"
      "2,1,3,1,7,1\n"
      "free xsection FREE chtoch\n"
      "0 0\n"
      "INTERNAL 1 (FREE) -1\n"
      "1 1 1\n"
      "-1 0 1\n"
      "-5.0\n"
      "INTERNAL 1.0 (FREE) -1\n"
      "1 2 3\n"
      "4 5 6\n"
      "2.5 1 1.0\n",
      "HEAD PRINT FORMAT 3\n"
      "PERIOD 1 STEP 1\n"
      "  PRINT HEAD\n"
      "  PRINT BUDGET\n");
  EXPECT_EQ(r.result.status, 0) << r.result.out << r.result.err;
  const auto& text = r.listing;
  const int banner = findLine(text, "1" + std::string(33, ' ') + "AQUIFEX");
  ASSERT_GE(banner, 0);
  EXPECT_EQ(text[banner + 1], "      KESTREL MODULAR FINITE-DIFFERENCE GROUND-WATER FLOW MODEL");
  EXPECT_EQ(text[banner + 3], " Cross section" + std::string(67, ' '));
  EXPECT_EQ(text[banner + 4], " options in lower case, FREE twice" + std::string(47, ' '));
  const std::vector<std::string> expected = {
      " THE FREE FORMAT OPTION HAS BEEN SELECTED",
      " THE FREE FORMAT OPTION HAS BEEN SELECTED",
      "    2 LAYERS         1 ROWS         3 COLUMNS",
      "   1 STRESS PERIOD(S) IN SIMULATION",
      " MODEL TIME UNITS ARE UNDEFINED",
      " CROSS SECTION OPTION IS SPECIFIED",
      " CALCULATE FLOW BETWEEN ADJACENT CONSTANT-HEAD CELLS",
  };
  for (size_t i = 0; i < expected.size(); ++i) EXPECT_EQ(text[banner + 5 + i], expected[i]) << i;
  // The title again on a new page before the boundary array.
  EXPECT_EQ(countContaining(text, " Cross section"), 2);
  EXPECT_EQ(countContaining(text, "HEAD FOR CROSS SECTION AT END OF TIME STEP  1 IN STRESS PERIOD  1"), 1);
  EXPECT_NE(findTrimmed(text, "   2      4.0    -5.0     6.0"), -1);
  EXPECT_NE(findLine(text, std::string(21, ' ') + "     TIME STEP LENGTH =    2.50000    "), -1);
  EXPECT_NE(findLine(text, std::string(21, ' ') + "TOTAL SIMULATION TIME =    2.50000    "), -1);
}

TEST(EndToEnd, PeriodErrorStopsTheRunWithNonzeroStatus) {
  const ModelRun r = runModel(
      "t\n"
      "t\n"
      "         1         1         1         2         4         1\n"
      "\n"
      "         0         0\n"
      "CONSTANT 1\n"
      "       0.0\n"
      "CONSTANT 1.0\n"
      "       1.0         1       1.0\n"
      "       1.0         1       0.0\n",
      "PERIOD 1 STEP 1\n");
  EXPECT_NE(r.result.status, 0);
  ASSERT_FALSE(r.listing.empty());
  EXPECT_EQ(r.listing.back(), " TSMULT MUST BE GREATER THAN 0.0");
  EXPECT_EQ(countContaining(r.listing, "STRESS PERIOD NO.   2, LENGTH =   1.000000"), 1);
}

TEST(EndToEnd, BadDimensionLinesStopWithAMessage) {
  const std::string rest =
      "\n"
      "         0         0\n"
      "CONSTANT 1\n"
      "       0.0\n"
      "CONSTANT 1.0\n"
      "       1.0         1       1.0\n";
  // A grid without cells in some direction: reported in the listing.
  const ModelRun empty = runModel("t\nt\n         1         0         1         1         4         1\n" + rest, "");
  EXPECT_NE(empty.result.status, 0);
  ASSERT_FALSE(empty.listing.empty());
  EXPECT_EQ(empty.listing.back(), " NUMBERS OF LAYERS, ROWS AND COLUMNS MUST ALL BE AT LEAST 1");
  // A value that is not an integer in the fixed columns: a read error on the console.
  const ModelRun bad = runModel("t\nt\n       1.5         1         1         1         4         1\n" + rest, "");
  EXPECT_NE(bad.result.status, 0);
  EXPECT_NE(bad.result.err.find("line 3"), std::string::npos) << bad.result.err;
  EXPECT_NE(bad.result.err.find("six integers"), std::string::npos) << bad.result.err;
  EXPECT_EQ(countContaining(bad.listing, "LAYERS"), 0);
}

TEST(EndToEnd, DemoModelRuns) {
  TempDir dir;
  std::filesystem::copy(sourcePath("examples/demo"), dir.path(), std::filesystem::copy_options::recursive);
  const RunResult result = runAquifex(dir.path(), {}, "demo.nam\n");
  EXPECT_EQ(result.status, 0) << result.out << result.err;
  const auto text = lines(dir.readText("demo.lst"));
  // Two layers of 15 x 20 cells saved at each of the 5 + 8 time steps.
  EXPECT_EQ(countContaining(text, "HEAD WILL BE SAVED ON UNIT  30"), 13);
  EXPECT_EQ(dir.readBytes("demo.hds").size(), 26u * (44 + 300 * 4));
}

}  // namespace
}  // namespace aqx::test
