#include "resources.h"

#include <algorithm>
#include <cctype>

namespace mcrtest {

namespace {

// The system handle table as NtQuerySystemInformation class 16 gives it.
struct HandleEntry {
  ULONG ownerPid;
  BYTE objectType;
  BYTE flags;
  USHORT value;
  PVOID object;
  ULONG access;
};
struct HandleTable {
  ULONG count;
  HandleEntry entries[1];
};
using QuerySystemInformation = LONG(WINAPI*)(ULONG, PVOID, ULONG, PULONG);
constexpr ULONG kSystemHandleInformation = 16;
constexpr LONG kInfoLengthMismatch = static_cast<LONG>(0xC0000004);

std::size_t CountHandles() {
  static auto query = reinterpret_cast<QuerySystemInformation>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQuerySystemInformation")));
  if (!query) return 0;
  static std::vector<std::uint8_t> buffer(1 << 16);
  LONG status;
  ULONG needed = 0;
  while ((status = query(kSystemHandleInformation, buffer.data(), static_cast<ULONG>(buffer.size()), &needed)) ==
         kInfoLengthMismatch)
    buffer.resize(std::max<std::size_t>(buffer.size() * 2, needed));
  if (status < 0) return 0;
  const auto* table = reinterpret_cast<const HandleTable*>(buffer.data());
  const DWORD self = GetCurrentProcessId();
  std::size_t n = 0;
  for (ULONG i = 0; i < table->count; ++i) n += table->entries[i].ownerPid == self;
  return n;
}

BOOL CALLBACK CountWindow(HWND w, LPARAM counter) {
  ++*reinterpret_cast<std::size_t*>(counter);
  EnumChildWindows(w, [](HWND, LPARAM c) -> BOOL { return ++*reinterpret_cast<std::size_t*>(c), TRUE; },
                   counter);
  return TRUE;
}

std::size_t CountHeapBlocks() {
  std::vector<HANDLE> heaps(64);
  DWORD n = GetProcessHeaps(static_cast<DWORD>(heaps.size()), heaps.data());
  if (n > heaps.size()) {
    heaps.resize(n);
    n = GetProcessHeaps(n, heaps.data());
  }
  std::size_t blocks = 0;
  for (DWORD i = 0; i < n && i < heaps.size(); ++i) {
    if (!HeapLock(heaps[i])) continue;
    PROCESS_HEAP_ENTRY e{};
    while (HeapWalk(heaps[i], &e)) blocks += (e.wFlags & PROCESS_HEAP_ENTRY_BUSY) != 0;
    HeapUnlock(heaps[i]);
  }
  return blocks;
}

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

void Walk(const std::string& root, const std::string& rel, const std::vector<std::string>& skip,
          std::map<std::string, FolderState::Entry>& out) {
  WIN32_FIND_DATAA d;
  HANDLE find = FindFirstFileA((root + rel + "\\*").c_str(), &d);
  if (find == INVALID_HANDLE_VALUE) return;
  do {
    std::string name = d.cFileName;
    if (name == "." || name == "..") continue;
    std::string path = rel + "\\" + name;
    if (std::find(skip.begin(), skip.end(), Lower(path)) != skip.end()) continue;
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

ProcessResources CountResources() {
  ProcessResources r;
  r.handles = CountHandles();
  EnumThreadWindows(GetCurrentThreadId(), CountWindow, reinterpret_cast<LPARAM>(&r.windows));
  r.heapBlocks = CountHeapBlocks();
  return r;
}

FolderState FolderState::Take(const std::string& root, const std::vector<std::string>& skip) {
  FolderState s;
  s.root_ = root;
  std::vector<std::string> lowered;
  for (const std::string& p : skip) lowered.push_back(Lower(p));
  Walk(root, "", lowered, s.entries_);
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

bool OpensExclusively(const std::string& path) {
  HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  CloseHandle(h);
  return true;
}

}  // namespace mcrtest
