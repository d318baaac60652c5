// Output editing of numbers under I, F, E, D, G and L. Digits come from exact decimal conversion of
// the binary value (std::to_chars with a precision rounds correctly, ties to even), so a float item
// widened to double prints its exact value.
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "io/format_internal.hpp"

namespace aqx::io::detail {

namespace {

constexpr int kBuf = 12000;  // fixed notation of 1e308 with the widest d and scale factor
char g_conv[kBuf];           // output of to_chars
char g_body[kBuf];           // the field before right-justification

void stars(char* out, int w) {
  std::memset(out, '*', static_cast<std::size_t>(w));
}

// Right-justifies body[0, len) in w columns (asterisks when it does not fit).
void place(char* out, int w, const char* body, int len) {
  if (len > w) return stars(out, w);
  std::memset(out, ' ', static_cast<std::size_t>(w - len));
  std::memcpy(out + (w - len), body, static_cast<std::size_t>(len));
}

// Infinity and NaN, the way the common runtimes write them.
void editSpecial(char* out, int w, double x, bool plus) {
  if (std::isnan(x)) return place(out, w, "NaN", 3);
  bool neg = std::signbit(x);
  const char* word = w >= 8 + (neg || plus ? 1 : 0) ? "Infinity" : "Inf";
  int len = 0;
  if (neg) {
    g_body[len++] = '-';
  } else if (plus) {
    g_body[len++] = '+';
  }
  std::size_t n = std::strlen(word);
  std::memcpy(g_body + len, word, n);
  len += static_cast<int>(n);
  place(out, w, g_body, len);
}

using u128 = unsigned __int128;

constexpr std::uint64_t kPow10u[20] = {1ULL,
                                       10ULL,
                                       100ULL,
                                       1000ULL,
                                       10000ULL,
                                       100000ULL,
                                       1000000ULL,
                                       10000000ULL,
                                       100000000ULL,
                                       1000000000ULL,
                                       10000000000ULL,
                                       100000000000ULL,
                                       1000000000000ULL,
                                       10000000000000ULL,
                                       100000000000000ULL,
                                       1000000000000000ULL,
                                       10000000000000000ULL,
                                       100000000000000000ULL,
                                       1000000000000000000ULL,
                                       10000000000000000000ULL};

// q = ax * 10^p rounded to the nearest integer, ties to even, computed exactly in 128-bit integer
// arithmetic from the binary value (ax = m * 2^e). False when the operands or q do not fit; the
// caller then falls back to the general conversion.
bool roundScaled(double ax, int p, std::uint64_t& q) {
  if (p < -19 || p > 19) return false;
  if (ax == 0) {
    q = 0;
    return true;
  }
  // ax = m * 2^e exactly
  std::uint64_t bits = std::bit_cast<std::uint64_t>(ax);
  int biased = static_cast<int>((bits >> 52) & 0x7ff);
  std::uint64_t m = bits & ((std::uint64_t{1} << 52) - 1);
  int e = -1074;
  if (biased != 0) {
    m |= std::uint64_t{1} << 52;
    e = biased - 1075;
  }
  int tz = __builtin_ctzll(m);
  m >>= tz;
  e += tz;
  u128 num = m, den = 1;
  if (p >= 0) {
    num *= kPow10u[p];  // below 2^117
  } else {
    den = kPow10u[-p];
  }
  if (e > 0) {
    if (e >= 127 || (num >> (127 - e)) != 0) return false;
    num <<= e;
  }
  u128 quo, rem;
  if (e < 0 && p >= 0) {
    int sh = -e;
    if (sh >= 127) return false;
    quo = num >> sh;
    rem = num & ((u128(1) << sh) - 1);
    den = u128(1) << sh;
  } else {
    if (e < 0) {
      if (-e >= 127 || (den >> (127 + e)) != 0) return false;
      den <<= -e;
    }
    quo = num / den;
    rem = num % den;
  }
  u128 twice = rem << 1;
  if (twice > den || (twice == den && (quo & 1))) ++quo;
  if ((quo >> 64) != 0) return false;
  q = static_cast<std::uint64_t>(quo);
  return true;
}

// nsig (>= 1) significant digits of ax > 0 into digits; returns the exponent X with
// ax ~ d.ddd * 10^X after rounding.
int sciDigits(double ax, int nsig, char* digits) {
  if (nsig <= 19) {
    // Estimate the decimal exponent from the binary one, then correct it by the size of q.
    int e2 = static_cast<int>((std::bit_cast<std::uint64_t>(ax) >> 52) & 0x7ff) - 1023;  // ~log2(ax)
    int x10 = static_cast<int>(std::floor(e2 * 0.30102999566398120));
    for (int iter = 0; iter < 4; ++iter) {
      std::uint64_t q = 0;
      if (!roundScaled(ax, nsig - 1 - x10, q)) break;
      if (q < kPow10u[nsig - 1]) {
        --x10;
        continue;
      }
      if (q >= kPow10u[nsig]) {
        ++x10;
        continue;
      }
      std::to_chars(digits, digits + 20, q);
      return x10;
    }
  }
  auto r = std::to_chars(g_conv, g_conv + kBuf, ax, std::chars_format::scientific, nsig - 1);
  const char* p = g_conv;
  int n = 0;
  while (p < r.ptr && *p != 'e') {
    if (*p != '.') digits[n++] = *p;
    ++p;
  }
  int ex = 0;
  std::from_chars(p + 1 + (p[1] == '+' ? 1 : 0), r.ptr, ex);
  return ex;
}

// Exact decimal exponent of ax > 0: 10^X <= ax < 10^(X+1). A double has at most about 17
// leading nines, so 30 digits never round up across a power of ten.
int exactExponent(double ax) {
  char tmp[40];
  return sciDigits(ax, 30, tmp);
}

constexpr double kPow10[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                             1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

}  // namespace

void editInt(char* out, int w, bool hasM, int m, long long v, bool plus) {
  if (hasM && m == 0 && v == 0) {
    std::memset(out, ' ', static_cast<std::size_t>(w));
    return;
  }
  char digits[24];
  unsigned long long a =
      v < 0 ? 0ULL - static_cast<unsigned long long>(v) : static_cast<unsigned long long>(v);
  int n = 0;
  do {
    digits[n++] = static_cast<char>('0' + a % 10);
    a /= 10;
  } while (a != 0);
  int zeros = hasM && m > n ? m - n : 0;
  int len = n + zeros + ((v < 0 || plus) ? 1 : 0);
  if (len > w) return stars(out, w);
  char* p = out;
  for (int i = 0; i < w - len; ++i) *p++ = ' ';
  if (v < 0) {
    *p++ = '-';
  } else if (plus) {
    *p++ = '+';
  }
  for (int i = 0; i < zeros; ++i) *p++ = '0';
  while (n > 0) *p++ = digits[--n];
}

void editL(char* out, int w, bool v) {
  std::memset(out, ' ', static_cast<std::size_t>(w - 1));
  out[w - 1] = v ? 'T' : 'F';
}

void editF(char* out, int w, int d, int k, double x, bool plus) {
  if (!std::isfinite(x)) return editSpecial(out, w, x, plus);
  bool neg = std::signbit(x);
  double ax = std::fabs(x);
  // Cheap rejection of values whose integer part alone cannot fit.
  if (k == 0 && w <= 22 && ax >= kPow10[w]) return stars(out, w);

  std::uint64_t q = 0;
  if (k == 0 && roundScaled(ax, d, q)) {
    // The common case: ax rounded to d places is q / 10^d with q in 64 bits.
    char dig[24];
    int nd = static_cast<int>(std::to_chars(dig, dig + sizeof dig, q).ptr - dig);
    int intLen = nd - d;
    char* b = g_conv + 1;
    int len = 0;
    if (intLen <= 0) {
      b[len++] = '0';
      b[len++] = '.';
      for (int i = 0; i < -intLen; ++i) b[len++] = '0';
      std::memcpy(b + len, dig, static_cast<std::size_t>(nd));
      len += nd;
    } else {
      std::memcpy(b, dig, static_cast<std::size_t>(intLen));
      len = intLen;
      b[len++] = '.';
      std::memcpy(b + len, dig + intLen, static_cast<std::size_t>(d));
      len += d;
    }
    if (b[0] == '0' && d > 0) {  // the zero before the point is optional unless it is the only digit
      int signLen = (neg || plus) ? 1 : 0;
      if (len + signLen > w) {
        ++b;
        --len;
      }
    }
    if (neg || plus) {
      *--b = neg ? '-' : '+';
      ++len;
    }
    return place(out, w, b, len);
  }

  if (k == 0 && d > 0) {
    // Without a scale factor the fixed-notation digits are the field as it stands ("0.46",
    // "123.46"); only the optional leading zero and the sign remain to be decided.
    char* b = g_conv + 1;
    int len = static_cast<int>(std::to_chars(b, g_conv + kBuf, ax, std::chars_format::fixed, d).ptr - b);
    if (b[0] == '0') {
      int signLen = (neg || plus) ? 1 : 0;
      if (len + signLen > w) {  // no room for the zero
        ++b;
        --len;
      }
    }
    if (neg || plus) {
      *--b = neg ? '-' : '+';
      ++len;
    }
    return place(out, w, b, len);
  }

  // Integer digits (ip, ni) and exactly d fraction digits (fp) of ax * 10^k rounded to d places.
  const char* ip = nullptr;
  int ni = 0;
  const char* fp = nullptr;
  int zerosBefore = 0;  // zeros between the point and fp
  int p = d + k;
  if (p >= 0) {
    auto r = std::to_chars(g_conv, g_conv + kBuf, ax, std::chars_format::fixed, p);
    int len = static_cast<int>(r.ptr - g_conv);
    int intLen = p > 0 ? len - p - 1 : len;
    int shifted = intLen + k;
    if (p > 0) {
      // move the point: remove it from the buffer so the digits are contiguous
      std::memmove(g_conv + intLen, g_conv + intLen + 1, static_cast<std::size_t>(p));
    }
    if (shifted <= 0) {
      // below one after the shift: -shifted zeros after the point, then every digit
      ip = g_conv;
      ni = 0;
      zerosBefore = -shifted;
      fp = g_conv;
    } else {
      ip = g_conv;
      ni = shifted;
      fp = g_conv + shifted;
    }
    while (ni > 0 && *ip == '0') {
      ++ip;
      --ni;
    }
  } else {
    // Rounding to a position left of the units digit: R = round(ax / 10^q), q = -p; the
    // result is R * 10^-d.
    int q = -p;
    int digitsLen = 0;
    if (ax != 0) {
      int ex = exactExponent(ax);
      int nsig = ex - q + 1;
      if (nsig >= 1) {
        int ex2 = sciDigits(ax, nsig, g_body);
        digitsLen = nsig;
        for (int z = ex2 - (nsig - 1) - q; z > 0; --z) g_body[digitsLen++] = '0';
      } else if (nsig == 0) {
        // ax in [10^(q-1), 10^q): R is 1 above one half of 10^q, 0 otherwise (a tie is even).
        char lead[800];
        sciDigits(ax, 770, lead);
        bool up = lead[0] > '5';
        if (lead[0] == '5')
          for (int i = 1; i < 770 && !up; ++i) up = lead[i] != '0';
        if (up) g_body[digitsLen++] = '1';
      }
    }
    std::memcpy(g_conv, g_body, static_cast<std::size_t>(digitsLen));
    if (digitsLen <= d) {
      ip = g_conv;
      ni = 0;
      zerosBefore = d - digitsLen;
      fp = g_conv;
    } else {
      ip = g_conv;
      ni = digitsLen - d;
      fp = g_conv + ni;
    }
    while (ni > 0 && *ip == '0') {
      ++ip;
      --ni;
    }
  }
  int nf = d - zerosBefore;
  if (nf < 0) {
    zerosBefore = d;
    nf = 0;
  }
  int signLen = (neg || plus) ? 1 : 0;
  int len = signLen + ni + 1 + d;
  // The zero before the point is optional, unless it would be the only digit.
  bool leadZero = ni == 0 && (len + 1 <= w || d == 0);
  if (leadZero) ++len;
  if (len > w) return stars(out, w);
  char* o = out;
  for (int i = 0; i < w - len; ++i) *o++ = ' ';
  if (neg) {
    *o++ = '-';
  } else if (plus) {
    *o++ = '+';
  }
  if (leadZero) *o++ = '0';
  std::memcpy(o, ip, static_cast<std::size_t>(ni));
  o += ni;
  *o++ = '.';
  for (int i = 0; i < zerosBefore; ++i) *o++ = '0';
  std::memcpy(o, fp, static_cast<std::size_t>(nf));
}

void editE(char* out, int w, int d, int e, bool hasE, int k, double x, char letter, bool plus) {
  if (!std::isfinite(x)) return editSpecial(out, w, x, plus);
  // The scale factor must satisfy -d < k <= 0 or 0 < k < d + 2.
  if ((k <= 0 && d + k <= 0) || (k > 0 && k >= d + 2)) return stars(out, w);
  bool neg = std::signbit(x);
  double ax = std::fabs(x);
  int nsig = k <= 0 ? d + k : d + 1;
  char digits[kMaxFieldWidth + 8];
  int ex = 0;
  if (ax == 0) {
    std::memset(digits, '0', static_cast<std::size_t>(nsig));
  } else {
    ex = sciDigits(ax, nsig, digits) + 1 - k;
  }
  // Exponent text.
  char expo[16];
  int ne = 0;
  int aex = ex < 0 ? -ex : ex;
  if (hasE) {
    long limit = 1;
    for (int i = 0; i < e; ++i) limit *= 10;
    if (aex >= limit) return stars(out, w);
    expo[ne++] = letter;
    expo[ne++] = ex < 0 ? '-' : '+';
    for (int i = e - 1; i >= 0; --i) {
      expo[ne + i] = static_cast<char>('0' + aex % 10);
      aex /= 10;
    }
    ne += e;
  } else if (aex <= 99) {
    expo[ne++] = letter;
    expo[ne++] = ex < 0 ? '-' : '+';
    expo[ne++] = static_cast<char>('0' + aex / 10);
    expo[ne++] = static_cast<char>('0' + aex % 10);
  } else if (aex <= 999) {
    expo[ne++] = ex < 0 ? '-' : '+';
    expo[ne++] = static_cast<char>('0' + aex / 100);
    expo[ne++] = static_cast<char>('0' + aex / 10 % 10);
    expo[ne++] = static_cast<char>('0' + aex % 10);
  } else {
    return stars(out, w);
  }
  int signLen = (neg || plus) ? 1 : 0;
  int mant = k <= 0 ? 1 + (-k) + nsig : nsig + 1;
  int len = signLen + mant + ne;
  bool leadZero = k <= 0 && len + 1 <= w;
  if (leadZero) ++len;
  if (len > w) return stars(out, w);
  char* o = out;
  for (int i = 0; i < w - len; ++i) *o++ = ' ';
  if (neg) {
    *o++ = '-';
  } else if (plus) {
    *o++ = '+';
  }
  if (k <= 0) {
    if (leadZero) *o++ = '0';
    *o++ = '.';
    for (int i = 0; i < -k; ++i) *o++ = '0';
    std::memcpy(o, digits, static_cast<std::size_t>(nsig));
    o += nsig;
  } else {
    std::memcpy(o, digits, static_cast<std::size_t>(k));
    o += k;
    *o++ = '.';
    std::memcpy(o, digits + k, static_cast<std::size_t>(nsig - k));
    o += nsig - k;
  }
  std::memcpy(o, expo, static_cast<std::size_t>(ne));
}

void editG(char* out, int w, int d, int e, bool hasE, int k, double x, bool plus) {
  if (!std::isfinite(x)) return editSpecial(out, w, x, plus);
  double ax = std::fabs(x);
  // The form is decided on the magnitude of the value before rounding: s digits before the point
  // with 10^(s-1) <= ax < 10^s, F form when 0.1 <= ax < 10^d.
  int s = 0;
  bool fForm = false;
  if (ax != 0 && ax >= 0.1) {  // the double nearest 0.1 lies above 0.1, so this test is exact
    if (d <= 22) {
      if (ax < kPow10[d]) {
        fForm = true;
        while (s < d && ax >= kPow10[s]) ++s;
      }
    } else {
      int ex = exactExponent(ax);
      if (ex < d) {
        fForm = true;
        s = ex + 1;
      }
    }
  }
  if (!fForm) return editE(out, w, d, e, hasE, k, x, 'E', plus);
  int n = hasE ? e + 2 : 4;
  if (w - n < 1) return stars(out, w);
  editF(out, w - n, d - s, 0, x, plus);
  if (out[0] == '*') return stars(out, w);  // too narrow: the whole field
  std::memset(out + (w - n), ' ', static_cast<std::size_t>(n));
}

}  // namespace aqx::io::detail
