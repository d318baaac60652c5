// The basic package: grid, options, shared arrays, stress periods and time steps, output control,
// head and drawdown output, the volumetric budget and the time summary. Always present; the driver
// calls it directly in every phase.
#pragma once

#include "bas/output.hpp"
#include "driver/model.hpp"

namespace aqx {

class Bas {
 public:
  void define(Model& m);         // name file, banner, title, dimensions, options
  void allocate(Model& m);       // shared arrays
  void readPrepare(Model& m);    // boundary array, starting heads, budget table, output control
  void stressPeriod(Model& m);   // period length, steps, multiplier
  void advance(Model& m);        // clock, HEADOLD
  void formulate(Model& m);      // HCOEF = RHS = 0
  void outputControl(Model& m);  // per-step output decisions
  void output(Model& m);         // failure notice, heads, drawdowns, budget, time summary

 private:
  bas::OcSettings oc_;
};

}  // namespace aqx
