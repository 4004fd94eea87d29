// EditMethAskAbort: while the macros walk the operator through a method's
// panels, asks whether to edit the remaining ones. The answer (0 abort,
// 1 continue, 2 back) goes to _Button; only the three buttons close the
// dialog, so Esc and the close box cannot leave the macro without one.
#include <windows.h>

#include "../bridge/handlers.h"
#include "../bridge/hostops.h"
#include "../resources/resource_ids.h"
#include "dlgcommon.h"

extern "C" INT_PTR CALLBACK DfDlg325Proc(HWND dialog, UINT message, WPARAM wp, LPARAM lp);

using namespace mcr;

namespace {

constexpr char kButtonVar[] = "_Button";

void PaintQuestionIcon(HWND dialog) {
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(dialog, &paint);
  RECT area{};
  GetWindowRect(GetDlgItem(dialog, MCR_IDC_EDITMETH_ICON), &area);
  MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&area), 2);
  DrawIcon(dc, area.left, area.top, LoadIconA(nullptr, IDI_QUESTION));
  EndPaint(dialog, &paint);
}

INT_PTR Dialog325(HWND dialog, UINT message, WPARAM wp, LPARAM lp) {
  switch (message) {
    case WM_INITDIALOG:
      if (lp) SetPropA(dialog, kPasskeyProperty, reinterpret_cast<HANDLE>(lp));
      CentreInWorkArea(dialog);
      return TRUE;
    case WM_PAINT:
      PaintQuestionIcon(dialog);
      return TRUE;
    case WM_COMMAND: {
      const int answer = LOWORD(wp) - MCR_IDC_EDITMETH_ABORT;
      if (answer < 0 || answer > MCR_IDC_EDITMETH_BACK - MCR_IDC_EDITMETH_ABORT) return FALSE;
      SetNumVar(static_cast<HostContext>(GetPropA(dialog, kPasskeyProperty)), kButtonVar, answer);
      RemovePropA(dialog, kPasskeyProperty);
      EndDialog(dialog, answer);
      return TRUE;
    }
    default: return FALSE;
  }
}

}  // namespace

MCR_COMMAND(EditMethAskAbortProc) {
  DialogBoxParamA(g_instance, MAKEINTRESOURCEA(MCR_DLG_EDIT_METH_ABORT), GetHostWindow(ctx), DfDlg325Proc,
                  reinterpret_cast<LPARAM>(ctx));
  return 0;
}

extern "C" INT_PTR CALLBACK DfDlg325Proc(HWND dialog, UINT message, WPARAM wp, LPARAM lp) {
  return GuardedDialog([&] { return Dialog325(dialog, message, wp, lp); });
}
