// What a word may leave behind when it is called many times or carelessly:
// kernel handles, windows, heap blocks and icons it does not give back
// (Wine's GetGuiResources and GetProcessHandleCount are stubs that return
// 0), files changed where it had no business, files left open.
#pragma once
#include <windows.h>

#include <map>
#include <string>
#include <vector>

namespace mcrtest {

std::size_t ThreadWindowCount();   // windows of the calling thread, child windows included
std::size_t ProcessHandleCount();  // kernel handles the process holds
bool IconAlive(HICON icon);        // whether the handle still names an icon
// Blocks in use on every heap of the process: the process heap (global and
// local memory blocks) and the C runtime's own (what new and malloc give).
std::size_t HeapBlockCount();
// Whether the file opens with no sharing at all: nothing holds it open.
bool OpensExclusively(const std::string& path);

// Size and last-write time of every file under a folder, and the folders
// themselves, by path relative to the root; skip: relative folder paths left
// out of the walk (in any case).
class FolderState {
 public:
  static FolderState Take(const std::string& root, const std::vector<std::string>& skip = {});
  // One line per path created, removed or changed since before.
  std::vector<std::string> ChangesSince(const FolderState& before) const;
  std::size_t size() const { return entries_.size(); }
  std::vector<std::string> Files() const;  // with the root

 private:
  std::string root_;
  std::map<std::string, std::string> entries_;  // "size@time", "" for a folder
};

}  // namespace mcrtest
