// Layer printers (wrapped and strip forms), the column heading, and the binary and text savers.
#include "io/layers.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "io/listing_compare.hpp"
#include "io/record.hpp"
#include "support/binary_files.hpp"
#include "support/e2e.hpp"

using aqx::io::testing_support::rtrim;
using aqx::io::testing_support::rtrimAll;
using aqx::io::testing_support::rtrimLines;

namespace aqx::io {
namespace {

using test::intAt;
using test::realAt;

constexpr int kList = 16;
const std::string kLabel = "            HEAD";

class Layers : public testing::Test {
 protected:
  void TearDown() override { closeRange(1, 99); }

  // Runs `fn` with the listing unit open on a fresh file and returns the lines written.
  template <class Fn>
  std::vector<std::string> capture(Fn&& fn) {
    open(kList, (dir / "list.txt").string());
    fn();
    close(kList);
    return test::lines(dir.readText("list.txt"));
  }

  test::TempDir dir;
};

// Column number line as the heading builds it: label of column j ends at lead + k * width.
std::string numberLine(int first, int last, int lead, int width) {
  std::string s(static_cast<std::size_t>(lead + (last - first + 1) * width), ' ');
  for (int j = first; j <= last; ++j) {
    const std::string d = std::to_string(j);
    const std::size_t end = static_cast<std::size_t>(lead + (j - first + 1) * width);
    s.replace(end - d.size(), d.size(), d);
  }
  return " " + s;
}

// 1P,G11.4 of the two values used below (F form: three decimals and four trailing blanks).
std::string g114(float v) {
  return std::string(v == 1.5f ? "  1.500" : "  2.500") + "    ";
}

std::vector<float> layer25() {
  std::vector<float> v(50);
  for (int c = 0; c < 25; ++c) {
    v[static_cast<std::size_t>(c)] = 1.5f;
    v[static_cast<std::size_t>(25 + c)] = 2.5f;
  }
  return v;
}

// A dot line of the heading: the leading blank and n dots.
std::string dots(std::size_t n) {
  std::string s(n + 1, '.');
  s[0] = ' ';
  return s;
}

std::string valueRun(float v, int n) {
  std::string s;
  for (int i = 0; i < n; ++i) {
    s += ' ';
    s += g114(v);
  }
  return s;
}

TEST_F(Layers, WrappedCode12Of25ColumnsUsesTwoContinuationLines) {
  const auto v = layer25();
  const auto lines = capture([&] { PRTLAYWRAP(v.data(), kLabel, 2, 3, 25, 2, 1, 12, kList); });
  const std::vector<std::string> expected = {
      "1",
      "  " + kLabel + " IN LAYER  1 AT END OF TIME STEP  2 IN STRESS PERIOD  3",
      "  " + std::string(71, '-'),
      " ",
      numberLine(1, 10, 0, 12),
      numberLine(11, 20, 0, 12),
      numberLine(21, 25, 0, 12),
      dots(120),
      "   1  " + g114(1.5f) + valueRun(1.5f, 9),
      "     " + valueRun(1.5f, 10),
      "     " + valueRun(1.5f, 5),
      "   2  " + g114(2.5f) + valueRun(2.5f, 9),
      "     " + valueRun(2.5f, 10),
      "     " + valueRun(2.5f, 5),
  };
  EXPECT_EQ(rtrimAll(lines), rtrimAll(expected));
}

TEST_F(Layers, StripCode12Of25ColumnsIsThreeCompleteTables) {
  const auto v = layer25();
  const auto lines = capture([&] { PRTLAYSTRIP(v.data(), kLabel, 2, 3, 25, 2, -1, 12, kList); });
  std::vector<std::string> expected;
  const int strips[3][2] = {{1, 10}, {11, 20}, {21, 25}};
  for (const auto& s : strips) {
    const int n = s[1] - s[0] + 1;
    expected.push_back("1");
    expected.push_back("  " + kLabel + " FOR CROSS SECTION AT END OF TIME STEP  2 IN STRESS PERIOD  3");
    expected.push_back("  " + std::string(77, '-'));
    expected.push_back(" ");
    expected.push_back(numberLine(s[0], s[1], 0, 12));
    expected.push_back(dots(static_cast<std::size_t>(12 * n)));
    expected.push_back("   1  " + g114(1.5f) + valueRun(1.5f, n - 1));
    expected.push_back("   2  " + g114(2.5f) + valueRun(2.5f, n - 1));
  }
  EXPECT_EQ(rtrimAll(lines), rtrimAll(expected));
}

TEST_F(Layers, OutOfRangeCodesPrintAsCode12) {
  const std::vector<float> v = {0.5f, -3.25f, 1.0e6f, 7.0f, 0.0f, 12.0f};
  const auto ref = capture([&] { PRTLAYWRAP(v.data(), kLabel, 1, 1, 3, 2, 0, 12, kList); });
  const auto refStrip = capture([&] { PRTLAYSTRIP(v.data(), kLabel, 1, 1, 3, 2, 0, 12, kList); });
  for (int code : {0, 19, -4, 1000}) {
    EXPECT_EQ(capture([&] { PRTLAYWRAP(v.data(), kLabel, 1, 1, 3, 2, 0, code, kList); }), ref) << code;
    EXPECT_EQ(capture([&] { PRTLAYSTRIP(v.data(), kLabel, 1, 1, 3, 2, 0, code, kList); }), refStrip) << code;
  }
  // Layer 0: no page heading, but the column heading is there.
  ASSERT_EQ(ref.size(), 5u);
  EXPECT_LINE(ref[0], "");
}

TEST_F(Layers, EveryCodeHasItsLayout) {
  // 30 columns in one row: the dot line (leading spaces + values per line x width), the number
  // of lines the row takes, and the length of its first line.
  struct Case {
    int code;
    std::size_t dots, rowLines, firstLength;
  };
  std::vector<Case> cases = {{1, 121, 3, 126}, {2, 126, 4, 131}, {12, 120, 3, 125}};
  for (int code = 3; code <= 6; ++code) cases.push_back({code, 123, 2, 125});
  for (int code = 7; code <= 11; ++code) cases.push_back({code, 123, 2, 125});
  for (int code = 13; code <= 18; ++code) cases.push_back({code, 73, 3, 75});
  const std::vector<float> v(30, 1.0f);
  for (const Case& c : cases) {
    const auto lines = capture([&] { PRTLAYWRAP(v.data(), kLabel, 1, 1, 30, 1, 0, c.code, kList); });
    ASSERT_GE(lines.size(), 1 + c.rowLines) << c.code;
    const std::size_t firstRow = lines.size() - c.rowLines;
    EXPECT_EQ(lines[firstRow - 1], dots(c.dots)) << c.code;
    EXPECT_EQ(lines[firstRow].size(), c.firstLength) << c.code;
    EXPECT_EQ(lines[firstRow].substr(0, 4), "   1") << c.code;
    EXPECT_EQ(lines[firstRow + 1].substr(0, 6), "      ") << c.code;
  }
}

TEST_F(Layers, HeadingWidths) {
  struct Case {
    int first, last, lead, per, width;
    std::size_t dots;
    std::size_t numberLines;
  };
  const Case cases[] = {
      {1, 30, 3, 20, 6, 123, 2},   // code 7 over 30 columns
      {1, 10, 0, 9, 14, 126, 2},   // code 2 over 10 columns
      {1, 10, 0, 11, 13, 130, 1},  // exactly 130 still has its numbers
      {1, 12, 0, 11, 12, 130, 0},  // 132: one line of 130 dots and no numbers
      {1, 40, 3, 20, 7, 130, 0},   // 143
      {5, 5, 4, 60, 2, 6, 1},
  };
  for (const Case& c : cases) {
    const auto lines = capture([&] { COLHEAD(c.first, c.last, c.lead, c.per, c.width, kList); });
    ASSERT_EQ(lines.size(), 2 + c.numberLines) << c.first << ".." << c.last << " width " << c.width;
    EXPECT_LINE(lines.front(), "");
    EXPECT_EQ(lines.back(), dots(c.dots)) << c.width;
  }
}

TEST_F(Layers, ColumnLabels) {
  struct Case {
    int first, last, width;
    std::string numbers;
  };
  const Case cases[] = {
      {7, 7, 5, "     7"},
      {125, 125, 5, "   125"},
      {98, 101, 4, "   98  99 100 101"},
      {999, 1001, 6, "    999  1000  1001"},  // four digits fit with a blank before them
      {1000, 1002, 4, "  000 001 002"},       // they would not: the last three digits
      {12345, 12345, 8, "    12345"},
  };
  for (const Case& c : cases) {
    const auto lines = capture([&] { COLHEAD(c.first, c.last, 0, 20, c.width, kList); });
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_LINE(lines[1], c.numbers) << c.first;
  }
}


TEST_F(Layers, BinaryLayerRecords) {
  std::vector<float> v(8000);
  for (std::size_t i = 0; i < v.size(); ++i) v[i] = static_cast<float>(i) * 0.5f;
  open(30, (dir / "heads.bin").string(), Form::Stream);
  SAVLAYBIN(v.data(), kLabel, 3, 2, 1.25f, 11.25f, 100, 80, 1, 30);
  SAVLAYBIN(v.data(), "        DRAWDOWN", 4, 2, 2.5f, 12.5f, 100, 80, 2, 30);
  close(30);
  const std::string b = dir.readBytes("heads.bin");
  ASSERT_EQ(b.size(), 64088u);
  EXPECT_EQ(intAt(b, 0), 3);
  EXPECT_EQ(intAt(b, 4), 2);
  EXPECT_EQ(realAt(b, 8), 1.25f);
  EXPECT_EQ(realAt(b, 12), 11.25f);
  EXPECT_EQ(b.substr(16, 16), kLabel);
  EXPECT_EQ(intAt(b, 32), 100);
  EXPECT_EQ(intAt(b, 36), 80);
  EXPECT_EQ(intAt(b, 40), 1);
  EXPECT_EQ(realAt(b, 44 + 4 * 7999), 3999.5f);
  const std::size_t second = 44 + 32000;
  EXPECT_EQ(b.substr(second + 16, 16), "        DRAWDOWN");
  EXPECT_EQ(intAt(b, second + 40), 2);
  EXPECT_EQ(realAt(b, second + 44 + 4), 0.5f);
}

TEST_F(Layers, TextLayerRecords) {
  std::vector<float> v(24);
  for (std::size_t i = 0; i < v.size(); ++i) v[i] = static_cast<float>(i) + 0.25f;
  open(31, (dir / "heads.txt").string());
  SAVLAYTXT(v.data(), kLabel, 2, 3, 1.5f, 10.0f, 12, 2, 1, 31, "(10F8.2)", 1);
  SAVLAYTXT(v.data(), kLabel, 2, 3, 1.5f, 10.0f, 12, 2, 1, 31, "(10F8.2)            ", 0);
  close(31);
  const auto lines = test::lines(dir.readText("heads.txt"));
  ASSERT_EQ(lines.size(), 1u + 4u + 4u);
  EXPECT_EQ(
      lines[0],
      "     2    3   1.500000E+00   1.000000E+01             HEAD    12     2     1 (10F8.2)            ");
  EXPECT_EQ(lines[1], "    0.25    1.25    2.25    3.25    4.25    5.25    6.25    7.25    8.25    9.25");
  EXPECT_EQ(lines[2], "   10.25   11.25");
  EXPECT_EQ(lines[3].substr(0, 8), "   12.25");
  EXPECT_EQ(lines[4], "   22.25   23.25");
  for (int i = 1; i <= 4; ++i)
    EXPECT_EQ(lines[static_cast<std::size_t>(i + 4)], lines[static_cast<std::size_t>(i)]);
}

}  // namespace
}  // namespace aqx::io
