// INI-file words, the workstation path variables, the launcher's run-type
// settings, file time stamps and the process test.
#include <windows.h>
#include <sys/utime.h>

#include <string>

#include "../bridge/catalogue.h"
#include "../bridge/handlers.h"
#include "../bridge/hostops.h"
#include "../bridge/workstation.h"
#include "strtext.h"

using namespace mcr;

namespace {

// The INI words copy each argument into a 128-byte working buffer.
constexpr std::size_t kProfileArgLimit = 127;
constexpr DWORD kProfileValueBuffer = 127;
constexpr DWORD kV2VarBuffer = 260;
constexpr DWORD kKeywordsBuffer = 293;
constexpr DWORD kRunTypeBuffer = 300;
constexpr int kRunTypeMax = 55;
constexpr std::size_t kRunTypeNameLength = 19;
constexpr std::size_t kTimeStampPathLimit = 128;

// Texts of the string table that name sections, keys, files and defaults.
enum TextId : int {
  kTextRunTypeFile = 1209,
  kTextLauncherFile = 1210,
  kTextSamplog = 1211,
  kTextRunType = 1212,
  kTextKeywordsSection = 1213,
  kTextSuffixSection = 1214,
  kTextType = 1215,
  kTextTypeNo = 1216,
  kTextSuffix = 1217,
  kTextKeywordsKey = 1218,
  kTextPcsSection = 1219,
  kTextQcModePath = 1220,
  kTextQcModeFile = 1221,
  kTextInstPath = 1222,
  kTextReportPath = 1223,
  kTextQcModeDefault = 1224,
  kTextQcFileDefault = 1225,
  kTextReportDefault = 1226,
  kTextChainPath = 1227,
  kTextChainFile = 1228,
  kTextChainDefault = 1229,
  kTextChainFileDefault = 1230,
};

std::string Text(int id) { return LoadMessage(id); }

std::string ReadProfile(const std::string& section, const std::string& key, DWORD size,
                        const std::string& file) {
  std::string buffer(size, '\0');
  DWORD n = GetPrivateProfileStringA(section.c_str(), key.c_str(), "", buffer.data(), size,
                                     file.c_str());
  buffer.resize(n);
  return buffer;
}

bool WriteProfile(const std::string& section, const std::string& key, const std::string& value,
                  const std::string& file) {
  return WritePrivateProfileStringA(section.c_str(), key.c_str(), value.c_str(), file.c_str()) !=
         FALSE;
}

// The launcher's run-type sections rebuilt from the run-type definitions.
// The launcher reads "Samplog" for its keyword list, "RunType" for the type
// numbers by name and "SUFFIX" for the type numbers by file suffix.
bool RewriteLauncher(const std::string& runTypes, const std::string& launcher) {
  std::string keywords =
      ReadProfile(Text(kTextKeywordsSection), Text(kTextKeywordsKey), kKeywordsBuffer, runTypes);
  if (keywords.empty()) return false;
  if (!WriteProfile(Text(kTextSamplog), Text(kTextKeywordsKey), keywords + ",End", launcher))
    return false;

  const std::string runType = Text(kTextRunType);
  const std::string suffixSection = Text(kTextSuffixSection);
  WritePrivateProfileStringA(runType.c_str(), nullptr, nullptr, launcher.c_str());
  WritePrivateProfileStringA(suffixSection.c_str(), nullptr, nullptr, launcher.c_str());

  const std::string type = Text(kTextType);
  const std::string typeNoKey = Text(kTextTypeNo);
  const std::string suffixKey = Text(kTextSuffix);
  for (int n = 1; n <= kRunTypeMax; ++n) {
    std::string name = ReadProfile(runType, type + std::to_string(n), kRunTypeBuffer, runTypes);
    if (name.empty()) return true;
    if (name.size() > kRunTypeNameLength) name.resize(kRunTypeNameLength);
    std::string number = ReadProfile(name, typeNoKey, kRunTypeBuffer, runTypes);
    if (!number.empty() && !WriteProfile(runType, name, number, launcher)) return false;
    std::string suffix = ReadProfile(name, suffixKey, kRunTypeBuffer, runTypes);
    if (!suffix.empty() && !WriteProfile(suffixSection, suffix, number, launcher)) return false;
  }
  return true;
}

// The file named by the argument, or the program directory's default.
std::string FileOrDefault(HostContext ctx, const char* given, int defaultName) {
  if (given) return given;
  char exePath[kStrVarBound] = {};
  if (GetStrVar(ctx, "_ExePath$", exePath) != 0) exePath[0] = '\0';
  return exePath + Text(defaultName);
}

}  // namespace

