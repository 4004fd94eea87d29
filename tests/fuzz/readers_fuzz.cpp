// Bytes nobody checked, through every reader of the platform-free code: the
// first byte picks the reader (its value modulo 6), the rest is its input. No
// reader may crash, loop, read past a buffer or give what its callers cannot
// hold. The seeds in corpus/ are named after their reader; macro-* begin
// with "M", which picks the macro parser, and are macros after it.
#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "batch/batchtext.h"
#include "bridge/msgformat.h"
#include "dialogs/qctunesettings.h"
#include "dialogs/svmethcal.h"
#include "dialogs/unreported.h"
#include "fileops/pathparts.h"
#include "instfiles/calblayout.h"
#include "instfiles/datalayout.h"
#include "instfiles/masslist.h"
#include "instfiles/methlayout.h"
#include "instfiles/qclayout.h"
#include "instfiles/runmasses.h"
#include "instfiles/seqlayout.h"
#include "instfiles/tableconfig.h"
#include "instfiles/tablerow.h"
#include "lang.h"
#include "windows/tasktable.h"

using namespace mcr;
using Input = std::vector<std::uint8_t>;

namespace mcrfuzz {
void OfflineConfig(const Input& in);  // offlinecfg_input.cpp
}

namespace {

void Require(bool holds) {
  if (!holds) __builtin_trap();
}

// The input padded with zeros to at least n bytes, for decoders of fixed-size records.
Input Padded(Input v, std::size_t n) {
  if (v.size() < n) v.resize(n, 0);
  return v;
}

// Calibration, QC-database, tune-criteria and run-group files and the header
// decoders; the first byte picks the reader, the second the selector.
void Layouts(const Input& in) {
  if (in.size() < 2) return;
  const auto selector = static_cast<Selector>(in[1] % 8);
  Input file(in.begin() + 2, in.end());
  MemorySource source(file);
  std::int32_t group = in[1];
  switch (in[0] % 8) {
    case 0: ListCalibration(source, selector, "(x)"); break;
    case 1: ListQcDatabase(source, selector, in[1] & 1 ? &group : nullptr); break;
    case 2: ListTuneCriteria(source, selector); break;
    case 3: FindQcCheck(source, group, in[1]); break;
    case 4: ForEachMassRecord(source, [](const MassRecord&) {}); break;
    case 5: {  // both halves: a calibration and a run group
      MemorySource calibration(Input(file.begin(), file.begin() + file.size() / 2));
      MemorySource runGroup(Input(file.begin() + file.size() / 2, file.end()));
      CompareCalibration(&calibration, &runGroup);
      break;
    }
    case 6: {
      Input header = Padded(file, kSeqHeaderSize), row = Padded(file, kSeqRowSize);
      for (const char* name : {"Comment", "Operator", "DataPath", "PreSeq", "PostSeq"})
        SeqText(header.data(), *FindSeqTextField(name));
      SeqRowKeyword(row.data());
      SeqRowMethodPath(row.data());
      SeqExtensionBytes(row.data());
      break;
    }
    default: {
      Input header = Padded(file, kDataHeaderSize);
      for (int v = 0; v < 7; ++v) GetHeaderVar(header.data(), static_cast<HeaderVar>(v));
      ElementTableStart(header.data());
      std::int32_t list[10] = {};
      int count = 0;
      RunGroupsOf(static_cast<std::int32_t>(in[1] % 7), file.data(), file.size(), list, &count);
      ParseVarList(file.data(), file.size());
    }
  }
}

// Any text gets a program or an error with a line, never a runaway recursion.
void Macro(std::string_view source) {
  mcrlang::ParseResult r = mcrlang::Parse(source, mcrlang::kIdentityCodec);
  Require(r.program || r.error);
}

// The data table: a table file (configuration block and closing line) and
// the bytes every data and quantitation file of the row is read from, split
// where bytes 1 and 2 say; byte 0 chooses the table's settings. Every column
// has its cell, none longer than a cell holds, and the line ends at its end.
void DataTable(const Input& in) {
  if (in.size() < 3) return;
  const std::uint8_t flags = in[0];
  const std::size_t split = 3 + (static_cast<std::size_t>(in[1]) << 8 | in[2]) % (in.size() - 2);
  Input table(in.begin() + 3, in.begin() + split), files(in.begin() + split, in.end());
  MemorySource tableSource(table);
  TableLayout read;
  if (ReadTableLayout(tableSource, read)) {
    Require(read.columns >= 0);
    ComputeRow(read, "D", [&files](const std::string&) { return std::make_unique<MemorySource>(files); });
  }
  FindClosingLine(tableSource, table.size());
  // A column at every tenth whole mass (or every 97th point) of each step.
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
  const std::size_t firstCell = 1 + (layout.settings.headerInfo ? kHeaderFieldCount : 0);
  std::size_t tabs = 0, cellStart = 0;
  for (std::size_t i = 0; i < row.line.size(); ++i) {
    if (row.line[i] != '\t') continue;
    Require(tabs++ < firstCell || i - cellStart <= kCellMax);
    cellStart = i + 1;
  }
  Require(tabs == firstCell + static_cast<std::size_t>(layout.columns));
  Require(row.line.find_first_of("\r\n") + 2 == row.line.size());
}

// What the dialogs read from files and resources and what an operator types:
// a qcunrep file, qctune.ini values and paths, the standard-application and
// application files, choice lists, masses and file names.
void Dialogs(const Input& in) {
  std::string text(in.begin(), in.end());
  MemorySource unreported(in);
  UnreportedBlock block;
  ReadUnreportedBlock(unreported, block);
  for (const std::string& field : SplitTuneItem(text)) LeadingNumber(field);
  PercentText(text);
  SplitMethodPath(text);
  IsHtmlHelpFile(text);
  ItemMass(text);
  ItemStep(text);
  UnreportedTextOf(text);
  mcrfuzz::OfflineConfig(in);
  if (auto entries = ReservedExtensions(text)) FindReservedExtension(text, *entries);
  FileNameMessage(NamePart(text));
  FolderForm(text);
}

// Macro arguments, settings values and names for messages, as the file
// words, the batch commands and the message formatter meet them: texts cut
// at zero bytes; the first byte sizes a message.
void Texts(const Input& in) {
  std::istringstream all(std::string(in.begin(), in.end()));
  std::vector<std::string> t;
  for (std::string s; t.size() < 4 && std::getline(all, s, '\0');) t.push_back(s);
  t.resize(4);
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
  const std::size_t limit = in.empty() ? 0 : in[0];
  FormatCatalogueWithin(limit, "%s: %s (%.59s) %s", t[0].c_str(), t[1].c_str(), t[2].c_str(), t[3].c_str());
  InsertedText(t[0], limit, limit / 2);
}

// Placement texts and module names: a section name always fits its buffer,
// and the placement file found keeps the folder it came from.
void Placement(const std::string& text) {
  ParsePosition(text);
  TaskVars vars;
  vars.appTag = text;
  Require(PlacementSection(Task::General, vars).size() < kSectionBuffer);
  const std::string file = PlacementFileBeside(text);
  const std::size_t folder = file.size() - std::string(kPlacementFile).size();
  Require(file.compare(folder, std::string::npos, kPlacementFile) == 0 && file.compare(0, folder, text, 0, folder) == 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const Input in(data + 1, data + size);
  const std::string text(in.begin(), in.end());
  switch (data[0] % 6) {
    case 0: Layouts(in); break;
    case 1: DataTable(in); break;
    case 2: Dialogs(in); break;
    case 3: Texts(in); break;
    case 4: Placement(text); break;
    default: Macro(text); break;  // 'M'
  }
  return 0;
}
