// A solver whose head change (or residual) is not a finite number has diverged: its iterations
// end at once and the run stops, whatever CONTINUEFLAG says. A non-finite change never compares
// greater than a finite largest change, so solvers test for it explicitly.
#pragma once

#include <string_view>

#include "driver/model.hpp"

namespace aqx {

// Writes " SOLVER: WHAT AT LAYER k, ROW i, COLUMN j IS NOT A FINITE NUMBER IN ITERATION n --
// THE SOLUTION HAS DIVERGED" and stops the run with a nonzero status. `what` is "HEAD CHANGE"
// or "RESIDUAL".
[[noreturn]] void stopDiverged(const Model& m, std::string_view solver, std::string_view what, int layer, int row,
                               int column, int iteration);

}  // namespace aqx
