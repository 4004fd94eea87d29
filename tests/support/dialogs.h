// Automation of the modal windows a word opens on the test's own thread:
// dialogs and message boxes (both of window class "#32770").
//
// A DialogScript hands each new enabled, visible "#32770" window of this
// thread to the next of its steps, in the order expected; a thread timer,
// dispatched by the dialog's own modal loop, finds them. A dialog enabled
// again after a message box it showed was closed counts as new, so a script
// can go dialog -> box -> the same dialog. Steps run inside the modal loop: a
// press() that opens another modal window returns once a later step has
// closed it. After the last step, a script told to answer() sends every
// further window that command as soon as it has been initialised (a hook on
// WM_INITDIALOG), so that a call that asks costs no waiting: the robustness
// bench answers all dialogs so.
//
// Nothing can block a test: a window open for the time-out with no step
// taken is ended. For a script of steps that fails the test, as do steps
// left when finish() is called, or a dialog after the last step with no
// answer set; an answered window that stays open is only marked stuck, and
// the caller decides.
#pragma once
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace mcrtest {

// A live dialog or message box as a step sees it. Texts are in the ANSI code
// page (compare with A("utf-8 text")).
class DialogWindow {
 public:
  explicit DialogWindow(HWND hwnd) : hwnd_(hwnd) {}
  HWND hwnd() const { return hwnd_; }
  std::string caption() const;
  // The texts of the static controls, in creation order, joined with "\n"
  // (for a message box: its message).
  std::string text() const;
  HWND owner() const { return GetWindow(hwnd_, GW_OWNER); }
  HWND item(int id) const { return GetDlgItem(hwnd_, id); }
  std::string itemText(int id) const;
  // The icon a message box shows (null when it shows none).
  HICON icon() const;
  // Ids of the visible push buttons, in creation order.
  std::vector<int> buttons() const;
  std::vector<std::string> listItems(int id) const;

  // What the dialog shows, one line for the dialog (caption, size in dialog
  // units, font, styles) and one per control in creation order: id, class,
  // text, place and size in dialog units, the style bits that change what it
  // does, and its state (items, selection, checked, disabled, hidden).
  std::string dump() const;
  // The state of the controls ids, joined with blanks: a combo box's
  // selection and "/count", a box's check (0 or 1), any other's text; "-"
  // before a disabled control's.
  std::string state(const std::vector<int>& ids) const;

  // As the user does it: the dialog is notified of each change.
  void selectCombo(int id, int index) const;
  void selectList(int id, const std::vector<int>& indexes) const;
  void setText(int id, const std::string& text) const;
  // A click on the button: BN_CLICKED sent to the dialog. Returns when the
  // dialog has handled it.
  void press(int id) const;
  // A notification from a control (a double click, a lost focus).
  void notify(int id, WORD code) const;
  // A key typed on the control that has the focus (or on the dialog): posted,
  // so the dialog's own loop translates it (Esc, Enter, Tab ...).
  void key(UINT virtualKey) const;

 private:
  HWND hwnd_;
};

class DialogScript {
 public:
  using Step = std::function<void(DialogWindow&)>;
  explicit DialogScript(std::vector<Step> steps, DWORD timeoutMs = 5000, int answer = 0);
  ~DialogScript();
  DialogScript(const DialogScript&) = delete;
  DialogScript& operator=(const DialogScript&) = delete;

  // After the steps, every window is sent the command id.
  void answer(int id) { answer_ = id; }
  // Stops the automation; fails the test when steps are left. Called by the
  // destructor if not before.
  void finish();

  // What each window showed when it appeared.
  struct Seen {
    HWND hwnd;
    std::string caption;
    std::string text;
    HWND owner;
    bool stuck = false;  // answered, and ended by force after the time-out
  };
  const std::vector<Seen>& seen() const { return seen_; }
  // The windows seen since the last call.
  std::vector<Seen> take();

 private:
  static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD);
  static LRESULT CALLBACK Hook(int code, WPARAM wp, LPARAM lp);
  void tick();
  void take(HWND w);
  void abandon(const std::string& why);

  std::vector<Step> steps_;
  std::size_t next_ = 0;
  std::vector<Seen> seen_;
  DWORD timeout_;
  DWORD lastProgress_;
  int answer_ = 0;
  UINT_PTR timer_ = 0;
  HHOOK hook_ = nullptr;
  DialogScript* outer_;
  bool finished_ = false;
  bool failed_ = false;
};
// The name the sweep's suites know the bench's automation by.
using DialogWatchdog = DialogScript;

// Answers one message box or dialog by pressing a button.
DialogScript::Step Press(int id);

}  // namespace mcrtest
