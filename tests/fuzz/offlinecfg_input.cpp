#include "dialogs/offlinecfg.h"

void OfflineConfig(const std::vector<std::uint8_t>& in) {
  const std::string text(in.begin(), in.end());
  mcr::MemorySource table(in), app(in);
  mcr::ReadStandardApplications(table), mcr::ReadApplicationName(app), mcr::ParseChoiceList(in.data(), in.size());
  mcr::MassesFromKey(text), mcr::SettingNumber(text);
  std::array<std::string, mcr::kMassFields> fields;
  for (std::size_t i = 0; i < text.size(); ++i) fields[i % mcr::kMassFields] += text[i];
  mcr::InhibitKeyText(mcr::CheckMassFields(fields).masses);
}
