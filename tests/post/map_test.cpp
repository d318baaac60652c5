// aqxpost map: a layer drawn to scale from the model's DELR/DELC, masked cells grey, colours from
// the scale, contour lines only where all four surrounding cells have a head; the PNG decoded
// back through libpng, the SVG read as text.
#include <gtest/gtest.h>

#ifdef AQX_HAVE_PNG
#include <png.h>
#endif

#include <cstdio>
#include <string>
#include <vector>

#include "io/layers.hpp"
#include "io/record.hpp"
#include "post/map.hpp"
#include "support/e2e.hpp"

namespace aqx {
namespace {

using post::Rgb;
using test::runPost;
using test::TempDir;

// 3 columns of 100, 300 and 100 m, 3 rows of 50, 100 and 50 m; the last row holds the three kinds
// of masked values (1e30, -999.99, and -888 given with --mask).
const float kValues[9] = {11, 14, 18, 12, 21, 27, 1e30f, -999.99f, -888.0f};

class Map : public ::testing::Test {
 protected:
  void SetUp() override {
    io::open(61, (dir / "m.hds").string(), io::Form::Stream);
    io::SAVLAYBIN(kValues, "            HEAD", 1, 1, 1.0f, 1.0f, 3, 3, 1, 61);
    io::close(61);
    dir.write("m.nam", "LIST 6 m.lst\nBAS 1 m.bas\nBCF 11 m.bcf\n");
    dir.write("m.bas", "map test\nunequal cells\n         1         3         3         1         4\n\n");
    dir.write("m.bcf",
              "         1         0\n 0\nCONSTANT 1.0\nINTERNAL 1.0 (FREE) 0\n100 300 100\n"
              "INTERNAL 1.0 (FREE) 0\n50 100 50\n");
  }
  TempDir dir;
};

#ifdef AQX_HAVE_PNG
// Reads an 8-bit RGB PNG; an empty raster when it is anything else.
post::Raster decodeFrom(std::FILE* f) {
  post::Raster r;
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_read_struct(&png, &info, nullptr);
    return post::Raster{};
  }
  png_init_io(png, f);
  png_read_info(png, info);
  if (png_get_color_type(png, info) == PNG_COLOR_TYPE_RGB && png_get_bit_depth(png, info) == 8) {
    r.width = static_cast<int>(png_get_image_width(png, info));
    r.height = static_cast<int>(png_get_image_height(png, info));
    r.pixels.resize(static_cast<std::size_t>(r.width) * r.height);
    for (int y = 0; y < r.height; ++y)
      png_read_row(png, reinterpret_cast<png_bytep>(&r.pixels[static_cast<std::size_t>(y) * r.width]),
                   nullptr);
  }
  png_destroy_read_struct(&png, &info, nullptr);
  return r;
}

post::Raster decodePng(const std::string& path) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return post::Raster{};
  post::Raster r = decodeFrom(f);
  std::fclose(f);
  return r;
}

TEST_F(Map, PngCellsToScaleMaskedGreyAndColouredFromTheScale) {
  // An interval with no multiple inside the range: no contour line covers the pixels looked at.
  test::RunResult run =
      runPost(dir.path(), {"map", "m.hds", "--period", "1", "--step", "1", "--png", "m.png", "--namefile",
                           "m.nam", "--mask", "-888", "--width", "500", "--interval", "1000"});
  ASSERT_EQ(run.status, 0) << run.err;
  const post::Raster r = decodePng((dir / "m.png").string());
  ASSERT_EQ(r.width, 500 + 130);  // 1 pixel per metre, then the legend
  ASSERT_EQ(r.height, 200);
  const int xs[3] = {50, 250, 450}, ys[3] = {25, 100, 175};
  for (int i = 0; i < 3; ++i) {
    for (int j = 0; j < 3; ++j) {
      const float v = kValues[3 * i + j];
      const Rgb want = i == 2 ? post::kMaskColour : post::scaleColour(v, 11.0, 27.0);
      EXPECT_EQ(r.at(xs[j], ys[i]), want) << "row " << i + 1 << " column " << j + 1;
    }
  }
  EXPECT_EQ(r.at(50, 25), (Rgb{40, 40, 160}));    // the lowest value: the bottom of the scale
  EXPECT_EQ(r.at(450, 100), (Rgb{215, 40, 30}));  // the highest: its top
  // Edges where DELR and DELC put them.
  EXPECT_EQ(r.at(99, 25), r.at(50, 25));
  EXPECT_EQ(r.at(100, 25), r.at(250, 25));
  EXPECT_EQ(r.at(399, 25), r.at(250, 25));
  EXPECT_EQ(r.at(400, 25), r.at(450, 25));
  EXPECT_EQ(r.at(50, 49), r.at(50, 25));
  EXPECT_EQ(r.at(50, 50), r.at(50, 100));
  EXPECT_EQ(r.at(50, 149), r.at(50, 100));
  EXPECT_EQ(r.at(50, 150), post::kMaskColour);

  // Without the name file every cell is square: 3 columns of 100 pixels, 3 rows of 100.
  run = runPost(dir.path(), {"map", "m.hds", "--period", "1", "--step", "1", "--png", "u.png", "--mask",
                             "-888", "--width", "300", "--interval", "1000"});
  ASSERT_EQ(run.status, 0) << run.err;
  const post::Raster u = decodePng((dir / "u.png").string());
  ASSERT_EQ(u.height, 300);
  EXPECT_EQ(u.at(99, 50), post::scaleColour(11, 11, 27));
  EXPECT_EQ(u.at(100, 50), post::scaleColour(14, 11, 27));
  EXPECT_EQ(u.at(150, 250), post::kMaskColour);
}

