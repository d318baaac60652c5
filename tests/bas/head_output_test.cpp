// Head and drawdown output and the order of the output phase.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "bas/bas_harness.hpp"
#include "support/binary_files.hpp"

namespace aqx::test {
namespace {


// One layer of three cells: variable head, no flow, constant head; all start at 10.0.
const char* kRow =
    "         0         1\n"
    "INTERNAL 1 (FREE) -1\n"
    "1 0 -1\n"
    "     999.0\n"
    "CONSTANT 10.0\n"
    "       2.0         2       1.0\n";

TEST(HeadOutput, DrawdownOfActiveNoFlowAndConstantHeadCells) {
  BasHarness h(1, 1, 3);
  h.basFile(kRow);
  h.ocFile(
      "DRAWDOWN SAVE UNIT 31\n"
      "DRAWDOWN SAVE FORMAT (3F8.2) LABEL\n"
      "DRAWDOWN PRINT FORMAT 3\n"
      "PERIOD 1 STEP 1\n"
      "  PRINT DRAWDOWN\n"
      "  SAVE DRAWDOWN\n");
  h.input(31, "dd.txt", "");
  // The solver's result for the step: the active cell fell by 2.5.
  h.run(1, 1, [](Model& m) { m.HEADNEW[0] = 7.5; });
  const auto text = h.listing();
  EXPECT_NE(findLine(text, " DRAWDOWN WILL BE SAVED WITH FORMAT: (3F8.2)             "), -1);
  EXPECT_NE(findLine(text, " SAVED DRAWDOWN WILL BE LABELED"), -1);
  EXPECT_NE(findLine(text, "          DRAWDOWN IN LAYER  1 AT END OF TIME STEP  1 IN STRESS PERIOD  1"), -1);
  // The no-flow cell shows its head (NOFLOWHEAD), not a drawdown.
  EXPECT_NE(findTrimmed(text, "   1      2.5   999.0     0.0"), -1);
  EXPECT_EQ(countContaining(text, " DRAWDOWN WILL BE SAVED ON UNIT  31 AT END OF TIME STEP  1, STRESS PERIOD  1"), 1);
  io::close(31);
  const auto saved = lines(h.dir.readText("dd.txt"));
  ASSERT_EQ(saved.size(), 2u);
  EXPECT_EQ(saved[0].substr(0, 11), "     1    1");
  EXPECT_NE(saved[0].find("        DRAWDOWN     3     1     1 (3F8.2)"), std::string::npos);
  EXPECT_EQ(saved[1], "    2.50  999.00    0.00");
}

TEST(HeadOutput, DrawdownWithoutKeptHeadsIsReportedAndSavingAloneWritesNoTimeSummary) {
  BasHarness h(1, 1, 3);
  std::string bas = kRow;
  bas.replace(0, 20, "         0         0");  // ISTRT 0
  h.basFile(bas);
  h.ocFile(
      "PERIOD 1 STEP 1\n"
      "  PRINT DRAWDOWN\n"
      "  SAVE HEAD\n");  // no head save unit: staged but not written
  h.run(1);
  const auto text = h.listing();
  const int at = findLine(text, " CANNOT CALCULATE DRAWDOWN BECAUSE INITIAL HEAD WAS NOT KEPT AFTER THE");
  ASSERT_GE(at, 0);
  EXPECT_EQ(text[at + 1], " SIMULATION STARTED.  SEE \"ISTRT\" PARAMETER IN BAS INPUT.");
  EXPECT_EQ(countContaining(text, "CANNOT CALCULATE DRAWDOWN"), 1);
  EXPECT_EQ(countContaining(text, "DRAWDOWN IN LAYER"), 0);
  EXPECT_EQ(countContaining(text, "AT END OF TIME STEP  1, STRESS PERIOD"), 0);
  // Only the forced budget of step 2 leads to a time summary.
  EXPECT_EQ(countContaining(text, "TIME SUMMARY AT END OF TIME STEP  1"), 0);
  EXPECT_EQ(countContaining(text, "TIME SUMMARY AT END OF TIME STEP  2"), 1);
}

TEST(HeadOutput, OutputPhaseOrder) {
  BasHarness h(1, 1, 3);
  h.basFile(kRow);
  h.run(1, 0, [](Model& m) {
    m.BUDNAM[0] = "         STORAGE";
    m.BUDVAL[0][2] = 1.0f;
    m.BUDNEXT = 2;
  });
  const auto text = h.listing();
  const int failed = findLine(text, "           ****FAILED TO CONVERGE IN TIME STEP  1 OF STRESS PERIOD  1****");
  const int heads = findLine(text, "              HEAD IN LAYER  1 AT END OF TIME STEP  1 IN STRESS PERIOD  1");
  const int dd = findLine(text, "          DRAWDOWN IN LAYER  1 AT END OF TIME STEP  1 IN STRESS PERIOD  1");
  const int budget = findLine(text, "  VOLUMETRIC BUDGET FOR ENTIRE MODEL AT END OF TIME STEP  1 IN STRESS PERIOD  1");
  const int summary = findLine(text, "          TIME SUMMARY AT END OF TIME STEP  1 IN STRESS PERIOD  1");
  ASSERT_GE(failed, 0);
  EXPECT_LT(failed, heads);
  EXPECT_LT(heads, dd);
  EXPECT_LT(dd, budget);
  EXPECT_LT(budget, summary);
  EXPECT_EQ(text[summary + 6], "1");  // the page mark after the three time lines
  EXPECT_NE(findLine(text, "           ****FAILED TO CONVERGE IN TIME STEP  2 OF STRESS PERIOD  1****"), -1);
}

TEST(HeadOutput, CrossSectionIsOneArrayGovernedByLayerOne) {
  BasHarness h(2, 1, 3);
  h.m.XSECT = 1;
  h.basFile(
      "         1         1\n"
      "INTERNAL 1 (FREE) -1\n"
      "1 1 1\n"
      "1 0 1\n"
      "      -1.0\n"
      "INTERNAL 1.0 (FREE) -1\n"
      "1 2 3\n"
      "4 5 6\n"
      "       1.0         1       1.0\n");
  h.ocFile(
      "         3         0        40         0\n"
      "         1         1         0         0\n"
      "         1         0         1         0\n");
  io::open(40, (h.dir / "heads.bin").string(), io::Form::Stream);
  h.run(1);
  EXPECT_EQ(h.m.IBOUND[4], 0);
  EXPECT_EQ(h.m.HEADNEW[4], -1.0);
  const auto text = h.listing();
  const int at = findLine(text, " OUTPUT FLAGS FOR CROSS SECTION:");
  ASSERT_GE(at, 0);
  EXPECT_EQ(text[at + 2], "        PRINTOUT  PRINTOUT  SAVE    SAVE");
  EXPECT_EQ(text[at + 4], "            1         0       1       0");
  EXPECT_EQ(countContaining(text, "            HEAD FOR CROSS SECTION AT END OF TIME STEP  1 IN STRESS PERIOD  1"),
            1);
  EXPECT_NE(findTrimmed(text, "   1      1.0     2.0     3.0"), -1);
  EXPECT_NE(findTrimmed(text, "   2      4.0    -1.0     6.0"), -1);
  io::close(40);
  const std::string bytes = h.dir.readBytes("heads.bin");
  ASSERT_EQ(bytes.size(), 44u + 6 * 4);
  EXPECT_EQ(intAt(bytes, 32), 3);
  EXPECT_EQ(intAt(bytes, 36), 2);
  EXPECT_EQ(intAt(bytes, 40), -1);
  EXPECT_EQ(realAt(bytes, 44 + 5 * 4), 6.0f);
}

}  // namespace
}  // namespace aqx::test
