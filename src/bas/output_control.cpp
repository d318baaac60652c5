// Output control: which layers' heads and drawdowns are printed or saved at a time step, whether
// the volumetric budget is printed, and whether packages write cell-by-cell terms. The OC file
// comes in a numeric form (one record of flags per time step) or a word form (blocks of
// directives for selected steps, read ahead by one period line); without it a default applies.
#include <string>
#include <string_view>
#include <vector>

#include "bas/output.hpp"
#include "io/record.hpp"
#include "io/word.hpp"

namespace aqx::bas {

namespace {

constexpr int kHeadPrint = 1, kDrawdownPrint = 2, kHeadSave = 3, kDrawdownSave = 4;

int& flag(Model& m, int layer, int column) { return m.IOFLG[(column - 1) * m.NLAYER + (layer - 1)]; }

[[noreturn]] void ocError(const Model& m, const std::string& line) {
  io::write(m.LISTUNIT, AQX_FMT("(1X/1X,'ERROR READING OUTPUT CONTROL INPUT DATA:'/1X,A80)"), line);
  io::stopRun();
}

// The next line of the OC file that is not blank; false at end of file.
bool nextLine(int unit, std::string& line) {
  while (true) {
    line.assign(80, ' ');
    if (!io::tryReadLine(unit, line)) return false;
    if (line.find_first_not_of(' ') != std::string::npos) return true;
  }
}

void writeSettingsLines(const Model& m, const OcSettings& oc) {
  io::write(m.LISTUNIT, AQX_FMT("(1X,'HEAD PRINT FORMAT CODE IS',I4,'    DRAWDOWN PRINT FORMAT CODE IS',I4)"),
            oc.HEADPRTFMT, oc.DDPRTFMT);
  io::write(m.LISTUNIT, AQX_FMT("(1X,'HEADS WILL BE SAVED ON UNIT',I4,'    DRAWDOWNS WILL BE SAVED ON UNIT',I4)"),
            oc.HEADSAVEUNIT, oc.DDSAVEUNIT);
}

// The rest of a period line after "PERIOD": the period, "STEP", the step.
void readPeriodLine(Model& m, OcSettings& oc, io::Words& w, const std::string& line) {
  oc.OCPERIOD = w.integer();
  if (w.upper() != "STEP") ocError(m, line);
  oc.OCSTEP = w.integer();
}

// A four-integer record of the numeric form: fixed columns, or list-directed with FREEFMT.
void readFour(const Model& m, int unit, int (&v)[4]) {
  io::readFixedOrFree(unit, m.FREEFMT != 0, AQX_FMT("(4I10)"), v[0], v[1], v[2], v[3]);
}

// The layer list after "PRINT HEAD" and the like: integer words until one that is missing, not an
// integer or outside 1..NLAYER. An empty list stands for every layer.
void layerList(Model& m, io::Words& w, int column, std::string_view text) {
  std::vector<int> layers;
  while (true) {
    const int k = w.integer(-1);
    if (k < 1 || k > m.NLAYER) break;
    layers.push_back(k);
  }
  if (layers.empty()) {
    for (int k = 1; k <= m.NLAYER; ++k) flag(m, k, column) = 1;
    io::write(m.LISTUNIT, AQX_FMT("(4X,A,' FOR ALL LAYERS')"), text);
  } else {
    for (int k : layers) flag(m, k, column) = 1;
    io::write(m.LISTUNIT, AQX_FMT("(4X,A,' FOR LAYERS:',1(1X,15I3))"), text, std::span<const int>(layers));
  }
}

void numericStep(Model& m, OcSettings& oc) {
  const int lu = m.LISTUNIT;
  int rec[4];
  readFour(m, oc.unit, rec);
  const int layercode = rec[0];
  m.HDOUTFLAG = rec[1];
  m.BUDPRTFLAG = rec[2];
  m.ICBCFL = rec[3];
  io::write(lu,
            AQX_FMT("(1X/1X,'HEAD/DRAWDOWN PRINTOUT FLAG =',I2,5X,'TOTAL BUDGET PRINTOUT FLAG =',I2/1X,'CELL-BY-"
                    "CELL FLOW TERM FLAG =',I2)"),
            m.HDOUTFLAG, m.BUDPRTFLAG, m.ICBCFL);
  if (m.ICBCFL != 0) m.ICBCFL = oc.CBCSAVEVAL;

  if (layercode < 0) {
    io::write(lu, AQX_FMT("(1X,'REUSING PREVIOUS VALUES OF IOFLG')"));
    return;
  }
  int f[4];
  if (layercode == 0) {
    readFour(m, oc.unit, f);
    for (int k = 1; k <= m.NLAYER; ++k)
      for (int c = 1; c <= 4; ++c) flag(m, k, c) = f[c - 1];
    io::write(lu,
              AQX_FMT("(1X/1X,'OUTPUT FLAGS FOR ALL LAYERS ARE THE SAME:'/1X,'  HEAD    DRAWDOWN  HEAD  "
                      "DRAWDOWN'/1X,'PRINTOUT  PRINTOUT  SAVE    SAVE'/1X,34('-')/1X,I5,I10,I8,I8)"),
              f[0], f[1], f[2], f[3]);
    return;
  }
  const auto& heading = AQX_FMT(
      "(1X/1X,A/1X,'         HEAD    DRAWDOWN  HEAD  DRAWDOWN'/1X,A,'  PRINTOUT  PRINTOUT  SAVE    SAVE'/1X,41('-'))");
  if (m.XSECT != 0) {
    readFour(m, oc.unit, f);
    for (int c = 1; c <= 4; ++c) flag(m, 1, c) = f[c - 1];
    io::write(lu, heading, "OUTPUT FLAGS FOR CROSS SECTION:", "     ");
    io::write(lu, AQX_FMT("(1X,I12,I10,I8,I8)"), f[0], f[1], f[2], f[3]);
    return;
  }
  for (int k = 1; k <= m.NLAYER; ++k) {
    readFour(m, oc.unit, f);
    for (int c = 1; c <= 4; ++c) flag(m, k, c) = f[c - 1];
  }
  io::write(lu, heading, "OUTPUT FLAGS FOR EACH LAYER:", "LAYER");
  for (int k = 1; k <= m.NLAYER; ++k) {
    io::write(lu, AQX_FMT("(1X,I4,I8,I10,I8,I8)"), k, flag(m, k, 1), flag(m, k, 2), flag(m, k, 3), flag(m, k, 4));
  }
}

void wordStep(Model& m, OcSettings& oc) {
  const int lu = m.LISTUNIT;
  if (oc.OCPERIOD < m.KPERIOD || (oc.OCPERIOD == m.KPERIOD && oc.OCSTEP < m.KSTEP)) {
    io::write(lu,
              AQX_FMT("(1X/1X,'OUTPUT CONTROL WAS SPECIFIED FOR A NONEXISTENT',' TIME STEP'/1X,'OR OUTPUT CONTROL "
                      "DATA ARE NOT ENTERED IN ASCENDING ORDER'/1X,'OUTPUT CONTROL STRESS PERIOD',I3,'   TIME "
                      "STEP',I3/1X,'MODEL STRESS PERIOD',I3,'   TIME STEP',I3/1X,'APPLYING THE SPECIFIED OUTPUT "
                      "CONTROL TO THE CURRENT TIME',' STEP')"),
              oc.OCPERIOD, oc.OCSTEP, m.KPERIOD, m.KSTEP);
    oc.OCPERIOD = m.KPERIOD;
    oc.OCSTEP = m.KSTEP;
  }
  m.HDOUTFLAG = 0;
  m.BUDPRTFLAG = 0;
  m.ICBCFL = 0;
  for (int k = 1; k <= m.NLAYER; ++k)
    for (int c = 1; c <= 4; ++c) flag(m, k, c) = 0;

  if (oc.OCPERIOD != m.KPERIOD || oc.OCSTEP != m.KSTEP) {
    io::write(lu, AQX_FMT("(1X/1X,'NO OUTPUT CONTROL FOR STRESS PERIOD',I3,'   TIME STEP',I3)"), m.KPERIOD,
              m.KSTEP);
    return;
  }
  io::write(lu, AQX_FMT("(1X/1X,'OUTPUT CONTROL FOR STRESS PERIOD',I3,'   TIME STEP',I3)"), oc.OCPERIOD,
            oc.OCSTEP);
  std::string line;
  while (true) {
    if (!nextLine(oc.unit, line)) {
      oc.OCPERIOD = 9999;
      oc.OCSTEP = 9999;
      return;
    }
    io::Words w(line, lu, oc.unit);
    const std::string_view w1 = w.upper();
    if (w1 == "PERIOD") {
      readPeriodLine(m, oc, w, line);
      return;
    }
    if (w1 != "PRINT" && w1 != "SAVE") ocError(m, line);
    const bool print = w1 == "PRINT";
    const std::string_view w2 = w.upper();
    if (w2 == "BUDGET") {
      if (print) {
        m.BUDPRTFLAG = 1;
        io::write(lu, AQX_FMT("(4X,'PRINT BUDGET')"));
      } else {
        m.ICBCFL = oc.CBCSAVEVAL;
        io::write(lu, AQX_FMT("(4X,'SAVE BUDGET')"));
      }
    } else if (w2 == "HEAD") {
      layerList(m, w, print ? kHeadPrint : kHeadSave, print ? "PRINT HEAD" : "SAVE HEAD");
      m.HDOUTFLAG = 1;
    } else if (w2 == "DRAWDOWN") {
      layerList(m, w, print ? kDrawdownPrint : kDrawdownSave, print ? "PRINT DRAWDOWN" : "SAVE DRAWDOWN");
      m.HDOUTFLAG = 1;
    } else {
      ocError(m, line);
    }
  }
}

// Word-form header lines, starting with the one already read, up to and including the first
// period line (or the end of the file).
void wordHeader(Model& m, OcSettings& oc, std::string& line) {
  const int lu = m.LISTUNIT;
  io::write(lu, AQX_FMT("(1X/1X,'OUTPUT CONTROL IS SPECIFIED ONLY AT TIME STEPS',' FOR WHICH OUTPUT IS DESIRED')"));
  oc.OCPERIOD = 9999;
  oc.OCSTEP = 9999;
  while (true) {
    io::Words w(line, lu, oc.unit);
    const std::string_view w1 = w.upper();
    if (w1 == "PERIOD") {
      readPeriodLine(m, oc, w, line);
      writeSettingsLines(m, oc);
      return;
    }
    if (w1 == "HEAD" || w1 == "DRAWDOWN") {
      const bool head = w1 == "HEAD";
      const std::string_view w2 = w.upper();
      if (w2 == "PRINT") {
        if (w.upper() != "FORMAT") ocError(m, line);
        (head ? oc.HEADPRTFMT : oc.DDPRTFMT) = w.integer();
      } else if (w2 == "SAVE") {
        const std::string_view w3 = w.upper();
        if (w3 == "UNIT") {
          (head ? oc.HEADSAVEUNIT : oc.DDSAVEUNIT) = w.integer();
        } else if (w3 == "FORMAT") {
          std::string fmt(w.asWritten());
          fmt.resize(20, ' ');
          if (head) {
            oc.HEADSAVEFMT = fmt;
            io::write(lu, AQX_FMT("(1X,'HEADS WILL BE SAVED WITH FORMAT: ',A)"), fmt);
          } else {
            oc.DDSAVEFMT = fmt;
            io::write(lu, AQX_FMT("(1X,'DRAWDOWN WILL BE SAVED WITH FORMAT: ',A)"), fmt);
          }
          if (w.upper() == "LABEL") {
            if (head) {
              oc.HEADSAVELABEL = 1;
              io::write(lu, AQX_FMT("(1X,'SAVED HEADS WILL BE LABELED')"));
            } else {
              oc.DDSAVELABEL = 1;
              io::write(lu, AQX_FMT("(1X,'SAVED DRAWDOWN WILL BE LABELED')"));
            }
          }
        } else {
          ocError(m, line);
        }
      } else {
        ocError(m, line);
      }
    } else if (w1 == "COMPACT") {
      oc.CBCSAVEVAL = 2;
      io::write(lu, AQX_FMT("(1X,'COMPACT CELL-BY-CELL BUDGET FILES WILL BE WRITTEN')"));
    } else {
      ocError(m, line);
    }
    if (!nextLine(oc.unit, line)) {
      oc.OCPERIOD = 9999;
      oc.OCSTEP = 9999;
      return;
    }
  }
}

}  // namespace

void ocInitialise(Model& m, OcSettings& oc) {
  const int lu = m.LISTUNIT;
  if (oc.unit <= 0) {
    io::write(lu, AQX_FMT("(1X/1X,'DEFAULT OUTPUT CONTROL'/1X,'THE FOLLOWING OUTPUT COMES AT THE END OF EACH "
                          "STRESS PERIOD:')"));
    io::write(lu, AQX_FMT("(1X,'TOTAL VOLUMETRIC BUDGET')"));
    io::write(lu, AQX_FMT("(1X,10X,'HEAD')"));
    if (m.ISTRT != 0) io::write(lu, AQX_FMT("(1X,10X,'DRAWDOWN')"));
    for (int k = 1; k <= m.NLAYER; ++k) {
      flag(m, k, kHeadPrint) = 1;
      flag(m, k, kDrawdownPrint) = m.ISTRT != 0 ? 1 : 0;
      flag(m, k, kHeadSave) = 0;
      flag(m, k, kDrawdownSave) = 0;
    }
    return;
  }

  std::string line(80, ' ');
  io::readLine(oc.unit, line);
  std::string word;
  {
    std::string probe = line;  // the numeric form reads the line as it stands
    io::Words w(probe, lu, oc.unit);
    word = std::string(w.upper());
  }
  if (word == "COMPACT" || word == "DRAWDOWN" || word == "PERIOD" || word == "HEAD") {
    wordHeader(m, oc, line);
    return;
  }

  io::write(lu, AQX_FMT("(1X/1X,'OUTPUT CONTROL IS SPECIFIED EVERY TIME STEP')"));
  if (m.FREEFMT == 0) {
    if (!io::readInternal(line, AQX_FMT("(4I10)"), oc.HEADPRTFMT, oc.DDPRTFMT, oc.HEADSAVEUNIT, oc.DDSAVEUNIT)) {
      throw io::IoError("read", oc.unit, io::fileName(oc.unit), 1,
                        "the first output-control record does not hold four integers in (4I10): " + line);
    }
  } else {
    io::Words w(line, lu, oc.unit);
    oc.HEADPRTFMT = w.integer();
    oc.DDPRTFMT = w.integer();
    oc.HEADSAVEUNIT = w.integer();
    oc.DDSAVEUNIT = w.integer();
  }
  writeSettingsLines(m, oc);
  oc.OCPERIOD = -1;
  oc.OCSTEP = -1;
}

void ocStep(Model& m, OcSettings& oc) {
  if (oc.unit <= 0) {
    const int due = (m.CONVERGED == 0 || m.KSTEP == m.NSTEPS) ? 1 : 0;
    m.HDOUTFLAG = due;
    m.BUDPRTFLAG = due;
    m.ICBCFL = 0;
    return;
  }
  if (oc.OCPERIOD < 0) {
    numericStep(m, oc);
  } else {
    wordStep(m, oc);
  }
  if (m.CONVERGED == 0 || m.KSTEP == m.NSTEPS) m.BUDPRTFLAG = 1;
}

}  // namespace aqx::bas
