#include "stop.h"

#include <chrono>
#include <cstdio>

namespace mcrhost {

namespace {

StopControl* g_control = nullptr;  // the one the console handler reaches

std::string Seconds(double s) {
  char b[32];
  std::snprintf(b, sizeof b, "%g", s);
  return b;
}

// Straight to the handle: the main thread may hold the C library's stream
// lock inside the word that does not come back.
void WriteError(const std::string& line) {
  DWORD written = 0;
  WriteFile(GetStdHandle(STD_ERROR_HANDLE), line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
}

}  // namespace

StopControl::StopControl(double seconds, const std::string& word)
    : seconds_(seconds), word_(word), idle_(CreateEventA(nullptr, TRUE, FALSE, nullptr)) {
  g_control = this;
  SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
  watcher_ = std::thread([this] { watch(); });
}

StopControl::~StopControl() {
  SetConsoleCtrlHandler(OnConsoleEvent, FALSE);
  {
    std::lock_guard<std::mutex> lock(mutex_);
    quit_ = true;
  }
  changed_.notify_all();
  watcher_.join();
  g_control = nullptr;
  CloseHandle(idle_);
}

void StopControl::begin() {
  std::lock_guard<std::mutex> lock(mutex_);
  running_ = true;
  ++run_;
  why_.clear();
  asked_ = false;
  deadline_ = seconds_ > 0 ? GetTickCount64() + static_cast<ULONGLONG>(seconds_ * 1000) : 0;
  if (WaitForSingleObject(idle_, 0) == WAIT_OBJECT_0) {
    // The Ctrl+C is this run's now; left set, it would also end the prompt
    // once the run is over.
    ResetEvent(idle_);
    ask("stopped by Ctrl+C");
  }
  changed_.notify_all();
}

void StopControl::end() {
  std::lock_guard<std::mutex> lock(mutex_);
  running_ = false;
  changed_.notify_all();
}

std::string StopControl::request() {
  if (!asked_.load()) return {};
  std::lock_guard<std::mutex> lock(mutex_);
  return why_;
}

void StopControl::ask(const std::string& why) {
  if (!why_.empty()) return;
  why_ = why;
  asked_ = true;
  changed_.notify_all();
}

// Runs on a thread of the system's own while the main thread is busy.
BOOL WINAPI StopControl::OnConsoleEvent(DWORD event) {
  if ((event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) || !g_control) return FALSE;
  std::lock_guard<std::mutex> lock(g_control->mutex_);
  if (g_control->running_)
    g_control->ask("stopped by Ctrl+C");
  else
    SetEvent(g_control->idle_);
  return TRUE;
}

// Asks for the stop when the time is up, and ends mcrhost when the run is
// still inside a word kStopGrace after the stop was asked for.
void StopControl::watch() {
  std::unique_lock<std::mutex> lock(mutex_);
  while (!quit_) {
    if (!running_) {
      changed_.wait(lock);
      continue;
    }
    const unsigned run = run_;
    if (why_.empty()) {
      if (!deadline_) {
        changed_.wait(lock);
        continue;
      }
      ULONGLONG now = GetTickCount64();
      if (now < deadline_) {
        changed_.wait_for(lock, std::chrono::milliseconds(deadline_ - now));
        continue;
      }
      ask("stopped by --timeout " + Seconds(seconds_));
    }
    bool over = changed_.wait_for(lock, std::chrono::milliseconds(kStopGrace),
                                  [&] { return quit_ || !running_ || run_ != run; });
    if (over) continue;
    WriteError("mcrhost: " + why_ + ", but " + (word_.empty() ? std::string("the macro") : word_) +
               " did not come back: mcrhost ends\n");
    TerminateProcess(GetCurrentProcess(), kStoppedStatus);
  }
}

}  // namespace mcrhost
