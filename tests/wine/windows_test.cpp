// Task-window placement and the window utilities on real windows: the host
// window as each task program, the launcher with stand-in task windows
// embedded in it, placement records read back from the system, the messages
// the stand-ins get, icons, handles and every failure in its order.
#include <windows.h>
#include <mmsystem.h>

#include <cmath>
#include <fstream>
#include <iterator>
#include <map>
#include <set>

#include "bytes.h"
#include "taskwindows.h"
#include "testhost.h"

namespace mcrtest {
namespace {

using mcrhost::HostOptions;
using mcrhost::TaskWindows;

constexpr UINT kCloseRequest = 0x051F;

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}
void WriteAll(const std::string& path, const std::string& s) { std::ofstream(path, std::ios::binary) << s; }

// The keys of an INI section as "k=v|k=v", in file order.
std::string SectionText(const std::string& file, const std::string& section) {
  char buffer[4096] = {};
  DWORD n = GetPrivateProfileSectionA(section.c_str(), buffer, sizeof buffer, file.c_str());
  std::string text;
  for (const char* p = buffer; p < buffer + n; p += std::strlen(p) + 1) text += (text.empty() ? "" : "|") + std::string(p);
  return text;
}

// A program of the test's own, in a folder whose name holds a double-byte
// character with a backslash for its second byte: windows that belong to it
// find their placement file in that folder, and only there.
class Program {
 public:
  explicit Program(const TempDir& dir) : folder_(dir.path() + "\\" + A("表示")) {
    CreateDirectoryA(folder_.c_str(), nullptr);
    std::string standin = LibraryPath();
    standin = standin.substr(0, standin.find_last_of('\\') + 1) + "dlgframe.dll";
    CopyFileA(standin.c_str(), (folder_ + "\\task.dll").c_str(), FALSE);
    module_ = LoadLibraryA((folder_ + "\\task.dll").c_str());
    EXPECT_NE(module_, nullptr) << folder_;
  }
  ~Program() { FreeLibrary(module_); }
  HINSTANCE instance() const { return module_; }
  std::string file(const std::string& name) const { return folder_ + "\\" + name; }
  void adopt(HWND window) const { SetWindowLongPtrA(window, GWLP_HINSTANCE, reinterpret_cast<LONG_PTR>(module_)); }

