// TLK: transient leakage through compressible confining beds that lie between two adjacent
// layers. The bed's response to head changes at its faces is approximated by sums of
// exponentials whose convolution with past heads is carried forward from step to step; in every
// outer iteration the package replaces the vertical conductance between the two layers and adds
// the convolution terms to the equations of both. The budget reports the release from bed storage
// and the leakage exchanged with constant-head cells; the convolution state can be saved at the
// end of a run and read at the start of its continuation.
#pragma once

#include <array>
#include <cstdint>

#include "driver/package.hpp"

namespace aqx {

class TlkPackage : public Package {
 public:
  static constexpr int kMaxUnits = 200;

  void allocate(Model& m) override;     // records 1 and 2, the arrays; cancelled in steady state
  void readPrepare(Model& m) override;  // the three arrays per unit, restart record, series constants
  void advance(Model& m) override;      // states carried forward, coefficients of the step
  void formulate(Model& m) override;    // vertical conductance replaced, terms of both layers
  void budget(Model& m) override;       // bed storage and constant-head leakage, three records
  void end(Model& m) override;          // the restart record

  int NCONFUNIT() const { return nconf_; }
  int TLKFLOWCB() const { return flowcb_; }
  int NM1TERMS() const { return nterms_; }
  int TLKSAVEUNIT() const { return saveUnit_; }
  int TLKREADUNIT() const { return readUnit_; }
  int CONFLAYER(int n) const { return conflayer_[static_cast<std::size_t>(n - 1)]; }
  int TOPSLOT(int k) const { return topslot_[static_cast<std::size_t>(k - 1)]; }
  float TLKTIME() const { return time_; }
  float TLKPREVDT() const { return prevdt_; }
  std::int64_t unitCells() const { return nu_; }

  // Values of unit n at map cell (row i, column j), all 1-based.
  float TLKCOND(int n, int i, int j) const { return cond_[at(n, i, j)]; }
  float TLKRATE(int n, int i, int j) const { return rate_[at(n, i, j)]; }
  float TLKCOEFA(int n, int i, int j) const { return coefA_[at(n, i, j)]; }
  float TLKCOEFB(int n, int i, int j) const { return coefB_[at(n, i, j)]; }
  float TLKHISTA(int n, int i, int j) const { return histA_[at(n, i, j)]; }
  float TLKHISTB(int n, int i, int j) const { return histB_[at(n, i, j)]; }
  // Term m (1-based) of the series constants and of the states of one unit cell.
  float M1COEF(int t) const { return m1coef_[t - 1]; }
  float M1EXP(int t) const { return m1exp_[t - 1]; }
  float CROSSCOEF(int t) const { return crosscoef_[t - 1]; }
  float CROSSEXP(int t) const { return crossexp_[t - 1]; }
  float TLKSTATE1(int n, int i, int j, int t) const { return state1_[at(n, i, j) * nterms_ + t - 1]; }
  float TLKSTATE2(int n, int i, int j, int t) const { return state2_[at(n, i, j) * 2 + t - 1]; }
  float TLKSTATE3(int n, int i, int j, int t) const { return state3_[at(n, i, j) * nterms_ + t - 1]; }
  float TLKSTATE4(int n, int i, int j, int t) const { return state4_[at(n, i, j) * 2 + t - 1]; }

  // The step response 1 - exp(-x), by its series for small x.
  static float stepResponse(float x);

 private:
  std::int64_t at(int n, int i, int j) const {
    return (j - 1) + static_cast<std::int64_t>(ncol_) * (i - 1) + layerSize_ * (n - 1);
  }
  // Head of the cell below raised to its layer's top, when the layer has one.
  bool hasTop(const Model& m, int kb) const { return m.TOP != nullptr && TOPSLOT(kb) > 0; }
  float topOf(const Model& m, int kb, int i, int j) const {
    return m.TOP[(j - 1) + static_cast<std::int64_t>(ncol_) * (i - 1) + layerSize_ * (TOPSLOT(kb) - 1)];
  }
  void readRestart(Model& m);

  int nconf_ = 0, flowcb_ = 0, nterms_ = 3, saveUnit_ = 0, readUnit_ = 0;
  std::array<int, kMaxUnits> conflayer_{};
  std::array<int, kMaxUnits> topslot_{};
  float time_ = 0.0f, prevdt_ = 0.0f;
  int ncol_ = 0;
  std::int64_t layerSize_ = 0, nu_ = 0;
  float* cond_ = nullptr;
  float* rate_ = nullptr;
  float* coefB_ = nullptr;
  float* coefA_ = nullptr;
  float* histA_ = nullptr;
  float* histB_ = nullptr;
  float* m1coef_ = nullptr;
  float* crosscoef_ = nullptr;
  float* m1exp_ = nullptr;
  float* crossexp_ = nullptr;
  float* state1_ = nullptr;
  float* state2_ = nullptr;
  float* state3_ = nullptr;
  float* state4_ = nullptr;
};

}  // namespace aqx
