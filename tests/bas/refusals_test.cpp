// Input that describes an impossible aquifer is refused where it is read: the bundled demo, and the
// demo with one more package, each with one value mistyped at a time. Every refused value must
// stop the run with a nonzero status and a listing message that names the array or list entry,
// where it is, and why; the same values in no-flow cells, and zeros, are accepted.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <limits>
#include <string>
#include <vector>

#include "support/e2e.hpp"

namespace aqx::test {
namespace {

// The demo grid: 2 layers of 15 rows by 20 columns; layer 1 has no-flow cells at rows 13-15,
// columns 18-20; two stress periods.
constexpr int kRows = 15, kCols = 20;

// Packages added to the demo, on units of their own, sized for its grid and periods.
struct Extra {
  const char* name;  // the variant's name, also the file suffix
  const char* namLine;
  const char* content;
};

const Extra kExtras[] = {
    {"ghb", "GHB    15  demo.ghb\n",
     "         2         0\n         1\n         2        10         2      45.0     100.0\n        -1\n"},
    {"chd", "CHD    16  demo.chd\n",
     "         1\n         1\n         2        15        20      49.0      48.0\n        -1\n"},
    {"hfb", "HFB    17  demo.hfb\n",
     "         1\n         0\n         1\n         5         5         5         6      0.01\n"},
    {"rch", "RCH    18  demo.rch\n", "         1         0\n         0\nCONSTANT 0.001\n        -1\n"},
    {"evt", "EVT    20  demo.evt\n",
     "         1         0\n         0         0         0\nCONSTANT 52.0\nCONSTANT 0.001\nCONSTANT 5.0\n"
     "        -1        -1        -1\n"},
    {"str", "STR    21  demo.str\n",
     "         2         1         0         0         0       0.0         0         0\n"
     "         2         0         0\n"
     "    1    3    3    1    1          10.0      49.0     100.0      47.0      48.0\n"
     "    1    4    3    1    2           0.0      48.9     101.0      46.9      47.9\n"
     "        -1         0         0\n"},
    {"ibs", "IBS    23  demo.ibs\n",
     "         0         0\n 0 1\nCONSTANT 40.0\nCONSTANT 1.0E-4\nCONSTANT 1.0E-3\nCONSTANT 0.0\n"},
    {"fhb", "FHB    24  demo.fhb\n", "2 1 0 0 0 0 0\n24 1.0 0\n0.0 100.0\n24 1.0 0\n2 7 7 0 -100.0 -100.0\n"},
    {"res", "RES    25  demo.res\n",
     "         1         0         1         0         0\nCONSTANT 1\nCONSTANT 55.0\nCONSTANT 1.0\n"
     "CONSTANT 2.0\n      40.0      40.0\n      40.0      40.0\n"},
    {"tlk", "TLK    26  demo.tlk\n",
     "         1         0         3         0         0\n 1\nCONSTANT 0.1\nCONSTANT 5.0\nCONSTANT 1.0E-5\n"},
};

// GFD in the place of BCF: two confined layers with conductances and storage capacities as read.
const char* kGfd =
    "         0         0\n 0 0\nCONSTANT 100.0\nCONSTANT 101.0\nCONSTANT 1500.0\nCONSTANT 1200.0\n"
    "CONSTANT 1201.0\nCONSTANT 200.0\nCONSTANT 2.0\nCONSTANT 300.0\nCONSTANT 301.0\n";

// An internal layer array under a multiplier, every value `fill` except (row, col) = `odd`.
std::string layerArray(const char* multiplier, const char* fill, int row, int col, const char* odd) {
  std::string s = std::string("INTERNAL ") + multiplier + " (FREE) -1\n";
  for (int i = 1; i <= kRows; ++i) {
    if (i > 1) s += "\n";
    for (int j = 1; j <= kCols; ++j) s += std::string(" ") + (i == row && j == col ? odd : fill);
  }
  return s;  // without the last line end: it replaces the text of one line
}

// A binary layer record (header, then row after row) whose cell (row, col) holds `odd`.
std::string binaryLayer(float fill, int row, int col, float odd) {
  std::string b;
  auto put = [&b](const void* p, std::size_t n) { b.append(static_cast<const char*>(p), n); };
  const int head[2] = {1, 1};
  const float times[2] = {0.0f, 0.0f};
  const int dims[3] = {kCols, kRows, 2};
  put(head, sizeof head);
  put(times, sizeof times);
  b += "   INITIAL HEAD ";
  put(dims, sizeof dims);
  for (int i = 1; i <= kRows; ++i) {
    for (int j = 1; j <= kCols; ++j) {
      const float v = i == row && j == col ? odd : fill;
      put(&v, sizeof v);
    }
  }
  return b;
}

struct Edit {
  std::string file;  // file of the model, e.g. "demo.bcf"
  std::string from;  // text replaced (its `occurrence`-th appearance)
  std::string to;
  int occurrence = 1;
};

struct Case {
  const char* name;
  const char* variant;  // "" the demo, "gfd" GFD for BCF, else the name of an Extra
  std::vector<Edit> edits;
  const char* message;  // listing text of the refusal; nullptr: the run must end normally
};

void setUp(const TempDir& dir, const std::string& variant) {
  std::filesystem::copy(sourcePath("examples/demo"), dir.path(), std::filesystem::copy_options::recursive);
  std::string nam = dir.readText("demo.nam");
  if (variant == "gfd") {
    const std::string bcf = "BCF    11  demo.bcf\n";
    nam.replace(nam.find(bcf), bcf.size(), "GFD    11  demo.gfd\n");
    dir.write("demo.gfd", kGfd);
  }
  for (const Extra& e : kExtras) {
    if (variant != e.name) continue;
    nam += e.namLine;
    dir.write(std::string("demo.") + e.name, e.content);
  }
  dir.write("demo.nam", nam);
}

// Applies the edit; false when the text to replace is not in the file.
bool apply(const TempDir& dir, const Edit& e) {
  std::string s = dir.readText(e.file);
  std::size_t at = std::string::npos;
  for (int n = 0; n < e.occurrence; ++n) {
    at = s.find(e.from, at == std::string::npos ? 0 : at + 1);
    if (at == std::string::npos) return false;
  }
  s.replace(at, e.from.size(), e.to);
  dir.write(e.file, s);
  return true;
}

const std::string kDims = "         2        15        20         2         4         0";
const float kNaN = std::numeric_limits<float>::quiet_NaN();

std::vector<Case> cases() {
  const std::string bas = "demo.bas", bcf = "demo.bcf";
  // The demo's starting heads of layer 1, then of layer 2.
  const Edit headsLayer2Binary{bas, "CONSTANT 50.0", "OPEN/CLOSE heads2.bin 1.0 (BINARY) -1", 2};
  return {
      {"DemoUnchanged", "", {}, nullptr},
      {"StressPeriodsZero",
       "",
       {{bas, kDims, "         2        15        20         0         4         0"}},
       "THERE MUST BE AT LEAST ONE STRESS PERIOD"},
      {"StressPeriodsNegative",
       "",
       {{bas, kDims, "         2        15        20        -3         4         0"}},
       "THERE MUST BE AT LEAST ONE STRESS PERIOD"},
      // A multiplier that takes a value beyond single precision.
      {"InitialHeadOverflows",
       "",
       {{bas, "CONSTANT 50.0", layerArray("1.0E30", "5.0E-29", 4, 7, "1.0E10")}},
       "INITIAL HEAD AT LAYER   1, ROW     4, COLUMN     7 IS NOT A FINITE NUMBER:      Infinity"},
      {"InitialHeadNaNInBinaryArray",
       "",
       {headsLayer2Binary},
       "INITIAL HEAD AT LAYER   2, ROW     2, COLUMN     3 IS NOT A FINITE NUMBER:           NaN"},
      {"InitialHeadOverflowsInNoFlowCell",
       "",
       {{bas, "CONSTANT 50.0", layerArray("1.0E30", "5.0E-29", 14, 19, "1.0E10")}},
       nullptr},
      {"DelrNegative",
       "",
       {{bcf, "CONSTANT 100.0", "CONSTANT -100.0"}},
       "DELR AT COLUMN     1 MUST BE GREATER THAN 0.0:  -100.000"},
      {"DelcZero",
       "",
       {{bcf, "CONSTANT 100.0", "CONSTANT 0.0", 2}},
       "DELC AT ROW     1 MUST BE GREATER THAN 0.0:  0.000000E+00"},
      {"AnisotropyNegative",
       "",
       {{bcf, "CONSTANT 1.0\n", "CONSTANT -1.0\n"}},
       "COLUMN TO ROW ANISOTROPY AT LAYER     1 IS NEGATIVE:  -1.00000"},
      {"PrimaryStorageNegative",
       "",
       {{bcf, "CONSTANT 0.15", "CONSTANT -0.15"}},
       "PRIMARY STORAGE COEF AT LAYER   1, ROW     1, COLUMN     1 IS NEGATIVE: -0.150000"},
      {"HydraulicConductivityNegative",
       "",
       {{bcf, "CONSTANT 12.0", layerArray("1.0", "12.0", 9, 11, "-12.0")}},
       "HYD. COND. ALONG ROWS AT LAYER   1, ROW     9, COLUMN    11 IS NEGATIVE:  -12.0000"},
      {"HydraulicConductivityNegativeInNoFlowCell",
       "",
       {{bcf, "CONSTANT 12.0", layerArray("1.0", "12.0", 13, 18, "-12.0")}},
       nullptr},
      // With wetting, a no-flow cell whose wetting threshold is not 0 may wet: its values count.
      {"HydraulicConductivityNegativeInCellThatMayWet",
       "",
       {{bcf, "         0        40     -888.         0       1.0         0",
         "         0        40     -888.         1       1.0         1"},
        {bcf, "CONSTANT 12.0", layerArray("1.0", "12.0", 13, 18, "-12.0")},
        {bcf, "CONSTANT 0.02\n", "CONSTANT 0.02\nCONSTANT 2.0\n"}},
       "HYD. COND. ALONG ROWS AT LAYER   1, ROW    13, COLUMN    18 IS NEGATIVE:  -12.0000"},
      {"HydraulicConductivityOverflows",
       "",
       {{bcf, "CONSTANT 12.0", layerArray("1.0E30", "1.2E-29", 2, 2, "1.0E9")}},
       "HYD. COND. ALONG ROWS AT LAYER   1, ROW     2, COLUMN     2 IS NOT A FINITE NUMBER:      Infinity"},
      {"LeakanceNegative",
       "",
       {{bcf, "CONSTANT 0.02", "CONSTANT -0.02"}},
       "VERT HYD COND /THICKNESS AT LAYER   1, ROW     1, COLUMN     1 IS NEGATIVE: -2.000000E-02"},
      // Layer 1's leakance at a no-flow cell joins nothing.
      {"LeakanceNegativeBelowNoFlowCell",
       "",
       {{bcf, "CONSTANT 0.02", layerArray("1.0", "0.02", 15, 20, "-0.02")}},
       nullptr},
      {"TransmissivityNegative",
       "",
       {{bcf, "CONSTANT 300.0", "CONSTANT -300.0"}},
       "TRANSMIS. ALONG ROWS AT LAYER   2, ROW     1, COLUMN     1 IS NEGATIVE:  -300.000"},
      {"TransmissivityZero", "", {{bcf, "CONSTANT 300.0", layerArray("1.0", "300.0", 7, 7, "0.0")}}, nullptr},
      {"SecondaryStorageNegative",
       "",
       {{bcf, " 1 0", " 1 2"}, {bcf, "CONSTANT 300.0\n", "CONSTANT 300.0\nCONSTANT -0.1\nCONSTANT 20.0\n"}},
       "SECONDARY STORAGE COEF AT LAYER   2, ROW     1, COLUMN     1 IS NEGATIVE: -0.100000"},
      {"DrainConductanceNegative",
       "",
       {{"demo.drn", "     150.0", "    -150.0", 2}},
       "DRN ENTRY     2 CONDUCTANCE IS NEGATIVE:  -150.000"},
      {"DrainConductanceZero", "", {{"demo.drn", "     150.0", "       0.0", 2}}, nullptr},
      {"RiverConductanceNegative",
       "",
       {{"demo.riv", "     200.0", "    -200.0", 3}},
       "RIV ENTRY     3 CONDUCTANCE IS NEGATIVE:  -200.000"},
      {"GhbConductanceNegative",
       "ghb",
       {{"demo.ghb", "     100.0", "    -100.0"}},
       "GHB ENTRY     1 CONDUCTANCE IS NEGATIVE:  -100.000"},
      {"GhbUnchanged", "ghb", {}, nullptr},
      {"ChdUnchanged", "chd", {}, nullptr},
      {"BarrierCharacteristicNegative",
       "hfb",
       {{"demo.hfb", "      0.01", "     -0.01"}},
       "HFB ENTRY     1 HYDRAULIC CHARACTERISTIC IS NEGATIVE: -1.000000E-02"},
      {"HfbUnchanged", "hfb", {}, nullptr},
      {"RechargeOverflowsOverCellArea",
       "rch",
       {{"demo.rch", "CONSTANT 0.001", "CONSTANT 1.0E36"}},
       "RECHARGE AT ROW     1, COLUMN     1 IS NOT A FINITE NUMBER:      Infinity"},
      {"RchUnchanged", "rch", {}, nullptr},
      {"EvtRateOverflowsOverCellArea",
       "evt",
       {{"demo.evt", "CONSTANT 0.001", "CONSTANT 1.0E36"}},
       "EVAPOTRANSPIRATION RATE AT ROW     1, COLUMN     1 IS NOT A FINITE NUMBER:      Infinity"},
      {"EvtUnchanged", "evt", {}, nullptr},
      {"StreamConductanceNegative",
       "str",
       {{"demo.str", "     101.0", "    -101.0"}},
       "STR ENTRY     2 STREAMBED CONDUCTANCE IS NEGATIVE:  -101.000"},
      {"StrUnchanged", "str", {}, nullptr},
      {"ElasticInterbedStorageNegative",
       "ibs",
       {{"demo.ibs", "CONSTANT 1.0E-4", "CONSTANT -1.0E-4"}},
       "ELASTIC INTERBED STORAGE AT LAYER   2, ROW     1, COLUMN     1 IS NEGATIVE: -1.000000E-04"},
      {"VirginInterbedStorageNegative",
       "ibs",
       {{"demo.ibs", "CONSTANT 1.0E-3", "CONSTANT -1.0E-3"}},
       "VIRGIN INTERBED STORAGE AT LAYER   2, ROW     1, COLUMN     1 IS NEGATIVE: -1.000000E-03"},
      {"IbsUnchanged", "ibs", {}, nullptr},
      {"FhbFlowOverflows",
       "fhb",
       {{"demo.fhb", "24 1.0 0\n2 7 7 0 -100.0", "24 1.0E30 0\n2 7 7 0 -1.0E10"}},
       "FHB FLOW ENTRY     1 VALUE AT TIME 1 IS NOT A FINITE NUMBER:     -Infinity"},
      {"FhbUnchanged", "fhb", {}, nullptr},
      {"ReservoirBedConductivityNegative",
       "res",
       {{"demo.res", "CONSTANT 1.0\n", "CONSTANT -1.0\n"}},
       "RES. BED VERT HYD COND AT LAYER   1, ROW     1, COLUMN     2 IS NEGATIVE:  -1.00000"},
      {"ResUnchanged", "res", {}, nullptr},
      {"ConfiningBedConductivityNegative",
       "tlk",
       {{"demo.tlk", "CONSTANT 0.1", "CONSTANT -0.1"}},
       "VERTICAL CONDUCTIVITY AT LAYER   1, ROW     1, COLUMN     1 IS NEGATIVE: -0.100000"},
      {"ConfiningBedThicknessNegative",
       "tlk",
       {{"demo.tlk", "CONSTANT 5.0", "CONSTANT -5.0"}},
       "CONFINING BED THICKNESS AT LAYER   1, ROW     1, COLUMN     1 IS NEGATIVE:  -5.00000"},
      {"SpecificStorageNegative",
       "tlk",
       {{"demo.tlk", "CONSTANT 1.0E-5", "CONSTANT -1.0E-5"}},
       "SPECIFIC STORAGE AT LAYER   1, ROW     1, COLUMN     1 IS NEGATIVE: -1.000000E-05"},
      {"TlkUnchanged", "tlk", {}, nullptr},
      {"GfdDelrNegative",
       "gfd",
       {{"demo.gfd", "CONSTANT 100.0", "CONSTANT -100.0"}},
       "DELR AT COLUMN     1 MUST BE GREATER THAN 0.0:  -100.000"},
      {"GfdStorageCapacityNegative",
       "gfd",
       {{"demo.gfd", "CONSTANT 2.0\n", "CONSTANT -2.0\n"}},
       "PRIMARY STORAGE CAPACITY AT LAYER   2, ROW     1, COLUMN     1 IS NEGATIVE:  -2.00000"},
      {"GfdConductanceAlongColumnsNegative",
       "gfd",
       {{"demo.gfd", "CONSTANT 1201.0", "CONSTANT -1201.0"}},
       "CONDUCTANCE ALONG COLS AT LAYER   1, ROW     1, COLUMN     1 IS NEGATIVE:  -1201.00"},
      {"GfdVerticalConductanceNegative",
       "gfd",
       {{"demo.gfd", "CONSTANT 200.0", "CONSTANT -200.0"}},
       "VERTICAL CONDUCTANCE AT LAYER   1, ROW     1, COLUMN     1 IS NEGATIVE:  -200.000"},
      // The last column's conductance along rows links to no cell.
      {"GfdConductanceLastColumnNegative",
       "gfd",
       {{"demo.gfd", "CONSTANT 300.0", layerArray("1.0", "300.0", 5, kCols, "-300.0")}},
       nullptr},
      {"GfdUnchanged", "gfd", {}, nullptr},
  };
}

class Refusal : public testing::TestWithParam<Case> {};

TEST_P(Refusal, StopsWithMessageOrRunsNormally) {
  const Case& c = GetParam();
  TempDir dir;
  setUp(dir, c.variant);
  dir.write("heads2.bin", binaryLayer(50.0f, 2, 3, kNaN));
  for (const Edit& e : c.edits) ASSERT_TRUE(apply(dir, e)) << e.file << ": no " << e.from;

  const RunResult r = runAquifex(dir.path(), {"--quiet", "demo.nam"}, "", RunLimits{60, 64ull << 20});
  const std::string lst = dir.exists("demo.lst") ? dir.readText("demo.lst") : "";
  if (c.message == nullptr) {
    EXPECT_EQ(r.status, 0) << r.out << r.err << lst;
    EXPECT_EQ(lst.find("STOP EXECUTION"), std::string::npos) << lst;
    return;
  }
  EXPECT_NE(r.status, 0);
  EXPECT_LT(r.status, 128) << "killed by a signal";
  const std::size_t at = lst.find(c.message);
  ASSERT_NE(at, std::string::npos) << "expected: " << c.message << "\n"
                                   << lst.substr(lst.size() > 3000 ? lst.size() - 3000 : 0);
  // The message ends the listing's account of the run: no period is simulated after it.
  EXPECT_EQ(lst.find("TIME STEP", at), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(DemoAndPackages, Refusal, testing::ValuesIn(cases()),
                         [](const testing::TestParamInfo<Case>& info) {
                           return std::string(info.param.name);
                         });

}  // namespace
}  // namespace aqx::test
