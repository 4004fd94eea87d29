// The file words against the platform's own calls for the same work: COPY's
// block-by-block reopening against one whole-file copy, and UPDATE of a tree
// that is already up to date against the bare walk with one time query per
// destination file.
#include <string>

#include "host.h"

namespace mcrbench {
namespace {

// COPY reopens both files for every block, so that other tasks can get at
// them between blocks; a whole-file copy is the speed an operator knows.
constexpr double kCopyGoal = 2.0;
constexpr double kReopenGoal = 1.3;
constexpr double kUpdateGoal = 1.2;
constexpr std::size_t kBlock = 32768;
constexpr std::size_t kBigFile = 64u << 20;
constexpr int kFolders = 100;
constexpr int kFilesPerFolder = 100;

std::string At(const std::string& name) { return Scratch() + "\\" + name; }

void MakeFile(const std::string& path, std::size_t size) {
  HANDLE f = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  std::string chunk(1 << 20, 'b');
  for (std::size_t done = 0; done < size; done += chunk.size()) {
    DWORD n = 0;
    WriteFile(f, chunk.data(), static_cast<DWORD>(chunk.size()), &n, nullptr);
  }
  CloseHandle(f);
}

void MakeTree(const std::string& top) {
  CreateDirectoryA(top.c_str(), nullptr);
  for (int d = 0; d < kFolders; ++d) {
    std::string folder = top + "\\f" + std::to_string(d);
    CreateDirectoryA(folder.c_str(), nullptr);
    for (int i = 0; i < kFilesPerFolder; ++i)
      MakeFile(folder + "\\file" + std::to_string(i) + ".dat", 0);
  }
}

// What an up-to-date tree needs at least: list the source, look up each
// destination file's time.
void WalkAndLookUp(const std::string& source, const std::string& destination) {
  WIN32_FIND_DATAA entry;
  HANDLE search = FindFirstFileA((source + "\\*.*").c_str(), &entry);
  if (search == INVALID_HANDLE_VALUE) return;
  do {
    if (entry.cFileName[0] == '.') continue;
    std::string s = source + "\\" + entry.cFileName, d = destination + "\\" + entry.cFileName;
    if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      WalkAndLookUp(s, d);
    } else {
      WIN32_FIND_DATAA time;
      HANDLE one = FindFirstFileA(d.c_str(), &time);
      if (one != INVALID_HANDLE_VALUE) FindClose(one);
    }
  } while (FindNextFileA(search, &entry));
  FindClose(search);
}

// The same copy with raw calls, the two files opened for each block and
// closed again before the next one.
void CopyReopeningPerBlock(const std::string& from, const std::string& to) {
  std::string block(kBlock, '\0');
  HANDLE create = CreateFileA(to.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  CloseHandle(create);
  for (LONG at = 0;; at += static_cast<LONG>(kBlock)) {
    HANDLE in = CreateFileA(from.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    DWORD got = 0;
    SetFilePointer(in, at, nullptr, FILE_BEGIN);
    ReadFile(in, block.data(), static_cast<DWORD>(kBlock), &got, nullptr);
    CloseHandle(in);
    if (got == 0) break;
    HANDLE out = CreateFileA(to.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    DWORD put = 0;
    SetFilePointer(out, at, nullptr, FILE_BEGIN);
    WriteFile(out, block.data(), got, &put, nullptr);
    CloseHandle(out);
    if (got < kBlock) break;
  }
}

void CopyBig() { Call("COPY", {S(At("big.bin")), S(At("big.copy")), S("DONTASK")}); }

const Registrar kCopy({"COPY 64 MiB file (vs CopyFileA)", [] { MakeFile(At("big.bin"), kBigFile); }, CopyBig,
                       [] { CopyFileA(At("big.bin").c_str(), At("big.base").c_str(), FALSE); }, kCopyGoal});

const Registrar kCopyReopen({"COPY 64 MiB file (vs raw reopen per block)", [] { MakeFile(At("big.bin"), kBigFile); },
                             CopyBig, [] { CopyReopeningPerBlock(At("big.bin"), At("big.base")); }, kReopenGoal});

const Registrar kUpdate({"UPDATE unchanged 10,000 files (vs walk+find)",
                         [] {
                           MakeTree(At("tree"));
                           Call("UPDATE", {S(At("tree")), S(At("tree.copy"))});
                         },
                         [] {
                           Call("UPDATE", {S(At("tree")), S(At("tree.copy"))});
                         },
                         [] { WalkAndLookUp(At("tree"), At("tree.copy")); }, kUpdateGoal});

}  // namespace
}  // namespace mcrbench
