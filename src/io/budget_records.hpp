// Cell-by-cell budget records on byte-stream units: the full form and the compact forms.
#pragma once

#include <string_view>

namespace aqx::io {

void UBUDSV(int kstep, int kper, std::string_view label, int unit, const float* values, int columns, int rows,
            int layers, int listunit);
void UBDSV1(int kstep, int kper, std::string_view label, int unit, const float* values, int columns, int rows,
            int layers, int listunit, float delt, float pertim, float totim);
void UBDSV2(int kstep, int kper, std::string_view label, int unit, int columns, int rows, int layers,
            int entries, int listunit, float delt, float pertim, float totim);
void CBCLISTITEM(int unit, int columns, int rows, int column, int row, int layer, float value);
// option 1: method 4 (first layer, no indicator); otherwise method 3 with the indicator array.
void UBDSV3(int kstep, int kper, std::string_view label, int unit, const float* values, const int* indicator,
            int option, int columns, int rows, int layers, int listunit, float delt, float pertim, float totim);

}  // namespace aqx::io
