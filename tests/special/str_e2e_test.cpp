// Whole runs with streams, checked independently: a stream with ample flow against a direct solve
// of the same system with a river term, a reach limited by its inflow against a well of that
// rate, and a network with tributaries, diversions, a dry reach and a well whose saved records
// must balance reach by reach and whose budget must close.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "support/binary_files.hpp"
#include "support/e2e.hpp"

namespace aqx::test {
namespace {

// ---------------------------------------------------------------------------------------------
// Models: one confined layer of nrow x ncol cells (DELR = DELC = 1, transmissivity T), steady
// state, constant heads on the first and last columns.

struct Grid {
  int nrow = 1, ncol = 9;
  double left = 10.0, right = 5.0, start = 8.0;
  double T = 10.0;
};

std::string basFile(const Grid& g) {
  char line[160];
  std::snprintf(line, sizeof line, "%10d%10d%10d%10d%10d%10d\n\n%10d%10d\n", 1, g.nrow, g.ncol, 1, 4, 0, 1,
                1);
  std::string b = std::string("streams\nwhole run\n") + line + "INTERNAL 1 (FREE) -1\n";
  for (int i = 0; i < g.nrow; ++i) {
    for (int j = 1; j <= g.ncol; ++j) b += (j == 1 || j == g.ncol) ? " -1" : " 1";
    b += "\n";
  }
  b += "    -999.0\nINTERNAL 1.0 (FREE) -1\n";
  for (int i = 0; i < g.nrow; ++i) {
    for (int j = 1; j <= g.ncol; ++j) {
      std::snprintf(line, sizeof line, " %.6g", j == 1 ? g.left : j == g.ncol ? g.right : g.start);
      b += line;
    }
    b += "\n";
  }
  return b + "       1.0         1       1.0\n";
}

std::string bcfFile(const Grid& g) {
  char t[64];
  std::snprintf(t, sizeof t, "CONSTANT %.6g\n", g.T);
  return std::string("         1         0    -999.0         0       0.0         0         0\n 0\n") +
         "CONSTANT 1.0\nCONSTANT 1.0\nCONSTANT 1.0\n" + t;
}

struct Reach {
  int i = 1, j = 1, seg = 1, rch = 1;
  double flow = 0, stage = 0, cond = 0, bot = 0, top = 0;
};

// STR input: record 1, one period of reaches, the tributary and diversion tables when given.
std::string strFile(const std::vector<Reach>& reaches, int nseg, const std::vector<std::vector<int>>& trib,
                    const std::vector<int>& div) {
  char b[160];
  const int ntrib = trib.empty() ? 0 : static_cast<int>(trib[0].size());
  std::snprintf(b, sizeof b, "%10d%10d%10d%10d%10d%10.1f%10d%10d\n%10d%10d%10d\n",
                static_cast<int>(reaches.size()), nseg, ntrib, div.empty() ? 0 : 1, 0, 0.0, 40, 41,
                static_cast<int>(reaches.size()), 0, 0);
  std::string s = b;
  for (const Reach& r : reaches) {
    std::snprintf(b, sizeof b, "%5d%5d%5d%5d%5d%15.4f%10.4f%10.4f%10.4f%10.4f\n", 1, r.i, r.j, r.seg, r.rch,
                  r.flow, r.stage, r.cond, r.bot, r.top);
    s += b;
  }
  for (const auto& t : trib) {
    for (int x : t) {
      std::snprintf(b, sizeof b, "%5d", x);
      s += b;
    }
    s += "\n";
  }
  for (int d : div) {
    std::snprintf(b, sizeof b, "%10d\n", d);
    s += b;
  }
  return s;
}

const char* kSip = "       200         5\n       1.0    1.0E-7         1       0.0         0\n";
const char* kOc = "HEAD SAVE UNIT 30\nPERIOD 1 STEP 1\n    SAVE HEAD\n    PRINT BUDGET\n    SAVE BUDGET\n";

struct StreamRun {
  TempDir dir;
  RunResult result;
  std::vector<std::string> listing;

