#include "driver/simulation.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <memory>
#include <span>
#include <string_view>
#include <utility>

#include "bas/bas.hpp"
#include "driver/package.hpp"
#include "driver/progress.hpp"
#include "driver/work_array.hpp"
#include "io/record.hpp"

namespace aqx {

namespace {

// ---------------------------------------------------------------------------------------------
// The phase table: for every phase, the BAS operation (when BAS takes part) and then the package
// slots in call order. A package is called only when the name file gave it a unit.

// clang-format off
enum Phase { kAllocate, kReadPrepare, kStressPeriod, kAdvance, kFormulate, kSolve, kOutputControl, kBudget,
             kOutput, kEnd, kPhaseCount };

using BasCall = void (Bas::*)(Model&);
using PackageCall = void (Package::*)(Model&);

struct PhaseRow {
  BasCall bas;  // nullptr: BAS takes no part
  PackageCall package;
  std::span<const PkgSlot> slots;
};

// Package slots per phase, in call order; BAS comes first wherever it takes part. The allocate
// phase is followed by the work-array size check.
constexpr PkgSlot kAllocateSlots[]     = {kBCF, kWEL, kDRN, kRIV, kEVT, kTLK, kGHB, kRCH, kSIP, kDE4, kSOR,
                                          kPCG, kGFD, kHFB, kRES, kSTR, kIBS, kCHD, kFHB};
constexpr PkgSlot kReadPrepareSlots[]  = {kBCF, kTLK, kSIP, kDE4, kSOR, kPCG, kGFD, kHFB, kIBS, kFHB};
constexpr PkgSlot kStressPeriodSlots[] = {kWEL, kDRN, kRIV, kEVT, kGHB, kRCH, kRES, kSTR, kCHD};
constexpr PkgSlot kAdvanceSlots[]      = {kTLK, kCHD, kBCF, kRES, kFHB};
constexpr PkgSlot kFormulateSlots[]    = {kBCF, kGFD, kHFB, kTLK, kWEL, kDRN, kRIV, kEVT, kGHB, kRCH, kRES,
                                          kSTR, kIBS, kFHB};
constexpr PkgSlot kSolveSlots[]        = {kSIP, kDE4, kSOR, kPCG};  // then the PCG2 closure rule
constexpr PkgSlot kBudgetSlots[]       = {kTLK, kBCF, kGFD, kWEL, kDRN, kRIV, kEVT, kGHB, kRCH, kRES, kSTR,
                                          kIBS, kFHB};  // after BUDNEXT = 1
constexpr PkgSlot kOutputSlots[]       = {kIBS};
constexpr PkgSlot kEndSlots[]          = {kTLK};

constexpr std::array<PhaseRow, kPhaseCount> kPhaseTable = {{
    /* kAllocate      */ {&Bas::allocate,      &Package::allocate,     kAllocateSlots},
    /* kReadPrepare   */ {&Bas::readPrepare,   &Package::readPrepare,  kReadPrepareSlots},
    /* kStressPeriod  */ {&Bas::stressPeriod,  &Package::stressPeriod, kStressPeriodSlots},
    /* kAdvance       */ {&Bas::advance,       &Package::advance,      kAdvanceSlots},
    /* kFormulate     */ {&Bas::formulate,     &Package::formulate,    kFormulateSlots},
    /* kSolve         */ {nullptr,             &Package::solve,        kSolveSlots},
    /* kOutputControl */ {&Bas::outputControl, nullptr,                {}},
    /* kBudget        */ {nullptr,             &Package::budget,       kBudgetSlots},
    /* kOutput        */ {&Bas::output,        &Package::output,       kOutputSlots},
    /* kEnd           */ {nullptr,             &Package::end,          kEndSlots},
}};
// clang-format on

class Simulation {
 public:
  explicit Simulation(const RunCaps& caps) : caps_(caps) {}
  void run();

 private:
  void call(Phase phase);
  void createPackages();
  void timeStep();
  void countStep();

