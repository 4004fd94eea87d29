// QCUNREPELEM: the dialog in which the operator picks, step by step, the
// measured masses that the QC report leaves out. The choice lives in the
// files qcunrep.01 to qcunrep.06 of the current method; the macro learns in
// _Button whether it was confirmed (1) or not (0).
#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "../bridge/catalogue.h"
#include "../bridge/handlers.h"
#include "../bridge/hostops.h"
#include "../bridge/owners.h"
#include "../instfiles/filesource.h"
#include "../instfiles/instio.h"
#include "../instfiles/rungroups.h"
#include "../resources/resource_ids.h"
#include "dlgcommon.h"
#include "unreported.h"

extern "C" INT_PTR CALLBACK DfDlg265Proc(HWND dialog, UINT message, WPARAM wp, LPARAM lp);

using namespace mcr;

namespace {

constexpr char kDataProperty[] = "Dlg265Data";
constexpr char kButtonVar[] = "_Button";
constexpr char kUnreportedStem[] = "qcunrep.";
constexpr int kMeasuredTabs[] = {16, 60};
constexpr int kUnreportedTabs[] = {25};
static_assert(sizeof(UnreportedSteps) == kTuneSteps * kUnreportedFileSize, "six blocks of 260 entries");

// The working data, locked for as long as the owner lives.
struct LockedSteps : GlobalLocked<UnreportedSteps> {
  explicit LockedSteps(HWND dialog) : GlobalLocked(static_cast<HGLOBAL>(GetPropA(dialog, kDataProperty))) {}
};

// Builds the method's mass table; when that fails, the file to name in the
// message: the method header when the method itself is invalid, the first
// run group of a tune-step method none of whose run groups exists, and
// otherwise the run group file that could not be opened or read whole.
std::optional<std::string> BuildMassTable(const std::string& dir, RunGroupMassTable& table) {
  MethodRunGroups method;
  method.mode = GetRunGroups(dir.c_str(), method.list, &method.count);
  std::vector<std::string> tried;
  bool opened = false;
  FileOpener open = [&](const std::string& path) {
    tried.push_back(path);
    std::unique_ptr<ByteSource> file = OpenFileSource(path);
    opened |= file != nullptr;
    return file;
  };
  if (FillRunGroupMassTable(dir, method, open, table)) return std::nullopt;
  if (method.mode < 0 || tried.empty()) return dir + "\\run.icp";
  return IsTuneStepMode(method.mode) && !opened ? tried.front() : tried.back();
}

std::string ListItem(HWND list, int index) {
  LRESULT length = SendMessageA(list, LB_GETTEXTLEN, static_cast<WPARAM>(index), 0);
  if (length == LB_ERR) return {};
  std::string text(static_cast<std::size_t>(length) + 1, '\0');
  length = SendMessageA(list, LB_GETTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&text[0]));
  text.resize(length == LB_ERR ? 0 : static_cast<std::size_t>(length));
  return text;
}

