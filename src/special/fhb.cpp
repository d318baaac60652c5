#include "special/fhb.hpp"

#include <cstdlib>
#include <span>
#include <string>
#include <string_view>

#include "bas/budget_terms.hpp"
#include "bas/value_checks.hpp"
#include "driver/allocation_report.hpp"
#include "io/text.hpp"
#include "io/word.hpp"

namespace aqx {

namespace {

constexpr std::string_view kLabel = " SPECIFIED FLOWS";

// A line of n dashes under a format of single-character fields.
void writeDashes(int unit, const io::Format& format, int n) {
  const std::vector<io::OutItem> dashes(static_cast<std::size_t>(n), io::OutItem("-"));
  io::writeItems(unit, format, dashes);
}

const char* cellKind(bool flow) {
  return flow ? "SPECIFIED-FLOW" : "SPECIFIED-HEAD";
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Allocate

void FhbPackage::allocate(Model& m) {
  const int lst = m.LISTUNIT;
  const int in = m.unitOf(kFHB);
  io::write(lst, AQX_FMT("('0','FHB1 -- SPECIFIED FLOW PACKAGE, VERSION 1,12/3/96',' INPUT READ FROM',I3)"),
            in);
  io::readList(in, nt_, nf_, nh_, ssflag_, cbunit_, af_, ah_);

  // The counts size the arrays and bound every loop over the cells: a negative one is refused.
  for (const bool flow : {true, false}) {
    const int count = flow ? nf_ : nh_;
    if (count < 0) {
      io::write(lst, AQX_FMT("(1X/1X,'FHB: THE NUMBER OF ',A,' CELLS IS NEGATIVE:',I11/1X,'STOP EXECUTION')"),
                cellKind(flow), count);
      io::stopRun();
    }
  }
  if (nf_ <= 0 && nh_ <= 0) {
    io::write(lst,
              AQX_FMT("(1X,'SPECIFIED FLOW AND HEAD BOUNDARY OPTION ','CANCELLED.'/1X,'NO BOUNDARY CELLS "
                      "WERE SPECIFIED.')"));
    m.PKGUNIT[kFHB] = 0;
    return;
  }
  if (nt_ <= 0) {
    io::write(lst, AQX_FMT("(1X,'SIMULATION ABORTING.  NOT ENOUGH TIMES ','SPECIFIED FOR FHB1 PACKAGE.')"));
    io::stopRun();
  }

  if (nt_ == 1) {
    io::write(lst, AQX_FMT("(1X,' SPECIFIED FLOW AND HEAD VALUES WILL REMAIN ','CONSTANT FOR ENTIRE "
                           "SIMULATION.')"));
  } else {
    io::write(lst,
              AQX_FMT("(' ','TOTAL OF',I5,' TIMES WILL BE USED TO DEFINE ','VARIATIONS IN FLOW AND HEAD.')"),
              nt_);
  }
  io::write(lst, AQX_FMT("(' ','FLOW WILL BE SPECIFIED AT A TOTAL OF',I5,' CELLS.')"), nf_);
  io::write(lst, AQX_FMT("(' ','HEAD WILL BE SPECIFIED AT A TOTAL OF',I5,' CELLS.')"), nh_);
  if (m.ISTEADY == 0) {
    io::write(
        lst, AQX_FMT("(' ','FHB STEADY-STATE OPTION FLAG WILL BE IGNORED,'/' ','SIMULATION IS TRANSIENT.')"));
  } else if (ssflag_ == 0) {
    io::write(lst,
              AQX_FMT("(' ','FLOW, HEAD, AND AUX VARIABLES AT TIME=0 WILL BE '/' ','USED IN STEADY-STATE "
                      "SIMULATIONS.')"));
  } else {
    io::write(lst,
              AQX_FMT("(' ','FLOW, HEAD, AND AUX VARIABLES WILL BE ','INTERPOLATED'/' ','IN STEADY-STATE "
                      "SIMULATIONS.')"));
  }
  if (cbunit_ > 0) io::write(lst, AQX_FMT("(1X,'CELL-BY-CELL FLOWS WILL BE RECORDED ON UNIT',I3)"), cbunit_);
  if (cbunit_ < 0) io::write(lst, AQX_FMT("(1X,'CELL-BY-CELL FLOWS WILL BE PRINTED WHEN ICBCFL NOT 0')"));

  if (af_ > kMaxAux || ah_ > kMaxAux) {
    io::writeList(lst, " ABORTING. A MAXIMUM OF 5 AUXILIARY VARIABLES", " CAN BE DEFINED BY FHB.");
    io::stopRun();
  }
  // A negative count would size the series arrays below one value per time.
  for (const bool flow : {true, false}) {
    const int count = flow ? af_ : ah_;
    if (count < 0) {
      io::write(lst,
                AQX_FMT("(1X/1X,'FHB: THE NUMBER OF AUXILIARY VARIABLES FOR ',A,' CELLS IS NEGATIVE:',I11/1X,"
                        "'STOP EXECUTION')"),
                cellKind(flow), count);
      io::stopRun();
    }
  }

  // Names and weights: flow-cell variables in slots 1 to 5, head-cell variables in 6 to 10.
  for (const bool flow : {true, false}) {
    const int count = flow ? af_ : ah_;
    if (flow) {
      io::write(lst,
                AQX_FMT("(1X,I2,' AUXILIARY VARIABLES FOR SPECIFIED-FLOW CELLS WILL'/'  BE DEFINED BY FHB "
                        "FOR USE BY OTHER PACKAGES.')"),
                count);
    } else {
      io::write(lst,
                AQX_FMT("(1X,I2,' AUXILIARY VARIABLES FOR SPECIFIED-HEAD CELLS WILL'/'  BE DEFINED BY FHB "
                        "FOR USE BY OTHER PACKAGES.')"),
                count);
    }
    if (count > 0) io::write(lst, AQX_FMT("('       NAME      WEIGHTING FACTOR'/1X,32('-'))"));
    for (int q = 1; q <= count; ++q) {
      const std::size_t slot = static_cast<std::size_t>((flow ? 0 : kMaxAux) + q - 1);
      std::string line(80, ' ');
      io::readLine(in, line);
      io::Words words(line, lst, in);
      auxName_[slot] = io::fit(words.upper(), 16);
      auxWeight_[slot] = words.real();  // a line without a second word gives 0.0
      io::write(lst, AQX_FMT("(1X,A16,F11.2)"), auxName_[slot], auxWeight_[slot]);
      if (!(auxWeight_[slot] >= 0.0f && auxWeight_[slot] <= 1.0f)) {
        io::writeList(lst, " Aborting. Weights for Auxiliary variables cannot");
        io::writeList(lst, " be less than 0.0 or greater than 1.0.");
        io::stopRun();
      }
    }
  }

  const AllocationReport report(m);
  WorkArray& w = *m.work;
  const std::int64_t nt = nt_, nf = nf_, nh = nh_;
  time_ = w.takeReal(nt);
  flowCell_ = w.takeInt(4 * nf);
  flowSeries_ = w.takeReal((af_ + 1) * nt * nf);
  flowNow_ = w.takeReal((af_ + 2) * nf);
  headCell_ = w.takeInt(4 * nh);
  headSeries_ = w.takeReal((ah_ + 1) * nt * nh);
  headAuxNow_ = w.takeReal(ah_ * nh);
  report.report(AQX_FMT("(1X,I8,' ELEMENTS IN X ARRAY ARE USED BY FHB1')"),
                AQX_FMT("(1X,I8,' ELEMENTS OF X ARRAY USED OUT OF',I8)"));
}

// ---------------------------------------------------------------------------------------------
// Read and prepare

FhbPackage::SetControl FhbPackage::readControl(Model& m) {
  SetControl c;
  io::readList(m.unitOf(kFHB), c.unit, c.mult, c.print);
  if (!io::isOpen(c.unit)) {
    io::write(m.LISTUNIT, AQX_FMT("(1X/1X,'FHB: DATA UNIT',I11,' IS NOT OPEN'/1X,'STOP EXECUTION')"), c.unit);
    io::stopRun();
  }
  return c;
}

void FhbPackage::readPrepare(Model& m) {
  ignored_.assign(static_cast<std::size_t>(nh_), 0);
  readTimes(m);
  if (nf_ > 0) {
    readCells(m, true);
    for (int q = 1; q <= af_; ++q) readAux(m, true, q);
  }
  if (nh_ > 0) {
    readCells(m, false);
    for (int q = 1; q <= ah_; ++q) readAux(m, false, q);
  }
}

void FhbPackage::readTimes(Model& m) {
  const int lst = m.LISTUNIT;
  const SetControl c = readControl(m);
  io::write(lst,
            AQX_FMT("(1X,'TIMES FOR SPECIFIED-FLOW AND HEAD VALUES WILL BE READ',' ON UNIT',I4,' AND'/' "
                    "MULTIPLIED BY',G12.4,'.')"),
            c.unit, c.mult);
  const std::span<float> times(time_, static_cast<std::size_t>(nt_));
  io::readList(c.unit, times);
  for (float& t : times) t = t * c.mult;
  if (c.print > 0) {
    io::write(lst, AQX_FMT("(1X,I5,' TIMES FOR SPECIFYING FLOWS AND HEADS:')"), nt_);
    std::vector<int> numbers(static_cast<std::size_t>(nt_));
    for (int n = 1; n <= nt_; ++n) numbers[static_cast<std::size_t>(n - 1)] = n;
    io::write(lst, AQX_FMT("(16X,I8,4I12)"), std::span<const int>(numbers));
    writeDashes(lst, AQX_FMT("(17X,60A1)"), nt_ > 5 ? 60 : 12 * nt_);
    io::write(lst, AQX_FMT("(17X,5G12.4)"), std::span<const float>(times));
  }

  bool bad = false;
  if (time_[0] != 0.0f) {
    io::write(lst, AQX_FMT("(1X,'STARTING TIME FOR SPECIFIED FLOWS AND HEADS MUST',' BE ZERO. ABORTING.')"));
    bad = true;
  }
  for (int n = 2; n <= nt_; ++n) {
    // Written so that a time that is not a number is refused too.
    if (!(time_[n - 1] >= time_[n - 2])) {
      io::write(lst, AQX_FMT("(1X,'TIMES FOR SPECIFIED FLOWS MUST INCREASE.','  ABORTING.')"));
      bad = true;
      break;
    }
  }
  if (bad) io::stopRun();
  for (int n = 1; n <= nt_; ++n) checkEntry(lst, time_[n - 1], Refuse::NonFinite, "FHB", n, "TIME");
}

void FhbPackage::writeCellTableHead(Model& m, const SetControl& c, const io::Format& heading,
                                    const std::string& name) {
  if (c.print <= 0) return;
  if (name.empty()) {
    io::write(m.LISTUNIT, heading);
  } else {
    io::write(m.LISTUNIT, heading, name);
  }
  writeDashes(m.LISTUNIT, AQX_FMT("(1X,79A1)"), nt_ >= 5 ? 79 : 12 * nt_ + 19);
}

void FhbPackage::writeEntry(Model& m, const int* cell, const float* values) {
  io::write(m.LISTUNIT, AQX_FMT("(1X,I4,3I5,5G12.4/1(20X,5G12.4))"), cell[0], cell[1], cell[2], cell[3],
            std::span<const float>(values, static_cast<std::size_t>(nt_)));
}

void FhbPackage::stopOutsideGrid(Model& m, bool flow, int n, const int* cell) {
  io::write(
      m.LISTUNIT,
      AQX_FMT("(1X/1X,'FHB ',A,' CELL',I6,' IS OUTSIDE THE GRID: LAYER',I11,', ROW',I11,', COLUMN',I11/1X,"
              "'STOP EXECUTION')"),
      cellKind(flow), n, cell[0], cell[1], cell[2]);
  io::stopRun();
}

// The values of one cell's series enter the equations (interpolated in time): none may be
// anything but a finite number.
void FhbPackage::checkSeries(Model& m, bool flow, int n, const float* values) {
  for (int t = 1; t <= nt_; ++t) {
    if (!isRefused(values[t - 1], Refuse::NonFinite)) continue;
    refuseEntryValue(m.LISTUNIT, flow ? "FHB FLOW" : "FHB HEAD", n, "VALUE AT TIME " + std::to_string(t),
                     values[t - 1], Refuse::NonFinite);
  }
}

void FhbPackage::readCells(Model& m, bool flow) {
  const int lst = m.LISTUNIT;
  const SetControl c = readControl(m);
  if (flow) {
    io::write(lst,
              AQX_FMT("(/1X,'CELL INDICIES AND SPECIFIED-FLOW RATES ','WILL BE READ ON UNIT',I4,'. RATES "
                      "WILL'/1X,'BE MULTIPLIED BY',G12.4,'.')"),
              c.unit, c.mult);
    writeCellTableHead(m, c, AQX_FMT("(1X,'LAYER  ROW  COL IAUX              FLOW RATES')"), "");
  } else {
    io::write(lst,
              AQX_FMT("(/1X,'CELL INDICIES AND SPECIFIED-HEAD VALUES ','WILL BE READ ON UNIT',I4,'. HEAD "
                      "VALUES'/1X,'WILL BE MULTIPLIED BY',G12.4,'.')"),
              c.unit, c.mult);
    writeCellTableHead(m, c, AQX_FMT("(1X,'LAYER  ROW  COL IAUX             HEAD VALUES')"), "");
  }

  const int count = flow ? nf_ : nh_;
  for (int n = 1; n <= count; ++n) {
    int* cell = (flow ? flowCell_ : headCell_) + 4 * static_cast<std::int64_t>(n - 1);
    float* values = flow ? flowSeries(n) : headSeries(n);
    const std::span<float> series(values, static_cast<std::size_t>(nt_));
    io::readList(c.unit, cell[0], cell[1], cell[2], cell[3], series);
    for (float& v : series) v = v * c.mult;
    // Every later phase indexes the grid with these numbers.
    if (cell[0] < 1 || cell[0] > m.NLAYER || cell[1] < 1 || cell[1] > m.NROWS || cell[2] < 1 ||
        cell[2] > m.NCOLS) {
      stopOutsideGrid(m, flow, n, cell);
    }
    if (flow) {
      if (c.print > 0) writeEntry(m, cell, values);
      checkSeries(m, flow, n, values);
      continue;
    }
    int& ibound = m.IBOUND[m.cell(cell[0], cell[1], cell[2])];
    if (ibound != 0) {
      ibound = -std::abs(ibound);
      if (c.print > 0) writeEntry(m, cell, values);
      checkSeries(m, flow, n, values);
    } else {
      io::write(lst,
                AQX_FMT("(1X,'SPECIFIED-HEAD VALUE IGNORED AT ROW',I5,', COLUMN',I5,', AND LAYER',I5,'.')"),
                cell[1], cell[2], cell[0]);
      ignored_[static_cast<std::size_t>(n - 1)] = 1;
    }
  }
}

void FhbPackage::readAux(Model& m, bool flow, int q) {
  const int lst = m.LISTUNIT;
  const SetControl c = readControl(m);
  const std::string& name = auxName_[static_cast<std::size_t>((flow ? 0 : kMaxAux) + q - 1)];
  if (flow) {
    io::write(lst,
              AQX_FMT("(/1X,A16,'FOR SPECIFIED-FLOW CELLS WILL BE READ ON UNIT',I4,'.'/' VALUES WILL BE "
                      "MULTIPLIED BY',G12.4,'.')"),
              name, c.unit, c.mult);
  } else {
    io::write(lst,
              AQX_FMT("(/1X,A16,'FOR SPECIFIED-HEAD CELLS WILL BE READ ON UNIT',I4,'.'/' VALUES WILL BE "
                      "MULTIPLIED BY',G12.4,'.')"),
              name, c.unit, c.mult);
  }
  writeCellTableHead(m, c, AQX_FMT("(1X,'LAYER  ROW  COL IAUX  ',A16)"), name);

  const int count = flow ? nf_ : nh_;
  for (int n = 1; n <= count; ++n) {
    const int* cell = (flow ? flowCell_ : headCell_) + 4 * static_cast<std::int64_t>(n - 1);
    float* values = (flow ? flowSeries(n) : headSeries(n)) + static_cast<std::int64_t>(q) * nt_;
    const std::span<float> series(values, static_cast<std::size_t>(nt_));
    io::readList(c.unit, series);
    for (float& v : series) v = v * c.mult;
    if (c.print > 0) writeEntry(m, cell, values);
  }
}

// ---------------------------------------------------------------------------------------------
// Advance

FhbPackage::Interval FhbPackage::findInterval(float t, int start) const {
  Interval iv{nt_ - 1, nt_, 0.0f, false};
  for (int i = start; i <= nt_; ++i) {
    if (t <= time_[i - 1]) {
      iv.low = i - 1;
      iv.high = i;
      break;
    }
  }
  const float length = time_[iv.high - 1] - time_[iv.low - 1];
  // Equal consecutive times are a step change: the value after it holds.
  if (length == 0.0f) {
    iv.upperEnd = true;
  } else {
    iv.fraction = (t - time_[iv.low - 1]) / length;
  }
  return iv;
}

float FhbPackage::valueAt(const float* series, const Interval& iv) {
  const float low = series[iv.low - 1];
  const float high = series[iv.high - 1];
  if (iv.upperEnd) return high;
  return low + (high - low) * iv.fraction;
}

void FhbPackage::advance(Model& m) {
  if (nt_ == 1 || (m.ISTEADY != 0 && ssflag_ == 0)) {
    setConstant(m);
    return;
  }
  if (nf_ > 0) setFlows(m);
  if (nh_ > 0) setHeads(m);
}

// Every value at the first time.
void FhbPackage::setConstant(Model& m) {
  for (int n = 1; n <= nf_; ++n) {
    const float* series = flowSeries(n);
    float* now = flowNow(n);
    now[0] = series[0];
    for (int q = 1; q <= af_; ++q) now[1 + q] = series[static_cast<std::int64_t>(q) * nt_];
  }
  for (int n = 1; n <= nh_; ++n) {
    const float* series = headSeries(n);
    if (!headIgnored(n)) {
      const int* cell = headCell_ + 4 * static_cast<std::int64_t>(n - 1);
      const std::int64_t c = m.cell(cell[0], cell[1], cell[2]);
      m.HEADNEW[c] = static_cast<double>(series[0]);
      m.HEADOLD[c] = series[0];
    }
    for (int q = 1; q <= ah_; ++q) {
      headAuxNow_[static_cast<std::int64_t>(n - 1) * ah_ + q - 1] =
          series[static_cast<std::int64_t>(q) * nt_];
    }
  }
}

// Each flow cell's rate is the mean of its piecewise-linear series over the step.
void FhbPackage::setFlows(Model& m) {
  const float tEnd = m.TOTTIME;
  const float tStart = m.TOTTIME - m.DELT;
  const Interval first = findInterval(tStart, 2);
  const Interval last = findInterval(tEnd, first.high);
  for (int n = 1; n <= nf_; ++n) {
    const float* r = flowSeries(n);
    const float qs = valueAt(r, first);
    const float qe = valueAt(r, last);
    float rate;
    if (last.high == first.high) {
      rate = (qe + qs) * 0.5f;
    } else {
      // Trapezoids from the start of the step through every time inside it to its end.
      float sum = 0.0f;
      float t0 = tStart;
      float q0 = qs;
      // Past equal last times the last value holds: the jump at the last time is one more
      // (zero-width) point of the sum.
      const int through = last.upperEnd ? last.high : last.low;
      for (int h = first.high; h <= through; ++h) {
        sum = sum + (time_[h - 1] - t0) * 0.5f * (q0 + r[h - 1]);
        t0 = time_[h - 1];
        q0 = r[h - 1];
      }
      sum = sum + (tEnd - t0) * 0.5f * (q0 + qe);
      rate = sum / m.DELT;
    }
    flowNow(n)[0] = rate;
  }
  for (int q = 1; q <= af_; ++q) {
    const float t = m.TOTTIME - (1.0f - auxWeight_[static_cast<std::size_t>(q - 1)]) * m.DELT;
    const Interval iv = findInterval(t, 2);
    for (int n = 1; n <= nf_; ++n)
      flowNow(n)[1 + q] = valueAt(flowSeries(n) + static_cast<std::int64_t>(q) * nt_, iv);
  }
}

// Head cells take their value at the end of the step.
void FhbPackage::setHeads(Model& m) {
  const Interval iv = findInterval(m.TOTTIME, 2);
  for (int n = 1; n <= nh_; ++n) {
    if (headIgnored(n)) continue;
    const float h = valueAt(headSeries(n), iv);
    const int* cell = headCell_ + 4 * static_cast<std::int64_t>(n - 1);
    const std::int64_t c = m.cell(cell[0], cell[1], cell[2]);
    m.HEADNEW[c] = static_cast<double>(h);
    m.HEADOLD[c] = h;
  }
  for (int q = 1; q <= ah_; ++q) {
    const float t = m.TOTTIME - (1.0f - auxWeight_[static_cast<std::size_t>(kMaxAux + q - 1)]) * m.DELT;
    const Interval aiv = findInterval(t, 2);
    for (int n = 1; n <= nh_; ++n) {
      headAuxNow_[static_cast<std::int64_t>(n - 1) * ah_ + q - 1] =
          valueAt(headSeries(n) + static_cast<std::int64_t>(q) * nt_, aiv);
    }
  }
}

// ---------------------------------------------------------------------------------------------
// Formulate and budget

// A specified flow is a known inflow: RHS - Q, in variable-head cells only.
void FhbPackage::formulate(Model& m) {
  for (int n = 1; n <= nf_; ++n) {
    const int* cell = flowCell_ + 4 * static_cast<std::int64_t>(n - 1);
    const std::int64_t c = m.cell(cell[0], cell[1], cell[2]);
    if (m.IBOUND[c] > 0) m.RHS[c] -= rateNow(n);
  }
}

void FhbPackage::budget(Model& m) {
  CellBudget cbc(m, cbunit_, kLabel);
  cbc.beginList(nf_);
  cbc.clearBuffer();
  double in = 0.0, out = 0.0;
  for (int n = 1; n <= nf_; ++n) {
    const int* cell = flowCell_ + 4 * static_cast<std::int64_t>(n - 1);
    const std::int64_t c = m.cell(cell[0], cell[1], cell[2]);
    float q = 0.0f;
    if (m.IBOUND[c] > 0) {
      q = rateNow(n);
      if (cbc.printing()) {
        // The label goes out in four pieces of four characters.
        io::write(m.LISTUNIT,
                  AQX_FMT("('0',4A4,'   PERIOD',I3,'   STEP',I3,' SEQ NO',I4,'   LAYER',I3,'   ROW ',I4,'   "
                          "COL',I4,'   RATE',G15.7)"),
                  kLabel.substr(0, 4), kLabel.substr(4, 4), kLabel.substr(8, 4), kLabel.substr(12, 4),
                  m.KPERIOD, m.KSTEP, n, cell[0], cell[1], cell[2], q);
      }
      m.BUFF[c] += q;
      accumulateRate(q, in, out);
    }
    cbc.listItem(cell[0], cell[1], cell[2], q);
    flowNow(n)[1] = q;
  }
  if (nf_ != 0) cbc.saveFullArray();
  addBudgetRow(m, kLabel, in, out);
}

AQX_REGISTER_PACKAGE("FHB", FhbPackage)

}  // namespace aqx
