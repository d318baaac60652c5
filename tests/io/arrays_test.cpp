// Array readers: both control-record forms, every location kind, formats, multiplier, echoes and
// the errors the readers report themselves.
#include "io/arrays.hpp"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "io/layers.hpp"
#include "io/listing_compare.hpp"
#include "io/record.hpp"
#include "support/e2e.hpp"

using aqx::io::testing_support::rtrim;
using aqx::io::testing_support::rtrimAll;
using aqx::io::testing_support::rtrimLines;

namespace aqx::io {
namespace {

constexpr int kIn = 15;
constexpr int kList = 16;
const std::string kName = "         TEST ARRAY NAME";  // 24 characters, leading blanks kept

std::string fixedRecord(int location, const std::string& constant, const std::string& format, int printCode) {
  char buf[128];
  std::snprintf(buf, sizeof buf, "%10d%10s%-20s%10d", location, constant.c_str(), format.c_str(), printCode);
  return buf;
}

class ArrayReaders : public testing::Test {
 protected:
  void SetUp() override { open(kList, (dir / "list.txt").string()); }
  void TearDown() override { closeRange(1, 99); }

  void input(const std::string& text) {
    close(kIn);
    dir.write("in.txt", text);
    open(kIn, (dir / "in.txt").string());
  }
  std::string listing() {
    close(kList);
    return dir.readText("list.txt");
  }
  std::vector<std::string> listingLines() { return test::lines(listing()); }
  std::string path(const std::string& name) const { return (dir / name).string(); }

  void writeInts(const std::string& name, const std::vector<int>& v) {
    open(60, path(name), Form::Stream);
    writeBinary(60, std::span<const int>(v));
    close(60);
  }

