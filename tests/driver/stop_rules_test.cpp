// The driver's own stop rules, called directly: the PCG2 consecutive-iteration closure rule,
// and the dry-cell pass.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "driver/model.hpp"
#include "driver/simulation.hpp"
#include "io/record.hpp"
#include "support/e2e.hpp"

namespace aqx {
namespace {

// A listing file on unit 6 in a scratch folder.
class WithListing : public ::testing::Test {
 protected:
  void SetUp() override {
    io::open(6, (dir_ / "out.lst").string());
    m_.LISTUNIT = 6;
  }
  void TearDown() override { io::close(6); }
  std::string listing() {
    io::close(6);
    return dir_.readText("out.lst");
  }
  test::TempDir dir_;
  Model m_;
};

using PcgClosureRule = WithListing;

// Runs the outer iterations of one time step as PCG2 would leave them: two inner iterations per
// outer iteration, each outer iteration's last one meeting the closure criteria or not, PCG2
// itself never converging. Returns the outer iteration at which the rule ended the step (0: never).
int stoppedAt(Model& m, int limit, const std::vector<bool>& meets) {
  static std::vector<float> hchg, rchg;
  hchg.assign(2 * meets.size(), 5.0f);
  rchg.assign(2 * meets.size(), 5.0f);
  m.pcg = {};
  m.pcg.INNERHCHG = hchg.data();
  m.pcg.INNERRCHG = rchg.data();
  m.pcg.HEADCLOSE = 0.01f;
  m.pcg.RESCLOSE = 0.1f;
  m.pcg.PCGCONSECLIM = limit;
  for (std::size_t k = 0; k < meets.size(); ++k) {
    m.CONVERGED = 0;
    m.pcg.PCGINNERTOT = static_cast<int>(2 * (k + 1));
    if (meets[k]) {
      hchg[2 * k + 1] = -0.01f;  // at the criterion counts as meeting it
      rchg[2 * k + 1] = 0.05f;
    }
    hchg[2 * k] = 0.0f;  // the first inner iteration of the call does not count
    pcgClosureRule(m);
    if (m.CONVERGED == 1) return static_cast<int>(k + 1);
  }
  return 0;
}

TEST_F(PcgClosureRule, CountsConsecutiveQualifyingIterations) {
  // Limit 1: the first qualifying iteration after the step's first one ends the step.
  EXPECT_EQ(stoppedAt(m_, 1, {true, true, true}), 2);
  EXPECT_EQ(stoppedAt(m_, 1, {false, true, true}), 2);
  // Limit 3: four qualifying iterations from the start of a step, three after a failing one.
  EXPECT_EQ(stoppedAt(m_, 3, {true, true, true, true, true}), 4);
  EXPECT_EQ(stoppedAt(m_, 3, {false, true, true, true, true}), 4);
  EXPECT_EQ(stoppedAt(m_, 3, {true, true, false, true, true, true, true}), 6);
  EXPECT_EQ(stoppedAt(m_, 3, {true, false, true, false, true, true}), 0);
  const std::vector<std::string> message = {
      "",
      "  PCG2 CONVERGENCE STOPPED AFTER     1CONSECUTIVE OUTER ITERATIONS WITH ERROR CRITERIA ACHIEVED.",
      "  CAREFULLY LOOK AT MASS BALANCE TO VALIDATE RESULTS.",
  };
  std::vector<std::string> out = test::lines(listing());
  ASSERT_GE(out.size(), 3u);
  EXPECT_EQ(std::vector<std::string>(out.begin(), out.begin() + 3), message);
}

TEST_F(PcgClosureRule, KeepsTheLastCountAndRestartsAfterSolverConvergence) {
  std::vector<float> hchg = {1.0f, 0.0f}, rchg = {1.0f, 0.0f};
  m_.pcg.INNERHCHG = hchg.data();
  m_.pcg.INNERRCHG = rchg.data();
  m_.pcg.HEADCLOSE = m_.pcg.RESCLOSE = 0.5f;
  m_.pcg.PCGCONSECLIM = 2;
  m_.pcg.PCGINNERTOT = 2;
  pcgClosureRule(m_);
  EXPECT_EQ(m_.pcg.PCGCONSEC, 1);
  // No inner iteration counted this time: the count kept from the previous call is used.
  m_.pcg.PCGINNERTOT = 0;
  pcgClosureRule(m_);
  EXPECT_EQ(m_.pcg.keptCount, 2);
  EXPECT_EQ(m_.pcg.PCGCONSEC, 2);
  // An iteration where the solver itself converged does not extend the run.
  m_.CONVERGED = 1;
  pcgClosureRule(m_);
  EXPECT_EQ(m_.pcg.PCGCONSEC, 1);
  EXPECT_EQ(listing(), "");
}

TEST(DryConvert, ConvertsVariableHeadCellsOfConvertibleLayersAtOrBelowTheirBottom) {
  Model m;
  m.NLAYER = 3;
  m.NROWS = 1;
  m.NCOLS = 4;
  m.LAYCON = {1, 0, 3};
  m.HEADDRY = -999.0f;
  // Layer 1: below, exactly at, above (in double, equal in single), above the bottom 5.0.
  // Layer 2 (not convertible): below. Layer 3: constant head below, inactive below, variable below, above.
  std::vector<double> head = {4.0, 5.0, 5.0000000001, 6.0, 1.0, 1.0, 1.0, 1.0, 0.5, 0.5, 0.5, 3.0};
  std::vector<int> ibound = {1, 1, 1, 1, 1, 1, 1, 1, -1, 0, 1, 1};
  std::vector<float> condc(12, 7.0f);
  std::vector<float> bottom = {5.0f, 5.0f, 5.0f, 5.0f, 2.0f, 2.0f, 2.0f, 2.0f};  // layers 1 and 3
  m.HEADNEW = head.data();
  m.IBOUND = ibound.data();
  m.CONDC = condc.data();
  m.BOTTOM = bottom.data();
  DRYCONVERT(m);
  EXPECT_EQ(head,
            (std::vector<double>{-999.0, -999.0, -999.0, 6.0, 1.0, 1.0, 1.0, 1.0, 0.5, 0.5, -999.0, 3.0}));
  EXPECT_EQ(ibound, (std::vector<int>{0, 0, 0, 1, 1, 1, 1, 1, -1, 0, 0, 1}));
  EXPECT_EQ(condc, (std::vector<float>{0, 0, 0, 7, 7, 7, 7, 7, 7, 7, 0, 7}));

  // Without a flow package no layer is convertible and nothing changes.
  Model bare;
  bare.NLAYER = 1;
  bare.NROWS = 1;
  bare.NCOLS = 4;
  std::vector<double> h2 = {-5.0, -5.0, -5.0, -5.0};
  std::vector<int> i2 = {1, 1, 1, 1};
  bare.HEADNEW = h2.data();
  bare.IBOUND = i2.data();
  DRYCONVERT(bare);
  EXPECT_EQ(i2, (std::vector<int>{1, 1, 1, 1}));
}

}  // namespace
}  // namespace aqx
