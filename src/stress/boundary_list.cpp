#include "stress/boundary_list.hpp"

#include <algorithm>
#include <span>
#include <vector>

#include "io/word.hpp"

namespace aqx {

namespace {

std::string wordAt(const std::string& line, int first, int last) {
  return line.substr(static_cast<std::size_t>(first - 1), static_cast<std::size_t>(last - first + 1));
}

std::string trimRight(const std::string& s) {
  const auto end = s.find_last_not_of(' ');
  return end == std::string::npos ? std::string() : s.substr(0, end + 1);
}

}  // namespace

void BoundaryList::badNumbers(Model& m, const std::string& line) {
  io::write(m.LISTUNIT, AQX_FMT("(1X/1X,A,' INPUT: CANNOT READ THE NUMBERS IN THIS LINE:'/1X,A)"),
            std::string(spec_.name), trimRight(line));
  io::stopRun();
}

void BoundaryList::allocate(Model& m) {
  const int lst = m.LISTUNIT;
  const int in = m.unitOf(spec_.slot);
  io::write(lst, *spec_.banner, in);
  count_ = 0;

  std::string line(80, ' ');
  io::readLine(in, line);
  int column = 1, first = 0, last = 0, ival = 0;
  float rval = 0.0f;
  if (m.FREEFMT) {
    io::NEXTWORD(line, column, first, last, 2, max_, rval, lst, in);
    io::NEXTWORD(line, column, first, last, 2, cbUnit_, rval, lst, in);
  } else {
    if (!io::readInternal(line, AQX_FMT("(2I10)"), max_, cbUnit_)) badNumbers(m, line);
    column = 21;
  }
  io::write(lst, *spec_.maximum, max_);
  if (cbUnit_ < 0) io::write(lst, AQX_FMT("(1X,'CELL-BY-CELL FLOWS WILL BE PRINTED WHEN ICBCFL NOT 0')"));
  if (cbUnit_ > 0) io::write(lst, AQX_FMT("(1X,'CELL-BY-CELL FLOWS WILL BE SAVED ON UNIT',I3)"), cbUnit_);

  // Option words, until one is none of them (a blank word ends the line).
  for (;;) {
    io::NEXTWORD(line, column, first, last, 1, ival, rval, lst, in);
    const std::string word = wordAt(line, first, last);
    if (word == "CBCALLOCATE" || word == "CBC") {
      cbAlloc_ = 1;
      io::write(lst, AQX_FMT("(1X,'MEMORY IS ALLOCATED FOR CELL-BY-CELL BUDGET TERMS')"));
    } else if (word == "AUXILIARY" || word == "AUX") {
      io::NEXTWORD(line, column, first, last, 1, ival, rval, lst, in);
      std::string name = wordAt(line, first, last).substr(0, 16);
      name.resize(16, ' ');
      if (nAux_ < kMaxAux) {
        aux_[nAux_++] = name;
        io::write(lst, *spec_.auxEcho, name);
      }
    } else {
      break;
    }
  }

  rowLen_ = 3 + spec_.nReals + nAux_ + cbAlloc_;
  const std::int64_t elements = static_cast<std::int64_t>(rowLen_) * std::max(0, max_);
  list_ = m.work->takeReal(elements);
  io::write(lst, *spec_.used, static_cast<int>(elements));
  io::write(lst, AQX_FMT("(1X,I10,' ELEMENTS OF X ARRAY USED OUT OF ',I10)"),
            static_cast<int>(m.work->used()), static_cast<int>(WorkArray::XSIZE));
  if (m.work->tooSmall()) io::write(lst, AQX_FMT("(1X,'   ***X ARRAY MUST BE DIMENSIONED LARGER***')"));
}

void BoundaryList::readPeriod(Model& m) {
  const int lst = m.LISTUNIT;
  const int in = m.unitOf(spec_.slot);
  int n = 0;
  if (m.FREEFMT) {
    io::readList(in, n);
  } else {
    io::read(in, AQX_FMT("(I10)"), n);
  }
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
    int k = 0, i = 0, j = 0, first = 0, last = 0, ival = 0;
    float vals[3] = {0.0f, 0.0f, 0.0f};
    float aux[kMaxAux] = {};
    int column = 1;
    if (m.FREEFMT) {
      io::NEXTWORD(line, column, first, last, 2, k, vals[0], lst, in);
      io::NEXTWORD(line, column, first, last, 2, i, vals[0], lst, in);
      io::NEXTWORD(line, column, first, last, 2, j, vals[0], lst, in);
      for (int q = 0; q < nr; ++q) io::NEXTWORD(line, column, first, last, 3, ival, vals[q], lst, in);
    } else {
      if (!io::readInternal(line, *spec_.entryFormat, k, i, j, std::span<float>(vals, nr)))
        badNumbers(m, line);
      column = 31 + 10 * nr;
    }
    for (int q = 0; q < nAux_; ++q) io::NEXTWORD(line, column, first, last, 3, ival, aux[q], lst, in);

    std::vector<io::OutItem> items{k, i, j};
    for (int q = 0; q < nr; ++q) items.emplace_back(vals[q]);
    items.emplace_back(e);
    for (int q = 0; q < nAux_; ++q) items.emplace_back(aux[q]);
    io::writeItems(lst, *spec_.echo, items);

    // Formulate and budget index the grid with these numbers: an entry outside it ends the run.
    if (k < 1 || k > m.NLAYER || i < 1 || i > m.NROWS || j < 1 || j > m.NCOLS) {
      io::write(lst,
                AQX_FMT("(1X/1X,A,' ENTRY',I6,' IS OUTSIDE THE GRID: LAYER',I6,', ROW',I6,', COLUMN',I6/1X,"
                        "'STOP EXECUTION')"),
                std::string(spec_.name), e, k, i, j);
      io::stopRun();
    }

    float* r = row(e);
    r[0] = static_cast<float>(k);
    r[1] = static_cast<float>(i);
    r[2] = static_cast<float>(j);
    for (int q = 0; q < nr; ++q) r[3 + q] = vals[q];
    for (int q = 0; q < nAux_; ++q) r[3 + nr + q] = aux[q];
    if (cbAlloc_) r[rowLen_ - 1] = 0.0f;
  }
}

