// Writes a model of any size for measuring the solvers on the same problem: a name file, BAS, BCF,
// output control and one solver file. Every layer has constant heads on its first column (100)
// and last column (90); transmissivity varies mildly from cell to cell, or with --lognormal as a
// strongly heterogeneous field (standard deviation of ln T 1, correlation length 4 cells, from
// --seed; each layer its own field).
//
//   genmodel_tool --dir=DIR [--layers=1] [--rows=100] [--cols=100] [--type=0] [--transient]
//                 [--steps=1] [--solver=sip|pcg1|pcg2|sor] [--mxiter=200] [--close=0.001] [--cbc]
//                 [--lognormal] [--seed=1] [--wseed=X] [--ninner=30]
//
// --wseed gives SIP its seed (otherwise SIP computes it from the model); --ninner sets the inner
// iterations of PCG2 per outer iteration.
//
// --type sets the layer type of layer 1 (0 to 3); lower layers are of type 0, or of the same type
// when it is 2 or 3. --cbc saves cell-by-cell flow terms at the last step. The name file is
// DIR/model.nam; the listing goes to DIR/model.lst, the heads of the last step to DIR/heads.bin.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "lognormal_field.hpp"

namespace {

struct Options {
  std::string dir;
  int layers = 1, rows = 100, cols = 100, type = 0, steps = 1, mxiter = 200, ninner = 30;
  bool transient = false, cbc = false, lognormal = false;
  unsigned seed = 1;
  std::string solver = "sip";
  double close = 0.001;
  double wseed = 0.0;  // 0: SIP computes the seed
};

[[noreturn]] void usage(const char* why) {
  std::fprintf(stderr,
               "genmodel_tool: %s\nusage: genmodel_tool --dir=DIR [--layers=N] [--rows=N] [--cols=N] "
               "[--type=0..3] [--transient] [--steps=N] [--solver=sip|pcg1|pcg2|sor] [--mxiter=N] "
               "[--close=X] [--cbc] [--lognormal] [--seed=N] [--wseed=X] [--ninner=N]\n",
               why);
  std::exit(2);
}

Options parse(int argc, char** argv) {
  Options o;
  for (int a = 1; a < argc; ++a) {
    std::string_view arg = argv[a];
    auto value = [&](std::string_view key) -> const char* {
      if (arg.substr(0, key.size()) == key && arg.size() > key.size() && arg[key.size()] == '=') {
        return argv[a] + key.size() + 1;
      }
      return nullptr;
    };
    if (const char* v = value("--dir")) {
      o.dir = v;
    } else if (const char* v = value("--layers")) {
      o.layers = std::atoi(v);
    } else if (const char* v = value("--rows")) {
      o.rows = std::atoi(v);
    } else if (const char* v = value("--cols")) {
      o.cols = std::atoi(v);
    } else if (const char* v = value("--type")) {
      o.type = std::atoi(v);
    } else if (const char* v = value("--steps")) {
      o.steps = std::atoi(v);
    } else if (const char* v = value("--mxiter")) {
      o.mxiter = std::atoi(v);
    } else if (const char* v = value("--close")) {
      o.close = std::atof(v);
    } else if (const char* v = value("--ninner")) {
      o.ninner = std::atoi(v);
    } else if (const char* v = value("--seed")) {
      o.seed = static_cast<unsigned>(std::strtoul(v, nullptr, 10));
    } else if (const char* v = value("--wseed")) {
      o.wseed = std::atof(v);
    } else if (const char* v = value("--solver")) {
      o.solver = v;
    } else if (arg == "--transient") {
      o.transient = true;
    } else if (arg == "--lognormal") {
      o.lognormal = true;
    } else if (arg == "--cbc") {
      o.cbc = true;
    } else {
      usage("unknown argument");
    }
  }
  if (o.dir.empty()) usage("--dir is required");
  if (o.layers < 1 || o.layers > 200 || o.rows < 1 || o.cols < 2) usage("bad grid size");
  if (o.type < 0 || o.type > 3) usage("--type must be 0 to 3");
  if (o.solver != "sip" && o.solver != "pcg1" && o.solver != "pcg2" && o.solver != "sor") {
    usage("unknown solver");
  }
  if (o.steps < 1 || o.mxiter < 1 || o.ninner < 1) usage("steps, mxiter and ninner must be positive");
  if (o.wseed < 0.0 || o.wseed >= 1.0) usage("--wseed must be at least 0 and less than 1");
  return o;
}

FILE* create(const Options& o, const char* name) {
  const std::string path = (std::filesystem::path(o.dir) / name).string();
  FILE* f = std::fopen(path.c_str(), "w");
  if (!f) {
    std::perror(path.c_str());
    std::exit(1);
  }
  return f;
}

int layerType(const Options& o, int k) {
  if (k == 1) return o.type;
  return (o.type == 2 || o.type == 3) ? o.type : 0;
}

// Top and bottom elevations: layer 1 from 100 down to 50, each lower layer 10 thick.
double topOf(int k) {
  return k == 1 ? 100.0 : 50.0 - 10.0 * (k - 2);
}
double bottomOf(int k) {
  return k == 1 ? 50.0 : topOf(k) - 10.0;
}

}  // namespace

