#include "filestate.h"

#include <algorithm>

namespace mcrtest {

namespace {

void Walk(const std::string& root, const std::string& rel, const std::vector<std::string>& skip,
          std::map<std::string, FolderState::Entry>& out) {
  WIN32_FIND_DATAA d;
  HANDLE find = FindFirstFileA((root + rel + "\\*").c_str(), &d);
  if (find == INVALID_HANDLE_VALUE) return;
  do {
    std::string name = d.cFileName;
    if (name == "." || name == "..") continue;
    std::string path = rel + "\\" + name;
    if (std::any_of(skip.begin(), skip.end(), [&](const std::string& s) { return !_stricmp(s.c_str(), path.c_str()); }))
      continue;
    FolderState::Entry e;
    e.folder = (d.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    e.size = (static_cast<std::uint64_t>(d.nFileSizeHigh) << 32) | d.nFileSizeLow;
    e.written = e.folder ? FILETIME{} : d.ftLastWriteTime;
    out[path] = e;
    // Links (Wine's "My Documents" and the like) are not followed.
    if (e.folder && !(d.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) Walk(root, path, skip, out);
  } while (FindNextFileA(find, &d));
  FindClose(find);
}

}  // namespace

FolderState FolderState::Take(const std::string& root, const std::vector<std::string>& skip) {
  FolderState s;
  s.root_ = root;
  Walk(root, "", skip, s.entries_);
  return s;
}

std::vector<std::string> FolderState::ChangesSince(const FolderState& before) const {
  std::vector<std::string> changes;
  for (const auto& [path, e] : entries_) {
    auto it = before.entries_.find(path);
    if (it == before.entries_.end())
      changes.push_back("created " + root_ + path);
    else if (e.size != it->second.size || CompareFileTime(&e.written, &it->second.written) != 0)
      changes.push_back("changed " + root_ + path);
  }
  for (const auto& [path, e] : before.entries_)
    if (!entries_.count(path)) changes.push_back("removed " + root_ + path);
  return changes;
}

std::vector<std::string> FolderState::Files() const {
  std::vector<std::string> files;
  for (const auto& [path, e] : entries_)
    if (!e.folder) files.push_back(root_ + path);
  return files;
}

bool OpensExclusively(const std::string& path) {
  HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  CloseHandle(h);
  return true;
}

}  // namespace mcrtest