MCR_COMMAND(GetProfileProc) {
  Args in(ctx, args);
  TextArg section = in.Text(1).Required();
  TextArg key = in.Text(2).Required();
  TextArg fallback = in.Text(3).Required();
  TextArg var = in.Text(4).Required();
  TextArg file = in.Text(5).Required();
  // The lengths only once every argument is known to be there.
  for (TextArg* a : {&section, &key, &fallback, &var, &file}) a->MaxLength(kProfileArgLimit);
  char value[kProfileValueBuffer] = {};
  GetPrivateProfileStringA(section, key, fallback, value, kProfileValueBuffer, file);
  SetStrVar(ctx, var, value);
  return 0;
}

MCR_COMMAND(WriteProfileProc) {
  Args in(ctx, args);
  TextArg section = in.Text(1).Required();
  TextArg key = in.Text(2).Required();
  TextArg value = in.Text(3).Required();
  TextArg file = in.Text(4).Required();
  for (TextArg* a : {&section, &key, &value, &file}) a->MaxLength(kProfileArgLimit);
  // An empty key removes the section, an empty value the key. A failed
  // write leaves the file as it was; the word does not report it.
  WritePrivateProfileStringA(section, key.empty() ? nullptr : key.get(),
                             key.empty() || value.empty() ? nullptr : value.get(), file);
  return 0;
}

MCR_COMMAND(SetV2VarsProc) {
  const std::string file = InstallationFolder() + "\\icpexe\\vexmon.ist";
  const std::string section = Text(kTextPcsSection);
  struct Entry {
    int variable;
    int fallback;
    bool underInstallation;  // the fallback is a folder below _INSTPATH$
  };
  const Entry entries[] = {
      {kTextQcModePath, kTextQcModeDefault, true},   {kTextQcModeFile, kTextQcFileDefault, false},
      {kTextReportPath, kTextReportDefault, true},   {kTextChainPath, kTextChainDefault, true},
      {kTextChainFile, kTextChainFileDefault, false},
  };
  for (const Entry& e : entries) {
    const std::string name = Text(e.variable);
    std::string value = ReadProfile(section, name, kV2VarBuffer, file);
    if (value.empty()) {
      std::string base;
      if (e.underInstallation) {
        base = ReadProfile(section, Text(kTextInstPath), kV2VarBuffer, file);
        if (base.empty()) {
          ShowMessageById(ctx, kMsgV2VarsFailed);
          return 1;
        }
      }
      value = base + Text(e.fallback);
    }
    SetStrVar(ctx, name.c_str(), value.c_str());
  }
  return 0;
}

MCR_COMMAND(MakeHubexIniProc) {
  Args in(ctx, args);
  const std::string runTypes = FileOrDefault(ctx, in.Text(1), kTextRunTypeFile);
  const std::string launcher = FileOrDefault(ctx, in.Text(2), kTextLauncherFile);
  if (runTypes.size() > kPathLimit || launcher.size() > kPathLimit)
    return Fail(ctx, kMsgTooLong, static_cast<int>(kPathLimit));

  char tempDir[MAX_PATH + 1] = {};
  char backup[MAX_PATH + 1] = {};
  GetTempPathA(sizeof tempDir, tempDir);
  if (GetTempFileNameA(tempDir, "ICP", 0, backup) == 0) backup[0] = '\0';
  if (!backup[0] || !CopyFileA(launcher.c_str(), backup, FALSE)) {
    if (backup[0]) DeleteFileA(backup);
    ShowMessageById(ctx, kMsgHubexFailed);
    return 1;
  }
  if (RewriteLauncher(runTypes, launcher)) {
    DeleteFileA(backup);
    return 0;
  }
  ShowMessageById(ctx, kMsgHubexFailed);
  // When the launcher file cannot be removed (locked, read-only) it was
  // never written either, and the backup is not needed; when the backup
  // cannot be put back it is the only copy left and stays where it is.
  if (!DeleteFileA(launcher.c_str()))
    DeleteFileA(backup);
  else
    MoveFileA(backup, launcher.c_str());
  return 1;
}

MCR_COMMAND(SetCurTimeStampProc) {
  Args in(ctx, args);
  const char* path = in.Text(1).Required().MaxLength(kTimeStampPathLimit);
  if (_utime(path, nullptr) != 0) return Fail(ctx, kMsgInvalidFile);
  return 0;
}

MCR_FUNCTION(IsCustRptProc) {
  NumberArg id = Args(ctx, args).Number(1);
  if (!id.given()) {
    // This word reports the missing id and still answers, with -1.
    RaiseMessage(ctx, kMsgOmitted);
    SetNumberResult(ctx, result, -1.0);
    return 0;
  }
  auto pid = static_cast<DWORD>(id.Int());
  HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, pid);
  if (process) CloseHandle(process);
  SetNumberResult(ctx, result, process ? 1.0 : 0.0);
  return 0;
}