int main(int argc, char** argv) {
  const Options o = parse(argc, argv);
  std::filesystem::create_directories(o.dir);

  FILE* nam = create(o, "model.nam");
  std::fprintf(nam, "LIST 6 model.lst\nBAS 1 model.bas\nBCF 11 model.bcf\nOC 22 model.oc\n");
  std::fprintf(nam, "%s\n",
               o.solver == "sip"   ? "SIP 19 model.sip"
               : o.solver == "sor" ? "SOR 19 model.sor"
                                   : "PCG 23 model.pcg");
  std::fprintf(nam, "DATA(BINARY) 30 heads.bin\n");
  if (o.cbc) std::fprintf(nam, "DATA(BINARY) 40 cbc.bin\n");
  std::fclose(nam);

  FILE* bas = create(o, "model.bas");
  std::fprintf(bas, "Generated model %d x %d x %d\nconstant heads 100 and 90 on the first and last column\n",
               o.layers, o.rows, o.cols);
  std::fprintf(bas, "%10d%10d%10d%10d%10d%10d\n\n", o.layers, o.rows, o.cols, 1, 4, 0);
  std::fprintf(bas, "%10d%10d\n", 1, 0);
  for (int k = 1; k <= o.layers; ++k) {
    std::fprintf(bas, "INTERNAL 1 (FREE) -1\n");
    for (int i = 1; i <= o.rows; ++i) {
      for (int j = 1; j <= o.cols; ++j) std::fputs(j == 1 || j == o.cols ? " -1" : " 1", bas);
      std::fputc('\n', bas);
    }
  }
  std::fprintf(bas, "%10.1f\n", -999.0);
  for (int k = 1; k <= o.layers; ++k) {
    std::fprintf(bas, "INTERNAL 1.0 (FREE) -1\n");
    for (int i = 1; i <= o.rows; ++i) {
      for (int j = 1; j <= o.cols; ++j) std::fputs(j == 1 ? " 100" : j == o.cols ? " 90" : " 95", bas);
      std::fputc('\n', bas);
    }
  }
  std::fprintf(bas, "%10.1f%10d%10.1f\n", o.transient ? 10.0 * o.steps : 1.0, o.steps, 1.0);
  std::fclose(bas);

  FILE* bcf = create(o, "model.bcf");
  std::fprintf(bcf, "%10d%10d%10.1f%10d%10.1f%10d%10d\n", o.transient ? 0 : 1, o.cbc ? 40 : 0, -999.0, 0, 1.0,
               1, 0);
  for (int k = 1; k <= o.layers; ++k) std::fprintf(bcf, "%2d", layerType(o, k));
  std::fprintf(bcf, "\n");
  std::fprintf(bcf, "CONSTANT 1.0\nCONSTANT 100.0\nCONSTANT 100.0\n");
  for (int k = 1; k <= o.layers; ++k) {
    const int t = layerType(o, k);
    if (o.transient) std::fprintf(bcf, "CONSTANT 0.0001\n");
    // Transmissivity (or hydraulic conductivity) varying between 1 and 2 times its base value.
    const double base = (t == 1 || t == 3) ? 1.0 : 50.0;
    std::fprintf(bcf, "INTERNAL %.1f (FREE) -1\n", base);
    if (o.lognormal) {
      const std::vector<double> f = aqx::bench::lognormalLayer(o.rows, o.cols, 1.0, 4.0, o.seed + 7919u * k);
      for (int i = 0; i < o.rows; ++i) {
        for (int j = 0; j < o.cols; ++j)
          std::fprintf(bcf, " %.4g", f[static_cast<std::size_t>(i) * o.cols + j]);
        std::fputc('\n', bcf);
      }
    } else {
      for (int i = 1; i <= o.rows; ++i) {
        for (int j = 1; j <= o.cols; ++j) {
          std::fprintf(bcf, " %.2f", 1.0 + ((i * 7 + j * 13 + k * 3) % 17) / 16.0);
        }
        std::fputc('\n', bcf);
      }
    }
    if (t == 1 || t == 3) std::fprintf(bcf, "CONSTANT %.1f\n", bottomOf(k));
    if (k < o.layers) std::fprintf(bcf, "CONSTANT 0.001\n");
    if (t == 2 || t == 3) {
      if (o.transient) std::fprintf(bcf, "CONSTANT 0.1\n");
      std::fprintf(bcf, "CONSTANT %.1f\n", topOf(k));
    }
  }
  std::fclose(bcf);

  FILE* oc = create(o, "model.oc");
  std::fprintf(oc, "HEAD SAVE UNIT 30\nPERIOD 1 STEP %d\n    PRINT BUDGET\n    SAVE HEAD\n", o.steps);
  if (o.cbc) std::fprintf(oc, "    SAVE BUDGET\n");
  std::fclose(oc);

  if (o.solver == "sip") {
    FILE* sip = create(o, "model.sip");
    std::fprintf(sip, "%10d%10d\n%10.1f%10g%10d%10.4f%10d\n", o.mxiter, 5, 1.0, o.close,
                 o.wseed > 0.0 ? 0 : 1, o.wseed, 0);
    std::fclose(sip);
  } else if (o.solver == "sor") {
    FILE* sor = create(o, "model.sor");
    std::fprintf(sor, "%10d\n%10.1f%10g%10d\n", o.mxiter, 1.0, o.close, 0);
    std::fclose(sor);
  } else {
    FILE* pcg = create(o, "model.pcg");
    std::fprintf(pcg, "%10d%10d%10d%10d\n%10g%10g%10.1f%10d%10d%10d%10.1f\n", o.mxiter, o.ninner,
                 o.solver == "pcg1" ? 1 : 2, 0, o.close, o.close * 10, 1.0, 0, 0, 1, 1.0);
    std::fclose(pcg);
  }
  std::printf("%s/model.nam: %d x %d x %d cells, layer 1 type %d, %s, %s transmissivity, solver %s\n",
              o.dir.c_str(), o.layers, o.rows, o.cols, o.type, o.transient ? "transient" : "steady",
              o.lognormal ? "log-normal" : "mildly varying", o.solver.c_str());
  return 0;
}
