// A one-cell model for the driver's end-to-end tests: a BAS file of one layer, row and column,
// with no solver, so that no outer iteration runs and the continuation flag decides the outcome.
#pragma once

#include <string>

#include "support/e2e.hpp"

namespace aqx::test {

// BAS input: NPERIOD periods of `steps` steps each, the given CONTINUEFLAG; one active cell.
inline std::string tinyBas(int periods = 1, int steps = 1, int continueFlag = 1) {
  auto i10 = [](int v) {
    std::string s = std::to_string(v);
    return std::string(10 - s.size(), ' ') + s;
  };
  std::string bas = "Tiny model, first title line\nSecond title line\n";
  bas += i10(1) + i10(1) + i10(1) + i10(periods) + i10(4) + i10(continueFlag) + "\n";
  bas += "\n";                    // no options
  bas += i10(0) + i10(0) + "\n";  // IAPART, ISTRT
  bas += "CONSTANT 1\n";          // boundary array
  bas += "       0.0\n";          // no-flow head
  bas += "CONSTANT 10.0\n";       // starting heads
  for (int p = 0; p < periods; ++p) bas += "       1.0" + i10(steps) + "       1.0\n";
  return bas;
}

// Writes `name` (a name file with its listing file `list`) and the BAS file it names.
inline void writeTinyModel(const TempDir& dir, const std::string& name = "tiny.nam",
                           const std::string& list = "tiny.lst", const std::string& bas = tinyBas(),
                           const std::string& extraEntries = "") {
  const std::string basFile = name + ".bas";
  dir.write(name, "LIST 6 " + list + "\nBAS 1 " + basFile + "\n" + extraEntries);
  dir.write(basFile, bas);
}

}  // namespace aqx::test
