// Marginal cost of one solver iteration against the memory bandwidth of the machine.
//
// Steady confined models of 1000 x 1000 x 1 and 200 x 200 x 25 cells with strongly heterogeneous
// transmissivity (log-normal, standard deviation of ln T 1, correlation length 4 cells, seeded),
// constant heads on the first and last column. Each solver is timed at two iteration counts and
// the difference divided by cells x the difference of the counts, so set-up and end-of-call work
// drop out:
//   SIP and SOR   one outer iteration (solve calls, 2 against 10)
//   PCG2          one inner iteration within a call (NINNER 5 against 25; both preconditioners)
// Counters:
//   ns_cell_iter   marginal nanoseconds per cell and iteration (least of three repetitions)
//   bytes          bytes per cell the method must stream in one iteration
//   bound_ns       bytes / triad bandwidth, the triad measured in the same process over arrays of
//                  the model's size
//   ratio          ns_cell_iter / bound_ns, beside the goal for it
//   mem_GBps, mem_ratio  the same against a triad over 16M-element arrays, which no cache holds
// Times are processor times of the benchmark thread (the machine may be shared with other work).
//
//   solver_marginal_bench --benchmark_counters_tabular=true
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <ctime>
#include <vector>

#include "driver/model.hpp"
#include "io/record.hpp"
#include "lognormal_field.hpp"
#include "solvers/pcg2.hpp"
#include "solvers/sip.hpp"
#include "solvers/sor.hpp"

namespace {

using aqx::Model;

double cpuSeconds() {
  timespec ts{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) + 1e-9 * static_cast<double>(ts.tv_nsec);
}

// Triad bandwidth (bytes per second) a = b + s*c over float arrays of n elements, best of eight.
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

// The equations of a steady confined model, kept outside the work array.
struct Equations {
  int nl, nr, nc;
  std::vector<float> cr, cc, cv;
  std::vector<int> ibound;
  std::vector<double> start;
};

// Conductances between cells of 100 x 100 by the harmonic mean of the transmissivities (base 50)
// and a leakance of 0.001 per unit area between layers.
Equations build(int nl, int nr, int nc) {
  const std::size_t nrc = static_cast<std::size_t>(nr) * nc, n = nrc * nl;
  Equations e{nl,
              nr,
              nc,
              std::vector<float>(n),
              std::vector<float>(n),
              std::vector<float>(n),
              std::vector<int>(n, 1),
              std::vector<double>(n, 95.0)};
  std::vector<float> t(n);
  for (int k = 0; k < nl; ++k) {
    const std::vector<double> f = aqx::bench::lognormalLayer(nr, nc, 1.0, 4.0, 1u + 7919u * (k + 1));
    for (std::size_t c = 0; c < nrc; ++c) t[k * nrc + c] = static_cast<float>(50.0 * f[c]);
  }
  for (int k = 0; k < nl; ++k)
    for (int i = 0; i < nr; ++i)
      for (int j = 0; j < nc; ++j) {
        const std::size_t c = k * nrc + static_cast<std::size_t>(i) * nc + j;
        auto harmonic = [](float a, float b) { return 2.0f * a * b / (a + b); };
        e.cr[c] = j + 1 < nc ? harmonic(t[c], t[c + 1]) : 0.0f;
        e.cc[c] = i + 1 < nr ? harmonic(t[c], t[c + nc]) : 0.0f;
        e.cv[c] = k + 1 < nl ? 10.0f : 0.0f;
        if (j == 0 || j == nc - 1) {
          e.ibound[c] = -1;
          e.start[c] = j == 0 ? 100.0 : 90.0;
        }
      }
  return e;
}

// Takes the shared arrays in a fresh work array and fills them (HCOEF and RHS 0: steady, no
// sources).
void install(Model& m, const Equations& e) {
  m.work->reset();
  aqx::io::close(90);
  aqx::io::open(90, "/dev/null");
  m.LISTUNIT = 90;
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
  m.KSTEP = m.NSTEPS = m.KPERIOD = 1;
}

void reset(Model& m, const Equations& e) {
  std::copy(e.start.begin(), e.start.end(), m.HEADNEW);
  std::copy(e.ibound.begin(), e.ibound.end(), m.IBOUND);
}

void formulate(Model& m, const Equations& e) {
  std::copy(e.cr.begin(), e.cr.end(), m.CONDR);
  std::copy(e.cc.begin(), e.cc.end(), m.CONDC);
  std::copy(e.cv.begin(), e.cv.end(), m.CONDV);
  std::fill(m.HCOEF, m.HCOEF + m.NCELLS, 0.0f);
  std::fill(m.RHS, m.RHS + m.NCELLS, 0.0f);
}

const Equations& equations(int nl, int nr, int nc) {
  static Equations cached{0, 0, 0, {}, {}, {}, {}, {}};
  if (cached.nl != nl || cached.nr != nr || cached.nc != nc) cached = build(nl, nr, nc);
  return cached;
}

// Least time of three repetitions of `count` iterations.
template <class Run>
double leastSeconds(Run run, int count) {
  double best = 1e30;
  for (int rep = 0; rep < 3; ++rep) best = std::min(best, run(count));
  return best;
}

void report(benchmark::State& state, const Model& m, double t1, double t2, int n1, int n2, double bytes,
            double goal) {
  const double cells = static_cast<double>(m.NCELLS);
  const double ns = 1e9 * (t2 - t1) / (cells * (n2 - n1));
  const double bw = triadBytesPerSecond(static_cast<std::size_t>(m.NCELLS));
  const double bound = 1e9 * bytes / bw;
  state.counters["ns_cell_iter"] = ns;
  state.counters["bytes"] = bytes;
  state.counters["triad_GBps"] = bw / 1e9;
  state.counters["bound_ns"] = bound;
  state.counters["ratio"] = ns / bound;
  state.counters["goal"] = goal;
  static const double memBw = triadBytesPerSecond(std::size_t{16} << 20);
  state.counters["mem_GBps"] = memBw / 1e9;
  state.counters["mem_ratio"] = ns / (1e9 * bytes / memBw);
}

// SIP with the seed 0.001 (five parameters, used in turn; both sweep directions alternate).
void BM_Sip(benchmark::State& state) {
  const Equations& e = equations(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)),
                                 static_cast<int>(state.range(2)));
  Model m;
  install(m, e);
  aqx::SipPackage sip;
  sip.configure(m, {.MXITER = 1000,
                    .NITPARM = 5,
                    .ACCEL = 1.0f,
                    .HEADCLOSE = 0.0f,
                    .ICALCSEED = 0,
                    .WSEED = 0.001f,
                    .IPRINTINT = 999});
  m.MXITER = 1000;
  formulate(m, e);
  auto run = [&](int count) {
    reset(m, e);
    const double t0 = cpuSeconds();
    for (int it = 1; it <= count; ++it) {
      m.KOUTER = it;
      sip.solve(m);
    }
    return cpuSeconds() - t0;
  };
  double t1 = 0.0, t2 = 0.0;
  for (auto _ : state) {
    t1 = leastSeconds(run, 2);
    t2 = leastSeconds(run, 10);
  }
  report(state, m, t1, t2, 2, 10, 76.0, 2.5);
}

