#include "io/budget_records.hpp"

#include <cstddef>
#include <span>
#include <string>
#include <vector>

#include "io/record.hpp"

namespace aqx::io {

namespace {

// Labels are stored as exactly 16 bytes, leading blanks kept.
std::string label16(std::string_view label) {
  std::string out(label.substr(0, label.size() < 16 ? label.size() : 16));
  out.resize(16, ' ');
  return out;
}

std::size_t cells(int columns, int rows, int layers) {
  if (columns <= 0 || rows <= 0 || layers <= 0) return 0;
  return static_cast<std::size_t>(columns) * static_cast<std::size_t>(rows) *
         static_cast<std::size_t>(layers);
}

// First and second header of the compact forms.
void compactHeader(int unit, int kstep, int kper, const std::string& label, int columns, int rows, int layers,
                   int method, float delt, float pertim, float totim) {
  writeBinary(unit, kstep, kper, label, columns, rows, -layers);
  writeBinary(unit, method, delt, pertim, totim);
}

}  // namespace

void UBUDSV(int kstep, int kper, std::string_view label, int unit, const float* values, int columns, int rows,
            int layers, int listunit) {
  const std::string text = label16(label);
  write(listunit,
        AQX_FMT("(1X,'UBUDSV SAVING \"',A16,'\" ON UNIT',I3,' AT TIME STEP',I3,', STRESS PERIOD',I3)"), text,
        unit, kstep, kper);
  writeBinary(unit, kstep, kper, text, columns, rows, layers);
  writeBinary(unit, std::span<const float>(values, cells(columns, rows, layers)));
}

void UBDSV1(int kstep, int kper, std::string_view label, int unit, const float* values, int columns, int rows,
            int layers, int listunit, float delt, float pertim, float totim) {
  const std::string text = label16(label);
  if (listunit > 0) {
    write(listunit,
          AQX_FMT("(1X,'UBDSV1 SAVING \"',A16,'\" ON UNIT',I4,' AT TIME STEP',I3,', STRESS PERIOD',I3)"),
          text, unit, kstep, kper);
  }
  compactHeader(unit, kstep, kper, text, columns, rows, layers, 1, delt, pertim, totim);
  writeBinary(unit, std::span<const float>(values, cells(columns, rows, layers)));
}

void UBDSV2(int kstep, int kper, std::string_view label, int unit, int columns, int rows, int layers,
            int entries, int listunit, float delt, float pertim, float totim) {
  const std::string text = label16(label);
  if (listunit > 0) {
    write(listunit,
          AQX_FMT("(1X,'UBDSV2 SAVING \"',A16,'\" ON UNIT',I4,' AT TIME STEP',I3,', STRESS PERIOD',I3)"),
          text, unit, kstep, kper);
  }
  compactHeader(unit, kstep, kper, text, columns, rows, layers, 2, delt, pertim, totim);
  writeBinary(unit, entries);
}

void CBCLISTITEM(int unit, int columns, int rows, int column, int row, int layer, float value) {
  const int cell = (layer - 1) * rows * columns + (row - 1) * columns + column;
  writeBinary(unit, cell, value);
}

void UBDSV3(int kstep, int kper, std::string_view label, int unit, const float* values, const int* indicator,
            int option, int columns, int rows, int layers, int listunit, float delt, float pertim,
            float totim) {
  const std::string text = label16(label);
  if (listunit > 0) {
    write(listunit,
          AQX_FMT("(1X,'UBDSV3 SAVING \"',A16,'\" ON UNIT',I4,' AT TIME STEP',I3,', STRESS PERIOD',I3)"),
          text, unit, kstep, kper);
  }
  const std::size_t layerCells = cells(columns, rows, 1);
  const bool method4 = option == 1;

  // Every indicated layer must exist before anything is written, so that a bad indicator never
  // leaves a partial record in the file.
  if (!method4) {
    for (std::size_t c = 0; c < layerCells; ++c) {
      const int k = indicator[c];
      if (k < 1 || k > layers) {
        const int row = static_cast<int>(c / static_cast<std::size_t>(columns)) + 1;
        const int column = static_cast<int>(c % static_cast<std::size_t>(columns)) + 1;
        write(listunit > 0 ? listunit : kConsole,
              AQX_FMT("(1X/1X,'LAYER INDICATOR',I6,' AT ROW',I6,', COLUMN',I6,' IS OUTSIDE LAYERS 1 TO',I4,"
                      "' WHILE SAVING \"',A16,'\" ON UNIT',I4)"),
              k, row, column, layers, text, unit);
        stopRun();
      }
    }
  }

  compactHeader(unit, kstep, kper, text, columns, rows, layers, method4 ? 4 : 3, delt, pertim, totim);
  if (method4) {
    writeBinary(unit, std::span<const float>(values, layerCells));
    return;
  }
  writeBinary(unit, std::span<const int>(indicator, layerCells));
  std::vector<float> picked(layerCells);
  for (std::size_t c = 0; c < layerCells; ++c) {
    picked[c] = values[static_cast<std::size_t>(indicator[c] - 1) * layerCells + c];
  }
  writeBinary(unit, std::span<const float>(picked));
}

}  // namespace aqx::io
