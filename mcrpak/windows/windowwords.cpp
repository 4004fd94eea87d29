// Window utilities: questions about a window's state, window messages, the
// host window's size, maximise box and icon, the busy state, list-box
// smooth scrolling, beeps and sounds, and closing a file search. A window
// or a search is named by its handle as a macro number; every whole-number
// argument converts with RoundToInt, so out-of-range handles saturate and
// name no window.
#include <windows.h>
#include <mmsystem.h>
#include <shellapi.h>

#include <string>

#include "../bridge/handlers.h"
#include "../bridge/hostops.h"
#include "../bridge/rounding.h"
#include "../bridge/sjistext.h"

using namespace mcr;

namespace {

enum WindowMessageId : int {
  kMsgGiveWindow = 1026,
  kMsgGiveMessage = 1027,
  kMsgGiveFirstParam = 1028,
  kMsgGiveSecondParam = 1029,
  kMsgNoSuchWindow = 1030,
  kMsgInvalidMessage = 1031,
  kMsgCannotPlay = 1043,
  kMsgNoIcon = 1044,
};

constexpr std::size_t kVariableNameLimit = 135;
constexpr int kClassNameBuffer = 133;
constexpr std::size_t kFileNameLimit = 263;  // icon and sound files
constexpr DWORD kActivatePause = 200;        // ms
constexpr char kDefaultSound[] = "BEEP:MB_ICONASTERISK";

struct BeepName {
  const char* name;
  UINT type;
};
constexpr BeepName kBeeps[] = {
    {"BEEP:MB_ICONASTERISK", MB_ICONASTERISK}, {"BEEP:MB_ICONEXCLAMATION", MB_ICONEXCLAMATION},
    {"BEEP:MB_ICONHAND", MB_ICONHAND},         {"BEEP:MB_ICONQUESTION", MB_ICONQUESTION},
    {"BEEP:MB_OK", MB_OK},                     {"BEEP:-1", 0xFFFFFFFFu},
};

// Handles travel as signed 32-bit numbers, so that every handle the system
// gives out comes back through RoundToInt unchanged.
HWND WindowOf(double number) {
  return reinterpret_cast<HWND>(static_cast<std::intptr_t>(RoundToInt(number)));
}
double NumberOf(HWND window) {
  return static_cast<std::int32_t>(reinterpret_cast<std::intptr_t>(window));
}

// The state functions: the tests run in the order given and stop at the
// first that fails. A missing handle is reported, and still answers 0.
std::uint16_t WindowState(HostContext ctx, HostHandle args, HostHandle result,
                          std::initializer_list<BOOL(WINAPI*)(HWND)> tests) {
  const double* handle = GetNumberArg(ctx, args, 1);
  bool holds = handle != nullptr;
  if (!handle) RaiseMessage(ctx, kMsgGiveWindow);
  for (auto test = tests.begin(); holds && test != tests.end(); ++test)
    holds = (*test)(WindowOf(*handle)) != FALSE;
  SetNumberResult(ctx, result, holds ? 1 : 0);
  return 0;
}

struct WindowMessage {
  HWND window;
  UINT message;
  WPARAM first;
  LPARAM second;
};

WindowMessage ReadWindowMessage(HostContext ctx, HostHandle args) {
  Args in(ctx, args);
  HWND window = WindowOf(in.Number(1).Required(kMsgGiveWindow).Or(0));
  if (!IsWindow(window)) Abort(ctx, kMsgNoSuchWindow);
  std::int32_t message = in.Number(2).Required(kMsgGiveMessage).Int();
  if (message < 0) Abort(ctx, kMsgInvalidMessage);
  std::int32_t first = in.Number(3).Required(kMsgGiveFirstParam).Int();
  std::int32_t second = in.Number(4).Required(kMsgGiveSecondParam).Int();
  return {window, static_cast<UINT>(message), static_cast<WPARAM>(static_cast<std::intptr_t>(first)),
          static_cast<LPARAM>(second)};
}

void ShowHostWindow(HostContext ctx, int command) {
  HWND host = GetHostWindow(ctx);
  if (IsWindowVisible(host)) ShowWindow(host, command);
}

}  // namespace

MCR_FUNCTION(IsWindowProc) { return WindowState(ctx, args, result, {IsWindow}); }

MCR_FUNCTION(IsWindowEnabledProc) {
  return WindowState(ctx, args, result, {IsWindow, IsWindowEnabled});
}

MCR_FUNCTION(IsWindowVisibleProc) {
  return WindowState(ctx, args, result, {IsWindow, IsWindowVisible});
}

MCR_FUNCTION(IsIconicProc) {
  return WindowState(ctx, args, result, {IsWindow, IsWindowEnabled, IsIconic, IsWindowVisible});
}

MCR_FUNCTION(IsZoomedProc) {
  return WindowState(ctx, args, result, {IsWindow, IsWindowEnabled, IsZoomed, IsWindowVisible});
}

MCR_FUNCTION(SmoothScrollingProc) {
  BOOL before = FALSE;
  SystemParametersInfoA(SPI_GETLISTBOXSMOOTHSCROLLING, 0, &before, 0);
  Args in(ctx, args);
  NumberArg mode = in.Number(1);
  std::int32_t wanted = mode.Int(-1);
  if (wanted == 0 || wanted == 1)
    SystemParametersInfoA(SPI_SETLISTBOXSMOOTHSCROLLING, 0,
                          reinterpret_cast<PVOID>(static_cast<UINT_PTR>(wanted)),
                          SPIF_UPDATEINIFILE | SPIF_SENDCHANGE);
  SetNumberResult(ctx, result, before ? 1 : 0);
  return 0;
}

