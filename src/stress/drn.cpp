#include "stress/drn.hpp"

namespace aqx {

namespace {

const ListSpec& drnSpec() {
  static const ListSpec spec{
      .name = "DRN",
      .slot = kDRN,
      .nReals = 2,  // drain elevation, conductance
      .entryFormat = &AQX_FMT("(3I10,2F10.0)"),
      .banner = &AQX_FMT("(1X/1X,'DRN5 -- DRAIN PACKAGE, VERSION 5, 9/1/93',' INPUT READ FROM UNIT',I3)"),
      .maximum = &AQX_FMT("(1X,'MAXIMUM OF',I5,' DRAINS')"),
      .auxEcho = &AQX_FMT("(1X,'AUXILIARY DRAIN PARAMETER: ',A)"),
      .used = &AQX_FMT("(1X,I10,' ELEMENTS IN X ARRAY ARE USED BY DRN')"),
      .reusing = &AQX_FMT("(1X/1X,'REUSING DRAINS FROM LAST STRESS PERIOD')"),
      .tooMany = &AQX_FMT("(1X/1X,'NDRAIN(',I4,') IS GREATER THAN MXDRN(',I4,')')"),
      .count = &AQX_FMT("(1X//1X,I5,' DRAINS')"),
      .heading = &AQX_FMT("(1X/1X,'LAYER   ROW   COL   ELEVATION   CONDUCTANCE   ','DRAIN NO.',:,5(2X,A))"),
      .dashes = &AQX_FMT("(1X,55('-'),5A)"),
      .echo = &AQX_FMT("(1X,I4,I7,I6,G13.4,G14.4,I8,:,5(2X,G16.5))"),
      .printLine = &AQX_FMT("(1X,'DRAIN',I4,'   LAYER',I3,'   ROW',I4,'   COL',I4,'   RATE',1P,G15.6)"),
      .label = "          DRAINS",
      .outflowOnly = true,
      .fields = {"ELEVATION", "CONDUCTANCE"},
      .rules = {Refuse::NonFinite, Refuse::Negative},
  };
  return spec;
}

}  // namespace

DrnPackage::DrnPackage() : ListPackage(drnSpec()) {}

// A drain acts only while the head is above its elevation (equal heads do nothing): an outflow
// cond * (d - h), entered as HCOEF - cond and RHS - cond * d.
void DrnPackage::formulate(Model& m) {
  for (int n = 1; n <= list_.count(); ++n) {
    const std::int64_t c = list_.cellOf(m, n);
    if (m.IBOUND[c] <= 0) continue;
    const float d = list_.value(n, 1);
    const float cond = list_.value(n, 2);
    if (m.HEADNEW[c] > static_cast<double>(d)) {
      m.HCOEF[c] -= cond;
      m.RHS[c] -= cond * d;
    }
  }
}

void DrnPackage::budget(Model& m) {
  list_.budget(m, [&](int n, std::int64_t c) {
    const float d = list_.value(n, 1);
    const float cond = list_.value(n, 2);
    const double h = m.HEADNEW[c];
    if (h <= static_cast<double>(d)) return 0.0;
    return static_cast<double>(cond * d) - h * static_cast<double>(cond);
  });
}

AQX_REGISTER_PACKAGE("DRN", DrnPackage)

}  // namespace aqx
