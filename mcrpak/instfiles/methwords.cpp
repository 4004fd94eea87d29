// The method header words and the run groups a method uses.
#include <windows.h>

#include <cstring>
#include <memory>
#include <new>
#include <optional>
#include <string>

#include "../bridge/catalogue.h"
#include "../bridge/handlers.h"
#include "../bridge/hostops.h"
#include "../bridge/rounding.h"
#include "datalayout.h"
#include "../bridge/sjistext.h"
#include "filesource.h"
#include "methlayout.h"
#include "rungroups.h"

namespace mcr {

static_assert(kEventRunGroupRecords == kMaxRunGroups, "mode 2 fills the whole list");

int GetRunGroups(const char* methodDir, std::int32_t list[kMaxRunGroups], int* count) {
  std::unique_ptr<ByteSource> file = OpenFileSource(std::string(methodDir ? methodDir : "") + "\\run.icp");
  if (!file) return -1;
  std::uint8_t header[kMethodHeaderSize];
  if (!ReadExact(*file, header, sizeof header)) return -1;
  std::int32_t mode = MethodMode(header);
  std::uint8_t events[kEventRunGroupRecords * kEventRecordSize];
  std::size_t got = 0;
  // An event offset that cannot be reached reads no record.
  if (RunGroupSourceOf(mode) == RunGroupSource::Events && SeekSigned(*file, MethodEventOffset(header)))
    got = file->Read(events, sizeof events);
  if (!RunGroupsOf(mode, events, got, list, count)) return -1;
  return mode;
}

}  // namespace mcr

using namespace mcr;

namespace {

constexpr std::size_t kMethodHeaderValues = kMethodItemMaxValues;

// The method directory a word works on: its argument, or the current
// method when the argument is absent or empty. False when neither is there.
bool MethodDirectory(HostContext ctx, const char* arg, std::string* dir) {
  if (arg && *arg) {
    *dir = arg;
    return true;
  }
  char current[kStrVarBound] = {};
  if (GetStrVar(ctx, "_CurrentMeth$", current) != 0) return false;
  current[kStrVarBound - 1] = '\0';
  *dir = current;
  return true;
}

std::uint16_t NoElement(HostContext ctx, HostHandle result) {
  SetStringResult(ctx, result, "");
  return 0;
}

}  // namespace

MCR_COMMAND(GetMethHdrInfProc) {
  Args in(ctx, args);
  const char* keyword = in.Text(1).Required();
  std::string dir;
  if (!MethodDirectory(ctx, in.Text(2), &dir) || dir.empty()) return Fail(ctx, kMsgInvalidFile);
  const char* var = in.Text(3).Required();

  std::string path = dir + "\\run.icp";
  std::unique_ptr<ByteSource> file = OpenFileSource(path);
  if (!file) {
    SetNumVar(ctx, var, -1.0);
    return Fail(ctx, kMsgCannotOpen, path.c_str());
  }
  std::uint8_t header[kMethodHeaderSize];
  bool whole = ReadExact(*file, header, sizeof header);
  file.reset();
  // A header cut short holds no item worth reporting.
  if (!whole) {
    SetNumVar(ctx, var, -1.0);
    return Fail(ctx, kMsgInvalidFile);
  }
  std::string upper = UpperAscii(keyword);
  const MethodItem* item = FindMethodItem(upper.c_str());
  if (!item) {
    SetNumVar(ctx, var, -1.0);
    return Fail(ctx, kMsgNotAParameter, upper.c_str());
  }
  double values[kMethodHeaderValues];
  int count = MethodItemValues(header, *item, values);
  if (count == 1)
    SetNumVar(ctx, var, values[0]);
  else
    SetNumberTable(ctx, var, values, static_cast<std::uint16_t>(count));  // no table: variable kept
  return 0;
}

MCR_FUNCTION(GetDaAcqModeProc) {
  std::string dir;
  std::int32_t list[kMaxRunGroups] = {};
  int count = 0;
  int mode = MethodDirectory(ctx, Args(ctx, args).Text(1), &dir)
                 ? GetRunGroups(dir.c_str(), list, &count)
                 : -1;
  if (mode == -1) {
    RaiseMessage(ctx, kMsgInvalidMethod);
    SetNumberResult(ctx, result, -100.0);
    return 0;
  }
  SetNumberResult(ctx, result, mode);
  return 0;
}

MCR_FUNCTION(GetElemInfoProc) {
  Args in(ctx, args);
  std::int32_t element = TruncToInt(in.Number(1).Required().get());
  const char* dir = in.Text(2).Required();
  std::int32_t step = TruncToInt(in.Number(3).Required().get());
  const char* item = in.Text(4).Required();

  std::unique_ptr<ByteSource> file = OpenFileSource(StepFilePath(dir, step));
  std::uint8_t header[kDataHeaderSize];
  if (!file || !ReadExact(*file, header, sizeof header)) return NoElement(ctx, result);
  // A count of 0 or less holds no entry; a table that starts before the
  // file or runs past its end gives only the entries actually there.
  std::int16_t count = ElementCount(header);
  if (count <= 0) return NoElement(ctx, result);
  std::size_t bytes = static_cast<std::size_t>(count) * kElementEntrySize;
  std::unique_ptr<std::uint8_t[]> table(new (std::nothrow) std::uint8_t[bytes]);
  if (!table) return Fail(ctx, kMsgNoResourceMemory);
  if (!SeekSigned(*file, ElementTableStart(header))) return NoElement(ctx, result);
  std::size_t got = file->Read(table.get(), bytes);
  if (got == 0) return NoElement(ctx, result);
  std::optional<ElementEntry> entry = FindElement(table.get(), got / kElementEntrySize, element);
  if (!entry) return NoElement(ctx, result);
  std::string answer;
  if (EqualNoCase(item, "DetMode"))
    answer = std::to_string(entry->detectorMode);
  else if (EqualNoCase(item, "Name"))
    answer = entry->name;
  SetStringResult(ctx, result, answer.c_str());
  return 0;
}
