#include "stress/wel.hpp"

namespace aqx {

namespace {

const ListSpec& welSpec() {
  static const ListSpec spec{
      .name = "WEL",
      .slot = kWEL,
      .nReals = 1,  // the rate
      .entryFormat = &AQX_FMT("(3I10,F10.0)"),
      .banner = &AQX_FMT("(1X/1X,'WEL5 -- WELL PACKAGE, VERSION 5, 9/1/93',' INPUT READ FROM UNIT',I3)"),
      .maximum = &AQX_FMT("(1X,'MAXIMUM OF',I5,' WELLS')"),
      .auxEcho = &AQX_FMT("(1X,'AUXILIARY WELL PARAMETER: ',A)"),
      .used = &AQX_FMT("(1X,I10,' ELEMENTS IN X ARRAY ARE USED BY WEL')"),
      .reusing = &AQX_FMT("(1X/1X,'REUSING WELLS FROM LAST STRESS PERIOD')"),
      .tooMany = &AQX_FMT("(1X/1X,'NWELLS(',I4,') IS GREATER THAN MXWELL(',I4,')')"),
      .count = &AQX_FMT("(1X//1X,I5,' WELLS')"),
      .heading = &AQX_FMT("(1X/1X,'LAYER   ROW   COL   STRESS RATE   WELL NO.',:,5(2X,A))"),
      .dashes = &AQX_FMT("(1X,42('-'),5A)"),
      .echo = &AQX_FMT("(1X,I4,I7,I6,G15.5,I7,:,5(2X,G16.5))"),
      .printLine = &AQX_FMT("(1X,'WELL',I4,'   LAYER',I3,'   ROW',I4,'   COL',I4,'   RATE',1P,G15.6)"),
      .label = "           WELLS",
      .fields = {"RATE"},
      .rules = {Refuse::NonFinite},
  };
  return spec;
}

}  // namespace

WelPackage::WelPackage() : list_(welSpec()) {}

void WelPackage::allocate(Model& m) {
  list_.allocate(m);
}
void WelPackage::stressPeriod(Model& m) {
  list_.readPeriod(m);
}

// A well's rate is a known inflow: RHS - Q, in variable-head cells only.
void WelPackage::formulate(Model& m) {
  for (int n = 1; n <= list_.count(); ++n) {
    const std::int64_t c = list_.cellOf(m, n);
    if (m.IBOUND[c] > 0) m.RHS[c] -= list_.value(n, 1);
  }
}

void WelPackage::budget(Model& m) {
  list_.budget(m, [&](int n, std::int64_t) { return static_cast<double>(list_.value(n, 1)); });
}

AQX_REGISTER_PACKAGE("WEL", WelPackage)

}  // namespace aqx
