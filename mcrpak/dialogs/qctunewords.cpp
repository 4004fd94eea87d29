// QCTuneConfig: the dialog of the tune criteria the workstation checks
// during QC: the method to tune with, whether mass-defect correction is off,
// the action when a check fails, and six criteria each with a box and a
// flag. They live in qctune.ini in the program directory, read when the
// dialog opens and written only by OK.
#include <windows.h>
#include <windowsx.h>

#include <string>
#include <vector>

#include "../bridge/catalogue.h"
#include "../bridge/dlgframe.h"
#include "../bridge/handlers.h"
#include "../bridge/hostops.h"
#include "../bridge/workstation.h"
#include "../resources/resource_ids.h"
#include "dlgcommon.h"
#include "qctunesettings.h"

extern "C" INT_PTR CALLBACK DfDlg369Proc(HWND dialog, UINT message, WPARAM wp, LPARAM lp);

using namespace mcr;

namespace {

constexpr char kSettingsFile[] = "qctune.ini";
constexpr char kHeader[] = "Header";
constexpr char kTune[] = "Tune";
constexpr int kCriteria = 6;
constexpr int kPercentCriterion = 4;  // resolution: its third field is the peak-height percentage
// Longest method directory and name read from the file, and longest text
// taken from a box.
constexpr DWORD kStoredPathMax = 258;
constexpr std::size_t kFieldMax = 259;
constexpr DWORD kValueBuffer = 1024;  // a criterion's value: box, flag and percentage
constexpr DWORD kNumberBuffer = 32;

// SelectMethodFile of the dialog library: what it is asked to list.
constexpr int kMethodKind = 4;
constexpr char kSelectTitle[] = "Title";
constexpr char kMethodPattern[] = "*.M";

constexpr char kHelpSettings[] = "\\icpexe\\vexmon.ist";
constexpr char kHelpSection[] = "PCS,1";
constexpr DWORD kHelpPathMax = 260;
constexpr DWORD kHelpFileMax = 256;
constexpr char kDefaultHelpFile[] = "ICP-MS.CHM";
constexpr UINT kHtmlHelpContents = 1;   // HH_DISPLAY_TOC
constexpr UINT kHtmlHelpContext = 15;   // HH_HELP_CONTEXT

// How close to the client area's corner the window-information click must be.
constexpr int kInfoCorner = 5;

int BoxId(int criterion) { return MCR_IDC_QCTUNE_BOX0 + criterion; }
int FlagId(int criterion) { return MCR_IDC_QCTUNE_METHOD + criterion; }
std::string ItemKey(int criterion) { return "TNITEM" + std::to_string(criterion); }

std::string StrVar(HostContext ctx, const char* name) {
  char value[kStrVarBound] = {};
  if (GetStrVar(ctx, name, value) != 0) return {};
  value[kStrVarBound - 1] = '\0';
  return value;
}

std::string SettingsPath(HWND dialog) {
  return StrVar(static_cast<HostContext>(GetPropA(dialog, kPasskeyProperty)), "_Exepath$") + kSettingsFile;
}

std::string Profile(const std::string& file, const char* section, const std::string& key, DWORD maxChars,
                    const char* fallback = "") {
  std::vector<char> value(maxChars + 1);
  GetPrivateProfileStringA(section, key.c_str(), fallback, value.data(), maxChars + 1, file.c_str());
  return value.data();
}

void Open(HWND dialog, HostContext ctx) {
  SetPropA(dialog, kPasskeyProperty, ctx);
  const std::string file = SettingsPath(dialog);
  std::string dir = Profile(file, kHeader, "MethPath", kStoredPathMax);
  if (dir.empty()) dir = StrVar(ctx, "_MethPath$");
  SetDlgItemTextA(dialog, MCR_IDC_QCTUNE_METHOD, (dir + Profile(file, kHeader, "MethFile", kStoredPathMax)).c_str());

  std::string exactMass = Profile(file, kTune, "ExactMass", kNumberBuffer);
  if (!exactMass.empty() && LeadingNumber(exactMass) != 0)
    CheckDlgButton(dialog, MCR_IDC_QCTUNE_EXACT_MASS, BST_CHECKED);

  // The list sorts its items: a stored index means a place in the sorted list.
  HWND actions = GetDlgItem(dialog, MCR_IDC_QCTUNE_FAIL_ACTION);
  for (int id : {int{kLabelNextSample}, kLabelNextSample + 1})
    SendMessageA(actions, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(LoadMessage(id)));
  std::string action = Profile(file, kTune, "AOF3", kNumberBuffer);
  if (!action.empty()) SendMessageA(actions, CB_SETCURSEL, static_cast<WPARAM>(LeadingNumber(action)), 0);

  for (int k = 1; k <= kCriteria; ++k) {
    std::vector<std::string> fields = SplitTuneItem(Profile(file, kTune, ItemKey(k), kValueBuffer - 1));
    if (fields.empty()) continue;
    if (LeadingNumber(fields[0]) != 0) CheckDlgButton(dialog, BoxId(k), BST_CHECKED);
    if (fields.size() > 1) SetDlgItemTextA(dialog, FlagId(k), fields[1].c_str());
    if (k == kPercentCriterion && fields.size() > 2)
      SetDlgItemTextA(dialog, MCR_IDC_QCTUNE_PERCENT, fields[2].c_str());
  }
  CentreInWorkArea(dialog);
}

void Save(HWND dialog) {
  const std::string file = SettingsPath(dialog);
  auto write = [&](const char* section, const std::string& key, const std::string& value) {
    WritePrivateProfileStringA(section, key.c_str(), value.c_str(), file.c_str());
  };
  auto checked = [&](int id) { return IsDlgButtonChecked(dialog, id) == BST_CHECKED; };
  MethodPathParts method = SplitMethodPath(ItemText(dialog, MCR_IDC_QCTUNE_METHOD, kFieldMax));
  write(kHeader, "MethPath", method.dir);
  write(kHeader, "MethFile", method.file);
  write(kTune, "ExactMass", checked(MCR_IDC_QCTUNE_EXACT_MASS) ? "1" : "0");
  write(kTune, "AOF3", std::to_string(SendDlgItemMessageA(dialog, MCR_IDC_QCTUNE_FAIL_ACTION, CB_GETCURSEL, 0, 0)));
  for (int k = 1; k <= kCriteria; ++k) {
    std::string third = k == kPercentCriterion ? ItemText(dialog, MCR_IDC_QCTUNE_PERCENT, kFieldMax) : "0";
    write(kTune, ItemKey(k), TuneItemValue(checked(BoxId(k)), ItemText(dialog, FlagId(k), kFieldMax), third));
  }
}

void SelectMethod(HWND dialog) {
  MethodPathParts method = SplitMethodPath(ItemText(dialog, MCR_IDC_QCTUNE_METHOD, kFieldMax));
  char dir[MAX_PATH] = {}, name[MAX_PATH] = {};
  lstrcpynA(dir, method.dir.c_str(), sizeof dir);
  lstrcpynA(name, method.file.c_str(), sizeof name);
  DWORD unused = 0;
  SelectMethodFile(dialog, kMethodKind, kSelectTitle, kMethodPattern, dir, name, &unused);
  dir[MAX_PATH - 1] = name[MAX_PATH - 1] = '\0';
  SetDlgItemTextA(dialog, MCR_IDC_QCTUNE_METHOD, (std::string(dir) + name).c_str());
}

void ShowHelp(HWND dialog) {
  const std::string settings = InstallationFolder() + kHelpSettings;
  std::string help = Profile(settings, kHelpSection, "_HELPPATH$", kHelpPathMax, settings.c_str()) +
                     Profile(settings, kHelpSection, "_HELPFILE$", kHelpFileMax, kDefaultHelpFile);
  if (IsHtmlHelpFile(help)) {
    CallHtmlHelp(GetDesktopWindow(), help.c_str(), kHtmlHelpContents, 0);
    CallHtmlHelp(GetDesktopWindow(), help.c_str(), kHtmlHelpContext, MCR_DLG_QC_TUNE);
  } else {
    WinHelpA(GetParent(dialog), help.c_str(), HELP_CONTEXT, MCR_DLG_QC_TUNE);
  }
}

// For service: the dialog's handle, number, place and parent, titled with
// the library's own file.
void ShowWindowInfo(HWND dialog) {
  char module[MAX_PATH] = {};
  GetModuleFileNameA(g_instance, module, sizeof module);
  RECT r{};
  GetWindowRect(dialog, &r);
  char text[kMessageMax + 1];
  wsprintfA(text, "Handle:%d\nId:%d\n(%d, %d)-(%d, %d)\nParent:%d",
            static_cast<int>(reinterpret_cast<INT_PTR>(dialog)), MCR_DLG_QC_TUNE, r.left, r.top, r.right,
            r.bottom, static_cast<int>(reinterpret_cast<INT_PTR>(GetParent(dialog))));
  MessageBoxA(GetFocus(), text, module, MB_OK | MB_ICONINFORMATION);
}

void Close(HWND dialog, int result) {
  RemovePropA(dialog, kPasskeyProperty);
  EndDialog(dialog, result);
}

INT_PTR Dialog369(HWND dialog, UINT message, WPARAM wp, LPARAM lp) {
  switch (message) {
    case WM_INITDIALOG:
      Open(dialog, reinterpret_cast<HostContext>(lp));
      return TRUE;
    case WM_COMMAND:
      switch (LOWORD(wp)) {
        case IDOK:
          Save(dialog);
          Close(dialog, 1);
          return TRUE;
        case IDCANCEL: Close(dialog, 0); return TRUE;
        case MCR_IDC_QCTUNE_SELECT: SelectMethod(dialog); return TRUE;
        case MCR_IDC_QCTUNE_PERCENT:
          if (HIWORD(wp) == EN_KILLFOCUS)
            SetDlgItemTextA(dialog, MCR_IDC_QCTUNE_PERCENT,
                            PercentText(ItemText(dialog, MCR_IDC_QCTUNE_PERCENT, kFieldMax)).c_str());
          return TRUE;
        case IDHELP: ShowHelp(dialog); return TRUE;
        default: return FALSE;
      }
    case WM_RBUTTONDBLCLK:
      if ((wp & MK_LBUTTON) && GET_X_LPARAM(lp) <= kInfoCorner && GET_Y_LPARAM(lp) <= kInfoCorner)
        ShowWindowInfo(dialog);
      return TRUE;
    default: return FALSE;
  }
}

}  // namespace

// Without a host window nothing is shown, and the command still succeeds.
MCR_COMMAND(QCTuneConfigProc) {
  RunHostDialog(ctx, MCR_DLG_QC_TUNE, DfDlg369Proc);
  return 0;
}

extern "C" INT_PTR CALLBACK DfDlg369Proc(HWND dialog, UINT message, WPARAM wp, LPARAM lp) {
  return GuardedDialog([&] { return Dialog369(dialog, message, wp, lp); });
}
