// The head-change table of the solvers that keep one largest change per outer iteration (SIP,
// SOR): MAXCHANGE and MAXCHANGECELL in the work array, the largest change of one call with its
// cell, and the lines written at the end of a time step.
#pragma once

#include <cmath>
#include <cstdint>
#include <limits>

#include "driver/model.hpp"

namespace aqx {

// The largest head change of one call: first of equals in visiting order, signed value kept.
// A change that is not a finite number is remembered apart (the first one met), since it never
// compares greater than a finite largest change.
struct LargestChange {
  float abs = 0.0f;
  float signedValue = 0.0f;
  int k = 0, i = 0, j = 0;
  // The first change that is not a finite number, when there was one.
  bool nonFinite = false;
  float badValue = 0.0f;
  int badK = 0, badI = 0, badJ = 0;

  void offer(float change, int layer, int row, int column) {
    const float a = std::fabs(change);
    if (a > abs) {
      if (a > std::numeric_limits<float>::max()) {
        noteNonFinite(change, layer, row, column);
        return;
      }
      abs = a;
      signedValue = change;
      k = layer;
      i = row;
      j = column;
    } else if (!(a <= abs)) {  // NaN
      noteNonFinite(change, layer, row, column);
    }
  }

  // Takes in the result of cells visited after this one's.
  void merge(const LargestChange& later) {
    if (later.abs > abs) {
      abs = later.abs;
      signedValue = later.signedValue;
      k = later.k;
      i = later.i;
      j = later.j;
    }
    if (!nonFinite && later.nonFinite) noteNonFinite(later.badValue, later.badK, later.badI, later.badJ);
  }

  void noteNonFinite(float change, int layer, int row, int column) {
    if (nonFinite) return;
    nonFinite = true;
    badValue = change;
    badK = layer;
    badI = row;
    badJ = column;
  }
};

class HeadChangeTable {
 public:
  // Takes MAXCHANGE (mxiter reals) and MAXCHANGECELL (3 * mxiter integers) from the work array.
  void take(WorkArray& w, int mxiter);

  // Stores the largest change of outer iteration `kouter` (ignored outside 1..mxiter); after a
  // change that was not finite, that change and its cell.
  void record(int kouter, const LargestChange& big);
  void record(int kouter, float change, int layer, int row, int column);

  // End of a time step: "(1X)" when KSTEP is 1, the iteration count line, and the table of
  // iterations 1 to KOUTER when KSTEP is a multiple of `iprintint`, the step did not converge,
  // or it is the last step of the period.
  void endOfStep(const Model& m, int iprintint) const;

  int mxiter() const { return mxiter_; }
  const float* MAXCHANGE() const { return maxchange_; }
  const int* MAXCHANGECELL() const { return maxchangecell_; }

 private:
  int mxiter_ = 0;
  float* maxchange_ = nullptr;
  int* maxchangecell_ = nullptr;
};

}  // namespace aqx
