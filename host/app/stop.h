// Stopping a runaway macro from outside: Ctrl+C (or Ctrl+Break) at the
// console, and the time limit of --timeout. The macro stops before its next
// statement, and a wait ends early; a word that does not come back within
// kStopGrace of the request (a dialog nobody answers) is ended together with
// mcrhost.
#pragma once
#include <windows.h>

#include <string>

#include "winsync.h"

namespace mcrhost {

inline constexpr int kStoppedStatus = 4;
inline constexpr DWORD kStopGrace = 3000;  // ms

class StopControl {
 public:
  // seconds: the time limit of each run, 0 for none. word names the word
  // being called, "" between calls.
  StopControl(double seconds, const std::string& word);
  ~StopControl();
  StopControl(const StopControl&) = delete;
  StopControl& operator=(const StopControl&) = delete;

  // One run: the start-up macro, the macro, or one entry at the prompt.
  // Ctrl+C between runs stops the next run as it begins.
  void begin();
  void end();

  // Why the run must stop now (UTF-8); "" to go on.
  std::string request();

  // Signalled by Ctrl+C while no run goes on (the prompt waits for input).
  HANDLE idleInterrupt() const { return idle_; }

 private:
  static BOOL WINAPI OnConsoleEvent(DWORD event);
  void ask(const std::string& why);  // with lock_ held
  void watch();

  const double seconds_;
  const std::string& word_;
  CriticalSection lock_;
  HANDLE changed_;        // auto-reset: the watcher looks at the state again
  bool quit_ = false;
  bool running_ = false;
  unsigned run_ = 0;      // counts the runs, so that a late grace ends only its own
  std::string why_;       // the stop asked for in this run
  volatile LONG asked_ = 0;  // why_ is set: the quick test of request()
  DWORD started_ = 0;     // tick count at the run's start, for the time limit
  HANDLE idle_;
  HANDLE watcher_;
};

}  // namespace mcrhost
