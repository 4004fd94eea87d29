#include "dialogs.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace mcrtest {

namespace {

constexpr char kDialogClass[] = "#32770";
constexpr UINT kTickMs = 25;
// Window property the automation leaves on a dialog it has acted on: 1 after
// a step, 2 once the dialog was disabled since (another modal window was on
// top of it), so that it is due for the next step when enabled again.
constexpr char kActedProperty[] = "mcrtest.dialogscript";
constexpr UINT_PTR kActed = 1, kActedThenDisabled = 2;

thread_local DialogScript* t_script = nullptr;

std::string WindowText(HWND w) {
  int n = GetWindowTextLengthA(w);
  std::string s(static_cast<std::size_t>(n) + 1, '\0');
  n = GetWindowTextA(w, &s[0], n + 1);
  s.resize(static_cast<std::size_t>(n > 0 ? n : 0));
  return s;
}

std::string ClassOf(HWND w) {
  char name[64] = {};
  GetClassNameA(w, name, sizeof name);
  return name;
}

// Visible dialogs and message boxes of this thread, topmost first.
std::vector<HWND> OpenDialogs() {
  std::vector<HWND> found;
  EnumThreadWindows(
      GetCurrentThreadId(),
      [](HWND w, LPARAM out) -> BOOL {
        if (IsWindowVisible(w) && ClassOf(w) == kDialogClass)
          reinterpret_cast<std::vector<HWND>*>(out)->push_back(w);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&found));
  return found;
}

std::vector<HWND> Children(HWND parent) {
  std::vector<HWND> found;
  EnumChildWindows(
      parent,
      [](HWND w, LPARAM out) -> BOOL {
        reinterpret_cast<std::vector<HWND>*>(out)->push_back(w);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&found));
  return found;
}

bool IsMultiSelect(HWND list) {
  return (GetWindowLongA(list, GWL_STYLE) & (LBS_EXTENDEDSEL | LBS_MULTIPLESEL)) != 0;
}

}  // namespace

std::string DialogWindow::caption() const { return WindowText(hwnd_); }

std::string DialogWindow::text() const {
  std::string joined;
  for (HWND child : Children(hwnd_)) {
    if (GetParent(child) != hwnd_ || _stricmp(ClassOf(child).c_str(), "Static") != 0) continue;
    std::string t = WindowText(child);
    if (t.empty()) continue;
    if (!joined.empty()) joined += '\n';
    joined += t;
  }
  return joined;
}

std::string DialogWindow::itemText(int id) const {
  HWND w = item(id);
  return w ? WindowText(w) : std::string();
}

