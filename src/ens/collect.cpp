#include "ens/collect.hpp"

#include <cctype>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <set>

#include "ens/csv.hpp"
#include "ens/ensemble.hpp"
#include "post/listing_budget.hpp"
#include "post/model_grid.hpp"
#include "post/outputs.hpp"

namespace aqx::ens {

namespace fs = std::filesystem;

namespace {

std::string trimUpper(const std::string& s) {
  const auto a = s.find_first_not_of(' ');
  const auto b = s.find_last_not_of(' ');
  std::string t = a == std::string::npos ? "" : s.substr(a, b - a + 1);
  for (char& c : t) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return t;
}

// A budget label as a column name: "RIVER LEAKAGE" -> river_leakage.
std::string columnName(const std::string& label) {
  std::string out;
  for (char c : trimUpper(label)) {
    if (std::isalnum(static_cast<unsigned char>(c)))
      out += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    else if (!out.empty() && out.back() != '_')
      out += '_';
  }
  while (!out.empty() && out.back() == '_') out.pop_back();
  return out;
}

int wholeNumber(const std::string& text, const std::string& where, int lowest) {
  char* end = nullptr;
  const long v = std::strtol(text.c_str(), &end, 10);
  if (text.empty() || *end != '\0' || v < lowest || v > 1000000000)
    throw EnsError(where + ": '" + text + "' is not a whole number of " + std::to_string(lowest) +
                   " or more");
  return static_cast<int>(v);
}

std::string number(double v, bool single, std::vector<std::string>& problems, const std::string& where) {
  if (!std::isfinite(v)) problems.push_back(where + ": the value is not a finite number");
  return single ? shortest(static_cast<float>(v)) : shortest(v);
}

// Paths in a name file are taken from the name file's folder, i.e. the run folder.
// The run's head file: as named, else the first binary file of the name file holding HEAD records.
std::string findHeadFile(const fs::path& runDir, const std::string& nameFile, const std::string& named) {
  if (!named.empty()) return (runDir / named).string();
  for (const post::NameEntry& e : post::readNameFile((runDir / nameFile).string())) {
    if (e.type.rfind("DATA", 0) != 0) continue;
    std::error_code ec;
    if (!fs::is_regular_file(e.path, ec)) continue;
    try {
      const std::string bytes = post::readFileBytes(e.path);
      if (post::detectKind(bytes) != post::FileKind::Layer) continue;
      const auto records = post::readLayerFile(bytes);
      if (!records.empty() && trimUpper(records[0].label) == "HEAD") return e.path;
    } catch (const post::FileError&) {
    }
  }
  return "";
}

std::string listingFile(const fs::path& runDir, const std::string& nameFile) {
  for (const post::NameEntry& e : post::readNameFile((runDir / nameFile).string()))
    if (e.type == "LIST") return e.path;
  return "";
}

}  // namespace

std::vector<Observation> readObservations(const std::string& obsCsv) {
  const CsvTable t = readCsvFile(obsCsv);
  const int name = t.column("name"), layer = t.column("layer"), row = t.column("row"),
            col = t.column("column");
  const int period = t.column("period"), step = t.column("step"), time = t.column("time");
  if (name < 0 || layer < 0 || row < 0 || col < 0)
    throw EnsError(obsCsv + ": needs the columns name, layer, row, column");
  const bool byStep = period >= 0 && step >= 0;
  if (byStep == (time >= 0)) throw EnsError(obsCsv + ": needs either the columns period and step, or time");
  std::vector<Observation> out;
  std::set<std::string> names;
  for (std::size_t r = 0; r < t.rows.size(); ++r) {
    const auto& f = t.rows[r];
    const std::string where = obsCsv + ", line " + std::to_string(t.lineOf[r]);
    Observation o;
    o.name = f[name];
    if (o.name.empty() || !names.insert(o.name).second)
      throw EnsError(where + ": each observation needs a name of its own");
    o.layer = wholeNumber(f[layer], where, 1);
    o.row = wholeNumber(f[row], where, 1);
    o.column = wholeNumber(f[col], where, 1);
    if (byStep) {
      o.period = wholeNumber(f[period], where, 1);
      o.step = wholeNumber(f[step], where, 1);
    } else {
      char* end = nullptr;
      o.time = std::strtod(f[time].c_str(), &end);
      if (f[time].empty() || *end != '\0' || !std::isfinite(o.time))
        throw EnsError(where + ": the time is not a number");
    }
    out.push_back(o);
  }
  if (out.empty()) throw EnsError(obsCsv + ": no observations");
  return out;
}

std::string collect(const std::string& ensembleDir, const CollectOptions& o,
                    std::vector<std::string>& problems) {
  const Manifest m = readManifest(ensembleDir);
  std::vector<std::string> header = {"run"};
  header.insert(header.end(), m.parameters.begin(), m.parameters.end());
  header.push_back("status");
  header.push_back("seconds");
  std::set<std::string> taken(header.begin(), header.end());
  auto addColumn = [&](const std::string& c) {
    if (!taken.insert(c).second)
      throw EnsError("column '" + c + "' would appear twice in the collected table");
    header.push_back(c);
  };
  for (const Observation& ob : o.observations) addColumn(ob.name);
  for (const std::string& label : o.budgetLabels) {
    addColumn(columnName(label) + "_in");
    addColumn(columnName(label) + "_out");
  }
  if (!o.budgetLabels.empty()) addColumn("discrepancy_pct");
  std::string text = csvLine(header);

  for (const RunEntry& run : m.runs) {
    const fs::path runDir = fs::path(ensembleDir) / run.name;
    std::vector<std::string> line = {run.name};
    line.insert(line.end(), run.values.begin(), run.values.end());
    const RunStatus st = readStatus(runDir.string());
    line.push_back(st.ended ? std::to_string(st.exitStatus) : "");
    line.push_back(st.ended ? shortest(st.seconds) : "");
    const std::size_t results =
        o.observations.size() + 2 * o.budgetLabels.size() + (o.budgetLabels.empty() ? 0 : 1);
    if (!st.finished()) {
      line.resize(line.size() + results);
      text += csvLine(line);
      continue;
    }
    try {
      std::vector<post::LayerRecord> heads;
      const std::string headPath = findHeadFile(runDir, m.nameFile, o.headFile);
      if (headPath.empty())
        problems.push_back(run.name + ": no head file");
      else
        heads = post::readLayerFile(post::readFileBytes(headPath));
      for (const Observation& ob : o.observations) {
        const post::LayerRecord* hit = nullptr;
        for (const post::LayerRecord& r : heads) {
          if (trimUpper(r.label) != "HEAD" || r.layer != ob.layer) continue;
          const bool at = ob.period > 0
                              ? (r.kper == ob.period && r.kstep == ob.step)
                              : std::abs(r.totim - ob.time) <= 1e-6 * std::max(1.0, std::abs(ob.time));
          if (at) hit = &r;
        }
        const std::string where = run.name + ", observation " + ob.name;
        if (hit == nullptr) {
          if (!headPath.empty()) problems.push_back(where + ": no saved head of that layer at that time");
          line.emplace_back();
        } else if (ob.row > hit->nrow || ob.column > hit->ncol) {
          problems.push_back(where + ": the cell is outside the grid");
          line.emplace_back();
        } else {
          line.push_back(number(hit->at(ob.row, ob.column), true, problems, where));
        }
      }
      if (!o.budgetLabels.empty()) {
        const std::string listing = listingFile(runDir, m.nameFile);
        std::vector<post::BudgetTable> tables;
        if (!listing.empty()) tables = post::readBudgetTables(post::readFileBytes(listing));
        const post::BudgetTable* table = nullptr;
        for (const post::BudgetTable& t : tables)
          if (o.budgetPeriod == 0 || (t.period == o.budgetPeriod && t.step == o.budgetStep)) table = &t;
        if (table == nullptr) problems.push_back(run.name + ": no such budget table in the listing");
        for (const std::string& label : o.budgetLabels) {
          const post::BudgetRow* row = nullptr;
          if (table != nullptr)
            for (const post::BudgetRow& r : table->rows)
              if (trimUpper(r.label) == trimUpper(label)) row = &r;
          const std::string where = run.name + ", budget row " + trimUpper(label);
          if (row == nullptr) {
            if (table != nullptr) problems.push_back(where + ": not in the budget table");
            line.emplace_back();
            line.emplace_back();
          } else {
            line.push_back(number(row->rateIn, false, problems, where));
            line.push_back(number(row->rateOut, false, problems, where));
          }
        }
        line.push_back(table == nullptr
                           ? ""
                           : number(table->discrepancy[1], false, problems, run.name + ", discrepancy"));
      }
    } catch (const post::FileError& e) {
      problems.push_back(run.name + ": " + e.what());
      line.resize(m.parameters.size() + 3 + results);
    }
    text += csvLine(line);
  }
  return text;
}

}  // namespace aqx::ens
