// DE4: direct solution of the flow equations by Gaussian elimination.
//
// The variable-head cells are numbered in alternating diagonal order (the diagonal index of cell
// (k, i, j) is k + i + j): cells on odd diagonals form the upper part, cells on even diagonals the
// lower part, so that every upper equation is coupled only to lower equations. Eliminating the
// upper part leaves a symmetric banded system for the lower part, factored by band elimination.
// The factors are kept and reused while the matrix is known not to change (IFREQ); every call
// forms the residual of the current heads and solves for the head change with the factors held.
//
// Three modes: no iteration (one solution per time step), internal iteration (repeated solutions
// with the same factors inside one call) and external iteration (one solution per outer
// iteration, the matrix eliminated each time).
#pragma once

#include <cstdint>

#include "driver/package.hpp"
#include "solvers/de4_kernels.hpp"

namespace aqx {

class De4Package : public Package {
 public:
  // The two input records, as read.
  struct Settings {
    int D4MAXITER = 1, MXUP = 0, MXLOW = 0, MXBW = 0;
    int IFREQ = 1, D4PRINTMODE = 0;
    float ACCEL = 1.0f, HEADCLOSE = 0.0f;
    int IPRINTINT = 999;
  };
  enum class Mode { None, Internal, External };

  void allocate(Model& m) override;     // record 1, sizes, arrays
  void readPrepare(Model& m) override;  // record 2, iteration mode, MXITER
  void solve(Model& m) override;        // one outer iteration

  // Without an input file: applies the settings as the two reading phases would (defaults and
  // replacements included), takes the arrays and sets MXITER; writes nothing. For tests and
  // benchmarks. An invalid IFREQ is taken as 3.
  void configure(Model& m, const Settings& s);

  const Settings& settings() const { return s_; }
  Mode mode() const { return mode_; }
  int D4ORDER() const { return order_; }
  int D4NCOEF() const { return ncoef_; }
  std::int64_t D4MAXEQ() const { return maxeq_; }
  int D4INNER() const { return inner_; }
  int D4NUP() const { return sys_.nup; }
  int D4NLOW() const { return sys_.nlow; }
  int D4BANDW() const { return sys_.bandw; }
  // Equation number of every cell (0: none), natural cell order.
  const int* D4EQNUM() const { return eqnum_; }
  // The stored system (factors after a rebuild).
  const de4::System& system() const { return sys_; }
  // Largest change of each iteration of the step (1-based iteration p at index p - 1), and its
  // layer, row and column at 3(p - 1).
  const float* MAXCHANGE() const { return maxchange_; }
  const int* MAXCHANGECELL() const { return maxcell_; }
  // Internal iterations made in the last call.
  int internalIterations() const { return counter_; }
  // How many times the matrix has been eliminated (each rebuild of the factors counts one).
  int factorisations() const { return factorisations_; }

 private:
  void applyRecord1(Model& m);
  void applyRecord2(Model& m);
  void takeArrays(Model& m);
  void numberEquations(Model& m);
  void assemble(Model& m, bool rebuild);
  void findBandWidth(Model& m);
  bool updateHeads(Model& m, int iteration);
  void record(int iteration);
  void report(Model& m, int iterations);
  [[noreturn]] void zeroPivot(Model& m, const de4::Pivot& p);

  Settings s_;
  Mode mode_ = Mode::None;
  int order_ = 1, ncoef_ = 7, inner_ = 1;
  std::int64_t maxeq_ = 0;
  de4::System sys_;
  int* eqnum_ = nullptr;
  float* vector_ = nullptr;
  float* maxchange_ = nullptr;
  int* maxcell_ = nullptr;

  float prevDelt_ = 0.0f;
  int printedUp_ = 0, printedLow_ = 0, printedBandw_ = 0;
  int counter_ = 0;
  int factorisations_ = 0;

  // Largest change of the current pass, and the first non-finite change met in it.
  struct Change {
    float value = 0.0f;
    int k = 0, i = 0, j = 0;
  };
  Change largest_, bad_;
  bool diverged_ = false;
};

}  // namespace aqx
