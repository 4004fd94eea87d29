// Owners of the platform objects a word or a dialog holds for a while: each
// gives its object back on every way out, the exceptions that end a word
// included.
#pragma once
#include <windows.h>

namespace mcr {

// A movable global block, freed unless released to a new owner (a window
// that keeps it in a property or a window word).
class GlobalBlock {
 public:
  GlobalBlock() : block_(nullptr) {}
  GlobalBlock(UINT flags, SIZE_T size) : block_(GlobalAlloc(flags, size)) {}
  ~GlobalBlock() {
    if (block_) GlobalFree(block_);
  }
  GlobalBlock(const GlobalBlock&) = delete;
  GlobalBlock& operator=(const GlobalBlock&) = delete;
  HGLOBAL get() const { return block_; }
  HGLOBAL release() {
    HGLOBAL block = block_;
    block_ = nullptr;
    return block;
  }

 private:
  HGLOBAL block_;
};

// A global block locked as a T for as long as the owner lives; a null block
// or a failed lock gives a null pointer.
template <typename T>
class GlobalLocked {
 public:
  explicit GlobalLocked(HGLOBAL block)
      : block_(block), data_(block ? static_cast<T*>(GlobalLock(block)) : nullptr) {}
  ~GlobalLocked() {
    if (data_) GlobalUnlock(block_);
  }
  GlobalLocked(const GlobalLocked&) = delete;
  GlobalLocked& operator=(const GlobalLocked&) = delete;
  T* get() const { return data_; }
  T* operator->() const { return data_; }
  T& operator*() const { return *data_; }
  explicit operator bool() const { return data_ != nullptr; }

 private:
  HGLOBAL block_;
  T* data_;
};

// A directory search, open from its first entry.
class FindHandle {
 public:
  FindHandle(const char* pattern, WIN32_FIND_DATAA* entry)
      : handle_(FindFirstFileA(pattern, entry)) {}
  ~FindHandle() { Close(); }
  FindHandle(const FindHandle&) = delete;
  FindHandle& operator=(const FindHandle&) = delete;
  explicit operator bool() const { return handle_ != INVALID_HANDLE_VALUE; }
  bool Next(WIN32_FIND_DATAA* entry) { return FindNextFileA(handle_, entry) != FALSE; }
  void Close() {
    if (handle_ != INVALID_HANDLE_VALUE) FindClose(handle_);
    handle_ = INVALID_HANDLE_VALUE;
  }

 private:
  HANDLE handle_;
};

}  // namespace mcr
