// The data file header words: run type and the header variables of every
// data file of a data directory, and run-type parameters from runtype.ini.
#include <windows.h>

#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "../bridge/catalogue.h"
#include "../bridge/handlers.h"
#include "../bridge/hostops.h"
#include "../bridge/owners.h"
#include "../bridge/workstation.h"
#include "../resources/resource_ids.h"
#include "datalayout.h"
#include "filesource.h"

using namespace mcr;

namespace {

constexpr DWORD kProfileValueBuffer = 256;
// The system's profile reader turns section and key names into UTF-16
// strings of at most 32,767 units; past that it fails, on some Windows by
// reading a pointer it never set. No INI line holds such a name, so a longer
// one is a key that is not there.
constexpr std::size_t kProfileNameMax = 32766;

std::string StrVarOrEmpty(HostContext ctx, const char* name) {
  char value[kStrVarBound] = {};
  if (GetStrVar(ctx, name, value) != 0) return {};
  value[kStrVarBound - 1] = '\0';
  return value;
}

// Where the data directories of a call are found: the argument (a folder,
// or a name under the data root) or the current data directory.
struct DataLocation {
  std::string arg;
  std::string root;     // _DataPath$, ending with a backslash
  std::string current;  // _DataFile$

  explicit DataLocation(HostContext ctx, const char* argument)
      : arg(argument), root(StrVarOrEmpty(ctx, "_DataPath$")), current(StrVarOrEmpty(ctx, "_DataFile$")) {}

  // The folder the first-data-file search looks in.
  std::string SearchFolder() const {
    if (!arg.empty()) return arg;
    bool separated = !root.empty() && root.back() == '\\';
    return root + (separated ? "" : "\\") + current;
  }

  // The data directory of step n: the argument as a folder when its step
  // file opens, otherwise the argument under the data root.
  std::string StepFolder(int step) const {
    if (arg.empty()) return root + current;
    if (InstFile::OpenRead(StepFilePath(arg, step)).IsOpen()) return arg;
    return root + arg;
  }

  std::string StepPath(int step) const { return StepFilePath(StepFolder(step), step); }

  // The file StepPath names, opened for reading; the argument's own folder
  // is tried by opening the file once, not once to look and once to read.
  std::unique_ptr<ByteSource> OpenStep(int step) const {
    if (arg.empty()) return OpenFileSource(StepFilePath(root + current, step));
    if (std::unique_ptr<ByteSource> file = OpenFileSource(StepFilePath(arg, step))) return file;
    return OpenFileSource(StepFilePath(root + arg, step));
  }

  // The step of the first data0?.icp the file system lists, or 0.
  int FirstStep() const {
    std::string pattern = SearchFolder() + "\\data0?.icp";
    if (pattern.size() > kFilePathMax) return 0;
    WIN32_FIND_DATAA found;
    FindHandle find(pattern.c_str(), &found);
    int step = 0;
    // data00.icp, and whatever else the pattern lets through, names no step.
    for (bool more = bool(find); more; more = step == 0 && find.Next(&found))
      if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) step = StepOfDataFileName(found.cFileName);
    return step;
  }
};

bool ReadDataHeader(ByteSource& file, std::uint8_t (&header)[kDataHeaderSize]) {
  return ReadExact(file, header, sizeof header);
}

bool WriteDataHeader(InstFile& file, const std::uint8_t (&header)[kDataHeaderSize]) {
  return file.Seek(0) && file.Write(header, sizeof header);
}

// The header variables a call works on: the one named, or all seven. A
// name outside the list ends the call with its message.
std::vector<HeaderVar> SelectVars(HostContext ctx, const char* name) {
  std::vector<HeaderVar> all;
  for (int v = 0; v < kHeaderVarCount; ++v) all.push_back(static_cast<HeaderVar>(v));
  if (!name || !*name) return all;
  HRSRC info = FindResourceA(g_instance, MAKEINTRESOURCEA(MCR_RES_VARLIST), MCR_RES_VARLIST_TYPE);
  HGLOBAL loaded = info ? LoadResource(g_instance, info) : nullptr;
  const void* data = loaded ? LockResource(loaded) : nullptr;
  if (!data) Abort(ctx, kMsgNoResourceMemory);
  std::optional<HeaderVar> v = MatchHeaderVar(ParseVarList(data, SizeofResource(g_instance, info)), name);
  if (!v) Abort(ctx, kMsgInvalidVariable);
  return {*v};
}

}  // namespace