  test::TempDir dir;
};

TEST_F(ArrayReaders, ConstantIntegerForALayerPrintsOneLineAndNoTable) {
  input("CONSTANT 5\n");
  std::vector<int> a(6, -1);
  READIMAT(a.data(), kName, 2, 3, 3, kIn, kList);
  EXPECT_EQ(a, std::vector<int>(6, 5));
  EXPECT_TEXT(listing(), " \n " + kName + " =              5 FOR LAYER   3\n");
}

TEST_F(ArrayReaders, ConstantRealMessagesByLayer) {
  input("constant 2.5\nCONSTANT -1\n");
  std::vector<float> a(4, 0.0f);
  READRMAT(a.data(), kName, 2, 2, 0, kIn, kList);
  EXPECT_EQ(a, std::vector<float>(4, 2.5f));
  READRMAT(a.data(), kName, 2, 2, 7, kIn, kList);
  EXPECT_EQ(a, std::vector<float>(4, -1.0f));
  EXPECT_TEXT(listing(),
              " \n " + kName + " =   2.500000    \n \n " + kName + " =  -1.000000     FOR LAYER   7\n");
}

TEST_F(ArrayReaders, InternalFreeRowsEachStartOnANewLineAndNothingIsEchoed) {
  input("INTERNAL 1.0 (FREE) -1\n1 2 3 4 ignored\n5,6\n7 8 9\nNEXT\n");
  std::vector<float> a(6, 0.0f);
  READRMAT(a.data(), kName, 2, 3, 0, kIn, kList);
  EXPECT_EQ(a, (std::vector<float>{1, 2, 3, 5, 6, 7}));
  std::string rest(80, ' ');
  readLine(kIn, rest);
  EXPECT_EQ(rest.substr(0, 5), "NEXT ") << "the rest of each row's last line is skipped";
  EXPECT_TEXT(listing(),
              " \n\n\n           " + kName + "\n READING ON UNIT  15 WITH FORMAT: (FREE)              \n");
}

TEST_F(ArrayReaders, ExternalRunTimeFormatSpreadsARowOverThreeLines) {
  // 25 columns under ten F8.2 fields: 10, 10 and 5 values, then the next row on a fresh line.
  std::string data;
  for (int r = 0; r < 2; ++r) {
    for (int line = 0; line < 3; ++line) {
      const int n = line < 2 ? 10 : 5;
      for (int c = 0; c < n; ++c) {
        char buf[16];
        std::snprintf(buf, sizeof buf, "%8.2f", r * 100 + line * 10 + c + 0.25);
        data += buf;
      }
      data += line == 2 ? "   99.00\n" : "\n";  // extra value after the row is not read
    }
  }
  data += "END\n";
  dir.write("ext.txt", data);
  open(40, path("ext.txt"));
  input("EXTERNAL 40 0.0 (10F8.2) -1\n");
  std::vector<float> a(50, -1.0f);
  READRMAT(a.data(), kName, 2, 25, 1, kIn, kList);
  for (int r = 0; r < 2; ++r) {
    for (int c = 0; c < 25; ++c) {
      EXPECT_FLOAT_EQ(a[static_cast<std::size_t>(r * 25 + c)], r * 100 + (c / 10) * 10 + c % 10 + 0.25f)
          << "row " << r << " column " << c;
    }
  }
  std::string rest(80, ' ');
  readLine(40, rest);
  EXPECT_EQ(rest.substr(0, 3), "END");
  EXPECT_TEXT(listing(), " \n\n\n           " + kName +
                             " FOR LAYER   1\n READING ON UNIT  40 WITH FORMAT: (10F8.2)            \n");
}

TEST_F(ArrayReaders, ExternalTwelveColumnsTwoLinesPerRowWithEchoCode3) {
  dir.write("ext.txt",
            "    1.00    2.00    3.00    4.00    5.00    6.00    7.00    8.00    9.00   10.00\n"
            "   11.00   12.00\n"
            "   -1.00   -2.00   -3.00   -4.00   -5.00   -6.00   -7.00   -8.00   -9.00  -10.00\n"
            "  -11.00  -12.00\n");
  open(40, path("ext.txt"));
  input("EXTERNAL 40 0.0 (10F8.2) 3\n");
  std::vector<float> a(24);
  READRMAT(a.data(), kName, 2, 12, 0, kIn, kList);
  EXPECT_EQ(a[11], 12.0f);
  EXPECT_EQ(a[23], -12.0f) << "multiplier 0 leaves the values as read";
  const auto lines = listingLines();
  ASSERT_EQ(lines.size(), 10u);
  // Column heading: 3 leading spaces, width 8, twelve columns, then 99 dots.
  std::string numbers = " ";
  for (int j = 1; j <= 12; ++j) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%*d", j == 1 ? 11 : 8, j);
    numbers += buf;
  }
  EXPECT_LINE(lines[5], " ");
  EXPECT_LINE(lines[6], numbers);
  EXPECT_LINE(lines[7], " " + std::string(99, '.'));
  EXPECT_LINE(
      lines[8],
      "   1      1.0     2.0     3.0     4.0     5.0     6.0     7.0     8.0     9.0    10.0    11.0   "
      " 12.0");
  EXPECT_LINE(
      lines[9],
      "   2     -1.0    -2.0    -3.0    -4.0    -5.0    -6.0    -7.0    -8.0    -9.0   -10.0   -11.0   "
      "-12.0");
}

TEST_F(ArrayReaders, OpenCloseBinaryLayerWrittenBySavlaybinIsReadBackDoubledAndClosed) {
  const std::vector<float> saved = {1, 2, 3, 4, 5, 6};
  open(50, path("layer.bin"), Form::Stream);
  SAVLAYBIN(saved.data(), "            HEAD", 4, 2, 1.5f, 9.5f, 3, 2, 1, 50);
  close(50);
  const std::string file = path("layer.bin");
  ASSERT_LT(file.size(), 60u);
  input("OPEN/CLOSE '" + file + "' 2.0 (binary) 1\n");
  std::vector<float> a(6);
  READRMAT(a.data(), kName, 2, 3, 0, kIn, kList);
  EXPECT_EQ(a, (std::vector<float>{2, 4, 6, 8, 10, 12}));
  EXPECT_FALSE(isOpen(99));
  std::string padded = file;
  padded.resize(80, ' ');
  EXPECT_TEXT(listing(),
              " \n OPENING FILE ON UNIT  99:\n " + padded + "\n \n\n\n " + kName +
                  "\n READING BINARY ON UNIT  99\n \n" + " " + std::string(10, ' ') + "1" +
                  std::string(10, ' ') + "2" + std::string(10, ' ') + "3\n " + std::string(33, '.') +
                  "\n   1    2.00       4.00       6.00    \n   2    8.00       10.0       12.0    \n");
}

TEST_F(ArrayReaders, OpenCloseTextFileKeepsTheNameCase) {
  dir.write("Vals.TXT", "1 2\n3 4\n");
  input("OPEN/CLOSE " + path("Vals.TXT") + " 0 (FREE) -1\n");
  std::vector<float> a(4);
  READRMAT(a.data(), kName, 2, 2, 0, kIn, kList);
  EXPECT_EQ(a, (std::vector<float>{1, 2, 3, 4}));
  EXPECT_FALSE(isOpen(99));

  input("OPEN/CLOSE " + path("Vals.TXT") + " 10.0 (FREE) -1\n");
  READVEC(a.data(), kName, 4, kIn, kList);
  EXPECT_EQ(a, (std::vector<float>{10, 20, 30, 40}));
  EXPECT_FALSE(isOpen(99));
}

TEST_F(ArrayReaders, IntegerBinaryHoldsOnlyTheValues) {
  writeInts("ints.bin", {1, 2, 3, 4, 5, 6});
  open(51, path("ints.bin"), Form::Stream);
  input("EXTERNAL 51 1 (BINARY) -1\nEXTERNAL 51 3 binary -1\n");
  std::vector<int> a(3);
  READIMAT(a.data(), kName, 1, 3, 0, kIn, kList);
  EXPECT_EQ(a, (std::vector<int>{1, 2, 3}));
  READIMAT(a.data(), kName, 1, 3, 2, kIn, kList);  // the bare word BINARY too, times 3
  EXPECT_EQ(a, (std::vector<int>{12, 15, 18}));
  EXPECT_TEXT(listing(), " \n\n\n           " + kName + "\n READING BINARY ON UNIT  51\n \n\n\n           " +
                             kName + " FOR LAYER   2\n READING BINARY ON UNIT  51\n");
}

TEST_F(ArrayReaders, FixedColumnRecords) {
  // Location -30: binary for the two-dimensional readers, a constant for READVEC.
  const std::vector<float> saved = {7, 8};
  open(30, path("r.bin"), Form::Stream);
  SAVLAYBIN(saved.data(), "           LABEL", 1, 1, 0.0f, 0.0f, 2, 1, 1, 30);
  close(30);
  open(30, path("r.bin"), Form::Stream);
  input(fixedRecord(-30, "", "", -1) + "\n" + fixedRecord(-30, "2.5", "(10F8.2)", 0) + "\n" +
        fixedRecord(15, "4", "(2I3)", -1) + "\n  1  2\n  3  4\n");
  std::vector<float> r(2);
  READRMAT(r.data(), kName, 1, 2, -1, kIn, kList);
  EXPECT_EQ(r, (std::vector<float>{7, 8}));
  READVEC(r.data(), kName, 2, kIn, kList);
  EXPECT_EQ(r, (std::vector<float>{2.5f, 2.5f}));
  std::vector<int> i(4);
  READIMAT(i.data(), kName, 2, 2, 0, kIn, kList);
  EXPECT_EQ(i, (std::vector<int>{4, 8, 12, 16}));
  const auto lines = listingLines();
  ASSERT_EQ(lines.size(), 12u);
  EXPECT_LINE(lines[3], " " + kName + " FOR CROSS SECTION");
  EXPECT_LINE(lines[4], " READING BINARY ON UNIT  30");
  EXPECT_LINE(lines[6], " " + kName + " =   2.500000    ");
  EXPECT_LINE(lines[10], "           " + kName);
  EXPECT_LINE(lines[11], " READING ON UNIT  15 WITH FORMAT: (2I3)               ");
}

TEST_F(ArrayReaders, TextHeadingsByLayerKind) {
  struct Case {
    int k;
    std::string title;
  };
  close(kList);
  for (const Case& c :
       {Case{2, kName + " FOR LAYER   2"}, Case{0, kName}, Case{-1, kName + " FOR CROSS SECTION"}}) {
    open(kList, path("h.txt"));
    input("INTERNAL 0 (FREE) -1\n1\n");
    std::vector<int> i(1);
    READIMAT(i.data(), kName, 1, 1, c.k, kIn, kList);
    close(kList);
    close(kIn);
    EXPECT_TEXT(dir.readText("h.txt"),
                " \n\n\n           " + c.title + "\n READING ON UNIT  15 WITH FORMAT: (FREE)              \n")
        << c.k;
  }
}

TEST_F(ArrayReaders, IntegerEchoCodesZeroAndTenBecomeSix) {
  close(kList);
  for (int code : {0, 6, 10}) {
    open(kList, path("e.txt"));
    input("INTERNAL 1 (FREE) " + std::to_string(code) + "\n1 -22 333\n");
    std::vector<int> i(3);
    READIMAT(i.data(), kName, 1, 3, 0, kIn, kList);
    close(kList);
    close(kIn);
    const auto lines = test::lines(dir.readText("e.txt"));
    ASSERT_EQ(lines.size(), 9u) << code;
    EXPECT_LINE(lines[5], " ") << code;
    EXPECT_LINE(lines[6],
                " " + std::string(15, ' ') + "1" + std::string(11, ' ') + "2" + std::string(11, ' ') + "3")
        << code;
    EXPECT_LINE(lines[7], " " + std::string(40, '.')) << code;
    EXPECT_LINE(lines[8], "   1            1         -22         333") << code;
  }
}

TEST_F(ArrayReaders, IntegerEchoCode8WrapsFifteenPerLine) {
  std::string row;
  for (int j = 1; j <= 20; ++j) row += std::to_string(j) + " ";
  input("INTERNAL 0 (FREE) 8\n" + row + "\n");
  std::vector<int> i(20);
  READIMAT(i.data(), kName, 1, 20, 0, kIn, kList);
  const auto lines = listingLines();
  ASSERT_EQ(lines.size(), 11u);
  EXPECT_EQ(lines[9].substr(0, 15), "   1     1    2");
  EXPECT_EQ(lines[9].size(), 5u + 15u * 5u);
  EXPECT_LINE(lines[10], "        16   17   18   19   20");
}

TEST_F(ArrayReaders, VectorEchoTenOrFivePerLine) {
  input("INTERNAL 1 (FREE) 0\n1 2 3 4 5 6 7 8 9 10 11 12\nINTERNAL 1 (FREE) 1\n1 2 3 4 5 6 7 8 9 10 11 12\n");
  std::vector<float> v(12);
  READVEC(v.data(), kName, 12, kIn, kList);
  READVEC(v.data(), kName, 12, kIn, kList);
  const auto lines = listingLines();
  ASSERT_EQ(lines.size(), 5u + 2u + 5u + 3u);
  EXPECT_LINE(lines[3], "           " + kName);
  EXPECT_LINE(lines[5], " " + std::string("  1.0000    ") + " " + "  2.0000    " + " " + "  3.0000    " +
                            " " + "  4.0000    " + " " + "  5.0000    " + " " + "  6.0000    " + " " +
                            "  7.0000    " + " " + "  8.0000    " + " " + "  9.0000    " + " " +
                            "  10.000    ");
  EXPECT_LINE(lines[6], "   11.000       12.000    ");
  EXPECT_LINE(lines[14], "   11.000       12.000    ");
}

TEST_F(ArrayReaders, MissingOpenCloseFileStopsNamingIt) {
  input("OPEN/CLOSE nowhere/missing.dat 1.0 (FREE) 1\n");
  std::vector<float> a(4);
  EXPECT_THROW(READRMAT(a.data(), kName, 2, 2, 0, kIn, kList), RunStop);
  const std::string out = listing();
  EXPECT_NE(out.find("ERROR: FILE \"nowhere/missing.dat\""), std::string::npos) << out;
  EXPECT_FALSE(isOpen(99));

  open(kList, path("list2.txt"));
  input("OPEN/CLOSE nowhere/missing.dat 1.0 (FREE) 1\n");
  EXPECT_THROW(READVEC(a.data(), kName, 4, kIn, kList), RunStop);
  close(kList);
  EXPECT_NE(dir.readText("list2.txt").find("nowhere/missing.dat\" NAMED IN"), std::string::npos);
}

TEST_F(ArrayReaders, ShortBinaryFileStopsNamingIt) {
  const std::vector<float> saved = {1, 2, 3};
  open(50, path("short.bin"), Form::Stream);
  SAVLAYBIN(saved.data(), "            HEAD", 1, 1, 0.0f, 0.0f, 3, 1, 1, 50);
  close(50);
  input("OPEN/CLOSE " + path("short.bin") + " 1.0 (BINARY) -1\n");
  std::vector<float> a(6);
  EXPECT_THROW(READRMAT(a.data(), kName, 2, 3, 0, kIn, kList), RunStop);
  const std::string out = listing();
  EXPECT_NE(out.find("ERROR READING BINARY ARRAY " + kName + " ON UNIT  99 FROM FILE \"" + path("short.bin") +
                     "\""),
            std::string::npos)
      << out;

  open(kList, path("list2.txt"));
  writeInts("short.int", {1, 2});
  input("OPEN/CLOSE " + path("short.int") + " 1 BINARY -1\n");
  std::vector<int> i(3);
  EXPECT_THROW(READIMAT(i.data(), kName, 1, 3, 0, kIn, kList), RunStop);
  close(kList);
  EXPECT_NE(dir.readText("list2.txt").find(path("short.int")), std::string::npos);
}

TEST_F(ArrayReaders, BadFixedColumnRecordQuotesTheLine) {
  input("ABC       1.0\nXYZ\n");
  std::vector<float> a(1);
  EXPECT_THROW(READRMAT(a.data(), kName, 1, 1, 4, kIn, kList), RunStop);
  std::string line = "ABC       1.0";
  line.resize(80, ' ');
  EXPECT_TEXT(listing(),
              " \n ERROR READING ARRAY CONTROL RECORD FOR " + kName + " FOR LAYER   4:\n " + line + "\n");

  open(kList, path("list2.txt"));
  std::vector<int> i(1);
  EXPECT_THROW(READIMAT(i.data(), kName, 1, 1, 0, kIn, kList), RunStop);
  close(kList);
  line = "XYZ";
  line.resize(80, ' ');
  EXPECT_TEXT(dir.readText("list2.txt"),
              " \n ERROR READING ARRAY CONTROL RECORD FOR " + kName + ":\n " + line + "\n");
}

TEST_F(ArrayReaders, BadFreeFormWordStopsWithTheWordParserMessage) {
  input("INTERNAL x (FREE) 0\n");
  std::vector<float> a(1);
  EXPECT_THROW(READRMAT(a.data(), kName, 1, 1, 0, kIn, kList), RunStop);
  EXPECT_NE(listing().find("FILE UNIT  15 : ERROR CONVERTING \"x\" TO A REAL NUMBER IN LINE:"),
            std::string::npos);
}

}  // namespace
}  // namespace aqx::io
