// A hand-built simulation for testing the basic package without the driver: a scratch folder, a
// listing unit, input units opened on files written there, and a loop over the phases of the
// basic package in the driver's order (the model has no flow package and no solver).
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "bas/bas.hpp"
#include "driver/model.hpp"
#include "io/record.hpp"
#include "support/e2e.hpp"

namespace aqx::test {

class BasHarness {
 public:
  static constexpr int kList = 6;
  static constexpr int kBas = 1;
  static constexpr int kOc = 22;

  // A grid of the given size; the BAS file starts at the IAPART/ISTRT record.
  BasHarness(int nlay, int nrow, int ncol, int timeunit = 4) {
    m.work->reset();
    io::open(kList, (dir / "test.lst").string());
    m.LISTUNIT = kList;
    m.BASUNIT = kBas;
    m.NLAYER = nlay;
    m.NROWS = nrow;
    m.NCOLS = ncol;
    m.NCELLS = static_cast<std::int64_t>(nlay) * nrow * ncol;
    m.TIMEUNIT = timeunit;
  }
  ~BasHarness() { io::closeAll(); }

  void input(int unit, const std::string& name, const std::string& text) {
    dir.write(name, text);
    io::open(unit, (dir / name).string());
  }
  void basFile(const std::string& text) { input(kBas, "test.bas", text); }
  void ocFile(const std::string& text) {
    input(kOc, "test.oc", text);
    m.PKGUNIT[kOC] = kOc;
  }

  using Hook = std::function<void(Model&)>;
  // Runs allocate and read-and-prepare, then `periods` stress periods with every step converged
  // unless `converged` says otherwise. `budget` runs where the budget phase would (after output
  // control); the table has no rows unless it fills them.
  void run(int periods, int converged = 1, const Hook& budget = nullptr) {
    bas.allocate(m);
    bas.readPrepare(m);
    steps(periods, converged, budget);
  }
  void steps(int periods, int converged = 1, const Hook& budget = nullptr) {
    for (int p = 1; p <= periods; ++p) {
      m.KPERIOD = p;
      bas.stressPeriod(m);
      for (int s = 1; s <= m.NSTEPS; ++s) {
        m.KSTEP = s;
        bas.advance(m);
        bas.formulate(m);
        m.CONVERGED = converged;
        bas.outputControl(m);
        m.BUDNEXT = 1;
        if (budget != nullptr) budget(m);
        bas.output(m);
      }
    }
  }

  // The listing so far, one string per line without line ends (closes the listing unit).
  std::vector<std::string> listing() {
    io::close(kList);
    return lines(dir.readText("test.lst"));
  }

  TempDir dir;
  Model m;
  Bas bas;
};

// Index of the first line equal to `line` at or after `from`, or -1.
inline int findLine(const std::vector<std::string>& text, const std::string& line, int from = 0) {
  for (int i = from; i < static_cast<int>(text.size()); ++i)
    if (text[i] == line) return i;
  return -1;
}

// Index of the first line equal to `line` once trailing blanks are dropped from both, or -1 (for
// rows of printed layers, whose last field separator may stand at the end of the line).
inline int findTrimmed(const std::vector<std::string>& text, std::string line) {
  auto trim = [](std::string s) {
    s.erase(s.find_last_not_of(' ') + 1);
    return s;
  };
  line = trim(line);
  for (int i = 0; i < static_cast<int>(text.size()); ++i)
    if (trim(text[i]) == line) return i;
  return -1;
}

// Number of lines that contain `part`.
inline int countContaining(const std::vector<std::string>& text, const std::string& part) {
  int n = 0;
  for (const auto& l : text)
    if (l.find(part) != std::string::npos) ++n;
  return n;
}

}  // namespace aqx::test
