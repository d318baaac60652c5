// A model filled by hand for exercising flow and solver numerics without input files: the shared
// grid arrays are taken from the work array as the basic package takes them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "driver/model.hpp"
#include "io/record.hpp"
#include "support/e2e.hpp"

namespace aqx::test {

inline void allocateGrid(Model& m, int nlay, int nrow, int ncol, bool separateBuff = true) {
  m.work->reset();
  m.NLAYER = nlay;
  m.NROWS = nrow;
  m.NCOLS = ncol;
  m.NCELLS = static_cast<std::int64_t>(nlay) * nrow * ncol;
  m.IAPART = separateBuff ? 1 : 0;
  WorkArray& w = *m.work;
  m.HEADNEW = w.takeDouble(m.NCELLS);
  m.HEADOLD = w.takeReal(m.NCELLS);
  m.IBOUND = w.takeInt(m.NCELLS);
  m.CONDR = w.takeReal(m.NCELLS);
  m.CONDC = w.takeReal(m.NCELLS);
  m.CONDV = w.takeReal(static_cast<std::int64_t>(nrow) * ncol * (nlay - 1));
  m.HCOEF = w.takeReal(m.NCELLS);
  m.RHS = w.takeReal(m.NCELLS);
  m.DELR = w.takeReal(ncol);
  m.DELC = w.takeReal(nrow);
  m.IOFLG = w.takeInt(4 * nlay);
  m.BUFF = separateBuff ? w.takeReal(m.NCELLS) : m.RHS;
  for (std::int64_t n = 0; n < m.NCELLS; ++n) m.IBOUND[n] = 1;
  for (int j = 0; j < ncol; ++j) m.DELR[j] = 1.0f;
  for (int i = 0; i < nrow; ++i) m.DELC[i] = 1.0f;
}

// A listing file in a scratch folder on a unit of its own.
struct Listing {
  TempDir dir;
  int unit;
  explicit Listing(int u = 61) : unit(u) { io::open(unit, (dir / "listing").string()); }
  ~Listing() { io::close(unit); }
  std::string text() {
    io::close(unit);
    return dir.readText("listing");
  }
  // The lines without trailing blanks.
  std::vector<std::string> trimmedLines() {
    std::vector<std::string> out = lines(text());
    for (std::string& l : out) l.erase(l.find_last_not_of(' ') + 1);
    return out;
  }
};

}  // namespace aqx::test
