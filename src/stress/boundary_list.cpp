#include "stress/boundary_list.hpp"

#include <algorithm>
#include <span>
#include <vector>

#include "driver/allocation_report.hpp"
#include "io/text.hpp"
#include "io/word.hpp"

namespace aqx {

void BoundaryList::badNumbers(Model& m, const std::string& line) {
  io::write(m.LISTUNIT, AQX_FMT("(1X/1X,A,' INPUT: CANNOT READ THE NUMBERS IN THIS LINE:'/1X,A)"),
            std::string(spec_.name), io::trimRight(line));
  io::stopRun();
}

void stopOutsideGrid(Model& m, const char* name, int entry, int k, int i, int j) {
  if (k >= 1 && k <= m.NLAYER && i >= 1 && i <= m.NROWS && j >= 1 && j <= m.NCOLS) return;
  io::write(m.LISTUNIT,
            AQX_FMT("(1X/1X,A,' ENTRY',I6,' IS OUTSIDE THE GRID: LAYER',I6,', ROW',I6,', COLUMN',I6/1X,"
                    "'STOP EXECUTION')"),
            std::string(name), entry, k, i, j);
  io::stopRun();
}

void BoundaryList::allocate(Model& m) {
  const int lst = m.LISTUNIT;
  const int in = m.unitOf(spec_.slot);
  io::write(lst, *spec_.banner, in);
  count_ = 0;

  std::string line(80, ' ');
  io::readLine(in, line);
  io::Words words(line, lst, in);
  if (m.FREEFMT) {
    max_ = words.integer();
    cbUnit_ = words.integer();
  } else {
    if (!io::readInternal(line, AQX_FMT("(2I10)"), max_, cbUnit_)) badNumbers(m, line);
    words.setColumn(21);
  }
  io::write(lst, *spec_.maximum, max_);
  if (cbUnit_ < 0) io::write(lst, AQX_FMT("(1X,'CELL-BY-CELL FLOWS WILL BE PRINTED WHEN ICBCFL NOT 0')"));
  if (cbUnit_ > 0) io::write(lst, AQX_FMT("(1X,'CELL-BY-CELL FLOWS WILL BE SAVED ON UNIT',I3)"), cbUnit_);

  // Option words, until one is none of them (a blank word ends the line).
  for (;;) {
    const std::string word(words.upper());
    if (word == "CBCALLOCATE" || word == "CBC") {
      cbAlloc_ = 1;
      io::write(lst, AQX_FMT("(1X,'MEMORY IS ALLOCATED FOR CELL-BY-CELL BUDGET TERMS')"));
    } else if (word == "AUXILIARY" || word == "AUX") {
      std::string name(words.upper().substr(0, 16));
      name.resize(16, ' ');
      if (nAux_ < kMaxAux) {
        aux_[nAux_++] = name;
        io::write(lst, *spec_.auxEcho, name);
      }
    } else {
      break;
    }
  }

  const AllocationReport report(m);
  rowLen_ = 3 + spec_.nReals + nAux_ + cbAlloc_;
  list_ = m.work->takeReal(static_cast<std::int64_t>(rowLen_) * std::max(0, max_));
  report.report(*spec_.used);
}

void BoundaryList::readPeriod(Model& m) {
  const int lst = m.LISTUNIT;
  const int in = m.unitOf(spec_.slot);
  int n = 0;
  io::readFixedOrFree(in, m.FREEFMT != 0, AQX_FMT("(I10)"), n);
  if (n < 0) {
    io::write(lst, *spec_.reusing);
    return;
  }
  if (n > max_) {
    io::write(lst, *spec_.tooMany, n, max_);
    io::stopRun();
  }
  count_ = n;
  io::write(lst, *spec_.count, count_);
  if (count_ == 0) return;

  {
    std::vector<io::OutItem> names, dashes;
    for (int q = 0; q < nAux_; ++q) {
      names.emplace_back(aux_[q]);
      dashes.emplace_back("------------------");
    }
    io::writeItems(lst, *spec_.heading, names);
    io::writeItems(lst, *spec_.dashes, dashes);
  }

  const int nr = spec_.nReals;
  for (int e = 1; e <= count_; ++e) {
    std::string line(151, ' ');
    io::readLine(in, line);
    int k = 0, i = 0, j = 0;
    float vals[ListSpec::kMaxReals] = {};
    float aux[kMaxAux] = {};
    io::Words words(line, lst, in);
    if (m.FREEFMT) {
      k = words.integer();
      i = words.integer();
      j = words.integer();
      for (int q = 0; q < nr; ++q) vals[q] = words.real();
    } else {
      if (!io::readInternal(line, *spec_.entryFormat, k, i, j, std::span<float>(vals, nr)))
        badNumbers(m, line);
      words.setColumn(31 + 10 * nr);
    }
    for (int q = 0; q < nAux_; ++q) aux[q] = words.real();

    std::vector<io::OutItem> items{k, i, j};
    for (int q = 0; q < nr; ++q) items.emplace_back(vals[q]);
    items.emplace_back(e);
    for (int q = 0; q < nAux_; ++q) items.emplace_back(aux[q]);
    io::writeItems(lst, *spec_.echo, items);

    stopOutsideGrid(m, spec_.name, e, k, i, j);
    for (int q = 0; q < nr; ++q)
      checkEntry(lst, vals[q], spec_.rules[q], spec_.name, e, spec_.fields[q] ? spec_.fields[q] : "VALUE");

    float* r = row(e);
    r[0] = static_cast<float>(k);
    r[1] = static_cast<float>(i);
    r[2] = static_cast<float>(j);
    for (int q = 0; q < nr; ++q) r[3 + q] = vals[q];
    for (int q = 0; q < nAux_; ++q) r[3 + nr + q] = aux[q];
    if (cbAlloc_) r[rowLen_ - 1] = 0.0f;
  }
}

}  // namespace aqx
