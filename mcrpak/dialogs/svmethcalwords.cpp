// SVMETHCAL and dialog 353: before a method and its calibration are saved,
// the operator names the folder of each and one short file name for both.
// Folders come from the platform's folder browser; folders carrying one of
// the caller's reserved extensions (where the instrument keeps methods and
// calibrations) are refused. SvMethCalUI is the same dialog for direct
// callers: it answers 1 after OK, 0 after Cancel and -1 when the dialog
// cannot be made, and writes its three 257-byte out buffers only after OK.
#include "svmethcal.h"

#include <windows.h>
#include <objbase.h>
#include <shlobj.h>

#include <cstring>

#include "../bridge/handlers.h"
#include "../bridge/hostops.h"
#include "../bridge/owners.h"
#include "../bridge/rounding.h"
#include "../resources/resource_ids.h"
#include "dialogaids.h"
#include "dlgcommon.h"

extern "C" {
INT_PTR CALLBACK DfDlg353Proc(HWND dialog, UINT message, WPARAM wp, LPARAM lp);
int CALLBACK BrowseSelFldCallbackProc(HWND browser, UINT message, LPARAM lp, LPARAM data);
int WINAPI SvMethCalUI(HWND parent, HINSTANCE instance, int help, const char* methodFolder,
                       const char* calibFolder, const char* fileName, const char* extensions, char* methodOut,
                       char* calibOut, char* nameOut);
}

using namespace mcr;

