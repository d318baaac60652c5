// Slice-successive overrelaxation: each outer iteration visits the rows of the grid in turn; the
// equations of the variable-head cells of a row (a vertical slice of columns by layers) are
// solved exactly by band elimination against the latest heads of the neighbouring rows, and the
// change, times the acceleration parameter, is added to the heads.
#pragma once

#include <cstdint>

#include "driver/package.hpp"
#include "solvers/head_change_table.hpp"

namespace aqx {

class SorPackage : public Package {
 public:
  // The two input records.
  struct Settings {
    int MXITER = 0;
    float ACCEL = 0.0f, HEADCLOSE = 0.0f;
    int IPRINTINT = 0;
  };

  void allocate(Model& m) override;
  void readPrepare(Model& m) override;
  void solve(Model& m) override;

  // Without an input file: applies the settings as the two reading phases would (the
  // replacements of zero values included, no listing lines) and takes the arrays. For tests and
  // benchmarks.
  void configure(Model& m, const Settings& s);

  const Settings& settings() const { return s_; }
  std::int64_t NS() const { return ns_; }  // equations of a slice at most: NLAYER * NCOLS
  int NB() const { return nb_; }           // band width: NLAYER + 1
  // The last slice solved: band matrix (NB entries per equation, diagonal first), solution,
  // equation number of each layer and column (0: not variable head).
  const float* SLICEMAT() const { return slicemat_; }
  const float* SLICERES() const { return sliceres_; }
  const int* SLICEEQ() const { return sliceeq_; }
  const float* MAXCHANGE() const { return table_.MAXCHANGE(); }
  const int* MAXCHANGECELL() const { return table_.MAXCHANGECELL(); }

 private:
  void applyRecord2();
  void takeArrays(Model& m);
  int buildSlice(const Model& m, int i);
  void solveSlice(const Model& m, int i, int n);
  int buildAndEliminateRow(const Model& m, int i);
  void backSubstituteRow(const Model& m, int i, int n);
  [[noreturn]] void zeroPivot(const Model& m, int i, int e) const;

  Settings s_;
  std::int64_t ns_ = 0;
  int nb_ = 0;
  float* slicemat_ = nullptr;
  float* sliceres_ = nullptr;
  int* sliceeq_ = nullptr;
  HeadChangeTable table_;
};

}  // namespace aqx
