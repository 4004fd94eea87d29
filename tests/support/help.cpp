#include "help.h"

#include <gtest/gtest.h>

#include "../helprec/helprec.h"
#include "bytes.h"

namespace mcrtest {

namespace {

constexpr char kControlKey[] = "CLSID\\{ADB880A6-D8FF-11CF-9377-00AA003B7A11}\\InprocServer32";
constexpr char kRecorder[] = "helprec.dll";
constexpr char kViewerClass[] = "MS_WINHELP";
constexpr ULONG_PTR kViewerMagic = 0xA1DE505;  // marks a request of WinHelp

template <typename Fn>
Fn RecorderEntry(const char* name) {
  HMODULE recorder = GetModuleHandleA(kRecorder);
  return recorder ? reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(recorder, name))) : nullptr;
}

int RecordedCount() {
  auto count = RecorderEntry<RecordedHelpCountFn>("RecordedHelpCount");
  return count ? count() : 0;
}

}  // namespace

HelpCatcher::HelpCatcher() : before_(RecordedCount()) {
  char old[MAX_PATH + 1] = {};
  DWORD size = sizeof old;
  had_ = RegGetValueA(HKEY_CLASSES_ROOT, kControlKey, nullptr, RRF_RT_REG_SZ, nullptr, old, &size) == ERROR_SUCCESS;
  old_ = old;
  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, sizeof path);
  std::string recorder = path;
  recorder = recorder.substr(0, recorder.find_last_of('\\') + 1) + kRecorder;
  EXPECT_EQ(RegSetKeyValueA(HKEY_CLASSES_ROOT, kControlKey, nullptr, REG_SZ, recorder.c_str(),
                            DWORD(recorder.size() + 1)),
            ERROR_SUCCESS);
  WNDCLASSA wc{};
  wc.lpfnWndProc = Proc;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.lpszClassName = kViewerClass;
  RegisterClassA(&wc);
  window_ = CreateWindowA(kViewerClass, "", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, wc.hInstance, nullptr);
  EXPECT_NE(window_, nullptr);
  SetWindowLongPtrA(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

HelpCatcher::~HelpCatcher() {
  if (window_) DestroyWindow(window_);
  if (had_)
    RegSetKeyValueA(HKEY_CLASSES_ROOT, kControlKey, nullptr, REG_SZ, old_.c_str(), DWORD(old_.size() + 1));
  else
    RegDeleteKeyValueA(HKEY_CLASSES_ROOT, kControlKey, nullptr);
}

std::string HelpCatcher::calls(HWND owner) const {
  std::string lines;
  auto at = RecorderEntry<RecordedHelpCallFn>("RecordedHelpAt");
  for (int i = before_; at && i < RecordedCount(); ++i) {
    const RecordedHelpCall* c = at(i);
    lines += (c->window == GetDesktopWindow() ? "html " : "html owned ") + std::to_string(c->command) + " " +
             std::to_string(c->data) + " " + c->file + "\n";
  }
  for (const Request& r : requests_) lines += (r.owner == owner ? "winhelp " : "winhelp owned ") + r.line;
  return lines;
}

// The request is a record: size, command (16 bits each), data (32 bits),
// 4 reserved bytes, then the offsets of the file name and of extra data.
LRESULT CALLBACK HelpCatcher::Proc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
  auto* self = reinterpret_cast<HelpCatcher*>(GetWindowLongPtrA(w, GWLP_USERDATA));
  auto* copy = reinterpret_cast<const COPYDATASTRUCT*>(lp);
  if (m != WM_COPYDATA || !self || copy->dwData != kViewerMagic || copy->cbData < 16)
    return DefWindowProcA(w, m, wp, lp);
  Bytes record;
  record.put(0, copy->lpData, copy->cbData);
  std::uint16_t fileAt = record.getU16(12);
  std::string file = fileAt ? record.getText(fileAt, copy->cbData - fileAt) : "";
  self->requests_.push_back({reinterpret_cast<HWND>(wp),
                             std::to_string(record.getU16(2)) + " " + std::to_string(record.getU32(4)) + " " + file + "\n"});
  return TRUE;
}

}  // namespace mcrtest