namespace {

constexpr char kRecordProperty[] = "SVMETHCALRMS";
constexpr int kTitleFolderBrowser = 1244;
constexpr int kDialogId = MCR_DLG_SVMETHCAL;

// The dialog record: a movable global block of kRecordBytes, the dialog's
// creation parameter and its window property while it is open.
struct SvMethCalRecord {
  HINSTANCE instance;
  HWND parent;
  std::int32_t help;  // 0 hides the Help button
  char methodFolder[kSvMethCalField];
  char calibFolder[kSvMethCalField];
  char fileName[kSvMethCalField];
  char extensions[kMaxReservedExtensions][kSvMethCalField];
  char* methodOut;
  char* calibOut;
  char* nameOut;
};
constexpr SIZE_T kRecordBytes = 2984;
static_assert(sizeof(SvMethCalRecord) <= kRecordBytes, "the record fits its block");

using LockedRecord = GlobalLocked<SvMethCalRecord>;

// The record of an open dialog.
HGLOBAL RecordOf(HWND dialog) { return static_cast<HGLOBAL>(GetPropA(dialog, kRecordProperty)); }

bool Fits(const char* text) { return std::strlen(text) <= kSvMethCalTextMax; }

void Copy(char (&field)[kSvMethCalField], const std::string& text) { lstrcpynA(field, text.c_str(), kSvMethCalField); }

std::vector<std::string> Extensions(const SvMethCalRecord& r) {
  std::vector<std::string> entries;
  for (const auto& e : r.extensions)
    if (e[0]) entries.push_back(e);
  return entries;
}

// Moves control `from` to where control `to` stands.
void MoveOnto(HWND dialog, int from, int to) {
  RECT r{};
  GetWindowRect(GetDlgItem(dialog, to), &r);
  MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&r), 2);
  SetWindowPos(GetDlgItem(dialog, from), nullptr, r.left, r.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void Initialise(HWND dialog, HGLOBAL block) {
  auto icon = static_cast<HICON>(
      LoadImageA(g_instance, MAKEINTRESOURCEA(MCR_ICON_FOLDER), IMAGE_ICON, 0, 0, LR_DEFAULTSIZE | LR_SHARED));
  for (int button : {MCR_IDC_SMC_METHOD_BROWSE, MCR_IDC_SMC_CALIB_BROWSE})
    SendDlgItemMessageA(dialog, button, BM_SETIMAGE, IMAGE_ICON, reinterpret_cast<LPARAM>(icon));
  SetPropA(dialog, kRecordProperty, block);
  LockedRecord r(block);
  if (r) {
    SetDlgItemTextA(dialog, MCR_IDC_SMC_METHOD, r->methodFolder);
    SetDlgItemTextA(dialog, MCR_IDC_SMC_CALIB, r->calibFolder);
    SetDlgItemTextA(dialog, MCR_IDC_SMC_NAME, r->fileName);
  }
  SendDlgItemMessageA(dialog, MCR_IDC_SMC_NAME, EM_LIMITTEXT, kSvMethCalTextMax, 0);
  if (r && r->help == 0) {
    MoveOnto(dialog, IDOK, IDCANCEL);
    MoveOnto(dialog, IDCANCEL, IDHELP);
    ShowWindow(GetDlgItem(dialog, IDHELP), SW_HIDE);
  }
  SetFocus(GetDlgItem(dialog, IDOK));
  CentreInWorkArea(dialog);
}

// The folder browser for the folder shown in control; a folder carrying a
// reserved extension is refused and the control left as it was.
void Browse(HWND dialog, int control) {
  HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
  char shown[kSvMethCalField] = {};
  GetDlgItemTextA(dialog, control, shown, sizeof shown);
  std::string title = MessageText(kTitleFolderBrowser);
  char display[MAX_PATH] = {};
  BROWSEINFOA info{};
  info.hwndOwner = dialog;
  info.pszDisplayName = display;
  info.lpszTitle = title.c_str();
  info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_DONTGOBELOWDOMAIN | BIF_RETURNFSANCESTORS | BIF_NEWDIALOGSTYLE |
                 BIF_NONEWFOLDERBUTTON;
  info.lpfn = BrowseSelFldCallbackProc;
  info.lParam = reinterpret_cast<LPARAM>(shown);
  LPITEMIDLIST chosen = SHBrowseForFolderA(&info);
  char path[MAX_PATH + 1] = {};
  bool picked = chosen && SHGetPathFromIDListA(chosen, path);
  if (chosen) CoTaskMemFree(chosen);
  if (picked) {
    std::string folder = FolderForm(path);
    LockedRecord r(RecordOf(dialog));
    std::vector<std::string> entries = r ? Extensions(*r) : std::vector<std::string>();
    const std::string* reserved = FindReservedExtension(folder, entries);
    if (folder.size() > kSvMethCalTextMax) {
      ShowStopBox(dialog, MessageText(kMsgTooLong, static_cast<int>(kSvMethCalTextMax)));
    } else if (reserved) {
      ShowStopBox(dialog, MessageText(kMsgReservedExtension, reserved->substr(0, reserved->size() - 1).c_str()));
    } else {
      SetDlgItemTextA(dialog, control, folder.c_str());
      if (r) Copy(control == MCR_IDC_SMC_METHOD ? r->methodFolder : r->calibFolder, folder);
    }
  }
  if (SUCCEEDED(com)) CoUninitialize();
}

void Close(HWND dialog, INT_PTR result) {
  RemovePropA(dialog, kRecordProperty);
  EndDialog(dialog, result);
}

void Accept(HWND dialog) {
  LockedRecord r(RecordOf(dialog));
  if (!r) return;
  std::string name = ItemText(dialog, MCR_IDC_SMC_NAME, kSvMethCalTextMax);
  int refusal = !r->methodFolder[0] || !r->calibFolder[0] ? kMsgNoFolder : FileNameMessage(name);
  if (refusal) {
    ShowStopBox(dialog, MessageText(refusal));
    return;
  }
  if (r->methodOut) lstrcpynA(r->methodOut, r->methodFolder, kSvMethCalField);
  if (r->calibOut) lstrcpynA(r->calibOut, r->calibFolder, kSvMethCalField);
  if (r->nameOut) lstrcpynA(r->nameOut, name.c_str(), kSvMethCalField);
  Close(dialog, 1);
}

constexpr char kButtonVar[] = "_BUTTON";

// An argument or, when omitted, the host's variable.
std::string ArgumentOr(HostContext ctx, const char* given, const char* variable) {
  return given ? std::string(given) : StringVariable(ctx, variable);
}

INT_PTR Dialog353(HWND dialog, UINT message, WPARAM wp, LPARAM lp) {
  switch (message) {
    case WM_INITDIALOG:
      Initialise(dialog, reinterpret_cast<HGLOBAL>(lp));
      return FALSE;  // the focus is on OK already
    case WM_COMMAND:
      if (HIWORD(wp) != BN_CLICKED) return FALSE;
      switch (LOWORD(wp)) {
        case MCR_IDC_SMC_METHOD_BROWSE: Browse(dialog, MCR_IDC_SMC_METHOD); return TRUE;
        case MCR_IDC_SMC_CALIB_BROWSE: Browse(dialog, MCR_IDC_SMC_CALIB); return TRUE;
        case IDOK: Accept(dialog); return TRUE;
        case IDCANCEL: Close(dialog, 0); return TRUE;
        case IDHELP: ShowWorkstationHelp(dialog, kDialogId); return TRUE;
        default: return FALSE;
      }
    case WM_RBUTTONDBLCLK: return ShowWindowInformation(dialog, kDialogId, wp, lp);
    case WM_DESTROY: RemovePropA(dialog, kRecordProperty); return FALSE;
    default: return FALSE;
  }
}

}  // namespace

