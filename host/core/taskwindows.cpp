#include "taskwindows.h"

#include <cctype>
#include <cstdint>
#include <cstdlib>

namespace mcrhost {

namespace {

// The task programs' side of the close request.
constexpr UINT kCloseRequest = 0x051F;
constexpr int kWidth = 320, kHeight = 240, kCascade = 24;

struct Program {
  const char* name;
  const char* windowClass;
  const char* program;
};
const Program kPrograms[] = {
    {"da", "QRW VEXEVA Class", "VEXEVA.EXE"},
    {"acq", "QRW VEXREC Class", "VEXREC.EXE"},
    {"tune", "QRW VEXTRIM Class", "VEXTRIM.EXE"},
    {"gen", "QRW VEXMON Class", "VEXMON.EXE"},
};
const char* const kTuneWords[] = {"tune", "inst", "maint"};

LRESULT CALLBACK TaskProc(HWND, UINT, WPARAM, LPARAM);

void RegisterClassOnce(const char* name, WNDPROC proc) {
  HINSTANCE self = GetModuleHandleA(nullptr);
  WNDCLASSA wc{};
  if (GetClassInfoA(self, name, &wc)) return;
  wc.lpfnWndProc = proc;
  wc.hInstance = self;
  wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_APPWORKSPACE + 1);
  wc.lpszClassName = name;
  RegisterClassA(&wc);
}

}  // namespace

std::vector<std::string> TaskNames() {
  std::vector<std::string> names;
  for (const Program& p : kPrograms) names.push_back(p.name);
  return names;
}

struct TaskWindows::Record {
  TaskWindows* owner = nullptr;
  TaskKind kind;
  HWND window = nullptr;  // kept after the window has gone
  std::deque<TaskMessage> messages;
};

namespace {

LRESULT CALLBACK TaskProc(HWND window, UINT message, WPARAM wp, LPARAM lp) {
  auto* r = reinterpret_cast<TaskWindows::Record*>(GetWindowLongPtrA(window, GWLP_USERDATA));
  if (message == WM_NCCREATE) {
    r = static_cast<TaskWindows::Record*>(reinterpret_cast<CREATESTRUCTA*>(lp)->lpCreateParams);
    SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(r));
  }
  if (!r) return DefWindowProcA(window, message, wp, lp);
  r->messages.push_back({message, wp, lp});
  if (r->messages.size() > TaskWindows::kKept) r->messages.pop_front();
  TaskWindows& owner = *r->owner;
  if (message >= WM_USER && owner.onMessage) owner.onMessage(r->kind.name, {message, wp, lp});
  // A task answers the close request at once and closes when its own
  // messages come round, as a program that saves its state first would.
  if (message == kCloseRequest) PostMessageA(window, WM_CLOSE, 0, 0);
  if (message == WM_NCDESTROY) {
    SetWindowLongPtrA(window, GWLP_USERDATA, 0);
    if (owner.onClosed) owner.onClosed(r->kind.name);
  }
  return DefWindowProcA(window, message, wp, lp);
}

}  // namespace

std::optional<TaskKind> ParseTaskWord(const std::string& word) {
  std::string w = word;
  for (char& c : w) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  std::optional<int> mode;
  for (int m = 0; m < 3; ++m)
    if (w == kTuneWords[m]) mode = m;
  if (w.rfind("tune:", 0) == 0 && w.size() > 5) {
    char* end = nullptr;
    long m = std::strtol(w.c_str() + 5, &end, 10);
    if (*end != '\0' || m < INT16_MIN || m > INT16_MAX) return std::nullopt;
    mode = static_cast<int>(m);
  }
  if (mode) w = "tune";
  for (const Program& p : kPrograms)
    if (w == p.name) return TaskKind{p.name, p.windowClass, p.program, mode};
  return std::nullopt;
}

TaskWindows::TaskWindows(HWND launcher) {
  RegisterClassOnce("HubViewWndClass", DefWindowProcA);
  RECT area{};
  GetClientRect(launcher, &area);
  hub_ = CreateWindowExA(0, "HubViewWndClass", "", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, 0, 0,
                         area.right, area.bottom, launcher, nullptr, GetModuleHandleA(nullptr), nullptr);
}

TaskWindows::~TaskWindows() {
  onMessage = nullptr;
  onClosed = nullptr;
  if (IsWindow(hub_)) DestroyWindow(hub_);  // and every task window in it
}

HWND TaskWindows::open(const std::string& word) {
  std::optional<TaskKind> kind = ParseTaskWord(word);
  if (!kind || !hub_) return nullptr;
  // Registered on first use only, so that a process that never opens a
  // task is free to register its class under another spelling.
  RegisterClassOnce(kind->windowClass, TaskProc);
  auto record = std::make_unique<Record>();
  record->owner = this;
  record->kind = *kind;
  std::string title = kind->program;
  if (kind->tuneMode) title += " (mode " + std::to_string(*kind->tuneMode) + ")";
  const int at = kCascade * static_cast<int>(records_.size());
  HWND window = CreateWindowExA(0, kind->windowClass, title.c_str(),
                                WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_OVERLAPPEDWINDOW, at, at,
                                kWidth, kHeight, hub_, nullptr, GetModuleHandleA(nullptr), record.get());
  if (!window) return nullptr;
  record->window = window;
  records_.push_back(std::move(record));
  return window;
}

const std::deque<TaskMessage>* TaskWindows::messages(HWND window) const {
  for (const auto& r : records_)
    if (r->window == window) return &r->messages;
  return nullptr;
}

void TaskWindows::clearMessages() {
  for (auto& r : records_) r->messages.clear();
}

}  // namespace mcrhost
