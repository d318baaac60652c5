#include "solvers/pcg2.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <string>
#include <utility>
#include <vector>

#include "driver/allocation_report.hpp"
#include "io/record.hpp"
#include "solvers/divergence.hpp"
#include "solvers/pcg2_kernels.hpp"

namespace aqx {

using pcg2::Lrc;
using pcg2::lrcOf;

AQX_REGISTER_PACKAGE("PCG", Pcg2Package)

// ---------------------------------------------------------------------------------------------
// Reading phases

void Pcg2Package::allocate(Model& m) {
  const int lst = m.LISTUNIT;
  const int in = m.unitOf(kPCG);
  io::write(lst, AQX_FMT("('0','PCG2 -- CONJUGATE GRADIENT SOLUTION PACKAGE',', VERSION 2.1, 6/1/95')"));
  io::read(in, AQX_FMT("(4I10)"), s_.MXITER, s_.NINNER, s_.IPRECOND, s_.PCGCONSECLIM);
  io::write(
      lst,
      AQX_FMT("(' MAXIMUM OF',I4,' CALLS OF SOLUTION ROUTINE'/' MAXIMUM OF',I4,' INTERNAL ITERATIONS PER "
              "','CALL TO SOLUTION ROUTINE'/' MATRIX PRECONDITIONING TYPE :',I5)"),
      s_.MXITER, s_.NINNER, s_.IPRECOND);
  // An inner loop that cannot make one iteration, or a preconditioner that does not exist, would
  // leave the solver without a way to end or to progress: stop here with a clear message.
  if (s_.NINNER < 1) {
    io::write(lst,
              AQX_FMT("(' NUMBER OF INTERNAL ITERATIONS PER CALL MUST BE AT LEAST 1.  STOP EXECUTION')"));
    io::stopRun();
  }
  if (s_.IPRECOND != 1 && s_.IPRECOND != 2) {
    io::write(lst, AQX_FMT("(' MATRIX PRECONDITIONING TYPE MUST BE 1 OR 2.  STOP EXECUTION')"));
    io::stopRun();
  }
  applyRecord1(m);
  const AllocationReport report(m);
  takeArrays(m);
  report.report(AQX_FMT("(1X,I7,' ELEMENTS IN X ARRAY ARE USED BY PCG')"),
                AQX_FMT("(1X,I7,' ELEMENTS OF X ARRAY USED OUT OF',I7)"));
}

void Pcg2Package::readPrepare(Model& m) {
  const int lst = m.LISTUNIT;
  const int in = m.unitOf(kPCG);
  io::read(in, AQX_FMT("(3F10.0,3I10,F10.0)"), s_.HEADCLOSE, s_.RESCLOSE, s_.RELAXFAC, s_.IPOLYB,
           s_.IPRINTINT, s_.IPRINTLIM, s_.DAMPFAC);
  io::write(lst, AQX_FMT("('0'///57X,'SOLUTION BY THE CONJUGATE-GRADIENT METHOD'/57X,43('-'))"));
  io::write(lst, AQX_FMT("('0',38X,'MAXIMUM NUMBER OF CALLS TO PCG ROUTINE =',I9)"), s_.MXITER);
  io::write(lst, AQX_FMT("(' ',42X,'MAXIMUM ITERATIONS PER CALL TO PCG =',I9)"), s_.NINNER);
  io::write(lst, AQX_FMT("(' ',49X,'MATRIX PRECONDITIONING TYPE =',I9)"), s_.IPRECOND);
  if (s_.IPRECOND == 2) io::write(lst, AQX_FMT("(' ',58X,'THE MATRIX WILL BE SCALED')"));
  io::write(
      lst,
      AQX_FMT("(' ',26X,'RELAXATION FACTOR (ONLY USED WITH',' PRECOND. TYPE 1) =',E15.5/' ',19X,'PARAMETER "
              "OF POLYMOMIAL PRECOND.',' = 2 (2) OR IS CALCULATED :',I9)"),
      s_.RELAXFAC, s_.IPOLYB);
  io::write(lst, AQX_FMT("(' ',43X,'HEAD CHANGE CRITERION FOR CLOSURE =',E15.5)"), s_.HEADCLOSE);
  io::write(lst, AQX_FMT("(' ',39X,'RESIDUAL CHANGE CRITERION FOR CLOSURE =',E15.5)"), s_.RESCLOSE);
  applyRecord2(m);
  io::write(lst,
            AQX_FMT("(' ',30X,'PCG HEAD AND RESIDUAL CHANGE PRINTOUT INTERVAL =',I9/' ',23X,'PRINTING FROM "
                    "SOLVER IS LIMITED(1) OR ','SUPPRESSED (>1) =',I9)"),
            s_.IPRINTINT, s_.IPRINTLIM);
  io::write(lst, AQX_FMT("(' ',59X,'DAMPING PARAMETER =',E15.5)"), s_.DAMPFAC);
}

void Pcg2Package::configure(Model& m, const Settings& s) {
  s_ = s;
  applyRecord1(m);
  takeArrays(m);
  applyRecord2(m);
}

void Pcg2Package::applyRecord1(Model& m) {
  if (s_.PCGCONSECLIM <= 0) s_.PCGCONSECLIM = s_.MXITER;
  m.MXITER = s_.MXITER;
  m.pcg.PCGCONSECLIM = s_.PCGCONSECLIM;
}

void Pcg2Package::applyRecord2(Model& m) {
  if (s_.IPRINTINT <= 0) s_.IPRINTINT = 999;
  if (!(s_.DAMPFAC > 0.0f)) s_.DAMPFAC = 1.0f;
  m.pcg.HEADCLOSE = s_.HEADCLOSE;
  m.pcg.RESCLOSE = s_.RESCLOSE;
  m.pcg.PCGINNERTOT = 0;
}

void Pcg2Package::takeArrays(Model& m) {
  const std::int64_t ncell = m.NCELLS;
  ni_ = std::max<std::int64_t>(0, static_cast<std::int64_t>(s_.NINNER) * s_.MXITER);
  WorkArray& x = *m.work;
  v_ = x.takeReal(ncell);
  z_ = x.takeReal(ncell);
  p_ = x.takeReal(ncell);
  d_ = s_.IPRECOND == 2 ? nullptr : x.takeReal(ncell);
  hchg_ = x.takeReal(ni_);
  hcell_ = x.takeInt(3 * ni_);
  rchg_ = x.takeReal(ni_);
  rcell_ = x.takeInt(3 * ni_);
  first_ = x.takeInt(ni_);
  m.pcg.INNERHCHG = hchg_;
  m.pcg.INNERRCHG = rchg_;
}

// One outer iteration: the residual of the current heads, then inner iterations of the
// preconditioned conjugate gradients until the closure rules or NINNER end them.
void Pcg2Package::solve(Model& m) {
  const bool scaled = s_.IPRECOND == 2;
  startCall(m);

  int& tot = m.pcg.PCGINNERTOT;
  if (m.KOUTER == 1) tot = 0;
  m.CONVERGED = 0;
  bool innerClosed = false;
  double rhoOld = 0.0;

  for (int inner = 1;; ++inner) {
    ++tot;
    precondition(m, inner);
    const double rho = searchDirection(m, inner, rhoOld);
    rhoOld = rho;
    const double pi = matrixProduct(m);
    const double alpha = stepLength(m, rho, pi);
    update(m, alpha);
    const InnerLargest big = largest(m, alpha);

    const bool closed = std::fabs(big.hchg) <= s_.HEADCLOSE && std::fabs(big.rchg) <= s_.RESCLOSE;
    if (m.MXITER == 1) {
      if (closed) m.CONVERGED = 1;
    } else if (inner == 1 && closed) {
      m.CONVERGED = 1;
    }
    if (closed) innerClosed = true;
    record(m, inner, big);

    if (big.diverged()) stopDivergedStep(m, big);
    if (inner >= s_.NINNER) break;
    if (m.MXITER > 1 && innerClosed) break;
    if (m.MXITER == 1 && m.CONVERGED == 1) break;
  }

  if (scaled) scale(m, false);
  if (m.CONVERGED == 1 || m.KOUTER == m.MXITER) endOfStep(m);
}

// Step 5.9: the entry of this inner iteration in the tables of the time step.
void Pcg2Package::record(const Model& m, int inner, const InnerLargest& big) {
  const int tot = m.pcg.PCGINNERTOT;
  if (tot < 1 || tot > ni_) return;
  const std::int64_t at = tot - 1;
  const Lrc lh = big.cellH >= 0 ? lrcOf(m, big.cellH) : Lrc{0, 0, 0};
  const Lrc lr = big.cellR >= 0 ? lrcOf(m, big.cellR) : Lrc{0, 0, 0};
  hchg_[at] = big.hchg;
  hcell_[3 * at] = lh.k;
  hcell_[3 * at + 1] = lh.i;
  hcell_[3 * at + 2] = lh.j;
  rchg_[at] = big.rchg;
  rcell_[3 * at] = lr.k;
  rcell_[3 * at + 1] = lr.i;
  rcell_[3 * at + 2] = lr.j;
  first_[at] = inner == 1 ? 1 : 0;
}

// The solution has diverged: the step ends here as one that did not converge, and the run stops
// before any head of it is written.
void Pcg2Package::stopDivergedStep(Model& m, const InnerLargest& big) {
  if (s_.IPRECOND == 2) scale(m, false);
  m.CONVERGED = 0;
  endOfStep(m);
  const bool head = big.badH >= 0;
  const Lrc at = lrcOf(m, head ? big.badH : big.badR);
  stopDiverged(m, "PCG2", head ? "HEAD CHANGE" : "RESIDUAL", at.k, at.i, at.j, m.KOUTER);
}

// Step 7: summary of the time step and, when asked, the tables of its inner iterations.
void Pcg2Package::endOfStep(Model& m) {
  const int lst = m.LISTUNIT;
  int& tot = m.pcg.PCGINNERTOT;
  if (s_.IPRINTLIM < 2) {
    if (m.KSTEP == 1) io::write(lst, AQX_FMT("('0')"));
    io::write(lst,
              AQX_FMT("(1X,I5,' CALLS TO PCG ROUTINE FOR TIME STEP',I4,' IN STRESS PERIOD',I3/1X,I5,' TOTAL "
                      "ITERATIONS')"),
              m.KOUTER, m.KSTEP, m.KPERIOD, tot);
    const bool due = m.KSTEP % s_.IPRINTINT == 0 || m.CONVERGED == 0 || m.KSTEP == m.NSTEPS;
    if (s_.IPRINTLIM != 1 && due) {
      if (s_.IPRECOND == 2)
        io::write(lst, AQX_FMT("('0','B OF THE POLYNOMIAL PRECONDITIONING METHOD: ',E12.4)"), polyb_);
      const std::int64_t count = std::min<std::int64_t>(tot, ni_);
      auto table = [&](const float* val, const int* cell) {
        std::vector<io::OutItem> items;
        items.reserve(static_cast<std::size_t>(5 * count));
        for (std::int64_t p = 0; p < count; ++p) {
          items.emplace_back(first_[p]);
          items.emplace_back(val[p]);
          items.emplace_back(cell[3 * p]);
          items.emplace_back(cell[3 * p + 1]);
          items.emplace_back(cell[3 * p + 2]);
        }
        if (!items.empty()) {
          io::writeItems(lst, AQX_FMT("(1(1X,4(2X,I1,1X,G12.4,' (',I3,',',I3,',',I3,')')))"), items);
        }
        io::write(lst, AQX_FMT("('0')"));
      };
      io::write(lst, AQX_FMT("('0','MAXIMUM HEAD CHANGE FOR EACH ITERATION (1 INDICATES ','THE FIRST INNER "
                             "ITERATION):'/'0',4('    HEAD CHANGE  LAYER,ROW,COL')/1X,120('-'))"));
      table(hchg_, hcell_);
      io::write(lst, AQX_FMT("('0','MAXIMUM RESIDUAL FOR EACH ITERATION (1 INDICATES ','THE FIRST INNER "
                             "ITERATION):'/'0',4('     RESIDUAL    LAYER,ROW,COL')/1X,120('-'))"));
      table(rchg_, rcell_);
    }
  }
  tot = 0;
}

}  // namespace aqx
