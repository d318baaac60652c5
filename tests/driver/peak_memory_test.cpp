// Peak resident memory of a run of a tiny model: the work array is reserved whole but only the
// pages a model touches count. Measured over the one child process this test starts.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <cstdio>

#include "driver/tiny_model.hpp"
#include "support/e2e.hpp"

namespace aqx::test {
namespace {

TEST(PeakMemory, TinyModelStaysWellUnderThirtyMegabytes) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "the sanitizer runtime's own memory would be measured; see the plain build";
#endif
  TempDir dir;
  writeTinyModel(dir, "tiny.nam", "tiny.lst", tinyBas(2, 3, 1));
  RunResult r = runAquifex(dir.path(), {"tiny.nam"});
  ASSERT_EQ(r.status, 0) << r.err;
  rusage usage{};
  ASSERT_EQ(getrusage(RUSAGE_CHILDREN, &usage), 0);
  const long peakKiB = usage.ru_maxrss;
  std::printf("peak RSS of the tiny model run: %ld KiB\n", peakKiB);
  RecordProperty("peak_rss_kib", static_cast<int>(peakKiB));
  EXPECT_LT(peakKiB, 30 * 1024);
}

}  // namespace
}  // namespace aqx::test
