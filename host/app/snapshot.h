// --snapshot DIR: while the macro runs, every dialog or message box the
// library opens on this thread, and every message popup it shows, is saved
// as a bitmap in DIR, named after the word that opened it ("svmethcal.bmp",
// a second window of the same word "svmethcal-2.bmp", a popup
// "msgpopup.bmp"). Dialogs are then cancelled (their Cancel button, or ended
// from outside when they ignore it) so that the macro goes on unattended; popups are left to their countdown. ./mcr pictures turns the
// bitmaps into the README's pictures.
#pragma once
#include <windows.h>

#include <map>
#include <set>
#include <string>

namespace mcrhost {

class Snapshots {
 public:
  // word: the name of the word being called ("" between calls).
  Snapshots(HWND hostWindow, std::string dir, const std::string& word);
  ~Snapshots();
  Snapshots(const Snapshots&) = delete;
  Snapshots& operator=(const Snapshots&) = delete;

  // Dialogs and message boxes cancelled so far.
  int cancelled() const { return cancelled_; }

 private:
  static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD);
  void tick();
  void take(HWND window, bool endDialog);

  HWND host_;
  std::string dir_;
  const std::string& word_;
  UINT_PTR timer_ = 0;
  std::map<HWND, int> seen_;         // window -> ticks it has been shown
  std::set<HWND> done_;
  std::map<std::string, int> taken_;  // word -> pictures so far
  int cancelled_ = 0;
};

// Writes the window, frame included, as a 24-bit bottom-up bitmap file.
bool SaveWindowBitmap(HWND window, const std::string& path);

}  // namespace mcrhost
