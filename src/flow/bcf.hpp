// The block-centred flow package: layer types and averaging codes, cell properties, horizontal and
// vertical conductances, storage, drying and wetting of convertible cells, and the budget of
// storage, constant-head cells and flow across cell faces.
#pragma once

#include <array>
#include <string_view>

#include "driver/package.hpp"

namespace aqx {

namespace bcf {

// The four horizontal averaging rules. On entry CONDC of layer k (1-based) holds the cell values
// to average (transmissivity; hydraulic conductivity for the unconfined rule, which also takes the
// saturated thickness of every cell in `thick`, a full grid array). They overwrite CONDC of the
// layer and set CONDR; CONDR of the last column and CONDC of the last row are left alone.
void averageHarmonic(float* CONDR, float* CONDC, const float* ANISO, const float* DELR, const float* DELC,
                     int k, int ncol, int nrow);
void averageArithmetic(float* CONDR, float* CONDC, const float* ANISO, const float* DELR, const float* DELC,
                       int k, int ncol, int nrow);
void averageLogarithmic(float* CONDR, float* CONDC, const float* ANISO, const float* DELR, const float* DELC,
                        int k, int ncol, int nrow);
void averageUnconfined(float* CONDR, float* CONDC, const float* ANISO, const float* DELR, const float* DELC,
                       const float* thick, int k, int ncol, int nrow);

// Logarithmic mean of two positive values (arithmetic mean when they are within half a percent).
float logMean(float t1, float t2);

// The 12-character name of an averaging code (0, 10, 20, 30).
std::string_view averagingName(int layavg);

}  // namespace bcf

class BcfPackage : public Package {
 public:
  void allocate(Model& m) override;
  void readPrepare(Model& m) override;
  void advance(Model& m) override;
  void formulate(Model& m) override;
  void budget(Model& m) override;

  // Record 1.
  struct Settings {
    int ISTEADY = 0, IFLOWCB = 0, IWETTING = 0, IWETINTERVAL = 0, IWETEQN = 0;
    float HEADDRY = 0.0f, WETFACTOR = 0.0f;
  };

  // Without an input file (tests, benchmarks): record 1 as given, applied as reading it would
  // (a wetting interval below 1 becomes 1; HEADDRY goes to the model).
  void configure(Model& m, const Settings& s);
  const Settings& settings() const { return s_; }
  bool transient() const { return s_.ISTEADY == 0; }
  bool wetting() const { return s_.IWETTING != 0; }

  // The package's arrays (stretches of the work array, filled by the read-prepare phase or by a
  // test in its place); nullptr when the model has none.
  float* stor1() const { return STOR1; }
  float* stor2() const { return STOR2; }
  float* aniso() const { return ANISO; }
  float* bottom() const { return BOTTOM; }
  float* hydcond() const { return HYDCOND; }
  float* top() const { return TOP; }
  float* wetdry() const { return WETDRY; }
  float* cvsave() const { return CVSAVE; }
  int convertibleLayers() const { return nconv; }  // layers of type 1 or 3
  int topLayers() const { return ntop; }           // layers of type 2 or 3

  // Per-phase pieces, public so that they can be exercised one by one.
  void decodeLayers(Model& m, const int* codes);  // layer codes -> LAYCON, LAYAVG, positions; listed
  void takeArrays(Model& m);                      // the package's stretches of the work array
  void checkInput(const Model& m) const;          // refuses impossible values (after all arrays are read)
  void prepare(Model& m);  // conductances, elimination, storage capacities (after all arrays are read)
  void recomputeLayer(Model& m, int k, int kb, int kt);
  void budgetStorage(Model& m);
  void budgetConstantHead(Model& m);
  void budgetFaces(Model& m, int direction);

 private:
  Settings s_;
  float* STOR1 = nullptr;
  float* STOR2 = nullptr;
  float* ANISO = nullptr;
  float* BOTTOM = nullptr;
  float* HYDCOND = nullptr;
  float* TOP = nullptr;
  float* WETDRY = nullptr;
  float* CVSAVE = nullptr;
  int nconv = 0;
  int ntop = 0;

  // Conversion log of one layer pass.
  struct LogEntry {
    const char* kind;
    int row, col;
  };
  std::array<LogEntry, 5> pending_{};
  int npending_ = 0;
  bool headingWritten_ = false;
  void logConversion(Model& m, int k, const char* kind, int i, int j);
  void flushLog(Model& m, int k);

  // Convertible and top positions of every layer (0 when the layer has none).
  std::array<int, 200> convPos_{};
  std::array<int, 200> topPos_{};
};

}  // namespace aqx
