// The workstation's task programs as the placement commands see them: which
// task a main-window class stands for, the section of the placement file
// that holds its placement, and the texts stored there.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

namespace mcr {

enum class Task { DataAnalysis, Tune, Acquisition, Launcher, General, Unknown };

// The launcher's command-processor window, and the launcher's child window
// that holds the embedded task windows.
constexpr char kLauncherClass[] = "ZT-KMR CP Class";
constexpr char kHubViewClass[] = "HubViewWndClass";
// What the launcher sends a task window to ask the task to close.
constexpr unsigned kCloseRequest = 0x051F;

constexpr char kPlacementFile[] = "icpms.win";
constexpr char kDefaultStyle[] = "WS_NORMAL";
constexpr char kDefaultPosition[] = "0,0,800,600";
// Buffers of the stored texts and of a section name (with the terminator).
constexpr std::size_t kStyleBuffer = 32;
constexpr std::size_t kPositionBuffer = 64;
constexpr std::size_t kSectionBuffer = 32;
// Class names as the commands read them (with the terminator).
constexpr std::size_t kRestoreClassBuffer = 64;
constexpr std::size_t kLauncherClassBuffer = 32;

// The main-window class of a task (not for Unknown).
const char* TaskClass(Task task);
// The task whose main window has this class (letter case ignored).
Task TaskOfClass(std::string_view windowClass);

// What the placement section of a task depends on: the host variables of
// the task that runs the command.
struct TaskVars {
  std::int32_t instrument = 0;  // _INSTNUM
  std::int32_t tuneMode = 0;    // _TNTASK_MODE
  std::int32_t topWindow = 0;   // _TOPWINID
  std::string appTag;           // _apptag$
};

// The placement section of a task; "" for Unknown and for a name that
// would not fit the section buffer, so that every lookup falls back to its
// default.
std::string PlacementSection(Task task, const TaskVars& vars);

// The section "LASTTASK,n".
std::string LastTaskSection(std::int32_t instrument);
// The key "TASKk".
std::string LastTaskKey(int k);
// The last-task word of the tune task in this mode ("tune", "inst",
// "maint"), or null for a mode that has none.
const char* TuneModeWord(std::int32_t mode);

// A task word of the launcher's default-placement command ("da", "acq",
// "tune", "inst", "maint", letter case ignored): the task and the section of
// its default placement for instrument n. Unknown for any other word.
struct DefaultTarget {
  Task task = Task::Unknown;
  std::string section;
};
DefaultTarget DefaultTargetOf(std::string_view word, std::int32_t instrument);

// The window's show command for a stored style: 1 normal, 2 minimised,
// 3 maximised (letter case ignored; any other text is normal).
int ShowCommandOfStyle(std::string_view style);

// A stored position "left,top,right,bottom" read as four decimal integers:
// reading stops at the first number or comma that is not there, and the
// numbers not read stay 0. A number beyond the 32-bit range saturates.
struct StoredRect {
  std::int32_t left = 0, top = 0, right = 0, bottom = 0;
};
StoredRect ParsePosition(std::string_view text);

// The placement file in the folder of a module file name: drive and folder
// of the path (a double-byte character's second byte is never taken for a
// separator) followed by the file name.
std::string PlacementFileBeside(std::string_view modulePath);

}  // namespace mcr
