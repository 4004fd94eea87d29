// The message popup as a macro meets it: the window and its controls, the
// countdown and the animation driven by the host's message loop, updates of
// an open popup, the server codes that close it, one popup per connection,
// and nothing left behind by a thousand of them.
#include <windows.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <set>

#include "leaks.h"
#include "testhost.h"

namespace mcrtest {
namespace {

constexpr char kClass[] = "MsgPopupWndClass";
constexpr int kLine1 = 10011, kLine2 = 10012, kIcon = 10013, kLine3 = 10014;

// The popup record, read at its own offsets (64-bit: the icon handles widen).
constexpr std::size_t kAutoClose = 0, kRemaining = 8, kGiven1 = 12, kGiven2 = 149, kGiven3 = 286,
                      kIconKind = 560, kIcons = 576, kRecordBytes = 576 + 8 * sizeof(HICON);

struct Record {
  std::vector<unsigned char> bytes;
  std::int32_t at(std::size_t offset) const {
    std::int32_t v;
    std::memcpy(&v, &bytes[offset], sizeof v);
    return v;
  }
  std::vector<HICON> icons() const {
    std::vector<HICON> out(8);
    std::memcpy(out.data(), &bytes[kIcons], 8 * sizeof(HICON));
    return out;
  }
};

Record RecordOf(HWND popup) {
  auto block = reinterpret_cast<HGLOBAL>(GetWindowLongPtrA(popup, sizeof(LONG_PTR)));
  Record r;
  const auto* p = static_cast<const unsigned char*>(block ? GlobalLock(block) : nullptr);
  if (!p || GlobalSize(block) < kRecordBytes) {
    ADD_FAILURE() << "no popup record";
    r.bytes.assign(kRecordBytes, 0);
  } else {
    r.bytes.assign(p, p + kRecordBytes);
  }
  if (p) GlobalUnlock(block);
  return r;
}

std::vector<HWND> Popups(HWND host) {
  std::vector<HWND> found;
  for (HWND c = GetWindow(host, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
    char name[64] = {};
    GetClassNameA(c, name, sizeof name);
    if (std::strcmp(name, kClass) == 0) found.push_back(c);
  }
  return found;
}

HWND OnlyPopup(Host& host) {
  std::vector<HWND> all = Popups(host.window());
  EXPECT_EQ(all.size(), 1u);
  return all.empty() ? nullptr : all[0];
}

std::string Text(HWND popup, int id) {
  char text[300] = {};
  GetDlgItemTextA(popup, id, text, sizeof text);
  return text;
}

HICON IconShown(HWND popup) {
  return reinterpret_cast<HICON>(SendDlgItemMessageA(popup, kIcon, STM_GETICON, 0, 0));
}

// Pumps the host's messages until done() or the time is up.
template <typename Done>
bool PumpUntil(Host& host, DWORD ms, Done done) {
  DWORD start = GetTickCount();
  while (!done()) {
    if (GetTickCount() - start > ms) return false;
    host.pump(10);
  }
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
  LONG style = GetWindowLongA(popup, GWL_STYLE);
  const LONG want = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_DLGFRAME;
  EXPECT_EQ(style & want, want);
  EXPECT_FALSE(style & WS_CAPTION & ~WS_DLGFRAME) << "no caption";
  char title[8] = "x";
  GetWindowTextA(popup, title, sizeof title);
  EXPECT_STREQ(title, "");

  RECT client, r;
  GetClientRect(host->window(), &client);
  GetWindowRect(popup, &r);
  MapWindowPoints(nullptr, host->window(), reinterpret_cast<POINT*>(&r), 2);
  EXPECT_EQ(r.right - r.left, 248);
  EXPECT_EQ(r.bottom - r.top, 47);
  EXPECT_EQ(r.left, (client.right - 248) / 2);
  EXPECT_EQ(r.top, (client.bottom - 47) / 2 - 2 * GetSystemMetrics(SM_CYCAPTION));

  struct Control { int id; const char* text; RECT at; } controls[] = {
      {kLine1, "一行目", {40, 2, 240, 15}}, {kLine2, "二行目", {40, 15, 240, 28}},
      {kLine3, "三行目", {40, 28, 240, 41}}};
  LOGFONTA font{};
  HFONT shared = nullptr;
  for (const Control& c : controls) {
    SCOPED_TRACE(c.id);
    HWND w = GetDlgItem(popup, c.id);
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(U(Text(popup, c.id)), c.text);
    GetWindowRect(w, &r);
    MapWindowPoints(nullptr, popup, reinterpret_cast<POINT*>(&r), 2);
    EXPECT_TRUE(EqualRect(&r, &c.at)) << r.left << "," << r.top << " " << r.right << "," << r.bottom;
    EXPECT_TRUE(GetWindowLongA(w, GWL_STYLE) & WS_CLIPSIBLINGS);
    auto f = reinterpret_cast<HFONT>(SendMessageA(w, WM_GETFONT, 0, 0));
    ASSERT_NE(f, nullptr) << "the connection's font";
    if (shared) {
      EXPECT_EQ(f, shared);
    }
    shared = f;
  }
  ASSERT_EQ(GetObjectA(shared, sizeof font, &font), static_cast<int>(sizeof font));
  EXPECT_EQ(font.lfHeight, 13);
  EXPECT_EQ(U(font.lfFaceName), "ＭＳ ゴシック");

  HWND icon = GetDlgItem(popup, kIcon);
  ASSERT_NE(icon, nullptr);
  EXPECT_EQ(GetWindowLongA(icon, GWL_STYLE) & SS_TYPEMASK, SS_ICON);
  GetWindowRect(icon, &r);
  MapWindowPoints(nullptr, popup, reinterpret_cast<POINT*>(&r), 2);
  EXPECT_EQ(r.left, 5);
  EXPECT_EQ(r.top, 5);
  EXPECT_EQ(r.right - r.left, 32) << "sized by the icon";

  // The font belongs to the connection: closing the popup keeps it,
  // disconnecting deletes it.
  EXPECT_EQ(host->server(8), 0);
  EXPECT_EQ(GetObjectType(shared), static_cast<DWORD>(OBJ_FONT));
  host->close();
  EXPECT_EQ(GetObjectType(shared), 0u);
}

TEST(MsgPopup, SecondsOfANewPopup) {
  auto host = OpenHost();
  const std::string range = Msg(1011, A(Label(1)).c_str(), -1, 3600);
  constexpr std::int32_t kRefused = -100, kNothing = -200;  // else: the milliseconds left
  struct Case { Arg seconds; std::int32_t remaining; } cases[] = {
      {Omit(), kRefused}, {N(-2), kRefused}, {N(3601), kRefused}, {N(-1.5), kRefused},
      {N(3600.5), kRefused}, {N(std::nan("")), kRefused}, {N(0), kNothing}, {N(0.4), kNothing},
      {N(-0.4), kNothing}, {N(-1), -1}, {N(-1.4), -1}, {N(1), 1000}, {N(0.5), 1000}, {N(3600.4), 3600000}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.seconds ? std::to_string(c.seconds->number) : "omitted");
    Outcome o = Popup(*host, c.seconds, S("a"));
    if (c.remaining == kRefused) {
      EXPECT_EQ(o.status, 1);
      ASSERT_NE(o.error(), nullptr);
      EXPECT_EQ(*o.error(), range);
    } else {
      EXPECT_EQ(o.status, 0);
      EXPECT_TRUE(o.raised.empty());
    }
    const bool shown = c.remaining != kRefused && c.remaining != kNothing;
    std::vector<HWND> popups = Popups(host->window());
    ASSERT_EQ(popups.size(), shown ? 1u : 0u);
    if (!shown) continue;
    Record rec = RecordOf(popups[0]);  // no timer event has come yet
    EXPECT_EQ(rec.at(kAutoClose), c.remaining > 0 ? 1 : 0);
    EXPECT_EQ(rec.at(kRemaining), c.remaining);
    ASSERT_EQ(Popup(*host, N(0)).status, 0);
    EXPECT_TRUE(Popups(host->window()).empty());
  }
}

TEST(MsgPopup, IconKindTakesZeroOrOneAfterRoundingAndNothingElse) {
  auto host = OpenHost();
  struct Case { Arg kind; const char* first; } cases[] = {
      {N(0), "TIMER_ICON_1"}, {N(1), "BAR_ICON_1"}, {N(-0.4), "TIMER_ICON_1"}, {N(0.5), "BAR_ICON_1"},
      {N(1.4), "BAR_ICON_1"}, {N(1.5), nullptr}, {N(5), nullptr}, {N(-1), nullptr}, {N(-2), nullptr},
      {Omit(), nullptr}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.kind ? std::to_string(c.kind->number) : "omitted");
    ASSERT_EQ(Popup(*host, N(-1), S("a"), S("b"), S("c"), c.kind).status, 0);
    HWND popup = OnlyPopup(*host);
    ASSERT_NE(popup, nullptr);
    Record rec = RecordOf(popup);
    std::vector<HICON> icons = rec.icons();
    if (c.first) {
      EXPECT_EQ(rec.at(kIconKind), c.first[0] == 'T' ? 0 : 1);
      EXPECT_EQ(IconShown(popup), LoadIconA(host->library(), c.first));
      EXPECT_EQ(std::set<HICON>(icons.begin(), icons.end()).size(), 8u) << "eight frames loaded";
      EXPECT_EQ(icons.end(), std::find(icons.begin(), icons.end(), nullptr));
    } else {
      EXPECT_EQ(rec.at(kIconKind), -1);
      EXPECT_EQ(GetDlgItem(popup, kIcon), nullptr);
      EXPECT_EQ(std::count(icons.begin(), icons.end(), nullptr), 8);
    }
    EXPECT_EQ(Text(popup, kLine3), "c");
    ASSERT_EQ(Popup(*host, N(0)).status, 0);
  }
}

TEST(MsgPopup, LinesAreCutAt132BytesWithoutSplittingACharacter) {
  auto host = OpenHost();
  const std::string kanji = A("あ");  // two bytes
  struct Case { std::string given, shown; } cases[] = {
      {std::string(132, 'x'), std::string(132, 'x')},
      {std::string(133, 'x'), std::string(132, 'x')},
      {std::string(300, 'x'), std::string(132, 'x')},
      {std::string(130, 'x') + kanji, std::string(130, 'x') + kanji},
      {std::string(131, 'x') + kanji, std::string(131, 'x')},
      {"", ""}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.given.size());
    Arg line = Value::Str(c.given);
    ASSERT_EQ(Popup(*host, N(-1), line, line, line).status, 0);
    HWND popup = OnlyPopup(*host);
    for (int id : {kLine1, kLine2, kLine3}) EXPECT_EQ(Text(popup, id), c.shown) << id;
    // An update takes the same cut.
    ASSERT_EQ(Popup(*host, Omit(), Omit(), S("-")).status, 0);
    ASSERT_EQ(Popup(*host, Omit(), Omit(), line).status, 0);
    EXPECT_EQ(Text(popup, kLine2), c.shown);
    ASSERT_EQ(Popup(*host, N(0)).status, 0);
  }
}

