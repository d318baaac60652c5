// The strongly implicit procedure: one approximate factorization of the seven-point matrix per
// outer iteration, with iteration parameters used in turn, and one forward and one backward
// substitution for the head change.
#pragma once

#include "driver/package.hpp"

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
  void allocate(Model& m) override;
  void readPrepare(Model& m) override;
  void solve(Model& m) override;

  int NITPARM = 0;
  float ACCEL = 0.0f, HEADCLOSE = 0.0f, WSEED = 0.0f;
  int ICALCSEED = 0, IPRINTINT = 0;

  float* FACTE = nullptr;
  float* FACTF = nullptr;
  float* FACTG = nullptr;
  float* SIPWORK = nullptr;
  float* MAXCHANGE = nullptr;
  int* MAXCHANGECELL = nullptr;
  float* WPARM = nullptr;

  // Takes the arrays from the work array for a given MXITER and NITPARM (allocate phase).
  void takeArrays(Model& m, int mxiter, int nitparm);

 private:
  void computeSeed(Model& m);
  void endOfStep(Model& m);
  int mxiter_ = 0;  // the number of outer iterations the tables were sized for
};

}  // namespace aqx
