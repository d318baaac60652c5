#include "post/map.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <stdexcept>

namespace aqx::post {
namespace {

constexpr int kLegendWidth = 130;
constexpr int kMinHeight = 200;
constexpr int kBarLeft = 15, kBarWidth = 22, kBarTop = 12;
constexpr int kSwatchHeight = 14;

int barBottom(int height) {
  return height - 2 * kSwatchHeight - 12;
}

std::string label(double v) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.5g", v);
  return buf;
}

double cellValue(const MapInput& in, int i, int j) {
  return in.values[static_cast<std::size_t>(i) * in.ncol + j];
}

// One contour piece in pixel coordinates.
struct Segment {
  double x0, y0, x1, y1;
};

// Marching squares over the cell centres; squares with a masked corner get no line.
template <class Emit>
void contourSegments(const MapInput& in, const MapLayout& L, double level, Emit&& emit) {
  std::vector<double> cx(in.ncol), cy(in.nrow);
  for (int j = 0; j < in.ncol; ++j) cx[j] = 0.5 * (L.xEdge[j] + L.xEdge[j + 1]);
  for (int i = 0; i < in.nrow; ++i) cy[i] = 0.5 * (L.yEdge[i] + L.yEdge[i + 1]);
  for (int i = 0; i + 1 < in.nrow; ++i) {
    for (int j = 0; j + 1 < in.ncol; ++j) {
      const float a = in.values[static_cast<std::size_t>(i) * in.ncol + j];
      const float b = in.values[static_cast<std::size_t>(i) * in.ncol + j + 1];
      const float c = in.values[static_cast<std::size_t>(i + 1) * in.ncol + j + 1];
      const float d = in.values[static_cast<std::size_t>(i + 1) * in.ncol + j];
      const bool ha = a >= level, hb = b >= level, hc = c >= level, hd = d >= level;
      if (ha == hb && hb == hc && hc == hd) continue;
      if (isMasked(a, in.maskValues) || isMasked(b, in.maskValues) || isMasked(c, in.maskValues) ||
          isMasked(d, in.maskValues))
        continue;
      double px[4], py[4];
      int n = 0;
      auto cross = [&](double v0, double v1, double x0, double y0, double x1, double y1) {
        const double t = (level - v0) / (v1 - v0);
        px[n] = x0 + t * (x1 - x0);
        py[n] = y0 + t * (y1 - y0);
        ++n;
      };
      if (ha != hb) cross(a, b, cx[j], cy[i], cx[j + 1], cy[i]);
      if (hb != hc) cross(b, c, cx[j + 1], cy[i], cx[j + 1], cy[i + 1]);
      if (hc != hd) cross(c, d, cx[j + 1], cy[i + 1], cx[j], cy[i + 1]);
      if (hd != ha) cross(d, a, cx[j], cy[i + 1], cx[j], cy[i]);
      if (n >= 2) emit(Segment{px[0], py[0], px[1], py[1]});
      if (n == 4) emit(Segment{px[2], py[2], px[3], py[3]});
    }
  }
}

// A 3 x 5 pixel font for the legend's numbers.
int glyphRows(char ch, int row) {
  static const char* const kChars = "0123456789.-e+";
  static const int kGlyphs[][5] = {{7, 5, 5, 5, 7}, {2, 6, 2, 2, 7}, {7, 1, 7, 4, 7}, {7, 1, 7, 1, 7},
                                   {5, 5, 7, 1, 1}, {7, 4, 7, 1, 7}, {7, 4, 7, 5, 7}, {7, 1, 1, 1, 1},
                                   {7, 5, 7, 5, 7}, {7, 5, 7, 1, 7}, {0, 0, 0, 0, 2}, {0, 0, 7, 0, 0},
                                   {0, 7, 5, 6, 7}, {0, 2, 7, 2, 0}};
  for (int k = 0; kChars[k] != '\0'; ++k)
    if (kChars[k] == ch) return kGlyphs[k][row];
  return 0;
}

class Painter {
 public:
  explicit Painter(Raster& r) : r_(r) {}
  void set(int x, int y, Rgb c) {
    if (x >= 0 && y >= 0 && x < r_.width && y < r_.height)
      r_.pixels[static_cast<std::size_t>(y) * r_.width + x] = c;
  }
  void box(int x0, int y0, int x1, int y1, Rgb c) {
    for (int y = y0; y < y1; ++y)
      for (int x = x0; x < x1; ++x) set(x, y, c);
  }
  void line(const Segment& s, Rgb c, int maxX, int maxY) {
    const double dx = s.x1 - s.x0, dy = s.y1 - s.y0;
    const int steps = std::max(1, static_cast<int>(std::ceil(std::max(std::fabs(dx), std::fabs(dy)))));
    for (int k = 0; k <= steps; ++k) {
      const int x = static_cast<int>(std::floor(s.x0 + dx * k / steps));
      const int y = static_cast<int>(std::floor(s.y0 + dy * k / steps));
      if (x < maxX && y < maxY) set(x, y, c);
    }
  }
  void text(int x, int y, const std::string& s, int scale) {
    for (std::size_t n = 0; n < s.size(); ++n)
      for (int row = 0; row < 5; ++row)
        for (int col = 0; col < 3; ++col)
          if (glyphRows(s[n], row) & (4 >> col))
            box(x + (static_cast<int>(n) * 4 + col) * scale, y + row * scale,
                x + (static_cast<int>(n) * 4 + col + 1) * scale, y + (row + 1) * scale, kContourColour);
  }

