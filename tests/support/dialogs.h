// Automation of the modal windows a word opens on the test's own thread:
// dialogs and message boxes (both of window class "#32770").
//
// A DialogScript is a list of steps, one per appearance of a dialog, in the
// order expected. A thread timer, dispatched by the dialog's own modal loop,
// hands each new enabled, visible "#32770" window of this thread to the next
// step; a dialog enabled again after a message box it showed was closed
// counts as new, so a script can go dialog -> box -> the same dialog. Steps
// run inside the modal loop: a press() that opens another modal window
// returns once a later step has closed it.
//
// Nothing can block a test: with no step taken for the time-out while a
// dialog is open, every open dialog of the thread is cancelled and the test
// fails; steps left when the call returns, or a dialog after the last step,
// fail it too (in finish() or the destructor).
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
  bool exists() const { return IsWindow(hwnd_) != FALSE; }

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
  // The client area in pixels, and a size in dialog units in pixels (by the
  // dialog's own font), to compare the two.
  SIZE clientSize() const;
  SIZE toPixels(int cx, int cy) const;
  // The face name of the dialog's font (ANSI).
  std::string fontFace() const;

  // Combo boxes and list boxes: items and selection, and choosing an item
  // as the user does (the selection changes and the dialog is notified).
  std::vector<std::string> comboItems(int id) const;
  int comboSelection(int id) const;
  void selectCombo(int id, int index) const;
  std::vector<std::string> listItems(int id) const;
  void selectList(int id, const std::vector<int>& indexes) const;

  // Sets an edit control's text and notifies the dialog.
  void setText(int id, const std::string& text) const;
  // A click on the button: BN_CLICKED sent to the dialog. Returns when the
  // dialog has handled it.
  void press(int id) const;
  // A key typed on the control that has the focus (or on the dialog): posted,
  // so the dialog's own loop translates it (Esc, Enter, Tab ...).
  void key(UINT virtualKey) const;

 private:
  HWND hwnd_;
};

class DialogScript {
 public:
  using Step = std::function<void(DialogWindow&)>;
  explicit DialogScript(std::vector<Step> steps, DWORD timeoutMs = 5000);
  ~DialogScript();
  DialogScript(const DialogScript&) = delete;
  DialogScript& operator=(const DialogScript&) = delete;

  // Stops the automation; fails the test when steps are left. Called by the
  // destructor if not before.
  void finish();

  // What each step found when its window appeared.
  struct Seen {
    HWND hwnd;
    std::string caption;
    std::string text;
    HWND owner;
  };
  const std::vector<Seen>& seen() const { return seen_; }

 private:
  static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD);
  void tick();
  void abandon(const char* why);

  std::vector<Step> steps_;
  std::vector<Seen> seen_;
  DWORD timeout_;
  DWORD lastProgress_;
  UINT_PTR timer_ = 0;
  bool finished_ = false;
  bool failed_ = false;
};

// Answers one message box or dialog by pressing a button, keeping what it saw.
DialogScript::Step Press(int id);

// Answers every dialog and message box the thread opens while it lives, for
// tests that call words without caring what they ask: each window is sent
// the command `answer` (IDCANCEL unless set otherwise) as soon as it has
// been initialised, so a call that asks costs no waiting. A window still
// open `timeoutMs` after it was answered is ended by force and counted as
// stuck; the caller decides whether that fails its test.
class DialogWatchdog {
 public:
  explicit DialogWatchdog(DWORD timeoutMs = 3000);
  ~DialogWatchdog();
  DialogWatchdog(const DialogWatchdog&) = delete;
  DialogWatchdog& operator=(const DialogWatchdog&) = delete;

  void setAnswer(int id) { answer_ = id; }
  struct Seen {
    std::string caption;
    std::string text;  // the static texts; a message box's message
    bool stuck = false;
  };
  // The windows answered since the last call.
  std::vector<Seen> take();

 private:
  static LRESULT CALLBACK Hook(int code, WPARAM wp, LPARAM lp);
  static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD);

  struct Open {
    HWND hwnd;
    DWORD answeredAt;
    std::size_t seen;  // index into seen_
  };
  std::vector<Open> open_;
  std::vector<Seen> seen_;
  HHOOK hook_ = nullptr;
  UINT_PTR timer_ = 0;
  DWORD timeout_;
  int answer_ = IDCANCEL;
};

}  // namespace mcrtest
