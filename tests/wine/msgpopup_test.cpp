// The message popup as a macro meets it: the window and its controls, the
// countdown and animation the host's message loop drives, updates, one popup
// a connection, and the icons every way of closing it destroys. (The seconds'
// limits are the sweep's; the handles, windows and memory of repeated popups,
// a refused one included, the resource loop's.)
#include <windows.h>

#include <cstring>
#include <set>

#include "dialogs.h"
#include "leaks.h"
#include "testhost.h"

namespace mcrtest {
namespace {

constexpr int kLine1 = 10011, kLine2 = 10012, kIcon = 10013, kLine3 = 10014;
// Offsets in the popup record (window word 4); the icon handles are 64-bit here.
constexpr std::size_t kAutoClose = 0, kRemaining = 8, kLine1Text = 16, kIcons = 576;

Bytes Record(HWND popup) {
  Bytes b;
  auto block = reinterpret_cast<HGLOBAL>(GetWindowLongPtrA(popup, sizeof(LONG_PTR)));
  if (const void* p = GlobalLock(block)) b.put(0, p, GlobalSize(block)), GlobalUnlock(block);
  return b;
}
std::vector<HICON> Frames(HWND popup) {
  std::vector<HICON> icons(8);
  const Bytes r = Record(popup);
  if (r.size() >= kIcons + 8 * sizeof(HICON)) std::memcpy(icons.data(), r.data().data() + kIcons, 8 * sizeof(HICON));
  return icons;
}

std::vector<HWND> Popups(HWND host) {
  std::vector<HWND> found;
  char name[64];
  for (HWND c = GetWindow(host, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
    if (GetClassNameA(c, name, sizeof name) && std::strcmp(name, "MsgPopupWndClass") == 0) found.push_back(c);
  return found;
}
HWND OnlyPopup(Host& host) {  // null unless there is exactly one
  std::vector<HWND> all = Popups(host.window());
  return all.size() == 1 ? all[0] : nullptr;
}
std::string Lines(HWND p) {
  return DialogWindow(p).itemText(kLine1) + "|" + DialogWindow(p).itemText(kLine2) + "|" + DialogWindow(p).itemText(kLine3);
}
HICON IconShown(HWND popup) { return reinterpret_cast<HICON>(SendDlgItemMessageA(popup, kIcon, STM_GETICON, 0, 0)); }

template <typename Done>
bool PumpUntil(Host& host, DWORD ms, Done done) {
  for (DWORD start = GetTickCount(); !done(); host.pump(10))
    if (GetTickCount() - start > ms) return false;
  return true;
}

Outcome Popup(Host& host, Arg seconds, Arg l1 = Omit(), Arg l2 = Omit(), Arg l3 = Omit(), Arg icon = Omit()) {
  return host.call("MsgPopup", {seconds, l1, l2, l3, S("unused"), icon});
}

// Three lines and an icon, centred above the middle of the host window, in
// the connection's font, which outlives the popup and goes at disconnect;
// lines cut at 132 bytes without splitting a character (the record too,
// where the control would hide a lone first byte); an update changes the
// lines given and leaves the countdown alone, whatever seconds it gives.
TEST(MsgPopup, WindowLinesAndUpdates) {
  auto host = OpenHost();
  ASSERT_EQ(Popup(*host, N(-1), S("一行目"), S("二行目"), S("三行目"), N(0)).status, 0);
  HWND popup = OnlyPopup(*host);
  const LONG style = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_DLGFRAME;
  EXPECT_EQ(GetWindowLongA(popup, GWL_STYLE) & (style | WS_BORDER), style);
  RECT client, r;
  GetClientRect(host->window(), &client);
  GetWindowRect(popup, &r);
  MapWindowPoints(nullptr, host->window(), reinterpret_cast<POINT*>(&r), 2);
  const int top = (client.bottom - 47) / 2 - 2 * GetSystemMetrics(SM_CYCAPTION);
  const RECT centred{(client.right - 248) / 2, top, (client.right - 248) / 2 + 248, top + 47};
  EXPECT_TRUE(EqualRect(&r, &centred)) << r.left << "," << r.top << " " << r.right << "," << r.bottom;
  EXPECT_EQ(U(Lines(popup)), "一行目|二行目|三行目");
  EXPECT_EQ(GetWindowLongA(GetDlgItem(popup, kIcon), GWL_STYLE) & SS_TYPEMASK, SS_ICON);
  auto font = reinterpret_cast<HFONT>(SendDlgItemMessageA(popup, kLine1, WM_GETFONT, 0, 0));
  for (int id : {kLine2, kLine3}) EXPECT_EQ(reinterpret_cast<HFONT>(SendDlgItemMessageA(popup, id, WM_GETFONT, 0, 0)), font);
  LOGFONTA described{};
  ASSERT_EQ(GetObjectA(font, sizeof described, &described), static_cast<int>(sizeof described));
  EXPECT_EQ(U(described.lfFaceName) + " " + std::to_string(described.lfHeight), "ＭＳ ゴシック 13");
  const std::string kanji = A("あ"), x130(130, 'x');  // two bytes
  for (auto [given, shown] : {std::pair{x130 + "xx", x130 + "xx"}, {x130 + "xxx", x130 + "xx"},
                              {x130 + kanji, x130 + kanji}, {x130 + "x" + kanji, x130 + "x"}}) {
    ASSERT_EQ(Popup(*host, Omit(), Value::Str(given), Value::Str(given), Value::Str(given)).status, 0);
    EXPECT_EQ(Lines(popup), shown + "|" + shown + "|" + shown) << given.size();
    EXPECT_STREQ(Record(popup).getText(kLine1Text, 133).c_str(), shown.c_str());
  }
  ASSERT_EQ(Popup(*host, N(3601), Omit(), S("zwei"), Omit(), N(1)).status, 0);
  ASSERT_EQ(Popup(*host, N(30), Omit(), Omit(), S("drei")).status, 0);
  const Bytes record = Record(popup);
  EXPECT_EQ(std::to_string(record.getI32(kAutoClose)) + " " + std::to_string(record.getI32(kRemaining)) + " " + Lines(popup),
            "0 -1 " + x130 + "x|zwei|drei");
  auto block = reinterpret_cast<HGLOBAL>(GetWindowLongPtrA(popup, sizeof(LONG_PTR)));
  ASSERT_EQ(Popup(*host, N(0.3)).status, 0);
  EXPECT_TRUE(Popups(host->window()).empty());
  EXPECT_EQ(GlobalSize(block), 0u) << "the record goes with the popup";
  EXPECT_EQ(host->server(8), 0);
  EXPECT_EQ(GetObjectType(font), static_cast<DWORD>(OBJ_FONT));
  host->close();
  EXPECT_EQ(GetObjectType(font), 0u);
}

// A new popup's seconds and icon kind, each rounded: the countdown in its
// record before any timer event, and the frames it loads (0 the clock, 1
// the bar, anything else none).
TEST(MsgPopup, SecondsAndIconKindOfANewPopup) {
  auto host = OpenHost();
  struct Case { double seconds; Arg kind; std::int32_t remaining; const char* first; } cases[] = {
      {0.4, N(0), 0, nullptr},  // nothing shown
      {-1, N(0), -1, "TIMER_ICON_1"}, {0.5, N(0.5), 1000, "BAR_ICON_1"}, {3600.4, N(1.5), 3600000, nullptr},
      {-1, Omit(), -1, nullptr}};
  for (const Case& c : cases) {
    SCOPED_TRACE(&c - cases);
    EXPECT_TRUE(Popup(*host, N(c.seconds), S("a"), Omit(), Omit(), c.kind).raised.empty());
    ASSERT_EQ(Popups(host->window()).size(), c.remaining ? 1u : 0u);
    if (!c.remaining) continue;
    HWND popup = Popups(host->window())[0];
    EXPECT_EQ(std::pair(Record(popup).getI32(kAutoClose), Record(popup).getI32(kRemaining)),
              std::pair(c.remaining > 0 ? 1 : 0, c.remaining)) << "closes by itself, and when";
    std::vector<HICON> icons = Frames(popup);
    std::set<HICON> distinct(icons.begin(), icons.end());
    distinct.erase(nullptr);
    EXPECT_EQ(distinct.size(), c.first ? 8u : 0u) << "frames loaded";
    EXPECT_EQ(GetDlgItem(popup, kIcon) != nullptr, c.first != nullptr);
    EXPECT_EQ(IconShown(popup), c.first ? LoadIconA(host->library(), c.first) : nullptr);
    ASSERT_EQ(Popup(*host, N(0)).status, 0);
    for (HICON icon : icons) EXPECT_FALSE(IconAlive(icon)) << "closed by 0 seconds";
  }
}

// The resource's first frame, then the record's frames in order; closed
// when its time is up, by the time that passed, not the timer events (a
// host that dispatches late still sees it close on time).
TEST(MsgPopup, AnimatesEightFramesAndClosesWhenItsTimeIsUp) {
  auto host = OpenHost();
  ASSERT_EQ(Popup(*host, N(3), S("counting"), Omit(), Omit(), N(1)).status, 0);
  HWND popup = OnlyPopup(*host);
  std::vector<HICON> frames = Frames(popup), seen;
  PumpUntil(*host, 2600, [&] {
    if (seen.empty() || seen.back() != IconShown(popup)) seen.push_back(IconShown(popup));
    return false;
  });
  ASSERT_GE(seen.size(), 9u);
  EXPECT_EQ(seen[0], LoadIconA(host->library(), "BAR_ICON_1"));
  EXPECT_EQ(std::vector<HICON>(seen.begin() + 1, seen.begin() + 9), frames);
  ASSERT_TRUE(IsWindow(popup)) << "closed early";
  EXPECT_TRUE(PumpUntil(*host, Scaled(3000), [&] { return !IsWindow(popup); }));
  for (HICON icon : frames) EXPECT_FALSE(IconAlive(icon));
  ASSERT_EQ(Popup(*host, N(1), S("late")).status, 0);
  popup = OnlyPopup(*host);
  Sleep(1300);
  EXPECT_TRUE(PumpUntil(*host, Scaled(400), [&] { return !IsWindow(popup); }));
}

// Each connection has its own popup; the end of one connection (code 8) or
// of the macro (code 5) closes that one's, and its frames go with it: icons
// are what the resource loop cannot count under Wine.
TEST(MsgPopup, EachConnectionHasItsOwnPopup) {
  auto first = OpenHost();
  mcrhost::HostOptions options;
  options.sharedWindow = first->window();
  auto second = OpenHost(options);
  ASSERT_EQ(Popup(*first, N(-1), S("first"), Omit(), Omit(), N(0)).status, 0);
  HWND mine = OnlyPopup(*first);
  std::vector<HICON> frames = Frames(mine);
  EXPECT_EQ(Popup(*second, N(0)).status, 0) << "the other's popup is not this connection's";
  EXPECT_EQ(Popup(*second, N(-1), S("second"), Omit(), Omit(), N(1)).status, 0);
  ASSERT_EQ(Popups(first->window()).size(), 2u);
  EXPECT_EQ(Popup(*second, Omit(), S("second, changed")).status, 0);
  EXPECT_EQ(Lines(mine), "first||");
  EXPECT_EQ(first->server(8), 0);
  HWND left = OnlyPopup(*second);
  EXPECT_EQ(Lines(left), "second, changed||");
  for (HICON icon : Frames(left)) frames.push_back(icon);
  EXPECT_EQ(second->server(5), 0);
  EXPECT_TRUE(Popups(first->window()).empty());
  for (HICON icon : frames) EXPECT_FALSE(IconAlive(icon));
}

}  // namespace
}  // namespace mcrtest
