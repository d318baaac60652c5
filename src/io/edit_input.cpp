// Input conversion of numeric fields. A real field is rewritten into canonical "digits e exponent"
// form and converted by std::from_chars for the target's own precision, so a float target is
// correctly rounded from the text (not through double).
#include <charconv>
#include <climits>
#include <cmath>
#include <system_error>

#include "io/format_internal.hpp"

namespace aqx::io::detail {

namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }

char upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

}  // namespace

bool convertInt(std::string_view field, bool blankZero, int& out) {
  std::size_t i = 0, n = field.size();
  while (i < n && field[i] == ' ') ++i;
  if (i == n) {
    out = 0;
    return true;
  }
  bool neg = false;
  if (field[i] == '+' || field[i] == '-') {
    neg = field[i] == '-';
    ++i;
  }
  long long v = 0;
  bool any = false;
  for (; i < n; ++i) {
    char c = field[i];
    if (c == ' ') {
      if (!blankZero) continue;
      c = '0';
    }
    if (!isDigit(c)) return false;
    v = v * 10 + (c - '0');
    if (v > static_cast<long long>(INT_MAX) + 1) return false;
    any = true;
  }
  if (!any && (i > 0 && (field[i - 1] == '+' || field[i - 1] == '-'))) {
    // a sign alone reads as zero
  }
  if (neg) v = -v;
  if (v > INT_MAX || v < INT_MIN) return false;
  out = static_cast<int>(v);
  return true;
}

namespace {

// Parses an optionally signed number with optional point and exponent. fracDigits gives the
// implied fraction digits when there is no point; k the scale factor used when there is no
// exponent. blanks: 0 none allowed, 1 ignored, 2 read as zeros (after the first non-blank).
bool parseReal(std::string_view s, int blanks, int fracDigits, int k, double* outD, float* outF) {
  char buf[kMaxFieldWidth + 32];
  std::size_t i = 0, n = s.size();
  if (blanks) {
    while (i < n && s[i] == ' ') ++i;
  }
  if (i == n) {
    if (outD) *outD = 0;
    if (outF) *outF = 0;
    return true;
  }
  int len = 0;
  bool neg = false;
  if (s[i] == '+' || s[i] == '-') {
    neg = s[i] == '-';
    ++i;
  }
  if (neg) buf[len++] = '-';
  int digits = 0;      // mantissa digits seen
  int afterPoint = 0;  // digits after the point
  bool point = false;
  bool expo = false;
  long expVal = 0;
  bool expNeg = false;
  bool expDigits = false;
  for (; i < n; ++i) {
    char c = s[i];
    if (c == ' ') {
      if (blanks == 0) return false;
      if (blanks == 1) continue;
      c = '0';
    }
    if (!expo) {
      if (isDigit(c)) {
        // leading zeros carry no information; dropping them keeps the buffer short
        if (!(digits == 0 && c == '0' && !point)) {
          if (len >= kMaxFieldWidth + 16) return false;
          buf[len++] = c;
        }
        if (point) ++afterPoint;
        ++digits;
        continue;
      }
      if (c == '.') {
        if (point) return false;
        point = true;
        continue;
      }
      char u = upper(c);
      if (u == 'E' || u == 'D' || u == 'Q') {
        expo = true;
        if (i + 1 < n && (s[i + 1] == '+' || s[i + 1] == '-')) {
          expNeg = s[i + 1] == '-';
          ++i;
        }
        continue;
      }
      if (c == '+' || c == '-') {
        expo = true;
        expNeg = c == '-';
        continue;
      }
      return false;
    }
    if (!isDigit(c)) return false;
    if (expVal < 100000) expVal = expVal * 10 + (c - '0');
    expDigits = true;
  }
  if (digits == 0) return false;
  if (expo && !expDigits && blanks == 0) return false;
  if (len == (neg ? 1 : 0)) buf[len++] = '0';  // all the digits were leading zeros
  long scale = point ? -afterPoint : -static_cast<long>(fracDigits);
  if (expo) {
    scale += expNeg ? -expVal : expVal;
  } else {
    scale -= k;
  }
  buf[len++] = 'e';
  auto r = std::to_chars(buf + len, buf + sizeof buf, scale);
  const char* end = r.ptr;
  if (outF) {
    auto res = std::from_chars(buf, end, *outF);
    if (res.ec == std::errc::result_out_of_range) {
      // tiny values become zero; values beyond the range cannot be stored
      if (scale < 0) {
        *outF = neg ? -0.0f : 0.0f;
        return true;
      }
      return false;
    }
    return res.ec == std::errc() && res.ptr == end;
  }
  auto res = std::from_chars(buf, end, *outD);
  if (res.ec == std::errc::result_out_of_range) {
    if (scale < 0) {
      *outD = neg ? -0.0 : 0.0;
      return true;
    }
    return false;
  }
  return res.ec == std::errc() && res.ptr == end;
}

}  // namespace

bool convertReal(std::string_view field, int d, int k, bool blankZero, double* outD, float* outF) {
  return parseReal(field, blankZero ? 2 : 1, d, k, outD, outF);
}

bool convertListInt(std::string_view tok, int& out) {
  if (tok.empty()) return false;
  std::size_t i = 0;
  bool neg = false;
  if (tok[0] == '+' || tok[0] == '-') {
    neg = tok[0] == '-';
    i = 1;
  }
  if (i == tok.size()) return false;
  long long v = 0;
  for (; i < tok.size(); ++i) {
    if (!isDigit(tok[i])) return false;
    v = v * 10 + (tok[i] - '0');
    if (v > static_cast<long long>(INT_MAX) + 1) return false;
  }
  if (neg) v = -v;
  if (v > INT_MAX || v < INT_MIN) return false;
  out = static_cast<int>(v);
  return true;
}

bool convertListReal(std::string_view tok, double* outD, float* outF) {
  if (tok.empty()) return false;
  return parseReal(tok, 0, 0, 0, outD, outF);
}

}  // namespace aqx::io::detail
