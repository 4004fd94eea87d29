// mcrhost.exe as a child process: the suites that test it from the outside
// run it with arguments, a folder, standard input, and catch its output.
#pragma once
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "testhost.h"

namespace mcrtest {

struct HostRun {
  DWORD status = 0;
  std::string out, err;  // UTF-8, as mcrhost writes them
  DWORD ms = 0;          // how long it ran
};

struct HostRunOptions {
  std::string cwd;    // "" for the suite's own
  std::string input;  // standard input
  bool inputStaysOpen = false;  // a pipe that ends only with the run, not at the input's end
  DWORD limitMs = 30000;  // a run still going then fails the test and is ended
  DWORD creationFlags = 0;
  // Called once the process runs, with it (for example to send it Ctrl+C).
  std::function<void(const PROCESS_INFORMATION&)> whileRunning;
};

// Runs mcrhost.exe (beside the test) with args (UTF-8, no quotes inside).
HostRun RunMcrhost(const std::vector<std::string>& args, const HostRunOptions& options = {});

}  // namespace mcrtest
