// Throughput of the array reader and the layer printer on a 1000 x 1000 real array:
// READRMAT as "(FREE)" and under "(10F8.2)", and PRTLAYWRAP with print code 12.
// Bytes per second are input bytes read (or listing bytes written).
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "io/arrays.hpp"
#include "io/layers.hpp"
#include "io/record.hpp"

namespace {

constexpr int kN = 1000;
constexpr int kIn = 15;
constexpr int kList = 16;
const std::string kName = "       HYD. CONDUCTIVITY";

std::filesystem::path scratch() {
  static const std::filesystem::path dir = [] {
    auto d = std::filesystem::temp_directory_path() / ("aqx_arrays_bench_" + std::to_string(::getpid()));
    std::filesystem::create_directories(d);
    return d;
  }();
  return dir;
}

float valueAt(int r, int c) { return static_cast<float>((r * 37 + c * 11) % 10000) * 0.01f + 1.0f; }

// Writes the control record and the values; returns the file's size.
std::size_t makeInput(const std::string& name, const std::string& control, bool fixed) {
  const auto path = scratch() / name;
  std::ofstream f(path, std::ios::binary);
  f << control << "\n";
  char buf[32];
  for (int r = 0; r < kN; ++r) {
    for (int c = 0; c < kN; ++c) {
      if (fixed) {
        std::snprintf(buf, sizeof buf, "%8.2f", valueAt(r, c));
        f << buf;
        if (c % 10 == 9 || c == kN - 1) f << "\n";
      } else {
        std::snprintf(buf, sizeof buf, "%.2f", valueAt(r, c));
        f << buf << (c % 10 == 9 || c == kN - 1 ? "\n" : " ");
      }
    }
  }
  f.close();
  return std::filesystem::file_size(path);
}

void readArray(benchmark::State& state, const std::string& file, const std::string& control, bool fixed) {
  const std::size_t bytes = makeInput(file, control, fixed);
  std::vector<float> a(static_cast<std::size_t>(kN) * kN);
  aqx::io::open(kList, (scratch() / "list.txt").string());
  for (auto _ : state) {
    aqx::io::open(kIn, (scratch() / file).string());
    aqx::io::READRMAT(a.data(), kName, kN, kN, 1, kIn, kList);
    aqx::io::close(kIn);
    benchmark::DoNotOptimize(a.data());
  }
  aqx::io::close(kList);
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes));
}

void BM_ReadFree(benchmark::State& state) { readArray(state, "free.txt", "INTERNAL 1.0 (FREE) -1", false); }
void BM_ReadFixed(benchmark::State& state) { readArray(state, "fixed.txt", "INTERNAL 1.0 (10F8.2) -1", true); }

void BM_PrintWrapCode12(benchmark::State& state) {
  std::vector<float> a(static_cast<std::size_t>(kN) * kN);
  for (int r = 0; r < kN; ++r) {
    for (int c = 0; c < kN; ++c) a[static_cast<std::size_t>(r) * kN + c] = valueAt(r, c);
  }
  const auto path = (scratch() / "print.txt").string();
  for (auto _ : state) {
    aqx::io::open(kList, path);
    aqx::io::PRTLAYWRAP(a.data(), "            HEAD", 1, 1, kN, kN, 1, 12, kList);
    aqx::io::close(kList);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * std::filesystem::file_size(path)));
}

BENCHMARK(BM_ReadFree)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_ReadFixed)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_PrintWrapCode12)->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace

BENCHMARK_MAIN();