void BM_Sor(benchmark::State& state) {
  const Equations& e = equations(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)),
                                 static_cast<int>(state.range(2)));
  Model m;
  install(m, e);
  aqx::SorPackage sor;
  sor.configure(m, {.MXITER = 1000, .ACCEL = 1.0f, .HEADCLOSE = 0.0f, .IPRINTINT = 999});
  m.MXITER = 1000;
  formulate(m, e);
  auto run = [&](int count) {
    reset(m, e);
    const double t0 = cpuSeconds();
    for (int it = 1; it <= count; ++it) {
      m.KOUTER = it;
      sor.solve(m);
    }
    return cpuSeconds() - t0;
  };
  double t1 = 0.0, t2 = 0.0;
  for (auto _ : state) {
    t1 = leastSeconds(run, 2);
    t2 = leastSeconds(run, 10);
  }
  // IBOUND, CONDR, CONDC, CONDV (several layers), HCOEF, RHS read; HEADNEW read and written.
  report(state, m, t1, t2, 2, 10, e.nl > 1 ? 40.0 : 36.0, 0.0);
}

// One call of n inner iterations (closure criteria 0, so none closes early), after a fresh
// formulate that is not timed.
void BM_Pcg2(benchmark::State& state) {
  const int precond = static_cast<int>(state.range(0));
  const Equations& e = equations(static_cast<int>(state.range(1)), static_cast<int>(state.range(2)),
                                 static_cast<int>(state.range(3)));
  Model m;
  auto run = [&](int inner) {
    install(m, e);
    aqx::Pcg2Package pcg;
    aqx::Pcg2Package::Settings s;
    s.MXITER = 2;
    s.NINNER = inner;
    s.IPRECOND = precond;
    s.RELAXFAC = 1.0f;
    s.IPRINTLIM = 2;
    pcg.configure(m, s);
    reset(m, e);
    formulate(m, e);
    m.KOUTER = 1;
    const double t0 = cpuSeconds();
    pcg.solve(m);
    return cpuSeconds() - t0;
  };
  double t1 = 0.0, t2 = 0.0;
  for (auto _ : state) {
    t1 = leastSeconds(run, 5);
    t2 = leastSeconds(run, 25);
  }
  report(state, m, t1, t2, 5, 25, precond == 1 ? 72.0 : 68.0, precond == 1 ? 2.5 : 2.0);
}

BENCHMARK(BM_Sip)
    ->ArgNames({"nlay", "nrow", "ncol"})
    ->Args({1, 1000, 1000})
    ->Args({25, 200, 200})
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Pcg2)
    ->ArgNames({"precond", "nlay", "nrow", "ncol"})
    ->Args({1, 1, 1000, 1000})
    ->Args({2, 1, 1000, 1000})
    ->Args({1, 25, 200, 200})
    ->Args({2, 25, 200, 200})
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Sor)
    ->ArgNames({"nlay", "nrow", "ncol"})
    ->Args({1, 1000, 1000})
    ->Args({25, 200, 200})
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
