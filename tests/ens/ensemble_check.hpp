// Shared checks of the ensemble tests: the collected table read back, and single runs of the
// example made without the tool, to compare with.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "ens/csv.hpp"
#include "post/outputs.hpp"
#include "support/e2e.hpp"

namespace aqx::test {

inline std::string ensPath() {
  return AQX_ENS_PATH;
}

inline RunResult runEns(const std::filesystem::path& dir, const std::vector<std::string>& args) {
  return runProgram(ensPath(), dir, args, "", RunLimits{900, 0});
}

// The collected table as maps from column to text, one per run.
inline std::vector<std::map<std::string, std::string>> collectedRows(const std::string& csv) {
  const ens::CsvTable t = ens::parseCsv(csv, "collected.csv");
  std::vector<std::map<std::string, std::string>> out;
  for (const auto& row : t.rows) {
    std::map<std::string, std::string> m;
    for (std::size_t c = 0; c < t.header.size(); ++c) m[t.header[c]] = row[c];
    out.push_back(m);
  }
  return out;
}

// Runs the example model alone in `dir` with the parameter values of one collected row, filled
// in by plain text replacement, and checks that every observation of examples/ensemble/obs.csv
// has exactly the collected value.
inline void expectSameAsSingleRun(const std::filesystem::path& dir,
                                  const std::map<std::string, std::string>& row) {
  namespace fs = std::filesystem;
  fs::copy(sourcePath("examples/ensemble/template"), dir, fs::copy_options::recursive);
  const std::map<std::string, std::string> spans = {{"hk_upper", "{{hk_upper}}"},
                                                    {"vcont", "{{vcont}}"},
                                                    {"tran_lower", "{{tran_lower}}"},
                                                    {"recharge", "{{recharge}}"},
                                                    {"criv", "{{criv  }}"}};
  for (const auto& entry : fs::directory_iterator(dir)) {
    std::string text = post::readFileBytes(entry.path().string());
    for (const auto& [name, span] : spans) {
      const std::string value = row.at(name);
      const std::string field = std::string(span.size() - value.size(), ' ') + value;
      for (std::size_t at; (at = text.find(span)) != std::string::npos;) text.replace(at, span.size(), field);
    }
    ens::writeTextFile(entry.path().string(), text);
  }
  const RunResult r = runAquifex(dir, {"valley.nam", "--quiet"});
  ASSERT_EQ(r.status, 0) << r.out << r.err;
  const auto heads = post::readLayerFile(post::readFileBytes((dir / "valley.hds").string()));
  const ens::CsvTable obs = ens::readCsvFile(sourcePath("examples/ensemble/obs.csv").string());
  for (const auto& o : obs.rows) {
    const int layer = std::atoi(o[1].c_str()), rowN = std::atoi(o[2].c_str()), col = std::atoi(o[3].c_str());
    const int per = std::atoi(o[4].c_str()), step = std::atoi(o[5].c_str());
    bool found = false;
    for (const post::LayerRecord& rec : heads)
      if (rec.kper == per && rec.kstep == step && rec.layer == layer) {
        found = true;
        EXPECT_EQ(std::strtof(row.at(o[0]).c_str(), nullptr), rec.at(rowN, col))
            << row.at("run") << " " << o[0];
      }
    EXPECT_TRUE(found) << o[0];
  }
}

}  // namespace aqx::test
