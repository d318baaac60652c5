// Head and drawdown output at the end of a time step: the layers that IOFLG selects are staged in
// BUFF in single precision, then printed to the listing file and saved as layer records.
#include <cstdint>
#include <string>
#include <string_view>

#include "bas/output.hpp"
#include "io/layers.hpp"
#include "io/record.hpp"

namespace aqx::bas {

namespace {

constexpr int kHeadPrint = 1, kDrawdownPrint = 2, kHeadSave = 3, kDrawdownSave = 4;

int flag(const Model& m, int layer, int column) { return m.IOFLG[(column - 1) * m.NLAYER + (layer - 1)]; }

// What differs between head and drawdown output.
struct Kind {
  std::string_view label;
  int printColumn, saveColumn;
  int printCode, saveUnit;
  const std::string& saveFormat;
  int saveLabel;
};

// Prints and saves the staged layers of BUFF; true when something was printed. With the cross
// section the flags of layer 1 govern one array of NLAYER rows by NCOLS columns.
bool printAndSave(Model& m, const Kind& kind) {
  const int lu = m.LISTUNIT;
  const std::int64_t layerSize = static_cast<std::int64_t>(m.NCOLS) * m.NROWS;
  const int rows = m.XSECT != 0 ? m.NLAYER : m.NROWS;
  const int lastLayer = m.XSECT != 0 ? 1 : m.NLAYER;
  auto layerNumber = [&](int k) { return m.XSECT != 0 ? -1 : k; };

  bool printed = false;
  for (int k = 1; k <= lastLayer; ++k) {
    if (flag(m, k, kind.printColumn) == 0) continue;
    const float* values = m.BUFF + layerSize * (k - 1);
    if (kind.printCode < 0) {
      io::PRTLAYSTRIP(values, kind.label, m.KSTEP, m.KPERIOD, m.NCOLS, rows, layerNumber(k), -kind.printCode, lu);
    } else {
      io::PRTLAYWRAP(values, kind.label, m.KSTEP, m.KPERIOD, m.NCOLS, rows, layerNumber(k), kind.printCode, lu);
    }
    printed = true;
  }

  if (kind.saveUnit <= 0) return printed;
  const bool binary = kind.saveFormat.find_first_not_of(' ') == std::string::npos;
  bool announced = false;
  for (int k = 1; k <= lastLayer; ++k) {
    if (flag(m, k, kind.saveColumn) == 0) continue;
    if (!announced) {
      if (kind.printColumn == kHeadPrint) {
        io::write(lu,
                  AQX_FMT("(1X/1X,'HEAD WILL BE SAVED ON UNIT',I4,' AT END OF TIME STEP',I3,', STRESS PERIOD',I3)"),
                  kind.saveUnit, m.KSTEP, m.KPERIOD);
      } else {
        io::write(lu,
                  AQX_FMT("(1X/1X,'DRAWDOWN WILL BE SAVED ON UNIT',I4,' AT END OF TIME STEP',I3,', STRESS "
                          "PERIOD',I3)"),
                  kind.saveUnit, m.KSTEP, m.KPERIOD);
      }
      announced = true;
    }
    const float* values = m.BUFF + layerSize * (k - 1);
    if (binary) {
      io::SAVLAYBIN(values, kind.label, m.KSTEP, m.KPERIOD, m.PERTIME, m.TOTTIME, m.NCOLS, rows, layerNumber(k),
                    kind.saveUnit);
    } else {
      io::SAVLAYTXT(values, kind.label, m.KSTEP, m.KPERIOD, m.PERTIME, m.TOTTIME, m.NCOLS, rows, layerNumber(k),
                    kind.saveUnit, kind.saveFormat, kind.saveLabel);
    }
  }
  return printed;
}

// The cells staged for layer k: the layer itself, or the whole cross section.
std::int64_t stagedCells(const Model& m) {
  return m.XSECT != 0 ? static_cast<std::int64_t>(m.NCOLS) * m.NLAYER : static_cast<std::int64_t>(m.NCOLS) * m.NROWS;
}

}  // namespace

bool headOutput(Model& m, const OcSettings& oc) {
  const std::int64_t n = stagedCells(m);
  const int lastLayer = m.XSECT != 0 ? 1 : m.NLAYER;
  for (int k = 1; k <= lastLayer; ++k) {
    if (flag(m, k, kHeadPrint) == 0 && flag(m, k, kHeadSave) == 0) continue;
    const std::int64_t start = n * (k - 1);
    for (std::int64_t c = start; c < start + n; ++c) m.BUFF[c] = static_cast<float>(m.HEADNEW[c]);
  }
  return printAndSave(m, Kind{"            HEAD", kHeadPrint, kHeadSave, oc.HEADPRTFMT, oc.HEADSAVEUNIT,
                              oc.HEADSAVEFMT, oc.HEADSAVELABEL});
}

bool drawdownOutput(Model& m, const OcSettings& oc) {
  const std::int64_t n = stagedCells(m);
  const int lastLayer = m.XSECT != 0 ? 1 : m.NLAYER;
  for (int k = 1; k <= lastLayer; ++k) {
    if (flag(m, k, kDrawdownPrint) == 0 && flag(m, k, kDrawdownSave) == 0) continue;
    if (m.ISTRT == 0) {
      io::write(m.LISTUNIT, AQX_FMT("(1X/1X,'CANNOT CALCULATE DRAWDOWN BECAUSE INITIAL HEAD',' WAS NOT KEPT AFTER "
                                    "THE'/1X,'SIMULATION STARTED.  SEE \"ISTRT\" PARAMETER IN BAS INPUT.')"));
      return false;
    }
    // Inactive cells carry their head (the no-flow or dry-cell head) rather than a drawdown.
    const std::int64_t start = n * (k - 1);
    for (std::int64_t c = start; c < start + n; ++c) {
      m.BUFF[c] = m.IBOUND[c] == 0 ? static_cast<float>(m.HEADNEW[c])
                                   : static_cast<float>(static_cast<double>(m.HSTART[c]) - m.HEADNEW[c]);
    }
  }
  return printAndSave(m, Kind{"        DRAWDOWN", kDrawdownPrint, kDrawdownSave, oc.DDPRTFMT, oc.DDSAVEUNIT,
                              oc.DDSAVEFMT, oc.DDSAVELABEL});
}

}  // namespace aqx::bas
