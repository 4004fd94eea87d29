// Automation of the modal windows a word opens on the test's own thread:
// dialogs and message boxes (both of window class "#32770").
//
// A DialogScript hands each new enabled, visible "#32770" window of the
// thread to its next step, in the order expected; a thread timer, dispatched
// by the dialog's own modal loop, finds them. A dialog enabled again after a
// message box it showed was closed counts as new (dialog -> box -> the same
// dialog). Steps run inside the modal loop: a press() that opens another
// modal window returns once a later step has closed it. Past the last step,
// a script given an answer sends every further window that command as soon
// as it is initialised (a hook on WM_INITDIALOG), so that a call that asks
// costs no waiting: the robustness bench answers all dialogs so.
//
// Nothing can block a test: a window left open for the time-out is ended. A
// script of steps then fails the test, as it does with steps left at
// finish() or a dialog past the last step without an answer; an answered
// window that stays open is only marked stuck, for the caller to judge.
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
  // The static texts joined with "\n" (a message box's message).
  std::string text() const;
  std::string itemText(int id) const;
  HICON icon() const;              // a message box's icon, or null
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
  // A key posted to the control with the focus, for the dialog's own loop.
  void key(UINT virtualKey) const;

 private:
  HWND hwnd_;
};

class DialogScript {
 public:
  using Step = std::function<void(DialogWindow&)>;
  explicit DialogScript(std::vector<Step> steps, DWORD timeoutMs = 5000, int answer = 0);
  ~DialogScript() { finish(); }
  DialogScript(const DialogScript&) = delete;
  DialogScript& operator=(const DialogScript&) = delete;

  void answer(int id) { answer_ = id; }
  // Stops the automation; fails the test when steps are left.
  void finish();

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

}  // namespace mcrtest
