// Start-up end to end: the batch file and its report, the console prompt, the command line, and
// the exit status of every way a run ends.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "driver/tiny_model.hpp"
#include "support/e2e.hpp"

namespace aqx::test {
namespace {

std::string reportName(const std::string& name) {
  return " " + name + std::string(80 - name.size(), ' ');
}

TEST(Batch, ReportsEachNameFileAndSkipsBlankLines) {
  TempDir dir;
  writeTinyModel(dir, "good.nam", "good.lst");
  dir.write("aquifex.bf", "\nmissing.nam\n   \ngood.nam\n");
  RunResult r = runAquifex(dir.path(), {}, "should not be read\n");
  EXPECT_EQ(r.status, 0) << r.out << r.err;
  const std::vector<std::string> expected = {
      "  KESTREL AQUIFEX MODEL BATCH-MODE REPORT",
      " ",
      reportName("missing.nam"),
      "  Specified name file does not exist.",
      "  Processing will continue with the next name file in aquifex.bf.",
      " ",
      reportName("good.nam"),
      "  Normal termination of simulation.",
  };
  EXPECT_EQ(lines(dir.readText("aqxbatch.rpt")), expected);
  EXPECT_TRUE(dir.exists("good.lst"));
  EXPECT_EQ(r.out.find("Enter the name"), std::string::npos);
}

TEST(Batch, UnitsAreFreedBetweenRunsAndAnErrorEndsTheBatch) {
  TempDir dir;
  // The same unit numbers in every model: each run starts with units 1 to 96 closed.
  writeTinyModel(dir, "one.nam", "one.lst");
  writeTinyModel(dir, "two.nam", "two.lst");
  dir.write("bad.nam", "LIST 6 bad.lst\nDATA 30 d.dat\n");  // no BAS entry
  writeTinyModel(dir, "three.nam", "three.lst");
  dir.write("aquifex.bf", "one.nam\ntwo.nam\nbad.nam\nthree.nam\n");
  RunResult r = runAquifex(dir.path());
  EXPECT_NE(r.status, 0);
  const std::vector<std::string> expected = {
      "  KESTREL AQUIFEX MODEL BATCH-MODE REPORT", " ", reportName("one.nam"),
      "  Normal termination of simulation.",       " ", reportName("two.nam"),
      "  Normal termination of simulation.",       " ", reportName("bad.nam"),
  };
  EXPECT_EQ(lines(dir.readText("aqxbatch.rpt")), expected);
  EXPECT_NE(dir.readText("two.lst").find(" LISTING FILE: two.lst\n"), std::string::npos);
  EXPECT_NE(dir.readText("two.lst").find(" OPENING two.nam.bas\n"), std::string::npos);
  EXPECT_EQ(lines(dir.readText("bad.lst")).back(), "  BAS PACKAGE FILE HAS NOT BEEN OPENED.");
  EXPECT_FALSE(dir.exists("three.lst"));
}

TEST(Console, PromptsUntilTheNameFileExists) {
  TempDir dir;
  writeTinyModel(dir, "tiny.nam", "tiny.lst");
  RunResult r = runAquifex(dir.path(), {}, "nosuch.nam\n\n  tiny.nam  \nnot read either\n");
  EXPECT_EQ(r.status, 0) << r.err;
  const std::vector<std::string> expected = {
      "  Enter the name of the NAME FILE:", "  File does not exist",
      "  Enter the name of the NAME FILE:", "  File does not exist",
      "  Enter the name of the NAME FILE:",
  };
  EXPECT_EQ(lines(r.out), expected);
  EXPECT_TRUE(dir.exists("tiny.lst"));
  EXPECT_FALSE(dir.exists("aqxbatch.rpt"));
}

TEST(Console, EndOfInputWhilePromptingStopsWithAMessage) {
  TempDir dir;
  RunResult r = runAquifex(dir.path(), {}, "nosuch.nam\n");
  EXPECT_NE(r.status, 0);
  const std::vector<std::string> expected = {
      "  Enter the name of the NAME FILE:",
      "  File does not exist",
      "  Enter the name of the NAME FILE:",
      "  END OF INPUT: NO NAME FILE WAS GIVEN.",
  };
  EXPECT_EQ(lines(r.out), expected);
}

TEST(CommandLine, NameFileArgumentHelpAndVersion) {
  TempDir dir;
  writeTinyModel(dir, "tiny.nam", "tiny.lst");
  RunResult named = runAquifex(dir.path(), {"tiny.nam"});
  EXPECT_EQ(named.status, 0) << named.err;
  EXPECT_EQ(named.out, "");
  EXPECT_TRUE(dir.exists("tiny.lst"));

  RunResult missing = runAquifex(dir.path(), {"nosuch.nam"});
  EXPECT_NE(missing.status, 0);
  EXPECT_EQ(lines(missing.out), std::vector<std::string>{"  File does not exist"});

  RunResult help = runAquifex(dir.path(), {"--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("usage: aquifex"), std::string::npos);
  EXPECT_NE(help.out.find("docs/guide/README.md"), std::string::npos);
  RunResult version = runAquifex(dir.path(), {"--version"});
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out.rfind("aquifex ", 0), 0u);
  EXPECT_NE(runAquifex(dir.path(), {"--bogus"}).status, 0);
}

TEST(Failures, FileThatCannotBeCreatedIsNamedWithItsUnit) {
  TempDir dir;
  dir.write("tiny.bas", tinyBas());
  dir.write("model.nam", "LIST 6 out.lst\nBAS 1 tiny.bas\nDATA 33 no/such/folder/d.dat\n");
  RunResult r = runAquifex(dir.path(), {"model.nam"});
  EXPECT_NE(r.status, 0);
  EXPECT_NE(r.err.find("no/such/folder/d.dat"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("unit 33"), std::string::npos) << r.err;
  // What was written to the listing before the failure stays there.
  const std::string listing = dir.readText("out.lst");
  EXPECT_NE(listing.find(" OPENING no/such/folder/d.dat\n FILE TYPE:DATA   UNIT  33\n"), std::string::npos)
      << listing;
}

}  // namespace
}  // namespace aqx::test
