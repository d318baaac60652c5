// The simulation sequence: one pass over the phases for the name file open on NAMEUNIT, calling
// BAS and the packages the name file names in the fixed order of the phase table, with the
// stress-period, time-step and outer-iteration loops and the driver's own stop rules.
#pragma once

#include <string_view>

#include "driver/model.hpp"

namespace aqx {

// Runs one complete simulation. Returns after the end phase; every error (input error,
// non-converged time step, work array too small) ends it by throwing io::RunStop.
void runSimulation();

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
