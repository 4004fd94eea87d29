// The message popup as a macro meets it: the window and its controls, the
// countdown and the animation driven by the host's message loop, updates of
// an open popup, one popup per connection, and the icons every way of
// closing it destroys. (The seconds' limits are the sweep's, from the
// word's plan; the handles, windows and memory of repeated popups, a refused
// one included, the resource loop's.)
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

// n bytes of the popup record (window word 4) from offset.
std::string RecordBytes(HWND popup, std::size_t offset, std::size_t n) {
  auto block = reinterpret_cast<HGLOBAL>(GetWindowLongPtrA(popup, sizeof(LONG_PTR)));
  const auto* p = static_cast<const char*>(GlobalLock(block));
  if (!p) return std::string(n, '\xEE');
  std::string bytes(p + offset, n);
  GlobalUnlock(block);
  return bytes;
}

std::int32_t Field(HWND popup, std::size_t offset) {
  std::int32_t v;
  std::memcpy(&v, RecordBytes(popup, offset, sizeof v).data(), sizeof v);
  return v;
}

std::vector<HICON> Frames(HWND popup) {
  std::vector<HICON> icons(8);
  std::memcpy(icons.data(), RecordBytes(popup, kIcons, 8 * sizeof(HICON)).data(), 8 * sizeof(HICON));
  return icons;
}

