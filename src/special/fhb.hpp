// FHB: flows and heads at listed cells given as time series over the whole simulation.
//
// One list of times serves every series; between two times a value is linear in time, past the
// last time it goes on along the last interval. A flow cell receives, in each time step, the mean
// of its piecewise-linear rate over the step (exactly, by trapezoids over the times inside the
// step). A head cell becomes a constant-head cell whose head is its value at the end of the step.
// Up to five auxiliary series for the flow cells and five for the head cells are kept at a moment
// within the step that each variable's weight selects (0 the start, 1 the end).
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "driver/package.hpp"
#include "io/record.hpp"

namespace aqx {

class FhbPackage : public Package {
 public:
  static constexpr int kMaxAux = 5;

  void allocate(Model& m) override;     // first record, auxiliary names and weights, arrays
  void readPrepare(Model& m) override;  // times, cells and their series; head cells made constant head
  void advance(Model& m) override;      // rates, heads and auxiliary values of the step
  void formulate(Model& m) override;    // rates into RHS of the variable-head flow cells
  void budget(Model& m) override;       // " SPECIFIED FLOWS" row and cell-by-cell output

  // The first record.
  int FHBNTIMES() const { return nt_; }
  int FHBNFLOW() const { return nf_; }
  int FHBNHEAD() const { return nh_; }
  int FHBSSFLAG() const { return ssflag_; }
  int FHBCBUNIT() const { return cbunit_; }
  int FHBNAUXFLOW() const { return af_; }
  int FHBNAUXHEAD() const { return ah_; }
  // Auxiliary-variable table, slot 1..10 (1 to 5 flow cells, 6 to 10 head cells).
  const std::string& AUXNAME(int slot) const { return auxName_[static_cast<std::size_t>(slot - 1)]; }
  float AUXWEIGHT(int slot) const { return auxWeight_[static_cast<std::size_t>(slot - 1)]; }

  float time(int n) const { return time_[n - 1]; }
  // Flow cell n (1-based): its rate for the current step, the rate applied in the last budget,
  // and the current value of its auxiliary variable q (1-based).
  float rateNow(int n) const { return flowNow(n)[0]; }
  float rateApplied(int n) const { return flowNow(n)[1]; }
  float flowAuxNow(int n, int q) const { return flowNow(n)[1 + q]; }
  // Head cell n: the current value of its auxiliary variable q; whether it was found inactive.
  float headAuxNow(int n, int q) const { return headAuxNow_[static_cast<std::int64_t>(n - 1) * ah_ + q - 1]; }
  bool headIgnored(int n) const { return ignored_[static_cast<std::size_t>(n - 1)] != 0; }

 private:
  // The interval of the time list that holds a time, and where in it the time lies.
  struct Interval {
    int low = 1, high = 1;  // 1-based indices into the times
    float fraction = 0.0f;  // (T - time(low)) / (time(high) - time(low)), not limited to 0..1
    bool upperEnd = false;  // a zero-length interval: the value at its upper end holds
  };
  Interval findInterval(float t, int start) const;
  // Value at an interval of the series whose value at time n is series[n - 1].
  static float valueAt(const float* series, const Interval& iv);

  // One set's control statement (data unit, multiplier, echo flag) from the package unit.
  struct SetControl {
    int unit = 0;
    float mult = 0.0f;
    int print = 0;
  };
  SetControl readControl(Model& m);
  void readTimes(Model& m);
  void readCells(Model& m, bool flow);
  void readAux(Model& m, bool flow, int q);
  void writeCellTableHead(Model& m, const SetControl& c, const io::Format& heading, const std::string& name);
  void writeEntry(Model& m, const int* cell, const float* values);
  void checkSeries(Model& m, bool flow, int n, const float* values);
  [[noreturn]] void stopOutsideGrid(Model& m, bool flow, int n, const int* cell);

  void setConstant(Model& m);
  void setFlows(Model& m);
  void setHeads(Model& m);

  float* flowNow(int n) const { return flowNow_ + static_cast<std::int64_t>(n - 1) * (af_ + 2); }
  float* flowSeries(int n) const { return flowSeries_ + static_cast<std::int64_t>(n - 1) * (af_ + 1) * nt_; }
  float* headSeries(int n) const { return headSeries_ + static_cast<std::int64_t>(n - 1) * (ah_ + 1) * nt_; }

  int nt_ = 0, nf_ = 0, nh_ = 0, ssflag_ = 0, cbunit_ = 0, af_ = 0, ah_ = 0;
  std::array<std::string, 2 * kMaxAux> auxName_;
  std::array<float, 2 * kMaxAux> auxWeight_{};

  float* time_ = nullptr;        // FHBTIME
  int* flowCell_ = nullptr;      // FLOWCELL: layer, row, column, IAUX per flow cell
  float* flowSeries_ = nullptr;  // FLOWSERIES
  float* flowNow_ = nullptr;     // FLOWNOW
  int* headCell_ = nullptr;      // HEADCELL
  float* headSeries_ = nullptr;  // HEADSERIES
  float* headAuxNow_ = nullptr;  // HEADAUXNOW
  // Head cells that were inactive when read: never given a head.
  std::vector<unsigned char> ignored_;
};

}  // namespace aqx
