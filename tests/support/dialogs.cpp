#include "dialogs.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace mcrtest {

namespace {

constexpr char kDialogClass[] = "#32770";
constexpr UINT kTickMs = 25;
// Left on a window the automation has met: 1, then 2 once it was disabled
// since (a modal window on top of it), making it due again when enabled.
constexpr char kActedProperty[] = "mcrtest.dialogscript";
constexpr UINT_PTR kActed = 1, kActedThenDisabled = 2;

thread_local DialogScript* t_script = nullptr;

std::string WindowText(HWND w) {
  char text[1024] = {};
  GetWindowTextA(w, text, sizeof text);
  return text;
}

std::string ClassOf(HWND w) {
  char name[64] = {};
  GetClassNameA(w, name, sizeof name);
  return name;
}

bool IsClass(HWND w, const char* name) { return _stricmp(ClassOf(w).c_str(), name) == 0; }

// Visible dialogs and message boxes of this thread, topmost first.
std::vector<HWND> OpenDialogs() {
  std::vector<HWND> found;
  EnumThreadWindows(
      GetCurrentThreadId(),
      [](HWND w, LPARAM out) -> BOOL {
        if (IsWindowVisible(w) && IsClass(w, kDialogClass)) reinterpret_cast<std::vector<HWND>*>(out)->push_back(w);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&found));
  return found;
}

// The controls of a dialog, in creation order.
std::vector<HWND> Children(HWND parent) {
  std::vector<HWND> found;
  for (HWND c = GetWindow(parent, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) found.push_back(c);
  return found;
}

std::vector<std::string> ItemTexts(HWND control, UINT count, UINT length, UINT text) {
  std::vector<std::string> items;
  for (LRESULT i = 0, n = SendMessageA(control, count, 0, 0); i < n; ++i) {
    std::string s(static_cast<std::size_t>(SendMessageA(control, length, i, 0)) + 1, '\0');
    items.push_back(s.substr(0, SendMessageA(control, text, i, reinterpret_cast<LPARAM>(&s[0]))));
  }
  return items;
}

std::string Quoted(const std::string& text) {
  std::string q = "\"";
  for (char c : text) q += c == '\t' ? "\\t" : c == '\n' ? "\\n" : std::string(1, c);
  return q + "\"";
}

// Style bits worth naming, by class ("" any control): those where (style &
// mask) == bits.
struct Flag { const char* cls; LONG mask, bits; const char* name; };
const Flag kFlags[] = {
    {"#32770", DS_MODALFRAME, DS_MODALFRAME, "modalframe"}, {"#32770", DS_CENTER, DS_CENTER, "center"},
    {"#32770", WS_CAPTION, WS_CAPTION, "caption"}, {"#32770", WS_SYSMENU, WS_SYSMENU, "sysmenu"},
    {"Button", BS_TYPEMASK, BS_DEFPUSHBUTTON, "default"}, {"Button", BS_TYPEMASK, BS_AUTOCHECKBOX, "autocheckbox"},
    {"Button", BS_ICON, BS_ICON, "icon"}, {"Static", SS_TYPEMASK, SS_RIGHT, "right"},
    {"Static", SS_TYPEMASK, SS_ICON, "icon"}, {"Static", SS_SUNKEN, SS_SUNKEN, "sunken"},
    {"Static", SS_ELLIPSISMASK, SS_PATHELLIPSIS, "pathellipsis"},
    {"Static", SS_CENTERIMAGE, SS_CENTERIMAGE, "centerimage"}, {"Static", SS_NOPREFIX, SS_NOPREFIX, "noprefix"},
    {"Edit", ES_AUTOHSCROLL, ES_AUTOHSCROLL, "autohscroll"}, {"Edit", ES_NUMBER, ES_NUMBER, "number"},
    {"ListBox", LBS_SORT, LBS_SORT, "sort"}, {"ListBox", LBS_NOTIFY, LBS_NOTIFY, "notify"},
    {"ListBox", LBS_USETABSTOPS, LBS_USETABSTOPS, "tabstops"}, {"ListBox", LBS_EXTENDEDSEL, LBS_EXTENDEDSEL, "extended"},
    {"ComboBox", 3, CBS_DROPDOWN, "dropdown"}, {"ComboBox", 3, CBS_DROPDOWNLIST, "droplist"},
    {"ComboBox", CBS_SORT, CBS_SORT, "sort"}, {"", WS_VISIBLE, 0, "hidden"}, {"", WS_DISABLED, WS_DISABLED, "disabled"},
};

}  // namespace

std::string DialogWindow::caption() const { return WindowText(hwnd_); }

std::string DialogWindow::text() const {
  std::string joined;
  for (HWND child : Children(hwnd_)) {
    std::string t = IsClass(child, "Static") ? WindowText(child) : "";
    if (!t.empty()) joined += (joined.empty() ? "" : "\n") + t;
  }
  return joined;
}

std::string DialogWindow::itemText(int id) const { return item(id) ? WindowText(item(id)) : std::string(); }

HICON DialogWindow::icon() const {
  for (HWND child : Children(hwnd_))
    if (IsClass(child, "Static") && (GetWindowLongA(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON)
      return reinterpret_cast<HICON>(SendMessageA(child, STM_GETICON, 0, 0));
  return nullptr;
}

std::vector<int> DialogWindow::buttons() const {
  std::vector<int> ids;
  for (HWND child : Children(hwnd_)) {
    LONG kind = GetWindowLongA(child, GWL_STYLE) & BS_TYPEMASK;
    if (IsWindowVisible(child) && IsClass(child, "Button") && (kind == BS_PUSHBUTTON || kind == BS_DEFPUSHBUTTON))
      ids.push_back(GetDlgCtrlID(child));
  }
  return ids;
}

std::vector<std::string> DialogWindow::listItems(int id) const {
  return ItemTexts(item(id), LB_GETCOUNT, LB_GETTEXTLEN, LB_GETTEXT);
}

std::string DialogWindow::dump() const {
  RECT base{0, 0, 4, 8};  // the dialog's base units
  MapDialogRect(hwnd_, &base);
  // Two pixel lengths in the dialog units that map to them, else in pixels.
  auto units = [&](LONG x, LONG y, const char* between) {
    LONG u[2], px[2] = {x, y}, per[2] = {base.right, base.bottom}, of[2] = {4, 8};
    bool exact = true;
    for (int i = 0; i < 2; ++i) {
      for (u[i] = px[i] * of[i] / per[i] + 1; u[i] > px[i] * of[i] / per[i] - 1 && MulDiv(u[i], per[i], of[i]) != px[i];)
        --u[i];
      exact = exact && MulDiv(u[i], per[i], of[i]) == px[i];
    }
    return std::to_string(exact ? u[0] : x) + between + std::to_string(exact ? u[1] : y) + (exact ? "" : "px");
  };
  auto place = [&](const RECT& r, bool list) {
    std::string s = units(r.left, r.top, ",") + " " + units(r.right - r.left, r.bottom - r.top, "x");
    return list ? s.substr(0, s.rfind('x') + 1) + "*" : s;  // a list's height is the platform's: whole items
  };
  auto flags = [&](HWND w, const std::string& cls) {
    std::string s;
    for (const Flag& f : kFlags)
      if ((!*f.cls || _stricmp(f.cls, cls.c_str()) == 0) && (GetWindowLongA(w, GWL_STYLE) & f.mask) == f.bits)
        s += std::string(" ") + f.name;
    return s;
  };
  RECT client{};
  GetClientRect(hwnd_, &client);
  LOGFONTA font{};
  GetObjectA(reinterpret_cast<HFONT>(SendMessageA(hwnd_, WM_GETFONT, 0, 0)), sizeof font, &font);
  HDC screen = GetDC(nullptr);
  const int points = MulDiv(std::abs(font.lfHeight), 72, GetDeviceCaps(screen, LOGPIXELSY));
  ReleaseDC(nullptr, screen);
  std::string out = "dialog " + Quoted(caption()) + " " + place(client, false) + " " + Quoted(font.lfFaceName) + " " +
                    std::to_string(points) + "pt" + flags(hwnd_, kDialogClass) + "\n";
  for (HWND c : Children(hwnd_)) {
    const std::string cls = ClassOf(c);
    const bool combo = IsClass(c, "ComboBox"), list = IsClass(c, "ListBox");
    RECT r{};
    GetWindowRect(c, &r);
    MapWindowPoints(nullptr, hwnd_, reinterpret_cast<POINT*>(&r), 2);
    out += std::to_string(static_cast<short>(GetDlgCtrlID(c))) + " " + cls + " " + Quoted(WindowText(c)) + " " +
           place(r, combo || list) + flags(c, cls);
    if (combo) out += " sel " + std::to_string(SendMessageA(c, CB_GETCURSEL, 0, 0));
    if (IsClass(c, "Edit") && SendMessageA(c, EM_GETLIMITTEXT, 0, 0) < 30000)
      out += " limit " + std::to_string(SendMessageA(c, EM_GETLIMITTEXT, 0, 0));
    if (IsClass(c, "Button") && SendMessageA(c, BM_GETCHECK, 0, 0) == BST_CHECKED) out += " checked";
    if (IsClass(c, "Button") && SendMessageA(c, BM_GETIMAGE, IMAGE_ICON, 0)) out += " image";
    for (const std::string& item : combo  ? ItemTexts(c, CB_GETCOUNT, CB_GETLBTEXTLEN, CB_GETLBTEXT)
                                   : list ? ItemTexts(c, LB_GETCOUNT, LB_GETTEXTLEN, LB_GETTEXT)
                                          : std::vector<std::string>())
      out += " " + Quoted(item);
    out += "\n";
  }
  return out;
}

std::string DialogWindow::state(const std::vector<int>& ids) const {
  std::string s;
  for (int id : ids) {
    HWND c = item(id);
    s += IsWindowEnabled(c) ? " " : " -";
    if (IsClass(c, "ComboBox"))
      s += std::to_string(SendMessageA(c, CB_GETCURSEL, 0, 0)) + "/" + std::to_string(SendMessageA(c, CB_GETCOUNT, 0, 0));
    else if (IsClass(c, "Button"))
      s += std::to_string(SendMessageA(c, BM_GETCHECK, 0, 0));
    else
      s += WindowText(c);
  }
  const std::size_t end = s.find_last_not_of(' ');
  return end == std::string::npos ? "" : s.substr(1, end);
}

void DialogWindow::selectCombo(int id, int index) const {
  SendMessageA(item(id), CB_SETCURSEL, static_cast<WPARAM>(index), 0);
  notify(id, CBN_SELCHANGE);
}

void DialogWindow::selectList(int id, const std::vector<int>& indexes) const {
  SendMessageA(item(id), LB_SETSEL, FALSE, -1);
  for (int i : indexes) SendMessageA(item(id), LB_SETSEL, TRUE, i);
  notify(id, LBN_SELCHANGE);
}

void DialogWindow::notify(int id, WORD code) const {
  SendMessageA(hwnd_, WM_COMMAND, MAKEWPARAM(id, code), reinterpret_cast<LPARAM>(item(id)));
}

void DialogWindow::key(UINT virtualKey) const {
  HWND target = GetFocus();
  if (!target || (target != hwnd_ && !IsChild(hwnd_, target))) target = hwnd_;
  PostMessageA(target, WM_KEYDOWN, virtualKey, 1);
  PostMessageA(target, WM_KEYUP, virtualKey, static_cast<LPARAM>(0xC0000001u));
}

DialogScript::DialogScript(std::vector<Step> steps, DWORD timeoutMs, int answer)
    : steps_(std::move(steps)), timeout_(timeoutMs), lastProgress_(GetTickCount()), answer_(answer), outer_(t_script) {
  t_script = this;
  timer_ = SetTimer(nullptr, 0, kTickMs, &DialogScript::Tick);
  hook_ = SetWindowsHookExA(WH_CALLWNDPROCRET, &DialogScript::Hook, nullptr, GetCurrentThreadId());
  if (!timer_ || !hook_) ADD_FAILURE() << "dialog automation: no timer or no hook";
}

void DialogScript::finish() {
  if (finished_) return;
  finished_ = true;
  if (timer_) KillTimer(nullptr, timer_);
  if (hook_) UnhookWindowsHookEx(hook_);
  if (t_script == this) t_script = outer_;
  if (!failed_ && next_ < steps_.size())
    ADD_FAILURE() << "dialog automation: expected " << steps_.size() << " dialog(s), saw " << next_;
}

std::vector<DialogScript::Seen> DialogScript::take() {
  std::vector<Seen> out;
  out.swap(seen_);
  return out;
}

void CALLBACK DialogScript::Tick(HWND, UINT, UINT_PTR, DWORD) {
  if (t_script) t_script->tick();
}

// A window met: recorded, marked, and answered when the steps are done.
void DialogScript::meet(HWND w) {
  SetPropA(w, kActedProperty, reinterpret_cast<HANDLE>(kActed));
  DialogWindow d(w);
  seen_.push_back({w, d.caption(), d.text(), d.owner()});
  lastProgress_ = GetTickCount();
  if (next_ < steps_.size()) steps_[next_++](d);
  else PostMessageA(w, WM_COMMAND, MAKEWPARAM(answer_, BN_CLICKED), reinterpret_cast<LPARAM>(d.item(answer_)));
  lastProgress_ = GetTickCount();
}

LRESULT CALLBACK DialogScript::Hook(int code, WPARAM wp, LPARAM lp) {
  auto* ret = reinterpret_cast<const CWPRETSTRUCT*>(lp);
  DialogScript* self = t_script;
  if (code == HC_ACTION && self && !self->finished_ && self->answer_ && self->next_ >= self->steps_.size() &&
      ret->message == WM_INITDIALOG && IsClass(ret->hwnd, kDialogClass) && !GetPropA(ret->hwnd, kActedProperty))
    self->meet(ret->hwnd);
  return CallNextHookEx(nullptr, code, wp, lp);
}

void DialogScript::abandon(const std::string& why) {
  failed_ = true;
  ADD_FAILURE() << "dialog automation: " << why << " (after " << next_ << " of " << steps_.size() << " step(s))";
}

void DialogScript::tick() {
  if (finished_) return;
  const std::vector<HWND> open = OpenDialogs();
  if (failed_) {
    // After a failure nothing more is answered: whatever opens is cancelled.
    for (HWND w : open) EndDialog(w, IDCANCEL);
    return;
  }
  HWND due = nullptr;
  for (HWND w : open) {
    auto mark = reinterpret_cast<UINT_PTR>(GetPropA(w, kActedProperty));
    if (!IsWindowEnabled(w)) {
      if (mark == kActed) SetPropA(w, kActedProperty, reinterpret_cast<HANDLE>(kActedThenDisabled));
    } else if (!due && (next_ < steps_.size() ? mark != kActed : !mark)) {
      due = w;
    }
  }
  if (due && (next_ < steps_.size() || answer_)) return meet(due);
  if (due) return abandon("unexpected dialog \"" + WindowText(due) + "\"");
  if (open.empty() || GetTickCount() - lastProgress_ <= timeout_) return;
  if (next_ < steps_.size() || !answer_) return abandon("a dialog was left open, or the next never came");
  for (HWND w : open) {
    Seen* s = nullptr;
    for (Seen& x : seen_)
      if (x.hwnd == w) s = &x;
    if (!s) s = &seen_.emplace_back(Seen{w, WindowText(w), DialogWindow(w).text(), GetWindow(w, GW_OWNER)});
    s->stuck = true;
    EndDialog(w, IDCANCEL);
  }
  lastProgress_ = GetTickCount();
}

DialogScript::Step Press(int id) {
  return [id](DialogWindow& d) { d.press(id); };
}

}  // namespace mcrtest
