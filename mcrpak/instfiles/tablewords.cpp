// DATATABLE: the batch view's data table. CREATE makes an empty table from
// the configuration file dataview.cfg in the program directory; APPEND adds
// the row of one data directory in front of the closing line. The command
// reports through _ERR_DATATABLE and _MSG_DATATABLE$ and never fails the
// macro's status: a failure raises its text and still returns 0.
#include <windows.h>

#include <new>
#include <string>

#include "../bridge/catalogue.h"
#include "../bridge/handlers.h"
#include "../bridge/hostops.h"
#include "../bridge/owners.h"
#include "../bridge/sjistext.h"
#include "datalayout.h"
#include "filesource.h"
#include "instio.h"
#include "tableconfig.h"
#include "tablerow.h"

using namespace mcr;

namespace {

enum : int {
  kMsgNoViewConfig = 1045,
  kMsgCannotCreateTable = 1046,
  kMsgInvalidCommand = 1047,
  kMsgCannotAppend = 1048,
  kMsgNoTable = 1049,
  kMsgNoQuantResults = 1050,
  kMsgNoRawData = 1052,
};

constexpr std::size_t kReportedMessageMax = 132;
constexpr std::size_t kConfigReadChunk = 65536;

std::string ProgramDirectory(HostContext ctx) {
  char value[kStrVarBound] = {};
  if (GetStrVar(ctx, "_EXEPATH$", value) != 0) return {};
  value[kStrVarBound - 1] = '\0';
  return value;
}

void MakeReadOnly(const std::string& path) { SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY); }

// The whole configuration file, or false when it cannot be read or held.
bool ReadWhole(const std::string& path, std::string& text) {
  std::unique_ptr<ByteSource> file = OpenFileSource(path);
  if (!file) return false;
  try {
    for (;;) {
      std::size_t at = text.size();
      text.resize(at + kConfigReadChunk);
      std::size_t got = file->Read(&text[at], kConfigReadChunk);
      text.resize(at + got);
      if (got == 0) return true;
    }
  } catch (const std::bad_alloc&) {
    return false;
  }
}

int Create(HostContext ctx, const std::string& path) {
  const std::string config = ProgramDirectory(ctx) + "dataview.cfg";
  if (!FileExists(config)) return kMsgNoViewConfig;
  if (path.size() <= kFilePathMax && GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES &&
      (!SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL) || !DeleteFileA(path.c_str())))
    return kMsgCannotCreateTable;
  std::string text;
  if (!ReadWhole(config, text)) return kMsgCannotCreateTable;
  std::optional<std::size_t> length = ConfigCopyLength(text);
  if (!length) return kMsgNoViewConfig;
  text.resize(*length);
  text.append(kTableStart).append(kTableEnd);
  InstFile table = InstFile::CreateReadWrite(path);
  if (!table.IsOpen()) return kMsgCannotCreateTable;
  bool written = table.Write(text.data(), text.size());
  table.Close();
  MakeReadOnly(path);
  return written ? 0 : kMsgCannotCreateTable;
}

// Whether the folder holds anything named like a step's data file.
bool HasDataFile(const std::string& dir) {
  // The first step's file answers without a search of the folder.
  if (FileExists(StepFilePath(dir, 1))) return true;
  std::string pattern = dir + "\\data0?.icp";
  if (pattern.size() > kFilePathMax) return false;
  WIN32_FIND_DATAA found;
  return bool(FindHandle(pattern.c_str(), &found));
}

int RowFailureMessage(RowFailure failure) {
  switch (failure) {
    case RowFailure::NoQuantResults: return kMsgNoQuantResults;
    case RowFailure::NoDataHeader: return kMsgNoRawData;
    case RowFailure::NoMemory: return kMsgNoGlobalMemory;
    default: return 0;
  }
}

int Append(const std::string& path, const std::string& dir) {
  if (!HasDataFile(dir)) return kMsgNoRawData;
  if (!FileExists(path)) return kMsgNoTable;
  if (!SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL)) return kMsgCannotAppend;
  InstFile table = InstFile::OpenReadWrite(path);
  if (!table.IsOpen()) return kMsgCannotAppend;
  FileReader source(table);
  TableLayout layout;
  if (!ReadTableLayout(source, layout)) return kMsgCannotAppend;
  long long size = table.Size();
  std::optional<std::uint64_t> closing =
      size < 0 ? std::nullopt : FindClosingLine(source, static_cast<std::uint64_t>(size));
  if (!closing) return kMsgCannotAppend;

  Row row = ComputeRow(layout, dir, OpenFileSource);
  row.line.append(kTableEnd);
  bool written = table.Seek(static_cast<long long>(*closing)) && table.Write(row.line.data(), row.line.size());
  // Whatever followed the old closing line goes, so that the new one stays last.
  if (written && *closing + row.line.size() < static_cast<std::uint64_t>(size)) written = table.EndHere();
  table.Close();
  MakeReadOnly(path);
  return written ? RowFailureMessage(row.failure) : kMsgCannotAppend;
}

void Report(HostContext ctx, int id) {
  std::string text(CutBytes(LoadMessage(id), kReportedMessageMax));
  SetNumVar(ctx, "_ERR_DATATABLE", 1);
  SetStrVar(ctx, "_MSG_DATATABLE$", text.c_str());
  RaiseError(ctx, kRaiseError, text.c_str());
}

int DataTable(HostContext ctx, HostHandle args) {
  Args in(ctx, args);
  TextArg operation = in.Text(1);
  if (!operation.given()) return kMsgOmitted;
  bool create = operation.Is("CREATE");
  if (!create && !operation.Is("APPEND")) return kMsgInvalidCommand;
  TextArg path = in.Text(2);
  if (!path.given()) return kMsgOmitted;
  if (create) return Create(ctx, path.get());
  TextArg dir = in.Text(3);
  if (!dir.given()) return kMsgOmitted;
  return Append(path.get(), dir.get());
}

}  // namespace

MCR_COMMAND(DataTableProc) {
  SetNumVar(ctx, "_ERR_DATATABLE", 0);
  SetStrVar(ctx, "_MSG_DATATABLE$", "");
  int failure;
  try {
    failure = DataTable(ctx, args);
  } catch (const std::bad_alloc&) {
    failure = kMsgNoGlobalMemory;
  }
  if (failure != 0) Report(ctx, failure);
  return 0;
}