MCR_FUNCTION(GetCPWinProc) {
  SetNumberResult(ctx, result, NumberOf(GetHostWindow(ctx)));
  return 0;
}

MCR_COMMAND(SendMessageProc) {
  const WindowMessage m = ReadWindowMessage(ctx, args);
  SendMessageA(m.window, m.message, m.first, m.second);
  return 0;
}

MCR_COMMAND(PostMessageProc) {
  const WindowMessage m = ReadWindowMessage(ctx, args);
  PostMessageA(m.window, m.message, m.first, m.second);
  return 0;
}

MCR_COMMAND(BringWindowToTopProc) {
  Args in(ctx, args);
  NumberArg handle = in.Number(1);
  HWND window = handle.given() ? WindowOf(handle.Or(0)) : GetHostWindow(ctx);
  const bool quiet = in.Text(2).Is("NOMSG");
  NumberArg activate = in.Number(3);
  if (!IsWindow(window) || !IsWindowEnabled(window) || !IsWindowVisible(window)) {
    if (quiet) return 0;
    return Fail(ctx, kMsgNoSuchWindow);
  }
  BringWindowToTop(window);
  if (activate.given() && activate.Int() != 0) {
    // Minimised and restored, the window comes up active even when another
    // program holds the foreground.
    SetForegroundWindow(window);
    Sleep(kActivatePause);
    CloseWindow(window);
    Sleep(kActivatePause);
    OpenIcon(window);
  }
  return 0;
}

MCR_COMMAND(WinMaxProc) {
  ShowHostWindow(ctx, SW_MAXIMIZE);
  return 0;
}

MCR_COMMAND(WinMinProc) {
  ShowHostWindow(ctx, SW_MINIMIZE);
  return 0;
}

MCR_COMMAND(MaxBtnStatProc) {
  Args in(ctx, args);
  const std::int32_t state = in.Number(1).Required().Int();
  HWND host = GetHostWindow(ctx);
  if (!host || (state != 0 && state != 1)) return 0;
  LONG style = GetWindowLongA(host, GWL_STYLE);
  style = state ? style | WS_MAXIMIZEBOX : style & ~WS_MAXIMIZEBOX;
  SetWindowLongA(host, GWL_STYLE, style);
  DrawMenuBar(host);
  return 0;
}

MCR_COMMAND(GetClassNameProc) {
  Args in(ctx, args);
  HWND window = WindowOf(in.Number(1).Required().Or(0));
  const std::string variable(CutBytes(in.Text(2).NonEmpty().get(), kVariableNameLimit));
  char name[kClassNameBuffer] = {};
  GetClassNameA(window, name, kClassNameBuffer);
  SetStrVar(ctx, variable.c_str(), name);
  return 0;
}

MCR_COMMAND(SetIconProc) {
  HWND host = GetHostWindow(ctx);
  if (!host) return 0;
  Args in(ctx, args);
  const std::string file(CutBytes(in.Text(1).Required().get(), kFileNameLimit));
  const std::int32_t index = in.Number(2).Int(0);
  HICON icon = ExtractIconA(g_instance, file.c_str(), static_cast<UINT>(index));
  // Index -1 asks for the number of icons in the file, and 1 means the file
  // is no program: neither is an icon.
  if (index == -1 || reinterpret_cast<UINT_PTR>(icon) <= 1) return Fail(ctx, kMsgNoIcon);
  // The old icon goes only once the new one is in place, so that the window
  // never shows a destroyed icon.
  auto old = static_cast<HICON>(GetPropA(host, kIconProperty));
  SendMessageA(host, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
  SendMessageA(host, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));
  SetPropA(host, kIconProperty, icon);
  if (old) DestroyIcon(old);
  return 0;
}

MCR_COMMAND(SetBusyCursorProc) {
  Args in(ctx, args);
  NumberArg flag = in.Number(1);
  // Only the low 16 bits count: 65537 is as busy as 1.
  SetHostBusy(ctx, flag.given() && (flag.Int() & 0xFFFF) == 1);
  return 0;
}

MCR_COMMAND(SoundProc) {
  Args in(ctx, args);
  TextArg given = in.Text(1);
  const std::string sound(CutBytes(given.empty() ? kDefaultSound : given.get(), kFileNameLimit));
  for (const BeepName& beep : kBeeps) {
    if (!EqualNoCase(sound, beep.name)) continue;
    MessageBeep(beep.type);
    return 0;
  }
  if (!PlaySoundA(sound.c_str(), g_instance, SND_FILENAME | SND_NODEFAULT | SND_NOSTOP | SND_NOWAIT))
    return Fail(ctx, kMsgCannotPlay);
  return 0;
}

MCR_COMMAND(FindCloseProc) {
  Args in(ctx, args);
  NumberArg handle = in.Number(1);
  if (handle.given()) FindClose(reinterpret_cast<HANDLE>(static_cast<std::intptr_t>(handle.Int())));
  return 0;
}
