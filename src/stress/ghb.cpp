#include "stress/ghb.hpp"

namespace aqx {

namespace {

const ListSpec& ghbSpec() {
  static const ListSpec spec{
      .name = "GHB",
      .slot = kGHB,
      .nReals = 2,  // boundary head, conductance
      .entryFormat = &AQX_FMT("(3I10,2F10.0)"),
      .banner = &AQX_FMT("(1X/1X,'GHB5 -- GHB PACKAGE, VERSION 5, 9/1/93',' INPUT READ FROM UNIT',I3)"),
      .maximum = &AQX_FMT("(1X,'MAXIMUM OF',I5,' HEAD-DEPENDENT BOUNDARY NODES')"),
      .auxEcho = &AQX_FMT("(1X,'AUXILIARY BOUNDARY PARAMETER: ',A)"),
      .used = &AQX_FMT("(1X,I10,' ELEMENTS IN X ARRAY ARE USED BY GHB')"),
      .reusing = &AQX_FMT("(1X/1X,'REUSING HEAD-DEPENDENT BOUNDS FROM LAST STRESS',' PERIOD')"),
      .tooMany = &AQX_FMT("(1X/1X,'NBOUND(',I4,') IS GREATER THAN MXBND(',I4,')')"),
      .count = &AQX_FMT("(1X//1X,I5,' HEAD-DEPENDENT BOUNDARY NODES')"),
      // The boundary head is headed "ELEVATION".
      .heading = &AQX_FMT("(1X/1X,'LAYER   ROW   COL   ELEVATION   CONDUCTANCE   ','BOUND NO.',:,5(2X,A))"),
      .dashes = &AQX_FMT("(1X,55('-'),5A)"),
      .echo = &AQX_FMT("(1X,I4,I7,I6,G13.4,G14.4,I8,:,5(2X,G16.5))"),
      .printLine = &AQX_FMT("(1X,'BOUNDARY',I4,'   LAYER',I3,'   ROW',I4,'   COL',I4,'   RATE',1P,G15.6)"),
      .label = " HEAD DEP BOUNDS",
      .fields = {"HEAD", "CONDUCTANCE"},
      .rules = {Refuse::NonFinite, Refuse::Negative},
  };
  return spec;
}

}  // namespace

GhbPackage::GhbPackage() : ListPackage(ghbSpec()) {}

// The flow cond * (hb - h), whatever the head: HCOEF - cond, RHS - cond * hb.
void GhbPackage::formulate(Model& m) {
  for (int n = 1; n <= list_.count(); ++n) {
    const std::int64_t c = list_.cellOf(m, n);
    if (m.IBOUND[c] <= 0) continue;
    const float hb = list_.value(n, 1);
    const float cond = list_.value(n, 2);
    m.HCOEF[c] -= cond;
    m.RHS[c] -= cond * hb;
  }
}

void GhbPackage::budget(Model& m) {
  list_.budget(m, [&](int n, std::int64_t c) {
    const float hb = list_.value(n, 1);
    const float cond = list_.value(n, 2);
    return static_cast<double>(hb * cond) - static_cast<double>(cond) * m.HEADNEW[c];
  });
}

AQX_REGISTER_PACKAGE("GHB", GhbPackage)

}  // namespace aqx
