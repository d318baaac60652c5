// Printing layers to the listing file and saving them as binary or text layer records.
#pragma once

#include <string_view>

namespace aqx::io {

void COLHEAD(int firstColumn, int lastColumn, int leadingSpaces, int perLine, int width, int listunit);
// layer > 0: page heading for that layer; < 0: cross-section heading; 0: none.
void PRTLAYWRAP(const float* values, std::string_view label, int kstep, int kper, int columns, int rows,
                int layer, int printCode, int listunit);
void PRTLAYSTRIP(const float* values, std::string_view label, int kstep, int kper, int columns, int rows,
                 int layer, int printCode, int listunit);
void SAVLAYBIN(const float* values, std::string_view label, int kstep, int kper, float pertim, float totim,
               int columns, int rows, int layer, int unit);
void SAVLAYTXT(const float* values, std::string_view label, int kstep, int kper, float pertim, float totim,
               int columns, int rows, int layer, int unit, std::string_view format, int labelFlag);

}  // namespace aqx::io
