// The offline configuration's readers, in a file of their own: their mass
// range shares its names with the mass lists' (readers_fuzz.cpp).
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "dialogs/offlinecfg.h"

namespace mcrfuzz {

void OfflineConfig(const std::vector<std::uint8_t>& in) {
  using namespace mcr;
  std::string text(in.begin(), in.end());
  MemorySource table(in), app(in);
  ReadStandardApplications(table);
  ReadApplicationName(app);
  ParseChoiceList(in.data(), in.size());
  MassesFromKey(text);
  SettingNumber(text);
  std::array<std::string, kMassFields> fields;
  for (std::size_t i = 0; i < text.size(); ++i) fields[i % kMassFields] += text[i];
  InhibitKeyText(CheckMassFields(fields).masses);
}

}  // namespace mcrfuzz
