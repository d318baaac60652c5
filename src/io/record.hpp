// The record engine: every file the program reads or writes goes through here.
//
// Units are small integers bound to files, opened as text (formatted, sequential) or as a byte
// stream (raw little-endian items, no record markers). Unit 0 is the console: writes go to
// standard output, reads come from standard input.
//
// Text output goes through formats in the FORMAT notation (see Format). Formats fixed in the
// program are written in the code exactly as in the listing layouts and parsed once, with AQX_FMT;
// formats that come from input at run time go through Format::runtime, which caches them.
//
// Failures the caller has no branch for throw IoError; the top level reports it on the console,
// closes every unit (so the listing keeps everything written before) and exits nonzero.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace aqx::io {

// The console (default unit).
inline constexpr int kConsole = 0;

enum class Form { Text, Stream };
enum class Access { Sequential, Direct };

// ---------------------------------------------------------------------------------------------
// Failures

// An I/O failure without a caller-supplied branch: end of file, unconvertible field,
// list-directed syntax error, bad run-time format, open failure, write error.
// kind() is one of "end of file", "conversion error", "list-directed input error",
// "format error", "open error", "read error", "write error", "unit not open", "wrong form"
// (a formatted transfer on a byte stream or the reverse). unit() is -1 for internal records and
// for a format rejected before any unit was involved.
class IoError : public std::runtime_error {
 public:
  IoError(std::string kind, int unit, std::string file, long line, std::string detail);
  const std::string& kind() const { return kind_; }
  int unit() const { return unit_; }
  const std::string& file() const { return file_; }
  long line() const { return line_; }  // 1-based input line, 0 when unknown
  const std::string& detail() const { return detail_; }

 private:
  std::string kind_;
  int unit_;
  std::string file_;
  long line_;
  std::string detail_;
};

// Thrown to end the run after the stopping message has been written (an input error found by a
// package, a non-converged time step, a work array that is too small). No further listing text.
struct RunStop {
  int status = 1;
};
[[noreturn]] void stopRun(int status = 1);

// ---------------------------------------------------------------------------------------------
// Formats

class Format {
 public:
  // Parses a parenthesised format. A syntax error throws FormatError.
  explicit Format(std::string_view text);
  ~Format();
  Format(Format&&) noexcept;
  Format& operator=(Format&&) noexcept;
  const std::string& text() const;

  // A format read from input at run time, parsed once and cached by its text.
  static const Format& runtime(std::string_view text);

  struct Impl;
  const Impl& impl() const { return *impl_; }

 private:
  std::unique_ptr<Impl> impl_;
};

// A format that cannot be parsed, or that cannot be applied to the items of a transfer. It is an
// IoError (kind "format error"), so the top level reports it like any other I/O failure.
class FormatError : public IoError {
 public:
  explicit FormatError(const std::string& detail, int unit = -1, std::string file = "")
      : IoError("format error", unit, std::move(file), 0, detail) {}
};

// A format fixed in the program, parsed once per call site.
#define AQX_FMT(text)                                  \
  ([]() -> const ::aqx::io::Format& {                  \
    static const ::aqx::io::Format aqx_fmt_once(text); \
    return aqx_fmt_once;                               \
  }())

// ---------------------------------------------------------------------------------------------
// Items of a transfer list. Arrays are transferred in storage order.

class OutItem {
 public:
  enum class Kind : std::uint8_t { Int, Real4, Real8, Chars, Logical };
  OutItem(int v) : kind_(Kind::Int), n_(1) { s_.i = v; }
  OutItem(float v) : kind_(Kind::Real4), n_(1) { s_.f = v; }
  OutItem(double v) : kind_(Kind::Real8), n_(1) { s_.d = v; }
  OutItem(bool v) : kind_(Kind::Logical), n_(1) { s_.i = v ? 1 : 0; }
  OutItem(const char* s) : OutItem(std::string_view(s)) {}
  OutItem(const std::string& s) : OutItem(std::string_view(s)) {}
  OutItem(std::string_view s) : kind_(Kind::Chars), n_(s.size()), p_(s.data()) {}
  OutItem(std::span<const int> a) : kind_(Kind::Int), n_(a.size()), p_(a.data()), array_(true) {}
  OutItem(std::span<const float> a) : kind_(Kind::Real4), n_(a.size()), p_(a.data()), array_(true) {}
  OutItem(std::span<const double> a) : kind_(Kind::Real8), n_(a.size()), p_(a.data()), array_(true) {}
  OutItem(std::span<int> a) : OutItem(std::span<const int>(a)) {}
  OutItem(std::span<float> a) : OutItem(std::span<const float>(a)) {}
  OutItem(std::span<double> a) : OutItem(std::span<const double>(a)) {}

