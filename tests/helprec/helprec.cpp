// A stand-in for the HTML Help control that only records what it is asked to
// show, a line each request in the environment variable MCR_HELP (see
// CatchHelp in tests/support/dialogs.h).
#include <windows.h>

#include <string>

// Ordinal 14, where the library looks for the control's entry.
extern "C" HWND WINAPI HtmlHelpA(HWND window, LPCSTR file, UINT command, DWORD_PTR data) {
  std::string lines(GetEnvironmentVariableA("MCR_HELP", nullptr, 0), '\0');
  lines.resize(GetEnvironmentVariableA("MCR_HELP", &lines[0], static_cast<DWORD>(lines.size())));
  lines += (window == GetDesktopWindow() ? "html " : "html owned ") + std::to_string(command) + " " +
           std::to_string(data) + " " + (file ? file : "") + "\n";
  SetEnvironmentVariableA("MCR_HELP", lines.c_str());
  return nullptr;
}
