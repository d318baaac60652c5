// Allocation of the shared arrays, the boundary array and starting heads, and the per-iteration
// reset.
#include <gtest/gtest.h>

#include <string>

#include "bas/bas_harness.hpp"

namespace aqx::test {
namespace {

// Two layers of 2 rows by 3 columns; record 5 is given by each test.
std::string basFile(const std::string& record5) {
  return record5 +
         "CONSTANT 1\n"
         "INTERNAL 1 (FREE) -1\n"
         "1 1 1\n"
         "1 0 -1\n"
         "     999.0\n"
         "CONSTANT 10.0\n"
         "CONSTANT 20.0\n";
}

TEST(Allocate, SeparateBuffAndKeptHeadsTakeTheirOwnElements) {
  BasHarness h(2, 2, 3);
  h.basFile(basFile("         1         1\n"));
  h.bas.allocate(h.m);
  h.bas.readPrepare(h.m);
  const auto text = h.listing();
  const int at = findLine(text, " BAS5 -- BASIC MODEL PACKAGE, VERSION 5, 1/1/95 INPUT READ FROM UNIT  1");
  ASSERT_GE(at, 0);
  EXPECT_EQ(text[at + 1], " ARRAYS RHS AND BUFF WILL HAVE SEPARATE MEMORY ALLOCATIONS");
  EXPECT_EQ(text[at + 2], " INITIAL HEAD WILL BE KEPT THROUGHOUT THE SIMULATION");
  // 12 cells: HEADNEW 24; HEADOLD, IBOUND, CONDR, CONDC, HCOEF, RHS, BUFF, HSTART 12 each;
  // CONDV 6 (one layer less); DELR 3; DELC 2; IOFLG 8.
  EXPECT_EQ(text[at + 3], "        139 ELEMENTS IN X ARRAY ARE USED BY BAS");
  EXPECT_EQ(text[at + 4], "        139 ELEMENTS OF X ARRAY USED OUT OF   99000000");
  EXPECT_NE(h.m.BUFF, h.m.RHS);
  ASSERT_NE(h.m.HSTART, nullptr);

  // The no-flow cell of layer 2 starts at NOFLOWHEAD; HEADOLD and HSTART keep the value read.
  const auto c = h.m.cell(2, 2, 2);
  EXPECT_EQ(h.m.IBOUND[c], 0);
  EXPECT_EQ(h.m.IBOUND[h.m.cell(2, 2, 3)], -1);
  EXPECT_EQ(h.m.HEADNEW[c], 999.0);
  EXPECT_EQ(h.m.HEADOLD[c], 20.0f);
  EXPECT_EQ(h.m.HSTART[c], 20.0f);
  EXPECT_EQ(h.m.HEADNEW[h.m.cell(1, 2, 3)], 10.0);
  EXPECT_NE(findLine(text, " AQUIFER HEAD WILL BE SET TO  999.00     AT ALL NO-FLOW NODES (IBOUND=0)."), -1);
}

TEST(Allocate, SharedBuffAndNoKeptHeads) {
  BasHarness h(2, 2, 3);
  h.basFile(basFile("         0         0\n"));
  h.bas.allocate(h.m);
  EXPECT_EQ(h.m.BUFF, h.m.RHS);
  EXPECT_EQ(h.m.HSTART, nullptr);
  const auto text = h.listing();
  const int at = findLine(text, " ARRAYS RHS AND BUFF WILL SHARE MEMORY");
  ASSERT_GE(at, 0);
  EXPECT_EQ(text[at + 1], " INITIAL HEAD WILL NOT BE KEPT THROUGHOUT THE SIMULATION, WHICH MEANS");
  EXPECT_EQ(text[at + 2], " DRAWDOWN CANNOT BE CALCULATED");
  EXPECT_EQ(text[at + 3], "        115 ELEMENTS IN X ARRAY ARE USED BY BAS");
}

TEST(Allocate, WorkArrayTooSmallIsReported) {
  BasHarness h(1000, 1000, 100);  // 10^8 cells
  h.basFile("         0         0\n");
  h.bas.allocate(h.m);
  EXPECT_TRUE(h.m.work->tooSmall());
  const auto text = h.listing();
  EXPECT_EQ(text.back(), "    ***X ARRAY MUST BE DIMENSIONED LARGER***");
}

TEST(Formulate, ClearsTheMatrixTermsOfEveryCell) {
  BasHarness h(2, 2, 3);
  h.basFile(basFile("         1         1\n"));
  h.bas.allocate(h.m);
  h.bas.readPrepare(h.m);
  for (std::int64_t c = 0; c < h.m.NCELLS; ++c) {
    h.m.HCOEF[c] = 1.0f;
    h.m.RHS[c] = 2.0f;
    h.m.BUFF[c] = 3.0f;
  }
  h.bas.formulate(h.m);
  for (std::int64_t c = 0; c < h.m.NCELLS; ++c) {
    EXPECT_EQ(h.m.HCOEF[c], 0.0f);
    EXPECT_EQ(h.m.RHS[c], 0.0f);
    EXPECT_EQ(h.m.BUFF[c], 3.0f);
  }
}

}  // namespace
}  // namespace aqx::test
