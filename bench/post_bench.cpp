// aqxpost on a 1000 x 1000 layer: the map command's work (read the head file, lay out, draw the
// raster with contours and encode the PNG; render the SVG) and the NetCDF export (read, write
// the CF file), each from the file on disk to the file on disk.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "io/layers.hpp"
#include "io/record.hpp"
#include "post/map.hpp"
#ifdef AQX_HAVE_NETCDF
#include "post/netcdf_export.hpp"
#endif
#include "post/outputs.hpp"

namespace {

namespace fs = std::filesystem;
using namespace aqx;

constexpr int kSide = 1000;

// A head surface with a cone of depression and a block of no-flow cells, saved as one layer.
const fs::path& headFile() {
  static const fs::path path = [] {
    const fs::path dir = fs::temp_directory_path() / ("aqx_post_bench_" + std::to_string(getpid()));
    fs::create_directories(dir);
    std::vector<float> h(static_cast<std::size_t>(kSide) * kSide);
    for (int i = 0; i < kSide; ++i)
      for (int j = 0; j < kSide; ++j) {
        const double r = std::hypot(i - 400.0, j - 600.0) + 1.0;
        h[static_cast<std::size_t>(i) * kSide + j] =
            static_cast<float>(100.0 - 0.01 * j + 5.0 * std::log(r / 1500.0) * 0.3);
      }
    for (int i = 800; i < kSide; ++i)
      for (int j = 0; j < 150; ++j) h[static_cast<std::size_t>(i) * kSide + j] = 1e30f;
    io::open(61, (dir / "big.hds").string(), io::Form::Stream);
    io::SAVLAYBIN(h.data(), "            HEAD", 1, 1, 1.0f, 1.0f, kSide, kSide, 1, 61);
    io::close(61);
    return dir / "big.hds";
  }();
  return path;
}

post::MapInput mapInput() {
  const auto records = post::readLayerFile(post::readFileBytes(headFile().string()));
  post::MapInput in;
  in.ncol = records[0].ncol;
  in.nrow = records[0].nrow;
  in.values = records[0].values;
  in.width = kSide;
  return in;
}

#ifdef AQX_HAVE_PNG
void BM_MapPng(benchmark::State& state) {
  const std::string out = (headFile().parent_path() / "big.png").string();
  for (auto _ : state) {
    const post::MapInput in = mapInput();
    const post::MapLayout layout = post::layoutMap(in);
    post::writePng(post::renderRaster(in, layout), out);
  }
}
BENCHMARK(BM_MapPng)->Unit(benchmark::kMillisecond);
#endif

void BM_MapSvg(benchmark::State& state) {
  const std::string out = (headFile().parent_path() / "big.svg").string();
  for (auto _ : state) {
    const post::MapInput in = mapInput();
    const post::MapLayout layout = post::layoutMap(in);
    const std::string svg = post::renderSvg(in, layout);
    std::FILE* f = std::fopen(out.c_str(), "wb");
    std::fwrite(svg.data(), 1, svg.size(), f);
    std::fclose(f);
    state.counters["svg_MB"] = static_cast<double>(svg.size()) / 1e6;
  }
}
BENCHMARK(BM_MapSvg)->Unit(benchmark::kMillisecond);

#ifdef AQX_HAVE_NETCDF
void BM_Netcdf(benchmark::State& state) {
  const std::string out = (headFile().parent_path() / "big.nc").string();
  for (auto _ : state) {
    post::NetcdfInput in;
    in.heads = post::readLayerFile(post::readFileBytes(headFile().string()));
    post::writeNetcdf(in, out);
  }
}
BENCHMARK(BM_Netcdf)->Unit(benchmark::kMillisecond);
#endif

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  std::error_code ec;
  fs::remove_all(headFile().parent_path(), ec);
  return 0;
}
