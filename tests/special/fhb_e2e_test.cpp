// Whole runs with FHB: specified flows and heads give the same heads, budget and cell-by-cell
// flows as wells with the step-mean rates and constant-head cells with the same heads.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/binary_files.hpp"
#include "support/e2e.hpp"

namespace aqx::test {
namespace {

struct ModelRun {
  RunResult result;
  std::vector<std::string> listing;
  std::string heads;
  std::vector<BudgetRecord> budget;
};

// One layer of 3 rows by 5 columns, transient, three stress periods of one step each (ending
// at times 10, 15 and 20); a constant head of 10 at (2, 1). `ibound` is row 2 of the boundary
// array; `packages` the name-file lines of the stress packages, `files` their contents.
ModelRun runModel(const std::string& ibound, const std::string& packages,
                  const std::vector<std::pair<std::string, std::string>>& files) {
  TempDir dir;
  dir.write("m.nam", "LIST 6 m.lst\nBAS 1 m.bas\nBCF 11 m.bcf\nPCG 19 m.pcg\nOC 22 m.oc\n" + packages +
                         "DATA(BINARY) 30 m.hds\nDATA(BINARY) 40 m.cbc\n");
  dir.write("m.bas",
            "Specified flows and heads\n"
            "one layer, three periods\n"
            "         1         3         5         3         4         0\n"
            "\n"
            "         0         0\n"
            "INTERNAL 1 (FREE) 0\n"
            "1 1 1 1 1\n" +
                ibound +
                "1 1 1 1 1\n"
                "     -999.\n"
                "INTERNAL 1.0 (FREE) 0\n"
                "10 10 10 10 10\n"
                "10 10 10 10 20\n"
                "10 10 10 10 10\n"
                "      10.0         1       1.0\n"
                "       5.0         1       1.0\n"
                "       5.0         1       1.0\n");
  dir.write("m.bcf",
            "         0        40     -888.         0       1.0         0         0\n"
            " 0\n"
            "CONSTANT 1.0\nCONSTANT 100.0\nCONSTANT 100.0\nCONSTANT 1.0E-3\nCONSTANT 500.0\n");
  dir.write("m.pcg",
            "        60        30         1         0\n"
            "    1.0E-6    1.0E-3       1.0         0         0         0       1.0\n");
  std::string oc = "HEAD SAVE UNIT 30\n";
  for (int p = 1; p <= 3; ++p)
    oc += "PERIOD " + std::to_string(p) + " STEP 1\nSAVE HEAD\nPRINT BUDGET\nSAVE BUDGET\n";
  dir.write("m.oc", oc);
  for (const auto& [name, content] : files) dir.write(name, content);

  ModelRun r;
  r.result = runAquifex(dir.path(), {}, "m.nam\n");
  r.listing = lines(dir.readText("m.lst"));
  r.heads = dir.readBytes("m.hds");
  r.budget = readBudgetFile(dir.readBytes("m.cbc"));
  return r;
}

// The lines of the volumetric budget tables (cumulative volume and rate on each), the stress
// term's label made the same.
std::vector<std::string> budgetLines(const std::vector<std::string>& listing, const std::string& label) {
  std::vector<std::string> out;
  for (std::string l : listing) {
    const std::size_t first = l.find(" = ");
    if (first == std::string::npos || l.find(" = ", first + 3) == std::string::npos) continue;
    for (std::size_t at = l.find(label); at != std::string::npos; at = l.find(label))
      l.replace(at, 16, "<STRESS TERM   >");
    out.push_back(l);
  }
  return out;
}

TEST(FhbWholeRun, EqualsWellsAndConstantHeadsWithTheSameValues) {
  // Column 3 pumps along -50, -150, -250 at times 0, 10, 30; the step means are -100, -162.5 and
  // -187.5. Column 4 of row 3 receives 20 throughout; (2, 5) is held at 20.
  const ModelRun fhb = runModel("-1 1 1 1 1\n", "FHB 31 m.fhb\n",
                                {{"m.fhb",
                                  "3 2 1 0 40 0 0\n"
                                  "31 1 0\n0 10 30\n"
                                  "31 1 0\n1 2 3 0 -50 -150 -250\n1 3 4 0 20 20 20\n"
                                  "31 1 0\n1 2 5 0 20 20 20\n"}});
  const ModelRun wel = runModel(
      "-1 1 1 1 -1\n", "WEL 12 m.wel\n",
      {{"m.wel",
        "         2        40\n"
        "         2\n         1         2         3     -100.\n         1         3         4       20.\n"
        "         2\n         1         2         3    -162.5\n         1         3         4       20.\n"
        "         2\n         1         2         3    -187.5\n         1         3         4       20.\n"}});
  ASSERT_EQ(fhb.result.status, 0) << fhb.result.out << fhb.result.err;
  ASSERT_EQ(wel.result.status, 0) << wel.result.out << wel.result.err;

  EXPECT_FALSE(fhb.heads.empty());
  EXPECT_EQ(fhb.heads, wel.heads);
  const std::vector<std::string> fhbBudget = budgetLines(fhb.listing, " SPECIFIED FLOWS");
  EXPECT_EQ(fhbBudget.size(), 3u * 10);
  EXPECT_EQ(fhbBudget, budgetLines(wel.listing, "           WELLS"));

  // Cell-by-cell: the same terms in the same order, the stress term under its own label.
  ASSERT_EQ(fhb.budget.size(), wel.budget.size());
  for (std::size_t r = 0; r < fhb.budget.size(); ++r) {
    const bool stress = wel.budget[r].label == "           WELLS";
    EXPECT_EQ(fhb.budget[r].label, stress ? " SPECIFIED FLOWS" : wel.budget[r].label) << r;
    EXPECT_EQ(fhb.budget[r].values, wel.budget[r].values) << r;
  }
  EXPECT_EQ(fhb.budget.back().at(1, 2, 3), -187.5f);
}

}  // namespace
}  // namespace aqx::test
