// Internals of the record engine shared by the format parser, the edit routines and the
// transfer statements. Not for use outside src/io.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "io/record.hpp"

namespace aqx::io::detail {

// Limits that keep hostile formats from exhausting memory or time.
inline constexpr int kMaxFieldWidth = 4000;         // w, d, m of a data edit descriptor
inline constexpr int kMaxExponentDigits = 9;        // e of Ew.dEe
inline constexpr int kMaxPosition = 100000;         // n of nX, Tn, TLn, TRn
inline constexpr int kMaxNesting = 64;              // depth of parenthesised groups
inline constexpr long kMaxDatalessWork = 10000000;  // expansions of a group without data descriptors
inline constexpr std::size_t kMaxRecord = 1 << 20;  // characters in one output record

enum class OpCode : std::uint8_t {
  I,        // Iw.m
  F,        // Fw.d
  E,        // Ew.d, Ew.dEe
  D,        // Dw.d
  G,        // Gw.d, Gw.dEe
  L,        // Lw
  A,        // A, Aw (w = 0 when absent)
  Literal,  // apostrophe or Hollerith text, repeated rep times
  X,        // move n (in w) forward
  T,        // to column n
  TL,       // n back
  TR,       // n forward
  Slash,    // end of record, repeated rep times
  Colon,    // stop when no items remain
  Scale,    // kP (k in d)
  BN,
  BZ,
  SignDefault,  // S, SS
  SignPlus,     // SP
  GroupBegin,   // rep = repeat count, w = index of matching GroupEnd
  GroupEnd,     // w = index of matching GroupBegin
  End,          // the closing parenthesis of the whole format
};

struct Op {
  OpCode code;
  bool hasE = false;  // exponent digits given (Ew.dEe, Gw.dEe)
  bool hasM = false;  // Iw.m
  std::int32_t rep = 1;
  std::int32_t w = 0;                    // width, or count for X/T/TL/TR, or jump index for groups
  std::int32_t d = 0;                    // digits, m for I, k for Scale
  std::int32_t e = 0;                    // exponent digits
  std::uint32_t litOff = 0, litLen = 0;  // literal text in Impl::literals
};

inline bool isData(OpCode c) {
  return c <= OpCode::A;
}

}  // namespace aqx::io::detail

namespace aqx::io {

struct Format::Impl {
  std::string text;
  std::vector<detail::Op> ops;
  std::string literals;
  int reversion = 0;     // op index control returns to when the format is exhausted
  bool hasData = false;  // whether any data edit descriptor exists
};

}  // namespace aqx::io

namespace aqx::io::detail {

// Numeric and character output editing. Each writes exactly w characters at out.
void editInt(char* out, int w, bool hasM, int m, long long v, bool plus);
void editF(char* out, int w, int d, int k, double x, bool plus);
void editE(char* out, int w, int d, int e, bool hasE, int k, double x, char letter, bool plus);
void editG(char* out, int w, int d, int e, bool hasE, int k, double x, bool plus);
void editL(char* out, int w, bool v);

// Input conversions of one field (the field text already padded to its width). Return false when
// the field cannot be converted.
bool convertInt(std::string_view field, bool blankZero, int& out);
bool convertReal(std::string_view field, int d, int k, bool blankZero, double* outD, float* outF);
// List-directed value forms.
bool convertListInt(std::string_view tok, int& out);
bool convertListReal(std::string_view tok, double* outD, float* outF);

}  // namespace aqx::io::detail
