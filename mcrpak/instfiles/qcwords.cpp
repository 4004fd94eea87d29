// The QC information words: the check settings of one element of a QC
// group, whether the configured run types all have a default definition,
// the QC mode file a method was saved with, and the internal-standard
// setting text.
#include <windows.h>

#include <string>

#include "../bridge/catalogue.h"
#include "../bridge/handlers.h"
#include "../bridge/hostops.h"
#include "../bridge/rounding.h"
#include "../bridge/workstation.h"
#include "filesource.h"
#include "istdsetting.h"
#include "masslist.h"
#include "qclayout.h"

using namespace mcr;

namespace {

constexpr int kRunTypeTextMax = 14;
constexpr int kQcInfoTextMax = 259;
constexpr char kMissingInfo[] = "---";

std::string Profile(const char* section, const char* key, const char* fallback, int max,
                    const std::string& file) {
  std::string value(static_cast<std::size_t>(max) + 1, '\0');
  DWORD n = GetPrivateProfileStringA(section, key, fallback, &value[0], static_cast<DWORD>(value.size()),
                                     file.c_str());
  value.resize(n);
  return value;
}

}  // namespace

MCR_COMMAND(GetQDBInfoProc) {
  const double* massArg = GetNumberArg(ctx, args, 1);
  if (!massArg) return Fail(ctx, kMsgOmitted);
  std::int32_t mass = RoundToInt(*massArg);
  if (!(*massArg >= -2147483648.0 && *massArg <= 2147483647.0) || mass < kMassMin || mass > kMassMax)
    return FailOutOfRange(ctx, 1, kMassMin, kMassMax);
  const double* groupArg = GetNumberArg(ctx, args, 2);
  if (!groupArg) return Fail(ctx, kMsgOmitted);
  std::int32_t group = RoundToInt(*groupArg);
  const double* stepArg = GetNumberArg(ctx, args, 3);
  if (!stepArg) return Fail(ctx, kMsgOmitted);
  std::optional<std::int32_t> step = TuneStepOf(*stepArg);
  if (!step) return Fail(ctx, kMsgInvalidTuneStep);
  const char* dir = GetStringArg(ctx, args, 4);
  if (!dir) return Fail(ctx, kMsgOmitted);
  std::string path = StepFileName(dir, "qcdb.", *step);
  const char* var = GetStringArg(ctx, args, 5);
  if (!var) return Fail(ctx, kMsgOmitted);

  std::unique_ptr<ByteSource> file = OpenFileSource(path);
  QcCheckSearch found;
  if (file) found = FindQcCheck(*file, group, mass);
  file.reset();
  if (found.status == QcCheckSearch::Unreadable) return Fail(ctx, kMsgCannotOpen, path.c_str());
  if (found.status == QcCheckSearch::NotFound) return Fail(ctx, kMsgQcInfoUnavailable);
  std::array<double, kQcCheckItems> items = QcCheckTable(found.check, found.version);
  if (!SetNumberTable(ctx, var, items.data(), static_cast<std::uint16_t>(items.size())))
    return Fail(ctx, kMsgQcInfoUnavailable);
  return 0;
}

MCR_FUNCTION(QueryQCProc) {
  const char* modeArg = GetStringArg(ctx, args, 1);
  std::string mode = modeArg ? modeArg : "";
  auto answer = [&](double value) {
    SetNumberResult(ctx, result, value);
    return std::uint16_t{0};
  };
  std::string install = InstallationFolder();
  if (install.empty()) return answer(-1);
  if (mode == "TN") return answer(0);
  std::string runTypes = install + "\\icpexe\\runtype.ini";
  std::string defaults = install + "\\icpexe\\defrt.icp";
  for (int i = 1;; ++i) {
    std::string type = Profile("RunType", ("Type" + std::to_string(i)).c_str(), "", kRunTypeTextMax, runTypes);
    if (type.empty()) return answer(0);
    if (Profile(type.c_str(), "TypeNo", "", kRunTypeTextMax, defaults).empty()) return answer(1);
  }
}

MCR_COMMAND(DispQCInfoProc) {
  std::string file = CurrentMethodDirectory(ctx) + "\\qcinfo.ini";
  std::string path = Profile("QCINFO", "OrgPath", kMissingInfo, kQcInfoTextMax, file);
  std::string name = Profile("QCINFO", "OrgFile", kMissingInfo, kQcInfoTextMax, file);
  std::string title = LoadMessage(kLabelQcInfo);
  std::string text = MessageText(kMsgQcModeFiles, path.c_str(), name.c_str());
  MessageBoxA(GetFocus(), text.c_str(), title.c_str(), MB_OK);
  return 0;
}

MCR_COMMAND(GetISTDStrProc) {
  const char* pathArg = GetStringArg(ctx, args, 1);
  const char* var = GetStringArg(ctx, args, 2);
  if (!var) return Fail(ctx, kMsgOmitted);
  std::unique_ptr<ByteSource> file = OpenFileSource(pathArg ? pathArg : "");
  std::uint8_t raw[kIstdSettingBytes];
  if (!file || !ReadExact(*file, raw, sizeof raw)) {
    SetStrVar(ctx, var, "");
    return 0;
  }
  std::string manual = LoadMessage(kLabelManual);
  std::string text = IstdSettingText(DecodeIstdSetting(raw), manual, LoadMessage(kLabelLevel));
  SetStrVar(ctx, var, text.c_str());
  return 0;
}
