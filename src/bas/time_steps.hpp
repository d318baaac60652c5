// Arithmetic of the time steps of a stress period, shared by the basic package (which divides a
// period into steps) and the packages that need the period's length from its steps.
#pragma once

namespace aqx {

// x to the integer power n (n >= 0) by repeated squaring, every product rounded to single
// precision: the step multiplier raised to the number of steps.
inline float powInt(float x, int n) {
  float result = 1.0f;
  unsigned u = static_cast<unsigned>(n);
  while (u != 0) {
    if (u & 1u) result *= x;
    u >>= 1;
    if (u != 0) x *= x;
  }
  return result;
}

}  // namespace aqx
