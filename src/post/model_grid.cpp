#include "post/model_grid.hpp"

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <span>
#include <sstream>

#include "io/arrays.hpp"
#include "io/record.hpp"
#include "io/word.hpp"
#include "post/outputs.hpp"

namespace aqx::post {
namespace {

// Units chosen well away from what name files use, so a package file naming its own array
// files on other units cannot collide with them.
constexpr int kEchoUnit = 97;
constexpr int kFlowUnit = 98;

std::string upper(std::string s) {
  for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

using Entry = NameEntry;

}  // namespace

std::vector<NameEntry> readNameFile(const std::string& nameFile) {
  std::ifstream in(nameFile);
  if (!in) throw FileError("cannot open the name file " + nameFile);
  const std::filesystem::path base = std::filesystem::path(nameFile).parent_path();
  std::vector<Entry> entries;
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    std::istringstream words(line);
    std::string type, unit, path;
    if (!(words >> type) || type[0] == '#') continue;
    if (!(words >> unit >> path)) continue;
    std::filesystem::path p(path);
    if (p.is_relative() && !base.empty()) p = base / p;
    entries.push_back({upper(type), std::atoi(unit.c_str()), p.string()});
  }
  return entries;
}

namespace {

std::string pathOf(const std::vector<Entry>& entries, const std::string& type) {
  for (const Entry& e : entries)
    if (e.type == type) return e.path;
  return "";
}

}  // namespace

ModelGrid readModelGrid(const std::string& nameFile) {
  const std::vector<Entry> entries = readNameFile(nameFile);
  const std::string bas = pathOf(entries, "BAS");
  const std::string bcf = pathOf(entries, "BCF");
  if (bas.empty()) throw FileError("the name file " + nameFile + " names no BAS file");
  if (bcf.empty()) throw FileError("the name file " + nameFile + " names no BCF file (cell sizes)");

  ModelGrid g;
  bool freeFormat = false;
  {
    std::ifstream in(bas);
    if (!in) throw FileError("cannot open the basic package file " + bas);
    std::string heading, dims, options;
    std::getline(in, heading);
    std::getline(in, heading);
    if (!std::getline(in, dims)) throw FileError(bas + ": no dimension line");
    std::getline(in, options);
    std::istringstream ow(upper(options));
    for (std::string w; ow >> w;) freeFormat = freeFormat || w == "FREE";
    auto field = [&](int n) {
      if (freeFormat) {
        std::istringstream dw(dims);
        int v = 0;
        for (int k = 0; k <= n; ++k)
          if (!(dw >> v)) throw FileError(bas + ": the dimension line does not hold the grid sizes");
        return v;
      }
      const std::string f = dims.size() > static_cast<std::size_t>(10 * n) ? dims.substr(10 * n, 10) : "";
      try {
        return f.find_first_not_of(' ') == std::string::npos ? 0 : std::stoi(f);
      } catch (const std::exception&) {
        throw FileError(bas + ": the dimension line does not hold the grid sizes");
      }
    };
    g.nlay = field(0);
    g.nrow = field(1);
    g.ncol = field(2);
    g.nper = field(3);
    g.timeUnit = field(4);
    if (g.timeUnit < 0 || g.timeUnit > 5) g.timeUnit = 0;
    if (g.nlay < 1 || g.nrow < 1 || g.ncol < 1 || g.nlay > 200 || g.nrow > 100000000 / g.ncol)
      throw FileError(bas + ": grid sizes out of range");
  }

  std::vector<float> aniso(g.nlay), delr(g.ncol), delc(g.nrow);
  try {
    io::open(kEchoUnit, "/dev/null");
    io::openExisting(kFlowUnit, bcf);
    int iss = 0, icb = 0, iwdflg = 0, iwetit = 0, ihdwet = 0;
    float hdry = 0.0f, wetfct = 0.0f;
    io::readFixedOrFree(kFlowUnit, freeFormat, AQX_FMT("(2I10,F10.0,I10,F10.0,2I10)"), iss, icb, hdry, iwdflg,
                        wetfct, iwetit, ihdwet);
    std::array<int, 200> codes{};
    io::readFixedOrFree(kFlowUnit, freeFormat, AQX_FMT("(40I2)"),
                        std::span<int>(codes.data(), static_cast<std::size_t>(g.nlay)));
    io::READVEC(aniso.data(), "COLUMN TO ROW ANISOTROPY", g.nlay, kFlowUnit, kEchoUnit);
    io::READVEC(delr.data(), "                    DELR", g.ncol, kFlowUnit, kEchoUnit);
    io::READVEC(delc.data(), "                    DELC", g.nrow, kFlowUnit, kEchoUnit);
  } catch (const io::IoError& e) {
    io::close(kFlowUnit);
    io::close(kEchoUnit);
    throw FileError(bcf + ": cannot read the cell sizes (" + e.what() + ")");
  } catch (const io::RunStop&) {
    io::close(kFlowUnit);
    io::close(kEchoUnit);
    throw FileError(bcf + ": cannot read the cell sizes");
  }
  io::close(kFlowUnit);
  io::close(kEchoUnit);
  for (float v : delr)
    if (!(v > 0.0f) || !std::isfinite(v)) throw FileError(bcf + ": DELR holds a width that is not positive");
  for (float v : delc)
    if (!(v > 0.0f) || !std::isfinite(v)) throw FileError(bcf + ": DELC holds a width that is not positive");
  g.delr.assign(delr.begin(), delr.end());
  g.delc.assign(delc.begin(), delc.end());
  return g;
}

}  // namespace aqx::post
