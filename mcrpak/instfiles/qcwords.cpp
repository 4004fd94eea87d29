// The QC information words: the check settings of one element of a QC
// group, whether the configured run types all have a default definition,
// the QC mode file a method was saved with, and the internal-standard
// setting text.
#include <windows.h>

#include <string>

#include "../bridge/catalogue.h"
#include "../bridge/handlers.h"
#include "../bridge/hostops.h"
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
  Args in(ctx, args);
  std::int32_t mass = in.Number(1).Required().InRange(kMassMin, kMassMax);
  std::int32_t group = in.Number(2).Required().Int();
  std::optional<std::int32_t> step = TuneStepOf(in.Number(3).Required().get());
  if (!step) return Fail(ctx, kMsgInvalidTuneStep);
  std::string path = StepFileName(in.Text(4).Required().get(), "qcdb.", *step);
  const char* var = in.Text(5).Required();

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
  std::string mode = Args(ctx, args).Text(1).Or("");
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
  Args in(ctx, args);
  const char* path = in.Text(1).Or("");
  const char* var = in.Text(2).Required();
  std::unique_ptr<ByteSource> file = OpenFileSource(path);
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
