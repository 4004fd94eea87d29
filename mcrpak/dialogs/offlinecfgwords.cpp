// OFFLINECFG and dialog 355: the hardware the workstation assumes when it
// works without the instrument (sample introduction, sample pump, RAPS
// application, autosampler) and up to ten inhibited masses. The dialog starts
// from the host's variables, can load the installation's online settings,
// and on OK stores the choices in the variables and in section "PCS,1" of
// the settings file the macro names. It reports no errors: what cannot be
// read leaves a list or a field empty.
#include "offlinecfg.h"

#include <windows.h>

#include <cstring>
#include <memory>
#include <optional>

#include "../bridge/handlers.h"
#include "../bridge/hostops.h"
#include "../bridge/owners.h"
#include "../bridge/rounding.h"
#include "../instfiles/filesource.h"
#include "../resources/resource_ids.h"
#include "../bridge/sjistext.h"
#include "dialogaids.h"
#include "dlgcommon.h"
#include "svmethcal.h"

extern "C" INT_PTR CALLBACK DfDlg355Proc(HWND dialog, UINT message, WPARAM wp, LPARAM lp);

using namespace mcr;

namespace {

constexpr int kDialogId = MCR_DLG_OFFLINECFG;
constexpr char kParamsProperty[] = "355PRM";
constexpr char kTypeProperty[] = "SITYPE";
constexpr char kSection[] = "PCS,1";
constexpr char kAbsent[] = "NO_PARAM";
constexpr char kButtonVar[] = "_BUTTON";
constexpr int kMsgRapsName = 1245;
constexpr std::size_t kSettingsPathMax = 263;
constexpr DWORD kValueMax = 260;
constexpr char kSamplerWithTray[] = "Z-QT";

// The Z-QT tray settings and what an incomplete set is replaced with.
struct TrayKey {
  const char* key;
  const char* fallback;
};
constexpr TrayKey kTrayKeys[] = {{"TRAY_ID", "1"},         {"MAX_BOTTLE", "89"},     {"RINSE_DEPTH", "280"},
                                 {"SAMPLE_DEPTH", "440"},  {"STD_DEPTH", "440"},     {"ONEBOTTLE_DEPTH", "440"},
                                 {"ESC_MODE", "0"}};

// An entry of the application combo and what OK stores for it: a line of
// the standard table, or an application file (both files are its own name).
struct Application {
  std::string shown;
  std::string name;
  std::string fileWithSampler;
  std::string fileWithout;
};

// The parameter block ("355PRM") of an open dialog.
struct OfflineCfgParams {
  HostContext ctx;
  std::string settingsFile;
  std::string onlineFile;      // the program directory's vexmon.ist
  std::string applicationDir;  // the installation's RAPS folder
  std::vector<Application> applications;
  bool pumpFitted = false;     // "_PPUMP" of the online settings
};

// What the dialog is filled from: the host's variables or the online settings.
struct Source {
  std::vector<std::int32_t> masses;
  bool rapsInUse = false;
  std::optional<std::int32_t> type;
  std::optional<std::int32_t> sampler;
  bool firstSampler = false;  // the settings name no autosampler at all
  std::string appFile, appName;
  bool pump = false;
};

OfflineCfgParams* ParamsOf(HWND dialog) { return static_cast<OfflineCfgParams*>(GetPropA(dialog, kParamsProperty)); }

std::optional<std::int32_t> RoundedVar(HostContext ctx, const char* name) {
  double v = 0;
  if (GetNumVar(ctx, name, &v) != 0) return std::nullopt;
  return RoundToInt(v);
}

std::string Setting(const std::string& file, const char* key) {
  char value[kValueMax + 1] = {};
  GetPrivateProfileStringA(kSection, key, kAbsent, value, sizeof value, file.c_str());
  return value;
}

void Store(const OfflineCfgParams& p, const char* key, const char* value) {
  WritePrivateProfileStringA(kSection, key, value, p.settingsFile.c_str());
}

std::string ApplicationNameOf(const std::string& path) {
  std::unique_ptr<ByteSource> file = OpenFileSource(path);
  return file ? ReadApplicationName(*file) : std::string();
}

std::string RapsName() { return LoadMessage(kMsgRapsName); }

std::vector<Choice> LoadChoices(const char* name) {
  HRSRC found = FindResourceA(g_instance, name, MCR_RES_CHOICES_TYPE);
  HGLOBAL loaded = found ? LoadResource(g_instance, found) : nullptr;
  const void* data = loaded ? LockResource(loaded) : nullptr;
  return ParseChoiceList(data, data ? SizeofResource(g_instance, found) : 0);
}

HWND Item(HWND dialog, int id) { return GetDlgItem(dialog, id); }

int Count(HWND combo) { return static_cast<int>(SendMessageA(combo, CB_GETCOUNT, 0, 0)); }
int Selection(HWND combo) { return static_cast<int>(SendMessageA(combo, CB_GETCURSEL, 0, 0)); }
void Select(HWND combo, int index) { SendMessageA(combo, CB_SETCURSEL, static_cast<WPARAM>(index), 0); }

std::string ComboText(HWND combo, int i) {
  if (i < 0) return {};
  LRESULT n = SendMessageA(combo, CB_GETLBTEXTLEN, static_cast<WPARAM>(i), 0);
  if (n < 0) return {};
  std::string text(static_cast<std::size_t>(n) + 1, '\0');
  SendMessageA(combo, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&text[0]));
  text.resize(std::strlen(text.c_str()));
  return text;
}

