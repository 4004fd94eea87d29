// Help requests of the dialogs, caught before any viewer opens, so that a
// test checks the call (window, file, command, topic) and not a viewer.
//
// While a HelpCatcher lives, the registration of the HTML Help control,
// through which the library finds the control, points at helprec.dll beside
// the test (the old path comes back at the end; a suite that uses it takes
// turns with the others that change the workstation's registry: its name is
// in the lock's pattern), and a window of the class the older help viewer
// listens with receives every WinHelp request instead of a viewer.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "../helprec/helprec.h"

namespace mcrtest {

class HelpCatcher {
 public:
  HelpCatcher();
  ~HelpCatcher();
  HelpCatcher(const HelpCatcher&) = delete;
  HelpCatcher& operator=(const HelpCatcher&) = delete;
  // The requests so far, one a line: "html COMMAND DATA FILE" for HTML Help
  // asked for on the desktop window, "winhelp COMMAND DATA FILE" for WinHelp
  // asked for by owner; a request from any other window reads "... owned ...".
  std::string calls(HWND owner) const;

 private:
  static LRESULT CALLBACK Proc(HWND w, UINT m, WPARAM wp, LPARAM lp);
  std::string old_;
  bool had_ = false;
  HMODULE recorder_ = nullptr;
  RecordedHelpCountFn count_ = nullptr;
  RecordedHelpCallFn at_ = nullptr;
  int before_ = 0;
  HWND window_ = nullptr;
  struct Request { HWND owner; std::string line; };
  std::vector<Request> requests_;
};

}  // namespace mcrtest
