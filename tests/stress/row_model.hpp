// Whole models for runs of the boundary packages: one confined layer in steady state, DELR and
// DELC 1 and transmissivity 10, so neighbouring cells of a row are joined by a conductance of
// 10. Rows separated by no-flow rows are independent one-dimensional problems. Solved by SIP to
// a head change of 1E-6.
#pragma once

#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "support/binary_files.hpp"
#include "support/budget_listing.hpp"
#include "support/e2e.hpp"

namespace aqx::test {

inline constexpr double kRowConductance = 10.0;

class RowModel {
 public:
  RowModel(int nrow, int ncol)
      : nrow_(nrow), ncol_(ncol), ibound_(nrow * ncol, 1), start_(nrow * ncol, 0.0) {}

  int& ibound(int i, int j) { return ibound_[(i - 1) * ncol_ + (j - 1)]; }
  double& start(int i, int j) { return start_[(i - 1) * ncol_ + (j - 1)]; }
  // A package file on a unit, named in the name file with its type.
  void package(const std::string& type, int unit, const std::string& content) {
    packages_[type] = {unit, content};
  }
  // Period records "(F10.0,I10,F10.0)": length, steps, multiplier.
  void period(double length, int steps, double mult) {
    char line[64];
    std::snprintf(line, sizeof line, "%10.4f%10d%10.4f\n", length, steps, mult);
    periods_ += line;
    steps_.push_back(steps);
  }
  bool compact = false;  // compact cell-by-cell records

  RunResult run() {
    std::string nam = "LIST 6 m.lst\nBAS 1 m.bas\nBCF 11 m.bcf\nSIP 19 m.sip\nOC 22 m.oc\n";
    for (const auto& [type, p] : packages_) {
      nam += type + " " + std::to_string(p.first) + " m." + type + "\n";
      dir.write("m." + type, p.second);
    }
    nam += "DATA(BINARY) 30 m.hds\nDATA(BINARY) 40 m.cbc\n";
    dir.write("m.nam", nam);
    char line[128];
    std::string bas = "rows of cells\nboundary packages\n";
    std::snprintf(line, sizeof line, "%10d%10d%10d%10zu%10d\n\n%10d%10d\n", 1, nrow_, ncol_, steps_.size(), 0,
                  0, 0);
    bas += line;
    bas += "INTERNAL 1 (FREE) -1\n";
    for (int i = 1; i <= nrow_; ++i) {
      for (int j = 1; j <= ncol_; ++j) {
        std::snprintf(line, sizeof line, " %d", ibound(i, j));
        bas += line;
      }
      bas += "\n";
    }
    bas += "    -999.0\nINTERNAL 1.0 (FREE) -1\n";
    for (int i = 1; i <= nrow_; ++i) {
      for (int j = 1; j <= ncol_; ++j) {
        std::snprintf(line, sizeof line, " %.9g", start(i, j));
        bas += line;
      }
      bas += "\n";
    }
    dir.write("m.bas", bas + periods_);
    dir.write("m.bcf",
              "         1        40    -999.0         0       0.0         0         0\n 0\n"
              "CONSTANT 1.0\nCONSTANT 1.0\nCONSTANT 1.0\nCONSTANT 10.0\n");
    dir.write("m.sip", "       500         5\n       1.0    1.0E-6         1       0.0         0\n");
    std::string oc = compact ? "COMPACT BUDGET\nHEAD SAVE UNIT 30\n" : "HEAD SAVE UNIT 30\n";
    for (std::size_t p = 0; p < steps_.size(); ++p)
      for (int s = 1; s <= steps_[p]; ++s)
        oc += "PERIOD " + std::to_string(p + 1) + " STEP " + std::to_string(s) +
              "\n SAVE HEAD\n PRINT BUDGET\n SAVE BUDGET\n";
    dir.write("m.oc", oc);
    return runAquifex(dir.path(), {}, "m.nam\n");
  }

  std::string listing() const { return dir.readText("m.lst"); }
  std::vector<LayerRecord> heads() const { return readLayerFile(dir.readBytes("m.hds")); }
  std::vector<BudgetRecord> budget() const { return readBudgetFile(dir.readBytes("m.cbc")); }
  std::vector<ListedBudget> budgets() const { return listedBudgets(listing()); }

  TempDir dir;

 private:
  int nrow_, ncol_;
  std::vector<int> ibound_;
  std::vector<double> start_;
  std::map<std::string, std::pair<int, std::string>> packages_;
  std::string periods_;
  std::vector<int> steps_;
};

}  // namespace aqx::test