std::string SelectedText(HWND combo) { return ComboText(combo, Selection(combo)); }

// The selected entry's value; -1 (none) without a selection.
std::int32_t SelectedValue(HWND combo) {
  int i = Selection(combo);
  return i < 0 ? -1 : static_cast<std::int32_t>(SendMessageA(combo, CB_GETITEMDATA, static_cast<WPARAM>(i), 0));
}

int FindValue(HWND combo, std::int32_t value) {
  for (int i = 0, n = Count(combo); i < n; ++i)
    if (static_cast<std::int32_t>(SendMessageA(combo, CB_GETITEMDATA, static_cast<WPARAM>(i), 0)) == value) return i;
  return -1;
}

void FillChoices(HWND combo, const char* list) {
  SendMessageA(combo, CB_RESETCONTENT, 0, 0);
  for (const Choice& c : LoadChoices(list)) {
    LRESULT i = SendMessageA(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(c.name.c_str()));
    if (i >= 0) SendMessageA(combo, CB_SETITEMDATA, static_cast<WPARAM>(i), static_cast<LPARAM>(c.value));
  }
}

bool TypeIsRaps(HWND dialog) { return EqualNoCase(SelectedText(Item(dialog, MCR_IDC_OFC_TYPE)), RapsName()); }

void FillSamplers(HWND dialog, bool raps) {
  FillChoices(Item(dialog, MCR_IDC_OFC_SAMPLER), raps ? "ALS_TYPE_RAPS" : "ALS_TYPE");
}

void RememberType(HWND dialog) {
  SetPropA(dialog, kTypeProperty,
           reinterpret_cast<HANDLE>(static_cast<INT_PTR>(Selection(Item(dialog, MCR_IDC_OFC_TYPE)))));
}

// The application combo and the pump as the type allows them.
void EnableForType(HWND dialog, const OfflineCfgParams& p, bool raps, bool pumpOn) {
  EnableWindow(Item(dialog, MCR_IDC_OFC_APP), raps);
  bool pump = !raps && p.pumpFitted;
  EnableWindow(Item(dialog, MCR_IDC_OFC_PUMP), pump);
  if (!pump || !pumpOn) CheckDlgButton(dialog, MCR_IDC_OFC_PUMP, BST_UNCHECKED);
  else CheckDlgButton(dialog, MCR_IDC_OFC_PUMP, BST_CHECKED);
}

void LoadApplications(OfflineCfgParams& p) {
  std::string programDir = FolderForm(StringVariable(p.ctx, "_EXEPATH$"));
  if (std::unique_ptr<ByteSource> table = OpenFileSource(programDir + "mpm.tbl"))
    for (StandardApplication& a : ReadStandardApplications(*table))
      p.applications.push_back({a.name, a.name, a.fileWithSampler, a.fileWithout});
  WIN32_FIND_DATAA found{};
  FindHandle find((p.applicationDir + "*.mpu").c_str(), &found);
  for (bool more = bool(find); more; more = find.Next(&found)) {
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
    std::string name = ApplicationNameOf(p.applicationDir + found.cFileName);
    p.applications.push_back({std::string(found.cFileName) + "-" + name, name, found.cFileName, found.cFileName});
  }
}

