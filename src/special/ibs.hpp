// IBS: storage of compressible fine-grained interbeds in chosen layers. The storage is elastic
// while the head stays at or above the preconsolidation (critical) head and inelastic ("virgin")
// below it. Released water compacts the interbeds; compaction is accumulated per cell and summed
// over the interbed layers into land subsidence, the critical head follows the head downward at
// the end of each time step, and subsidence, compaction and critical head are printed and saved
// under the package's own output control.
#pragma once

#include <array>
#include <cstdint>

#include "driver/package.hpp"

namespace aqx {

class IbsPackage : public Package {
 public:
  static constexpr int kMaxLayers = 200;

  // Output settings of record 4 (print-format numbers and save units).
  struct Settings {
    int SUBFMT = 0, COMFMT = 0, CRITFMT = 0;
    int SUBUNIT = 0, COMUNIT = 0, CRITUNIT = 0;
  };
  // Output flags of one time step (record 5, or the default).
  struct Flags {
    int ISUBPR = 0, ICOMPR = 0, IHCPR = 0;
    int ISUBSV = 0, ICOMSV = 0, IHCSV = 0;
  };

  void allocate(Model& m) override;     // records 1 and 2, the four arrays; cancelled in steady state
  void readPrepare(Model& m) override;  // the four arrays per interbed layer, record 4
  void formulate(Model& m) override;    // elastic or virgin storage against the critical head
  void budget(Model& m) override;       // released volume, compaction, critical head lowered
  void output(Model& m) override;       // record 5; subsidence, compaction, critical head

  int IBSCBUNIT() const { return cbunit_; }
  int IBSOCFLAG() const { return ocflag_; }
  // The interbed layers in increasing order: model layer of position kq (1-based).
  int NIBS() const { return nibs_; }
  int interbedLayer(int kq) const { return layers_[static_cast<std::size_t>(kq - 1)]; }
  const Settings& settings() const { return s_; }
  const Flags& flags() const { return f_; }

  // Values of cell (row i, column j) of interbed position kq, all 1-based.
  float PRECONHEAD(int kq, int i, int j) const { return precon_[at(kq, i, j)]; }
  float ELASTICSTOR(int kq, int i, int j) const { return elastic_[at(kq, i, j)]; }
  float VIRGINSTOR(int kq, int i, int j) const { return virgin_[at(kq, i, j)]; }
  float COMPACTION(int kq, int i, int j) const { return compaction_[at(kq, i, j)]; }

 private:
  std::int64_t at(int kq, int i, int j) const {
    return (j - 1) + static_cast<std::int64_t>(ncol_) * (i - 1) + layerSize_ * (kq - 1);
  }
  void printLayer(const Model& m, const float* values, const char* label, int layer, int code) const;
  void saveLayer(const Model& m, const float* values, const char* label, int layer, int unit) const;

  int cbunit_ = 0, ocflag_ = 0;
  int nibs_ = 0;
  std::array<int, kMaxLayers> layers_{};
  int ncol_ = 0;
  std::int64_t layerSize_ = 0;
  Settings s_;
  Flags f_;
  float* precon_ = nullptr;
  float* elastic_ = nullptr;
  float* virgin_ = nullptr;
  float* compaction_ = nullptr;
};

}  // namespace aqx
