// Whole-program models for solver tests: a confined steady grid of any size written as the input
// files of the basic, flow, well, output-control and solver packages, with heads saved for
// every step on unit 30 (file m.hds) and the listing in m.lst.
#pragma once

#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "support/e2e.hpp"

namespace aqx::test {

struct SolverModel {
  int nlay = 1, nrow = 1, ncol = 1;
  int continueflag = 0;
  std::vector<int> ibound;    // per cell, natural order (1 when empty)
  std::vector<double> start;  // starting heads per cell (0 when empty)
  std::vector<float> tran;    // transmissivity along rows per cell (1 when empty)
  std::vector<float> vcont;   // leakance per cell of layers 1 to nlay - 1 (1 when empty)
  float delr = 1.0f, delc = 1.0f;
  struct Well {
    int k, i, j;
    float q;
  };
  std::vector<Well> wells;
  std::string solverType = "SIP";  // name-file type of the solver
  std::string solverInput;         // its input file

  std::size_t cells() const { return static_cast<std::size_t>(nlay) * nrow * ncol; }
  std::size_t at(int k, int i, int j) const {
    return static_cast<std::size_t>(j - 1) + static_cast<std::size_t>(ncol) * (i - 1) +
           static_cast<std::size_t>(ncol) * nrow * (k - 1);
  }
};

namespace solver_models_detail {

inline std::string num(double v) {
  char buf[40];
  std::snprintf(buf, sizeof buf, " %.9g", v);
  return buf;
}

inline std::string i10(int v) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%10d", v);
  return buf;
}

inline std::string f10(double v) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%10.4g", v);
  return buf;
}

// One layer of an array as an INTERNAL free-format array record, one row per line.
template <class T>
void layerArray(std::ostringstream& o, const SolverModel& s, const std::vector<T>& v, int k, double dflt,
                bool integer) {
  o << (integer ? "INTERNAL 1 (FREE) -1\n" : "INTERNAL 1.0 (FREE) -1\n");
  for (int i = 1; i <= s.nrow; ++i) {
    for (int j = 1; j <= s.ncol; ++j) {
      const double x = v.empty() ? dflt : static_cast<double>(v[s.at(k, i, j)]);
      if (integer) {
        o << ' ' << static_cast<int>(x);
      } else {
        o << num(x);
      }
    }
    o << '\n';
  }
}

}  // namespace solver_models_detail

// Writes m.nam and the package files of the model into `dir`.
inline void writeSolverModel(const TempDir& dir, const SolverModel& s) {
  using namespace solver_models_detail;
  std::ostringstream nam;
  nam << "LIST 6 m.lst\nBAS 1 m.bas\nBCF 11 m.bcf\nOC 22 m.oc\n"
      << s.solverType << " 19 m.slv\n"
      << "DATA(BINARY) 30 m.hds\n";
  if (!s.wells.empty()) nam << "WEL 12 m.wel\n";
  dir.write("m.nam", nam.str());

  std::ostringstream bas;
  bas << "solver test model\nconfined steady grid\n"
      << i10(s.nlay) << i10(s.nrow) << i10(s.ncol) << i10(1) << i10(4) << i10(s.continueflag) << "\n\n"
      << i10(1) << i10(0) << "\n";
  for (int k = 1; k <= s.nlay; ++k) layerArray(bas, s, s.ibound, k, 1.0, true);
  bas << "     -999.\n";
  for (int k = 1; k <= s.nlay; ++k) layerArray(bas, s, s.start, k, 0.0, false);
  bas << f10(1.0) << i10(1) << f10(1.0) << "\n";
  dir.write("m.bas", bas.str());

  std::ostringstream bcf;
  bcf << i10(1) << i10(0) << "     -888." << i10(0) << "        1." << i10(0) << i10(0) << "\n";
  for (int k = 1; k <= s.nlay; ++k) bcf << " 0";
  bcf << "\nCONSTANT 1.0\nCONSTANT " << s.delr << "\nCONSTANT " << s.delc << "\n";
  for (int k = 1; k <= s.nlay; ++k) {
    layerArray(bcf, s, s.tran, k, 1.0, false);
    if (k < s.nlay) layerArray(bcf, s, s.vcont, k, 1.0, false);
  }
  dir.write("m.bcf", bcf.str());

  if (!s.wells.empty()) {
    std::ostringstream wel;
    wel << i10(static_cast<int>(s.wells.size())) << i10(0) << "\n"
        << i10(static_cast<int>(s.wells.size())) << "\n";
    for (const SolverModel::Well& w : s.wells) wel << i10(w.k) << i10(w.i) << i10(w.j) << f10(w.q) << "\n";
    dir.write("m.wel", wel.str());
  }
  dir.write("m.oc", "HEAD SAVE UNIT 30\nPERIOD 1 STEP 1\nSAVE HEAD\n");
  dir.write("m.slv", s.solverInput);
}

}  // namespace aqx::test