 private:
  std::string folder_;
  HMODULE module_ = nullptr;
};

struct Placement {
  UINT show;
  RECT normal;
  bool operator==(const Placement& o) const { return show == o.show && EqualRect(&normal, &o.normal); }
};
std::ostream& operator<<(std::ostream& os, const Placement& p) {
  return os << "show " << p.show << " at " << p.normal.left << "," << p.normal.top << "," << p.normal.right << ","
            << p.normal.bottom;
}
Placement PlacementOf(HWND window) {
  WINDOWPLACEMENT wp{};
  wp.length = sizeof wp;
  GetWindowPlacement(window, &wp);
  return {wp.showCmd, wp.rcNormalPosition};
}
// What the system makes of the record {show, normal} on a window like this
// one: a twin with the same parent and style, in the same state, given it.
Placement AsPlaced(HWND like, UINT show, RECT normal) {
  const LONG style = GetWindowLongA(like, GWL_STYLE);
  HWND parent = style & WS_CHILD ? GetAncestor(like, GA_PARENT) : nullptr;
  HWND twin = CreateWindowExA(0, "STATIC", "", style & ~(WS_VISIBLE | WS_MINIMIZE | WS_MAXIMIZE), 5, 5, 200, 100,
                              parent, nullptr, nullptr, nullptr);
  ShowWindow(twin, IsIconic(like) ? SW_SHOWMINIMIZED : IsZoomed(like) ? SW_SHOWMAXIMIZED : SW_SHOWNORMAL);
  WINDOWPLACEMENT wp{};
  wp.length = sizeof wp;
  wp.showCmd = show;
  wp.rcNormalPosition = normal;
  SetWindowPlacement(twin, &wp);
  Placement placed = PlacementOf(twin);
  DestroyWindow(twin);
  return placed;
}

enum class State { Normal, Maximised, Minimised, Hidden };
void Put(HWND window, State s) {
  const int show[] = {SW_SHOWNORMAL, SW_SHOWMAXIMIZED, SW_SHOWMINIMIZED, SW_HIDE};
  ShowWindow(window, show[static_cast<int>(s)]);
}

void SetVars(Host& host, const std::map<std::string, double>& numbers) {
  for (const auto& [name, value] : numbers) {
    if (std::isinf(value)) host.vars().erase(name);  // infinity: the host holds no such variable
    else host.vars().setNumber(name, value);
  }
}
constexpr double kUnset = INFINITY;

// Words that never report: status 0 and nothing raised.
void Quiet(Host& host, const std::string& word, const std::vector<Arg>& args = {}) {
  Outcome o = host.call(word, args);
  EXPECT_EQ(o.status, 0) << word;
  EXPECT_TRUE(o.raised.empty()) << word << ": " << (o.raised.empty() ? "" : U(o.raised[0].text));
}

TEST(TaskPlacement, WinRestorePosReadsTheSectionOfTheCallingTask) {
  TempDir dir;
  Program program(dir);
  const std::string tag22(22, 'T');
  WriteAll(program.file("icpms.win"),
           "[VEXREC,1]\r\nPOS=10,10,410,310\r\nWINSTYLE=WS_NORMAL\r\n"
           "[VEXTRIM_TUNE,1]\r\nPOS=11,11,411,311\r\nWINSTYLE=WS_MAXIMIZE\r\n"
           "[VEXTRIM_MAINT,1]\r\nPOS=12,12,412,312\r\n"
           "[VEXEVA_OFFLINE,1]\r\nPOS=13,13,413,313\r\n"
           "[VEXEVA_ONLINE,1]\r\nPOS=14,14,414,314\r\n"
           "[HUBEX,2]\r\nPOS=15,15,415,315\r\nWINSTYLE=ws_minimize\r\n"
           "[VEXMON_GEN,1]\r\nPOS=16,16,416,316\r\n"
           "[VEXMON_" + tag22 + ",1]\r\nPOS=17,17,417,317\r\n"
           "[VEXREC,3]\r\nPOS=30,40\r\n"
           "[VEXREC,0]\r\nPOS=18,18,418,318\r\n");
  const RECT kDefault{0, 0, 800, 600};
  struct Case {
    const char* windowClass;
    std::map<std::string, double> vars;
    std::string tag;
    State before;
    UINT show;
    RECT normal;
  } cases[] = {
      {"QRW VEXREC Class", {{"_INSTNUM", 1}}, "", State::Normal, 1, {10, 10, 410, 310}},
      {"QRW VEXTRIM Class", {{"_INSTNUM", 1}, {"_TNTASK_MODE", 7}}, "", State::Normal, 3, {11, 11, 411, 311}},
      {"QRW VEXTRIM Class", {{"_INSTNUM", 1}, {"_TNTASK_MODE", 1.6}}, "", State::Normal, 1, {12, 12, 412, 312}},
      {"QRW VEXEVA Class", {{"_INSTNUM", 1}, {"_TOPWINID", 0.4}}, "", State::Normal, 1, {13, 13, 413, 313}},
      {"QRW VEXEVA Class", {{"_INSTNUM", 1}, {"_TOPWINID", kUnset}}, "", State::Normal, 1, {13, 13, 413, 313}},
      {"QRW VEXEVA Class", {{"_INSTNUM", 1}, {"_TOPWINID", -3e9}}, "", State::Normal, 1, {14, 14, 414, 314}},
      {"ZT-KMR CP Class", {{"_INSTNUM", 1.5}}, "", State::Normal, 2, {15, 15, 415, 315}},
      {"qrw VEXMON class", {{"_INSTNUM", 1}}, "GEN", State::Normal, 1, {16, 16, 416, 316}},
      {"qrw VEXMON class", {{"_INSTNUM", 1}}, tag22, State::Normal, 1, {17, 17, 417, 317}},
      {"qrw VEXMON class", {{"_INSTNUM", 1}}, tag22 + "T", State::Normal, 1, kDefault},  // no room: no section
      {"MCRTEST Other Class", {{"_INSTNUM", 1}}, "", State::Normal, 1, kDefault},
      {"QRW VEXREC Class", {{"_INSTNUM", kUnset}}, "", State::Normal, 1, {18, 18, 418, 318}},
      {"QRW VEXREC Class", {{"_INSTNUM", 3}}, "", State::Normal, 1, {30, 40, 0, 0}},
      // The present state wins over the stored style; only the restored rectangle changes.
      {"QRW VEXREC Class", {{"_INSTNUM", 1}}, "", State::Maximised, 3, {10, 10, 410, 310}},
      {"QRW VEXREC Class", {{"_INSTNUM", 1}}, "", State::Minimised, 2, {10, 10, 410, 310}},
      {"QRW VEXTRIM Class", {{"_INSTNUM", 1}, {"_TNTASK_MODE", 0}}, "", State::Minimised, 2, {11, 11, 411, 311}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.windowClass) + " " + c.tag + " row " + std::to_string(&c - cases));
    HostOptions options;
    options.windowClass = c.windowClass;
    options.instance = program.instance();
    auto host = OpenHost(options);
    char cls[64] = {};
    GetClassNameA(host->window(), cls, sizeof cls);
    ASSERT_STREQ(cls, c.windowClass) << "the class keeps its spelling";
    SetVars(*host, c.vars);
    host->vars().setString("_apptag$", c.tag);
    Put(host->window(), c.before);
    const Placement expected = AsPlaced(host->window(), c.show, c.normal);
    Quiet(*host, "WinRestorePos");
    EXPECT_EQ(PlacementOf(host->window()), expected);
  }

  // A hidden task window stays as it is, hidden.
  HostOptions options;
  options.windowClass = "QRW VEXREC Class";
  options.instance = program.instance();
  auto host = OpenHost(options);
  host->vars().setNumber("_INSTNUM", 1);
  Put(host->window(), State::Hidden);
  const Placement before = PlacementOf(host->window());
  Quiet(*host, "WinRestorePos");
  EXPECT_EQ(PlacementOf(host->window()), before);
  EXPECT_FALSE(IsWindowVisible(host->window()));
}

