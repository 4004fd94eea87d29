// The help a dialog asks for, seen without a help viewer: while a HelpCalls
// lives, the HTML Help control's entry (ordinal 14 of hhctrl.ocx) is patched
// in this process to record its calls, and a window of the class WinHelp
// sends its requests to receives them.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

namespace mcrtest {

class HelpCalls {
 public:
  struct Call {
    HWND window;  // HTML Help: the owner given; WinHelp: the window of the request
    std::string file;
    UINT command;
    ULONG_PTR data;
  };

  HelpCalls();
  ~HelpCalls();
  HelpCalls(const HelpCalls&) = delete;
  HelpCalls& operator=(const HelpCalls&) = delete;

  const std::vector<Call>& html() const { return html_; }
  const std::vector<Call>& winHelp() const { return winHelp_; }
  void clear() {
    html_.clear();
    winHelp_.clear();
  }

 private:
  static HWND WINAPI RecordHtml(HWND window, LPCSTR file, UINT command, DWORD_PTR data);
  static LRESULT CALLBACK WinHelpWindow(HWND w, UINT message, WPARAM wp, LPARAM lp);

  std::vector<Call> html_, winHelp_;
  void* entry_ = nullptr;
  unsigned char saved_[12] = {};
  HWND winHelpWindow_ = nullptr;
};

}  // namespace mcrtest