void AddItem(HWND list, const std::string& text) {
  SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

std::vector<int> SelectedItems(HWND list) {
  LRESULT count = SendMessageA(list, LB_GETSELCOUNT, 0, 0);
  if (count <= 0) return {};
  std::vector<int> items(static_cast<std::size_t>(count));
  count = SendMessageA(list, LB_GETSELITEMS, static_cast<WPARAM>(count), reinterpret_cast<LPARAM>(items.data()));
  items.resize(count > 0 ? static_cast<std::size_t>(count) : 0);
  return items;
}

void ReleaseRecord(HWND dialog) {
  RemovePropA(dialog, kPasskeyProperty);
  if (HGLOBAL data = static_cast<HGLOBAL>(RemovePropA(dialog, kDataProperty))) GlobalFree(data);
}

// Ends the dialog: _Button, then the properties and the working data go.
void Close(HWND dialog, int result) {
  SetNumVar(static_cast<HostContext>(GetPropA(dialog, kPasskeyProperty)), kButtonVar, result);
  ReleaseRecord(dialog);
  EndDialog(dialog, result);
}

// A double click acts on the one entry selected, never on several.
bool OneSelected(HWND dialog, int list) {
  return SendDlgItemMessageA(dialog, list, LB_GETSELCOUNT, 0, 0) == 1;
}

// A dialog that cannot show what it should says why and closes as after
// Cancel.
void Refuse(HWND dialog, const std::string& text) {
  ShowWarning(dialog, text);
  PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
}

void Open(HWND dialog, HostContext ctx) {
  SetPropA(dialog, kPasskeyProperty, ctx);
  HGLOBAL data = GlobalAlloc(GHND, sizeof(UnreportedSteps));
  if (!data) return Refuse(dialog, MessageText(kMsgNoGlobalMemory));
  SetPropA(dialog, kDataProperty, data);
  const std::string dir = CurrentMethodDirectory(ctx);
  if (dir.empty()) return Refuse(dialog, MessageText(kMsgNoMethodPath));
  RunGroupMassTable table;
  if (std::optional<std::string> failed = BuildMassTable(dir, table))
    return Refuse(dialog, MessageText(kMsgCannotOpen, failed->c_str()));

  HWND measured = GetDlgItem(dialog, MCR_IDC_UNREP_MEASURED), unreported = GetDlgItem(dialog, MCR_IDC_UNREP_LIST);
  SendMessageA(measured, WM_SETREDRAW, FALSE, 0);
  SendMessageA(unreported, WM_SETREDRAW, FALSE, 0);
  for (int mass = kMassMin; mass <= kMassMax; ++mass)
    for (int step = 1; step <= kTuneSteps; ++step) {
      const RunGroupMassEntry& entry = MassTableEntry(table, step, mass);
      if (entry.measured) AddItem(measured, MeasuredItemText(mass, entry.name, step));
    }
  LockedSteps steps(dialog);
  for (int step = 1; step <= kTuneSteps && steps; ++step) {
    std::unique_ptr<ByteSource> file = OpenFileSource(StepFileName(dir, kUnreportedStem, step));
    if (!file) continue;
    UnreportedBlock& block = steps->steps[step - 1];
    std::size_t whole = ReadUnreportedBlock(*file, block);
    for (std::size_t i = 0; i < whole; ++i)
      if (IsUnreported(block[i])) AddItem(unreported, UnreportedItemText(static_cast<int>(i) + 1, step));
  }
  SendMessageA(measured, WM_SETREDRAW, TRUE, 0);
  SendMessageA(unreported, WM_SETREDRAW, TRUE, 0);
  InvalidateRect(measured, nullptr, TRUE);
  InvalidateRect(unreported, nullptr, TRUE);
  SendMessageA(measured, LB_SETTABSTOPS, std::size(kMeasuredTabs), reinterpret_cast<LPARAM>(kMeasuredTabs));
  SendMessageA(unreported, LB_SETTABSTOPS, std::size(kUnreportedTabs), reinterpret_cast<LPARAM>(kUnreportedTabs));
}

void AddSelected(HWND dialog) {
  HWND measured = GetDlgItem(dialog, MCR_IDC_UNREP_MEASURED), unreported = GetDlgItem(dialog, MCR_IDC_UNREP_LIST);
  for (int index : SelectedItems(measured)) {
    std::string item = ListItem(measured, index);
    int mass = ItemMass(item);
    if (mass < kUnreportedAddMin || mass > kMassMax) continue;
    std::string text = UnreportedTextOf(item);
    LRESULT same = SendMessageA(unreported, LB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                reinterpret_cast<LPARAM>(text.c_str()));
    if (same == LB_ERR || ListItem(unreported, static_cast<int>(same)) != text) AddItem(unreported, text);
  }
}

void DeleteSelected(HWND dialog) {
  HWND unreported = GetDlgItem(dialog, MCR_IDC_UNREP_LIST);
  std::vector<int> selected = SelectedItems(unreported);
  for (auto i = selected.rbegin(); i != selected.rend(); ++i)
    SendMessageA(unreported, LB_DELETESTRING, static_cast<WPARAM>(*i), 0);
}

// The list becomes the working data, and the working data the six files.
void Save(HWND dialog) {
  SetFocus(GetDlgItem(dialog, IDOK));
  LockedSteps steps(dialog);
  if (!steps) return;
  for (UnreportedBlock& block : steps->steps)
    for (std::int32_t& entry : block) entry = WithUnreportedFlag(entry, false);
  HWND unreported = GetDlgItem(dialog, MCR_IDC_UNREP_LIST);
  LRESULT count = SendMessageA(unreported, LB_GETCOUNT, 0, 0);
  for (int i = 0; i < count; ++i) {
    std::string item = ListItem(unreported, i);
    int mass = ItemMass(item), step = ItemStep(item);
    if (mass < kMassMin || mass > kMassMax || step < 1 || step > kTuneSteps) continue;
    std::int32_t& entry = steps->steps[step - 1][static_cast<std::size_t>(mass - 1)];
    entry = WithUnreportedFlag(entry, true);
  }
  auto ctx = static_cast<HostContext>(GetPropA(dialog, kPasskeyProperty));
  const std::string dir = CurrentMethodDirectory(ctx);
  for (int step = 1; step <= kTuneSteps; ++step) {
    InstFile file = InstFile::Create(StepFileName(dir, kUnreportedStem, step));
    auto bytes = EncodeUnreportedBlock(steps->steps[step - 1]);
    if (!file.IsOpen() || !file.Write(bytes.data(), bytes.size())) {
      ShowWarning(dialog, MessageText(kMsgCannotWriteQcUnrep));
      return;
    }
  }
}

INT_PTR Dialog265(HWND dialog, UINT message, WPARAM wp, LPARAM lp) {
  switch (message) {
    case WM_INITDIALOG:
      Open(dialog, reinterpret_cast<HostContext>(lp));
      return TRUE;
    case WM_COMMAND: {
      const WORD id = LOWORD(wp);
      const bool doubleClick = HIWORD(wp) == LBN_DBLCLK;
      switch (id) {
        case MCR_IDC_UNREP_MEASURED:
          if (doubleClick && OneSelected(dialog, id)) AddSelected(dialog);
          return TRUE;
        case MCR_IDC_UNREP_LIST:
          if (doubleClick && OneSelected(dialog, id)) DeleteSelected(dialog);
          return TRUE;
        case MCR_IDC_UNREP_ADD: AddSelected(dialog); return TRUE;
        case MCR_IDC_UNREP_DELETE: DeleteSelected(dialog); return TRUE;
        case IDOK:
          Save(dialog);
          Close(dialog, 1);
          return TRUE;
        case IDCANCEL: Close(dialog, 0); return TRUE;
        case IDHELP:
          ShowHelpTopic(static_cast<HostContext>(GetPropA(dialog, kPasskeyProperty)), MCR_DLG_UNREPORTED);
          return TRUE;
        default: return FALSE;
      }
    }
    case WM_DESTROY:
      // Ended from outside (not through OK or Cancel): nothing is written,
      // but the working data does not outlive the window.
      ReleaseRecord(dialog);
      return FALSE;
    default: return FALSE;
  }
}

}  // namespace

MCR_COMMAND(QCUnrepElemProc) { return RunHostDialog(ctx, MCR_DLG_UNREPORTED, DfDlg265Proc) ? 0 : 1; }

extern "C" INT_PTR CALLBACK DfDlg265Proc(HWND dialog, UINT message, WPARAM wp, LPARAM lp) {
  return GuardedDialog([&] { return Dialog265(dialog, message, wp, lp); });
}
