// IBS driven phase by phase on small hand-built grids: the allocate lines and its two
// cancellations, the prepared arrays, the equation terms on both sides of the critical head, the
// budget (compaction, record, row, critical head lowered) and the package's output control.
#include "special/ibs.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "driver/model.hpp"
#include "io/record.hpp"
#include "support/binary_files.hpp"
#include "support/model_builder.hpp"

namespace aqx {
namespace {

using test::ModelBuilder;
using test::PackageRun;

std::vector<std::string> linesOf(const std::string& text) {
  return test::lines(text);
}

std::string trimmed(std::string s) {
  while (!s.empty() && s.back() == ' ') s.pop_back();
  return s;
}

// Lines equal to `text`, trailing blanks aside.
int count(const std::vector<std::string>& lines, const std::string& text) {
  int n = 0;
  for (const std::string& l : lines) n += trimmed(l) == trimmed(text) ? 1 : 0;
  return n;
}

// 3 layers of 2 rows by 3 columns, interbeds in layers 1 and 3. The starting heads are 10, so the
// critical head of 12 in layer 1 and the 11 in layer 3 are lowered to 10.
const char* kThreeLayers =
    "        40         1\n"
    " 1 0 1\n"
    "CONSTANT 12.0\n"
    "INTERNAL 1.0 (FREE) -1\n0.01 0.02 0.03\n0.04 0.05 0.06\n"
    "CONSTANT 0.5\n"
    "CONSTANT 0.25\n"
    "INTERNAL 1.0 (FREE) -1\n8 9 10\n11 7 8\n"
    "CONSTANT 0.02\n"
    "CONSTANT 0.8\n"
    "CONSTANT 0.0\n"
    "        -2         3         5        51        52        53\n";

struct ThreeLayers {
  ModelBuilder b{3, 2, 3};
  PackageRun run{b, "IBS", kIBS, kThreeLayers};
  IbsPackage& ibs() { return run.as<IbsPackage>(); }
  Model& m() { return b.model(); }