int BoundaryList::saveMode(const Model& m) const {
  if (m.ICBCFL != 0 && cbUnit_ < 0) return -1;
  if (cbUnit_ > 0) return m.ICBCFL;
  return 0;
}

void BoundaryList::beginBudget(Model& m, int mode) {
  if (mode == 2) {
    io::UBDSV2(m.KSTEP, m.KPERIOD, spec_.label, cbUnit_, m.NCOLS, m.NROWS, m.NLAYER, count_, m.LISTUNIT,
               m.DELT, m.PERTIME, m.TOTTIME);
  }
  std::fill(m.BUFF, m.BUFF + m.NCELLS, 0.0f);
}

void BoundaryList::printEntry(Model& m, int n, float q, bool& headed) {
  if (!headed) {
    io::write(m.LISTUNIT, AQX_FMT("(1X/1X,A,'   PERIOD',I3,'   STEP',I3)"), std::string(spec_.label),
              m.KPERIOD, m.KSTEP);
    headed = true;
  }
  io::write(m.LISTUNIT, *spec_.printLine, n, layerOf(n), rowOf(n), columnOf(n), q);
}

void BoundaryList::endBudget(Model& m, int mode, double in, double out) {
  if (mode == 1 && count_ > 0) {
    io::UBUDSV(m.KSTEP, m.KPERIOD, spec_.label, cbUnit_, m.BUFF, m.NCOLS, m.NROWS, m.NLAYER, m.LISTUNIT);
  }
  if (m.BUDNEXT < 1 || m.BUDNEXT > static_cast<int>(m.BUDVAL.size())) {
    io::write(m.LISTUNIT, AQX_FMT("(1X/1X,'THE BUDGET TABLE HAS NO ROW LEFT FOR ',A,'.  STOP EXECUTION')"),
              std::string(spec_.label));
    io::stopRun();
  }
  auto& row = m.BUDVAL[static_cast<std::size_t>(m.BUDNEXT - 1)];
  const float rin = static_cast<float>(in);
  const float rout = static_cast<float>(out);
  row[2] = rin;
  row[3] = rout;
  row[0] = row[0] + rin * m.DELT;
  row[1] = row[1] + rout * m.DELT;
  m.BUDNAM[static_cast<std::size_t>(m.BUDNEXT - 1)] = spec_.label;
  ++m.BUDNEXT;
}

}  // namespace aqx
