// STR driven phase by phase on small hand-built grids: leakage of one reach in every branch, the
// routing of a network with tributaries and diversions, Manning stages, the equation terms, the
// budget row and cell-by-cell records, the listing tables, and the refused inputs.
#include "special/str.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "io/record.hpp"
#include "support/binary_files.hpp"
#include "support/model_builder.hpp"

namespace aqx {
namespace {

using test::ModelBuilder;
using test::PackageRun;

// Input records in their fixed columns.
std::string record1(int mx, int nseg, int ntrib, int div, int calc, float manning, int cb, int flow) {
  char b[128];
  std::snprintf(b, sizeof b, "%10d%10d%10d%10d%10d%10.4f%10d%10d\n", mx, nseg, ntrib, div, calc, manning, cb,
                flow);
  return b;
}
std::string record2(int n, int echo = 0, int print = 0) {
  char b[64];
  std::snprintf(b, sizeof b, "%10d%10d%10d\n", n, echo, print);
  return b;
}
struct Reach {
  int k = 1, i = 1, j = 1, seg = 1, rch = 1;
  float flow = 0, stage = 0, cond = 0, bot = 0, top = 0;
};
std::string reach(const Reach& r) {
  char b[128];
  std::snprintf(b, sizeof b, "%5d%5d%5d%5d%5d%15.4f%10.4f%10.4f%10.4f%10.4f\n", r.k, r.i, r.j, r.seg, r.rch,
                r.flow, r.stage, r.cond, r.bot, r.top);
  return b;
}
std::string channel(float w, float slope, float rough) {
  char b[64];
  std::snprintf(b, sizeof b, "%10.4f%10.6f%10.4f\n", w, slope, rough);
  return b;
}
std::string ints(const std::vector<int>& v, const char* fmt) {
  std::string s;
  char b[16];
  for (int x : v) {
    std::snprintf(b, sizeof b, fmt, x);
    s += b;
  }
  return s + "\n";
}

bool has(const std::string& text, const std::string& piece) {
  return text.find(piece) != std::string::npos;
}

// ---------------------------------------------------------------------------------------------
// One reach: the branches of the leakage and the terms they add.

TEST(StrReach, LeakageBranchesAndEquationTerms) {
  // Stage 10, conductance 2, bed bottom 5, bed top 8.
  struct Case {
    const char* what;
    float inflow;
    double head;
    int ibound;
    float q;      // leakage into the aquifer
    float hcoef;  // term added to HCOEF
    float rhs;    // term added to RHS
  };
  const Case cases[] = {
      {"ample flow, head between bed and stage", 100, 7.0, 1, 6, -2, -20},
      {"ample flow, head above the stage: gains", 100, 12.0, 1, -4, -2, -20},
      {"head below the bed bottom: fixed", 100, 4.0, 1, 10, 0, -10},
      {"head at the bed bottom: fixed", 100, 5.0, 1, 10, 0, -10},
      {"head-dependent loss limited by the inflow", 3, 7.0, 1, 3, 0, -3},
      {"fixed loss limited by the inflow", 3, 1.0, 1, 3, 0, -3},
      {"dry reach over a high water table gains at the bed top", 0, 12.0, 1, -8, -2, -16},
      {"dry reach over a low water table adds nothing", 0, 7.0, 1, 0, 0, 0},
      {"inactive cell", 100, 7.0, 0, 0, 0, 0},
      {"constant-head cell", 100, 7.0, -1, 0, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ModelBuilder b(1, 1, 1);
    b.setAllHeads(c.head);
    b.ibound(1, 1, 1) = c.ibound;
    PackageRun run(b, "STR", kSTR,
                   record1(1, 1, 0, 0, 0, 0, 0, 0) + record2(1) +
                       reach({.flow = c.inflow, .stage = 10, .cond = 2, .bot = 5, .top = 8}));
    run.allocate();
    run.period(1);
    EXPECT_FLOAT_EQ(run.hcoef(1, 1, 1), c.hcoef);
    EXPECT_FLOAT_EQ(run.rhs(1, 1, 1), c.rhs);
    const auto& s = run.as<StrPackage>();
    EXPECT_FLOAT_EQ(s.value(1, StrPackage::kLeakage), c.q);
    EXPECT_FLOAT_EQ(s.value(1, StrPackage::kFlowIn), c.inflow);
    EXPECT_FLOAT_EQ(s.value(1, StrPackage::kFlowOut), c.inflow - c.q);
    const Model& m = b.model();
    EXPECT_EQ(m.BUDNAM[0], "  STREAM LEAKAGE");
    EXPECT_FLOAT_EQ(m.BUDVAL[0][2], c.q > 0 ? c.q : 0.0f);
    EXPECT_FLOAT_EQ(m.BUDVAL[0][3], c.q < 0 ? -c.q : 0.0f);
  }
}

// ---------------------------------------------------------------------------------------------
// A network: tributaries, a diversion that can be supplied, one that cannot, and two diversions
// from one segment of which only the first can be supplied.

// One row of 9 cells, heads 0 (below every bed). Only reach 1 has a conductance: it loses 5.
//   segment 1: reaches 1, 2, inflow 20 -> 15        segment 2: reach 3, inflow 4
//   segment 3: reach 4, tributaries 1 and 2 -> 19     segment 4: reach 5, 6 diverted from 3
//   segment 5: reach 6, 100 diverted from 4 (short)  segment 6: reach 7, tributaries 3 and 4
//   segments 7 and 8: reaches 8, 9, 10 and 12 diverted from 6 (the second is short)
std::string networkInput(int flowUnit) {
  std::string in = record1(9, 8, 2, 1, 0, 0, 40, flowUnit) + record2(9);
  const float inflow[] = {20, 0, 4, -1, 6, 100, -1, 10, 12};
  const int seg[] = {1, 1, 2, 3, 4, 5, 6, 7, 8};
  for (int L = 1; L <= 9; ++L) {
    in += reach({.j = L,
                 .seg = seg[L - 1],
                 .rch = L == 2 ? 2 : 1,
                 .flow = inflow[L - 1],
                 .stage = 10,
                 .cond = L == 1 ? 1.0f : 0.0f,
                 .bot = 5,
                 .top = 6});
  }
  // Tributaries, then diversions, of segments 1 to 8.
  const std::vector<std::vector<int>> trib = {{0, 0}, {0, 0}, {1, 2}, {0, 0}, {0, 0}, {3, 4}, {0, 0}, {0, 0}};
  for (const auto& t : trib) in += ints(t, "%5d");
  for (int d : {0, 0, 0, 3, 4, 0, 6, 6}) in += ints({d}, "%10d");
  return in;
}

TEST(StrNetwork, TributariesAndDiversionsRouteReachByReach) {
  ModelBuilder b(1, 1, 9);
  b.setAllHeads(0.0);
  b.output(40, "leak.cbc");
  b.output(41, "flow.cbc");
  PackageRun run(b, "STR", kSTR, networkInput(41));
  run.allocate();
  run.period(1, 1);
  const auto& s = run.as<StrPackage>();
  const float in[] = {20, 15, 4, 19, 6, 0, 19, 0, 0};
  // Last reaches of segments show their outflow after diversions: 19 - 6 from segment 3; segment
  // 6 gives 10 to segment 7, cannot give 12 more, and both of its diversions get nothing.
  const float out[] = {15, 15, 4, 13, 6, 0, 9, 0, 0};
  for (int L = 1; L <= 9; ++L) {
    EXPECT_FLOAT_EQ(s.value(L, StrPackage::kFlowIn), in[L - 1]) << "reach " << L;
    EXPECT_FLOAT_EQ(s.value(L, StrPackage::kFlowOut), out[L - 1]) << "reach " << L;
  }
  EXPECT_FLOAT_EQ(s.segmentOutflow(3), 13.0f);
  EXPECT_FLOAT_EQ(s.segmentOutflow(4), 6.0f);
  EXPECT_FLOAT_EQ(s.segmentOutflow(6), 9.0f);
  EXPECT_EQ(s.segmentShort(3), 0);
  EXPECT_EQ(s.segmentShort(4), 1);
  EXPECT_EQ(s.segmentShort(6), 1);

  // Records on their two units, full form: the leakage of reach 1, the outflow of every reach.
  const auto leak = test::readBudgetFile(b.bytes(40, "leak.cbc"));
  const auto flow = test::readBudgetFile(b.bytes(41, "flow.cbc"));
  ASSERT_EQ(leak.size(), 1u);
  ASSERT_EQ(flow.size(), 1u);
  EXPECT_EQ(leak[0].label, "  STREAM LEAKAGE");
  EXPECT_EQ(flow[0].label, "STREAM FLOW OUT ");
  EXPECT_EQ(leak[0].method, 0);
  EXPECT_FLOAT_EQ(leak[0].at(1, 1, 1), 5.0f);
  for (int L = 1; L <= 9; ++L) EXPECT_FLOAT_EQ(flow[0].at(1, 1, L), out[L - 1]) << "reach " << L;
}

// The budget pass starts with clear short-segment flags whether or not it saves records, so a
// flag left by the last formulate pass under other heads does not cut a diversion off.
TEST(StrNetwork, BudgetFlowsDoNotDependOnSavingRecords) {
  for (int icbcfl : {0, 1}) {
    SCOPED_TRACE(icbcfl);
    ModelBuilder b(1, 1, 2);
    b.output(40, "leak.cbc");
    // Segment 1 carries 10 and loses cond * (stage - head); segment 2 takes 4 from it.
    PackageRun run(b, "STR", kSTR,
                   record1(2, 2, 0, 1, 0, 0, 40, 0) + record2(2) +
                       reach({.flow = 10, .stage = 10, .cond = 1, .bot = 0, .top = 1}) +
                       reach({.j = 2, .seg = 2, .flow = 4, .stage = 10, .cond = 0, .bot = 0, .top = 1}) +
                       ints({0}, "%10d") + ints({1}, "%10d"));
    run.allocate();
    b.model().KPERIOD = b.model().KSTEP = 1;
    run.package().stressPeriod(b.model());
    b.setHead(1, 1, 1, 2.0);  // loses 8: 2 left, short of 4
    run.formulate();
    EXPECT_EQ(run.as<StrPackage>().segmentShort(1), 1);
    b.setHead(1, 1, 1, 9.0);  // loses 1: 9 left, the diversion is supplied
    run.budget(icbcfl);
    EXPECT_FLOAT_EQ(run.as<StrPackage>().value(2, StrPackage::kFlowIn), 4.0f);
    EXPECT_FLOAT_EQ(run.as<StrPackage>().value(1, StrPackage::kFlowOut), 5.0f);
  }
}

// A segment with a negative inflow and no tributaries starts dry.
TEST(StrNetwork, NegativeInflowWithoutTributariesStartsWithZero) {
  ModelBuilder b(1, 1, 2);
  PackageRun run(b, "STR", kSTR,
                 record1(2, 2, 1, 0, 0, 0, 0, 0) + record2(2) + reach({.flow = 7, .bot = 0, .top = 1}) +
                     reach({.j = 2, .seg = 2, .flow = -1, .bot = 0, .top = 1}) + ints({0}, "%5d") +
                     ints({0}, "%5d"));
  run.allocate();
  run.period(1);
  EXPECT_FLOAT_EQ(run.as<StrPackage>().value(2, StrPackage::kFlowIn), 0.0f);
}

// ---------------------------------------------------------------------------------------------
// Manning stages: depth from the mean of this pass's inflow and the previous pass's outflow.

double manningDepth(double q, double n, double c, double w, double slope) {
  const double d = std::pow(q * n / (c * w * std::sqrt(slope)), 0.6);
  return d > 0 ? d : 0.0;
}

TEST(StrManning, StageIsDepthPlusBedTopFromThePreviousPassFlow) {
  ModelBuilder b(1, 1, 2);
  b.setAllHeads(0.0);  // below the beds: each reach loses cond * (stage - bottom)
  const float c = 1.486f;
  PackageRun run(b, "STR", kSTR,
                 record1(2, 1, 0, 0, 1, c, 0, 0) + record2(2) +
                     reach({.flow = 50, .stage = 0, .cond = 0.5, .bot = 1, .top = 2}) +
                     reach({.j = 2, .rch = 2, .stage = 0, .cond = 0, .bot = 1, .top = 2}) +
                     channel(10, 0.001f, 0.03f) + channel(8, 0.0005f, 0.04f));
  run.allocate();
  run.period(1);
  const auto& s = run.as<StrPackage>();
  // First pass: the outflows read as 0, so the mean flow is half the inflow.
  const double d1 = manningDepth(25.0, 0.03, c, 10, 0.001);
  const double q1 = 0.5 * (d1 + 2 - 1);
  const double d2 = manningDepth((50 - q1) / 2, 0.04, c, 8, 0.0005);
  // The budget pass routes again: reach 1 now uses the mean of 50 and its first outflow.
  const double d1b = manningDepth((50 + 50 - q1) / 2, 0.03, c, 10, 0.001);
  EXPECT_NEAR(s.value(1, StrPackage::kStage), d1b + 2, 2e-5);
  const double q1b = 0.5 * (d1b + 2 - 1);
  const double d2b = manningDepth(((50 - q1b) + (50 - q1)) / 2, 0.04, c, 8, 0.0005);
  EXPECT_NEAR(s.value(2, StrPackage::kStage), d2b + 2, 2e-5);
  // The formulate pass before it used the first stages.
  EXPECT_NEAR(run.rhs(1, 1, 1), -q1, 1e-4);
  EXPECT_GT(d2, 0.0);

  // With no flow the stage is the bed top.
  ModelBuilder b0(1, 1, 1);
  PackageRun dry(b0, "STR", kSTR,
                 record1(1, 1, 0, 0, 1, c, 0, 0) + record2(1) +
                     reach({.flow = 0, .stage = 99, .cond = 1, .bot = 1, .top = 2}) +
                     channel(10, 0.001f, 0.03f));
  dry.allocate();
  dry.period(1);
  EXPECT_EQ(dry.as<StrPackage>().value(1, StrPackage::kStage), 2.0f);
}

// ---------------------------------------------------------------------------------------------
// Budget row and records.

TEST(StrBudget, RowWithoutReachesAndFullRecordsInCompactMode) {
  // No reaches at all (MXSTRM 0: no period record is read): a row of zeros.
  {
    ModelBuilder b(1, 1, 1);
    PackageRun run(b, "STR", kSTR, record1(0, 0, 0, 0, 0, 0, 0, 0));
    run.allocate();
    run.period(1);
    EXPECT_EQ(b.model().BUDNEXT, 2);
    EXPECT_EQ(b.model().BUDNAM[0], "  STREAM LEAKAGE");
    EXPECT_EQ(b.model().BUDVAL[0][2], 0.0f);
  }
  // Two reaches in one cell, one in an inactive cell; compact budget asked for (ICBCFL 2): the
  // records are still full three-dimensional arrays.
  ModelBuilder b(2, 1, 2);
  b.setAllHeads(0.0);
  b.ibound(2, 1, 2) = 0;
  b.output(40, "leak.cbc");
  b.output(41, "flow.cbc");
  PackageRun run(b, "STR", kSTR,
                 record1(3, 1, 0, 0, 0, 0, 40, 41) + record2(3) +
                     reach({.k = 2, .flow = 30, .stage = 4, .cond = 1, .bot = 1, .top = 2}) +
                     reach({.k = 2, .rch = 2, .stage = 4, .cond = 2, .bot = 1, .top = 2}) +
                     reach({.k = 2, .j = 2, .rch = 3, .stage = 4, .cond = 2, .bot = 1, .top = 2}) +
                     record2(0));
  run.allocate();
  run.period(1, 2, 2.0f);
  const Model& m = b.model();
  EXPECT_FLOAT_EQ(m.BUDVAL[0][2], 9.0f);  // 3 + 6 into the aquifer
  EXPECT_FLOAT_EQ(m.BUDVAL[0][0], 18.0f);
  // A period without reaches still makes the row, with zero rates.
  run.period(2, 0, 2.0f);
  EXPECT_EQ(m.BUDNEXT, 2);
  EXPECT_EQ(m.BUDVAL[0][2], 0.0f);
  EXPECT_FLOAT_EQ(m.BUDVAL[0][0], 18.0f);

  const auto leak = test::readBudgetFile(b.bytes(40, "leak.cbc"));
  const auto flow = test::readBudgetFile(b.bytes(41, "flow.cbc"));
  ASSERT_EQ(leak.size(), 1u);  // nothing in period 2 (ICBCFL 0)
  ASSERT_EQ(flow.size(), 1u);
  EXPECT_EQ(leak[0].method, 0);
  EXPECT_EQ(leak[0].nlay, 2);
  EXPECT_FLOAT_EQ(leak[0].at(2, 1, 1), 9.0f);
  EXPECT_EQ(leak[0].at(2, 1, 2), 0.0f);
  EXPECT_EQ(flow[0].method, 0);
  EXPECT_FLOAT_EQ(flow[0].at(2, 1, 1), 27.0f + 21.0f);
  EXPECT_EQ(flow[0].at(2, 1, 2), 0.0f);  // inactive cell: not in the flow-out record
  EXPECT_TRUE(
      has(b.listing(), " UBUDSV SAVING \"STREAM FLOW OUT \" ON UNIT 41 AT TIME STEP  1, STRESS PERIOD  1"));
}

// ---------------------------------------------------------------------------------------------
// Listing: allocation lines, echo tables, reuse and the reach table in both forms.

TEST(StrListing, AllocationAndEchoTables) {
  ModelBuilder b(1, 2, 3);
  PackageRun run(
      b, "STR", kSTR,
      record1(4, 2, 1, 1, 1, 1.486f, 40, 41) + record2(2) +
          reach({.i = 2, .j = 3, .flow = 12.5, .stage = 101.25, .cond = 0.75, .bot = 98, .top = 99}) +
          reach({.j = 2, .seg = 2, .flow = -1, .stage = 100, .cond = 1000, .bot = 97, .top = 98}) +
          channel(10, 0.001f, 0.03f) + channel(5.5, 0.0002f, 0.035f) + ints({0}, "%5d") + ints({1}, "%5d") +
          ints({0}, "%10d") + ints({0}, "%10d") + record2(-1, 0, 1));
  run.allocate();
  run.period(1);
  run.period(2);
  EXPECT_EQ(run.as<StrPackage>().STRPRINTFLAG(), 1);
  const std::string lst = b.listing();
  EXPECT_TRUE(has(lst,
                  "0STRM -- STREAM PACKAGE, VERSION 2, 12/18/90 INPUT READ FROM UNIT 28\n"
                  " MAXIMUM OF    4 STREAM NODES\n\n"
                  " NUMBER OF STREAM SEGMENTS IS     2\n\n"
                  " NUMBER OF STREAM TRIBUTARIES IS     1\n\n\n"
                  " DIVERSIONS FROM STREAMS HAVE BEEN SPECIFIED\n"
                  " STREAM STAGES WILL BE CALCULATED USING A CONSTANT OF    1.4860\n"
                  " CELL BUDGETS WILL BE SAVED ON UNITS 40AND 41\n"
                  "       72 ELEMENTS IN X ARRAY ARE USED FOR STREAMS\n"))
      << lst;
  EXPECT_TRUE(
      has(lst,
          "0\n\n     2 STREAM NODES\n"
          "    LAYER   ROW    COL    SEGMENT   REACH   STREAMFLOW     STREAM    STREAMBED     STREAMBED BOT  "
          "STREAMBED TOP\n"))
      << lst;
  EXPECT_TRUE(has(
      lst,
      "       1      2      3        1        1         12.50       101.2     0.7500            98.00        "
      "99.00    \n"))
      << lst;
  EXPECT_TRUE(has(
      lst,
      "       1      1      2        2        1        -1.000       100.0      1000.            97.00        "
      "98.00    \n"))
      << lst;
  EXPECT_TRUE(has(
      lst, "       1      2      3        1        1          10.00           0.1000E-02      0.3000E-01\n"))
      << lst;
  EXPECT_TRUE(has(lst,
                  "0                              MAXIMUM NUMBER OF TRIBUTARY STREAMS IS     1\n\n"
                  "                     STREAM SEGMENT               TRIBUTARY STREAM SEGMENT NUMBERS\n"
                  "                        1                        0\n"
                  "                        2                        1\n"))
      << lst;
  EXPECT_TRUE(has(lst,
                  "0          DIVERSION SEGMENT NUMBER          UPSTREAM SEGMENT NUMBER\n"
                  "                        1                                0\n"))
      << lst;
  EXPECT_TRUE(has(lst, "0REUSING STREAM NODES FROM LAST STRESS PERIOD\n")) << lst;
}

TEST(StrListing, ReachTableInItsTwoForms) {
  struct Case {
    int calc, icbcfl, printFlag;
    const char* line;  // the reach's line, or nullptr for no table
  };
  const Case cases[] = {
      {0, 1, 0,
       "               1         1         1         1         1         10.0          2.00             8.00 "
       "   \n"},
      {1, 1, 0,
       "               1         1         1         1         1         10.0          2.00            8.00"
       "             "
       "3.00\n"},
      {0, 1, 1, nullptr},
      {0, 0, 0, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.calc << " " << c.icbcfl << " " << c.printFlag);
    ModelBuilder b(1, 1, 1);
    b.setAllHeads(0.0);
    // Head below the bed: fixed loss cond * (stage - bottom) = 2 with the stage 3 (given, or the
    // bed top 3 plus the negligible depth of a very wide, smooth channel).
    std::string in = record1(1, 1, 0, 0, c.calc, 1.0f, -1, 0) + record2(1, 1, c.printFlag) +
                     reach({.flow = 10, .stage = 3, .cond = 1, .bot = 1, .top = 3});
    if (c.calc) in += channel(99999, 1, 0.0001f);
    PackageRun run(b, "STR", kSTR, in);
    run.allocate();
    run.period(1, c.icbcfl);
    const std::string lst = b.listing();
    const bool table = has(lst, "FLOW INTO    FLOW INTO      FLOW OUT OF");
    EXPECT_EQ(table, c.line != nullptr) << lst;
    if (c.line == nullptr) continue;
    EXPECT_TRUE(has(lst, c.line)) << lst;
    EXPECT_EQ(has(lst, "HEAD IN"), c.calc == 1) << lst;
  }
}

// ---------------------------------------------------------------------------------------------
// Refused inputs: each a message naming the reach or segment, then the run stops.

TEST(StrInput, RefusedWithAMessage) {
  const std::string ok1 = reach({.flow = 1, .stage = 2, .cond = 1, .bot = 0, .top = 1});
  struct Case {
    const char* what;
    std::string input;
    const char* message;
  };
  auto r = [](Reach x) { return reach(x); };
  const Case cases[] = {
      {"more reaches than MXSTRM", record1(1, 1, 0, 0, 0, 0, 0, 0) + record2(2),
       "0NSTREM(   2) IS GREATER THAN MXSTRM(   1)"},
      {"reach outside the grid", record1(2, 1, 0, 0, 0, 0, 0, 0) + record2(2) + ok1 + r({.j = 4, .rch = 2}),
       " STREAM REACH     2 IS OUTSIDE THE GRID: LAYER     1, ROW     1, COLUMN     4"},
      {"layer 0", record1(1, 1, 0, 0, 0, 0, 0, 0) + record2(1) + r({.k = 0}),
       " STREAM REACH     1 IS OUTSIDE THE GRID: LAYER     0, ROW     1, COLUMN     1"},
      {"first segment not 1", record1(1, 2, 0, 0, 0, 0, 0, 0) + record2(1) + r({.seg = 2}),
       " STREAM REACH     1 HAS SEGMENT NUMBER     2: THE FIRST REACH MUST BE IN SEGMENT 1"},
      {"segment number going back",
       record1(3, 2, 0, 0, 0, 0, 0, 0) + record2(3) + ok1 + r({.seg = 2}) + r({.seg = 1, .rch = 2}),
       " STREAM REACH     3 HAS SEGMENT NUMBER     1 AFTER SEGMENT     2: SEGMENTS MUST BE NUMBERED 1, 2, 3, "
       "... "
       "IN LIST ORDER"},
      {"segment number skipped", record1(2, 3, 0, 0, 0, 0, 0, 0) + record2(2) + ok1 + r({.seg = 3}),
       " STREAM REACH     2 HAS SEGMENT NUMBER     3 AFTER SEGMENT     1"},
      {"more segments than NSEGMENT", record1(2, 1, 0, 0, 0, 0, 0, 0) + record2(2) + ok1 + r({.seg = 2}),
       " STREAM REACH     2 IS IN SEGMENT     2, BEYOND NSEGMENT(     1)"},
      {"reach number skipped", record1(2, 1, 0, 0, 0, 0, 0, 0) + record2(2) + ok1 + r({.rch = 3}),
       " STREAM REACH     2 HAS REACH NUMBER     3 IN SEGMENT     1: REACHES OF A SEGMENT MUST BE NUMBERED "
       "1, 2, "
       "3, ..., SO THIS ONE MUST BE     2"},
      {"new segment not starting at reach 1",
       record1(2, 2, 0, 0, 0, 0, 0, 0) + record2(2) + ok1 + r({.seg = 2, .rch = 2}),
       " STREAM REACH     2 HAS REACH NUMBER     2 IN SEGMENT     2"},
      {"tributary above NSEGMENT",
       record1(2, 2, 1, 0, 0, 0, 0, 0) + record2(2) + ok1 + r({.seg = 2}) + ints({0}, "%5d") +
           ints({3}, "%5d"),
       " STREAM SEGMENT     2 HAS TRIBUTARY     3, NOT BETWEEN 0 AND NSEGMENT(     2)"},
      {"negative tributary", record1(1, 1, 1, 0, 0, 0, 0, 0) + record2(1) + ok1 + ints({-1}, "%5d"),
       " STREAM SEGMENT     1 HAS TRIBUTARY    -1, NOT BETWEEN 0 AND NSEGMENT(     1)"},
      {"tributary that does not come before",
       record1(2, 2, 2, 0, 0, 0, 0, 0) + record2(2) + ok1 + r({.seg = 2}) + ints({0, 2}, "%5d") +
           ints({0, 0}, "%5d"),
       " STREAM SEGMENT     1 HAS TRIBUTARY     2, WHICH DOES NOT COME BEFORE IT"},
      {"segment its own tributary", record1(1, 1, 1, 0, 0, 0, 0, 0) + record2(1) + ok1 + ints({1}, "%5d"),
       " STREAM SEGMENT     1 HAS TRIBUTARY     1, WHICH DOES NOT COME BEFORE IT"},
      {"diversion above NSEGMENT", record1(1, 1, 0, 1, 0, 0, 0, 0) + record2(1) + ok1 + ints({5}, "%10d"),
       " STREAM SEGMENT     1 IS DIVERTED FROM SEGMENT     5, NOT BETWEEN 0 AND NSEGMENT(     1)"},
      {"diversion from a later segment",
       record1(2, 2, 0, 1, 0, 0, 0, 0) + record2(2) + ok1 + r({.seg = 2}) + ints({2}, "%10d") +
           ints({0}, "%10d"),
       " STREAM SEGMENT     1 IS DIVERTED FROM SEGMENT     2, WHICH DOES NOT COME BEFORE IT"},
      {"zero width", record1(1, 1, 0, 0, 1, 1, 0, 0) + record2(1) + ok1 + channel(0, 0.001f, 0.03f),
       " STREAM REACH     1 (SEGMENT     1, REACH     1) HAS NO DEFINED DEPTH: WIDTH  0.0000E+00,"},
      {"negative slope", record1(1, 1, 0, 0, 1, 1, 0, 0) + record2(1) + ok1 + channel(1, -0.001f, 0.03f),
       "HAS NO DEFINED DEPTH: WIDTH   1.000    , SLOPE -0.1000E-02"},
      {"zero roughness", record1(1, 1, 0, 0, 1, 1, 0, 0) + record2(1) + ok1 + channel(1, 0.001f, 0),
       "ROUGHNESS  0.0000E+00 AND"},
      {"zero Manning constant",
       record1(1, 1, 0, 0, 1, 0, 0, 0) + record2(1) + ok1 + channel(1, 0.001f, 0.03f),
       " AND MANNINGCONST  0.0000E+00 MUST ALL BE POSITIVE"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ModelBuilder b(1, 1, 3);
    PackageRun run(b, "STR", kSTR, c.input);
    run.allocate();
    EXPECT_THROW(run.package().stressPeriod(b.model()), io::RunStop);
    const std::string lst = b.listing();
    EXPECT_TRUE(has(lst, c.message)) << lst;
  }
}

}  // namespace
}  // namespace aqx
