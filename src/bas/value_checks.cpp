#include "bas/value_checks.hpp"

#include <string>

#include "io/record.hpp"

namespace aqx {

namespace {

std::string reason(Refuse rule, float v) {
  if (!std::isfinite(v)) return "IS NOT A FINITE NUMBER";
  if (rule == Refuse::NotPositive) return "MUST BE GREATER THAN 0.0";
  return "IS NEGATIVE";
}

std::string trimmedLabel(std::string_view label) {
  const std::size_t first = label.find_first_not_of(' ');
  return first == std::string_view::npos ? std::string() : std::string(label.substr(first));
}

}  // namespace

void refuseLayerValue(int listunit, std::string_view label, int k, int i, int j, float v, Refuse rule) {
  const std::string name = trimmedLabel(label);
  if (k > 0) {
    io::write(
        listunit,
        AQX_FMT("(1X/1X,A,' AT LAYER',I4,', ROW',I6,', COLUMN',I6,' ',A,':',1P,G14.6/1X,'STOP EXECUTION')"),
        name, k, i, j, reason(rule, v), v);
  } else if (k == 0) {
    io::write(listunit,
              AQX_FMT("(1X/1X,A,' AT ROW',I6,', COLUMN',I6,' ',A,':',1P,G14.6/1X,'STOP EXECUTION')"), name, i,
              j, reason(rule, v), v);
  } else {
    io::write(listunit,
              AQX_FMT("(1X/1X,A,' OF THE CROSS SECTION AT LAYER',I4,', COLUMN',I6,' ',A,':',1P,G14.6/1X,"
                      "'STOP EXECUTION')"),
              name, i, j, reason(rule, v), v);
  }
  io::stopRun();
}

void refuseVectorValue(int listunit, std::string_view label, std::string_view indexWord, int index, float v,
                       Refuse rule) {
  io::write(listunit, AQX_FMT("(1X/1X,A,' AT ',A,I6,' ',A,':',1P,G14.6/1X,'STOP EXECUTION')"),
            trimmedLabel(label), std::string(indexWord), index, reason(rule, v), v);
  io::stopRun();
}

void refuseEntryValue(int listunit, std::string_view package, int entry, std::string_view field, float v,
                      Refuse rule) {
  io::write(listunit, AQX_FMT("(1X/1X,A,' ENTRY',I6,' ',A,' ',A,':',1P,G14.6/1X,'STOP EXECUTION')"),
            std::string(package), entry, std::string(field), reason(rule, v), v);
  io::stopRun();
}

void checkVector(int listunit, const float* values, int n, Refuse rule, std::string_view label,
                 std::string_view indexWord) {
  for (int e = 1; e <= n; ++e) {
    if (isRefused(values[e - 1], rule)) refuseVectorValue(listunit, label, indexWord, e, values[e - 1], rule);
  }
}

}  // namespace aqx
