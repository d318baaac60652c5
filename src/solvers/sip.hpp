// The strongly implicit procedure: one approximate factorization of the seven-point matrix per
// outer iteration, with iteration parameters used in turn, and one forward and one backward
// substitution for the head change.
#pragma once

#include "driver/package.hpp"
#include "solvers/head_change_table.hpp"

namespace aqx {

namespace sip {

// Iteration parameters from a seed: WPARM(i) = 1 - seed^((i-1)/(n-1)), i = 1..n; one parameter
// is 0.
void parametersFromSeed(float seed, int n, float* wparm);

// The average and least seed of the model's variable-head cells (1 and 1 when there are none).
void modelSeeds(const Model& m, float& average, float& least);

}  // namespace sip

class SipPackage : public Package {
 public:
  // The two input records.
  struct Settings {
    int MXITER = 0, NITPARM = 0;
    float ACCEL = 0.0f, HEADCLOSE = 0.0f;
    int ICALCSEED = 0;
    float WSEED = 0.0f;
    int IPRINTINT = 0;
  };

  void allocate(Model& m) override;
  void readPrepare(Model& m) override;
  void solve(Model& m) override;

  // Without an input file: applies the settings as the two reading phases would (the
  // replacements of zero values included, the parameters from WSEED when ICALCSEED is 0, no
  // listing lines) and takes the arrays. For tests and benchmarks.
  void configure(Model& m, const Settings& s);

  const Settings& settings() const { return s_; }
  const float* FACTE() const { return facte_; }
  const float* FACTF() const { return factf_; }
  const float* FACTG() const { return factg_; }
  const float* SIPWORK() const { return sipwork_; }
  const float* WPARM() const { return wparm_; }
  // Signed largest change of each outer iteration of the step, and its layer, row, column.
  const float* MAXCHANGE() const { return table_.MAXCHANGE(); }
  const int* MAXCHANGECELL() const { return table_.MAXCHANGECELL(); }

 private:
  void applyRecord2();
  void takeArrays(Model& m);
  void computeSeed(Model& m);

  Settings s_;
  float* facte_ = nullptr;
  float* factf_ = nullptr;
  float* factg_ = nullptr;
  float* sipwork_ = nullptr;
  float* wparm_ = nullptr;
  HeadChangeTable table_;
};

}  // namespace aqx
