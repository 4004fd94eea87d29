// mcrhost.exe as a child process: the suites that test it from the outside
// run it with arguments, a folder, standard input, and catch its output.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "testhost.h"

namespace mcrtest {

struct HostRun {
  DWORD status = 0;
  std::string out, err;  // UTF-8, as mcrhost writes them
};

struct HostRunOptions {
  std::string cwd;    // "" for the suite's own
  std::string input;  // standard input
  // Ctrl+C in mcrhost's own console a moment after its first output; the
  // input then stays open until mcrhost ends.
  bool ctrlC = false;
};

// Runs mcrhost.exe (beside the test) with args (UTF-8, no quotes inside); a
// run still going after 30 s fails the test and is ended.
HostRun RunMcrhost(const std::vector<std::string>& args, const HostRunOptions& options = {});

}  // namespace mcrtest
