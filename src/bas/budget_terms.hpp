// What every package's budget phase shares: a row of the volumetric budget table, and the
// cell-by-cell output of one budget term in the current time step.
#pragma once

#include <cstdint>
#include <string_view>
#include <utility>

#include "driver/model.hpp"
#include "io/budget_records.hpp"
#include "io/record.hpp"

namespace aqx {

// Adds the next row of the budget table: the two rates of the step (summed in double
// precision by the caller, stored in single precision) and their volumes over DELT added to
// the row's cumulative volumes. The table has 40 rows; a row beyond them writes one message
// and stops the run (a row is never dropped).
void addBudgetRow(Model& m, std::string_view label, double rateIn, double rateOut);
// The same row from the volumes of the step (single precision) instead of its rates: the volumes
// are added to the cumulative volumes as they are, and the rates are the volumes over DELT.
void addBudgetVolumes(Model& m, std::string_view label, float volumeIn, float volumeOut);

// Adds a rate to the in or out sum by its sign (out takes the magnitude).
inline void accumulateRate(double rate, double& in, double& out) {
  if (rate > 0.0) {
    in += rate;
  } else if (rate < 0.0) {
    out -= rate;
  }
}

// Cell-by-cell output of one budget term. The mode comes from the package's cell-by-cell unit
// and ICBCFL: a positive unit saves when ICBCFL is not 0 (1 full records, 2 compact records); a
// negative unit prints per-cell flows in the listing when ICBCFL is not 0, for packages that
// offer printing; otherwise nothing.
class CellBudget {
 public:
  enum Mode : int { kPrint = -1, kNone = 0, kFull = 1, kCompact = 2 };

  CellBudget(Model& m, int unit, std::string_view label, bool canPrint = true);

  static int modeFor(int unit, int icbcfl, bool canPrint = true);
  int mode() const { return mode_; }
  bool saving() const { return mode_ > 0; }
  bool printing() const { return mode_ == kPrint; }
  int unit() const { return unit_; }
  std::string_view label() const { return label_; }

  // BUFF = 0 over the grid.
  void clearBuffer();

  // The term as a grid array (BUFF unless given): full record in mode 1, compact array record
  // (method 1) in mode 2; nothing otherwise.
  void saveArray() const;
  void saveArray(const float* values) const;
  // The full record only (mode 1), for terms whose compact form is a list.
  void saveFullArray() const;
  // The full record whenever saving (mode 1 or 2), for terms that have no compact form.
  void saveFullRecord() const;
  // The compact list form (mode 2): the header with the number of entries, then one item per
  // entry. Nothing in other modes.
  void beginList(int entries) const;
  void listItem(int layer, int row, int column, float value) const {
    if (mode_ == kCompact) io::CBCLISTITEM(unit_, m_.NCOLS, m_.NROWS, column, row, layer, value);
  }
  // The layer-indicator forms (UBDSV3), mode 2 only: option 1 the first layer, otherwise the
  // layer of each column given by `indicator`.
  void saveLayerArray(const float* values, const int* indicator, int option) const;

  // Print mode: the heading "label PERIOD p STEP s" before the first line, then the line.
  template <class... T>
  void printLine(const io::Format& format, const T&... values) {
    if (mode_ != kPrint) return;
    printHeading();
    io::write(m_.LISTUNIT, format, values...);
  }

 private:
  void printHeading();

  Model& m_;
  int unit_;
  std::string_view label_;
  int mode_;
  bool headed_ = false;
};

}  // namespace aqx