TEST_F(Map, PngContoursStopAtMaskedCells) {
  const test::RunResult run =
      runPost(dir.path(), {"map", "m.hds", "--period", "1", "--step", "1", "--png", "m.png", "--namefile",
                           "m.nam", "--mask", "-888", "--width", "500", "--interval", "5"});
  ASSERT_EQ(run.status, 0) << run.err;
  const post::Raster r = decodePng((dir / "m.png").string());
  ASSERT_EQ(r.width, 630);
  int above = 0, below = 0;
  for (int y = 0; y < 200; ++y)
    for (int x = 0; x < 500; ++x)
      if (r.at(x, y) == post::kContourColour) ++(y <= 100 ? above : below);
  EXPECT_GT(above, 100);  // levels 15, 20 and 25 cross the two upper rows
  EXPECT_EQ(below, 0);    // every square reaching the last row has a masked corner
}
#else
TEST_F(Map, PngSkipped) { GTEST_SKIP() << "aqxpost built without libpng"; }
#endif

TEST_F(Map, SvgHoldsCellsContoursAndLegend) {
  const test::RunResult run =
      runPost(dir.path(), {"map", "m.hds", "--period", "1", "--step", "1", "--svg", "m.svg", "--namefile",
                           "m.nam", "--mask", "-888", "--width", "500", "--interval", "5"});
  ASSERT_EQ(run.status, 0) << run.err;
  const std::string svg = dir.readText("m.svg");
  EXPECT_NE(svg.find("width=\"630\" height=\"200\""), std::string::npos);
  EXPECT_NE(svg.find("<title>HEAD, layer 1, period 1, step 1</title>"), std::string::npos);
  // The middle column is 300 wide and starts at 100; the masked last row is one grey run.
  EXPECT_NE(svg.find("<rect x=\"100.00\" y=\"0.00\" width=\"300.00\" height=\"50.00\""), std::string::npos);
  EXPECT_NE(svg.find("<rect x=\"0.00\" y=\"150.00\" width=\"500.00\" height=\"50.00\" fill=\"#aaaaaa\" "
                     "class=\"masked\"/>"),
            std::string::npos);
  for (const char* level : {"15", "20", "25"})
    EXPECT_NE(svg.find(std::string("<path data-level=\"") + level + "\" d=\"M"), std::string::npos) << level;
  EXPECT_EQ(svg.find("data-level=\"10\""), std::string::npos);
  EXPECT_NE(svg.find(">20</text>"), std::string::npos);
  EXPECT_NE(svg.find("no flow / dry"), std::string::npos);
}

TEST(MapLevels, RoundAutomaticIntervalsAndGivenOnes) {
  struct Case {
    double lo, hi, interval;
    std::vector<double> want;
  };
  const Case cases[] = {
      {0.0, 10.0, 0.0, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10}},
      {48.73, 50.0, 0.0, {48.8, 49.0, 49.2, 49.4, 49.6, 49.8, 50.0}},
      {-3.0, 31.0, 0.0, {0, 5, 10, 15, 20, 25, 30}},
      {11.0, 27.0, 5.0, {15, 20, 25}},
      {5.0, 5.0, 0.0, {}},
  };
  for (const Case& c : cases) {
    const std::vector<double> got = post::contourLevels(c.lo, c.hi, c.interval);
    ASSERT_EQ(got.size(), c.want.size()) << c.lo << ".." << c.hi;
    for (std::size_t n = 0; n < got.size(); ++n) EXPECT_NEAR(got[n], c.want[n], 1e-9);
  }
  EXPECT_THROW(post::contourLevels(0.0, 1.0, 1e-6), std::invalid_argument);
}

TEST_F(Map, RefusedRequests) {
  struct Case {
    std::vector<std::string> args;
    int status;
    std::string message;
  };
  dir.write("other.nam", "BAS 1 o.bas\nBCF 11 m.bcf\n");
  dir.write("o.bas", "x\ny\n         1         2         3         1         4\n\n");
  dir.write("bad.nam", "BAS 1 m.bas\nBCF 11 bad.bcf\n");
  dir.write("bad.bcf",
            "         1         0\n 0\nCONSTANT 1.0\nINTERNAL 1.0 (FREE) 0\n100 -3 100\nCONSTANT 1\n");
  const std::vector<std::string> base = {"map", "m.hds", "--period", "1", "--step", "1"};
  auto with = [&](std::vector<std::string> more) {
    std::vector<std::string> a = base;
    a.insert(a.end(), more.begin(), more.end());
    return a;
  };
  const Case cases[] = {
      {with({}), 2, "--png OUT or --svg OUT"},
      {with({"--svg", "x.svg", "--interval", "-1"}), 2, "--interval"},
      {with({"--svg", "x.svg", "--mask", "dry"}), 2, "--mask takes a number"},
      {with({"--svg", "x.svg", "--layer", "2"}), 1, "no record of layer 2"},
      {with({"--svg", "x.svg", "--namefile", "other.nam"}), 1, "2 rows and 3 columns"},
      {with({"--svg", "x.svg", "--namefile", "bad.nam"}), 1, "not positive"},
      {with({"--svg", "x.svg", "--namefile", "none.nam"}), 1, "cannot open the name file"},
      {with({"--svg", "x.svg", "--interval", "0.00001"}), 2, "more than 1000"},
  };
  for (const Case& c : cases) {
    const test::RunResult r = runPost(dir.path(), c.args);
    EXPECT_EQ(r.status, c.status) << c.message;
    EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
  }
}

}  // namespace
}  // namespace aqx
