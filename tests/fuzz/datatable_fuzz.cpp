// Corrupt table files and data bytes must never crash the data table's
// readers, make them loop or leave a cell past its column: the input is
// split into a table file (configuration block and closing line) and the
// bytes every data and quantitation file of the row is read from.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "instfiles/tableconfig.h"
#include "instfiles/tablerow.h"

using namespace mcr;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 3) return 0;
  const std::uint8_t flags = data[0];
  const std::size_t split = 3 + (static_cast<std::size_t>(data[1]) << 8 | data[2]) % (size - 2);
  std::vector<std::uint8_t> table(data + 3, data + split), files(data + split, data + size);

  MemorySource tableSource(table);
  TableLayout read;
  if (ReadTableLayout(tableSource, read)) {
    if (read.columns < 0) std::abort();
    ComputeRow(read, "D", [&files](const std::string&) { return std::make_unique<MemorySource>(files); });
  }
  FindClosingLine(tableSource, table.size());

  // The same data bytes through every data type, table kind and additional
  // value, with a column at every whole mass (or every seventh point) of
  // each step.
  TableLayout layout;
  layout.settings.data = flags & 1 ? TableData::Conc : TableData::Cps;
  layout.settings.kind = flags & 2 ? TableKind::Point : TableKind::Mass;
  layout.settings.additional = static_cast<Additional>((flags >> 2) % 6);
  layout.settings.headerInfo = flags & 0x20;
  layout.settings.correction = flags & 0x40;
  for (int step = 1; step <= kTableSteps; ++step)
    for (std::int32_t p = 0; p < kTablePositions; p += flags & 2 ? 7 : 20)
      layout.map.Set({step, p}, ++layout.columns);
  const bool missing = flags & 0x80;
  Row row = ComputeRow(layout, "X\\S.D", [&](const std::string& path) -> std::unique_ptr<ByteSource> {
    if (missing && path.find("data02") != std::string::npos) return nullptr;
    return std::make_unique<MemorySource>(files);
  });
  std::size_t tabs = 0;
  for (char c : row.line) tabs += c == '\t';
  std::size_t want = 1 + static_cast<std::size_t>(layout.columns) + (layout.settings.headerInfo ? kHeaderFieldCount : 0);
  if (tabs != want || row.line.find_first_of("\r\n") + 2 != row.line.size()) std::abort();
  return 0;
}