TEST(MsgPopup, AnUpdateChangesTheGivenLinesAndLeavesTheCountdownAlone) {
  auto host = OpenHost();
  ASSERT_EQ(Popup(*host, N(30), S("one"), S("two"), S("three"), N(0)).status, 0);
  HWND popup = OnlyPopup(*host);
  ASSERT_NE(popup, nullptr);
  host->pump(600);
  std::int32_t before = RecordOf(popup).at(kRemaining);
  EXPECT_LT(before, 30000);

  // Seconds and an icon kind given to an open popup change nothing.
  ASSERT_EQ(Popup(*host, N(5), Omit(), S("zwei"), Omit(), N(1)).status, 0);
  ASSERT_EQ(OnlyPopup(*host), popup);
  Record rec = RecordOf(popup);
  EXPECT_LE(rec.at(kRemaining), before);
  EXPECT_GT(rec.at(kRemaining), 25000);
  EXPECT_EQ(rec.at(kIconKind), 0);
  EXPECT_EQ(rec.at(kGiven1), 0);
  EXPECT_EQ(rec.at(kGiven2), 1);
  EXPECT_EQ(rec.at(kGiven3), 0);
  EXPECT_EQ(Text(popup, kLine1), "one");
  EXPECT_EQ(Text(popup, kLine2), "zwei");
  EXPECT_EQ(Text(popup, kLine3), "three");

  // Line 3 reaches its text, and the icon keeps animating.
  ASSERT_EQ(Popup(*host, N(-1), Omit(), Omit(), S("drei")).status, 0);
  EXPECT_EQ(Text(popup, kLine3), "drei");
  EXPECT_EQ(Text(popup, kLine2), "zwei");
  std::vector<HICON> frames = RecordOf(popup).icons();
  EXPECT_TRUE(PumpUntil(*host, 1000, [&] { return IconShown(popup) == frames[3]; }));
  EXPECT_EQ(RecordOf(popup).at(kAutoClose), 1);

  ASSERT_EQ(Popup(*host, N(0.3)).status, 0);
  EXPECT_TRUE(Popups(host->window()).empty());
  for (HICON icon : frames) EXPECT_FALSE(IconAlive(icon));
}

