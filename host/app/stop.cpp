#include "stop.h"

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
    : seconds_(seconds),
      word_(word),
      changed_(CreateEventA(nullptr, FALSE, FALSE, nullptr)),
      idle_(CreateEventA(nullptr, TRUE, FALSE, nullptr)) {
  g_control = this;
  SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
  watcher_ = StartThread([this] { watch(); });
}

StopControl::~StopControl() {
  SetConsoleCtrlHandler(OnConsoleEvent, FALSE);
  {
    Locked hold(lock_);
    quit_ = true;
  }
  SetEvent(changed_);
  WaitForSingleObject(watcher_, INFINITE);
  CloseHandle(watcher_);
  g_control = nullptr;
  CloseHandle(changed_);
  CloseHandle(idle_);
}

void StopControl::begin() {
  Locked hold(lock_);
  running_ = true;
  ++run_;
  why_.clear();
  InterlockedExchange(&asked_, 0);
  started_ = GetTickCount();
  if (WaitForSingleObject(idle_, 0) == WAIT_OBJECT_0) {
    // The Ctrl+C is this run's now; left set, it would also end the prompt
    // once the run is over.
    ResetEvent(idle_);
    ask("stopped by Ctrl+C");
  }
  SetEvent(changed_);
}

void StopControl::end() {
  Locked hold(lock_);
  running_ = false;
  SetEvent(changed_);
}

std::string StopControl::request() {
  if (!InterlockedCompareExchange(&asked_, 0, 0)) return {};
  Locked hold(lock_);
  return why_;
}

void StopControl::ask(const std::string& why) {
  if (!why_.empty()) return;
  why_ = why;
  InterlockedExchange(&asked_, 1);
  SetEvent(changed_);
}

// Runs on a thread of the system's own while the main thread is busy.
BOOL WINAPI StopControl::OnConsoleEvent(DWORD event) {
  if ((event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) || !g_control) return FALSE;
  Locked hold(g_control->lock_);
  if (g_control->running_)
    g_control->ask("stopped by Ctrl+C");
  else
    SetEvent(g_control->idle_);
  return TRUE;
}

// Asks for the stop when the time is up, and ends mcrhost when the run is
// still inside a word kStopGrace after the stop was asked for.
void StopControl::watch() {
  // Waits for a change, or at most ms, with the lock let go meanwhile.
  auto wait = [this](DWORD ms) {
    lock_.unlock();
    WaitForSingleObject(changed_, ms);
    lock_.lock();
  };
  const DWORD limit = seconds_ > 0 ? static_cast<DWORD>(seconds_ * 1000) : 0;
  Locked hold(lock_);
  while (!quit_) {
    if (!running_) {
      wait(INFINITE);
      continue;
    }
    const unsigned run = run_;
    if (why_.empty()) {
      if (!limit) {
        wait(INFINITE);
        continue;
      }
      // Tick differences stay right across the counter's wrap at 49.7 days.
      const DWORD spent = GetTickCount() - started_;
      if (spent < limit) {
        wait(limit - spent);
        continue;
      }
      ask("stopped by --timeout " + Seconds(seconds_));
    }
    const DWORD asked = GetTickCount();
    bool over = false;
    for (DWORD spent = 0; !over && spent < kStopGrace; spent = GetTickCount() - asked) {
      wait(kStopGrace - spent);
      over = quit_ || !running_ || run_ != run;
    }
    if (over) continue;
    WriteError("mcrhost: " + why_ + ", but " + (word_.empty() ? std::string("the macro") : word_) +
               " did not come back: mcrhost ends\n");
    TerminateProcess(GetCurrentProcess(), kStoppedStatus);
  }
}

}  // namespace mcrhost