  Kind kind() const { return kind_; }
  bool isArray() const { return array_; }
  // Number of values (array length), or characters for a character item.
  std::size_t size() const { return n_; }
  int intAt(std::size_t k) const { return array_ ? static_cast<const int*>(p_)[k] : s_.i; }
  float real4At(std::size_t k) const { return array_ ? static_cast<const float*>(p_)[k] : s_.f; }
  double real8At(std::size_t k) const { return array_ ? static_cast<const double*>(p_)[k] : s_.d; }
  std::string_view chars() const { return {static_cast<const char*>(p_), n_}; }
  // The values in storage order (a scalar's own storage; logical as a 4-byte integer).
  const void* data() const { return array_ || kind_ == Kind::Chars ? p_ : static_cast<const void*>(&s_); }

 private:
  Kind kind_;
  std::size_t n_ = 1;
  const void* p_ = nullptr;
  bool array_ = false;
  union {
    int i;
    float f;
    double d;
  } s_{};
};

class InItem {
 public:
  enum class Kind : std::uint8_t { Int, Real4, Real8, Chars };
  // A character variable: its length is the string's current size (blank-padded on input).
  InItem(std::string& s) : kind_(Kind::Chars), n_(s.size()), p_(&s) {}
  InItem(int& v) : kind_(Kind::Int), n_(1), p_(&v) {}
  InItem(float& v) : kind_(Kind::Real4), n_(1), p_(&v) {}
  InItem(double& v) : kind_(Kind::Real8), n_(1), p_(&v) {}
  InItem(std::span<int> a) : kind_(Kind::Int), n_(a.size()), p_(a.data()) {}
  InItem(std::span<float> a) : kind_(Kind::Real4), n_(a.size()), p_(a.data()) {}
  InItem(std::span<double> a) : kind_(Kind::Real8), n_(a.size()), p_(a.data()) {}

  Kind kind() const { return kind_; }
  std::size_t size() const { return n_; }
  int* ints() const { return static_cast<int*>(p_); }
  float* real4s() const { return static_cast<float*>(p_); }
  double* real8s() const { return static_cast<double*>(p_); }
  std::string* chars() const { return static_cast<std::string*>(p_); }

 private:
  Kind kind_;
  std::size_t n_;
  void* p_;
};

// ---------------------------------------------------------------------------------------------
// Units

// Opens a unit on a named file. A missing file is created; an existing one is opened at its
// start (the first write to it replaces its content). Direct access is only an attribute here.
void open(int unit, const std::string& name, Form form = Form::Text, Access access = Access::Sequential,
          int recordLength = 0);
// Opens a unit on a file that must already exist (IoError "open" otherwise).
void openExisting(int unit, const std::string& name, Form form = Form::Text);
void close(int unit);                  // completes pending output; no-op when not open
void closeRange(int first, int last);  // every open unit in [first, last]
void closeAll();                       // every unit; used when the run ends
void flushAll();
bool isOpen(int unit);
bool fileExists(const std::string& name);
std::string fileName(int unit);  // name the unit is open on ("" when not open; "console" for 0)

// ---------------------------------------------------------------------------------------------
// Text transfers

