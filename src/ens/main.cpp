// aqxens: runs one model many times with different parameters.
//
//   aqxens prepare TEMPLATE_DIR PARAMS.csv OUT_DIR [--namefile NAME]
//   aqxens run OUT_DIR --engine parallel|slurm|none [-j N] [--sshlogin LOGIN ...] ...
//   aqxens collect OUT_DIR --obs OBS.csv [--budget LABEL ...] [--out FILE]
//   aqxens status OUT_DIR
//   aqxens exec OUT_DIR RUN | --index N     (the per-run command the engines call)
//
// Exit status: 0 done, 1 an input that cannot be used or a run that did not finish, 2 a command
// line that is off.
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <map>
#include <string>
#include <vector>

#include "ens/collect.hpp"
#include "ens/csv.hpp"
#include "ens/engines.hpp"
#include "ens/ensemble.hpp"
#include "post/outputs.hpp"

namespace aqx::ens {
namespace {

namespace fs = std::filesystem;

struct UsageError {
  std::string message;
};

const char* kUsage =
    "usage: aqxens COMMAND [ARGS]\n"
    "commands:\n"
    "  prepare TEMPLATE_DIR PARAMS.csv OUT_DIR   one run folder per parameter row\n"
    "  run OUT_DIR --engine parallel|slurm|none  run every run not finished yet\n"
    "  collect OUT_DIR --obs OBS.csv             one CSV of parameters, statuses and results\n"
    "  status OUT_DIR                            which runs have finished\n"
    "'aqxens COMMAND --help' describes each command.\n";

const std::map<std::string, std::string> kHelp = {
    {"prepare",
     "usage: aqxens prepare TEMPLATE_DIR PARAMS.csv OUT_DIR [--namefile NAME]\n"
     "Writes OUT_DIR/run001, run002, ...: one copy of the template folder per row of PARAMS.csv,\n"
     "with each placeholder {{name}} in any file replaced by the row's value in column 'name'. The\n"
     "placeholder's span, braces included, is the width of the field it fills: the value is\n"
     "right-justified in it, so fixed-column records keep their layout (write {{hk    }} for a\n"
     "wider field); a value that does not fit stops with the file, line and field, and nothing is\n"
     "written. OUT_DIR/manifest.csv lists the runs and their values. NAME is the name file each\n"
     "run starts from (default: the only *.nam file at the top of the template). Preparing again\n"
     "into the same OUT_DIR (same rows and columns) keeps the runs whose inputs are unchanged,\n"
     "with their results, and rewrites the others, so a fixed row is run again on its own.\n"},
    {"run",
     "usage: aqxens run OUT_DIR --engine parallel|slurm|none [-j N] [--sshlogin LOGIN ...]\n"
     "                 [--slurm-option TEXT ...] [--wait] [--script-only] [--all] [--aquifex PATH]\n"
     "Runs every run of OUT_DIR that has not finished with exit status 0 (--all: every run).\n"
     "Each run writes its exit status and wall time to RUN/aqxens-status.txt and the simulator's\n"
     "output to RUN/aqxens-run.log; a run that fails does not stop the others, and every failed\n"
     "run is listed at the end. Exit status 0 when every run has finished, 1 otherwise.\n"
     "  parallel  GNU parallel, -j N runs at once (default one per core); --sshlogin passes hosts\n"
     "            on to it (':' is this machine). Other hosts need aqxens and aquifex at the same\n"
     "            paths and OUT_DIR on a shared file system.\n"
     "  slurm     writes OUT_DIR/aqxens-slurm.sh, a job array with one task per run (-j N: at\n"
     "            most N at once; --slurm-option adds '#SBATCH TEXT' lines, e.g.\n"
     "            --slurm-option=--partition=short), and submits it with sbatch; task logs go to\n"
     "            OUT_DIR/slurm-logs. --wait waits for the whole array and reports; without it,\n"
     "            'aqxens status' shows progress. --script-only writes the script and submits nothing.\n"
     "  none      prints the command of each run, one per line, for any other engine.\n"
     "--aquifex names the simulator (default: the aquifex beside aqxens, else the one on PATH).\n"},
    {"collect",
     "usage: aqxens collect OUT_DIR --obs OBS.csv [--budget LABEL ...] [--budget-step P,S]\n"
     "                     [--heads FILE] [--out FILE]\n"
     "Writes one CSV line per run: run, the parameters, status (exit status, empty if the run has\n"
     "not ended), seconds (wall time), the head at each observation, and for each --budget row\n"
     "(e.g. --budget 'RIVER LEAKAGE') its rates in and out as <label>_in, <label>_out plus the\n"
     "rate discrepancy in percent, from the last budget table of the listing (--budget-step: the\n"
     "table of that period and step). OBS.csv has columns name, layer, row, column and either\n"
     "period, step or time (a saved total time). Heads are read from the name file's binary file\n"
     "of HEAD records (--heads: that file in each run folder). Runs that did not finish have\n"
     "empty results. Values are written exactly (shortest text that reads back the same number).\n"
     "--out FILE (default OUT_DIR/collected.csv; '-' for standard output). Exit status 1 when a\n"
     "result of a finished run is missing or not a finite number (each is named on standard error).\n"},
    {"status",
     "usage: aqxens status OUT_DIR\n"
     "Lists every run that has not finished (failed with its exit status and log, or not run) and\n"
     "the counts. Exit status 0 when every run has finished with exit status 0.\n"},
    {"exec",
     "usage: aqxens exec [--aquifex PATH] OUT_DIR RUN | OUT_DIR --index N\n"
     "Performs one run (by name, or by its line N in manifest.csv): the simulator in the run's\n"
     "folder on its name file, then the status file. This is the command the engines call.\n"},
};

struct Args {
  std::vector<std::string> positional;
  std::map<std::string, std::vector<std::string>> options;
  bool has(const std::string& k) const { return options.count(k) != 0; }
  std::string one(const std::string& k, const std::string& dflt = "") const {
    auto it = options.find(k);
    return it == options.end() ? dflt : it->second.back();
  }
  std::vector<std::string> all(const std::string& k) const {
    auto it = options.find(k);
    return it == options.end() ? std::vector<std::string>{} : it->second;
  }
};

// Options take their value as the next word or after '='; flags take none. -j is --jobs.
Args parse(int argc, char** argv, const std::vector<std::string>& valued,
           const std::vector<std::string>& flags) {
  Args a;
  for (int n = 2; n < argc; ++n) {
    std::string s = argv[n];
    if (s == "-j") s = "--jobs";
    if (s.rfind("--", 0) != 0) {
      a.positional.push_back(s);
      continue;
    }
    std::string value;
    const auto eq = s.find('=');
    const bool inlineValue = eq != std::string::npos;
    if (inlineValue) {
      value = s.substr(eq + 1);
      s = s.substr(0, eq);
    }
    if (std::find(flags.begin(), flags.end(), s) != flags.end() && !inlineValue) {
      a.options[s].push_back("");
      continue;
    }
    if (std::find(valued.begin(), valued.end(), s) == valued.end()) throw UsageError{"unknown option " + s};
    if (!inlineValue) {
      if (n + 1 >= argc) throw UsageError{"option " + s + " needs a value"};
      value = argv[++n];
    }
    a.options[s].push_back(value);
  }
  return a;
}

int positiveNumber(const std::string& text, const std::string& what) {
  char* end = nullptr;
  const long v = std::strtol(text.c_str(), &end, 10);
  if (text.empty() || *end != '\0' || v < 1 || v > 1000000)
    throw UsageError{what + " takes a whole number of 1 or more"};
  return static_cast<int>(v);
}

std::string selfPath() {
  std::error_code ec;
  const fs::path p = fs::read_symlink("/proc/self/exe", ec);
  if (ec) throw EnsError("cannot find the path of aqxens itself");
  return p.string();
}

std::string aquifexPath(const Args& a) {
  if (a.has("--aquifex")) {
    const std::string given = a.one("--aquifex");
    return given.find('/') == std::string::npos ? given : fs::absolute(given).string();
  }
  const fs::path beside = fs::path(selfPath()).parent_path() / "aquifex";
  std::error_code ec;
  return fs::exists(beside, ec) ? beside.string() : "aquifex";
}

std::string ensembleFolder(const Args& a, std::size_t count) {
  if (a.positional.size() != count) throw UsageError{"wrong number of arguments"};
  return fs::absolute(a.positional[0]).lexically_normal().string();
}

int prepareCommand(const Args& a) {
  if (a.positional.size() != 3) throw UsageError{"TEMPLATE_DIR PARAMS.csv OUT_DIR are needed"};
  const PrepareResult r = prepare(a.positional[0], a.positional[1], a.positional[2], a.one("--namefile"));
  for (const std::string& n : r.notes) std::cerr << "aqxens: note: " << n << "\n";
  std::cout << r.written + r.kept << " runs in " << a.positional[2] << ": " << r.written << " written, "
            << r.kept << " kept unchanged\n";
  return 0;
}

int runCommand(const Args& a) {
  RunOptions o;
  o.engine = a.one("--engine");
  if (o.engine != "parallel" && o.engine != "slurm" && o.engine != "none")
    throw UsageError{"--engine parallel, slurm or none is needed"};
  if (a.has("--jobs")) o.jobs = positiveNumber(a.one("--jobs"), "-j");
  o.sshLogins = a.all("--sshlogin");
  if (!o.sshLogins.empty() && o.engine != "parallel")
    throw UsageError{"--sshlogin goes with --engine parallel"};
  o.slurmOptions = a.all("--slurm-option");
  o.wait = a.has("--wait");
  o.scriptOnly = a.has("--script-only");
  if ((o.wait || o.scriptOnly || !o.slurmOptions.empty()) && o.engine != "slurm")
    throw UsageError{"--wait, --script-only and --slurm-option go with --engine slurm"};
  o.all = a.has("--all");
  o.self = selfPath();
  o.aquifex = aquifexPath(a);
  return runEnsemble(ensembleFolder(a, 1), o, std::cout);
}

int collectCommand(const Args& a) {
  const std::string dir = ensembleFolder(a, 1);
  if (!a.has("--obs")) throw UsageError{"--obs OBS.csv is needed"};
  CollectOptions o;
  o.observations = readObservations(a.one("--obs"));
  o.budgetLabels = a.all("--budget");
  o.headFile = a.one("--heads");
  if (a.has("--budget-step")) {
    const std::string v = a.one("--budget-step");
    const auto comma = v.find(',');
    if (comma == std::string::npos) throw UsageError{"--budget-step takes P,S"};
    o.budgetPeriod = positiveNumber(v.substr(0, comma), "--budget-step");
    o.budgetStep = positiveNumber(v.substr(comma + 1), "--budget-step");
  }
  std::vector<std::string> problems;
  const std::string table = collect(dir, o, problems);
  const std::string out = a.one("--out", (fs::path(dir) / "collected.csv").string());
  if (out == "-")
    std::cout << table;
  else
    writeFileAtomic(out, table);
  for (const std::string& p : problems) std::cerr << "aqxens: " << p << "\n";
  if (out != "-") std::cout << "collected " << readManifest(dir).runs.size() << " runs into " << out << "\n";
  return problems.empty() ? 0 : 1;
}

int statusCommand(const Args& a) {
  const std::string dir = ensembleFolder(a, 1);
  return summarize(dir, readManifest(dir), std::cout) ? 0 : 1;
}

int execCommandLine(const Args& a) {
  const bool byIndex = a.has("--index");
  const std::string dir = ensembleFolder(a, byIndex ? 1 : 2);
  const Manifest m = readManifest(dir);
  const RunEntry* run = nullptr;
  if (byIndex) {
    const int n = positiveNumber(a.one("--index"), "--index");
    if (n > static_cast<int>(m.runs.size())) throw EnsError(dir + ": has no run " + std::to_string(n));
    run = &m.runs[static_cast<std::size_t>(n) - 1];
  } else {
    for (const RunEntry& r : m.runs)
      if (r.name == a.positional[1]) run = &r;
    if (run == nullptr) throw EnsError(dir + ": has no run " + a.positional[1]);
  }
  return execRun(dir, *run, m.nameFile, aquifexPath(a));
}

int run(int argc, char** argv) {
  if (argc < 2 || std::string(argv[1]) == "--help" || std::string(argv[1]) == "-h") {
    std::cout << kUsage;
    return argc < 2 ? 2 : 0;
  }
  const std::string command = argv[1];
  if (!kHelp.count(command)) throw UsageError{"unknown command " + command};
  for (int n = 2; n < argc; ++n)
    if (std::string(argv[n]) == "--help") {
      std::cout << kHelp.at(command);
      return 0;
    }
  if (command == "prepare") return prepareCommand(parse(argc, argv, {"--namefile"}, {}));
  if (command == "run")
    return runCommand(parse(argc, argv, {"--engine", "--jobs", "--sshlogin", "--slurm-option", "--aquifex"},
                            {"--wait", "--script-only", "--all"}));
  if (command == "collect")
    return collectCommand(parse(argc, argv, {"--obs", "--budget", "--budget-step", "--heads", "--out"}, {}));
  if (command == "status") return statusCommand(parse(argc, argv, {}, {}));
  return execCommandLine(parse(argc, argv, {"--aquifex", "--index"}, {}));
}

}  // namespace
}  // namespace aqx::ens

int main(int argc, char** argv) {
  try {
    return aqx::ens::run(argc, argv);
  } catch (const aqx::ens::UsageError& e) {
    std::cerr << "aqxens: " << e.message << "\n" << aqx::ens::kUsage;
    return 2;
  } catch (const aqx::ens::EnsError& e) {
    std::cerr << "aqxens: " << e.what() << "\n";
    return 1;
  } catch (const aqx::post::FileError& e) {
    std::cerr << "aqxens: " << e.what() << "\n";
    return 1;
  } catch (const std::exception& e) {
    std::cerr << "aqxens: " << e.what() << "\n";
    return 1;
  }
}
