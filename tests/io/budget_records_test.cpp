// Cell-by-cell budget records: sizes and fields of every form, the listing messages, and a
// walk over a mixed file that uses nothing but the header sizes.
#include "io/budget_records.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "io/record.hpp"
#include "support/binary_files.hpp"
#include "support/e2e.hpp"

namespace aqx::io {
namespace {

using test::intAt;
using test::realAt;

constexpr int kList = 16;
constexpr int kCbc = 40;

class BudgetRecords : public testing::Test {
 protected:
  void SetUp() override {
    open(kList, (dir / "list.txt").string());
    open(kCbc, (dir / "cbc.bin").string(), Form::Stream);
  }
  void TearDown() override { closeRange(1, 99); }

  std::string bytes() {
    close(kCbc);
    return dir.readBytes("cbc.bin");
  }
  std::string listing() {
    close(kList);
    return dir.readText("list.txt");
  }

  test::TempDir dir;
};


std::vector<float> ramp(std::size_t n) {
  std::vector<float> v(n);
  for (std::size_t i = 0; i < n; ++i) v[i] = static_cast<float>(i) + 0.5f;
  return v;
}

TEST_F(BudgetRecords, SizeOfEveryForm) {
  const auto a = ramp(200);
  const std::vector<int> ind(100, 2);
  struct Case {
    const char* what;
    std::function<void()> write;
    std::size_t size;
  };
  const Case cases[] = {
      {"full", [&] { UBUDSV(1, 1, "           WELLS", kCbc, a.data(), 10, 10, 2, kList); }, 36 + 800},
      {"method 1", [&] { UBDSV1(1, 1, "           WELLS", kCbc, a.data(), 10, 10, 2, kList, 1, 1, 1); },
       52 + 800},
      {"method 2, 3 entries",
       [&] {
         UBDSV2(1, 1, "           WELLS", kCbc, 10, 10, 2, 3, kList, 1, 1, 1);
         for (int e = 0; e < 3; ++e) CBCLISTITEM(kCbc, 10, 10, 1 + e, 1, 1, 1.0f);
       },
       52 + 4 + 24},
      {"method 2, no entries", [&] { UBDSV2(1, 1, "           WELLS", kCbc, 10, 10, 2, 0, kList, 1, 1, 1); },
       56},
      {"method 3",
       [&] { UBDSV3(1, 1, "        RECHARGE", kCbc, a.data(), ind.data(), 2, 10, 10, 2, kList, 1, 1, 1); },
       52 + 400 + 400},
      {"method 4",
       [&] { UBDSV3(1, 1, "        RECHARGE", kCbc, a.data(), ind.data(), 1, 10, 10, 2, kList, 1, 1, 1); },
       52 + 400},
  };
  for (const Case& c : cases) {
    close(kCbc);
    open(kCbc, (dir / "one.bin").string(), Form::Stream);
    c.write();
    close(kCbc);
    EXPECT_EQ(dir.readBytes("one.bin").size(), c.size) << c.what;
  }
}

TEST_F(BudgetRecords, FullFormFields) {
  const auto a = ramp(6);
  UBUDSV(3, 2, "   CONSTANT HEAD", kCbc, a.data(), 3, 2, 1, kList);
  const std::string b = bytes();
  ASSERT_EQ(b.size(), 36u + 24u);
  EXPECT_EQ(intAt(b, 0), 3);
  EXPECT_EQ(intAt(b, 4), 2);
  EXPECT_EQ(b.substr(8, 16), "   CONSTANT HEAD");
  EXPECT_EQ(intAt(b, 24), 3);
  EXPECT_EQ(intAt(b, 28), 2);
  EXPECT_EQ(intAt(b, 32), 1);
  EXPECT_EQ(realAt(b, 36 + 20), 5.5f);
}

TEST_F(BudgetRecords, CompactHeaderAndMethod3PicksTheIndicatedLayer) {
  // 3 columns, 1 row, 3 layers; indicator picks layers 3, 1, 2.
  const std::vector<float> a = {1, 2, 3, 10, 20, 30, 100, 200, 300};
  const std::vector<int> ind = {3, 1, 2};
  UBDSV3(5, 4, "  ET", kCbc, a.data(), ind.data(), 0, 3, 1, 3, kList, 0.5f, 1.5f, 7.5f);
  const std::string b = bytes();
  ASSERT_EQ(b.size(), 52u + 12u + 12u);
  EXPECT_EQ(intAt(b, 0), 5);
  EXPECT_EQ(intAt(b, 4), 4);
  EXPECT_EQ(b.substr(8, 16), "  ET            ") << "a short label is blank-padded to 16 bytes";
  EXPECT_EQ(intAt(b, 32), -3);
  EXPECT_EQ(intAt(b, 36), 3);
  EXPECT_EQ(realAt(b, 40), 0.5f);
  EXPECT_EQ(realAt(b, 44), 1.5f);
  EXPECT_EQ(realAt(b, 48), 7.5f);
  EXPECT_EQ(intAt(b, 52), 3);
  EXPECT_EQ(intAt(b, 60), 2);
  EXPECT_EQ(realAt(b, 64), 100.0f);
  EXPECT_EQ(realAt(b, 68), 2.0f);
  EXPECT_EQ(realAt(b, 72), 30.0f);
}

TEST_F(BudgetRecords, ListEntryCellNumber) {
  UBDSV2(1, 1, "          DRAINS", kCbc, 10, 5, 3, 2, kList, 1, 1, 1);
  CBCLISTITEM(kCbc, 10, 5, 3, 2, 2, -4.5f);
  CBCLISTITEM(kCbc, 10, 5, 10, 5, 3, 1.0f);
  const std::string b = bytes();
  EXPECT_EQ(intAt(b, 36), 2);
  EXPECT_EQ(intAt(b, 52), 2);
  EXPECT_EQ(intAt(b, 56), 63);
  EXPECT_EQ(realAt(b, 60), -4.5f);
  EXPECT_EQ(intAt(b, 64), 150);
}

TEST_F(BudgetRecords, BadLayerIndicatorStopsBeforeWritingTheRecord) {
  const auto a = ramp(8);
  for (int bad : {0, 3, -1}) {
    closeRange(1, 99);
    open(kList, (dir / "list.txt").string());
    open(kCbc, (dir / "cbc.bin").string(), Form::Stream);
    const std::vector<int> ind = {1, 2, bad, 1};
    EXPECT_THROW(UBDSV3(1, 1, "        RECHARGE", kCbc, a.data(), ind.data(), 0, 2, 2, 2, kList, 1, 1, 1),
                 RunStop);
    EXPECT_EQ(bytes().size(), 0u) << bad;
    const std::string out = listing();
    EXPECT_NE(out.find("LAYER INDICATOR" +
                       std::string(bad < 0    ? "    -1"
                                   : bad == 0 ? "     0"
                                              : "     3") +
                       " AT ROW     2, COLUMN     1 IS OUTSIDE LAYERS 1 TO   2"),
              std::string::npos)
        << out;
  }
}

TEST_F(BudgetRecords, Messages) {
  const auto a = ramp(4);
  const std::vector<int> ind(4, 1);
  UBUDSV(2, 3, "           WELLS", kCbc, a.data(), 2, 2, 1, kList);
  UBDSV1(2, 3, "           WELLS", kCbc, a.data(), 2, 2, 1, kList, 1, 1, 1);
  UBDSV2(2, 3, "           WELLS", kCbc, 2, 2, 1, 0, kList, 1, 1, 1);
  UBDSV3(2, 3, "           WELLS", kCbc, a.data(), ind.data(), 1, 2, 2, 1, kList, 1, 1, 1);
  // Listing unit 0: the compact writers stay silent.
  testing::internal::CaptureStdout();
  UBDSV1(2, 3, "           WELLS", kCbc, a.data(), 2, 2, 1, 0, 1, 1, 1);
  UBDSV2(2, 3, "           WELLS", kCbc, 2, 2, 1, 0, 0, 1, 1, 1);
  UBDSV3(2, 3, "           WELLS", kCbc, a.data(), ind.data(), 1, 2, 2, 1, 0, 1, 1, 1);
  flushAll();
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
  EXPECT_EQ(listing(),
            " UBUDSV SAVING \"           WELLS\" ON UNIT 40 AT TIME STEP  2, STRESS PERIOD  3\n"
            " UBDSV1 SAVING \"           WELLS\" ON UNIT  40 AT TIME STEP  2, STRESS PERIOD  3\n"
            " UBDSV2 SAVING \"           WELLS\" ON UNIT  40 AT TIME STEP  2, STRESS PERIOD  3\n"
            " UBDSV3 SAVING \"           WELLS\" ON UNIT  40 AT TIME STEP  2, STRESS PERIOD  3\n");
}

// Walks a budget file using only the header sizes, independently of the writers.
struct Walked {
  std::string label;
  int method;  // 0 for the full form
  std::size_t offset;
};

std::vector<Walked> walk(const std::string& b) {
  std::vector<Walked> out;
  std::size_t off = 0;
  while (off < b.size()) {
    if (off + 36 > b.size()) throw std::runtime_error("truncated header");
    const std::size_t nc = static_cast<std::size_t>(intAt(b, off + 24));
    const std::size_t nr = static_cast<std::size_t>(intAt(b, off + 28));
    const int nl = intAt(b, off + 32);
    Walked w{b.substr(off + 8, 16), 0, off};
    std::size_t next;
    if (nl > 0) {
      next = off + 36 + 4 * nc * nr * static_cast<std::size_t>(nl);
    } else {
      w.method = intAt(b, off + 36);
      const std::size_t data = off + 52;
      switch (w.method) {
        case 1:
          next = data + 4 * nc * nr * static_cast<std::size_t>(-nl);
          break;
        case 2:
          next = data + 4 + 8 * static_cast<std::size_t>(intAt(b, data));
          break;
        case 3:
          next = data + 8 * nc * nr;
          break;
        case 4:
          next = data + 4 * nc * nr;
          break;
        default:
          throw std::runtime_error("bad method");
      }
    }
    if (next > b.size()) throw std::runtime_error("record runs past the end");
    out.push_back(w);
    off = next;
  }
  return out;
}

TEST_F(BudgetRecords, MixedFileWalksByHeaderSizes) {
  const auto a = ramp(4 * 3 * 2);
  const std::vector<int> ind(12, 2);
  UBUDSV(1, 1, "   CONSTANT HEAD", kCbc, a.data(), 4, 3, 2, kList);
  UBDSV2(1, 1, "           WELLS", kCbc, 4, 3, 2, 2, kList, 1, 1, 1);
  CBCLISTITEM(kCbc, 4, 3, 1, 1, 1, 1.0f);
  CBCLISTITEM(kCbc, 4, 3, 4, 3, 2, 2.0f);
  UBDSV1(1, 1, "FLOW RIGHT FACE ", kCbc, a.data(), 4, 3, 2, kList, 1, 1, 1);
  UBDSV2(1, 1, "          DRAINS", kCbc, 4, 3, 2, 0, kList, 1, 1, 1);
  UBDSV3(1, 1, "        RECHARGE", kCbc, a.data(), ind.data(), 2, 4, 3, 2, kList, 1, 1, 1);
  UBDSV3(1, 1, "              ET", kCbc, a.data(), ind.data(), 1, 4, 3, 2, kList, 1, 1, 1);
  UBUDSV(1, 1, "FLOW LOWER FACE ", kCbc, a.data(), 4, 3, 2, kList);
  const std::string b = bytes();
  const auto records = walk(b);
  ASSERT_EQ(records.size(), 7u);
  const std::vector<std::pair<std::string, int>> expected = {
      {"   CONSTANT HEAD", 0}, {"           WELLS", 2}, {"FLOW RIGHT FACE ", 1}, {"          DRAINS", 2},
      {"        RECHARGE", 3}, {"              ET", 4}, {"FLOW LOWER FACE ", 0}};
  for (std::size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(records[i].label, expected[i].first) << i;
    EXPECT_EQ(records[i].method, expected[i].second) << i;
  }
  // The recharge values come from layer 2 of the array.
  const std::size_t rch = records[4].offset + 52 + 48;
  EXPECT_EQ(realAt(b, rch), a[12]);
}

}  // namespace
}  // namespace aqx::io
