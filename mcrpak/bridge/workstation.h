// Where the workstation keeps its installation, as the instrument words and
// the settings words find it.
#pragma once
#include <string>

namespace mcr {

constexpr char kWorkstationKey[] = "SOFTWARE\\Veltrix Technologies\\ICP-MS Quantaro\\CurrentVersion";

// The "Path" value of the workstation key under HKEY_LOCAL_MACHINE, or ""
// when the key or the value cannot be read (at most 260 bytes).
std::string InstallationFolder();

}  // namespace mcr
