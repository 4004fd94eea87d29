// Texts nobody checked, as the file words, the batch commands and the
// message formatter meet them (macro arguments, settings values, names for
// messages), must never crash them or make them read past a buffer: the
// input is cut into a few texts, which go through every routine that reads
// such texts.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "batch/batchtext.h"
#include "bridge/msgformat.h"
#include "fileops/pathparts.h"

using namespace mcr;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // Texts separated by zero bytes; the first byte, when there is one, sizes
  // a message.
  std::string_view all(reinterpret_cast<const char*>(data), size);
  std::vector<std::string> t;
  for (std::size_t at = 0; t.size() < 4;) {
    std::size_t end = all.find('\0', at);
    t.emplace_back(all.substr(at, end == std::string_view::npos ? std::string_view::npos : end - at));
    if (end == std::string_view::npos) break;
    at = end + 1;
  }
  while (t.size() < 4) t.emplace_back();

  for (const std::string& s : t) {
    SplitPathParts(s);
    HasDirectoryPart(s);
    EndsWithSeparator(s);
    ComponentStart(s, true);
    IsRootDirectory(s);
    PathBuffer b;
    if (b.Assign(s)) {
      b.ReplaceLast(t[1]);
      b.Append(t[2]);
      b.RemoveLast();
    }
  }
  CopyTargetInside(t[0], t[1], t[2], t[3]);
  UpdateTargetInside(t[0], t[1]);
  ImportFromSettings(t[0], t[1], t[2], t[3]);
  QcRequestText(t[0], t[1], t[2], {t[3], t[0]});
  JoinNonEmpty({t[0], t[1], t[2], t[3]});

  const std::size_t limit = size ? data[0] : 0;
  FormatCatalogueWithin(limit, "%s: %s (%.59s) %s", t[0].c_str(), t[1].c_str(), t[2].c_str(), t[3].c_str());
  InsertedText(t[0], limit, limit / 2);
  return 0;
}
