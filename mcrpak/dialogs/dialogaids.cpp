#include "dialogaids.h"

#include <windowsx.h>

#include "../bridge/catalogue.h"
#include "../bridge/hostops.h"
#include "../bridge/workstation.h"
#include "../bridge/sjistext.h"

namespace mcr {

namespace {

constexpr char kSettingsSection[] = "PCS,1";
constexpr char kDefaultHelpFile[] = "ICP-MS.CHM";
constexpr DWORD kHelpPathMax = 260;
constexpr DWORD kHelpFileMax = 256;
constexpr int kInfoCorner = 5;

std::string WithSeparator(std::string folder) {
  if (!folder.empty() && !EndsWithBackslash(folder)) folder += '\\';
  return folder;
}

std::string ProfileText(const char* key, const std::string& fallback, DWORD size, const std::string& file) {
  if (file.empty()) return fallback;
  std::string value(size + 1, '\0');
  DWORD n = GetPrivateProfileStringA(kSettingsSection, key, fallback.c_str(), &value[0], size + 1, file.c_str());
  value.resize(n);
  return value;
}

}  // namespace

std::string StringVariable(HostContext ctx, const char* name) {
  char value[kStrVarBound] = {};
  if (GetStrVar(ctx, name, value) != 0) return {};
  value[kStrVarBound - 1] = '\0';
  return value;
}

void ShowStopBox(HWND dialog, const std::string& text) {
  char caption[256] = {};
  GetWindowTextA(dialog, caption, sizeof caption);
  MessageBoxA(dialog, text.c_str(), caption, MB_OK | MB_ICONSTOP);
}

std::string InstallationSettingsFile() {
  std::string folder = InstallationFolder();
  return folder.empty() ? std::string() : WithSeparator(folder) + "icpexe\\vexmon.ist";
}

void ShowWorkstationHelp(HWND dialog, UINT topic) {
  std::string settings = InstallationSettingsFile();
  // Without a folder of its own the help file sits beside the settings file.
  std::string folder = settings.substr(0, settings.find_last_of('\\') + 1);
  std::string file = WithSeparator(ProfileText("_HELPPATH$", folder, kHelpPathMax, settings)) +
                     ProfileText("_HELPFILE$", kDefaultHelpFile, kHelpFileMax, settings);
  if (file.size() >= 4 && EqualNoCase(std::string_view(file).substr(file.size() - 4), ".chm")) {
    CallHtmlHelp(GetDesktopWindow(), file.c_str(), 1 /* table of contents */, 0);
    CallHtmlHelp(GetDesktopWindow(), file.c_str(), 15 /* context topic */, topic);
  } else {
    WinHelpA(GetParent(dialog), file.c_str(), HELP_CONTEXT, topic);
  }
}

bool ShowWindowInformation(HWND dialog, int dialogId, WPARAM keys, LPARAM point) {
  if (!(keys & MK_LBUTTON) || GET_X_LPARAM(point) >= kInfoCorner || GET_Y_LPARAM(point) >= kInfoCorner ||
      GET_X_LPARAM(point) < 0 || GET_Y_LPARAM(point) < 0)
    return false;
  RECT r{};
  GetWindowRect(dialog, &r);
  char text[256];
  wsprintfA(text, "Handle:%d\nId:%d\n(%d, %d)-(%d, %d)\nParent:%d",
            static_cast<int>(reinterpret_cast<INT_PTR>(dialog)), dialogId, r.left, r.top, r.right, r.bottom,
            static_cast<int>(reinterpret_cast<INT_PTR>(GetParent(dialog))));
  char module[MAX_PATH + 1] = {};
  GetModuleFileNameA(g_instance, module, MAX_PATH);
  MessageBoxA(dialog, text, module, MB_OK | MB_ICONINFORMATION);
  return true;
}

}  // namespace mcr
