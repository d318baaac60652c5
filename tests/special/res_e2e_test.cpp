// Whole runs with RES: a reservoir at a constant stage leaks like a river with the bed's
// conductance and bottom, in both regimes, and the run's heads and budget agree with the series
// of conductances from the stage to a constant head.
#include <gtest/gtest.h>

#include <cmath>
#include <ostream>
#include <string>
#include <vector>

#include "support/binary_files.hpp"
#include "support/e2e.hpp"

namespace aqx::test {
namespace {

struct RegimeCase {
  const char* name;
  const char* conductivity;  // of the bed; 1 x 100 x 100 / thickness 1 gives the conductance
  double bedConductance;
  bool headAboveBed;
};

void PrintTo(const RegimeCase& c, std::ostream* os) {
  *os << c.name;
}

class ResWholeRun : public ::testing::TestWithParam<RegimeCase> {};

// One row of three 100 x 100 cells with transmissivity 100 (conductance 100 between cells), a
// constant head of 0 in column 1 and the reservoir on column 3: land 10, bed 1 thick (bottom 9),
// stage 12.
TEST_P(ResWholeRun, LeaksLikeARiverWithTheBedConductanceAndBottom) {
  const RegimeCase& c = GetParam();
  TempDir dir;
  dir.write("m.nam",
            "LIST 6 m.lst\nBAS 1 m.bas\nBCF 11 m.bcf\nRES 27 m.res\nPCG 19 m.pcg\nOC 22 m.oc\n"
            "DATA(BINARY) 30 m.hds\nDATA(BINARY) 40 m.cbc\n");
  dir.write("m.bas",
            "Reservoir on a strip\nsteady state\n"
            "         1         1         3         1         4         0\n\n"
            "         0         0\n"
            "INTERNAL 1 (FREE) 0\n-1 1 1\n"
            "     -999.\n"
            "CONSTANT 0.0\n"
            "       1.0         1       1.0\n");
  dir.write("m.bcf",
            "         1         0     -888.         0       1.0         0         0\n"
            " 0\n"
            "CONSTANT 1.0\nCONSTANT 100.0\nCONSTANT 100.0\nCONSTANT 100.0\n");
  dir.write("m.res",
            "         1        40         1         1         0\n"
            "INTERNAL 1 (FREE) 0\n0 0 1\n"
            "CONSTANT 10.0\n"
            "CONSTANT " +
                std::string(c.conductivity) +
                "\n"
                "CONSTANT 1.0\n"
                "      12.0      12.0\n");
  dir.write("m.pcg",
            "        60        30         1         0\n"
            "    1.0E-6    1.0E-4       1.0         0         0         0       1.0\n");
  dir.write("m.oc", "HEAD SAVE UNIT 30\nPERIOD 1 STEP 1\nSAVE HEAD\nPRINT BUDGET\nSAVE BUDGET\n");
  const RunResult result = runAquifex(dir.path(), {}, "m.nam\n");
  ASSERT_EQ(result.status, 0) << result.out << result.err;

  // The river solution: above the bed the stage drives the flow through the bed and the two
  // cell-to-cell conductances; below it the bed passes a fixed conductance x (stage - bottom).
  const double cell = 100.0, stage = 12.0, bottom = 9.0, C = c.bedConductance;
  const double q = c.headAboveBed ? stage / (1.0 / C + 2.0 / cell) : C * (stage - bottom);
  const double h3 = 2.0 * q / cell;
  ASSERT_EQ(h3 > bottom, c.headAboveBed);

  const auto layers = readLayerFile(dir.readBytes("m.hds"));
  ASSERT_EQ(layers.size(), 1u);
  EXPECT_NEAR(layers[0].values[2], h3, 1e-4 * h3);
  EXPECT_NEAR(layers[0].values[1], h3 / 2.0, 1e-4 * h3);

  const auto records = readBudgetFile(dir.readBytes("m.cbc"));
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].label, " RESERV. LEAKAGE");
  EXPECT_NEAR(records[0].at(1, 1, 3), q, 1e-4 * q);
  EXPECT_EQ(records[0].at(1, 1, 2), 0.0f);

  // The budget row and a closed balance.
  const std::string lst = dir.readText("m.lst");
  const std::size_t row = lst.find(" RESERV. LEAKAGE =");
  ASSERT_NE(row, std::string::npos) << lst;
  const std::size_t rate = lst.find(" RESERV. LEAKAGE =", row + 1);
  ASSERT_NE(rate, std::string::npos) << lst;
  EXPECT_NEAR(std::stod(lst.substr(rate + 18, 18)), q, 1e-4 * q);
  const std::size_t discrepancy = lst.find("PERCENT DISCREPANCY =");
  ASSERT_NE(discrepancy, std::string::npos) << lst;
  EXPECT_LT(std::abs(std::stod(lst.substr(discrepancy + 21, 16))), 0.01) << lst;
}

INSTANTIATE_TEST_SUITE_P(Regimes, ResWholeRun,
                         ::testing::Values(RegimeCase{"HeadAboveTheBed", "0.5", 5000.0, true},
                                           RegimeCase{"HeadBelowTheBed", "0.001", 10.0, false}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace aqx::test