Source FromVariables(HostContext ctx) {
  Source s;
  HostHandle table = 0;
  if (GetTableVar(ctx, "_INHIBIT", &table) == 0) {
    int n = GetTableSize(ctx, table);
    for (int i = 1; i <= n && s.masses.size() < kMassFields; ++i) {
      double v = 0;
      GetTableItem(ctx, table, i, &v);
      s.masses.push_back(TruncToInt(v));
    }
  }
  std::optional<std::int32_t> mpm = RoundedVar(ctx, "_MPM");
  s.rapsInUse = mpm && *mpm > 0;
  s.type = RoundedVar(ctx, "_optintro");
  s.sampler = RoundedVar(ctx, "_optals");
  s.appFile = StringVariable(ctx, "_MPMFile$");
  s.appName = StringVariable(ctx, "_MPMApp$");
  s.pump = RoundedVar(ctx, "OPT_PMP2").value_or(0) != 0;
  return s;
}

Source FromOnlineSettings(const OfflineCfgParams& p) {
  Source s;
  std::string inhibit = Setting(p.onlineFile, "_INHIBIT");
  if (inhibit != kAbsent) s.masses = MassesFromKey(inhibit);
  s.rapsInUse = SettingNumber(Setting(p.onlineFile, "_MPM")).value_or(0) > 0;
  s.type = SettingNumber(Setting(p.onlineFile, "SI_TYPE"));
  std::string sampler = Setting(p.onlineFile, "ALS_TYPE");
  s.firstSampler = sampler.empty() || sampler == kAbsent;
  s.sampler = SettingNumber(sampler);
  s.appFile = Setting(p.onlineFile, "_MPMFILE$");
  if (s.appFile == kAbsent) s.appFile.clear();
  if (!s.appFile.empty()) s.appName = ApplicationNameOf(p.applicationDir + s.appFile);
  s.pump = SettingNumber(Setting(p.onlineFile, "OPT_PMP2")).value_or(0) != 0;
  return s;
}

void Fill(HWND dialog, OfflineCfgParams& p, const Source& s) {
  for (int id = MCR_IDC_OFC_MASS_FIRST; id <= MCR_IDC_OFC_MASS_LAST; ++id) SetDlgItemTextA(dialog, id, "");
  for (std::size_t i = 0; i < s.masses.size(); ++i)
    SetDlgItemTextA(dialog, MCR_IDC_OFC_MASS_FIRST + static_cast<int>(i), std::to_string(s.masses[i]).c_str());

  HWND type = Item(dialog, MCR_IDC_OFC_TYPE);
  int pick = -1;
  if (s.rapsInUse)
    for (int i = 0, n = Count(type); i < n && pick < 0; ++i)
      if (EqualNoCase(ComboText(type, i), RapsName())) pick = i;
  if (pick < 0 && s.type) pick = FindValue(type, *s.type);
  Select(type, pick < 0 ? 0 : pick);
  bool raps = TypeIsRaps(dialog);

  FillSamplers(dialog, raps);
  HWND sampler = Item(dialog, MCR_IDC_OFC_SAMPLER);
  Select(sampler, s.firstSampler ? 0 : s.sampler ? FindValue(sampler, *s.sampler) : -1);
  RememberType(dialog);

  HWND app = Item(dialog, MCR_IDC_OFC_APP);
  int entry = 0;
  if (raps && !s.appFile.empty() && !s.appName.empty()) {
    std::string both = s.appFile + "-" + s.appName;
    entry = static_cast<int>(SendMessageA(app, CB_FINDSTRING, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(both.c_str())));
    if (entry < 0)
      entry = static_cast<int>(
          SendMessageA(app, CB_FINDSTRING, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(s.appName.c_str())));
  }
  Select(app, entry);

  p.pumpFitted = SettingNumber(Setting(p.onlineFile, "_PPUMP")).value_or(0) != 0;
  EnableForType(dialog, p, raps, s.pump);
}

void Initialise(HWND dialog, OfflineCfgParams& p) {
  SetPropA(dialog, kPasskeyProperty, p.ctx);
  SetPropA(dialog, kParamsProperty, &p);
  for (int id = MCR_IDC_OFC_MASS_FIRST; id <= MCR_IDC_OFC_MASS_LAST; ++id)
    SendDlgItemMessageA(dialog, id, EM_LIMITTEXT, 3, 0);
  FillChoices(Item(dialog, MCR_IDC_OFC_TYPE), "SI_TYPE");
  LoadApplications(p);
  HWND app = Item(dialog, MCR_IDC_OFC_APP);
  for (const Application& a : p.applications)
    SendMessageA(app, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(a.shown.c_str()));
  Fill(dialog, p, FromVariables(p.ctx));
}

