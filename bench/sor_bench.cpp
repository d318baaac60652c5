// One outer iteration of a BCF + SOR model: the basic package's reset of HCOEF and RHS, the BCF
// formulate phase and one SOR solve (Outer), or the SOR solve alone (Solve), on grids built in
// memory (no input files).
//
//   sor_bench --benchmark_counters_tabular=true
//
// The counter per_cell is the time of one outer iteration divided by the number of cells.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>

#include "driver/model.hpp"
#include "flow/bcf.hpp"
#include "io/record.hpp"
#include "solvers/sor.hpp"

namespace {

using aqx::BcfPackage;
using aqx::Model;
using aqx::SorPackage;

struct BenchModel {
  Model m;
  BcfPackage bcf;
  SorPackage sor;

  // A transient model of confined layers, constant heads on the first and last column of every
  // layer, mildly varying transmissivity (the model of bench/sip_bench).
  void build(int nlay, int nrow, int ncol) {
    m.work->reset();
    aqx::io::close(90);
    aqx::io::open(90, "/dev/null");
    m.LISTUNIT = 90;
    m.NLAYER = nlay;
    m.NROWS = nrow;
    m.NCOLS = ncol;
    m.NCELLS = static_cast<std::int64_t>(nlay) * nrow * ncol;
    m.IAPART = 1;
    aqx::WorkArray& w = *m.work;
    const std::int64_t nrc = static_cast<std::int64_t>(nrow) * ncol;
    m.HEADNEW = w.takeDouble(m.NCELLS);
    m.HEADOLD = w.takeReal(m.NCELLS);
    m.IBOUND = w.takeInt(m.NCELLS);
    m.CONDR = w.takeReal(m.NCELLS);
    m.CONDC = w.takeReal(m.NCELLS);
    m.CONDV = w.takeReal(nrc * (nlay - 1));
    m.HCOEF = w.takeReal(m.NCELLS);
    m.RHS = w.takeReal(m.NCELLS);
    m.DELR = w.takeReal(ncol);
    m.DELC = w.takeReal(nrow);
    m.BUFF = w.takeReal(m.NCELLS);
    int codes[200] = {};
    bcf.configure(m, aqx::BcfPackage::Settings{});
    bcf.decodeLayers(m, codes);
    bcf.takeArrays(m);
    sor.configure(m, {.MXITER = 1000, .ACCEL = 1.0f, .HEADCLOSE = 0.0f, .IPRINTINT = 999});
    for (int j = 0; j < ncol; ++j) m.DELR[j] = 100.0f;
    for (int i = 0; i < nrow; ++i) m.DELC[i] = 100.0f;
    for (int k = 1; k <= nlay; ++k) {
      bcf.aniso()[k - 1] = 1.0f;
      for (int i = 1; i <= nrow; ++i) {
        for (int j = 1; j <= ncol; ++j) {
          const std::int64_t n = m.cell(k, i, j);
          const bool edge = j == 1 || j == ncol;
          m.IBOUND[n] = edge ? -1 : 1;
          const float h = edge ? (j == 1 ? 100.0f : 90.0f) : 95.0f;
          m.HEADOLD[n] = h;
          m.HEADNEW[n] = h;
          m.CONDC[n] = 10.0f + static_cast<float>((i * 7 + j * 13 + k * 3) % 17);
          if (k < nlay) m.CONDV[n] = 1e-4f;
          bcf.stor1()[n] = 1e-4f;
        }
      }
    }
    bcf.prepare(m);
    m.DELT = 1.0f;
    m.KSTEP = 2;
    m.NSTEPS = 5;
    m.KPERIOD = 1;
    m.MXITER = 1000;
  }

  void formulate() {
    std::memset(m.HCOEF, 0, sizeof(float) * static_cast<std::size_t>(m.NCELLS));
    std::memset(m.RHS, 0, sizeof(float) * static_cast<std::size_t>(m.NCELLS));
    bcf.formulate(m);
  }
};

void run(benchmark::State& state, int nlay, int nrow, int ncol, bool withFormulate) {
  static BenchModel b;  // one work array per process: built again for each benchmark
  b.build(nlay, nrow, ncol);
  b.formulate();
  int kouter = 0;
  for (auto _ : state) {
    kouter = kouter % 999 + 1;
    b.m.KOUTER = kouter;
    if (withFormulate) b.formulate();
    b.sor.solve(b.m);
  }
  const double cells = static_cast<double>(b.m.NCELLS);
  // Seconds per cell and outer iteration (printed with an SI prefix: "25n" is 25 ns).
  state.counters["per_cell"] = benchmark::Counter(static_cast<double>(state.iterations()) * cells,
                                                  benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void BM_Outer_1000x1000x1(benchmark::State& s) {
  run(s, 1, 1000, 1000, true);
}
void BM_Solve_1000x1000x1(benchmark::State& s) {
  run(s, 1, 1000, 1000, false);
}
void BM_Solve_200x200x25(benchmark::State& s) {
  run(s, 25, 200, 200, false);
}

BENCHMARK(BM_Outer_1000x1000x1)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_Solve_1000x1000x1)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_Solve_200x200x25)->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace

BENCHMARK_MAIN();
