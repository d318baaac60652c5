// aqxpost: reads what a run of the simulator leaves behind (layer files, cell-by-cell budget
// files, the listing) and writes it in forms other tools read: record lists and CSV.
//
//   aqxpost list FILE
//   aqxpost csv FILE --period P --step S [--layer K] [--label TEXT] [--layout long|grid]
//   aqxpost hydrograph FILE --cell K,I,J [--cell K,I,J ...] [--label TEXT]
//   aqxpost budget LISTING
//   aqxpost map FILE --period P --step S [--layer K] [--label TEXT] --png OUT | --svg OUT ...
//   aqxpost netcdf --heads FILE --out OUT.nc [--drawdowns FILE] [--budget FILE] [--namefile NAM]
//   aqxpost report NAMEFILE [--out FILE]
//
// Exit status: 0 done, 1 a file that cannot be read as asked, 2 a command line that is off.
#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <map>
#include <string>
#include <vector>

#include "post/listing_budget.hpp"
#include "post/map.hpp"
#include "post/model_grid.hpp"
#ifdef AQX_HAVE_NETCDF
#include "post/netcdf_export.hpp"
#endif
#include "post/outputs.hpp"
#include "post/report.hpp"

namespace aqx::post {
namespace {

struct UsageError {
  std::string message;
};

const char* kUsage =
    "usage: aqxpost COMMAND [ARGS]\n"
    "commands:\n"
    "  list FILE          every record of a layer file or a cell-by-cell budget file\n"
    "  csv FILE ...       one layer or one budget term of one step as CSV\n"
    "  hydrograph FILE .. values at cells through every saved step as CSV\n"
    "  budget LISTING     every volumetric budget table of a listing file as CSV\n"
#ifdef AQX_HAVE_PNG
    "  map FILE ...       one layer as a PNG and/or SVG map with contours and a legend\n"
#else
    "  map FILE ...       one layer as an SVG map with contours and a legend\n"
#endif
#ifdef AQX_HAVE_NETCDF
    "  netcdf ...         heads, drawdowns and cell-by-cell terms of a run as one NetCDF-4 file\n"
#endif
    "  report NAMEFILE    one self-contained HTML page of a finished run\n"
    "'aqxpost COMMAND --help' describes each command.\n";

const std::map<std::string, std::string> kHelp = {
    {"list",
     "usage: aqxpost list FILE\n"
     "Lists every record of a binary layer file (heads, drawdowns, subsidence, compaction, critical\n"
     "heads) or cell-by-cell budget file (full and compact records, methods 1 to 4), one line each:\n"
     "step, period, times, label, sizes, layer or method, entry count. The kind of file is found\n"
     "from its bytes.\n"},
    {"csv",
     "usage: aqxpost csv FILE --period P --step S [--layer K] [--label TEXT] [--layout long|grid]\n"
     "Writes one record of one time step as CSV on standard output. Layer files: the record of\n"
     "layer K (default 1), and --label picks among records of several kinds. Budget files: the term\n"
     "named by --label (required; leading and trailing blanks and case do not matter), all layers\n"
     "or layer K. --layout long (default) writes layer,row,column,value lines; --layout grid writes\n"
     "one line per row of one layer.\n"},
    {"hydrograph",
     "usage: aqxpost hydrograph FILE --cell K,I,J [--cell K,I,J ...] [--label TEXT]\n"
     "Writes the value at each listed cell (layer, row, column) through every saved time step, one\n"
     "CSV line per step: period, step, total time, then one column per cell. Layer files only;\n"
     "--label picks one kind of record when the file holds several.\n"},
    {"budget",
     "usage: aqxpost budget LISTING\n"
     "Writes every volumetric budget table of a listing file as CSV: period, step, total time and\n"
     "its unit, label, rates in and out, cumulative volumes in and out, and the two percent\n"
     "discrepancies, one line per budget term plus a TOTAL line per table.\n"},
    {"map",
     "usage: aqxpost map FILE --period P --step S [--layer K] [--label TEXT] [--png OUT] [--svg OUT]\n"
     "                  [--interval DH] [--mask V ...] [--namefile NAM] [--width PIXELS]\n"
     "Draws one record of a layer file (heads, drawdowns) as a map: cells coloured on a scale from\n"
     "the lowest to the highest value (legend on the right), black contour lines at multiples of\n"
     "--interval (default: a round interval giving about ten lines), and masked cells in grey.\n"
     "A cell is masked when its value is one given by --mask (repeat it, e.g. the no-flow head\n"
     "and the dry-cell head of the run), a magnitude of 1e30 or more, -999.99, or not a number.\n"
     "--namefile reads DELR and DELC from the model's BAS and BCF files (paths in the name file\n"
     "are taken from the name file's folder; array files named in them from the current folder)\n"
     "so unequal cells are drawn to scale; without it every cell is square. --width is the map's\n"
     "width in pixels (default 800). At least one of --png and --svg is needed"
#ifndef AQX_HAVE_PNG
     " (this build has no PNG support)"
#endif
     ".\n"},
    {"report",
     "usage: aqxpost report NAMEFILE [--out FILE]\n"
     "Writes one self-contained HTML page of a finished run (default report.html): the model's\n"
     "grid, the files of its name file and its stress periods; the water balance of every budget\n"
     "table of the listing as a chart and a table; percent discrepancy and solver iterations per\n"
     "time step; a head map of every layer at the last saved step; and the head through time at\n"
     "the cells of the WEL file's wells. The listing is the name file's LIST entry, the head file\n"
     "the DATA entry on the OC file's HEAD SAVE UNIT (no maps or hydrographs without one). Charts\n"
     "are inline SVG and maps embedded "
#ifdef AQX_HAVE_PNG
     "PNG"
#else
     "SVG (this build has no PNG support)"
#endif
     " images, so the page opens in a browser with no other file.\n"},
#ifdef AQX_HAVE_NETCDF
    {"netcdf",
     "usage: aqxpost netcdf --out OUT.nc [--heads FILE] [--drawdowns FILE] [--budget FILE]\n"
     "                     [--namefile NAM] [--mask V ...] [--length-unit UNIT]\n"
     "Writes the records of a run into one NetCDF-4 file following the CF conventions (CF-1.8):\n"
     "dimensions time, layer, row, column with coordinate variables of those names; variables\n"
     "head and drawdown, and one variable per cell-by-cell term (its label in lower case with\n"
     "'_' for blanks, e.g. flow_right_face), all float (time, layer, row, column). Head and\n"
     "drawdown values that mark a cell without a head (the values given by --mask, a magnitude of\n"
     "1e30 or more, -999.99, not a number) are stored as the _FillValue 9.96921e36; flows are\n"
     "kept as written. With --namefile, row and column hold cell-centre distances from DELR and\n"
     "DELC (row from the outer edge of the last row, so north is up), the time unit comes from\n"
     "the basic package and lengths are in --length-unit (default m); without it cells are 1 x 1\n"
     "and units are \"1\". At least one of --heads, --drawdowns, --budget is needed.\n"},
#endif
};

std::string upperTrim(std::string s) {
  const auto a = s.find_first_not_of(' ');
  const auto b = s.find_last_not_of(' ');
  s = a == std::string::npos ? "" : s.substr(a, b - a + 1);
  for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

// The %g text of a value, exact enough to give the single-precision value back.
std::string num(double v) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.9g", v);
  return buf;
}

struct Args {
  std::vector<std::string> positional;
  std::map<std::string, std::vector<std::string>> options;
  bool has(const std::string& k) const { return options.count(k) != 0; }
  std::string one(const std::string& k, const std::string& dflt = "") const {
    auto it = options.find(k);
    return it == options.end() ? dflt : it->second.back();
  }
};

Args parse(int argc, char** argv, int from, const std::vector<std::string>& valued) {
  Args a;
  for (int n = from; n < argc; ++n) {
    std::string s = argv[n];
    if (s.rfind("--", 0) == 0 && s != "--help") {
      if (std::find(valued.begin(), valued.end(), s) == valued.end()) throw UsageError{"unknown option " + s};
      if (n + 1 >= argc) throw UsageError{"option " + s + " needs a value"};
      a.options[s].push_back(argv[++n]);
    } else {
      a.positional.push_back(s);
    }
  }
  return a;
}

int integerOption(const Args& a, const std::string& k, int dflt, bool required) {
  if (!a.has(k)) {
    if (required) throw UsageError{"option " + k + " is required"};
    return dflt;
  }
  const std::string v = a.one(k);
  char* end = nullptr;
  const long n = std::strtol(v.c_str(), &end, 10);
  if (v.empty() || *end != '\0' || n < 1 || n > 1000000000)
    throw UsageError{"option " + k + " takes a whole number"};
  return static_cast<int>(n);
}

std::string onlyFile(const Args& a) {
  if (a.positional.size() != 1) throw UsageError{"one FILE is needed"};
  return a.positional[0];
}

int listCommand(const Args& a) {
  const std::string bytes = readFileBytes(onlyFile(a));
  if (detectKind(bytes) == FileKind::Layer) {
    std::cout << "kind,step,period,period_time,total_time,label,columns,rows,layer\n";
    for (const LayerRecord& r : readLayerFile(bytes)) {
      std::cout << "layer," << r.kstep << ',' << r.kper << ',' << num(r.pertim) << ',' << num(r.totim) << ','
                << upperTrim(r.label) << ',' << r.ncol << ',' << r.nrow << ',' << r.layer << '\n';
    }
  } else {
    std::cout << "kind,step,period,label,columns,rows,layers,method,time_step_length,period_time,total_time,"
                 "entries\n";
    for (const BudgetRecord& r : readBudgetFile(bytes)) {
      std::cout << "budget," << r.kstep << ',' << r.kper << ',' << upperTrim(r.label) << ',' << r.ncol << ','
                << r.nrow << ',' << r.nlay << ',' << r.method << ',';
      if (r.method == 0) {
        std::cout << ",,,";
      } else {
        std::cout << num(r.delt) << ',' << num(r.pertim) << ',' << num(r.totim) << ',';
      }
      if (r.method == 2) std::cout << r.entries.size();
      std::cout << '\n';
    }
  }
  return 0;
}

void writeGrid(const std::vector<float>& values, int ncol, int nrow, int layer, bool grid, bool withLayer) {
  const std::size_t base = static_cast<std::size_t>(layer - 1) * ncol * nrow;
  if (grid) {
    for (int i = 1; i <= nrow; ++i) {
      for (int j = 1; j <= ncol; ++j) {
        if (j > 1) std::cout << ',';
        std::cout << num(values[base + static_cast<std::size_t>(ncol) * (i - 1) + (j - 1)]);
      }
      std::cout << '\n';
    }
    return;
  }
  for (int i = 1; i <= nrow; ++i) {
    for (int j = 1; j <= ncol; ++j) {
      if (withLayer) std::cout << layer << ',';
      std::cout << i << ',' << j << ','
                << num(values[base + static_cast<std::size_t>(ncol) * (i - 1) + (j - 1)]) << '\n';
    }
  }
}

int csvCommand(const Args& a) {
  const std::string file = onlyFile(a);
  const int period = integerOption(a, "--period", 0, true);
  const int step = integerOption(a, "--step", 0, true);
  const std::string layout = a.one("--layout", "long");
  if (layout != "long" && layout != "grid") throw UsageError{"--layout is long or grid"};
  const bool grid = layout == "grid";
  const std::string label = upperTrim(a.one("--label"));
  const std::string bytes = readFileBytes(file);
  if (detectKind(bytes) == FileKind::Layer) {
    const int layer = integerOption(a, "--layer", 1, false);
    for (const LayerRecord& r : readLayerFile(bytes)) {
      if (r.kper != period || r.kstep != step || r.layer != layer) continue;
      if (!label.empty() && upperTrim(r.label) != label) continue;
      if (!grid) std::cout << "layer,row,column,value\n";
      writeGrid(r.values, r.ncol, r.nrow, 1, grid, false);
      return 0;
    }
    throw FileError("no record of layer " + std::to_string(layer) + " at period " + std::to_string(period) +
                    ", step " + std::to_string(step));
  }
  if (label.empty()) throw UsageError{"a budget file needs --label"};
  for (const BudgetRecord& r : readBudgetFile(bytes)) {
    if (r.kper != period || r.kstep != step || upperTrim(r.label) != label) continue;
    const bool oneLayer = a.has("--layer");
    const int layer = integerOption(a, "--layer", 1, false);
    if (layer > r.nlay) throw UsageError{"the record has " + std::to_string(r.nlay) + " layers"};
    if (grid && !oneLayer && r.nlay > 1) throw UsageError{"--layout grid writes one layer: give --layer"};
    if (!grid) std::cout << "layer,row,column,value\n";
    for (int k = oneLayer ? layer : 1; k <= (oneLayer ? layer : r.nlay); ++k) {
      if (!grid) {
        writeGrid(r.values, r.ncol, r.nrow, k, false, true);
      } else {
        writeGrid(r.values, r.ncol, r.nrow, k, true, false);
      }
    }
    return 0;
  }
  throw FileError("no term \"" + label + "\" at period " + std::to_string(period) + ", step " +
                  std::to_string(step));
}

int hydrographCommand(const Args& a) {
  const std::string file = onlyFile(a);
  if (!a.has("--cell")) throw UsageError{"at least one --cell K,I,J is needed"};
  struct Cell {
    int k, i, j;
  };
  std::vector<Cell> cells;
  for (const std::string& c : a.options.at("--cell")) {
    Cell x{};
    char tail = 0;
    if (std::sscanf(c.c_str(), "%d,%d,%d%c", &x.k, &x.i, &x.j, &tail) != 3 || x.k < 1 || x.i < 1 || x.j < 1)
      throw UsageError{"--cell takes LAYER,ROW,COLUMN: " + c};
    cells.push_back(x);
  }
  const std::string label = upperTrim(a.one("--label"));
  const std::string bytes = readFileBytes(file);
  if (detectKind(bytes) != FileKind::Layer)
    throw UsageError{"hydrograph reads layer files (heads, drawdowns, ...)"};
  const std::vector<LayerRecord> records = readLayerFile(bytes);
  std::string kind = label;
  if (kind.empty() && !records.empty()) kind = upperTrim(records.front().label);
  std::cout << "period,step,total_time";
  for (const Cell& c : cells) std::cout << ",L" << c.k << "R" << c.i << "C" << c.j;
  std::cout << '\n';
  // Records of one step stand together; a step's line is written when the next step begins.
  std::size_t n = 0;
  while (n < records.size()) {
    const int kper = records[n].kper, kstep = records[n].kstep;
    std::vector<std::string> value(cells.size());
    float totim = records[n].totim;
    bool any = false;
    for (; n < records.size() && records[n].kper == kper && records[n].kstep == kstep; ++n) {
      const LayerRecord& r = records[n];
      if (upperTrim(r.label) != kind) continue;
      any = true;
      totim = r.totim;
      for (std::size_t c = 0; c < cells.size(); ++c) {
        if (cells[c].k != r.layer) continue;
        if (cells[c].i > r.nrow || cells[c].j > r.ncol)
          throw UsageError{"cell outside the grid of " + std::to_string(r.nrow) + " rows and " +
                           std::to_string(r.ncol) + " columns"};
        value[c] = num(r.at(cells[c].i, cells[c].j));
      }
    }
    if (!any) continue;
    std::cout << kper << ',' << kstep << ',' << num(totim);
    for (const std::string& v : value) std::cout << ',' << v;
    std::cout << '\n';
  }
  return 0;
}

int budgetCommand(const Args& a) {
  const std::string text = readFileBytes(onlyFile(a));
  const std::vector<BudgetTable> tables = readBudgetTables(text);
  if (tables.empty()) throw FileError("no volumetric budget table in the listing");
  std::cout << "period,step,total_time,time_unit,label,rate_in,rate_out,cumulative_in,cumulative_out,"
               "percent_discrepancy_cumulative,percent_discrepancy_rate\n";
  for (const BudgetTable& t : tables) {
    auto line = [&](const std::string& label, double ri, double ro, double ci, double co) {
      std::cout << t.period << ',' << t.step << ',' << (t.timeUnit.empty() ? "" : num(t.totalTime)) << ','
                << t.timeUnit << ',' << label << ',' << num(ri) << ',' << num(ro) << ',' << num(ci) << ','
                << num(co) << ',' << num(t.discrepancy[0]) << ',' << num(t.discrepancy[1]) << '\n';
    };
    for (const BudgetRow& r : t.rows)
      line(upperTrim(r.label), r.rateIn, r.rateOut, r.cumulativeIn, r.cumulativeOut);
    line("TOTAL", t.totalIn[1], t.totalOut[1], t.totalIn[0], t.totalOut[0]);
  }
  return 0;
}

double realOption(const Args& a, const std::string& k, double dflt) {
  if (!a.has(k)) return dflt;
  const std::string v = a.one(k);
  char* end = nullptr;
  const double x = std::strtod(v.c_str(), &end);
  if (v.empty() || *end != '\0' || !std::isfinite(x)) throw UsageError{"option " + k + " takes a number"};
  return x;
}

// The values of every --mask option.
std::vector<float> maskOption(const Args& a) {
  std::vector<float> values;
  if (a.has("--mask"))
    for (const std::string& m : a.options.at("--mask")) {
      char* end = nullptr;
      const float v = std::strtof(m.c_str(), &end);
      if (m.empty() || *end != '\0') throw UsageError{"--mask takes a number: " + m};
      values.push_back(v);
    }
  return values;
}

// The record of one layer at one step (with --label among several kinds).
LayerRecord pickLayer(const Args& a, const std::string& bytes) {
  const int period = integerOption(a, "--period", 0, true);
  const int step = integerOption(a, "--step", 0, true);
  const int layer = integerOption(a, "--layer", 1, false);
  const std::string label = upperTrim(a.one("--label"));
  if (detectKind(bytes) != FileKind::Layer) throw UsageError{"map reads layer files (heads, drawdowns, ...)"};
  for (LayerRecord& r : readLayerFile(bytes)) {
    if (r.kper != period || r.kstep != step || r.layer != layer) continue;
    if (!label.empty() && upperTrim(r.label) != label) continue;
    return std::move(r);
  }
  throw FileError("no record of layer " + std::to_string(layer) + " at period " + std::to_string(period) +
                  ", step " + std::to_string(step));
}

int mapCommand(const Args& a) {
  const std::string file = onlyFile(a);
  const std::string png = a.one("--png"), svg = a.one("--svg");
  if (png.empty() && svg.empty()) throw UsageError{"map needs --png OUT or --svg OUT"};
#ifndef AQX_HAVE_PNG
  if (!png.empty()) throw UsageError{"this build of aqxpost has no PNG support"};
#endif
  LayerRecord r = pickLayer(a, readFileBytes(file));
  MapInput in;
  in.ncol = r.ncol;
  in.nrow = r.nrow;
  in.values = std::move(r.values);
  in.interval = realOption(a, "--interval", 0.0);
  if (in.interval < 0.0) throw UsageError{"--interval must be positive"};
  in.width = integerOption(a, "--width", 800, false);
  in.maskValues = maskOption(a);
  in.title = upperTrim(r.label) + ", layer " + std::to_string(r.layer) + ", period " +
             std::to_string(r.kper) + ", step " + std::to_string(r.kstep);
  if (a.has("--namefile")) {
    const ModelGrid g = readModelGrid(a.one("--namefile"));
    if (g.ncol != r.ncol || g.nrow != r.nrow)
      throw FileError("the model has " + std::to_string(g.nrow) + " rows and " + std::to_string(g.ncol) +
                      " columns, the layer record " + std::to_string(r.nrow) + " and " +
                      std::to_string(r.ncol));
    in.delr = g.delr;
    in.delc = g.delc;
  }
  MapLayout layout;
  try {
    layout = layoutMap(in);
  } catch (const std::invalid_argument& e) {
    throw UsageError{e.what()};
  }
#ifdef AQX_HAVE_PNG
  if (!png.empty()) writePng(renderRaster(in, layout), png);
#endif
  if (!svg.empty()) {
    std::FILE* f = std::fopen(svg.c_str(), "wb");
    if (!f) throw FileError("cannot write " + svg);
    const std::string text = renderSvg(in, layout);
    const bool ok = std::fwrite(text.data(), 1, text.size(), f) == text.size();
    if (std::fclose(f) != 0 || !ok) throw FileError("cannot write " + svg);
  }
  return 0;
}

int reportCommand(const Args& a) {
  const std::string page = buildReport(onlyFile(a));
  const std::string out = a.one("--out", "report.html");
  std::FILE* f = std::fopen(out.c_str(), "wb");
  if (!f) throw FileError("cannot write " + out);
  const bool ok = std::fwrite(page.data(), 1, page.size(), f) == page.size();
  if (std::fclose(f) != 0 || !ok) throw FileError("cannot write " + out);
  return 0;
}

#ifdef AQX_HAVE_NETCDF
int netcdfCommand(const Args& a) {
  if (!a.positional.empty()) throw UsageError{"netcdf takes its files as options"};
  const std::string out = a.one("--out");
  if (out.empty()) throw UsageError{"netcdf needs --out OUT.nc"};
  if (!a.has("--heads") && !a.has("--drawdowns") && !a.has("--budget"))
    throw UsageError{"netcdf needs --heads, --drawdowns or --budget"};
  NetcdfInput in;
  auto layers = [&](const std::string& option) {
    if (!a.has(option)) return std::vector<LayerRecord>{};
    const std::string bytes = readFileBytes(a.one(option));
    if (detectKind(bytes) != FileKind::Layer) throw FileError(a.one(option) + " is not a layer file");
    return readLayerFile(bytes);
  };
  in.heads = layers("--heads");
  in.drawdowns = layers("--drawdowns");
  if (a.has("--budget")) {
    const std::string bytes = readFileBytes(a.one("--budget"));
    if (detectKind(bytes) != FileKind::Budget)
      throw FileError(a.one("--budget") + " is not a cell-by-cell file");
    in.budget = readBudgetFile(bytes);
  }
  in.maskValues = maskOption(a);
  in.lengthUnit = a.one("--length-unit", "m");
  ModelGrid grid;
  if (a.has("--namefile")) {
    grid = readModelGrid(a.one("--namefile"));
    in.grid = &grid;
    static const char* const kPlural[] = {"1", "seconds", "minutes", "hours", "days", "years"};
    static const char* const kSingle[] = {"", "s", "min", "h", "day", "year"};
    in.timeUnit = kPlural[grid.timeUnit];
    in.rateTimeUnit = kSingle[grid.timeUnit];
    in.title = a.one("--namefile");
  }
  writeNetcdf(in, out);
  return 0;
}
#endif

int run(int argc, char** argv) {
  if (argc < 2 || std::string(argv[1]) == "--help" || std::string(argv[1]) == "-h") {
    std::cout << kUsage;
    return argc < 2 ? 2 : 0;
  }
  const std::string command = argv[1];
  if (!kHelp.count(command)) throw UsageError{"unknown command " + command};
  for (int n = 2; n < argc; ++n) {
    if (std::string(argv[n]) == "--help") {
      std::cout << kHelp.at(command);
      return 0;
    }
  }
  if (command == "list") return listCommand(parse(argc, argv, 2, {}));
  if (command == "csv")
    return csvCommand(parse(argc, argv, 2, {"--period", "--step", "--layer", "--label", "--layout"}));
  if (command == "hydrograph") return hydrographCommand(parse(argc, argv, 2, {"--cell", "--label"}));
  if (command == "map")
    return mapCommand(parse(argc, argv, 2,
                            {"--period", "--step", "--layer", "--label", "--png", "--svg", "--interval",
                             "--mask", "--namefile", "--width"}));
  if (command == "report") return reportCommand(parse(argc, argv, 2, {"--out"}));
#ifdef AQX_HAVE_NETCDF
  if (command == "netcdf")
    return netcdfCommand(
        parse(argc, argv, 2,
              {"--out", "--heads", "--drawdowns", "--budget", "--namefile", "--mask", "--length-unit"}));
#endif
  return budgetCommand(parse(argc, argv, 2, {}));
}

}  // namespace
}  // namespace aqx::post

int main(int argc, char** argv) {
  try {
    return aqx::post::run(argc, argv);
  } catch (const aqx::post::UsageError& e) {
    std::cerr << "aqxpost: " << e.message << "\n" << aqx::post::kUsage;
    return 2;
  } catch (const aqx::post::FileError& e) {
    std::cerr << "aqxpost: " << e.what() << "\n";
    return 1;
  } catch (const std::exception& e) {
    std::cerr << "aqxpost: " << e.what() << "\n";
    return 1;
  }
}