void TypeChanged(HWND dialog, const OfflineCfgParams& p) {
  int now = Selection(Item(dialog, MCR_IDC_OFC_TYPE));
  bool raps = TypeIsRaps(dialog);
  if (now != static_cast<int>(reinterpret_cast<INT_PTR>(GetPropA(dialog, kTypeProperty)))) {
    FillSamplers(dialog, raps);
    Select(Item(dialog, MCR_IDC_OFC_SAMPLER), 0);
    RememberType(dialog);
  }
  EnableForType(dialog, p, raps, IsDlgButtonChecked(dialog, MCR_IDC_OFC_PUMP) == BST_CHECKED);
}

void Close(HWND dialog, INT_PTR result) {
  RemovePropA(dialog, kPasskeyProperty);
  RemovePropA(dialog, kParamsProperty);
  RemovePropA(dialog, kTypeProperty);
  EndDialog(dialog, result);
}

bool EndsWithMpu(const std::string& file) {
  return file.size() >= 4 && EqualNoCase(std::string_view(file).substr(file.size() - 4), ".mpu");
}

// Step 1 of OK: the RAPS application; false when RAPS has none chosen.
bool StoreApplication(HWND dialog, const OfflineCfgParams& p) {
  if (SelectedText(Item(dialog, MCR_IDC_OFC_TYPE)) != RapsName()) {
    Store(p, "_MPM", "0");
    Store(p, "_MPMFILE$", "");
    SetNumVar(p.ctx, "_MPM", 0);
    DeleteVar(p.ctx, "_MPMApp$");
    DeleteVar(p.ctx, "_MPMFile$");
    return true;
  }
  int entry = Selection(Item(dialog, MCR_IDC_OFC_APP));
  if (entry < 0 || static_cast<std::size_t>(entry) >= p.applications.size()) return false;
  const Application& a = p.applications[static_cast<std::size_t>(entry)];
  const std::string& file = SelectedValue(Item(dialog, MCR_IDC_OFC_SAMPLER)) >= 0 ? a.fileWithSampler : a.fileWithout;
  int kind = EndsWithMpu(file) ? 2 : 1;
  SetNumVar(p.ctx, "_MPM", kind);
  SetStrVar(p.ctx, "_MPMApp$", a.name.c_str());
  SetStrVar(p.ctx, "_MPMFile$", file.c_str());
  Store(p, "_MPM", std::to_string(kind).c_str());
  Store(p, "_MPMFILE$", file.c_str());
  return true;
}

void StoreMasses(HWND dialog, const OfflineCfgParams& p) {
  std::array<std::string, kMassFields> fields;
  for (std::size_t i = 0; i < kMassFields; ++i)
    fields[i] = ItemText(dialog, MCR_IDC_OFC_MASS_FIRST + static_cast<int>(i), kValueMax);
  InhibitedMasses kept = CheckMassFields(fields);
  for (std::size_t i = 0; i < kMassFields; ++i)
    SetDlgItemTextA(dialog, MCR_IDC_OFC_MASS_FIRST + static_cast<int>(i), kept.fields[i].c_str());
  DeleteVar(p.ctx, "_INHIBIT");
  Store(p, "_INHIBIT", nullptr);
  if (kept.masses.empty()) return;
  std::vector<double> values(kept.masses.begin(), kept.masses.end());
  SetNumberTable(p.ctx, "_INHIBIT", values.data(), static_cast<std::uint16_t>(values.size()));
  Store(p, "_INHIBIT", InhibitKeyText(kept.masses).c_str());
}

// "%d" of a chosen value, "" for none (a negative value or no selection).
std::string ValueText(std::int32_t value) { return value < 0 ? std::string() : std::to_string(value); }

void StoreType(HWND dialog, const OfflineCfgParams& p) {
  std::int32_t type = SelectedValue(Item(dialog, MCR_IDC_OFC_TYPE));
  SetNumVar(p.ctx, "_optintro", type);
  Store(p, "SI_TYPE", ValueText(type).c_str());
}

