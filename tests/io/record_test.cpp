// Record engine: formatted output and input edge cases, list-directed input, units, byte streams.
#include "io/record.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "support/e2e.hpp"

namespace aqx::io {
namespace {

class RecordTest : public ::testing::Test {
 protected:
  void TearDown() override { closeRange(10, 20); }

  // Writes one statement to a fresh file and returns the bytes written.
  template <class... T>
  std::string written(const char* format, const T&... values) {
    open(10, path("out.txt"));
    write(10, Format::runtime(format), values...);
    close(10);
    return dir.readBytes("out.txt");
  }

  std::string path(const std::string& name) const { return (dir / name).string(); }

  void openInput(const std::string& content, int unit = 11) {
    dir.write("in.txt", content);
    openExisting(unit, path("in.txt"));
  }

  test::TempDir dir;
};

struct OutCase {
  const char* format;
  double value;
  const char* expected;  // one record, without its CR LF
};

TEST_F(RecordTest, NumericOutputEdges) {
  const OutCase cases[] = {
      {"(G10.3)", 0.09999, " 0.100E+00"},  // form decided before rounding
      {"(G10.3)", 999.6, " 1000.    "},
      {"(G15.7)", 0.0, "  0.0000000E+00"},  // zero is written in E form
      {"(1P,G12.5)", 86400.0, "  86400.    "},
      {"(1P,G12.5)", 0.0027379, " 2.73790E-03"},
      {"(1P,E12.4)", 0.0, "  0.0000E+00"},
      {"(1PE12.4)", 1.0, "  1.0000E+00"},
      {"(E12.4)", 1.0, "  0.1000E+01"},
      {"(F4.3)", 0.5, ".500"},
      {"(F5.3)", 0.5, "0.500"},
      {"(F6.2)", -0.001, " -0.00"},
      {"(E15.5)", 1.5e120, "    0.15000+121"},
      {"(E15.5)", 1.5e-120, "    0.15000-119"},
      {"(E15.5)", 1.5e300, "    0.15000+301"},
      {"(E12.4E3)", 1.5e5, " 0.1500E+006"},
      {"(D12.4)", 1.5e5, "  0.1500D+06"},
      {"(F5.2)", 0.125, " 0.12"},
      {"(F5.1)", 0.25, "  0.2"},
      {"(F5.1)", 0.35, "  0.3"},  // 0.35 is stored below one half of the last place
      {"(F6.1)", 1.0e6, "******"},
      {"(F8.0)", -3.0, "     -3."},
      {"(-1PF8.2)", 123.0, "   12.30"},
      {"(2PF8.2)", 1.23456, "  123.46"},
      {"(-1PE12.4)", 1.5, "  0.0150E+02"},
      {"(2PE12.4)", 1.5, "  15.000E-01"},
      {"(G11.4)", 123.456, "  123.5    "},
      {"(G11.4)", 1.0e-5, " 0.1000E-04"},
      {"(G11.4E3)", 12.0, " 12.00     "},
      {"(G8.3)", 99999.0, ".100E+06"},
      {"(G7.3)", 123456.0, "*******"},
      {"(E10.0)", 1.5, "**********"},  // no digit allowed by the scale factor
      {"(1P,E10.0)", 1.5, "    2.E+00"},
      {"(F10.2)", HUGE_VAL, "  Infinity"},
      {"(E8.2)", -HUGE_VAL, "    -Inf"},
      {"(G5.1)", std::nan(""), "  NaN"},
  };
  for (const OutCase& c : cases) {
    std::string out = writeInternal(std::string(c.expected).size(), Format::runtime(c.format), c.value);
    EXPECT_EQ(out, c.expected) << c.format << " of " << c.value;
  }
}

// E and F digits must be the correctly rounded digits of the exact binary value (ties to even),
// whatever path produces them: compared with the C library's exact conversion.
TEST_F(RecordTest, DigitsAreCorrectlyRounded) {
  std::mt19937_64 rng(12345);
  std::uniform_real_distribution<double> unit(0, 1);
  char buf[128];
  for (int i = 0; i < 20000; ++i) {
    double x;
    switch (i % 4) {
      case 0:
        x = std::ldexp(static_cast<double>(rng() % 100000), -static_cast<int>(rng() % 12));
        break;
      case 1:
        x = std::pow(10.0, unit(rng) * 160 - 80);
        break;
      case 2:
        x = static_cast<float>(std::pow(10.0, unit(rng) * 60 - 30));
        break;
      default:
        x = std::nextafter(std::pow(10.0, static_cast<int>(rng() % 30) - 15), (rng() % 2) ? 0.0 : 1e300);
    }
    if (rng() % 2) x = -x;
    int d = 1 + static_cast<int>(rng() % 19);
    // E editing: 0.ddd with d digits and a two-digit exponent.
    std::snprintf(buf, sizeof buf, "%.*e", d - 1, std::fabs(x));
    std::string digits =
        std::string(1, buf[0]) + (d > 1 ? std::string(buf + 2, static_cast<std::size_t>(d - 1)) : "");
    int ex = x == 0 ? 0 : std::atoi(std::strchr(buf, 'e') + 1) + 1;
    std::snprintf(buf, sizeof buf, "%s0.%sE%c%02d", std::signbit(x) ? "-" : "", digits.c_str(),
                  ex < 0 ? '-' : '+', std::abs(ex));
    std::string expected = buf;
    std::string format = "(E" + std::to_string(expected.size()) + "." + std::to_string(d) + ")";
    ASSERT_EQ(writeInternal(expected.size(), Format::runtime(format), x), expected) << format << " " << x;
    // F editing, when the value has at most 19 digits before the point.
    if (std::fabs(x) < 1e19) {
      std::snprintf(buf, sizeof buf, "%.*f", d, x);
      expected = buf;
      format = "(F" + std::to_string(expected.size()) + "." + std::to_string(d) + ")";
      ASSERT_EQ(writeInternal(expected.size(), Format::runtime(format), x), expected) << format << " " << x;
    }
  }
}

TEST_F(RecordTest, IntegerCharacterAndLogicalOutput) {
  EXPECT_EQ(written("(I4)", 12345), "****\r\n");
  EXPECT_EQ(written("(I7)", 99000000), "*******\r\n");
  EXPECT_EQ(written("(I5,I4.3,I3.0,I3)", -42, 7, 0, -99), "  -42 007   -99\r\n");
  EXPECT_EQ(written("(A3,A6,'|',A)", "ABCDE", "AB", "xyz"), "ABC    AB|xyz\r\n");
  EXPECT_EQ(written("(L3,L1)", true, false), "  TF\r\n");
  EXPECT_EQ(written("(SP,I4,F6.1,SS,I3)", 5, 2.5, 5), "  +5  +2.5  5\r\n");
}

TEST_F(RecordTest, PageHeadingIsWrittenLiterally) {
  std::string out =
      written("('1'/2X,A,' IN LAYER',I3,' AT END OF TIME STEP',I3,' IN STRESS PERIOD',I3/2X,71('-'))", "HEAD",
              1, 2, 3);
  EXPECT_EQ(out, "1\r\n  HEAD IN LAYER  1 AT END OF TIME STEP  2 IN STRESS PERIOD  3\r\n  " +
                     std::string(71, '-') + "\r\n");
}

TEST_F(RecordTest, ReversionToLastTopLevelGroup) {
  std::vector<float> v(40);
  for (int i = 0; i < 40; ++i) v[i] = static_cast<float>(i);
  std::string out = written("(1X,I3,1X,15(1X,F7.1),:/1(5X,15(1X,F7.1)))", 3, std::span<const float>(v));
  auto rows = test::lines(out);
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[0].substr(0, 20), "   3      0.0     1.");
  EXPECT_EQ(rows[0].size(), 5u + 15 * 8);
  EXPECT_EQ(rows[1].substr(0, 13), "         15.0");
  EXPECT_EQ(rows[1].size(), 5u + 15 * 8);
  // The 1X before the first unused F7.1 is still processed, so the line ends in a blank.
  EXPECT_EQ(rows[2].size(), 5u + 10 * 8 + 1);
  EXPECT_EQ(rows[2].substr(rows[2].size() - 9), "    39.0 ");
  // Exactly 15 values: the colon stops before the "/" so no empty line follows.
  EXPECT_EQ(test::lines(
                written("(1X,I3,1X,15(1X,F7.1),:/1(5X,15(1X,F7.1)))", 3, std::span<const float>(v).first(15)))
                .size(),
            1u);
  // Without an inner group the whole format is reused; the scale factor stays in force.
  EXPECT_EQ(written("(1P,E10.3,F6.1)", 1.0, 0.5, 2.0, 0.25), " 1.000E+00   5.0\r\n 2.000E+00   2.5\r\n");
  // A trailing literal is written when the items end at the closing parenthesis.
  EXPECT_EQ(written("(I3,' END')", 1), "  1 END\r\n");
  EXPECT_EQ(written("(I3,:,' END')", 1), "  1\r\n");
  // Positioning: X writes blanks, also at the end of a record; T and TL move back and forth.
  EXPECT_EQ(written("(I3,5X)", 1), "  1     \r\n");
  EXPECT_EQ(written("(1X)"), " \r\n");
  EXPECT_EQ(written("(1X/1X,'A')"), " \r\n A\r\n");
  EXPECT_EQ(written("(A,T10,A,TL3,A)", "ab", "cd", "X"), "ab      Xcd\r\n");
  EXPECT_EQ(written("(3HABC,2('-'),2/,'x')"), "ABC--\r\n\r\nx\r\n");
}

TEST_F(RecordTest, FixedFieldInput) {
  float f = -1;
  EXPECT_TRUE(readInternal("     1.5E2", AQX_FMT("(F10.0)"), f));
  EXPECT_EQ(f, 150.0f);
  EXPECT_TRUE(readInternal("        12", AQX_FMT("(F10.0)"), f));
  EXPECT_EQ(f, 12.0f);
  EXPECT_TRUE(readInternal("          ", AQX_FMT("(F10.0)"), f));
  EXPECT_EQ(f, 0.0f);
  int i = -1, j = -1, k = -1;
  EXPECT_TRUE(readInternal("         5", AQX_FMT("(3I10)"), i, j, k));
  EXPECT_EQ(i, 5);
  EXPECT_EQ(j, 0);
  EXPECT_EQ(k, 0);
  EXPECT_TRUE(readInternal("    1    2", AQX_FMT("(I10)"), i));
  EXPECT_EQ(i, 12);
  EXPECT_TRUE(readInternal(" 1 0 ", AQX_FMT("(BZ,I5)"), i));
  EXPECT_EQ(i, 1000);

  struct RealCase {
    const char* field;
    const char* format;
    double value;
  } reals[] = {
      {"1.5+2", "(F10.0)", 150},      {"1.5D2", "(F10.0)", 150},    {"1.5q2", "(F10.0)", 150},
      {"-1.5E-2", "(F10.0)", -0.015}, {"123", "(F10.2)", 1.23},     {"1.5", "(F10.2)", 1.5},
      {"  -  12", "(F7.1)", -1.2},    {"1.5E2", "(1P,F10.0)", 150}, {"15", "(1P,F10.0)", 1.5},
  };
  for (const RealCase& c : reals) {
    double d = -99;
    EXPECT_TRUE(readInternal(c.field, Format::runtime(c.format), d)) << c.field;
    EXPECT_DOUBLE_EQ(d, c.value) << c.field << " " << c.format;
  }
  EXPECT_TRUE(readInternal("1.0e-50", AQX_FMT("(E10.0)"), f));  // below the float range
  EXPECT_EQ(f, 0.0f);
  // A float target is rounded once, from the text.
  EXPECT_TRUE(readInternal("0.1000000029802322443", AQX_FMT("(F25.0)"), f));
  EXPECT_EQ(f, 0.1f);
  EXPECT_TRUE(readInternal("1.00000005960464477539062500001", AQX_FMT("(F40.0)"), f));
  EXPECT_EQ(f, std::nextafter(1.0f, 2.0f));

  for (const char* bad : {"1.2.3", "12a", "1\t2", "1.5+", "1e5e", "1e99999", "1e400"}) {
    double d = 0;
    EXPECT_FALSE(readInternal(bad, AQX_FMT("(F10.0)"), d)) << bad;
  }
  EXPECT_FALSE(readInternal("1.5", AQX_FMT("(I5)"), i));
  EXPECT_FALSE(readInternal("99999999999", AQX_FMT("(I11)"), i));
  // Positioning within the record; a field past its end reads blanks; a second record is not there.
  EXPECT_TRUE(readInternal("  12  34", AQX_FMT("(T7,I2,TL6,I4,5X,I3)"), i, j, k));
  EXPECT_EQ(i, 34);
  EXPECT_EQ(j, 12);
  EXPECT_EQ(k, 0);
  EXPECT_FALSE(readInternal("  12", AQX_FMT("(I4/I4)"), i, j));
  std::string s(6, '?');
  EXPECT_TRUE(readInternal("abcdefgh", AQX_FMT("(A4)"), s));
  EXPECT_EQ(s, "abcd  ");
  EXPECT_TRUE(readInternal("abcdefgh", AQX_FMT("(A8)"), s));
  EXPECT_EQ(s, "cdefgh");
}

TEST_F(RecordTest, FileReadsStartNewRecordsAndPadShortLines) {
  // 25 values under (10F8.2) take three lines; the next statement starts on the fourth.
  std::string text;
  for (int line = 0; line < 3; ++line) {
    for (int v = 0; v < (line < 2 ? 10 : 5); ++v) text += "    1.25";
    text += line == 1 ? "\r\n" : "\n";  // CR LF and LF alone read the same
  }
  text += "    42\n";
  openInput(text);
  std::vector<float> row(25);
  read(11, Format::runtime("(10F8.2)"), std::span<float>(row));
  for (float v : row) EXPECT_EQ(v, 1.25f);
  int n = 0;
  read(11, AQX_FMT("(I6)"), n);
  EXPECT_EQ(n, 42);
  try {
    read(11, AQX_FMT("(I6)"), n);
    FAIL() << "no end of file";
  } catch (const IoError& e) {
    EXPECT_EQ(e.kind(), "end of file");
    EXPECT_EQ(e.unit(), 11);
    EXPECT_EQ(e.file(), path("in.txt"));
  }
}

TEST_F(RecordTest, ConversionErrorNamesTheLine) {
  openInput("    10\n  1\t2\n");
  int a = 0, b = 0;
  read(11, AQX_FMT("(I6)"), a);
  try {
    read(11, AQX_FMT("(I6)"), b);
    FAIL() << "tab accepted in a fixed field";
  } catch (const IoError& e) {
    EXPECT_EQ(e.kind(), "conversion error");
    EXPECT_EQ(e.line(), 2);
    EXPECT_EQ(e.unit(), 11);
  }
}

TEST_F(RecordTest, LineReads) {
  openInput("first line\r\nsecond\n\nlast without end");
  std::string line(8, ' ');
  EXPECT_TRUE(tryReadLine(11, line));
  EXPECT_EQ(line, "first li");
  readLine(11, line);
  EXPECT_EQ(line, "second  ");
  readLine(11, line);
  EXPECT_EQ(line, "        ");
  EXPECT_TRUE(tryReadLine(11, line));
  EXPECT_EQ(line, "last wit");
  EXPECT_FALSE(tryReadLine(11, line));
  EXPECT_THROW(readLine(11, line), IoError);
}

TEST_F(RecordTest, ListDirectedInput) {
  openInput(
      "10*1.0 15*0\n"
      "1, ,3,,5 6 / ignored\n"
      "'it''s', \"two\" 2*\n"
      "  7\n"
      "\n"
      "   8 9 10 rest ignored\n"
      "11 1.5 2.5d1 -3e-1 4 12\n"
      "3*7 x\n"
      "1.5\n");
  std::vector<float> v(25, -1);
  readList(11, std::span<float>(v));
  for (int i = 0; i < 10; ++i) EXPECT_EQ(v[i], 1.0f);
  for (int i = 10; i < 25; ++i) EXPECT_EQ(v[i], 0.0f);

  std::vector<int> n(8, -1);
  readList(11, std::span<int>(n));
  EXPECT_EQ(n, (std::vector<int>{1, -1, 3, -1, 5, 6, -1, -1}));

  std::string a(4, '?'), b(4, '?');
  int c = -1, d = -1, e = -1;
  readList(11, a, b, c, d, e);  // the line ends after "2*": the statement goes on to the next lines
  EXPECT_EQ(a, "it's");
  EXPECT_EQ(b, "two ");
  EXPECT_EQ(c, -1);
  EXPECT_EQ(d, -1);
  EXPECT_EQ(e, 7);

  int p = 0, q = 0, r = 0;
  readList(11, p, q, r);
  EXPECT_EQ(p + q + r, 27);
  int first = 0, last = 0;
  double x[4];
  readList(11, first, std::span<double>(x), last);
  EXPECT_EQ(first, 11);
  EXPECT_DOUBLE_EQ(x[1], 25.0);
  EXPECT_DOUBLE_EQ(x[2], -0.3);
  EXPECT_EQ(last, 12);
  int rep[2];
  readList(11, std::span<int>(rep));
  EXPECT_EQ(rep[1], 7);
  int bad = 0;
  try {
    readList(11, bad);  // integers take no decimal point
    FAIL();
  } catch (const IoError& err) {
    EXPECT_EQ(err.line(), 9);
  }
  EXPECT_THROW(readList(11, bad), IoError);  // end of file
}

TEST_F(RecordTest, ByteStreamRecords) {
  open(12, path("layer.bin"), Form::Stream);
  float data[6] = {1, 2, 3, 4, 5, 6};
  for (int rec = 0; rec < 2; ++rec)
    writeBinary(12, 1, 1, 1.0f, 1.0f, "            HEAD", 3, 2, 1, std::span<const float>(data));
  writeBinary(12, 2.5);
  close(12);
  EXPECT_EQ(dir.readBytes("layer.bin").size(), 2u * (44 + 24) + 8);

  openExisting(12, path("layer.bin"), Form::Stream);
  int kstp = 0, kper = 0, ncol = 0, nrow = 0, ilay = 0;
  float pertim = 0, totim = 0;
  std::string text(16, ' ');
  std::vector<float> got(6);
  readBinary(12, kstp, kper, pertim, totim, text, ncol, nrow, ilay, std::span<float>(got));
  EXPECT_EQ(text, "            HEAD");
  EXPECT_EQ(ncol, 3);
  EXPECT_EQ(got[5], 6.0f);
  readBinary(12);  // no items: nothing consumed
  readBinary(12, kstp, kper, pertim, totim, text, ncol, nrow, ilay, std::span<float>(got));
  double tail = 0;
  readBinary(12, tail);
  EXPECT_EQ(tail, 2.5);
  EXPECT_THROW(readBinary(12, kstp), IoError);
  EXPECT_THROW(write(12, AQX_FMT("(I3)"), 1), IoError);  // formatted transfer on a byte stream
}

TEST_F(RecordTest, UnitsOpenCloseAndReplace) {
  dir.write("old.txt", "old content that is longer\n");
  EXPECT_TRUE(fileExists(path("old.txt")));
  EXPECT_FALSE(fileExists(path("missing.txt")));
  EXPECT_THROW(openExisting(13, path("missing.txt")), IoError);
  open(13, path("old.txt"));
  EXPECT_TRUE(isOpen(13));
  EXPECT_EQ(fileName(13), path("old.txt"));
  write(13, AQX_FMT("('new')"));
  open(14, path("created.txt"));
  EXPECT_TRUE(fileExists(path("created.txt")));  // created at open
  closeRange(13, 14);
  EXPECT_FALSE(isOpen(13));
  EXPECT_EQ(dir.readBytes("old.txt"), "new\r\n");
  EXPECT_EQ(fileName(0), "console");
  EXPECT_THROW(open(15, path("no/such/dir/f.txt")), IoError);
  try {
    write(16, AQX_FMT("(I3)"), 1);
    FAIL();
  } catch (const IoError& e) {
    EXPECT_EQ(e.unit(), 16);
  }
}

TEST_F(RecordTest, ListDirectedOutputIsOneLine) {
  open(10, path("out.txt"));
  writeList(10, "COUNT =", 42, " RATE", 2.5f, -0.125);
  writeList(10, std::span<const int>(std::vector<int>{1, 2, 3}));
  close(10);
  EXPECT_EQ(dir.readBytes("out.txt"), " COUNT = 42 RATE 2.5 -0.125\r\n 1 2 3\r\n");
}

TEST_F(RecordTest, InternalWriteLimits) {
  EXPECT_EQ(writeInternal(8, AQX_FMT("(I3)"), 42), " 42     ");
  EXPECT_THROW(writeInternal(2, AQX_FMT("(I3)"), 42), IoError);
  EXPECT_THROW(writeInternal(8, AQX_FMT("(I3/I3)"), 1, 2), IoError);
}

TEST_F(RecordTest, HostileFormats) {
  for (const char* text : {"",
                           "   ",
                           "I5",
                           "(",
                           "(I5",
                           "((I5)",
                           "(I0)",
                           "(I999999999)",
                           "(F10)",
                           "(F10.)",
                           "(E10.3E0)",
                           "(Z5)",
                           "(0I5)",
                           "(-2I5)",
                           "(99999999999I5)",
                           "(1000000000(1X))",
                           "(1000000000('ab'))",
                           "(1000000000/)",
                           "(1000(1000(1000('-'))))",
                           "('abc)",
                           "(5H)",
                           "(I5,*)",
                           "(P)",
                           "(TL)"}) {
    EXPECT_THROW(Format f(text), FormatError) << text;
  }
  std::string deep = std::string(100, '(') + "I5" + std::string(100, ')');
  EXPECT_THROW(Format f(deep), FormatError);
  // Huge repeat counts on data descriptors are only counts.
  EXPECT_EQ(written("(2000000000I3)", 1, 2), "  1  2\r\n");
  EXPECT_EQ(written("(1000000000(I2,1X))", 1, 2), " 1  2 \r\n");
  // Formats that cannot be applied to the items.
  EXPECT_THROW(written("(I5)", 1.5f), FormatError);
  EXPECT_THROW(written("(F5.1)", 1), FormatError);
  EXPECT_THROW(written("(A)", 1), FormatError);
  EXPECT_THROW(written("(1X)", 1), FormatError);
  EXPECT_THROW(written("(I5,(1X))", 1, 2), FormatError);
  EXPECT_THROW(written("(2000000('-'))"), IoError);  // record too long
  double d;
  EXPECT_THROW(readInternal("x", Format::runtime("('x')"), d), FormatError);
  // Run-time formats are cached by text.
  EXPECT_EQ(&Format::runtime("(10F8.2)"), &Format::runtime("(10F8.2)"));
  EXPECT_EQ(Format::runtime("  (10f8.2)  trailing").text(), "  (10f8.2)  trailing");
}

}  // namespace
}  // namespace aqx::io