// The launcher's window with the hub and stand-in task windows in it. The
// task windows belong to a program in the test's folder; the launcher's
// variables name another folder as the program directory.
class Launcher : public ::testing::Test {
 protected:
  void SetUp() override {
    host_ = OpenHost();
    exeDir_ = dir_.path() + "\\exe\\";
    CreateDirectoryA(exeDir_.c_str(), nullptr);
    host_->vars().setString("_EXEPATH$", exeDir_);
    host_->vars().setNumber("_INSTNUM", 1);
    Reopen();
  }
  // A fresh hub with no task windows.
  void Reopen() {
    tasks_.reset();
    tasks_ = std::make_unique<TaskWindows>(host_->window());
  }
  // A stand-in; "-word" opens it hidden.
  HWND Open(const std::string& word) {
    HWND w = tasks_->open(word[0] == '-' ? word.substr(1) : word);
    EXPECT_NE(w, nullptr) << word;
    program_.adopt(w);
    if (word[0] == '-') ShowWindow(w, SW_HIDE);
    return w;
  }
  std::size_t CloseRequests(HWND w) {
    std::size_t n = 0;
    for (const auto& m : *tasks_->messages(w)) n += m.message == kCloseRequest && m.first == 0 && m.second == 0;
    return n;
  }
  std::string LastTasks(int n = 1) { return SectionText(exeDir_ + "icpms.win", "LASTTASK," + std::to_string(n)); }

  TempDir dir_;
  Program program_{dir_};
  std::string exeDir_;
  std::unique_ptr<Host> host_;
  std::unique_ptr<TaskWindows> tasks_;
};

