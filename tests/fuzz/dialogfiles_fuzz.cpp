// The texts the two configuration dialogs read from files and resources, and
// the names an operator types, must never crash their readers: arbitrary
// bytes go through the table and application-file readers, the choice-list
// parser, the mass rules and the file-name rules.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

#include "dialogs/offlinecfg.h"
#include "dialogs/svmethcal.h"

using namespace mcr;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string text(reinterpret_cast<const char*>(data), size);
  MemorySource table(std::vector<std::uint8_t>(data, data + size));
  ReadStandardApplications(table);
  MemorySource app(std::vector<std::uint8_t>(data, data + size));
  ReadApplicationName(app);
  ParseChoiceList(data, size);
  MassesFromKey(text);
  SettingNumber(text);
  std::array<std::string, kMassFields> fields;
  for (std::size_t i = 0; i < size; ++i) fields[i % kMassFields] += text[i];
  InhibitKeyText(CheckMassFields(fields).masses);
  if (auto entries = ReservedExtensions(text)) FindReservedExtension(text, *entries);
  FileNameMessage(NamePart(text));
  FolderForm(text);
  return 0;
}
