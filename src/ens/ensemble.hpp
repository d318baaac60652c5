// An ensemble folder: one run folder per parameter row, a manifest naming them, and per run a
// status file that the run writes when it ends.
//
//   OUT_DIR/manifest.csv        run,namefile,inputs,<parameter>...   (one line per run, in order)
//   OUT_DIR/<run>/...           the template's files with that run's values
//   OUT_DIR/<run>/aqxens-run.log      the simulator's standard output and error
//   OUT_DIR/<run>/aqxens-status.txt   "exit N", "seconds S", "host H" once the run has ended
//
// `inputs` is a hash of the run's input files: preparing again into the same folder keeps a run
// whose inputs did not change (with its results) and rewrites every other one.
#pragma once

#include <string>
#include <vector>

namespace aqx::ens {

struct RunEntry {
  std::string name;  // folder name under the ensemble folder, e.g. run007
  std::string inputs;
  std::vector<std::string> values;  // in the order of Manifest::parameters
};

struct Manifest {
  std::string nameFile;  // relative to each run folder
  std::vector<std::string> parameters;
  std::vector<RunEntry> runs;
};

inline constexpr const char* kManifestFile = "manifest.csv";
inline constexpr const char* kStatusFile = "aqxens-status.txt";
inline constexpr const char* kLogFile = "aqxens-run.log";

Manifest readManifest(const std::string& ensembleDir);
void writeManifest(const std::string& ensembleDir, const Manifest& m);

struct PrepareResult {
  int written = 0;                 // run folders written (new, or inputs changed)
  int kept = 0;                    // run folders left as they were
  std::vector<std::string> notes;  // warnings, e.g. a parameter no file uses
};

// Prepares the ensemble. Every row is checked before anything is written, so a value that does
// not fit leaves the folder as it was. `nameFile` empty: the one *.nam file at the template's top.
PrepareResult prepare(const std::string& templateDir, const std::string& paramsCsv,
                      const std::string& ensembleDir, const std::string& nameFile);

// What is known of one run from its status file.
struct RunStatus {
  bool ended = false;  // a status file is there
  int exitStatus = -1;
  double seconds = 0.0;
  std::string host;
  bool finished() const { return ended && exitStatus == 0; }
};
RunStatus readStatus(const std::string& runDir);

// Runs the simulator for one run in its folder (standard input empty, output to the log), then
// writes the status file. Returns the simulator's exit status (127 when it cannot be started).
int execRun(const std::string& ensembleDir, const RunEntry& run, const std::string& nameFile,
            const std::string& aquifex);

// Shortest text that reads back as the same value.
std::string shortest(double v);
std::string shortest(float v);

}  // namespace aqx::ens
