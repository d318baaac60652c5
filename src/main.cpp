// Program entry: decides which simulations run (the name files listed in aquifex.bf, one name file
// typed at the console, or the one given on the command line), runs them, and turns every way a
// run can end into an exit status. Output written before a failure stays in the files: every unit
// is closed on the way out.
#include <cstdio>
#include <exception>
#include <new>
#include <string>
#include <string_view>

#include "driver/model.hpp"
#include "driver/progress.hpp"
#include "driver/simulation.hpp"
#include "io/record.hpp"

namespace {

constexpr const char* kVersion = "0.1.0";
constexpr std::size_t kNameLength = 80;

std::string trimmed(const std::string& s) {
  const auto begin = s.find_first_not_of(" \t");
  if (begin == std::string::npos) return {};
  const auto end = s.find_last_not_of(" \t");
  return s.substr(begin, end - begin + 1);
}

// Each line of the batch file names one name file; blank lines are skipped. A missing name file
// is reported and the batch goes on; a failing simulation ends the whole batch.
int runBatch() {
  using namespace aqx;
  io::openExisting(BATCHUNIT, "aquifex.bf");
  io::open(BATCHRPTUNIT, "aqxbatch.rpt");
  io::writeList(BATCHRPTUNIT, " KESTREL AQUIFEX MODEL BATCH-MODE REPORT");
  std::string name(kNameLength, ' ');
  for (;;) {
    name.assign(kNameLength, ' ');
    if (!io::tryReadLine(BATCHUNIT, name)) return 0;
    const std::string file = trimmed(name);
    if (file.empty()) continue;
    io::write(BATCHRPTUNIT, AQX_FMT("(1X/1X,A)"), name);
    if (!io::fileExists(file)) {
      io::writeList(BATCHRPTUNIT, " Specified name file does not exist.");
      io::writeList(BATCHRPTUNIT, " Processing will continue with the next ", "name file in aquifex.bf.");
      continue;
    }
    io::openExisting(NAMEUNIT, file);
    runSimulation();
    io::writeList(BATCHRPTUNIT, " Normal termination of simulation.");
    io::closeRange(1, 96);
  }
}

// Asks for the name file until an existing one is given, then runs it once.
int runConsole() {
  using namespace aqx;
  std::string name(kNameLength, ' ');
  for (;;) {
    io::writeList(io::kConsole, " Enter the name of the NAME FILE:");
    name.assign(kNameLength, ' ');
    if (!io::tryReadLine(io::kConsole, name)) {
      io::writeList(io::kConsole, " END OF INPUT: NO NAME FILE WAS GIVEN.");
      return 1;
    }
    const std::string file = trimmed(name);
    if (!file.empty() && io::fileExists(file)) {
      io::openExisting(NAMEUNIT, file);
      runSimulation();
      return 0;
    }
    io::writeList(io::kConsole, " File does not exist");
  }
}

// `aquifex NAMEFILE`: the console path without the prompt.
int runNamed(const std::string& given) {
  using namespace aqx;
  std::string name = given.substr(0, kNameLength);
  const std::string file = trimmed(name);
  if (file.empty() || !io::fileExists(file)) {
    io::writeList(io::kConsole, " File does not exist");
    return 1;
  }
  io::openExisting(NAMEUNIT, file);
  runSimulation();
  return 0;
}

void usage(std::FILE* to) {
  std::fprintf(to,
               "usage: aquifex [NAMEFILE]\n"
               "  Simulates ground-water flow for the model described by a name file.\n"
               "  With aquifex.bf in the working folder, runs each name file it lists and\n"
               "  reports in aqxbatch.rpt; otherwise asks for the name file, unless NAMEFILE is given.\n"
               "  --quiet    no progress line on standard error (shown only on a terminal)\n"
               "  --help     show this text\n"
               "  --version  show the program version\n"
               "The modeller's guide (every input file, the listing, the binary outputs and the\n"
               "aqxpost tool) is docs/guide/README.md in the Aquifex source tree.\n");
}

// The diagnostic of an I/O failure: its kind, unit, file and input line when known.
void reportIoError(const aqx::io::IoError& e) {
  aqx::progress::finish();
  std::string where;
  if (e.unit() >= 0) where += " on unit " + std::to_string(e.unit());
  if (!e.file().empty()) where += ", file '" + e.file() + "'";
  if (e.line() > 0) where += ", line " + std::to_string(e.line());
  std::fprintf(stderr, "aquifex: I/O error (%s)%s%s%s\n", e.kind().c_str(), where.c_str(),
               e.detail().empty() ? "" : ": ", e.detail().c_str());
}

int run(int argc, char** argv) {
  // --quiet may stand anywhere; the other arguments are read as if it were not there.
  bool quiet = false;
  int kept = 1;
  for (int n = 1; n < argc; ++n) {
    if (std::string_view(argv[n]) == "--quiet") {
      quiet = true;
    } else {
      argv[kept++] = argv[n];
    }
  }
  argc = kept;
  aqx::progress::enable(!quiet && aqx::progress::stderrIsTerminal());
  if (argc > 2) {
    usage(stderr);
    return 2;
  }
  if (argc == 2) {
    const std::string_view arg = argv[1];
    if (arg == "--help" || arg == "-h") {
      usage(stdout);
      return 0;
    }
    if (arg == "--version") {
      std::printf("aquifex %s\n", kVersion);
      return 0;
    }
    if (arg.size() > 1 && arg[0] == '-') {
      std::fprintf(stderr, "aquifex: unknown option %s\n", argv[1]);
      usage(stderr);
      return 2;
    }
    return runNamed(argv[1]);
  }
  if (aqx::io::fileExists("aquifex.bf")) return runBatch();
  return runConsole();
}

}  // namespace

int main(int argc, char** argv) {
  int status = 0;
  try {
    status = run(argc, argv);
  } catch (const aqx::io::RunStop& stop) {
    aqx::progress::finish();
    status = stop.status;
  } catch (const aqx::io::IoError& e) {
    reportIoError(e);
    status = 3;
  } catch (const std::bad_alloc&) {
    aqx::progress::finish();
    std::fprintf(stderr, "aquifex: out of memory\n");
    status = 4;
  } catch (const std::exception& e) {
    aqx::progress::finish();
    std::fprintf(stderr, "aquifex: internal error: %s\n", e.what());
    status = 5;
  }
  aqx::progress::finish();
  // Close every unit so that files keep everything written before the end, whatever it was.
  try {
    aqx::io::closeAll();
  } catch (const aqx::io::IoError& e) {
    reportIoError(e);
    if (status == 0) status = 3;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "aquifex: error while closing files: %s\n", e.what());
    if (status == 0) status = 3;
  }
  std::fflush(stdout);
  return status;
}
