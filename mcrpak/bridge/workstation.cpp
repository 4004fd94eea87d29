#include "workstation.h"

#include <windows.h>

namespace mcr {

std::string InstallationFolder() {
  HKEY key;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kWorkstationKey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
    return {};
  char path[MAX_PATH + 1] = {};
  DWORD size = MAX_PATH;
  DWORD type = 0;
  LONG r = RegQueryValueExA(key, "Path", nullptr, &type, reinterpret_cast<BYTE*>(path), &size);
  RegCloseKey(key);
  if (r != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ)) return {};
  path[MAX_PATH] = '\0';
  return path;
}

}  // namespace mcr
