#include "bas/budget_terms.hpp"

#include <algorithm>
#include <string>

namespace aqx {

namespace {

// The next free row of the budget table; a full table writes one message and stops the run.
std::size_t nextBudgetRow(Model& m) {
  const int rows = static_cast<int>(m.BUDVAL.size());
  if (m.BUDNEXT < 1 || m.BUDNEXT > rows) {
    io::write(m.LISTUNIT,
              AQX_FMT("(1X/1X,'BUDGET TABLE IS FULL: THE PACKAGES OF THIS MODEL NEED MORE THAN',I3,"
                      "' BUDGET ENTRIES')"),
              rows);
    io::stopRun(1);
  }
  return static_cast<std::size_t>(m.BUDNEXT - 1);
}

}  // namespace

void addBudgetRow(Model& m, std::string_view label, double rateIn, double rateOut) {
  const std::size_t r = nextBudgetRow(m);
  auto& row = m.BUDVAL[r];
  const float rin = static_cast<float>(rateIn);
  const float rout = static_cast<float>(rateOut);
  row[0] = row[0] + rin * m.DELT;
  row[1] = row[1] + rout * m.DELT;
  row[2] = rin;
  row[3] = rout;
  m.BUDNAM[r] = std::string(label);
  ++m.BUDNEXT;
}

void addBudgetVolumes(Model& m, std::string_view label, float volumeIn, float volumeOut) {
  const std::size_t r = nextBudgetRow(m);
  auto& row = m.BUDVAL[r];
  row[0] = row[0] + volumeIn;
  row[1] = row[1] + volumeOut;
  row[2] = volumeIn / m.DELT;
  row[3] = volumeOut / m.DELT;
  m.BUDNAM[r] = std::string(label);
  ++m.BUDNEXT;
}

int CellBudget::modeFor(int unit, int icbcfl, bool canPrint) {
  if (unit > 0) return icbcfl;
  if (unit < 0 && icbcfl != 0 && canPrint) return kPrint;
  return kNone;
}

CellBudget::CellBudget(Model& m, int unit, std::string_view label, bool canPrint)
    : m_(m), unit_(unit), label_(label), mode_(modeFor(unit, m.ICBCFL, canPrint)) {}

void CellBudget::clearBuffer() {
  std::fill(m_.BUFF, m_.BUFF + m_.NCELLS, 0.0f);
}

void CellBudget::saveArray() const {
  saveArray(m_.BUFF);
}

void CellBudget::saveArray(const float* values) const {
  if (mode_ == kFull) {
    io::UBUDSV(m_.KSTEP, m_.KPERIOD, label_, unit_, values, m_.NCOLS, m_.NROWS, m_.NLAYER, m_.LISTUNIT);
  } else if (mode_ == kCompact) {
    io::UBDSV1(m_.KSTEP, m_.KPERIOD, label_, unit_, values, m_.NCOLS, m_.NROWS, m_.NLAYER, m_.LISTUNIT,
               m_.DELT, m_.PERTIME, m_.TOTTIME);
  }
}

void CellBudget::saveFullArray() const {
  if (mode_ == kFull) {
    io::UBUDSV(m_.KSTEP, m_.KPERIOD, label_, unit_, m_.BUFF, m_.NCOLS, m_.NROWS, m_.NLAYER, m_.LISTUNIT);
  }
}

void CellBudget::saveFullRecord() const {
  if (saving()) {
    io::UBUDSV(m_.KSTEP, m_.KPERIOD, label_, unit_, m_.BUFF, m_.NCOLS, m_.NROWS, m_.NLAYER, m_.LISTUNIT);
  }
}

void CellBudget::beginList(int entries) const {
  if (mode_ != kCompact) return;
  io::UBDSV2(m_.KSTEP, m_.KPERIOD, label_, unit_, m_.NCOLS, m_.NROWS, m_.NLAYER, entries, m_.LISTUNIT,
             m_.DELT, m_.PERTIME, m_.TOTTIME);
}

void CellBudget::saveLayerArray(const float* values, const int* indicator, int option) const {
  if (mode_ != kCompact) return;
  io::UBDSV3(m_.KSTEP, m_.KPERIOD, label_, unit_, values, indicator, option, m_.NCOLS, m_.NROWS, m_.NLAYER,
             m_.LISTUNIT, m_.DELT, m_.PERTIME, m_.TOTTIME);
}

void CellBudget::printHeading() {
  if (headed_) return;
  io::write(m_.LISTUNIT, AQX_FMT("(1X/1X,A,'   PERIOD',I3,'   STEP',I3)"), std::string(label_), m_.KPERIOD,
            m_.KSTEP);
  headed_ = true;
}

}  // namespace aqx
