// What the dialogs of the macro commands share: their place in the middle of
// the desktop, bounded texts of their controls, the warning box, and the
// guard that keeps C++ exceptions inside a dialog procedure.
#pragma once
#include <windows.h>

#include <cstddef>
#include <string>

#include "../bridge/boundary.h"

namespace mcr {

// Runs dialog template id modally, owned by the command processor's main
// window, with the HostContext as its parameter; false, showing nothing,
// when the host has no window.
bool RunHostDialog(HostContext ctx, int id, DLGPROC proc);

// Moves the dialog's normal placement to the middle of the desktop's work
// area (the screen without the task bar), keeping its size.
void CentreInWorkArea(HWND dialog);

// The text of control id, cut to at most maxBytes without splitting a
// double-byte character.
std::string ItemText(HWND dialog, int id, std::size_t maxBytes);

// A message box with the warning icon, an OK button and no caption.
void ShowWarning(HWND owner, const std::string& text);

// Runs a dialog procedure's work; an exception (memory running out while a
// text is built) leaves the message unhandled instead of reaching the
// platform's dispatcher.
template <typename Body>
INT_PTR GuardedDialog(Body body) noexcept {
  try {
    return body();
  } catch (...) {
    return FALSE;
  }
}

}  // namespace mcr