TEST(MsgPopup, AnimatesEightFramesAndClosesWhenItsTimeIsUp) {
  auto host = OpenHost();
  DWORD start = GetTickCount();
  ASSERT_EQ(Popup(*host, N(3), S("counting"), Omit(), Omit(), N(1)).status, 0);
  HWND popup = OnlyPopup(*host);
  ASSERT_NE(popup, nullptr);
  std::vector<HICON> frames = RecordOf(popup).icons();
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

TEST(MsgPopup, ServerCodesFiveAndEightCloseIt) {
  auto host = OpenHost();
  for (std::uint32_t code : {5u, 8u}) {
    SCOPED_TRACE(code);
    EXPECT_EQ(host->server(code), 0) << "nothing open";
    ASSERT_EQ(Popup(*host, N(60), S("a"), Omit(), Omit(), N(0)).status, 0);
    HWND popup = OnlyPopup(*host);
    std::vector<HICON> frames = RecordOf(popup).icons();
    EXPECT_EQ(host->server(code), 0);
    EXPECT_FALSE(IsWindow(popup));
    for (HICON icon : frames) EXPECT_FALSE(IconAlive(icon));
  }
}

TEST(MsgPopup, EachConnectionHasItsOwnPopup) {
  auto first = OpenHost();
  mcrhost::HostOptions options;
  options.sharedWindow = first->window();
  auto second = OpenHost(options);
  HWND window = first->window();

  ASSERT_EQ(Popup(*first, N(-1), S("first")).status, 0);
  HWND mine = OnlyPopup(*first);
  EXPECT_EQ(Popup(*second, N(0)).status, 0) << "the other's popup is not this connection's";
  EXPECT_EQ(Popup(*second, N(-1), S("second")).status, 0);
  ASSERT_EQ(Popups(window).size(), 2u);
  EXPECT_EQ(Popup(*second, Omit(), S("second, changed")).status, 0);
  EXPECT_EQ(Text(mine, kLine1), "first");

  EXPECT_EQ(first->server(8), 0);
  std::vector<HWND> left = Popups(window);
  ASSERT_EQ(left.size(), 1u);
  EXPECT_NE(left[0], mine);
  EXPECT_EQ(Text(left[0], kLine1), "second, changed");
  EXPECT_EQ(Popup(*first, N(0)).status, 0);
  EXPECT_EQ(Popups(window).size(), 1u);
  EXPECT_EQ(second->server(5), 0);
  EXPECT_TRUE(Popups(window).empty());
}

// Pixels of an icon's colour image, top row first, as 0x00RRGGBB.
std::vector<std::uint32_t> Pixels(HICON icon) {
  ICONINFO info{};
  if (!GetIconInfo(icon, &info)) return {};
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof bi.bmiHeader;
  bi.bmiHeader.biWidth = 32;
  bi.bmiHeader.biHeight = -32;
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  std::vector<std::uint32_t> pixels(32 * 32);
  HDC dc = GetDC(nullptr);
  GetDIBits(dc, info.hbmColor, 0, 32, pixels.data(), &bi, DIB_RGB_COLORS);
  ReleaseDC(nullptr, dc);
  DeleteObject(info.hbmColor);
  DeleteObject(info.hbmMask);
  return pixels;
}

TEST(MsgPopupResources, IconFramesShowAClockHandTurningAndABarFilling) {
  HMODULE lib = LoadLibraryA(LibraryPath().c_str());
  ASSERT_NE(lib, nullptr);
  int lastFill = 0;
  for (int frame = 1; frame <= 8; ++frame) {
    SCOPED_TRACE(frame);
    for (const char* stem : {"TIMER_ICON_", "BAR_ICON_"}) {
      std::string name = stem + std::to_string(frame);
      HRSRC group = FindResourceA(lib, name.c_str(), MAKEINTRESOURCEA(14));  // RT_GROUP_ICON
      ASSERT_NE(group, nullptr) << name;
      const auto* dir = static_cast<const unsigned char*>(LockResource(LoadResource(lib, group)));
      EXPECT_EQ(dir[4] | dir[5] << 8, 1) << name << ": one image";
      EXPECT_EQ(dir[6], 32);   // width
      EXPECT_EQ(dir[7], 32);   // height
      EXPECT_EQ(dir[8], 0);    // 256 colours
      EXPECT_EQ(dir[12], 8);   // bits per pixel
    }
    HICON clock = LoadIconA(lib, ("TIMER_ICON_" + std::to_string(frame)).c_str());
    HICON bar = LoadIconA(lib, ("BAR_ICON_" + std::to_string(frame)).c_str());
    // The hand (red) points an eighth of a turn further each frame, from twelve o'clock.
    double sx = 0, sy = 0;
    int red = 0;
    std::vector<std::uint32_t> px = Pixels(clock);
    ASSERT_EQ(px.size(), 32u * 32u);
    for (int i = 0; i < 32 * 32; ++i) {
      int r = px[i] >> 16 & 0xFF, g = px[i] >> 8 & 0xFF, b = px[i] & 0xFF;
      if (r > 150 && g < 100 && b < 100) sx += i % 32 + 0.5 - 16, sy += i / 32 + 0.5 - 16, ++red;
    }
    ASSERT_GT(red, 5);
    double degrees = std::atan2(sx, -sy) * 180 / 3.14159265358979;
    double expected = (frame - 1) * 45.0;
    EXPECT_NEAR(std::remainder(degrees - expected, 360.0), 0.0, 8.0) << degrees;
    // The bar (blue) grows each frame.
    int fill = 0;
    for (std::uint32_t p : Pixels(bar))
      if ((p & 0xFF) > 150 && (p >> 16 & 0xFF) < 120) ++fill;
    EXPECT_GT(fill, lastFill);
    lastFill = fill;
  }
  FreeLibrary(lib);
}

TEST(MsgPopupResources, AThousandPopupsLeaveNothingBehind) {
  auto host = OpenHost();
  // One round first, so that what the system makes once is already made.
  ASSERT_EQ(Popup(*host, N(5), S("a"), S("b"), S("c"), N(0)).status, 0);
  ASSERT_EQ(Popup(*host, N(0)).status, 0);
  host->pump(50);
  const std::size_t windows = ThreadWindowCount(), handles = ProcessHandleCount(),
                    blocks = HeapBlockCount();
  ASSERT_GT(handles, 0u);

  int alive = 0;
  for (int i = 0; i < 1000; ++i) {
    ASSERT_EQ(Popup(*host, N(5 + i % 3), S("line 1"), S("line 2"), S("line 3"), N(i % 3 - 1)).status, 0);
    EXPECT_EQ(Popup(*host, N(3601)).status, 0) << "an open popup takes any seconds";
    HWND popup = OnlyPopup(*host);
    std::vector<HICON> frames = RecordOf(popup).icons();
    switch (i % 3) {
      case 0: ASSERT_EQ(Popup(*host, N(0)).status, 0); break;
      case 1: host->server(5); break;
      default: host->server(8); break;
    }
    EXPECT_EQ(Popup(*host, N(-2)).status, 1);  // a refused new popup frees its record
    for (HICON icon : frames)
      if (icon && IconAlive(icon)) ++alive;
    if (i % 100 == 0) host->pump(0);
  }
  host->pump(50);
  EXPECT_EQ(alive, 0);
  EXPECT_TRUE(Popups(host->window()).empty());
  EXPECT_EQ(ThreadWindowCount(), windows);
  EXPECT_EQ(ProcessHandleCount(), handles);
  // A lost record would be a thousand blocks; allow for the test's own.
  EXPECT_LT(HeapBlockCount(), blocks + 100);
}

}  // namespace
}  // namespace mcrtest
