// The window words where the case file (tests/calls/windows.calls) cannot go:
// the host window as a task program, the launcher with stand-in tasks in it,
// placements from the files beside the tasks' programs, windows in every
// state, the messages the stand-ins get, the icon in use.
#include <windows.h>

#include <algorithm>
#include <cmath>

#include "leaks.h"
#include "taskwindows.h"
#include "testhost.h"

namespace mcrtest {
namespace {

using mcrhost::TaskWindows;
constexpr UINT kCloseRequest = 0x051F;
constexpr double kUnset = INFINITY;  // a variable the host does not hold
const int kShow[] = {SW_SHOWNORMAL, SW_SHOWMAXIMIZED, SW_SHOWMINIMIZED, SW_HIDE};  // the rows' states

double Number(HWND w) { return static_cast<std::int32_t>(reinterpret_cast<std::intptr_t>(w)); }
void SetVar(Host& host, const char* name, double v) {
  std::isinf(v) ? host.vars().erase(name) : host.vars().setNumber(name, v);
}
// A call that must succeed without a word; its result (NaN: none).
double Quiet(Host& host, const std::string& word, const std::vector<Arg>& args = {}) {
  Outcome o = host.call(word, args);
  EXPECT_TRUE(o.status == 0 && o.raised.empty()) << word << " " << (o.error() ? U(*o.error()) : "");
  return o.result ? o.result->number : NAN;
}
// The show command and the restored rectangle. The rows write a placement as
// the show command and k for "k,k,k+400,k+300" (0: the default 0,0,800,600),
// or 0 and 0 for "as it was before".
std::vector<LONG> PlacementOf(HWND w) {
  WINDOWPLACEMENT wp{sizeof wp, 0, 0, {}, {}, {}};
  GetWindowPlacement(w, &wp);
  const RECT& r = wp.rcNormalPosition;
  return {static_cast<LONG>(wp.showCmd), r.left, r.top, r.right, r.bottom};
}
std::vector<LONG> Placement(HWND w, LONG show, LONG k) {
  if (!show) return PlacementOf(w);
  return k ? std::vector<LONG>{show, k, k, k + 400, k + 300} : std::vector<LONG>{show, 0, 0, 800, 600};
}

// The launcher and its hub. The stand-ins and the host window belong to a
// program of the test's own, in a folder whose name holds a double-byte
// character with a backslash for its second byte: they find their placement
// file there, while _EXEPATH$ names another folder.
class Tasks : public ::testing::Test {
 protected:
  // A host of the window class with a fresh hub of these tasks ("-da": hidden).
  std::vector<HWND> Open(const std::vector<std::string>& words, const char* cls = "ZT-KMR CP Class") {
    tasks_.reset();
    host_ = OpenHost({cls, module_});
    host_->vars().setString("_EXEPATH$", exe_);
    host_->vars().setNumber("_INSTNUM", 1);
    tasks_ = std::make_unique<TaskWindows>(host_->window());
    std::vector<HWND> opened;
    for (const std::string& w : words) {
      opened.push_back(tasks_->open(w.substr(w[0] == '-')));
      SetWindowLongPtrA(opened.back(), GWLP_HINSTANCE, reinterpret_cast<LONG_PTR>(module_));
      if (w[0] == '-') ShowWindow(opened.back(), SW_HIDE);
    }
    return opened;
  }
  // How often the window got the message with these parameters.
  long Got(HWND w, UINT message, WPARAM first = 0, LPARAM second = 0) {
    const auto& all = *tasks_->messages(w);
    return std::count_if(all.begin(), all.end(),
                         [&](const auto& m) { return m.message == message && m.first == first && m.second == second; });
  }
  // The last-task record: TASK1 to TASK3 of instrument 1, TASK1 of 2.
  std::string LastTasks() {
    std::string all;
    for (const char* at : {"1TASK1", "1TASK2", "1TASK3", "2TASK1"}) {
      char v[64] = {};
      GetPrivateProfileStringA((std::string("LASTTASK,") + at[0]).c_str(), at + 1, "-", v, sizeof v, file_.c_str());
      all += std::string(all.empty() ? "" : " ") + v;
    }
    return all;
  }
  void SetUp() override {
    for (const std::string& folder : {exe_, program_}) CreateDirectoryA(folder.c_str(), nullptr);
    CopyFileA((LibraryPath().substr(0, LibraryPath().find_last_of('\\') + 1) + "dlgframe.dll").c_str(),
              (program_ + "task.dll").c_str(), FALSE);
    module_ = LoadLibraryA((program_ + "task.dll").c_str());
  }
  void TearDown() override { tasks_.reset(), host_.reset(), FreeLibrary(module_); }
  TempDir dir_;
  std::string exe_ = dir_.path() + "\\exe\\", file_ = exe_ + "icpms.win";
  std::string program_ = dir_.path() + "\\" + A("表示") + "\\";
  HMODULE module_ = nullptr;
  std::unique_ptr<Host> host_;
  std::unique_ptr<TaskWindows> tasks_;
};

TEST_F(Tasks, WinRestorePosReadsTheFileBesideTheTasksOwnProgram) {
  WriteAll(program_ + "icpms.win",
           "[VEXREC,1]\r\nPOS=10,10,410,310\r\n[VEXTRIM_TUNE,1]\r\nWINSTYLE=WS_MAXIMIZE\r\nPOS=11,11,411,311\r\n"
           "[VEXTRIM_MAINT,1]\r\nPOS=12,12,412,312\r\n[VEXEVA_OFFLINE,1]\r\nPOS=13,13,413,313\r\n[HUBEX,2]\r\n"
           "POS=15,15,415,315\r\nWINSTYLE=ws_minimize\r\n[VEXMON_GEN,1]\r\nPOS=16,16,416,316\r\n"
           "[VEXMON_GEN45678901234567890123,1]\r\nPOS=17,17,417,317\r\n");
  struct Case { const char* cls; double n, mode, top; const char* tag; int state; LONG show, k; } cases[] = {
      {"QRW VEXREC Class", 1, 0, 0, "", 0, 1, 10}, {"qrw vextrim class", 1, 7, 0, "", 0, 3, 11},
      {"QRW VEXTRIM Class", 1, 1.6, 0, "", 0, 1, 12}, {"QRW VEXEVA Class", 1, 0, kUnset, "", 0, 1, 13},
      {"ZT-KMR CP Class", 1.5, 0, 0, "", 0, 2, 15}, {"QRW VEXMON Class", 1, 0, 0, "GEN", 0, 1, 16},
      {"QRW VEXMON Class", 1, 0, 0, "GEN45678901234567890123", 0, 1, 0},  // 32 bytes: no room for the name
      {"MCRTEST Other Class", 1, 0, 0, "", 0, 1, 0},
      // The present state wins over the stored one; only the restored rectangle changes.
      {"QRW VEXREC Class", 1, 0, 0, "", 1, 3, 10}, {"QRW VEXTRIM Class", 1, 0, 0, "", 2, 2, 11},
      {"QRW VEXREC Class", 1, 0, 0, "", 3, 0, 0},
  };
  for (const Case& c : cases) {
    Open({}, c.cls);
    for (auto [name, v] : {std::pair{"_INSTNUM", c.n}, {"_TNTASK_MODE", c.mode}, {"_TOPWINID", c.top}})
      SetVar(*host_, name, v);
    host_->vars().setString("_apptag$", c.tag);
    ShowWindow(host_->window(), kShow[c.state]);
    const std::vector<LONG> expected = Placement(host_->window(), c.show, c.k);
    Quiet(*host_, "WinRestorePos");
    EXPECT_EQ(PlacementOf(host_->window()), expected) << "row " << &c - cases;
    EXPECT_EQ(IsWindowVisible(host_->window()), c.state != 3);
  }
}

TEST_F(Tasks, SaveLastTaskRewritesTheRecordWhole) {
  struct Case { std::vector<std::string> open; double mode; const char* record; } cases[] = {
      {{"tune", "acq", "da"}, 0, "da acq - kept"},  // the acquisition task hides the tune task
      {{"tune", "-da"}, 1.4, "inst - - kept"}, {{"gen", "-acq", "tune"}, 2, "maint - - kept"},
      {{"tune"}, kUnset, "tune - - kept"},     {{"tune", "da"}, 7, "da - - kept"}, {{"gen"}, 0, "- - - kept"},
  };
  for (const Case& c : cases) {
    Open(c.open);
    WriteAll(file_, "[LASTTASK,1]\r\nTASK1=old\r\nTASK2=old\r\nTASK3=old\r\n[LASTTASK,2]\r\nTASK1=kept\r\n");
    SetVar(*host_, "_TNTASK_MODE", c.mode);
    Quiet(*host_, "SaveLastTask");
    EXPECT_EQ(LastTasks(), c.record) << "row " << &c - cases;
  }
}

TEST_F(Tasks, SetWindowToDefPosAppliesTheDefaultPlacement) {
  WriteAll(program_ + "icpms.win",
           "[VEXEVA_ONLINE,1]\r\nDEF_POS=10,10,410,310\r\nWINSTYLE=WS_MAXIMIZE\r\nPOS=1,1,9,9\r\n"
           "[VEXREC,1]\r\nDEF_WINSTYLE=ws_maximize\r\nDEF_POS=20,20,420,320\r\n[VEXREC,2147483647]\r\n"
           "DEF_POS=25,25,425,325\r\n[VEXTRIM_INST,2]\r\nDEF_POS=40,40,440,340\r\n");
  WriteAll(file_, "[VEXEVA_ONLINE,1]\r\nDEF_POS=3,3,9,9\r\n");  // not this one
  struct Case { Arg word; double n; const char* window; int state; LONG show, k; } cases[] = {
      {S("DA"), 1, "da", 1, 1, 10},  // no regard for the present state
      {S("acq"), 1, "acq", 0, 3, 20}, {S("Acq"), 3e9, "acq", 0, 1, 25}, {S("inst"), 1.5, "tune", 0, 1, 40},
      {S("maint"), 1, "tune", 0, 1, 0}, {S("gen"), 1, "gen", 0, 0, 0}, {Omit(), 1, "da", 0, 0, 0},
      {S("da"), 0.4, "da", 0, 0, 0},  {S("da"), 1, "-da", 0, 0, 0},
  };
  for (const Case& c : cases) {
    HWND w = Open({c.window})[0];
    if (c.state) ShowWindow(w, kShow[c.state]);
    SetVar(*host_, "_INSTNUM", c.n);
    const std::vector<LONG> expected = Placement(w, c.show, c.k);
    Quiet(*host_, "SetWindowToDefPos", {c.word});
    EXPECT_EQ(PlacementOf(w), expected) << "row " << &c - cases;
  }
}

// With another window class the host is no launcher: its commands do nothing.
TEST_F(Tasks, LauncherCommandsDoNothingInOtherTasks) {
  HWND da = Open({"da"}, "MCRTEST Other Class")[0];
  const std::vector<LONG> before = PlacementOf(da);
  WriteAll(file_, "[LASTTASK,1]\r\nTASK1=old\r\n");
  for (const char* word : {"SaveLastTask", "CloseAllTasks", "SetWindowToDefPos"}) Quiet(*host_, word, {S("da")});
  EXPECT_EQ(LastTasks() + " " + std::to_string(Got(da, kCloseRequest)), "old - - - 0");
  EXPECT_EQ(PlacementOf(da), before);
}

// Sent before the command returns, posted to arrive later; every number is
// rounded and saturated to 32 bits, the first parameter widened with its
// sign. CloseAllTasks sends its request (tests/host/tasks.mac shows their
// order), not to a hidden task, and does not wait for the tasks to close.
TEST_F(Tasks, MessagesAreSentOrPosted) {
  const std::vector<HWND> w = Open({"acq", "gen", "maint", "-da"});
  std::string seen;  // after the command, after the messages are dispatched
  for (const char* word : {"SENDMESSAGE", "POSTMESSAGE"}) {
    tasks_->clearMessages();
    Quiet(*host_, word, {N(Number(w[0])), N(3e9), N(-1.5), N(-3e9)});
    seen += std::to_string(Got(w[0], 0x7FFFFFFF, WPARAM(-2), INT32_MIN));
    host_->pump(0);
    seen += std::to_string(Got(w[0], 0x7FFFFFFF, WPARAM(-2), INT32_MIN));
  }
  Quiet(*host_, "CloseAllTasks");
  for (HWND t : w) seen += " " + std::to_string(Got(t, kCloseRequest));
  EXPECT_EQ(seen, "1101 1 0 1 0");
  EXPECT_TRUE(IsWindow(w[0]) && IsWindow(w[2])) << "the command does not wait";
}

// Top-level windows that note the sizes they are given and their activation
// (the foreground itself is shared with the suites running beside this one).
std::vector<WPARAM> g_sizes;
HWND g_activated;
LRESULT CALLBACK NotingProc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
  if (m == WM_SIZE) g_sizes.push_back(wp);
  if (m == WM_ACTIVATE && LOWORD(wp) != WA_INACTIVE) g_activated = w;
  return DefWindowProcA(w, m, wp, lp);
}
HWND Window(DWORD style = WS_OVERLAPPEDWINDOW | WS_VISIBLE, const char* name = "MCRTEST Sizes") {
  WNDCLASSA wc{};
  wc.lpfnWndProc = NotingProc;
  wc.lpszClassName = name;
  RegisterClassA(&wc);
  return CreateWindowExA(0, name, "", style, 10, 10, 300, 200, nullptr, nullptr, nullptr, nullptr);
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
      {Number(maximised), "11101"},   {3e9, "00000"},
  };
  for (const Case& c : cases) {
    std::string got;
    for (const char* w : {"ISWINDOW", "ISWINDOWENABLED", "ISWINDOWVISIBLE", "ISICONIC", "ISZOOMED"})
      got += std::to_string(static_cast<int>(Quiet(*host, w, {N(c.handle)})));
    EXPECT_EQ(got, c.results) << "row " << &c - cases;
  }
  for (HWND w : {plain, disabled, hidden, minimised, minDisabled, minHidden, maximised}) DestroyWindow(w);
}

