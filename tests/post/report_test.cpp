// aqxpost report on the demo run: the page is self-contained and holds the summary, the budget
// rows of the demo's terms, one map per layer and the charts; then a headless browser renders it
// and the screenshot shows drawn maps and charts (kept as an artefact of the build).
#include <gtest/gtest.h>

#ifdef AQX_HAVE_PNG
#include <png.h>
#endif

#include <cstdio>
#include <filesystem>
#include <regex>
#include <set>
#include <string>

#include "support/e2e.hpp"

namespace aqx {
namespace {

using test::TempDir;

std::size_t count(const std::string& text, const std::string& what) {
  std::size_t n = 0;
  for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

class Report : public ::testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::copy(test::sourcePath("examples/demo"), dir.path(),
                          std::filesystem::copy_options::recursive);
    ASSERT_EQ(test::runAquifex(dir.path(), {"demo.nam"}).status, 0);
    const test::RunResult r = test::runPost(dir.path(), {"report", "demo.nam", "--out", "report.html"});
    ASSERT_EQ(r.status, 0) << r.err;
    page = dir.readText("report.html");
  }
  TempDir dir;
  std::string page;
};

TEST_F(Report, PageIsSelfContainedAndHoldsEverySection) {
  EXPECT_EQ(page.find("http:"), std::string::npos);
  EXPECT_EQ(page.find("https:"), std::string::npos);
  EXPECT_EQ(page.find("<script"), std::string::npos);
  // Every src= is embedded data.
  EXPECT_EQ(count(page, "src="), count(page, "src=\"data:image/png;base64,"));
  EXPECT_NE(page.find("2 layers, 15 rows, 20 columns"), std::string::npos);
  for (const char* type : {"BAS", "BCF", "WEL", "DRN", "RIV", "PCG", "OC"})
    EXPECT_NE(page.find(std::string("<td class=\"l\">") + type + "</td>"), std::string::npos) << type;
  // Two printed budgets (end of each period) with a row per term.
  for (const char* term : {"STORAGE", "CONSTANT HEAD", "WELLS", "DRAINS", "RIVER LEAKAGE"})
    EXPECT_EQ(count(page, std::string("<td class=\"l\">") + term + "</td>"), 2u) << term;
  // The last step of period 2 pumps 4000 in total (the three wells of period 2).
  EXPECT_NE(
      page.find("<td>8</td><td>6.048e+06 seconds</td><td class=\"l\">WELLS</td><td>0</td><td>4000</td>"),
      std::string::npos);
  // Iterations of all 13 steps, from the solver's lines.
  const auto steps = page.find("<table class=\"steps\">");
  ASSERT_NE(steps, std::string::npos);
  EXPECT_EQ(count(page.substr(steps, page.find("</table>", steps) - steps), "<tr><td>"), 13u);
#ifdef AQX_HAVE_PNG
  EXPECT_EQ(count(page, "<img class=\"map\""), 2u);
#else
  EXPECT_EQ(count(page, "<svg class=\"map\""), 2u);
#endif
  for (const char* chart : {"chart budget", "chart discrepancy", "chart iterations", "chart hydrograph"})
    EXPECT_EQ(count(page, chart), 1u) << chart;
  // The three well cells have one hydrograph each.
  EXPECT_NE(page.find("layer 2, row 8, column 12"), std::string::npos);
  EXPECT_NE(page.find("layer 2, row 11, column 6"), std::string::npos);
}

#ifdef AQX_HAVE_PNG
// Any PNG as 8-bit RGB (alpha dropped); width 0 when it cannot be read.
struct Image {
  int width = 0, height = 0;
  std::vector<unsigned char> rgb;
};
Image decode(const std::string& path) {
  Image im;
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return im;
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_read_struct(&png, &info, nullptr);
    std::fclose(f);
    return Image{};
  }
  png_init_io(png, f);
  png_read_info(png, info);
  png_set_expand(png);
  png_set_strip_16(png);
  png_set_strip_alpha(png);
  png_set_gray_to_rgb(png);
  png_read_update_info(png, info);
  im.width = static_cast<int>(png_get_image_width(png, info));
  im.height = static_cast<int>(png_get_image_height(png, info));
  im.rgb.resize(static_cast<std::size_t>(im.width) * im.height * 3);
  for (int y = 0; y < im.height; ++y)
    png_read_row(png, &im.rgb[static_cast<std::size_t>(y) * im.width * 3], nullptr);
  png_destroy_read_struct(&png, &info, nullptr);
  std::fclose(f);
  return im;
}

// Distinct colours and the share of non-white pixels in rows y0..y1 of the image.
std::pair<std::size_t, double> stats(const Image& im, int y0, int y1) {
  std::set<unsigned> colours;
  std::size_t ink = 0, all = 0;
  for (int y = y0; y < y1 && y < im.height; ++y)
    for (int x = 0; x < im.width; ++x) {
      const unsigned char* p = &im.rgb[(static_cast<std::size_t>(y) * im.width + x) * 3];
      colours.insert(p[0] << 16 | p[1] << 8 | p[2]);
      ink += (p[0] < 250 || p[1] < 250 || p[2] < 250) ? 1 : 0;
      ++all;
    }
  return {colours.size(), all ? static_cast<double>(ink) / all : 0.0};
}
#endif

TEST_F(Report, RendersInAHeadlessBrowser) {
  if (!std::filesystem::exists("/usr/bin/chromium"))
    GTEST_SKIP() << "no /usr/bin/chromium (tools/deps.sh installs it)";
#ifndef AQX_HAVE_PNG
  GTEST_SKIP() << "built without libpng: the screenshot cannot be decoded";
#else
  const std::string profile = (dir / "profile").string();
  std::filesystem::create_directory(profile);
  const std::string shot = (dir / "shot.png").string();
  const test::RunResult r =
      test::runProgram("/usr/bin/chromium", dir.path(),
                       {"--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
                        "--disable-background-networking", "--disable-component-update", "--disable-sync",
                        "--user-data-dir=" + profile, "--screenshot=" + shot, "--window-size=1200,2000",
                        "file://" + (dir / "report.html").string()},
                       "", {120, 0});
  ASSERT_EQ(r.status, 0) << r.err;
  const Image im = decode(shot);
  ASSERT_EQ(im.width, 1200);
  ASSERT_EQ(im.height, 2000);
  std::filesystem::create_directories(AQX_BINARY_DIR "/artefacts");
  std::filesystem::copy_file(shot, AQX_BINARY_DIR "/artefacts/report.png",
                             std::filesystem::copy_options::overwrite_existing);
  // The maps stand below the summary tables, the water balance chart below them: both bands are
  // coloured (a colour scale and several line colours), not blank.
  const auto [mapColours, mapInk] = stats(im, 650, 1100);
  EXPECT_GT(mapColours, 50u);
  EXPECT_GT(mapInk, 0.2);
  const auto [chartColours, chartInk] = stats(im, 1100, 2000);
  EXPECT_GT(chartColours, 8u);
  EXPECT_GT(chartInk, 0.01);
#endif
}

}  // namespace
}  // namespace aqx
