#include "solvers/divergence.hpp"

#include <string>

#include "io/record.hpp"

namespace aqx {

void stopDiverged(const Model& m, std::string_view solver, std::string_view what, int layer, int row, int column,
                  int iteration) {
  io::write(m.LISTUNIT > 0 ? m.LISTUNIT : io::kConsole,
            AQX_FMT("(1X,A,': ',A,' AT LAYER',I3,', ROW',I4,', COLUMN',I4,' IS NOT A FINITE NUMBER IN ITERATION',"
                    "I5,' -- THE SOLUTION HAS DIVERGED')"),
            std::string(solver), std::string(what), layer, row, column, iteration);
  io::stopRun(1);
}

}  // namespace aqx
