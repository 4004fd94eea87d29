#include "msgpopup.h"

#include <string>

#include "../bridge/connection.h"
#include "../bridge/hostops.h"
#include "msgpopupclock.h"

namespace mcr {

namespace {

struct PopupSearch {
  HostContext ctx;
  HWND found;
};

// Stops the timer and frees the icons and the record; clearing word 4 makes
// a second call (closing first, destruction after) find nothing left.
void ReleaseRecord(HWND popup) {
  HGLOBAL block = PopupRecordHandle(popup);
  if (!block) return;
  if (auto* rec = static_cast<PopupRecord*>(GlobalLock(block))) {
    if (rec->timerRunning) KillTimer(popup, kPopupTimer);
    for (HICON& icon : rec->icons)
      if (icon) DestroyIcon(icon);
    GlobalUnlock(block);
  }
  GlobalFree(block);
  SetWindowLongPtrA(popup, kPopupWordRecord, 0);
}

// Loads the frames of the record's icon kind, starts the timer.
void StartAnimation(HWND popup) {
  LockedRecord rec(PopupRecordHandle(popup));
  if (!rec) return;
  for (int frame = 0; frame < kPopupFrames; ++frame) {
    std::string name = PopupIconName(rec->iconKind, frame);
    if (name.empty()) break;
    // Not shared: each popup owns its frames and destroys them.
    rec->icons[frame] = static_cast<HICON>(
        LoadImageA(g_instance, name.c_str(), IMAGE_ICON, 0, 0, LR_DEFAULTSIZE));
  }
  rec->timerRunning = SetTimer(popup, kPopupTimer, kPopupTimerPeriod, nullptr) != 0;
  rec->lastTick = GetTickCount();
}

// One step of the countdown and of the animation.
void Tick(HWND popup) {
  HICON next = nullptr;
  bool animate = false, expired = false;
  {
    LockedRecord rec(PopupRecordHandle(popup));
    if (!rec) return;
    DWORD now = GetTickCount();
    rec->currentTick = now;
    if (rec->autoClose) {
      rec->remaining = CountDown(rec->remaining, rec->lastTick, now);
      rec->lastTick = now;
      expired = rec->remaining < 1;
    }
    animate = !expired && rec->iconKind != kPopupIconNone;
    if (animate) {
      next = rec->icons[rec->frame];
      rec->frame = (rec->frame + 1) % kPopupFrames;
    }
  }
  if (expired)
    DestroyWindow(popup);
  else if (animate)
    SendDlgItemMessageA(popup, kPopupIdIcon, STM_SETICON, reinterpret_cast<WPARAM>(next), 0);
}

}  // namespace

HGLOBAL PopupRecordHandle(HWND popup) {
  return reinterpret_cast<HGLOBAL>(GetWindowLongPtrA(popup, kPopupWordRecord));
}

std::string PopupIconName(int kind, int frame) {
  const char* stem = kind == kPopupIconClock ? "TIMER_ICON_" : kind == kPopupIconBar ? "BAR_ICON_" : nullptr;
  return stem ? stem + std::to_string(frame + 1) : std::string();
}

HWND FindPopup(HWND host, HostContext ctx) {
  PopupSearch search{ctx, nullptr};
  EnumChildWindows(host, FindMsgPopupWindow, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

void ClosePopup(HWND popup) {
  ReleaseRecord(popup);
  DestroyWindow(popup);
}

namespace {

void RegisterPopupClass(HINSTANCE instance) {
  WNDCLASSA wc{};
  wc.style = CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS;
  wc.lpfnWndProc = MsgPopupWndProc;
  wc.cbWndExtra = 2 * sizeof(LONG_PTR);
  wc.hInstance = instance;
  wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = kPopupClass;
  RegisterClassA(&wc);
}

// A task's popup goes when its macro ends (or the host asks for it).
void ClosePopupOf(HostContext ctx) {
  HWND host = GetHostWindow(ctx);
  if (HWND popup = host ? FindPopup(host, ctx) : nullptr) ClosePopup(popup);
}

const bool g_hooked = RegisterSubsystemHooks({RegisterPopupClass, ClosePopupOf});

}  // namespace

}  // namespace mcr

using namespace mcr;

extern "C" BOOL CALLBACK FindMsgPopupWindow(HWND window, LPARAM search) {
  auto* s = reinterpret_cast<PopupSearch*>(search);
  char name[64];
  if (GetClassNameA(window, name, sizeof name) && lstrcmpiA(name, kPopupClass) == 0 &&
      reinterpret_cast<HostContext>(GetWindowLongPtrA(window, kPopupWordContext)) == s->ctx) {
    s->found = window;
    return FALSE;
  }
  return TRUE;
}

extern "C" LRESULT CALLBACK MsgPopupWndProc(HWND window, UINT message, WPARAM wp, LPARAM lp) {
  switch (message) {
    case WM_NCCREATE: {
      auto* cs = reinterpret_cast<CREATESTRUCTA*>(lp);
      if (auto* creation = static_cast<PopupCreation*>(cs->lpCreateParams)) {
        SetWindowLongPtrA(window, kPopupWordContext, reinterpret_cast<LONG_PTR>(creation->ctx));
        SetWindowLongPtrA(window, kPopupWordRecord, reinterpret_cast<LONG_PTR>(creation->record));
        creation->record = nullptr;  // the window frees it from now on
      }
      break;
    }
    case WM_CREATE:
      StartAnimation(window);
      return 0;
    case WM_TIMER:
      if (wp == kPopupTimer) Tick(window);
      return 0;
    case WM_DESTROY:
      ReleaseRecord(window);
      return 0;
    case WM_NCDESTROY:
      // Reached without WM_DESTROY when creation fails half-way.
      ReleaseRecord(window);
      break;
  }
  return DefWindowProcA(window, message, wp, lp);
}
