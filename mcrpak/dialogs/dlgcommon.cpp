#include "dlgcommon.h"

#include "../bridge/hostops.h"
#include "../bridge/sjistext.h"
#include "placement.h"

namespace mcr {

bool RunHostDialog(HostContext ctx, int id, DLGPROC proc) {
  HWND host = GetHostWindow(ctx);
  if (!host) return false;
  DialogBoxParamA(g_instance, MAKEINTRESOURCEA(id), host, proc, reinterpret_cast<LPARAM>(ctx));
  return true;
}

void CentreInWorkArea(HWND dialog) {
  RECT area{};
  SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0);
  WINDOWPLACEMENT placement{};
  placement.length = sizeof placement;
  if (!GetWindowPlacement(dialog, &placement)) return;
  RECT& r = placement.rcNormalPosition;
  const int width = r.right - r.left, height = r.bottom - r.top;
  DialogOrigin at = CentredOrigin(area.right - area.left, area.bottom - area.top, width, height);
  r = {at.left, at.top, at.left + width, at.top + height};
  // A dialog still being set up stays hidden: the dialog manager shows it.
  if (!IsWindowVisible(dialog)) placement.showCmd = SW_HIDE;
  SetWindowPlacement(dialog, &placement);
}

std::string ItemText(HWND dialog, int id, std::size_t maxBytes) {
  HWND item = GetDlgItem(dialog, id);
  int length = item ? GetWindowTextLengthA(item) : 0;
  if (length <= 0) return {};
  std::string text(static_cast<std::size_t>(length) + 1, '\0');
  length = GetWindowTextA(item, &text[0], length + 1);
  text.resize(static_cast<std::size_t>(length > 0 ? length : 0));
  return std::string(CutBytes(text, maxBytes));
}

void ShowWarning(HWND owner, const std::string& text) {
  MessageBoxA(owner, text.c_str(), nullptr, MB_OK | MB_ICONWARNING);
}

}  // namespace mcr
