// The simulation sequence: one pass over the phases for the name file open on NAMEUNIT, calling
// BAS and the packages the name file names in the fixed order of the phase table, with the
// stress-period, time-step and outer-iteration loops and the driver's own stop rules.
#pragma once

#include <cstdint>
#include <functional>
#include <string_view>

#include "driver/model.hpp"

namespace aqx {

// Bounds on one run for harnesses that feed the program arbitrary input (the fuzz targets), so
// that a valid but huge model ends quickly instead of looking like a hang. 0 means no bound. A
// run that would pass a bound stops like an input error: a listing message, then io::RunStop.
struct RunCaps {
  int maxCells = 0;            // cells of the grid
  int maxSteps = 0;            // stress periods plus time steps over the whole run
  int maxOuterIterations = 0;  // outer iterations of one time step (MXITER is lowered to it)
  // Called after the output phase of every time step, with the heads the step saved.
  std::function<void(const Model&)> afterStep;
};

// Runs one complete simulation. Returns after the end phase; every error (input error,
// non-converged time step, work array too small) ends it by throwing io::RunStop.
void runSimulation(const RunCaps& caps = {});

// Whether the driver's phase table calls the package of `slot` in the phase named by the
// package method `method` ("allocate", "readPrepare", "stressPeriod", "advance", "formulate",
// "solve", "budget", "output", "end"). Unknown names give false.
bool phaseCallsSlot(std::string_view method, int slot);

// The consecutive-iteration closure rule for the PCG2 solver, applied after the solve calls of
// every outer iteration when PCG2 is used. May set CONVERGED to 1 (with its listing message and
// the dry-cell pass).
void pcgClosureRule(Model& m);

// The dry-cell pass: variable-head cells of convertible layers (LAYCON 1 or 3) whose head is at or
// below the cell bottom get HEADDRY, become inactive and lose their CONDC.
void DRYCONVERT(Model& m);

}  // namespace aqx
