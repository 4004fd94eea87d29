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
  // value, with a column at every tenth whole mass (or every 97th point) of
  // each step.
  static TableLayout layouts[2];
  static const bool built = [] {
    for (int kind = 0; kind < 2; ++kind)
      for (int step = 1; step <= kTableSteps; ++step)
        for (std::int32_t p = kind ? 0 : 20 - kPositionOffset; p < kTablePositions; p += kind ? 97 : 200)
          layouts[kind].map.Set({step, p}, ++layouts[kind].columns);
    return true;
  }();
  (void)built;
  TableLayout& layout = layouts[flags & 2 ? 1 : 0];
  layout.settings.data = flags & 1 ? TableData::Conc : TableData::Cps;
  layout.settings.kind = flags & 2 ? TableKind::Point : TableKind::Mass;
  layout.settings.additional = static_cast<Additional>((flags >> 2) % 6);
  layout.settings.headerInfo = flags & 0x20;
  layout.settings.correction = flags & 0x40;
  const bool missing = flags & 0x80;
  Row row = ComputeRow(layout, "X\\S.D", [&](const std::string& path) -> std::unique_ptr<ByteSource> {
    if (missing && path.find("data02") != std::string::npos) return nullptr;
    return std::make_unique<MemorySource>(files);
  });
  // Every column has its cell, none longer than a cell holds, and the line
  // ends only at its end.
  const std::size_t firstCell = 1 + (layout.settings.headerInfo ? kHeaderFieldCount : 0);
  std::size_t tabs = 0, cellStart = 0;
  for (std::size_t i = 0; i < row.line.size(); ++i) {
    if (row.line[i] != '\t') continue;
    if (tabs++ >= firstCell && i - cellStart > kCellMax) std::abort();
    cellStart = i + 1;
  }
  if (tabs != firstCell + static_cast<std::size_t>(layout.columns)) std::abort();
  if (row.line.find_first_of("\r\n") + 2 != row.line.size()) std::abort();
  return 0;
}
