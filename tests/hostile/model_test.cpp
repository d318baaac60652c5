// Hostile input to the whole program: a small model cut short at every record, binary arrays one
// value short, name files with 100,000-character lines or naming themselves as the listing file,
// run-time formats with counts near the integer limit. Every case must end with a message and a
// nonzero exit status of the program's own, never a signal, a hang or runaway output.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "hostile/hostile_support.hpp"
#include "support/e2e.hpp"

namespace aqx {
namespace {

using test::allText;
using test::lines;
using test::runLimited;
using test::RunResult;
using test::TempDir;

const char* const kNam = "LIST 6 model.lst\nBAS 1 model.bas\nBCF 11 model.bcf\nSIP 19 model.sip\n";

// One layer of 2 rows and 3 columns, a constant head at two corners, one steady stress period.
const char* const kBas =
    "HOSTILE INPUT TEST MODEL\n"
    "ONE LAYER, TWO ROWS, THREE COLUMNS\n"
    "         1         2         3         1         4         0\n"
    "\n"
    "         0         0\n"
    "INTERNAL 1 (FREE) 3\n"
    "-1 1 1\n"
    "1 1 -1\n"
    "     999.0\n"
    "INTERNAL 1.0 (FREE) 3\n"
    "10.0 10.0 10.0\n"
    "10.0 10.0 5.0\n"
    "       1.0         1       1.0\n";
const char* const kBcf =
    "         1         0    -999.0         0       1.0         1         0\n"
    " 0\n"
    "CONSTANT 1.0\n"
    "CONSTANT 100.0\n"
    "CONSTANT 100.0\n"
    "CONSTANT 1000.0\n";
const char* const kSip =
    "        50         5\n"
    "       1.0     0.001         0     0.001         1\n";

void writeModel(const TempDir& dir) {
  dir.write("model.nam", kNam);
  dir.write("model.bas", kBas);
  dir.write("model.bcf", kBcf);
  dir.write("model.sip", kSip);
}

RunResult runModel(const TempDir& dir) {
  return runLimited(dir.path(), "model.nam\n");
}

// The outcome every hostile input must have.
void expectCleanFailure(const TempDir& dir, const RunResult& r, const std::string& mention) {
  EXPECT_GE(r.status, 1) << "reported success";
  EXPECT_LT(r.status, 128) << "ended by a signal (status " << r.status << ")\n" << r.err;
  const std::string said = allText(dir, r, "model.lst");
  EXPECT_NE(said.find(mention), std::string::npos) << "no message mentioning \"" << mention << "\":\n"
                                                   << r.out << r.err;
}

std::string firstLines(const std::string& text, std::size_t n) {
  std::string out;
  std::size_t at = 0;
  for (std::size_t k = 0; k < n; ++k) {
    std::size_t nl = text.find('\n', at);
    out += text.substr(at, nl - at + 1);
    at = nl + 1;
  }
  return out;
}

TEST(HostileModel, TheUntouchedModelRuns) {
  TempDir dir;
  writeModel(dir);
  RunResult r = runModel(dir);
  EXPECT_EQ(r.status, 0) << r.out << r.err << dir.readText("model.lst");
}

TEST(HostileModel, EveryPackageFileCutShortAtEveryRecord) {
  struct File {
    const char* name;
    const char* text;
  } files[] = {{"model.bas", kBas}, {"model.bcf", kBcf}, {"model.sip", kSip}};
  for (const File& f : files) {
    const std::size_t n = lines(f.text).size();
    for (std::size_t k = 0; k < n; ++k) {
      SCOPED_TRACE(std::string(f.name) + " cut after " + std::to_string(k) + " records");
      TempDir dir;
      writeModel(dir);
      dir.write(f.name, firstLines(f.text, k));
      expectCleanFailure(dir, runModel(dir), f.name);
    }
  }
}

TEST(HostileModel, NameFileCutShort) {
  struct Case {
    std::size_t keep;
    const char* message;
  } cases[] = {{0, "NAME FILE IS EMPTY."}, {1, "BAS PACKAGE FILE HAS NOT BEEN OPENED."}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.keep);
    TempDir dir;
    writeModel(dir);
    dir.write("model.nam", firstLines(kNam, c.keep));
    expectCleanFailure(dir, runModel(dir), c.message);
  }
}

std::string binary(const void* p, std::size_t n) {
  return std::string(static_cast<const char*>(p), n);
}

TEST(HostileModel, BinaryArraysOneValueShort) {
  {
    SCOPED_TRACE("boundary array");
    TempDir dir;
    writeModel(dir);
    const int ib[5] = {-1, 1, 1, 1, 1};  // six cells
    dir.write("ibound.bin", binary(ib, sizeof ib));
    std::string bas = kBas;
    bas.replace(bas.find("INTERNAL 1 (FREE) 3\n-1 1 1\n1 1 -1\n"), 34,
                "OPEN/CLOSE ibound.bin 1 (BINARY) 3\n");
    dir.write("model.bas", bas);
    expectCleanFailure(dir, runModel(dir), "ibound.bin");
  }
  {
    SCOPED_TRACE("starting heads");
    TempDir dir;
    writeModel(dir);
    const int ints[2] = {1, 1};
    const float times[2] = {1.0f, 1.0f};
    const int dims[3] = {3, 2, 1};
    const float heads[5] = {10, 10, 10, 10, 10};
    dir.write("heads.bin", binary(ints, 8) + binary(times, 8) + "            HEAD" + binary(dims, 12) +
                               binary(heads, sizeof heads));
    std::string bas = kBas;
    const std::string internal = "INTERNAL 1.0 (FREE) 3\n10.0 10.0 10.0\n10.0 10.0 5.0\n";
    bas.replace(bas.find(internal), internal.size(), "OPEN/CLOSE heads.bin 1.0 (BINARY) 3\n");
    dir.write("model.bas", bas);
    expectCleanFailure(dir, runModel(dir), "heads.bin");
  }
}

TEST(HostileModel, NameFileLinesOfAHundredThousandCharacters) {
  const std::string longWord(100000, 'X');
  {
    SCOPED_TRACE("first entry");
    TempDir dir;
    writeModel(dir);
    dir.write("model.nam", longWord + "\n" + kNam);
    expectCleanFailure(dir, runModel(dir), "FIRST ENTRY IN NAME FILE MUST BE \"LIST\".");
  }
  {
    SCOPED_TRACE("entry after the listing file");
    TempDir dir;
    writeModel(dir);
    dir.write("model.nam", std::string("LIST 6 model.lst\n") + longWord + " 7 x.dat\n" + (kNam + 17));
    expectCleanFailure(dir, runModel(dir), "ILLEGAL FILE TYPE IN NAME FILE: " + std::string(79, 'X'));
  }
  {
    SCOPED_TRACE("only the first 80 characters of a line count");
    TempDir dir;
    writeModel(dir);
    dir.write("model.nam",
              std::string("LIST 6 model.lst") + std::string(100000, ' ') + "junk\n" + (kNam + 17));
    RunResult r = runModel(dir);
    EXPECT_EQ(r.status, 0) << r.out << r.err;
  }
}

TEST(HostileModel, NameFileNamingItselfAsTheListingFile) {
  TempDir dir;
  writeModel(dir);
  const std::string nam = std::string("LIST 6 model.nam\n") + (kNam + 17);
  dir.write("model.nam", nam);
  RunResult r = runModel(dir);
  expectCleanFailure(dir, r, "model.nam");
  EXPECT_EQ(dir.readText("model.nam"), nam) << "the name file was overwritten";
}

TEST(HostileModel, ListingFileNamedAsAPackageInput) {
  TempDir dir;
  writeModel(dir);
  dir.write("model.nam", "LIST 6 model.lst\nBAS 1 model.bas\nBCF 11 model.lst\nSIP 19 model.sip\n");
  expectCleanFailure(dir, runModel(dir), "model.lst");
}

TEST(HostileModel, RunTimeFormatsWithCountsNearTheIntegerLimit) {
  // A comma separates words in a free-form control record, so formats with commas are quoted.
  const char* formats[] = {"(2147483648F5.0)", "(F2147483647.0)",      "'(2147483647X,F5.0)'",
                           "(3F5.2147483647)", "'(T2147483647,F5.0)'", "(((((((((((F5.0)))))))))))",
                           "(3F5.0",           "'(TL2147483647,F5.0)'"};
  const std::string internal = "INTERNAL 1.0 (FREE) 3\n";
  for (const char* f : formats) {
    SCOPED_TRACE(f);
    TempDir dir;
    writeModel(dir);
    std::string bas = kBas;
    bas.replace(bas.find(internal), internal.size(), std::string("INTERNAL 1.0 ") + f + " 3\n");
    dir.write("model.bas", bas);
    expectCleanFailure(dir, runModel(dir), "format");
  }
}

}  // namespace
}  // namespace aqx
