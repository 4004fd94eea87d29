// The message popup: a small child window of the host window, one per
// connection, found by the HostContext it stores in window word 0.
#pragma once
#include <windows.h>

#include <cstdint>

#include "../bridge/boundary.h"

namespace mcr {

constexpr char kPopupClass[] = "MsgPopupWndClass";
constexpr UINT_PTR kPopupTimer = 10010;
constexpr int kPopupLineBytes = 133;

// One per popup, in a movable global-memory block (window word 4).
struct PopupRecord {
  std::int32_t autoClose;
  std::int32_t timerRunning;
  std::int32_t remaining;
  std::int32_t lineGiven1;
  char line1[kPopupLineBytes];
  std::int32_t lineGiven2;
  char line2[kPopupLineBytes];
  std::int32_t lineGiven3;
  char line3[kPopupLineBytes];
  std::int32_t caption;
  char title[kPopupLineBytes];
  std::int32_t iconKind;
  std::uint32_t lastTick;
  std::uint32_t currentTick;
  std::int32_t frame;
  HICON icons[8];
};

// Window words: the owning HostContext and the record handle.
constexpr int kPopupWordContext = 0;
constexpr int kPopupWordRecord = sizeof(LONG_PTR);

void RegisterPopupClass(HINSTANCE instance);
// This connection's popup among the host window's children, or null.
HWND FindPopup(HWND host, HostContext ctx);
// Stops the popup's timer, frees its icons and record, and destroys it.
void ClosePopup(HWND popup);

}  // namespace mcr

extern "C" LRESULT CALLBACK MsgPopupWndProc(HWND, UINT, WPARAM, LPARAM);
extern "C" BOOL CALLBACK FindMsgPopupWindow(HWND window, LPARAM search);
