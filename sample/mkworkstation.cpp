// mkworkstation FOLDER [--no-registry]: lays out the sample workstation
// under FOLDER and points the workstation's registry key at it.
#include <windows.h>
#include <shellapi.h>

#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <string>

#include "workstation.h"

namespace {

std::string Utf8(const wchar_t* w) {
  int n = WideCharToMultiByte(CP_UTF8, 0, w, -1, nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<std::size_t>(n > 0 ? n - 1 : 0), '\0');
  if (n > 1) WideCharToMultiByte(CP_UTF8, 0, w, -1, out.data(), n, nullptr, nullptr);
  return out;
}

}  // namespace

int main() {
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
  int argc = 0;
  LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  std::string folder;
  bool registry = true, usage = false;
  for (int i = 1; i < argc; ++i) {
    std::string a = Utf8(argv[i]);
    if (a == "--no-registry")
      registry = false;
    else if (folder.empty() && a.compare(0, 2, "--") != 0)
      folder = a;
    else
      usage = true;
  }
  LocalFree(argv);
  if (usage || folder.empty()) {
    std::fprintf(stderr, "usage: mkworkstation FOLDER [--no-registry]\n");
    return 2;
  }

  std::string error;
  if (!mcrsample::LayOut(folder, &error)) {
    std::fprintf(stderr, "mkworkstation: %s\n", error.c_str());
    return 1;
  }
  if (registry && !mcrsample::WriteInstallKey(mcrsample::kInstallKey, folder, &error)) {
    std::fprintf(stderr, "mkworkstation: %s\n", error.c_str());
    return 1;
  }
  std::string key = registry ? " (HKLM\\" + std::string(mcrsample::kInstallKey) + " points at it)" : "";
  std::printf("sample workstation laid out in %s%s\n", folder.c_str(), key.c_str());
  return 0;
}
