// The few threading pieces mcrhost needs, on the Win32 primitives that
// Windows XP has: the 32-bit mcrhost goes out with the release to run on the
// administrator's PC, and the C++ runtime's threads would bring imports
// (condition variables, GetTickCount64) that XP lacks.
#pragma once
#include <windows.h>

#include <functional>
#include <utility>

namespace mcrhost {

class CriticalSection {
 public:
  CriticalSection() { InitializeCriticalSection(&cs_); }
  ~CriticalSection() { DeleteCriticalSection(&cs_); }
  CriticalSection(const CriticalSection&) = delete;
  CriticalSection& operator=(const CriticalSection&) = delete;
  void lock() { EnterCriticalSection(&cs_); }
  void unlock() { LeaveCriticalSection(&cs_); }

 private:
  CRITICAL_SECTION cs_;
};

class Locked {
 public:
  explicit Locked(CriticalSection& cs) : cs_(cs) { cs_.lock(); }
  ~Locked() { cs_.unlock(); }
  Locked(const Locked&) = delete;
  Locked& operator=(const Locked&) = delete;

 private:
  CriticalSection& cs_;
};

inline DWORD WINAPI RunThreadBody(LPVOID p) {
  auto* body = static_cast<std::function<void()>*>(p);
  (*body)();
  delete body;
  return 0;
}

// Starts body on a thread of its own; the handle is the caller's to wait
// for and close (or to close at once for a thread left to itself).
inline HANDLE StartThread(std::function<void()> body) {
  auto* owned = new std::function<void()>(std::move(body));
  HANDLE h = CreateThread(nullptr, 0, RunThreadBody, owned, 0, nullptr);
  if (!h) delete owned;
  return h;
}

}  // namespace mcrhost
