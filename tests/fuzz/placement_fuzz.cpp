// Texts from a placement file and module names of any bytes: the readers
// never run past the text, and the file found keeps the folder it came from.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "windows/tasktable.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  mcr::ParsePosition(text);
  mcr::ShowCommandOfStyle(text);
  mcr::TaskVars vars;
  vars.appTag = std::string(text);
  if (mcr::PlacementSection(mcr::Task::General, vars).size() >= mcr::kSectionBuffer) __builtin_trap();
  const std::string file = mcr::PlacementFileBeside(text);
  const std::string_view name(mcr::kPlacementFile);
  if (file.size() < name.size()) __builtin_trap();
  const std::size_t folder = file.size() - name.size();
  if (std::string_view(file).substr(folder) != name || text.substr(0, folder) != file.substr(0, folder))
    __builtin_trap();
  return 0;
}
