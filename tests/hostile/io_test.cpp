// Hostile input at the level of the input layer: formats with huge counts and deep nesting,
// binary and text arrays that end early, control records with numbers at the integer limits,
// words and list values that overflow. Each must end in a clean failure (FormatError, IoError or
// a stop after a message), never a crash, a hang or a huge allocation.
#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "io/arrays.hpp"
#include "io/record.hpp"
#include "io/word.hpp"
#include "support/e2e.hpp"

namespace aqx {
namespace {

using test::TempDir;

std::string repeat(const std::string& s, int n) {
  std::string out;
  for (int k = 0; k < n; ++k) out += s;
  return out;
}

TEST(HostileFormat, ImpossibleFormatsAreRejectedWithAMessage) {
  const std::string deep = repeat("(", 100000) + "I5" + repeat(")", 100000);
  const std::string cases[] = {
      deep,                  // nesting far beyond any real format
      "(I2147483648)",       // width past the integer limit
      "(F2147483647.0)",     // width at the limit: a 2 GB field
      "(F10.2147483647)",    // digits at the limit
      "(E15.5E2147483647)",  // exponent digits at the limit
      "(2147483648I5)",      // repeat count past the limit
      "(99999999999999999999F10.0)",
      "(2147483647X,I5)",  // a 2 GB skip
      "(T2147483647,I5)",  // a 2 GB tab
      "(TL2147483647,I5)",
      "(1X,2147483647('-'))",  // 2 G characters of literal text
      "(2147483647/)",         // 2 G empty records
      "(2147483647(1X))",      // a data-less group repeated 2 G times
      "(-2147483649P,F5.0)",   // scale factor past the limit
      "(((((I5)",              // unbalanced
      "(I5",
      "",
  };
  for (const std::string& text : cases) {
    SCOPED_TRACE(text.substr(0, 40));
    try {
      io::Format f(text);
      ADD_FAILURE() << "accepted";
    } catch (const io::FormatError& e) {
      EXPECT_NE(std::string(e.what()).find("format"), std::string::npos) << e.what();
    }
  }
}

TEST(HostileFormat, HugeRepeatCountsOnDataAreBoundedByTheItems) {
  // Legal formats whose counts only say "as many as there are items".
  const int v[] = {1, 2, 3};
  EXPECT_EQ(io::writeInternal(15, io::Format("(2147483647I5)"), std::span<const int>(v)), "    1    2    3");
  EXPECT_EQ(io::writeInternal(10, io::Format("(2147483647(1X,I2))"), std::span<const int>(v)), "  1  2  3 ");
  int a = -1, b = -1;
  ASSERT_TRUE(io::readInternal("    7    8", io::Format("(2147483647I5)"), a, b));
  EXPECT_EQ(a, 7);
  EXPECT_EQ(b, 8);
}

// A scratch folder with a listing file on unit 6 and helpers to read arrays from files in it.
class HostileArrays : public ::testing::Test {
 protected:
  void SetUp() override {
    io::closeAll();
    io::open(6, (dir / "list.txt").string());
  }
  void TearDown() override { io::closeAll(); }

  void package(const std::string& text) {
    dir.write("pkg.txt", text);
    io::openExisting(11, (dir / "pkg.txt").string());
  }
  std::string listing() {
    io::close(6);
    return dir.readText("list.txt");
  }
  static std::string bytes(const void* p, std::size_t n) {
    return std::string(static_cast<const char*>(p), n);
  }
  static std::string header(int ncol, int nrow) {
    std::string h;
    const int ints[2] = {1, 1};
    const float times[2] = {1.0f, 1.0f};
    const int dims[3] = {ncol, nrow, 1};
    h += bytes(ints, 8) + bytes(times, 8) + "            HEAD" + bytes(dims, 12);
    return h;
  }

