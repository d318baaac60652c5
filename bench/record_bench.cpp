// Throughput of the record engine: writing layer rows through the wrapped layer-printer format, and
// reading rows of a layer array under "(10F8.2)" and list-directed.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "io/record.hpp"

namespace {

namespace io = aqx::io;
using io::Format;

constexpr int kCols = 100;  // values per row
constexpr int kRows = 2000;

std::vector<float> rowValues(int seed) {
  std::mt19937 rng(static_cast<unsigned>(seed));
  std::uniform_real_distribution<float> mag(-3, 4);
  std::vector<float> v(kCols);
  for (float& x : v) x = std::pow(10.0f, mag(rng)) * (rng() % 2 ? 1.0f : -1.0f);
  return v;
}

std::string scratchDir() {
  std::string dir =
      std::filesystem::exists("/dev/shm") ? "/dev/shm" : std::filesystem::temp_directory_path().string();
  return dir + "/aqx_record_bench_" + std::to_string(::getpid());
}

void BM_WriteLayerRows(benchmark::State& state) {
  std::vector<std::vector<float>> rows;
  for (int r = 0; r < 16; ++r) rows.push_back(rowValues(r));
  std::string name = scratchDir() + "_out.txt";
  io::open(30, name);
  long values = 0;
  std::size_t bytes = 0;
  for (auto _ : state) {
    for (int r = 0; r < kRows; ++r) {
      io::write(30, AQX_FMT("(1X,I3,2X,1P,G11.4,9(1X,G11.4),:/1(5X,10(1X,G11.4)))"), r + 1,
                std::span<const float>(rows[r % 16]));
    }
    values += kRows * kCols;
    bytes += static_cast<std::size_t>(kRows) * (kCols / 10) * (5 + 10 * 12 + 2);
    state.PauseTiming();
    io::close(30);  // keeps the file small: the next open replaces it
    io::open(30, name);
    state.ResumeTiming();
  }
  io::close(30);
  std::remove(name.c_str());
  state.SetItemsProcessed(values);
  state.SetBytesProcessed(static_cast<std::int64_t>(bytes));
}
BENCHMARK(BM_WriteLayerRows)->Unit(benchmark::kMillisecond);

// A layer of kRows x kCols values, as fixed fields (10F8.2) or separated by blanks.
std::string makeInput(bool fixed) {
  std::string name = scratchDir() + (fixed ? "_fixed.txt" : "_free.txt");
  std::ofstream out(name, std::ios::binary);
  std::mt19937 rng(5);
  std::uniform_real_distribution<double> val(-9999, 9999);
  char buf[32];
  for (int r = 0; r < kRows; ++r) {
    for (int c = 0; c < kCols; ++c) {
      if (fixed) {
        std::snprintf(buf, sizeof buf, "%8.2f", val(rng));
        out << buf;
        if (c % 10 == 9) out << "\r\n";
      } else {
        std::snprintf(buf, sizeof buf, "%.2f", val(rng));
        out << buf << (c % 10 == 9 ? "\n" : " ");
      }
    }
  }
  return name;
}

void readLayer(benchmark::State& state, bool fixed) {
  std::string name = makeInput(fixed);
  std::size_t size = std::filesystem::file_size(name);
  std::vector<float> row(kCols);
  long values = 0;
  for (auto _ : state) {
    io::openExisting(31, name);
    for (int r = 0; r < kRows; ++r) {
      if (fixed) {
        io::read(31, Format::runtime("(10F8.2)"), std::span<float>(row));
      } else {
        io::readList(31, std::span<float>(row));
      }
    }
    io::close(31);
    benchmark::DoNotOptimize(row.data());
    values += kRows * kCols;
  }
  std::remove(name.c_str());
  state.SetItemsProcessed(values);
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * size));
}

void BM_ReadFixed10F8(benchmark::State& state) {
  readLayer(state, true);
}
void BM_ReadFree(benchmark::State& state) {
  readLayer(state, false);
}
BENCHMARK(BM_ReadFixed10F8)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadFree)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
