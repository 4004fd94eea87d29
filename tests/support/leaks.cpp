#include "leaks.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace mcrtest {

namespace {

BOOL CALLBACK CountOne(HWND, LPARAM n) { return ++*reinterpret_cast<std::size_t*>(n), TRUE; }
BOOL CALLBACK CountWithChildren(HWND w, LPARAM n) { return EnumChildWindows(w, CountOne, n), CountOne(w, n); }

}  // namespace

std::size_t ThreadWindowCount() {
  std::size_t count = 0;
  EnumThreadWindows(GetCurrentThreadId(), CountWithChildren, reinterpret_cast<LPARAM>(&count));
  return count;
}

// Each handle value of the process asked in turn. Not the system's handle
// list (information class 16): Wine 8's server walks every process's table
// for it with an unsigned index against a signed last entry, and a process
// whose table is still empty (one being started by the suite beside this
// one) sends it past the table's end until it crashes. A new handle takes
// the lowest free slot, so the slots in use lie close together; far past
// the last one nothing more is in use.
std::size_t ProcessHandleCount() {
  constexpr std::uintptr_t kStep = 4, kPastTheLast = 256 * kStep;
  std::size_t count = 0;
  for (std::uintptr_t value = kStep, last = 0; value <= last + kPastTheLast; value += kStep) {
    DWORD flags = 0;
    if (!GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags)) continue;
    ++count;
    last = value;
  }
  return count;
}

bool IconAlive(HICON icon) {
  ICONINFO info{};
  if (!GetIconInfo(icon, &info)) return false;
  DeleteObject(info.hbmMask);
  DeleteObject(info.hbmColor);
  return true;
}

std::size_t HeapBlockCount() {
  std::vector<HANDLE> heaps(GetProcessHeaps(0, nullptr) + 16);
  heaps.resize(std::min<std::size_t>(heaps.size(), GetProcessHeaps(DWORD(heaps.size()), heaps.data())));
  std::size_t count = 0;
  for (HANDLE heap : heaps) {
    if (!HeapLock(heap)) continue;
    PROCESS_HEAP_ENTRY entry{};
    while (HeapWalk(heap, &entry)) count += (entry.wFlags & PROCESS_HEAP_ENTRY_BUSY) != 0;
    HeapUnlock(heap);
  }
  return count;
}

bool OpensExclusively(const std::string& path) {
  HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  return h != INVALID_HANDLE_VALUE && CloseHandle(h);
}

FolderState FolderState::Take(const std::string& root, const std::vector<std::string>& skip) {
  FolderState s;
  s.root_ = root;
  std::vector<std::string> folders = {""};
  while (!folders.empty()) {
    const std::string rel = folders.back();
    folders.pop_back();
    WIN32_FIND_DATAA d;
    HANDLE find = FindFirstFileA((root + rel + "\\*").c_str(), &d);
    for (BOOL more = find != INVALID_HANDLE_VALUE; more; more = FindNextFileA(find, &d)) {
      const std::string path = rel + "\\" + d.cFileName;
      if (!std::strcmp(d.cFileName, ".") || !std::strcmp(d.cFileName, "..") ||
          std::any_of(skip.begin(), skip.end(), [&](const std::string& x) { return !_stricmp(x.c_str(), path.c_str()); }))
        continue;
      const FILETIME& t = d.ftLastWriteTime;
      const bool folder = d.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY;
      s.entries_[path] = folder ? "" : std::to_string((std::uint64_t(d.nFileSizeHigh) << 32) | d.nFileSizeLow) + "@" +
                                           std::to_string((std::uint64_t(t.dwHighDateTime) << 32) | t.dwLowDateTime);
      // Links (Wine's "My Documents" and the like) are not followed.
      if (folder && !(d.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) folders.push_back(path);
    }
    if (find != INVALID_HANDLE_VALUE) FindClose(find);
  }
  return s;
}

std::vector<std::string> FolderState::ChangesSince(const FolderState& before) const {
  std::vector<std::string> changes;
  for (const auto& [path, e] : entries_)
    if (!before.entries_.count(path)) changes.push_back("created " + root_ + path);
    else if (before.entries_.at(path) != e) changes.push_back("changed " + root_ + path);
  for (const auto& [path, e] : before.entries_)
    if (!entries_.count(path)) changes.push_back("removed " + root_ + path);
  return changes;
}

std::vector<std::string> FolderState::Files() const {
  std::vector<std::string> files;
  for (const auto& [path, e] : entries_)
    if (!e.empty()) files.push_back(root_ + path);
  return files;
}

}  // namespace mcrtest
