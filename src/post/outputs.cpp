#include "post/outputs.hpp"

#include <climits>
#include <cstring>
#include <fstream>
#include <sstream>

namespace aqx::post {

namespace {

// Grid sizes a real record can have: positive, and small enough that the record fits the file.
constexpr std::int64_t kMaxCells = std::int64_t{1} << 31;

[[noreturn]] void cutShort(const char* what, std::size_t offset) {
  throw FileError(std::string("record cut short or malformed (") + what + ") at byte " +
                  std::to_string(offset));
}

bool printableLabel(const std::string& b, std::size_t offset) {
  if (offset + 16 > b.size()) return false;
  for (std::size_t c = offset; c < offset + 16; ++c) {
    const unsigned char ch = static_cast<unsigned char>(b[c]);
    if (ch < 32 || ch > 126) return false;
  }
  return true;
}

std::int64_t cellsOf(int a, int b, int c, const char* what, std::size_t offset) {
  if (a < 1 || b < 1 || c < 1) cutShort(what, offset);
  const std::int64_t n = static_cast<std::int64_t>(a) * b * c;
  if (n > kMaxCells) cutShort(what, offset);
  return n;
}

}  // namespace

int intAt(const std::string& bytes, std::size_t offset) {
  int v = 0;
  if (offset + 4 <= bytes.size()) std::memcpy(&v, bytes.data() + offset, 4);
  return v;
}

float realAt(const std::string& bytes, std::size_t offset) {
  float v = 0.0f;
  if (offset + 4 <= bytes.size()) std::memcpy(&v, bytes.data() + offset, 4);
  return v;
}

std::vector<LayerRecord> readLayerFile(const std::string& b) {
  std::vector<LayerRecord> out;
  std::size_t off = 0;
  while (off < b.size()) {
    if (off + 44 > b.size() || !printableLabel(b, off + 16)) cutShort("layer header", off);
    LayerRecord r;
    r.kstep = intAt(b, off);
    r.kper = intAt(b, off + 4);
    r.pertim = realAt(b, off + 8);
    r.totim = realAt(b, off + 12);
    r.label = b.substr(off + 16, 16);
    r.ncol = intAt(b, off + 32);
    r.nrow = intAt(b, off + 36);
    r.layer = intAt(b, off + 40);
    const std::int64_t n = cellsOf(r.ncol, r.nrow, 1, "layer sizes", off);
    off += 44;
    if (static_cast<std::int64_t>(b.size() - off) < 4 * n) cutShort("layer values", off);
    r.values.resize(static_cast<std::size_t>(n));
    std::memcpy(r.values.data(), b.data() + off, static_cast<std::size_t>(4 * n));
    off += static_cast<std::size_t>(4 * n);
    out.push_back(std::move(r));
  }
  return out;
}

std::vector<BudgetRecord> readBudgetFile(const std::string& b) {
  std::vector<BudgetRecord> out;
  std::size_t off = 0;
  auto need = [&](std::int64_t bytes, const char* what) {
    if (bytes < 0 || static_cast<std::int64_t>(b.size() - off) < bytes) cutShort(what, off);
  };
  while (off < b.size()) {
    need(36, "budget header");
    if (!printableLabel(b, off + 8)) cutShort("budget label", off);
    BudgetRecord r;
    r.kstep = intAt(b, off);
    r.kper = intAt(b, off + 4);
    r.label = b.substr(off + 8, 16);
    r.ncol = intAt(b, off + 24);
    r.nrow = intAt(b, off + 28);
    const int nlay = intAt(b, off + 32);
    if (nlay == 0 || nlay == INT32_MIN) cutShort("budget sizes", off);
    r.nlay = nlay < 0 ? -nlay : nlay;
    const std::int64_t cells = cellsOf(r.ncol, r.nrow, r.nlay, "budget sizes", off);
    const std::int64_t layerCells = static_cast<std::int64_t>(r.ncol) * r.nrow;
    off += 36;
    r.values.assign(static_cast<std::size_t>(cells), 0.0f);
    auto readValues = [&](std::int64_t n, float* into) {
      need(4 * n, "budget values");
      std::memcpy(into, b.data() + off, static_cast<std::size_t>(4 * n));
      off += static_cast<std::size_t>(4 * n);
    };
    if (nlay > 0) {
      readValues(cells, r.values.data());
      out.push_back(std::move(r));
      continue;
    }
    need(16, "second header");
    r.method = intAt(b, off);
    r.delt = realAt(b, off + 4);
    r.pertim = realAt(b, off + 8);
    r.totim = realAt(b, off + 12);
    off += 16;
    switch (r.method) {
      case 1:
        readValues(cells, r.values.data());
        break;
      case 2: {
        need(4, "entry count");
        const int count = intAt(b, off);
        off += 4;
        need(8 * static_cast<std::int64_t>(count), "list entries");
        for (int e = 0; e < count; ++e) {
          const int cell = intAt(b, off);
          const float v = realAt(b, off + 4);
          off += 8;
          if (cell < 1 || cell > cells) cutShort("list cell number", off - 8);
          r.entries.emplace_back(cell, v);
          r.values[static_cast<std::size_t>(cell - 1)] += v;
        }
        break;
      }
      case 3: {
        need(8 * layerCells, "layer indicator record");
        r.indicator.resize(static_cast<std::size_t>(layerCells));
        std::memcpy(r.indicator.data(), b.data() + off, static_cast<std::size_t>(4 * layerCells));
        off += static_cast<std::size_t>(4 * layerCells);
        for (std::int64_t c = 0; c < layerCells; ++c) {
          const int k = r.indicator[static_cast<std::size_t>(c)];
          if (k < 1 || k > r.nlay) cutShort("layer indicator", off);
          r.values[static_cast<std::size_t>((k - 1) * layerCells + c)] = realAt(b, off + 4 * c);
        }
        off += static_cast<std::size_t>(4 * layerCells);
        break;
      }
      case 4:
        readValues(layerCells, r.values.data());
        break;
      default:
        cutShort("compact method", off - 16);
    }
    out.push_back(std::move(r));
  }
  return out;
}

FileKind detectKind(const std::string& bytes) {
  if (bytes.empty()) throw FileError("the file is empty");
  std::string layerError, budgetError;
  // Budget first: a layer record's times never read as a printable label where a budget record
  // has its label, while a budget record's label bytes could pass for a layer record's.
  try {
    readBudgetFile(bytes);
    return FileKind::Budget;
  } catch (const FileError& e) {
    budgetError = e.what();
  }
  try {
    readLayerFile(bytes);
    return FileKind::Layer;
  } catch (const FileError& e) {
    layerError = e.what();
  }
  throw FileError("neither a layer file (" + layerError + ") nor a cell-by-cell budget file (" + budgetError +
                  ")");
}

std::string readFileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw FileError("cannot open " + path);
  std::ostringstream s;
  s << in.rdbuf();
  if (in.bad()) throw FileError("cannot read " + path);
  return s.str();
}

}  // namespace aqx::post
