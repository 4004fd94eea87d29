#include "snapshot.h"

#include <cctype>
#include <cstdio>
#include <vector>

namespace mcrhost {

namespace {

Snapshots* g_active = nullptr;
// A window is captured once it has been up for this many ticks, so that it
// has painted its controls.
constexpr int kSettleTicks = 3;
constexpr UINT kTickMs = 100;
// A dialog still open this many ticks after its Cancel is ended directly.
constexpr int kCancelTicks = 5;

bool IsClass(HWND w, const char* name) {
  char cls[64] = {};
  GetClassNameA(w, cls, sizeof cls);
  return lstrcmpiA(cls, name) == 0;
}

using Shown = std::vector<std::pair<HWND, bool>>;  // window, whether it is a dialog to end

BOOL CALLBACK AddDialog(HWND w, LPARAM shown) {
  if (IsWindowVisible(w) && IsWindowEnabled(w) && IsClass(w, "#32770"))
    reinterpret_cast<Shown*>(shown)->push_back({w, true});
  return TRUE;
}

}  // namespace

bool SaveWindowBitmap(HWND window, const std::string& path) {
  RECT r;
  if (!GetWindowRect(window, &r)) return false;
  int cx = r.right - r.left, cy = r.bottom - r.top;
  if (cx <= 0 || cy <= 0) return false;
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = cx;
  info.bmiHeader.biHeight = cy;  // bottom-up, as the file stores it
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  void* bits = nullptr;
  HDC screen = GetDC(nullptr);
  HDC dc = CreateCompatibleDC(screen);
  HBITMAP dib = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  ReleaseDC(nullptr, screen);
  bool ok = false;
  if (dc && dib) {
    HGDIOBJ old = SelectObject(dc, dib);
    // Under the null display driver the window's own surface holds what it
    // painted, frame and controls included; PrintWindow would repaint only
    // the parts that handle WM_PRINT.
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN | RDW_FRAME);
    HDC source = GetWindowDC(window);
    ok = source && BitBlt(dc, 0, 0, cx, cy, source, 0, 0, SRCCOPY) != FALSE;
    if (source) ReleaseDC(window, source);
    GdiFlush();
    SelectObject(dc, old);
  }
  DWORD stride = (static_cast<DWORD>(cx) * 3 + 3) & ~3u, size = stride * static_cast<DWORD>(cy);
  if (ok) {
    BITMAPFILEHEADER file = {};
    file.bfType = 0x4D42;  // "BM"
    file.bfOffBits = sizeof file + sizeof info.bmiHeader;
    file.bfSize = file.bfOffBits + size;
    info.bmiHeader.biSizeImage = size;
    std::FILE* f = std::fopen(path.c_str(), "wb");
    ok = f && std::fwrite(&file, sizeof file, 1, f) == 1 &&
         std::fwrite(&info.bmiHeader, sizeof info.bmiHeader, 1, f) == 1 &&
         std::fwrite(bits, size, 1, f) == 1;
    if (f && std::fclose(f) != 0) ok = false;
  }
  if (dib) DeleteObject(dib);
  if (dc) DeleteDC(dc);
  return ok;
}

Snapshots::Snapshots(HWND hostWindow, std::string dir, const std::string& word)
    : host_(hostWindow), dir_(std::move(dir)), word_(word) {
  CreateDirectoryA(dir_.c_str(), nullptr);
  g_active = this;
  // A thread timer: the modal loops of dialogs and message boxes dispatch it.
  timer_ = SetTimer(nullptr, 0, kTickMs, Tick);
}

Snapshots::~Snapshots() {
  if (timer_) KillTimer(nullptr, timer_);
  g_active = nullptr;
}

void CALLBACK Snapshots::Tick(HWND, UINT, UINT_PTR, DWORD) {
  if (g_active) g_active->tick();
}

void Snapshots::tick() {
  Shown shown;
  EnumThreadWindows(GetCurrentThreadId(), AddDialog, reinterpret_cast<LPARAM>(&shown));
  for (HWND c = GetWindow(host_, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
    if (IsWindowVisible(c) && IsClass(c, "MsgPopupWndClass")) shown.push_back({c, false});
  for (auto [w, endDialog] : shown) {
    if (done_.count(w)) {
      // Cancel went to the dialog's own procedure; one that ignores it (as
      // the edit-method prompt does) is ended from outside.
      if (endDialog && ++seen_[w] == kSettleTicks + kCancelTicks) EndDialog(w, IDCANCEL);
      continue;
    }
    if (++seen_[w] >= kSettleTicks) take(w, endDialog);
  }
}

void Snapshots::take(HWND window, bool endDialog) {
  done_.insert(window);
  // A popup outlives the call that opened it, so it is named after its word.
  std::string word = endDialog ? word_ : std::string("MsgPopup");
  std::string name;
  for (char c : word.empty() ? std::string("window") : word)
    if (std::isalnum(static_cast<unsigned char>(c))) name += static_cast<char>(std::tolower(c));
  int n = ++taken_[name];
  if (n > 1) name += "-" + std::to_string(n);
  std::string path = dir_ + "\\" + name + ".bmp";
  if (!SaveWindowBitmap(window, path)) std::fprintf(stderr, "mcrhost: cannot save %s\n", path.c_str());
  // Cancelled as a user would, so that the word sees its Cancel path.
  if (endDialog) {
    PostMessageA(window, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    ++cancelled_;
  }
}

}  // namespace mcrhost
