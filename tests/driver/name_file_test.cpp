// The name-file reader, end to end: what the listing and console show for each kind of entry
// and for each error, and which files end up open.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "driver/model.hpp"
#include "driver/package.hpp"
#include "driver/tiny_model.hpp"
#include "support/e2e.hpp"

namespace aqx::test {
namespace {

std::string pad80(const std::string& s) {
  return s + std::string(80 - s.size(), ' ');
}

std::string rtrim(std::string s) {
  while (!s.empty() && s.back() == ' ') s.pop_back();
  return s;
}

std::vector<std::string> head(const std::vector<std::string>& all, std::size_t n) {
  return {all.begin(), all.begin() + static_cast<long>(std::min(n, all.size()))};
}

TEST(NameFile, OpensEveryEntryWithCommentsInPlace) {
  TempDir dir;
  dir.write("tiny.bas", tinyBas());
  dir.write("model.nam",
            "# dropped: the listing is not open yet\n"
            "\n"
            "list 6 Out.LST\n"
            "# kept, in its place\n"
            "bas 1 tiny.bas\n"
            "   \n"
            "DATA(BINARY) 50 heads.bin\n"
            "data 51 Extra.Dat direct 100\n"
            "Data 52 'with blank.txt' sequential\n"
            "DATA 53 nolength.dat DIRECT\n");
  RunResult r = runAquifex(dir.path(), {"model.nam"});
  EXPECT_EQ(r.status, 0) << r.out << r.err;
  ASSERT_TRUE(dir.exists("Out.LST"));
  const std::vector<std::string> expected = {
      " LISTING FILE: Out.LST",
      "                         UNIT   6",
      pad80("# kept, in its place"),
      " ",
      " OPENING tiny.bas",
      " FILE TYPE:BAS   UNIT   1",
      " ",
      " OPENING heads.bin",
      " FILE TYPE:DATA(BINARY)   UNIT  50",
      " ",
      " OPENING Extra.Dat",
      " FILE TYPE:DATA   UNIT  51   DIRECT ACCESS       100",
      " ",
      " OPENING with blank.txt",
      " FILE TYPE:DATA   UNIT  52",
      " ",
      " OPENING nolength.dat",
      " FILE TYPE:DATA   UNIT  53   DIRECT ACCESS         0",
  };
  EXPECT_EQ(head(lines(dir.readText("Out.LST")), expected.size()), expected);
  // Files named in the name file are created when missing, with the case of the name kept.
  for (const char* f : {"heads.bin", "Extra.Dat", "with blank.txt", "nolength.dat"})
    EXPECT_TRUE(dir.exists(f)) << f;
  EXPECT_EQ(dir.readText("Out.LST").find("dropped"), std::string::npos);
}

TEST(NameFile, LowerCaseTypesMatchPackageCodes) {
  TempDir dir;
  writeTinyModel(dir, "tiny.nam", "tiny.lst", tinyBas(), "oc 22 Control.OC\n");
  dir.write("Control.OC", "HEAD PRINT FORMAT 0\nPERIOD 1 STEP 1\nPRINT BUDGET\n");
  RunResult r = runAquifex(dir.path(), {"tiny.nam"});
  EXPECT_EQ(r.status, 0) << r.out << r.err;
  const std::string listing = dir.readText("tiny.lst");
  EXPECT_NE(listing.find(" OPENING Control.OC\n FILE TYPE:OC   UNIT  22\n"), std::string::npos) << listing;
}

struct ErrorCase {
  const char* label;
  const char* nameFile;
  const char* consoleLine;  // expected last console line, or nullptr
  const char* listingLine;  // expected last listing line, or nullptr
};

class NameFileError : public ::testing::TestWithParam<ErrorCase> {};

TEST_P(NameFileError, StopsWithItsMessage) {
  const ErrorCase& c = GetParam();
  TempDir dir;
  dir.write("tiny.bas", tinyBas());
  dir.write("model.nam", c.nameFile);
  RunResult r = runAquifex(dir.path(), {"model.nam"});
  EXPECT_NE(r.status, 0);
  if (c.consoleLine != nullptr) {
    auto out = lines(r.out);
    ASSERT_FALSE(out.empty()) << r.err;
    EXPECT_EQ(rtrim(out.back()), c.consoleLine);
    EXPECT_FALSE(dir.exists("out.lst"));
  }
  if (c.listingLine != nullptr) {
    auto listing = lines(dir.readText("out.lst"));
    ASSERT_FALSE(listing.empty()) << r.out << r.err;
    EXPECT_EQ(rtrim(listing.back()), c.listingLine);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, NameFileError,
    ::testing::Values(
        ErrorCase{"OnlyComments", "# a comment\n\n# another\n", "  NAME FILE IS EMPTY.", nullptr},
        ErrorCase{"EmptyFile", "", "  NAME FILE IS EMPTY.", nullptr},
        ErrorCase{"FirstNotList", "# c\nBAS 1 tiny.bas\nLIST 6 out.lst\n",
                  "  FIRST ENTRY IN NAME FILE MUST BE \"LIST\".", nullptr},
        ErrorCase{"IllegalType", "LIST 6 out.lst\nBAS 1 tiny.bas\nbcf5 11 x.bcf\n", nullptr,
                  " ILLEGAL FILE TYPE IN NAME FILE: BCF5"},
        ErrorCase{"SecondList", "LIST 6 out.lst\nLIST 7 other.lst\nBAS 1 tiny.bas\n", nullptr,
                  " ILLEGAL FILE TYPE IN NAME FILE: LIST"},
        ErrorCase{"NoBas", "LIST 6 out.lst\nDATA 30 d.dat\n", nullptr,
                  "  BAS PACKAGE FILE HAS NOT BEEN OPENED."},
        ErrorCase{"UnitUsedTwice", "LIST 6 out.lst\nBAS 1 tiny.bas\nDATA 6 d.dat\n", nullptr,
                  " UNIT 6 OF FILE d.dat IS ALREADY USED BY FILE out.lst"},
        ErrorCase{"ReservedUnit", "LIST 6 out.lst\nBAS 98 tiny.bas\n", nullptr,
                  " UNIT 98 OF FILE tiny.bas CANNOT BE USED: UNITS MUST BE 1 OR MORE AND UNITS 97, 98 AND 99 "
                  "ARE RESERVED"},
        ErrorCase{"ListOnUnitZero", "LIST 0 out.lst\nBAS 1 tiny.bas\n",
                  " UNIT 0 OF FILE out.lst CANNOT BE USED: UNITS MUST BE 1 OR MORE AND UNITS 97, 98 AND 99 "
                  "ARE RESERVED",
                  nullptr},
        ErrorCase{"BadUnitBeforeListing", "LIST x6 out.lst\n", " LIST x6 out.lst", nullptr}),
    [](const ::testing::TestParamInfo<ErrorCase>& info) { return std::string(info.param.label); });

TEST(NameFile, UnknownPackageTypeStopsWithAClearMessage) {
  // A file type of the slot table that no package of this build implements.
  std::string type;
  for (int slot = 1; slot <= kPkgSlots && type.empty(); ++slot) {
    const std::string_view t = pkgType(slot);
    if (!t.empty() && t != "OC" && findPackage(t) == nullptr) type = t;
  }
  if (type.empty()) GTEST_SKIP() << "every package type of the slot table is built in";
  TempDir dir;
  writeTinyModel(dir, "tiny.nam", "tiny.lst", tinyBas(), type + " 40 leak.in\n");
  RunResult r = runAquifex(dir.path(), {"tiny.nam"});
  EXPECT_NE(r.status, 0);
  auto listing = lines(dir.readText("tiny.lst"));
  ASSERT_FALSE(listing.empty());
  EXPECT_EQ(listing.back(), " PACKAGE TYPE " + type + " IS NOT AVAILABLE IN THIS VERSION OF AQUIFEX");
}

}  // namespace
}  // namespace aqx::test
