// DE4 against a general sparse direct solver on the same equations.
//
// Single-layer models of 300 x 300 and 500 x 500 cells with uneven conductances (log-uniform over
// two decades), storage terms, a constant-head first column and a few wells.
//   De4Whole        one solve call that eliminates the matrix: numbering, assembly, band width,
//                   factorisation, substitution and head update (IFREQ 3)
//   De4HeldFactors  one solve call with the factors held (IFREQ 1, same step length): residual,
//                   substitution and head update. Factorisation time = Whole - HeldFactors.
//   EigenWhole      Eigen's SparseLU (COLAMD ordering) on the same matrix: pattern analysis,
//                   numeric factorisation and one solution (matrix building not timed)
//   EigenSolve      one solution with Eigen's factors held
// Eigen runs in single precision like DE4 (float) and in double. Times are processor times of the
// benchmark thread (the machine is shared with other work). The counter max_diff is the largest
// difference between the two solvers' head changes.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <ctime>
#include <random>
#include <vector>

#include "driver/model.hpp"
#include "io/record.hpp"
#include "solvers/de4.hpp"

#ifdef AQX_HAVE_EIGEN
#include <Eigen/Sparse>
#include <Eigen/SparseLU>
#endif

namespace {

double cpuSeconds() {
  timespec ts{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) + 1e-9 * static_cast<double>(ts.tv_nsec);
}

constexpr int kListUnit = 6;

// The shared arrays of an n x n x 1 model, formulated.
void install(aqx::Model& m, int n) {
  m.work->reset();
  m.NLAYER = 1;
  m.NROWS = n;
  m.NCOLS = n;
  m.NCELLS = static_cast<std::int64_t>(n) * n;
  m.HEADNEW = m.work->takeDouble(m.NCELLS);
  m.IBOUND = m.work->takeInt(m.NCELLS);
  m.CONDR = m.work->takeReal(m.NCELLS);
  m.CONDC = m.work->takeReal(m.NCELLS);
  m.CONDV = m.work->takeReal(m.NCELLS);
  m.HCOEF = m.work->takeReal(m.NCELLS);
  m.RHS = m.work->takeReal(m.NCELLS);
  std::mt19937 rng(5);
  std::uniform_real_distribution<float> lg(0.0f, 2.0f);
  for (int i = 0; i < n; ++i) {
    for (int j = 0; j < n; ++j) {
      const std::int64_t c = j + static_cast<std::int64_t>(n) * i;
      m.CONDR[c] = j + 1 < n ? std::pow(10.0f, lg(rng)) : 0.0f;
      m.CONDC[c] = i + 1 < n ? std::pow(10.0f, lg(rng)) : 0.0f;
      m.HCOEF[c] = -0.5f;
      m.RHS[c] = -50.0f;
      m.IBOUND[c] = j == 0 ? -1 : 1;
      m.HEADNEW[c] = 100.0;
    }
  }
  for (int w = 0; w < 10; ++w) m.RHS[n / 2 + w + static_cast<std::int64_t>(n) * (n / 2)] += 2000.0f;
  m.LISTUNIT = kListUnit;
  if (!aqx::io::isOpen(kListUnit)) aqx::io::open(kListUnit, "/dev/null");
  m.KPERIOD = m.KSTEP = m.NSTEPS = 1;
  m.DELT = 1.0f;
  m.KOUTER = 1;
}

aqx::De4Package::Settings settings(int ifreq) {
  aqx::De4Package::Settings s;
  s.D4MAXITER = 1;
  s.IFREQ = ifreq;
  s.D4PRINTMODE = 2;
  return s;
}

// The head change of one DE4 solution from the starting heads.
std::vector<double> de4Change(int n) {
  aqx::Model m;
  install(m, n);
  std::vector<double> start(m.HEADNEW, m.HEADNEW + m.NCELLS);
  aqx::De4Package d;
  d.configure(m, settings(3));
  d.solve(m);
  std::vector<double> change(static_cast<std::size_t>(m.NCELLS));
  for (std::int64_t c = 0; c < m.NCELLS; ++c) change[c] = m.HEADNEW[c] - start[c];
  return change;
}

void BM_De4Whole(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  aqx::Model m;
  install(m, n);
  aqx::De4Package d;
  d.configure(m, settings(3));
  for (auto _ : state) {
    const double t0 = cpuSeconds();
    d.solve(m);
    state.SetIterationTime(cpuSeconds() - t0);
  }
  state.counters["band_plus_1"] = d.D4BANDW();
  state.counters["lower_eqs"] = d.D4NLOW();
}

void BM_De4HeldFactors(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  aqx::Model m;
  install(m, n);
  aqx::De4Package d;
  d.configure(m, settings(1));
  d.solve(m);  // the first step eliminates the matrix
  m.KSTEP = 2;
  for (auto _ : state) {
    const double t0 = cpuSeconds();
    d.solve(m);
    state.SetIterationTime(cpuSeconds() - t0);
  }
  if (d.factorisations() != 1) state.SkipWithError("factors were rebuilt");
}

#ifdef AQX_HAVE_EIGEN

// The same equations over the variable-head cells in natural order: A delta = residual.
template <class T>
struct EigenSystem {
  Eigen::SparseMatrix<T> a;
  Eigen::Matrix<T, Eigen::Dynamic, 1> r;
  std::vector<std::int64_t> cells;
};

template <class T>
EigenSystem<T> eigenSystem(const aqx::Model& m) {
  EigenSystem<T> s;
  const int n = m.NCOLS;
  std::vector<int> index(static_cast<std::size_t>(m.NCELLS), -1);
  for (std::int64_t c = 0; c < m.NCELLS; ++c) {
    if (m.IBOUND[c] > 0) {
      index[c] = static_cast<int>(s.cells.size());
      s.cells.push_back(c);
    }
  }
  std::vector<Eigen::Triplet<T>> t;
  s.r.resize(static_cast<Eigen::Index>(s.cells.size()));
  for (std::size_t e = 0; e < s.cells.size(); ++e) {
    const std::int64_t c = s.cells[e];
    const int i = static_cast<int>(c / n), j = static_cast<int>(c % n);
    double g = m.HCOEF[c], r = m.RHS[c];
    auto link = [&](float cond, std::int64_t nb) {
      g -= cond;
      r -= static_cast<double>(cond) * m.HEADNEW[nb];
      if (index[nb] >= 0) t.emplace_back(static_cast<int>(e), index[nb], static_cast<T>(cond));
    };
    if (j > 0) link(m.CONDR[c - 1], c - 1);
    if (i > 0) link(m.CONDC[c - n], c - n);
    if (i + 1 < n) link(m.CONDC[c], c + n);
    if (j + 1 < n) link(m.CONDR[c], c + 1);
    t.emplace_back(static_cast<int>(e), static_cast<int>(e), static_cast<T>(g));
    s.r[static_cast<Eigen::Index>(e)] = static_cast<T>(r - g * m.HEADNEW[c]);
  }
  s.a.resize(static_cast<Eigen::Index>(s.cells.size()), static_cast<Eigen::Index>(s.cells.size()));
  s.a.setFromTriplets(t.begin(), t.end());
  s.a.makeCompressed();
  return s;
}

template <class T>
void BM_EigenWhole(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  aqx::Model m;
  install(m, n);
  const EigenSystem<T> s = eigenSystem<T>(m);
  Eigen::Matrix<T, Eigen::Dynamic, 1> x;
  for (auto _ : state) {
    const double t0 = cpuSeconds();
    Eigen::SparseLU<Eigen::SparseMatrix<T>, Eigen::COLAMDOrdering<int>> lu;
    lu.analyzePattern(s.a);
    lu.factorize(s.a);
    x = lu.solve(s.r);
    benchmark::DoNotOptimize(x.data());
    state.SetIterationTime(cpuSeconds() - t0);
  }
  const std::vector<double> d = de4Change(n);
  double diff = 0.0;
  for (std::size_t e = 0; e < s.cells.size(); ++e) {
    diff = std::max(diff, std::fabs(static_cast<double>(x[static_cast<Eigen::Index>(e)]) - d[s.cells[e]]));
  }
  state.counters["max_diff"] = diff;
}

template <class T>
void BM_EigenSolve(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  aqx::Model m;
  install(m, n);
  const EigenSystem<T> s = eigenSystem<T>(m);
  Eigen::SparseLU<Eigen::SparseMatrix<T>, Eigen::COLAMDOrdering<int>> lu;
  lu.compute(s.a);
  Eigen::Matrix<T, Eigen::Dynamic, 1> x;
  for (auto _ : state) {
    const double t0 = cpuSeconds();
    x = lu.solve(s.r);
    benchmark::DoNotOptimize(x.data());
    state.SetIterationTime(cpuSeconds() - t0);
  }
}

BENCHMARK(BM_EigenWhole<float>)
    ->ArgName("n")
    ->Arg(300)
    ->Arg(500)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EigenSolve<float>)
    ->ArgName("n")
    ->Arg(300)
    ->Arg(500)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EigenWhole<double>)
    ->ArgName("n")
    ->Arg(300)
    ->Arg(500)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EigenSolve<double>)
    ->ArgName("n")
    ->Arg(300)
    ->Arg(500)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

#endif

BENCHMARK(BM_De4Whole)->ArgName("n")->Arg(300)->Arg(500)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_De4HeldFactors)
    ->ArgName("n")
    ->Arg(300)
    ->Arg(500)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
