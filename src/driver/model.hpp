// The shared state of one simulation: grid dimensions, options, the shared grid arrays (stretches
// of the work array), the clock, the unit tables, the budget table and the output-control results.
// The driver owns one Model and passes it to every phase of every package; packages meet only here.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "driver/work_array.hpp"

namespace aqx {

// Package file-type codes, slot order (slot s is PKGTYPE[s - 1]); blank slots never match.
inline constexpr int kPkgSlots = 40;
inline constexpr std::array<const char*, kPkgSlots> PKGTYPE = {
    "BCF ", "WEL ", "DRN ", "RIV ", "EVT ", "TLK ", "GHB ", "RCH ", "SIP ", "DE4 ",
    "SOR ", "OC  ", "PCG ", "GFD ", "    ", "HFB ", "RES ", "STR ", "IBS ", "CHD ",
    "FHB ", "    ", "    ", "    ", "    ", "    ", "    ", "    ", "    ", "    ",
    "    ", "    ", "    ", "    ", "    ", "    ", "    ", "    ", "    ", "    "};

// The file type of a slot (1-based) without its padding; empty for a blank slot.
constexpr std::string_view pkgType(int slot) {
  std::string_view t = PKGTYPE[static_cast<std::size_t>(slot - 1)];
  while (!t.empty() && t.back() == ' ') t.remove_suffix(1);
  return t;
}

// Slot numbers (1-based) of the package types.
enum PkgSlot : int {
  kBCF = 1,
  kWEL = 2,
  kDRN = 3,
  kRIV = 4,
  kEVT = 5,
  kTLK = 6,
  kGHB = 7,
  kRCH = 8,
  kSIP = 9,
  kDE4 = 10,
  kSOR = 11,
  kOC = 12,
  kPCG = 13,
  kGFD = 14,
  kHFB = 16,
  kRES = 17,
  kSTR = 18,
  kIBS = 19,
  kCHD = 20,
  kFHB = 21
};

inline constexpr int NAMEUNIT = 99;
inline constexpr int BATCHUNIT = 98;
inline constexpr int BATCHRPTUNIT = 97;

struct Model {
  WorkArray* work = &WorkArray::instance();

  // Units (name file).
  int LISTUNIT = 0;
  int BASUNIT = 0;
  std::array<int, kPkgSlots + 1> PKGUNIT{};  // index by slot number 1..40; [0] unused
  int unitOf(int slot) const { return PKGUNIT[slot]; }

  // Title, grid and options (BAS define).
  std::array<std::string, 2> TITLE;
  int NLAYER = 0, NROWS = 0, NCOLS = 0, NPERIOD = 0, TIMEUNIT = 0, CONTINUEFLAG = 0;
  std::int64_t NCELLS = 0;
  int XSECT = 0, CHCHFLOW = 0, FREEFMT = 0;
  int IAPART = 0, ISTRT = 0;
  float NOFLOWHEAD = 0.0f;

  // Shared grid arrays (stretches of the work array; nullptr until allocated).
  double* HEADNEW = nullptr;
  float* HEADOLD = nullptr;
  int* IBOUND = nullptr;
  float* CONDR = nullptr;
  float* CONDC = nullptr;
  float* CONDV = nullptr;
  float* HCOEF = nullptr;
  float* RHS = nullptr;
  float* DELR = nullptr;
  float* DELC = nullptr;
  int* IOFLG = nullptr;   // 4 columns of NLAYER values: head print, drawdown print, head save, drawdown save
  float* BUFF = nullptr;  // the same storage as RHS when IAPART is 0
  float* HSTART = nullptr;  // only when ISTRT is nonzero

  // Index of cell (layer k, row i, column j), all 1-based, into a grid array.
  std::int64_t cell(int k, int i, int j) const {
    return (j - 1) + static_cast<std::int64_t>(NCOLS) * (i - 1) +
           static_cast<std::int64_t>(NCOLS) * NROWS * (k - 1);
  }

  // Clock and loop counters.
  int KPERIOD = 0, KSTEP = 0, KOUTER = 0, NSTEPS = 0;
  float DELT = 0.0f, TSMULT = 1.0f, PERTIME = 0.0f, TOTTIME = 0.0f;
  int MXITER = 0;
  int CONVERGED = 0;

  // Layer tables set by the flow package (200 layers at most).
  std::array<int, 200> LAYCON{};
  std::array<int, 200> LAYAVG{};
  // Bottom elevations of the layers of type 1 or 3, one layer of values each, in layer order
  // (set by the flow package; used by the dry-cell pass), and the head given to dry cells.
  float* BOTTOM = nullptr;
  float HEADDRY = 0.0f;
  // Top elevations of the layers of type 2 or 3, one layer of values each, in layer order; the
  // storage capacities (STOR1 every layer, STOR2 the layers of type 2 or 3; transient runs only)
  // and the steady-state flag of the flow package's first record.
  float* TOP = nullptr;
  float* STOR1 = nullptr;
  float* STOR2 = nullptr;
  int ISTEADY = 0;

  // Volumetric budget table.
  std::array<std::array<float, 4>, 40> BUDVAL{};  // cumulative in, cumulative out, rate in, rate out
  std::array<std::string, 40> BUDNAM;             // 16-character labels
  int BUDNEXT = 1;

  // Output-control results of the current time step.
  int HDOUTFLAG = 0, BUDPRTFLAG = 0, ICBCFL = 0;

  // PCG2 bookkeeping shared with the driver's closure rule.
  struct Pcg {
    int PCGINNERTOT = 0;               // inner iterations so far in the step
    const float* INNERHCHG = nullptr;  // per inner iteration, 1-based by count
    const float* INNERRCHG = nullptr;
    float HEADCLOSE = 0.0f, RESCLOSE = 0.0f;
    int PCGCONSECLIM = 0;
    int keptCount = 0;  // driver: count kept from the previous outer iteration
    int PCGCONSEC = 0;  // driver: consecutive qualifying outer iterations
  } pcg;
};

}  // namespace aqx