  const RunCaps& caps_;
  int stepsSoFar_ = 0;
  Model m_;
  Bas bas_;
  std::array<std::unique_ptr<Package>, kPkgSlots + 1> packages_;  // by slot number
};

void Simulation::call(Phase phase) {
  const PhaseRow& row = kPhaseTable[phase];
  if (row.bas != nullptr) (bas_.*row.bas)(m_);
  for (PkgSlot slot : row.slots) {
    if (m_.PKGUNIT[slot] > 0 && packages_[slot]) (packages_[slot].get()->*row.package)(m_);
  }
}

// One object per package type the name file names (output control is part of BAS). A type that
// has no implementation in this build stops the run before anything is allocated.
void Simulation::createPackages() {
  for (int slot = 1; slot <= kPkgSlots; ++slot) {
    if (m_.PKGUNIT[slot] <= 0 || slot == kOC) continue;
    std::string_view type = pkgType(slot);
    PackageFactory factory = findPackage(type);
    if (factory == nullptr) {
      io::write(m_.LISTUNIT,
                AQX_FMT("(1X/1X,'PACKAGE TYPE ',A,' IS NOT AVAILABLE IN THIS VERSION OF AQUIFEX')"), type);
      io::stopRun(1);
    }
    packages_[slot] = factory();
  }
}

void Simulation::run() {
  m_.work->reset();
  bas_.define(m_);
  if (caps_.maxCells > 0 && m_.NCELLS > caps_.maxCells) {
    io::write(m_.LISTUNIT, AQX_FMT("(1X/1X,'THE GRID HAS MORE THAN ',I10,' CELLS, THE LIMIT OF THIS RUN')"),
              caps_.maxCells);
    io::stopRun(1);
  }
  createPackages();

  call(kAllocate);
  // The allocators have written their usage lines and warnings; nothing is read or computed
  // with a work array that is too small.
  if (m_.work->tooSmall()) io::stopRun(1);

  call(kReadPrepare);

  for (int kper = 1; kper <= m_.NPERIOD; ++kper) {
    m_.KPERIOD = kper;
    countStep();
    call(kStressPeriod);
    const int nsteps = m_.NSTEPS;
    for (int kstp = 1; kstp <= nsteps; ++kstp) {
      m_.KSTEP = kstp;
      countStep();
      timeStep();
    }
  }

  call(kEnd);
}

void Simulation::countStep() {
  if (caps_.maxSteps <= 0 || ++stepsSoFar_ <= caps_.maxSteps) return;
  io::write(m_.LISTUNIT,
            AQX_FMT("(1X/1X,'MORE THAN ',I10,' STRESS PERIODS AND TIME STEPS, THE LIMIT OF THIS RUN')"),
            caps_.maxSteps);
  io::stopRun(1);
}

void Simulation::timeStep() {
  if (caps_.maxOuterIterations > 0) m_.MXITER = std::min(m_.MXITER, caps_.maxOuterIterations);
  call(kAdvance);
  m_.pcg.keptCount = 0;
  m_.pcg.PCGCONSEC = 0;

  const bool usesPcg = m_.PKGUNIT[kPCG] > 0;
  for (int kiter = 1; kiter <= m_.MXITER; ++kiter) {
    m_.KOUTER = kiter;
    call(kFormulate);
    call(kSolve);
    if (usesPcg) pcgClosureRule(m_);
    progress::update(m_.KPERIOD, m_.NPERIOD, m_.KSTEP, m_.NSTEPS, kiter);
    if (m_.CONVERGED == 1) break;
  }
  // The loop can only end with CONVERGED 0 when its iterations ran out.
  if (m_.CONVERGED == 0 && m_.CONTINUEFLAG == 1) DRYCONVERT(m_);

  call(kOutputControl);
  m_.BUDNEXT = 1;
  call(kBudget);  // every row goes through addBudgetRow, which stops when the table is full
  call(kOutput);
  if (caps_.afterStep) caps_.afterStep(m_);

  if (m_.CONVERGED == 0) {
    if (m_.CONTINUEFLAG != 1) io::stopRun(1);
    io::write(
        m_.LISTUNIT,
        AQX_FMT(
            "(////2X,'WARNING -- CONVERGENCE NOT ACHIEVED BUT',' CONTINUING ANYWAY PER USER REQUEST'////)"));
    m_.CONVERGED = 1;
    DRYCONVERT(m_);
  }
}

}  // namespace

bool phaseCallsSlot(std::string_view method, int slot) {
  static constexpr std::pair<std::string_view, Phase> kMethods[] = {
      {"allocate", kAllocate}, {"readPrepare", kReadPrepare}, {"stressPeriod", kStressPeriod},
      {"advance", kAdvance},   {"formulate", kFormulate},     {"solve", kSolve},
      {"budget", kBudget},     {"output", kOutput},           {"end", kEnd}};
  for (const auto& [name, phase] : kMethods) {
    if (name != method) continue;
    const PhaseRow& row = kPhaseTable[phase];
    return row.package != nullptr && std::find(row.slots.begin(), row.slots.end(), slot) != row.slots.end();
  }
  return false;
}

void runSimulation(const RunCaps& caps) {
  auto simulation = std::make_unique<Simulation>(caps);
  simulation->run();
}

void pcgClosureRule(Model& m) {
  Model::Pcg& p = m.pcg;
  int count = p.PCGINNERTOT;
  if (count == 0) count = p.keptCount;
  p.keptCount = count;

  bool qualifies = false;
  if (m.CONVERGED == 0 && count >= 1 && p.INNERHCHG != nullptr && p.INNERRCHG != nullptr) {
    qualifies =
        std::fabs(p.INNERHCHG[count - 1]) <= p.HEADCLOSE && std::fabs(p.INNERRCHG[count - 1]) <= p.RESCLOSE;
  }
  // A qualifying iteration extends the run; any other restarts it at 1 (not 0).
  p.PCGCONSEC = qualifies ? p.PCGCONSEC + 1 : 1;

  if (p.PCGCONSEC > p.PCGCONSECLIM) {
    m.CONVERGED = 1;
    io::write(m.LISTUNIT,
              AQX_FMT("(/2X,'PCG2 CONVERGENCE STOPPED AFTER ',I5,'CONSECUTIVE OUTER ITERATIONS WITH ERROR "
                      "CRITERIA',' ACHIEVED.'/2X,'CAREFULLY LOOK AT MASS BALANCE',' TO VALIDATE RESULTS.')"),
              p.PCGCONSECLIM);
    DRYCONVERT(m);
  }
}

void DRYCONVERT(Model& m) {
  if (m.BOTTOM == nullptr || m.IBOUND == nullptr || m.HEADNEW == nullptr) return;
  const std::int64_t layerCells = static_cast<std::int64_t>(m.NCOLS) * m.NROWS;
  const int layers = std::min<int>(m.NLAYER, static_cast<int>(m.LAYCON.size()));
  const double dry = static_cast<double>(m.HEADDRY);
  int kb = 0;  // position of the layer among the layers of type 1 or 3
  for (int k = 1; k <= layers; ++k) {
    const int type = m.LAYCON[k - 1];
    if (type != 1 && type != 3) continue;
    ++kb;
    const float* bottom = m.BOTTOM + static_cast<std::int64_t>(kb - 1) * layerCells;
    const std::int64_t base = static_cast<std::int64_t>(k - 1) * layerCells;
    for (std::int64_t c = 0; c < layerCells; ++c) {
      const std::int64_t n = base + c;
      if (m.IBOUND[n] <= 0) continue;
      // Heads are compared with elevations in single precision.
      if (static_cast<float>(m.HEADNEW[n]) <= bottom[c]) {
        m.HEADNEW[n] = dry;
        m.IBOUND[n] = 0;
        if (m.CONDC != nullptr) m.CONDC[n] = 0.0f;
      }
    }
  }
}

}  // namespace aqx
