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

bool isDigit(char c) {
  return c >= '0' && c <= '9';
}

char upper(char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

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
  if (!any) return false;  // a sign without digits
  if (neg) v = -v;
  if (v > INT_MAX || v < INT_MIN) return false;
  out = static_cast<int>(v);
  return true;
}

namespace {

// Parses an optionally signed number with optional point and exponent. fracDigits gives the
// implied fraction digits when there is no point; k the scale factor used when there is no
// exponent. blanks: 0 none allowed (list-directed), 1 ignored (BN), 2 read as zeros after the
// first non-blank (BZ).
bool parseReal(std::string_view s, int blanks, int fracDigits, int k, double* outD, float* outF) {
  auto zero = [&](bool negative) {
    if (outD) *outD = negative ? -0.0 : 0.0;
    if (outF) *outF = negative ? -0.0f : 0.0f;
    return true;
  };
  std::size_t i = 0, n = s.size();
  if (blanks) {
    while (i < n && s[i] == ' ') ++i;
    if (i == n) return zero(false);  // a blank field
  }
  // The field without its blanks (BN) or with them turned into zeros (BZ).
  char field[kMaxFieldWidth + 8];
  std::size_t len = 0;
  bool signOnly = (s[i] == '+' || s[i] == '-');
  for (std::size_t j = i; j < n; ++j) {
    char c = s[j];
    if (c == ' ') {
      if (blanks == 0) return false;
      if (blanks == 1) continue;
      c = '0';
    } else if (j > i) {
      signOnly = false;
    }
    if (len >= kMaxFieldWidth) return false;
    field[len++] = c;
  }
  if (len == 0) return false;
  if (signOnly && blanks) return zero(false);  // a sign with nothing after it reads as zero

  char buf[kMaxFieldWidth + 32];
  int blen = 0;
  std::size_t p = 0;
  bool neg = false;
  if (field[p] == '+' || field[p] == '-') {
    neg = field[p] == '-';
    ++p;
  }
  if (neg) buf[blen++] = '-';
  int digits = 0, afterPoint = 0;
  bool point = false;
  for (; p < len; ++p) {
    char c = field[p];
    if (isDigit(c)) {
      if (!(blen == (neg ? 1 : 0) && c == '0')) buf[blen++] = c;  // drop leading zeros
      if (point) ++afterPoint;
      ++digits;
    } else if (c == '.' && !point) {
      point = true;
    } else {
      break;
    }
  }
  bool expo = false;
  long expVal = 0;
  if (p < len) {
    char u = upper(field[p]);
    bool negExp = false;
    if (u == 'E' || u == 'D' || u == 'Q') {
      ++p;
      if (p < len && (field[p] == '+' || field[p] == '-')) negExp = field[p++] == '-';
    } else if (u == '+' || u == '-') {
      negExp = u == '-';
      ++p;
    } else {
      return false;
    }
    if (p == len) return false;  // an exponent needs digits
    for (; p < len; ++p) {
      if (!isDigit(field[p])) return false;
      expVal = expVal * 10 + (field[p] - '0');
      if (expVal >= 10000) return false;  // no value has an exponent this large
    }
    if (negExp) expVal = -expVal;
    expo = true;
  }
  if (digits == 0) {
    // a point or an exponent without mantissa digits reads as zero (not in list-directed input)
    if (blanks == 0) return false;
    return zero(neg);
  }
  if (blen == (neg ? 1 : 0)) buf[blen++] = '0';  // every digit was a leading zero
  long scale = point ? -afterPoint : -static_cast<long>(fracDigits);
  scale += expo ? expVal : -k;
  buf[blen++] = 'e';
  const char* end = std::to_chars(buf + blen, buf + sizeof buf, scale).ptr;
  std::errc ec;
  const char* stop;
  if (outF) {
    auto r = std::from_chars(buf, end, *outF);
    ec = r.ec;
    stop = r.ptr;
  } else {
    auto r = std::from_chars(buf, end, *outD);
    ec = r.ec;
    stop = r.ptr;
  }
  if (ec == std::errc::result_out_of_range) {
    // Below the smallest value the target holds: zero. Beyond its range: not convertible.
    bool tiny = scale + (blen - (neg ? 1 : 0) - 2) < 0;
    if (tiny) return zero(neg);
    return false;
  }
  return ec == std::errc() && stop == end;
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
