// Placement-file texts and module names of any bytes: the readers stay within
// the text, a section name always fits its buffer, and the placement file
// found keeps the folder it came from.
#include <cstdint>
#include <string>

#include "windows/tasktable.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  mcr::ParsePosition(text);
  mcr::TaskVars vars;
  vars.appTag = text;
  if (mcr::PlacementSection(mcr::Task::General, vars).size() >= mcr::kSectionBuffer) __builtin_trap();
  const std::string file = mcr::PlacementFileBeside(text);
  const std::size_t folder = file.size() - std::string(mcr::kPlacementFile).size();
  if (file.compare(folder, std::string::npos, mcr::kPlacementFile) != 0 || file.compare(0, folder, text, 0, folder) != 0)
    __builtin_trap();
  return 0;
}
