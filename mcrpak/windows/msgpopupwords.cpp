// MsgPopup: the small message box a macro shows inside the host window while
// a long step runs: three lines, a clock or bar that moves, and a countdown
// after which it closes itself. Each connection has at most one; calling
// the word again changes the lines of the open popup or closes it.
#include <windows.h>

#include <cstring>

#include "../bridge/catalogue.h"
#include "../bridge/connection.h"
#include "../bridge/handlers.h"
#include "../bridge/hostops.h"
#include "../bridge/sjistext.h"
#include "msgpopup.h"

using namespace mcr;

namespace {

constexpr int kSecondsMin = -1;  // no countdown
constexpr int kSecondsMax = 3600;
constexpr DWORD kPopupStyle = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_DLGFRAME;
constexpr int kPopupWidth = 248;
constexpr int kPopupHeight = 47;


// A given line replaces the field's text, cut at the field's size without
// splitting a double-byte character; an omitted one leaves it as it is.
// Returns whether the line was given.
std::int32_t TakeLine(char (&field)[kPopupLineBytes], const char* text) {
  if (!text) return 0;
  std::string_view cut = CutBytes(text, kPopupLineMax);
  std::memcpy(field, cut.data(), cut.size());
  field[cut.size()] = '\0';
  return 1;
}

HWND AddControl(HWND popup, const char* text, DWORD style, int id, int x, int y, int cx, int cy) {
  return CreateWindowExA(0, "STATIC", text, WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | style, x, y, cx,
                         cy, popup, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), g_instance,
                         nullptr);
}

// Centred in the parent's client area, then raised by two caption heights
// so that it sits above the middle.
void Centre(HWND popup, HWND parent) {
  RECT area, r;
  GetClientRect(parent, &area);
  GetWindowRect(popup, &r);
  int cx = r.right - r.left, cy = r.bottom - r.top;
  int x = area.left + (area.right - area.left - cx) / 2;
  int y = area.top + (area.bottom - area.top - cy) / 2 - 2 * GetSystemMetrics(SM_CYCAPTION);
  SetWindowPos(popup, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// Creates the popup for the filled record; the record belongs to the window
// once it exists, and stays the caller's when creation fails (as it does
// without a host window: a child window needs its parent).
HWND CreatePopup(HWND host, HostContext ctx, GlobalBlock& owned) {
  char title[kPopupLineBytes];
  int height = kPopupHeight;
  {
    LockedRecord rec(owned.get());
    if (!rec) return nullptr;
    std::memcpy(title, rec->title, sizeof title);
    if (rec->caption) height += GetSystemMetrics(SM_CYCAPTION);
  }
  PopupCreation creation{ctx, owned.get()};
  HWND popup = CreateWindowExA(WS_EX_WINDOWEDGE | WS_EX_TOPMOST, kPopupClass, title, kPopupStyle, 500,
                               500, kPopupWidth, height, host,
                               reinterpret_cast<HMENU>(static_cast<INT_PTR>(kPopupId)), g_instance,
                               &creation);
  if (!creation.record) owned.release();
  LockedRecord rec(popup ? PopupRecordHandle(popup) : nullptr);
  if (!rec) return popup;
  Centre(popup, host);
  if (rec->iconKind != kPopupIconNone)
    AddControl(popup, PopupIconName(rec->iconKind, 0).c_str(), SS_ICON, kPopupIdIcon, 5, 5, 0, 0);
  HFONT font = ConnectionPopupFont(ctx);
  const struct {
    const char* text;
    int id, y;
  } lines[] = {{rec->line1, kPopupIdLine1, 2}, {rec->line2, kPopupIdLine2, 15}, {rec->line3, kPopupIdLine3, 28}};
  for (const auto& line : lines) {
    HWND control = AddControl(popup, line.text, SS_LEFT, line.id, 40, line.y, 200, 13);
    if (control && font) SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  }
  UpdateWindow(popup);
  ShowWindow(popup, SW_SHOW);
  return popup;
}

}  // namespace

MCR_COMMAND(MsgPopupProc) {
  Args in(ctx, args);
  HWND host = GetHostWindow(ctx);
  HWND popup = host ? FindPopup(host, ctx) : nullptr;
  // A new record is freed unless the window takes it.
  GlobalBlock owned = popup ? GlobalBlock() : GlobalBlock(GMEM_MOVEABLE | GMEM_ZEROINIT, sizeof(PopupRecord));
  HGLOBAL block = popup ? PopupRecordHandle(popup) : owned.get();
  if (!block) return Fail(ctx, kMsgNoGlobalMemory);

  NumberArg seconds = in.Number(1);
  std::int32_t count = seconds.Int();
  if (popup) {
    // An open popup keeps its countdown; only 0 closes it.
    if (seconds.given() && count == 0) {
      ClosePopup(popup);
      return 0;
    }
  } else {
    if (!seconds.given() || count < kSecondsMin || count > kSecondsMax)
      return FailOutOfRange(ctx, 1, kSecondsMin, kSecondsMax);
    if (count == 0) return 0;
  }

  {
    LockedRecord rec(block);
    if (!rec) return Fail(ctx, kMsgNoGlobalMemory);
    if (!popup) {
      rec->autoClose = count > 0;
      rec->remaining = count > 0 ? count * 1000 : -1;
    }
    rec->lineGiven1 = TakeLine(rec->line1, in.Text(2));
    rec->lineGiven2 = TakeLine(rec->line2, in.Text(3));
    rec->lineGiven3 = TakeLine(rec->line3, in.Text(4));
    in.Text(5);  // fetched, and of no use
    if (popup) {
      const struct {
        std::int32_t given;
        const char* text;
        int id;
      } lines[] = {{rec->lineGiven1, rec->line1, kPopupIdLine1},
                   {rec->lineGiven2, rec->line2, kPopupIdLine2},
                   {rec->lineGiven3, rec->line3, kPopupIdLine3}};
      for (const auto& line : lines)
        if (line.given) SetDlgItemTextA(popup, line.id, line.text);
    } else {
      // The zeroed record already has no caption, an empty title, frame 0
      // and no timer.
      std::int32_t kind = in.Number(6).Int(kPopupIconNone);
      rec->iconKind = kind == kPopupIconClock || kind == kPopupIconBar ? kind : kPopupIconNone;
    }
  }

  if (!popup) popup = CreatePopup(host, ctx, owned);
  if (popup) BringWindowToTop(popup);
  return 0;
}
