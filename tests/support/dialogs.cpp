#include "dialogs.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "testhost.h"

namespace mcrtest {

namespace {

constexpr char kDialogClass[] = "#32770";
constexpr UINT kTickMs = 25;
// Left on a window the automation has met: 1, then 2 once it was disabled
// since (a modal window on top of it), making it due again when enabled.
constexpr char kActedProperty[] = "mcrtest.dialogscript";
constexpr UINT_PTR kActed = 1, kActedThenDisabled = 2;

thread_local DialogScript* t_script = nullptr;

std::string WindowText(HWND w, bool className = false) {
  char text[1024] = {};
  className ? GetClassNameA(w, text, sizeof text) : GetWindowTextA(w, text, sizeof text);
  return text;
}
bool IsClass(HWND w, const char* name) { return _stricmp(WindowText(w, true).c_str(), name) == 0; }
LRESULT Send(HWND w, UINT m, WPARAM wp = 0, LPARAM lp = 0) { return SendMessageA(w, m, wp, lp); }
LONG Style(HWND w) { return GetWindowLongA(w, GWL_STYLE); }

BOOL CALLBACK AddOpenDialog(HWND w, LPARAM out) {
  if (IsWindowVisible(w) && IsClass(w, kDialogClass)) reinterpret_cast<std::vector<HWND>*>(out)->push_back(w);
  return TRUE;
}

// Visible dialogs and message boxes of this thread, topmost first.
std::vector<HWND> OpenDialogs() {
  std::vector<HWND> found;
  EnumThreadWindows(GetCurrentThreadId(), AddOpenDialog, reinterpret_cast<LPARAM>(&found));
  return found;
}

// The controls of a dialog, in creation order.
std::vector<HWND> Children(HWND parent) {
  std::vector<HWND> found;
  for (HWND c = GetWindow(parent, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) found.push_back(c);
  return found;
}

// The items of a list or a combo box.
std::vector<std::string> ItemTexts(HWND control) {
  const bool combo = IsClass(control, "ComboBox");
  std::vector<std::string> items;
  for (LRESULT i = 0, n = Send(control, combo ? CB_GETCOUNT : LB_GETCOUNT); i < n; ++i) {
    std::string s(static_cast<std::size_t>(Send(control, combo ? CB_GETLBTEXTLEN : LB_GETTEXTLEN, i)) + 1, '\0');
    items.push_back(s.substr(0, Send(control, combo ? CB_GETLBTEXT : LB_GETTEXT, i, reinterpret_cast<LPARAM>(&s[0]))));
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
    {"Button", BS_ICON, BS_ICON, "icon"}, {"Static", SS_TYPEMASK, SS_RIGHT, "right"}, {"Static", SS_TYPEMASK, SS_ICON, "icon"},
    {"Static", SS_SUNKEN, SS_SUNKEN, "sunken"}, {"Static", SS_ELLIPSISMASK, SS_PATHELLIPSIS, "pathellipsis"},
    {"Static", SS_CENTERIMAGE, SS_CENTERIMAGE, "centerimage"}, {"Static", SS_NOPREFIX, SS_NOPREFIX, "noprefix"},
    {"Edit", ES_AUTOHSCROLL, ES_AUTOHSCROLL, "autohscroll"}, {"Edit", ES_NUMBER, ES_NUMBER, "number"},
    {"ListBox", LBS_SORT, LBS_SORT, "sort"}, {"ListBox", LBS_NOTIFY, LBS_NOTIFY, "notify"},
    {"ListBox", LBS_USETABSTOPS, LBS_USETABSTOPS, "tabstops"}, {"ListBox", LBS_EXTENDEDSEL, LBS_EXTENDEDSEL, "extended"},
    {"ComboBox", 3, CBS_DROPDOWN, "dropdown"}, {"ComboBox", 3, CBS_DROPDOWNLIST, "droplist"},
    {"ComboBox", CBS_SORT, CBS_SORT, "sort"}, {"", WS_VISIBLE, 0, "hidden"}, {"", WS_DISABLED, WS_DISABLED, "disabled"}};

}  // namespace

std::string DialogWindow::caption() const { return WindowText(hwnd_); }
std::string DialogWindow::itemText(int id) const { return item(id) ? WindowText(item(id)) : std::string(); }
std::vector<std::string> DialogWindow::listItems(int id) const { return ItemTexts(item(id)); }

std::string DialogWindow::text() const {
  std::string joined;
  for (HWND c : Children(hwnd_)) joined += IsClass(c, "Static") && !WindowText(c).empty() ? "\n" + WindowText(c) : "";
  return joined.substr(!joined.empty());
}

HICON DialogWindow::icon() const {
  for (HWND c : Children(hwnd_))
    if (IsClass(c, "Static") && (Style(c) & SS_TYPEMASK) == SS_ICON) return reinterpret_cast<HICON>(Send(c, STM_GETICON));
  return nullptr;
}

std::vector<int> DialogWindow::buttons() const {
  std::vector<int> ids;
  for (HWND c : Children(hwnd_))
    if (IsWindowVisible(c) && IsClass(c, "Button") && (Style(c) & BS_TYPEMASK) <= BS_DEFPUSHBUTTON)
      ids.push_back(GetDlgCtrlID(c));
  return ids;
}

std::string DialogWindow::dump() const {
  RECT base{0, 0, 4, 8};  // the dialog's base units
  MapDialogRect(hwnd_, &base);
  // A place or size in the dialog units that map to its pixels, else in pixels.
  auto units = [&](LONG x, LONG y, const char* between) {
    const LONG u = MulDiv(x, 4, base.right), v = MulDiv(y, 8, base.bottom);
    const bool exact = MulDiv(u, base.right, 4) == x && MulDiv(v, base.bottom, 8) == y;
    return std::to_string(exact ? u : x) + between + std::to_string(exact ? v : y) + (exact ? "" : "px");
  };
  auto place = [&](const RECT& r, bool list) {
    std::string s = units(r.left, r.top, ",") + " " + units(r.right - r.left, r.bottom - r.top, "x");
    return list ? s.substr(0, s.rfind('x') + 1) + "*" : s;  // a list's height is the platform's: whole items
  };
  auto flags = [&](HWND w, const std::string& cls) {
    std::string s;
    for (const Flag& f : kFlags)
      if ((!*f.cls || _stricmp(f.cls, cls.c_str()) == 0) && (Style(w) & f.mask) == f.bits) s += std::string(" ") + f.name;
    return s;
  };
  RECT client{};
  GetClientRect(hwnd_, &client);
  LOGFONTA font{};
  GetObjectA(reinterpret_cast<HFONT>(Send(hwnd_, WM_GETFONT)), sizeof font, &font);
  HDC screen = GetDC(nullptr);
  const int points = MulDiv(std::abs(font.lfHeight), 72, GetDeviceCaps(screen, LOGPIXELSY));
  ReleaseDC(nullptr, screen);
  std::string out = "dialog " + Quoted(caption()) + " " + place(client, false) + " " + Quoted(font.lfFaceName) + " " +
                    std::to_string(points) + "pt" + flags(hwnd_, kDialogClass) + "\n";
  for (HWND c : Children(hwnd_)) {
    const std::string cls = WindowText(c, true);
    const bool combo = IsClass(c, "ComboBox"), list = IsClass(c, "ListBox"), button = IsClass(c, "Button");
    RECT r{};
    GetWindowRect(c, &r);
    MapWindowPoints(nullptr, hwnd_, reinterpret_cast<POINT*>(&r), 2);
    out += std::to_string(static_cast<short>(GetDlgCtrlID(c))) + " " + cls + " " + Quoted(WindowText(c)) + " " +
           place(r, combo || list) + flags(c, cls);
    if (combo) out += " sel " + std::to_string(Send(c, CB_GETCURSEL));
    if (IsClass(c, "Edit") && Send(c, EM_GETLIMITTEXT) < 30000) out += " limit " + std::to_string(Send(c, EM_GETLIMITTEXT));
    if (button && Send(c, BM_GETCHECK) == BST_CHECKED) out += " checked";
    if (button && Send(c, BM_GETIMAGE, IMAGE_ICON)) out += " image";
    for (const std::string& item : combo || list ? ItemTexts(c) : std::vector<std::string>()) out += " " + Quoted(item);
    out += "\n";
  }
  return out;
}

std::string DialogWindow::state(const std::vector<int>& ids) const {
  std::string s;
  for (int id : ids) {
    HWND c = item(id);
    s += (IsWindowEnabled(c) ? " " : " -") +
         (IsClass(c, "ComboBox") ? std::to_string(Send(c, CB_GETCURSEL)) + "/" + std::to_string(Send(c, CB_GETCOUNT))
          : IsClass(c, "Button") ? std::to_string(Send(c, BM_GETCHECK))
                                 : WindowText(c));
  }
  const std::size_t end = s.find_last_not_of(' ');
  return end == std::string::npos ? "" : s.substr(1, end);
}

void DialogWindow::selectCombo(int id, int index) const {
  Send(item(id), CB_SETCURSEL, static_cast<WPARAM>(index));
  notify(id, CBN_SELCHANGE);
}

void DialogWindow::selectList(int id, const std::vector<int>& indexes) const {
  Send(item(id), LB_SETSEL, FALSE, -1);
  for (int i : indexes) Send(item(id), LB_SETSEL, TRUE, i);
  notify(id, LBN_SELCHANGE);
}

void DialogWindow::notify(int id, WORD code) const { Send(hwnd_, WM_COMMAND, MAKEWPARAM(id, code), LPARAM(item(id))); }

void DialogWindow::key(UINT virtualKey) const {
  HWND target = GetFocus();
  if (!target || (target != hwnd_ && !IsChild(hwnd_, target))) target = hwnd_;
  PostMessageA(target, WM_KEYDOWN, virtualKey, 1);
  PostMessageA(target, WM_KEYUP, virtualKey, static_cast<LPARAM>(0xC0000001u));
}

DialogScript::DialogScript(std::vector<Step> steps, DWORD timeoutMs, int answer)
    : steps_(std::move(steps)), timeout_(Scaled(timeoutMs)), lastProgress_(GetTickCount()), answer_(answer), outer_(t_script) {
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

std::vector<DialogScript::Seen> DialogScript::take() { return std::exchange(seen_, {}); }

void CALLBACK DialogScript::Tick(HWND, UINT, UINT_PTR, DWORD) { if (t_script) t_script->tick(); }

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
  if (failed_) {  // after a failure nothing more is answered: whatever opens is cancelled
    for (HWND w : open) EndDialog(w, IDCANCEL);
    return;
  }
  HWND due = nullptr;
  for (HWND w : open) {
    auto mark = reinterpret_cast<UINT_PTR>(GetPropA(w, kActedProperty));
    if (!IsWindowEnabled(w) && mark == kActed) SetPropA(w, kActedProperty, reinterpret_cast<HANDLE>(kActedThenDisabled));
    else if (IsWindowEnabled(w) && !due && (next_ < steps_.size() ? mark != kActed : !mark)) due = w;
  }
  if (due && (next_ < steps_.size() || answer_)) return meet(due);
  if (due) return abandon("unexpected dialog \"" + WindowText(due) + "\"");
  if (open.empty() || GetTickCount() - lastProgress_ <= timeout_) return;
  if (next_ < steps_.size() || !answer_) return abandon("a dialog was left open, or the next never came");
  for (HWND w : open) {
    auto s = std::find_if(seen_.begin(), seen_.end(), [w](const Seen& x) { return x.hwnd == w; });
    (s != seen_.end() ? *s : seen_.emplace_back(Seen{w, WindowText(w), DialogWindow(w).text(), GetWindow(w, GW_OWNER)}))
        .stuck = true;
    EndDialog(w, IDCANCEL);
  }
  lastProgress_ = GetTickCount();
}

DialogScript::Step Press(int id) { return [id](DialogWindow& d) { d.press(id); }; }

namespace {
constexpr char kControlKey[] = "CLSID\\{ADB880A6-D8FF-11CF-9377-00AA003B7A11}\\InprocServer32";
constexpr ULONG_PTR kViewerMagic = 0xA1DE505;  // marks a request of WinHelp
HWND g_helpOwner = nullptr;

// The requests are lines of the environment variable MCR_HELP, where the
// recorder writes its own.
std::string Requests() {
  std::string lines(GetEnvironmentVariableA("MCR_HELP", nullptr, 0), '\0');
  lines.resize(GetEnvironmentVariableA("MCR_HELP", &lines[0], static_cast<DWORD>(lines.size())));
  return lines;
}

// A WinHelp request is a record: size, command (16 bits each), data (32
// bits), 4 reserved bytes, then the offsets of the file name and of extra data.
LRESULT CALLBACK Viewer(HWND w, UINT m, WPARAM wp, LPARAM lp) {
  auto* copy = reinterpret_cast<const COPYDATASTRUCT*>(lp);
  if (m != WM_COPYDATA || copy->dwData != kViewerMagic || copy->cbData < 16) return DefWindowProcA(w, m, wp, lp);
  Bytes r;
  r.put(0, copy->lpData, copy->cbData);
  const std::size_t file = r.getU16(12);
  const std::string line = std::to_string(r.getU16(2)) + " " + std::to_string(r.getU32(4)) + " " +
                           (file ? r.getText(file, copy->cbData - file) : "") + "\n";
  const bool owned = reinterpret_cast<HWND>(wp) == g_helpOwner;
  SetEnvironmentVariableA("MCR_HELP", (Requests() + (owned ? "winhelp " : "winhelp owned ") + line).c_str());
  return TRUE;
}
}  // namespace

std::string CatchHelp(HWND owner, const std::function<void()>& calls) {
  char old[MAX_PATH + 1] = {};
  DWORD size = sizeof old;
  const bool had = RegGetValueA(HKEY_CLASSES_ROOT, kControlKey, nullptr, RRF_RT_REG_SZ, nullptr, old, &size) == 0;
  const std::string recorder = LibraryPath().substr(0, LibraryPath().find_last_of('\\') + 1) + "helprec.dll";
  EXPECT_EQ(RegSetKeyValueA(HKEY_CLASSES_ROOT, kControlKey, nullptr, REG_SZ, recorder.c_str(), DWORD(recorder.size() + 1)),
            ERROR_SUCCESS);
  SetEnvironmentVariableA("MCR_HELP", nullptr);
  g_helpOwner = owner;
  WNDCLASSA viewer{0, Viewer, 0, 0, GetModuleHandleA(nullptr), nullptr, nullptr, nullptr, nullptr, "MS_WINHELP"};
  RegisterClassA(&viewer);
  HWND window = CreateWindowA(viewer.lpszClassName, "", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, viewer.hInstance, nullptr);
  calls();
  DestroyWindow(window);
  if (had) RegSetKeyValueA(HKEY_CLASSES_ROOT, kControlKey, nullptr, REG_SZ, old, DWORD(std::strlen(old) + 1));
  else RegDeleteKeyValueA(HKEY_CLASSES_ROOT, kControlKey, nullptr);
  return Requests();
}

}  // namespace mcrtest
