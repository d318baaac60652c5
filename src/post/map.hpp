// Maps of one layer (heads, drawdowns): cells filled from a colour scale, contour lines, masked
// cells (inactive, dry) in grey, a legend, and cells drawn to scale from their widths. The
// raster and the SVG text come from the same layout; PNG encoding is in map_png.cpp.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace aqx::post {

struct MapInput {
  int ncol = 0, nrow = 0;
  std::vector<float> values;       // row after row, column fastest
  std::vector<double> delr, delc;  // empty: every cell 1 x 1
  std::vector<float> maskValues;   // values that mark no-flow or dry cells
  double interval = 0.0;           // contour interval; 0 chooses one
  int width = 800;                 // width of the map area in pixels (the legend comes beside it)
  std::string title;
};

struct Rgb {
  std::uint8_t r = 0, g = 0, b = 0;
  bool operator==(const Rgb&) const = default;
};

inline constexpr Rgb kMaskColour{170, 170, 170};
inline constexpr Rgb kBackground{255, 255, 255};
inline constexpr Rgb kContourColour{0, 0, 0};

// True for a value that marks a cell without a head: any of `maskValues`, a magnitude of 1e30 or
// more (the no-flow head of many models), -999.99 (a common dry-cell head), or not finite.
bool isMasked(float v, const std::vector<float>& maskValues);

// The colour of a value on the scale from lo to hi (blue through green and yellow to red).
Rgb scaleColour(double value, double lo, double hi);

// Contour levels between lo and hi: multiples of the interval, or of a round interval giving
// about ten levels when interval is 0.
std::vector<double> contourLevels(double lo, double hi, double interval);

struct Raster {
  int width = 0, height = 0;
  std::vector<Rgb> pixels;  // row after row
  Rgb at(int x, int y) const { return pixels[static_cast<std::size_t>(y) * width + x]; }
};

// Geometry shared by both outputs: the map area's pixel size and the range of unmasked values.
struct MapLayout {
  int mapWidth = 0, mapHeight = 0;  // the map area, at the top left of the image
  int width = 0, height = 0;        // the whole image with the legend
  double lo = 0.0, hi = 0.0;        // range of unmasked values (both 0 when every cell is masked)
  bool any = false;
  std::vector<double> xEdge, yEdge;  // cell edges in pixels: ncol + 1 and nrow + 1 values
  std::vector<double> levels;
};
// FileError-free: sizes are checked by the caller; throws std::invalid_argument on bad input.
MapLayout layoutMap(const MapInput& in);

Raster renderRaster(const MapInput& in, const MapLayout& layout);
std::string renderSvg(const MapInput& in, const MapLayout& layout);

// Writes the raster as an 8-bit RGB PNG (FileError when the file cannot be written). Present only
// when the tool is built with libpng.
void writePng(const Raster& raster, const std::string& path);
// The same PNG image as bytes in memory (for pages that embed it).
std::string encodePng(const Raster& raster);

}  // namespace aqx::post
