// Gathering the results of an ensemble into one table: per run its parameters, exit status and
// wall time, the heads at observation cells and times, and chosen rows of a budget table.
//
// The observation file is a CSV with columns name, layer, row, column, and either period and
// step, or time (the total time of a saved head record). Heads come from the run's head file
// (the name file's binary file whose first record is a HEAD record, unless one is named), budget
// rows from the listing file's printed budget tables, both through the post-processing readers.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace aqx::ens {

struct Observation {
  std::string name;
  int layer = 0, row = 0, column = 0;
  int period = 0, step = 0;  // both 0 when `time` is used
  double time = 0.0;
};

std::vector<Observation> readObservations(const std::string& obsCsv);

struct CollectOptions {
  std::vector<Observation> observations;
  std::vector<std::string> budgetLabels;  // rates in and out of these rows
  int budgetPeriod = 0, budgetStep = 0;   // the table of that step; 0: the last table
  std::string headFile;                   // relative to each run folder; empty: found
};

// The table as CSV text. Runs that did not finish with status 0 have empty result cells.
// Problems in finished runs (an observation without a saved head, a budget row not printed, a
// value that is not a finite number) are listed in `problems`, one line each.
std::string collect(const std::string& ensembleDir, const CollectOptions& o,
                    std::vector<std::string>& problems);

}  // namespace aqx::ens
