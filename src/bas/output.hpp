// Internal pieces of the basic package: the output-control settings and decisions, the head and
// drawdown output, the volumetric budget print and the time summary.
#pragma once

#include <string>

#include "driver/model.hpp"

namespace aqx::bas {

// Output-control settings fixed when the OC file is first read, and the word-form read-ahead.
struct OcSettings {
  int unit = 0;  // OC input unit; 0 without an OC file
  int HEADPRTFMT = 0;
  int DDPRTFMT = 0;
  int HEADSAVEUNIT = 0;
  int DDSAVEUNIT = 0;
  std::string HEADSAVEFMT = std::string(20, ' ');  // blank: binary layer records
  std::string DDSAVEFMT = std::string(20, ' ');
  int HEADSAVELABEL = 0;
  int DDSAVELABEL = 0;
  int CBCSAVEVAL = 1;  // value ICBCFL takes when budget terms are saved (2 after "COMPACT")
  // Word form: period and step of the next directive block (9999 when none is left).
  // Numeric form: both -1.
  int OCPERIOD = -1;
  int OCSTEP = -1;
};

// Output control: first read of the OC file (or the default), and the decision for one step.
void ocInitialise(Model& m, OcSettings& oc);
void ocStep(Model& m, OcSettings& oc);

// Head and drawdown output of one time step; each returns true when it printed something.
bool headOutput(Model& m, const OcSettings& oc);
bool drawdownOutput(Model& m, const OcSettings& oc);

// The 17-character text of a budget entry or total, and of an IN - OUT difference.
std::string budgetEntryText(float value);
std::string budgetDifferenceText(float value);
// The volumetric budget of rows 1 to BUDNEXT - 1, and the time summary of the current step.
void printBudget(const Model& m);
void printTimeSummary(const Model& m);

}  // namespace aqx::bas
