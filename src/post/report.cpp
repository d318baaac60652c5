#include "post/report.hpp"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <tuple>
#include <vector>

#include "post/listing_budget.hpp"
#include "post/map.hpp"
#include "post/model_grid.hpp"
#include "post/outputs.hpp"

namespace aqx::post {
namespace {

std::string upper(std::string s) {
  for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

std::string trim(const std::string& s) {
  const auto a = s.find_first_not_of(' ');
  if (a == std::string::npos) return "";
  return s.substr(a, s.find_last_not_of(' ') - a + 1);
}

std::string esc(const std::string& s) {
  std::string o;
  for (char c : s) {
    switch (c) {
      case '&':
        o += "&amp;";
        break;
      case '<':
        o += "&lt;";
        break;
      case '>':
        o += "&gt;";
        break;
      case '"':
        o += "&quot;";
        break;
      default:
        o += c;
    }
  }
  return o;
}

std::string num(double v, const char* fmt = "%.6g") {
  char buf[40];
  std::snprintf(buf, sizeof buf, fmt, v);
  return buf;
}

[[maybe_unused]] std::string base64(const std::string& bytes) {
  static const char* const kAlphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string o;
  o.reserve((bytes.size() + 2) / 3 * 4);
  for (std::size_t n = 0; n < bytes.size(); n += 3) {
    const unsigned a = static_cast<unsigned char>(bytes[n]);
    const unsigned b = n + 1 < bytes.size() ? static_cast<unsigned char>(bytes[n + 1]) : 0;
    const unsigned c = n + 2 < bytes.size() ? static_cast<unsigned char>(bytes[n + 2]) : 0;
    const unsigned v = (a << 16) | (b << 8) | c;
    o += kAlphabet[(v >> 18) & 63];
    o += kAlphabet[(v >> 12) & 63];
    o += n + 1 < bytes.size() ? kAlphabet[(v >> 6) & 63] : '=';
    o += n + 2 < bytes.size() ? kAlphabet[v & 63] : '=';
  }
  return o;
}

const char* const kPalette[] = {"#1f77b4", "#d62728", "#2ca02c", "#ff7f0e", "#9467bd",
                                "#8c564b", "#e377c2", "#7f7f7f", "#bcbd22", "#17becf"};

struct Series {
  std::string name;
  std::vector<double> y;  // NaN: no value at that x
  bool dashed = false;
};

// A line chart with axes, five ticks on each, and a legend on the right.
std::string lineChart(const std::string& cls, const std::string& title, const std::vector<double>& x,
                      const std::vector<Series>& series, const std::string& xLabel,
                      const std::string& yLabel) {
  const double W = 900, H = 340, left = 80, right = 230, top = 34, bottom = 50;
  const double pw = W - left - right, ph = H - top - bottom;
  double x0 = 0, x1 = 1, y0 = 0, y1 = 1;
  bool anyY = false;
  if (!x.empty()) {
    x0 = *std::min_element(x.begin(), x.end());
    x1 = *std::max_element(x.begin(), x.end());
  }
  for (const Series& s : series)
    for (double v : s.y) {
      if (!std::isfinite(v)) continue;
      if (!anyY) y0 = y1 = v;
      y0 = std::min(y0, v);
      y1 = std::max(y1, v);
      anyY = true;
    }
  if (x1 <= x0) x1 = x0 + 1;
  if (y1 <= y0) {
    const double d = std::max(1.0, std::fabs(y0) * 0.1);
    y0 -= d;
    y1 += d;
  }
  auto px = [&](double v) { return left + (v - x0) / (x1 - x0) * pw; };
  auto py = [&](double v) { return top + ph - (v - y0) / (y1 - y0) * ph; };
  std::ostringstream o;
  o << "<svg class=\"chart " << cls << "\" width=\"" << W << "\" height=\"" << H << "\" viewBox=\"0 0 " << W
    << ' ' << H << "\">\n";
  o << "<rect width=\"" << W << "\" height=\"" << H << "\" fill=\"#ffffff\"/>\n";
  o << "<text x=\"" << left << "\" y=\"20\" font-size=\"15\" font-family=\"sans-serif\">" << esc(title)
    << "</text>\n";
  o << "<rect x=\"" << left << "\" y=\"" << top << "\" width=\"" << pw << "\" height=\"" << ph
    << "\" fill=\"none\" stroke=\"#444\"/>\n";
  for (int t = 0; t <= 4; ++t) {
    const double xv = x0 + (x1 - x0) * t / 4, yv = y0 + (y1 - y0) * t / 4;
    o << "<line x1=\"" << px(xv) << "\" y1=\"" << top << "\" x2=\"" << px(xv) << "\" y2=\"" << top + ph
      << "\" stroke=\"#ddd\"/>\n";
    o << "<text x=\"" << px(xv) << "\" y=\"" << top + ph + 16
      << "\" font-size=\"11\" text-anchor=\"middle\" font-family=\"sans-serif\">" << num(xv, "%.4g")
      << "</text>\n";
    o << "<line x1=\"" << left << "\" y1=\"" << py(yv) << "\" x2=\"" << left + pw << "\" y2=\"" << py(yv)
      << "\" stroke=\"#ddd\"/>\n";
    o << "<text x=\"" << left - 6 << "\" y=\"" << py(yv) + 4
      << "\" font-size=\"11\" text-anchor=\"end\" font-family=\"sans-serif\">" << num(yv, "%.4g")
      << "</text>\n";
  }
  o << "<text x=\"" << left + pw / 2 << "\" y=\"" << H - 10
    << "\" font-size=\"12\" text-anchor=\"middle\" font-family=\"sans-serif\">" << esc(xLabel) << "</text>\n";
  o << "<text x=\"16\" y=\"" << top + ph / 2
    << "\" font-size=\"12\" text-anchor=\"middle\" transform=\"rotate(-90 16 " << top + ph / 2
    << ")\" font-family=\"sans-serif\">" << esc(yLabel) << "</text>\n";
  for (std::size_t s = 0; s < series.size(); ++s) {
    const char* colour = kPalette[s % 10];
    std::ostringstream pts;
    int count = 0;
    for (std::size_t n = 0; n < x.size() && n < series[s].y.size(); ++n) {
      if (!std::isfinite(series[s].y[n])) continue;
      pts << px(x[n]) << ',' << py(series[s].y[n]) << ' ';
      ++count;
    }
    o << "<polyline fill=\"none\" stroke=\"" << colour << "\" stroke-width=\"2\""
      << (series[s].dashed ? " stroke-dasharray=\"6 4\"" : "") << " points=\"" << pts.str() << "\"/>\n";
    if (count == 1) {
      o << "<circle r=\"3\" fill=\"" << colour << "\" cx=\"" << pts.str().substr(0, pts.str().find(','))
        << "\" cy=\"" << pts.str().substr(pts.str().find(',') + 1) << "\"/>\n";
    }
    const double ly = top + 12 + 18 * static_cast<double>(s);
    o << "<line x1=\"" << left + pw + 12 << "\" y1=\"" << ly << "\" x2=\"" << left + pw + 40 << "\" y2=\""
      << ly << "\" stroke=\"" << colour << "\" stroke-width=\"2\""
      << (series[s].dashed ? " stroke-dasharray=\"6 4\"" : "") << "/>\n";
    o << "<text x=\"" << left + pw + 46 << "\" y=\"" << ly + 4
      << "\" font-size=\"11\" font-family=\"sans-serif\">" << esc(series[s].name) << "</text>\n";
  }
  o << "</svg>\n";
  return o.str();
}

std::string readText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return "";
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

std::vector<std::string> textLines(const std::string& text) {
  std::vector<std::string> out;
  std::istringstream in(text);
  for (std::string l; std::getline(in, l);) {
    if (!l.empty() && l.back() == '\r') l.pop_back();
    out.push_back(l);
  }
  return out;
}

// Iterations per step from what the solvers print: "N ITERATIONS FOR TIME STEP S IN STRESS PERIOD
// P" (outer iterations); the direct solver's "N EXTERNAL ..." and "N INTERNAL ITERATIONS FOR TIME
// STEP ..."; the conjugate-gradient solver's "N CALLS TO PCG ROUTINE FOR TIME STEP ..." (outer)
// followed by "N TOTAL ITERATIONS" (inner).
struct Iterations {
  int period = 0, step = 0, outer = 0, inner = -1;  // inner -1: the solver prints none
};

std::vector<Iterations> readIterations(const std::vector<std::string>& lines) {
  std::vector<Iterations> out;
  std::map<std::pair<int, int>, std::size_t> where;
  for (std::size_t n = 0; n < lines.size(); ++n) {
    const std::string& l = lines[n];
    const auto at = l.find("FOR TIME STEP");
    if (at == std::string::npos) continue;
    const bool iterationsLine = l.find("ITERATIONS FOR TIME STEP") != std::string::npos;
    const bool callsLine = l.find(" CALLS TO ") != std::string::npos;
    const auto sp = l.find("IN STRESS PERIOD", at);
    if ((!iterationsLine && !callsLine) || sp == std::string::npos) continue;
    const int step = std::atoi(l.c_str() + at + 13);
    const int period = std::atoi(l.c_str() + sp + 16);
    const int count = std::atoi(l.c_str());
    auto [it, fresh] = where.try_emplace({period, step}, out.size());
    if (fresh) out.push_back({period, step, 0, -1});
    Iterations& r = out[it->second];
    if (l.find("INTERNAL ITERATIONS") != std::string::npos) {
      r.inner = count;
    } else {
      r.outer = count;
      if (callsLine && n + 1 < lines.size() && lines[n + 1].find("TOTAL ITERATIONS") != std::string::npos)
        r.inner = std::atoi(lines[n + 1].c_str());
    }
  }
  return out;
}

// The number printed on a listing line between `before` and `after` (to the line's end when
// `after` is empty); empty when no line holds it.
std::vector<float> listedValue(const std::vector<std::string>& lines, const std::string& before,
                               const std::string& after) {
  for (const std::string& l : lines) {
    const auto a = l.find(before);
    if (a == std::string::npos) continue;
    const auto from = a + before.size();
    const auto b = after.empty() ? std::string::npos : l.find(after, from);
    if (!after.empty() && b == std::string::npos) continue;
    const std::string text = l.substr(from, b == std::string::npos ? std::string::npos : b - from);
    char* end = nullptr;
    const float v = std::strtof(text.c_str(), &end);
    if (end != text.c_str()) return {v};
  }
  return {};
}

struct Cell {
  int k = 0, i = 0, j = 0;
  auto operator<=>(const Cell&) const = default;
};

std::vector<std::string> words(const std::string& l) {
  std::istringstream in(l);
  std::vector<std::string> w;
  for (std::string x; in >> x;) w.push_back(x);
  return w;
}

// The cells of every well of the WEL file, each once, in the order first listed. After the first
// record (maximum count, budget unit, options) each period gives its entry count and that many
// lines of layer, row, column, rate; a count below 0 reuses the last list. Lines are read as
// blank-separated words, which also reads the fixed 10-column fields as the simulator writes
// them. Cells outside the grid are left out.
std::vector<Cell> wellCells(const std::string& path, const ModelGrid& g) {
  std::vector<Cell> cells;
  const std::vector<std::string> lines = textLines(readText(path));
  std::set<Cell> seen;
  std::size_t n = 0;
  while (n < lines.size() && (words(lines[n]).empty() || lines[n][0] == '#')) ++n;
  ++n;
  while (n < lines.size()) {
    const std::vector<std::string> head = words(lines[n++]);
    if (head.empty()) continue;
    const int itmp = std::atoi(head[0].c_str());
    for (int e = 0; e < itmp && n < lines.size(); ++e, ++n) {
      const std::vector<std::string> w = words(lines[n]);
      if (w.size() < 3) return cells;
      const Cell c{std::atoi(w[0].c_str()), std::atoi(w[1].c_str()), std::atoi(w[2].c_str())};
      if (c.k < 1 || c.i < 1 || c.j < 1 || (g.nlay > 0 && (c.k > g.nlay || c.i > g.nrow || c.j > g.ncol)))
        continue;
      if (seen.insert(c).second) cells.push_back(c);
    }
  }
  return cells;
}

// The head file: the OC file's "HEAD SAVE UNIT n" matched to a DATA entry of the name file on that
// unit; empty when either is missing.
std::string headFile(const std::vector<NameEntry>& entries) {
  int unit = 0;
  for (const NameEntry& e : entries) {
    if (e.type != "OC") continue;
    for (const std::string& l : textLines(readText(e.path))) {
      const std::string u = upper(l);
      const auto at = u.find("HEAD SAVE UNIT");
      if (at != std::string::npos) unit = std::atoi(u.c_str() + at + 14);
    }
  }
  if (unit <= 0) return "";
  for (const NameEntry& e : entries)
    if (e.unit == unit && e.type.rfind("DATA", 0) == 0) return e.path;
  return "";
}

const char* const kTimeUnits[] = {"undefined", "seconds", "minutes", "hours", "days", "years"};

void budgetSection(std::ostringstream& h, const std::vector<BudgetTable>& tables) {
  h << "<h2 id=\"budget\">Water balance</h2>\n";
  if (tables.empty()) {
    h << "<p>The listing holds no volumetric budget table.</p>\n";
    return;
  }
  const std::string unit = tables.front().timeUnit;
  const bool timed = std::all_of(tables.begin(), tables.end(),
                                 [&](const BudgetTable& t) { return !unit.empty() && t.timeUnit == unit; });
  std::vector<double> x;
  for (std::size_t n = 0; n < tables.size(); ++n)
    x.push_back(timed ? tables[n].totalTime : static_cast<double>(n + 1));
  const std::string xLabel = timed ? "total time (" + unit + ")" : "printed budget";
  // One series per term and side, by label, over every table (NaN where a table lacks the term).
  std::vector<std::string> labels;
  for (const BudgetTable& t : tables)
    for (const BudgetRow& r : t.rows)
      if (std::find(labels.begin(), labels.end(), trim(r.label)) == labels.end())
        labels.push_back(trim(r.label));
  std::vector<Series> series;
  for (const std::string& label : labels) {
    Series in{label + " in", {}, false}, out{label + " out", {}, true};
    for (const BudgetTable& t : tables) {
      double ri = NAN, ro = NAN;
      for (const BudgetRow& r : t.rows)
        if (trim(r.label) == label) {
          ri = r.rateIn;
          ro = r.rateOut;
        }
      in.y.push_back(ri);
      out.y.push_back(ro);
    }
    series.push_back(std::move(in));
    series.push_back(std::move(out));
  }
  h << lineChart("budget", "Rates in (solid) and out (dashed) per term", x, series, xLabel, "rate (L**3/T)");
  Series disc{"rate", {}, false}, cum{"cumulative", {}, true};
  for (const BudgetTable& t : tables) {
    disc.y.push_back(t.discrepancy[1]);
    cum.y.push_back(t.discrepancy[0]);
  }
  h << lineChart("discrepancy", "Percent discrepancy", x, {disc, cum}, xLabel, "percent");
  h << "<table class=\"budget\">\n<tr><th>Period</th><th>Step</th><th>Total time</th><th "
       "class=\"l\">Term</th>"
       "<th>Rate in</th><th>Rate out</th><th>Cumulative in</th><th>Cumulative out</th></tr>\n";
  for (const BudgetTable& t : tables) {
    const std::string when = "<td>" + std::to_string(t.period) + "</td><td>" + std::to_string(t.step) +
                             "</td><td>" +
                             (t.timeUnit.empty() ? "" : num(t.totalTime) + " " + esc(t.timeUnit)) + "</td>";
    for (const BudgetRow& r : t.rows)
      h << "<tr>" << when << "<td class=\"l\">" << esc(trim(r.label)) << "</td><td>" << num(r.rateIn)
        << "</td><td>" << num(r.rateOut) << "</td><td>" << num(r.cumulativeIn) << "</td><td>"
        << num(r.cumulativeOut) << "</td></tr>\n";
    h << "<tr class=\"total\">" << when << "<td class=\"l\"><b>TOTAL</b></td><td>" << num(t.totalIn[1])
      << "</td><td>" << num(t.totalOut[1]) << "</td><td>" << num(t.totalIn[0]) << "</td><td>"
      << num(t.totalOut[0]) << "</td></tr>\n";
  }
  h << "</table>\n";
}

void stepSection(std::ostringstream& h, const std::vector<Iterations>& iterations,
                 const std::vector<BudgetTable>& tables) {
  h << "<h2 id=\"steps\">Time steps</h2>\n";
  if (iterations.empty() && tables.empty()) {
    h << "<p>The listing reports no time step.</p>\n";
    return;
  }
  std::map<std::pair<int, int>, const BudgetTable*> budget;
  for (const BudgetTable& t : tables) budget[{t.period, t.step}] = &t;
  const bool inner =
      std::any_of(iterations.begin(), iterations.end(), [](const Iterations& i) { return i.inner >= 0; });
  if (!iterations.empty()) {
    std::vector<double> x;
    Series outer{"outer", {}, false}, in{"inner", {}, true};
    for (std::size_t n = 0; n < iterations.size(); ++n) {
      x.push_back(static_cast<double>(n + 1));
      outer.y.push_back(iterations[n].outer);
      in.y.push_back(iterations[n].inner >= 0 ? iterations[n].inner : NAN);
    }
    std::vector<Series> s{outer};
    if (inner) s.push_back(in);
    h << lineChart("iterations", "Solver iterations per time step", x, s, "time step of the run",
                   "iterations");
  }
  h << "<table class=\"steps\">\n<tr><th>Period</th><th>Step</th><th>Outer iterations</th>"
    << (inner ? "<th>Inner iterations</th>" : "")
    << "<th>Percent discrepancy (rate)</th><th>Percent discrepancy (cumulative)</th></tr>\n";
  for (const Iterations& it : iterations) {
    h << "<tr><td>" << it.period << "</td><td>" << it.step << "</td><td>" << it.outer << "</td>";
    if (inner) h << "<td>" << (it.inner >= 0 ? std::to_string(it.inner) : "") << "</td>";
    const auto b = budget.find({it.period, it.step});
    if (b != budget.end())
      h << "<td>" << num(b->second->discrepancy[1], "%.2f") << "</td><td>"
        << num(b->second->discrepancy[0], "%.2f") << "</td>";
    else
      h << "<td></td><td></td>";
    h << "</tr>\n";
  }
  h << "</table>\n";
  if (!tables.empty())
    h << "<p>Discrepancies are printed for the steps whose budget the listing holds.</p>\n";
}

}  // namespace

std::string buildReport(const std::string& nameFile) {
  const std::vector<NameEntry> entries = readNameFile(nameFile);
  std::string listingPath, basPath, welPath;
  for (const NameEntry& e : entries) {
    if (e.type == "LIST" && listingPath.empty()) listingPath = e.path;
    if (e.type == "BAS" && basPath.empty()) basPath = e.path;
    if (e.type == "WEL" && welPath.empty()) welPath = e.path;
  }
  if (listingPath.empty()) throw FileError("the name file " + nameFile + " names no LIST file");
  const std::string listingText = readFileBytes(listingPath);
  const std::vector<std::string> listing = textLines(listingText);
  const std::vector<BudgetTable> tables = readBudgetTables(listingText);
  const std::vector<Iterations> iterations = readIterations(listing);

  ModelGrid grid;
  std::string gridProblem;
  try {
    grid = readModelGrid(nameFile);
  } catch (const FileError& e) {
    gridProblem = e.what();
  }
  // The heads the run writes at no-flow and dry cells, as its listing reports them.
  std::vector<float> masks = listedValue(listing, "AQUIFER HEAD WILL BE SET TO", "AT ALL NO-FLOW NODES");
  for (float v : listedValue(listing, "HEAD AT CELLS THAT CONVERT TO DRY=", "")) masks.push_back(v);

  std::ostringstream h;
  h << "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n<title>Run report: "
    << esc(nameFile) << "</title>\n<style>\n"
    << "body{font-family:sans-serif;margin:24px;color:#222;max-width:1150px}\n"
    << "table{border-collapse:collapse;margin:8px 0 20px}td,th{border:1px solid #bbb;padding:2px 8px;"
       "text-align:right;font-size:13px}th{background:#eee}td.l,th.l{text-align:left}\n"
    << "h2{border-bottom:1px solid "
       "#ccc;margin-top:32px}img.map,svg.map{display:inline-block;margin-right:12px;vertical-align:top;"
       "margin:8px 0 16px;"
       "border:1px solid #ccc}svg.chart{display:block;margin:8px 0 16px}\n"
    << "</style>\n</head>\n<body>\n";
  h << "<h1>Run report</h1>\n<p>Name file: <code>" << esc(nameFile) << "</code></p>\n";
  {
    const std::vector<std::string> bas = textLines(readText(basPath));
    for (std::size_t n = 0; n < 2 && n < bas.size(); ++n)
      h << "<p class=\"heading\">" << esc(trim(bas[n])) << "</p>\n";
  }

  h << "<h2 id=\"summary\">Model</h2>\n<table class=\"summary\">\n";
  if (gridProblem.empty()) {
    double width = 0, height = 0;
    for (double v : grid.delr) width += v;
    for (double v : grid.delc) height += v;
    h << "<tr><th class=\"l\">Grid</th><td class=\"l\">" << grid.nlay << " layers, " << grid.nrow << " rows, "
      << grid.ncol << " columns (" << grid.nlay * grid.nrow * grid.ncol << " cells)</td></tr>\n";
    h << "<tr><th class=\"l\">Extent</th><td class=\"l\">" << num(width) << " along rows, " << num(height)
      << " along columns</td></tr>\n";
    h << "<tr><th class=\"l\">Stress periods</th><td class=\"l\">" << grid.nper << "</td></tr>\n";
    h << "<tr><th class=\"l\">Time unit</th><td class=\"l\">" << kTimeUnits[grid.timeUnit] << "</td></tr>\n";
  } else {
    h << "<tr><th class=\"l\">Grid</th><td class=\"l\">not read: " << esc(gridProblem) << "</td></tr>\n";
  }
  h << "</table>\n<table class=\"packages\">\n<tr><th class=\"l\">File type</th><th>Unit</th>"
       "<th class=\"l\">File</th></tr>\n";
  for (const NameEntry& e : entries)
    h << "<tr><td class=\"l\">" << esc(e.type) << "</td><td>" << e.unit << "</td><td class=\"l\">"
      << esc(e.path) << "</td></tr>\n";
  h << "</table>\n";
  {
    std::map<int, int> steps;
    for (const Iterations& it : iterations) steps[it.period] = std::max(steps[it.period], it.step);
    for (const BudgetTable& t : tables) steps[t.period] = std::max(steps[t.period], t.step);
    std::map<int, const BudgetTable*> last;
    for (const BudgetTable& t : tables) last[t.period] = &t;
    h << "<table class=\"periods\">\n<tr><th>Period</th><th>Time steps run</th><th>Total time at its last "
         "budget</th></tr>\n";
    for (const auto& [p, n] : steps) {
      h << "<tr><td>" << p << "</td><td>" << n << "</td><td>";
      if (last.count(p) && !last[p]->timeUnit.empty())
        h << num(last[p]->totalTime) << ' ' << esc(last[p]->timeUnit);
      h << "</td></tr>\n";
    }
    h << "</table>\n";
  }

  // Heads: every layer at the last saved step, and the hydrographs at the wells.
  std::vector<LayerRecord> heads;
  const std::string headPath = headFile(entries);
  std::string headProblem = headPath.empty()
                                ? "no head file is saved (no HEAD SAVE UNIT in the OC file with a "
                                  "DATA entry on that unit)"
                                : "";
  if (!headPath.empty()) {
    try {
      const std::string bytes = readFileBytes(headPath);
      if (detectKind(bytes) != FileKind::Layer) throw FileError(headPath + " is not a layer file");
      for (LayerRecord& r : readLayerFile(bytes))
        if (upper(trim(r.label)) == "HEAD") heads.push_back(std::move(r));
      if (heads.empty()) headProblem = headPath + " holds no head record";
    } catch (const FileError& e) {
      headProblem = e.what();
      heads.clear();
    }
  }
  h << "<h2 id=\"maps\">Heads</h2>\n";
  if (heads.empty()) {
    h << "<p>No head maps: " << esc(headProblem) << ".</p>\n";
  } else {
    const int kper = heads.back().kper, kstep = heads.back().kstep;
    h << "<p>Heads at the last saved step: period " << kper << ", step " << kstep << ", total time "
      << num(heads.back().totim) << ". Grey cells are inactive or dry.</p>\n";
    for (const LayerRecord& r : heads) {
      if (r.kper != kper || r.kstep != kstep) continue;
      MapInput in;
      in.ncol = r.ncol;
      in.nrow = r.nrow;
      in.values = r.values;
      in.maskValues = masks;
      in.width = 450;
      in.title = "HEAD, layer " + std::to_string(r.layer) + ", period " + std::to_string(kper) + ", step " +
                 std::to_string(kstep);
      if (gridProblem.empty() && grid.ncol == r.ncol && grid.nrow == r.nrow) {
        in.delr = grid.delr;
        in.delc = grid.delc;
      }
      try {
        const MapLayout layout = layoutMap(in);
#ifdef AQX_HAVE_PNG
        h << "<img class=\"map\" alt=\"" << esc(in.title) << "\" width=\"" << layout.width << "\" height=\""
          << layout.height << "\" src=\"data:image/png;base64," << base64(encodePng(renderRaster(in, layout)))
          << "\">\n";
#else
        std::string svg = renderSvg(in, layout);
        const auto tag = svg.find("<svg");
        if (tag != std::string::npos) svg.insert(tag + 4, " class=\"map\"");
        // Inline SVG needs no namespace declaration; the page names no address at all.
        for (auto x = svg.find(" xmlns="); x != std::string::npos; x = svg.find(" xmlns="))
          svg.erase(x, svg.find('"', svg.find('"', x) + 1) + 1 - x);
        h << svg.substr(tag == std::string::npos ? 0 : tag) << "\n";
#endif
      } catch (const std::invalid_argument& e) {
        h << "<p>No map: " << esc(e.what()) << "</p>\n";
      }
    }
  }

  budgetSection(h, tables);
  stepSection(h, iterations, tables);

  h << "<h2 id=\"wells\">Hydrographs at the wells</h2>\n";
  const std::vector<Cell> wells = welPath.empty() ? std::vector<Cell>{} : wellCells(welPath, grid);
  if (wells.empty() || heads.empty()) {
    h << "<p>"
      << (welPath.empty() ? "The model has no WEL file."
          : wells.empty() ? "The WEL file lists no well."
                          : "No heads saved.")
      << "</p>\n";
  } else {
    std::vector<double> x;
    std::vector<Series> series;
    for (const Cell& c : wells)
      series.push_back({"layer " + std::to_string(c.k) + ", row " + std::to_string(c.i) + ", column " +
                            std::to_string(c.j),
                        {},
                        false});
    // Records of one step stand together; each step gives one point per well (NaN where its layer
    // is not saved or the cell has no head).
    for (std::size_t n = 0; n < heads.size();) {
      const int kper = heads[n].kper, kstep = heads[n].kstep;
      x.push_back(heads[n].totim);
      for (Series& s : series) s.y.push_back(NAN);
      for (; n < heads.size() && heads[n].kper == kper && heads[n].kstep == kstep; ++n) {
        const LayerRecord& r = heads[n];
        for (std::size_t w = 0; w < wells.size(); ++w) {
          const Cell& c = wells[w];
          if (c.k != r.layer || c.i > r.nrow || c.j > r.ncol) continue;
          const float v = r.at(c.i, c.j);
          if (!isMasked(v, masks)) series[w].y.back() = v;
        }
      }
    }
    h << lineChart("hydrograph", "Head at the well cells", x, series, "total time", "head");
  }
  h << "</body>\n</html>\n";
  return h.str();
}

}  // namespace aqx::post
