#include "helpcalls.h"

#include <gtest/gtest.h>

#include <cstring>

namespace mcrtest {

namespace {

HelpCalls* g_calls = nullptr;
constexpr char kWinHelpClass[] = "MS_WINHELP";

// What WinHelp sends with WM_COPYDATA: this header, then the file name.
#pragma pack(push, 1)
struct WinHelpRequest {
  WORD size;
  WORD command;
  LONG data;
  LONG reserved;
  WORD fileOffset;
  WORD dataOffset;
};
#pragma pack(pop)

void Write(void* at, const void* bytes, std::size_t n) {
  DWORD old = 0;
  VirtualProtect(at, n, PAGE_EXECUTE_READWRITE, &old);
  std::memcpy(at, bytes, n);
  VirtualProtect(at, n, old, &old);
  FlushInstructionCache(GetCurrentProcess(), at, n);
}

}  // namespace

HelpCalls::HelpCalls() {
  if (g_calls) ADD_FAILURE() << "help calls are recorded already";
  g_calls = this;
  HMODULE control = LoadLibraryA("hhctrl.ocx");
  entry_ = control ? reinterpret_cast<void*>(GetProcAddress(control, MAKEINTRESOURCEA(14))) : nullptr;
  if (!entry_) {
    ADD_FAILURE() << "no HTML Help entry to record";
  } else {
    // mov rax, RecordHtml; jmp rax
    unsigned char jump[12] = {0x48, 0xB8, 0, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0xE0};
    auto target = reinterpret_cast<std::uintptr_t>(&HelpCalls::RecordHtml);
    std::memcpy(jump + 2, &target, sizeof target);
    std::memcpy(saved_, entry_, sizeof saved_);
    Write(entry_, jump, sizeof jump);
  }
  WNDCLASSA wc{};
  wc.lpfnWndProc = WinHelpWindow;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.lpszClassName = kWinHelpClass;
  RegisterClassA(&wc);
  // A hidden top-level window: WinHelp finds it by its class.
  winHelpWindow_ = CreateWindowA(kWinHelpClass, "", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, wc.hInstance, nullptr);
}

HelpCalls::~HelpCalls() {
  if (entry_) Write(entry_, saved_, sizeof saved_);
  if (winHelpWindow_) DestroyWindow(winHelpWindow_);
  UnregisterClassA(kWinHelpClass, GetModuleHandleA(nullptr));
  g_calls = nullptr;
}

HWND WINAPI HelpCalls::RecordHtml(HWND window, LPCSTR file, UINT command, DWORD_PTR data) {
  if (g_calls) g_calls->html_.push_back({window, file ? file : "", command, data});
  return nullptr;
}

LRESULT CALLBACK HelpCalls::WinHelpWindow(HWND w, UINT message, WPARAM wp, LPARAM lp) {
  if (message != WM_COPYDATA || !g_calls) return DefWindowProcA(w, message, wp, lp);
  auto* copy = reinterpret_cast<const COPYDATASTRUCT*>(lp);
  auto* request = static_cast<const WinHelpRequest*>(copy->lpData);
  std::string file;
  if (request->fileOffset) file = reinterpret_cast<const char*>(request) + request->fileOffset;
  g_calls->winHelp_.push_back({reinterpret_cast<HWND>(wp), file, request->command,
                               static_cast<ULONG_PTR>(request->data)});
  return TRUE;
}

}  // namespace mcrtest
