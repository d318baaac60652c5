// Hostile input to every package, starting from the whole-model fuzz seeds: counts over their
// maximum and negative, cells, layers, segments and reaches outside their ranges, periods and
// steps of zero length. Every case must stop with a message and a nonzero status of its own.
#include <gtest/gtest.h>

#include <string>

#include "hostile/every_package.hpp"

namespace aqx::test {
namespace {

const char* const kSeeds[] = {"bcf_solver0", "bcf_solver1", "bcf_solver2",   "bcf_solver3",
                              "gfd_solver0", "gfd_solver1", "free_variants", "steady"};

TEST(HostilePackages, TheUntouchedModelsRun) {
  for (const char* seed : kSeeds) {
    SCOPED_TRACE(seed);
    TempDir dir;
    RunResult r = runFiles(dir, everyPackageModel(seed));
    EXPECT_EQ(r.status, 0) << r.err << allText(dir, r, model_input::kListing).substr(0, 0);
  }
}

// One line of one file replaced.
struct Edit {
  const char* what;
  const char* file;
  std::string from, to;
  const char* mention;
};

TEST(HostilePackages, CountsCellsAndPeriodsOutOfRange) {
  const Edit edits[] = {
      {"WEL count over its maximum", "m.wel", "         2\n         1         2",
       "         3\n         1         2", ""},
      {"WEL layer outside the grid", "m.wel", "         1         2         3      -0.5",
       "         3         2         3      -0.5", ""},
      {"DRN row outside the grid", "m.drn", "         1         3         2",
       "         1         4         2", ""},
      {"RIV column outside the grid", "m.riv", "         1         1         3       9.5",
       "         1         1         0       9.5", ""},
      {"GHB count over its maximum", "m.ghb", "         1\n         2         3",
       "         5\n         2         3", ""},
      {"CHD cell outside the grid", "m.chd", "         1         1         1      10.0",
       "         1         1         9      10.0", ""},
      {"CHD count over its maximum", "m.chd", "         1\n         1         1",
       "         2\n         1         1", ""},
      {"HFB cell outside the grid", "m.hfb", "         2         2         2         3",
       "         2         2         2         5", ""},
      {"HFB counts over the total", "m.hfb", "         1\n         1\n", "         1\n         2\n", ""},
      {"STR reach count over its maximum", "m.str", "         2         0         0\n",
       "         3         0         0\n", ""},
      {"STR segment outside its range", "m.str", "    1    2    3    2    1", "    1    2    3    9    1",
       ""},
      {"STR reach cell outside the grid", "m.str", "    1    2    2    1    1", "    3    2    2    1    1",
       ""},
      {"STR tributary outside the segments", "m.str", "    0\n    1\n", "    0\n    7\n", ""},
      {"STR diversion outside the segments", "m.str", "         0\n         0\n        -1",
       "         0\n         5\n        -1", ""},
      {"FHB flow cell outside the grid", "m.fhb", "2 2 4 0", "2 2 5 0", ""},
      {"FHB head cell layer outside the grid", "m.fhb", "1 3 4 0", "3 3 4 0", ""},
      {"FHB negative number of times", "m.fhb", "3 1 1 0 40 0 0", "-3 1 1 0 40 0 0", ""},
      {"RES negative reservoir count", "m.res", "         1        40         1",
       "        -1        40         1", ""},
      {"TLK units not fewer than layers", "m.tlk", "         1        40         3",
       "         2        40         3", ""},
      {"TLK confining layer outside the grid", "m.tlk", "\n 1\n", "\n 2\n", ""},
      {"zero-length period", "m.bas", "       2.0         2       1.2", "       0.0         2       1.2", ""},
      {"period of no steps", "m.bas", "       2.0         2       1.2", "       2.0         0       1.2", ""},
      {"negative number of steps", "m.bas", "       2.0         2       1.2",
       "       2.0        -3       1.2", ""},
      {"step multiplier of zero", "m.bas", "       2.0         2       1.2", "       2.0         2       0.0",
       ""},
  };
  for (const Edit& e : edits) {
    SCOPED_TRACE(e.what);
    model_input::Files files = everyPackageModel("bcf_solver0");
    std::string& text = fileOf(files, e.file);
    const std::size_t at = text.find(e.from);
    ASSERT_NE(at, std::string::npos) << e.from;
    text.replace(at, e.from.size(), e.to);
    TempDir dir;
    expectCleanStop(dir, runFiles(dir, files), e.mention);
  }
}

}  // namespace
}  // namespace aqx::test