std::vector<HWND> Popups(HWND host) {
  std::vector<HWND> found;
  char name[64];
  for (HWND c = GetWindow(host, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
    if (GetClassNameA(c, name, sizeof name) && std::strcmp(name, "MsgPopupWndClass") == 0) found.push_back(c);
  return found;
}

HWND OnlyPopup(Host& host) {
  std::vector<HWND> all = Popups(host.window());
  EXPECT_EQ(all.size(), 1u);
  return all.empty() ? nullptr : all[0];
}

std::string Text(HWND popup, int id) { return DialogWindow(popup).itemText(id); }

HICON IconShown(HWND popup) {
  return reinterpret_cast<HICON>(SendDlgItemMessageA(popup, kIcon, STM_GETICON, 0, 0));
}

// Pumps the host's messages until done() or the time is up.
template <typename Done>
bool PumpUntil(Host& host, DWORD ms, Done done) {
  for (DWORD start = GetTickCount(); !done(); host.pump(10))
    if (GetTickCount() - start > ms) return false;
  return true;
}

Outcome Popup(Host& host, Arg seconds, Arg l1 = Omit(), Arg l2 = Omit(), Arg l3 = Omit(), Arg icon = Omit()) {
  return host.call("MsgPopup", {seconds, l1, l2, l3, S("unused"), icon});
}

TEST(MsgPopup, ShowsThreeLinesAndAnIconCentredAboveTheMiddleOfTheHostWindow) {
  auto host = OpenHost();
  ASSERT_EQ(Popup(*host, N(-1), S("一行目"), S("二行目"), S("三行目"), N(0)).status, 0);
  HWND popup = OnlyPopup(*host);
  ASSERT_NE(popup, nullptr);
  EXPECT_EQ(GetDlgCtrlID(popup), 10010);
  const LONG style = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_DLGFRAME;
  EXPECT_EQ(GetWindowLongA(popup, GWL_STYLE) & (style | WS_BORDER), style);
  RECT client, r;
  GetClientRect(host->window(), &client);
  GetWindowRect(popup, &r);
  MapWindowPoints(nullptr, host->window(), reinterpret_cast<POINT*>(&r), 2);
  const int top = (client.bottom - 47) / 2 - 2 * GetSystemMetrics(SM_CYCAPTION);
  const RECT centred{(client.right - 248) / 2, top, (client.right - 248) / 2 + 248, top + 47};
  EXPECT_TRUE(EqualRect(&r, &centred)) << r.left << "," << r.top << " " << r.right << "," << r.bottom;

  EXPECT_EQ(U(Text(popup, kLine1) + "|" + Text(popup, kLine2) + "|" + Text(popup, kLine3)), "一行目|二行目|三行目");
  EXPECT_EQ(GetWindowLongA(GetDlgItem(popup, kIcon), GWL_STYLE) & SS_TYPEMASK, SS_ICON);

  // Every line has the connection's font, which outlives the popup and goes at disconnect.
  auto font = reinterpret_cast<HFONT>(SendDlgItemMessageA(popup, kLine1, WM_GETFONT, 0, 0));
  for (int id : {kLine2, kLine3})
    EXPECT_EQ(reinterpret_cast<HFONT>(SendDlgItemMessageA(popup, id, WM_GETFONT, 0, 0)), font);
  LOGFONTA described{};
  ASSERT_EQ(GetObjectA(font, sizeof described, &described), static_cast<int>(sizeof described));
  EXPECT_EQ(described.lfHeight, 13);
  EXPECT_EQ(U(described.lfFaceName), "ＭＳ ゴシック");
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
    Outcome o = Popup(*host, N(c.seconds), S("a"), Omit(), Omit(), c.kind);
    EXPECT_EQ(o.status, 0);
    EXPECT_TRUE(o.raised.empty());
    ASSERT_EQ(Popups(host->window()).size(), c.remaining ? 1u : 0u);
    if (!c.remaining) continue;
    HWND popup = Popups(host->window())[0];
    EXPECT_EQ(Field(popup, kAutoClose), c.remaining > 0 ? 1 : 0);
    EXPECT_EQ(Field(popup, kRemaining), c.remaining);
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

TEST(MsgPopup, LinesAreCutAt132BytesWithoutSplittingACharacter) {
  auto host = OpenHost();
  const std::string kanji = A("あ");  // two bytes
  struct Case { std::string given, shown; } cases[] = {
      {std::string(132, 'x'), std::string(132, 'x')},
      {std::string(133, 'x'), std::string(132, 'x')},
      {std::string(130, 'x') + kanji, std::string(130, 'x') + kanji},
      {std::string(131, 'x') + kanji, std::string(131, 'x')}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.given.size());
    Arg line = Value::Str(c.given);
    ASSERT_EQ(Popup(*host, N(-1), line, line, line).status, 0);
    HWND popup = OnlyPopup(*host);
    for (int id : {kLine1, kLine2, kLine3}) EXPECT_EQ(Text(popup, id), c.shown) << id;
    // The control would hide a lone first byte at the end; the record does not.
    EXPECT_STREQ(RecordBytes(popup, kLine1Text, 133).c_str(), c.shown.c_str());
    ASSERT_EQ(Popup(*host, N(0)).status, 0);
  }
}

TEST(MsgPopup, AnUpdateChangesTheGivenLinesAndLeavesTheCountdownAlone) {
  auto host = OpenHost();
  ASSERT_EQ(Popup(*host, N(30), S("one"), S("two"), S("three"), N(0)).status, 0);
  HWND popup = OnlyPopup(*host);
  host->pump(600);
  std::int32_t before = Field(popup, kRemaining);
  EXPECT_LT(before, 30000);
  // Seconds given to an open popup, whatever they are, leave its countdown alone.
  ASSERT_EQ(Popup(*host, N(3601), Omit(), S("zwei"), Omit(), N(1)).status, 0);
  ASSERT_EQ(Popup(*host, N(-1), Omit(), Omit(), S("drei")).status, 0);
  ASSERT_EQ(OnlyPopup(*host), popup);
  EXPECT_LE(Field(popup, kRemaining), before);
  EXPECT_GT(Field(popup, kRemaining), 25000);
  EXPECT_EQ(Field(popup, kAutoClose), 1);
  EXPECT_EQ(Text(popup, kLine1) + "," + Text(popup, kLine2) + "," + Text(popup, kLine3), "one,zwei,drei");
  ASSERT_EQ(Popup(*host, N(0.3)).status, 0);
  EXPECT_TRUE(Popups(host->window()).empty());
}

TEST(MsgPopup, AnimatesEightFramesAndClosesWhenItsTimeIsUp) {
  auto host = OpenHost();
  DWORD start = GetTickCount();
  ASSERT_EQ(Popup(*host, N(3), S("counting"), Omit(), Omit(), N(1)).status, 0);
  HWND popup = OnlyPopup(*host);
  std::vector<HICON> frames = Frames(popup);
  std::vector<HICON> seen;
  PumpUntil(*host, 2600, [&] {
    HICON shown = IconShown(popup);
    if (seen.empty() || seen.back() != shown) seen.push_back(shown);
    return false;
  });
  // The resource's first frame, then the record's frames in order.
  ASSERT_GE(seen.size(), 9u);
  EXPECT_EQ(seen[0], LoadIconA(host->library(), "BAR_ICON_1"));
  for (std::size_t i = 1; i < 9; ++i) EXPECT_EQ(seen[i], frames[i - 1]) << "frame " << i - 1;
  ASSERT_TRUE(IsWindow(popup));

  EXPECT_TRUE(PumpUntil(*host, 3000, [&] { return !IsWindow(popup); }));
  EXPECT_GE(GetTickCount() - start, 2900u);
  for (HICON icon : frames) EXPECT_FALSE(IconAlive(icon));
}

// The countdown counts the time that passed, not the timer events: a host
// that dispatches late still sees the popup close on time.
TEST(MsgPopup, CountdownRunsOnElapsedTime) {
  auto host = OpenHost();
  ASSERT_EQ(Popup(*host, N(1), S("late")).status, 0);
  HWND popup = OnlyPopup(*host);
  Sleep(1300);
  EXPECT_TRUE(PumpUntil(*host, 400, [&] { return !IsWindow(popup); }));
}

// Each connection has its own popup; the end of one connection (code 8) or
// of the macro (code 5) closes that one's, and its frames go with it: icons
// are what the resource loop cannot count under Wine.
TEST(MsgPopup, EachConnectionHasItsOwnPopup) {
  auto first = OpenHost();
  mcrhost::HostOptions options;
  options.sharedWindow = first->window();
  auto second = OpenHost(options);
  HWND window = first->window();

  ASSERT_EQ(Popup(*first, N(-1), S("first"), Omit(), Omit(), N(0)).status, 0);
  HWND mine = OnlyPopup(*first);
  std::vector<HICON> frames[] = {Frames(mine), {}};
  EXPECT_EQ(Popup(*second, N(0)).status, 0) << "the other's popup is not this connection's";
  EXPECT_EQ(Popup(*second, N(-1), S("second"), Omit(), Omit(), N(1)).status, 0);
  ASSERT_EQ(Popups(window).size(), 2u);
  EXPECT_EQ(Popup(*second, Omit(), S("second, changed")).status, 0);
  EXPECT_EQ(Text(mine, kLine1), "first");

  EXPECT_EQ(first->server(8), 0);
  std::vector<HWND> left = Popups(window);
  ASSERT_EQ(left.size(), 1u);
  EXPECT_NE(left[0], mine);
  EXPECT_EQ(Text(left[0], kLine1), "second, changed");
  frames[1] = Frames(left[0]);
  EXPECT_EQ(second->server(5), 0);
  EXPECT_TRUE(Popups(window).empty());
  for (const auto& icons : frames)
    for (HICON icon : icons) EXPECT_FALSE(IconAlive(icon));
}

// Without a host window no popup can be made, and its record goes.
TEST(MsgPopup, APopupThatCannotBeMadeLeavesNoRecord) {
  mcrhost::HostOptions options;
  options.createWindow = false;
  auto windowless = OpenHost(options);
  ASSERT_EQ(Popup(*windowless, N(5), S("a"), Omit(), Omit(), N(0)).status, 0);
  const std::size_t blocks = HeapBlockCount();
  for (int i = 0; i < 200; ++i) EXPECT_EQ(Popup(*windowless, N(5), S("a"), Omit(), Omit(), N(0)).status, 0);
  // A lost record would be one block a call; allow for the test's own.
  EXPECT_LT(HeapBlockCount(), blocks + 50);
}

}  // namespace
}  // namespace mcrtest