 private:
  Raster& r_;
};

}  // namespace

bool isMasked(float v, const std::vector<float>& maskValues) {
  if (!std::isfinite(v) || std::fabs(v) >= 1e30f || v == -999.99f) return true;
  return std::find(maskValues.begin(), maskValues.end(), v) != maskValues.end();
}

Rgb scaleColour(double value, double lo, double hi) {
  static const double kStops[5][3] = {
      {40, 40, 160}, {30, 140, 230}, {60, 190, 110}, {245, 220, 50}, {215, 40, 30}};
  double t = hi > lo ? (value - lo) / (hi - lo) : 0.5;
  t = std::clamp(t, 0.0, 1.0) * 4.0;
  const int k = std::min(3, static_cast<int>(t));
  const double f = t - k;
  auto mix = [&](int c) {
    return static_cast<std::uint8_t>(std::lround(kStops[k][c] + f * (kStops[k + 1][c] - kStops[k][c])));
  };
  return Rgb{mix(0), mix(1), mix(2)};
}

std::vector<double> contourLevels(double lo, double hi, double interval) {
  std::vector<double> levels;
  if (!(hi > lo)) return levels;
  if (interval <= 0.0) {
    const double raw = (hi - lo) / 10.0;
    const double mag = std::pow(10.0, std::floor(std::log10(raw)));
    interval = mag;
    for (double m : {2.0, 5.0, 10.0})
      if (interval < raw) interval = m * mag;
  }
  if ((hi - lo) / interval > 1000.0)
    throw std::invalid_argument("the contour interval gives more than 1000 lines");
  for (double k = std::ceil(lo / interval); k * interval <= hi && levels.size() <= 1001; k += 1.0)
    levels.push_back(k * interval);
  return levels;
}

MapLayout layoutMap(const MapInput& in) {
  if (in.ncol < 1 || in.nrow < 1 || in.values.size() != static_cast<std::size_t>(in.ncol) * in.nrow)
    throw std::invalid_argument("the layer holds no cells");
  if ((!in.delr.empty() && in.delr.size() != static_cast<std::size_t>(in.ncol)) ||
      (!in.delc.empty() && in.delc.size() != static_cast<std::size_t>(in.nrow)))
    throw std::invalid_argument("the cell sizes do not match the layer's " + std::to_string(in.nrow) +
                                " rows and " + std::to_string(in.ncol) + " columns");
  if (in.width < 10 || in.width > 20000) throw std::invalid_argument("the width is 10 to 20000 pixels");
  MapLayout L;
  double sx = 0.0, sy = 0.0;
  for (int j = 0; j < in.ncol; ++j) sx += in.delr.empty() ? 1.0 : in.delr[j];
  for (int i = 0; i < in.nrow; ++i) sy += in.delc.empty() ? 1.0 : in.delc[i];
  const double scale = in.width / sx;
  L.mapWidth = in.width;
  L.mapHeight = static_cast<int>(std::clamp(std::lround(sy * scale), 1L, 20000L));
  if (static_cast<double>(L.mapWidth) * L.mapHeight > 64e6)
    throw std::invalid_argument("the map would exceed 64 million pixels: give a smaller --width");
  const double yscale = L.mapHeight / sy;
  L.xEdge.assign(1, 0.0);
  L.yEdge.assign(1, 0.0);
  double acc = 0.0;
  for (int j = 0; j < in.ncol; ++j) L.xEdge.push_back((acc += in.delr.empty() ? 1.0 : in.delr[j]) * scale);
  acc = 0.0;
  for (int i = 0; i < in.nrow; ++i) L.yEdge.push_back((acc += in.delc.empty() ? 1.0 : in.delc[i]) * yscale);
  L.width = L.mapWidth + kLegendWidth;
  L.height = std::max(L.mapHeight, kMinHeight);
  for (float v : in.values) {
    if (isMasked(v, in.maskValues)) continue;
    if (!L.any) L.lo = L.hi = v;
    L.any = true;
    L.lo = std::min(L.lo, static_cast<double>(v));
    L.hi = std::max(L.hi, static_cast<double>(v));
  }
  L.levels = contourLevels(L.lo, L.hi, in.interval);
  return L;
}

