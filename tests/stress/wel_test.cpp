// WEL and the boundary-list mechanism, driven phase by phase on a small hand-built grid: options,
// echo table, reuse, equation terms, the budget row and the three ways of reporting cell flows.
#include "stress/wel.hpp"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "driver/model.hpp"
#include "driver/package.hpp"
#include "io/record.hpp"
#include "support/binary_files.hpp"
#include "support/e2e.hpp"

namespace aqx {
namespace {

using test::intAt;
using test::realAt;

constexpr int kList = 6, kWelUnit = 11, kCbcUnit = 40;

// One layer of 3 rows by 4 columns: cell (1,1,1) constant head, (1,3,4) no flow.
class WelRun {
 public:
  explicit WelRun(const std::string& input, bool freeFormat = false) {
    m_.work->reset();
    m_.NLAYER = 1;
    m_.NROWS = 3;
    m_.NCOLS = 4;
    m_.NCELLS = 12;
    m_.FREEFMT = freeFormat ? 1 : 0;
    m_.IBOUND = m_.work->takeInt(12);
    m_.RHS = m_.work->takeReal(12);
    m_.BUFF = m_.work->takeReal(12);
    for (int n = 0; n < 12; ++n) m_.IBOUND[n] = 1;
    m_.IBOUND[m_.cell(1, 1, 1)] = -1;
    m_.IBOUND[m_.cell(1, 3, 4)] = 0;
    dir_.write("wel.dat", input);
    m_.LISTUNIT = kList;
    io::open(kList, (dir_ / "out.lst").string());
    io::openExisting(kWelUnit, (dir_ / "wel.dat").string());
    io::open(kCbcUnit, (dir_ / "cbc.bin").string(), io::Form::Stream);
    m_.PKGUNIT[kWEL] = kWelUnit;
    wel_ = std::make_unique<WelPackage>();
    EXPECT_NE(findPackage("WEL"), nullptr);
  }
  ~WelRun() { io::closeRange(1, 96); }

  Model& m() { return m_; }
  Package& wel() { return *wel_; }

  // Runs one stress period of one step: read the list, formulate once, budget.
  void period(int kper, int icbcfl) {
    m_.KPERIOD = kper;
    m_.KSTEP = 1;
    m_.DELT = 2.0f;
    m_.PERTIME = 2.0f;
    m_.TOTTIME = 2.0f * static_cast<float>(kper);
    wel_->stressPeriod(m_);
    std::fill(m_.RHS, m_.RHS + 12, 0.0f);
    wel_->formulate(m_);
    rhs_.assign(m_.RHS, m_.RHS + 12);
    m_.ICBCFL = icbcfl;
    m_.BUDNEXT = 1;
    wel_->budget(m_);
  }
  float rhsAt(int i, int j) const { return rhs_[static_cast<std::size_t>(m_.cell(1, i, j))]; }

  std::string listing() {
    io::close(kList);
    return dir_.readText("out.lst");
  }
  std::string cbc() {
    io::close(kCbcUnit);
    return dir_.readBytes("cbc.bin");
  }

