#include "post/netcdf_export.hpp"

#include <netcdf.h>

#include <algorithm>
#include <cctype>
#include <map>
#include <utility>

#include "post/map.hpp"

namespace aqx::post {
namespace {

void check(int status, const std::string& what) {
  if (status != NC_NOERR) throw FileError("NetCDF " + what + ": " + nc_strerror(status));
}

std::string trim(const std::string& s) {
  const auto a = s.find_first_not_of(' ');
  if (a == std::string::npos) return "";
  return s.substr(a, s.find_last_not_of(' ') - a + 1);
}

void textAttribute(int nc, int var, const char* name, const std::string& value) {
  check(nc_put_att_text(nc, var, name, value.size(), value.c_str()), std::string("attribute ") + name);
}

using StepKey = std::pair<int, int>;  // period, step

}  // namespace

std::string variableName(const std::string& label) {
  std::string out;
  for (char c : trim(label)) {
    if (std::isalnum(static_cast<unsigned char>(c))) {
      out += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    } else if (c == ' ' && !out.empty() && out.back() != '_') {
      out += '_';
    }
  }
  if (out.empty() || std::isdigit(static_cast<unsigned char>(out[0]))) out = "term_" + out;
  return out;
}

void writeNetcdf(const NetcdfInput& in, const std::string& path) {
  // The grid and the time axis: every step that any file saved, in order of period and step.
  int ncol = 0, nrow = 0, nlay = 0;
  std::map<StepKey, double> times;
  auto size = [&](int c, int r, const char* what) {
    if (ncol == 0) {
      ncol = c;
      nrow = r;
    } else if (c != ncol || r != nrow) {
      throw FileError(std::string("the ") + what + " records are not all of " + std::to_string(nrow) +
                      " rows and " + std::to_string(ncol) + " columns");
    }
  };
  for (const auto* set : {&in.heads, &in.drawdowns}) {
    for (const LayerRecord& r : *set) {
      size(r.ncol, r.nrow, set == &in.heads ? "head" : "drawdown");
      nlay = std::max(nlay, r.layer);
      times[{r.kper, r.kstep}] = r.totim;
    }
  }
  for (const BudgetRecord& r : in.budget) {
    size(r.ncol, r.nrow, "cell-by-cell");
    nlay = std::max(nlay, r.nlay);
    // Full records carry no time: the step keeps the time of another record of it when there is one.
    times.emplace(StepKey{r.kper, r.kstep}, r.method != 0 ? r.totim : 0.0);
  }
  if (times.empty()) throw FileError("no record to export");
  if (in.grid && (in.grid->ncol != ncol || in.grid->nrow != nrow))
    throw FileError("the model has " + std::to_string(in.grid->nrow) + " rows and " +
                    std::to_string(in.grid->ncol) + " columns, the records " + std::to_string(nrow) +
                    " and " + std::to_string(ncol));
  if (in.grid) nlay = std::max(nlay, in.grid->nlay);
  std::map<StepKey, std::size_t> timeIndex;
  for (const auto& [key, t] : times) timeIndex.emplace(key, timeIndex.size());

  int nc = 0;
  check(nc_create(path.c_str(), NC_CLOBBER | NC_NETCDF4, &nc), "create " + path);
  struct Closer {
    int nc;
    bool open = true;
    ~Closer() {
      if (open) nc_close(nc);
    }
  } closer{nc};

  int dTime, dLayer, dRow, dCol;
  check(nc_def_dim(nc, "time", NC_UNLIMITED, &dTime), "dimension time");
  check(nc_def_dim(nc, "layer", static_cast<size_t>(nlay), &dLayer), "dimension layer");
  check(nc_def_dim(nc, "row", static_cast<size_t>(nrow), &dRow), "dimension row");
  check(nc_def_dim(nc, "column", static_cast<size_t>(ncol), &dCol), "dimension column");

  textAttribute(nc, NC_GLOBAL, "Conventions", "CF-1.8");
  textAttribute(nc, NC_GLOBAL, "title", in.title.empty() ? "groundwater flow model results" : in.title);
  textAttribute(nc, NC_GLOBAL, "source", "aquifex block-centred finite-difference groundwater flow model");
  textAttribute(nc, NC_GLOBAL, "history", "written by aqxpost netcdf");

  int vTime, vPeriod, vStep, vLayer, vRow, vCol, vDelr, vDelc;
  check(nc_def_var(nc, "time", NC_DOUBLE, 1, &dTime, &vTime), "variable time");
  textAttribute(nc, vTime, "standard_name", "time");
  textAttribute(nc, vTime, "long_name", "simulation time since the start of the run");
  textAttribute(nc, vTime, "units", in.timeUnit);
  textAttribute(nc, vTime, "axis", "T");
  check(nc_def_var(nc, "period", NC_INT, 1, &dTime, &vPeriod), "variable period");
  textAttribute(nc, vPeriod, "long_name", "stress period");
  check(nc_def_var(nc, "step", NC_INT, 1, &dTime, &vStep), "variable step");
  textAttribute(nc, vStep, "long_name", "time step of the stress period");
  check(nc_def_var(nc, "layer", NC_INT, 1, &dLayer, &vLayer), "variable layer");
  textAttribute(nc, vLayer, "long_name", "model layer (1 at the top)");
  textAttribute(nc, vLayer, "units", "1");
  textAttribute(nc, vLayer, "axis", "Z");
  textAttribute(nc, vLayer, "positive", "down");
  const std::string length = in.grid ? in.lengthUnit : "1";
  check(nc_def_var(nc, "row", NC_DOUBLE, 1, &dRow, &vRow), "variable row");
  textAttribute(nc, vRow, "standard_name", "projection_y_coordinate");
  textAttribute(nc, vRow, "long_name", "cell centre distance from the outer edge of the last row");
  textAttribute(nc, vRow, "units", length);
  textAttribute(nc, vRow, "axis", "Y");
  check(nc_def_var(nc, "column", NC_DOUBLE, 1, &dCol, &vCol), "variable column");
  textAttribute(nc, vCol, "standard_name", "projection_x_coordinate");
  textAttribute(nc, vCol, "long_name", "cell centre distance from the outer edge of the first column");
  textAttribute(nc, vCol, "units", length);
  textAttribute(nc, vCol, "axis", "X");
  check(nc_def_var(nc, "delr", NC_DOUBLE, 1, &dCol, &vDelr), "variable delr");
  textAttribute(nc, vDelr, "long_name", "cell width along rows (DELR)");
  textAttribute(nc, vDelr, "units", length);
  check(nc_def_var(nc, "delc", NC_DOUBLE, 1, &dRow, &vDelc), "variable delc");
  textAttribute(nc, vDelc, "long_name", "cell width along columns (DELC)");
  textAttribute(nc, vDelc, "units", length);

  const int dims4[4] = {dTime, dLayer, dRow, dCol};
  const size_t chunk[4] = {1, 1, static_cast<size_t>(nrow), static_cast<size_t>(ncol)};
  auto dataVariable = [&](const std::string& name, const std::string& longName, const std::string& units) {
    int v = 0;
    check(nc_def_var(nc, name.c_str(), NC_FLOAT, 4, dims4, &v), "variable " + name);
    check(nc_def_var_chunking(nc, v, NC_CHUNKED, chunk), "chunks of " + name);
    check(nc_put_att_float(nc, v, "_FillValue", NC_FLOAT, 1, &kNetcdfFill), "fill value of " + name);
    textAttribute(nc, v, "long_name", longName);
    textAttribute(nc, v, "units", units);
    return v;
  };
  int vHead = -1, vDrawdown = -1;
  if (!in.heads.empty()) vHead = dataVariable("head", "hydraulic head", length);
  if (!in.drawdowns.empty()) vDrawdown = dataVariable("drawdown", "drawdown", length);
  std::map<std::string, int> budgetVars;
  const std::string rateUnits =
      in.grid && !in.rateTimeUnit.empty() ? in.lengthUnit + "3/" + in.rateTimeUnit : "1";
  for (const BudgetRecord& r : in.budget) {
    const std::string name = variableName(r.label);
    if (budgetVars.count(name)) continue;
    const int v = dataVariable(name, trim(r.label), rateUnits);
    textAttribute(nc, v, "comment", "cell-by-cell term as the model saved it (a flow rate)");
    budgetVars[name] = v;
  }
  check(nc_enddef(nc), "header");

  // Coordinates and the per-time indices.
  {
    std::vector<double> t, x(ncol), y(nrow), dr(ncol), dc(nrow);
    std::vector<int> kper, kstep, layers(nlay);
    for (const auto& [key, value] : times) {
      t.push_back(value);
      kper.push_back(key.first);
      kstep.push_back(key.second);
    }
    for (int k = 0; k < nlay; ++k) layers[k] = k + 1;
    for (int j = 0; j < ncol; ++j) dr[j] = in.grid ? in.grid->delr[j] : 1.0;
    for (int i = 0; i < nrow; ++i) dc[i] = in.grid ? in.grid->delc[i] : 1.0;
    double acc = 0.0;
    for (int j = 0; j < ncol; ++j) {
      x[j] = acc + 0.5 * dr[j];
      acc += dr[j];
    }
    acc = 0.0;
    for (int i = nrow - 1; i >= 0; --i) {
      y[i] = acc + 0.5 * dc[i];
      acc += dc[i];
    }
    const size_t start = 0, count = t.size();
    check(nc_put_vara_double(nc, vTime, &start, &count, t.data()), "time values");
    check(nc_put_vara_int(nc, vPeriod, &start, &count, kper.data()), "period values");
    check(nc_put_vara_int(nc, vStep, &start, &count, kstep.data()), "step values");
    check(nc_put_var_int(nc, vLayer, layers.data()), "layer values");
    check(nc_put_var_double(nc, vCol, x.data()), "column values");
    check(nc_put_var_double(nc, vRow, y.data()), "row values");
    check(nc_put_var_double(nc, vDelr, dr.data()), "delr values");
    check(nc_put_var_double(nc, vDelc, dc.data()), "delc values");
  }

  std::vector<float> buffer;
  auto putLayer = [&](int var, StepKey key, int layer, const float* values, bool masked) {
    const std::size_t n = static_cast<std::size_t>(ncol) * nrow;
    buffer.assign(values, values + n);
    if (masked)
      for (float& v : buffer)
        if (isMasked(v, in.maskValues)) v = kNetcdfFill;
    const size_t start[4] = {timeIndex.at(key), static_cast<size_t>(layer - 1), 0, 0};
    const size_t count[4] = {1, 1, static_cast<size_t>(nrow), static_cast<size_t>(ncol)};
    check(nc_put_vara_float(nc, var, start, count, buffer.data()), "values");
  };
  for (const LayerRecord& r : in.heads) putLayer(vHead, {r.kper, r.kstep}, r.layer, r.values.data(), true);
  for (const LayerRecord& r : in.drawdowns)
    putLayer(vDrawdown, {r.kper, r.kstep}, r.layer, r.values.data(), true);
  for (const BudgetRecord& r : in.budget) {
    // Flows are never markers: every value is kept as written.
    for (int k = 1; k <= r.nlay; ++k)
      putLayer(budgetVars.at(variableName(r.label)), {r.kper, r.kstep}, k,
               r.values.data() + static_cast<std::size_t>(k - 1) * ncol * nrow, false);
  }
  closer.open = false;
  check(nc_close(nc), "close " + path);
}

}  // namespace aqx::post