Raster renderRaster(const MapInput& in, const MapLayout& L) {
  Raster r;
  r.width = L.width;
  r.height = L.height;
  r.pixels.assign(static_cast<std::size_t>(r.width) * r.height, kBackground);
  // The cell under each pixel centre, by column and by row.
  std::vector<int> colOf(L.mapWidth), rowOf(L.mapHeight);
  for (int x = 0, j = 0; x < L.mapWidth; ++x) {
    while (j + 1 < in.ncol && L.xEdge[j + 1] <= x + 0.5) ++j;
    colOf[x] = j;
  }
  for (int y = 0, i = 0; y < L.mapHeight; ++y) {
    while (i + 1 < in.nrow && L.yEdge[i + 1] <= y + 0.5) ++i;
    rowOf[y] = i;
  }
  std::vector<Rgb> rowColours(in.ncol);
  int lastRow = -1;
  for (int y = 0; y < L.mapHeight; ++y) {
    if (rowOf[y] != lastRow) {
      lastRow = rowOf[y];
      for (int j = 0; j < in.ncol; ++j) {
        const float v = static_cast<float>(cellValue(in, lastRow, j));
        rowColours[j] = isMasked(v, in.maskValues) ? kMaskColour : scaleColour(v, L.lo, L.hi);
      }
    }
    Rgb* out = &r.pixels[static_cast<std::size_t>(y) * r.width];
    for (int x = 0; x < L.mapWidth; ++x) out[x] = rowColours[colOf[x]];
  }
  Painter p(r);
  for (double level : L.levels)
    contourSegments(in, L, level,
                    [&](const Segment& s) { p.line(s, kContourColour, L.mapWidth, L.mapHeight); });

  // Legend: the scale from the highest value at the top to the lowest, a tick per contour level,
  // the two end values, and a grey swatch for masked cells.
  const int x0 = L.mapWidth + kBarLeft, top = kBarTop, bottom = barBottom(L.height);
  for (int y = top; y < bottom; ++y) {
    const double t = bottom - 1 > top ? static_cast<double>(bottom - 1 - y) / (bottom - 1 - top) : 0.5;
    p.box(x0, y, x0 + kBarWidth, y + 1, scaleColour(L.lo + t * (L.hi - L.lo), L.lo, L.hi));
  }
  if (L.any && L.hi > L.lo) {
    for (double level : L.levels) {
      const int y =
          static_cast<int>(std::lround(bottom - 1 - (level - L.lo) / (L.hi - L.lo) * (bottom - 1 - top)));
      p.box(x0 + kBarWidth, y, x0 + kBarWidth + 5, y + 1, kContourColour);
    }
  }
  if (L.any) {
    p.text(x0 + kBarWidth + 8, top, label(L.hi), 2);
    p.text(x0 + kBarWidth + 8, bottom - 10, label(L.lo), 2);
  }
  p.box(x0, bottom + 10, x0 + kBarWidth, bottom + 10 + kSwatchHeight, kMaskColour);
  return r;
}

