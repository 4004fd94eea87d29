// The modal windows a word opens on the test's own thread, dialogs and message
// boxes (window class "#32770"), and the help they ask for.
//
// A DialogScript hands each new enabled, visible "#32770" window of the thread to
// its next step, in order, found by a thread timer the dialog's own modal loop
// dispatches; a dialog enabled again after a message box it showed counts as new.
// Steps run inside the modal loop: a press() that opens another modal window
// returns once a later step closed it. Past the last step, a script given an
// answer sends every further window that command as soon as it is initialised
// (no waiting: the robustness bench answers all dialogs so). A window left open
// for the time-out is ended: a script of steps then fails the test, as it does
// with steps left at finish() or a window past the last step without an answer;
// an answered window that stays open is only marked stuck, for the caller to judge.
#pragma once
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace mcrtest {

// A live dialog or message box. Texts are in the ANSI code page.
class DialogWindow {
 public:
  explicit DialogWindow(HWND hwnd) : hwnd_(hwnd) {}
  HWND hwnd() const { return hwnd_; }
  HWND owner() const { return GetWindow(hwnd_, GW_OWNER); }
  HWND item(int id) const { return GetDlgItem(hwnd_, id); }
  std::string caption() const;
  std::string text() const;  // the static texts joined with "\n" (a message box's message)
  std::string itemText(int id) const;
  HICON icon() const;                // a message box's icon, or null
  std::vector<int> buttons() const;  // the visible push buttons
  std::vector<std::string> listItems(int id) const;
  // What the dialog shows: a line for the dialog (caption, size in dialog
  // units, font, styles), then one a control in creation order: id, class,
  // text, place and size in dialog units (pixels, marked "px", where no unit
  // maps; a list's height is the platform's, "*"), the style bits that change
  // what it does, and its state (selection, items, check, image, limit).
  std::string dump() const;
  // The controls' state, joined with blanks: a combo box's selection and
  // "/count", a button's check, any other's text; "-" marks a disabled one.
  std::string state(const std::vector<int>& ids) const;

  // As the user does it: the dialog is notified of each change.
  void selectCombo(int id, int index) const;
  void selectList(int id, const std::vector<int>& indexes) const;
  void setText(int id, const std::string& text) const { SetDlgItemTextA(hwnd_, id, text.c_str()); }
  void press(int id) const { notify(id, BN_CLICKED); }  // returns once the dialog has handled it
  void notify(int id, WORD code) const;
  void key(UINT virtualKey) const;  // posted to the control with the focus, for the dialog's own loop

 private:
  HWND hwnd_;
};

class DialogScript {
 public:
  using Step = std::function<void(DialogWindow&)>;
  explicit DialogScript(std::vector<Step> steps, DWORD timeoutMs = 5000, int answer = 0);
  ~DialogScript() { finish(); }
  void answer(int id) { answer_ = id; }
  void finish();  // stops the automation; fails the test when steps are left

  struct Seen {
    HWND hwnd;
    std::string caption, text;
    HWND owner;
    bool stuck = false;  // answered, and ended by force after the time-out
  };
  const std::vector<Seen>& seen() const { return seen_; }
  std::vector<Seen> take();  // the windows seen since the last call

 private:
  static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD);
  static LRESULT CALLBACK Hook(int code, WPARAM wp, LPARAM lp);
  void tick();
  void meet(HWND w);
  void abandon(const std::string& why);

  std::vector<Step> steps_;
  std::size_t next_ = 0;
  std::vector<Seen> seen_;
  DWORD timeout_, lastProgress_;
  int answer_;
  UINT_PTR timer_ = 0;
  HHOOK hook_ = nullptr;
  DialogScript* outer_;
  bool finished_ = false, failed_ = false;
};
using DialogWatchdog = DialogScript;  // the name the sweep's suites know the bench's by

DialogScript::Step Press(int id);

// Runs the calls with the help the dialogs ask for caught before a viewer
// opens, and gives the requests, one a line: "html COMMAND DATA FILE" asked
// for on the desktop window, "winhelp COMMAND DATA FILE" asked for by owner;
// one from another window reads "html owned ..." or "winhelp owned ...".
// Meanwhile the HTML Help control's registration, through which the library
// finds it, points at tests/helprec, which only records the request, and a
// window of the older viewer's class receives every WinHelp request. (A suite
// that catches help takes turns with those that change the workstation's
// registry: CatchHelp is in the lock's pattern.)
std::string CatchHelp(HWND owner, const std::function<void()>& calls);

}  // namespace mcrtest
