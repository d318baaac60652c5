// The array readers: an array control record, then the values (constant, text, binary, or a file
// opened for this one array), the multiplier, and the echo to the listing file.
#pragma once

#include <string_view>

namespace aqx::io {

// The unit on which an array control record's "OPEN/CLOSE" file is opened for one array.
inline constexpr int OPENCLOSEUNIT = 99;

// n single-precision values. `name` is the 24-character array name (leading blanks kept).
void READVEC(float* values, std::string_view name, int n, int inunit, int listunit);
// rows x columns values stored row after row, column fastest. k > 0 names a layer, 0 none,
// k < 0 a cross section.
void READIMAT(int* values, std::string_view name, int rows, int columns, int k, int inunit, int listunit);
void READRMAT(float* values, std::string_view name, int rows, int columns, int k, int inunit, int listunit);

}  // namespace aqx::io