// An incomplete tray of the Z-QT autosampler in the installation's settings
// is completed there with the factory set, all seven keys together, so that
// the next OK finds it whole.
void StoreSampler(HWND dialog, const OfflineCfgParams& p) {
  HWND sampler = Item(dialog, MCR_IDC_OFC_SAMPLER);
  std::string tray = InstallationSettingsFile();
  if (SelectedText(sampler) == kSamplerWithTray && !tray.empty()) {
    bool whole = true;
    for (const TrayKey& k : kTrayKeys) whole = whole && Setting(tray, k.key) != kAbsent;
    if (!whole)
      for (const TrayKey& k : kTrayKeys) WritePrivateProfileStringA(kSection, k.key, k.fallback, tray.c_str());
  }
  SetNumVar(p.ctx, "_ALSID", 0);
  std::int32_t value = SelectedValue(sampler);
  SetNumVar(p.ctx, "_OPTALS", value);
  Store(p, "ALS_TYPE", ValueText(value).c_str());
}

void StorePump(HWND dialog, const OfflineCfgParams& p) {
  bool on = IsWindowEnabled(Item(dialog, MCR_IDC_OFC_PUMP)) &&
            IsDlgButtonChecked(dialog, MCR_IDC_OFC_PUMP) == BST_CHECKED;
  SetNumVar(p.ctx, "OPT_PMP2", on ? 1 : 0);
  Store(p, "OPT_PMP2", on ? "1" : "0");
}

void Accept(HWND dialog) {
  OfflineCfgParams* p = ParamsOf(dialog);
  if (!p || !StoreApplication(dialog, *p)) return;
  StoreMasses(dialog, *p);
  StoreType(dialog, *p);
  StoreSampler(dialog, *p);
  StorePump(dialog, *p);
  Close(dialog, 1);
}

INT_PTR Dialog355(HWND dialog, UINT message, WPARAM wp, LPARAM lp) {
  switch (message) {
    case WM_INITDIALOG:
      Initialise(dialog, *reinterpret_cast<OfflineCfgParams*>(lp));
      return TRUE;
    case WM_COMMAND: {
      OfflineCfgParams* p = ParamsOf(dialog);
      if (LOWORD(wp) == MCR_IDC_OFC_TYPE && HIWORD(wp) == CBN_SELCHANGE) {
        if (p) TypeChanged(dialog, *p);
        return TRUE;
      }
      if (HIWORD(wp) != BN_CLICKED) return FALSE;
      switch (LOWORD(wp)) {
        case MCR_IDC_OFC_LOAD_ONLINE:
          if (p) Fill(dialog, *p, FromOnlineSettings(*p));
          return TRUE;
        case IDOK: Accept(dialog); return TRUE;
        case IDCANCEL: Close(dialog, 0); return TRUE;
        case IDHELP: ShowWorkstationHelp(dialog, kDialogId); return TRUE;
        default: return FALSE;
      }
    }
    case WM_RBUTTONDBLCLK: return ShowWindowInformation(dialog, kDialogId, wp, lp);
    case WM_DESTROY:
      RemovePropA(dialog, kPasskeyProperty);
      RemovePropA(dialog, kParamsProperty);
      RemovePropA(dialog, kTypeProperty);
      return FALSE;
    default: return FALSE;
  }
}

}  // namespace

extern "C" INT_PTR CALLBACK DfDlg355Proc(HWND dialog, UINT message, WPARAM wp, LPARAM lp) {
  return GuardedDialog([&] { return Dialog355(dialog, message, wp, lp); });
}

MCR_COMMAND(OfflineCfgProc) {
  const char* file = GetStringArg(ctx, args, 1);
  SetNumVar(ctx, kButtonVar, 0);
  if (!file || !*file) return 0;
  if (std::strlen(file) > kSettingsPathMax) {
    // The command never fails; a path it cannot use is told, not cut.
    RaiseError(ctx, kRaiseMessage, MessageText(kMsgTooLong, static_cast<int>(kSettingsPathMax)).c_str());
    return 0;
  }
  HWND host = GetHostWindow(ctx);
  if (!host) return 0;
  OfflineCfgParams params;
  params.ctx = ctx;
  params.settingsFile = file;
  params.onlineFile = FolderForm(StringVariable(ctx, "_EXEPATH$")) + "vexmon.ist";
  params.applicationDir = FolderForm(StringVariable(ctx, "_INSTPATH$")) + "RAPS\\";
  INT_PTR result = DialogBoxParamA(g_instance, MAKEINTRESOURCEA(kDialogId), host, DfDlg355Proc,
                                   reinterpret_cast<LPARAM>(&params));
  SetNumVar(ctx, kButtonVar, result == 1 ? 1 : 0);
  return 0;
}
