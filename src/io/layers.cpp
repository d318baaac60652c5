#include "io/layers.hpp"

#include <algorithm>
#include <cstddef>
#include <span>
#include <string>
#include <vector>

#include "io/record.hpp"
#include "io/text.hpp"

namespace aqx::io {

namespace {

constexpr int kHeadingWidth = 130;

// Writes the first `n` characters of `buffer` with "(1X,130A1)", one character per item.
void writeCharLine(int listunit, const std::string& buffer, int n) {
  std::vector<OutItem> items;
  items.reserve(static_cast<std::size_t>(n));
  for (int i = 0; i < n; ++i)
    items.emplace_back(std::string_view(buffer).substr(static_cast<std::size_t>(i), 1));
  writeItems(listunit, AQX_FMT("(1X,130A1)"), items);
}

// Places the label of column `j` so that its last digit is at 1-based position `p`. Up to 999 the
// label is the number itself. From 1000 on, the full number is used when it leaves at least one
// blank before it within the column width; otherwise its last three digits, so that labels never
// run into the previous column more than three-digit labels do.
void placeColumnLabel(std::string& buffer, int p, int j, int width) {
  std::string digits = std::to_string(j);
  if (j >= 1000 && static_cast<int>(digits.size()) >= width) digits = digits.substr(digits.size() - 3);
  const int n = static_cast<int>(digits.size());
  for (int d = 0; d < n; ++d) {
    const int pos = p - (n - 1 - d);
    if (pos >= 1 && pos <= kHeadingWidth)
      buffer[static_cast<std::size_t>(pos - 1)] = digits[static_cast<std::size_t>(d)];
  }
}

struct PrintLayout {
  int perLine;
  int leadingSpaces;
  int width;
};

int normaliseCode(int code) {
  return code < 1 || code > 18 ? 12 : code;
}

PrintLayout layoutOf(int code) {
  if (code == 1) return {11, 0, 11};
  if (code == 2) return {9, 0, 14};
  if (code <= 6) return {15, 3, 8};
  if (code <= 11) return {20, 3, 6};
  if (code == 12) return {10, 0, 12};
  return {10, 3, 7};
}

const Format& wrapFormat(int code) {
  switch (code) {
    case 1:
      return AQX_FMT("(1X,I3,2X,1P,G10.3,10(1X,G10.3),:/1(5X,11(1X,G10.3)))");
    case 2:
      return AQX_FMT("(1X,I3,2X,1P,G13.6,8(1X,G13.6),:/1(5X,9(1X,G13.6)))");
    case 3:
      return AQX_FMT("(1X,I3,1X,15(1X,F7.1),:/1(5X,15(1X,F7.1)))");
    case 4:
      return AQX_FMT("(1X,I3,1X,15(1X,F7.2),:/1(5X,15(1X,F7.2)))");
    case 5:
      return AQX_FMT("(1X,I3,1X,15(1X,F7.3),:/1(5X,15(1X,F7.3)))");
    case 6:
      return AQX_FMT("(1X,I3,1X,15(1X,F7.4),:/1(5X,15(1X,F7.4)))");
    case 7:
      return AQX_FMT("(1X,I3,1X,20(1X,F5.0),:/1(5X,20(1X,F5.0)))");
    case 8:
      return AQX_FMT("(1X,I3,1X,20(1X,F5.1),:/1(5X,20(1X,F5.1)))");
    case 9:
      return AQX_FMT("(1X,I3,1X,20(1X,F5.2),:/1(5X,20(1X,F5.2)))");
    case 10:
      return AQX_FMT("(1X,I3,1X,20(1X,F5.3),:/1(5X,20(1X,F5.3)))");
    case 11:
      return AQX_FMT("(1X,I3,1X,20(1X,F5.4),:/1(5X,20(1X,F5.4)))");
    case 13:
      return AQX_FMT("(1X,I3,1X,10(1X,F6.0),:/1(5X,10(1X,F6.0)))");
    case 14:
      return AQX_FMT("(1X,I3,1X,10(1X,F6.1),:/1(5X,10(1X,F6.1)))");
    case 15:
      return AQX_FMT("(1X,I3,1X,10(1X,F6.2),:/1(5X,10(1X,F6.2)))");
    case 16:
      return AQX_FMT("(1X,I3,1X,10(1X,F6.3),:/1(5X,10(1X,F6.3)))");
    case 17:
      return AQX_FMT("(1X,I3,1X,10(1X,F6.4),:/1(5X,10(1X,F6.4)))");
    case 18:
      return AQX_FMT("(1X,I3,1X,10(1X,F6.5),:/1(5X,10(1X,F6.5)))");
    default:
      return AQX_FMT("(1X,I3,2X,1P,G11.4,9(1X,G11.4),:/1(5X,10(1X,G11.4)))");
  }
}

const Format& stripFormat(int code) {
  switch (code) {
    case 1:
      return AQX_FMT("(1X,I3,2X,1P,G10.3,10(1X,G10.3))");
    case 2:
      return AQX_FMT("(1X,I3,2X,1P,G13.6,8(1X,G13.6))");
    case 3:
      return AQX_FMT("(1X,I3,1X,15(1X,F7.1))");
    case 4:
      return AQX_FMT("(1X,I3,1X,15(1X,F7.2))");
    case 5:
      return AQX_FMT("(1X,I3,1X,15(1X,F7.3))");
    case 6:
      return AQX_FMT("(1X,I3,1X,15(1X,F7.4))");
    case 7:
      return AQX_FMT("(1X,I3,1X,20(1X,F5.0))");
    case 8:
      return AQX_FMT("(1X,I3,1X,20(1X,F5.1))");
    case 9:
      return AQX_FMT("(1X,I3,1X,20(1X,F5.2))");
    case 10:
      return AQX_FMT("(1X,I3,1X,20(1X,F5.3))");
    case 11:
      return AQX_FMT("(1X,I3,1X,20(1X,F5.4))");
    case 13:
      return AQX_FMT("(1X,I3,1X,10(1X,F6.0))");
    case 14:
      return AQX_FMT("(1X,I3,1X,10(1X,F6.1))");
    case 15:
      return AQX_FMT("(1X,I3,1X,10(1X,F6.2))");
    case 16:
      return AQX_FMT("(1X,I3,1X,10(1X,F6.3))");
    case 17:
      return AQX_FMT("(1X,I3,1X,10(1X,F6.4))");
    case 18:
      return AQX_FMT("(1X,I3,1X,10(1X,F6.5))");
    default:
      return AQX_FMT("(1X,I3,2X,1P,G11.4,9(1X,G11.4))");
  }
}

void pageHeading(std::string_view label, int kstep, int kper, int layer, int listunit) {
  if (layer > 0) {
    write(listunit,
          AQX_FMT("('1'/2X,A,' IN LAYER',I3,' AT END OF TIME STEP',I3,' IN STRESS PERIOD',I3/2X,71('-'))"),
          label, layer, kstep, kper);
  } else if (layer < 0) {
    write(listunit,
          AQX_FMT("('1'/2X,A,' FOR CROSS SECTION AT END OF TIME STEP',I3,' IN STRESS PERIOD',I3/2X,77('-'))"),
          label, kstep, kper);
  }
}

std::size_t cellCount(int columns, int rows) {
  return columns > 0 && rows > 0 ? static_cast<std::size_t>(columns) * static_cast<std::size_t>(rows) : 0;
}

}  // namespace

void COLHEAD(int firstColumn, int lastColumn, int leadingSpaces, int perLine, int width, int listunit) {
  write(listunit, AQX_FMT("(1X)"));
  const int count = std::max(0, lastColumn - firstColumn + 1);
  const int per = std::max(0, std::min(count, perLine));
  const int total = leadingSpaces + per * width;
  if (total <= kHeadingWidth && perLine > 0) {
    for (int groupStart = firstColumn; groupStart <= lastColumn; groupStart += perLine) {
      const int groupEnd = std::min(lastColumn, groupStart + perLine - 1);
      std::string buffer(kHeadingWidth, ' ');
      int p = leadingSpaces;
      for (int j = groupStart; j <= groupEnd; ++j) {
        p += width;
        placeColumnLabel(buffer, p, j, width);
      }
      writeCharLine(listunit, buffer, std::clamp(p, 0, kHeadingWidth));
    }
  }
  writeCharLine(listunit, std::string(kHeadingWidth, '.'), std::clamp(total, 0, kHeadingWidth));
}

void PRTLAYWRAP(const float* values, std::string_view label, int kstep, int kper, int columns, int rows,
                int layer, int printCode, int listunit) {
  pageHeading(label, kstep, kper, layer, listunit);
  const int code = normaliseCode(printCode);
  const PrintLayout lay = layoutOf(code);
  COLHEAD(1, columns, lay.leadingSpaces, lay.perLine, lay.width, listunit);
  const Format& f = wrapFormat(code);
  const std::size_t nc = static_cast<std::size_t>(std::max(columns, 0));
  for (int r = 1; r <= rows; ++r) {
    write(listunit, f, r, std::span<const float>(values + static_cast<std::size_t>(r - 1) * nc, nc));
  }
}

void PRTLAYSTRIP(const float* values, std::string_view label, int kstep, int kper, int columns, int rows,
                 int layer, int printCode, int listunit) {
  const int code = normaliseCode(printCode);
  const PrintLayout lay = layoutOf(code);
  const int n = lay.perLine;
  if (columns < 1) return;
  const int strips = (columns - 1) / n + 1;
  const Format& f = stripFormat(code);
  const std::size_t nc = static_cast<std::size_t>(columns);
  for (int s = 1; s <= strips; ++s) {
    const int j1 = 1 + (s - 1) * n;
    const int j2 = std::min(j1 + n - 1, columns);
    pageHeading(label, kstep, kper, layer, listunit);
    COLHEAD(j1, j2, lay.leadingSpaces, n, lay.width, listunit);
    for (int r = 1; r <= rows; ++r) {
      const float* row = values + static_cast<std::size_t>(r - 1) * nc + static_cast<std::size_t>(j1 - 1);
      write(listunit, f, r, std::span<const float>(row, static_cast<std::size_t>(j2 - j1 + 1)));
    }
  }
}

void SAVLAYBIN(const float* values, std::string_view label, int kstep, int kper, float pertim, float totim,
               int columns, int rows, int layer, int unit) {
  writeBinary(unit, kstep, kper, pertim, totim, fit(label, 16), columns, rows, layer);
  writeBinary(unit, std::span<const float>(values, cellCount(columns, rows)));
}

void SAVLAYTXT(const float* values, std::string_view label, int kstep, int kper, float pertim, float totim,
               int columns, int rows, int layer, int unit, std::string_view format, int labelFlag) {
  const std::string format20 = fit(format, 20);
  if (labelFlag != 0) {
    write(unit, AQX_FMT("(1X,2I5,1P,2E15.6,1X,A,3I6,1X,A)"), kstep, kper, pertim, totim, label, columns, rows,
          layer, format20);
  }
  const Format& f = Format::runtime(trimRight(format20));
  const std::size_t nc = static_cast<std::size_t>(std::max(columns, 0));
  for (int r = 0; r < rows; ++r) {
    write(unit, f, std::span<const float>(values + static_cast<std::size_t>(r) * nc, nc));
  }
}

}  // namespace aqx::io
