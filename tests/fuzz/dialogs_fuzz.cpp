// What the dialogs read from files nobody checked must never crash them:
// arbitrary bytes as a qcunrep file and as qctune.ini values and paths.
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "dialogs/qctunesettings.h"
#include "dialogs/unreported.h"

using namespace mcr;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  MemorySource source(std::vector<std::uint8_t>(data, data + size));
  UnreportedBlock block;
  ReadUnreportedBlock(source, block);
  std::string_view text(reinterpret_cast<const char*>(data), size);
  for (const std::string& field : SplitTuneItem(text)) LeadingNumber(field);
  PercentText(text);
  SplitMethodPath(text);
  IsHtmlHelpFile(text);
  ItemMass(text);
  ItemStep(text);
  UnreportedTextOf(text);
  return 0;
}
