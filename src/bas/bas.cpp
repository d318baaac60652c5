// The basic package: define, allocate, read-and-prepare, stress periods, time steps, the
// per-iteration reset and the output phase.
#include "bas/bas.hpp"

#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>

#include "bas/time_steps.hpp"
#include "bas/value_checks.hpp"
#include "driver/allocation_report.hpp"
#include "driver/name_file.hpp"
#include "io/arrays.hpp"
#include "io/record.hpp"
#include "io/word.hpp"

namespace aqx {

namespace {

constexpr std::string_view kBoundaryLabel = "          BOUNDARY ARRAY";
constexpr std::string_view kInitialHeadLabel = "            INITIAL HEAD";

}  // namespace

void Bas::define(Model& m) {
  readNameFile(m);
  const int lu = m.LISTUNIT;
  io::write(lu,
            AQX_FMT("('1',33X,'AQUIFEX'/6X,'KESTREL MODULAR',' FINITE-DIFFERENCE GROUND-WATER FLOW MODEL')"));

  // Title.
  for (std::string& t : m.TITLE) {
    t.assign(80, ' ');
    io::read(m.BASUNIT, AQX_FMT("(A)"), t);
  }
  io::write(lu, AQX_FMT("(1X/1X,A)"), m.TITLE[0]);
  io::write(lu, AQX_FMT("(1X,A)"), m.TITLE[1]);

  // Dimensions and options: both lines are read before either is interpreted, because "FREE" on
  // the options line decides how the dimension line is read.
  std::string dims(80, ' ');
  std::string options(80, ' ');
  io::read(m.BASUNIT, AQX_FMT("(A)"), dims);
  io::read(m.BASUNIT, AQX_FMT("(A)"), options);

  m.XSECT = 0;
  m.CHCHFLOW = 0;
  m.FREEFMT = 0;
  io::Words optionWords(options, lu, m.BASUNIT);
  while (optionWords.column() < 80) {
    const std::string_view w = optionWords.upper();
    if (w == "XSECTION") {
      m.XSECT = 1;
    } else if (w == "CHTOCH") {
      m.CHCHFLOW = 1;
    } else if (w == "FREE") {
      m.FREEFMT = 1;
      io::write(lu, AQX_FMT("(1X,'THE FREE FORMAT OPTION HAS BEEN SELECTED')"));
    }
  }

  int v[6] = {0, 0, 0, 0, 0, 0};
  if (m.FREEFMT == 0) {
    if (!io::readInternal(dims, AQX_FMT("(6I10)"), std::span<int>(v, 6))) {
      throw io::IoError("read", m.BASUNIT, io::fileName(m.BASUNIT), 3,
                        "the dimension line does not hold six integers in (6I10): " + dims);
    }
  } else {
    io::Words dimWords(dims, lu, m.BASUNIT);
    for (int& x : v) x = dimWords.integer();
  }
  m.NLAYER = v[0];
  m.NROWS = v[1];
  m.NCOLS = v[2];
  m.NPERIOD = v[3];
  m.TIMEUNIT = v[4];
  m.CONTINUEFLAG = v[5];

  io::write(lu, AQX_FMT("(1X,I4,' LAYERS',I10,' ROWS',I10,' COLUMNS')"), m.NLAYER, m.NROWS, m.NCOLS);
  io::write(lu, AQX_FMT("(1X,I3,' STRESS PERIOD(S) IN SIMULATION')"), m.NPERIOD);
  // A grid without cells along some direction has nothing to simulate, and negative sizes would
  // make every array length meaningless: stop before anything is taken from the work array.
  if (m.NLAYER < 1 || m.NROWS < 1 || m.NCOLS < 1) {
    io::write(lu, AQX_FMT("(1X/1X,'NUMBERS OF LAYERS, ROWS AND COLUMNS MUST ALL BE AT LEAST 1')"));
    io::stopRun();
  }

  // A model without a stress period simulates nothing; a run that ended normally would hide it.
  if (m.NPERIOD < 1) {
    io::write(lu, AQX_FMT("(1X/1X,'THERE MUST BE AT LEAST ONE STRESS PERIOD')"));
    io::stopRun();
  }

  if (m.TIMEUNIT < 0 || m.TIMEUNIT > 5) m.TIMEUNIT = 0;
  switch (m.TIMEUNIT) {
    case 0:
      io::write(lu, AQX_FMT("(1X,'MODEL TIME UNITS ARE UNDEFINED')"));
      break;
    case 1:
      io::write(lu, AQX_FMT("(1X,'MODEL TIME UNIT IS SECONDS')"));
      break;
    case 2:
      io::write(lu, AQX_FMT("(1X,'MODEL TIME UNIT IS MINUTES')"));
      break;
    case 3:
      io::write(lu, AQX_FMT("(1X,'MODEL TIME UNIT IS HOURS')"));
      break;
    case 4:
      io::write(lu, AQX_FMT("(1X,'MODEL TIME UNIT IS DAYS')"));
      break;
    default:
      io::write(lu, AQX_FMT("(1X,'MODEL TIME UNIT IS YEARS')"));
      break;
  }
  if (m.XSECT != 0) io::write(lu, AQX_FMT("(1X,'CROSS SECTION OPTION IS SPECIFIED')"));
  if (m.CHCHFLOW != 0) io::write(lu, AQX_FMT("(1X,'CALCULATE FLOW BETWEEN ADJACENT CONSTANT-HEAD CELLS')"));

  m.TOTTIME = 0.0f;
  m.work->reset();
  m.NCELLS = static_cast<std::int64_t>(m.NCOLS) * m.NROWS * m.NLAYER;
}

void Bas::allocate(Model& m) {
  const int lu = m.LISTUNIT;
  io::write(lu,
            AQX_FMT("(1X/1X,'BAS5 -- BASIC MODEL PACKAGE, VERSION 5, 1/1/95',' INPUT READ FROM UNIT',I3)"),
            m.BASUNIT);
  io::readFixedOrFree(m.BASUNIT, m.FREEFMT != 0, AQX_FMT("(2I10)"), m.IAPART, m.ISTRT);
  if (m.IAPART != 0) {
    io::write(lu, AQX_FMT("(1X,'ARRAYS RHS AND BUFF WILL HAVE SEPARATE MEMORY ALLOCATIONS')"));
  } else {
    io::write(lu, AQX_FMT("(1X,'ARRAYS RHS AND BUFF WILL SHARE MEMORY')"));
  }
  if (m.ISTRT != 0) {
    io::write(lu, AQX_FMT("(1X,'INITIAL HEAD WILL BE KEPT THROUGHOUT THE SIMULATION')"));
  } else {
    io::write(lu, AQX_FMT("(1X,'INITIAL HEAD WILL NOT BE KEPT THROUGHOUT THE',' SIMULATION, WHICH MEANS'/1X,"
                          "'DRAWDOWN CANNOT BE CALCULATED')"));
  }

  WorkArray& x = *m.work;
  const AllocationReport report(m);
  const std::int64_t n = m.NCELLS;
  m.HEADNEW = x.takeDouble(n);
  m.HEADOLD = x.takeReal(n);
  m.IBOUND = x.takeInt(n);
  m.CONDR = x.takeReal(n);
  m.CONDC = x.takeReal(n);
  m.CONDV = x.takeReal(static_cast<std::int64_t>(m.NCOLS) * m.NROWS * (m.NLAYER - 1));
  m.HCOEF = x.takeReal(n);
  m.RHS = x.takeReal(n);
  m.DELR = x.takeReal(m.NCOLS);
  m.DELC = x.takeReal(m.NROWS);
  m.IOFLG = x.takeInt(4 * static_cast<std::int64_t>(m.NLAYER));
  m.BUFF = m.IAPART != 0 ? x.takeReal(n) : m.RHS;
  m.HSTART = m.ISTRT != 0 ? x.takeReal(n) : nullptr;

  report.report(AQX_FMT("(1X,I10,' ELEMENTS IN X ARRAY ARE USED BY BAS')"));
}

void Bas::readPrepare(Model& m) {
  const int lu = m.LISTUNIT;
  io::write(lu, AQX_FMT("('1'/1X,A)"), m.TITLE[0]);
  io::write(lu, AQX_FMT("(1X,A)"), m.TITLE[1]);

  const std::int64_t layerSize = static_cast<std::int64_t>(m.NCOLS) * m.NROWS;
  if (m.XSECT != 0) {
    io::READIMAT(m.IBOUND, kBoundaryLabel, m.NLAYER, m.NCOLS, -1, m.BASUNIT, lu);
  } else {
    for (int k = 1; k <= m.NLAYER; ++k) {
      io::READIMAT(m.IBOUND + layerSize * (k - 1), kBoundaryLabel, m.NROWS, m.NCOLS, k, m.BASUNIT, lu);
    }
  }

  io::readFixedOrFree(m.BASUNIT, m.FREEFMT != 0, AQX_FMT("(F10.0)"), m.NOFLOWHEAD);
  io::write(lu,
            AQX_FMT("(1X/1X,'AQUIFER HEAD WILL BE SET TO ',1P,G11.5,' AT ALL NO-FLOW NODES (IBOUND=0).')"),
            m.NOFLOWHEAD);

  if (m.XSECT != 0) {
    io::READRMAT(m.HEADOLD, kInitialHeadLabel, m.NLAYER, m.NCOLS, -1, m.BASUNIT, lu);
    checkLayer(
        lu, m.HEADOLD, m.NLAYER, m.NCOLS, -1, Refuse::NonFinite, kInitialHeadLabel,
        [&m](int k, int j) { return m.IBOUND[static_cast<std::int64_t>(k - 1) * m.NCOLS + (j - 1)] != 0; });
  } else {
    for (int k = 1; k <= m.NLAYER; ++k) {
      float* heads = m.HEADOLD + layerSize * (k - 1);
      io::READRMAT(heads, kInitialHeadLabel, m.NROWS, m.NCOLS, k, m.BASUNIT, lu);
      checkLayer(lu, heads, m.NROWS, m.NCOLS, k, Refuse::NonFinite, kInitialHeadLabel, activeCell(m, k));
    }
  }

  // HEADOLD keeps the value read also at no-flow cells; HEADNEW starts there at NOFLOWHEAD.
  for (std::int64_t c = 0; c < m.NCELLS; ++c) {
    m.HEADNEW[c] = m.IBOUND[c] == 0 ? static_cast<double>(m.NOFLOWHEAD) : static_cast<double>(m.HEADOLD[c]);
  }
  if (m.ISTRT != 0) std::copy(m.HEADOLD, m.HEADOLD + m.NCELLS, m.HSTART);

  for (auto& row : m.BUDVAL) row.fill(0.0f);
  oc_ = bas::OcSettings{};
  oc_.unit = m.PKGUNIT[kOC];
  bas::ocInitialise(m, oc_);
}

void Bas::stressPeriod(Model& m) {
  const int lu = m.LISTUNIT;
  float perlen = 0.0f;
  int nsteps = 0;
  float tsmult = 0.0f;
  io::readFixedOrFree(m.BASUNIT, m.FREEFMT != 0, AQX_FMT("(F10.0,I10,F10.0)"), perlen, nsteps, tsmult);
  io::write(lu,
            AQX_FMT("('1'/28X,'STRESS PERIOD NO.',I4,', LENGTH =',G15.7/28X,46('-')//30X,'NUMBER OF TIME "
                    "STEPS =',I6//31X,'MULTIPLIER FOR DELT =',F10.3)"),
            m.KPERIOD, perlen, nsteps, tsmult);
  m.NSTEPS = nsteps;
  m.TSMULT = tsmult;
  if (nsteps < 1) {
    io::write(lu, AQX_FMT("(1X/1X,'THERE MUST BE AT LEAST ONE TIME STEP')"));
    io::stopRun();
  }
  if (!(perlen > 0.0f)) {
    io::write(lu, AQX_FMT("(1X/1X,'PERLEN MUST BE GREATER THAN 0.0')"));
    io::stopRun();
  }
  if (!(tsmult > 0.0f)) {
    io::write(lu, AQX_FMT("(1X/1X,'TSMULT MUST BE GREATER THAN 0.0')"));
    io::stopRun();
  }

  // First step length, so that the geometric series of the period's steps adds up to PERLEN.
  float delt = perlen / static_cast<float>(nsteps);
  if (tsmult != 1.0f) {
    const float numerator = perlen * (1.0f - tsmult);
    delt = numerator / (1.0f - powInt(tsmult, nsteps));
  }
  m.DELT = delt;
  io::write(lu, AQX_FMT("(1X/28X,'INITIAL TIME STEP SIZE =',G15.7)"), m.DELT);
  m.PERTIME = 0.0f;
}

void Bas::advance(Model& m) {
  if (m.KSTEP != 1) m.DELT = m.TSMULT * m.DELT;
  m.TOTTIME = m.TOTTIME + m.DELT;
  m.PERTIME = m.PERTIME + m.DELT;
  for (std::int64_t c = 0; c < m.NCELLS; ++c) m.HEADOLD[c] = static_cast<float>(m.HEADNEW[c]);
}

void Bas::formulate(Model& m) {
  std::fill(m.HCOEF, m.HCOEF + m.NCELLS, 0.0f);
  std::fill(m.RHS, m.RHS + m.NCELLS, 0.0f);
}

void Bas::outputControl(Model& m) {
  bas::ocStep(m, oc_);
}

void Bas::output(Model& m) {
  if (m.CONVERGED == 0) {
    io::write(m.LISTUNIT,
              AQX_FMT("(1X/11X,'****FAILED TO CONVERGE IN TIME STEP',I3,' OF STRESS PERIOD',I3,'****')"),
              m.KSTEP, m.KPERIOD);
  }
  bool printed = false;
  if (m.HDOUTFLAG != 0) {
    printed = bas::headOutput(m, oc_) || printed;
    printed = bas::drawdownOutput(m, oc_) || printed;
  }
  if (m.BUDPRTFLAG != 0) {
    bas::printBudget(m);
    printed = true;
  }
  if (printed) {
    bas::printTimeSummary(m);
    io::write(m.LISTUNIT, AQX_FMT("('1')"));
  }
}

}  // namespace aqx
