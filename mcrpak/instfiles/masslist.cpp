#include "masslist.h"

#include "../bridge/rounding.h"

namespace mcr {

std::optional<std::int32_t> TuneStepOf(double value) {
  if (!(value >= -2147483648.0 && value <= 2147483647.0)) return std::nullopt;
  std::int32_t step = RoundToInt(value);
  if (step < kTuneStepMin || step > kTuneStepMax) return std::nullopt;
  return step;
}

Selector ParseSelector(MassFile file, std::string_view upper) {
  struct Row {
    const char* word;
    Selector selector;
    bool calibration, qcDatabase, tuneCriteria;
  };
  static const Row kRows[] = {
      {"MASS", Selector::Mass, true, true, true},     {"NAME", Selector::Name, true, true, true},
      {"ISTD", Selector::Istd, true, true, false},    {"ANA", Selector::Ana, true, true, false},
      {"ON", Selector::On, true, true, false},        {"OFF", Selector::Off, true, true, false},
      {"RPT_ON", Selector::RptOn, false, true, false}, {"RPT_OFF", Selector::RptOff, false, true, false},
  };
  for (const Row& r : kRows) {
    if (upper != r.word) continue;
    bool offered = file == MassFile::Calibration   ? r.calibration
                   : file == MassFile::QcDatabase ? r.qcDatabase
                                                  : r.tuneCriteria;
    return offered ? r.selector : Selector::Unknown;
  }
  return Selector::Unknown;
}

std::vector<std::string> NameGroups(const std::vector<std::string>& names) {
  std::vector<std::string> groups;
  std::string buffer;
  std::size_t k = 1;
  for (const std::string& name : names) {
    buffer += name;
    if (k == kNamesPerGroup) {
      groups.push_back(buffer);
      buffer.clear();
      k = 0;
    } else {
      buffer += ',';
    }
    ++k;
  }
  if (!buffer.empty()) {
    buffer.pop_back();
    groups.push_back(buffer);
  }
  return groups;
}

}  // namespace mcr