std::string renderSvg(const MapInput& in, const MapLayout& L) {
  std::string s;
  s.reserve(static_cast<std::size_t>(in.ncol) * in.nrow * 8 + 4096);
  char buf[256];
  auto hex = [](Rgb c) {
    char h[8];
    std::snprintf(h, sizeof h, "#%02x%02x%02x", c.r, c.g, c.b);
    return std::string(h);
  };
  std::snprintf(
      buf, sizeof buf,
      "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"%d\" height=\"%d\" viewBox=\"0 0 %d %d\">\n",
      L.width, L.height, L.width, L.height);
  s += buf;
  std::string title = in.title;
  std::string escaped;
  for (char c : title)
    escaped += c == '<' ? "&lt;" : c == '>' ? "&gt;" : c == '&' ? "&amp;" : std::string(1, c);
  s += "<title>" + escaped +
       "</title>\n<rect width=\"100%\" height=\"100%\" fill=\"#ffffff\"/>\n<g class=\"cells\">\n";
  // One rectangle per run of cells of one colour along a row.
  for (int i = 0; i < in.nrow; ++i) {
    int j = 0;
    while (j < in.ncol) {
      const float v = static_cast<float>(cellValue(in, i, j));
      const bool masked = isMasked(v, in.maskValues);
      const Rgb c = masked ? kMaskColour : scaleColour(v, L.lo, L.hi);
      int end = j + 1;
      while (end < in.ncol) {
        const float w = static_cast<float>(cellValue(in, i, end));
        const bool m2 = isMasked(w, in.maskValues);
        if (m2 != masked || (m2 ? kMaskColour : scaleColour(w, L.lo, L.hi)) != c) break;
        ++end;
      }
      std::snprintf(buf, sizeof buf,
                    "<rect x=\"%.2f\" y=\"%.2f\" width=\"%.2f\" height=\"%.2f\" fill=\"%s\"%s/>\n",
                    L.xEdge[j], L.yEdge[i], L.xEdge[end] - L.xEdge[j], L.yEdge[i + 1] - L.yEdge[i],
                    hex(c).c_str(), masked ? " class=\"masked\"" : "");
      s += buf;
      j = end;
    }
  }
  s += "</g>\n<g class=\"contours\" fill=\"none\" stroke=\"#000000\" stroke-width=\"1\">\n";
  for (double level : L.levels) {
    s += "<path data-level=\"" + label(level) + "\" d=\"";
    contourSegments(in, L, level, [&](const Segment& g) {
      std::snprintf(buf, sizeof buf, "M%.2f %.2fL%.2f %.2f", g.x0, g.y0, g.x1, g.y1);
      s += buf;
    });
    s += "\"/>\n";
  }
  s += "</g>\n<g class=\"legend\" font-family=\"sans-serif\" font-size=\"11\">\n";
  const int x0 = L.mapWidth + kBarLeft, top = kBarTop, bottom = barBottom(L.height);
  const int bands = 64;
  for (int k = 0; k < bands; ++k) {
    const double t = (bands - 1 - k) / static_cast<double>(bands - 1);
    const double y = top + (bottom - top) * static_cast<double>(k) / bands;
    std::snprintf(buf, sizeof buf, "<rect x=\"%d\" y=\"%.2f\" width=\"%d\" height=\"%.2f\" fill=\"%s\"/>\n",
                  x0, y, kBarWidth, (bottom - top) / static_cast<double>(bands) + 0.5,
                  hex(scaleColour(L.lo + t * (L.hi - L.lo), L.lo, L.hi)).c_str());
    s += buf;
  }
  if (L.any && L.hi > L.lo) {
    for (double level : L.levels) {
      const double y = bottom - (level - L.lo) / (L.hi - L.lo) * (bottom - top);
      std::snprintf(buf, sizeof buf,
                    "<line x1=\"%d\" y1=\"%.2f\" x2=\"%d\" y2=\"%.2f\" stroke=\"#000000\"/>"
                    "<text x=\"%d\" y=\"%.2f\">%s</text>\n",
                    x0 + kBarWidth, y, x0 + kBarWidth + 5, y, x0 + kBarWidth + 8, y + 4,
                    label(level).c_str());
      s += buf;
    }
  }
  std::snprintf(
      buf, sizeof buf,
      "<rect x=\"%d\" y=\"%d\" width=\"%d\" height=\"%d\" fill=\"%s\"/><text x=\"%d\" y=\"%d\">no flow / "
      "dry</text>\n",
      x0, bottom + 10, kBarWidth, kSwatchHeight, hex(kMaskColour).c_str(), x0 + kBarWidth + 6, bottom + 21);
  s += buf;
  s += "</g>\n</svg>\n";
  return s;
}

}  // namespace aqx::post
