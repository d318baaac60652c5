// PCG2: preconditioned conjugate gradients on the residual form of the flow equations.
//
// Each solve call (one per outer iteration) forms the residual of the current heads, then runs up
// to NINNER inner iterations for the head change with one of two preconditioners:
//   1  modified incomplete Cholesky (pivots computed in the first inner iteration of the call,
//      shifted towards the diagonal when a pivot vanishes or changes sign);
//   2  a cubic polynomial in the symmetrically scaled matrix (unit diagonal).
// The largest head change and residual of every inner iteration of the time step are kept in
// tables that the listing shows and the driver's consecutive-iteration rule reads (Model::pcg).
#pragma once

#include <cstdint>

#include "driver/package.hpp"

namespace aqx {

class Pcg2Package : public Package {
 public:
  // The two input records.
  struct Settings {
    int MXITER = 0, NINNER = 0, IPRECOND = 1, PCGCONSECLIM = 0;
    float HEADCLOSE = 0.0f, RESCLOSE = 0.0f, RELAXFAC = 1.0f;
    int IPOLYB = 0, IPRINTINT = 999, IPRINTLIM = 0;
    float DAMPFAC = 1.0f;
  };

  void allocate(Model& m) override;     // record 1, echo, arrays
  void readPrepare(Model& m) override;  // record 2, echo
  void solve(Model& m) override;        // one outer iteration

  // Without an input file: applies the settings as the two reading phases would (the
  // replacements of zero values included) and takes the arrays. For tests and benchmarks.
  void configure(Model& m, const Settings& s);

  const Settings& settings() const { return s_; }
  float POLYB() const { return polyb_; }
  // Per-inner-iteration tables of the time step, 1-based position p at index p - 1.
  const float* INNERHCHG() const { return hchg_; }
  const float* INNERRCHG() const { return rchg_; }
  const int* INNERHCELL() const { return hcell_; }  // layer, row, column per entry
  const int* INNERRCELL() const { return rcell_; }
  const int* INNERFIRST() const { return first_; }

  // Lets the tests drive single kernels, to compare the fast triangular solves with a plain form.
  friend struct Pcg2KernelProbe;

 private:
  // The largest head change and residual of one inner iteration (scaled back when the matrix
  // is scaled) with their cells, and the first cells whose change or residual is not a finite
  // number (-1: none, as for the cells when there is no variable-head cell).
  struct InnerLargest {
    float hchg = 0.0f, rchg = 0.0f;
    std::int64_t cellH = -1, cellR = -1;
    std::int64_t badH = -1, badR = -1;
    bool diverged() const { return badH >= 0 || badR >= 0; }
  };

  void applyRecord1(Model& m);
  void applyRecord2(Model& m);
  void takeArrays(Model& m);
  void cleanupAndResidual(Model& m);
  void scale(Model& m, bool down);
  void computePolyb(Model& m);
  void forwardWithPivots(Model& m);
  void forward(Model& m);
  void backward(Model& m);
  void polynomial(Model& m);
  double matrixProduct(Model& m);
  // The steps of one solve call, in order.
  void startCall(Model& m);                                          // residual, scaling, POLYB
  void precondition(Model& m, int inner);                            // PCGZ from the residual
  double searchDirection(const Model& m, int inner, double rhoOld);  // PCGP; returns rho
  double stepLength(const Model& m, double rho, double pi) const;
  void update(Model& m, double alpha);  // heads and residuals
  InnerLargest largest(const Model& m, double alpha) const;
  void record(const Model& m, int inner, const InnerLargest& big);
  [[noreturn]] void stopDivergedStep(Model& m, const InnerLargest& big);
  void endOfStep(Model& m);

  Settings s_;
  float polyb_ = 0.0f;
  std::int64_t ni_ = 0;  // NINNER * MXITER: length of the per-inner-iteration tables
  float* v_ = nullptr;   // PCGV
  float* z_ = nullptr;   // PCGZ
  float* p_ = nullptr;   // PCGP
  float* d_ = nullptr;   // PCGDIAG
  float* hchg_ = nullptr;
  int* hcell_ = nullptr;
  float* rchg_ = nullptr;
  int* rcell_ = nullptr;
  int* first_ = nullptr;
};

}  // namespace aqx