// Wine's own services may put windows above everything; only the order of
// this process's windows says what the word did.
static HWND TopmostOfOurs() {
  for (HWND w = GetTopWindow(nullptr); w; w = GetWindow(w, GW_HWNDNEXT)) {
    DWORD pid = 0;
    GetWindowThreadProcessId(w, &pid);
    if (pid == GetCurrentProcessId()) return w;
  }
  return nullptr;
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
  }
  Quiet(*host, "BRINGWINDOWTOTOP", {Omit(), Omit(), Omit()});
  EXPECT_EQ(TopmostOfOurs(), host->window());
  g_sizes.clear();
  g_activated = nullptr;
  const DWORD start = GetTickCount();
  Quiet(*host, "BRINGWINDOWTOTOP", {N(Number(target)), Omit(), N(0.5)});
  EXPECT_GE(GetTickCount() - start, 390u);
  EXPECT_EQ(g_sizes, (std::vector<WPARAM>{SIZE_MINIMIZED, SIZE_RESTORED}));
  EXPECT_EQ(g_activated, target);
  for (HWND w : {hidden, disabled, target}) DestroyWindow(w);
}

// Only the host window's maximise box changes (0 and 1 after rounding); the
// class name is cut at 132 bytes, the variable's name at 135; the busy flag
// is the low 16 bits of the rounded number.
TEST(WindowWords, HostWindowBoxClassNameAndBusyFlag) {
  auto host = OpenHost();
  HWND w = host->window();
  EXPECT_EQ(Quiet(*host, "GetCPWin"), Number(w));
  std::string boxes, busy;
  for (double state : {0.4, 2.0, 1.0, -0.5, 3e9, 0.0}) {
    Quiet(*host, "MAXBTNSTAT", {N(state)});
    boxes += GetWindowLongA(w, GWL_STYLE) & WS_MAXIMIZEBOX ? '1' : '0';
  }
  EXPECT_EQ(boxes, "001110");
  const std::string class133 = "D" + std::string(132, 'C'), var135 = "v" + std::string(133, 'x') + "$";
  HWND named = Window(0, class133.c_str());
  Quiet(*host, "GetClassName", {N(Number(named)), S(var135 + "y")});
  EXPECT_EQ(StrVar(*host, var135), class133.substr(0, 132));
  DestroyWindow(named);
  for (Arg flag : {N(1), N(1.4), N(0.5), N(65537), N(-65535), N(2), N(65536), N(3e9), N(NAN), Omit()}) {
    Quiet(*host, "SetBusyCursor", {flag});
    busy += host->busy() ? '1' : '0';
  }
  EXPECT_EQ(busy, "1111100000");
}

// The icon in use is destroyed when another replaces it, and at the latest
// when the connection closes; the new one is the window's, big and small.
TEST(WindowWords, SetIconReplacesAndDestroysTheIconInUse) {
  auto host = OpenHost();
  HWND w = host->window();
  Quiet(*host, "SETICON", {S("shell32.dll"), Omit()});
  HICON first = static_cast<HICON>(GetPropA(w, "HICON"));
  Quiet(*host, "SETICON", {S("shell32.dll"), N(2.6)});
  HICON last = static_cast<HICON>(GetPropA(w, "HICON"));
  EXPECT_FALSE(IconAlive(first));
  for (WPARAM kind : {ICON_BIG, ICON_SMALL})
    EXPECT_EQ(reinterpret_cast<HICON>(SendMessageA(w, WM_GETICON, kind, 0)), last);
  host->close();
  EXPECT_FALSE(IconAlive(last)) << "destroyed at disconnect";
}

}  // namespace
}  // namespace mcrtest
