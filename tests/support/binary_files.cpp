#include "support/binary_files.hpp"

#include <gtest/gtest.h>

#include <cstring>

namespace aqx::test {

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
  while (off + 44 <= b.size()) {
    LayerRecord r;
    r.kstep = intAt(b, off);
    r.kper = intAt(b, off + 4);
    r.pertim = realAt(b, off + 8);
    r.totim = realAt(b, off + 12);
    r.label = b.substr(off + 16, 16);
    r.ncol = intAt(b, off + 32);
    r.nrow = intAt(b, off + 36);
    r.layer = intAt(b, off + 40);
    off += 44;
    const std::size_t n = static_cast<std::size_t>(r.ncol) * static_cast<std::size_t>(r.nrow);
    if (r.ncol < 0 || r.nrow < 0 || off + 4 * n > b.size()) {
      ADD_FAILURE() << "layer record cut short at byte " << off;
      break;
    }
    r.values.resize(n);
    for (std::size_t c = 0; c < n; ++c) r.values[c] = realAt(b, off + 4 * c);
    off += 4 * n;
    out.push_back(std::move(r));
  }
  if (off != b.size()) ADD_FAILURE() << (b.size() - off) << " trailing bytes in layer file";
  return out;
}

std::vector<BudgetRecord> readBudgetFile(const std::string& b) {
  std::vector<BudgetRecord> out;
  std::size_t off = 0;
  auto fail = [&](const char* what) {
    ADD_FAILURE() << "budget record cut short (" << what << ") at byte " << off;
  };
  while (off < b.size()) {
    if (off + 36 > b.size()) {
      fail("header");
      break;
    }
    BudgetRecord r;
    r.kstep = intAt(b, off);
    r.kper = intAt(b, off + 4);
    r.label = b.substr(off + 8, 16);
    r.ncol = intAt(b, off + 24);
    r.nrow = intAt(b, off + 28);
    const int nlay = intAt(b, off + 32);
    r.nlay = nlay < 0 ? -nlay : nlay;
    off += 36;
    const std::size_t layerCells = static_cast<std::size_t>(r.ncol) * static_cast<std::size_t>(r.nrow);
    const std::size_t cells = layerCells * static_cast<std::size_t>(r.nlay);
    r.values.assign(cells, 0.0f);
    auto readArray = [&](std::size_t n, std::size_t into) {
      if (off + 4 * n > b.size()) return false;
      for (std::size_t c = 0; c < n; ++c) r.values[into + c] = realAt(b, off + 4 * c);
      off += 4 * n;
      return true;
    };
    if (nlay > 0) {
      if (!readArray(cells, 0)) {
        fail("full array");
        break;
      }
      out.push_back(std::move(r));
      continue;
    }
    if (off + 16 > b.size()) {
      fail("second header");
      break;
    }
    r.method = intAt(b, off);
    r.delt = realAt(b, off + 4);
    r.pertim = realAt(b, off + 8);
    r.totim = realAt(b, off + 12);
    off += 16;
    bool ok = true;
    if (r.method == 1) {
      ok = readArray(cells, 0);
    } else if (r.method == 2) {
      const int count = intAt(b, off);
      off += 4;
      if (count < 0 || off + 8 * static_cast<std::size_t>(count) > b.size()) {
        ok = false;
      } else {
        for (int e = 0; e < count; ++e) {
          const int cell = intAt(b, off);
          const float v = realAt(b, off + 4);
          off += 8;
          r.entries.emplace_back(cell, v);
          if (cell >= 1 && static_cast<std::size_t>(cell) <= cells) r.values[cell - 1] += v;
        }
      }
    } else if (r.method == 3) {
      if (off + 8 * layerCells > b.size()) {
        ok = false;
      } else {
        r.indicator.resize(layerCells);
        for (std::size_t c = 0; c < layerCells; ++c) r.indicator[c] = intAt(b, off + 4 * c);
        off += 4 * layerCells;
        for (std::size_t c = 0; c < layerCells; ++c) {
          const int k = r.indicator[c];
          const float v = realAt(b, off + 4 * c);
          if (k >= 1 && k <= r.nlay) r.values[(k - 1) * layerCells + c] = v;
        }
        off += 4 * layerCells;
      }
    } else if (r.method == 4) {
      ok = readArray(layerCells, 0);
    } else {
      ADD_FAILURE() << "unknown compact method " << r.method;
      break;
    }
    if (!ok) {
      fail("compact data");
      break;
    }
    out.push_back(std::move(r));
  }
  return out;
}

}  // namespace aqx::test
