// An independent direct solve of the flow equations of a hand-built model, for checking the
// solvers: for every variable-head cell, the sum over its neighbours inside the grid of
// C * (h_m - h) plus HCOEF * h equals RHS; other cells keep their heads. Dense Gaussian
// elimination with partial pivoting in double precision: for small models only.
#pragma once

#include <cmath>
#include <cstdint>
#include <utility>
#include <vector>

#include "driver/model.hpp"

namespace aqx::test {

inline std::vector<double> directSolve(const Model& m) {
  const std::int64_t ncell = m.NCELLS;
  const std::int64_t nc = m.NCOLS, nrc = static_cast<std::int64_t>(m.NROWS) * m.NCOLS;
  std::vector<double> h(m.HEADNEW, m.HEADNEW + ncell);
  std::vector<std::int64_t> eq(static_cast<std::size_t>(ncell), -1);
  std::vector<std::int64_t> cellOf;
  for (std::int64_t n = 0; n < ncell; ++n) {
    if (m.IBOUND[n] > 0) {
      eq[static_cast<std::size_t>(n)] = static_cast<std::int64_t>(cellOf.size());
      cellOf.push_back(n);
    }
  }
  const std::size_t ne = cellOf.size();
  std::vector<std::vector<double>> a(ne, std::vector<double>(ne + 1, 0.0));
  for (std::size_t r = 0; r < ne; ++r) {
    const std::int64_t n = cellOf[r];
    const int k = static_cast<int>(n / nrc) + 1;
    const int i = static_cast<int>((n % nrc) / nc) + 1;
    const int j = static_cast<int>(n % nc) + 1;
    double diag = m.HCOEF[n];
    double rhs = m.RHS[n];
    auto link = [&](double c, std::int64_t nn) {
      diag -= c;
      if (eq[static_cast<std::size_t>(nn)] >= 0) {
        a[r][static_cast<std::size_t>(eq[static_cast<std::size_t>(nn)])] += c;
      } else {
        rhs -= c * h[static_cast<std::size_t>(nn)];
      }
    };
    if (j > 1) link(m.CONDR[n - 1], n - 1);
    if (j < m.NCOLS) link(m.CONDR[n], n + 1);
    if (i > 1) link(m.CONDC[n - nc], n - nc);
    if (i < m.NROWS) link(m.CONDC[n], n + nc);
    if (k > 1) link(m.CONDV[n - nrc], n - nrc);
    if (k < m.NLAYER) link(m.CONDV[n], n + nrc);
    a[r][r] += diag;
    a[r][ne] = rhs;
  }
  for (std::size_t c = 0; c < ne; ++c) {
    std::size_t p = c;
    for (std::size_t r = c + 1; r < ne; ++r) {
      if (std::fabs(a[r][c]) > std::fabs(a[p][c])) p = r;
    }
    std::swap(a[c], a[p]);
    for (std::size_t r = c + 1; r < ne; ++r) {
      const double f = a[r][c] / a[c][c];
      for (std::size_t q = c; q <= ne; ++q) a[r][q] -= f * a[c][q];
    }
  }
  for (std::size_t c = ne; c-- > 0;) {
    double s = a[c][ne];
    for (std::size_t q = c + 1; q < ne; ++q) s -= a[c][q] * a[q][ne];
    a[c][ne] = s / a[c][c];
  }
  for (std::size_t r = 0; r < ne; ++r) h[static_cast<std::size_t>(cellOf[r])] = a[r][ne];
  return h;
}

}  // namespace aqx::test
