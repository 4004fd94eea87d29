// What dialogs 353 and 355 share: the host's string variables, the stop
// box, the workstation's help file, the window-information box, and the
// general task's settings file of the installation.
#pragma once
#include <windows.h>

#include <string>

#include "../bridge/boundary.h"

namespace mcr {

// The host's string variable, "" when it has none.
std::string StringVariable(HostContext ctx, const char* name);

// A stop box owned by the dialog and captioned with its title.
void ShowStopBox(HWND dialog, const std::string& text);

// The installation's "icpexe\vexmon.ist" (the folder from the workstation
// key, a backslash put between when it lacks one); "" when the key names no
// folder.
std::string InstallationSettingsFile();

// Opens context topic of the help file named in the installation's settings
// file: an HTML help file (".chm", letter case ignored) with the HTML Help
// control owned by the desktop, any other with WinHelp owned by the
// dialog's parent.
void ShowWorkstationHelp(HWND dialog, UINT topic);

// The window-information box: on a right double-click within the top-left 5
// by 5 pixels of the dialog with the left button held. True when it was
// shown.
bool ShowWindowInformation(HWND dialog, int dialogId, WPARAM keys, LPARAM point);

}  // namespace mcr