 private:
  test::TempDir dir_;
  Model m_;
  std::unique_ptr<Package> wel_;
  std::vector<float> rhs_;
};


bool has(const std::string& text, const std::string& piece) {
  return text.find(piece) != std::string::npos;
}

// Wells: two in cell (2,3), one in the constant-head cell, one in the no-flow cell, one outflow.
const char* kFourWells =
    "         5        40         AUX IFACE aux Q2 CBC\n"
    "         5\n"
    "         1         2         3     100.0  3.0 7.5\n"
    "         1         2         3     -40.0  1.0 0.0\n"
    "         1         1         1     999.0  0.0 0.0\n"
    "         1         3         4     888.0  0.0 0.0\n"
    "         1         1         2     -25.5  0.0 0.0\n"
    "        -1\n";

TEST(Wel, OptionsEchoEquationsAndCompactRecords) {
  WelRun run(kFourWells);
  run.wel().allocate(run.m());
  run.period(1, 2);
  Model& m = run.m();

  // Equation terms: RHS - Q in variable-head cells only; two wells in one cell add up.
  EXPECT_FLOAT_EQ(run.rhsAt(2, 3), -60.0f);
  EXPECT_FLOAT_EQ(run.rhsAt(1, 2), 25.5f);
  EXPECT_EQ(run.rhsAt(1, 1), 0.0f);
  EXPECT_EQ(run.rhsAt(3, 4), 0.0f);

  // Budget row: in 100, out 65.5, volumes times DELT.
  EXPECT_EQ(m.BUDNEXT, 2);
  EXPECT_EQ(m.BUDNAM[0], "           WELLS");
  EXPECT_FLOAT_EQ(m.BUDVAL[0][2], 100.0f);
  EXPECT_FLOAT_EQ(m.BUDVAL[0][3], 65.5f);
  EXPECT_FLOAT_EQ(m.BUDVAL[0][0], 200.0f);
  EXPECT_FLOAT_EQ(m.BUDVAL[0][1], 131.0f);
  EXPECT_FLOAT_EQ(m.BUFF[m.cell(1, 2, 3)], 60.0f);

  // Period 2 reuses the list: same terms, volumes accumulate.
  run.period(2, 2);
  EXPECT_FLOAT_EQ(run.rhsAt(2, 3), -60.0f);
  EXPECT_FLOAT_EQ(m.BUDVAL[0][0], 400.0f);

  const std::string lst = run.listing();
  EXPECT_TRUE(has(lst,
                  " WEL5 -- WELL PACKAGE, VERSION 5, 9/1/93 INPUT READ FROM UNIT 11\n"
                  " MAXIMUM OF    5 WELLS\n"
                  " CELL-BY-CELL FLOWS WILL BE SAVED ON UNIT 40\n"
                  " AUXILIARY WELL PARAMETER: IFACE           \n"
                  " AUXILIARY WELL PARAMETER: Q2              \n"
                  " MEMORY IS ALLOCATED FOR CELL-BY-CELL BUDGET TERMS\n"
                  "         35 ELEMENTS IN X ARRAY ARE USED BY WEL\n"))
      << lst;
  EXPECT_TRUE(has(lst,
                  " \n\n     5 WELLS\n \n"
                  " LAYER   ROW   COL   STRESS RATE   WELL NO.  IFACE             Q2                \n"
                  " ------------------------------------------------------------------------------\n"
                  "    1      2     3     100.00          1        3.0000            7.5000      \n"
                  "    1      2     3    -40.000          2        1.0000           0.00000E+00  \n"))
      << lst;
  EXPECT_TRUE(has(lst, "\n REUSING WELLS FROM LAST STRESS PERIOD\n")) << lst;
  EXPECT_TRUE(has(lst, " UBDSV2 SAVING \"           WELLS\" ON UNIT  40 AT TIME STEP  1, STRESS PERIOD  1\n"))
      << lst;

  // Compact list records: header with 5 entries, every entry written, inactive ones with 0.
  const std::string b = run.cbc();
  ASSERT_EQ(b.size(), 2u * (56 + 5 * 8));
  EXPECT_EQ(intAt(b, 32), -1);  // minus the layer count
  EXPECT_EQ(intAt(b, 36), 2);   // method 2
  EXPECT_EQ(intAt(b, 52), 5);
  const int cells[5] = {7, 7, 1, 12, 2};
  const float flows[5] = {100.0f, -40.0f, 0.0f, 0.0f, -25.5f};
  for (int e = 0; e < 5; ++e) {
    EXPECT_EQ(intAt(b, 56 + 8 * e), cells[e]) << e;
    EXPECT_EQ(realAt(b, 60 + 8 * e), flows[e]) << e;
  }
}

TEST(Wel, PrintedFlowsSkipInactiveCellsAndFullRecordSumsTheCell) {
  {
    WelRun run(std::string(kFourWells).replace(10, 10, "        -1"));
    run.wel().allocate(run.m());
    run.period(1, 1);
    const std::string lst = run.listing();
    EXPECT_TRUE(has(lst, " CELL-BY-CELL FLOWS WILL BE PRINTED WHEN ICBCFL NOT 0\n")) << lst;
    EXPECT_TRUE(has(lst,
                    "\n            WELLS   PERIOD  1   STEP  1\n"
                    " WELL   1   LAYER  1   ROW   2   COL   3   RATE    100.000    \n"
                    " WELL   2   LAYER  1   ROW   2   COL   3   RATE   -40.0000    \n"
                    " WELL   5   LAYER  1   ROW   1   COL   2   RATE   -25.5000    \n"))
        << lst;
    EXPECT_FALSE(has(lst, " WELL   3 ")) << lst;
  }
  {
    WelRun run(kFourWells);
    run.wel().allocate(run.m());
    run.period(1, 1);
    const std::string b = run.cbc();
    ASSERT_EQ(b.size(), 36u + 48u);
    EXPECT_EQ(intAt(b, 32), 1);
    EXPECT_EQ(realAt(b, 36 + 4 * 6), 60.0f);  // cell (2,3): both wells
    EXPECT_EQ(realAt(b, 36 + 4 * 0), 0.0f);   // constant-head cell
  }
  {
    // Cell-by-cell unit given, but no cell-by-cell output asked for this step.
    WelRun run(kFourWells);
    run.wel().allocate(run.m());
    run.period(1, 0);
    EXPECT_EQ(run.cbc().size(), 0u);
  }
}

TEST(Wel, ReuseInFirstPeriodAndZeroRateWell) {
  WelRun run("         3         0\n        -1\n         1\n         1         2         2       0.0\n");
  run.wel().allocate(run.m());
  run.period(1, 0);
  EXPECT_EQ(run.m().BUDVAL[0][2], 0.0f);
  run.period(2, 0);
  EXPECT_EQ(run.m().BUDVAL[0][2], 0.0f);
  EXPECT_EQ(run.m().BUDVAL[0][3], 0.0f);
  const std::string lst = run.listing();
  EXPECT_TRUE(has(lst, "\n REUSING WELLS FROM LAST STRESS PERIOD\n")) << lst;
  EXPECT_TRUE(
      has(lst, " LAYER   ROW   COL   STRESS RATE   WELL NO.\n ------------------------------------------\n"))
      << lst;
}

TEST(Wel, SixthAuxiliaryNameIsIgnored) {
  WelRun run("         1         0 AUX A AUX B AUX C AUX D AUX E AUX F CBC\n         0\n");
  run.wel().allocate(run.m());
  run.period(1, 0);
  const std::string lst = run.listing();
  EXPECT_TRUE(has(lst, " AUXILIARY WELL PARAMETER: E")) << lst;
  EXPECT_FALSE(has(lst, " AUXILIARY WELL PARAMETER: F")) << lst;
  // Four values, five aux names, the kept flow: 10 elements for the single well.
  EXPECT_TRUE(has(lst, "         10 ELEMENTS IN X ARRAY ARE USED BY WEL\n")) << lst;
  EXPECT_TRUE(has(lst, "\n     0 WELLS\n")) << lst;
}

TEST(Wel, FreeFormatRecords) {
  WelRun run("2 0 aux depth\n2\n1 2 2 -3.5 12.0\n1,3,3,4.0,1.5\n", true);
  run.wel().allocate(run.m());
  run.period(1, 0);
  EXPECT_FLOAT_EQ(run.rhsAt(2, 2), 3.5f);
  EXPECT_FLOAT_EQ(run.rhsAt(3, 3), -4.0f);
  EXPECT_FLOAT_EQ(run.m().BUDVAL[0][2], 4.0f);
  EXPECT_FLOAT_EQ(run.m().BUDVAL[0][3], 3.5f);
  const std::string lst = run.listing();
  EXPECT_TRUE(has(lst, "    1      3     3     4.0000          2        1.5000      \n")) << lst;
}

struct StopCase {
  const char* name;
  const char* input;
  const char* message;
};

void PrintTo(const StopCase& c, std::ostream* os) { *os << c.name; }

class WelStops : public ::testing::TestWithParam<StopCase> {};

TEST_P(WelStops, WithMessage) {
  WelRun run(GetParam().input);
  run.wel().allocate(run.m());
  EXPECT_THROW(run.period(1, 0), io::RunStop);
  const std::string lst = run.listing();
  EXPECT_TRUE(has(lst, GetParam().message)) << lst;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, WelStops,
    ::testing::Values(
        StopCase{"TooMany", "         2         0\n         3\n",
                 "\n NWELLS(   3) IS GREATER THAN MXWELL(   2)\n"},
        StopCase{"RowOutside",
                 "         2         0\n         2\n         1         1         2       1.0\n"
                 "         1         4         2       1.0\n",
                 "\n WEL ENTRY     2 IS OUTSIDE THE GRID: LAYER     1, ROW     4, COLUMN     2\n STOP "
                 "EXECUTION\n"},
        StopCase{"LayerZero", "         1         0\n         1\n                   1         2       1.0\n",
                 "\n WEL ENTRY     1 IS OUTSIDE THE GRID: LAYER     0, ROW     1, COLUMN     2\n"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace aqx
