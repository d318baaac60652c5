// NetCDF-4 export of a run's layer files (heads, drawdowns) and cell-by-cell terms, following the
// CF conventions: dimensions time, layer, row, column; coordinate variables of the same names
// (cell-centre distances from DELR/DELC when known); masked cells stored as _FillValue. Present
// only when the tool is built with libnetcdf.
#pragma once

#include <string>
#include <vector>

#include "post/model_grid.hpp"
#include "post/outputs.hpp"

namespace aqx::post {

struct NetcdfInput {
  std::vector<LayerRecord> heads, drawdowns;
  std::vector<BudgetRecord> budget;
  std::vector<float> maskValues;    // besides the usual markers (see isMasked)
  const ModelGrid* grid = nullptr;  // cell sizes; null: cells of 1 x 1
  std::string lengthUnit = "m";
  std::string timeUnit = "1";  // units of the time coordinate ("days", ...; "1" unknown)
  std::string rateTimeUnit;    // the same unit, singular ("day"), for flow rates; empty unknown
  std::string title;
};

// The CF fill value of every data variable.
inline constexpr float kNetcdfFill = 9.9692099683868690e+36f;

// A variable name from a budget label: lower case, blanks inside turned to '_', others dropped.
std::string variableName(const std::string& label);

// Writes the file (FileError on any failure, with the library's message).
void writeNetcdf(const NetcdfInput& in, const std::string& path);

}  // namespace aqx::post
