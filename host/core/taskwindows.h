// Stand-ins for the workstation's other task programs as the launcher holds
// them: a "HubViewWndClass" child of the launcher's window, and inside it one
// small real window per task, of the task's main-window class. Each records
// the messages it gets and, asked to close (message 0x051F), closes itself a
// moment later, as a task program would. Used by mcrhost (--tasks) and by
// the tests.
#pragma once
#include <windows.h>

#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace mcrhost {

// A task word: "da", "acq", "gen", "tune", "inst", "maint" or "tune:N"
// (letter case ignored) names a task program and, for the tune task, its mode.
struct TaskKind {
  std::string name;  // "da", "acq", "gen" or "tune"
  const char* windowClass;
  const char* program;
  std::optional<int> tuneMode;
};
std::optional<TaskKind> ParseTaskWord(const std::string& word);
// The names of the task programs ("da", "acq", "tune", "gen").
std::vector<std::string> TaskNames();

struct TaskMessage {
  UINT message;
  WPARAM first;
  LPARAM second;
};

class TaskWindows {
 public:
  // The newest messages each window keeps.
  static constexpr std::size_t kKept = 256;

  // Makes the hub window inside launcher, filling its client area.
  explicit TaskWindows(HWND launcher);
  ~TaskWindows();
  TaskWindows(const TaskWindows&) = delete;
  TaskWindows& operator=(const TaskWindows&) = delete;

  HWND hub() const { return hub_; }
  // Opens the stand-in of a task in the hub, shown; null for a word that
  // names no task.
  HWND open(const std::string& word);
  // The messages a window opened here got, oldest first, also after it
  // closed; null for any other window.
  const std::deque<TaskMessage>* messages(HWND window) const;
  void clearMessages();

  // Application messages (WM_USER and above) as they arrive, and the end of
  // each window; the name is the task's ("da", "acq", "gen", "tune").
  std::function<void(const std::string& name, const TaskMessage&)> onMessage;
  std::function<void(const std::string& name)> onClosed;

  struct Record;

 private:
  HWND hub_ = nullptr;
  std::vector<std::unique_ptr<Record>> records_;
};

}  // namespace mcrhost
