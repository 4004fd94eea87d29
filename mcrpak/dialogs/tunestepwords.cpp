// SelectTuneStep: the small dialog in which the operator picks a tune step;
// the choice comes back in a variable of the macro.
#include <windows.h>

#include <cstdlib>
#include <string>

#include "../bridge/handlers.h"
#include "../bridge/hostops.h"
#include "../instfiles/masslist.h"
#include "../resources/resource_ids.h"
#include "dlgcommon.h"

extern "C" INT_PTR CALLBACK DfDlg319Proc(HWND dialog, UINT message, WPARAM wp, LPARAM lp);

using namespace mcr;

namespace {

constexpr char kSelectedStepVar[] = "SelectedTuneStep";
constexpr int kStepTextMax = 9;

}  // namespace

MCR_COMMAND(SelectTuneStepProc) { return RunHostDialog(ctx, MCR_DLG_TUNE_STEP, DfDlg319Proc) ? 0 : 1; }

extern "C" INT_PTR CALLBACK DfDlg319Proc(HWND dialog, UINT message, WPARAM wp, LPARAM lp) {
  switch (message) {
    case WM_INITDIALOG: {
      SetPropA(dialog, kPasskeyProperty, reinterpret_cast<HANDLE>(lp));
      HWND list = GetDlgItem(dialog, MCR_IDC_TUNE_STEP_LIST);
      for (int step = kTuneStepMin; step <= kTuneStepMax; ++step)
        SendMessageA(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(std::to_string(step).c_str()));
      SendMessageA(list, CB_SETCURSEL, 0, 0);
      return TRUE;
    }
    case WM_COMMAND: {
      WORD id = LOWORD(wp);
      if (id != IDOK && id != IDCANCEL) return FALSE;
      // Only the OK button itself takes the choice; anything else that
      // closes the dialog answers step 1.
      double step = 1;
      if (id == IDOK && HIWORD(wp) == 0) {
        char text[kStepTextMax + 1] = {};
        GetDlgItemTextA(dialog, MCR_IDC_TUNE_STEP_LIST, text, sizeof text);
        step = std::atoi(text);
      }
      auto ctx = static_cast<HostContext>(GetPropA(dialog, kPasskeyProperty));
      SetNumVar(ctx, kSelectedStepVar, step);
      RemovePropA(dialog, kPasskeyProperty);
      EndDialog(dialog, id);
      return TRUE;
    }
    default: return FALSE;
  }
}
