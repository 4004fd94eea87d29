// Placement of the task windows: a task restores its own main window, and
// the launcher records, closes and re-places the task windows embedded in
// it. None of these commands reports a failure: a missing placement file or
// section gives the default placement, and a command run anywhere but in
// the launcher does nothing.
#include <windows.h>

#include <string>

#include "../bridge/handlers.h"
#include "../bridge/hostops.h"
#include "../bridge/rounding.h"
#include "../bridge/sjistext.h"
#include "tasktable.h"

using namespace mcr;

namespace {

// A numeric host variable as a whole number; one the host does not hold
// counts as 0.
std::int32_t IntVar(HostContext ctx, const char* name) {
  double value = 0;
  if (GetNumVar(ctx, name, &value) != 0) value = 0;
  return RoundToInt(value);
}

std::string ClassOf(HWND window, std::size_t buffer) {
  char name[kRestoreClassBuffer] = {};
  GetClassNameA(window, name, static_cast<int>(buffer));
  return name;
}

// The host window when the command runs in the launcher, else null.
HWND LauncherWindow(HostContext ctx) {
  HWND host = GetHostWindow(ctx);
  return EqualNoCase(ClassOf(host, kLauncherClassBuffer), kLauncherClass) ? host : nullptr;
}

// The task's main window embedded in the launcher, when it is shown. Only
// the first window of each class is looked at.
HWND EmbeddedWindow(HWND launcher, Task task) {
  HWND hub = FindWindowExA(launcher, nullptr, kHubViewClass, nullptr);
  HWND window = hub ? FindWindowExA(hub, nullptr, TaskClass(task), nullptr) : nullptr;
  return window && IsWindowVisible(window) ? window : nullptr;
}

// The placement file of the installation that the window's own program
// belongs to (which need not be the program running this command).
std::string PlacementFileOf(HWND window) {
  char module[MAX_PATH] = {};
  auto instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(window, GWLP_HINSTANCE));
  GetModuleFileNameA(instance, module, sizeof module);
  return PlacementFileBeside(module);
}

std::string ReadProfile(const std::string& file, const std::string& section, const char* key,
                        const char* fallback, std::size_t buffer) {
  char value[kPositionBuffer] = {};
  GetPrivateProfileStringA(section.c_str(), key, fallback, value, static_cast<DWORD>(buffer),
                           file.c_str());
  return value;
}

// Builds the placement record from a style key and a position key of the
// section and applies it. With keepState a minimised or maximised window
// stays so and only its restored rectangle changes.
void ApplyPlacement(HWND window, const std::string& section, const char* styleKey,
                    const char* positionKey, bool keepState) {
  const std::string file = PlacementFileOf(window);
  const std::string style = ReadProfile(file, section, styleKey, kDefaultStyle, kStyleBuffer);
  const StoredRect r =
      ParsePosition(ReadProfile(file, section, positionKey, kDefaultPosition, kPositionBuffer));
  WINDOWPLACEMENT placement{};
  placement.length = sizeof placement;
  placement.showCmd = static_cast<UINT>(ShowCommandOfStyle(style));
  placement.rcNormalPosition = RECT{r.left, r.top, r.right, r.bottom};
  if (keepState && IsIconic(window)) placement.showCmd = SW_SHOWMINIMIZED;
  if (keepState && IsZoomed(window)) placement.showCmd = SW_SHOWMAXIMIZED;
  SetWindowPlacement(window, &placement);
}

// Only the variables the task's section depends on are read.
TaskVars ReadTaskVars(HostContext ctx, Task task) {
  TaskVars vars;
  if (task == Task::DataAnalysis) vars.topWindow = IntVar(ctx, "_TOPWINID");
  if (task == Task::Tune) vars.tuneMode = IntVar(ctx, "_TNTASK_MODE");
  if (task == Task::General) {
    char tag[kStrVarBound] = {};
    GetStrVar(ctx, "_apptag$", tag);
    vars.appTag = tag;
  }
  vars.instrument = IntVar(ctx, "_INSTNUM");
  return vars;
}

// Writes one key of the last-task section, or with a null key removes the
// section; the file and the section follow the host variables as they are
// at this moment.
void WriteLastTask(HostContext ctx, const char* key, const char* value) {
  char exePath[kStrVarBound] = {};
  GetStrVar(ctx, "_EXEPATH$", exePath);
  const std::string file = std::string(exePath) + kPlacementFile;
  const std::string section = LastTaskSection(IntVar(ctx, "_INSTNUM"));
  WritePrivateProfileStringA(section.c_str(), key, value, file.c_str());
}

}  // namespace

MCR_COMMAND(WinRestorePosProc) {
  HWND host = GetHostWindow(ctx);
  if (!IsWindowVisible(host)) return 0;
  const Task task = TaskOfClass(ClassOf(host, kRestoreClassBuffer));
  const std::string section = PlacementSection(task, ReadTaskVars(ctx, task));
  ApplyPlacement(host, section, "WINSTYLE", "POS", true);
  return 0;
}

MCR_COMMAND(SaveLastTaskProc) {
  HWND launcher = LauncherWindow(ctx);
  if (!launcher) return 0;
  WriteLastTask(ctx, nullptr, nullptr);
  int k = 1;
  if (EmbeddedWindow(launcher, Task::DataAnalysis)) {
    WriteLastTask(ctx, LastTaskKey(k).c_str(), "da");
    k = 2;
  }
  // An open acquisition task hides the tune task from the record.
  if (EmbeddedWindow(launcher, Task::Acquisition)) {
    WriteLastTask(ctx, LastTaskKey(k).c_str(), "acq");
  } else if (EmbeddedWindow(launcher, Task::Tune)) {
    if (const char* mode = TuneModeWord(IntVar(ctx, "_TNTASK_MODE")))
      WriteLastTask(ctx, LastTaskKey(k).c_str(), mode);
  }
  return 0;
}

MCR_COMMAND(CloseAllTasksProc) {
  HWND launcher = LauncherWindow(ctx);
  if (!launcher) return 0;
  // Sent, not posted: each task has had the request by the time the
  // command returns, though it may close only later.
  for (Task task : {Task::DataAnalysis, Task::Tune, Task::Acquisition})
    if (HWND window = EmbeddedWindow(launcher, task)) SendMessageA(window, kCloseRequest, 0, 0);
  return 0;
}

MCR_COMMAND(SetWindowToDefPosProc) {
  HWND launcher = LauncherWindow(ctx);
  const char* word = GetStringArg(ctx, args, 1);
  if (!launcher || !word) return 0;
  const std::int32_t instrument = IntVar(ctx, "_INSTNUM");
  if (instrument < 1) return 0;
  const DefaultTarget target = DefaultTargetOf(word, instrument);
  if (target.task == Task::Unknown) return 0;
  // Without a shown window there is nothing to place.
  if (HWND window = EmbeddedWindow(launcher, target.task))
    ApplyPlacement(window, target.section, "DEF_WINSTYLE", "DEF_POS", false);
  return 0;
}
