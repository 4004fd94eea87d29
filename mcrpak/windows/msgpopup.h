// The message popup: a small child window of the host window, one per
// connection, found by the HostContext it stores in window word 0.
#pragma once
#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "../bridge/boundary.h"
#include "../bridge/owners.h"

namespace mcr {

constexpr char kPopupClass[] = "MsgPopupWndClass";
constexpr int kPopupId = 10010;  // the popup's child id, and the id of its timer
constexpr UINT_PTR kPopupTimer = 10010;
constexpr UINT kPopupTimerPeriod = 250;  // eight frames make one two-second turn
constexpr int kPopupIdLine1 = 10011;
constexpr int kPopupIdLine2 = 10012;
constexpr int kPopupIdIcon = 10013;
// Line 3 has an id of its own so that its updates and the animation of the
// icon never reach the same control.
constexpr int kPopupIdLine3 = 10014;

constexpr int kPopupLineBytes = 133;
constexpr int kPopupLineMax = kPopupLineBytes - 1;
constexpr int kPopupFrames = 8;

constexpr int kPopupIconClock = 0;
constexpr int kPopupIconBar = 1;
constexpr int kPopupIconNone = -1;

// One per popup, in a movable, zero-initialised global-memory block whose
// handle is window word 4. The fields follow one another without gaps; the
// block is 616 bytes in the 32-bit build, of which the fields fill 608.
#pragma pack(push, 1)
struct PopupRecord {
  std::int32_t autoClose;     // 1: counts down and closes itself
  std::int32_t timerRunning;
  std::int32_t remaining;     // milliseconds left, or -1
  std::int32_t lineGiven1;    // whether the latest call gave the line
  char line1[kPopupLineBytes];
  std::int32_t lineGiven2;
  char line2[kPopupLineBytes];
  std::int32_t lineGiven3;
  char line3[kPopupLineBytes];
  std::int32_t caption;  // 1: the window has a caption
  char title[kPopupLineBytes];
  std::int32_t iconKind;  // kPopupIconClock, kPopupIconBar or kPopupIconNone
  std::uint32_t lastTick;
  std::uint32_t currentTick;
  std::int32_t frame;  // the frame shown next
  HICON icons[kPopupFrames];
  std::uint8_t unused[8];
};
#pragma pack(pop)

#if defined(_WIN32) && !defined(_WIN64)
static_assert(offsetof(PopupRecord, line1) == 16 && offsetof(PopupRecord, lineGiven2) == 149 &&
              offsetof(PopupRecord, line2) == 153 && offsetof(PopupRecord, lineGiven3) == 286 &&
              offsetof(PopupRecord, line3) == 290 && offsetof(PopupRecord, caption) == 423 &&
              offsetof(PopupRecord, title) == 427 && offsetof(PopupRecord, iconKind) == 560 &&
              offsetof(PopupRecord, lastTick) == 564 && offsetof(PopupRecord, frame) == 572 &&
              offsetof(PopupRecord, icons) == 576 && sizeof(PopupRecord) == 616,
              "PopupRecord layout");
#endif

// Window words: the owning HostContext and the record handle.
constexpr int kPopupWordContext = 0;
constexpr int kPopupWordRecord = sizeof(LONG_PTR);

// What the window procedure receives as creation data. The window takes the
// record (and clears the field) as soon as it exists; a record still here
// after a failed creation is the creator's to free.
struct PopupCreation {
  HostContext ctx;
  HGLOBAL record;
};

// The record of a popup (window word 4), or null.
HGLOBAL PopupRecordHandle(HWND popup);

using LockedRecord = GlobalLocked<PopupRecord>;

// "TIMER_ICON_1" .. "BAR_ICON_8" for frame 0 to 7 of an icon kind; "" for
// no icon.
std::string PopupIconName(int kind, int frame);

// This connection's popup among the host window's children, or null.
HWND FindPopup(HWND host, HostContext ctx);
// Stops the popup's timer, frees its icons and record, and destroys it.
void ClosePopup(HWND popup);

}  // namespace mcr

extern "C" LRESULT CALLBACK MsgPopupWndProc(HWND, UINT, WPARAM, LPARAM);
extern "C" BOOL CALLBACK FindMsgPopupWindow(HWND window, LPARAM search);