  ThreeLayers() {
    const float delr[] = {1.0f, 2.0f, 3.0f}, delc[] = {1.0f, 4.0f};
    std::copy(delr, delr + 3, m().DELR);
    std::copy(delc, delc + 2, m().DELC);
    b.setAllHeads(10.0);
    b.ibound(1, 2, 3) = 0;
    b.ibound(3, 1, 3) = -1;
  }
  void prepare() {
    run.allocate();
    run.readPrepare();
  }
};

TEST(IbsPrepare, AllocateLinesArraysAndOutputSettings) {
  ThreeLayers t;
  const std::int64_t before = t.m().work->XNEXT();
  t.prepare();
  IbsPackage& ibs = t.ibs();
  EXPECT_EQ(t.m().work->XNEXT() - before, 4 * 6 * 2);
  ASSERT_EQ(ibs.NIBS(), 2);
  EXPECT_EQ(ibs.interbedLayer(1), 1);
  EXPECT_EQ(ibs.interbedLayer(2), 3);

  // Storage coefficients times DELR(j) * DELC(i).
  EXPECT_FLOAT_EQ(ibs.ELASTICSTOR(1, 1, 1), 0.01f);
  EXPECT_FLOAT_EQ(ibs.ELASTICSTOR(1, 2, 3), 0.06f * 12.0f);
  EXPECT_FLOAT_EQ(ibs.VIRGINSTOR(1, 2, 2), 0.5f * 8.0f);
  EXPECT_FLOAT_EQ(ibs.VIRGINSTOR(2, 1, 2), 0.8f * 2.0f);
  EXPECT_FLOAT_EQ(ibs.COMPACTION(1, 2, 3), 0.25f);
  // Critical heads above the starting head are lowered to it; lower ones stay.
  const float want[2][6] = {{10, 10, 10, 10, 10, 10}, {8, 9, 10, 10, 7, 8}};
  for (int kq = 1; kq <= 2; ++kq) {
    for (int n = 0; n < 6; ++n)
      EXPECT_EQ(ibs.PRECONHEAD(kq, n / 3 + 1, n % 3 + 1), want[kq - 1][n]) << kq << n;
  }
  EXPECT_EQ(ibs.settings().SUBFMT, -2);
  EXPECT_EQ(ibs.settings().CRITUNIT, 53);

  const auto l = linesOf(t.b.listing());
  char used[80];
  std::snprintf(used, sizeof used, " %8lld ELEMENTS OF X ARRAY USED OUT OF99000000",
                static_cast<long long>(t.m().work->used()));
  const std::vector<std::string> head = {
      "0IBS1 -- INTERBED STORAGE PACKAGE, VERSION 1, 06/07/96 INPUT READ FROM UNIT 29",
      " CELL-BY-CELL FLOW TERMS WILL BE SAVED ON UNIT 40",
      " OUTPUT CONTROL RECORDS FOR IBS1 PACKAGE WILL BE READ EACH TIME STEP.",
      " INTERBED STORAGE IN LAYER(S)  1 3",
      "       48 ELEMENTS OF X ARRAY USED FOR INTERBED STORAGE",
      used,
  };
  ASSERT_GE(l.size(), head.size() + 6);
  EXPECT_EQ(std::vector<std::string>(l.begin(), l.begin() + 6), head);
  const std::vector<std::string> tail = {
      "0    SUBSIDENCE PRINT FORMAT IS NUMBER  -2", "     COMPACTION PRINT FORMAT IS NUMBER   3",
      "  CRITICAL HEAD PRINT FORMAT IS NUMBER   5", "0    UNIT FOR SAVING SUBSIDENCE IS  51",
      "     UNIT FOR SAVING COMPACTION IS  52",     "  UNIT FOR SAVING CRITICAL HEAD IS  53",
  };
  EXPECT_EQ(std::vector<std::string>(l.end() - 6, l.end()), tail);
}

TEST(IbsPrepare, SteadyStateOrNoInterbedLayerCancelsThePackage) {
  struct Case {
    const char* name;
    int isteady;
    const char* input;
    std::vector<std::string> lines;
  };
  const std::string banner = "0IBS1 -- INTERBED STORAGE PACKAGE, VERSION 1, 06/07/96 INPUT READ FROM UNIT 29";
  const Case cases[] = {
      // Nothing is read in a steady-state run, not even record 1.
      {"steady state",
       1,
       "not a record\n",
       {banner, " INTERBED STORAGE INAPPROPRIATE FOR STEADY-STATE PROBLEM.",
        " OPTION CANCELLED, SIMULATION CONTINUING."}},
      {"no layer flagged",
       0,
       "         0         0\n 0 0-1\n",
       {banner, " NO LAYER HAS INTERBED STORAGE.", " OPTION CANCELLED, SIMULATION CONTINUING."}},
      // Only NLAYER flags are read: a flag for a fourth layer of a 3-layer model is ignored.
      {"flag beyond the last layer",
       0,
       "         0         0\n 0 0 0 1\n",
       {banner, " NO LAYER HAS INTERBED STORAGE.", " OPTION CANCELLED, SIMULATION CONTINUING."}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ModelBuilder b(3, 2, 3);
    b.model().ISTEADY = c.isteady;
    PackageRun run(b, "IBS", kIBS, c.input);
    const std::int64_t before = b.model().work->XNEXT();
    run.allocate();
    EXPECT_EQ(b.model().PKGUNIT[kIBS], 0);
    EXPECT_EQ(b.model().work->XNEXT(), before);
    EXPECT_EQ(linesOf(b.listing()), c.lines);
  }
}

TEST(IbsPrepare, LayerFlagsContinueOnTheNextRecordBeyondFortyLayers) {
  ModelBuilder b(45, 1, 1);
  std::string input = "         0         0\n" + std::string(40 * 2, ' ') + "\n 0 1 0 0 0\n";
  for (int n = 0; n < 4; ++n) input += "CONSTANT 1.0\n";
  PackageRun run(b, "IBS", kIBS, input);
  run.allocate();
  run.readPrepare();
  IbsPackage& ibs = run.as<IbsPackage>();
  ASSERT_EQ(ibs.NIBS(), 1);
  EXPECT_EQ(ibs.interbedLayer(1), 42);
  EXPECT_EQ(count(linesOf(b.listing()), " INTERBED STORAGE IN LAYER(S) 42"), 1);
}

// Heads after the step in the cells that move (all others stay at 10, the head of the step's
// start): an elastic rise and a virgin decline in layer 1, a decline across the critical head of 8
// and an elastic decline above the critical head of 7 in layer 3.
void moveHeads(Model& m) {
  m.HEADNEW[m.cell(1, 1, 1)] = 9.0;
  m.HEADNEW[m.cell(1, 1, 2)] = 10.5;
  m.HEADNEW[m.cell(3, 1, 1)] = 7.5;
  m.HEADNEW[m.cell(3, 2, 2)] = 8.0;
  m.HEADNEW[m.cell(1, 2, 3)] = 3.0;  // no flow
  m.HEADNEW[m.cell(3, 1, 3)] = 3.0;  // constant head
  m.HEADNEW[m.cell(2, 1, 1)] = 3.0;  // no interbeds
}

TEST(IbsFormulate, ElasticAboveAndVirginBelowTheCriticalHead) {
  ThreeLayers t;
  t.prepare();
  Model& m = t.m();
  m.DELT = 2.0f;
  moveHeads(m);
  t.run.formulate();
  // The inflow -HCOEF h + ... : e (h0 - Hc) + v (Hc - h) with e = E / DELT, v = V / DELT below Hc.
  EXPECT_FLOAT_EQ(t.run.hcoef(1, 1, 1), -0.25f);  // virgin: V = 0.5, h0 = Hc = 10
  EXPECT_FLOAT_EQ(t.run.rhs(1, 1, 1), -2.5f);
  EXPECT_FLOAT_EQ(t.run.hcoef(1, 1, 2), -0.02f);  // elastic: E = 0.02 * 2
  EXPECT_FLOAT_EQ(t.run.rhs(1, 1, 2), -0.2f);
  EXPECT_FLOAT_EQ(t.run.hcoef(3, 1, 1), -0.4f);   // virgin below Hc = 8, started above it
  EXPECT_FLOAT_EQ(t.run.rhs(3, 1, 1), -3.22f);    // -(0.4 - 0.01) 8 - 0.01 10
  EXPECT_FLOAT_EQ(t.run.hcoef(3, 2, 2), -0.08f);  // elastic: E = 0.02 * 8
  EXPECT_FLOAT_EQ(t.run.rhs(3, 2, 2), -0.8f);
  // A head exactly at the critical head is elastic.
  EXPECT_FLOAT_EQ(t.run.hcoef(1, 2, 1), -0.08f);  // E = 0.04 * 4
  for (auto [k, i, j] : {std::array{1, 2, 3}, std::array{3, 1, 3}, std::array{2, 1, 1}}) {
    EXPECT_EQ(t.run.hcoef(k, i, j), 0.0f) << k << i << j;
    EXPECT_EQ(t.run.rhs(k, i, j), 0.0f) << k << i << j;
  }
}

TEST(IbsBudget, ReleasedVolumeCompactionRecordRowAndCriticalHead) {
  // ICBCFL 2 asks for compact records, but the package has only the full form.
  for (int icbcfl : {1, 2}) {
    SCOPED_TRACE(icbcfl);
    ThreeLayers t;
    t.prepare();
    Model& m = t.m();
    t.b.output(40, "cbc.bin");
    m.DELT = 2.0f;
    m.KSTEP = 3;
    m.KPERIOD = 2;
    moveHeads(m);
    t.run.budget(icbcfl);
    IbsPackage& ibs = t.ibs();

    // Released volumes: 0.5 (virgin, layer 1), -0.02 (elastic rise), 0.44 (across Hc = 8:
    // 0.02 * 2 + 0.8 * 0.5) and 0.32 (elastic, area 8); compaction is volume over cell area.
    EXPECT_NEAR(ibs.COMPACTION(1, 1, 1), 0.75f, 1e-6);
    EXPECT_NEAR(ibs.COMPACTION(1, 1, 2), 0.24f, 1e-6);
    EXPECT_FLOAT_EQ(ibs.COMPACTION(1, 2, 2), 0.25f);
    EXPECT_NEAR(ibs.COMPACTION(2, 1, 1), 0.44f, 1e-6);
    EXPECT_NEAR(ibs.COMPACTION(2, 2, 2), 0.04f, 1e-6);
    EXPECT_EQ(ibs.COMPACTION(2, 1, 3), 0.0f);   // constant head
    EXPECT_EQ(ibs.COMPACTION(1, 2, 3), 0.25f);  // no flow
    // The critical head follows the head down, never up.
    EXPECT_EQ(ibs.PRECONHEAD(1, 1, 1), 9.0f);
    EXPECT_EQ(ibs.PRECONHEAD(1, 1, 2), 10.0f);
    EXPECT_EQ(ibs.PRECONHEAD(2, 1, 1), 7.5f);
    EXPECT_EQ(ibs.PRECONHEAD(2, 2, 2), 7.0f);
    EXPECT_EQ(ibs.PRECONHEAD(2, 1, 3), 10.0f);

    ASSERT_EQ(m.BUDNEXT, 2);
    EXPECT_EQ(m.BUDNAM[0], "INTERBED STORAGE");
    EXPECT_NEAR(m.BUDVAL[0][0], 1.26f, 1e-6);
    EXPECT_NEAR(m.BUDVAL[0][1], 0.02f, 1e-6);
    EXPECT_NEAR(m.BUDVAL[0][2], 0.63f, 1e-6);
    EXPECT_NEAR(m.BUDVAL[0][3], 0.01f, 1e-6);

    const auto records = test::readBudgetFile(t.b.bytes(40, "cbc.bin"));
    ASSERT_EQ(records.size(), 1u);
    const test::BudgetRecord& r = records[0];
    EXPECT_EQ(r.method, 0);
    EXPECT_EQ(r.label, "INTERBED STORAGE");
    EXPECT_EQ(r.kstep, 3);
    EXPECT_EQ(r.kper, 2);
    EXPECT_EQ(r.nlay, 3);
    EXPECT_NEAR(r.at(1, 1, 1), 0.25f, 1e-6);
    EXPECT_NEAR(r.at(1, 1, 2), -0.01f, 1e-6);
    EXPECT_NEAR(r.at(3, 1, 1), 0.22f, 1e-6);
    EXPECT_NEAR(r.at(3, 2, 2), 0.16f, 1e-6);
    EXPECT_EQ(r.at(2, 1, 1), 0.0f);
    EXPECT_EQ(r.at(3, 1, 3), 0.0f);
  }
}

TEST(IbsBudget, NoRecordWithoutTheRequest) {
  ThreeLayers t;
  t.prepare();
  Model& m = t.m();
  t.b.output(40, "cbc.bin");
  std::fill(m.BUFF, m.BUFF + m.NCELLS, 7.0f);
  moveHeads(m);
  t.run.budget(0);
  EXPECT_EQ(t.b.bytes(40, "cbc.bin"), "");
  EXPECT_EQ(m.BUFF[0], 7.0f);  // BUFF is left alone when nothing is saved
  EXPECT_EQ(m.BUDNEXT, 2);
}

// ---------------------------------------------------------------------------------------------
// Output control

// 3 layers of 1 row by 12 columns, interbeds in layers 2 and 3; subsidence printed in strips of
// code 1 (11 columns a strip), compaction wrapped with code 1, critical head with code 12.
std::string outputInput(int ocflag, const std::string& record5) {
  std::string s = "         0" + std::string(ocflag > 0 ? "         1" : "         0") + "\n 0 1 1\n";
  for (int k = 2; k <= 3; ++k) {
    s += "CONSTANT 5.0\nCONSTANT 0.1\nCONSTANT 1.0\n";
    s += k == 2 ? "CONSTANT 0.5\n" : "INTERNAL 0.01 (FREE) -1\n1 2 3 4 5 6 7 8 9 10 11 12\n";
  }
  if (ocflag > 0) s += "        -1         1         0        51        52         0\n" + record5;
  return s;
}

std::string pageHeading(const std::string& label, int layer, int kstep) {
  char s[120];
  std::snprintf(s, sizeof s, "  %s IN LAYER%3d AT END OF TIME STEP%3d IN STRESS PERIOD  1", label.c_str(),
                layer, kstep);
  return s;
}

TEST(IbsOutput, WithoutRecordFiveSubsidenceIsPrintedAtTheLastStepOnly) {
  ModelBuilder b(3, 1, 12);
  b.setAllHeads(10.0);
  PackageRun run(b, "IBS", kIBS, outputInput(0, ""));
  run.allocate();
  run.readPrepare();
  Model& m = b.model();
  m.KPERIOD = 1;
  m.NSTEPS = 2;
  for (int kstp = 1; kstp <= 2; ++kstp) {
    m.KSTEP = kstp;
    run.package().output(m);
  }
  const auto l = linesOf(b.listing());
  EXPECT_EQ(count(l, pageHeading("      SUBSIDENCE", 1, 1)), 0);
  EXPECT_EQ(count(l, pageHeading("      SUBSIDENCE", 1, 2)), 1);
  // Format number 0 is the wrapped form of code 12: ten values, then the other two.
  EXPECT_EQ(count(l,
                  "   1   0.5100      0.5200      0.5300      0.5400      0.5500      0.5600      0.5700  "
                  "    0.5800      0.5900      0.6000    "),
            1);
  EXPECT_EQ(count(l, "       0.6100      0.6200    "), 1);
  EXPECT_EQ(count(l, pageHeading("      COMPACTION", 2, 2)), 0);
}

TEST(IbsOutput, RecordFiveEchoFormsLayerNumbersAndSaving) {
  ModelBuilder b(3, 1, 12);
  b.setAllHeads(10.0);
  PackageRun run(b, "IBS", kIBS,
                 outputInput(1,
                             "         1         1         1         1         1         1\n"
                             "         0         0         0         0         0         0\n"));
  b.output(51, "sub.bin");
  b.output(52, "com.bin");
  run.allocate();
  run.readPrepare();
  Model& m = b.model();
  m.KPERIOD = 1;
  m.NSTEPS = 2;
  m.PERTIME = 1.5f;
  m.TOTTIME = 4.5f;
  for (int kstp = 1; kstp <= 2; ++kstp) {
    m.KSTEP = kstp;
    run.package().output(m);
  }
  const auto l = linesOf(b.listing());
  const std::vector<std::string> echo = {
      "0FLAGS FOR PRINTING AND STORING SUBSIDENCE, COMPACTION, AND CRITICAL HEAD:",
      "   ISUBPR    ICOMPR    IHCPR     ISUBSV    ICOMSV    IHCSV   ",
      " ------------------------------------------------------------",
      "     1         1         1         1         1         1",
  };
  auto at = std::search(l.begin(), l.end(), echo.begin(), echo.end());
  EXPECT_NE(at, l.end());
  EXPECT_EQ(count(l, "     0         0         0         0         0         0"), 1);

  // Strip form for the negative number: two strips, each with its page heading. Wrapped form for
  // compaction and critical head: one heading per interbed layer, with its model layer number.
  EXPECT_EQ(count(l, pageHeading("      SUBSIDENCE", 1, 1)), 2);
  for (int k : {2, 3}) {
    EXPECT_EQ(count(l, pageHeading("      COMPACTION", k, 1)), 1) << k;
    EXPECT_EQ(count(l, pageHeading("   CRITICAL HEAD", k, 1)), 1) << k;
  }
  // Record 5 of the last step replaces the default subsidence print.
  EXPECT_EQ(count(l, pageHeading("      SUBSIDENCE", 1, 2)), 0);

  const auto sub = test::readLayerFile(b.bytes(51, "sub.bin"));
  ASSERT_EQ(sub.size(), 1u);
  EXPECT_EQ(sub[0].label, "      SUBSIDENCE");
  EXPECT_EQ(sub[0].layer, 1);
  EXPECT_EQ(sub[0].kstep, 1);
  EXPECT_EQ(sub[0].kper, 1);
  EXPECT_EQ(sub[0].pertim, 1.5f);
  EXPECT_EQ(sub[0].totim, 4.5f);
  ASSERT_EQ(sub[0].values.size(), 12u);
  for (int j = 0; j < 12; ++j) EXPECT_FLOAT_EQ(sub[0].values[j], 0.5f + 0.01f * (j + 1)) << j;

  const auto com = test::readLayerFile(b.bytes(52, "com.bin"));
  ASSERT_EQ(com.size(), 2u);
  EXPECT_EQ(com[0].label, "      COMPACTION");
  EXPECT_EQ(com[0].layer, 2);
  EXPECT_EQ(com[1].layer, 3);
  EXPECT_EQ(com[0].values[4], 0.5f);
  EXPECT_FLOAT_EQ(com[1].values[4], 0.05f);
  // The critical-head save flag without a unit writes nothing (and does not fail).
}

}  // namespace
}  // namespace aqx
