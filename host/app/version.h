// mcrhost --version: the version of mcrhost and of the library it would
// load, each read from the module's VERSIONINFO resource.
#pragma once
#include <string>

namespace mcrhost {

// The file version ("1.0.0") of the module file at path (UTF-8); "" when it
// has none or cannot be read.
std::string FileVersion(const std::string& path);

// Prints both versions; returns the exit status (3 when the library has no
// version to tell).
int PrintVersions(const std::string& libraryPath);

}  // namespace mcrhost
