// Where the simulated data-analysis task keeps its state and its journal,
// for the stand-in itself and for whoever watches it (mcrhost's trace):
//   1. the folder named by the environment variable MCR_ANLINK;
//   2. else the "analysis" folder of the workstation's installation (the
//      "Path" value of the workstation's registry key);
//   3. else "mcr-anlink" in the temporary folder.
// In that folder, state.ini holds the scenario and what the task did
// (INI sections, so macros can read and set it with the settings words) and
// journal.txt one line per call of the link.
#pragma once
#include <windows.h>

#include <string>

#include "bridge/workstation.h"

namespace anlinksim {

inline constexpr char kFolderVariable[] = "MCR_ANLINK";
inline constexpr char kStateFile[] = "state.ini";
inline constexpr char kJournalFile[] = "journal.txt";

// Whether the last character (not a second byte) is a backslash.
inline bool EndsWithBackslash(const std::string& s) {
  return !s.empty() && *CharPrevA(s.c_str(), s.c_str() + s.size()) == '\\';
}

// The folder, ending with a backslash.
inline std::string Folder() {
  char path[MAX_PATH];
  DWORD n = GetEnvironmentVariableA(kFolderVariable, path, sizeof path);
  std::string folder;
  if (n > 0 && n < sizeof path) {
    folder = path;
  } else {
    std::string installation = mcr::InstallationFolder();
    if (!installation.empty()) {
      folder = installation;
      if (!EndsWithBackslash(folder)) folder += '\\';
      folder += "analysis";
    } else {
      n = GetTempPathA(sizeof path, path);
      folder = std::string(path, n < sizeof path ? n : 0) + "mcr-anlink";
    }
  }
  if (!EndsWithBackslash(folder)) folder += '\\';
  return folder;
}

}  // namespace anlinksim
