#include "leaks.h"

#include <algorithm>
#include <vector>

namespace mcrtest {

namespace {

// The layout of the system's handle list (information class 16).
struct HandleEntry {
  ULONG processId;
  UCHAR objectType;
  UCHAR attributes;
  USHORT value;
  PVOID object;
  ULONG access;
};
struct HandleList {
  ULONG count;
  HandleEntry entries[1];
};
using QuerySystemInformation = LONG(WINAPI*)(ULONG, PVOID, ULONG, PULONG);
constexpr ULONG kSystemHandleInformation = 16;
constexpr LONG kInfoLengthMismatch = static_cast<LONG>(0xC0000004);

}  // namespace

std::size_t ThreadWindowCount() {
  std::size_t count = 0;
  static const WNDENUMPROC one = [](HWND, LPARAM n) -> BOOL { return ++*reinterpret_cast<std::size_t*>(n), TRUE; };
  static const WNDENUMPROC withChildren = [](HWND w, LPARAM n) -> BOOL {
    EnumChildWindows(w, one, n);
    return one(w, n);
  };
  EnumThreadWindows(GetCurrentThreadId(), withChildren, reinterpret_cast<LPARAM>(&count));
  return count;
}

std::size_t ProcessHandleCount() {
  auto query = reinterpret_cast<QuerySystemInformation>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQuerySystemInformation")));
  if (!query) return 0;
  std::vector<unsigned char> buffer(1 << 16);
  LONG status;
  while ((status = query(kSystemHandleInformation, buffer.data(), static_cast<ULONG>(buffer.size()),
                         nullptr)) == kInfoLengthMismatch)
    buffer.resize(buffer.size() * 2);
  if (status != 0) return 0;
  const auto* list = reinterpret_cast<const HandleList*>(buffer.data());
  std::size_t count = 0;
  for (ULONG i = 0; i < list->count; ++i)
    if (list->entries[i].processId == GetCurrentProcessId()) ++count;
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
  heaps.resize(std::min<std::size_t>(heaps.size(), GetProcessHeaps(static_cast<DWORD>(heaps.size()), heaps.data())));
  std::size_t count = 0;
  for (HANDLE heap : heaps) {
    if (!HeapLock(heap)) continue;
    PROCESS_HEAP_ENTRY entry{};
    while (HeapWalk(heap, &entry))
      if (entry.wFlags & PROCESS_HEAP_ENTRY_BUSY) ++count;
    HeapUnlock(heap);
  }
  return count;
}

}  // namespace mcrtest
