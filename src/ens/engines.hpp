// Handing the runs of an ensemble to an engine that runs many processes at once: GNU parallel
// (local cores, or hosts over ssh), a Slurm job array, or none (the commands are printed for
// any other engine). Every engine runs the same per-run command, `aqxens exec`, which writes the
// run's status file; the results are always read back from those files, never from the engine.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "ens/ensemble.hpp"

namespace aqx::ens {

struct RunOptions {
  std::string engine;                     // parallel, slurm or none
  int jobs = 0;                           // parallel: -j (0: one per core); slurm: array task limit
  std::vector<std::string> sshLogins;     // parallel --sshlogin, as given
  std::vector<std::string> slurmOptions;  // extra #SBATCH lines, e.g. "--partition=short"
  bool wait = false;                      // slurm: wait until every task has ended
  bool scriptOnly = false;                // slurm: write the job script, submit nothing
  bool all = false;                       // run finished runs again too
  std::string self;                       // this program, absolute
  std::string aquifex;                    // the simulator, absolute or a name on PATH
};

// The command that performs one run (by name, or by its 1-based index with "--index").
std::vector<std::string> execCommand(const RunOptions& o, const std::string& ensembleDir,
                                     const std::string& run);
// A word quoted for a POSIX shell.
std::string shellQuote(const std::string& word);
// Array indices as Slurm writes them: 1-3,7,9-10.
std::string arraySpec(const std::vector<int>& indices);
// The job-array script for the given runs (1-based manifest indices).
std::string slurmScript(const RunOptions& o, const std::string& ensembleDir, const std::vector<int>& indices);

// Runs (or submits, or prints) the pending runs; writes progress to `out`. Returns the exit
// status of `aqxens run`: 0 when every run has finished with status 0 (or, for a submission
// without waiting, when the job was accepted), 1 otherwise.
int runEnsemble(const std::string& ensembleDir, const RunOptions& o, std::ostream& out);

// One line per run that did not finish, then a count; returns true when every run finished.
bool summarize(const std::string& ensembleDir, const Manifest& m, std::ostream& out);

}  // namespace aqx::ens
