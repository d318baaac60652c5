// PCG2 inner-iteration cost against the memory bandwidth of the machine.
//
// Two 1,000,000-cell models (1000 x 1000 x 1 and 200 x 200 x 25) with uneven conductances, storage,
// a constant-head edge and a few wells. Each benchmark iteration re-formulates the equations and
// makes one solve call of kInner inner iterations (closure criteria 0, so none closes early).
// Counters:
//   ns_per_cell_iter   time of one inner iteration divided by the number of cells
//   stream_bound_ns    bytes one inner iteration streams per cell / triad bandwidth (same run)
//   ratio              ns_per_cell_iter / stream_bound_ns (goal: at most 2)
// Times are processor times of the benchmark thread (the machine is shared with other work).
// The Triad benchmark is a STREAM-like a = b + s*c over float arrays of the model's size.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <ctime>
#include <random>
#include <vector>

#include "driver/model.hpp"
#include "solvers/pcg2.hpp"

namespace {

constexpr int kInner = 40;

// Bytes per cell that one inner iteration has to move between memory and the processor: each
// array once per step of the algorithm that needs it (4-byte reals and integers, 8-byte heads).
// This is the streaming bound of the method, not a count of the implementation's passes (which
// take some arrays twice, e.g. the layer-wide first parts of the triangular solves).
//   preconditioner 1: forward solve (IBOUND, RHS, CONDR, CONDC, CONDV, PCGDIAG, PCGV written) 7,
//   backward solve (IBOUND, PCGV, PCGDIAG, CONDR, CONDC, CONDV, PCGZ written) 7;
//   preconditioner 2: copy (RHS, PCGV) 2 and three products (IBOUND, CONDR, CONDC, CONDV, RHS,
//   input, output) 21;
//   both: inner product (IBOUND, PCGZ, RHS) 3, direction (PCGP read and written, PCGZ) 3, matrix
//   product (IBOUND, CONDR, CONDC, CONDV, HCOEF, PCGP, PCGV written) 7, update (IBOUND, PCGP,
//   PCGV, RHS read and written, HEADNEW read and written as 8-byte values) 9.
double bytesPerCell(int precond) {
  const int common = 3 + 3 + 7 + 9;
  return 4.0 * (common + (precond == 1 ? 14 : 23));
}

struct Equations {
  int nl, nr, nc;
  std::vector<float> cr, cc, cv, hcoef, rhs;
  std::vector<int> ibound;
};

Equations build(int nl, int nr, int nc) {
  const std::size_t n = static_cast<std::size_t>(nl) * nr * nc;
  Equations e{nl,
              nr,
              nc,
              std::vector<float>(n),
              std::vector<float>(n),
              std::vector<float>(n),
              std::vector<float>(n),
              std::vector<float>(n),
              std::vector<int>(n, 1)};
  std::mt19937 rng(11);
  std::uniform_real_distribution<float> t(50.0f, 500.0f);
  for (int k = 0; k < nl; ++k)
    for (int i = 0; i < nr; ++i)
      for (int j = 0; j < nc; ++j) {
        const std::size_t c = j + static_cast<std::size_t>(nc) * (i + static_cast<std::size_t>(nr) * k);
        e.cr[c] = j + 1 < nc ? t(rng) : 0.0f;
        e.cc[c] = i + 1 < nr ? t(rng) : 0.0f;
        e.cv[c] = k + 1 < nl ? 0.05f * t(rng) : 0.0f;
        e.hcoef[c] = -0.5f;
        e.rhs[c] = -0.5f * 100.0f;
        if (j == 0) e.ibound[c] = -1;
      }
  for (int w = 0; w < 20; ++w) {
    const std::size_t c = (nc / 2 + w) + static_cast<std::size_t>(nc) * (nr / 2);
    e.rhs[c] += 5000.0f;
  }
  return e;
}

void install(aqx::Model& m, const Equations& e) {
  m.work->reset();
  m.NLAYER = e.nl;
  m.NROWS = e.nr;
  m.NCOLS = e.nc;
  m.NCELLS = static_cast<std::int64_t>(e.ibound.size());
  m.HEADNEW = m.work->takeDouble(m.NCELLS);
  m.IBOUND = m.work->takeInt(m.NCELLS);
  m.CONDR = m.work->takeReal(m.NCELLS);
  m.CONDC = m.work->takeReal(m.NCELLS);
  m.CONDV = m.work->takeReal(m.NCELLS);
  m.HCOEF = m.work->takeReal(m.NCELLS);
  m.RHS = m.work->takeReal(m.NCELLS);
  std::fill(m.HEADNEW, m.HEADNEW + m.NCELLS, 100.0);
  std::copy(e.ibound.begin(), e.ibound.end(), m.IBOUND);
}

void formulate(aqx::Model& m, const Equations& e) {
  std::copy(e.cr.begin(), e.cr.end(), m.CONDR);
  std::copy(e.cc.begin(), e.cc.end(), m.CONDC);
  std::copy(e.cv.begin(), e.cv.end(), m.CONDV);
  std::copy(e.hcoef.begin(), e.hcoef.end(), m.HCOEF);
  std::copy(e.rhs.begin(), e.rhs.end(), m.RHS);
}

// Processor time of this thread: the machine is shared, so wall time would count other work.
double cpuSeconds() {
  timespec ts{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) + 1e-9 * static_cast<double>(ts.tv_nsec);
}

// Triad bandwidth (bytes per second) over arrays of n floats, best of a few sweeps.
double triadBytesPerSecond(std::size_t n) {
  std::vector<float> a(n, 0.0f), b(n, 1.0f), c(n, 2.0f);
  double best = 1e30;
  for (int rep = 0; rep < 8; ++rep) {
    const double t0 = cpuSeconds();
    const float s = 3.0f + static_cast<float>(rep);
    for (std::size_t i = 0; i < n; ++i) a[i] = b[i] + s * c[i];
    benchmark::DoNotOptimize(a.data());
    benchmark::ClobberMemory();
    best = std::min(best, cpuSeconds() - t0);
  }
  return 12.0 * static_cast<double>(n) / best;
}

void BM_Pcg2(benchmark::State& state) {
  const int precond = static_cast<int>(state.range(0));
  const int nl = static_cast<int>(state.range(1));
  const int nr = static_cast<int>(state.range(2));
  const int nc = static_cast<int>(state.range(3));
  const Equations e = build(nl, nr, nc);
  aqx::Model m;
  install(m, e);
  aqx::Pcg2Package pcg;
  aqx::Pcg2Package::Settings s;
  s.MXITER = 2;
  s.NINNER = kInner;
  s.IPRECOND = precond;
  s.HEADCLOSE = 0.0f;
  s.RESCLOSE = 0.0f;
  s.RELAXFAC = 1.0f;
  s.IPRINTLIM = 2;
  pcg.configure(m, s);
  m.KSTEP = m.NSTEPS = m.KPERIOD = 1;

  double seconds = 0.0;
  std::int64_t inner = 0;
  for (auto _ : state) {
    state.PauseTiming();
    formulate(m, e);
    m.KOUTER = 1;
    state.ResumeTiming();
    const double t0 = cpuSeconds();
    pcg.solve(m);
    seconds += cpuSeconds() - t0;
    inner += m.pcg.PCGINNERTOT;
  }
  const double cells = static_cast<double>(m.NCELLS);
  const double nsPerCellIter = 1e9 * seconds / (static_cast<double>(inner) * cells);
  const double bw = triadBytesPerSecond(static_cast<std::size_t>(m.NCELLS));
  const double boundNs = 1e9 * bytesPerCell(precond) / bw;
  state.counters["ns_per_cell_iter"] = nsPerCellIter;
  state.counters["triad_GBps"] = bw / 1e9;
  state.counters["stream_bound_ns"] = boundNs;
  state.counters["ratio"] = nsPerCellIter / boundNs;
}

void BM_Triad(benchmark::State& state) {
  const std::size_t n = static_cast<std::size_t>(state.range(0));
  std::vector<float> a(n, 0.0f), b(n, 1.0f), c(n, 2.0f);
  float s = 3.0f;
  for (auto _ : state) {
    for (std::size_t i = 0; i < n; ++i) a[i] = b[i] + s * c[i];
    benchmark::DoNotOptimize(a.data());
    benchmark::ClobberMemory();
    s += 1.0f;
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * 12 * static_cast<std::int64_t>(n));
  state.counters["ns_per_cell"] = benchmark::Counter(
      static_cast<double>(n), benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

BENCHMARK(BM_Pcg2)
    ->ArgNames({"precond", "nlay", "nrow", "ncol"})
    ->Args({1, 1, 1000, 1000})
    ->Args({2, 1, 1000, 1000})
    ->Args({1, 25, 200, 200})
    ->Args({2, 25, 200, 200})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3)
    ->MeasureProcessCPUTime();
BENCHMARK(BM_Triad)->Arg(1000000)->Unit(benchmark::kMicrosecond)->MeasureProcessCPUTime();

}  // namespace

BENCHMARK_MAIN();
