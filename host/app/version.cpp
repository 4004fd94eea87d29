#include "version.h"

#include <windows.h>

#include <cstdio>
#include <vector>

namespace mcrhost {

namespace {

std::wstring Wide(const std::string& utf8) {
  int n = MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, nullptr, 0);
  std::wstring w(static_cast<std::size_t>(n > 0 ? n : 1), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, w.data(), n);
  return w;
}

std::string OwnPath() {
  wchar_t path[MAX_PATH];
  DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
  int m = WideCharToMultiByte(CP_UTF8, 0, path, static_cast<int>(n), nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<std::size_t>(m), '\0');
  WideCharToMultiByte(CP_UTF8, 0, path, static_cast<int>(n), out.data(), m, nullptr, nullptr);
  return out;
}

}  // namespace

std::string FileVersion(const std::string& path) {
  std::wstring file = Wide(path);
  DWORD ignored = 0;
  DWORD size = GetFileVersionInfoSizeW(file.c_str(), &ignored);
  if (!size) return {};
  std::vector<char> block(size);
  VS_FIXEDFILEINFO* info = nullptr;
  UINT length = 0;
  if (!GetFileVersionInfoW(file.c_str(), 0, size, block.data()) ||
      !VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&info), &length) || !info)
    return {};
  char text[64];
  std::snprintf(text, sizeof text, "%u.%u.%u", static_cast<unsigned>(HIWORD(info->dwFileVersionMS)),
                static_cast<unsigned>(LOWORD(info->dwFileVersionMS)), static_cast<unsigned>(HIWORD(info->dwFileVersionLS)));
  return text;
}

int PrintVersions(const std::string& libraryPath) {
  std::printf("mcrhost %s\n", FileVersion(OwnPath()).c_str());
  std::string library = FileVersion(libraryPath);
  if (library.empty()) {
    std::fprintf(stderr, "mcrhost: %s has no version information\n", libraryPath.c_str());
    return 3;
  }
  std::string name = libraryPath.substr(libraryPath.find_last_of("\\/") + 1);
  std::printf("%s %s (%s)\n", name.c_str(), library.c_str(), libraryPath.c_str());
  return 0;
}

}  // namespace mcrhost
