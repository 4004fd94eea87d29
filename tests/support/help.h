// Help requests of the dialogs, caught before any viewer opens, so that a
// test checks the call (window, file, command, topic) and not a viewer.
//
// HtmlHelpRecorder points the registration of the HTML Help control, through
// which the library finds the control, at helprec.dll beside the test, and
// puts the old path back at the end. A suite that uses it takes turns with
// the others that change the workstation's registry (its name is in the
// lock's pattern).
//
// WinHelpCatcher is a window of the class the older help viewer listens
// with: while it exists, WinHelp hands it each request instead of starting
// the viewer.
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace mcrtest {

class HtmlHelpRecorder {
 public:
  struct Call {
    HWND window;
    std::string file;
    UINT command;
    DWORD_PTR data;
  };
  HtmlHelpRecorder();
  ~HtmlHelpRecorder();
  HtmlHelpRecorder(const HtmlHelpRecorder&) = delete;
  HtmlHelpRecorder& operator=(const HtmlHelpRecorder&) = delete;
  // The calls made since this recorder was set up.
  std::vector<Call> calls() const;

 private:
  std::string old_;
  bool had_ = false;
  int before_ = 0;
};

class WinHelpCatcher {
 public:
  struct Request {
    HWND owner;
    std::string file;
    UINT command;
    std::uint32_t data;
  };
  WinHelpCatcher();
  ~WinHelpCatcher();
  WinHelpCatcher(const WinHelpCatcher&) = delete;
  WinHelpCatcher& operator=(const WinHelpCatcher&) = delete;
  const std::vector<Request>& requests() const { return requests_; }

 private:
  static LRESULT CALLBACK Proc(HWND w, UINT m, WPARAM wp, LPARAM lp);
  HWND window_ = nullptr;
  std::vector<Request> requests_;
};

}  // namespace mcrtest
