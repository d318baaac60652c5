// NEXTWORD: the free-format word parser. Columns are 1-based; `line` is the caller's record
// (its size is the record length L) and is changed in place (column L is blanked; mode 1
// upper-cases the word; a silent conversion error puts 'E' in column L - 1).
//
// Words: the parser as a reader of one line, with named operations instead of mode numbers.
#pragma once

#include <string>
#include <string_view>

namespace aqx::io {

// mode: 1 upper-case the word, 2 convert to integer, 3 convert to real, other: word unchanged.
// listunit: unit for a conversion-error message (0 console); negative: no message, no stop.
// inunit: unit the line came from (0 or less: keyboard).
void NEXTWORD(std::string& line, int& column, int& first, int& last, int mode, int& intval, float& realval,
              int listunit, int inunit);

// The words of one line, taken one after another from a column (1 at first). A word that does
// not convert is reported on `listunit` and stops the run, as NEXTWORD does.
class Words {
 public:
  Words(std::string& line, int listunit, int inunit, int column = 1)
      : line_(line), lu_(listunit), in_(inunit), col_(column) {}

  // The next word, upper-cased in the line.
  std::string_view upper() { return take(1); }
  // The next word as written.
  std::string_view asWritten() { return take(0); }
  // The next word converted to an integer or a real.
  int integer() { return integer(lu_); }
  // The same with another message unit (negative: a word that does not convert gives 0 and
  // marks the line, without a message).
  int integer(int listunit);
  float real();

  // Column where the next word is looked for; the bounds of the last word taken.
  int column() const { return col_; }
  void setColumn(int column) { col_ = column; }
  int first() const { return first_; }
  int last() const { return last_; }
  // The last word taken.
  std::string_view word() const;

 private:
  std::string_view take(int mode);

  std::string& line_;
  int lu_, in_;
  int col_ = 1, first_ = 0, last_ = 0;
};

}  // namespace aqx::io
