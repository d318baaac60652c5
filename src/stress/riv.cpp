#include "stress/riv.hpp"

namespace aqx {

namespace {

const ListSpec& rivSpec() {
  static const ListSpec spec{
      .name = "RIV",
      .slot = kRIV,
      .nReals = 3,  // stage, conductance, riverbed bottom
      .entryFormat = &AQX_FMT("(3I10,3F10.0)"),
      .banner = &AQX_FMT("(1X/1X,'RIV5 -- RIVER PACKAGE, VERSION 5, 9/1/93',' INPUT READ FROM UNIT',I3)"),
      .maximum = &AQX_FMT("(1X,'MAXIMUM OF',I5,' RIVER REACHES')"),
      .auxEcho = &AQX_FMT("(1X,'AUXILIARY RIVER PARAMETER: ',A)"),
      .used = &AQX_FMT("(1X,I10,' ELEMENTS IN X ARRAY ARE USED BY RIV')"),
      .reusing = &AQX_FMT("(1X/1X,'REUSING RIVER REACHES FROM LAST STRESS PERIOD')"),
      .tooMany = &AQX_FMT("(1X/1X,'NRIVER(',I4,') IS GREATER THAN MXRIVR(',I4,')')"),
      .count = &AQX_FMT("(1X//1X,I5,' RIVER REACHES')"),
      .heading = &AQX_FMT(
          "(1X/1X,'LAYER   ROW   COL     STAGE   CONDUCTANCE   ','BOT. ELEV.  REACH NO.',:,5(2X,A))"),
      .dashes = &AQX_FMT("(1X,65('-'),5A)"),
      .echo = &AQX_FMT("(1X,I4,I7,I6,G13.4,G12.4,G12.4,I8,:,5(2X,G16.5))"),
      .printLine = &AQX_FMT("(1X,'REACH',I4,'   LAYER',I3,'   ROW',I4,'   COL',I4,'   RATE',1P,G15.6)"),
      .label = "   RIVER LEAKAGE",
      .fields = {"STAGE", "CONDUCTANCE", "BOTTOM ELEVATION"},
      .rules = {Refuse::NonFinite, Refuse::Negative, Refuse::NonFinite},
  };
  return spec;
}

}  // namespace

RivPackage::RivPackage() : ListPackage(rivSpec()) {}

// Above the bed bottom the leakage cond * (s - h) depends on the head (HCOEF - cond, RHS - cond * s);
// at or below it the leakage is the fixed cond * (s - b), a known inflow.
void RivPackage::formulate(Model& m) {
  for (int n = 1; n <= list_.count(); ++n) {
    const std::int64_t c = list_.cellOf(m, n);
    if (m.IBOUND[c] <= 0) continue;
    const float s = list_.value(n, 1);
    const float cond = list_.value(n, 2);
    const float b = list_.value(n, 3);
    if (m.HEADNEW[c] > static_cast<double>(b)) {
      m.HCOEF[c] -= cond;
      m.RHS[c] -= cond * s;
    } else {
      m.RHS[c] -= cond * (s - b);
    }
  }
}

void RivPackage::budget(Model& m) {
  list_.budget(m, [&](int n, std::int64_t c) {
    const float s = list_.value(n, 1);
    const float cond = list_.value(n, 2);
    const float b = list_.value(n, 3);
    const double h = m.HEADNEW[c];
    if (h <= static_cast<double>(b)) return static_cast<double>((s - b) * cond);
    return static_cast<double>(s * cond) - h * static_cast<double>(cond);
  });
}

AQX_REGISTER_PACKAGE("RIV", RivPackage)

}  // namespace aqx