HICON DialogWindow::icon() const {
  for (HWND child : Children(hwnd_))
    if (_stricmp(ClassOf(child).c_str(), "Static") == 0 && (GetWindowLongA(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON)
      return reinterpret_cast<HICON>(SendMessageA(child, STM_GETICON, 0, 0));
  return nullptr;
}

std::vector<int> DialogWindow::buttons() const {
  std::vector<int> ids;
  for (HWND child : Children(hwnd_)) {
    if (GetParent(child) != hwnd_ || !IsWindowVisible(child) || _stricmp(ClassOf(child).c_str(), "Button") != 0)
      continue;
    LONG kind = GetWindowLongA(child, GWL_STYLE) & BS_TYPEMASK;
    if (kind == BS_PUSHBUTTON || kind == BS_DEFPUSHBUTTON) ids.push_back(GetDlgCtrlID(child));
  }
  return ids;
}

SIZE DialogWindow::clientSize() const {
  RECT r{};
  GetClientRect(hwnd_, &r);
  return {r.right - r.left, r.bottom - r.top};
}

SIZE DialogWindow::toPixels(int cx, int cy) const {
  RECT r{0, 0, cx, cy};
  MapDialogRect(hwnd_, &r);
  return {r.right, r.bottom};
}

std::string DialogWindow::fontFace() const {
  auto font = reinterpret_cast<HFONT>(SendMessageA(hwnd_, WM_GETFONT, 0, 0));
  LOGFONTA lf{};
  if (!font || !GetObjectA(font, sizeof lf, &lf)) return {};
  return lf.lfFaceName;
}

namespace {

// The texts of a combo box's or list box's items, through its own messages.
std::vector<std::string> ItemTexts(HWND control, UINT count, UINT length, UINT text) {
  std::vector<std::string> items;
  LRESULT n = SendMessageA(control, count, 0, 0);
  for (LRESULT i = 0; i < n; ++i) {
    LRESULT len = SendMessageA(control, length, static_cast<WPARAM>(i), 0);
    std::string s(static_cast<std::size_t>(len > 0 ? len : 0) + 1, '\0');
    SendMessageA(control, text, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&s[0]));
    s.resize(static_cast<std::size_t>(len > 0 ? len : 0));
    items.push_back(s);
  }
  return items;
}

}  // namespace

std::vector<std::string> DialogWindow::comboItems(int id) const {
  return ItemTexts(item(id), CB_GETCOUNT, CB_GETLBTEXTLEN, CB_GETLBTEXT);
}

int DialogWindow::comboSelection(int id) const {
  return static_cast<int>(SendMessageA(item(id), CB_GETCURSEL, 0, 0));
}

void DialogWindow::selectCombo(int id, int index) const {
  HWND combo = item(id);
  SendMessageA(combo, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
  SendMessageA(hwnd_, WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE), reinterpret_cast<LPARAM>(combo));
}

std::vector<std::string> DialogWindow::listItems(int id) const {
  return ItemTexts(item(id), LB_GETCOUNT, LB_GETTEXTLEN, LB_GETTEXT);
}

void DialogWindow::selectList(int id, const std::vector<int>& indexes) const {
  HWND list = item(id);
  if (IsMultiSelect(list)) {
    SendMessageA(list, LB_SETSEL, FALSE, -1);
    for (int i : indexes) SendMessageA(list, LB_SETSEL, TRUE, i);
  } else {
    SendMessageA(list, LB_SETCURSEL, indexes.empty() ? static_cast<WPARAM>(-1) : static_cast<WPARAM>(indexes[0]), 0);
  }
  SendMessageA(hwnd_, WM_COMMAND, MAKEWPARAM(id, LBN_SELCHANGE), reinterpret_cast<LPARAM>(list));
}

void DialogWindow::setText(int id, const std::string& text) const {
  SetDlgItemTextA(hwnd_, id, text.c_str());
}

void DialogWindow::press(int id) const {
  SendMessageA(hwnd_, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(item(id)));
}

void DialogWindow::key(UINT virtualKey) const {
  HWND target = GetFocus();
  if (!target || (target != hwnd_ && !IsChild(hwnd_, target))) target = hwnd_;
  PostMessageA(target, WM_KEYDOWN, virtualKey, 1);
  PostMessageA(target, WM_KEYUP, virtualKey, static_cast<LPARAM>(0xC0000001u));
}

DialogScript::DialogScript(std::vector<Step> steps, DWORD timeoutMs)
    : steps_(std::move(steps)), timeout_(timeoutMs), lastProgress_(GetTickCount()) {
  if (t_script) ADD_FAILURE() << "a dialog script is already running on this thread";
  t_script = this;
  timer_ = SetTimer(nullptr, 0, kTickMs, &DialogScript::Tick);
  if (!timer_) ADD_FAILURE() << "dialog automation: no timer";
}

DialogScript::~DialogScript() { finish(); }

void DialogScript::finish() {
  if (finished_) return;
  finished_ = true;
  if (timer_) KillTimer(nullptr, timer_);
  if (t_script == this) t_script = nullptr;
  if (!failed_ && seen_.size() < steps_.size())
    ADD_FAILURE() << "dialog automation: expected " << steps_.size() << " dialog(s), saw "
                  << seen_.size();
}

void CALLBACK DialogScript::Tick(HWND, UINT, UINT_PTR, DWORD) {
  if (t_script) t_script->tick();
}

void DialogScript::abandon(const char* why) {
  failed_ = true;
  ADD_FAILURE() << "dialog automation: " << why << " (after " << seen_.size() << " of "
                << steps_.size() << " step(s))";
  for (HWND w : OpenDialogs()) EndDialog(w, IDCANCEL);
}

void DialogScript::tick() {
  if (finished_) return;
  std::vector<HWND> open = OpenDialogs();
  HWND due = nullptr;
  for (HWND w : open) {
    auto mark = reinterpret_cast<UINT_PTR>(GetPropA(w, kActedProperty));
    if (!IsWindowEnabled(w)) {
      if (mark == kActed) SetPropA(w, kActedProperty, reinterpret_cast<HANDLE>(kActedThenDisabled));
      continue;
    }
    if (!due && mark != kActed) due = w;
  }
  if (failed_) {
    // After a failure nothing more is answered: whatever opens is cancelled.
    for (HWND w : open) EndDialog(w, IDCANCEL);
    return;
  }
  if (!due) {
    if (!open.empty() && GetTickCount() - lastProgress_ > timeout_)
      abandon(seen_.size() < steps_.size() ? "timed out waiting for the next dialog"
                                           : "a dialog was left open");
    return;
  }
  if (seen_.size() >= steps_.size()) {
    std::string caption = WindowText(due);
    abandon(("unexpected dialog \"" + caption + "\"").c_str());
    return;
  }
  SetPropA(due, kActedProperty, reinterpret_cast<HANDLE>(kActed));
  DialogWindow window(due);
  seen_.push_back({due, window.caption(), window.text(), window.owner()});
  std::size_t step = seen_.size() - 1;
  lastProgress_ = GetTickCount();
  steps_[step](window);
  lastProgress_ = GetTickCount();
}

DialogScript::Step Press(int id) {
  return [id](DialogWindow& d) { d.press(id); };
}

namespace {
thread_local DialogWatchdog* t_watchdog = nullptr;
}  // namespace

DialogWatchdog::DialogWatchdog(DWORD timeoutMs) : timeout_(timeoutMs) {
  if (t_watchdog) ADD_FAILURE() << "a dialog watchdog is already running on this thread";
  t_watchdog = this;
  hook_ = SetWindowsHookExA(WH_CALLWNDPROCRET, &DialogWatchdog::Hook, nullptr, GetCurrentThreadId());
  timer_ = SetTimer(nullptr, 0, 100, &DialogWatchdog::Tick);
  if (!hook_ || !timer_) ADD_FAILURE() << "dialog watchdog: no hook or no timer";
}

DialogWatchdog::~DialogWatchdog() {
  if (hook_) UnhookWindowsHookEx(hook_);
  if (timer_) KillTimer(nullptr, timer_);
  if (t_watchdog == this) t_watchdog = nullptr;
}

std::vector<DialogWatchdog::Seen> DialogWatchdog::take() {
  open_.erase(std::remove_if(open_.begin(), open_.end(), [](const Open& o) { return !IsWindow(o.hwnd); }),
              open_.end());
  std::vector<Seen> out;
  out.swap(seen_);
  // Windows still open keep their record at the front of the new list.
  for (Open& o : open_) {
    seen_.push_back(out[o.seen]);
    o.seen = seen_.size() - 1;
  }
  return out;
}

LRESULT CALLBACK DialogWatchdog::Hook(int code, WPARAM wp, LPARAM lp) {
  auto* ret = reinterpret_cast<const CWPRETSTRUCT*>(lp);
  DialogWatchdog* self = t_watchdog;
  if (code == HC_ACTION && self && ret->message == WM_INITDIALOG && ClassOf(ret->hwnd) == kDialogClass) {
    DialogWindow d(ret->hwnd);
    self->seen_.push_back({d.caption(), d.text(), false});
    self->open_.push_back({ret->hwnd, GetTickCount(), self->seen_.size() - 1});
    PostMessageA(ret->hwnd, WM_COMMAND, MAKEWPARAM(self->answer_, BN_CLICKED),
                 reinterpret_cast<LPARAM>(d.item(self->answer_)));
  }
  return CallNextHookEx(nullptr, code, wp, lp);
}

void CALLBACK DialogWatchdog::Tick(HWND, UINT, UINT_PTR, DWORD) {
  DialogWatchdog* self = t_watchdog;
  if (!self) return;
  auto& open = self->open_;
  for (std::size_t i = 0; i < open.size();) {
    if (!IsWindow(open[i].hwnd)) {
      open.erase(open.begin() + static_cast<std::ptrdiff_t>(i));
      continue;
    }
    if (GetTickCount() - open[i].answeredAt > self->timeout_ && IsWindowEnabled(open[i].hwnd)) {
      self->seen_[open[i].seen].stuck = true;
      EndDialog(open[i].hwnd, IDCANCEL);
      open[i].answeredAt = GetTickCount();
    }
    ++i;
  }
}

}  // namespace mcrtest
