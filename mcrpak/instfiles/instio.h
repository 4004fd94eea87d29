// The instrument files as the words open them: one owner of a file handle
// per call, closed on every way out, with the two sharing modes the words
// use (readers share reading only; writers share reading and writing).
#pragma once
#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <string>

namespace mcr {

// Paths the workstation forms are bounded by the platform's path buffer; a
// longer one names no file rather than a cut-down other one.
constexpr std::size_t kFilePathMax = MAX_PATH - 1;

class InstFile {
 public:
  static InstFile OpenRead(const std::string& path);
  static InstFile OpenReadWrite(const std::string& path);
  // A new empty file for writing, replacing any old one, shared with nobody.
  static InstFile Create(const std::string& path);
  // The same for reading and writing, shared for reading.
  static InstFile CreateReadWrite(const std::string& path);

  InstFile(InstFile&& other) noexcept : handle_(other.handle_), pos_(other.pos_) {
    other.handle_ = INVALID_HANDLE_VALUE;
  }
  InstFile& operator=(InstFile&&) = delete;
  InstFile(const InstFile&) = delete;
  ~InstFile() { Close(); }

  bool IsOpen() const { return handle_ != INVALID_HANDLE_VALUE; }
  // Bytes read (fewer at the end of the file), or -1 when the read failed.
  long long Read(void* buffer, std::size_t size);
  // The same at an offset from the start (not negative); the file pointer
  // is moved only when it is not there already, as after the read before.
  long long ReadAt(long long offset, void* buffer, std::size_t size);
  bool Write(const void* buffer, std::size_t size);
  bool Seek(long long offset);        // from the start; negative fails
  bool Skip(long long delta);         // from the current position
  long long Size() const;             // -1 when unknown
  bool EndHere();                     // cuts the file at the current position
  void Close();

 private:
  static constexpr long long kUnknownPosition = -1;

  explicit InstFile(HANDLE h) : handle_(h) {}
  HANDLE handle_;
  // Where the file pointer is, known from every move made through this
  // owner (a failed read or write leaves it unknown).
  long long pos_ = 0;
};

// Whether path names an existing file (not a folder).
bool FileExists(const std::string& path);

}  // namespace mcr
