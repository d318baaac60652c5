#include "solvers/de4_kernels.hpp"

#include <cmath>

namespace aqx::de4 {

namespace {

// t[x] = t[x] - q * s[x] for x = 0..n-1, every element (the caller has checked that q is finite).
// With a finite q a zero s[x] leaves t[x] exactly as it was (t is never -0 outside a diagonal, see
// bandColumn), so this gives the same bits as skipping the zero elements, and the loop vectorises.
#if defined(__GNUC__) && !defined(__clang__) && defined(__x86_64__)
__attribute__((target_clones("avx2", "default")))
#endif
void axpyAll(float* __restrict t, const float* __restrict s, float q, int n) {
  for (int x = 0; x < n; ++x) t[x] = t[x] - q * s[x];
}

// The same, skipping the zero elements of s: for a q that is not finite, where q * 0 is NaN.
void axpyNonZero(float* t, const float* s, float q, int n) {
  for (int x = 0; x < n; ++x) {
    if (s[x] != 0.0f) t[x] = t[x] - q * s[x];
  }
}

// Two updates of one target in a single pass: each element receives the first, then the second,
// exactly as two passes would give it, with half the loads and stores of the target.
#if defined(__GNUC__) && !defined(__clang__) && defined(__x86_64__)
__attribute__((target_clones("avx2", "default")))
#endif
void axpyTwo(float* __restrict t, const float* __restrict s1, float q1, const float* __restrict s2, float q2,
             int n) {
  for (int x = 0; x < n; ++x) t[x] = (t[x] - q1 * s1[x]) - q2 * s2[x];
}

// Off-diagonal band slots start at +0 and only ever receive differences a - b, which are -0 only
// when a is -0; so they are never -0, and subtracting q * (+-0) from them changes nothing. With a
// finite multiplier the update may therefore run over every element; otherwise q * 0 is NaN and
// the zeros are skipped as written.
inline void update(float* target, const float* src, float q, int n) {
  if (std::isfinite(q)) {
    axpyAll(target, src, q, n);
  } else {
    axpyNonZero(target, src, q, n);
  }
}

// One column i (1-based) of the band elimination: every slot k whose value is not zero updates
// slots 1.. of column i + k - 1 with slots k..bw of column i, and is replaced by its multiplier.
inline void bandColumn(const System& s, int i, float f) {
  float* col = &s.B(1, i);
  const int bw = s.bandw;
  for (int k = 2; k <= bw; ++k) {
    const float a = col[k - 1];
    if (a == 0.0f) continue;
    const float q = f * a;
    update(&s.B(1, i + k - 1), col + (k - 1), q, bw - k + 1);
    col[k - 1] = q;
  }
}

// Columns i and i + 1 together (i + 1 < nlow). Column i first updates column i + 1, which is then
// final; every later target column receives column i's update and then column i + 1's, element by
// element in that order, as one column after the other would give. Returns false when the pivot
// of column i + 1 is zero.
inline bool bandPair(const System& s, int i, float f1) {
  float* c1 = &s.B(1, i);
  float* c2 = &s.B(1, i + 1);
  const int bw = s.bandw;
  if (c1[1] != 0.0f) {
    const float q = f1 * c1[1];
    update(c2, c1 + 1, q, bw - 1);
    c1[1] = q;
  }
  if (c2[0] == 0.0f) return false;
  const float f2 = 1.0f / c2[0];
  for (int k = 3; k <= bw; ++k) {
    // Target column i + k - 1: slot k of column i, slot k - 1 of column i + 1.
    const float a1 = c1[k - 1], a2 = c2[k - 2];
    const int n1 = bw - k + 1, n2 = bw - k + 2;
    if (a1 != 0.0f && a2 != 0.0f) {
      float* t = &s.B(1, i + k - 1);
      const float q1 = f1 * a1, q2 = f2 * a2;
      if (std::isfinite(q1) && std::isfinite(q2)) {
        axpyTwo(t, c1 + (k - 1), q1, c2 + (k - 2), q2, n1);
        t[n1] = t[n1] - q2 * c2[k - 2 + n1];
      } else {
        update(t, c1 + (k - 1), q1, n1);
        update(t, c2 + (k - 2), q2, n2);
      }
      c1[k - 1] = q1;
      c2[k - 2] = q2;
    } else if (a1 != 0.0f) {
      const float q1 = f1 * a1;
      update(&s.B(1, i + k - 1), c1 + (k - 1), q1, n1);
      c1[k - 1] = q1;
    } else if (a2 != 0.0f) {
      const float q2 = f2 * a2;
      update(&s.B(1, i + k - 1), c2 + (k - 2), q2, n2);
      c2[k - 2] = q2;
    }
  }
  if (bw >= 2 && c2[bw - 1] != 0.0f) {
    const float q2 = f2 * c2[bw - 1];
    update(&s.B(1, i + bw), c2 + (bw - 1), q2, 1);
    c2[bw - 1] = q2;
  }
  return true;
}

}  // namespace

Pivot factor(const System& s) {
  // Upper part: eliminating each upper equation adds its contribution to the reduced lower matrix.
  for (int I = 1; I <= s.nup; ++I) {
    const int L = s.P(1, I);
    const float d = s.U(1, I);
    if (d == 0.0f) return {I, true};
    const float f = 1.0f / d;
    for (int J = 2; J <= L; ++J) {
      const int E = s.P(J, I);
      const int e = E - s.nup;
      const float q = f * s.U(J, I);
      for (int JJ = J; JJ <= L; ++JJ) {
        float& t = s.B(s.P(JJ, I) - E + 1, e);
        t = t - q * s.U(JJ, I);
      }
      s.U(J, I) = q;
    }
  }
  // Lower band. The last column has no entries beyond its diagonal; its pivot is checked here so
  // that the solution never divides by zero.
  for (int i = 1; i <= s.nlow;) {
    const float d = s.B(1, i);
    if (d == 0.0f) return {s.nup + i, false};
    if (i + 1 < s.nlow && s.bandw >= 3) {
      if (!bandPair(s, i, 1.0f / d)) return {s.nup + i + 1, false};
      i += 2;
    } else {
      if (i < s.nlow) bandColumn(s, i, 1.0f / d);
      ++i;
    }
  }
  return {};
}

void substitute(const System& s, float* b) {
  float* v = b - 1;  // 1-based
  const int nup = s.nup, nlow = s.nlow, bw = s.bandw;
  const int neq = nup + nlow;
  for (int I = 1; I <= nup; ++I) {
    const int L = s.P(1, I);
    for (int J = 2; J <= L; ++J) v[s.P(J, I)] = v[s.P(J, I)] - s.U(J, I) * v[I];
    v[I] = v[I] / s.U(1, I);
  }
  if (nlow > 0) {
    for (int i = 1; i < nlow; ++i) {
      const int n = nup + i;
      const float* col = &s.B(1, i);
      const float bn = v[n];
      for (int k = 2; k <= bw; ++k) {
        if (col[k - 1] != 0.0f) v[n + k - 1] = v[n + k - 1] - col[k - 1] * bn;
      }
      v[n] = v[n] / col[0];
    }
    v[neq] = v[neq] / s.B(1, nlow);
    for (int n = neq - 1; n >= nup + 1; --n) {
      const float* col = &s.B(1, n - nup);
      float x = v[n];
      for (int k = 2; k <= bw; ++k) {
        if (col[k - 1] != 0.0f) x = x - col[k - 1] * v[n + k - 1];
      }
      v[n] = x;
    }
  }
  for (int I = nup; I >= 1; --I) {
    const int L = s.P(1, I);
    float x = v[I];
    for (int J = 2; J <= L; ++J) x = x - s.U(J, I) * v[s.P(J, I)];
    v[I] = x;
  }
}

}  // namespace aqx::de4
