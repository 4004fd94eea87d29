// The window words where the case file (tests/calls/windows.calls) cannot go:
// the host window as a task program, the launcher with stand-in tasks in it,
// placement compared with what the system does with the same record, windows
// in every state, the messages the stand-ins get, the icon in use.
#include <windows.h>

#include <cmath>

#include "leaks.h"
#include "taskwindows.h"
#include "testhost.h"

namespace mcrtest {
namespace {

using mcrhost::TaskWindows;
using Placement = std::vector<LONG>;  // show command, restored rectangle; empty: as it was
constexpr UINT kCloseRequest = 0x051F;
constexpr double kUnset = INFINITY;  // a variable the host does not hold
const int kShow[] = {SW_SHOWNORMAL, SW_SHOWMAXIMIZED, SW_SHOWMINIMIZED, SW_HIDE};  // the rows' states

std::string Ini(const std::string& file, const char* section, const char* key) {
  char v[64] = {};
  GetPrivateProfileStringA(section, key, "-", v, sizeof v, file.c_str());
  return v;
}
double Number(HWND w) { return static_cast<std::int32_t>(reinterpret_cast<std::intptr_t>(w)); }
void SetVar(Host& host, const char* name, double v) {
  if (std::isinf(v)) host.vars().erase(name);
  else host.vars().setNumber(name, v);
}
// A call that must succeed without a word; its result (NaN: none).
double Quiet(Host& host, const std::string& word, const std::vector<Arg>& args = {}) {
  Outcome o = host.call(word, args);
  EXPECT_TRUE(o.status == 0 && o.raised.empty()) << word << " " << (o.error() ? U(*o.error()) : "");
  return o.result ? o.result->number : NAN;
}

// A program of the test's own in a folder whose name holds a double-byte
// character with a backslash for its second byte; windows that belong to it
// find their placement file there.
struct Program {
  explicit Program(const TempDir& dir) : folder(dir.path() + "\\" + A("表示") + "\\") {
    std::string lib = LibraryPath();
    CreateDirectoryA(folder.c_str(), nullptr);
    CopyFileA((lib.substr(0, lib.find_last_of('\\') + 1) + "dlgframe.dll").c_str(), (folder + "task.dll").c_str(), FALSE);
    module = LoadLibraryA((folder + "task.dll").c_str());
  }
  ~Program() { FreeLibrary(module); }
  std::string folder;
  HMODULE module;
};

Placement PlacementOf(HWND w) {
  WINDOWPLACEMENT wp{};
  wp.length = sizeof wp;
  GetWindowPlacement(w, &wp);
  const RECT& r = wp.rcNormalPosition;
  return {static_cast<LONG>(wp.showCmd), r.left, r.top, r.right, r.bottom};
}
// The record as the system places it on a twin of the window (same parent,
// style and state): it adjusts some rectangles on its own.
Placement AsPlaced(HWND like, const Placement& p) {
  if (p.empty()) return PlacementOf(like);
  const LONG style = GetWindowLongA(like, GWL_STYLE);
  HWND twin = CreateWindowExA(0, "STATIC", "", style & ~(WS_VISIBLE | WS_MINIMIZE | WS_MAXIMIZE), 5, 5, 200, 100,
                              style & WS_CHILD ? GetAncestor(like, GA_PARENT) : nullptr, nullptr, nullptr, nullptr);
  ShowWindow(twin, IsIconic(like) ? SW_SHOWMINIMIZED : IsZoomed(like) ? SW_SHOWMAXIMIZED : SW_SHOWNORMAL);
  WINDOWPLACEMENT wp{sizeof wp, 0, static_cast<UINT>(p[0]), {}, {}, {p[1], p[2], p[3], p[4]}};
  SetWindowPlacement(twin, &wp);
  Placement placed = PlacementOf(twin);
  DestroyWindow(twin);
  return placed;
}

TEST(TaskPlacement, WinRestorePosReadsTheFileBesideTheTasksOwnProgram) {
  TempDir dir;
  Program program(dir);
  WriteAll(program.folder + "icpms.win",
           "[VEXREC,1]\r\nPOS=10,10,410,310\r\n[VEXTRIM_TUNE,1]\r\nWINSTYLE=WS_MAXIMIZE\r\n"
           "POS=11,11,411,311\r\n[VEXTRIM_MAINT,1]\r\nPOS=12,12,412,312\r\n[VEXEVA_OFFLINE,1]\r\nPOS=13,13,413,313\r\n[HUBEX,2]\r\nPOS=15,15,415,315\r\n"
           "WINSTYLE=ws_minimize\r\n[VEXMON_GEN,1]\r\nPOS=16,16,416,316\r\n[VEXMON_GEN45678901234567890123,1]\r\n"
           "POS=17,17,417,317\r\n");
  struct Case { const char* cls; double n, mode, top; const char* tag; int state; Placement expected; } cases[] = {
      {"QRW VEXREC Class", 1, 0, 0, "", 0, {1, 10, 10, 410, 310}},
      {"qrw vextrim class", 1, 7, 0, "", 0, {3, 11, 11, 411, 311}},  // the class that the rows below share
      {"QRW VEXTRIM Class", 1, 1.6, 0, "", 0, {1, 12, 12, 412, 312}},
      {"QRW VEXEVA Class", 1, 0, kUnset, "", 0, {1, 13, 13, 413, 313}},
      {"ZT-KMR CP Class", 1.5, 0, 0, "", 0, {2, 15, 15, 415, 315}},
      {"QRW VEXMON Class", 1, 0, 0, "GEN", 0, {1, 16, 16, 416, 316}},
      {"QRW VEXMON Class", 1, 0, 0, "GEN45678901234567890123", 0, {1, 0, 0, 800, 600}},  // 32 bytes: no room for the name
      {"MCRTEST Other Class", 1, 0, 0, "", 0, {1, 0, 0, 800, 600}},
      // The present state wins over the stored one; only the restored rectangle changes.
      {"QRW VEXREC Class", 1, 0, 0, "", 1, {3, 10, 10, 410, 310}},
      {"QRW VEXTRIM Class", 1, 0, 0, "", 2, {2, 11, 11, 411, 311}},
      {"QRW VEXREC Class", 1, 0, 0, "", 3, {}},
  };
  for (const Case& c : cases) {
    mcrhost::HostOptions options;
    options.windowClass = c.cls;
    options.instance = program.module;  // a class of its own, apart from the stand-ins'
    auto host = OpenHost(options);
    SetVar(*host, "_INSTNUM", c.n);
    SetVar(*host, "_TNTASK_MODE", c.mode);
    SetVar(*host, "_TOPWINID", c.top);
    host->vars().setString("_apptag$", c.tag);
    ShowWindow(host->window(), kShow[c.state]);
    const Placement expected = AsPlaced(host->window(), c.expected);
    Quiet(*host, "WinRestorePos");
    EXPECT_EQ(PlacementOf(host->window()), expected) << "row " << &c - cases;
    EXPECT_EQ(IsWindowVisible(host->window()), c.state != 3);
  }
}

// The launcher and its hub; the stand-ins belong to a program in the test's
// folder, while _EXEPATH$ names another one.
class Launcher : public ::testing::Test {
 protected:
  void SetUp() override {
    CreateDirectoryA(exe_.c_str(), nullptr);
    host_->vars().setString("_EXEPATH$", exe_);
    host_->vars().setNumber("_INSTNUM", 1);
  }
  // A fresh hub with these tasks ("-da": hidden).
  std::vector<HWND> Open(const std::vector<std::string>& words) {
    tasks_.reset();
    tasks_ = std::make_unique<TaskWindows>(host_->window());
    std::vector<HWND> opened;
    for (const std::string& w : words) {
      opened.push_back(tasks_->open(w.substr(w[0] == '-')));
      SetWindowLongPtrA(opened.back(), GWLP_HINSTANCE, reinterpret_cast<LONG_PTR>(program_.module));
      if (w[0] == '-') ShowWindow(opened.back(), SW_HIDE);
    }
    return opened;
  }
  TempDir dir_;
  Program program_{dir_};
  std::string exe_ = dir_.path() + "\\exe\\";
  std::unique_ptr<Host> host_ = OpenHost();
  std::unique_ptr<TaskWindows> tasks_;
};

TEST_F(Launcher, SaveLastTaskRewritesTheRecordWhole) {
  const std::string file = exe_ + "icpms.win";
  struct Case { std::vector<std::string> open; double mode; const char *task1, *task2; } cases[] = {
      {{"tune", "acq", "da"}, 0, "da", "acq"},  // the acquisition task hides the tune task
      {{"tune", "-da"}, 1.4, "inst", "-"},
      {{"gen", "-acq", "tune"}, 2, "maint", "-"},
      {{"tune"}, kUnset, "tune", "-"},
      {{"tune", "da"}, 7, "da", "-"},
      {{"gen"}, 0, "-", "-"},
  };
  for (const Case& c : cases) {
    WriteAll(file, "[LASTTASK,1]\r\nTASK1=old\r\nTASK2=old\r\nTASK3=old\r\n[LASTTASK,2]\r\nTASK1=kept\r\n");
    Open(c.open);
    SetVar(*host_, "_TNTASK_MODE", c.mode);
    Quiet(*host_, "SaveLastTask");
    EXPECT_EQ(Ini(file, "LASTTASK,1", "TASK1") + " " + Ini(file, "LASTTASK,1", "TASK2") + " " +
                  Ini(file, "LASTTASK,1", "TASK3") + " " + Ini(file, "LASTTASK,2", "TASK1"),
              std::string(c.task1) + " " + c.task2 + " - kept")
        << "row " << &c - cases;
  }
}

// The order of the requests and their parameters the host's tasks macro
// shows (tests/host/tasks.mac); here: sent, not waited for, not to a hidden task.
TEST_F(Launcher, CloseAllTasksSendsTheRequestAndDoesNotWait) {
  const std::vector<HWND> w = Open({"acq", "gen", "maint", "-da"});
  Quiet(*host_, "CloseAllTasks");
  std::vector<int> requests;  // with both parameters 0
  for (HWND t : w) {
    requests.push_back(0);
    for (const auto& m : *tasks_->messages(t)) requests.back() += m.message == kCloseRequest && !m.first && !m.second;
  }
  EXPECT_EQ(requests, (std::vector<int>{1, 0, 1, 0}));
  EXPECT_TRUE(IsWindow(w[0]) && IsWindow(w[2])) << "the command does not wait";
  MSG queued;
  EXPECT_FALSE(PeekMessageA(&queued, nullptr, kCloseRequest, kCloseRequest, PM_NOREMOVE)) << "sent, never posted";
}

TEST_F(Launcher, SetWindowToDefPosAppliesTheDefaultPlacement) {
  WriteAll(program_.folder + "icpms.win",
           "[VEXEVA_ONLINE,1]\r\nDEF_POS=10,10,300,200\r\nWINSTYLE=WS_MAXIMIZE\r\nPOS=1,1,9,9\r\n"
           "[VEXREC,1]\r\nDEF_WINSTYLE=ws_maximize\r\nDEF_POS=20,20,320,220\r\n[VEXREC,2147483647]\r\n"
           "DEF_POS=25,25,325,225\r\n[VEXTRIM_INST,2]\r\nDEF_POS=40,40,340,240\r\n");
  WriteAll(exe_ + "icpms.win", "[VEXEVA_ONLINE,1]\r\nDEF_POS=3,3,9,9\r\n");  // not this one
  struct Case { Arg word; double n; const char* window; int state; Placement expected; } cases[] = {
      {S("DA"), 1, "da", 1, {1, 10, 10, 300, 200}},  // no regard for the present state
      {S("acq"), 1, "acq", 0, {3, 20, 20, 320, 220}},
      {S("Acq"), 3e9, "acq", 0, {1, 25, 25, 325, 225}},
      {S("inst"), 1.5, "tune", 0, {1, 40, 40, 340, 240}},
      {S("maint"), 1, "tune", 0, {1, 0, 0, 800, 600}},
      {S("gen"), 1, "gen", 0, {}},   {Omit(), 1, "da", 0, {}},      {S("da"), 0.4, "da", 0, {}},
      {S("da"), NAN, "da", 0, {}},   {S("da"), kUnset, "da", 0, {}}, {S("da"), 1, "-da", 0, {}},
  };
  for (const Case& c : cases) {
    HWND w = Open({c.window})[0];
    if (c.state) ShowWindow(w, kShow[c.state]);
    SetVar(*host_, "_INSTNUM", c.n);
    const Placement expected = AsPlaced(w, c.expected);
    Quiet(*host_, "SetWindowToDefPos", {c.word});
    EXPECT_EQ(PlacementOf(w), expected) << "row " << &c - cases;
  }
}

TEST(TaskPlacement, LauncherCommandsDoNothingInOtherTasks) {
  TempDir dir;
  mcrhost::HostOptions options;
  options.windowClass = "MCRTEST Other Class";
  auto host = OpenHost(options);
  host->vars().setString("_EXEPATH$", dir.path() + "\\");
  WriteAll(dir.file("icpms.win"), "[LASTTASK,0]\r\nTASK1=old\r\n");
  TaskWindows tasks(host->window());
  HWND da = tasks.open("da");
  const Placement before = PlacementOf(da);
  for (const char* word : {"SaveLastTask", "CloseAllTasks", "SetWindowToDefPos"}) Quiet(*host, word, {S("da")});
  EXPECT_EQ(Ini(dir.file("icpms.win"), "LASTTASK,0", "TASK1"), "old");
  for (const auto& m : *tasks.messages(da)) EXPECT_NE(m.message, kCloseRequest);
  EXPECT_EQ(PlacementOf(da), before);
}

// ---------------------------------------------------------------------------

// Top-level windows that note the sizes they are given.
std::vector<WPARAM> g_sizes;
HWND Window(DWORD style = WS_OVERLAPPEDWINDOW | WS_VISIBLE, const char* name = "MCRTEST Sizes") {
  WNDCLASSA wc{};
  wc.lpfnWndProc = [](HWND w, UINT m, WPARAM wp, LPARAM lp) {
    if (m == WM_SIZE) g_sizes.push_back(wp);
    return DefWindowProcA(w, m, wp, lp);
  };
  wc.lpszClassName = name;
  RegisterClassA(&wc);
  return CreateWindowExA(0, name, "", style, 10, 10, 300, 200, nullptr, nullptr, nullptr, nullptr);
}
double Gone() {
  HWND w = Window();
  DestroyWindow(w);
  return Number(w);
}

TEST(WindowWords, StateFunctionsStopAtTheFirstFalseTest) {
  auto host = OpenHost();
  HWND plain = Window(), disabled = Window(), hidden = Window(WS_OVERLAPPEDWINDOW), minimised = Window(),
       minDisabled = Window(), minHidden = Window(WS_OVERLAPPEDWINDOW | WS_MINIMIZE), maximised = Window();
  for (HWND w : {minimised, minDisabled}) ShowWindow(w, SW_SHOWMINIMIZED);
  ShowWindow(maximised, SW_SHOWMAXIMIZED);
  for (HWND w : {disabled, minDisabled}) EnableWindow(w, FALSE);
  struct Case { double handle; const char* results; } cases[] = {
      {Number(plain) + 0.4, "11100"}, {Number(disabled), "10100"},   {Number(hidden), "11000"},
      {Number(minimised), "11110"},   {Number(minDisabled), "10100"}, {Number(minHidden), "11000"},
      {Number(maximised), "11101"},   {Gone(), "00000"},              {3e9, "00000"},
  };
  const char* const words[] = {"ISWINDOW", "ISWINDOWENABLED", "ISWINDOWVISIBLE", "ISICONIC", "ISZOOMED"};
  for (const Case& c : cases) {
    std::string got;
    for (const char* w : words) got += std::to_string(static_cast<int>(Quiet(*host, w, {N(c.handle)})));
    EXPECT_EQ(got, c.results) << "row " << &c - cases;
  }
  for (const char* w : words) {  // reported, and still 0 with success
    Outcome o = host->call(w, {Omit()});
    EXPECT_TRUE(o.status == 0 && o.result && o.result->number == 0) << w;
    EXPECT_EQ(o.error() ? U(*o.error()) : "", U(Msg(1026))) << w;
  }
  for (HWND w : {plain, disabled, hidden, minimised, minDisabled, minHidden, maximised}) DestroyWindow(w);
}

// Sent before the command returns, posted to arrive later; every number is
// rounded and saturated to 32 bits, the first parameter widened with its sign.
TEST(WindowWords, MessagesAreSentOrPosted) {
  auto host = OpenHost();
  TaskWindows tasks(host->window());
  HWND target = tasks.open("acq");
  auto got = [&](UINT m, WPARAM wp, LPARAM lp) {
    for (const auto& r : *tasks.messages(target))
      if (r.message == m && r.first == wp && r.second == lp) return true;
    return false;
  };
  struct Good { double message, first, second; UINT m; WPARAM wp; LPARAM lp; } good[] = {
      {2.6, -1, 3e9, 3, static_cast<WPARAM>(-1), 2147483647},
      {-0.4, 1.5, -2.5, 0, 2, -3},
      {3e9, 0, -3e9, 0x7FFFFFFF, 0, INT32_MIN},
  };
  for (const Good& g : good) {
    const std::vector<Arg> args = {N(Number(target)), N(g.message), N(g.first), N(g.second)};
    Quiet(*host, "SENDMESSAGE", args);
    EXPECT_TRUE(got(g.m, g.wp, g.lp)) << "sent " << g.message;
    tasks.clearMessages();
    Quiet(*host, "POSTMESSAGE", args);
    EXPECT_FALSE(got(g.m, g.wp, g.lp)) << "posted " << g.message;
    host->pump(0);
    EXPECT_TRUE(got(g.m, g.wp, g.lp)) << "posted " << g.message;
  }
}

// A window that is hidden or disabled cannot come up; the host window does
// without a handle; activation minimises and restores the window, 200 ms
// after the foreground and 200 ms after the minimise.
TEST(WindowWords, BringWindowToTopAndActivate) {
  auto host = OpenHost();
  HWND hidden = Window(WS_OVERLAPPEDWINDOW), disabled = Window(), target = Window();
  EnableWindow(disabled, FALSE);
  for (HWND bad : {hidden, disabled}) {
    Outcome o = host->call("BRINGWINDOWTOTOP", {N(Number(bad)), Omit(), N(1)});
    EXPECT_EQ(o.error() ? U(*o.error()) : "<none>", U(Msg(1030)));
    Quiet(*host, "BRINGWINDOWTOTOP", {N(Number(bad)), S("NoMsg"), N(1)});
  }
  EXPECT_FALSE(IsWindowVisible(hidden));
  Quiet(*host, "BRINGWINDOWTOTOP", {Omit(), Omit(), Omit()});
  EXPECT_EQ(GetTopWindow(nullptr), host->window());
  g_sizes.clear();
  const DWORD start = GetTickCount();
  Quiet(*host, "BRINGWINDOWTOTOP", {N(Number(target)), Omit(), N(0.5)});
  EXPECT_GE(GetTickCount() - start, 390u);
  EXPECT_EQ(g_sizes, (std::vector<WPARAM>{SIZE_MINIMIZED, SIZE_RESTORED}));
  EXPECT_EQ(GetForegroundWindow(), target);
  for (HWND w : {hidden, disabled, target}) DestroyWindow(w);
}

TEST(WindowWords, HostWindowStateBoxAndClassName) {
  auto host = OpenHost();
  HWND w = host->window();
  // Only a visible window changes (the references' examples show the visible one change).
  ShowWindow(w, SW_HIDE);
  for (const char* word : {"WinMax", "WinMin"}) Quiet(*host, word);
  ShowWindow(w, SW_SHOWNA);
  EXPECT_FALSE(IsZoomed(w) || IsIconic(w));
  EXPECT_EQ(Quiet(*host, "GetCPWin"), Number(w));
  std::string boxes;
  for (double state : {0.4, 2.0, 1.0, -0.5, 3e9, 0.0}) {
    Quiet(*host, "MAXBTNSTAT", {N(state)});
    boxes += GetWindowLongA(w, GWL_STYLE) & WS_MAXIMIZEBOX ? '1' : '0';
  }
  EXPECT_EQ(boxes, "001110");
  // The class name is cut at 132 bytes, the variable's name at 135.
  const std::string class133 = "D" + std::string(132, 'C'), var135 = "v" + std::string(133, 'x') + "$";
  HWND named = Window(0, class133.c_str());
  Quiet(*host, "GetClassName", {N(Number(named)), S(var135 + "y")});
  EXPECT_EQ(StrVar(*host, var135), class133.substr(0, 132));
  DestroyWindow(named);
}

// The icon in use goes only once the new one is in place, and at the latest
// when the connection closes.
TEST(WindowWords, SetIconReplacesAndDestroysTheIconInUse) {
  auto host = OpenHost();
  HWND w = host->window();
  auto held = [&] { return static_cast<HICON>(GetPropA(w, "HICON")); };
  Quiet(*host, "SETICON", {S("shell32.dll"), Omit()});
  HICON first = held();
  // At each WM_SETICON of the next call: which icon, and whether the one in use still lives.
  static std::vector<std::pair<WPARAM, bool>> seen;
  static WNDPROC plain;
  plain = reinterpret_cast<WNDPROC>(SetWindowLongPtrA(
      w, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(+[](HWND h, UINT m, WPARAM wp, LPARAM lp) {
        auto inUse = static_cast<HICON>(GetPropA(h, "HICON"));
        if (m == WM_SETICON) seen.emplace_back(wp, inUse != reinterpret_cast<HICON>(lp) && IconAlive(inUse));
        return CallWindowProcA(plain, h, m, wp, lp);
      })));
  Quiet(*host, "SETICON", {S("shell32.dll"), N(2.6)});
  SetWindowLongPtrA(w, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(plain));
  EXPECT_EQ(seen, (std::vector<std::pair<WPARAM, bool>>{{ICON_BIG, true}, {ICON_SMALL, true}}));
  EXPECT_FALSE(IconAlive(first));
  HICON last = held();
  for (WPARAM kind : {ICON_BIG, ICON_SMALL}) EXPECT_EQ(reinterpret_cast<HICON>(SendMessageA(w, WM_GETICON, kind, 0)), last);
  host->close();
  EXPECT_FALSE(IconAlive(last)) << "destroyed at disconnect";
}

TEST(WindowWords, BusyFlagIsTheLow16BitsOfTheRoundedNumber) {
  auto host = OpenHost();
  std::string busy;
  for (Arg flag : {N(1), N(1.4), N(0.5), N(65537), N(-65535), N(2), N(65536), N(3e9), N(NAN), Omit()}) {
    Quiet(*host, "SetBusyCursor", {flag});
    busy += host->busy() ? '1' : '0';
  }
  EXPECT_EQ(busy, "1111100000");
}

}  // namespace
}  // namespace mcrtest