MCR_COMMAND(GetRuntypePrmProc) {
  Args in(ctx, args);
  const char* section = in.Text(1).Required();
  const char* key = in.Text(2).Required();
  const char* var = in.Text(3).Required();
  // Without the workstation key this is \icpexe\runtype.ini on the current drive.
  std::string ini = InstallationFolder() + "\\icpexe\\runtype.ini";
  char value[kProfileValueBuffer] = {};
  if (std::strlen(section) <= kProfileNameMax && std::strlen(key) <= kProfileNameMax)
    GetPrivateProfileStringA(section, key, "", value, kProfileValueBuffer, ini.c_str());
  SetStrVar(ctx, var, value);
  return 0;
}

MCR_COMMAND(GetRuntypeNoProc) {
  Args in(ctx, args);
  const char* arg = in.Text(1);
  const char* var = in.Text(2);
  // Either missing: status 1, nothing raised.
  if (!arg || !var) return 1;
  DataLocation data(ctx, arg);
  double runType = -1;
  if (int step = data.FirstStep()) {
    std::unique_ptr<ByteSource> file = data.OpenStep(step);
    std::uint8_t header[kDataHeaderSize];
    if (file && ReadDataHeader(*file, header)) runType = DataRunType(header);
  }
  SetNumVar(ctx, var, runType);
  return 0;
}

MCR_COMMAND(SetRuntypeNoProc) {
  Args in(ctx, args);
  const char* arg = in.Text(1).Required(kMsgGiveDataFile);
  NumberArg runType = in.Number(2);
  // A missing run type: status 1, nothing raised.
  if (!runType.given()) return 1;
  DataLocation data(ctx, arg);
  for (int step = 1; step <= kDataSteps; ++step) {
    std::string path = data.StepPath(step);
    if (!FileExists(path)) continue;
    // A step file that exists but cannot be opened ends the command.
    InstFile file = InstFile::OpenReadWrite(path);
    if (!file.IsOpen()) return 0;
    std::uint8_t header[kDataHeaderSize];
    FileReader reader(file);
    if (!ReadDataHeader(reader, header)) continue;
    PutDataRunType(header, runType.get());
    WriteDataHeader(file, header);
  }
  return 0;
}

MCR_COMMAND(WriteHdr2DataProc) {
  Args in(ctx, args);
  const char* arg = in.Text(1).Required(kMsgGiveDataFile);
  std::vector<HeaderVar> vars = SelectVars(ctx, in.Text(2));

  // The variables that exist, in list order; a missing one leaves its field.
  std::vector<std::pair<HeaderVar, HeaderValue>> values;
  for (HeaderVar v : vars) {
    HeaderValue value;
    char text[kStrVarBound] = {};
    bool found = IsStringVar(v) ? GetStrVar(ctx, HeaderVarName(v), text) == 0
                                : GetNumVar(ctx, HeaderVarName(v), &value.number) == 0;
    if (!found) continue;
    text[kStrVarBound - 1] = '\0';
    value.text = text;
    values.emplace_back(v, value);
  }

  DataLocation data(ctx, arg);
  for (int step = 1; step <= kDataSteps; ++step) {
    std::string folder = data.StepFolder(step);
    for (int m = 0; m <= kCompanionLast; ++m) {
      std::string path = m == 0 ? StepFilePath(folder, step) : CompanionPath(folder, step, m);
      if (!FileExists(path)) continue;
      InstFile file = InstFile::OpenReadWrite(path);
      if (!file.IsOpen()) continue;
      std::uint8_t header[kDataHeaderSize];
      FileReader reader(file);
      if (!ReadDataHeader(reader, header)) continue;
      for (const auto& [v, value] : values) PutHeaderVar(header, v, value);
      WriteDataHeader(file, header);
    }
  }
  return 0;
}

MCR_COMMAND(GetHdrFromDataProc) {
  Args in(ctx, args);
  const char* arg = in.Text(1).Required(kMsgGiveDataFile);
  std::vector<HeaderVar> vars = SelectVars(ctx, in.Text(2));

  DataLocation data(ctx, arg);
  int step = data.FirstStep();
  std::unique_ptr<ByteSource> file = step ? data.OpenStep(step) : nullptr;
  if (!file) return Fail(ctx, kMsgCannotOpen, data.SearchFolder().c_str());
  std::uint8_t header[kDataHeaderSize];
  if (!ReadDataHeader(*file, header)) return Fail(ctx, kMsgInvalidFile);
  file.reset();
  for (HeaderVar v : vars) {
    HeaderValue value = GetHeaderVar(header, v);
    if (IsStringVar(v))
      SetStrVar(ctx, HeaderVarName(v), value.text.c_str());
    else
      SetNumVar(ctx, HeaderVarName(v), value.number);
  }
  return 0;
}
