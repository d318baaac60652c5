// NEXTWORD: splitting, quoting, the last-column rule, conversions and both error paths.
#include "io/word.hpp"

#include <gtest/gtest.h>

#include <string>

#include "io/listing_compare.hpp"
#include "io/record.hpp"
#include "support/e2e.hpp"

using aqx::io::testing_support::rtrim;
using aqx::io::testing_support::rtrimAll;
using aqx::io::testing_support::rtrimLines;

namespace aqx::io {
namespace {

std::string padded(const std::string& text, std::size_t length = 80) {
  std::string line = text;
  line.resize(length, ' ');
  return line;
}

struct Word {
  std::string text;
  int first = 0;
  int last = 0;
  int intval = -99;
  float realval = -99.0f;
};

Word next(std::string& line, int& column, int mode, int listunit = -1, int inunit = 5) {
  Word w;
  NEXTWORD(line, column, w.first, w.last, mode, w.intval, w.realval, listunit, inunit);
  w.text = line.substr(static_cast<std::size_t>(w.first - 1), static_cast<std::size_t>(w.last - w.first + 1));
  return w;
}

TEST(NextWord, MixedRecordWithSeparatorsAndQuotedName) {
  std::string line = padded("  wel,,12  'my file.dat' 3");
  int col = 1;
  Word w = next(line, col, 1);
  EXPECT_EQ(w.text, "WEL");
  EXPECT_EQ(w.first, 3);
  EXPECT_EQ(w.last, 5);
  EXPECT_EQ(col, 7);
  EXPECT_EQ(line.substr(0, 6), "  WEL,") << "mode 1 upper-cases the caller's line";
  EXPECT_EQ(w.intval, -99) << "mode 1 leaves intval alone";

  w = next(line, col, 2);
  EXPECT_EQ(w.intval, 12);
  EXPECT_EQ(w.realval, -99.0f) << "mode 2 leaves realval alone";
  w = next(line, col, 0);
  EXPECT_EQ(w.text, "my file.dat");
  w = next(line, col, 2);
  EXPECT_EQ(w.intval, 3);
  // Nothing left: the blank word at column L, zero for a number.
  w = next(line, col, 3);
  EXPECT_EQ(w.first, 80);
  EXPECT_EQ(w.last, 80);
  EXPECT_EQ(w.realval, 0.0f);
  EXPECT_EQ(col, 80);
}

TEST(NextWord, LastColumnIsAlwaysBlanked) {
  // A word reaching column L loses its last character.
  std::string line = std::string(75, ' ') + "ABCDE";
  ASSERT_EQ(line.size(), 80u);
  int col = 1;
  Word w = next(line, col, 0);
  EXPECT_EQ(w.text, "ABCD");
  EXPECT_EQ(w.last, 79);
  EXPECT_EQ(line[79], ' ');

  // Same rule on a 151-character list line: column 150 is the last usable one.
  std::string list = std::string(147, ' ') + "123X";
  col = 1;
  w = next(list, col, 0);
  EXPECT_EQ(w.text, "123");
  EXPECT_EQ(w.last, 150);
}

TEST(NextWord, ColumnPastTheEndReturnsTheBlankWordRepeatedly) {
  std::string line = padded("A B");
  for (int start : {80, 81, 500, 0, -3}) {
    int col = start;
    for (int repeat = 0; repeat < 2; ++repeat) {
      Word w = next(line, col, 2);
      EXPECT_EQ(w.first, 80) << start;
      EXPECT_EQ(w.last, 80) << start;
      EXPECT_EQ(w.intval, 0) << start;
      EXPECT_EQ(col, start) << "column unchanged";
    }
  }
}

TEST(NextWord, EmptyQuotedWordIsMissingAndColumnSkipsBothQuotes) {
  std::string line = padded("  '' next");
  int col = 1;
  Word w = next(line, col, 0);
  EXPECT_EQ(w.first, 80);
  EXPECT_EQ(col, 5);
  w = next(line, col, 0);
  EXPECT_EQ(w.text, "next");

  // An unclosed quote runs to column L - 1 and may hold separators.
  line = padded("'a, b c");
  col = 1;
  w = next(line, col, 0);
  EXPECT_EQ(w.first, 2);
  EXPECT_EQ(w.last, 79);
  EXPECT_EQ(col, 81);
}

TEST(NextWord, OnlySeparatorsLeftMovesColumnToEnd) {
  std::string line = padded("X ,,\t ,");
  int col = 2;
  Word w = next(line, col, 0);
  EXPECT_EQ(w.first, 80);
  EXPECT_EQ(col, 80);
}

TEST(NextWord, TabSeparatesLikeABlank) {
  std::string line = padded("7\t8");
  int col = 1;
  EXPECT_EQ(next(line, col, 2).intval, 7);
  EXPECT_EQ(next(line, col, 2).intval, 8);
}

TEST(NextWord, Conversions) {
  struct Case {
    const char* text;
    int mode;
    bool ok;
    int intval;
    float realval;
  };
  const Case cases[] = {
      {"2.", 3, true, 0, 2.0f},
      {"2", 3, true, 0, 2.0f},
      {"1.5E2", 3, true, 0, 150.0f},
      {"-0.25", 3, true, 0, -0.25f},
      {"1.5D-1", 3, true, 0, 0.15f},
      {"-17", 2, true, -17, 0.0f},
      {"00000000000000000012", 2, true, 12, 0.0f},   // 20 digits fit the field
      {"000000000000000000012", 2, false, 0, 0.0f},  // 21 digits never do
      {"1.5", 2, false, 0, 0.0f},
      {"ABC", 2, false, 0, 0.0f},
      {"ABC", 3, false, 0, 0.0f},
      {"'12'", 2, true, 12, 0.0f},  // quotes are stripped before conversion
  };
  for (const Case& c : cases) {
    std::string line = padded(c.text);
    int col = 1;
    Word w = next(line, col, c.mode, -1);
    const bool marked = line[78] == 'E';
    EXPECT_EQ(!marked, c.ok) << c.text;
    if (c.mode == 2) {
      EXPECT_EQ(w.intval, c.intval) << c.text;
    } else {
      EXPECT_FLOAT_EQ(w.realval, c.realval) << c.text;
    }
    if (!c.ok) {
      EXPECT_EQ(w.intval, 0) << "both results cleared: " << c.text;
      EXPECT_EQ(w.realval, 0.0f) << "both results cleared: " << c.text;
    }
  }
}

TEST(NextWord, CommaSplitsANumber) {
  std::string line = padded("2,5");
  int col = 1;
  EXPECT_EQ(next(line, col, 3).realval, 2.0f);
  EXPECT_EQ(next(line, col, 3).realval, 5.0f);
}

TEST(NextWord, UpperCaseTouchesOnlyLowerCaseLettersOfTheWord) {
  std::string line = padded("aB3.-x_z other");
  int col = 1;
  Word w = next(line, col, 1);
  EXPECT_EQ(w.text, "AB3.-X_Z");
  EXPECT_EQ(line.substr(0, 14), "AB3.-X_Z other");
}

TEST(NextWord, ConversionErrorMessageNamesUnitWordAndLine) {
  test::TempDir dir;
  const int lst = 17;
  open(lst, (dir / "list.txt").string());
  std::string line = padded("  12 abc");
  int col = 5;
  int first, last, ival = 0;
  float rval = 0;
  EXPECT_THROW(NEXTWORD(line, col, first, last, 3, ival, rval, lst, 33), RunStop);
  close(lst);
  EXPECT_TEXT(dir.readText("list.txt"),
              " \n FILE UNIT  33 : ERROR CONVERTING \"abc\" TO A REAL NUMBER IN LINE:\n " + line + "\n");

  open(lst, (dir / "kbd.txt").string());
  line = padded("x");
  col = 1;
  EXPECT_THROW(NEXTWORD(line, col, first, last, 2, ival, rval, lst, 0), RunStop);
  close(lst);
  EXPECT_TEXT(dir.readText("kbd.txt"),
              " \n KEYBOARD INPUT : ERROR CONVERTING \"x\" TO AN INTEGER IN LINE:\n " + line + "\n");
}

TEST(NextWord, ConversionErrorWithListUnitZeroGoesToTheConsole) {
  std::string line = padded("1.5");
  int col = 1;
  int first, last, ival = 0;
  float rval = 0;
  testing::internal::CaptureStdout();
  EXPECT_THROW(NEXTWORD(line, col, first, last, 2, ival, rval, 0, 0), RunStop);
  flushAll();
  const std::string out = testing::internal::GetCapturedStdout();
  EXPECT_NE(out.find("KEYBOARD INPUT : ERROR CONVERTING \"1.5\" TO AN INTEGER IN LINE:"), std::string::npos)
      << out;
}

}  // namespace
}  // namespace aqx::io

namespace aqx::io {
namespace {

// Words takes the same words NEXTWORD would, named by what is done with them, and can start
// from a column (the rest of a fixed-column record).
TEST(Words, NamedOperationsAndStartColumn) {
  std::string line(40, ' ');
  line.replace(0, 31, "  12  -3.5e1 aux 'My File' open");
  Words w(line, -1, 5);
  EXPECT_EQ(w.integer(), 12);
  EXPECT_EQ(w.real(), -35.0f);
  EXPECT_EQ(w.upper(), "AUX");
  EXPECT_EQ(w.asWritten(), "My File");
  EXPECT_EQ(w.upper(), "OPEN");
  EXPECT_EQ(line.substr(13, 3), "AUX");  // upper-cased in the line, as NEXTWORD does
  EXPECT_EQ(w.upper(), " ");             // past the last word: the blank last column

  std::string fixed(30, ' ');
  fixed.replace(0, 24, "         5         7 CBC");
  Words rest(fixed, -1, 5, 21);
  EXPECT_EQ(rest.upper(), "CBC");
  EXPECT_EQ(rest.first(), 22);
  EXPECT_EQ(rest.last(), 24);
}

}  // namespace
}  // namespace aqx::io
