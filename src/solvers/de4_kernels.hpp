// The elimination kernels of the DE4 direct solver, on the arrays as the package stores them.
//
// Equations are numbered 1..nup (upper part) then nup+1..nup+nlow (lower part). Upper equation I
// is column I of `upper`/`upptr` (ncoef slots each): slot 1 of `upper` the diagonal, slots 2..L
// the coefficients of its lower-part neighbours, whose equation numbers are in slots 2..L of
// `upptr` in increasing order; slot 1 of `upptr` holds L. Lower equation i is column i of `band`
// (mxbw slots): slot 1 the diagonal, slot k the entry coupling lower equations i and i + k - 1.
// All arrays are single precision; the factorisation works in place.
#pragma once

namespace aqx::de4 {

struct System {
  float* upper = nullptr;
  int* upptr = nullptr;
  float* band = nullptr;
  int ncoef = 0;  // slots per upper column
  int mxbw = 0;   // slots per band column
  int nup = 0;
  int nlow = 0;
  int bandw = 1;  // slots of a band column in use (band width plus 1)

  float& U(int slot, int eq) const { return upper[static_cast<long long>(eq - 1) * ncoef + (slot - 1)]; }
  int& P(int slot, int eq) const { return upptr[static_cast<long long>(eq - 1) * ncoef + (slot - 1)]; }
  float& B(int slot, int low) const { return band[static_cast<long long>(low - 1) * mxbw + (slot - 1)]; }
};

// Where a factorisation met a zero pivot: the equation number (1-based), or 0 when it did not.
struct Pivot {
  int equation = 0;
  bool upperPart = false;
};

// Eliminates the upper part into the band, then factors the band (entries that are exactly zero
// are skipped). Stops at the first zero pivot, leaving the arrays partly factored.
Pivot factor(const System& s);

// Solves with the factors in place on b (1-based equation numbers at index eq - 1): on entry the
// right-hand side, on exit the solution.
void substitute(const System& s, float* b);

}  // namespace aqx::de4