  // Runs BAS, BCF, SIP and OC with the given STR and WEL inputs (empty: package left out).
  void go(const Grid& g, const std::string& str, const std::string& wel = "") {
    std::string nam =
        "LIST 6 m.lst\nBAS 1 m.bas\nBCF 11 m.bcf\nSIP 19 m.sip\nOC 22 m.oc\nDATA(BINARY) 30 m.hds\n";
    if (!str.empty()) {
      nam += "STR 18 m.str\nDATA(BINARY) 40 leak.cbc\nDATA(BINARY) 41 flow.cbc\n";
      dir.write("m.str", str);
    }
    if (!wel.empty()) {
      nam += "WEL 12 m.wel\n";
      dir.write("m.wel", wel);
    }
    dir.write("m.nam", nam);
    dir.write("m.bas", basFile(g));
    dir.write("m.bcf", bcfFile(g));
    dir.write("m.sip", kSip);
    dir.write("m.oc", kOc);
    result = runAquifex(dir.path(), {}, "m.nam\n");
    listing = lines(dir.readText("m.lst"));
  }
  std::vector<float> heads() const {
    const auto h = readLayerFile(dir.readBytes("m.hds"));
    return h.empty() ? std::vector<float>{} : h.back().values;
  }
  BudgetRecord record(const std::string& file) const {
    const auto r = readBudgetFile(dir.readBytes(file));
    return r.empty() ? BudgetRecord{} : r.back();
  }
};

// Heads of one row with constant heads at both ends, conductance T between neighbours and, in
// cell j, an inflow p[j] * (s[j] - h) (Thomas algorithm on the interior cells).
std::vector<double> solveRow(const Grid& g, const std::vector<double>& p, const std::vector<double>& s) {
  const int n = g.ncol;
  std::vector<double> a(n, 0), b(n, 0), c(n, 0), d(n, 0), h(n, 0);
  for (int j = 1; j < n - 1; ++j) {
    a[j] = g.T;
    c[j] = g.T;
    b[j] = -2 * g.T - p[j];
    d[j] = -p[j] * s[j];
  }
  d[1] -= g.T * g.left;
  a[1] = 0;
  d[n - 2] -= g.T * g.right;
  c[n - 2] = 0;
  for (int j = 2; j < n - 1; ++j) {
    const double w = a[j] / b[j - 1];
    b[j] -= w * c[j - 1];
    d[j] -= w * d[j - 1];
  }
  h[0] = g.left;
  h[n - 1] = g.right;
  h[n - 2] = d[n - 2] / b[n - 2];
  for (int j = n - 3; j >= 1; --j) h[j] = (d[j] - c[j] * h[j + 1]) / b[j];
  return h;
}

void expectBudgetCloses(const StreamRun& r) {
  const ListedDiscrepancy d = lastDiscrepancy(r.listing);
  ASSERT_TRUE(d.found);
  EXPECT_LE(std::fabs(d.cumulative), 0.01);
  EXPECT_LE(std::fabs(d.rate), 0.01);
}

// ---------------------------------------------------------------------------------------------

// With ample flow every reach leaks cond * (stage - h): the system of a river of the same
// conductance and stage. One reach gains (stage below the heads near the left end).
TEST(StrRun, AmpleFlowBehavesAsARiver) {
  const Grid g;
  std::vector<Reach> reaches;
  std::vector<double> p(g.ncol, 0), s(g.ncol, 0);
  const double stage[] = {0, 9.5, 9, 8.5, 6, 6.5, 7.5, 7, 0};
  for (int j = 2; j <= 8; ++j) {
    reaches.push_back({.j = j,
                       .rch = j - 1,
                       .flow = j == 2 ? 1000.0 : 0.0,
                       .stage = stage[j - 1],
                       .cond = 3,
                       .bot = -50,
                       .top = 0});
    p[j - 1] = 3;
    s[j - 1] = stage[j - 1];
  }
  StreamRun r;
  r.go(g, strFile(reaches, 1, {}, {}));
  ASSERT_EQ(r.result.status, 0) << r.result.out << r.result.err;
  const auto want = solveRow(g, p, s);
  const auto h = r.heads();
  ASSERT_EQ(h.size(), 9u);
  double in = 0, out = 0;
  for (int j = 0; j < 9; ++j) {
    EXPECT_NEAR(h[j], want[j], 1e-4) << "column " << j + 1;
    const double q = p[j] * (s[j] - want[j]);
    (q > 0 ? in : out) += std::fabs(q);
  }
  const ListedRates rates = lastBudgetRates(r.listing, "  STREAM LEAKAGE");
  ASSERT_TRUE(rates.found);
  EXPECT_NEAR(rates.in, in, 1e-3 * in);
  EXPECT_NEAR(rates.out, out, 1e-3 * out + 1e-4);
  EXPECT_GT(out, 0.0);
  expectBudgetCloses(r);
}

// A reach that could lose far more than its inflow loses exactly that inflow, whatever the head:
// the same heads as a well injecting that rate, and nothing flows on.
TEST(StrRun, LeakageLimitedByInflowActsAsAWell) {
  const Grid g;
  StreamRun stream;
  stream.go(g, strFile({{.j = 5, .flow = 2.5, .stage = 100, .cond = 1000, .bot = 90, .top = 95}}, 1, {}, {}));
  ASSERT_EQ(stream.result.status, 0) << stream.result.out << stream.result.err;
  StreamRun well;
  well.go(g, "", "         1         0\n         1\n         1         1         5       2.5\n");
  ASSERT_EQ(well.result.status, 0) << well.result.out << well.result.err;
  const auto hs = stream.heads(), hw = well.heads();
  ASSERT_EQ(hs.size(), 9u);
  ASSERT_EQ(hw.size(), 9u);
  for (int j = 0; j < 9; ++j) EXPECT_NEAR(hs[j], hw[j], 1e-5) << "column " << j + 1;
  EXPECT_FLOAT_EQ(stream.record("leak.cbc").at(1, 1, 5), 2.5f);
  EXPECT_EQ(stream.record("flow.cbc").at(1, 1, 5), 0.0f);
  expectBudgetCloses(stream);
}

// A dry reach (no inflow) under a water table above its bed top gains cond * (top - h); the
// aquifer sees a river at the bed top, and the stream carries the gain downstream.
TEST(StrRun, DryReachOverAHighWaterTableGains) {
  Grid g;
  g.left = g.right = g.start = 20.0;
  StreamRun r;
  r.go(g, strFile({{.j = 4, .flow = 0, .stage = 30, .cond = 2, .bot = 9, .top = 10},
                   {.j = 5, .rch = 2, .flow = 0, .stage = 30, .cond = 0, .bot = 9, .top = 10}},
                  1, {}, {}));
  ASSERT_EQ(r.result.status, 0) << r.result.out << r.result.err;
  std::vector<double> p(g.ncol, 0), s(g.ncol, 0);
  p[3] = 2;
  s[3] = 10;
  const auto want = solveRow(g, p, s);
  const auto h = r.heads();
  ASSERT_EQ(h.size(), 9u);
  for (int j = 0; j < 9; ++j) EXPECT_NEAR(h[j], want[j], 1e-4) << "column " << j + 1;
  const double gain = 2 * (want[3] - 10);
  ASSERT_GT(gain, 0);
  EXPECT_NEAR(r.record("leak.cbc").at(1, 1, 4), -gain, 1e-3);
  EXPECT_NEAR(r.record("flow.cbc").at(1, 1, 4), gain, 1e-3);
  EXPECT_NEAR(r.record("flow.cbc").at(1, 1, 5), gain, 1e-3);
  expectBudgetCloses(r);
}

// A network over 3 rows of 8 columns, with a pumping well:
//   segment 1: row 1, columns 2-4, inflow 20      segment 2: row 3, columns 2-3, inflow 6
//   segment 3: row 2, columns 4-7, fed by 1 and 2  segment 4: row 1, columns 6-7, 3 diverted from 1
//   segment 5: row 3, columns 5-6, 50 diverted from 2 (cannot be supplied: dry, and its low bed
//              lets the aquifer feed it)
TEST(StrRun, NetworkBalancesReachByReachAndTheBudgetCloses) {
  Grid g;
  g.nrow = 3;
  g.ncol = 8;
  std::vector<Reach> reaches;
  auto add = [&](int i, int j0, int j1, int seg, double flow, double bot, double top) {
    for (int j = j0; j <= j1; ++j)
      reaches.push_back({.i = i,
                         .j = j,
                         .seg = seg,
                         .rch = j - j0 + 1,
                         .flow = j == j0 ? flow : 0.0,
                         .stage = top + 1,
                         .cond = 1,
                         .bot = bot,
                         .top = top});
  };
  add(1, 2, 4, 1, 20, 0, 11);
  add(3, 2, 3, 2, 6, 0, 11);
  add(2, 4, 7, 3, -1, 0, 11);
  add(1, 6, 7, 4, 3, 0, 11);
  add(3, 5, 6, 5, 50, 1, 2);
  const std::string str = strFile(reaches, 5, {{0, 0}, {0, 0}, {1, 2}, {0, 0}, {0, 0}}, {0, 0, 0, 1, 2});
  StreamRun r;
  r.go(g, str, "         1         0\n         1\n         1         2         5     -4.0\n");
  ASSERT_EQ(r.result.status, 0) << r.result.out << r.result.err;
  const BudgetRecord leak = r.record("leak.cbc"), flow = r.record("flow.cbc");
  ASSERT_EQ(leak.label, "  STREAM LEAKAGE");
  ASSERT_EQ(flow.label, "STREAM FLOW OUT ");

  // Inflow - leakage = outflow, reach by reach, from the records.
  std::vector<double> segOut(6, 0.0);
  double in = 0, out = 0;
  for (std::size_t n = 0; n < reaches.size(); ++n) {
    const Reach& x = reaches[n];
    SCOPED_TRACE(testing::Message() << "segment " << x.seg << " reach " << x.rch);
    double qin;
    if (x.rch > 1) {
      qin = flow.at(1, x.i, x.j - 1);
    } else if (x.seg == 3) {
      qin = segOut[1] + segOut[2];
    } else if (x.seg == 5) {
      qin = 0.0;  // segment 2 cannot supply 50
    } else {
      qin = x.flow;
    }
    const double q = leak.at(1, x.i, x.j);
    double qout = qin - q;
    const bool last = n + 1 == reaches.size() || reaches[n + 1].seg != x.seg;
    if (last && x.seg == 1) qout -= 3.0;  // the diversion to segment 4 leaves after the last reach
    EXPECT_NEAR(flow.at(1, x.i, x.j), qout, 1e-4);
    EXPECT_LE(q, qin + 1e-6);
    if (last) segOut[x.seg] = flow.at(1, x.i, x.j);
    (q > 0 ? in : out) += std::fabs(q);
  }
  // Segment 5 is dry and gains from the aquifer.
  EXPECT_LT(leak.at(1, 3, 5), 0.0f);
  EXPECT_GT(flow.at(1, 3, 6), 0.0f);

  const ListedRates rates = lastBudgetRates(r.listing, "  STREAM LEAKAGE");
  ASSERT_TRUE(rates.found);
  EXPECT_NEAR(rates.in, in, 1e-3);
  EXPECT_NEAR(rates.out, out, 1e-3);
  EXPECT_TRUE(lastBudgetRates(r.listing, "           WELLS").found);
  expectBudgetCloses(r);
}

// A refused input ends the whole run with a nonzero status after its message.
TEST(StrRun, RefusedInputStopsTheRun) {
  const Grid g;
  StreamRun r;
  r.go(g, strFile({{.j = 5, .flow = 1, .stage = 9, .cond = 1, .bot = 0, .top = 8},
                   {.j = 6, .rch = 3, .flow = 0, .stage = 9, .cond = 1, .bot = 0, .top = 8}},
                  1, {}, {}));
  EXPECT_NE(r.result.status, 0);
  ASSERT_FALSE(r.listing.empty());
  EXPECT_NE(
      r.listing[r.listing.size() - 2].find(" STREAM REACH     2 HAS REACH NUMBER     3 IN SEGMENT     1"),
      std::string::npos);
  EXPECT_EQ(r.listing.back(), " STOP EXECUTION");
}

}  // namespace
}  // namespace aqx::test
