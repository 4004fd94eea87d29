#include "helprec.h"

#include <vector>

namespace {
std::vector<RecordedHelpCall> g_calls;
}

// Ordinal 14, where the library looks for the control's entry.
extern "C" HWND WINAPI HtmlHelpA(HWND window, LPCSTR file, UINT command, DWORD_PTR data) {
  RecordedHelpCall call{window, {}, command, data};
  if (file) lstrcpynA(call.file, file, sizeof call.file);
  g_calls.push_back(call);
  return nullptr;
}

extern "C" int WINAPI RecordedHelpCount() { return static_cast<int>(g_calls.size()); }

extern "C" const RecordedHelpCall* WINAPI RecordedHelpAt(int index) {
  return index >= 0 && index < RecordedHelpCount() ? &g_calls[static_cast<std::size_t>(index)] : nullptr;
}
