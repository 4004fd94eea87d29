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

std::string RecorderPath() {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, sizeof path);
  std::string p = path;
  return p.substr(0, p.find_last_of('\\') + 1) + kRecorder;
}

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

HtmlHelpRecorder::HtmlHelpRecorder() : before_(RecordedCount()) {
  char old[MAX_PATH + 1] = {};
  DWORD size = sizeof old;
  had_ = RegGetValueA(HKEY_CLASSES_ROOT, kControlKey, nullptr, RRF_RT_REG_SZ, nullptr, old, &size) == ERROR_SUCCESS;
  old_ = old;
  std::string path = RecorderPath();
  EXPECT_EQ(RegSetKeyValueA(HKEY_CLASSES_ROOT, kControlKey, nullptr, REG_SZ, path.c_str(), DWORD(path.size() + 1)),
            ERROR_SUCCESS);
}

HtmlHelpRecorder::~HtmlHelpRecorder() {
  if (had_)
    RegSetKeyValueA(HKEY_CLASSES_ROOT, kControlKey, nullptr, REG_SZ, old_.c_str(), DWORD(old_.size() + 1));
  else
    RegDeleteKeyValueA(HKEY_CLASSES_ROOT, kControlKey, nullptr);
}

std::vector<HtmlHelpRecorder::Call> HtmlHelpRecorder::calls() const {
  std::vector<Call> calls;
  auto at = RecorderEntry<RecordedHelpCallFn>("RecordedHelpAt");
  for (int i = before_; at && i < RecordedCount(); ++i) {
    const RecordedHelpCall* c = at(i);
    calls.push_back({c->window, c->file, c->command, c->data});
  }
  return calls;
}

WinHelpCatcher::WinHelpCatcher() {
  WNDCLASSA wc{};
  wc.lpfnWndProc = Proc;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.lpszClassName = kViewerClass;
  RegisterClassA(&wc);
  window_ = CreateWindowA(kViewerClass, "", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, wc.hInstance, nullptr);
  EXPECT_NE(window_, nullptr);
  SetWindowLongPtrA(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

WinHelpCatcher::~WinHelpCatcher() {
  if (window_) DestroyWindow(window_);
}

// The request is a record: size, command (16 bits each), data (32 bits),
// 4 reserved bytes, then the offsets of the file name and of extra data.
LRESULT CALLBACK WinHelpCatcher::Proc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
  auto* self = reinterpret_cast<WinHelpCatcher*>(GetWindowLongPtrA(w, GWLP_USERDATA));
  auto* copy = reinterpret_cast<const COPYDATASTRUCT*>(lp);
  if (m != WM_COPYDATA || !self || copy->dwData != kViewerMagic || copy->cbData < 16)
    return DefWindowProcA(w, m, wp, lp);
  Bytes record;
  record.put(0, copy->lpData, copy->cbData);
  std::uint16_t fileAt = record.getU16(12);
  self->requests_.push_back({reinterpret_cast<HWND>(wp), fileAt ? record.getText(fileAt, copy->cbData - fileAt) : "",
                             record.getU16(2), record.getU32(4)});
  return TRUE;
}

}  // namespace mcrtest
