#include "instio.h"

namespace mcr {

namespace {

HANDLE Open(const std::string& path, DWORD access, DWORD share, DWORD disposition = OPEN_EXISTING) {
  if (path.empty() || path.size() > kFilePathMax) return INVALID_HANDLE_VALUE;
  return CreateFileA(path.c_str(), access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
}

}  // namespace

InstFile InstFile::OpenRead(const std::string& path) {
  return InstFile(Open(path, GENERIC_READ, FILE_SHARE_READ));
}

InstFile InstFile::OpenReadWrite(const std::string& path) {
  return InstFile(Open(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE));
}

InstFile InstFile::Create(const std::string& path) {
  return InstFile(Open(path, GENERIC_WRITE, 0, CREATE_ALWAYS));
}

InstFile InstFile::CreateReadWrite(const std::string& path) {
  return InstFile(Open(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, CREATE_ALWAYS));
}

long long InstFile::Read(void* buffer, std::size_t size) {
  auto* out = static_cast<char*>(buffer);
  std::size_t done = 0;
  // ReadFile may return less than asked before the end; only a zero read is the end.
  while (done < size) {
    DWORD chunk = size - done > 0x40000000u ? 0x40000000u : static_cast<DWORD>(size - done);
    DWORD got = 0;
    if (!ReadFile(handle_, out + done, chunk, &got, nullptr)) {
      pos_ = kUnknownPosition;
      return -1;
    }
    if (got == 0) break;
    done += got;
  }
  if (pos_ != kUnknownPosition) pos_ += static_cast<long long>(done);
  return static_cast<long long>(done);
}

long long InstFile::ReadAt(long long offset, void* buffer, std::size_t size) {
  if (pos_ != offset && !Seek(offset)) return -1;
  return Read(buffer, size);
}

bool InstFile::Write(const void* buffer, std::size_t size) {
  DWORD written = 0;
  bool ok = WriteFile(handle_, buffer, static_cast<DWORD>(size), &written, nullptr);
  pos_ = ok && pos_ != kUnknownPosition ? pos_ + written : kUnknownPosition;
  return ok && written == size;
}

bool InstFile::Seek(long long offset) {
  if (offset < 0) return false;
  LARGE_INTEGER to;
  to.QuadPart = offset;
  if (!SetFilePointerEx(handle_, to, nullptr, FILE_BEGIN)) return false;
  pos_ = offset;
  return true;
}

bool InstFile::Skip(long long delta) {
  LARGE_INTEGER by, now;
  by.QuadPart = delta;
  if (!SetFilePointerEx(handle_, by, &now, FILE_CURRENT)) return false;
  pos_ = now.QuadPart;
  return true;
}

long long InstFile::Size() const {
  LARGE_INTEGER size;
  return GetFileSizeEx(handle_, &size) ? size.QuadPart : -1;
}

bool InstFile::EndHere() { return SetEndOfFile(handle_) != 0; }

void InstFile::Close() {
  if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
  handle_ = INVALID_HANDLE_VALUE;
}

bool FileExists(const std::string& path) {
  if (path.empty() || path.size() > kFilePathMax) return false;
  DWORD a = GetFileAttributesA(path.c_str());
  return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace mcr
