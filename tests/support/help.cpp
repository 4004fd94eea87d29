#include "help.h"

#include <gtest/gtest.h>

#include "bytes.h"

namespace mcrtest {

namespace {
constexpr char kControlKey[] = "CLSID\\{ADB880A6-D8FF-11CF-9377-00AA003B7A11}\\InprocServer32";
constexpr char kViewerClass[] = "MS_WINHELP";
constexpr ULONG_PTR kViewerMagic = 0xA1DE505;  // marks a request of WinHelp
}  // namespace

HelpCatcher::HelpCatcher() {
  char old[MAX_PATH + 1] = {}, path[MAX_PATH] = {};
  DWORD size = sizeof old;
  had_ = RegGetValueA(HKEY_CLASSES_ROOT, kControlKey, nullptr, RRF_RT_REG_SZ, nullptr, old, &size) == ERROR_SUCCESS;
  old_ = old;
  GetModuleFileNameA(nullptr, path, sizeof path);
  std::string recorder = path;
  recorder = recorder.substr(0, recorder.find_last_of('\\') + 1) + "helprec.dll";
  EXPECT_EQ(RegSetKeyValueA(HKEY_CLASSES_ROOT, kControlKey, nullptr, REG_SZ, recorder.c_str(), DWORD(recorder.size() + 1)),
            ERROR_SUCCESS);
  // The library loads the same module: its records are these.
  recorder_ = LoadLibraryA(recorder.c_str());
  count_ = reinterpret_cast<RecordedHelpCountFn>(reinterpret_cast<void*>(GetProcAddress(recorder_, "RecordedHelpCount")));
  at_ = reinterpret_cast<RecordedHelpCallFn>(reinterpret_cast<void*>(GetProcAddress(recorder_, "RecordedHelpAt")));
  EXPECT_TRUE(count_ && at_) << recorder;
  before_ = count_ ? count_() : 0;
  WNDCLASSA wc{};
  wc.lpfnWndProc = Proc;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.lpszClassName = kViewerClass;
  RegisterClassA(&wc);
  window_ = CreateWindowA(kViewerClass, "", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, wc.hInstance, nullptr);
  SetWindowLongPtrA(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

HelpCatcher::~HelpCatcher() {
  DestroyWindow(window_);
  if (recorder_) FreeLibrary(recorder_);
  if (had_) RegSetKeyValueA(HKEY_CLASSES_ROOT, kControlKey, nullptr, REG_SZ, old_.c_str(), DWORD(old_.size() + 1));
  else RegDeleteKeyValueA(HKEY_CLASSES_ROOT, kControlKey, nullptr);
}

std::string HelpCatcher::calls(HWND owner) const {
  std::string lines;
  for (int i = before_; count_ && i < count_(); ++i) {
    const RecordedHelpCall* c = at_(i);
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