TEST_F(Launcher, SaveLastTaskRewritesTheRecordWhole) {
  const std::string file = exeDir_ + "icpms.win";
  struct Case {
    std::vector<std::string> open;
    double mode;
    const char* record;
  } cases[] = {
      {{"tune", "acq", "da"}, 0, "TASK1=da|TASK2=acq"},  // an open acquisition task hides the tune task
      {{"tune", "da"}, 1.4, "TASK1=da|TASK2=inst"},
      {{"gen", "tune"}, 2, "TASK1=maint"},
      {{"tune"}, kUnset, "TASK1=tune"},
      {{"tune", "da"}, 7, "TASK1=da"},
      {{"-acq", "tune", "-da"}, 0, "TASK1=tune"},
      {{"acq"}, 0, "TASK1=acq"},
      {{"gen"}, 0, nullptr},
      {{}, 0, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("row " + std::to_string(&c - cases));
    WriteAll(file, "[LASTTASK,1]\r\nTASK1=old\r\nTASK2=old\r\nTASK3=old\r\n[LASTTASK,2]\r\nTASK1=kept\r\n");
    Reopen();
    for (const std::string& w : c.open) Open(w);
    SetVars(*host_, {{"_TNTASK_MODE", c.mode}});
    Quiet(*host_, "SaveLastTask");
    EXPECT_EQ(LastTasks(), c.record ? c.record : "");
    EXPECT_EQ(ReadAll(file).find("[LASTTASK,1]") == std::string::npos, c.record == nullptr) << ReadAll(file);
    EXPECT_EQ(LastTasks(2), "TASK1=kept");
  }
  // The record of the instrument in _INSTNUM; a task window outside the hub is not one of the tasks.
  Reopen();
  HWND outside = CreateWindowExA(0, "STATIC", "", WS_CHILD | WS_VISIBLE, 0, 0, 10, 10, host_->window(), nullptr,
                                 nullptr, nullptr);
  Open("acq");
  WriteAll(file, "[LASTTASK,1]\r\nTASK1=old\r\n");
  host_->vars().setNumber("_INSTNUM", 2.5);
  Quiet(*host_, "SaveLastTask");
  EXPECT_EQ(LastTasks(3), "TASK1=acq");
  EXPECT_EQ(LastTasks(1), "TASK1=old");
  DestroyWindow(outside);
}

TEST_F(Launcher, CloseAllTasksSendsTheCloseRequestAndDoesNotWait) {
  static int launcherRequests;
  static WNDPROC original;
  launcherRequests = 0;
  original = reinterpret_cast<WNDPROC>(GetWindowLongPtrA(host_->window(), GWLP_WNDPROC));
  SetWindowLongPtrA(host_->window(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(+[](HWND w, UINT m, WPARAM wp, LPARAM lp) {
                      launcherRequests += m == kCloseRequest;
                      return CallWindowProcA(original, w, m, wp, lp);
                    }));
  std::vector<std::string> order;
  tasks_->onMessage = [&](const std::string& name, const mcrhost::TaskMessage& m) {
    if (m.message == kCloseRequest) order.push_back(name);
  };
  HWND acq = Open("acq"), gen = Open("gen"), tune = Open("maint"), da = Open("da");
  Quiet(*host_, "CloseAllTasks");
  EXPECT_EQ(order, (std::vector<std::string>{"da", "tune", "acq"}));
  for (HWND w : {da, tune, acq}) {
    EXPECT_EQ(CloseRequests(w), 1u);
    EXPECT_TRUE(IsWindow(w)) << "the command does not wait for the task to close";
  }
  EXPECT_EQ(CloseRequests(gen), 0u);
  EXPECT_EQ(launcherRequests, 0);
  MSG queued;
  EXPECT_FALSE(PeekMessageA(&queued, nullptr, kCloseRequest, kCloseRequest, PM_NOREMOVE)) << "sent, never posted";
  host_->pump(50);
  EXPECT_FALSE(IsWindow(da) || IsWindow(tune) || IsWindow(acq));
  EXPECT_TRUE(IsWindow(gen));

  // A task window that is not shown is not asked.
  Reopen();
  HWND hidden = Open("-da");
  Quiet(*host_, "CloseAllTasks");
  EXPECT_EQ(CloseRequests(hidden), 0u);
  SetWindowLongPtrA(host_->window(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(original));
}

TEST_F(Launcher, SetWindowToDefPosAppliesTheDefaultPlacement) {
  WriteAll(program_.file("icpms.win"),
           "[VEXEVA_ONLINE,1]\r\nDEF_WINSTYLE=WS_NORMAL\r\nDEF_POS=10,10,300,200\r\nWINSTYLE=WS_MAXIMIZE\r\nPOS=1,1,9,9\r\n"
           "[VEXEVA_OFFLINE,1]\r\nDEF_POS=2,2,9,9\r\n"
           "[VEXREC,1]\r\nDEF_WINSTYLE=ws_maximize\r\nDEF_POS=20,20,320,220\r\n"
           "[VEXREC,2147483647]\r\nDEF_POS=25,25,325,225\r\n"
           "[VEXTRIM_TUNE,1]\r\nDEF_POS=30,30,330,230\r\n"
           "[VEXTRIM_INST,2]\r\nDEF_POS=40,40,340,240\r\n"
           "[VEXTRIM_MAINT,1]\r\nDEF_WINSTYLE=WS_MINIMIZE\r\nDEF_POS=50,50,350,250\r\n");
  // The program directory of the variables holds other values; a lookup there would show.
  WriteAll(exeDir_ + "icpms.win", "[VEXREC,1]\r\nDEF_POS=3,3,9,9\r\n[VEXEVA_ONLINE,1]\r\nDEF_POS=3,3,9,9\r\n");
  struct Case {
    Arg word;
    double instrument;
    const char* window;
    State before;
    bool moves;
    UINT show = 0;
    RECT normal{};
  } cases[] = {
      {S("DA"), 1, "da", State::Normal, true, 1, {10, 10, 300, 200}},
      {S("da"), 1, "da", State::Maximised, true, 1, {10, 10, 300, 200}},  // no regard for the present state
      {S("acq"), 1, "acq", State::Normal, true, 3, {20, 20, 320, 220}},
      {S("Acq"), 3e9, "acq", State::Normal, true, 1, {25, 25, 325, 225}},
      {S("tune"), 1, "tune", State::Normal, true, 1, {30, 30, 330, 230}},
      {S("inst"), 1.5, "tune", State::Normal, true, 1, {40, 40, 340, 240}},
      {S("maint"), 1, "tune", State::Normal, true, 2, {50, 50, 350, 250}},
      {S("tune"), 2, "tune", State::Normal, true, 1, {0, 0, 800, 600}},  // no section: the defaults
      {S("gen"), 1, "gen", State::Normal, false},
      {S("tune:0"), 1, "tune", State::Normal, false},
      {Omit(), 1, "da", State::Normal, false},
      {S("da"), 0.4, "da", State::Normal, false},
      {S("da"), -3e9, "da", State::Normal, false},
      {S("da"), kUnset, "da", State::Normal, false},
      {S("da"), NAN, "da", State::Normal, false},
      {S("da"), 1, "-da", State::Hidden, false},
      {S("acq"), 1, "da", State::Normal, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("row " + std::to_string(&c - cases));
    Reopen();
    HWND w = Open(c.window);
    Put(w, c.before);
    SetVars(*host_, {{"_INSTNUM", c.instrument}});
    const Placement expected = c.moves ? AsPlaced(w, c.show, c.normal) : PlacementOf(w);
    Quiet(*host_, "SetWindowToDefPos", {c.word});
    EXPECT_EQ(PlacementOf(w), expected);
  }
}

TEST(TaskPlacement, LauncherCommandsDoNothingInOtherTasks) {
  TempDir dir;
  Program program(dir);
  HostOptions options;
  options.windowClass = "qrw VEXMON class";
  options.instance = program.instance();
  auto host = OpenHost(options);
  host->vars().setString("_EXEPATH$", dir.path() + "\\");
  host->vars().setNumber("_INSTNUM", 1);
  const std::string file = dir.file("icpms.win");
  WriteAll(file, "[LASTTASK,1]\r\nTASK1=old\r\n");
  TaskWindows tasks(host->window());
  HWND da = tasks.open("da");
  const Placement before = PlacementOf(da);
  Quiet(*host, "SaveLastTask");
  Quiet(*host, "CloseAllTasks");
  Quiet(*host, "SetWindowToDefPos", {S("da")});
  EXPECT_EQ(SectionText(file, "LASTTASK,1"), "TASK1=old");
  for (const auto& m : *tasks.messages(da)) EXPECT_NE(m.message, kCloseRequest);
  EXPECT_EQ(PlacementOf(da), before);
}

// ---------------------------------------------------------------------------
// Window utilities.

// Top-level windows that keep the messages they get.
struct Recorder {
  static std::vector<std::pair<UINT, WPARAM>> log;
  static LRESULT CALLBACK Proc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
    log.emplace_back(m, wp);
    return DefWindowProcA(w, m, wp, lp);
  }
  static HWND Make(DWORD style = WS_OVERLAPPEDWINDOW | WS_VISIBLE) {
    WNDCLASSA wc{};
    wc.lpfnWndProc = Proc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "MCRTEST Recorder";
    RegisterClassA(&wc);
    return CreateWindowExA(0, wc.lpszClassName, "", style, 10, 10, 300, 200, nullptr, nullptr, wc.hInstance, nullptr);
  }
};
std::vector<std::pair<UINT, WPARAM>> Recorder::log;

double Number(HWND w) { return static_cast<std::int32_t>(reinterpret_cast<std::intptr_t>(w)); }
// The handle of a window that has gone.
double NoWindow() {
  HWND w = CreateWindowExA(0, "STATIC", "", 0, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
  DestroyWindow(w);
  return Number(w);
}

class WindowWords : public ::testing::Test {
 protected:
  void SetUp() override { host_ = OpenHost(); }
  double Result(const std::string& word, std::vector<Arg> args) {
    Outcome o = host_->call(word, args);
    EXPECT_EQ(o.status, 0) << word;
    EXPECT_TRUE(o.raised.empty()) << word;
    return o.result ? o.result->number : NAN;
  }
  // A failure of the word: its status and the one text raised.
  void Fails(const std::string& word, std::vector<Arg> args, int id, std::uint16_t status = 1) {
    Outcome o = host_->call(word, args);
    EXPECT_EQ(o.status, status) << word;
    EXPECT_EQ(o.error() ? U(*o.error()) : "<none>", U(Msg(id))) << word;
  }
  std::unique_ptr<Host> host_;
};

TEST_F(WindowWords, StateFunctionsTestInOrder) {
  HWND plain = Recorder::Make(), disabled = Recorder::Make(), hidden = Recorder::Make(WS_OVERLAPPEDWINDOW),
       minimised = Recorder::Make(), minDisabled = Recorder::Make(), minHidden = Recorder::Make(WS_OVERLAPPEDWINDOW | WS_MINIMIZE),
       maximised = Recorder::Make(), maxDisabled = Recorder::Make(), gone = Recorder::Make();
  EnableWindow(disabled, FALSE);
  ShowWindow(minimised, SW_SHOWMINIMIZED);
  ShowWindow(minDisabled, SW_SHOWMINIMIZED);
  EnableWindow(minDisabled, FALSE);
  ShowWindow(maximised, SW_SHOWMAXIMIZED);
  ShowWindow(maxDisabled, SW_SHOWMAXIMIZED);
  EnableWindow(maxDisabled, FALSE);
  DestroyWindow(gone);
  ASSERT_TRUE(IsIconic(minHidden) && !IsWindowVisible(minHidden));
  const char* const words[] = {"ISWINDOW", "ISWINDOWENABLED", "ISWINDOWVISIBLE", "ISICONIC", "ISZOOMED"};
  struct Case { Arg handle; const char* results; } cases[] = {
      {N(Number(plain)), "11100"},       {N(Number(plain) + 0.4), "11100"},
      {N(Number(disabled)), "10100"},    {N(Number(hidden)), "11000"},
      {N(Number(minimised)), "11110"},   {N(Number(minDisabled)), "10100"},
      {N(Number(minHidden)), "11000"},   {N(Number(maximised)), "11101"},
      {N(Number(maxDisabled)), "10100"}, {N(Number(gone)), "00000"},
      {N(0), "00000"},                   {N(3e9), "00000"},
      {N(-3e9), "00000"},
  };
  for (const Case& c : cases) {
    std::string got;
    for (const char* w : words) got += std::to_string(static_cast<int>(Result(w, {c.handle})));
    EXPECT_EQ(got, c.results) << "row " << &c - cases;
  }
  // A missing handle is reported, and the function still succeeds with 0.
  for (const char* w : words) {
    Outcome o = host_->call(w, {Omit()});
    EXPECT_EQ(o.status, 0) << w;
    EXPECT_EQ(o.error() ? U(*o.error()) : "<none>", U(Msg(1026))) << w;
    EXPECT_EQ(o.result ? o.result->number : -1, 0) << w;
  }
  for (HWND w : {plain, disabled, hidden, minimised, minDisabled, minHidden, maximised, maxDisabled}) DestroyWindow(w);
}

TEST_F(WindowWords, MessagesCheckedInOrderThenSentOrPosted) {
  TaskWindows tasks(host_->window());
  HWND target = tasks.open("acq");
  const double h = Number(target), none = NoWindow();
  struct Bad { std::vector<Arg> args; int id; } bad[] = {
      {{Omit(), Omit(), Omit(), Omit()}, 1026},
      {{N(none), Omit(), Omit(), Omit()}, 1030},
      {{N(3e9), N(5), N(0), N(0)}, 1030},
      {{N(h), Omit(), Omit(), Omit()}, 1027},
      {{N(h), N(-1), Omit(), Omit()}, 1031},
      {{N(h), N(-0.5), N(0), N(0)}, 1031},
      {{N(h), N(-3e9), N(0), N(0)}, 1031},
      {{N(h), N(NAN), N(0), N(0)}, 1031},
      {{N(h), N(5), Omit(), Omit()}, 1028},
      {{N(h), N(5), Omit(), N(0)}, 1028},
      {{N(h), N(5), N(0), Omit()}, 1029},
  };
  for (const char* word : {"SENDMESSAGE", "POSTMESSAGE"}) {
    for (const Bad& b : bad) {
      SCOPED_TRACE(std::string(word) + " row " + std::to_string(&b - bad));
      tasks.clearMessages();
      Fails(word, b.args, b.id);
      host_->pump(0);
      for (const auto& m : *tasks.messages(target))
        EXPECT_TRUE(m.message != 5 && m.message < 0x80000000u) << "sent after a failure: " << m.message;
    }
  }
  auto got = [&](UINT m, WPARAM wp, LPARAM lp) {
    for (const auto& r : *tasks.messages(target))
      if (r.message == m && r.first == wp && r.second == lp) return true;
    return false;
  };
  struct Good { double message, first, second; UINT m; WPARAM wp; LPARAM lp; } good[] = {
      {2.6, -1, 3e9, 3, static_cast<WPARAM>(-1), 2147483647},
      {-0.4, 7, -3e9, 0, 7, INT32_MIN},
      {3e9, 1.5, -2.5, 0x7FFFFFFF, 2, -3},
      {1024, 0, 0, 1024, 0, 0},
  };
  for (const Good& g : good) {
    SCOPED_TRACE("message " + std::to_string(g.message));
    tasks.clearMessages();
    Result("SENDMESSAGE", {N(h), N(g.message), N(g.first), N(g.second)});
    EXPECT_TRUE(got(g.m, g.wp, g.lp)) << "sent: handled before the command returns";
    tasks.clearMessages();
    Result("POSTMESSAGE", {N(h), N(g.message), N(g.first), N(g.second)});
    EXPECT_FALSE(got(g.m, g.wp, g.lp));
    host_->pump(0);
    EXPECT_TRUE(got(g.m, g.wp, g.lp)) << "posted: handled from the queue";
  }
}

TEST_F(WindowWords, BringWindowToTop) {
  HWND below = Recorder::Make(), hidden = Recorder::Make(WS_OVERLAPPEDWINDOW), disabled = Recorder::Make();
  EnableWindow(disabled, FALSE);
  HWND above = Recorder::Make();
  auto IsAbove = [](HWND a, HWND b) {
    for (HWND w = GetWindow(b, GW_HWNDPREV); w; w = GetWindow(w, GW_HWNDPREV))
      if (w == a) return true;
    return false;
  };
  ASSERT_TRUE(IsAbove(above, below));
  struct Bad { Arg handle; Arg option; } bad[] = {
      {N(Number(hidden)), Omit()}, {N(Number(disabled)), Omit()}, {N(0), Omit()}, {N(Number(hidden)), S("NOMSGS")},
  };
  for (const Bad& b : bad) {
    Fails("BRINGWINDOWTOTOP", {b.handle, b.option, Omit()}, 1030);
    Result("BRINGWINDOWTOTOP", {b.handle, S("nomsg"), N(1)});
  }
  EXPECT_FALSE(IsWindowVisible(hidden)) << "NOMSG: nothing happens";
  Result("BRINGWINDOWTOTOP", {N(Number(below)), Omit(), N(0)});
  EXPECT_TRUE(IsAbove(below, above));
  Result("BRINGWINDOWTOTOP", {Omit(), Omit(), Omit()});  // the host window
  EXPECT_TRUE(IsAbove(host_->window(), below));

  // Activation: foreground, then minimised and restored, about 200 ms apart.
  Recorder::log.clear();
  const DWORD start = GetTickCount();
  Result("BRINGWINDOWTOTOP", {N(Number(above)), Omit(), N(0.5)});
  EXPECT_GE(GetTickCount() - start, 390u);
  std::vector<WPARAM> sizes;
  for (const auto& [m, wp] : Recorder::log)
    if (m == WM_SIZE) sizes.push_back(wp);
  EXPECT_EQ(sizes, (std::vector<WPARAM>{SIZE_MINIMIZED, SIZE_RESTORED}));
  EXPECT_EQ(GetForegroundWindow(), above);
  EXPECT_FALSE(IsIconic(above));
  for (HWND w : {below, hidden, disabled, above}) DestroyWindow(w);
}

TEST_F(WindowWords, HostWindowSizeAndMaximiseBox) {
  HWND host = host_->window();
  struct Case { const char* word; State before; State after; } cases[] = {
      {"WinMax", State::Normal, State::Maximised}, {"WinMin", State::Maximised, State::Minimised},
      {"WinMax", State::Hidden, State::Hidden},    {"WinMin", State::Hidden, State::Hidden},
  };
  for (const Case& c : cases) {
    Put(host, c.before);
    Result(c.word, {});
    State now = !IsWindowVisible(host) ? State::Hidden : IsZoomed(host) ? State::Maximised
              : IsIconic(host)          ? State::Minimised : State::Normal;
    EXPECT_EQ(now, c.after) << c.word << " row " << &c - cases;
  }
  Put(host, State::Normal);
  EXPECT_EQ(Number(host), Result("GetCPWin", {}));

  auto hasBox = [&] { return (GetWindowLongA(host, GWL_STYLE) & WS_MAXIMIZEBOX) != 0; };
  Fails("MAXBTNSTAT", {Omit()}, 1008);
  struct Box { double state; bool box; } boxes[] = {{0.4, false}, {2, false}, {1, true}, {-0.5, true}, {3e9, true}, {0, false}};
  for (const Box& b : boxes) {
    Result("MAXBTNSTAT", {N(b.state)});
    EXPECT_EQ(hasBox(), b.box) << b.state;
  }
}

TEST_F(WindowWords, GetClassNameCutsAtItsLimits) {
  const std::string class132(132, 'C'), class133 = "D" + std::string(132, 'C');
  auto make = [](const std::string& name) {
    WNDCLASSA wc{};
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = name.c_str();
    RegisterClassA(&wc);
    return CreateWindowExA(0, name.c_str(), "", 0, 0, 0, 1, 1, nullptr, nullptr, wc.hInstance, nullptr);
  };
  HWND w132 = make(class132), w133 = make(class133);
  const std::string v135 = "v" + std::string(133, 'x') + "$", v136 = v135 + "y";
  struct Case { Arg handle; std::string var, value; } cases[] = {
      {N(Number(w132)), "c$", class132},
      {N(Number(w133)), "c$", class133.substr(0, 132)},
      {N(Number(host_->window())), v135, "ZT-KMR CP Class"},
      {N(NoWindow()), "c$", ""},
  };
  for (const Case& c : cases) {
    host_->vars().setString(c.var, "stale");
    Result("GetClassName", {c.handle, S(c.var)});
    EXPECT_EQ(StrVar(*host_, c.var), c.value);
  }
  // A longer variable name is cut to its first 135 bytes.
  Result("GetClassName", {N(Number(host_->window())), S(v136)});
  EXPECT_EQ(StrVar(*host_, v135), "ZT-KMR CP Class");
  EXPECT_EQ(StrVar(*host_, v136), "<missing>");
  for (const std::vector<Arg>& args : std::vector<std::vector<Arg>>{
           {Omit(), S("c$")}, {N(1), Omit()}, {N(1), S("")}, {Omit(), Omit()}})
    Fails("GetClassName", args, 1008);
  DestroyWindow(w132);
  DestroyWindow(w133);
}

bool IconAlive(HICON icon) {
  ICONINFO info{};
  if (!GetIconInfo(icon, &info)) return false;
  DeleteObject(info.hbmMask);
  DeleteObject(info.hbmColor);
  return true;
}

// Kernel handles of this process (the system's own count is a stub here).
std::size_t ProcessHandles() {
  struct Entry { ULONG pid; UCHAR type, flags; USHORT handle; PVOID object; ACCESS_MASK access; };
  struct Info { ULONG count; Entry entries[1]; };
  using Query = LONG(WINAPI*)(ULONG, PVOID, ULONG, PULONG);
  auto query = reinterpret_cast<Query>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQuerySystemInformation")));
  std::vector<char> buffer(1 << 16);
  ULONG needed = 0;
  LONG status;
  while ((status = query(16, buffer.data(), static_cast<ULONG>(buffer.size()), &needed)) == LONG(0xC0000004))
    buffer.resize(buffer.size() * 2);
  EXPECT_GE(status, 0);
  const auto* info = reinterpret_cast<const Info*>(buffer.data());
  std::size_t n = 0;
  for (ULONG i = 0; i < info->count; ++i) n += info->entries[i].pid == GetCurrentProcessId();
  return n;
}

std::size_t ThreadWindows() {
  std::size_t n = 0;
  EnumThreadWindows(GetCurrentThreadId(), [](HWND, LPARAM p) { return ++*reinterpret_cast<std::size_t*>(p), TRUE; },
                    reinterpret_cast<LPARAM>(&n));
  return n;
}

struct IconWatch {
  // At each WM_SETICON: which icon, and whether the icon in the property
  // then was still alive and not the new one.
  static std::vector<std::pair<WPARAM, bool>> oldAlive;
  static WNDPROC original;
  static LRESULT CALLBACK Proc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
    if (m == WM_SETICON) {
      auto held = static_cast<HICON>(GetPropA(w, "HICON"));
      oldAlive.emplace_back(wp, held && IconAlive(held) && held != reinterpret_cast<HICON>(lp));
    }
    return CallWindowProcA(original, w, m, wp, lp);
  }
};
std::vector<std::pair<WPARAM, bool>> IconWatch::oldAlive;
WNDPROC IconWatch::original;

TEST_F(WindowWords, SetIconSwapsTheIconAndDestroysTheOldOne) {
  HWND host = host_->window();
  auto held = [&] { return static_cast<HICON>(GetPropA(host, "HICON")); };
  auto shown = [&](WPARAM kind) { return reinterpret_cast<HICON>(SendMessageA(host, WM_GETICON, kind, 0)); };
  TempDir dir;
  WriteAll(dir.file("plain.txt"), "no icons here");
  Fails("SETICON", {Omit(), N(0)}, 1008);
  for (const auto& [file, index] : std::vector<std::pair<std::string, double>>{
           {dir.file("plain.txt"), 0}, {dir.file("missing.dll"), 0}, {"shell32.dll", 100000}, {"shell32.dll", -1}})
    Fails("SETICON", {S(file), N(index)}, 1044);
  EXPECT_EQ(held(), nullptr);

  Result("SETICON", {S("shell32.dll"), Omit()});
  HICON first = held();
  ASSERT_TRUE(IconAlive(first));
  EXPECT_EQ(shown(ICON_BIG), first);
  EXPECT_EQ(shown(ICON_SMALL), first);

  IconWatch::original = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrA(host, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&IconWatch::Proc)));
  IconWatch::oldAlive.clear();
  Result("SETICON", {S("shell32.dll"), N(2.6)});
  SetWindowLongPtrA(host, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(IconWatch::original));
  HICON second = held();
  EXPECT_EQ(IconWatch::oldAlive, (std::vector<std::pair<WPARAM, bool>>{{ICON_BIG, true}, {ICON_SMALL, true}}))
      << "big, then small, while the old icon lives";
  EXPECT_FALSE(IconAlive(first));
  EXPECT_EQ(shown(ICON_BIG), second);
  EXPECT_EQ(shown(ICON_SMALL), second);

  Fails("SETICON", {S("shell32.dll"), N(100000)}, 1044);
  EXPECT_EQ(held(), second);
  EXPECT_TRUE(IconAlive(second)) << "a failed call leaves the icon in use";

  host_->close();
  EXPECT_FALSE(IconAlive(second)) << "destroyed at disconnect";
  EXPECT_EQ(shown(ICON_BIG), nullptr);
}

TEST_F(WindowWords, AThousandIconsLeaveNothingBehind) {
  Result("SETICON", {S("shell32.dll"), N(3)});  // the first call may load the file's module for good
  const std::size_t handles = ProcessHandles(), windows = ThreadWindows();
  std::vector<HICON> icons{static_cast<HICON>(GetPropA(host_->window(), "HICON"))};
  for (int i = 0; i < 1000; ++i) {
    Result("SETICON", {S("shell32.dll"), N(i % 4)});
    icons.push_back(static_cast<HICON>(GetPropA(host_->window(), "HICON")));
  }
  EXPECT_EQ(ProcessHandles(), handles);
  EXPECT_EQ(ThreadWindows(), windows);
  // Wine never gives a freed handle value out again at once, so each icon is told apart.
  EXPECT_EQ(std::set<HICON>(icons.begin(), icons.end()).size(), icons.size());
  std::size_t alive = 0;
  for (HICON icon : icons) alive += IconAlive(icon);
  EXPECT_EQ(alive, 1u);
  EXPECT_TRUE(IconAlive(icons.back()));
}

TEST_F(WindowWords, BusyStateFromTheLow16Bits) {
  struct Case { Arg flag; bool busy; } cases[] = {
      {N(1), true},      {N(1.4), true},      {N(0.5), true},   {N(65537), true}, {N(-65535), true},
      {N(2), false},     {N(65536), false},   {N(0), false},    {N(3e9), false},  {N(-3e9), false},
      {N(NAN), false},   {Omit(), false},
  };
  for (const Case& c : cases) {
    host_->call("SetBusyCursor", {N(c.busy ? 0 : 1)});
    Result("SetBusyCursor", {c.flag});
    EXPECT_EQ(host_->busy(), c.busy) << "row " << &c - cases;
  }
}

TEST_F(WindowWords, SoundBeepsOrPlaysAFile) {
  for (const char* name : {"BEEP:MB_ICONASTERISK", "BEEP:MB_ICONEXCLAMATION", "BEEP:MB_ICONHAND",
                           "BEEP:MB_ICONQUESTION", "BEEP:MB_OK", "BEEP:-1", "beep:mb_ok", "", "Beep:Mb_IconHand"})
    Result("SOUND", {S(name)});
  Result("SOUND", {Omit()});
  TempDir dir;
  // A valid wave of 100 ms: 8000 samples a second, one 8-bit channel.
  Bytes wave(44 + 800, 0x80);
  wave.text(0, "RIFF", 4).u32(4, 36 + 800).text(8, "WAVEfmt ", 8).u32(16, 16).u16(20, 1).u16(22, 1);
  wave.u32(24, 8000).u32(28, 8000).u16(32, 1).u16(34, 8).text(36, "data", 4).u32(40, 800);
  wave.save(dir.file("tone.wav"));
  for (const std::string& file : {dir.file("missing.wav"), std::string("BEEP:MB_OKAY"), std::string("BEEP:")})
    Fails("SOUND", {S(file)}, 1043);
  // Without a sound device nothing can be played.
  if (waveOutGetNumDevs() == 0) Fails("SOUND", {S(dir.file("tone.wav"))}, 1043);
  else Result("SOUND", {S(dir.file("tone.wav"))});
}

TEST_F(WindowWords, SmoothScrollingReportsTheSettingBefore) {
  BOOL user = FALSE;
  SystemParametersInfoA(SPI_GETLISTBOXSMOOTHSCROLLING, 0, &user, 0);
  auto now = [] {
    BOOL on = FALSE;
    SystemParametersInfoA(SPI_GETLISTBOXSMOOTHSCROLLING, 0, &on, 0);
    return on != FALSE;
  };
  SystemParametersInfoA(SPI_SETLISTBOXSMOOTHSCROLLING, 0, nullptr, SPIF_SENDCHANGE);
  struct Case { Arg mode; double before; bool after; } cases[] = {
      {N(1), 0, true}, {N(2), 1, true}, {Omit(), 1, true}, {N(-1), 1, true}, {N(0.4), 1, false},
      {N(1.5), 0, false}, {N(NAN), 0, false}, {N(0.5), 0, true}, {N(0), 1, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Result("SMOOTHSCROLLING", {c.mode}), c.before) << "row " << &c - cases;
    EXPECT_EQ(now(), c.after) << "row " << &c - cases;
  }
  SystemParametersInfoA(SPI_SETLISTBOXSMOOTHSCROLLING, 0, reinterpret_cast<PVOID>(static_cast<UINT_PTR>(user)),
                        SPIF_UPDATEINIFILE | SPIF_SENDCHANGE);
}

TEST_F(WindowWords, FindCloseClosesTheSearch) {
  TempDir dir;
  WriteAll(dir.file("a.txt"), "a");
  const std::size_t before = ProcessHandles();
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA(dir.file("*").c_str(), &found);
  ASSERT_NE(search, INVALID_HANDLE_VALUE);
  const std::size_t open = ProcessHandles();
  ASSERT_GT(open, before) << "the search holds a handle of the folder";
  Result("FINDCLOSE", {Omit()});
  EXPECT_EQ(ProcessHandles(), open);
  Result("FINDCLOSE", {N(static_cast<double>(reinterpret_cast<std::intptr_t>(search)))});
  EXPECT_EQ(ProcessHandles(), before);
  Result("FINDCLOSE", {N(0)});  // no search: nothing to report either
}

}  // namespace
}  // namespace mcrtest
