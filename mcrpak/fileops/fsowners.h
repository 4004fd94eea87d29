// What the copy, update and delete words share on the platform side: the
// search handle and the two path-kind tests.
#pragma once
#include <windows.h>

#include <string>

#include "../bridge/owners.h"
#include "pathparts.h"

namespace mcr {

inline bool IsDirectoryEntry(const WIN32_FIND_DATAA& entry) {
  return (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// A directory, with or without one final separator.
inline bool IsDirectoryPath(std::string_view path) {
  if (path.empty()) return false;
  std::string bare(path);
  if (EndsWithSeparator(bare)) bare.pop_back();
  DWORD attributes = GetFileAttributesA(bare.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// An existing file that is not a directory.
inline bool IsFilePath(std::string_view path) {
  DWORD attributes = GetFileAttributesA(std::string(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace mcr
