// Stress-period setup and time steps: headings, step lengths in single precision, the clock, and
// the three period errors.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "bas/bas_harness.hpp"

namespace aqx::test {
namespace {

std::string sp(int n) { return std::string(n, ' '); }

// One-cell model, default output control; the period records follow.
const char* kPrefix =
    "         0         1\n"
    "CONSTANT 1\n"
    "     999.0\n"
    "CONSTANT 10.0\n";

// Runs the periods one by one, collecting DELT at every step.
std::vector<std::vector<float>> stepLengths(BasHarness& h, int periods) {
  h.bas.allocate(h.m);
  h.bas.readPrepare(h.m);
  std::vector<std::vector<float>> all;
  for (int p = 1; p <= periods; ++p) {
    h.m.KPERIOD = p;
    h.bas.stressPeriod(h.m);
    all.emplace_back();
    for (int s = 1; s <= h.m.NSTEPS; ++s) {
      h.m.KSTEP = s;
      h.bas.advance(h.m);
      all.back().push_back(h.m.DELT);
    }
    EXPECT_NEAR(h.m.PERTIME, 10.0f, 1e-5f) << "period " << p;
  }
  return all;
}

TEST(StressPeriods, StepLengthsGrowGeometricallyInSinglePrecision) {
  BasHarness h(1, 1, 1);
  h.basFile(std::string(kPrefix) +
            "      10.0         4       1.0\n"
            "      10.0         4       2.0\n"
            "      10.0         4       0.5\n");
  const auto steps = stepLengths(h, 3);

  EXPECT_EQ(steps[0], (std::vector<float>{2.5f, 2.5f, 2.5f, 2.5f}));
  const float first = 10.0f * (1.0f - 2.0f) / (1.0f - 16.0f);  // 2/3 in single precision
  EXPECT_EQ(steps[1], (std::vector<float>{first, first * 2.0f, first * 2.0f * 2.0f, first * 2.0f * 2.0f * 2.0f}));
  const float big = 10.0f * 0.5f / (1.0f - 0.0625f);
  EXPECT_EQ(steps[2], (std::vector<float>{big, big * 0.5f, big * 0.5f * 0.5f, big * 0.5f * 0.5f * 0.5f}));

  // The clock runs on through all periods, summed step by step in single precision.
  float total = 0.0f;
  for (const auto& period : steps)
    for (float d : period) total += d;
  EXPECT_EQ(h.m.TOTTIME, total);

  const auto text = h.listing();
  const int at = findLine(text, sp(28) + "STRESS PERIOD NO.   2, LENGTH =   10.00000    ");
  ASSERT_GE(at, 1);
  EXPECT_EQ(text[at - 1], "1");
  EXPECT_EQ(text[at + 1], sp(28) + std::string(46, '-'));
  EXPECT_EQ(text[at + 3], sp(30) + "NUMBER OF TIME STEPS =     4");
  EXPECT_EQ(text[at + 5], sp(31) + "MULTIPLIER FOR DELT =     2.000");
  EXPECT_EQ(text[at + 7], sp(28) + "INITIAL TIME STEP SIZE =  0.6666667    ");
  EXPECT_NE(findLine(text, sp(28) + "INITIAL TIME STEP SIZE =   2.500000    "), -1);
  EXPECT_NE(findLine(text, sp(31) + "MULTIPLIER FOR DELT =     0.500"), -1);
  EXPECT_NE(findLine(text, sp(28) + "INITIAL TIME STEP SIZE =   5.333333    "), -1);
}

TEST(StressPeriods, EachCheckStopsAfterTheHeading) {
  struct Case {
    const char* record;
    const char* message;
  } cases[] = {
      {"      10.0         0       1.0\n", " THERE MUST BE AT LEAST ONE TIME STEP"},
      {"       0.0         4       1.0\n", " PERLEN MUST BE GREATER THAN 0.0"},
      {"      10.0         4      -1.0\n", " TSMULT MUST BE GREATER THAN 0.0"},
      // Checked in order: no steps is reported first even when the length is bad too.
      {"      -5.0         0       0.0\n", " THERE MUST BE AT LEAST ONE TIME STEP"},
      {"      10.0         1       0.0\n", " TSMULT MUST BE GREATER THAN 0.0"},
  };
  for (const auto& c : cases) {
    BasHarness h(1, 1, 1);
    h.basFile(std::string(kPrefix) + c.record);
    h.bas.allocate(h.m);
    h.bas.readPrepare(h.m);
    h.m.KPERIOD = 1;
    EXPECT_THROW(h.bas.stressPeriod(h.m), io::RunStop) << c.record;
    const auto text = h.listing();
    ASSERT_GE(text.size(), 3u);
    EXPECT_EQ(text.back(), c.message);
    EXPECT_NE(text[text.size() - 3].find("MULTIPLIER FOR DELT ="), std::string::npos);
  }
}

TEST(StressPeriods, AdvanceCopiesEveryHeadToHeadOldInSinglePrecision) {
  BasHarness h(1, 1, 2);
  h.basFile(
      "         0         0\n"
      "INTERNAL 1 (FREE) -1\n"
      "1 0\n"
      "     999.0\n"
      "CONSTANT 10.0\n"
      "      10.0         2       1.0\n");
  h.bas.allocate(h.m);
  h.bas.readPrepare(h.m);
  // The no-flow cell starts at NOFLOWHEAD but HEADOLD keeps the value read until the first step.
  EXPECT_EQ(h.m.HEADNEW[1], 999.0);
  EXPECT_EQ(h.m.HEADOLD[1], 10.0f);
  h.m.HEADNEW[0] = 1.0 / 3.0;
  h.m.KPERIOD = 1;
  h.bas.stressPeriod(h.m);
  h.m.KSTEP = 1;
  h.bas.advance(h.m);
  EXPECT_EQ(h.m.HEADOLD[0], static_cast<float>(1.0 / 3.0));
  EXPECT_EQ(h.m.HEADOLD[1], 999.0f);
  EXPECT_EQ(h.m.DELT, 5.0f);
  EXPECT_EQ(h.m.PERTIME, 5.0f);
  EXPECT_EQ(h.m.TOTTIME, 5.0f);
}

}  // namespace
}  // namespace aqx::test
