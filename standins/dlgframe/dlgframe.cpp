// Stand-in for the workstation's dialog library. It keeps the real module's
// interface (ordinals 102, 14 and 24, the DLGINFO control class) with
// behaviour small enough for tests to steer and observe.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

HINSTANCE g_self = nullptr;

// DLGINFO is the marker a dialog carries (its window text names the
// dialog); like the workstation's own it shows nothing on the dialog.
LRESULT CALLBACK DlgInfoProc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
  if (m == WM_PAINT) {
    PAINTSTRUCT ps;
    BeginPaint(w, &ps);
    EndPaint(w, &ps);
    return 0;
  }
  return DefWindowProcA(w, m, wp, lp);
}

void CopyBounded(char* dst, const char* src) { lstrcpynA(dst, src, MAX_PATH); }

// Read through the process environment, so a caller's SetEnvironmentVariable
// is seen at once.
bool Env(const char* name, char* value, DWORD size) {
  DWORD n = GetEnvironmentVariableA(name, value, size);
  return n > 0 && n < size;
}

}  // namespace

extern "C" void WINAPI DlgFrameInit(void) {
  WNDCLASSA wc{};
  if (GetClassInfoA(g_self, "DLGINFO", &wc)) return;
  wc.style = CS_GLOBALCLASS;
  wc.lpfnWndProc = DlgInfoProc;
  wc.hInstance = g_self;
  wc.lpszClassName = "DLGINFO";
  RegisterClassA(&wc);
}

// The pick is steered by MCR_DLGFRAME_PICK = "directory|file"; an empty
// value, or none, leaves both buffers as they came (the user cancelled).
// MCR_DLGFRAME_LOG, when set, names a file that receives one line per call
// with what the caller passed.
extern "C" int WINAPI SelectMethodFile(HWND owner, int kind, const char* title,
                                       const char* pattern, char* dir, char* file,
                                       DWORD* result) {
  char log[MAX_PATH];
  if (Env("MCR_DLGFRAME_LOG", log, sizeof log)) {
    if (FILE* f = std::fopen(log, "a")) {
      std::fprintf(f, "SelectMethodFile owner=%d kind=%d title=%s pattern=%s dir=%s file=%s\n",
                   owner != nullptr, kind, title ? title : "", pattern ? pattern : "",
                   dir ? dir : "", file ? file : "");
      std::fclose(f);
    }
  }
  char pick[2 * MAX_PATH];
  if (result) *result = 0;
  if (!Env("MCR_DLGFRAME_PICK", pick, sizeof pick) || !dir || !file) return 0;
  const char* bar = std::strchr(pick, '|');
  std::size_t n = bar ? static_cast<std::size_t>(bar - pick) : std::strlen(pick);
  lstrcpynA(dir, pick, static_cast<int>(n < MAX_PATH - 1 ? n + 1 : MAX_PATH));
  CopyBounded(file, bar ? bar + 1 : "");
  if (result) *result = 1;
  return 1;
}

// The acquisition mode is the first 32-bit number of the method's run.icp;
// -1 when it cannot be read.
extern "C" int WINAPI QueryMethAcqMode(const char* methodPath) {
  if (!methodPath) return -1;
  char path[MAX_PATH + 16];
  std::snprintf(path, sizeof path, "%s\\run.icp", methodPath);
  FILE* f = std::fopen(path, "rb");
  if (!f) return -1;
  unsigned char b[4];
  int mode = -1;
  if (std::fread(b, 1, 4, f) == 4)
    mode = static_cast<int>(b[0] | (b[1] << 8) | (b[2] << 16) | (static_cast<unsigned>(b[3]) << 24));
  std::fclose(f);
  return mode;
}

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) g_self = instance;
  return TRUE;
}
