// mcrhost --tasks: stand-ins of the workstation's task programs embedded in
// mcrhost's window when it plays the launcher.
#pragma once
#include <memory>
#include <optional>
#include <string>

#include "hostcore.h"
#include "session.h"
#include "taskwindows.h"

namespace mcrhost {

// Why the option's value cannot be used with this window class, or nothing.
std::optional<std::string> CheckTaskList(const std::string& list, const std::string& windowClass);

// Opens the tasks of the list (after the start-up macro and --set: "last"
// reads the last-task record of _EXEPATH$\icpms.win for _INSTNUM), sets TaskWin_NAME to
// each window's handle and _TNTASK_MODE to the tune task's mode, and prints
// what the windows get.
std::unique_ptr<TaskWindows> StartTasks(Host& host, Session& session, const std::string& list);

}  // namespace mcrhost
