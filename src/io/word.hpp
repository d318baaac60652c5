// NEXTWORD: the free-format word parser. Columns are 1-based; `line` is the caller's record
// (its size is the record length L) and is changed in place (column L is blanked; mode 1
// upper-cases the word; a silent conversion error puts 'E' in column L - 1).
#pragma once

#include <string>

namespace aqx::io {

// mode: 1 upper-case the word, 2 convert to integer, 3 convert to real, other: word unchanged.
// listunit: unit for a conversion-error message (0 console); negative: no message, no stop.
// inunit: unit the line came from (0 or less: keyboard).
void NEXTWORD(std::string& line, int& column, int& first, int& last, int mode, int& intval, float& realval,
              int listunit, int inunit);

}  // namespace aqx::io
