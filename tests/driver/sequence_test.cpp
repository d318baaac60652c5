// The simulation sequence end to end on models without a solver: no outer iteration runs, so
// every time step ends unconverged and the continuation flag decides what follows; and a work
// array that is too small.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "driver/tiny_model.hpp"
#include "support/e2e.hpp"

namespace aqx::test {
namespace {

const char* const kWarning = "  WARNING -- CONVERGENCE NOT ACHIEVED BUT CONTINUING ANYWAY PER USER REQUEST";
const char* const kFailed = "****FAILED TO CONVERGE IN TIME STEP";

int count(const std::string& text, const std::string& what) {
  int n = 0;
  for (auto p = text.find(what); p != std::string::npos; p = text.find(what, p + 1)) ++n;
  return n;
}

TEST(Continuation, FlagOneWarnsAfterTheFirstStepAndTreatsLaterStepsAsConverged) {
  TempDir dir;
  writeTinyModel(dir, "tiny.nam", "tiny.lst", tinyBas(2, 3, 1));
  RunResult r = runAquifex(dir.path(), {"tiny.nam"});
  EXPECT_EQ(r.status, 0) << r.err;
  const std::string listing = dir.readText("tiny.lst");
  EXPECT_EQ(count(listing, kFailed), 1) << listing;
  EXPECT_EQ(count(listing, kWarning), 1);
  // The warning stands between four blank lines on either side, after the first step's output.
  const std::vector<std::string> all = lines(listing);
  std::size_t at = 0;
  while (at < all.size() && all[at] != kWarning) ++at;
  ASSERT_TRUE(at >= 4 && at + 4 < all.size());
  for (int d = 1; d <= 4; ++d) {
    EXPECT_EQ(all[at - d], "");
    EXPECT_EQ(all[at + d], "");
  }
  EXPECT_LT(listing.find(kFailed), listing.find(kWarning));
  // Both stress periods ran.
  EXPECT_EQ(count(listing, "STRESS PERIOD NO."), 2);
}

TEST(Continuation, OtherFlagsStopAfterTheFirstStepsOutput) {
  for (int flag : {0, 2, -1}) {
    TempDir dir;
    writeTinyModel(dir, "tiny.nam", "tiny.lst", tinyBas(2, 3, flag));
    RunResult r = runAquifex(dir.path(), {"tiny.nam"});
    EXPECT_NE(r.status, 0) << flag;
    const std::string listing = dir.readText("tiny.lst");
    EXPECT_EQ(count(listing, kFailed), 1) << flag;
    EXPECT_EQ(count(listing, kWarning), 0) << flag;
    EXPECT_EQ(count(listing, "STRESS PERIOD NO."), 1) << flag;
    // A silent stop: no diagnostic either.
    EXPECT_EQ(r.err, "") << flag;
  }
}

// 3 layers of 4 rows by 942857 columns: the arrays BAS takes (heads in double precision, eight
// single-precision grid arrays less the missing bottom CONDV layer, the widths and IOFLG) need
// 99,000,001 elements, one more than the work array holds. Nothing is touched: the run stops
// right after the allocation messages.
TEST(WorkArraySize, OneElementTooManyStopsAfterTheAllocationMessages) {
  TempDir dir;
  std::string bas =
      "oversized\nmodel\n         3         4    942857         1         4         1\n\n"
      "         0         0\nCONSTANT 1\nCONSTANT 1\nCONSTANT 1\n       0.0\n"
      "CONSTANT 10.0\nCONSTANT 10.0\nCONSTANT 10.0\n       1.0         1       1.0\n";
  writeTinyModel(dir, "big.nam", "big.lst", bas);
  RunResult r = runAquifex(dir.path(), {"big.nam"});
  EXPECT_NE(r.status, 0);
  EXPECT_EQ(r.err, "");
  const std::vector<std::string> all = lines(dir.readText("big.lst"));
  ASSERT_GE(all.size(), 3u);
  const std::vector<std::string> tail(all.end() - 3, all.end());
  const std::vector<std::string> expected = {
      "   99000001 ELEMENTS IN X ARRAY ARE USED BY BAS",
      "   99000001 ELEMENTS OF X ARRAY USED OUT OF   99000000",
      "    ***X ARRAY MUST BE DIMENSIONED LARGER***",
  };
  EXPECT_EQ(tail, expected);
}

}  // namespace
}  // namespace aqx::test
