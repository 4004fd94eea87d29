// mcrbench.exe: loads the library as the command processor does, makes a
// scratch folder and runs every figure (or those whose name contains the
// argument).
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "host.h"

#include <shellapi.h>

namespace mcrbench {

namespace {

// As large as a fast reader of long files reads: the product's first block of
// 64 KB would hide what its reads of a long file cost.
constexpr std::size_t kReadPiece = 1024 * 1024;

std::unique_ptr<mcrhost::Host> g_host;
std::string g_scratch;

void RemoveScratch() {
  if (g_scratch.empty()) return;
  std::string from = g_scratch + '\0';
  SHFILEOPSTRUCTA op = {};
  op.wFunc = FO_DELETE;
  op.pFrom = from.c_str();
  op.fFlags = FOF_NO_UI;
  SHFileOperationA(&op);
  g_scratch.clear();
}

}  // namespace

mcrhost::Host& SharedHost() { return *g_host; }

mcrhost::Outcome Call(const std::string& word, const std::vector<mcrhost::Arg>& args) {
  mcrhost::Outcome o = g_host->call(word, args);
  if (o.status != 0 || o.error()) {
    std::fprintf(stderr, "mcrbench: %s failed: %s\n", word.c_str(),
                 o.error() ? mcrhost::AnsiToUtf8(*o.error()).c_str() : "status");
    RemoveScratch();
    std::exit(1);
  }
  return o;
}

mcrhost::Arg S(const std::string& ansi) { return mcrhost::Value::Str(ansi); }
mcrhost::Arg N(double v) { return mcrhost::Value::Num(v); }

const std::string& Scratch() { return g_scratch; }

namespace {
std::uint8_t g_stream[kReadPiece];
}  // namespace

RawStream::RawStream(const std::string& path)
    : handle_(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                          nullptr)) {}

RawStream::~RawStream() {
  if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
}

const std::uint8_t* RawStream::Next(std::size_t n) {
  if (end_ - at_ < n) {
    std::memmove(g_stream, g_stream + at_, end_ - at_);
    end_ -= at_;
    at_ = 0;
    DWORD got = 0;
    if (handle_ == INVALID_HANDLE_VALUE ||
        !ReadFile(handle_, g_stream + end_, static_cast<DWORD>(kReadPiece - end_), &got, nullptr))
      return nullptr;
    end_ += got;
    if (end_ < n) return nullptr;
  }
  at_ += n;
  return g_stream + at_ - n;
}

RawBytes RawRead(HANDLE file, std::size_t upTo) {
  // Kept from call to call: after the warm-up no call allocates.
  static std::vector<std::uint8_t> buffer;
  std::size_t have = 0;
  while (have < upTo && file != INVALID_HANDLE_VALUE) {
    if (buffer.size() < have + kReadPiece) buffer.resize(2 * buffer.size() + kReadPiece);
    DWORD got = 0;
    const DWORD piece = static_cast<DWORD>(std::min(kReadPiece, upTo - have));  // no more than is wanted
    if (!ReadFile(file, buffer.data() + have, piece, &got, nullptr) || got == 0) break;
    have += got;
  }
  return {buffer.data(), have < upTo ? have : upTo};
}

RawBytes RawRead(const std::string& path, std::size_t upTo) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  RawBytes bytes = RawRead(file, upTo);
  if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
  return bytes;
}

}  // namespace mcrbench

int main(int argc, char** argv) {
  using namespace mcrbench;
  char path[MAX_PATH];
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string dir(path);
  dir = dir.substr(0, dir.find_last_of('\\') + 1);
  g_host = std::make_unique<mcrhost::Host>();
  std::string why;
  if (g_host->open((dir + "MCRPAK.dll").c_str(), &why) != 0) {
    std::fprintf(stderr, "mcrbench: cannot load the library: %s\n", why.c_str());
    return 3;
  }
  char temp[MAX_PATH];
  GetTempPathA(MAX_PATH, temp);
  g_scratch = std::string(temp) + "mcrbench." + std::to_string(GetCurrentProcessId());
  CreateDirectoryA(g_scratch.c_str(), nullptr);

  int missed = RunFigures(argc > 1 ? argv[1] : "");
  g_host->close();
  RemoveScratch();
  return missed ? 1 : 0;
}
