#include "msgpopup.h"

namespace mcr {

namespace {

struct PopupSearch {
  HostContext ctx;
  HWND found;
};

void ReleaseRecord(HWND popup) {
  auto block = reinterpret_cast<HGLOBAL>(GetWindowLongPtrA(popup, kPopupWordRecord));
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

}  // namespace

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

HWND FindPopup(HWND host, HostContext ctx) {
  PopupSearch search{ctx, nullptr};
  EnumChildWindows(host, FindMsgPopupWindow, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

void ClosePopup(HWND popup) {
  ReleaseRecord(popup);
  DestroyWindow(popup);
}

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
      // Creation data: the owning HostContext and the record handle.
      auto* cs = reinterpret_cast<CREATESTRUCTA*>(lp);
      if (auto* words = static_cast<LONG_PTR*>(cs->lpCreateParams)) {
        SetWindowLongPtrA(window, kPopupWordContext, words[0]);
        SetWindowLongPtrA(window, kPopupWordRecord, words[1]);
      }
      break;
    }
    case WM_DESTROY:
      ReleaseRecord(window);
      return 0;
  }
  return DefWindowProcA(window, message, wp, lp);
}
