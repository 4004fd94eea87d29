#include <windows.h>

#include "hostops.h"

namespace mcr {

namespace {

using HtmlHelpEntry = HWND(WINAPI*)(HWND, LPCSTR, UINT, DWORD_PTR);

HMODULE g_helpModule = nullptr;
HtmlHelpEntry g_helpEntry = nullptr;
bool g_helpUnavailable = false;

void LoadRegisteredControl() {
  HKEY key;
  if (RegOpenKeyExA(HKEY_CLASSES_ROOT,
                    "CLSID\\{ADB880A6-D8FF-11CF-9377-00AA003B7A11}\\InprocServer32", 0,
                    KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
    return;
  char path[MAX_PATH + 1] = {};
  DWORD size = MAX_PATH;
  if (RegQueryValueExA(key, nullptr, nullptr, nullptr, reinterpret_cast<BYTE*>(path), &size) ==
      ERROR_SUCCESS)
    g_helpModule = LoadLibraryA(path);
  RegCloseKey(key);
}

}  // namespace

std::intptr_t CallHtmlHelp(HWND window, const char* file, UINT command, std::uintptr_t data) {
  if (g_helpUnavailable) return 0;
  if (!g_helpModule) LoadRegisteredControl();
  if (!g_helpModule) g_helpModule = LoadLibraryA("hhctrl.ocx");
  if (!g_helpModule) {
    g_helpUnavailable = true;
    return 0;
  }
  if (!g_helpEntry)
    g_helpEntry = reinterpret_cast<HtmlHelpEntry>(
        reinterpret_cast<void*>(GetProcAddress(g_helpModule, MAKEINTRESOURCEA(14))));
  if (!g_helpEntry) {
    g_helpUnavailable = true;
    return 0;
  }
  return reinterpret_cast<std::intptr_t>(g_helpEntry(window, file, command, data));
}

}  // namespace mcr
