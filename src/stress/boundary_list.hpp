// The list mechanism shared by the packages that stress individually listed cells (wells, drains,
// rivers, general-head boundaries): the allocate record with its options, the per-period list
// (re-read or reused) kept as rows of reals in the work array, its echo table, and the budget pass
// that totals inflow and outflow, prints or saves cell-by-cell flows and fills a budget row.
//
// A package describes its texts and row layout in a ListSpec and supplies the physics: its
// formulate loop over entries(), and the rate of one entry for the budget pass.
#pragma once

#include <array>
#include <cassert>
#include <cstdint>
#include <string>

#include "bas/budget_terms.hpp"
#include "bas/value_checks.hpp"
#include "driver/model.hpp"
#include "driver/package.hpp"
#include "io/record.hpp"

namespace aqx {

// A package's description of its list, written with designated initializers (see wel.cpp).
struct ListSpec {
  static constexpr int kMaxReals = 3;  // reals the entry reader holds after layer, row, column

  const char* name;  // package code in messages, e.g. "WEL"
  int slot;          // PKGUNIT slot
  int nReals;        // reals after layer, row, column in the entry (1 for wells, 2 drains, 3 rivers)
  const io::Format* entryFormat;  // fixed-column form of the entry, e.g. "(3I10,F10.0)"
  // Allocate: banner (unit), maximum (MX), auxiliary echo (name), elements used (count).
  const io::Format* banner;
  const io::Format* maximum;
  const io::Format* auxEcho;
  const io::Format* used;
  // Per period: reusing, count above maximum (count, max), count, heading (aux names),
  // dash line (one dash string per aux name), entry echo (layer, row, column, reals, n, aux).
  const io::Format* reusing;
  const io::Format* tooMany;
  const io::Format* count;
  const io::Format* heading;
  const io::Format* dashes;
  const io::Format* echo;
  // Budget: per-entry line of the printed cell-by-cell flows (n, layer, row, column, rate).
  const io::Format* printLine;
  const char* label;  // 16-character budget label
  // Every flow of the term is an outflow (drains): the budget row's rate in stays 0 and each
  // entry's rate is subtracted from the outflow total whatever its sign.
  bool outflowOnly = false;
  // The reals of an entry as messages name them, and what each may not be (a value that is not
  // finite is always refused; a conductance may not be negative either).
  std::array<const char*, kMaxReals> fields{};
  std::array<Refuse, kMaxReals> rules{};
};

// Stops the run when cell (k, i, j) of entry `entry` of package `name` lies outside the grid
// (formulate, budget and advance phases index the grid with listed cells).
void stopOutsideGrid(Model& m, const char* name, int entry, int k, int i, int j);

class BoundaryList {
 public:
  static constexpr int kMaxAux = 5;

  explicit BoundaryList(const ListSpec& spec) : spec_(spec) {
    assert(spec.nReals >= 1 && spec.nReals <= ListSpec::kMaxReals);
  }

  // Allocate phase: banner, record 1 (maximum, cell-by-cell unit, options), the list storage.
  void allocate(Model& m);
  // Stress-period phase: the count, then the entries (or reuse), with the echo table.
  void readPeriod(Model& m);

  // Current list.
  int count() const { return count_; }
  int maxCount() const { return max_; }
  int cbUnit() const { return cbUnit_; }
  bool cbAllocate() const { return cbAlloc_ != 0; }
  int auxCount() const { return nAux_; }
  const std::string& auxName(int q) const { return aux_[q]; }
  int rowLength() const { return rowLen_; }
  // Row of entry n (1-based): layer, row, column, the package's reals, aux values, kept flow.
  float* row(int n) const { return list_ + static_cast<std::int64_t>(n - 1) * rowLen_; }
  int layerOf(int n) const { return static_cast<int>(row(n)[0]); }
  int rowOf(int n) const { return static_cast<int>(row(n)[1]); }
  int columnOf(int n) const { return static_cast<int>(row(n)[2]); }
  std::int64_t cellOf(const Model& m, int n) const { return m.cell(layerOf(n), rowOf(n), columnOf(n)); }
  // The q-th of the package's reals of entry n (q = 1..nReals), e.g. a well's rate is value(n, 1).
  float value(int n, int q) const { return row(n)[2 + q]; }
  // The q-th auxiliary value of entry n (q = 1..auxCount()).
  float auxValue(int n, int q) const { return row(n)[2 + spec_.nReals + q]; }
  // The flow kept for entry n by the last budget pass (only with CBCALLOCATE).
  float keptFlow(int n) const { return cbAlloc_ ? row(n)[rowLen_ - 1] : 0.0f; }

  // Budget pass. rate(n, cell) is called for every entry whose cell has IBOUND > 0 and returns
  // the entry's flow into the aquifer in double precision; entries elsewhere have flow 0. The
  // flow rounded to single precision goes to BUFF, the listing, the saved records and the kept
  // flow; the totals take the double value (positive to inflow, negative to outflow).
  template <class Rate>
  void budget(Model& m, Rate rate);

 private:
  [[noreturn]] void badNumbers(Model& m, const std::string& line);

  const ListSpec& spec_;
  int max_ = 0;
  int count_ = 0;
  int cbUnit_ = 0;
  int cbAlloc_ = 0;
  int nAux_ = 0;
  std::array<std::string, kMaxAux> aux_;
  int rowLen_ = 0;
  float* list_ = nullptr;
};

// A list package: its list read at allocation and at every stress period. The package adds its
// formulate phase and its budget phase (a call of list().budget with its rate).
class ListPackage : public Package {
 public:
  explicit ListPackage(const ListSpec& spec) : list_(spec) {}
  void allocate(Model& m) override { list_.allocate(m); }
  void stressPeriod(Model& m) override { list_.readPeriod(m); }

  const BoundaryList& list() const { return list_; }

 protected:
  BoundaryList list_;
};

template <class Rate>
void BoundaryList::budget(Model& m, Rate rate) {
  CellBudget cbc(m, cbUnit_, spec_.label);
  cbc.beginList(count_);
  cbc.clearBuffer();
  double in = 0.0, out = 0.0;
  for (int n = 1; n <= count_; ++n) {
    const std::int64_t c = cellOf(m, n);
    float q = 0.0f;
    if (m.IBOUND[c] > 0) {
      const double r = rate(n, c);
      q = static_cast<float>(r);
      cbc.printLine(*spec_.printLine, n, layerOf(n), rowOf(n), columnOf(n), q);
      m.BUFF[c] += q;
      if (spec_.outflowOnly) {
        out -= r;
      } else {
        accumulateRate(r, in, out);
      }
    }
    cbc.listItem(layerOf(n), rowOf(n), columnOf(n), q);
    if (cbAlloc_) row(n)[rowLen_ - 1] = q;
  }
  if (count_ > 0) cbc.saveFullArray();
  addBudgetRow(m, spec_.label, in, out);
}

}  // namespace aqx