// Formatted write of one statement (one or more records) under a format.
void writeItems(int unit, const Format& format, std::span<const OutItem> items);
template <class... T>
void write(int unit, const Format& format, const T&... values) {
  if constexpr (sizeof...(T) == 0) {
    writeItems(unit, format, {});
  } else {
    const OutItem items[] = {OutItem(values)...};
    writeItems(unit, format, items);
  }
}

// List-directed write: one record, a blank followed by the items (character items as they are).
void writeListItems(int unit, std::span<const OutItem> items);
template <class... T>
void writeList(int unit, const T&... values) {
  if constexpr (sizeof...(T) == 0) {
    writeListItems(unit, std::span<const OutItem>());
  } else {
    const OutItem items[] = {OutItem(values)...};
    writeListItems(unit, items);
  }
}

// Internal write: the record is a character variable of `length` characters (blank-padded).
std::string writeInternalItems(std::size_t length, const Format& format, std::span<const OutItem> items);
template <class... T>
std::string writeInternal(std::size_t length, const Format& format, const T&... values) {
  if constexpr (sizeof...(T) == 0) {
    return writeInternalItems(length, format, std::span<const OutItem>());
  } else {
    const OutItem items[] = {OutItem(values)...};
    return writeInternalItems(length, format, items);
  }
}

// Formatted read of one statement under a format. End of file and conversion errors throw.
void readItems(int unit, const Format& format, std::span<const InItem> items);
template <class... T>
void read(int unit, const Format& format, T&&... targets) {
  if constexpr (sizeof...(T) == 0) {
    readItems(unit, format, std::span<const InItem>());
  } else {
    const InItem items[] = {InItem(targets)...};
    readItems(unit, format, items);
  }
}

// Reads one line as "(A)" into `line`, whose current size is the variable's length: longer lines
// are cut, shorter ones padded with blanks. tryReadLine returns false at end of file (the
// name-file and console branch); readLine throws IoError there.
bool tryReadLine(int unit, std::string& line);
void readLine(int unit, std::string& line);

// List-directed read of one statement; the rest of its last line is discarded.
void readListItems(int unit, std::span<const InItem> items);
template <class... T>
void readList(int unit, T&&... targets) {
  if constexpr (sizeof...(T) == 0) {
    readListItems(unit, std::span<const InItem>());
  } else {
    const InItem items[] = {InItem(targets)...};
    readListItems(unit, items);
  }
}

// A record of scalars (or arrays) in the fixed columns of `fixed`, or list-directed when the
// model reads its records in free format.
template <class... T>
void readFixedOrFree(int unit, bool freeFormat, const Format& fixed, T&&... targets) {
  if (freeFormat) {
    readList(unit, std::forward<T>(targets)...);
  } else {
    read(unit, fixed, std::forward<T>(targets)...);
  }
}

// Internal read from a character variable; returns false (the conversion-error branch) when a
// field cannot be converted, leaving the targets in an unspecified state.
bool readInternalItems(std::string_view record, const Format& format, std::span<const InItem> items);
template <class... T>
bool readInternal(std::string_view record, const Format& format, T&&... targets) {
  if constexpr (sizeof...(T) == 0) {
    return readInternalItems(record, format, std::span<const InItem>());
  } else {
    const InItem items[] = {InItem(targets)...};
    return readInternalItems(record, format, items);
  }
}

// ---------------------------------------------------------------------------------------------
// Byte-stream transfers: items back to back, little-endian, no record markers.

void writeBinaryItems(int unit, std::span<const OutItem> items);
template <class... T>
void writeBinary(int unit, const T&... values) {
  if constexpr (sizeof...(T) == 0) {
    writeBinaryItems(unit, std::span<const OutItem>());
  } else {
    const OutItem items[] = {OutItem(values)...};
    writeBinaryItems(unit, items);
  }
}
void readBinaryItems(int unit, std::span<const InItem> items);
template <class... T>
void readBinary(int unit, T&&... targets) {
  if constexpr (sizeof...(T) == 0) {
    readBinaryItems(unit, std::span<const InItem>());
  } else {
    const InItem items[] = {InItem(targets)...};
    readBinaryItems(unit, items);
  }
}

}  // namespace aqx::io
