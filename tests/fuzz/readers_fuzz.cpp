// Bytes nobody checked, through every reader of the platform-free code: the first byte picks the reader (its
// value modulo 6), the rest is its input. No reader may crash, loop, read past a buffer or give what its callers
// cannot hold. The seeds in corpus/ are named after their reader; macro-* begin with "M", the macro parser's.
#include "batch/batchtext.h"
#include "bridge/msgformat.h"
#include "dialogs/qctunesettings.h"
#include "dialogs/svmethcal.h"
#include "dialogs/unreported.h"
#include "fileops/pathparts.h"
#include "instfiles/calblayout.h"
#include "instfiles/datalayout.h"
#include "instfiles/methlayout.h"
#include "instfiles/qclayout.h"
#include "instfiles/runmasses.h"
#include "instfiles/seqlayout.h"
#include "instfiles/tablerow.h"
#include "lang.h"
#include "windows/tasktable.h"

using namespace mcr;
using Input = std::vector<std::uint8_t>;

void OfflineConfig(const Input& in);  // offlinecfg_input.cpp: its mass range's names clash with the mass lists'

#define REQUIRE(holds) if (!(holds)) __builtin_trap()

namespace {

// Calibration, QC-database, tune-criteria and run-group files and the sequence's and data files' header
// and row decoders (their fixed-size records padded with zeros); the first byte picks the reader, the
// second the selector.
void Layouts(const Input& in) {
  if (in.size() < 2) return;
  const auto selector = static_cast<Selector>(in[1] % 8);
  Input file(in.begin() + 2, in.end()), header = file;
  MemorySource source(file), calibration(Input(file.begin(), file.begin() + file.size() / 2)),
      runGroup(Input(file.begin() + file.size() / 2, file.end()));
  std::int32_t group = in[1], list[10] = {}, count = 0;
  switch (in[0] % 8) {
    case 0: ListCalibration(source, selector, "(x)"); break;
    case 1: ListQcDatabase(source, selector, in[1] & 1 ? &group : nullptr); break;
    case 2: ListTuneCriteria(source, selector); break;
    case 3: FindQcCheck(source, group, in[1]); break;
    case 4: ForEachMassRecord(source, [](const MassRecord&) {}); break;
    case 5: CompareCalibration(&calibration, &runGroup); break;
    default:
      header.resize(std::max({file.size(), kSeqHeaderSize, kSeqRowSize, kDataHeaderSize}));
      for (const char* name : {"Comment", "Operator", "DataPath", "PreSeq", "PostSeq"})
        SeqText(header.data(), *FindSeqTextField(name));
      for (int v = 0; v < 7; ++v) GetHeaderVar(header.data(), static_cast<HeaderVar>(v));
      SeqRowKeyword(header.data()), SeqRowMethodPath(header.data()), SeqExtensionBytes(header.data());
      ElementTableStart(header.data()), ParseVarList(file.data(), file.size());
      RunGroupsOf(in[1] % 7, file.data(), file.size(), list, &count);
  }
}

// The data table: a table file and the bytes of every file of the row, split where bytes 1 and 2 say; byte 0
// sets the table's settings. Every column has its cell, none over a cell's room; the line ends at its end.
void DataTable(const Input& in) {
  if (in.size() < 3) return;
  const std::size_t split = 3 + (static_cast<std::size_t>(in[1]) << 8 | in[2]) % (in.size() - 2);
  const Input table(in.begin() + 3, in.begin() + split), files(in.begin() + split, in.end());
  MemorySource tableSource(table);
  FindClosingLine(tableSource, table.size());
  static const TableLayout synthetic = [] {  // for a table that cannot be read: whole and half masses, 4.5 apart
    TableLayout t;
    for (int step = 1; step <= kTableSteps; ++step)
      for (std::int32_t p = 20 - kPositionOffset; p < kTablePositions; p += 90) t.map.Set({step, p}, ++t.columns);
    return t;
  }();
  TableLayout layout;
  if (!tableSource.Seek(0) || !ReadTableLayout(tableSource, layout)) layout = synthetic;
  const std::uint8_t flags = in[0];  // all but the file's header columns, and a file missing
  layout.settings = {flags & 1 ? TableData::Conc : TableData::Cps, bool(flags & 0x40), bool(flags & 0x20),
                     layout.settings.headerCols, flags & 2 ? TableKind::Point : TableKind::Mass,
                     Additional((flags >> 2) % 6)};
  Row row = ComputeRow(layout, "X\\S.D", [&](const std::string& path) -> std::unique_ptr<ByteSource> {
    if (flags & 0x80 && path.find("data02") != std::string::npos) return nullptr;
    return std::make_unique<MemorySource>(files);
  });
  const std::size_t firstCell = 1 + (layout.settings.headerInfo ? kHeaderFieldCount : 0);
  std::size_t tabs = 0, cellStart = 0;
  for (std::size_t i = row.line.find('\t'); i != std::string::npos; cellStart = i + 1, i = row.line.find('\t', i + 1))
    REQUIRE(tabs++ < firstCell || i - cellStart <= kCellMax);
  REQUIRE(tabs == firstCell + static_cast<std::size_t>(layout.columns));
  REQUIRE(row.line.find_first_of("\r\n") + 2 == row.line.size());
}

// What files, settings and macros hand the dialogs, file words, batch commands, message formatter and
// task placement: texts cut at zero bytes, the first byte sizes a message. A placement section always
// fits its buffer, and the placement file found keeps the folder it came from.
void Texts(const Input& in) {
  const std::string text(in.begin(), in.end());
  MemorySource unreported(in);
  UnreportedBlock block;
  ReadUnreportedBlock(unreported, block);
  OfflineConfig(in);
  for (const std::string& field : SplitTuneItem(text)) LeadingNumber(field);
  PercentText(text), SplitMethodPath(text), IsHtmlHelpFile(text), ItemMass(text), ItemStep(text);
  if (auto entries = ReservedExtensions(text)) FindReservedExtension(text, *entries);
  UnreportedTextOf(text), FileNameMessage(NamePart(text)), FolderForm(text), ParsePosition(text);
  REQUIRE(PlacementSection(Task::General, TaskVars{0, 0, 0, text}).size() < kSectionBuffer);
  const std::string file = PlacementFileBeside(text);
  REQUIRE(file == text.substr(0, file.size() - std::string(kPlacementFile).size()) + kPlacementFile);
  std::vector<std::string> t(4);
  for (std::size_t i = 0, k = 0; i < text.size() && k < 4; ++i) text[i] ? void(t[k] += text[i]) : void(++k);
  for (const std::string& s : t) {
    SplitPathParts(s), HasDirectoryPart(s), EndsWithSeparator(s), ComponentStart(s, true), IsRootDirectory(s);
    PathBuffer b;
    if (b.Assign(s)) b.ReplaceLast(t[1]), b.Append(t[2]), b.RemoveLast();
  }
  CopyTargetInside(t[0], t[1], t[2], t[3]), UpdateTargetInside(t[0], t[1]), JoinNonEmpty({t[0], t[1], t[2], t[3]});
  ImportFromSettings(t[0], t[1], t[2], t[3]), QcRequestText(t[0], t[1], t[2], {t[3], t[0]});
  const std::size_t limit = in.empty() ? 0 : in[0];
  FormatCatalogueWithin(limit, "%s: %s (%.59s) %s", t[0].c_str(), t[1].c_str(), t[2].c_str(), t[3].c_str());
  InsertedText(t[0], limit, limit / 2);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const Input in(data + std::min<std::size_t>(size, 1), data + size);
  const int reader = size ? data[0] % 6 : -1;
  if (reader == 5) {  // 'M': any text gets a program or an error with a line, never a runaway recursion
    const std::string source(in.begin(), in.end());
    const mcrlang::ParseResult r = mcrlang::Parse(source, mcrlang::kIdentityCodec, 1, mcrlang::SourceEncoding(source));
    REQUIRE(r.program || r.error);
  }
  // The dialogs', the texts' and the placement's seeds (2 to 4) all go to Texts.
  if (reader >= 0 && reader < 5) (reader == 0 ? Layouts : reader == 1 ? DataTable : Texts)(in);
  return 0;
}
