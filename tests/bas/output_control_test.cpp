// Output control: the default, the numeric form (LAYERCODE < 0, 0, > 0) and the word form (header
// lines, blocks, layer lists, COMPACT, out-of-order blocks, errors), and the forced budget.
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <string>
#include <vector>

#include "bas/bas_harness.hpp"
#include "support/binary_files.hpp"

namespace aqx::test {
namespace {

std::string sp(int n) { return std::string(n, ' '); }
std::string rtrim(std::string s) {
  s.erase(s.find_last_not_of(' ') + 1);
  return s;
}

// Three layers of one row by two columns, starting heads kept; periods of 3 steps and 1 step.
const char* kBas =
    "         0         1\n"
    "CONSTANT 1\n"
    "CONSTANT 1\n"
    "CONSTANT 1\n"
    "     999.0\n"
    "CONSTANT 10.0\n"
    "CONSTANT 20.0\n"
    "CONSTANT 30.0\n"
    "       3.0         3       1.0\n"
    "       1.0         1       1.0\n";

// What output control decided at one step.
struct Decision {
  int hd, bud, cbc;
  std::vector<std::array<int, 4>> layers;  // head print, drawdown print, head save, drawdown save
};

std::vector<Decision> runAndRecord(BasHarness& h, int periods) {
  std::vector<Decision> out;
  h.run(periods, 1, [&](Model& m) {
    Decision d{m.HDOUTFLAG, m.BUDPRTFLAG, m.ICBCFL, {}};
    for (int k = 0; k < m.NLAYER; ++k)
      d.layers.push_back({m.IOFLG[k], m.IOFLG[m.NLAYER + k], m.IOFLG[2 * m.NLAYER + k], m.IOFLG[3 * m.NLAYER + k]});
    out.push_back(d);
  });
  return out;
}

TEST(OutputControl, DefaultPrintsHeadsAndBudgetAtPeriodEnds) {
  BasHarness h(3, 1, 2);
  h.basFile(kBas);
  const auto d = runAndRecord(h, 2);
  ASSERT_EQ(d.size(), 4u);
  for (int s : {0, 1}) EXPECT_EQ(d[s].hd + d[s].bud + d[s].cbc, 0) << s;
  for (int s : {2, 3}) {
    EXPECT_EQ(d[s].hd, 1);
    EXPECT_EQ(d[s].bud, 1);
    EXPECT_EQ(d[s].cbc, 0);
  }
  EXPECT_EQ(d[0].layers[2], (std::array<int, 4>{1, 1, 0, 0}));  // starting heads kept: drawdown too
  const auto text = h.listing();
  const int at = findLine(text, " DEFAULT OUTPUT CONTROL");
  ASSERT_GE(at, 0);
  EXPECT_EQ(text[at + 1], " THE FOLLOWING OUTPUT COMES AT THE END OF EACH STRESS PERIOD:");
  EXPECT_EQ(text[at + 2], " TOTAL VOLUMETRIC BUDGET");
  EXPECT_EQ(text[at + 3], sp(11) + "HEAD");
  EXPECT_EQ(text[at + 4], sp(11) + "DRAWDOWN");
  // Three layers of heads and of drawdowns at the end of each of the two periods.
  EXPECT_EQ(countContaining(text, "            HEAD IN LAYER"), 6);
  EXPECT_EQ(countContaining(text, "        DRAWDOWN IN LAYER"), 6);
}

TEST(OutputControl, DefaultWithoutKeptHeadsHasNoDrawdownAndForcesOutputAtFailedSteps) {
  BasHarness h(1, 1, 1);
  h.basFile(
      "         0         0\n"
      "CONSTANT 1\n"
      "     999.0\n"
      "CONSTANT 10.0\n"
      "       3.0         3       1.0\n");
  std::vector<int> hd;
  h.run(1, 0, [&](Model& m) { hd.push_back(m.HDOUTFLAG + 10 * m.BUDPRTFLAG); });
  EXPECT_EQ(hd, (std::vector<int>{11, 11, 11}));
  const auto text = h.listing();
  EXPECT_EQ(countContaining(text, sp(10) + "DRAWDOWN"), 0);
  EXPECT_EQ(countContaining(text, "CANNOT CALCULATE DRAWDOWN"), 0);
  EXPECT_EQ(countContaining(text, "****FAILED TO CONVERGE IN TIME STEP"), 3);
  EXPECT_NE(findLine(text, sp(11) + "****FAILED TO CONVERGE IN TIME STEP  2 OF STRESS PERIOD  1****"), -1);
}

TEST(OutputControl, NumericFormLayerCodes) {
  BasHarness h(3, 1, 2);
  h.basFile(kBas);
  h.ocFile(
      "         0         0        30         0\n"
      "         1         1         0         5\n"  // step 1: one flag record per layer
      "         0         0         1         0\n"
      "         1         0         0         0\n"
      "         0         0         1         0\n"
      "        -1         0         0         0\n"  // step 2: flags of step 1 stay
      "         0         1         0         0\n"  // step 3: one record for all layers
      "         0         1         0         0\n"
      "        -1         1         0         0\n");  // period 2
  io::open(30, (h.dir / "heads.bin").string(), io::Form::Stream);
  const auto d = runAndRecord(h, 2);
  ASSERT_EQ(d.size(), 4u);
  EXPECT_EQ(d[0].hd, 1);
  EXPECT_EQ(d[0].bud, 0);
  EXPECT_EQ(d[0].cbc, 1);  // a nonzero flag becomes 1 in the numeric form
  const std::vector<std::array<int, 4>> perLayer = {{0, 0, 1, 0}, {1, 0, 0, 0}, {0, 0, 1, 0}};
  EXPECT_EQ(d[0].layers, perLayer);
  EXPECT_EQ(d[1].layers, perLayer);
  EXPECT_EQ(d[1].hd, 0);
  EXPECT_EQ(d[2].bud, 1);  // forced at the last step of the period
  EXPECT_EQ(d[2].layers, (std::vector<std::array<int, 4>>(3, {0, 1, 0, 0})));
  EXPECT_EQ(d[3].layers, d[2].layers);

  const auto text = h.listing();
  int at = findLine(text, " OUTPUT CONTROL IS SPECIFIED EVERY TIME STEP");
  ASSERT_GE(at, 0);
  EXPECT_EQ(text[at + 1], " HEAD PRINT FORMAT CODE IS   0    DRAWDOWN PRINT FORMAT CODE IS   0");
  EXPECT_EQ(text[at + 2], " HEADS WILL BE SAVED ON UNIT  30    DRAWDOWNS WILL BE SAVED ON UNIT   0");

  at = findLine(text, " HEAD/DRAWDOWN PRINTOUT FLAG = 1     TOTAL BUDGET PRINTOUT FLAG = 0");
  ASSERT_GE(at, 0);
  EXPECT_EQ(text[at + 1], " CELL-BY-CELL FLOW TERM FLAG = 5");
  const std::vector<std::string> layerTable = {
      " OUTPUT FLAGS FOR EACH LAYER:",
      "          HEAD    DRAWDOWN  HEAD  DRAWDOWN",
      " LAYER  PRINTOUT  PRINTOUT  SAVE    SAVE",
      " " + std::string(41, '-'),
      "    1       0         0       1       0",
      "    2       1         0       0       0",
      "    3       0         0       1       0",
  };
  for (size_t i = 0; i < layerTable.size(); ++i) EXPECT_EQ(text[at + 3 + i], layerTable[i]) << i;
  EXPECT_EQ(countContaining(text, " REUSING PREVIOUS VALUES OF IOFLG"), 2);
  at = findLine(text, " OUTPUT FLAGS FOR ALL LAYERS ARE THE SAME:");
  ASSERT_GE(at, 0);
  EXPECT_EQ(text[at + 1], "   HEAD    DRAWDOWN  HEAD  DRAWDOWN");
  EXPECT_EQ(text[at + 2], " PRINTOUT  PRINTOUT  SAVE    SAVE");
  EXPECT_EQ(text[at + 3], " " + std::string(34, '-'));
  EXPECT_EQ(text[at + 4], "     0         1       0       0");

  // Heads saved for layers 1 and 3 at step 1: one announcement, two layer records.
  EXPECT_EQ(countContaining(text, "HEAD WILL BE SAVED ON UNIT"), 1);
  EXPECT_NE(findLine(text, " HEAD WILL BE SAVED ON UNIT  30 AT END OF TIME STEP  1, STRESS PERIOD  1"), -1);
  EXPECT_EQ(countContaining(text, "            HEAD IN LAYER  2 AT END OF TIME STEP  1 IN STRESS PERIOD  1"), 1);
  io::close(30);
  const std::string bytes = h.dir.readBytes("heads.bin");
  ASSERT_EQ(bytes.size(), 2u * (44 + 2 * 4));
  auto intAt = [&](size_t off) { return test::intAt(bytes, off); };
  auto floatAt = [&](size_t off) { return test::realAt(bytes, off); };
  EXPECT_EQ(intAt(40), 1);
  EXPECT_EQ(floatAt(44), 10.0f);
  EXPECT_EQ(intAt(52 + 40), 3);
  EXPECT_EQ(floatAt(52 + 48), 30.0f);
  EXPECT_EQ(bytes.substr(16, 16), "            HEAD");
}

TEST(OutputControl, WordFormBlocksLayerListsAndOutOfOrderBlock) {
  BasHarness h(3, 1, 2);
  h.basFile(kBas);
  h.ocFile(
      "head print format 4\n"
      "HEAD SAVE UNIT 30\n"
      "\n"
      "COMPACT BUDGET\n"
      "PERIOD 1 STEP 1\n"
      "  PRINT HEAD 2 5 1\n"  // 5 is beyond the 3 layers: the list ends there
      "  SAVE BUDGET\n"
      "  save drawdown\n"
      "PERIOD 1 STEP 9\n"  // period 1 has 3 steps: applied to period 2, step 1
      "  PRINT BUDGET\n");
  const auto d = runAndRecord(h, 2);
  ASSERT_EQ(d.size(), 4u);
  EXPECT_EQ(d[0].hd, 1);
  EXPECT_EQ(d[0].bud, 0);
  EXPECT_EQ(d[0].cbc, 2);
  EXPECT_EQ(d[0].layers, (std::vector<std::array<int, 4>>{{0, 0, 0, 1}, {1, 0, 0, 1}, {0, 0, 0, 1}}));
  EXPECT_EQ(d[1].hd + d[1].bud + d[1].cbc, 0);
  EXPECT_EQ(d[1].layers, (std::vector<std::array<int, 4>>(3, {0, 0, 0, 0})));
  EXPECT_EQ(d[2].bud, 1);  // forced at the period's last step
  EXPECT_EQ(d[2].hd, 0);
  EXPECT_EQ(d[3].bud, 1);
  EXPECT_EQ(d[3].hd, 0);

  const auto text = h.listing();
  int at = findLine(text, " OUTPUT CONTROL IS SPECIFIED ONLY AT TIME STEPS FOR WHICH OUTPUT IS DESIRED");
  ASSERT_GE(at, 0);
  EXPECT_EQ(text[at + 1], " COMPACT CELL-BY-CELL BUDGET FILES WILL BE WRITTEN");
  EXPECT_EQ(text[at + 2], " HEAD PRINT FORMAT CODE IS   4    DRAWDOWN PRINT FORMAT CODE IS   0");
  EXPECT_EQ(text[at + 3], " HEADS WILL BE SAVED ON UNIT  30    DRAWDOWNS WILL BE SAVED ON UNIT   0");

  at = findLine(text, " OUTPUT CONTROL FOR STRESS PERIOD  1   TIME STEP  1");
  ASSERT_GE(at, 0);
  EXPECT_EQ(text[at + 1], "    PRINT HEAD FOR LAYERS:   2");
  EXPECT_EQ(text[at + 2], "    SAVE BUDGET");
  EXPECT_EQ(text[at + 3], "    SAVE DRAWDOWN FOR ALL LAYERS");
  EXPECT_NE(findLine(text, " NO OUTPUT CONTROL FOR STRESS PERIOD  1   TIME STEP  2"), -1);
  EXPECT_NE(findLine(text, " NO OUTPUT CONTROL FOR STRESS PERIOD  1   TIME STEP  3"), -1);

  at = findLine(text, " OUTPUT CONTROL WAS SPECIFIED FOR A NONEXISTENT TIME STEP");
  ASSERT_GE(at, 0);
  const std::vector<std::string> warning = {
      " OR OUTPUT CONTROL DATA ARE NOT ENTERED IN ASCENDING ORDER",
      " OUTPUT CONTROL STRESS PERIOD  1   TIME STEP  9",
      " MODEL STRESS PERIOD  2   TIME STEP  1",
      " APPLYING THE SPECIFIED OUTPUT CONTROL TO THE CURRENT TIME STEP",
      "",
      " OUTPUT CONTROL FOR STRESS PERIOD  2   TIME STEP  1",
      "    PRINT BUDGET",
  };
  for (size_t i = 0; i < warning.size(); ++i) EXPECT_EQ(rtrim(text[at + 1 + i]), warning[i]) << i;
  // Printed heads of layer 2 only, in the print format asked for (F7.2 columns).
  EXPECT_EQ(countContaining(text, " IN LAYER"), 1);
  EXPECT_NE(findTrimmed(text, "   1    20.00   20.00"), -1);
}

TEST(OutputControl, WordFormLayerListOfMoreThanFifteenLayersWraps) {
  BasHarness h(17, 1, 1);
  std::string bas = "         0         0\n";
  for (int k = 0; k < 17; ++k) bas += "CONSTANT 1\n";
  bas += "     999.0\n";
  for (int k = 0; k < 17; ++k) bas += "CONSTANT 5.0\n";
  bas += "       1.0         1       1.0\n";
  h.basFile(bas);
  h.ocFile("PERIOD 1 STEP 1\nSAVE HEAD 17 16 15 14 13 12 11 10 9 8 7 6 5 4 3 2 1 x 4\n");
  h.run(1);
  const auto text = h.listing();
  const int at = findLine(text, "    SAVE HEAD FOR LAYERS:  17 16 15 14 13 12 11 10  9  8  7  6  5  4  3");
  ASSERT_GE(at, 0);
  EXPECT_EQ(text[at + 1], "   2  1");
}

TEST(OutputControl, WordFormErrorsQuoteTheLine) {
  struct Case {
    const char* oc;
    const char* line;
  } cases[] = {
      {"HEAD PRINT 4\n", "HEAD PRINT 4"},
      {"HEAD SAVE FILE 30\n", "HEAD SAVE FILE 30"},
      {"DRAWDOWN KEEP\n", "DRAWDOWN KEEP"},
      {"COMPACT\nBOGUS LINE\n", "BOGUS LINE"},
      {"PERIOD 1 STP 1\n", "PERIOD 1 STP 1"},
      {"PERIOD 1 STEP 1\n  PRINT HEADS\n", "  PRINT HEADS"},
      // Only the words taken so far are upper-cased in the quoted line.
      {"PERIOD 1 STEP 1\n  write budget\n", "  WRITE budget"},
  };
  for (const auto& c : cases) {
    BasHarness h(3, 1, 2);
    h.basFile(kBas);
    h.ocFile(c.oc);
    EXPECT_THROW(h.run(1), io::RunStop) << c.oc;
    const auto text = h.listing();
    ASSERT_GE(text.size(), 2u);
    EXPECT_EQ(text[text.size() - 2], " ERROR READING OUTPUT CONTROL INPUT DATA:") << c.oc;
    EXPECT_EQ(text.back().size(), 81u);
    EXPECT_EQ(rtrim(text.back()), std::string(" ") + c.line) << c.oc;
  }
}

}  // namespace
}  // namespace aqx::test
