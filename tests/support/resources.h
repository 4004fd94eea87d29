// What a word could leave behind in the process or on disk: kernel handles,
// windows, heap blocks, and files changed where it had no business.
#pragma once
#include <windows.h>

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace mcrtest {

// Counts for this process. The platform's own counters are stubs under
// Wine (GetProcessHandleCount and GetGuiResources answer 0), so handles are
// counted in the system's handle table, windows by enumeration (top-level
// windows of this thread and all their descendants) and heap blocks by
// walking every heap of the process.
struct ProcessResources {
  std::size_t handles = 0;
  std::size_t windows = 0;
  std::size_t heapBlocks = 0;
};
ProcessResources CountResources();

// Size and last-write time of every file under a folder, and the folders
// themselves, by path relative to the root.
class FolderState {
 public:
  struct Entry {
    bool folder = false;
    std::uint64_t size = 0;
    FILETIME written{};
  };
  // skip: relative paths (folders) left out of the walk, compared without
  // regard to case.
  static FolderState Take(const std::string& root, const std::vector<std::string>& skip = {});
  // One line per path created, removed or changed since before.
  std::vector<std::string> ChangesSince(const FolderState& before) const;
  std::size_t size() const { return entries_.size(); }

 private:
  std::string root_;
  std::map<std::string, Entry> entries_;
};

// Whether the file can be opened with no sharing at all: nothing else in the
// process (or anywhere) holds it open.
bool OpensExclusively(const std::string& path);

}  // namespace mcrtest
