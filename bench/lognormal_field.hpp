// A seeded, spatially correlated log-normal field for benchmark models: ln T has mean 0 and
// standard deviation 1 over each layer, with a Gaussian correlation that falls to 1/e at a
// distance of `correlation` cells. White noise is smoothed by a separable Gaussian kernel and
// then scaled to the wanted standard deviation, so the same seed gives the same field on every
// machine (std::mt19937 and the Box-Muller transform written out; no library distribution).
#pragma once

#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

namespace aqx::bench {

// Multipliers exp(ln T) of one nrow x ncol layer, row by row.
inline std::vector<double> lognormalLayer(int nrow, int ncol, double sigmaLn, double correlation,
                                          std::uint32_t seed) {
  const std::size_t n = static_cast<std::size_t>(nrow) * static_cast<std::size_t>(ncol);
  std::mt19937 rng(seed);
  auto uniform = [&]() { return (static_cast<double>(rng()) + 0.5) / 4294967296.0; };
  std::vector<double> g(n);
  for (std::size_t c = 0; c < n; c += 2) {
    const double r = std::sqrt(-2.0 * std::log(uniform()));
    const double a = 6.283185307179586 * uniform();
    g[c] = r * std::cos(a);
    if (c + 1 < n) g[c + 1] = r * std::sin(a);
  }
  // Smoothing white noise by exp(-x^2 / (2 s^2)) gives the correlation exp(-x^2 / (4 s^2)).
  const double s = correlation / 2.0;
  const int half = static_cast<int>(std::ceil(3.0 * s));
  std::vector<double> kernel(2 * half + 1);
  for (int d = -half; d <= half; ++d) kernel[d + half] = std::exp(-0.5 * d * d / (s * s));
  std::vector<double> tmp(n, 0.0);
  for (int i = 0; i < nrow; ++i) {
    for (int j = 0; j < ncol; ++j) {
      double sum = 0.0;
      for (int d = -half; d <= half; ++d) {
        const int jj = (j + d + ncol) % ncol;  // periodic, so the edges are as rough as the middle
        sum += kernel[d + half] * g[static_cast<std::size_t>(i) * ncol + jj];
      }
      tmp[static_cast<std::size_t>(i) * ncol + j] = sum;
    }
  }
  for (int i = 0; i < nrow; ++i) {
    for (int j = 0; j < ncol; ++j) {
      double sum = 0.0;
      for (int d = -half; d <= half; ++d) {
        const int ii = (i + d + nrow) % nrow;
        sum += kernel[d + half] * tmp[static_cast<std::size_t>(ii) * ncol + j];
      }
      g[static_cast<std::size_t>(i) * ncol + j] = sum;
    }
  }
  double mean = 0.0;
  for (double v : g) mean += v;
  mean /= static_cast<double>(n);
  double var = 0.0;
  for (double v : g) var += (v - mean) * (v - mean);
  const double sd = std::sqrt(var / static_cast<double>(n));
  for (double& v : g) v = std::exp(sigmaLn * (sd > 0.0 ? (v - mean) / sd : 0.0));
  return g;
}

}  // namespace aqx::bench
