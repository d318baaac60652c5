#include "special/str.hpp"

#include <algorithm>
#include <span>
#include <string>

#include "bas/budget_terms.hpp"
#include "bas/value_checks.hpp"
#include "driver/allocation_report.hpp"
#include "io/record.hpp"

namespace aqx {

namespace {

constexpr const char* kLeakageLabel = "  STREAM LEAKAGE";
constexpr const char* kFlowOutLabel = "STREAM FLOW OUT ";

// Input errors found in the stress phase: the message, then the run stops.
template <class... T>
[[noreturn]] void refuse(const Model& m, const io::Format& message, const T&... values) {
  io::write(m.LISTUNIT, message, values...);
  io::write(m.LISTUNIT, AQX_FMT("(1X,'STOP EXECUTION')"));
  io::stopRun();
}

}  // namespace

void StrPackage::allocate(Model& m) {
  const int lst = m.LISTUNIT;
  const int in = m.unitOf(kSTR);
  io::write(lst, AQX_FMT("('0','STRM -- STREAM PACKAGE, VERSION 2, 12/18/90 ','INPUT READ FROM UNIT',I3)"),
            in);
  io::read(in, AQX_FMT("(5I10,F10.0,2I10)"), mxstrm_, nseg_, ntrib_, divFlag_, stageCalc_, manning_, cbUnit_,
           flowUnit_);
  mxstrm_ = std::max(mxstrm_, 0);
  nseg_ = std::max(nseg_, 0);
  ntrib_ = std::max(ntrib_, 0);  // a negative count of tributaries means none
  nstrem_ = 0;
  io::write(lst,
            AQX_FMT("(' ','MAXIMUM OF',I5,' STREAM NODES'//1X,'NUMBER OF STREAM SEGMENTS IS ',I5//1X,"
                    "'NUMBER OF STREAM TRIBUTARIES IS ',I5//)"),
            mxstrm_, nseg_, ntrib_);
  if (divFlag_ > 0) io::write(lst, AQX_FMT("(' ','DIVERSIONS FROM STREAMS HAVE BEEN SPECIFIED')"));
  if (stageCalc_ > 0)
    io::write(lst, AQX_FMT("(' ','STREAM STAGES WILL BE CALCULATED USING A CONSTANT OF',F10.4)"), manning_);
  if (cbUnit_ > 0)
    io::write(lst, AQX_FMT("(1X,'CELL BUDGETS WILL BE SAVED ON UNITS',I3,'AND',I3)"), cbUnit_, flowUnit_);

  const AllocationReport report(m);
  WorkArray& x = *m.work;
  const std::int64_t mx = mxstrm_;
  reach_ = x.takeReal(kReachValues * mx);
  ids_ = x.takeInt(kReachIds * mx);
  trib_ = x.takeInt(static_cast<std::int64_t>(nseg_) * ntrib_);
  segOut_ = x.takeReal(nseg_);
  diversion_ = x.takeInt(nseg_);
  segShort_ = x.takeInt(nseg_);
  report.report(AQX_FMT("(1X,I8,' ELEMENTS IN X ARRAY ARE USED FOR STREAMS')"),
                AQX_FMT("(1X,I8,' ELEMENTS OF X ARRAY USED OUT OF',I7)"));
}

void StrPackage::stressPeriod(Model& m) {
  if (mxstrm_ < 1) return;
  const int lst = m.LISTUNIT;
  const int in = m.unitOf(kSTR);
  int n = 0, echoFlag = 0;
  io::read(in, AQX_FMT("(3I10)"), n, echoFlag, printFlag_);
  if (n < 0) {
    io::write(lst, AQX_FMT("('0','REUSING STREAM NODES FROM LAST STRESS PERIOD')"));
    return;
  }
  if (n > mxstrm_) {
    io::write(lst, AQX_FMT("('0','NSTREM(',I4,') IS GREATER THAN MXSTRM(',I4,')')"), n, mxstrm_);
    io::stopRun();
  }
  nstrem_ = n;
  const bool echo = echoFlag == 0;
  if (echo) io::write(lst, AQX_FMT("('0'//1X,I5,' STREAM NODES')"), nstrem_);
  if (nstrem_ == 0) {
    lastSegment_ = 0;
    return;
  }
  readReaches(m, echo);
  if (stageCalc_ > 0) readChannels(m, echo);
  std::fill(trib_, trib_ + static_cast<std::int64_t>(nseg_) * ntrib_, 0);
  std::fill(diversion_, diversion_ + nseg_, 0);
  if (ntrib_ >= 1) readTributaries(m, echo);
  if (divFlag_ >= 1) readDiversions(m, echo);
  for (int L = 1; L <= nstrem_; ++L) {
    S(L, kFlowOut) = 0.0f;
    S(L, kFlowIn) = 0.0f;
    S(L, kLeakage) = 0.0f;
  }
}

// Record 3 for every reach. The routing pass relies on the order checked here: segments 1, 2, 3,
// ... (at most NSEGMENT) through the list, and reaches 1, 2, 3, ... within each segment.
void StrPackage::readReaches(Model& m, bool echo) {
  const int lst = m.LISTUNIT;
  const int in = m.unitOf(kSTR);
  if (echo) {
    io::write(
        lst,
        AQX_FMT(
            "(' ',3X,'LAYER   ROW    COL    SEGMENT   REACH   STREAMFLOW     STREAM    STREAMBED     "
            "STREAMBED BOT  STREAMBED TOP'/27X,'NUMBER   NUMBER                   STAGE   CONDUCTANCE      "
            "ELEVATION      ELEVATION'/3X,110('-'))"));
  }
  firstReach_.assign(static_cast<std::size_t>(nstrem_) + 1, 0);
  lastSegment_ = 0;
  for (int L = 1; L <= nstrem_; ++L) {
    int k = 0, i = 0, j = 0, seg = 0, rch = 0;
    float v[5] = {};
    io::read(in, AQX_FMT("(5I5,F15.0,4F10.0)"), k, i, j, seg, rch, v[0], v[1], v[2], v[3], v[4]);
    if (echo) {
      io::write(lst, AQX_FMT("(1X,3X,I4,2I7,2I9,7X,G11.4,G12.4,G11.4,4X,2G13.4)"), k, i, j, seg, rch, v[0],
                v[1], v[2], v[3], v[4]);
    }
    if (k < 1 || k > m.NLAYER || i < 1 || i > m.NROWS || j < 1 || j > m.NCOLS) {
      refuse(m,
             AQX_FMT("(1X/1X,'STREAM REACH',I6,' IS OUTSIDE THE GRID: LAYER',I6,', ROW',I6,', COLUMN',I6)"),
             L, k, i, j);
    }
    const int prevSeg = L == 1 ? 0 : ID(L - 1, 4);
    const int prevRch = L == 1 ? 0 : ID(L - 1, 5);
    if (L == 1 && seg != 1) {
      refuse(
          m,
          AQX_FMT(
              "(1X/1X,'STREAM REACH',I6,' HAS SEGMENT NUMBER',I6,': THE FIRST REACH MUST BE IN SEGMENT 1')"),
          L, seg);
    }
    if (L > 1 && seg != prevSeg && seg != prevSeg + 1) {
      refuse(
          m,
          AQX_FMT(
              "(1X/1X,'STREAM REACH',I6,' HAS SEGMENT NUMBER',I6,' AFTER SEGMENT',I6,': SEGMENTS MUST BE ',"
              "'NUMBERED 1, 2, 3, ... IN LIST ORDER')"),
          L, seg, prevSeg);
    }
    if (seg > nseg_) {
      refuse(m, AQX_FMT("(1X/1X,'STREAM REACH',I6,' IS IN SEGMENT',I6,', BEYOND NSEGMENT(',I6,')')"), L, seg,
             nseg_);
    }
    const int wantRch = seg == prevSeg ? prevRch + 1 : 1;
    if (rch != wantRch) {
      refuse(m,
             AQX_FMT(
                 "(1X/1X,'STREAM REACH',I6,' HAS REACH NUMBER',I6,' IN SEGMENT',I6,': REACHES OF A SEGMENT ',"
                 "'MUST BE NUMBERED 1, 2, 3, ..., SO THIS ONE MUST BE',I6)"),
             L, rch, seg, wantRch);
    }
    if (rch == 1) {
      firstReach_[static_cast<std::size_t>(seg)] = L;
      lastSegment_ = seg;
    }
    ID(L, 1) = k;
    ID(L, 2) = i;
    ID(L, 3) = j;
    ID(L, 4) = seg;
    ID(L, 5) = rch;
    checkEntry(lst, v[2], Refuse::Negative, "STR", L, "STREAMBED CONDUCTANCE");
    for (int q = 0; q < 5; ++q) S(L, q + 1) = v[q];
  }
}

// Record 4: width, slope and roughness of every reach. Manning's depth needs all three and the
// constant positive (a zero divides, a negative slope has no root).
void StrPackage::readChannels(Model& m, bool echo) {
  const int lst = m.LISTUNIT;
  const int in = m.unitOf(kSTR);
  if (echo) {
    io::write(
        lst,
        AQX_FMT("('0',3X,'LAYER',3X,'ROW',4X,'COL   ',' SEGMENT',3X,'REACH',8X,'STREAM',13X,'STREAM',10X,"
                "'ROUGH'/27X,'NUMBER',3X,'NUMBER',8X,'WIDTH',14X,'SLOPE',10X,'COEF.'/3X,110('-'))"));
  }
  for (int L = 1; L <= nstrem_; ++L) {
    float w = 0.0f, slope = 0.0f, rough = 0.0f;
    io::read(in, AQX_FMT("(3F10.0)"), w, slope, rough);
    if (echo) {
      io::write(lst, AQX_FMT("(4X,I4,2I7,2I9,7X,G12.4,4X,G13.4,4X,G12.4)"), ID(L, 1), ID(L, 2), ID(L, 3),
                ID(L, 4), ID(L, 5), w, slope, rough);
    }
    if (!(w > 0.0f) || !(slope > 0.0f) || !(rough > 0.0f) || !(manning_ > 0.0f)) {
      refuse(m,
             AQX_FMT(
                 "(1X/1X,'STREAM REACH',I6,' (SEGMENT',I6,', REACH',I6,') HAS NO DEFINED DEPTH: WIDTH',G12.4,"
                 "', SLOPE',G12.4,', ROUGHNESS',G12.4,' AND MANNINGCONST',G12.4,' MUST ALL BE POSITIVE')"),
             L, ID(L, 4), ID(L, 5), w, slope, rough, manning_);
    }
    S(L, kWidth) = w;
    S(L, kSlope) = slope;
    S(L, kRough) = rough;
  }
}

// Record 5: the tributaries of every segment. A tributary's outflow must be known when the
// segment it feeds starts, so it must be a segment that comes before it.
void StrPackage::readTributaries(Model& m, bool echo) {
  const int lst = m.LISTUNIT;
  const int in = m.unitOf(kSTR);
  if (echo) {
    io::write(lst,
              AQX_FMT("('0',30X,'MAXIMUM NUMBER OF TRIBUTARY STREAMS IS ',I5//1X,20X,'STREAM SEGMENT',15X,"
                      "'TRIBUTARY STREAM SEGMENT NUMBERS')"),
              ntrib_);
  }
  for (int s = 1; s <= nseg_; ++s) {
    const std::span<int> row(trib_ + static_cast<std::int64_t>(s - 1) * ntrib_,
                             static_cast<std::size_t>(ntrib_));
    io::read(in, AQX_FMT("(10I5)"), row);
    if (echo) io::write(lst, AQX_FMT("(20X,I5,20X,10I5)"), s, std::span<const int>(row));
    for (const int t : row) {
      if (t < 0 || t > nseg_) {
        refuse(
            m,
            AQX_FMT("(1X/1X,'STREAM SEGMENT',I6,' HAS TRIBUTARY',I6,', NOT BETWEEN 0 AND NSEGMENT(',I6,')')"),
            s, t, nseg_);
      }
      if (t >= s) {
        refuse(m,
               AQX_FMT("(1X/1X,'STREAM SEGMENT',I6,' HAS TRIBUTARY',I6,', WHICH DOES NOT COME BEFORE IT: ',"
                       "'A TRIBUTARY MUST HAVE A LOWER SEGMENT NUMBER')"),
               s, t);
      }
    }
  }
}

// Record 6: the segment each segment is diverted from (0: not a diversion). The diversion is
// taken when the segment it comes from has been routed, so that segment must come before it.
void StrPackage::readDiversions(Model& m, bool echo) {
  const int lst = m.LISTUNIT;
  const int in = m.unitOf(kSTR);
  if (echo) {
    io::write(lst, AQX_FMT("('0',10X,'DIVERSION SEGMENT NUMBER',10X,'UPSTREAM SEGMENT NUMBER')"));
  }
  for (int s = 1; s <= nseg_; ++s) {
    int from = 0;
    io::read(in, AQX_FMT("(I10)"), from);
    if (echo) io::write(lst, AQX_FMT("(20X,I5,28X,I5)"), s, from);
    if (from < 0 || from > nseg_) {
      refuse(
          m,
          AQX_FMT(
              "(1X/1X,'STREAM SEGMENT',I6,' IS DIVERTED FROM SEGMENT',I6,', NOT BETWEEN 0 AND NSEGMENT(',I6,"
              "')')"),
          s, from, nseg_);
    }
    if (from > 0 && from >= s) {
      refuse(
          m,
          AQX_FMT(
              "(1X/1X,'STREAM SEGMENT',I6,' IS DIVERTED FROM SEGMENT',I6,', WHICH DOES NOT COME BEFORE IT: ',"
              "'A DIVERSION MUST COME FROM A LOWER SEGMENT NUMBER')"),
          s, from);
    }
    diversion_[s - 1] = from;
  }
}

// Routes the flow with the current heads; each reach that carries water, or that gains from the
// aquifer, adds its leakage (a dry reach that would lose water adds nothing).
void StrPackage::formulate(Model& m) {
  route(m, [&](int L, const Leak& r) {
    if (!r.active || !(r.qin > 0.0f || r.q < 0.0f)) return;
    if (r.headDependent) {
      const float cond = S(L, kCond);
      m.HCOEF[r.cell] = m.HCOEF[r.cell] - cond;
      m.RHS[r.cell] = m.RHS[r.cell] - cond * r.stage;
    } else {
      m.RHS[r.cell] = m.RHS[r.cell] - r.q;
    }
  });
}

// Routes again with the converged heads. The short-segment flags are cleared before this pass as
// before every formulate pass, so the flows do not depend on whether records are saved.
void StrPackage::budget(Model& m) {
  CellBudget leakage(m, cbUnit_, kLeakageLabel, false);
  const bool saveLeakage = leakage.saving();
  if (saveLeakage) leakage.clearBuffer();
  float rateIn = 0.0f, rateOut = 0.0f;
  route(m, [&](int, const Leak& r) {
    if (saveLeakage) m.BUFF[r.cell] = m.BUFF[r.cell] + r.q;
    if (r.q > 0.0f) {
      rateIn = rateIn + r.q;
    } else if (r.q < 0.0f) {
      rateOut = rateOut - r.q;
    }
  });
  if (saveLeakage) leakage.saveFullRecord();
  addBudgetRow(m, kLeakageLabel, rateIn, rateOut);

  CellBudget flowOut(m, flowUnit_, kFlowOutLabel, false);
  if (flowOut.saving()) {
    flowOut.clearBuffer();
    for (int L = 1; L <= nstrem_; ++L) {
      const std::int64_t c = m.cell(ID(L, 1), ID(L, 2), ID(L, 3));
      if (m.IBOUND[c] > 0) m.BUFF[c] = m.BUFF[c] + S(L, kFlowOut);
    }
    flowOut.saveFullRecord();
  }

  if (cbUnit_ < 0 && m.ICBCFL > 0 && printFlag_ <= 0) {
    const int lst = m.LISTUNIT;
    if (stageCalc_ > 0) {
      io::write(
          lst,
          AQX_FMT("('0',12X,'LAYER',6X,'ROW',5X,'COLUMN',5X,'STREAM',4X,'REACH',6X,'FLOW INTO',4X,"
                  "'FLOW INTO',6X,'FLOW OUT OF',5X,'HEAD IN'/43X,'NUMBER',3X,'NUMBER',4X,'STREAM REACH',4X,"
                  "'AQUIFER',6X,'STREAM REACH',5X,'STREAM'//)"));
      for (int L = 1; L <= nstrem_; ++L) {
        io::write(lst, AQX_FMT("(1X,5X,5I10,8X,G9.3,5X,G9.3,7X,G9.3,4X,F9.2)"), ID(L, 1), ID(L, 2), ID(L, 3),
                  ID(L, 4), ID(L, 5), S(L, kFlowIn), S(L, kLeakage), S(L, kFlowOut), S(L, kStage));
      }
    } else {
      io::write(
          lst,
          AQX_FMT("('0',12X,'LAYER',6X,'ROW',5X,'COLUMN',5X,'STREAM',4X,'REACH',6X,'FLOW INTO',4X,"
                  "'FLOW INTO',6X,'FLOW OUT OF'/43X,'NUMBER',3X,'NUMBER',4X,'STREAM REACH',4X,'AQUIFER',6X,"
                  "'STREAM REACH'//)"));
      for (int L = 1; L <= nstrem_; ++L) {
        io::write(lst, AQX_FMT("(1X,5X,5I10,8X,G9.3,5X,G9.3,8X,G9.3)"), ID(L, 1), ID(L, 2), ID(L, 3),
                  ID(L, 4), ID(L, 5), S(L, kFlowIn), S(L, kLeakage), S(L, kFlowOut));
      }
    }
  }
}

AQX_REGISTER_PACKAGE("STR", StrPackage)

}  // namespace aqx
