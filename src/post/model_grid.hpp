// Cell sizes of a model, read from its input files through the simulator's own readers: the name
// file gives the basic and flow package files, the basic package the grid dimensions and the free
// format option, and the flow package's records before DELR and DELC bring its unit to those two
// arrays, which io::READVEC then reads like the simulator does. Needs the simulator's objects
// (aqxcore) linked in; the readers library itself does not depend on them.
#pragma once

#include <string>
#include <vector>

namespace aqx::post {

struct ModelGrid {
  int nlay = 0, nrow = 0, ncol = 0;
  int nper = 0;              // stress periods
  int timeUnit = 0;          // ITMUNI: 0 undefined, 1 seconds, 2 minutes, 3 hours, 4 days, 5 years
  std::vector<double> delr;  // ncol widths along a row
  std::vector<double> delc;  // nrow widths along a column
};

// One entry of a name file: file type (upper case), unit and path (relative paths taken from the
// name file's folder). Comment lines and lines without a path are left out.
struct NameEntry {
  std::string type;
  int unit = 0;
  std::string path;
};
// FileError when the name file cannot be opened.
std::vector<NameEntry> readNameFile(const std::string& nameFile);

// FileError with a message when a file is missing or its records cannot be read.
ModelGrid readModelGrid(const std::string& nameFile);

}  // namespace aqx::post