extern "C" int WINAPI SvMethCalUI(HWND parent, HINSTANCE instance, int help, const char* methodFolder,
                                  const char* calibFolder, const char* fileName, const char* extensions,
                                  char* methodOut, char* calibOut, char* nameOut) try {
  methodFolder = methodFolder ? methodFolder : "";
  calibFolder = calibFolder ? calibFolder : "";
  fileName = fileName ? fileName : "";
  std::optional<std::vector<std::string>> entries = ReservedExtensions(extensions ? extensions : "");
  if (!entries || !Fits(methodFolder) || !Fits(calibFolder) || !Fits(fileName)) return -1;
  GlobalBlock block(GHND, kRecordBytes);
  {
    LockedRecord r(block.get());
    if (!r) return -1;
    r->instance = instance;
    r->parent = parent;
    r->help = help;
    Copy(r->methodFolder, methodFolder);
    Copy(r->calibFolder, calibFolder);
    Copy(r->fileName, fileName);
    for (std::size_t i = 0; i < entries->size(); ++i) Copy(r->extensions[i], (*entries)[i]);
    r->methodOut = methodOut;
    r->calibOut = calibOut;
    r->nameOut = nameOut;
  }
  // The template and the icon are the library's own, whichever module the
  // caller names.
  INT_PTR result = DialogBoxParamA(g_instance, MAKEINTRESOURCEA(kDialogId), parent, DfDlg353Proc,
                                   reinterpret_cast<LPARAM>(block.get()));
  // A dialog ended from outside (IDCANCEL and the like) counts as cancelled.
  return result == 1 ? 1 : result == -1 ? -1 : 0;
} catch (...) {
  return -1;  // memory ran out before the dialog could be made
}

extern "C" int CALLBACK BrowseSelFldCallbackProc(HWND browser, UINT message, LPARAM, LPARAM data) {
  auto path = reinterpret_cast<const char*>(data);
  if (message == BFFM_INITIALIZED && path && *path) SendMessageA(browser, BFFM_SETSELECTIONA, TRUE, data);
  return 0;
}

extern "C" INT_PTR CALLBACK DfDlg353Proc(HWND dialog, UINT message, WPARAM wp, LPARAM lp) {
  return GuardedDialog([&] { return Dialog353(dialog, message, wp, lp); });
}

MCR_COMMAND(SvMethCalProc) {
  HWND host = GetHostWindow(ctx);
  if (!host) return Fail(ctx, kMsgNoTopLevelWindow);
  Args in(ctx, args);
  std::string method = FolderForm(ArgumentOr(ctx, in.Text(1), "_METHPATH$"));
  std::string calib = FolderForm(ArgumentOr(ctx, in.Text(2), "_CALPATH$"));
  std::string file = NamePart(ArgumentOr(ctx, in.Text(3), "_METHFILE$"));
  const char* extensions = in.Text(4).Or("");
  // Every text must fit the dialog's 257-byte fields as the dialog holds it
  // (a cut folder would name another folder). The limit told is the one the
  // text must keep as the macro gives it: a folder may gain its final
  // backslash, an extension entry its dot and backslash.
  constexpr int kFolderGiven = static_cast<int>(kSvMethCalTextMax) - 1;
  constexpr int kEntryGiven = static_cast<int>(kSvMethCalTextMax) - 2;
  if (!Fits(method.c_str()) || !Fits(calib.c_str())) return Fail(ctx, kMsgTooLong, kFolderGiven);
  if (!Fits(file.c_str())) return Fail(ctx, kMsgTooLong, static_cast<int>(kSvMethCalTextMax));
  if (!ReservedExtensions(extensions)) return Fail(ctx, kMsgTooLong, kEntryGiven);
  NumberArg helpArg = in.Number(5);
  int help = helpArg.given() && helpArg.Int() == 0 ? 0 : 1;

  char out[3][kSvMethCalField] = {};
  int result = SvMethCalUI(host, g_instance, help, method.c_str(), calib.c_str(), file.c_str(), extensions, out[0],
                           out[1], out[2]);
  SetNumVar(ctx, kButtonVar, result);
  // Only OK fills the buffers; after Cancel the variables are emptied.
  for (int i = 0; i < 3; ++i)
    if (const char* var = in.Text(6 + i)) SetStrVar(ctx, var, result == 1 ? out[i] : "");
  return 0;
}