  TempDir dir;
};

TEST_F(HostileArrays, BinaryRealArrayOneValueShortStopsWithAMessage) {
  const float v[5] = {1, 2, 3, 4, 5};  // a 2 x 3 layer needs six
  dir.write("short.bin", header(3, 2) + bytes(v, sizeof v));
  package("OPEN/CLOSE " + (dir / "short.bin").string() + " 1.0 (BINARY) -1\n");
  std::vector<float> a(6, -1.0f);
  EXPECT_THROW(io::READRMAT(a.data(), "            INITIAL HEAD", 2, 3, 1, 11, 6), io::RunStop);
  const std::string list = listing();
  EXPECT_NE(list.find("ERROR READING BINARY ARRAY"), std::string::npos) << list;
  EXPECT_NE(list.find("short.bin"), std::string::npos) << list;
}

TEST_F(HostileArrays, BinaryHeaderCutShortStopsWithAMessage) {
  dir.write("cut.bin", header(3, 2).substr(0, 43));
  package("OPEN/CLOSE " + (dir / "cut.bin").string() + " 1.0 (BINARY) -1\n");
  std::vector<float> a(6, -1.0f);
  EXPECT_THROW(io::READRMAT(a.data(), "            INITIAL HEAD", 2, 3, 0, 11, 6), io::RunStop);
  EXPECT_NE(listing().find("ERROR READING BINARY ARRAY"), std::string::npos);
}

TEST_F(HostileArrays, BinaryIntegerArrayOneValueShortStopsWithAMessage) {
  const int v[5] = {1, 1, 1, 1, 1};
  dir.write("short.bin", bytes(v, sizeof v));
  io::openExisting(30, (dir / "short.bin").string(), io::Form::Stream);
  package("       -30         1                             1\n");
  std::vector<int> a(6, -1);
  EXPECT_THROW(io::READIMAT(a.data(), "          BOUNDARY ARRAY", 2, 3, 1, 11, 6), io::RunStop);
  EXPECT_NE(listing().find("ERROR READING BINARY ARRAY"), std::string::npos);
}

TEST_F(HostileArrays, TextArrayOneValueShortIsAnEndOfFile) {
  const char* cases[] = {
      "INTERNAL 1.0 (FREE) -1\n1 2 3\n4 5\n",
      "INTERNAL 1.0 (3F5.0) -1\n  1.0  2.0  3.0\n",
  };
  for (const char* text : cases) {
    SCOPED_TRACE(text);
    io::close(11);
    package(text);
    std::vector<float> a(6, -1.0f);
    EXPECT_THROW(io::READRMAT(a.data(), "            INITIAL HEAD", 2, 3, 1, 11, 6), io::IoError);
  }
}

TEST_F(HostileArrays, LocationsAtTheIntegerLimitsFailCleanly) {
  // Negating the most negative location must not overflow; a unit that is not open is an I/O
  // failure; a location that does not fit an integer is a control-record conversion error.
  auto fixed = [](std::string loc, std::string cst, std::string fmt) {
    return std::string(10 - loc.size(), ' ') + loc + std::string(10 - cst.size(), ' ') + cst + fmt +
           std::string(20 - fmt.size(), ' ') + "         1\n";
  };
  const std::string cases[] = {
      "EXTERNAL -2147483648 1 (BINARY) 1\n", "EXTERNAL -2147483648 1 (FREE) 1\n",
      fixed("-999999999", "1", "(FREE)"),    fixed("2147483647", "1", "(FREE)"),
      fixed("9999999999", "1", "(FREE)"),    "EXTERNAL 2147483647 1 (FREE) 1\n",
      "EXTERNAL 99999999999 1 (FREE) 1\n",
  };
  for (const std::string& text : cases) {
    SCOPED_TRACE(text);
    for (int reader = 0; reader < 2; ++reader) {
      io::close(11);
      package(text);
      std::vector<int> ia(6, -1);
      std::vector<float> ra(6, -1.0f);
      bool failed = false;
      try {
        if (reader == 0)
          io::READIMAT(ia.data(), "          BOUNDARY ARRAY", 2, 3, 1, 11, 6);
        else
          io::READRMAT(ra.data(), "            INITIAL HEAD", 2, 3, 1, 11, 6);
      } catch (const io::IoError&) {
        failed = true;
      } catch (const io::RunStop&) {
        failed = true;
      }
      EXPECT_TRUE(failed);
    }
  }
}

TEST_F(HostileArrays, RunTimeFormatWithHugeCountsFails) {
  const char* cases[] = {
      "INTERNAL 1.0 (F2147483647.0) -1\n1\n",
      "INTERNAL 1.0 (2147483648F5.0) -1\n1\n",
      "INTERNAL 1.0 (2147483647X) -1\n1\n",
      "INTERNAL 1.0 ((((((((((F5.0)))))))))) -1\n1\n",
  };
  for (const char* text : cases) {
    SCOPED_TRACE(text);
    io::close(11);
    package(text);
    std::vector<float> a(6, -1.0f);
    bool failed = false;
    try {
      io::READRMAT(a.data(), "            INITIAL HEAD", 2, 3, 1, 11, 6);
    } catch (const io::FormatError&) {
      failed = true;
    } catch (const io::IoError&) {
      failed = true;
    } catch (const io::RunStop&) {
      failed = true;
    }
    EXPECT_TRUE(failed);
  }
}

TEST(HostileWord, IntegerWordsPastTheLimitAreConversionErrors) {
  for (const char* word : {"2147483648", "-2147483649", "99999999999999999999", "123456789012345678901"}) {
    SCOPED_TRACE(word);
    std::string line = std::string(word) + std::string(80, ' ');
    line.resize(80);
    int col = 1, first = 0, last = 0, iv = 5;
    float rv = 0;
    io::NEXTWORD(line, col, first, last, 2, iv, rv, -1, 0);
    EXPECT_EQ(iv, 0);
    EXPECT_EQ(line[78], 'E');
  }
}

TEST(HostileWord, HundredThousandCharacterLine) {
  std::string line(100000, 'x');
  line[50000] = ' ';
  int col = 1, first = 0, last = 0, iv = 0;
  float rv = 0;
  io::NEXTWORD(line, col, first, last, 1, iv, rv, -1, 0);
  EXPECT_EQ(first, 1);
  EXPECT_EQ(last, 50000);
  io::NEXTWORD(line, col, first, last, 1, iv, rv, -1, 0);
  EXPECT_EQ(first, 50002);
  EXPECT_EQ(last, 99999);  // the last column is blanked
}

TEST(HostileList, RepeatCountsAndValuesPastTheLimit) {
  TempDir dir;
  io::closeAll();
  struct Case {
    const char* text;
    bool ok;
  } cases[] = {
      {"1000000000*4\n", true},  // a huge count only fills the items asked for
      {"2147483648*4\n", false},
      {"99999999999 1 2\n", false},
      {"1 2 -2147483649\n", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    dir.write("in.txt", c.text);
    io::openExisting(11, (dir / "in.txt").string());
    int v[3] = {0, 0, 0};
    if (c.ok) {
      io::readList(11, std::span<int>(v));
      EXPECT_EQ(v[0], 4);
      EXPECT_EQ(v[2], 4);
    } else {
      EXPECT_THROW(io::readList(11, std::span<int>(v)), io::IoError);
    }
    io::close(11);
  }
}

TEST(HostileLine, VeryLongLinesAreCutToTheVariable) {
  TempDir dir;
  io::closeAll();
  dir.write("in.txt", std::string(100000, 'a') + "\nnext\n");
  io::openExisting(11, (dir / "in.txt").string());
  std::string line(80, ' ');
  io::readLine(11, line);
  EXPECT_EQ(line, std::string(80, 'a'));
  io::readLine(11, line);
  EXPECT_EQ(line.substr(0, 5), "next ");
  io::close(11);
}

}  // namespace
}  // namespace aqx
