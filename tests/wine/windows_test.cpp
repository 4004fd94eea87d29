// Task-window placement and the window utilities on real windows: the host
// window as a task program, the launcher with stand-in task windows in it,
// placement read back from the system, the messages the stand-ins get,
// icons and handles, and failures in the order they are checked.
#include <windows.h>

#include <cmath>

#include "leaks.h"
#include "taskwindows.h"
#include "testhost.h"

namespace mcrtest {
namespace {

using mcrhost::TaskWindows;
constexpr UINT kCloseRequest = 0x051F;
constexpr double kUnset = INFINITY;  // a variable the host does not hold

std::string Ini(const std::string& file, const std::string& section, const char* key) {
  char v[64] = {};
  GetPrivateProfileStringA(section.c_str(), key, "-", v, sizeof v, file.c_str());
  return v;
}
double Number(HWND w) { return static_cast<std::int32_t>(reinterpret_cast<std::intptr_t>(w)); }
void SetVar(Host& host, const char* name, double v) {
  if (std::isinf(v)) host.vars().erase(name);
  else host.vars().setNumber(name, v);
}
void Quiet(Host& host, const std::string& word, const std::vector<Arg>& args = {}) {
  Outcome o = host.call(word, args);
  EXPECT_TRUE(o.status == 0 && o.raised.empty()) << word;
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

using Placement = std::vector<LONG>;  // show command, restored rectangle; empty: as it was
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
const int kShow[] = {SW_SHOWNORMAL, SW_SHOWMAXIMIZED, SW_SHOWMINIMIZED, SW_HIDE};  // the rows' states

TEST(TaskPlacement, WinRestorePosReadsTheFileBesideTheTasksOwnProgram) {
  TempDir dir;
  Program program(dir);
  WriteAll(program.folder + "icpms.win",
           "[VEXREC,1]\r\nPOS=10,10,410,310\r\n[VEXREC,3]\r\nPOS=30,40\r\n[VEXTRIM_TUNE,1]\r\nWINSTYLE=WS_MAXIMIZE\r\n"
           "POS=11,11,411,311\r\n[VEXTRIM_MAINT,1]\r\nPOS=12,12,412,312\r\n[VEXEVA_OFFLINE,1]\r\nPOS=13,13,413,313\r\n[HUBEX,2]\r\nPOS=15,15,415,315\r\n"
           "WINSTYLE=ws_minimize\r\n[VEXMON_GEN,1]\r\nPOS=16,16,416,316\r\n[VEXMON_GEN45678901234567890123,1]\r\n"
           "POS=17,17,417,317\r\n");
  struct Case { const char* cls; double n, mode, top; const char* tag; int state; Placement expected; } cases[] = {
      {"QRW VEXREC Class", 1, 0, 0, "", 0, {1, 10, 10, 410, 310}},
      {"QRW VEXREC Class", 3, 0, 0, "", 0, {1, 30, 40, 0, 0}},
      {"QRW VEXTRIM Class", 1, 7, 0, "", 0, {3, 11, 11, 411, 311}},
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
  int CloseRequests(HWND w) {
    int n = 0;
    for (const auto& m : *tasks_->messages(w)) n += m.message == kCloseRequest && m.first == 0 && m.second == 0;
    return n;
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

TEST_F(Launcher, CloseAllTasksSendsTheRequestAndDoesNotWait) {
  const std::vector<HWND> w = Open({"acq", "gen", "maint", "da"});
  std::vector<std::string> order;
  tasks_->onMessage = [&](const std::string& name, const mcrhost::TaskMessage& m) {
    if (m.message == kCloseRequest) order.push_back(name);
  };
  Quiet(*host_, "CloseAllTasks");
  EXPECT_EQ(order, (std::vector<std::string>{"da", "tune", "acq"}));
  EXPECT_EQ(CloseRequests(w[0]) + CloseRequests(w[2]) + CloseRequests(w[3]), 3) << "both parameters 0";
  EXPECT_TRUE(IsWindow(w[0]) && IsWindow(w[2]) && IsWindow(w[3])) << "the command does not wait";
  MSG queued;
  EXPECT_FALSE(PeekMessageA(&queued, nullptr, kCloseRequest, kCloseRequest, PM_NOREMOVE)) << "sent, never posted";
  host_->pump(50);
  EXPECT_FALSE(IsWindow(w[0]) || IsWindow(w[2]) || IsWindow(w[3]));
  HWND hidden = Open({"-da"})[0];
  Quiet(*host_, "CloseAllTasks");
  EXPECT_EQ(CloseRequests(hidden), 0);
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

class WindowWords : public ::testing::Test {
 protected:
  double Result(const std::string& word, std::vector<Arg> args) {
    Outcome o = host_->call(word, args);
    EXPECT_TRUE(o.status == 0 && o.raised.empty()) << word << " " << (o.error() ? U(*o.error()) : "");
    return o.result ? o.result->number : NAN;
  }
  void Fails(const std::string& word, std::vector<Arg> args, int id) {
    Outcome o = host_->call(word, args);
    EXPECT_EQ(o.status, 1) << word;
    EXPECT_EQ(o.error() ? U(*o.error()) : "<none>", U(Msg(id))) << word;
  }
  std::unique_ptr<Host> host_ = OpenHost();
};

// Top-level windows that note the sizes they are given.
std::vector<WPARAM> g_sizes;
HWND Window(DWORD style = WS_OVERLAPPEDWINDOW | WS_VISIBLE) {
  WNDCLASSA wc{};
  wc.lpfnWndProc = [](HWND w, UINT m, WPARAM wp, LPARAM lp) {
    if (m == WM_SIZE) g_sizes.push_back(wp);
    return DefWindowProcA(w, m, wp, lp);
  };
  wc.lpszClassName = "MCRTEST Sizes";
  RegisterClassA(&wc);
  return CreateWindowExA(0, wc.lpszClassName, "", style, 10, 10, 300, 200, nullptr, nullptr, nullptr, nullptr);
}
double Gone() {
  HWND w = Window();
  DestroyWindow(w);
  return Number(w);
}

TEST_F(WindowWords, StateFunctionsStopAtTheFirstFalseTest) {
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
    for (const char* w : words) got += std::to_string(static_cast<int>(Result(w, {N(c.handle)})));
    EXPECT_EQ(got, c.results) << "row " << &c - cases;
  }
  for (const char* w : words) {  // reported, and still 0 with success
    Outcome o = host_->call(w, {Omit()});
    EXPECT_TRUE(o.status == 0 && o.result && o.result->number == 0) << w;
    EXPECT_EQ(o.error() ? U(*o.error()) : "", U(Msg(1026))) << w;
  }
  for (HWND w : {plain, disabled, hidden, minimised, minDisabled, minHidden, maximised}) DestroyWindow(w);
}

TEST_F(WindowWords, MessagesCheckedInOrderThenSentOrPosted) {
  TaskWindows tasks(host_->window());
  HWND target = tasks.open("acq");
  const double h = Number(target);
  struct Bad { std::vector<Arg> args; int id; } bad[] = {
      {{Omit(), Omit(), Omit(), Omit()}, 1026}, {{N(Gone()), Omit(), Omit(), Omit()}, 1030},
      {{N(h), Omit(), Omit(), Omit()}, 1027},   {{N(h), N(-0.5), Omit(), Omit()}, 1031},
      {{N(h), N(NAN), N(0), N(0)}, 1031},       {{N(h), N(1234), Omit(), N(0)}, 1028},
      {{N(h), N(1234), N(0), Omit()}, 1029},
  };
  auto got = [&](UINT m, WPARAM wp, LPARAM lp) {
    for (const auto& r : *tasks.messages(target))
      if (r.message == m && r.first == wp && r.second == lp) return true;
    return false;
  };
  for (const char* word : {"SENDMESSAGE", "POSTMESSAGE"}) {
    for (const Bad& b : bad) Fails(word, b.args, b.id);
    host_->pump(0);
    for (const auto& m : *tasks.messages(target)) EXPECT_TRUE(m.message != 1234 && m.message < 0x80000000u) << m.message;
  }
  struct Good { double message, first, second; UINT m; WPARAM wp; LPARAM lp; } good[] = {
      {2.6, -1, 3e9, 3, static_cast<WPARAM>(-1), 2147483647},
      {-0.4, 1.5, -2.5, 0, 2, -3},
      {3e9, 0, -3e9, 0x7FFFFFFF, 0, INT32_MIN},
  };
  for (const Good& g : good) {
    Result("SENDMESSAGE", {N(h), N(g.message), N(g.first), N(g.second)});
    EXPECT_TRUE(got(g.m, g.wp, g.lp)) << "sent " << g.message;
    tasks.clearMessages();
    Result("POSTMESSAGE", {N(h), N(g.message), N(g.first), N(g.second)});
    EXPECT_FALSE(got(g.m, g.wp, g.lp)) << "posted " << g.message;
    host_->pump(0);
    EXPECT_TRUE(got(g.m, g.wp, g.lp)) << "posted " << g.message;
  }
}

TEST_F(WindowWords, BringWindowToTopAndActivate) {
  HWND hidden = Window(WS_OVERLAPPEDWINDOW), disabled = Window(), target = Window();
  EnableWindow(disabled, FALSE);
  for (Arg bad : {N(Number(hidden)), N(Number(disabled)), N(Gone())}) {
    Fails("BRINGWINDOWTOTOP", {bad, S("NOMSGS"), N(1)}, 1030);
    Result("BRINGWINDOWTOTOP", {bad, S("nomsg"), N(1)});
  }
  EXPECT_FALSE(IsWindowVisible(hidden));
  Result("BRINGWINDOWTOTOP", {Omit(), Omit(), Omit()});  // the host window
  EXPECT_EQ(GetTopWindow(nullptr), host_->window());
  g_sizes.clear();
  const DWORD start = GetTickCount();
  Result("BRINGWINDOWTOTOP", {N(Number(target)), Omit(), N(0.5)});
  EXPECT_GE(GetTickCount() - start, 390u) << "200 ms after the foreground, 200 after the minimise";
  EXPECT_EQ(g_sizes, (std::vector<WPARAM>{SIZE_MINIMIZED, SIZE_RESTORED}));
  EXPECT_EQ(GetForegroundWindow(), target);
  for (HWND w : {hidden, disabled, target}) DestroyWindow(w);
}

TEST_F(WindowWords, HostWindowStateBoxAndClassName) {
  HWND host = host_->window();
  std::string states;
  for (const char* word : {"WinMax", "WinMin"}) {
    ShowWindow(host, SW_HIDE);
    Result(word, {});
    ShowWindow(host, SW_SHOWNA);
    states += std::to_string(IsZoomed(host) + 2 * IsIconic(host));
    Result(word, {});
    states += std::to_string(IsZoomed(host) + 2 * IsIconic(host));
  }
  EXPECT_EQ(states, "0112") << "only a visible window changes";
  EXPECT_EQ(Result("GetCPWin", {}), Number(host));

  std::string boxes;
  for (double state : {0.4, 2.0, 1.0, -0.5, 3e9, 0.0}) {
    Result("MAXBTNSTAT", {N(state)});
    boxes += GetWindowLongA(host, GWL_STYLE) & WS_MAXIMIZEBOX ? '1' : '0';
  }
  EXPECT_EQ(boxes, "001110");

  // The class name is cut at 132 bytes, the variable's name at 135.
  const std::string class133 = "D" + std::string(132, 'C'), var135 = "v" + std::string(133, 'x') + "$";
  WNDCLASSA wc{};
  wc.lpfnWndProc = DefWindowProcA;
  wc.lpszClassName = class133.c_str();
  RegisterClassA(&wc);
  HWND w = CreateWindowExA(0, wc.lpszClassName, "", 0, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
  Result("GetClassName", {N(Number(w)), S(var135 + "y")});
  EXPECT_EQ(StrVar(*host_, var135), class133.substr(0, 132));
  Result("GetClassName", {N(Gone()), S(var135)});
  EXPECT_EQ(StrVar(*host_, var135), "");
  DestroyWindow(w);
}

TEST_F(WindowWords, SetIconReplacesAndDestroysTheIconInUse) {
  HWND host = host_->window();
  auto held = [&] { return static_cast<HICON>(GetPropA(host, "HICON")); };
  TempDir dir;
  WriteAll(dir.file("plain.txt"), "no icons");
  for (auto [file, index] : std::vector<std::pair<std::string, double>>{
           {dir.file("plain.txt"), 0}, {dir.file("none.dll"), 0}, {"shell32.dll", 1e5}, {"shell32.dll", -1}})
    Fails("SETICON", {S(file), N(index)}, 1044);
  EXPECT_EQ(held(), nullptr);

  Result("SETICON", {S("shell32.dll"), Omit()});
  HICON first = held();
  // At each WM_SETICON of the next call: which icon, and whether the one in use still lives.
  static std::vector<std::pair<WPARAM, bool>> seen;
  static WNDPROC plain;
  plain = reinterpret_cast<WNDPROC>(SetWindowLongPtrA(
      host, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(+[](HWND w, UINT m, WPARAM wp, LPARAM lp) {
        auto inUse = static_cast<HICON>(GetPropA(w, "HICON"));
        if (m == WM_SETICON) seen.emplace_back(wp, inUse != reinterpret_cast<HICON>(lp) && IconAlive(inUse));
        return CallWindowProcA(plain, w, m, wp, lp);
      })));
  Result("SETICON", {S("shell32.dll"), N(2.6)});
  SetWindowLongPtrA(host, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(plain));
  EXPECT_EQ(seen, (std::vector<std::pair<WPARAM, bool>>{{ICON_BIG, true}, {ICON_SMALL, true}}));
  EXPECT_FALSE(IconAlive(first));
  HICON last = held();
  for (WPARAM kind : {ICON_BIG, ICON_SMALL}) EXPECT_EQ(reinterpret_cast<HICON>(SendMessageA(host, WM_GETICON, kind, 0)), last);
  host_->close();
  EXPECT_FALSE(IconAlive(last)) << "destroyed at disconnect";
}

TEST_F(WindowWords, BusySoundScrollingAndSearches) {
  std::string busy;
  for (double flag : {1.0, 1.4, 0.5, 65537.0, -65535.0, 2.0, 65536.0, 3e9, double(NAN)}) {
    Result("SetBusyCursor", {N(flag)});
    busy += host_->busy() ? '1' : '0';
  }
  Result("SetBusyCursor", {Omit()});
  EXPECT_EQ(busy + (host_->busy() ? '1' : '0'), "1111100000") << "the low 16 bits of the rounded flag";

  TempDir dir;
  const std::size_t closed = ProcessHandleCount();
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA(dir.file("*").c_str(), &found);  // holds a handle of the folder
  Result("FINDCLOSE", {Omit()});
  EXPECT_EQ(ProcessHandleCount(), closed + 1);
  Result("FINDCLOSE", {N(static_cast<double>(reinterpret_cast<std::intptr_t>(search)))});
  EXPECT_EQ(ProcessHandleCount(), closed);
  Result("FINDCLOSE", {N(0)});

  // Beeps succeed (silently here); no file plays without a sound device.
  for (const char* s : {"BEEP:MB_ICONASTERISK", "BEEP:MB_ICONEXCLAMATION", "BEEP:MB_ICONHAND",
                        "BEEP:MB_ICONQUESTION", "beep:mb_ok", "BEEP:-1", ""})
    Result("SOUND", {S(s)});
  Result("SOUND", {Omit()});
  for (const std::string& s : {dir.file("missing.wav"), std::string("BEEP:MB_OKAY")}) Fails("SOUND", {S(s)}, 1043);

  BOOL user = FALSE;
  SystemParametersInfoA(SPI_GETLISTBOXSMOOTHSCROLLING, 0, &user, 0);
  SystemParametersInfoA(SPI_SETLISTBOXSMOOTHSCROLLING, 0, nullptr, SPIF_SENDCHANGE);
  std::string before;
  for (Arg mode : {N(1), N(2), Omit(), N(0.4), N(1.5), N(NAN), N(0.5), N(-0.5), Omit()})
    before += std::to_string(static_cast<int>(Result("SMOOTHSCROLLING", {mode})));
  EXPECT_EQ(before, "011100011");
  SystemParametersInfoA(SPI_SETLISTBOXSMOOTHSCROLLING, 0, reinterpret_cast<PVOID>(static_cast<UINT_PTR>(user)),
                        SPIF_UPDATEINIFILE | SPIF_SENDCHANGE);
}

}  // namespace
}  // namespace mcrtest
