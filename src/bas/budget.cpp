// The volumetric budget of the whole model with its percent discrepancy, and the time summary.
// All sums and printed arithmetic are single precision, as the budget table is.
#include <algorithm>
#include <array>
#include <cmath>
#include <span>
#include <string>

#include "bas/output.hpp"
#include "io/record.hpp"

namespace aqx::bas {

namespace {

// Entries and totals at or beyond kLarge, differences at or beyond kLargeDifference (by magnitude),
// and every value below kSmall go in E form, so that they fit 17 characters and stay readable.
constexpr float kSmall = 0.1f;
constexpr float kLarge = 9.99999E11f;
constexpr float kLargeDifference = 9.99999E10f;

std::string fixedText(float v) { return io::writeInternal(17, AQX_FMT("(F17.4)"), v); }
std::string expText(float v) { return io::writeInternal(17, AQX_FMT("(1P,E17.4)"), v); }

// Percent of a difference relative to the mean of in and out; 0 when both are 0.
float discrepancy(float in, float out, float difference) {
  const float average = (in + out) / 2.0f;
  if (average == 0.0f) return 0.0f;
  const float scaled = 100.0f * difference;
  return scaled / average;
}

}  // namespace

std::string budgetEntryText(float value) {
  if (value == 0.0f) return fixedText(value);
  if (value >= kLarge || value < kSmall) return expText(value);
  return fixedText(value);
}

std::string budgetDifferenceText(float value) {
  if (value == 0.0f) return fixedText(value);
  const float magnitude = std::fabs(value);
  if (magnitude >= kLargeDifference || magnitude < kSmall) return expText(value);
  return fixedText(value);
}

void printBudget(const Model& m) {
  const int rows = std::clamp(m.BUDNEXT - 1, 0, static_cast<int>(m.BUDVAL.size()));
  if (rows == 0) return;
  const int lu = m.LISTUNIT;

  float totalRateIn = 0.0f, totalRateOut = 0.0f, totalVolumeIn = 0.0f, totalVolumeOut = 0.0f;
  for (int r = 0; r < rows; ++r) {
    totalRateIn += m.BUDVAL[r][2];
    totalRateOut += m.BUDVAL[r][3];
    totalVolumeIn += m.BUDVAL[r][0];
    totalVolumeOut += m.BUDVAL[r][1];
  }

  io::write(lu,
            AQX_FMT("('1'/2X,'VOLUMETRIC BUDGET FOR ENTIRE MODEL AT END OF',' TIME STEP',I3,' IN STRESS PERIOD',I3/"
                    "2X,77('-'))"),
            m.KSTEP, m.KPERIOD);
  io::write(lu, AQX_FMT("(1X/5X,'CUMULATIVE VOLUMES',6X,'L**3',7X,'RATES FOR THIS TIME STEP',6X,'L**3/T'/5X,18('-'),"
                        "17X,24('-')//11X,'IN:',38X,'IN:'/11X,'---',38X,'---')"));
  const auto& rowFormat = AQX_FMT("(1X,3X,A16,' =',A17,6X,A16,' =',A17)");
  for (int r = 0; r < rows; ++r) {
    io::write(lu, rowFormat, m.BUDNAM[r], budgetEntryText(m.BUDVAL[r][0]), m.BUDNAM[r],
              budgetEntryText(m.BUDVAL[r][2]));
  }
  io::write(lu, AQX_FMT("(1X/12X,'TOTAL IN =',A,14X,'TOTAL IN =',A)"), budgetEntryText(totalVolumeIn),
            budgetEntryText(totalRateIn));

  io::write(lu, AQX_FMT("(1X/10X,'OUT:',37X,'OUT:'/10X,4('-'),37X,4('-'))"));
  for (int r = 0; r < rows; ++r) {
    io::write(lu, rowFormat, m.BUDNAM[r], budgetEntryText(m.BUDVAL[r][1]), m.BUDNAM[r],
              budgetEntryText(m.BUDVAL[r][3]));
  }
  io::write(lu, AQX_FMT("(1X/11X,'TOTAL OUT =',A,13X,'TOTAL OUT =',A)"), budgetEntryText(totalVolumeOut),
            budgetEntryText(totalRateOut));

  const float volumeDifference = totalVolumeIn - totalVolumeOut;
  const float rateDifference = totalRateIn - totalRateOut;
  io::write(lu, AQX_FMT("(1X/12X,'IN - OUT =',A,14X,'IN - OUT =',A)"), budgetDifferenceText(volumeDifference),
            budgetDifferenceText(rateDifference));

  io::write(lu, AQX_FMT("(1X/1X,'PERCENT DISCREPANCY =',F15.2,5X,'PERCENT DISCREPANCY =',F15.2///)"),
            discrepancy(totalVolumeIn, totalVolumeOut, volumeDifference),
            discrepancy(totalRateIn, totalRateOut, rateDifference));
}

void printTimeSummary(const Model& m) {
  const int lu = m.LISTUNIT;
  io::write(lu, AQX_FMT("(1X///10X,'TIME SUMMARY AT END OF TIME STEP',I3,' IN STRESS PERIOD',I3)"), m.KSTEP,
            m.KPERIOD);
  float factor = 0.0f;
  switch (m.TIMEUNIT) {
    case 1: factor = 1.0f; break;
    case 2: factor = 60.0f; break;
    case 3: factor = 3600.0f; break;
    case 4: factor = 86400.0f; break;
    case 5: factor = 31557600.0f; break;
    default: break;
  }
  if (factor == 0.0f) {
    io::write(lu,
              AQX_FMT("(21X,'     TIME STEP LENGTH =',G15.6/21X,'   STRESS PERIOD TIME =',G15.6/21X,'TOTAL "
                      "SIMULATION TIME =',G15.6)"),
              m.DELT, m.PERTIME, m.TOTTIME);
    return;
  }
  // Seconds, minutes, hours, days and years, each derived from the previous one.
  auto units = [factor](float value) {
    std::array<float, 5> t;
    t[0] = factor * value;
    t[1] = t[0] / 60.0f;
    t[2] = t[1] / 60.0f;
    t[3] = t[2] / 24.0f;
    t[4] = t[3] / 365.25f;
    return t;
  };
  io::write(lu, AQX_FMT("(19X,' SECONDS     MINUTES      HOURS',7X,'DAYS        YEARS'/20X,59('-'))"));
  const auto step = units(m.DELT);
  const auto period = units(m.PERTIME);
  const auto total = units(m.TOTTIME);
  io::write(lu, AQX_FMT("(1X,'  TIME STEP LENGTH',1P,5G12.5)"), std::span<const float>(step));
  io::write(lu, AQX_FMT("(1X,'STRESS PERIOD TIME',1P,5G12.5)"), std::span<const float>(period));
  io::write(lu, AQX_FMT("(1X,'        TOTAL TIME',1P,5G12.5)"), std::span<const float>(total));
}

}  // namespace aqx::bas
