// Where a word could leave traces on disk: files changed where it had no
// business, and files it left open.
#pragma once
#include <windows.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace mcrtest {

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
  // The files (not the folders), with the root.
  std::vector<std::string> Files() const;

 private:
  std::string root_;
  std::map<std::string, Entry> entries_;
};

// Whether the file can be opened with no sharing at all: nothing else in the
// process (or anywhere) holds it open.
bool OpensExclusively(const std::string& path);

}  // namespace mcrtest
